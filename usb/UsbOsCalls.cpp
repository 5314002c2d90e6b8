#include "UsbOsCalls.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace zt40 {

namespace {

std::atomic<const UsbOsCalls*> chosen{nullptr};

#ifdef _WIN32
// Windows itself, with the instrument's own driver behind it.
const UsbOsCalls windowsCalls = {
    ::SetupDiGetClassDevsA, ::SetupDiEnumDeviceInterfaces, ::SetupDiGetDeviceInterfaceDetailA,
    ::SetupDiDestroyDeviceInfoList, ::CreateFileA, ::CloseHandle, ::CreateEventA,
    ::WaitForSingleObject, ::DeviceIoControl, ::ReadFile, ::WriteFile, ::GetOverlappedResult,
    ::CancelIo, ::InitializeCriticalSection, ::EnterCriticalSection, ::LeaveCriticalSection,
    ::DeleteCriticalSection, ::GetLastError,
};

bool simulatorRequested() {
    const char* value = std::getenv("ZT40_SIMULATOR");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

const UsbOsCalls& systemDefault() {
    return simulatorRequested() ? standInOsCalls() : windowsCalls;
}
#else
const UsbOsCalls& systemDefault() {
    return standInOsCalls();
}
#endif

} // namespace

const UsbOsCalls& standInOsCalls() {
    namespace d = driver;
    static const UsbOsCalls calls = {
        d::SetupDiGetClassDevsA, d::SetupDiEnumDeviceInterfaces,
        d::SetupDiGetDeviceInterfaceDetailA, d::SetupDiDestroyDeviceInfoList, d::CreateFileA,
        d::CloseHandle, d::CreateEventA, d::WaitForSingleObject, d::DeviceIoControl, d::ReadFile,
        d::WriteFile, d::GetOverlappedResult, d::CancelIo, d::InitializeCriticalSection,
        d::EnterCriticalSection, d::LeaveCriticalSection, d::DeleteCriticalSection,
        d::GetLastError,
    };
    return calls;
}

const UsbOsCalls& usbOs() {
    const UsbOsCalls* calls = chosen.load(std::memory_order_acquire);
    if (calls == nullptr) {
        const UsbOsCalls* first = &systemDefault();
        // Whoever chose first wins; later first calls see the same table.
        chosen.compare_exchange_strong(calls, first, std::memory_order_acq_rel);
        calls = chosen.load(std::memory_order_acquire);
    }
    return *calls;
}

void setUsbOsCalls(const UsbOsCalls& calls) {
    chosen.store(&calls, std::memory_order_release);
}

} // namespace zt40
