// zt40-log as its users run it: the real program on the simulated instrument, its records
// parsed back and compared with the readings the instrument made.
#include "LogRun.h"

#include "InstrumentProtocol.h"
#include "SimulatedInstrument.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>

namespace zt40::test {
namespace {

using namespace std::chrono_literals;

// One reading as a record tells it: the mode letters and the value.
struct Logged {
    std::string mode;
    double value = 0;
    bool operator==(const Logged&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Logged& l) {
    return os << l.mode << " " << l.value;
}

// The readings the simulated instrument of scenario "manual" makes for its first measure
// commands, read out as a host reads them.
std::vector<Logged> madeByManualSimulator(int count, bool light) {
    simulator::SimulatedInstrument instrument(simulator::SimulatedInstrument::scenario("manual"));
    std::vector<Logged> made;
    for (int k = 0; k < count; ++k) {
        instrument.pressKey(light);
        for (const std::uint8_t half : {std::uint8_t{0}, std::uint8_t{1}}) {
            simulator::Frame frame{Code::ReadMeasurement, half, 0, 0, 0, 0, 0, 0};
            std::size_t moved = 0;
            instrument.write(frame.data(), frame.size(), moved);
            instrument.read(frame.data(), frame.size(), moved);
        }
        const simulator::EncodedReading reading = *instrument.lastReadingDeliveredWhole();
        const std::uint8_t flags = reading.first[2];
        std::string mode;
        for (const auto& [bit, letter] :
             {std::pair{ModeFlagL, 'L'}, {ModeFlagC, 'C'}, {ModeFlagD, 'D'}}) {
            if (flags & bit) {
                mode += letter;
            }
        }
        made.push_back({mode, reading.tenths / 10.0});
    }
    return made;
}

double number(std::string text, char separator) {
    std::replace(text.begin(), text.end(), separator, '.');
    return std::stod(text);
}

// The mode column keeps the blank of an absent letter between two present ones.
std::string letters(std::string mode) {
    std::erase(mode, ' ');
    return mode;
}

// ---- Each format, parsed back --------------------------------------------------------------

struct FormatCase {
    const char* format;
    const char* locale;
    bool light;
    // Reads the records back; checks the format's own rules on the way.
    std::vector<Logged> (*parse)(const QByteArray& out, const QLocale& locale);
};

using Rows = std::vector<std::vector<std::string>>;

// Rows of date, time, mode, value and comment, as the window's list has them.
std::vector<Logged> readRows(const Rows& rows, const QLocale& locale, char separator) {
    std::vector<Logged> logged;
    for (const auto& r : rows) {
        EXPECT_EQ(r.size(), 5u);
        if (r.size() == 5) {
            EXPECT_EQ(r[0],
                      locale.toString(QDate::currentDate(), QLocale::ShortFormat).toStdString());
            EXPECT_TRUE(QRegularExpression("^\\d\\d?[:.]\\d\\d[:.]\\d\\d( [AP]M)?$")
                            .match(QString::fromStdString(r[1]))
                            .hasMatch())
                << r[1];
            EXPECT_EQ(r[4], "");
            logged.push_back({letters(r[2]), number(r[3], separator)});
        }
    }
    return logged;
}

Rows tabbed(const QByteArray& out, const std::string& ending) {
    Rows rows;
    for (const std::string& line : splitLines(out.toStdString(), ending)) {
        rows.emplace_back();
        for (const QString& field : QString::fromLatin1(line).split(u'\t')) {
            rows.back().push_back(field.toStdString());
        }
    }
    return rows;
}

char localSeparator(const QLocale& locale) {
    return locale.decimalPoint()[0].toLatin1();
}

std::vector<Logged> parseTsv(const QByteArray& out, const QLocale& locale) {
    EXPECT_FALSE(out.contains('\r'));
    return readRows(tabbed(out, "\n"), locale, localSeparator(locale));
}

std::vector<Logged> parseDat(const QByteArray& out, const QLocale& locale) {
    Rows rows = tabbed(out, "\r\n");
    EXPECT_FALSE(rows.empty());
    if (rows.empty()) {
        return {};
    }
    // The titles of the system's language, German here.
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"", "Datum", "Zeit", "Modus", "Wert", "Kommentar"}));
    rows.erase(rows.begin());
    for (std::size_t n = 0; n < rows.size(); ++n) {
        EXPECT_EQ(rows[n].front(), std::to_string(n + 1));
        rows[n].erase(rows[n].begin());
    }
    return readRows(rows, locale, localSeparator(locale));
}

std::vector<Logged> parseCsv(const QByteArray& out, const QLocale& locale) {
    std::string error;
    Rows rows = readCsv(out.toStdString(), error);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(rows.empty());
    if (rows.empty()) {
        return {};
    }
    EXPECT_EQ(rows[0], (std::vector<std::string>{"date", "time", "mode", "value", "comment"}));
    rows.erase(rows.begin());
    return readRows(rows, locale, '.');
}

std::vector<Logged> parseJsonl(const QByteArray& out, const QLocale&) {
    std::vector<Logged> logged;
    for (const QJsonObject& o : readJsonLines(out)) {
        EXPECT_EQ(o.keys(), (QStringList{"firmware", "mode", "serial", "time", "value"}));
        EXPECT_EQ(o["serial"].toString(), "ZT40A07311");
        EXPECT_EQ(o["firmware"].toString(), "02 15");
        const QDateTime time = QDateTime::fromString(o["time"].toString(), Qt::ISODate);
        EXPECT_TRUE(time.isValid()) << o["time"].toString().toStdString();
        EXPECT_TRUE(o["time"].toString().contains(QRegularExpression("[+-]\\d\\d:\\d\\d$")));
        EXPECT_LT(std::abs(time.secsTo(QDateTime::currentDateTime())), 60);
        EXPECT_TRUE(o["value"].isDouble());
        logged.push_back({o["mode"].toString().toStdString(), o["value"].toDouble()});
    }
    return logged;
}

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.format;
}
class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, RecordsAreTheReadingsTheInstrumentMade) {
    const FormatCase& c = GetParam();
    qputenv("LC_ALL", c.locale);
    qunsetenv("LANGUAGE"); // it would come before LC_ALL for the language
    QStringList arguments{"--simulator", "manual", "--measure-every", "1s",   "--count", "3",
                          "--format",    c.format, "--status-format", "jsonl"};
    if (c.light) {
        arguments << "--light";
    }
    const LogRun run = runLog(arguments, 40s);
    qunsetenv("LC_ALL");

    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(c.parse(run.out, QLocale(QString::fromLatin1(c.locale))),
              madeByManualSimulator(3, c.light));

    const std::vector<QJsonObject> status = readJsonLines(run.err);
    ASSERT_GE(status.size(), 2u) << run.err.toStdString();
    EXPECT_EQ(status.front()["event"], "found");
    EXPECT_EQ(status.front()["serial"], "ZT40A07311");
    EXPECT_EQ(status.front()["firmware"], "02 15");
    EXPECT_EQ(status.back()["event"], "end");
    EXPECT_EQ(status.back()["readings"], 3);
}

INSTANTIATE_TEST_SUITE_P(Log, FormatTest,
                         ::testing::Values(FormatCase{"tsv", "de_DE.UTF-8", false, parseTsv},
                                           FormatCase{"dat", "de_DE.UTF-8", false, parseDat},
                                           FormatCase{"csv", "de_DE.UTF-8", false, parseCsv},
                                           FormatCase{"jsonl", "en_US.UTF-8", true, parseJsonl}),
                         [](const auto& p) { return std::string(p.param.format); });

// ---- The dat titles in the user's language -------------------------------------------------

// The one asked for; else the one chosen in the window, from the settings file where the window
// keeps it (here the working directory); else the system's when it is German or French; else
// English.
TEST(LogDat, TitlesInTheUsersLanguage) {
    const struct {
        QStringList asked;
        const char* saved; // the settings file's language number; none: no file
        const char* locale;
        const char* header;
    } cases[] = {
        {{"--language", "fr"}, "1", "de_DE.UTF-8", "\tDate\tHeure\tMode\tValeur\tCommentaire"},
        {{}, "1", "fr_FR.UTF-8", "\tDatum\tZeit\tModus\tWert\tKommentar"},
        {{}, "0", "de_DE.UTF-8", "\tDate\tTime\tMode\tValue\tComment"},
        {{}, nullptr, "fr_FR.UTF-8", "\tDate\tHeure\tMode\tValeur\tCommentaire"},
        {{}, "7", "es_ES.UTF-8", "\tDate\tTime\tMode\tValue\tComment"},
    };
    // All at once: each waits a second for its reading.
    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    std::vector<std::unique_ptr<LogProcess>> runs;
    for (const auto& c : cases) {
        folders.push_back(std::make_unique<QTemporaryDir>());
        if (c.saved != nullptr) {
            QFile ini(folders.back()->filePath("zt40.ini"));
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write(QByteArray("[Config]\r\nLanguage=") + c.saved + "\r\n");
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", c.locale);
        environment.remove("LANGUAGE");
        const QStringList arguments =
            QStringList{"--simulator", "manual", "--measure-every", "1s",
                        "--count",     "1",      "--format",        "dat"} +
            c.asked;
        runs.push_back(std::make_unique<LogProcess>(arguments, QStringList{},
                                                    folders.back()->path(), environment));
    }
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const LogRun run = runs[k]->finish(30s);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith(QByteArray(cases[k].header) + "\r\n1\t"))
            << k << ": " << run.out.toStdString();
    }
}

// ---- Appending to a file -------------------------------------------------------------------

struct AppendCase {
    const char* name;
    const char* format;
    const char* before; // the file before the first run; null: no file
    int runs;
    // The file after the runs (two readings each), and the status lines of the first run.
    void (*check)(const QByteArray& file, const QByteArray& firstStatus);
};

void PrintTo(const AppendCase& c, std::ostream* os) {
    *os << c.name;
}
class AppendTest : public ::testing::TestWithParam<AppendCase> {};

TEST_P(AppendTest, FileGrowsByWholeRecords) {
    const AppendCase& c = GetParam();
    QTemporaryDir folder;
    const QString path = folder.filePath("readings");
    if (c.before != nullptr) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.before);
    }
    QByteArray firstStatus;
    for (int k = 0; k < c.runs; ++k) {
        const LogRun run = runLog({"--simulator", "manual", "--measure-every", "1s", "--count", "2",
                                   "--format", c.format, "--output", path},
                                  30s);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, QByteArray());
        if (k == 0) {
            firstStatus = run.err;
        }
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    c.check(file.readAll(), firstStatus);
}

void datNumberedOnAfterTornLine(const QByteArray& file, const QByteArray& status) {
    const auto lines = splitLines(file.toStdString(), "\r\n");
    ASSERT_EQ(lines.size(), 4u) << file.toStdString();
    EXPECT_EQ(lines[0], "\tDate\tTime\tMode\tValue\tComment");
    EXPECT_EQ(lines[1], "1\t01.12.26\t08:00:00\tC\t45,3\t");
    for (std::size_t n = 2; n < 4; ++n) {
        EXPECT_EQ(lines[n].substr(0, 2), std::to_string(n) + "\t");
    }
    EXPECT_TRUE(status.contains("removed an incomplete last line from")) << status.toStdString();
    EXPECT_TRUE(status.contains("2\t01.12.26\t08:0")) << status.toStdString();
}

void csvOneHeader(const QByteArray& file, const QByteArray&) {
    std::string error;
    const auto records = readCsv(file.toStdString(), error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0][0], "date");
    for (std::size_t n = 1; n < 5; ++n) {
        EXPECT_EQ(records[n].size(), 5u);
        EXPECT_NE(records[n][0], "date");
    }
}

void jsonlTornObjectGone(const QByteArray& file, const QByteArray& status) {
    const auto objects = readJsonLines(file);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0]["value"], 12.5);
    EXPECT_TRUE(status.contains("{\"time\":\"2026-12-01T08:0")) << status.toStdString();
}

void tsvNoHeader(const QByteArray& file, const QByteArray& status) {
    const auto lines = splitLines(file.toStdString(), "\n");
    EXPECT_EQ(lines.size(), 4u);
    EXPECT_FALSE(status.contains("removed"));
}

INSTANTIATE_TEST_SUITE_P(
    Log, AppendTest,
    ::testing::Values(
        AppendCase{"DatAfterTornLine", "dat",
                   "\tDate\tTime\tMode\tValue\tComment\r\n1\t01.12.26\t08:00:00\tC\t45,3\t\r\n"
                   "2\t01.12.26\t08:0",
                   1, datNumberedOnAfterTornLine},
        AppendCase{"CsvEmptyFileTwoRuns", "csv", "", 2, csvOneHeader},
        AppendCase{"JsonlAfterTornObject", "jsonl", "{\"value\":12.5}\n{\"time\":\"2026-12-01T08:0",
                   1, jsonlTornObjectGone},
        AppendCase{"TsvNewFileTwoRuns", "tsv", nullptr, 2, tsvNoHeader}),
    [](const auto& p) { return std::string(p.param.name); });

// A last line longer than any record is someone else's data: the file stays as it was.
TEST(LogAppend, FileThatEndsInNoRecordIsLeftAlone) {
    QTemporaryDir folder;
    const QString path = folder.filePath("picture.png");
    const QByteArray before = "header\n" + QByteArray(100000, 'x');
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(before);
    file.close();
    const LogRun run = runLog({"--simulator", "manual", "--duration", "1", "--output", path}, 10s);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains(
        ("cannot append to " + path + ": it does not end in a line of records").toUtf8()))
        << run.err.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// ---- Signals: every reading received is written, the run ends at once ----------------------

struct SignalCase {
    int signal;
    const char* name;
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}
class SignalTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalTest, EndsWithinASecondWithEveryReadingWritten) {
    LogProcess log({"--simulator", "manual", "--measure-every", "1s", "--format", "csv",
                    "--status-format", "jsonl"});
    ASSERT_TRUE(log.waitFor(
        [](const QByteArray& out, const QByteArray&) {
            return out.count("\r\n") >= 2; // header and one record
        },
        15s))
        << log.err().toStdString();
    log.signal(GetParam().signal);
    const LogRun run = log.finish(5s);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_LT(run.took, 1s);
    std::string error;
    const auto records = readCsv(run.out.toStdString(), error);
    EXPECT_EQ(error, "");
    const auto status = readJsonLines(run.err);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.back()["event"], "end");
    EXPECT_EQ(status.back()["reason"], GetParam().name);
    EXPECT_EQ(status.back()["readings"].toInt(), static_cast<int>(records.size()) - 1);
}

INSTANTIATE_TEST_SUITE_P(Log, SignalTest,
                         ::testing::Values(SignalCase{SIGINT, "SIGINT"},
                                           SignalCase{SIGTERM, "SIGTERM"},
                                           SignalCase{SIGHUP, "SIGHUP"}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- How a run ends ------------------------------------------------------------------------

struct EndCase {
    const char* name;
    QStringList arguments;
    int exitCode;
    const char* message; // in the status lines
    std::chrono::milliseconds shortest;
    std::chrono::milliseconds longest;
};

void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.name;
}
class EndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndTest, ExitStatusMessageAndTime) {
    const EndCase& c = GetParam();
    const LogRun run = runLog(c.arguments, 30s);
    EXPECT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    if (*c.message == '\0') {
        EXPECT_EQ(run.err, QByteArray());
    } else {
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
    }
    EXPECT_GE(run.took, c.shortest);
    EXPECT_LE(run.took, c.longest);
}

INSTANTIATE_TEST_SUITE_P(
    Log, EndTest,
    ::testing::Values(
        EndCase{"Duration",
                {"--simulator", "manual", "--duration", "2s"},
                0,
                "zt40-log: ended (duration 2 s): 0 readings written",
                1900ms,
                3500ms},
        EndCase{"NoInstrumentWithinWait",
                {"--wait", "1"},
                2,
                "zt40-log: no instrument appeared within 1 s",
                900ms,
                3000ms},
        EndCase{"NoInstrumentTold",
                {"--wait", "0"},
                2,
                "cannot open the instrument: no instrument found; trying again every 5 s",
                0ms,
                2000ms},
        EndCase{"FullDisk",
                {"--simulator", "manual", "--measure-every", "1s", "--output", "/dev/full"},
                3,
                "zt40-log: cannot write /dev/full: No space left on device",
                0ms,
                10s},
        EndCase{"MissingFolder",
                {"--simulator", "--output", "/nonexistent/folder/r.tsv"},
                3,
                "zt40-log: cannot open /nonexistent/folder/r.tsv: No such file or directory",
                0ms,
                2000ms},
        EndCase{"Quiet",
                {"--simulator", "manual", "--measure-every", "1s", "--count", "1", "--quiet"},
                0,
                "",
                0ms,
                10s}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Arguments -----------------------------------------------------------------------------

struct ArgumentCase {
    QStringList arguments;
    int exitCode;
    const char* message; // on standard error for status 1, on standard output for 0
};

void PrintTo(const ArgumentCase& c, std::ostream* os) {
    *os << c.arguments.join(u' ').toStdString();
}
class ArgumentTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentTest, RefusedWithAClearMessage) {
    const ArgumentCase& c = GetParam();
    const LogRun run = runLog(c.arguments, 10s);
    EXPECT_EQ(run.exitCode, c.exitCode);
    if (c.exitCode == 0) {
        EXPECT_TRUE(run.out.contains(c.message)) << run.out.toStdString();
        EXPECT_EQ(run.err, QByteArray());
        return;
    }
    EXPECT_EQ(run.err, QByteArray("zt40-log: ") + c.message +
                           "\nTry 'zt40-log --help' for more information.\n");
    EXPECT_EQ(run.out, QByteArray());
}

INSTANTIATE_TEST_SUITE_P(
    Log, ArgumentTest,
    ::testing::Values(
        ArgumentCase{{"--count", "0"}, 1, "--count: '0' is not a positive whole number"},
        ArgumentCase{{"--count", "2x"}, 1, "--count: '2x' is not a positive whole number"},
        ArgumentCase{{"--count"}, 1, "option '--count' needs a value"},
        ArgumentCase{{"--count", "2", "--count=3"}, 1, "option '--count' is given twice"},
        ArgumentCase{{"--format", "xml"}, 1, "--format: 'xml' is not one of tsv, dat, csv, jsonl"},
        ArgumentCase{{"--language", "it"}, 1, "--language: 'it' is not one of en, de, fr"},
        ArgumentCase{{"--duration", "10x"},
                     1,
                     "--duration: '10x' is not a positive time (a number of seconds, or with s, "
                     "m or h, e.g. 10m)"},
        ArgumentCase{{"--duration", "277778h"},
                     1,
                     "--duration: '277778h' is too long (at most 1000000000 s)"},
        ArgumentCase{{"--measure-every=0s"},
                     1,
                     "--measure-every: '0s' is not a positive time (a number of seconds, or with "
                     "s, m or h, e.g. 10m)"},
        ArgumentCase{{"--wait", "-1"},
                     1,
                     "--wait: '-1' is not a time (a number of seconds, or with s, m or h, e.g. "
                     "10m)"},
        ArgumentCase{{"--simulator", "bogus"},
                     1,
                     "--simulator: 'bogus' is not a scenario (1, manual, flaky)"},
        ArgumentCase{
            {"--status-format", "xml"}, 1, "--status-format: 'xml' is not one of text, jsonl"},
        ArgumentCase{{"--output="}, 1, "--output: the file name is empty"},
        ArgumentCase{{"--quiet=yes"}, 1, "option '--quiet' takes no value"},
        ArgumentCase{{"--frobnicate"}, 1, "unknown option '--frobnicate'"},
        ArgumentCase{{"readings.tsv"}, 1, "unexpected argument 'readings.tsv'"},
        ArgumentCase{{"--help"}, 0, "Usage: zt40-log [OPTION]..."},
        ArgumentCase{{"--version"}, 0, "zt40-log " ZT40_VERSION "\n"}));

} // namespace
} // namespace zt40::test
