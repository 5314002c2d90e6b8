#include "Cp1252.h"

#include <gtest/gtest.h>

using namespace zt40;

TEST(Cp1252, LettersOfWesternLanguagesAndEveryByteRoundTrip) {
    EXPECT_EQ(fromCp1252("\xE4\xF6\xFC\xDF \xE9\xE8\xEA \x80 \x84\x93"),
              QString::fromUtf8("äöüß éèê € „“"));

    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
}

TEST(Cp1252, CharactersTheCodePageLacksBecomeQuestionMarks) {
    // Greek alpha, a CJK character and one emoji (two UTF-16 units, one character).
    EXPECT_EQ(toCp1252(QString::fromUtf8("a\xCE\xB1"
                                         "b\xE4\xB8\xAD"
                                         "c\xF0\x9F\x98\x80"
                                         "d")),
              "a?b?c?d");
}
