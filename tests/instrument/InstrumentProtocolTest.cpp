// Frame builders, reply decoding and the texts derived from a reading.
#include "InstrumentProtocol.h"

#include <gtest/gtest.h>

#include <random>

namespace zt40::test {
namespace {

InstrumentFrame filled(std::uint8_t b) {
    InstrumentFrame f;
    f.fill(b);
    return f;
}

// Each builder writes only its own bytes; the rest keep the previous reply's values.
TEST(FrameBuilders, WriteOnlyTheirOwnBytes) {
    auto f = filled(0xEE);
    buildReadSerial(f, 9);
    EXPECT_EQ(f, (InstrumentFrame{0xA5, 0x00, 0x09, 0x00, 0xF7, 0xEE, 0xEE, 0xEE}));

    f = filled(0xEE);
    buildMeasureRequest(f, false);
    EXPECT_EQ(f, (InstrumentFrame{0xBB, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));

    f = filled(0xEE);
    buildMeasureRequest(f, true);
    EXPECT_EQ(f, (InstrumentFrame{0xDD, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));

    f = filled(0xEE);
    buildReadFirmware(f);
    EXPECT_EQ(f, (InstrumentFrame{0x5A, 0x00, 0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));

    f = filled(0xEE);
    buildReadMeasurement(f, 0);
    EXPECT_EQ(f, (InstrumentFrame{0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0xEE, 0xEE}));

    f = filled(0xEE);
    buildReadMeasurement(f, 1);
    EXPECT_EQ(f, (InstrumentFrame{0x55, 0x01, 0x00, 0x00, 0x00, 0x00, 0xEE, 0xEE}));
}

TEST(FrameBuilders, SerialIndexIsHighByteFirst) {
    auto f = filled(0x11);
    buildReadSerial(f, 0x1234);
    EXPECT_EQ(f, (InstrumentFrame{0xA5, 0x12, 0x34, 0x00, 0xF7, 0x11, 0x11, 0x11}));
    buildReadSerial(f, 0xFFFF);
    EXPECT_EQ(f, (InstrumentFrame{0xA5, 0xFF, 0xFF, 0x00, 0xF7, 0x11, 0x11, 0x11}));
}

TEST(DecodeFirmware, TwoUpperCaseHexBytesEachFollowedByABlank) {
    DecoderState state;
    InstrumentFrame f{0x5A, 0x00, 0xFF, 1, 2, 3, 4, 5};
    auto r = decodeReply(f, state, '.');
    EXPECT_EQ(r.kind, DecodeKind::Firmware);
    EXPECT_EQ(r.replyCode, 0x5A);
    EXPECT_EQ(firmwareText(r), "00 FF ");

    f = {0x5A, 0x01, 0x2A, 0, 0, 0, 0, 0};
    EXPECT_EQ(firmwareText(decodeReply(f, state, '.')), "01 2A ");
    f = {0x5A, 0xAB, 0xC9, 0, 0, 0, 0, 0};
    EXPECT_EQ(firmwareText(decodeReply(f, state, '.')), "AB C9 ");
    EXPECT_EQ(f, (InstrumentFrame{0x5A, 0xAB, 0xC9, 0, 0, 0, 0, 0}));
}

TEST(DecodeSerial, StoresBytesBelowIndexTenOnly) {
    DecoderState state;
    InstrumentFrame f{0xA5, 0x00, 0x03, 'Q', 0xF7, 0, 0, 0};
    auto r = decodeReply(f, state, '.');
    EXPECT_EQ(r.kind, DecodeKind::SerialByte);
    EXPECT_EQ(r.serialIndex, 3);
    EXPECT_EQ(state.serialBytes[3], 'Q');
    EXPECT_EQ(serialText(state), "Q ");

    f = {0xA5, 0x00, 0x09, 'Z', 0, 0, 0, 0};
    r = decodeReply(f, state, '.');
    EXPECT_EQ(r.kind, DecodeKind::SerialByte);
    EXPECT_EQ(r.serialIndex, 9);
    EXPECT_EQ(serialText(state), "Q Z ");

    const auto before = state.serialBytes;
    for (std::uint16_t index :
         {std::uint16_t{10}, std::uint16_t{0x0100}, std::uint16_t{0x0103}, std::uint16_t{0xFFFF}}) {
        f = {0xA5,
             static_cast<std::uint8_t>(index >> 8),
             static_cast<std::uint8_t>(index & 0xFF),
             'X',
             0,
             0,
             0,
             0};
        r = decodeReply(f, state, '.');
        EXPECT_EQ(r.kind, DecodeKind::Nothing) << index;
        EXPECT_EQ(r.replyCode, 0xA5);
        EXPECT_EQ(state.serialBytes, before) << index;
    }
}

TEST(SerialText, ShowsEveryNonZeroByteWithABlank) {
    DecoderState state;
    EXPECT_EQ(serialText(state), "");
    const std::string serial = "ZT40A07311";
    for (std::size_t i = 0; i < serial.size(); ++i) {
        state.serialBytes[i] = static_cast<std::uint8_t>(serial[i]);
    }
    EXPECT_EQ(serialText(state), "Z T 4 0 A 0 7 3 1 1 ");
    state.serialBytes[0] = 0;
    state.serialBytes[5] = 0;
    EXPECT_EQ(serialText(state), "T 4 0 A 7 3 1 1 ");
}

// Decodes a first half and then a second half through the same frame buffer.
InstrumentReading readingFrom(std::array<std::uint8_t, 4> first, std::array<std::uint8_t, 4> second,
                              char separator, DecoderState& state) {
    InstrumentFrame f{0x55, 0x00, first[0], first[1], first[2], first[3], 0x77, 0x88};
    auto r = decodeReply(f, state, separator);
    EXPECT_EQ(r.kind, DecodeKind::FirstHalfHeld);
    EXPECT_EQ(r.halfSelector, 0);
    f = {0x55, 0x01, second[0], second[1], second[2], second[3], 0x77, 0x88};
    r = decodeReply(f, state, separator);
    EXPECT_EQ(r.kind, DecodeKind::Reading);
    EXPECT_EQ(r.halfSelector, 1);
    return r.reading;
}

std::string valueOf(const InstrumentReading& r) {
    return std::string(r.value.data(), r.value.size());
}

TEST(DecodeReading, PlainValueWithSeparatorReplaced) {
    DecoderState state;
    auto r = readingFrom({' ', ' ', 0x01, '9'}, {'5', '.', '3', ' '}, '.', state);
    EXPECT_EQ(valueOf(r), "   95.3 ");
    EXPECT_EQ(modeText(r), " C ");
    EXPECT_EQ(r.modeFlags, 0x01);
    EXPECT_EQ(valueDisplayText(r), "      9 5 . 3   ");
    EXPECT_EQ(valueListText(r), "   95.3 ");
    // The held first half is spent: four spaces until the next first half.
    EXPECT_EQ(state.heldFirstHalf, (std::array<std::uint8_t, 4>{' ', ' ', ' ', ' '}));

    r = readingFrom({' ', ' ', 0x01, '9'}, {'5', '.', '3', ' '}, ',', state);
    EXPECT_EQ(valueOf(r), "   95,3 ");
    r = readingFrom({' ', ' ', 0x01, '9'}, {'5', ',', '3', ' '}, ',', state);
    EXPECT_EQ(valueOf(r), "   95,3 ");
    r = readingFrom({' ', ' ', 0x01, '9'}, {'5', ',', '3', ' '}, '.', state);
    EXPECT_EQ(valueOf(r), "   95.3 ");
}

TEST(DecodeReading, SeparatorReplacedInEveryPositionOtherCharactersUntouched) {
    DecoderState state;
    auto r = readingFrom({',', '.', 0x00, '.'}, {',', 'x', 0xE9, '.'}, ';', state);
    EXPECT_EQ(valueOf(r), ";; ;;x\xE9;");
    // A comma as S0 sits below the overflow threshold.
    r = readingFrom({'-', '7', 0x00, '1'}, {'0', '.', '5', '%'}, ',', state);
    EXPECT_EQ(valueOf(r), "-7 10,5%");
}

TEST(DecodeReading, OverflowMovesF3LeftAndWritesReducedS0Back) {
    struct Case {
        std::uint8_t s0;
        const char* positions2to4;
    };
    for (const Case c : {Case{0x3A, "110"}, Case{0x3B, "111"}, Case{0x43, "119"}, Case{0x44, "120"},
                         Case{0x4D, "129"}, Case{0x4E, "130"}, Case{0x57, "139"}, Case{0x58, "13:"},
                         Case{0x7F, "13a"}, Case{0xFF, "13\xE1"}}) {
        DecoderState state;
        InstrumentFrame f{0x55, 0x00, ' ', ' ', 0x0B, '1', 0, 0};
        decodeReply(f, state, ',');
        f = {0x55, 0x01, c.s0, '.', '4', ' ', 0x66, 0x99};
        const auto r = decodeReply(f, state, ',');
        ASSERT_EQ(r.kind, DecodeKind::Reading);
        const auto v = valueOf(r.reading);
        EXPECT_EQ(v.substr(2, 3), c.positions2to4) << int(c.s0);
        EXPECT_EQ(v.substr(0, 2), "  ");
        EXPECT_EQ(v.substr(5), ",4 ");
        EXPECT_EQ(modeText(r.reading), "LCD");
        // Only byte 2 of the buffer changes: it now holds the reduced S0.
        EXPECT_EQ(f, (InstrumentFrame{0x55, 0x01, static_cast<std::uint8_t>(v[4]), '.', '4', ' ',
                                      0x66, 0x99}));
    }
}

TEST(DecodeReading, SecondHalfWithoutFirstHalfUsesHeldBytes) {
    DecoderState state;
    // Before any first half: the held bytes are zeros.
    InstrumentFrame f{0x55, 0x01, '4', '.', '2', ' ', 0, 0};
    auto r = decodeReply(f, state, '.');
    ASSERT_EQ(r.kind, DecodeKind::Reading);
    EXPECT_EQ(r.reading.value, (std::array<char, 8>{0, 0, ' ', 0, '4', '.', '2', ' '}));
    EXPECT_EQ(valueListText(r.reading), "");
    EXPECT_EQ(valueDisplayText(r.reading), "  4 . 2   ");
    EXPECT_EQ(modeText(r.reading), "   ");

    // After a completed reading: spaces, and flags byte 0x20 carries no letter.
    f = {0x55, 0x01, '4', '.', '2', ' ', 0, 0};
    r = decodeReply(f, state, '.');
    EXPECT_EQ(valueOf(r.reading), "    4.2 ");
    EXPECT_EQ(r.reading.modeFlags, 0x20);
    EXPECT_EQ(modeText(r.reading), "   ");
    f = {0x55, 0x01, 0x4F, '.', '2', ' ', 0, 0};
    r = decodeReply(f, state, '.');
    // F3 is a space here, so only the tens digit moved in: position 3.
    EXPECT_EQ(valueOf(r.reading), "   31.2 ");
}

TEST(ReadingTexts, ZeroBytesEndTheListTextAndVanishFromTheDisplay) {
    DecoderState state;
    auto r = readingFrom({0x00, '1', 0x0A, '2'}, {'3', 0x00, '5', 0x00}, '.', state);
    EXPECT_EQ(valueListText(r), "");
    EXPECT_EQ(valueDisplayText(r), "1   2 3 5 ");
    EXPECT_EQ(modeText(r), "L D");
    r = readingFrom({'1', '2', 0x00, '3'}, {'4', '.', '5', 0x00}, '.', state);
    EXPECT_EQ(valueListText(r), "12 34.5");
}

TEST(ModeText, LettersFollowBitsOneZeroAndThree) {
    InstrumentReading r;
    const std::pair<std::uint8_t, const char*> cases[] = {
        {0x00, "   "}, {0x01, " C "}, {0x02, "L  "}, {0x08, "  D"}, {0x03, "LC "},
        {0x0B, "LCD"}, {0xF4, "   "}, {0xFF, "LCD"}, {0x09, " CD"}};
    for (const auto& [flags, text] : cases) {
        r.modeFlags = flags;
        EXPECT_EQ(modeText(r), text) << int(flags);
    }
}

TEST(DecodeIgnored, OtherCodesAndHalfSelectorsDecodeNothing) {
    DecoderState state;
    state.heldFirstHalf = {'a', 'b', 'c', 'd'};
    state.serialBytes[4] = 'k';
    const auto before = state;
    for (std::uint8_t code : {std::uint8_t{0xBB}, std::uint8_t{0xDD}, std::uint8_t{0x00},
                              std::uint8_t{0xFF}, std::uint8_t{0x56}}) {
        InstrumentFrame f{code, 0x01, 0x3A, 1, 2, 3, 4, 5};
        const auto sent = f;
        const auto r = decodeReply(f, state, '.');
        EXPECT_EQ(r.kind, DecodeKind::Nothing);
        EXPECT_EQ(r.replyCode, code);
        EXPECT_EQ(f, sent);
    }
    InstrumentFrame f{0x55, 0x02, 0x3A, 1, 2, 3, 4, 5};
    const auto sent = f;
    auto r = decodeReply(f, state, '.');
    EXPECT_EQ(r.kind, DecodeKind::Nothing);
    EXPECT_EQ(r.halfSelector, 0x02);
    EXPECT_EQ(f, sent);
    f[1] = 0xFF;
    r = decodeReply(f, state, '.');
    EXPECT_EQ(r.kind, DecodeKind::Nothing);
    EXPECT_EQ(r.halfSelector, 0xFF);
    EXPECT_EQ(state.heldFirstHalf, before.heldFirstHalf);
    EXPECT_EQ(state.serialBytes, before.serialBytes);
}

// Every combination of reply code and byte 1, with random bytes after them, is either decoded
// or ignored; only the decoder state and byte 2 of a second-half reply ever change.
TEST(DecodeNeverFails, AllCodeAndSelectorCombinations) {
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> byte(0, 255);
    DecoderState state;
    int readings = 0;
    for (int code = 0; code < 256; ++code) {
        for (int b1 = 0; b1 < 256; ++b1) {
            InstrumentFrame f{static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(b1)};
            for (std::size_t i = 2; i < f.size(); ++i) {
                f[i] = static_cast<std::uint8_t>(byte(rng));
            }
            const auto sent = f;
            const auto held = state.heldFirstHalf;
            const auto serial = state.serialBytes;
            const char separator = static_cast<char>(byte(rng));
            const auto r = decodeReply(f, state, separator);
            ASSERT_EQ(r.replyCode, sent[0]);

            DecodeKind expected = DecodeKind::Nothing;
            if (code == 0x5A) {
                expected = DecodeKind::Firmware;
            } else if (code == 0x55 && b1 == 0) {
                expected = DecodeKind::FirstHalfHeld;
            } else if (code == 0x55 && b1 == 1) {
                expected = DecodeKind::Reading;
            } else if (code == 0xA5 && b1 == 0 && sent[2] < 10) {
                expected = DecodeKind::SerialByte;
            }
            ASSERT_EQ(r.kind, expected) << code << ' ' << b1;
            EXPECT_EQ(r.halfSelector, code == 0x55 ? sent[1] : 0);

            for (std::size_t i = 0; i < f.size(); ++i) {
                if (i != 2 || expected != DecodeKind::Reading) {
                    ASSERT_EQ(f[i], sent[i]) << code << ' ' << b1 << ' ' << i;
                }
            }
            if (expected == DecodeKind::Reading) {
                ++readings;
                const auto& v = r.reading.value;
                ASSERT_EQ(r.reading.modeFlags, held[2]);
                // The reduced S0 went back into byte 2 and into position 4.
                const auto s0 = sent[2];
                const auto reduced = f[2];
                if (s0 > 0x39) {
                    const int passes = v[3] - '0';
                    ASSERT_TRUE(passes >= 1 && passes <= 3);
                    ASSERT_EQ(reduced, s0 - 10 * passes);
                    ASSERT_TRUE(reduced <= 0x39 ? reduced > 0x2F : passes == 3);
                } else {
                    ASSERT_EQ(reduced, s0);
                }
                const auto shown = [separator](std::uint8_t b) {
                    return (b == ',' || b == '.') ? separator : static_cast<char>(b);
                };
                ASSERT_EQ(v[4], shown(reduced));
                ASSERT_EQ(v[5], shown(sent[3]));
                ASSERT_EQ(v[6], shown(sent[4]));
                ASSERT_EQ(v[7], shown(sent[5]));
                ASSERT_EQ(v[0], shown(held[0]));
                ASSERT_EQ(state.heldFirstHalf, (std::array<std::uint8_t, 4>{' ', ' ', ' ', ' '}));
            } else if (expected == DecodeKind::FirstHalfHeld) {
                ASSERT_EQ(state.heldFirstHalf,
                          (std::array<std::uint8_t, 4>{sent[2], sent[3], sent[4], sent[5]}));
            } else {
                ASSERT_EQ(state.heldFirstHalf, held);
            }
            if (expected == DecodeKind::SerialByte) {
                ASSERT_EQ(r.serialIndex, sent[2]);
                ASSERT_EQ(state.serialBytes[sent[2]], sent[3]);
            } else {
                ASSERT_EQ(state.serialBytes, serial);
            }
        }
    }
    EXPECT_EQ(readings, 1);
}

// Random replies with the interesting codes, so that many readings and serial bytes are
// decoded from arbitrary bytes; the checks above are repeated in short.
TEST(DecodeNeverFails, RandomRepliesKeepInsideFrameAndState) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::uint8_t codes[] = {0x55, 0x55, 0x55, 0xA5, 0x5A, 0xBB, 0xDD};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(codes) - 1);
    DecoderState state;
    int readings = 0;
    for (int n = 0; n < 200000; ++n) {
        InstrumentFrame f;
        for (auto& b : f) {
            b = static_cast<std::uint8_t>(byte(rng));
        }
        f[0] = codes[pick(rng)];
        if (f[0] == 0x55 || f[0] == 0xA5) {
            f[1] = static_cast<std::uint8_t>(byte(rng) % 3);
        }
        const auto sent = f;
        const auto r = decodeReply(f, state, ',');
        if (r.kind == DecodeKind::Reading) {
            ++readings;
            ASSERT_EQ(r.reading.value[4], f[2] == '.' ? ',' : static_cast<char>(f[2]));
            ASSERT_TRUE(sent[2] <= 0x39 || r.reading.value[3] >= '1');
        } else {
            ASSERT_EQ(f, sent);
        }
        for (std::size_t i = 0; i < f.size(); ++i) {
            ASSERT_TRUE(i == 2 || f[i] == sent[i]);
        }
    }
    EXPECT_GT(readings, 20000);
}

} // namespace
} // namespace zt40::test
