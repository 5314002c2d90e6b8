// Running the real zt40-log as a child process, and reading its output back with real parsers.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace zt40::test {

struct LogRun {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
    std::chrono::milliseconds took{};
};

// The program with these arguments, to its end (at most `limit`).
LogRun runLog(const QStringList& arguments,
              std::chrono::milliseconds limit = std::chrono::seconds(30));

// The program running in the background: its output is collected as it comes.
class LogProcess {
public:
    // `prefix` runs the program through another, e.g. to run it as another user. The program
    // runs in `workingDirectory` (none: the test's own) with `environment` (none: the test's);
    // `inChild` runs in the child before the program starts, e.g. to give it another output.
    explicit LogProcess(const QStringList& arguments, const QStringList& prefix = {},
                        const QString& workingDirectory = {},
                        const QProcessEnvironment& environment = {},
                        const std::function<void()>& inChild = {});
    ~LogProcess();
    // Waits until the condition on standard output / error holds; false after `limit`.
    bool waitFor(const std::function<bool(const QByteArray& out, const QByteArray& err)>& condition,
                 std::chrono::milliseconds limit);
    void signal(int signal);
    qint64 pid() const { return process_.processId(); }
    // Waits for the end; the time from the call to the end.
    LogRun finish(std::chrono::milliseconds limit);
    const QByteArray& out() const { return out_; }
    const QByteArray& err() const { return err_; }

private:
    void collect();
    QProcess process_;
    QByteArray out_;
    QByteArray err_;
};

// RFC 4180: records of fields, quoted fields with doubled quotes and line breaks, CR LF.
// An error text where the input breaks the grammar (a quote inside an unquoted field, an
// unterminated quote, a line break other than CR LF, a last record without its line break).
std::vector<std::vector<std::string>> readCsv(const std::string& text, std::string& error);

// One JSON object per line; lines that are not JSON objects fail the test.
std::vector<QJsonObject> readJsonLines(const QByteArray& text);

// Lines split at `ending`; the text must end with one.
std::vector<std::string> splitLines(const std::string& text, const std::string& ending);

} // namespace zt40::test
