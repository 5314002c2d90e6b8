// zt40-log on Windows, under Wine: the console's events, and the real program as a child
// process where Wine runs it like Windows does.
#include "Process.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

namespace zt40::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Wine cannot send a console's control events to a program reliably: the control routine's
// work is driven in the test's own process instead.
TEST(WindowsConsoleEvent, EndsTheRunAndHoldsTheProcessUntilTheRunIsOver) {
    const struct {
        DWORD event;
        const char* name;
        bool waitsForTheEnd;
    } cases[] = {
        {CTRL_C_EVENT, "Ctrl+C", false},
        {CTRL_BREAK_EVENT, "Ctrl+Break", false},
        {CTRL_CLOSE_EVENT, "console closed", true},
        {CTRL_SHUTDOWN_EVENT, "system shutting down", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto sleep = std::make_unique<cli::MainLoopSleep>();
        ASSERT_TRUE(sleep->open().ok());
        const auto started = Clock::now();
        auto routine = std::async(std::launch::async, [&] { return cli::consoleEvent(c.event); });
        const cli::Wakeup woken = sleep->sleep(5000ms, -1);
        EXPECT_LT(Clock::now() - started, 1s);
        EXPECT_STREQ(cli::signalName(woken.endSignal), c.name);
        // The next sleep is not broken by the same event again.
        EXPECT_EQ(sleep->sleep(0ms, -1).endSignal, 0);
        EXPECT_EQ(routine.wait_for(300ms) == std::future_status::ready, !c.waitsForTheEnd);
        sleep.reset(); // the run is over
        EXPECT_EQ(routine.wait_for(2s), std::future_status::ready);
        EXPECT_TRUE(routine.get());
    }
    EXPECT_FALSE(cli::consoleEvent(0xff));
}

// A second logger on the same file is refused at once, with the status of an output failure;
// the first writes its records as on Linux, line ends included.
TEST(WindowsLog, SecondWriterIsRefusedAndRecordsAreTheSame) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("two.csv"));
    QProcess first;
    first.start(QStringLiteral(ZT40_LOG_BINARY),
                {QStringLiteral("--simulator"), QStringLiteral("-n"), QStringLiteral("2"),
                 QStringLiteral("-f"), QStringLiteral("csv"), QStringLiteral("-o"), file});
    ASSERT_TRUE(first.waitForStarted(20000));
    // Started: the file exists and is locked.
    for (int i = 0; i < 200 && !QFile::exists(file); ++i) {
        QThread::msleep(50);
    }
    QProcess second;
    second.start(QStringLiteral(ZT40_LOG_BINARY),
                 {QStringLiteral("--simulator"), QStringLiteral("-f"), QStringLiteral("csv"),
                  QStringLiteral("-o"), file});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 3);
    EXPECT_TRUE(second.readAllStandardError().contains("another program is writing to it"));
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitCode(), 0);
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // the header, two records, nothing after the last line end
    EXPECT_EQ(lines[0], "date,time,mode,value,comment\r");
    EXPECT_TRUE(lines[1].endsWith("\r") && !lines[1].endsWith("\r\r"));
    EXPECT_TRUE(lines[3].isEmpty());
}

} // namespace
} // namespace zt40::test
