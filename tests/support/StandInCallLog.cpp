#include "StandInCallLog.h"
#include "ManualClock.h"

#include <memory>
#include <mutex>

namespace zt40::test {

using driver::CallObserver;
using driver::DeviceCall;
using driver::standInMutex;

namespace {

class CallLog : public CallObserver {
public:
    void seen(const DeviceCall& call) override { calls.push_back(call); }
    std::vector<DeviceCall> calls;
};

CallLog& theCallLog() {
    static auto* log = new CallLog;
    return *log;
}

} // namespace

void setCallLogEnabled(bool enabled) {
    std::lock_guard lock(standInMutex());
    driver::setCallObserver(enabled ? &theCallLog() : nullptr);
}

std::vector<DeviceCall> callLog() {
    std::lock_guard lock(standInMutex());
    return theCallLog().calls;
}

void clearCallLog() {
    std::lock_guard lock(standInMutex());
    theCallLog().calls.clear();
}

namespace {

// Fails the next `count` calls with `error`, then none.
std::function<DWORD()> failuresFor(int count, DWORD error) {
    auto left = std::make_shared<int>(count);
    return [left, error]() -> DWORD {
        if (*left <= 0) {
            return 0;
        }
        --*left;
        return error;
    };
}

} // namespace

void failEventCreation(int count) {
    driver::setEventCreationFault(failuresFor(count, ERROR_NOT_ENOUGH_MEMORY));
}

void failWaits(int count) {
    driver::setWaitFault(failuresFor(count, ERROR_INVALID_HANDLE));
}

// The clock's time is read and moved under the stand-in's lock, as waits do.
std::uint64_t ManualClock::nowMs() {
    std::lock_guard lock(standInMutex());
    return now_;
}

void ManualClock::advance(std::uint64_t ms) {
    std::lock_guard lock(standInMutex());
    now_ += ms;
}

void ManualClock::set(std::uint64_t ms) {
    std::lock_guard lock(standInMutex());
    now_ = ms;
}

} // namespace zt40::test
