#include "Logger.h"

#include "PollThread.h"
#include "RecordOutput.h"
#include "Records.h"

#include "Cp1252.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace zt40::cli {

namespace {

using Clock = std::chrono::steady_clock;

// The poll thread is given this long to end after a signal; a transfer that hangs longer does
// not hold the program, since everything received has been written by then.
constexpr std::chrono::milliseconds StopLimit{500};

// The self-pipe: signal handlers and the poll thread write one byte each, the main loop waits
// on it. A signal writes its number, the poll thread a zero.
int wakePipe[2] = {-1, -1};

void onSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    (void)!::write(wakePipe[1], &byte, 1);
    errno = saved;
}

// Status lines that cannot be written have nowhere left to go.
void toStandardError(const std::string& line) {
    int error = 0;
    (void)writeAll(STDERR_FILENO, line, error);
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

// Status lines on standard error, one a line with its time; JSON objects on request.
class Status {
public:
    Status(StatusFormat format, bool quiet) : format_(format), quiet_(quiet) {}

    void report(const QString& event, const QString& text, QJsonObject fields = {}) {
        if (!quiet_) {
            write(event, text, std::move(fields));
        }
    }
    // Errors are shown also with --quiet.
    void error(const QString& text) {
        write(QStringLiteral("error"), text, {{QStringLiteral("message"), text}});
    }

private:
    void write(const QString& event, const QString& text, QJsonObject fields) {
        const QString time = isoTimeNow();
        if (format_ == StatusFormat::Jsonl) {
            fields.insert(QStringLiteral("time"), time);
            fields.insert(QStringLiteral("event"), event);
            toStandardError(QJsonDocument(fields).toJson(QJsonDocument::Compact).toStdString() +
                            '\n');
        } else {
            toStandardError(
                (time + QStringLiteral(" zt40-log: ") + text + u'\n').toUtf8().toStdString());
        }
    }

    StatusFormat format_;
    bool quiet_;
};

QJsonObject identity(const LoggedReading& r) {
    return {{QStringLiteral("serial"), fromCp1252(r.serial)},
            {QStringLiteral("firmware"), fromCp1252(r.firmware)}};
}

QString identityText(const LoggedReading& r) {
    return QStringLiteral("serial %1, firmware %2")
        .arg(fromCp1252(r.serial), fromCp1252(r.firmware));
}

// A reason in the middle of a line, without the full stop it may end with.
QString sentence(const std::string& text) {
    QString reason = QString::fromStdString(text);
    if (reason.endsWith(u'.')) {
        reason.chop(1);
    }
    return reason;
}

QString seconds(std::chrono::milliseconds time) {
    return QString::number(static_cast<double>(time.count()) / 1000.0) + QStringLiteral(" s");
}

} // namespace

int runLogger(const Options& o) {
    Status status(o.statusFormat, o.quiet);

    RecordOutput output;
    if (!output.open(o.output)) {
        status.error(output.errorString());
        return ExitOutputFailed;
    }
    if (!output.removedTail().empty()) {
        const QString tail = o.format == RecordFormat::Dat
                                 ? fromCp1252(output.removedTail())
                                 : QString::fromUtf8(output.removedTail());
        status.report(
            QStringLiteral("incomplete-line-removed"),
            QStringLiteral("removed an incomplete last line from %1: %2").arg(output.name(), tail),
            {{QStringLiteral("file"), output.name()}, {QStringLiteral("line"), tail}});
    }
    bool headerDue = output.isEmpty();
    unsigned long long rowNumber = output.lastRowNumber();

    if (o.simulator) {
        ::setenv("ZT40_SIMULATOR", o.simulator->c_str(), 1);
    }
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        status.error(QStringLiteral("cannot make a pipe: %1").arg(std::strerror(errno)));
        return ExitOutputFailed;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigset_t handled;
    sigemptyset(&handled);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
        sigaddset(&handled, signal);
    }
    // A reader that went away is an output that cannot be written, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);

    PollThread poll({decimalSeparatorFor(o.format), o.light, o.measureEvery}, [] {
        const char byte = 0;
        (void)!::write(wakePipe[1], &byte, 1);
    });
    const auto started = Clock::now();
    // The signals reach the main thread only: the poll thread, and the threads libusb starts
    // from it, never see a transfer or a wait broken off by one.
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &handled, &previous);
    poll.start();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    long long written = 0;
    bool appeared = false;
    bool triedToOpen = false;
    int exitStatus = ExitNormal;
    QString endReason;

    // Writes what the poll thread reported; false when the run has to end.
    const auto handle = [&](std::vector<PollEvent> events) {
        for (PollEvent& e : events) {
            switch (e.kind) {
            case PollEvent::Kind::Reading: {
                if (o.count && written >= *o.count) {
                    break;
                }
                std::string bytes = headerDue ? headerLine(o.format) : std::string();
                bytes += recordLine(o.format, e.reading, ++rowNumber);
                if (!output.write(bytes)) {
                    status.error(output.errorString());
                    exitStatus = ExitOutputFailed;
                    return false;
                }
                headerDue = false;
                ++written;
                break;
            }
            case PollEvent::Kind::Opened:
                appeared = true;
                break;
            case PollEvent::Kind::CannotOpen:
                triedToOpen = true;
                status.report(QStringLiteral("cannot-open"),
                              QStringLiteral("cannot open the instrument: %1; trying again "
                                             "every 5 s")
                                  .arg(sentence(e.text)),
                              {{QStringLiteral("reason"), QString::fromStdString(e.text)}});
                break;
            case PollEvent::Kind::Found:
                status.report(QStringLiteral("found"),
                              QStringLiteral("instrument found: ") + identityText(e.reading),
                              identity(e.reading));
                break;
            case PollEvent::Kind::Lost:
                status.report(QStringLiteral("lost"), QStringLiteral("connection lost"));
                break;
            case PollEvent::Kind::Reconnected:
                status.report(QStringLiteral("reconnected"),
                              QStringLiteral("reconnected: ") + identityText(e.reading),
                              identity(e.reading));
                break;
            }
        }
        if (o.count && written >= *o.count) {
            endReason = QStringLiteral("count %1").arg(*o.count);
            return false;
        }
        return true;
    };

    for (bool running = true; running;) {
        const auto now = Clock::now();
        auto deadline = Clock::time_point::max();
        if (o.duration) {
            deadline = started + *o.duration;
        }
        if (o.wait && !appeared) {
            deadline = std::min(deadline, started + *o.wait);
        }
        int timeout = -1;
        if (deadline != Clock::time_point::max()) {
            timeout = static_cast<int>(std::clamp<long long>(
                std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count(), 0, 60000));
        }
        pollfd wake{wakePipe[0], POLLIN, 0};
        const int ready = ::poll(&wake, 1, timeout);
        int signal = 0;
        if (ready > 0) {
            char bytes[64];
            ssize_t n = 0;
            while ((n = ::read(wakePipe[0], bytes, sizeof bytes)) > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    signal = bytes[i] != 0 ? bytes[i] : signal;
                }
            }
        }
        running = handle(poll.takeEvents());
        if (!running) {
            break;
        }
        if (signal != 0) {
            endReason = QString::fromLatin1(signalName(signal));
            break;
        }
        const auto after = Clock::now();
        if (o.duration && after >= started + *o.duration) {
            endReason = QStringLiteral("duration ") + seconds(*o.duration);
            break;
        }
        if (o.wait && !appeared && triedToOpen && after >= started + *o.wait) {
            status.error(QStringLiteral("no instrument appeared within ") + seconds(*o.wait));
            exitStatus = ExitNoInstrument;
            break;
        }
    }

    // Readings that arrived meanwhile are written; then the poll thread ends and closes the
    // channel, unless a transfer holds it.
    poll.requestStop();
    if (exitStatus == ExitNormal) {
        handle(poll.takeEvents());
    }
    const bool stopped = poll.waitStopped(StopLimit);
    if (exitStatus == ExitNormal && stopped) {
        handle(poll.takeEvents());
    }
    if (exitStatus == ExitNormal) {
        status.report(
            QStringLiteral("end"),
            QStringLiteral("ended (%1): %2 readings written").arg(endReason).arg(written),
            {{QStringLiteral("reason"), endReason}, {QStringLiteral("readings"), written}});
    }
    if (!stopped) {
        // Everything is written and synced; the thread is inside a transfer that will not be
        // back in time.
        ::_exit(exitStatus);
    }
    return exitStatus;
}

} // namespace zt40::cli
