#include "CUsbIoBuf.h"

namespace zt40 {

CUsbIoBuf::CUsbIoBuf(void* data, DWORD size) : Buffer(data), Size(size) {
    Overlapped.hEvent = usbOs().CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

CUsbIoBuf::~CUsbIoBuf() {
    if (Overlapped.hEvent != nullptr) {
        usbOs().CloseHandle(Overlapped.hEvent);
    }
}

} // namespace zt40
