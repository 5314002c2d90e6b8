#include "Logger.h"

#include "PollThread.h"
#include "RecordOutput.h"

#include "Cp1252.h"
#include "Languages.h"
#include "MeasurementRecords.h"
#include "ProfileFile.h"
#include "ProgramPaths.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

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

QJsonObject identity(const MeasurementRecord& r) {
    return {{QStringLiteral("serial"), platform::fromCp1252(r.serial)},
            {QStringLiteral("firmware"), platform::fromCp1252(r.firmware)}};
}

QString identityText(const MeasurementRecord& r) {
    return QStringLiteral("serial %1, firmware %2")
        .arg(platform::fromCp1252(r.serial), platform::fromCp1252(r.firmware));
}

// A reason in the middle of a line, without the full stop it may end with.
QString sentence(const std::string& text) {
    QString reason = QString::fromStdString(text);
    if (reason.endsWith(u'.')) {
        reason.chop(1);
    }
    return reason;
}

// The language of the .dat column titles, as the user would expect it: the one asked for; else
// the one chosen in the window, from the settings file the window would use here; else the
// system's when the window speaks it (German or French); else English.
int datLanguage(const std::optional<int>& asked) {
    if (asked) {
        return *asked;
    }
    const QString settings = platform::programPaths().settingsFile;
    const int saved = ProfileFile(settings.toStdString()).ReadInteger("Config", "Language", -1);
    if (languageTable(saved) != nullptr) {
        return saved;
    }
    const QStringList system = QLocale::system().uiLanguages();
    switch (QLocale(system.value(0, QLocale::system().name())).language()) {
    case QLocale::German:
        return LanguageGerman;
    case QLocale::French:
        return LanguageFrench;
    default:
        return LanguageEnglish;
    }
}

// The window's column titles of a language, as its export writes them.
ColumnTexts datTitles(int language) {
    FillLanguageTables();
    const LanguageTable& table = *languageTable(language);
    ColumnTexts titles;
    for (std::size_t k = 0; k < titles.size(); ++k) {
        titles[k] = table[Slot::FirstColumn + k];
    }
    return titles;
}

QString seconds(std::chrono::milliseconds time) {
    return QString::number(static_cast<double>(time.count()) / 1000.0) + QStringLiteral(" s");
}

// One run: what it was asked for, where it writes, what it has seen.
class Run {
public:
    explicit Run(const Options& options)
        : o_(options), status_(options.statusFormat, options.quiet),
          poll_({decimalSeparatorFor(options.format), options.light, options.measureEvery}, [] {
              const char byte = 0;
              (void)!::write(wakePipe[1], &byte, 1);
          }) {}

    int run() {
        if (!openOutput()) {
            return ExitOutputFailed;
        }
        if (o_.simulator) {
            ::setenv("ZT40_SIMULATOR", o_.simulator->c_str(), 1);
        }
        if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            status_.error(QStringLiteral("cannot make a pipe: %1").arg(std::strerror(errno)));
            return ExitOutputFailed;
        }
        startPolling();
        waitForTheEnd();
        return finish();
    }

private:
    bool openOutput() {
        if (const Outcome opened = output_.open(o_.output); !opened.ok()) {
            status_.error(opened.reason());
            return false;
        }
        if (!output_.removedTail().empty()) {
            const QString tail = o_.format == RecordFormat::Dat
                                     ? platform::fromCp1252(output_.removedTail())
                                     : QString::fromUtf8(output_.removedTail());
            status_.report(
                QStringLiteral("incomplete-line-removed"),
                QStringLiteral("removed an incomplete last line from %1: %2")
                    .arg(output_.name(), tail),
                {{QStringLiteral("file"), output_.name()}, {QStringLiteral("line"), tail}});
        }
        headerDue_ = output_.isEmpty();
        rowNumber_ = output_.lastRowNumber();
        if (headerDue_ && o_.format == RecordFormat::Dat) {
            titles_ = datTitles(datLanguage(o_.language));
        }
        return true;
    }

    void startPolling() {
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

        started_ = Clock::now();
        // The signals reach the main thread only: the poll thread, and the threads libusb
        // starts from it, never see a transfer or a wait broken off by one.
        sigset_t previous;
        pthread_sigmask(SIG_BLOCK, &handled, &previous);
        poll_.start();
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    // Sleeps until the poll thread has news, a signal arrives or a time is up.
    void waitForTheEnd() {
        for (;;) {
            const int signal = sleep();
            if (!handle(poll_.takeEvents())) {
                return;
            }
            if (signal != 0) {
                endReason_ = QString::fromLatin1(signalName(signal));
                return;
            }
            const auto now = Clock::now();
            if (o_.duration && now >= started_ + *o_.duration) {
                endReason_ = QStringLiteral("duration ") + seconds(*o_.duration);
                return;
            }
            if (o_.wait && !appeared_ && triedToOpen_ && now >= started_ + *o_.wait) {
                status_.error(QStringLiteral("no instrument appeared within ") + seconds(*o_.wait));
                exitStatus_ = ExitNoInstrument;
                return;
            }
        }
    }

    // The signal that woke us, or 0.
    int sleep() {
        auto deadline = Clock::time_point::max();
        if (o_.duration) {
            deadline = started_ + *o_.duration;
        }
        if (o_.wait && !appeared_) {
            deadline = std::min(deadline, started_ + *o_.wait);
        }
        int timeout = -1;
        if (deadline != Clock::time_point::max()) {
            timeout = static_cast<int>(std::clamp<long long>(
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count(), 0,
                60000));
        }
        pollfd wake{wakePipe[0], POLLIN, 0};
        int signal = 0;
        if (::poll(&wake, 1, timeout) > 0) {
            char bytes[64];
            ssize_t n = 0;
            while ((n = ::read(wakePipe[0], bytes, sizeof bytes)) > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    signal = bytes[i] != 0 ? bytes[i] : signal;
                }
            }
        }
        return signal;
    }

    // Writes the readings and reports the rest; false when the run has to end.
    bool handle(const std::vector<PollEvent>& events) {
        for (const PollEvent& e : events) {
            switch (e.kind) {
            case PollEvent::Kind::Reading:
                if (!write(e.reading)) {
                    return false;
                }
                break;
            case PollEvent::Kind::Opened:
                appeared_ = true;
                break;
            case PollEvent::Kind::CannotOpen:
                triedToOpen_ = true;
                status_.report(QStringLiteral("cannot-open"),
                               QStringLiteral("cannot open the instrument: %1; trying again "
                                              "every 5 s")
                                   .arg(sentence(e.text)),
                               {{QStringLiteral("reason"), QString::fromStdString(e.text)}});
                break;
            case PollEvent::Kind::Found:
                status_.report(QStringLiteral("found"),
                               QStringLiteral("instrument found: ") + identityText(e.reading),
                               identity(e.reading));
                break;
            case PollEvent::Kind::Lost:
                status_.report(QStringLiteral("lost"), QStringLiteral("connection lost"));
                break;
            case PollEvent::Kind::Reconnected:
                status_.report(QStringLiteral("reconnected"),
                               QStringLiteral("reconnected: ") + identityText(e.reading),
                               identity(e.reading));
                break;
            }
        }
        if (o_.count && written_ >= *o_.count) {
            endReason_ = QStringLiteral("count %1").arg(*o_.count);
            return false;
        }
        return true;
    }

    bool write(const MeasurementRecord& reading) {
        if (o_.count && written_ >= *o_.count) {
            return true;
        }
        std::string bytes = headerDue_ ? headerLine(o_.format, titles_) : std::string();
        bytes += recordLine(o_.format, reading, ++rowNumber_);
        if (const Outcome written = output_.write(bytes); !written.ok()) {
            status_.error(written.reason());
            exitStatus_ = ExitOutputFailed;
            return false;
        }
        headerDue_ = false;
        ++written_;
        return true;
    }

    // The poll thread ends and closes the channel, unless a transfer holds it; the readings it
    // handed over until then are written either way.
    int finish() {
        poll_.requestStop();
        const bool stopped = poll_.waitStopped(StopLimit);
        if (exitStatus_ == ExitNormal) {
            handle(poll_.takeEvents());
        }
        if (exitStatus_ == ExitNormal) {
            status_.report(
                QStringLiteral("end"),
                QStringLiteral("ended (%1): %2 %3 written")
                    .arg(endReason_)
                    .arg(written_)
                    .arg(written_ == 1 ? QStringLiteral("reading") : QStringLiteral("readings")),
                {{QStringLiteral("reason"), endReason_}, {QStringLiteral("readings"), written_}});
        }
        if (!stopped) {
            // Everything is written and synced; the thread is inside a transfer that will not
            // be back in time.
            ::_exit(exitStatus_);
        }
        return exitStatus_;
    }

    const Options& o_;
    Status status_;
    RecordOutput output_;
    PollThread poll_;
    Clock::time_point started_;
    bool headerDue_ = true;
    ColumnTexts titles_; // of the dat header
    unsigned long long rowNumber_ = 0;
    long long written_ = 0;
    bool appeared_ = false;
    bool triedToOpen_ = false;
    int exitStatus_ = ExitNormal;
    QString endReason_;
};

} // namespace

int runLogger(const Options& options) {
    return Run(options).run();
}

} // namespace zt40::cli
