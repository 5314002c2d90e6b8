// One record per completed reading, in the format chosen on the command line.
#pragma once

#include "Options.h"

#include <QDateTime>

#include <mutex>
#include <string>

namespace zt40::cli {

// A reading as the measurement list would hold it, with what the record formats add.
struct LoggedReading {
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

// The header line of a new or empty output; empty for formats without one.
std::string headerLine(RecordFormat format);
// The bytes of one record, line end included. `number` is the .dat row number.
std::string recordLine(RecordFormat format, const LoggedReading& reading,
                       unsigned long long number);

// ISO 8601 with seconds and the offset from UTC, e.g. 2026-12-09T16:30:01+01:00.
QString isoTime(const QDateTime& when);
QString isoTimeNow();

// Qt's local time goes through the C library's time zone state, which the poll thread and the
// main thread would otherwise reach at the same time: held around every use of local time.
std::mutex& localTimeMutex();

} // namespace zt40::cli
