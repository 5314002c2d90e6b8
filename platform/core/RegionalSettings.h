// The user's regional settings: date and time texts for new list rows and the decimal
// separator of measured values. All texts are Windows-1252 bytes.
#pragma once

#include <string>
#include <string_view>

class QDateTime;
class QLocale;
class QString;

namespace zt40::platform {

// Today's date in the user's short date format.
std::string currentDateText();
// The time now in the user's long time format: with seconds, without time zone.
std::string currentTimeText();
// The user's decimal separator; '.' when it is no single Windows-1252 character.
char decimalSeparator();

// The same, for a given locale and moment, so the formats can be pinned down.
std::string dateText(const QLocale& locale, const QDateTime& when);
std::string timeText(const QLocale& locale, const QDateTime& when);
char decimalSeparator(const QLocale& locale);

// A row's date and time texts read back with the formats they were written in: the moment
// they name, to the second; invalid when they do not fit the formats. A two-digit year is
// taken in the years 2000 to 2099.
QDateTime dateTimeFromTexts(const QLocale& locale, std::string_view date, std::string_view time);

// The locale's long time format with every time zone field removed and seconds present.
QString longTimeFormatWithoutZone(const QLocale& locale);

} // namespace zt40::platform
