#include "CUsbIoBuf.h"

namespace zt40 {

CUsbIoBuf::CUsbIoBuf(void* data, DWORD size) : Buffer(data), Size(size) {
    Overlapped.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

CUsbIoBuf::~CUsbIoBuf() {
    if (Overlapped.hEvent != nullptr) {
        CloseHandle(Overlapped.hEvent);
    }
}

} // namespace zt40
