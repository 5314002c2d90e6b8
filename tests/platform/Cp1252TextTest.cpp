// Windows-1252 conversion at the edge of platform/.
#include "Cp1252Text.h"

#include <gtest/gtest.h>

namespace zt40::platform {
namespace {

TEST(Cp1252Text, RoundTripsEveryDefinedByte) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(encode1252(decode1252(all)), all);
}

TEST(Cp1252Text, TheHighControlRangeMapsToTypographicCharacters) {
    EXPECT_EQ(decode1252("\x80\x84\x93\x94\x9F"), QString::fromUtf8("€„“”Ÿ"));
    EXPECT_EQ(encode1252(QString::fromUtf8("ä ö é è ê û €")), "\xE4 \xF6 \xE9 \xE8 \xEA \xFB \x80");
}

TEST(Cp1252Text, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(encode1252(QString::fromUtf8("Ω日\u202F")), "???");
    EXPECT_EQ(encode1252(QString()), "");
}

} // namespace
} // namespace zt40::platform
