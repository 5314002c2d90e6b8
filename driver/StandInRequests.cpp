// The driver's control requests, checked and answered with their exact layouts.
#include "StandInInternals.h"

namespace zt40::driver {

BOOL StandInAccess::control(HANDLE handle, DWORD code, const std::uint8_t* in, DWORD inSize,
                            std::uint8_t* out, DWORD outSize, DWORD* returned,
                            OVERLAPPED* overlapped) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    FileObject* file = find<FileObject>(handle);
    if (file == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    const std::shared_ptr<DeviceEntry> entry = file->entry;
    Device& device = *entry->device;
    if ((in == nullptr && inSize > 0) || (out == nullptr && outSize > 0)) {
        return fail(ERROR_INVALID_USER_BUFFER);
    }
    DeviceCall j{DeviceCall::Kind::Control, device.name()};
    j.code = code;
    if (inSize > 0) {
        j.bytes.assign(in, in + inSize);
    }
    j.size = outSize;
    record(std::move(j));
    if (!device.present()) {
        return fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    device.tick(now());

    std::uint32_t count = 0;
    DWORD error = 0;
    switch (code) {
    case RequestDriverInfo:
        if (inSize != 0 || outSize != DriverInfoSize) {
            error = ERROR_INVALID_PARAMETER;
            break;
        }
        std::memset(out, 0, DriverInfoSize);
        out[0] = static_cast<std::uint8_t>(device.interfaceVersion() & 0xFF);
        out[1] = static_cast<std::uint8_t>(device.interfaceVersion() >> 8);
        out[2] = 0x00; // stand-in release 1.00
        out[3] = 0x01;
        out[4] = 0x01; // build 1
        count = DriverInfoSize;
        break;
    case RequestDescriptor:
        if (inSize != DescriptorRequestSize || outSize == 0) {
            error = ERROR_INVALID_PARAMETER;
            break;
        }
        error = device.getDescriptor(get32(in), in[4], in[5], get16(in + 6), out, outSize, count);
        break;
    case RequestConfiguration: {
        const std::uint16_t n = inSize == ConfigurationRequestSize ? get16(in + 2) : 0;
        if (inSize != ConfigurationRequestSize || outSize != 0 || n == 0 || n > MaxInterfaces) {
            error = ERROR_INVALID_PARAMETER;
            break;
        }
        std::vector<InterfaceChoice> choices;
        for (std::uint16_t i = 0; i < n; ++i) {
            const std::uint8_t* e = in + 4 + 8 * i;
            choices.push_back({get16(e), get16(e + 2), get32(e + 4)});
        }
        error = device.setConfiguration(get16(in), choices);
        if (error == 0) {
            entry->configured = true;
        }
        break;
    }
    case RequestBindPipe:
        if (inSize != 1 || outSize != 0) {
            error = ERROR_INVALID_PARAMETER;
        } else if (file->bound || endpointTaken(*entry, in[0])) {
            error = ERROR_BUSY;
        } else if (!entry->configured) {
            error = ERROR_NOT_READY;
        } else {
            error = device.bindPipe(in[0]);
            if (error == 0) {
                file->bound = true;
                file->endpoint = in[0];
            }
        }
        break;
    default:
        error = ERROR_INVALID_FUNCTION;
        break;
    }
    if (returned != nullptr) {
        *returned = count;
    }
    if (overlapped == nullptr) {
        return error == 0 ? TRUE : fail(error);
    }
    overlapped->Internal = error;
    overlapped->InternalHigh = count;
    if (const std::uint32_t latency = device.controlLatencyMs(); latency > 0) {
        // The driver answers later: report the request as pending.
        overlapped->Internal = StatusPending;
        setEvent(overlapped->hEvent, false);
        auto t =
            std::make_shared<Transfer>(Transfer::Origin{handle, overlapped, 0, nullptr, count});
        t->completeAfterLocked(now() + latency, error, count);
        s.pending.push_back(t);
        s.counters.transfersPending = s.pending.size();
        return fail(ERROR_IO_PENDING);
    }
    setEvent(overlapped->hEvent, true);
    return error == 0 ? TRUE : fail(error);
}

bool StandInAccess::endpointTaken(const DeviceEntry& entry, std::uint8_t endpoint) {
    for (const auto& [id, object] : state().objects) {
        if (const auto* f = std::get_if<FileObject>(&object)) {
            if (f->entry.get() == &entry && f->bound && f->endpoint == endpoint) {
                return true;
            }
        }
    }
    return false;
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                     LPOVERLAPPED lpOverlapped) {
    return StandInAccess::control(
        hDevice, dwIoControlCode, static_cast<const std::uint8_t*>(lpInBuffer), nInBufferSize,
        static_cast<std::uint8_t*>(lpOutBuffer), nOutBufferSize, lpBytesReturned, lpOverlapped);
}

} // namespace zt40::driver
