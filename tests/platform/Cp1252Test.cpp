#include "Cp1252.h"

#include <gtest/gtest.h>

namespace zt40::test {

namespace {

struct Case {
    const char* name;
    std::string bytes; // Windows-1252
    QString text;      // what the bytes stand for
};

} // namespace

TEST(Cp1252, EachByteStandsForOneCharacterBothWays) {
    const Case cases[] = {
        {"letters", "\xE4\xF6\xFC\xDF \xE9\xE8\xEA\xFB", QString::fromUtf8("äöüß éèêû")},
        {"typographic", "\x80\x84\x93\x94\x9F", QString::fromUtf8("€„“”Ÿ")},
        {"undefined", "\x81\x8D\x8F\x90\x9D", QString::fromUtf8("\u0081\u008D\u008F\u0090\u009D")},
        {"zero", std::string("a\0b", 3), QString::fromUtf8("a\0b", 3)},
        {"empty", "", QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::fromCp1252(c.bytes), c.text) << c.name;
        EXPECT_EQ(platform::toCp1252(c.text), c.bytes) << c.name;
    }

    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const QString text = platform::fromCp1252(all);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(platform::toCp1252(text), all);
}

TEST(Cp1252, ACharacterOutsideTheCodePageBecomesOneQuestionMark) {
    const std::pair<QString, std::string> cases[] = {
        {QString::fromUtf8("a\u03B1b\u4E2Dc\u202Fd"), "a?b?c?d"}, // Greek, CJK, narrow blank
        {QString::fromUtf8("x\U0001F600y\U0001F600"), "x?y?"},    // surrogate pairs
        {QString(QChar(0xD83D)) + "z" + QChar(0xDE00), "?z?"},    // lone halves
        {QString::fromUtf8("\u0080\u009F"), "??"}, // C1 controls the code page uses for other signs
    };
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(platform::toCp1252(text), bytes) << text.toStdString();
    }
}

} // namespace zt40::test

