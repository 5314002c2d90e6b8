// One transfer record: the caller's memory, the counts and status of one overlapped
// transfer, and the record's own event.
#pragma once

#include "UsbOsCalls.h"

namespace zt40 {

class CUsbIoBuf {
public:
    // The record never owns the memory; it creates its event here and closes it on destruction.
    CUsbIoBuf(void* data, DWORD size);
    ~CUsbIoBuf();
    CUsbIoBuf(const CUsbIoBuf&) = delete;
    CUsbIoBuf& operator=(const CUsbIoBuf&) = delete;

    DWORD NumberOfBytesToTransfer = 0;
    DWORD BytesTransferred = 0;
    DWORD Status = 0; // 0 done, ERROR_IO_PENDING outstanding, else the error of the transfer
    void* Buffer;
    DWORD Size;
    OVERLAPPED Overlapped{};
};

} // namespace zt40
