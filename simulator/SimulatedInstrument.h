// A protocol-level model of the ZT 40 gloss meter, for demos and tests.
//
// It answers each 8-byte command frame as the instrument does: serial number byte by byte,
// the firmware identifier, and the two halves of the reading it holds. Readings are made by
// the measure commands, by pressKey() (the instrument's own key), or on a schedule.
// Faults can be injected for the next transfers, and the instrument can be unplugged.
//
// It knows the frame layout only; it has no clock of its own (the host passes its time in).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace zt40::simulator {

using Frame = std::array<std::uint8_t, 8>;

// The two halves of a reading as they travel: F0..F3 (F2 = mode flags) and S0..S3.
struct EncodedReading {
    std::array<std::uint8_t, 4> first{};
    std::array<std::uint8_t, 4> second{};
    // The value the halves carry, in tenths; -1 when they were not made by encodeReading.
    std::int32_t tenths = -1;
};

// Encodes a gloss value (0.0 to 399.9 in steps of 0.1) and mode flags into the two halves,
// using the S0 overflow encoding for values of 100 and above. Out-of-range values are clamped;
// a value that is not a number gives 0.0.
EncodedReading encodeReading(double value, std::uint8_t modeFlags);

enum class Fault {
    NoAnswer,     // the transfer never completes (the host must time out and cancel)
    ShortReply,   // the read delivers 7 bytes
    GarbageReply, // the read delivers 8 random bytes instead of the reply
};

enum class Completion {
    Done,  // the transfer completed; the count says how many bytes moved
    Never, // the transfer stays pending until cancelled
};

// Reply when no new reading is held: code 0x55, half selector 0xFF, rest zero. The host
// does not decode a 0x55 reply with another half selector than 0 or 1, so its poll cycle
// keeps asking for the first half until a reading is made.
inline constexpr std::uint8_t NoReadingHalfSelector = 0xFF;

class SimulatedInstrument {
public:
    struct Config {
        std::string serial = "ZT40A07311"; // 10 characters
        std::uint8_t firmwareA = 0x02;
        std::uint8_t firmwareB = 0x15;
        std::uint32_t keyPressPeriodMs = 0; // readings made on a schedule; 0 = none
        double faultRate = 0.0;             // chance of a random fault per transfer
        std::uint32_t seed = 40;
    };

    SimulatedInstrument();
    explicit SimulatedInstrument(Config config);

    // Scenario named by the ZT40_SIMULATOR variable: "1" (well-behaved; a reading every
    // 3 s as if its key were pressed, and on every measure command), "manual" (readings
    // only on measure commands), "flaky" (like "1" with occasional faults). Unknown names
    // give "1".
    static Config scenario(std::string_view name);
    // The scenario names scenario() knows.
    static constexpr std::array<std::string_view, 3> scenarioNames{"1", "manual", "flaky"};

    // Protocol level: the reply to one command frame. Advances the instrument's state.
    Frame respond(const Frame& command);

    // Transfer level, as the driver stand-in moves data on the endpoints.
    // write: a command on OUT 0x02. read: the reply on IN 0x81.
    Completion write(const std::uint8_t* data, std::size_t size, std::size_t& transferred);
    Completion read(std::uint8_t* data, std::size_t capacity, std::size_t& transferred);

    // The host's clock, in milliseconds; drives scheduled readings.
    void setNow(std::uint64_t milliseconds);

    // Makes a new reading now, as if the instrument's key were pressed.
    void pressKey(bool light = false);
    // Holds the given reading as the new one.
    void holdReading(const EncodedReading& reading);
    bool holdsNewReading() const { return held_.has_value(); }

    // The next `count` transfers suffer the fault. NoAnswer strikes writes and reads alike;
    // ShortReply and GarbageReply only concern reads, so writes pass them by.
    void injectFault(Fault fault, int count = 1);

    // Unplugging drops a reply that was not read yet; the held reading survives.
    void unplug() {
        plugged_ = false;
        pendingReply_.reset();
        pendingHalf_.reset();
    }
    void plugIn() { plugged_ = true; }
    bool pluggedIn() const { return plugged_; }

    const Config& config() const { return config_; }
    std::size_t readingsMade() const { return readingsMade_; }
    // Readings whose second half has been served, and readings replaced by a newer one
    // before that happened (the instrument holds only its latest reading).
    std::size_t readingsReadOut() const { return readingsReadOut_; }
    std::size_t readingsReplacedUnread() const { return readingsReplacedUnread_; }
    std::size_t commandsAnswered() const { return commandsAnswered_; }

    // What reached the host, counted when a read delivers a whole reply of 8 bytes. A reading
    // is delivered whole when its second half follows its own first half, with no other first
    // or second half (genuine or garbage) read in between: the host then shows exactly it.
    std::size_t readingsDeliveredWhole() const { return readingsDeliveredWhole_; }
    const std::optional<EncodedReading>& lastReadingDeliveredWhole() const {
        return lastDeliveredWhole_;
    }
    // Replies read whole that the host takes for a second half, garbage among them.
    std::size_t secondHalvesDelivered() const { return secondHalvesDelivered_; }

private:
    void makeReading(bool light);
    std::optional<Fault> takeFault(bool reading);

    Config config_;
    std::mt19937 rng_;
    bool plugged_ = true;
    std::optional<EncodedReading> held_;
    std::optional<Frame> pendingReply_;
    // Which reading a half served belongs to: set by respond(), carried with the reply.
    struct ServedHalf {
        std::size_t reading = 0; // its number, counted by readingsMade
        EncodedReading value;
    };
    void noteDelivered(const Frame& reply, const std::optional<ServedHalf>& served);
    std::optional<ServedHalf> servedHalf_;
    std::optional<ServedHalf> pendingHalf_;
    std::optional<std::size_t> firstHalfAtHost_; // reading whose first half the host holds
    std::optional<EncodedReading> lastDeliveredWhole_;
    std::size_t readingsDeliveredWhole_ = 0;
    std::size_t secondHalvesDelivered_ = 0;
    std::optional<Fault> fault_;
    int faultCount_ = 0;
    std::uint64_t now_ = 0;
    std::uint64_t nextKeyPress_ = 0;
    std::size_t readingsMade_ = 0;
    std::size_t readingsReadOut_ = 0;
    std::size_t readingsReplacedUnread_ = 0;
    std::size_t commandsAnswered_ = 0;
    double lastValue_ = 85.0;
};

} // namespace zt40::simulator
