#include "RegionalSettings.h"

#include "Cp1252.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace zt40::platform {

QString longTimeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    // Copy the format field by field: quoted literals stay, 't' fields (time zone) go, and
    // the separators in front of a dropped field go with it.
    QString out;
    bool hasSeconds = false;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format[i];
        if (c == u'\'') {
            qsizetype j = i + 1;
            while (j < format.size() && format[j] != u'\'')
                ++j;
            out += format.mid(i, j - i + 1);
            i = j + 1;
            continue;
        }
        if (c == u't') {
            while (i < format.size() && format[i] == u't')
                ++i;
            while (!out.isEmpty() && (out.back() == u' ' || out.back() == u'(' ||
                                      out.back() == QChar(0x00A0) || out.back() == QChar(0x202F)))
                out.chop(1);
            // A closing bracket belonged to the dropped zone.
            if (i < format.size() && format[i] == u')')
                ++i;
            continue;
        }
        if (c == u's')
            hasSeconds = true;
        out += c;
        ++i;
    }
    out = out.trimmed();
    if (!hasSeconds) {
        // Seconds follow the minutes, with the same separator as between hours and minutes.
        const qsizetype m = out.lastIndexOf(u'm');
        if (m >= 0) {
            const qsizetype h =
                out.lastIndexOf(u'h', m) >= 0 ? out.lastIndexOf(u'h', m) : out.lastIndexOf(u'H', m);
            QString separator = QStringLiteral(":");
            if (h >= 0 && m - h >= 2) {
                qsizetype firstM = m;
                while (firstM > 0 && out[firstM - 1] == u'm')
                    --firstM;
                separator = out.mid(h + 1, firstM - h - 1);
            }
            out.insert(m + 1, separator + QStringLiteral("ss"));
        }
    }
    return out;
}

std::string dateText(const QLocale& locale, const QDateTime& when) {
    return platform::toCp1252(locale.toString(when.date(), QLocale::ShortFormat));
}

std::string timeText(const QLocale& locale, const QDateTime& when) {
    return platform::toCp1252(locale.toString(when.time(), longTimeFormatWithoutZone(locale)));
}

char decimalSeparator(const QLocale& locale) {
    const std::string separator = platform::toCp1252(locale.decimalPoint());
    if (separator.size() != 1 || separator[0] == '?')
        return '.';
    return separator[0];
}

QDateTime dateTimeFromTexts(const QLocale& locale, std::string_view date, std::string_view time) {
    const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    QDate day = locale.toDate(fromCp1252(date), dateFormat);
    const QTime clock = locale.toTime(fromCp1252(time), longTimeFormatWithoutZone(locale));
    if (!day.isValid() || !clock.isValid()) {
        return {};
    }
    QString unquoted = dateFormat;
    for (qsizetype open = unquoted.indexOf(u'\''); open >= 0; open = unquoted.indexOf(u'\'')) {
        const qsizetype close = unquoted.indexOf(u'\'', open + 1);
        unquoted.remove(open, close < 0 ? unquoted.size() - open : close - open + 1);
    }
    if (unquoted.contains(QStringLiteral("yy")) && !unquoted.contains(QStringLiteral("yyyy"))) {
        day = day.addYears(100); // read as 1900 to 1999
    }
    return QDateTime(day, clock);
}

std::string currentDateText() {
    return dateText(QLocale::system(), QDateTime::currentDateTime());
}

std::string currentTimeText() {
    return timeText(QLocale::system(), QDateTime::currentDateTime());
}

char decimalSeparator() {
    return decimalSeparator(QLocale::system());
}

} // namespace zt40::platform
