#include "StandInJournal.h"
#include "ManualClock.h"

#include <memory>
#include <mutex>

namespace zt40::driver {

namespace {

class Journal : public CallObserver {
public:
    void seen(const JournalEntry& call) override { calls.push_back(call); }
    std::vector<JournalEntry> calls;
};

Journal& theJournal() {
    static auto* journal = new Journal;
    return *journal;
}

} // namespace

void setJournalEnabled(bool enabled) {
    std::lock_guard lock(standInMutex());
    setCallObserver(enabled ? &theJournal() : nullptr);
}

std::vector<JournalEntry> journal() {
    std::lock_guard lock(standInMutex());
    return theJournal().calls;
}

void clearJournal() {
    std::lock_guard lock(standInMutex());
    theJournal().calls.clear();
}

void failEventCreation(int count) {
    auto left = std::make_shared<int>(count);
    setEventCreationFault([left]() -> DWORD {
        if (*left <= 0) {
            return 0;
        }
        --*left;
        return ERROR_NOT_ENOUGH_MEMORY;
    });
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

} // namespace zt40::driver
