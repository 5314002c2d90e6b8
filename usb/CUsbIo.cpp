#include "CUsbIo.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace zt40 {

HDEVINFO GetDeviceList(const GUID* interfaceClass) {
    HDEVINFO list = usbOs().SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr,
                                         DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    return list == INVALID_HANDLE_VALUE ? nullptr : list;
}

void ReleaseDeviceList(HDEVINFO deviceList) {
    if (deviceList != nullptr) {
        usbOs().SetupDiDestroyDeviceInfoList(deviceList);
    }
}

CUsbIo::CUsbIo() {
    usbOs().InitializeCriticalSection(&Lock_);
}

CUsbIo::~CUsbIo() {
    Close();
    usbOs().DeleteCriticalSection(&Lock_);
}

DWORD CUsbIo::Open(int instance, HDEVINFO deviceList, const GUID* interfaceClass) {
    if (IsOpen()) {
        return UsbStatus::Success;
    }
    if (interfaceClass == nullptr) {
        return UsbStatus::InvalidParameter;
    }
    if (Detail_ != nullptr) {
        std::free(Detail_);
        Detail_ = nullptr;
        DetailSize_ = 0;
    }

    SP_DEVICE_INTERFACE_DATA interfaceData;
    std::memset(&interfaceData, 0, sizeof interfaceData);
    interfaceData.cbSize = sizeof interfaceData;
    if (!usbOs().SetupDiEnumDeviceInterfaces(deviceList, nullptr, interfaceClass,
                                     static_cast<DWORD>(instance), &interfaceData)) {
        const DWORD error = usbOs().GetLastError();
        return error == ERROR_NO_MORE_ITEMS ? UsbStatus::NoSuchInstance : error;
    }

    // The first call only tells the size of the detail data.
    DWORD required = 0;
    usbOs().SetupDiGetDeviceInterfaceDetailA(deviceList, &interfaceData, nullptr, 0, &required, nullptr);
    // Never smaller than the fixed part, whose size field is written below.
    const DWORD blockSize = std::max<DWORD>(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
    Detail_ = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::malloc(blockSize));
    if (Detail_ == nullptr) {
        return UsbStatus::OutOfResources;
    }
    DetailSize_ = blockSize;
    std::memset(Detail_, 0, blockSize);
    Detail_->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!usbOs().SetupDiGetDeviceInterfaceDetailA(deviceList, &interfaceData, Detail_, blockSize, nullptr,
                                          nullptr)) {
        return usbOs().GetLastError();
    }

    HANDLE handle = usbOs().CreateFileA(Detail_->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        return UsbStatus::OpenFailed;
    }
    FileHandle_ = handle;

    Overlapped_.hEvent = usbOs().CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (Overlapped_.hEvent == nullptr) {
        Close();
        return UsbStatus::OutOfResources;
    }

    DriverVersionReply reply;
    std::memset(&reply, 0, sizeof reply);
    if (const DWORD status = QueryDriverVersion(reply); status != UsbStatus::Success) {
        Close();
        return status;
    }
    if (reply.interfaceVersion != DriverInterfaceVersion) {
        Close();
        return UsbStatus::VersionMismatch;
    }
    return UsbStatus::Success;
}

void CUsbIo::Close() {
    if (FileHandle_ != nullptr) {
        usbOs().CloseHandle(FileHandle_);
        FileHandle_ = nullptr;
    }
    if (Overlapped_.hEvent != nullptr) {
        usbOs().CloseHandle(Overlapped_.hEvent);
        Overlapped_.hEvent = nullptr;
    }
    if (Detail_ != nullptr) {
        std::free(Detail_);
        Detail_ = nullptr;
        DetailSize_ = 0;
    }
}

std::string CUsbIo::DevicePath() const {
    if (Detail_ == nullptr) {
        return {};
    }
    const char* path = Detail_->DevicePath;
    const std::size_t room = DetailSize_ - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    return std::string(path, strnlen(path, room));
}

DWORD CUsbIo::ControlRequest(DWORD code, const void* input, DWORD inputSize, void* output,
                             DWORD outputSize, DWORD* returnedCount) {
    if (!IsOpen()) {
        return UsbStatus::NotOpen;
    }
    usbOs().EnterCriticalSection(&Lock_);
    DWORD returned = 0;
    DWORD status = UsbStatus::Success;
    if (!usbOs().DeviceIoControl(FileHandle_, code, const_cast<void*>(input), inputSize, output, outputSize,
                         &returned, &Overlapped_)) {
        status = usbOs().GetLastError();
        if (status == ERROR_IO_PENDING) {
            // Control requests have no time limit: await the driver's answer.
            status = usbOs().GetOverlappedResult(FileHandle_, &Overlapped_, &returned, TRUE)
                         ? UsbStatus::Success
                         : usbOs().GetLastError();
        }
    }
    usbOs().LeaveCriticalSection(&Lock_);
    if (returnedCount != nullptr) {
        *returnedCount = returned;
    }
    return status;
}

DWORD CUsbIo::QueryDriverVersion(DriverVersionReply& reply) {
    return ControlRequest(UsbRequest::GetDriverInfo, nullptr, 0, &reply, sizeof reply);
}

DWORD CUsbIo::ReadDescriptor(void* buffer, DWORD& size, std::uint32_t recipient, std::uint8_t type,
                             std::uint8_t index, std::uint16_t languageId) {
    DescriptorRequest request;
    std::memset(&request, 0, sizeof request);
    request.recipient = recipient;
    request.type = type;
    request.index = index;
    request.languageId = languageId;
    return ControlRequest(UsbRequest::GetDescriptor, &request, sizeof request, buffer, size, &size);
}

DWORD CUsbIo::ReadDeviceDescriptor(DeviceDescriptor& descriptor) {
    DWORD size = DeviceDescriptorSize;
    return ReadDescriptor(descriptor.data(), size, 0, 1, 0, 0);
}

DWORD CUsbIo::Configure(const ConfigurationRequest& request) {
    return ControlRequest(UsbRequest::SetConfiguration, &request, sizeof request, nullptr, 0);
}

} // namespace zt40
