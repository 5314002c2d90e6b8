// Records everything the poll cycle does to its surroundings, and lets a test choose what
// stands in for the instrument channel.
#pragma once

#include "PollCycle.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zt40::test {

struct RecordedRow {
    std::string date, time, mode, value;
    bool operator==(const RecordedRow&) const = default;
};

class PollRecorder : public PollSurroundings {
public:
    // Displays and timers as the window would show them.
    std::string firmware = "design", serial = "design", value = "design", status;
    std::string letters = "???";
    bool lightShown = false;
    bool timer1 = false, timer2 = false;
    int interval = 0;
    std::vector<RecordedRow> rows;

    // Every call in order, e.g. "value:9 5 ", "timer1:off", "exchange", "close".
    std::vector<std::string> calls;
    // Every frame handed to Exchange, as it was sent.
    std::vector<InstrumentFrame> sent;
    // Every change of the connection state told, as from and to.
    std::vector<std::pair<ConnectionState, ConnectionState>> connection;

    // Regional settings and clock.
    std::string date = "08.12.2026";
    std::string time = "23:59:58";
    char separator = '.';
    std::string texts[2] = {"Couldn't open port! Please restart application to retry!",
                            "Connection lost"};

    // The instrument channel. The defaults answer nothing and refuse to open.
    std::function<bool()> open = [] { return false; };
    std::function<bool(InstrumentFrame&)> exchange = [](InstrumentFrame&) { return false; };
    std::function<void()> close = [] {};

    // Replies forced ahead of the link: a frame replaces the reply, nullopt fails the exchange.
    std::deque<std::optional<InstrumentFrame>> forced;

    void setFirmwareText(std::string_view t) override { note("firmware:", firmware = t); }
    void setSerialText(std::string_view t) override { note("serial:", serial = t); }
    void setValueText(std::string_view t) override { note("value:", value = t); }
    void setModeLetters(char l, char c, char d) override { note("letters:", letters = {l, c, d}); }
    void setStatusText(std::string_view t) override { note("status:", status = t); }
    void showLightButton(bool on) override { note("light:", (lightShown = on) ? "on" : "off"); }
    void setTimer1Enabled(bool on) override { note("timer1:", (timer1 = on) ? "on" : "off"); }
    void setTimer2Enabled(bool on) override { note("timer2:", (timer2 = on) ? "on" : "off"); }
    void setTimer1Interval(int ms) override {
        interval = ms;
        note("interval:", std::to_string(ms));
    }
    void appendMeasurementRow(std::string_view d, std::string_view t, std::string_view m,
                              std::string_view v) override {
        rows.push_back({std::string(d), std::string(t), std::string(m), std::string(v)});
        note("row:", rows.back().mode + "|" + rows.back().value);
    }
    std::string uiText(int slot) override { return texts[slot]; }
    std::string currentDateText() override {
        calls.emplace_back("date");
        return date;
    }
    std::string currentTimeText() override {
        calls.emplace_back("time");
        return time;
    }
    char decimalSeparator() override { return separator; }
    bool Open() override {
        const bool ok = open();
        note("open:", ok ? "ok" : "failed");
        return ok;
    }
    bool Exchange(InstrumentFrame& frame) override {
        calls.emplace_back("exchange");
        sent.push_back(frame);
        if (!forced.empty()) {
            const auto reply = forced.front();
            forced.pop_front();
            if (reply) {
                frame = *reply;
            }
            return reply.has_value();
        }
        return exchange(frame);
    }
    void Close() override {
        calls.emplace_back("close");
        close();
    }
    void connectionStateChanged(ConnectionState from, ConnectionState to) override {
        connection.emplace_back(from, to);
    }

    // Runs the main window's timers: whichever is enabled ticks, Timer1 first.
    void tick(PollCycle& cycle) {
        if (timer1) {
            cycle.Timer1Timer();
        } else if (timer2) {
            cycle.Timer2Timer();
        }
    }

    // How long until the enabled timer fires next: Timer1's interval, or the reconnect period.
    std::uint64_t periodMs() const {
        return static_cast<std::uint64_t>(timer1 ? interval : ReconnectIntervalMs);
    }

    std::vector<std::string> takeCalls() { return std::exchange(calls, {}); }

private:
    void note(const char* what, const std::string& text) { calls.push_back(what + text); }
};

// An instrument that answers each command with its own code, the serial index and the half
// asked for. Byte 6 of every reply is 0xC6 and byte 7 counts the replies, so the bytes a
// command leaves unwritten can be told apart on the wire.
struct EchoInstrument {
    std::string serialNumber = "ZT40A07311";
    std::uint8_t firmwareA = 0x02, firmwareB = 0x15;
    std::array<std::uint8_t, 4> first{' ', ' ', 0x01, '9'};
    std::array<std::uint8_t, 4> second{'5', '.', '3', ' '};
    std::uint8_t replies = 0;

    bool answer(InstrumentFrame& f) {
        switch (f[0]) {
        case Code::ReadSerial: {
            const unsigned index = f[1] * 256u + f[2];
            f[3] = index < serialNumber.size() ? static_cast<std::uint8_t>(serialNumber[index]) : 0;
            break;
        }
        case Code::ReadFirmware:
            f[1] = firmwareA;
            f[2] = firmwareB;
            break;
        case Code::ReadMeasurement: {
            const auto& half = f[1] == 0 ? first : second;
            std::copy(half.begin(), half.end(), f.begin() + 2);
            break;
        }
        default:
            break;
        }
        f[6] = 0xC6;
        f[7] = ++replies;
        return true;
    }
};

} // namespace zt40::test
