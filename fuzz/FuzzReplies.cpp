// Arbitrary bytes as the instrument's replies, fed tick by tick into the poll cycle, with
// button clicks, failed exchanges and reconnections mixed in by the input.
//
// Input: a stream of steps. Each step is one byte:
//   bits 0-1  0, 1: a Timer1 tick whose exchange delivers the next 8 bytes as the reply
//             2:    a tick whose exchange (or reopen) fails
//             3:    bits 2-3 choose messen, licht, a reopen that succeeds, or a new decimal
//                   separator (the next byte)
// A reply cut short by the end of the input fails its exchange.
#include "FuzzCheck.h"
#include "PollCycle.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace zt40::fuzz {
namespace {

bool isUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Every text checked against its size and form as it reaches the window.
class CheckingSurroundings : public PollSurroundings {
public:
    const std::uint8_t* reply = nullptr; // the next reply, null for a failing exchange
    bool openSucceeds = false;
    bool timer1 = false, timer2 = false;
    int rowsThisTick = 0;
    int exchangesThisTick = 0;
    InstrumentFrame received{};
    char separator = '.';

    void setFirmwareText(std::string_view t) override {
        FUZZ_CHECK(t.size() == 6 && t[2] == ' ' && t[5] == ' ');
        FUZZ_CHECK(isUpperHex(t[0]) && isUpperHex(t[1]) && isUpperHex(t[3]) && isUpperHex(t[4]));
    }
    void setSerialText(std::string_view t) override {
        FUZZ_CHECK(t.size() <= 2 * SerialLength && t.size() % 2 == 0);
        checkPairs(t);
    }
    void setValueText(std::string_view t) override {
        FUZZ_CHECK(t.size() <= 16 && t.size() % 2 == 0);
        checkPairs(t);
    }
    void setModeLetters(char l, char c, char d) override {
        FUZZ_CHECK((l == 'L' || l == ' ') && (c == 'C' || c == ' ') && (d == 'D' || d == ' '));
    }
    void setStatusText(std::string_view) override {}
    void showLightButton(bool) override {}
    void setTimer1Enabled(bool on) override { timer1 = on; }
    void setTimer2Enabled(bool on) override { timer2 = on; }
    void setTimer1Interval(int ms) override {
        FUZZ_CHECK(ms == PollIntervalStartMs || ms == PollIntervalRunningMs);
    }
    void appendMeasurementRow(std::string_view date, std::string_view time, std::string_view mode,
                              std::string_view value) override {
        ++rowsThisTick;
        FUZZ_CHECK(date == "09.12.2026" && time == "06:30:00");
        FUZZ_CHECK(mode.size() == 3);
        FUZZ_CHECK(value.size() <= 8 && value.find('\0') == std::string_view::npos);
    }
    std::string uiText(int slot) override {
        FUZZ_CHECK(slot == SlotCannotOpen || slot == SlotConnectionLost);
        return slot == SlotCannotOpen ? "cannot open" : "connection lost";
    }
    std::string currentDateText() override { return "09.12.2026"; }
    std::string currentTimeText() override { return "06:30:00"; }
    char decimalSeparator() override { return separator; }
    bool Open() override { return openSucceeds; }
    bool Exchange(InstrumentFrame& frame) override {
        ++exchangesThisTick;
        FUZZ_CHECK(timer1); // only the poll timer exchanges
        if (reply == nullptr) {
            return false;
        }
        std::memcpy(frame.data(), reply, frame.size());
        received = frame;
        return true;
    }
    void Close() override {}

private:
    // "%c " pieces: every second character is the blank.
    static void checkPairs(std::string_view t) {
        for (std::size_t i = 0; i < t.size(); i += 2) {
            FUZZ_CHECK(t[i] != '\0' && t[i + 1] == ' ');
        }
    }
};

bool validState(std::uint8_t state) {
    return state == PollState::AskFirmware || state == PollState::AskFirstHalf ||
           state == PollState::AskSecondHalf || state == PollState::AskSerial ||
           state == PollState::SendMeasure || state == PollState::SendMeasureLight;
}

int testOneInput(const std::uint8_t* data, std::size_t size) {
    CheckingSurroundings env;
    PollCycle cycle(env);
    env.timer1 = true; // the open at start-up succeeded
    std::size_t pos = 0;
    while (pos < size) {
        const std::uint8_t step = data[pos++];
        const int kind = step & 0x03;
        if (kind == 3) {
            switch ((step >> 2) & 0x03) {
            case 0:
                cycle.messenClick();
                break;
            case 1:
                cycle.lichtClick();
                break;
            case 2:
                env.openSucceeds = true;
                break;
            default:
                if (pos < size) {
                    env.separator = static_cast<char>(data[pos++]);
                }
                break;
            }
            continue;
        }

        const bool delivers = kind != 2 && size - pos >= 8;
        env.reply = delivers ? data + pos : nullptr;
        env.rowsThisTick = 0;
        env.exchangesThisTick = 0;
        const bool pollTick = env.timer1;
        if (env.timer1) {
            cycle.Timer1Timer();
        } else if (env.timer2) {
            cycle.Timer2Timer();
        }
        env.openSucceeds = false;
        if (pollTick) {
            FUZZ_CHECK(env.exchangesThisTick == 1);
            pos += delivers ? 8 : 0;
            // A second-half reply makes exactly one row; nothing else makes one.
            const bool secondHalf =
                delivers && env.received[0] == Code::ReadMeasurement && env.received[1] == 0x01;
            FUZZ_CHECK(env.rowsThisTick == (secondHalf ? 1 : 0));
            FUZZ_CHECK(validState(cycle.pollState()));
        } else {
            FUZZ_CHECK(env.exchangesThisTick == 0 && env.rowsThisTick == 0);
        }
        FUZZ_CHECK(env.timer1 != env.timer2);
        FUZZ_CHECK(cycle.serialCounter() >= 0 &&
                   cycle.serialCounter() <= static_cast<int>(SerialLength));
        FUZZ_CHECK(cycle.failureCount() == 0 || cycle.failureCount() == 1);
    }
    return 0;
}

} // namespace
} // namespace zt40::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return zt40::fuzz::testOneInput(data, size);
}
