// The device object of the USB layer: one open handle on one of the driver's device
// interfaces, with the control requests the program needs and the lock serialising them.
#pragma once

#include "UsbTypes.h"

#include <array>
#include <string>

namespace zt40 {

// The snapshot of the driver's device interfaces of one interface class, or null.
HDEVINFO GetDeviceList(const GUID* interfaceClass);
// Releases a list obtained from GetDeviceList; harmless on null.
void ReleaseDeviceList(HDEVINFO deviceList);

using DeviceDescriptor = std::array<std::uint8_t, DeviceDescriptorSize>;

class CUsbIo {
public:
    CUsbIo();
    virtual ~CUsbIo();
    CUsbIo(const CUsbIo&) = delete;
    CUsbIo& operator=(const CUsbIo&) = delete;

    // Opens interface number `instance` (from 0) of the class in the list.
    DWORD Open(int instance, HDEVINFO deviceList, const GUID* interfaceClass);
    // Releases handle, control event and detail block, each if present.
    void Close();

    DWORD ControlRequest(DWORD code, const void* input, DWORD inputSize, void* output,
                         DWORD outputSize, DWORD* returnedCount = nullptr);
    DWORD QueryDriverVersion(DriverVersionReply& reply);
    // size: the buffer's size on entry, the byte count returned on exit.
    DWORD ReadDescriptor(void* buffer, DWORD& size, std::uint32_t recipient, std::uint8_t type,
                         std::uint8_t index, std::uint16_t languageId);
    DWORD ReadDeviceDescriptor(DeviceDescriptor& descriptor);
    DWORD Configure(const ConfigurationRequest& request);

    bool IsOpen() const { return FileHandle_ != nullptr; }
    HANDLE FileHandle() const { return FileHandle_; }
    HANDLE ControlEvent() const { return Overlapped_.hEvent; }
    bool HoldsDetailBlock() const { return Detail_ != nullptr; }
    // The device path of the interface last opened, empty without a detail block.
    std::string DevicePath() const;

protected:
    HANDLE FileHandle_ = nullptr;
    OVERLAPPED Overlapped_{};
    CRITICAL_SECTION Lock_;
    SP_DEVICE_INTERFACE_DETAIL_DATA_A* Detail_ = nullptr;
    DWORD DetailSize_ = 0;
};

} // namespace zt40
