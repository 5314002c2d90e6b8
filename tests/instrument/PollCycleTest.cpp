// The poll cycle driven tick by tick against a recorder and a scripted instrument.
#include "PollCycle.h"
#include "PollRecorder.h"

#include <gtest/gtest.h>

namespace zt40::test {
namespace {

using Strings = std::vector<std::string>;

class PollCycleTest : public ::testing::Test {
protected:
    PollCycleTest() {
        env.open = [this] { return linkOpen = openWorks; };
        env.exchange = [this](InstrumentFrame& f) { return linkOpen && device.answer(f); };
        env.close = [this] { linkOpen = false; };
    }

    void startUp() {
        cycle.start();
        env.takeCalls();
    }

    // Ticks through the serial number and the firmware reply: the cycle then stands in state 2.
    void runToFirstHalf() {
        startUp();
        for (int i = 0; i < 12; ++i) {
            cycle.Timer1Timer();
        }
        ASSERT_EQ(cycle.pollState(), PollState::AskFirmware);
        env.sent.clear();
        env.takeCalls();
    }

    InstrumentFrame lastSent() const { return env.sent.back(); }

    PollRecorder env;
    EchoInstrument device;
    bool openWorks = true;
    bool linkOpen = false;
    PollCycle cycle{env};
};

TEST_F(PollCycleTest, FirstThirteenTicksOnTheWire) {
    startUp();
    const Strings serialShown = {"Z ",
                                 "Z T ",
                                 "Z T 4 ",
                                 "Z T 4 0 ",
                                 "Z T 4 0 A ",
                                 "Z T 4 0 A 0 ",
                                 "Z T 4 0 A 0 7 ",
                                 "Z T 4 0 A 0 7 3 ",
                                 "Z T 4 0 A 0 7 3 1 ",
                                 "Z T 4 0 A 0 7 3 1 1 ",
                                 "Z T 4 0 A 0 7 3 1 1 "};
    for (int tick = 1; tick <= 11; ++tick) {
        cycle.Timer1Timer();
        EXPECT_EQ(env.serial, serialShown[tick - 1]) << tick;
        EXPECT_EQ(env.interval, PollIntervalStartMs) << tick;
    }
    EXPECT_EQ(env.firmware, "design");
    cycle.Timer1Timer();
    EXPECT_EQ(env.firmware, "02 15 ");
    EXPECT_EQ(env.interval, PollIntervalRunningMs);
    cycle.Timer1Timer();

    const std::vector<InstrumentFrame> expected = {
        {0xA5, 0x00, 0x00, 0x00, 0xF7, 0x00, 0x00, 0x00},
        {0xA5, 0x00, 0x01, 0x00, 0xF7, 0x00, 0xC6, 0x01},
        {0xA5, 0x00, 0x02, 0x00, 0xF7, 0x00, 0xC6, 0x02},
        {0xA5, 0x00, 0x03, 0x00, 0xF7, 0x00, 0xC6, 0x03},
        {0xA5, 0x00, 0x04, 0x00, 0xF7, 0x00, 0xC6, 0x04},
        {0xA5, 0x00, 0x05, 0x00, 0xF7, 0x00, 0xC6, 0x05},
        {0xA5, 0x00, 0x06, 0x00, 0xF7, 0x00, 0xC6, 0x06},
        {0xA5, 0x00, 0x07, 0x00, 0xF7, 0x00, 0xC6, 0x07},
        {0xA5, 0x00, 0x08, 0x00, 0xF7, 0x00, 0xC6, 0x08},
        {0xA5, 0x00, 0x09, 0x00, 0xF7, 0x00, 0xC6, 0x09},
        {0xA5, 0x00, 0x00, 0x00, 0xF7, 0x00, 0xC6, 0x0A},
        {0x5A, 0x00, 0x00, 'Z', 0xF7, 0x00, 0xC6, 0x0B},
        {0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC6, 0x0C},
    };
    EXPECT_EQ(env.sent, expected);
    EXPECT_EQ(cycle.serialCounter(), 10);
    EXPECT_EQ(cycle.pollState(), PollState::AskFirstHalf);
    EXPECT_TRUE(env.rows.empty());
}

TEST_F(PollCycleTest, EverySuccessfulExchangeEmptiesTheStatusBar) {
    env.status = "Connection lost";
    startUp();
    cycle.Timer1Timer();
    EXPECT_EQ(env.status, "");
    EXPECT_EQ(env.takeCalls(), (Strings{"exchange", "serial:Z ", "status:"}));
    // A reply nobody decodes empties it too.
    env.status = "old";
    env.forced.push_back(InstrumentFrame{0x42, 1, 2, 3, 4, 5, 6, 7});
    cycle.Timer1Timer();
    EXPECT_EQ(env.takeCalls(), (Strings{"exchange", "status:"}));
    // The same serial index is asked for again.
    EXPECT_EQ(lastSent()[2], 1);
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent(), (InstrumentFrame{0xA5, 0x00, 0x01, 0x00, 0xF7, 5, 6, 7}));
}

TEST_F(PollCycleTest, SecondHalfShowsReadingThenAppendsRowWithDateAndTime) {
    runToFirstHalf();
    env.date = "2026-12-08";
    env.time = "11:22:33 PM";
    cycle.Timer1Timer(); // first half
    EXPECT_EQ(env.takeCalls(), (Strings{"exchange", "status:"}));
    EXPECT_EQ(cycle.pollState(), PollState::AskFirstHalf);
    cycle.Timer1Timer(); // second half
    EXPECT_EQ(lastSent(), (InstrumentFrame{0x55, 0x01, 0x00, 0x00, 0x00, 0x00, 0xC6, 0x0D}));
    EXPECT_EQ(env.takeCalls(), (Strings{"exchange", "value:      9 5 . 3   ", "letters: C ", "date",
                                        "time", "row: C |   95.3 ", "status:"}));
    ASSERT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.rows[0], (RecordedRow{"2026-12-08", "11:22:33 PM", " C ", "   95.3 "}));
    // The firmware command writes bytes 0 to 2 itself; the rest of the reply goes out again.
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent(), (InstrumentFrame{0x5A, 0x00, 0x00, '.', '3', ' ', 0xC6, 0x0E}));
    // The last half belongs to 0x55 replies only.
    EXPECT_EQ(cycle.lastReplyCode(), Code::ReadFirmware);
    EXPECT_EQ(cycle.lastHalf(), 0);
}

TEST_F(PollCycleTest, AMeasureCommandRightAfterAnOverflowReadingCarriesTheReducedS0) {
    runToFirstHalf();
    device.second = {'0' + 13, '.', '3', ' '}; // units character 13 above '0'
    cycle.Timer1Timer();                       // first half
    cycle.Timer1Timer();                       // second half: S0 reduced to '3', "1" before it
    ASSERT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.rows[0].value, "  913.3 ");
    // The measure command writes byte 0 only, so the reduced S0 goes out in byte 2.
    cycle.messenClick();
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent(),
              (InstrumentFrame{Code::StartMeasure, 0x01, '3', '.', '3', ' ', 0xC6, 0x0E}));
}

TEST_F(PollCycleTest, ReadingsRepeatWithFirmwareFirstHalfSecondHalf) {
    runToFirstHalf();
    device.first = {' ', ' ', 0x0B, '1'};
    device.second = {0x4C, ',', '9', ' '};
    env.separator = ',';
    for (int i = 0; i < 9; ++i) {
        cycle.Timer1Timer();
    }
    Strings codes;
    for (const auto& f : env.sent) {
        codes.push_back(std::to_string(f[0]) + "/" + std::to_string(f[1]));
    }
    EXPECT_EQ(codes,
              (Strings{"85/0", "85/1", "90/0", "85/0", "85/1", "90/0", "85/0", "85/1", "90/0"}));
    ASSERT_EQ(env.rows.size(), 3u);
    for (const auto& row : env.rows) {
        EXPECT_EQ(row.mode, "LCD");
        EXPECT_EQ(row.value, "  128,9 ");
    }
    EXPECT_EQ(env.value, "    1 2 8 , 9   ");
    EXPECT_EQ(env.letters, "LCD");
    // The separator is read at each decode.
    env.separator = '.';
    for (int i = 0; i < 3; ++i) {
        cycle.Timer1Timer();
    }
    EXPECT_EQ(env.rows.back().value, "  128.9 ");
}

TEST_F(PollCycleTest, UnexpectedHalfRepeatsTheRequest) {
    runToFirstHalf();
    cycle.Timer1Timer();
    env.forced.push_back(InstrumentFrame{0x55, 0xFF, 0, 0, 0, 0, 0, 0});
    cycle.Timer1Timer(); // second half asked, "no reading" answered
    EXPECT_EQ(cycle.lastHalf(), 0xFF);
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent(), (InstrumentFrame{0x55, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(env.rows.size(), 1u);
    cycle.Timer1Timer(); // firmware
    cycle.Timer1Timer(); // first half
    // A first half while the second is awaited is held, and the second half is asked again.
    env.forced.push_back(InstrumentFrame{0x55, 0x00, 'a', 'b', 0x02, 'c', 0, 0});
    cycle.Timer1Timer();
    EXPECT_EQ(cycle.pollState(), PollState::AskSecondHalf);
    EXPECT_EQ(env.rows.size(), 1u);
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent()[1], 0x01);
    ASSERT_EQ(env.rows.size(), 2u);
    EXPECT_EQ(env.rows[1], (RecordedRow{"08.12.2026", "23:59:58", "L  ", "ab c5.3 "}));
}

TEST_F(PollCycleTest, SecondHalfInAnotherStateStillAddsARow) {
    runToFirstHalf();
    // The first half is asked for; a second half arrives instead.
    env.forced.push_back(InstrumentFrame{0x55, 0x01, '7', '.', '0', ' ', 0, 0});
    cycle.Timer1Timer();
    ASSERT_EQ(env.rows.size(), 1u);
    // No first half was held yet: its four bytes are zeros.
    EXPECT_EQ(env.rows[0].value, "");
    EXPECT_EQ(env.value, "  7 . 0   ");
    EXPECT_EQ(env.rows[0].mode, "   ");
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent(), (InstrumentFrame{0x55, 0x00, 0, 0, 0, 0, 0, 0}));
    cycle.Timer1Timer();
    ASSERT_EQ(env.rows.size(), 2u);
    // Firmware is due now; another second half arrives and the firmware is asked again.
    env.forced.push_back(InstrumentFrame{0x55, 0x01, '8', '.', '0', ' ', 0, 0});
    cycle.Timer1Timer();
    ASSERT_EQ(env.rows.size(), 3u);
    EXPECT_EQ(env.rows[2].value, "    8.0 ");
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent()[0], Code::ReadFirmware);
    EXPECT_EQ(env.rows.size(), 3u);
}

TEST_F(PollCycleTest, OnlySecondHalvesAddRows) {
    runToFirstHalf();
    const InstrumentFrame replies[] = {{0x55, 0x00, '1', '2', 0x01, '3', 0, 0},
                                       {0x55, 0x02, '1', '2', 0x01, '3', 0, 0},
                                       {0x5A, 0x01, 0x02, 0, 0, 0, 0, 0},
                                       {0xA5, 0x00, 0x01, 'x', 0, 0, 0, 0},
                                       {0xBB, 0, 0, 0, 0, 0, 0, 0},
                                       {0xDD, 0, 0, 0, 0, 0, 0, 0},
                                       {0x00, 0x01, 0x3A, 0, 0, 0, 0, 0}};
    for (const auto& r : replies) {
        env.forced.push_back(r);
        cycle.Timer1Timer();
    }
    EXPECT_TRUE(env.rows.empty());
    EXPECT_EQ(env.value, "design");
    // The firmware reply rewrote Label7 and the interval in state 3, where it moved nothing on.
    EXPECT_EQ(env.firmware, "01 02 ");
}

TEST_F(PollCycleTest, FirmwareReplyInAnyStateSetsTextAndRunningInterval) {
    startUp();
    cycle.Timer1Timer();
    env.forced.push_back(InstrumentFrame{0x5A, 0xAB, 0xCD, 0, 0, 0, 0, 0});
    cycle.Timer1Timer(); // while reading the serial number
    EXPECT_EQ(env.firmware, "AB CD ");
    EXPECT_EQ(env.interval, PollIntervalRunningMs);
    EXPECT_EQ(cycle.pollState(), PollState::AskSerial);
    EXPECT_EQ(cycle.serialCounter(), 1);
}

TEST_F(PollCycleTest, SerialIndexOtherThanAskedIsStoredAndAskedAgain) {
    startUp();
    env.forced.push_back(InstrumentFrame{0xA5, 0x00, 0x05, 'Q', 0xF7, 0, 0, 0});
    cycle.Timer1Timer();
    EXPECT_EQ(env.serial, "Q ");
    EXPECT_EQ(cycle.serialCounter(), 0);
    // Indices of 10 and more are not stored and do not rewrite SerialNr.
    env.forced.push_back(InstrumentFrame{0xA5, 0x01, 0x00, 'R', 0xF7, 0, 0, 0});
    env.takeCalls();
    cycle.Timer1Timer();
    EXPECT_EQ(env.takeCalls(), (Strings{"exchange", "status:"}));
    cycle.Timer1Timer();
    EXPECT_EQ(env.sent[2], (InstrumentFrame{0xA5, 0x00, 0x00, 0x00, 0xF7, 0, 0, 0}));
    EXPECT_EQ(env.serial, "Z Q ");
    EXPECT_EQ(cycle.serialCounter(), 1);
}

TEST_F(PollCycleTest, MessenBeforeFirstTickIsOverridden) {
    openWorks = false;
    startUp();
    cycle.messenClick();
    cycle.Timer2Timer();
    openWorks = true;
    cycle.Timer2Timer();
    cycle.Timer1Timer();
    ASSERT_EQ(env.sent.size(), 1u);
    EXPECT_EQ(env.sent[0], (InstrumentFrame{0xA5, 0x00, 0x00, 0x00, 0xF7, 0x00, 0x00, 0x00}));
}

TEST_F(PollCycleTest, MessenDuringSerialReadingEndsIt) {
    startUp();
    for (int i = 0; i < 4; ++i) {
        cycle.Timer1Timer();
    }
    cycle.messenClick();
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent(), (InstrumentFrame{0xBB, 0x00, 0x03, '0', 0xF7, 0x00, 0xC6, 0x04}));
    for (int i = 0; i < 20; ++i) {
        cycle.Timer1Timer();
    }
    EXPECT_EQ(env.serial, "Z T 4 0 ");
    for (std::size_t i = 5; i < env.sent.size(); ++i) {
        EXPECT_NE(env.sent[i][0], Code::ReadSerial) << i;
    }
}

TEST_F(PollCycleTest, SerialNeverAnsweredStaysInSerialStateUntilMessen) {
    startUp();
    for (int i = 0; i < 15; ++i) {
        env.forced.push_back(InstrumentFrame{0x00, 0, 0, 0, 0, 0, 0, 0});
        cycle.Timer1Timer();
        EXPECT_EQ(lastSent(), (InstrumentFrame{0xA5, 0, 0, 0, 0xF7, 0, 0, 0})) << i;
    }
    EXPECT_EQ(env.serial, "design");
    cycle.messenClick();
    cycle.Timer1Timer();
    cycle.Timer1Timer();
    EXPECT_EQ(env.sent[15][0], Code::StartMeasure);
    EXPECT_EQ(env.sent[16][0], Code::ReadFirmware);
}

TEST_F(PollCycleTest, SeveralClicksSendOneMeasureCommandChosenAtTheLastClick) {
    runToFirstHalf();
    cycle.messenClick();
    cycle.lichtClick();
    cycle.messenClick();
    cycle.messenClick();
    // Turning the light off after the click does not change the command chosen.
    cycle.lichtClick();
    EXPECT_EQ(env.takeCalls(), (Strings{"light:on", "light:off"}));
    EXPECT_TRUE(env.sent.empty());
    cycle.Timer1Timer();
    cycle.Timer1Timer();
    ASSERT_EQ(env.sent.size(), 2u);
    EXPECT_EQ(env.sent[0], (InstrumentFrame{0xDD, 0x02, 0x15, 'Z', 0xF7, 0x00, 0xC6, 0x0C}));
    EXPECT_EQ(env.sent[1][0], Code::ReadFirmware);
    cycle.messenClick();
    cycle.Timer1Timer();
    EXPECT_EQ(lastSent()[0], Code::StartMeasure);
}

TEST_F(PollCycleTest, LichtTogglesTheGlyphAndSendsNothing) {
    EXPECT_FALSE(cycle.lightOption());
    cycle.lichtClick();
    EXPECT_TRUE(env.lightShown);
    cycle.lichtClick();
    EXPECT_FALSE(env.lightShown);
    cycle.lichtClick();
    EXPECT_EQ(env.takeCalls(), (Strings{"light:on", "light:off", "light:on"}));
    EXPECT_TRUE(env.sent.empty());
}

TEST_F(PollCycleTest, FirstFailureChangesNothingAndTheCommandIsRepeated) {
    runToFirstHalf();
    cycle.Timer1Timer(); // first half
    env.takeCalls();
    env.forced.push_back(std::nullopt);
    cycle.Timer1Timer();
    EXPECT_EQ(env.takeCalls(), (Strings{"exchange"}));
    EXPECT_EQ(cycle.failureCount(), 1);
    cycle.Timer1Timer();
    EXPECT_EQ(env.sent[1], env.sent[2]);
    EXPECT_EQ(env.sent[2][0], Code::ReadMeasurement);
    EXPECT_EQ(env.sent[2][1], 0x01);
    EXPECT_EQ(env.rows.size(), 1u);
}

TEST_F(PollCycleTest, FailedMeasureCommandIsNotRepeated) {
    runToFirstHalf();
    cycle.messenClick();
    env.forced.push_back(std::nullopt);
    cycle.Timer1Timer();
    cycle.Timer1Timer();
    EXPECT_EQ(env.sent[0][0], Code::StartMeasure);
    // The failed exchange left the firmware reply as the last reply, so state 1 moves on.
    EXPECT_EQ(env.sent[1], (InstrumentFrame{0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC6, 0x0C}));
}

TEST_F(PollCycleTest, SecondFailureSinceOpenDeclaresConnectionLost) {
    runToFirstHalf();
    env.forced.push_back(std::nullopt);
    cycle.Timer1Timer();
    for (int i = 0; i < 7; ++i) {
        cycle.Timer1Timer();
    }
    EXPECT_EQ(cycle.failureCount(), 1);
    EXPECT_TRUE(env.timer1);
    env.takeCalls();
    env.forced.push_back(std::nullopt);
    cycle.Timer1Timer();
    EXPECT_EQ(env.takeCalls(),
              (Strings{"exchange", "timer1:off", "close", "status:Connection lost", "timer2:on"}));
    EXPECT_EQ(cycle.failureCount(), 0);
    EXPECT_FALSE(linkOpen);
}

TEST_F(PollCycleTest, ReopenRestoresFastPollAndResetsNothingElse) {
    runToFirstHalf();
    cycle.Timer1Timer(); // first half held; the second half is due
    const auto rowsBefore = env.rows.size();
    unsigned lost = 0;
    device.replies = 100;
    openWorks = false;
    env.close = [&] {
        linkOpen = false;
        ++lost;
    };
    env.exchange = [](InstrumentFrame&) { return false; };
    env.tick(cycle);
    env.tick(cycle);
    EXPECT_EQ(lost, 1u);
    EXPECT_EQ(env.status, "Connection lost");
    EXPECT_FALSE(env.timer1);
    EXPECT_TRUE(env.timer2);

    env.tick(cycle); // the first reopen fails
    EXPECT_EQ(env.status, "Couldn't open port! Please restart application to retry!");
    EXPECT_TRUE(env.timer2);
    env.tick(cycle);
    EXPECT_EQ(env.status, "Couldn't open port! Please restart application to retry!");

    openWorks = true;
    env.exchange = [this](InstrumentFrame& f) { return linkOpen && device.answer(f); };
    const auto state = cycle.pollState();
    const auto sentBefore = env.sent.size();
    env.takeCalls();
    env.tick(cycle);
    EXPECT_EQ(env.takeCalls(), (Strings{"open:ok", "timer1:on", "timer2:off", "interval:50"}));
    EXPECT_EQ(cycle.pollState(), state);
    EXPECT_EQ(cycle.serialCounter(), 10);
    EXPECT_EQ(cycle.failureCount(), 0);
    EXPECT_EQ(env.status, "Couldn't open port! Please restart application to retry!");
    EXPECT_EQ(env.serial, "Z T 4 0 A 0 7 3 1 1 ");

    // The cycle goes on where it stopped, at 50 ms until the firmware answers.
    env.tick(cycle);
    EXPECT_EQ(env.sent[sentBefore], env.sent[sentBefore - 1]);
    EXPECT_EQ(env.sent[sentBefore][1], 0x01);
    EXPECT_EQ(env.status, "");
    EXPECT_EQ(env.rows.size(), rowsBefore + 1);
    EXPECT_EQ(env.interval, PollIntervalStartMs);
    env.tick(cycle);
    EXPECT_EQ(env.sent.back()[0], Code::ReadFirmware);
    EXPECT_EQ(env.interval, PollIntervalRunningMs);
    for (std::size_t i = sentBefore; i < env.sent.size(); ++i) {
        EXPECT_NE(env.sent[i][0], Code::ReadSerial);
    }
    // One failure after the reopen is only counted again.
    env.forced.push_back(std::nullopt);
    env.tick(cycle);
    EXPECT_TRUE(env.timer1);
    EXPECT_EQ(cycle.failureCount(), 1);
}

TEST_F(PollCycleTest, TicksWhileLinkIsDownRepeatTheConnectionLostSteps) {
    runToFirstHalf();
    env.close = [&] { env.calls.emplace_back("link closed"); };
    env.exchange = [](InstrumentFrame&) { return false; };
    cycle.Timer1Timer();
    cycle.Timer1Timer();
    EXPECT_TRUE(env.timer2);
    // Printing ends and enables Timer1 while the link is still closed.
    env.setTimer1Enabled(true);
    env.takeCalls();
    cycle.Timer1Timer();
    EXPECT_EQ(env.takeCalls(), (Strings{"exchange"}));
    cycle.Timer1Timer();
    EXPECT_EQ(env.takeCalls(), (Strings{"exchange", "timer1:off", "close", "link closed",
                                        "status:Connection lost", "timer2:on"}));
    EXPECT_TRUE(env.timer2);
}

// Where the connection stands and whether a reading is half fetched, step by step through a
// failed first open, readings, a pulled cable and the reconnection; each change told once.
TEST_F(PollCycleTest, ConnectionStateAndReadingInProgressFollowTheRun) {
    using enum ConnectionState;
    // Actions: s start, 1 a Timer1 tick, 2 a Timer2 tick, ? the next reply is no half.
    struct Step {
        const char* what;
        bool present; // the instrument is plugged in
        const char* actions;
        ConnectionState state;
        bool readingInProgress;
    };
    const Step steps[] = {
        {"before the start", false, "", NotStarted, false},
        {"no instrument at the start", false, "s", Waiting, false},
        {"a reopen fails", false, "2", Waiting, false},
        {"the instrument appears", true, "2", Opened, false},
        {"the first reply", true, "1", Connected, false},
        {"serial number and firmware", true, "11111111111", Connected, false},
        {"first half in", true, "1", Connected, true},
        {"second half in", true, "1", Connected, false},
        {"firmware, first half in", true, "11", Connected, true},
        {"cable pulled: first failure", false, "1", Connected, true},
        {"second failure", false, "1", Lost, true},
        {"a reopen fails", false, "2", Lost, true},
        {"plugged in again", true, "2", Reopened, true},
        {"the second half comes", true, "1", Connected, false},
        {"a second half asked for and not given", true, "11?1", Connected, true},
    };
    for (const Step& step : steps) {
        openWorks = step.present;
        linkOpen = linkOpen && step.present;
        for (const char* a = step.actions; *a != '\0'; ++a) {
            switch (*a) {
            case 's':
                cycle.start();
                break;
            case '1':
                cycle.Timer1Timer();
                break;
            case '2':
                cycle.Timer2Timer();
                break;
            default:
                env.forced.push_back(InstrumentFrame{0x55, 0xFF, 0, 0, 0, 0, 0, 0});
            }
        }
        EXPECT_EQ(cycle.connectionState(), step.state) << step.what;
        EXPECT_EQ(cycle.readingInProgress(), step.readingInProgress) << step.what;
    }
    EXPECT_EQ(env.connection,
              (std::vector<std::pair<ConnectionState, ConnectionState>>{{NotStarted, Waiting},
                                                                        {Waiting, Opened},
                                                                        {Opened, Connected},
                                                                        {Connected, Lost},
                                                                        {Lost, Reopened},
                                                                        {Reopened, Connected}}));
    EXPECT_EQ(env.rows.size(), 2u);
}

TEST_F(PollCycleTest, DateAndTimeTextsOfAnyLengthReachTheRow) {
    runToFirstHalf();
    env.date = "Dienstag, 8. Dezember 2026 (Kalenderwoche 50)";
    env.time = std::string(40, '9') + " Uhr";
    for (int i = 0; i < 3; ++i) {
        cycle.Timer1Timer();
    }
    ASSERT_EQ(env.rows.size(), 1u);
    EXPECT_EQ(env.rows[0].date, env.date);
    EXPECT_EQ(env.rows[0].time, env.time);
}

} // namespace
} // namespace zt40::test
