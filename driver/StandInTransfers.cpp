// Overlapped reads and writes on bound handles, their completion and cancellation, and the
// waits that let time pass on the stand-in's clock.
#include "LibusbBackend.h"
#include "StandInInternals.h"

#include <algorithm>
#include <limits>
#include <thread>

namespace zt40::driver {

void StandInAccess::finish(Transfer& t, DWORD error, std::uint32_t count) {
    State& s = state();
    if (t.done_) {
        return;
    }
    t.done_ = true;
    ++s.completions;
    count = std::min(count, t.size_);
    if (t.overlapped_ != nullptr) {
        t.overlapped_->Internal = error;
        t.overlapped_->InternalHigh = count;
    }
    // A failure during submission is reported by the call itself, not by the event.
    if (!(t.inSubmission_ && error != 0)) {
        setEvent(t.event_, true);
    }
    std::erase_if(s.pending, [&](const std::shared_ptr<Transfer>& p) { return p.get() == &t; });
    s.counters.transfersPending = s.pending.size();
    s.wake.notify_all();
}

// Completes what is due and lets the devices see the time.
void StandInAccess::pump() {
    State& s = state();
    const std::uint64_t t = now();
    for (auto& [path, entry] : s.entries) {
        if (entry->handles > 0) {
            entry->device->tick(t);
        }
    }
    const auto due = s.pending;
    for (const auto& p : due) {
        if (!p->done_ && p->dueMs_ && *p->dueMs_ <= t) {
            if (p->data_ != nullptr && !p->dueBytes_.empty()) {
                std::memcpy(p->data_, p->dueBytes_.data(),
                            std::min<std::size_t>(p->dueBytes_.size(), p->size_));
            }
            finish(*p, p->dueError_, p->dueCount_);
        }
    }
}

std::optional<std::uint64_t> StandInAccess::nextDue() {
    std::optional<std::uint64_t> next;
    for (const auto& p : state().pending) {
        if (!p->done_ && p->dueMs_ && (!next || *p->dueMs_ < *next)) {
            next = p->dueMs_;
        }
    }
    return next;
}

// Waits until check() gives 1 (WAIT_OBJECT_0) or -1 (WAIT_FAILED, error set), or the limit.
DWORD StandInAccess::waitUntil(std::unique_lock<std::recursive_mutex>& lock,
                               const std::function<int()>& check, DWORD limitMs) {
    State& s = state();
    const std::uint64_t start = now();
    constexpr std::uint64_t Forever = std::numeric_limits<std::uint64_t>::max();
    for (;;) {
        pump();
        if (const int c = check(); c != 0) {
            return c > 0 ? WAIT_OBJECT_0 : WAIT_FAILED;
        }
        const std::uint64_t t = now();
        const std::uint64_t elapsed = t - start;
        if (limitMs != INFINITE && elapsed >= limitMs) {
            return WAIT_TIMEOUT;
        }
        std::uint64_t step = limitMs == INFINITE ? Forever : limitMs - elapsed;
        if (const auto due = nextDue()) {
            step = std::min(step, *due > t ? *due - t : 0);
        }
        Clock& clock = *s.clock;
        if (libusbBusy()) {
            // Real transfers complete inside libusb's event handling, run here.
            step = std::min<std::uint64_t>(step, 50);
            const std::uint64_t completionsBefore = s.completions;
            lock.unlock();
            handleLibusbEvents(static_cast<std::uint32_t>(step));
            lock.lock();
            // A test clock moves on towards a limit or a scheduled completion while the
            // real device has nothing to say; a wait without either takes no test time.
            if (!clock.realTime() && s.completions == completionsBefore &&
                (limitMs != INFINITE || nextDue())) {
                clock.advance(step);
            }
        } else if (clock.realTime()) {
            if (step == Forever) {
                s.wake.wait(lock);
            } else {
                s.wake.wait_for(lock, std::chrono::milliseconds(step));
            }
        } else if (step == Forever) {
            // Nothing could ever end this wait.
            lastError = ERROR_POSSIBLE_DEADLOCK;
            return WAIT_FAILED;
        } else {
            clock.advance(step);
        }
    }
}

BOOL StandInAccess::startTransfer(HANDLE handle, void* buffer, DWORD size, DWORD* count,
                                  OVERLAPPED* overlapped, bool read) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    FileObject* file = find<FileObject>(handle);
    if (file == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (overlapped == nullptr) {
        return fail(ERROR_INVALID_PARAMETER); // the stand-in serves overlapped I/O only
    }
    if (!file->bound || ((file->endpoint & 0x80) != 0) != read) {
        return fail(ERROR_INVALID_FUNCTION);
    }
    if (buffer == nullptr && size > 0) {
        return fail(ERROR_INVALID_USER_BUFFER);
    }
    const std::shared_ptr<Device> device = file->entry->device;
    if (!device->present()) {
        return fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    auto* data = static_cast<std::uint8_t*>(buffer);
    DeviceCall entry{read ? DeviceCall::Kind::Read : DeviceCall::Kind::Write, device->name()};
    entry.endpoint = file->endpoint;
    entry.size = size;
    if (!read && size > 0) {
        entry.bytes.assign(data, data + size);
    }
    record(std::move(entry));

    overlapped->Internal = StatusPending;
    overlapped->InternalHigh = 0;
    setEvent(overlapped->hEvent, false);
    auto t = std::make_shared<Transfer>(
        Transfer::Origin{handle, overlapped, file->endpoint, data, size});
    s.pending.push_back(t);
    s.counters.transfersPending = s.pending.size();
    device->tick(now());
    t->inSubmission_ = true;
    device->submit(t);
    t->inSubmission_ = false;
    if (t->done_) {
        const auto error = static_cast<DWORD>(overlapped->Internal);
        if (error != 0) {
            return fail(error);
        }
        if (t->reportedAtOnce_) {
            if (count != nullptr) {
                *count = static_cast<DWORD>(overlapped->InternalHigh);
            }
            return TRUE;
        }
    }
    return fail(ERROR_IO_PENDING);
}

void StandInAccess::cancel(const std::shared_ptr<Transfer>& t, Device* device) {
    if (t->endpoint_ == 0 || device == nullptr) {
        finish(*t, ERROR_OPERATION_ABORTED, 0); // a control request still outstanding
    } else {
        device->cancel(t);
    }
}

BOOL StandInAccess::cancelIo(HANDLE handle) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    FileObject* file = find<FileObject>(handle);
    if (file == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    const std::shared_ptr<DeviceEntry> entry = file->entry;
    record({DeviceCall::Kind::Cancel, entry->device->name()});
    const auto mine = s.pending;
    for (const auto& t : mine) {
        if (t->file_ == handle && t->thread_ == std::this_thread::get_id() && !t->done_) {
            cancel(t, entry->device.get());
        }
    }
    return TRUE;
}

// The event of a transfer that is still outstanding is being closed: its record is about
// to go, so the transfer must no longer write into it or into the caller's memory.
void StandInAccess::abandonEvent(HANDLE event) {
    State& s = state();
    for (const auto& t : s.pending) {
        if (t->event_ == event && !t->done_) {
            t->overlapped_ = nullptr;
            t->data_ = nullptr;
            t->event_ = nullptr;
            ++s.counters.transfersAbandoned;
        }
    }
}

void StandInAccess::closeFile(HANDLE handle, FileObject& file) {
    State& s = state();
    const std::shared_ptr<DeviceEntry> entry = file.entry;
    // Closing cancels what is outstanding; the caller's memory is no longer touched.
    const auto outstanding = s.pending;
    for (const auto& t : outstanding) {
        if (t->file_ == handle && !t->done_) {
            t->overlapped_ = nullptr;
            t->data_ = nullptr;
            t->event_ = nullptr;
            cancel(t, entry->device.get());
        }
    }
    record({DeviceCall::Kind::Close, entry->device->name()});
    entry->device->close();
    if (--entry->handles == 0) {
        entry->configured = false;
    }
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::unique_lock lock(state().mutex);
    if (state().waitFault) {
        if (const DWORD error = state().waitFault(); error != 0) {
            lastError = error;
            return WAIT_FAILED;
        }
    }
    if (find<EventObject>(hHandle) == nullptr) {
        lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    return StandInAccess::waitUntil(
        lock,
        [hHandle] {
            auto* e = find<EventObject>(hHandle);
            if (e == nullptr) {
                lastError = ERROR_INVALID_HANDLE;
                return -1;
            }
            if (!e->signalled) {
                return 0;
            }
            if (!e->manualReset) {
                e->signalled = false;
            }
            return 1;
        },
        dwMilliseconds);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    return StandInAccess::startTransfer(hFile, lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead,
                                        lpOverlapped, true);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    // The device only reads the memory of a write.
    return StandInAccess::startTransfer(hFile, const_cast<void*>(lpBuffer), nNumberOfBytesToWrite,
                                        lpNumberOfBytesWritten, lpOverlapped, false);
}

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
    std::unique_lock lock(state().mutex);
    if (lpOverlapped == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (find<FileObject>(hFile) == nullptr) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (lpOverlapped->Internal == StatusPending) {
        if (!bWait) {
            return fail(ERROR_IO_INCOMPLETE);
        }
        const DWORD r = StandInAccess::waitUntil(
            lock,
            [lpOverlapped] {
                return lpOverlapped->Internal != StatusPending ? 1 : 0;
            },
            INFINITE);
        if (r != WAIT_OBJECT_0) {
            return FALSE;
        }
        // The wait was on the event: an auto-reset event is consumed by it.
        if (auto* e = find<EventObject>(lpOverlapped->hEvent);
            e != nullptr && !e->manualReset) {
            e->signalled = false;
        }
    }
    if (lpNumberOfBytesTransferred != nullptr) {
        *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    }
    if (lpOverlapped->Internal != 0) {
        return fail(static_cast<DWORD>(lpOverlapped->Internal));
    }
    return TRUE;
}

BOOL CancelIo(HANDLE hFile) {
    return StandInAccess::cancelIo(hFile);
}

} // namespace zt40::driver
