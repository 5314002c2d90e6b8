// One record per completed reading, in one of the formats a reading can be written in: the
// window's tab-separated export line (tsv, and dat with its row number), RFC 4180 csv and
// JSON lines. Every program that writes records writes them with these. dat is Windows-1252
// like the window's .dat export, the others are UTF-8.
#pragma once

#include "MeasurementListModel.h"

#include <QDateTime>
#include <QString>

#include <mutex>
#include <string>
#include <string_view>

namespace zt40 {

enum class RecordFormat { Tsv, Dat, Csv, Jsonl };

// How csv writes date and time: ISO 8601, the same in every locale, or the regional texts of
// the export. tsv and dat always write the regional texts, jsonl always RFC 3339.
enum class TimeFormat { Iso, Local };

// A reading as the measurement list would hold it, with what the record formats add.
struct MeasurementRecord {
    // Windows-1252 texts of the row: date and time in the user's formats, mode letters and
    // value trimmed; the value carries the decimal separator the format asks for.
    std::string date;
    std::string time;
    std::string mode;
    std::string value;
    QDateTime when; // the moment the date and time texts were taken, to the millisecond
    std::string serial;
    std::string firmware;
};

// What a run writes into every record besides the reading.
struct RecordStyle {
    RecordFormat format = RecordFormat::Tsv;
    TimeFormat timeFormat = TimeFormat::Iso; // of csv
    // The comment column of tsv, dat and csv, the comment key of jsonl (none when empty).
    QString comment;
    // csv and jsonl: the sample number and the reading's position in the sample.
    bool samples = false;
    // jsonl: "simulated": true.
    bool simulated = false;
};

// Where a record stands: its .dat row number; with samples, the sample and the reading's
// position in it. All count from 1; 0 is none.
struct RecordPlace {
    unsigned long long row = 0;
    unsigned long long sample = 0;
    unsigned long long position = 0;
};

// The decimal separator a format writes: the user's where the window's export uses it.
char decimalSeparatorFor(RecordFormat format);

// The header line of a new or empty output; empty for formats without one. The dat header
// carries `titles`, the window's five column titles in the user's language (Windows-1252);
// csv has fixed names of its own.
std::string headerLine(const RecordStyle& style, const ColumnTexts& titles);
// The bytes of one record, line end included. The jsonl value is a number with at least one
// decimal when the statistics count it as one, else null with the text in value_text.
std::string recordLine(const RecordStyle& style, const MeasurementRecord& reading,
                       const RecordPlace& place);
// The place of a file's last line (without its line end), so that a run appending to the file
// numbers on: a dat row number, a csv or jsonl record's sample and position.
RecordPlace placeOfLine(const RecordStyle& style, std::string_view line);

// RFC 3339 with milliseconds and the offset from UTC, e.g. 2026-12-09T16:30:01.250+01:00.
QString isoTime(const QDateTime& when);
QString isoTimeNow();

// Qt's local time goes through the C library's time zone state, which a program with a poll
// thread of its own (zt40-log) would otherwise reach from two threads at the same time: held
// around every use of local time.
std::mutex& localTimeMutex();

} // namespace zt40
