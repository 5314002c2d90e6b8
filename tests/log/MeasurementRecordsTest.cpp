#include "MeasurementRecords.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <utility>

namespace zt40::test {

namespace {

// Moments with their offsets from UTC, east and west, so the times are the same on every
// machine.
const QDateTime East(QDate(2026, 12, 9), QTime(16, 30, 1, 250), QTimeZone(3600));
const QDateTime West(QDate(2026, 12, 9), QTime(16, 30, 1, 5), QTimeZone(-19800));

MeasurementRecord record(std::string mode, std::string value, QDateTime when = East) {
    return {"09.12.26", "16:30:01", std::move(mode), std::move(value), when, "ZT40\xC9", "02 15"};
}

std::string withoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

} // namespace

// The header and one record of each format, with texts each format has to guard against; a
// run appending to the file reads the record's place back from it.
TEST(MeasurementRecords, EachFormatsHeaderRecordAndPlace) {
    struct Case {
        RecordStyle style;
        MeasurementRecord reading;
        std::string header;
        std::string line;
    };
    const RecordPlace place{7, 3, 2};
    const Case cases[] = {
        {{RecordFormat::Tsv, TimeFormat::Iso, QStringLiteral("Lot\t7 \u00E4"), false, false},
         record("L D", "1\t2\r\n3\xB0"),
         "",
         "09.12.26\t16:30:01\tL D\t1 2  3\xC2\xB0\tLot 7 \xC3\xA4\n"},
        {{RecordFormat::Dat, TimeFormat::Iso, QStringLiteral("Lot \u00E4"), true, false},
         record("L D", "12,5\xB0"),
         "\tDate\tTime\tMode\tValue\tComment\r\n",
         "7\t09.12.26\t16:30:01\tL D\t12,5\xB0\tLot \xE4\r\n"},
        {{RecordFormat::Csv, TimeFormat::Iso, QStringLiteral("say \"hi\", ok"), true, true},
         record("C", "say \"1,5\"", West),
         "date,time,mode,value,comment,sample,position\r\n",
         "2026-12-09,16:30:01.005-05:30,C,\"say \"\"1,5\"\"\",\"say \"\"hi\"\", ok\",3,2\r\n"},
        {{RecordFormat::Csv, TimeFormat::Local, {}, false, false},
         record("C", "84.0"),
         "date,time,mode,value,comment\r\n",
         "09.12.26,16:30:01,C,84.0,\r\n"},
        {{RecordFormat::Jsonl, TimeFormat::Iso, QStringLiteral("Lot \"7\"\n"), true, true},
         record("L D", "-0.50"),
         "",
         "{\"time\":\"2026-12-09T16:30:01.250+01:00\",\"serial\":\"ZT40\xC3\x89\","
         "\"firmware\":\"02 15\",\"mode\":\"LD\",\"value\":-0.50,"
         "\"comment\":\"Lot \\\"7\\\"\\u000a\",\"sample\":3,\"position\":2,\"simulated\":true}\n"},
    };
    for (const Case& c : cases) {
        const int format = static_cast<int>(c.style.format);
        EXPECT_EQ(headerLine(c.style, {"Date", "Time", "Mode", "Value", "Comment"}), c.header)
            << format;
        EXPECT_EQ(recordLine(c.style, c.reading, place), c.line) << format;
        const RecordPlace read = placeOfLine(c.style, withoutLineEnd(c.line));
        const bool rows = c.style.format == RecordFormat::Dat;
        EXPECT_EQ(read.row, rows ? place.row : 0) << format;
        EXPECT_EQ(read.sample, c.style.samples && !rows ? place.sample : 0) << format;
        EXPECT_EQ(read.position, c.style.samples && !rows ? place.position : 0) << format;
        EXPECT_EQ(placeOfLine(c.style, withoutLineEnd(c.header)).sample, 0u) << format;
    }
}

// A jsonl value is a number with a decimal exactly when the statistics count it as one, and
// null with its text apart when they do not.
TEST(MeasurementRecords, JsonlValueIsANumberOrNull) {
    for (const auto& [text, json] : {std::pair{"0,25", "\"value\":0.25}"},
                                     {"+3", "\"value\":3.0}"},
                                     {"84.0", "\"value\":84.0}"},
                                     {"1e3", "\"value\":null,\"value_text\":\"1e3\"}"},
                                     {":", "\"value\":null,\"value_text\":\":\"}"}}) {
        RecordStyle jsonl;
        jsonl.format = RecordFormat::Jsonl;
        const std::string line = recordLine(jsonl, record("C", text), RecordPlace{});
        EXPECT_NE(line.find(json), std::string::npos) << line;
    }
}

} // namespace zt40::test
