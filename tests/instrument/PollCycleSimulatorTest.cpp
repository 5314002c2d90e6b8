// The poll cycle with the simulated instrument as its channel: commands are written and
// replies read into the same buffer, as the USB channel does.
#include "PollCycle.h"
#include "PollRecorder.h"
#include "SimulatedInstrument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

namespace zt40::test {
namespace {

class SimulatorLink {
public:
    explicit SimulatorLink(simulator::SimulatedInstrument& instrument) : sim_(instrument) {}

    bool Open() {
        open_ = sim_.pluggedIn();
        return open_;
    }
    bool Exchange(InstrumentFrame& frame) {
        const bool ok = open_ && move(frame);
        failures += !ok;
        return ok;
    }
    void Close() { open_ = false; }

    int failures = 0;

private:
    bool move(InstrumentFrame& frame) {
        std::size_t n = 0;
        if (sim_.write(frame.data(), frame.size(), n) != simulator::Completion::Done || n != 8) {
            return false;
        }
        return sim_.read(frame.data(), frame.size(), n) == simulator::Completion::Done && n == 8;
    }

    simulator::SimulatedInstrument& sim_;
    bool open_ = false;
};

class PollCycleSimulatorTest : public ::testing::Test {
protected:
    explicit PollCycleSimulatorTest(simulator::SimulatedInstrument::Config config =
                                        simulator::SimulatedInstrument::scenario("manual"))
        : instrument(config) {
        env.open = [this] { return link.Open(); };
        env.exchange = [this](InstrumentFrame& f) { return link.Exchange(f); };
        env.close = [this] { link.Close(); };
        cycle.start();
    }

    // Runs the timers for a stretch of time; the instrument sees the same clock.
    void runFor(std::uint64_t milliseconds) {
        const auto end = now + milliseconds;
        while (now < end) {
            env.tick(cycle);
            now += env.periodMs();
            instrument.setNow(now);
        }
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            env.tick(cycle);
        }
    }
    std::ptrdiff_t serialRequests() const {
        return std::count_if(env.sent.begin(), env.sent.end(),
                             [](const InstrumentFrame& f) { return f[0] == Code::ReadSerial; });
    }

    simulator::SimulatedInstrument instrument;
    SimulatorLink link{instrument};
    PollRecorder env;
    PollCycle cycle{env};
    std::uint64_t now = 0;
};

TEST_F(PollCycleSimulatorTest, StartUpReadsSerialOnceThenFirmware) {
    ticks(12);
    EXPECT_EQ(env.serial, "Z T 4 0 A 0 7 3 1 1 ");
    EXPECT_EQ(env.firmware, "02 15 ");
    EXPECT_EQ(env.interval, PollIntervalRunningMs);
    ticks(60);
    EXPECT_EQ(serialRequests(), 11);
    EXPECT_TRUE(env.rows.empty());
    EXPECT_EQ(env.value, "design");
    EXPECT_EQ(env.status, "");
    EXPECT_EQ(link.failures, 0);
    EXPECT_EQ(instrument.commandsAnswered(), 72u);
}

TEST_F(PollCycleSimulatorTest, HeldReadingBecomesOneRow) {
    ticks(12);
    env.separator = ',';
    instrument.holdReading(simulator::encodeReading(125.4, 0x0B));
    ticks(3);
    ASSERT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.rows[0], (RecordedRow{"08.12.2026", "23:59:58", "LCD", "  125,4 "}));
    EXPECT_EQ(env.value, "    1 2 5 , 4   ");
    EXPECT_EQ(env.letters, "LCD");
    instrument.holdReading(simulator::encodeReading(7.0, 0x00));
    ticks(30);
    ASSERT_EQ(env.rows.size(), 2u);
    EXPECT_EQ(env.rows[1].value, "    7,0 ");
    EXPECT_EQ(env.rows[1].mode, "   ");
}

TEST_F(PollCycleSimulatorTest, MessenAndLichtChooseTheMeasureCommand) {
    ticks(14);
    cycle.messenClick();
    ticks(4);
    ASSERT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.rows[0].mode[0], ' ');
    EXPECT_EQ(env.rows[0].mode[1], 'C');
    cycle.lichtClick();
    EXPECT_TRUE(env.lightShown);
    cycle.messenClick();
    ticks(4);
    ASSERT_EQ(env.rows.size(), 2u);
    EXPECT_EQ(env.rows[1].mode.substr(0, 2), "LC");
    EXPECT_EQ(instrument.readingsMade(), 2u);
    const auto measures = std::count_if(env.sent.begin(), env.sent.end(), [](const auto& f) {
        return f[0] == Code::StartMeasure || f[0] == Code::StartMeasureLight;
    });
    EXPECT_EQ(measures, 2);
}

TEST_F(PollCycleSimulatorTest, UnplugLosesConnectionAndPlugInResumesWithoutSerial) {
    ticks(15);
    instrument.unplug();
    ticks(2);
    EXPECT_EQ(env.status, "Connection lost");
    EXPECT_FALSE(env.timer1);
    EXPECT_TRUE(env.timer2);
    ticks(3);
    EXPECT_EQ(env.status, "Couldn't open port! Please restart application to retry!");
    // A reading made while the host could not ask for it is read after the reopen.
    instrument.pressKey();
    instrument.plugIn();
    ticks(1);
    EXPECT_TRUE(env.timer1);
    EXPECT_EQ(env.interval, PollIntervalStartMs);
    ticks(4);
    EXPECT_EQ(env.status, "");
    EXPECT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.interval, PollIntervalRunningMs);
    EXPECT_EQ(serialRequests(), 11);
    EXPECT_EQ(env.serial, "Z T 4 0 A 0 7 3 1 1 ");
}

TEST_F(PollCycleSimulatorTest, FaultsAreCountedUntilTheSecond) {
    ticks(12);
    instrument.injectFault(simulator::Fault::ShortReply);
    ticks(1);
    EXPECT_EQ(link.failures, 1);
    EXPECT_TRUE(env.timer1);
    instrument.injectFault(simulator::Fault::GarbageReply, 5);
    ticks(5);
    EXPECT_EQ(link.failures, 1);
    EXPECT_TRUE(env.timer1);
    instrument.injectFault(simulator::Fault::NoAnswer);
    ticks(1);
    EXPECT_EQ(link.failures, 2);
    EXPECT_FALSE(env.timer1);
    EXPECT_EQ(env.status, "Connection lost");
    ticks(1); // the instrument is still there: reopened at once
    EXPECT_TRUE(env.timer1);
    instrument.pressKey();
    ticks(6);
    EXPECT_FALSE(env.rows.empty());
}

class ScheduledReadingsTest : public PollCycleSimulatorTest {
protected:
    ScheduledReadingsTest()
        : PollCycleSimulatorTest(simulator::SimulatedInstrument::scenario("1")) {}
};

// With the instrument's key pressed every 3 s and a few measure clicks, every reading the
// instrument handed out ends up as exactly one row. A reading replaced by a newer one before
// it was read out cannot reach the list.
TEST_F(ScheduledReadingsTest, OneRowPerReadingTheInstrumentMade) {
    for (int minute = 0; minute < 5; ++minute) {
        runFor(50000);
        cycle.messenClick();
        runFor(10000);
    }
    ticks(6); // let the last reading be read out
    EXPECT_GE(instrument.readingsReadOut(), 90u);
    EXPECT_EQ(env.rows.size(), instrument.readingsReadOut());
    EXPECT_EQ(instrument.readingsReadOut() + instrument.readingsReplacedUnread(),
              instrument.readingsMade());
    EXPECT_LE(instrument.readingsReplacedUnread(), 5u);
    EXPECT_FALSE(instrument.holdsNewReading());
    for (const auto& row : env.rows) {
        ASSERT_EQ(row.value.size(), 8u);
        ASSERT_EQ(row.value[5], '.') << row.value;
        ASSERT_NE(row.mode.find('C'), std::string::npos);
    }
}

class FlakyInstrumentTest : public PollCycleSimulatorTest {
protected:
    FlakyInstrumentTest()
        : PollCycleSimulatorTest(simulator::SimulatedInstrument::scenario("flaky")) {}
};

// Random faults for a long run: every second failed exchange closes the link, each reopen
// succeeds, and the cycle keeps delivering rows.
TEST_F(FlakyInstrumentTest, EverySecondFailureClosesAndTheCycleGoesOn) {
    int closes = 0;
    env.close = [&] {
        ++closes;
        link.Close();
    };
    runFor(30 * 60 * 1000);
    EXPECT_GT(link.failures, 20);
    EXPECT_EQ(closes, link.failures / 2);
    EXPECT_GT(env.rows.size(), 400u);
    EXPECT_GE(serialRequests(), 11);
}

} // namespace
} // namespace zt40::test
