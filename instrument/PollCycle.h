// The timer-driven poll cycle: chooses the command of each tick, exchanges it with the
// instrument, decodes the reply, updates the displays, hands each completed reading to the
// measurement list and supervises the connection.
//
// The cycle reaches its surroundings only through PollSurroundings, so it runs tick by tick
// without a window: the main window implements the interface, tests record it.
#pragma once

#include "InstrumentProtocol.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zt40 {

// Which command the next tick builds.
namespace PollState {
inline constexpr std::uint8_t AskFirmware = 1;
inline constexpr std::uint8_t AskFirstHalf = 2;
inline constexpr std::uint8_t AskSecondHalf = 3;
inline constexpr std::uint8_t AskSerial = 4;
inline constexpr std::uint8_t SendMeasure = 9;
inline constexpr std::uint8_t SendMeasureLight = 10;
} // namespace PollState

// Timer intervals of the poll timer.
inline constexpr int PollIntervalStartMs = 50;
inline constexpr int PollIntervalRunningMs = 400;
inline constexpr int ReconnectIntervalMs = 5000;

// Where the connection stands. Kept by the cycle as it opens, exchanges and gives up, for a
// window's indicator and the logger's status lines.
enum class ConnectionState {
    NotStarted, // start() has not run
    Waiting,    // no link has opened since the start: the reconnect timer tries every 5 s
    Opened,     // the link is open; the instrument has not answered on it yet
    Connected,  // the instrument answers on the open link
    Lost,       // the connection was given up: the reconnect timer tries to reopen the link
    Reopened,   // the link opened again after a loss; the instrument has not answered on it yet
};

// UiText slots the cycle shows.
inline constexpr int SlotCannotOpen = 0;
inline constexpr int SlotConnectionLost = 1;

// Everything the poll cycle needs from outside. All texts are Windows-1252 bytes.
class PollSurroundings {
public:
    virtual ~PollSurroundings() = default;

    // Displays.
    virtual void setFirmwareText(std::string_view text) = 0; // Label7
    virtual void setSerialText(std::string_view text) = 0;   // SerialNr
    virtual void setValueText(std::string_view text) = 0;    // Label8
    // Label17, Label18, Label19: each "L"/"C"/"D" or " ".
    virtual void setModeLetters(char l, char c, char d) = 0;
    virtual void setStatusText(std::string_view text) = 0; // StatusBar simple text
    virtual void showLightButton(bool on) = 0;             // glyph of licht: Image2 on, Image3 off

    // Timers.
    virtual void setTimer1Enabled(bool enabled) = 0;
    virtual void setTimer2Enabled(bool enabled) = 0;
    virtual void setTimer1Interval(int milliseconds) = 0;

    // Measurement list.
    virtual void appendMeasurementRow(std::string_view date, std::string_view time,
                                      std::string_view mode, std::string_view value) = 0;

    // Language texts.
    virtual std::string uiText(int slot) = 0;

    // Clock and regional settings: short date, long time, decimal separator.
    virtual std::string currentDateText() = 0;
    virtual std::string currentTimeText() = 0;
    virtual char decimalSeparator() = 0;

    // Instrument channel.
    virtual bool Open() = 0;
    virtual bool Exchange(InstrumentFrame& frame) = 0;
    virtual void Close() = 0;

    // Told after every change of the connection state; a successful exchange tells it before
    // its reply is acted on.
    virtual void connectionStateChanged(ConnectionState /*from*/, ConnectionState /*to*/) {}
};

class PollCycle {
public:
    explicit PollCycle(PollSurroundings& surroundings) : env_(surroundings) {}

    // The start-up step: open the instrument channel, then poll at the start interval, or show
    // the cannot-open text and leave the next attempt to the reconnect timer.
    void start();
    void Timer1Timer(); // one poll step
    void Timer2Timer(); // one reopen attempt
    void messenClick(); // request a measurement at the next poll step
    void lichtClick();  // toggle the light option

    ConnectionState connectionState() const { return connection_; }
    // A reading is being fetched: its first half is in and its second half not yet. A measure
    // request now would leave it unread.
    bool readingInProgress() const;

    // Read-only view of the state, for tests and diagnostics.
    std::uint8_t pollState() const { return pollState_; }
    std::uint8_t lastReplyCode() const { return lastReplyCode_; }
    std::uint8_t lastHalf() const { return lastHalf_; }
    bool started() const { return started_; }
    int serialCounter() const { return serialCounter_; }
    int failureCount() const { return failureCount_; }
    bool lightOption() const { return lightOption_; }
    const InstrumentFrame& frame() const { return frame_; }
    const DecoderState& decoderState() const { return decoder_; }

private:
    void showReading(const InstrumentReading& reading);
    void setConnection(ConnectionState state);

    PollSurroundings& env_;
    std::uint8_t pollState_ = 0;
    std::uint8_t lastReplyCode_ = 0;
    std::uint8_t lastHalf_ = 0;
    bool started_ = false;
    int serialCounter_ = 0;
    int failureCount_ = 0;
    bool lightOption_ = false;
    ConnectionState connection_ = ConnectionState::NotStarted;
    InstrumentFrame frame_{};
    DecoderState decoder_{};
};

} // namespace zt40
