#include "PollThread.h"

#include "MeasurementListModel.h"
#include "RegionalSettings.h"
#include "UsbDiagnosticSink.h"

#include <QLocale>

#include <algorithm>
#include <utility>

namespace zt40::cli {

namespace {

constexpr char NotFound[] = "no instrument found";

// A measurement started by the timer is read out within a few ticks; one that gave no reading
// does not hold the next for longer than this.
constexpr std::chrono::seconds MeasureReadOutLimit{5};

} // namespace

PollThread::PollThread(Settings settings, std::function<void()> wake)
    : settings_(std::move(settings)), wake_(std::move(wake)) {}

PollThread::~PollThread() {
    requestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
    setUsbDiagnosticSink({});
}

void PollThread::start() {
    // The USB layer tells why a connected instrument cannot be used (access rights, another
    // program holding it): that is the reason of the next failed open.
    setUsbDiagnosticSink([this](const std::string& line) { diagnosed(line); });
    thread_ = std::thread([this] { run(); });
}

void PollThread::requestStop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    changed_.notify_all();
}

bool PollThread::waitStopped(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, limit, [this] { return finished_; })) {
        return false;
    }
    lock.unlock();
    if (thread_.joinable()) {
        thread_.join();
    }
    return true;
}

std::vector<PollEvent> PollThread::takeEvents() {
    std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
}

void PollThread::push(PollEvent event) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    wake_();
}

void PollThread::diagnosed(const std::string& line) {
    std::lock_guard lock(mutex_);
    diagnosis_ += (diagnosis_.empty() ? "" : "; ") + line;
}

void PollThread::run() {
    if (settings_.light) {
        poll_.lichtClick();
    }
    poll_.start();
    const auto period = settings_.measureEvery;
    Clock::time_point nextMeasure = Clock::now() + period.value_or(std::chrono::milliseconds(0));

    for (;;) {
        // Sleep until the next timer falls due or the main thread asks us to end.
        Clock::time_point due = Clock::time_point::max();
        if (timer1_) {
            due = std::min(due, due1_);
        }
        if (timer2_) {
            due = std::min(due, due2_);
        }
        if (period) {
            due = std::min(due, nextMeasure);
        }
        {
            std::unique_lock lock(mutex_);
            if (due == Clock::time_point::max()) {
                changed_.wait(lock, [this] { return stop_; });
            } else {
                changed_.wait_until(lock, due, [this] { return stop_; });
            }
            if (stop_) {
                break;
            }
        }
        const auto now = Clock::now();
        if (period && now >= nextMeasure) {
            measureDue_ = true;
            nextMeasure = std::max(nextMeasure + *period, now);
        }
        // As a click on the Measure button, but only once the instrument is found (a measure
        // command would end the reading of its serial number for the whole run) and answers,
        // and not while a reading is being fetched (the new one would replace it unread):
        // otherwise at a later tick.
        if (measureDue_ && found_ && poll_.connectionState() == ConnectionState::Connected &&
            !poll_.readingInProgress() &&
            (!measuredAt_ || now - *measuredAt_ >= MeasureReadOutLimit)) {
            measureDue_ = false;
            measuredAt_ = now;
            poll_.messenClick();
        }
        // Like a timer: due again one interval after it was due, and a tick that ran late is
        // followed by at most one at once. Setting the interval restarts it, inside the tick.
        if (timer1_ && now >= due1_) {
            due1_ = std::max(due1_ + interval1_, now);
            poll_.Timer1Timer();
        } else if (timer2_ && now >= due2_) {
            due2_ = std::max(due2_ + std::chrono::milliseconds(ReconnectIntervalMs), now);
            poll_.Timer2Timer();
        }
    }
    link_.Close();
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }
    wake_();
}

void PollThread::setTimer1Enabled(bool enabled) {
    if (enabled && !timer1_) {
        due1_ = Clock::now() + interval1_;
    }
    timer1_ = enabled;
}

void PollThread::setTimer2Enabled(bool enabled) {
    if (enabled && !timer2_) {
        due2_ = Clock::now() + std::chrono::milliseconds(ReconnectIntervalMs);
    }
    timer2_ = enabled;
}

void PollThread::setTimer1Interval(int milliseconds) {
    if (interval1_.count() == milliseconds) {
        return;
    }
    interval1_ = std::chrono::milliseconds(milliseconds);
    if (timer1_) {
        due1_ = Clock::now() + interval1_;
    }
}

PollEvent PollThread::identified(PollEvent::Kind kind) const {
    PollEvent event{kind, {}, {}};
    for (const std::uint8_t byte : poll_.decoderState().serialBytes) {
        if (byte != 0) {
            event.reading.serial += static_cast<char>(byte);
        }
    }
    event.reading.firmware = firmware_;
    return event;
}

void PollThread::setFirmwareText(std::string_view text) {
    firmware_ = std::string(trimBlanksAndControls(text));
    if (!found_) {
        found_ = true;
        push(identified(PollEvent::Kind::Found));
    }
}

// One moment for the date, the time and the record's time stamp, so they always agree.
std::string PollThread::currentDateText() {
    std::lock_guard lock(localTimeMutex());
    now_ = QDateTime::currentDateTime();
    return platform::dateText(QLocale::system(), now_);
}

std::string PollThread::currentTimeText() {
    std::lock_guard lock(localTimeMutex());
    return platform::timeText(QLocale::system(), now_);
}

void PollThread::appendMeasurementRow(std::string_view date, std::string_view time,
                                      std::string_view mode, std::string_view value) {
    measuredAt_.reset();
    PollEvent event = identified(PollEvent::Kind::Reading);
    // As the measurement list keeps them.
    event.reading.date = date;
    event.reading.time = time;
    event.reading.mode = trimBlanksAndControls(mode);
    event.reading.value = trimBlanksAndControls(value);
    event.reading.when = now_;
    push(std::move(event));
}

bool PollThread::Open() {
    {
        std::lock_guard lock(mutex_);
        diagnosis_.clear();
    }
    if (link_.Open()) {
        cannotOpenTold_ = false;
        return true;
    }
    std::string reason;
    {
        std::lock_guard lock(mutex_);
        reason = std::exchange(diagnosis_, {});
    }
    // Told once while waiting, and again whenever the USB layer finds something in the way.
    if (!reason.empty() || !cannotOpenTold_) {
        push({PollEvent::Kind::CannotOpen, reason.empty() ? NotFound : reason, {}});
    }
    cannotOpenTold_ = true;
    return false;
}

bool PollThread::Exchange(InstrumentFrame& frame) {
    return link_.Exchange(frame);
}

void PollThread::Close() {
    link_.Close();
}

void PollThread::connectionStateChanged(ConnectionState from, ConnectionState to) {
    switch (to) {
    case ConnectionState::Opened:
        push({PollEvent::Kind::Opened, {}, {}});
        break;
    case ConnectionState::Connected:
        if (from == ConnectionState::Reopened) {
            push(identified(PollEvent::Kind::Reconnected));
        }
        break;
    case ConnectionState::Lost:
        measuredAt_.reset();
        push({PollEvent::Kind::Lost, {}, {}});
        break;
    default:
        break;
    }
}

} // namespace zt40::cli
