#include "CUsbIoPipe.h"

namespace zt40 {

DWORD CUsbIoPipe::BindEndpoint(int instance, std::uint8_t endpointAddress, HDEVINFO deviceList,
                               const GUID* interfaceClass) {
    if (const DWORD status = Open(instance, deviceList, interfaceClass);
        status != UsbStatus::Success) {
        return status;
    }
    PipeBindRequest request{endpointAddress};
    return ControlRequest(UsbRequest::BindPipe, &request, sizeof request, nullptr, 0);
}

bool CUsbIoPipe::SubmitRead(CUsbIoBuf& record) {
    if (usbOs().ReadFile(FileHandle_, record.Buffer, record.NumberOfBytesToTransfer,
                 &record.BytesTransferred, &record.Overlapped)) {
        record.Status = 0;
        return true;
    }
    record.Status = usbOs().GetLastError();
    return record.Status == ERROR_IO_PENDING;
}

bool CUsbIoPipe::SubmitWrite(CUsbIoBuf& record) {
    if (usbOs().WriteFile(FileHandle_, record.Buffer, record.NumberOfBytesToTransfer,
                  &record.BytesTransferred, &record.Overlapped)) {
        record.Status = 0;
        return true;
    }
    record.Status = usbOs().GetLastError();
    return record.Status == ERROR_IO_PENDING;
}

DWORD CUsbIoPipe::WaitTransfer(CUsbIoBuf& record, DWORD timeoutMs) {
    if (record.Status == 0) {
        return 0;
    }
    if (record.Status != ERROR_IO_PENDING) {
        return record.Status;
    }
    if (usbOs().WaitForSingleObject(record.Overlapped.hEvent, timeoutMs) == WAIT_TIMEOUT) {
        return UsbStatus::Timeout;
    }
    record.Status =
        usbOs().GetOverlappedResult(FileHandle_, &record.Overlapped, &record.BytesTransferred, FALSE)
            ? 0
            : usbOs().GetLastError();
    return record.Status;
}

DWORD CUsbIoPipe::TimedTransfer(void* buffer, DWORD& count, DWORD timeoutMs, bool read) {
    CUsbIoBuf record(buffer, count);
    record.NumberOfBytesToTransfer = count;
    if (read) {
        SubmitRead(record);
    } else {
        SubmitWrite(record);
    }
    const DWORD result = WaitTransfer(record, timeoutMs);
    if (result == UsbStatus::Timeout) {
        // The transfer must have let go of the caller's buffer before we return.
        CancelTransfers();
        WaitTransfer(record, INFINITE);
    } else if (record.Status == ERROR_IO_INCOMPLETE) {
        // The wait itself failed while the transfer is still outstanding: cancel it and
        // await its end all the same.
        CancelTransfers();
        usbOs().GetOverlappedResult(FileHandle_, &record.Overlapped, &record.BytesTransferred, TRUE);
    }
    count = record.BytesTransferred;
    return result;
}

DWORD CUsbIoPipe::TimedRead(void* buffer, DWORD& count, DWORD timeoutMs) {
    return TimedTransfer(buffer, count, timeoutMs, true);
}

DWORD CUsbIoPipe::TimedWrite(const void* buffer, DWORD& count, DWORD timeoutMs) {
    // A write only reads the buffer; the record's pointer is not const.
    return TimedTransfer(const_cast<void*>(buffer), count, timeoutMs, false);
}

bool CUsbIoPipe::CancelTransfers() {
    return usbOs().CancelIo(FileHandle_) != FALSE;
}

} // namespace zt40
