// Date, time and decimal separator texts for list rows, pinned to known locales.
#include "RegionalSettings.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace zt40::test {
using namespace platform;
namespace {

// 5 March 2026, 14:07:09 - single-digit day, month and second show the padding rules.
QDateTime sample() {
    return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9), QTimeZone("Europe/Berlin"));
}

TEST(RegionalSettings, GermanShortDateLongTimeAndComma) {
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(dateText(de, sample()), "05.03.26");
    EXPECT_EQ(timeText(de, sample()), "14:07:09");
    EXPECT_EQ(decimalSeparator(de), ',');
}

TEST(RegionalSettings, AmericanShortDateTwelveHourClockAndPoint) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(dateText(us, sample()), "3/5/26");
    // The long format carries a zone; it goes, the seconds and the day period stay.
    const std::string time = timeText(us, sample());
    EXPECT_EQ(time.substr(0, 7), "2:07:09");
    EXPECT_NE(time.find("PM"), std::string::npos) << time;
    EXPECT_EQ(time.find("CET"), std::string::npos) << time;
    EXPECT_EQ(time.find("GMT"), std::string::npos) << time;
    EXPECT_EQ(decimalSeparator(us), '.');
}

TEST(RegionalSettings, FrenchShortDateAndComma) {
    const QLocale fr(QLocale::French, QLocale::France);
    EXPECT_EQ(dateText(fr, sample()), "05/03/2026");
    EXPECT_EQ(timeText(fr, sample()), "14:07:09");
    EXPECT_EQ(decimalSeparator(fr), ',');
}

TEST(RegionalSettings, DateAndTimeTextsReadBackAsTheMomentTheyName) {
    const QDateTime evening(QDate(2031, 12, 31), QTime(23, 59, 58));
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::English, QLocale::UnitedKingdom),
                                  QLocale(QLocale::French, QLocale::France), QLocale::c()}) {
        SCOPED_TRACE(locale.name().toStdString());
        for (const QDateTime& when : {sample().toLocalTime(), evening}) {
            const QDateTime read =
                dateTimeFromTexts(locale, dateText(locale, when), timeText(locale, when));
            EXPECT_EQ(read.date(), when.date());
            EXPECT_EQ(read.time(), when.time());
        }
        EXPECT_FALSE(dateTimeFromTexts(locale, "d", "t").isValid());
        EXPECT_FALSE(dateTimeFromTexts(locale, dateText(locale, evening), "").isValid());
    }
}

TEST(RegionalSettings, TimeFormatsKeepSecondsAndDropEveryZoneField) {
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany),
          QLocale(QLocale::English, QLocale::UnitedStates),
          QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Japanese, QLocale::Japan),
          QLocale(QLocale::Arabic, QLocale::Egypt), QLocale::c()}) {
        const QString format = longTimeFormatWithoutZone(locale);
        SCOPED_TRACE(locale.name().toStdString() + " " + format.toStdString());
        EXPECT_TRUE(format.contains(u"ss"));
        QString unquoted = format;
        unquoted.remove(QRegularExpression(QStringLiteral("'[^']*'")));
        EXPECT_FALSE(unquoted.contains(u't'));
        EXPECT_EQ(format, format.trimmed());
    }
}

TEST(RegionalSettings, TextsAreWindows1252Bytes) {
    // Arabic digits and separators have no Windows-1252 form: they become '?', the decimal
    // separator falls back to a point rather than an unusable byte.
    const QLocale ar(QLocale::Arabic, QLocale::Egypt);
    EXPECT_EQ(decimalSeparator(ar), '.');
    for (const char c : dateText(ar, sample()))
        EXPECT_TRUE(c == '?' || static_cast<unsigned char>(c) < 0x80) << int(c);
}

TEST(RegionalSettings, CurrentTextsFollowTheSystemLocale) {
    const QLocale saved = QLocale::system();
    // QLocale::system() follows LANG/LC_ALL on this platform, read when the program starts;
    // the current-time functions must agree with the pure ones for that locale.
    const QDateTime before = QDateTime::currentDateTime();
    const std::string date = currentDateText();
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_TRUE(date == dateText(saved, before) || date == dateText(saved, after));
    EXPECT_EQ(decimalSeparator(), decimalSeparator(saved));
    EXPECT_FALSE(currentTimeText().empty());
}

} // namespace
} // namespace zt40::test
