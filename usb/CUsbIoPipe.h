// The pipe object: a device object whose handle is bound to one endpoint, with bounded-time
// overlapped transfers on it.
#pragma once

#include "CUsbIo.h"
#include "CUsbIoBuf.h"

namespace zt40 {

class CUsbIoPipe : public CUsbIo {
public:
    CUsbIoPipe() = default;
    ~CUsbIoPipe() override = default;

    DWORD BindEndpoint(int instance, std::uint8_t endpointAddress, HDEVINFO deviceList,
                       const GUID* interfaceClass);

    // True when the transfer completed at once or is pending; else the error is in the status.
    bool SubmitRead(CUsbIoBuf& record);
    bool SubmitWrite(CUsbIoBuf& record);
    DWORD WaitTransfer(CUsbIoBuf& record, DWORD timeoutMs);
    // count: bytes wanted on entry, bytes transferred on exit.
    DWORD TimedRead(void* buffer, DWORD& count, DWORD timeoutMs);
    DWORD TimedWrite(const void* buffer, DWORD& count, DWORD timeoutMs);
    // Cancels the transfers on this handle that the calling thread started.
    bool CancelTransfers();

private:
    DWORD TimedTransfer(void* buffer, DWORD& count, DWORD timeoutMs, bool read);
};

} // namespace zt40
