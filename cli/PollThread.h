// The poll cycle and the instrument channel on a thread of their own, so that the program can
// answer a signal while a transfer blocks (up to 5 s). The thread keeps the window's rhythm:
// the poll timer at 50 ms until the firmware answers, then 400 ms; the reconnect timer at
// 5000 ms. What happens reaches the main thread as events.
#pragma once

#include "InstrumentLink.h"
#include "MeasurementRecords.h"
#include "PollCycle.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zt40::cli {

struct PollEvent {
    enum class Kind {
        Opened,      // the instrument's channel opened for the first time
        CannotOpen,  // an attempt to open failed; `text` is the reason
        Found,       // serial and firmware read for the first time
        Lost,        // two failed exchanges gave the connection up
        Reconnected, // the first exchange after a reopen succeeded
        Reading,     // a completed reading
    };
    Kind kind;
    std::string text;
    MeasurementRecord reading; // serial and firmware also for Found and Reconnected
};

class PollThread : private PollSurroundings {
public:
    struct Settings {
        char decimalSeparator = '.';
        bool light = false;
        std::optional<std::chrono::milliseconds> measureEvery;
    };
    // `wake` is called from the poll thread after each new event and when it ends.
    PollThread(Settings settings, std::function<void()> wake);
    ~PollThread() override;
    PollThread(const PollThread&) = delete;
    PollThread& operator=(const PollThread&) = delete;

    void start();
    // Asks the thread to end after its current step; it closes the channel.
    void requestStop();
    // True when the thread ended within the time (it is then joined).
    bool waitStopped(std::chrono::milliseconds limit);
    std::vector<PollEvent> takeEvents();

private:
    using Clock = std::chrono::steady_clock;

    void run();
    void push(PollEvent event);
    void diagnosed(const std::string& line);
    // An event with the serial number and firmware read so far.
    PollEvent identified(PollEvent::Kind kind) const;

    // PollSurroundings
    void setFirmwareText(std::string_view text) override;
    void setSerialText(std::string_view) override {}
    void setValueText(std::string_view) override {}
    void setModeLetters(char, char, char) override {}
    void setStatusText(std::string_view) override {}
    void showLightButton(bool) override {}
    void setTimer1Enabled(bool enabled) override;
    void setTimer2Enabled(bool enabled) override;
    void setTimer1Interval(int milliseconds) override;
    void appendMeasurementRow(std::string_view date, std::string_view time, std::string_view mode,
                              std::string_view value) override;
    std::string uiText(int) override { return {}; }
    std::string currentDateText() override;
    std::string currentTimeText() override;
    char decimalSeparator() override { return settings_.decimalSeparator; }
    bool Open() override;
    bool Exchange(InstrumentFrame& frame) override;
    void Close() override;
    void connectionStateChanged(ConnectionState from, ConnectionState to) override;

    const Settings settings_;
    const std::function<void()> wake_;

    // Shared with the main thread.
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool finished_ = false;
    std::vector<PollEvent> events_;
    std::string diagnosis_; // from the USB layer during the current open

    // The poll thread's own.
    InstrumentLink link_;
    PollCycle poll_{*this};
    std::thread thread_;
    bool timer1_ = false;
    bool timer2_ = false;
    std::chrono::milliseconds interval1_{PollIntervalStartMs};
    Clock::time_point due1_{};
    Clock::time_point due2_{};
    bool cannotOpenTold_ = false; // since the channel was last open
    bool found_ = false;
    bool measureDue_ = false;
    std::optional<Clock::time_point> measuredAt_; // a measurement not read out yet
    std::string firmware_;
    QDateTime now_;
};

} // namespace zt40::cli
