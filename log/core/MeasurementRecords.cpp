#include "MeasurementRecords.h"

#include "Cp1252.h"
#include "ExportText.h"
#include "MeasurementStatistics.h"
#include "RegionalSettings.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>

namespace zt40 {

namespace {

std::string utf8(std::string_view cp1252) {
    return platform::fromCp1252(cp1252).toUtf8().toStdString();
}

// A field of a tab-separated line: a tab or line break inside would shift the columns.
std::string tsvField(std::string_view text) {
    std::string field = utf8(text);
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return field;
}

// RFC 4180: quoted when it holds a comma, a quote or a line break; quotes doubled.
std::string csvField(std::string_view text) {
    const std::string field = utf8(text);
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string out = "\"";
    for (const char c : field) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

// The value as a JSON number where the statistics read it as one.
QJsonValue jsonValue(const std::string& value) {
    if (const auto number = parseValueText(value)) {
        return number->value;
    }
    return QString::fromStdString(utf8(value));
}

std::string lettersOf(const std::string& mode) {
    std::string letters;
    for (const char c : mode) {
        if (c != ' ') {
            letters += c;
        }
    }
    return letters;
}

} // namespace

char decimalSeparatorFor(RecordFormat format) {
    return format == RecordFormat::Tsv || format == RecordFormat::Dat ? platform::decimalSeparator()
                                                                      : '.';
}

std::mutex& localTimeMutex() {
    static std::mutex mutex;
    return mutex;
}

namespace {

QString isoTimeLocked(const QDateTime& when) {
    const int offset = when.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return when.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

} // namespace

QString isoTime(const QDateTime& when) {
    std::lock_guard lock(localTimeMutex());
    return isoTimeLocked(when);
}

QString isoTimeNow() {
    std::lock_guard lock(localTimeMutex());
    return isoTimeLocked(QDateTime::currentDateTime());
}

std::string headerLine(RecordFormat format, const ColumnTexts& titles) {
    switch (format) {
    case RecordFormat::Dat: {
        ExportLineList line;
        addHeaderLine(line, titles);
        return line.text();
    }
    case RecordFormat::Csv:
        return "date,time,mode,value,comment\r\n";
    case RecordFormat::Tsv:
    case RecordFormat::Jsonl:
        break;
    }
    return {};
}

std::string recordLine(RecordFormat format, const MeasurementRecord& r, unsigned long long number) {
    switch (format) {
    case RecordFormat::Tsv:
        return tsvField(r.date) + '\t' + tsvField(r.time) + '\t' + tsvField(r.mode) + '\t' +
               tsvField(r.value) + "\t\n";
    case RecordFormat::Dat: {
        // The same line as the window's export of this row (comment empty).
        ExportLineList line;
        addRowLine(line, number, {r.date, r.time, r.mode, r.value, {}});
        return line.text();
    }
    case RecordFormat::Csv:
        return csvField(r.date) + ',' + csvField(r.time) + ',' + csvField(r.mode) + ',' +
               csvField(r.value) + ",\r\n";
    case RecordFormat::Jsonl: {
        const QJsonObject object{
            {QStringLiteral("time"), isoTime(r.when)},
            {QStringLiteral("mode"), QString::fromStdString(lettersOf(r.mode))},
            {QStringLiteral("value"), jsonValue(r.value)},
            {QStringLiteral("serial"), platform::fromCp1252(r.serial)},
            {QStringLiteral("firmware"), platform::fromCp1252(r.firmware)},
        };
        return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + '\n';
    }
    }
    return {};
}

} // namespace zt40
