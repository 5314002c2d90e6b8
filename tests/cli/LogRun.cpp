#include "LogRun.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <utility>

namespace zt40::test {

namespace {
using Clock = std::chrono::steady_clock;
} // namespace

LogRun runLog(const QStringList& arguments, std::chrono::milliseconds limit) {
    LogProcess process(arguments);
    return process.finish(limit);
}

LogProcess::LogProcess(const QStringList& arguments, const QStringList& prefix,
                       const QString& workingDirectory, const QProcessEnvironment& environment,
                       const std::function<void()>& inChild) {
    process_.setWorkingDirectory(workingDirectory);
    if (inChild) {
        process_.setChildProcessModifier(inChild);
    }
    if (!environment.isEmpty()) {
        process_.setProcessEnvironment(environment);
    }
    QStringList command = prefix;
    command << QStringLiteral(ZT40_LOG_BINARY) << arguments;
    process_.start(command.takeFirst(), command);
    EXPECT_TRUE(process_.waitForStarted(5000)) << "zt40-log did not start";
}

LogProcess::~LogProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void LogProcess::collect() {
    out_ += process_.readAllStandardOutput();
    err_ += process_.readAllStandardError();
}

bool LogProcess::waitFor(
    const std::function<bool(const QByteArray& out, const QByteArray& err)>& condition,
    std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    for (;;) {
        collect();
        if (condition(out_, err_)) {
            return true;
        }
        if (Clock::now() > until || process_.state() == QProcess::NotRunning) {
            return false;
        }
        process_.waitForReadyRead(50);
    }
}

void LogProcess::signal(int signal) {
    ::kill(static_cast<pid_t>(process_.processId()), signal);
}

LogRun LogProcess::finish(std::chrono::milliseconds limit) {
    const auto started = Clock::now();
    LogRun run;
    const bool ended = process_.waitForFinished(static_cast<int>(limit.count()));
    run.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    collect();
    EXPECT_TRUE(ended) << "zt40-log did not end; stderr: " << err_.toStdString();
    run.crashed = process_.exitStatus() != QProcess::NormalExit;
    run.exitCode = process_.exitCode();
    run.out = out_;
    run.err = err_;
    return run;
}

std::vector<std::vector<std::string>> readCsv(const std::string& text, std::string& error) {
    // One field and what ends it: a quoted field may hold commas, line breaks and doubled
    // quotes, an unquoted one none of them.
    static const QRegularExpression field(R"re((?:"((?:[^"]|"")*)"|([^",\r\n]*))(,|\r\n))re");
    const QString csv = QString::fromStdString(text);
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    for (qsizetype at = 0; at < csv.size();) {
        const QRegularExpressionMatch m =
            field.match(csv, at, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch()) {
            error = "no RFC 4180 field at character " + std::to_string(at);
            return records;
        }
        const bool quoted = m.capturedStart(1) >= 0;
        record.push_back((quoted
                              ? m.captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\""))
                              : m.captured(2))
                             .toStdString());
        if (m.captured(3) == QStringLiteral("\r\n")) {
            records.push_back(std::exchange(record, {}));
        }
        at = m.capturedEnd();
    }
    if (!record.empty()) {
        error = "the last record has no line break";
    }
    return records;
}

std::vector<QJsonObject> readJsonLines(const QByteArray& text) {
    std::vector<QJsonObject> objects;
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        EXPECT_TRUE(document.isObject()) << line.toStdString();
        objects.push_back(document.object());
    }
    EXPECT_TRUE(text.isEmpty() || text.endsWith('\n'));
    return objects;
}

std::vector<std::string> splitLines(const std::string& text, const std::string& ending) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(ending, start)) != std::string::npos;
         start = end + ending.size()) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end: " << text.substr(start);
    return lines;
}

} // namespace zt40::test
