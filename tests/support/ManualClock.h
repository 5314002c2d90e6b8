// A clock for the driver stand-in that moves only when told to, or when a wait lets time
// pass: a 5000 ms time limit then expires at once, and the clock reads 5000 ms later.
#pragma once

#include "DriverStandIn.h"

#include <cstdint>

namespace zt40::test {

class ManualClock : public driver::Clock {
public:
    explicit ManualClock(std::uint64_t startMs = 0) : now_(startMs) {}
    std::uint64_t nowMs() override;
    bool realTime() const override { return false; }
    void advance(std::uint64_t ms) override;
    void set(std::uint64_t ms);

private:
    std::uint64_t now_;
};

} // namespace zt40::test
