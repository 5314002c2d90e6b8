// Frame builders, reply decoding and the texts derived from a reading.
#include "InstrumentProtocol.h"

#include <gtest/gtest.h>

namespace zt40 {
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

} // namespace
} // namespace zt40
