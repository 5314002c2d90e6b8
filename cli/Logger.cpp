#include "Logger.h"

#include "PollThread.h"
#include "Process.h"
#include "RecordWriter.h"

#include "Cp1252.h"
#include "Languages.h"
#include "MeasurementRecords.h"
#include "ProfileFile.h"
#include "ProgramPaths.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace zt40::cli {

namespace {

using Clock = std::chrono::steady_clock;

// After a signal or a failure, the poll thread and then the output are given this long to end:
// a transfer that hangs or a reader that stalls does not hold the program. The output's limit
// leaves it time to write what the poll thread handed over last.
constexpr std::chrono::milliseconds StopLimit{400};
constexpr std::chrono::milliseconds OutputLimit{600};

// Status lines that cannot be written have nowhere left to go.
void toStandardError(const std::string& line) {
    int error = 0;
    (void)writeAll(STDERR_FILENO, line, error);
}

// Status lines on standard error, one a line with its time; JSON objects on request. Progress
// lines can be silenced, warnings and errors cannot.
class Status {
public:
    Status(StatusFormat format, bool quiet) : format_(format), quiet_(quiet) {}

    void report(const QString& event, const QString& text, const QJsonObject& fields = {}) {
        if (!quiet_) {
            write(event, text, fields);
        }
    }
    void warn(const QString& event, const QString& text, const QJsonObject& fields = {}) {
        write(event, text, fields);
    }
    void error(const QString& text, QJsonObject fields = {}) {
        fields.insert(QStringLiteral("message"), text);
        write(QStringLiteral("error"), text, fields);
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

RecordWriter::Settings writerSettings(const Options& o) {
    RecordWriter::Settings settings;
    settings.style = {o.format, o.timeFormat.value_or(TimeFormat::Iso),
                      QString::fromStdString(o.comment), o.sampleSize.has_value(),
                      o.simulator.has_value()};
    if (o.format == RecordFormat::Dat) {
        settings.titles = datTitles(datLanguage(o.language));
    }
    settings.sampleSize = o.sampleSize;
    settings.path = o.output;
    return settings;
}

QString seconds(std::chrono::milliseconds time) {
    return QString::number(static_cast<double>(time.count()) / 1000.0) + QStringLiteral(" s");
}

QString readings(long long count) {
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? QStringLiteral("reading")
                                                             : QStringLiteral("readings"));
}

// One run: what it was asked for, where it writes, what it has seen.
class Run {
public:
    Run(const Options& options, bool outputWasClosed)
        : o_(options), outputWasClosed_(outputWasClosed),
          status_(options.statusFormat, options.quiet),
          instrument_(options.simulator ? QStringLiteral("simulated instrument")
                                        : QStringLiteral("instrument")),
          writer_(writerSettings(options), [] { MainLoopSleep::wake(); }),
          poll_({decimalSeparatorFor(options.format), options.light, options.measureEvery},
                [] { MainLoopSleep::wake(); }) {}

    int run() {
        if (outputWasClosed_ && o_.output.empty()) {
            status_.error(QStringLiteral("cannot write standard output: it is closed"));
            return ExitOutputFailed;
        }
        if (const Outcome opened = writer_.open(); !opened.ok()) {
            status_.error(opened.reason());
            return ExitOutputFailed;
        }
        if (const Outcome awake = sleep_.open(); !awake.ok()) {
            status_.error(awake.reason());
            return ExitOutputFailed;
        }
        started_ = Clock::now();
        reportStart();
        tell(writer_.progress());
        withSignalsBlocked([this] {
            writer_.start();
            poll_.start();
        });
        loop();
        return finish();
    }

private:
    void reportStart() {
        static const char* const formats[] = {"tsv", "dat", "csv", "jsonl"};
        const QString format = QString::fromLatin1(formats[static_cast<int>(o_.format)]);
        QJsonObject fields = simulated(
            {{QStringLiteral("format"), format}, {QStringLiteral("output"), writer_.outputName()}});
        QStringList ends;
        if (o_.count) {
            ends << readings(*o_.count);
            fields.insert(QStringLiteral("count"), *o_.count);
        }
        if (o_.duration) {
            ends << seconds(*o_.duration);
            fields.insert(QStringLiteral("duration"),
                          static_cast<double>(o_.duration->count()) / 1000.0);
        }
        QString scenario;
        if (o_.simulator) {
            scenario = QStringLiteral(" (scenario %1)").arg(QString::fromStdString(*o_.simulator));
            fields.insert(QStringLiteral("scenario"), QString::fromStdString(*o_.simulator));
        }
        status_.report(QStringLiteral("start"),
                       QStringLiteral("started: %1 records to %2 from the %3%4, %5")
                           .arg(format, writer_.outputName(), instrument_, scenario,
                                ends.isEmpty() ? QStringLiteral("until stopped")
                                               : QStringLiteral("ending after ") +
                                                     ends.join(QStringLiteral(" or "))),
                       fields);
    }

    // The fields of a status line, marked when the instrument is the simulated one.
    QJsonObject simulated(QJsonObject fields) const {
        if (o_.simulator) {
            fields.insert(QStringLiteral("simulated"), true);
        }
        return fields;
    }

    QJsonObject identity(const MeasurementRecord& r) const {
        return simulated({{QStringLiteral("serial"), platform::fromCp1252(r.serial)},
                          {QStringLiteral("firmware"), platform::fromCp1252(r.firmware)}});
    }

    // Sleeps until something happens and acts on it, until the run is over.
    void loop() {
        for (;;) {
            const Wakeup woken = sleep_.sleep(timeout(), readerGone_ ? -1 : writer_.readerWatch());
            if (woken.reopen && !o_.output.empty() && !stopping_) {
                writer_.reopen();
            }
            takeEvents();
            const RecordWriter::Progress progress = writer_.progress();
            tell(progress);
            if ((progress.readerGone || woken.readerGone) && !readerGone_) {
                // The end of a pipeline: nothing to complain about.
                readerGone_ = true;
                fail(ExitReaderGone);
                endReason_ = QStringLiteral("the reader of %1 went away").arg(writer_.outputName());
            } else if (progress.finished && !progress.failure.ok() && !readerGone_ &&
                       !outputFailed_) {
                outputFailed_ = true;
                status_.error(progress.failure.reason());
                fail(ExitOutputFailed);
            }
            const auto now = Clock::now();
            if (woken.endSignal != 0) {
                stop(QString::fromLatin1(signalName(woken.endSignal)), true);
            }
            if (o_.count && handed_ >= *o_.count) {
                stop(QStringLiteral("count %1").arg(*o_.count), false);
            }
            if (o_.duration && now >= started_ + *o_.duration) {
                stop(QStringLiteral("duration ") + seconds(*o_.duration), false);
            }
            if (o_.wait && !appeared_ && triedToOpen_ && now >= started_ + *o_.wait && !stopping_) {
                status_.error(
                    QStringLiteral("no %1 appeared within %2").arg(instrument_, seconds(*o_.wait)));
                fail(ExitNoInstrument);
            }
            if (stopping_ && settled()) {
                return;
            }
        }
    }

    // How long the next sleep may last: until the next time that ends the run or a part of it.
    std::optional<std::chrono::milliseconds> timeout() const {
        auto deadline = Clock::time_point::max();
        if (o_.duration && !stopping_) {
            deadline = started_ + *o_.duration;
        }
        if (o_.wait && !appeared_ && !stopping_) {
            deadline = std::min(deadline, started_ + *o_.wait);
        }
        if (stopping_ && !pollDone_) {
            deadline = std::min(deadline, stopStarted_ + StopLimit);
        }
        if (deadline_) {
            deadline = std::min(deadline, *deadline_);
        }
        if (deadline == Clock::time_point::max()) {
            return std::nullopt;
        }
        return std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()),
                        std::chrono::milliseconds(0));
    }

    // The run ends with this status (the first failure's), as soon as the threads let it.
    void fail(int status) {
        if (exitStatus_ == ExitNormal) {
            exitStatus_ = status;
        }
        stop({}, true);
    }

    // Asks the poll thread to end; the output is written to the end, within the stop limit
    // when `limited`.
    void stop(const QString& reason, bool limited) {
        if (!stopping_) {
            stopping_ = true;
            stopStarted_ = Clock::now();
            endReason_ = reason;
            poll_.requestStop();
        }
        if (limited && !deadline_) {
            deadline_ = Clock::now() + OutputLimit;
        }
    }

    // The poll thread has ended (or is given up) and the output is written (or the time is up).
    bool settled() {
        const auto now = Clock::now();
        const bool ended = pollDone_ || poll_.waitStopped(std::chrono::milliseconds(0));
        if (!pollDone_ && (ended || now >= stopStarted_ + StopLimit)) {
            pollDone_ = true;
            pollHung_ = !ended;
            // The readings it handed over until it ended are written too.
            takeEvents();
            writer_.close();
        }
        const RecordWriter::Progress progress = writer_.progress();
        tell(progress);
        return (pollDone_ && progress.finished) || (deadline_ && now >= *deadline_);
    }

    void takeEvents() {
        for (PollEvent& e : poll_.takeEvents()) {
            switch (e.kind) {
            case PollEvent::Kind::Reading:
                if (!o_.count || handed_ < *o_.count) {
                    writer_.append(std::move(e.reading));
                    ++handed_;
                }
                break;
            case PollEvent::Kind::Opened:
                appeared_ = true;
                break;
            case PollEvent::Kind::CannotOpen:
                triedToOpen_ = true;
                status_.warn(
                    QStringLiteral("cannot-open"),
                    QStringLiteral("cannot open the %1: %2; trying again every 5 s")
                        .arg(instrument_, sentence(e.text)),
                    simulated({{QStringLiteral("reason"), QString::fromStdString(e.text)}}));
                break;
            case PollEvent::Kind::Found:
                status_.report(
                    QStringLiteral("found"),
                    QStringLiteral("%1 found: %2").arg(instrument_, identityText(e.reading)),
                    identity(e.reading));
                break;
            case PollEvent::Kind::Lost:
                status_.warn(QStringLiteral("lost"),
                             QStringLiteral("connection to the %1 lost").arg(instrument_),
                             simulated({}));
                break;
            case PollEvent::Kind::Reconnected:
                status_.warn(QStringLiteral("reconnected"),
                             QStringLiteral("reconnected to the %1: %2")
                                 .arg(instrument_, identityText(e.reading)),
                             identity(e.reading));
                break;
            }
        }
    }

    // What the output has to tell.
    void tell(const RecordWriter::Progress& progress) {
        using Kind = RecordWriter::Notice::Kind;
        for (const RecordWriter::Notice& n : progress.notices) {
            const QJsonObject file{{QStringLiteral("file"), n.file}};
            switch (n.kind) {
            case Kind::RemovedTail:
                status_.warn(QStringLiteral("incomplete-line-removed"),
                             QStringLiteral("removed an incomplete last line from %1: %2")
                                 .arg(n.file, n.text),
                             {{QStringLiteral("file"), n.file}, {QStringLiteral("line"), n.text}});
                break;
            case Kind::Unreadable:
                status_.warn(QStringLiteral("cannot-read"), n.text, file);
                break;
            case Kind::Reopened:
                status_.report(QStringLiteral("reopened"),
                               QStringLiteral("reopened %1").arg(n.file), file);
                break;
            case Kind::Kept:
                status_.report(QStringLiteral("kept"),
                               QStringLiteral("%1 was neither moved nor replaced: writing on to it")
                                   .arg(n.file),
                               file);
                break;
            }
        }
    }

    int finish() {
        const RecordWriter::Progress progress = writer_.progress();
        tell(progress);
        if (progress.pending > 0 && !readerGone_) {
            status_.error(QStringLiteral("%1 not written to %2")
                              .arg(readings(progress.pending), writer_.outputName()),
                          {{QStringLiteral("unwritten"), progress.pending}});
            fail(ExitOutputFailed);
        }
        if (exitStatus_ == ExitNormal || readerGone_) {
            status_.report(QStringLiteral("end"),
                           QStringLiteral("ended (%1): %2 written")
                               .arg(endReason_, readings(progress.written)),
                           {{QStringLiteral("reason"), endReason_},
                            {QStringLiteral("readings"), progress.written}});
        }
        if (progress.finished) {
            writer_.join();
        }
        if (pollHung_ || !progress.finished) {
            // Everything that could be written is written and synced; a thread is inside a
            // transfer or a write that will not be back in time.
            endProcessNow(exitStatus_);
        }
        return exitStatus_;
    }

    const Options& o_;
    const bool outputWasClosed_;
    Status status_;
    const QString instrument_; // as the status lines name it
    MainLoopSleep sleep_;
    RecordWriter writer_;
    PollThread poll_;
    Clock::time_point started_;
    long long handed_ = 0; // readings handed to the writer
    bool appeared_ = false;
    bool triedToOpen_ = false;
    bool readerGone_ = false;
    bool outputFailed_ = false; // and told so
    bool stopping_ = false;
    Clock::time_point stopStarted_;
    std::optional<Clock::time_point> deadline_; // for the output, after a signal or a failure
    bool pollDone_ = false;
    bool pollHung_ = false;
    int exitStatus_ = ExitNormal;
    QString endReason_;
};

} // namespace

int runLogger(const Options& options, bool outputWasClosed) {
    // The driver stand-in offers the simulated instrument while this variable is set: here
    // only when asked for on the command line, never because the window's variable is set. Set
    // before the instrument's classes are made: on Windows the first of them chooses between
    // the system's USB calls and the stand-in's.
    setEnvironment("ZT40_SIMULATOR", options.simulator ? options.simulator->c_str() : nullptr);
    return Run(options, outputWasClosed).run();
}

} // namespace zt40::cli
