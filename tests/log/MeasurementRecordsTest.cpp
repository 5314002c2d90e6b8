#include "MeasurementRecords.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <utility>

using namespace zt40;

namespace {

// One moment with its offset from UTC, so the jsonl time is the same on every machine.
const QDateTime When(QDate(2026, 12, 9), QTime(16, 30, 1), QTimeZone(3600));

MeasurementRecord record(std::string mode, std::string value) {
    return {"09.12.26", "16:30:01", std::move(mode), std::move(value), When, "ZT40\xC9", "02 15"};
}

} // namespace

// The header and one record of each format, with texts each format has to guard against.
TEST(MeasurementRecords, EachFormatsHeaderAndRecordBytes) {
    struct Case {
        RecordFormat format;
        MeasurementRecord reading;
        std::string header;
        std::string line;
    };
    const Case cases[] = {
        {RecordFormat::Tsv, record("L D", "1\t2\r\n3\xB0"), "",
         "09.12.26\t16:30:01\tL D\t1 2  3\xC2\xB0\t\n"},
        {RecordFormat::Dat, record("L D", "12,5\xB0"), "\tDate\tTime\tMode\tValue\tComment\r\n",
         "7\t09.12.26\t16:30:01\tL D\t12,5\xB0\t\r\n"},
        {RecordFormat::Csv, record("C", "say \"1,5\""), "date,time,mode,value,comment\r\n",
         "09.12.26,16:30:01,C,\"say \"\"1,5\"\"\",\r\n"},
        {RecordFormat::Jsonl, record("L D", "-0.50"), "",
         "{\"firmware\":\"02 15\",\"mode\":\"LD\",\"serial\":\"ZT40\xC3\x89\","
         "\"time\":\"2026-12-09T16:30:01+01:00\",\"value\":-0.5}\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(headerLine(c.format, {"Date", "Time", "Mode", "Value", "Comment"}), c.header)
            << static_cast<int>(c.format);
        EXPECT_EQ(recordLine(c.format, c.reading, 7), c.line) << static_cast<int>(c.format);
    }
}

// A jsonl value is a number exactly when the statistics count it as one.
TEST(MeasurementRecords, JsonlValueIsANumberWhereTheStatisticsReadOne) {
    for (const auto& [text, json] :
         {std::pair{"0,25", "0.25"}, {"+3", "3"}, {"1e3", "\"1e3\""}, {":", "\":\""}}) {
        const std::string line = recordLine(RecordFormat::Jsonl, record("C", text), 1);
        EXPECT_NE(line.find("\"value\":" + std::string(json) + "}"), std::string::npos) << line;
    }
}
