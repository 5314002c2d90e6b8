#include "MeasurementRecords.h"

#include "Cp1252.h"
#include "ExportText.h"
#include "RegionalSettings.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace zt40 {

namespace {

std::string utf8(std::string_view cp1252) {
    return platform::fromCp1252(cp1252).toUtf8().toStdString();
}

// A field of a tab-separated line: a tab or line break inside would shift the columns.
std::string tsvField(std::string field) {
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return field;
}

// RFC 4180: quoted when it holds a comma, a quote or a line break; quotes doubled.
std::string csvField(const std::string& field) {
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

// A JSON string of UTF-8 text.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The value as a JSON number where the statistics read it as one, always with a decimal, so
// that a reader never sees the type change between readings; else null and the text apart.
std::string jsonValue(const std::string& value) {
    if (const auto number = parseValueText(value)) {
        const QString digits = QString::number(number->value, 'f', std::max(number->decimals, 1));
        return "\"value\":" + digits.toStdString();
    }
    return "\"value\":null,\"value_text\":" + jsonString(utf8(value));
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

QString offsetText(const QDateTime& when) {
    const int offset = when.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

QString isoTimeLocked(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + offsetText(when);
}

bool readNumber(std::string_view text, unsigned long long& number) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, number);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
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

QString isoTime(const QDateTime& when) {
    std::lock_guard lock(localTimeMutex());
    return isoTimeLocked(when);
}

QString isoTimeNow() {
    std::lock_guard lock(localTimeMutex());
    return isoTimeLocked(QDateTime::currentDateTime());
}

std::string headerLine(const RecordStyle& style, const ColumnTexts& titles) {
    switch (style.format) {
    case RecordFormat::Dat: {
        ExportLineList line;
        addHeaderLine(line, titles);
        return line.text();
    }
    case RecordFormat::Csv:
        return std::string("date,time,mode,value,comment") +
               (style.samples ? ",sample,position" : "") + "\r\n";
    case RecordFormat::Tsv:
    case RecordFormat::Jsonl:
        break;
    }
    return {};
}

std::string recordLine(const RecordStyle& style, const MeasurementRecord& r,
                       const RecordPlace& place) {
    const std::string comment = style.comment.toUtf8().toStdString();
    switch (style.format) {
    case RecordFormat::Tsv:
        return tsvField(utf8(r.date)) + '\t' + tsvField(utf8(r.time)) + '\t' +
               tsvField(utf8(r.mode)) + '\t' + tsvField(utf8(r.value)) + '\t' + tsvField(comment) +
               '\n';
    case RecordFormat::Dat: {
        // The same line as the window's export of this row.
        ExportLineList line;
        addRowLine(line, place.row,
                   {r.date, r.time, r.mode, r.value, platform::toCp1252(style.comment)});
        return line.text();
    }
    case RecordFormat::Csv: {
        std::string date = utf8(r.date);
        std::string time = utf8(r.time);
        if (style.timeFormat == TimeFormat::Iso) {
            std::lock_guard lock(localTimeMutex());
            date = r.when.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
            time = (r.when.toString(QStringLiteral("HH:mm:ss.zzz")) + offsetText(r.when))
                       .toStdString();
        }
        std::string line = csvField(date) + ',' + csvField(time) + ',' + csvField(utf8(r.mode)) +
                           ',' + csvField(utf8(r.value)) + ',' + csvField(comment);
        if (style.samples) {
            line += ',' + std::to_string(place.sample) + ',' + std::to_string(place.position);
        }
        return line + "\r\n";
    }
    case RecordFormat::Jsonl: {
        std::string line = "{\"time\":" + jsonString(isoTime(r.when).toStdString()) +
                           ",\"serial\":" + jsonString(utf8(r.serial)) +
                           ",\"firmware\":" + jsonString(utf8(r.firmware)) +
                           ",\"mode\":" + jsonString(lettersOf(r.mode)) + ',' + jsonValue(r.value);
        if (!comment.empty()) {
            line += ",\"comment\":" + jsonString(comment);
        }
        if (style.samples) {
            line += ",\"sample\":" + std::to_string(place.sample) +
                    ",\"position\":" + std::to_string(place.position);
        }
        if (style.simulated) {
            line += ",\"simulated\":true";
        }
        return line + "}\n";
    }
    }
    return {};
}

RecordPlace placeOfLine(const RecordStyle& style, std::string_view line) {
    RecordPlace place;
    switch (style.format) {
    case RecordFormat::Dat:
        if (const auto tab = line.find('\t'); tab != std::string_view::npos) {
            readNumber(line.substr(0, tab), place.row);
        }
        break;
    case RecordFormat::Csv: {
        // The last two fields, which are numbers: no quotes, no commas in them.
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const auto last = line.rfind(',');
        const auto before = last == std::string_view::npos || last == 0 ? std::string_view::npos
                                                                        : line.rfind(',', last - 1);
        if (style.samples && before != std::string_view::npos &&
            !(readNumber(line.substr(before + 1, last - before - 1), place.sample) &&
              readNumber(line.substr(last + 1), place.position))) {
            place = {};
        }
        break;
    }
    case RecordFormat::Jsonl: {
        const QJsonObject object =
            QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size())))
                .object();
        if (style.samples && object.value(QStringLiteral("sample")).toInteger() > 0 &&
            object.value(QStringLiteral("position")).toInteger() > 0) {
            place.sample =
                static_cast<unsigned long long>(object.value(QStringLiteral("sample")).toInteger());
            place.position = static_cast<unsigned long long>(
                object.value(QStringLiteral("position")).toInteger());
        }
        break;
    }
    case RecordFormat::Tsv:
        break;
    }
    return place;
}

} // namespace zt40
