// One record per completed reading, in one of the formats a reading can be written in: the
// window's tab-separated export line (tsv, and dat with its row number), RFC 4180 csv and
// JSON lines. Every program that writes records writes them with these. dat is Windows-1252
// like the window's .dat export, the others are UTF-8.
#pragma once

#include "MeasurementListModel.h"

#include <QDateTime>

#include <mutex>
#include <string>

namespace zt40 {

enum class RecordFormat { Tsv, Dat, Csv, Jsonl };

// A reading as the measurement list would hold it, with what the record formats add.
struct MeasurementRecord {
    // Windows-1252 texts of the row: date and time in the user's formats, mode letters and
    // value trimmed; the value carries the decimal separator the format asks for.
    std::string date;
    std::string time;
    std::string mode;
    std::string value;
    QDateTime when; // the moment the date and time texts were taken
    std::string serial;
    std::string firmware;
};

// The decimal separator a format writes: the user's where the window's export uses it.
char decimalSeparatorFor(RecordFormat format);

// The header line of a new or empty output; empty for formats without one. The dat header
// carries `titles`, the window's five column titles in the user's language (Windows-1252);
// csv has fixed names of its own.
std::string headerLine(RecordFormat format, const ColumnTexts& titles);
// The bytes of one record, line end included. `number` is the .dat row number.
// The jsonl value is a number when the statistics count it as one, else its text.
std::string recordLine(RecordFormat format, const MeasurementRecord& reading,
                       unsigned long long number);

// ISO 8601 with seconds and the offset from UTC, e.g. 2026-12-09T16:30:01+01:00.
QString isoTime(const QDateTime& when);
QString isoTimeNow();

// Qt's local time goes through the C library's time zone state, which a program with a poll
// thread of its own (zt40-log) would otherwise reach from two threads at the same time: held
// around every use of local time.
std::mutex& localTimeMutex();

} // namespace zt40
