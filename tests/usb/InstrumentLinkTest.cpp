// The instrument channel against scripted devices: the search, the close-all rule, and the
// exchange of one frame.
#include "InstrumentLink.h"
#include "StandInFixture.h"

#include <gtest/gtest.h>

namespace zt40::test {
namespace {

using Action = ScriptedDevice::Action;

class InstrumentLinkTest : public StandInTest {
protected:
    void expectAllClosed() const {
        EXPECT_FALSE(link.device().IsOpen());
        EXPECT_FALSE(link.inPipe().IsOpen());
        EXPECT_FALSE(link.outPipe().IsOpen());
    }
    static ScriptedDevice::Config other(std::string name, std::uint16_t product) {
        auto c = named(std::move(name));
        c.productId = product;
        return c;
    }

    InstrumentLink link;
    InstrumentFrame frame{0x5A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
};

TEST_F(InstrumentLinkTest, WithoutDevicesOpenFailsAfterInstanceZeroAndLeavesNothingOpen) {
    EXPECT_FALSE(link.Open());
    expectAllClosed();
    EXPECT_TRUE(callLog().empty());
    expectNothingLeftOpen();
}

TEST_F(InstrumentLinkTest, OtherDeviceFirstIsExaminedClosedAndPassedOver) {
    add(other("mouse", 0x074D)); // the instrument's vendor, another product
    add(named("zt40"));
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(wire(), (std::vector<std::string>{
                          "open:mouse", "control:8094206c:mouse", "control:80942006:mouse",
                          "close:mouse", "open:zt40", "control:8094206c:zt40",
                          "control:80942006:zt40", "control:80942024:zt40", "open:zt40",
                          "control:8094206c:zt40", "control:80942078:zt40", "open:zt40",
                          "control:8094206c:zt40", "control:80942078:zt40"}));
    const auto path = driver::devicePathFor("zt40");
    EXPECT_EQ(link.device().DevicePath(), path);
    EXPECT_EQ(link.inPipe().DevicePath(), path);
    EXPECT_EQ(link.outPipe().DevicePath(), path);

    const auto controls = entries(DeviceCall::Kind::Control);
    Bytes configuration(260, 0x00);
    configuration[2] = 0x01; // one entry: interface 0, alternate setting 0, 8 bytes
    configuration[8] = 0x08;
    ASSERT_EQ(controls.size(), 9u);
    EXPECT_EQ(controls[4].bytes, configuration);
    EXPECT_EQ(controls[6].bytes, Bytes{0x81});
    EXPECT_EQ(controls[8].bytes, Bytes{0x02});
    link.Close();
    expectNothingLeftOpen();
}

TEST_F(InstrumentLinkTest, DevicesThatAreNotTheInstrumentAreAllPassedOver) {
    add(other("wrong-product", 0x074D));
    auto c = named("wrong-vendor");
    c.vendorId = 0x0C71;
    add(c);
    auto mute = named("no-descriptor");
    mute.descriptorError = ERROR_GEN_FAILURE;
    add(mute);
    EXPECT_FALSE(link.Open());
    expectAllClosed();
    EXPECT_EQ(entries(DeviceCall::Kind::Open).size(), 3u);
    EXPECT_EQ(entries(DeviceCall::Kind::Close).size(), 3u);
    expectNothingLeftOpen();
}

TEST_F(InstrumentLinkTest, SearchStopsAt127Instances) {
    for (int i = 0; i < 127; ++i) {
        add(other("other" + std::to_string(i), 0x0001));
    }
    add(named("zt40")); // instance 127, never tried
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(entries(DeviceCall::Kind::Open).size(), 127u);
    expectAllClosed();
    // One device fewer in front and it is found.
    driver::withdrawAll();
    for (int i = 0; i < 126; ++i) {
        add(other("other" + std::to_string(i), 0x0001));
    }
    add(named("zt40"));
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(link.device().DevicePath(), driver::devicePathFor("zt40"));
}

TEST_F(InstrumentLinkTest, DeviceThatCannotBeOpenedEndsTheSearch) {
    auto refused = named("refused");
    refused.openError = ERROR_ACCESS_DENIED;
    add(refused);
    add(named("zt40"));
    EXPECT_FALSE(link.Open());
    expectAllClosed();
    EXPECT_TRUE(entries(DeviceCall::Kind::Open).empty());
    // Likewise a driver of another interface version.
    driver::withdrawAll();
    auto old = named("old");
    old.interfaceVersion = 0x0140;
    add(old);
    add(named("zt40"));
    EXPECT_FALSE(link.Open());
    expectAllClosed();
    EXPECT_EQ(entries(DeviceCall::Kind::Open).size(), 1u);
    expectNothingLeftOpen();
}

TEST_F(InstrumentLinkTest, InstrumentPluggedInAfterAFailedOpenIsFoundByTheNext) {
    EXPECT_FALSE(link.Open());
    auto zt40 = add(named("zt40"));
    EXPECT_TRUE(link.Open());
    link.Close();
    zt40->unplug();
    EXPECT_FALSE(link.Open());
    expectAllClosed();
    zt40->plugIn();
    EXPECT_TRUE(link.Open());
}

TEST_F(InstrumentLinkTest, FoundButUnusableInstrumentLeavesAllThreeClosed) {
    auto c = named("no-config");
    c.configureError = ERROR_GEN_FAILURE;
    add(c);
    EXPECT_FALSE(link.Open());
    expectAllClosed();
    expectNothingLeftOpen();

    driver::withdrawAll();
    auto noOut = named("no-out");
    noOut.bindError = ERROR_INVALID_PARAMETER;
    noOut.bindErrorEndpoint = 0x02; // the IN pipe is bound by then
    add(noOut);
    EXPECT_FALSE(link.Open());
    expectAllClosed();
    expectNothingLeftOpen();

    // The next attempt starts from closed members and finds a good instrument.
    driver::withdrawAll();
    add(named("zt40"));
    clearCallLog();
    EXPECT_TRUE(link.Open());
    EXPECT_EQ(entries(DeviceCall::Kind::Open).size(), 3u);
}

TEST_F(InstrumentLinkTest, CloseIsHarmlessTwiceAndOpenAfterCloseSearchesFromZero) {
    EXPECT_TRUE(link.Close());
    add(other("first", 0x1111));
    add(named("zt40"));
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(link.Close());
    EXPECT_TRUE(link.Close());
    expectAllClosed();
    clearCallLog();
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(wire().front(), "open:first");
}

TEST_F(InstrumentLinkTest, ExchangeReceivesTheReplyIntoTheSameFrame) {
    auto zt40 = add(named("zt40"));
    zt40->setAnswer(
        [](const Bytes&) { return Bytes{0x5A, 0x02, 0x15, 0xC6, 0x01, 0x02, 0x03, 0xFF}; });
    ASSERT_TRUE(link.Open());
    clearCallLog();
    const auto start = driver::counters();
    ASSERT_TRUE(link.Exchange(frame));
    EXPECT_EQ(frame, (InstrumentFrame{0x5A, 0x02, 0x15, 0xC6, 0x01, 0x02, 0x03, 0xFF}));
    EXPECT_EQ(zt40->writes(),
              (std::vector<Bytes>{{0x5A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(wire(), (std::vector<std::string>{"write:02:zt40", "read:81:zt40"}));
    // Two transfers, two events, both closed again.
    EXPECT_EQ(driver::counters().eventsCreated - start.eventsCreated, 2u);
    EXPECT_EQ(driver::counters().eventsOpen, start.eventsOpen);
}

TEST_F(InstrumentLinkTest, WriteThatNeverCompletesFailsAfter5000msWithoutARead) {
    auto zt40 = add(named("zt40"));
    ASSERT_TRUE(link.Open());
    clearCallLog();
    zt40->scriptWrite({Action::Never});
    const auto start = clock.nowMs();
    EXPECT_FALSE(link.Exchange(frame));
    EXPECT_EQ(clock.nowMs() - start, 5000u);
    EXPECT_EQ(wire(), (std::vector<std::string>{"write:02:zt40", "cancel:zt40"}));
    EXPECT_EQ(zt40->cancellations(), 1);
    // The channel stays as it was: the next exchange goes through.
    EXPECT_TRUE(link.Exchange(frame));
}

TEST_F(InstrumentLinkTest, ReadThatNeverCompletesFailsAfterBothLimitsAtMost) {
    auto zt40 = add(named("zt40"));
    ASSERT_TRUE(link.Open());
    zt40->scriptRead({Action::Never});
    const auto start = clock.nowMs();
    EXPECT_FALSE(link.Exchange(frame));
    EXPECT_EQ(clock.nowMs() - start, 5000u);
    EXPECT_EQ(zt40->cancellations(), 1);
}

TEST_F(InstrumentLinkTest, ShortTransfersFailTheExchange) {
    auto zt40 = add(named("zt40"));
    ASSERT_TRUE(link.Open());
    zt40->scriptRead({Action::Short, 0, 7});
    EXPECT_FALSE(link.Exchange(frame));
    zt40->scriptWrite({Action::Short, 0, 7});
    clearCallLog();
    EXPECT_FALSE(link.Exchange(frame));
    EXPECT_TRUE(entries(DeviceCall::Kind::Read).empty());
    EXPECT_EQ(clock.nowMs(), 1000u);
}

TEST_F(InstrumentLinkTest, ExchangeOnAClosedChannelFailsAtOnce) {
    EXPECT_FALSE(link.Exchange(frame));
    add(named("zt40"));
    ASSERT_TRUE(link.Open());
    link.Close();
    clearCallLog();
    const auto start = driver::counters();
    EXPECT_FALSE(link.Exchange(frame));
    EXPECT_EQ(clock.nowMs(), 1000u);
    EXPECT_TRUE(callLog().empty());
    EXPECT_EQ(driver::counters().eventsCreated - start.eventsCreated, 1u);
}

TEST_F(InstrumentLinkTest, WriteFailingAtSubmissionAttemptsNoRead) {
    auto zt40 = add(named("zt40"));
    ASSERT_TRUE(link.Open());
    clearCallLog();
    zt40->scriptWrite({Action::FailAtSubmission, ERROR_GEN_FAILURE});
    EXPECT_FALSE(link.Exchange(frame));
    EXPECT_EQ(wire(), std::vector<std::string>{"write:02:zt40"});
    EXPECT_EQ(clock.nowMs(), 1000u);
}

} // namespace
} // namespace zt40::test
