// The whole stack under faults for a long run: the poll cycle drives InstrumentLink through the
// driver stand-in to the simulated instrument, on the stand-in's test clock, while faults drawn
// at random by seed strike: no answer, a short reply, a garbage reply, the cable pulled and
// plugged in again. The connection drops and comes back thousands of times.
//
// Afterwards the stand-in holds no handle, event, list or transfer, and every reading the
// instrument delivered whole is exactly one row with its value and mode letters.
//
// Length: 1,000,000 ticks; --ticks=N (ctest passes a short run) or ZT40_SOAK_TICKS=N, which
// wins. --seed=N or ZT40_SOAK_SEED=N chooses the faults.
#include "DriverStandIn.h"
#include "InstrumentLink.h"
#include "ManualClock.h"
#include "PollCycle.h"
#include "SimulatedDevice.h"
#include "SimulatedInstrument.h"
#include "TestEnvironment.h"
#include "UsbOsCalls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace zt40::test {
namespace {

std::uint64_t soakTicks = 1'000'000;
std::uint64_t soakSeed = 15;

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && t.front() == ' ') {
        t.remove_prefix(1);
    }
    while (!t.empty() && t.back() == ' ') {
        t.remove_suffix(1);
    }
    return t;
}

// The main window as the poll cycle sees it, keeping only what the checks need.
class SoakSurroundings : public PollSurroundings {
public:
    explicit SoakSurroundings(InstrumentLink& link) : link_(link) {}

    bool timer1 = false, timer2 = false;
    int interval = 0;
    std::uint64_t rows = 0, rowsThisTick = 0;
    std::string lastValue, lastMode;
    std::uint64_t drops = 0, reopens = 0;

    void setFirmwareText(std::string_view) override {}
    void setSerialText(std::string_view) override {}
    void setValueText(std::string_view) override {}
    void setModeLetters(char, char, char) override {}
    void setStatusText(std::string_view) override {}
    void showLightButton(bool) override {}
    void setTimer1Enabled(bool on) override {
        reopens += on && !timer1 ? 1 : 0;
        timer1 = on;
    }
    void setTimer2Enabled(bool on) override {
        drops += on && !timer2 ? 1 : 0;
        timer2 = on;
    }
    void setTimer1Interval(int ms) override { interval = ms; }
    void appendMeasurementRow(std::string_view, std::string_view, std::string_view mode,
                              std::string_view value) override {
        ++rows;
        ++rowsThisTick;
        lastMode = mode;
        lastValue = trimmed(value);
    }
    std::string uiText(int slot) override { return slot == 0 ? "cannot open" : "lost"; }
    std::string currentDateText() override { return "09.12.2026"; }
    std::string currentTimeText() override { return "07:00:00"; }
    char decimalSeparator() override { return ','; }
    bool Open() override { return link_.Open(); }
    bool Exchange(InstrumentFrame& frame) override { return link_.Exchange(frame); }
    void Close() override { link_.Close(); }

private:
    InstrumentLink& link_;
};

std::string expectedValue(const simulator::EncodedReading& r) {
    return std::to_string(r.tenths / 10) + "," + std::to_string(r.tenths % 10);
}

std::string expectedMode(const simulator::EncodedReading& r) {
    const std::uint8_t f = r.first[2];
    return {(f & ModeFlagL) ? 'L' : ' ', (f & ModeFlagC) ? 'C' : ' ', (f & ModeFlagD) ? 'D' : ' '};
}

TEST(Soak, PollTicksWithRandomFaultsLoseNoReadingAndLeakNoHandle) {
    setUsbOsCalls(standInOsCalls()); // the stand-in's devices, on Windows too
    unsetEnvironment("ZT40_SIMULATOR");
    driver::withdrawAll();
    driver::setRealDevicesEnabled(false);
    const driver::Counters before = driver::counters();
    ManualClock clock(1000);
    driver::ScopedClock useClock(clock);

    simulator::SimulatedInstrument::Config config; // readings only when made below or measured
    config.seed = static_cast<std::uint32_t>(soakSeed);
    auto instrument = std::make_shared<simulator::SimulatedInstrument>(config);
    driver::publish(std::make_shared<driver::SimulatedDevice>(instrument));

    InstrumentLink link;
    SoakSurroundings env(link);
    PollCycle cycle(env);
    cycle.start();
    env.reopens = 0;

    std::mt19937_64 rng(soakSeed);
    std::uniform_int_distribution<int> permille(0, 999);
    std::uniform_real_distribution<double> gloss(0.0, 399.9);
    std::uniform_int_distribution<int> flags(0, 15), unpluggedFor(2, 12);
    int replugIn = 0;
    std::uint64_t faults = 0, unplugs = 0;

    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t tick = 0; tick < soakTicks; ++tick) {
        // The instrument's side: its key, and the faults of the next exchange.
        const int r = permille(rng);
        if (r < 25) {
            instrument->holdReading(
                simulator::encodeReading(gloss(rng), static_cast<std::uint8_t>(flags(rng))));
        } else if (r < 30) {
            cycle.messenClick();
        } else if (r < 32) {
            cycle.lichtClick();
        } else if (r < 36) {
            instrument->injectFault(simulator::Fault::NoAnswer);
            ++faults;
        } else if (r < 40) {
            instrument->injectFault(simulator::Fault::ShortReply);
            ++faults;
        } else if (r < 44) {
            instrument->injectFault(simulator::Fault::GarbageReply);
            ++faults;
        } else if (r < 46 && instrument->pluggedIn()) {
            instrument->unplug();
            replugIn = unpluggedFor(rng);
            ++unplugs;
        }
        if (!instrument->pluggedIn() && --replugIn <= 0) {
            instrument->plugIn();
        }

        // One timer tick after its interval.
        const std::size_t wholeBefore = instrument->readingsDeliveredWhole();
        env.rowsThisTick = 0;
        clock.advance(static_cast<std::uint64_t>(env.timer1 ? env.interval : ReconnectIntervalMs));
        if (env.timer1) {
            cycle.Timer1Timer();
        } else if (env.timer2) {
            cycle.Timer2Timer();
        }
        ASSERT_NE(env.timer1, env.timer2) << "tick " << tick;
        ASSERT_LE(env.rowsThisTick, 1u) << "tick " << tick;
        const std::size_t whole = instrument->readingsDeliveredWhole() - wholeBefore;
        ASSERT_LE(whole, 1u);
        if (whole == 1) {
            const auto& reading = *instrument->lastReadingDeliveredWhole();
            ASSERT_EQ(env.rowsThisTick, 1u) << "tick " << tick;
            ASSERT_EQ(env.lastValue, expectedValue(reading)) << "tick " << tick;
            ASSERT_EQ(env.lastMode, expectedMode(reading)) << "tick " << tick;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    link.Close();
    driver::withdrawAll();

    // Rows come only from replies that the host takes for a second half, one each.
    EXPECT_EQ(env.rows, instrument->secondHalvesDelivered());
    // The run did what it is for: readings arrived, and the connection dropped and came back
    // again and again (about once in 200 ticks).
    EXPECT_GE(instrument->readingsDeliveredWhole(), soakTicks / 200);
    EXPECT_GE(env.drops, soakTicks / 1000);
    EXPECT_GE(env.reopens + 1, env.drops);
    // Nothing of the stand-in's is left open after the last Close.
    const driver::Counters after = driver::counters();
    EXPECT_EQ(after.filesOpen, before.filesOpen);
    EXPECT_EQ(after.eventsOpen, before.eventsOpen);
    EXPECT_EQ(after.listsOpen, before.listsOpen);
    EXPECT_EQ(after.transfersPending, 0u);

    std::printf("soak: %llu ticks in %.1f s, %.0f ticks/s; %llu faults, %llu unplugs, "
                "%llu drops, %llu reopens; %zu commands answered, %zu readings delivered whole, "
                "%llu rows\n",
                static_cast<unsigned long long>(soakTicks), seconds,
                static_cast<double>(soakTicks) / seconds, static_cast<unsigned long long>(faults),
                static_cast<unsigned long long>(unplugs),
                static_cast<unsigned long long>(env.drops),
                static_cast<unsigned long long>(env.reopens), instrument->commandsAnswered(),
                instrument->readingsDeliveredWhole(), static_cast<unsigned long long>(env.rows));
}

bool numberArgument(const char* arg, const char* name, std::uint64_t& value) {
    const std::size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0) {
        return false;
    }
    value = std::strtoull(arg + n, nullptr, 10);
    return true;
}

} // namespace
} // namespace zt40::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    using zt40::test::numberArgument;
    for (int i = 1; i < argc; ++i) {
        numberArgument(argv[i], "--ticks=", zt40::test::soakTicks) ||
            numberArgument(argv[i], "--seed=", zt40::test::soakSeed);
    }
    if (const char* ticks = std::getenv("ZT40_SOAK_TICKS")) {
        zt40::test::soakTicks = std::strtoull(ticks, nullptr, 10);
    }
    if (const char* seed = std::getenv("ZT40_SOAK_SEED")) {
        zt40::test::soakSeed = std::strtoull(seed, nullptr, 10);
    }
    return RUN_ALL_TESTS();
}
