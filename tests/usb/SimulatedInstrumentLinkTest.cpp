// The whole stack: the poll cycle drives InstrumentLink through the driver stand-in to the
// simulated instrument, on the stand-in's test clock.
#include "SimulatedDevice.h"
#include "SimulatedInstrument.h"
#include "StandInFixture.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace zt40::test {
namespace {

class SimulatedInstrumentLinkTest : public PolledLinkTest {
protected:
    void plugIn(const std::string& scenario) {
        instrument = std::make_shared<simulator::SimulatedInstrument>(
            simulator::SimulatedInstrument::scenario(scenario));
        driver::publish(std::make_shared<driver::SimulatedDevice>(instrument));
    }
    int count(const std::string& call) const {
        return static_cast<int>(std::count(env.calls.begin(), env.calls.end(), call));
    }

    std::shared_ptr<simulator::SimulatedInstrument> instrument;
};

TEST_F(SimulatedInstrumentLinkTest, SerialFirmwareAndReadingsArriveThroughTheStack) {
    plugIn("manual");
    start();
    ASSERT_TRUE(env.timer1);
    ticks(12);
    EXPECT_EQ(env.serial, "Z T 4 0 A 0 7 3 1 1 ");
    EXPECT_EQ(env.firmware, "02 15 ");
    EXPECT_EQ(env.interval, PollIntervalRunningMs);
    EXPECT_TRUE(env.rows.empty());

    instrument->holdReading(simulator::encodeReading(123.4, 0x09));
    ticks(3);
    ASSERT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.rows[0].value, "  123.4 ");
    EXPECT_EQ(env.rows[0].mode, " CD");
    EXPECT_EQ(env.status, "");

    // messen: the measure command goes out and its reading comes back as the next row.
    cycle.messenClick();
    ticks(4);
    EXPECT_EQ(env.rows.size(), 2u);
    EXPECT_EQ(instrument->readingsMade(), 2u);
}

TEST_F(SimulatedInstrumentLinkTest, TheStandInClockDrivesScheduledReadings) {
    plugIn("1"); // a reading every 3 s
    start();
    ticks(12);
    const std::uint64_t from = clock.nowMs();
    while (clock.nowMs() - from < 30000) {
        tick();
    }
    EXPECT_GE(env.rows.size(), 9u);
    EXPECT_LE(env.rows.size(), 11u);
    EXPECT_EQ(env.rows.size(), instrument->readingsMade());
}

TEST_F(SimulatedInstrumentLinkTest, InstrumentThatDoesNotAnswerCostsOneLimitAndOneFailure) {
    plugIn("manual");
    start();
    ticks(12);
    instrument->injectFault(simulator::Fault::NoAnswer);
    const std::uint64_t before5000 = clock.nowMs();
    tick();
    EXPECT_EQ(clock.nowMs() - before5000, PollIntervalRunningMs + 5000u);
    EXPECT_EQ(cycle.failureCount(), 1);
    EXPECT_TRUE(env.timer1);
    tick();
    EXPECT_EQ(cycle.failureCount(), 1); // counted since the last open, not reset by success
    EXPECT_EQ(env.status, "");
}

TEST_F(SimulatedInstrumentLinkTest, UnplugLosesTheConnectionAtTheSecondFailureAndPlugInReopens) {
    plugIn("manual");
    start();
    ticks(12);
    const std::uint64_t serialReads = env.sent.size();
    instrument->unplug();
    const std::uint64_t unpluggedAt = clock.nowMs();
    tick();
    EXPECT_TRUE(env.timer1);
    EXPECT_EQ(count("close"), 0);
    tick();
    EXPECT_EQ(count("close"), 1);
    EXPECT_FALSE(env.timer1);
    EXPECT_TRUE(env.timer2);
    EXPECT_EQ(env.status, "Connection lost");
    // A device that is gone fails at once: no time limit was waited for.
    EXPECT_EQ(clock.nowMs() - unpluggedAt, 2u * PollIntervalRunningMs);
    EXPECT_FALSE(link.device().IsOpen());

    tick();
    EXPECT_EQ(env.status, "Couldn't open port! Please restart application to retry!");
    EXPECT_TRUE(env.timer2);

    instrument->plugIn();
    tick();
    EXPECT_TRUE(env.timer1);
    EXPECT_FALSE(env.timer2);
    EXPECT_EQ(env.interval, PollIntervalStartMs);
    instrument->holdReading(simulator::encodeReading(42.0, 0x01));
    ticks(4);
    EXPECT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.rows[0].value, "   42.0 ");
    // The serial number is not read again after a reconnection.
    long serialAfter = 0;
    for (std::size_t i = serialReads; i < env.sent.size(); ++i) {
        serialAfter += env.sent[i][0] == Code::ReadSerial;
    }
    EXPECT_EQ(serialAfter, 0);
}

TEST_F(SimulatedInstrumentLinkTest, EnvironmentVariablePublishesTheSimulatorFirst) {
    EXPECT_FALSE(link.Open());
    auto other = named("other");
    other.productId = 0x0001;
    add(other);
    setEnvironment("ZT40_SIMULATOR", "manual");
    ASSERT_TRUE(link.Open());
    unsetEnvironment("ZT40_SIMULATOR");
    EXPECT_EQ(link.device().DevicePath(), driver::devicePathFor("zt40-simulator"));
    ASSERT_NE(driver::environmentSimulator(), nullptr);
    InstrumentFrame f{0xA5, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_TRUE(link.Exchange(f));
    EXPECT_EQ(f[3], 'T');
    link.Close();
    // Without the variable the simulator is not listed.
    EXPECT_FALSE(link.Open());
    EXPECT_FALSE(link.device().IsOpen());
}

} // namespace
} // namespace zt40::test
