// The simulated gloss meter: its answers, its readings, its faults.
#include "SimulatedInstrument.h"

#include "InstrumentProtocol.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace zt40::test {
namespace {

using namespace simulator;

// One command written and one reply read, as the host's channel does it.
struct Transfer {
    Completion write = Completion::Never, read = Completion::Never;
    std::size_t written = 0, readCount = 0;
    Frame reply{};
};

Transfer transfer(SimulatedInstrument& sim, const Frame& command) {
    Transfer t;
    t.write = sim.write(command.data(), command.size(), t.written);
    t.read = sim.read(t.reply.data(), t.reply.size(), t.readCount);
    return t;
}

bool answered(const Transfer& t) {
    return t.write == Completion::Done && t.read == Completion::Done && t.written == 8 &&
           t.readCount == 8;
}

std::string valueText(const EncodedReading& r, char separator = '.') {
    DecoderState state;
    InstrumentFrame f{0x55, 0x00, r.first[0], r.first[1], r.first[2], r.first[3], 0, 0};
    decodeReply(f, state, separator);
    f = {0x55, 0x01, r.second[0], r.second[1], r.second[2], r.second[3], 0, 0};
    const auto result = decodeReply(f, state, separator);
    EXPECT_EQ(result.kind, DecodeKind::Reading);
    return valueListText(result.reading);
}

// "  %3d.%d ": the value right-aligned in positions 2 to 4, a point and the tenth.
std::string expectedText(int integerPart, int tenth) {
    std::string digits = std::to_string(integerPart);
    return "  " + std::string(3 - digits.size(), ' ') + digits + "." + std::to_string(tenth) + " ";
}

TEST(SimulatedInstrument, ServesSerialNumberByteByByte) {
    SimulatedInstrument sim;
    std::string serial;
    for (std::uint8_t i = 0; i < 10; ++i) {
        const auto reply = sim.respond({0xA5, 0x00, i, 0x00, 0xF7, 0xEE, 0xEE, 0xEE});
        EXPECT_EQ(reply[0], 0xA5);
        EXPECT_EQ(reply[1], 0x00);
        EXPECT_EQ(reply[2], i);
        serial.push_back(static_cast<char>(reply[3]));
    }
    EXPECT_EQ(serial, "ZT40A07311");
    EXPECT_EQ(sim.respond({0xA5, 0x00, 0x0A, 0, 0xF7, 0, 0, 0}),
              (Frame{0xA5, 0x00, 0x0A, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sim.respond({0xA5, 0x01, 0x00, 0, 0xF7, 0, 0, 0}),
              (Frame{0xA5, 0x01, 0x00, 0, 0, 0, 0, 0}));

    SimulatedInstrument::Config shortSerial;
    shortSerial.serial = "AB";
    SimulatedInstrument padded(shortSerial);
    EXPECT_EQ(padded.respond({0xA5, 0x00, 0x01, 0, 0xF7, 0, 0, 0})[3], 'B');
    EXPECT_EQ(padded.respond({0xA5, 0x00, 0x09, 0, 0xF7, 0, 0, 0})[3], ' ');
}

TEST(SimulatedInstrument, AnswersFirmwareAndMeasureCommands) {
    SimulatedInstrument::Config c;
    c.firmwareA = 0x01;
    c.firmwareB = 0x2A;
    SimulatedInstrument sim(c);
    const auto reply = sim.respond({0x5A, 0, 0, 9, 9, 9, 9, 9});
    EXPECT_EQ(reply, (Frame{0x5A, 0x01, 0x2A, 0, 0, 0, 0, 0}));
    InstrumentFrame f = reply;
    DecoderState state;
    EXPECT_EQ(firmwareText(decodeReply(f, state, '.')), "01 2A ");

    EXPECT_FALSE(sim.holdsNewReading());
    EXPECT_EQ(sim.respond({0xBB, 1, 2, 3, 4, 5, 6, 7}), (Frame{0xBB, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(sim.holdsNewReading());
    EXPECT_EQ(sim.readingsMade(), 1u);
    EXPECT_EQ(sim.commandsAnswered(), 2u);
}

TEST(SimulatedInstrument, HalvesOfTheHeldReadingThenNothingUndecodable) {
    SimulatedInstrument sim;
    DecoderState state;
    InstrumentFrame f = sim.respond({0x55, 0x00, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(f, (Frame{0x55, 0xFF, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(decodeReply(f, state, '.').kind, DecodeKind::Nothing);

    sim.holdReading(encodeReading(128.4, 0x0B));
    f = sim.respond({0x55, 0x00, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(f, (Frame{0x55, 0x00, ' ', ' ', 0x0B, '1', 0, 0}));
    EXPECT_EQ(sim.respond({0x55, 0x02, 0, 0, 0, 0, 0, 0})[1], 0xFF);
    f = sim.respond({0x55, 0x00, 0, 0, 0, 0, 0, 0}); // asking again does not spend it
    EXPECT_EQ(decodeReply(f, state, '.').kind, DecodeKind::FirstHalfHeld);
    f = sim.respond({0x55, 0x01, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(f, (Frame{0x55, 0x01, 0x4C, '.', '4', ' ', 0, 0}));
    const auto r = decodeReply(f, state, ',');
    ASSERT_EQ(r.kind, DecodeKind::Reading);
    EXPECT_EQ(valueListText(r.reading), "  128,4 ");
    EXPECT_EQ(modeText(r.reading), "LCD");
    // Read out: no longer new.
    EXPECT_FALSE(sim.holdsNewReading());
    EXPECT_EQ(sim.readingsReadOut(), 1u);
    EXPECT_EQ(sim.respond({0x55, 0x01, 0, 0, 0, 0, 0, 0})[1], 0xFF);
}

TEST(SimulatedInstrument, MeasureCommandsSetLightFlag) {
    SimulatedInstrument sim;
    for (int i = 0; i < 8; ++i) {
        const bool light = i % 2 == 1;
        sim.respond({light ? std::uint8_t{0xDD} : std::uint8_t{0xBB}, 0, 0, 0, 0, 0, 0, 0});
        const auto first = sim.respond({0x55, 0x00, 0, 0, 0, 0, 0, 0});
        EXPECT_EQ((first[4] & 0x02) != 0, light) << i;
        EXPECT_NE(first[4] & 0x01, 0) << i;
        sim.respond({0x55, 0x01, 0, 0, 0, 0, 0, 0});
    }
    EXPECT_EQ(sim.readingsMade(), 8u);
    EXPECT_EQ(sim.readingsReadOut(), 8u);
    // A reading made before the last one was read out replaces it.
    sim.pressKey();
    sim.respond({0x55, 0x00, 0, 0, 0, 0, 0, 0});
    sim.respond({0xBB, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(sim.readingsReplacedUnread(), 1u);
    EXPECT_EQ(sim.readingsMade(), 10u);
    EXPECT_EQ(sim.readingsReadOut(), 8u);
}

// Every tenth from 0.0 to 399.9 through the encoder and the program's own decoder.
// Tens digits of 0 and 4 to 9 above 100 cannot be carried; they move within the hundred.
TEST(EncodeReading, RoundTripThroughTheDecoder) {
    for (int tenths = 0; tenths <= 3999; ++tenths) {
        const int integer = tenths / 10;
        const int tens = integer / 10 % 10;
        int expected = integer;
        if (integer >= 100 && tens == 0) {
            expected = integer / 100 * 100 + 10;
        } else if (integer >= 100 && tens > 3) {
            expected = integer / 100 * 100 + 39;
        }
        const int tenth = tenths % 10;
        const auto encoded = encodeReading(tenths / 10.0, 0x01);
        ASSERT_EQ(valueText(encoded), expectedText(expected, tenth)) << tenths;
        if (integer >= 100) {
            EXPECT_GT(encoded.second[0], 0x39) << tenths;
            EXPECT_LE(encoded.second[0], 0x57) << tenths;
        }
    }
    EXPECT_EQ(valueText(encodeReading(139.9, 0)), "  139.9 ");
    EXPECT_EQ(valueText(encodeReading(110.0, 0), ','), "  110,0 ");
    EXPECT_EQ(valueText(encodeReading(105.5, 0)), "  110.5 ");
    EXPECT_EQ(valueText(encodeReading(287.2, 0)), "  239.2 ");
}

TEST(EncodeReading, ClampsOutOfRangeAndNotANumber) {
    EXPECT_EQ(valueText(encodeReading(-3.0, 0)), "    0.0 ");
    EXPECT_EQ(valueText(encodeReading(5000.0, 0)), "  339.9 ");
    EXPECT_EQ(valueText(encodeReading(std::numeric_limits<double>::quiet_NaN(), 0)), "    0.0 ");
    EXPECT_EQ(valueText(encodeReading(std::numeric_limits<double>::infinity(), 0)), "  339.9 ");
    EXPECT_EQ(valueText(encodeReading(0.04, 0)), "    0.0 ");
    EXPECT_EQ(encodeReading(12.3, 0x0A).first[2], 0x0A);
}

TEST(Transfers, CommandThenReplyOfEightBytes) {
    SimulatedInstrument sim;
    const auto t = transfer(sim, {0x5A, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(answered(t));
    EXPECT_EQ(t.reply, (Frame{0x5A, 0x02, 0x15, 0, 0, 0, 0, 0}));
    // A reply is read once; reading again waits for a command.
    std::size_t n = 99;
    Frame buffer{};
    EXPECT_EQ(sim.read(buffer.data(), buffer.size(), n), Completion::Never);
    EXPECT_EQ(n, 0u);
    // Something other than an 8-byte frame is taken but not answered.
    const std::uint8_t three[3] = {0x5A, 0, 0};
    EXPECT_EQ(sim.write(three, 3, n), Completion::Done);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(sim.read(buffer.data(), buffer.size(), n), Completion::Never);
    // A smaller read buffer gets what fits.
    sim.write(t.reply.data(), 8, n);
    std::uint8_t four[4] = {};
    EXPECT_EQ(sim.read(four, 4, n), Completion::Done);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(four[1], 0x02);
    // Found by fuzzing the stand-in: a read of nothing may come without a buffer; it takes
    // the reply and moves no byte (the sanitizer build checks that no memory is touched).
    sim.write(t.reply.data(), 8, n);
    EXPECT_EQ(sim.read(nullptr, 0, n), Completion::Done);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(sim.read(buffer.data(), buffer.size(), n), Completion::Never);
}

TEST(Transfers, AReadingIsDeliveredWholeWhenBothItsHalvesReachTheHostInTurn) {
    const Frame first{0x55, 0x00, 0, 0, 0, 0, 0, 0}, second{0x55, 0x01, 0, 0, 0, 0, 0, 0};
    const Frame firmware{0x5A, 0, 0, 0, 0, 0, 0, 0};
    SimulatedInstrument sim;
    auto expect = [&](std::size_t whole, std::size_t secondHalves, int line) {
        EXPECT_EQ(sim.readingsDeliveredWhole(), whole) << "line " << line;
        EXPECT_EQ(sim.secondHalvesDelivered(), secondHalves) << "line " << line;
    };

    sim.holdReading(encodeReading(123.4, 0x09));
    transfer(sim, first);
    transfer(sim, firmware); // other replies between the halves change nothing
    transfer(sim, second);
    expect(1, 1, __LINE__);
    ASSERT_TRUE(sim.lastReadingDeliveredWhole().has_value());
    EXPECT_EQ(sim.lastReadingDeliveredWhole()->tenths, 1234);
    EXPECT_EQ(sim.lastReadingDeliveredWhole()->first[2], 0x09);

    // A short second half does not reach the host, and the reading is gone.
    sim.holdReading(encodeReading(5.0, 0x01));
    transfer(sim, first);
    sim.injectFault(Fault::ShortReply);
    transfer(sim, second);
    expect(1, 1, __LINE__);

    // A first half of one reading and the second half of the next make no whole reading,
    // though the host takes the reply for a second half.
    sim.holdReading(encodeReading(6.0, 0x01));
    transfer(sim, first);
    sim.holdReading(encodeReading(7.0, 0x01));
    transfer(sim, second);
    expect(1, 2, __LINE__);

    // A short first half leaves the host without it.
    sim.holdReading(encodeReading(8.0, 0x01));
    sim.injectFault(Fault::ShortReply);
    transfer(sim, first);
    transfer(sim, second);
    expect(1, 3, __LINE__);

    sim.holdReading(encodeReading(9.5, 0x00));
    transfer(sim, first);
    transfer(sim, second);
    expect(2, 4, __LINE__);
    EXPECT_EQ(sim.lastReadingDeliveredWhole()->tenths, 95);
}

TEST(Transfers, InjectedFaultsStrikeTheNextTransfers) {
    SimulatedInstrument sim;
    const Frame firmware{0x5A, 0, 0, 0, 0, 0, 0, 0};

    sim.injectFault(Fault::NoAnswer);
    auto t = transfer(sim, firmware);
    EXPECT_EQ(t.write, Completion::Never);
    EXPECT_EQ(t.written, 0u);
    EXPECT_EQ(sim.commandsAnswered(), 0u);
    EXPECT_TRUE(answered(transfer(sim, firmware)));

    sim.injectFault(Fault::ShortReply);
    t = transfer(sim, firmware);
    EXPECT_EQ(t.write, Completion::Done);
    EXPECT_EQ(t.read, Completion::Done);
    EXPECT_EQ(t.readCount, 7u);
    EXPECT_TRUE(answered(transfer(sim, firmware)));

    sim.injectFault(Fault::GarbageReply, 3);
    int garbled = 0;
    for (int i = 0; i < 3; ++i) {
        t = transfer(sim, firmware);
        EXPECT_EQ(t.readCount, 8u);
        garbled += t.reply != Frame{0x5A, 0x02, 0x15, 0, 0, 0, 0, 0};
    }
    EXPECT_GE(garbled, 2);
    t = transfer(sim, firmware);
    EXPECT_EQ(t.reply, (Frame{0x5A, 0x02, 0x15, 0, 0, 0, 0, 0}));

    // Two unanswered transfers: the write and then, on the next exchange, again the write.
    sim.injectFault(Fault::NoAnswer, 2);
    EXPECT_EQ(transfer(sim, firmware).write, Completion::Never);
    EXPECT_EQ(transfer(sim, firmware).write, Completion::Never);
    EXPECT_TRUE(answered(transfer(sim, firmware)));
}

TEST(Transfers, UnplugStopsEverythingAndDropsTheUnreadReply) {
    SimulatedInstrument sim;
    sim.holdReading(encodeReading(50.0, 0x01));
    std::size_t n = 0;
    const Frame firstHalf{0x55, 0x00, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(sim.write(firstHalf.data(), 8, n), Completion::Done);
    sim.unplug();
    EXPECT_FALSE(sim.pluggedIn());
    Frame buffer{};
    EXPECT_EQ(sim.read(buffer.data(), 8, n), Completion::Never);
    EXPECT_EQ(transfer(sim, firstHalf).write, Completion::Never);
    sim.plugIn();
    EXPECT_EQ(sim.read(buffer.data(), 8, n), Completion::Never);
    const auto t = transfer(sim, firstHalf);
    ASSERT_TRUE(answered(t));
    EXPECT_EQ(t.reply, (Frame{0x55, 0x00, ' ', ' ', 0x01, '5', 0, 0}));
}

TEST(Scenarios, NamesAndScheduledKeyPresses) {
    EXPECT_EQ(SimulatedInstrument::scenario("1").keyPressPeriodMs, 3000u);
    EXPECT_EQ(SimulatedInstrument::scenario("1").faultRate, 0.0);
    EXPECT_EQ(SimulatedInstrument::scenario("manual").keyPressPeriodMs, 0u);
    EXPECT_GT(SimulatedInstrument::scenario("flaky").faultRate, 0.0);
    EXPECT_EQ(SimulatedInstrument::scenario("whatever").keyPressPeriodMs, 3000u);

    SimulatedInstrument sim(SimulatedInstrument::scenario("1"));
    sim.setNow(1000);
    sim.setNow(3999);
    EXPECT_EQ(sim.readingsMade(), 0u);
    sim.setNow(4000);
    EXPECT_EQ(sim.readingsMade(), 1u);
    sim.setNow(6999);
    EXPECT_EQ(sim.readingsMade(), 1u);
    sim.setNow(7000);
    EXPECT_EQ(sim.readingsMade(), 2u);

    SimulatedInstrument manual(SimulatedInstrument::scenario("manual"));
    manual.setNow(1);
    manual.setNow(1000000);
    EXPECT_EQ(manual.readingsMade(), 0u);
}

TEST(Scenarios, FlakyInstrumentFailsNowAndThen) {
    SimulatedInstrument sim(SimulatedInstrument::scenario("flaky"));
    int failed = 0;
    for (int i = 0; i < 5000; ++i) {
        const auto t = transfer(sim, {0x5A, 0, 0, 0, 0, 0, 0, 0});
        failed += !answered(t) || t.reply != Frame{0x5A, 0x02, 0x15, 0, 0, 0, 0, 0};
    }
    EXPECT_GT(failed, 25);
    EXPECT_LT(failed, 250);
}

// Many readings in a row all decode into a plausible value text with digits in place.
TEST(Readings, MadeReadingsDecodeToDigitsAndAPoint) {
    SimulatedInstrument sim;
    DecoderState state;
    int high = 0;
    std::array<int, 4> hundreds{};
    for (int i = 0; i < 2000; ++i) {
        sim.pressKey(i % 3 == 0);
        InstrumentFrame f = sim.respond({0x55, 0x00, 0, 0, 0, 0, 0, 0});
        decodeReply(f, state, '.');
        f = sim.respond({0x55, 0x01, 0, 0, 0, 0, 0, 0});
        const auto r = decodeReply(f, state, '.');
        ASSERT_EQ(r.kind, DecodeKind::Reading);
        const std::string text = valueListText(r.reading);
        ASSERT_EQ(text.size(), 8u);
        const double v = std::stod(text);
        ASSERT_GE(v, 0.0) << text;
        ASSERT_LE(v, 399.9) << text;
        ASSERT_EQ(text[5], '.') << text;
        high += v >= 100.0;
        ++hundreds[static_cast<std::size_t>(v / 100.0)];
        EXPECT_EQ(modeText(r.reading)[0] == 'L', i % 3 == 0);
    }
    EXPECT_GT(high, 50);
    EXPECT_LT(high, 1000);
    // High-gloss samples use every hundred the value layout can carry up to 399.9.
    EXPECT_GT(hundreds[1], 10);
    EXPECT_GT(hundreds[2], 10);
    EXPECT_GT(hundreds[3], 10);
}

} // namespace
} // namespace zt40::test
