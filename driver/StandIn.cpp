// The stand-in's state, transfers as devices see them, its clock, published devices and
// observation.
#include "StandInInternals.h"

#include <cstdio>
#include <thread>

namespace zt40::driver {

State& state() {
    static State* s = new State;
    return *s;
}

thread_local DWORD lastError = 0;

std::shared_ptr<DeviceEntry> entryFor(const std::shared_ptr<Device>& device) {
    State& s = state();
    const std::string path = devicePathFor(device->name());
    auto& slot = s.entries[path];
    if (!slot || slot->device != device) {
        // A new device under a known name gets a fresh entry; handles on the old one keep it.
        slot = std::make_shared<DeviceEntry>();
        slot->device = device;
        slot->path = path;
    }
    return slot;
}

// ---------------------------------------------------------------------------------------------
// Transfer

Transfer::Transfer(const Origin& origin)
    : file_(origin.file), overlapped_(origin.overlapped),
      event_(origin.overlapped != nullptr ? origin.overlapped->hEvent : nullptr),
      endpoint_(origin.endpoint), data_(origin.data), size_(origin.size),
      thread_(std::this_thread::get_id()) {}

bool Transfer::completed() const {
    std::lock_guard lock(state().mutex);
    return done_;
}

void Transfer::complete(DWORD error, std::uint32_t count) {
    std::lock_guard lock(state().mutex);
    StandInAccess::finish(*this, error, count);
}

void Transfer::completeAtOnce(std::uint32_t count) {
    std::lock_guard lock(state().mutex);
    reportedAtOnce_ = inSubmission_;
    StandInAccess::finish(*this, 0, count);
}

void Transfer::completeAfter(std::uint32_t delayMs, DWORD error, std::uint32_t count) {
    std::lock_guard lock(state().mutex);
    completeAfterLocked(now() + delayMs, error, count);
}

void Transfer::completeAfter(std::uint32_t delayMs, DWORD error, std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(state().mutex);
    const auto count = static_cast<std::uint32_t>(bytes.size());
    dueBytes_ = std::move(bytes);
    completeAfterLocked(now() + delayMs, error, count);
}

void Transfer::completeAfterLocked(std::uint64_t dueMs, DWORD error, std::uint32_t count) {
    dueMs_ = dueMs;
    dueError_ = error;
    dueCount_ = count;
    state().wake.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Clock, devices, observation

void setClock(Clock* clock) {
    std::lock_guard lock(state().mutex);
    state().clock = clock != nullptr ? clock : &state().steady;
}

Clock& currentClock() {
    std::lock_guard lock(state().mutex);
    return *state().clock;
}

ScopedClock::ScopedClock(Clock& clock) : previous_(&currentClock()) {
    setClock(&clock);
}

ScopedClock::~ScopedClock() {
    setClock(previous_);
}

void publish(std::shared_ptr<Device> device) {
    std::lock_guard lock(state().mutex);
    if (device) {
        state().published.push_back(std::move(device));
    }
}

void withdrawAll() {
    std::lock_guard lock(state().mutex);
    state().published.clear();
}

std::shared_ptr<simulator::SimulatedInstrument> environmentSimulator() {
    std::lock_guard lock(state().mutex);
    return state().environmentInstrument;
}

void setRealDevicesEnabled(bool enabled) {
    std::lock_guard lock(state().mutex);
    state().realDevices = enabled;
}

void setServedIds(std::vector<std::pair<std::uint16_t, std::uint16_t>> vendorProductPairs) {
    std::lock_guard lock(state().mutex);
    state().servedIds = std::move(vendorProductPairs);
}

void setEventCreationFault(std::function<DWORD()> fault) {
    std::lock_guard lock(state().mutex);
    state().eventFault = std::move(fault);
}

void setWaitFault(std::function<DWORD()> fault) {
    std::lock_guard lock(state().mutex);
    state().waitFault = std::move(fault);
}

std::recursive_mutex& standInMutex() {
    return state().mutex;
}

std::string devicePathFor(const std::string& deviceName) {
    const auto& c = InstrumentUsb::DriverInterfaceClass;
    char guid[40];
    std::snprintf(guid, sizeof guid, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", c.data1,
                  c.data2, c.data3, c.data4[0], c.data4[1], c.data4[2], c.data4[3], c.data4[4],
                  c.data4[5], c.data4[6], c.data4[7]);
    return "\\\\?\\zt40standin#" + deviceName + "#" + guid;
}

void setCallObserver(CallObserver* observer) {
    std::lock_guard lock(state().mutex);
    state().observer = observer;
}

Counters counters() {
    std::lock_guard lock(state().mutex);
    return state().counters;
}

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

} // namespace zt40::driver
