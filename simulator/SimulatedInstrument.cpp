#include "SimulatedInstrument.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zt40::simulator {

namespace {

constexpr std::uint8_t ReadFirmware = 0x5A;
constexpr std::uint8_t ReadMeasurement = 0x55;
constexpr std::uint8_t ReadSerial = 0xA5;
constexpr std::uint8_t StartMeasure = 0xBB;
constexpr std::uint8_t StartMeasureLight = 0xDD;

constexpr std::uint8_t FlagC = 0x01;
constexpr std::uint8_t FlagL = 0x02;
constexpr std::uint8_t FlagD = 0x08;

constexpr std::uint8_t digit(int d) {
    return static_cast<std::uint8_t>('0' + d);
}

} // namespace

EncodedReading encodeReading(double value, std::uint8_t modeFlags) {
    // Work in tenths so that rounding happens once.
    if (std::isnan(value)) {
        value = 0.0;
    }
    long tenths = std::lround(std::clamp(value, 0.0, 399.9) * 10.0);
    EncodedReading r;
    r.first = {' ', ' ', modeFlags, ' '};
    int units = static_cast<int>((tenths / 10) % 10);
    int tens = static_cast<int>((tenths / 100) % 10);
    const int hundreds = static_cast<int>(tenths / 1000);
    const int tenth = static_cast<int>(tenths % 10);
    if (hundreds == 0) {
        // Up to two integer digits: F3 is the tens digit (or blank), S0 the units.
        r.first[3] = tens == 0 ? std::uint8_t{' '} : digit(tens);
        r.second[0] = digit(units);
    } else {
        // From 100 on the instrument carries the tens digit (1 to 3) in S0, 10 to 39 above
        // '0', and sends the hundreds digit in F3. Other tens digits cannot be carried, so
        // such values go to the closest value of the same hundred that can.
        if (tens == 0) {
            tens = 1;
            units = 0;
        } else if (tens > 3) {
            tens = 3;
            units = 9;
        }
        r.first[3] = digit(hundreds);
        r.second[0] = static_cast<std::uint8_t>(digit(units) + 10 * tens);
    }
    r.second[1] = '.';
    r.second[2] = digit(tenth);
    r.second[3] = ' ';
    r.tenths = static_cast<std::int32_t>(hundreds * 1000 + tens * 100 + units * 10 + tenth);
    return r;
}

SimulatedInstrument::SimulatedInstrument() : SimulatedInstrument(Config{}) {}

SimulatedInstrument::SimulatedInstrument(Config config)
    : config_(std::move(config)), rng_(config_.seed) {
    config_.serial.resize(10, ' ');
}

SimulatedInstrument::Config SimulatedInstrument::scenario(std::string_view name) {
    Config c;
    c.keyPressPeriodMs = 3000;
    if (name == "manual") {
        c.keyPressPeriodMs = 0;
    } else if (name == "flaky") {
        c.faultRate = 0.02;
    }
    return c;
}

void SimulatedInstrument::makeReading(bool light) {
    // A believable gloss value: drifting around the last one, now and then a high-gloss
    // sample above 100 that needs the overflow encoding (x10.0 to x39.9 for x = 1, 2, 3).
    std::uniform_real_distribution<double> step(-4.0, 4.0);
    std::uniform_int_distribution<int> pick(0, 9);
    double value = lastValue_ + step(rng_);
    if (pick(rng_) == 0) {
        std::uniform_int_distribution<int> hundred(1, 3);
        std::uniform_int_distribution<int> tenths(0, 299);
        value = hundred(rng_) * 100.0 + 10.0 + tenths(rng_) / 10.0;
    } else {
        value = std::clamp(value, 2.0, 98.0);
        lastValue_ = value;
    }
    std::uint8_t flags = FlagC;
    if (light) {
        flags |= FlagL;
    }
    if (readingsMade_ % 4 == 3) {
        flags |= FlagD;
    }
    holdReading(encodeReading(value, flags));
}

void SimulatedInstrument::holdReading(const EncodedReading& reading) {
    if (held_) {
        ++readingsReplacedUnread_;
    }
    held_ = reading;
    ++readingsMade_;
}

void SimulatedInstrument::pressKey(bool light) {
    makeReading(light);
}

void SimulatedInstrument::setNow(std::uint64_t milliseconds) {
    now_ = milliseconds;
    if (config_.keyPressPeriodMs == 0) {
        return;
    }
    if (nextKeyPress_ == 0) {
        nextKeyPress_ = now_ + config_.keyPressPeriodMs;
    } else if (now_ >= nextKeyPress_) {
        makeReading(false);
        nextKeyPress_ = now_ + config_.keyPressPeriodMs;
    }
}

Frame SimulatedInstrument::respond(const Frame& command) {
    ++commandsAnswered_;
    servedHalf_.reset();
    Frame reply{};
    reply[0] = command[0];
    switch (command[0]) {
    case ReadFirmware:
        reply[1] = config_.firmwareA;
        reply[2] = config_.firmwareB;
        break;
    case ReadSerial: {
        reply[1] = command[1];
        reply[2] = command[2];
        const unsigned index = command[1] * 256u + command[2];
        if (index < config_.serial.size()) {
            reply[3] = static_cast<std::uint8_t>(config_.serial[index]);
        }
        break;
    }
    case ReadMeasurement:
        if (held_ && (command[1] == 0x00 || command[1] == 0x01)) {
            reply[1] = command[1];
            const auto& half = command[1] == 0x00 ? held_->first : held_->second;
            std::copy(half.begin(), half.end(), reply.begin() + 2);
            servedHalf_ = ServedHalf{readingsMade_, *held_};
            if (command[1] == 0x01) {
                held_.reset(); // the reading has been read out; it is no longer new
                ++readingsReadOut_;
            }
        } else {
            reply[1] = NoReadingHalfSelector;
        }
        break;
    case StartMeasure:
    case StartMeasureLight:
        makeReading(command[0] == StartMeasureLight);
        break;
    default:
        break;
    }
    return reply;
}

std::optional<Fault> SimulatedInstrument::takeFault(bool reading) {
    if (faultCount_ > 0) {
        if (!reading && fault_ != Fault::NoAnswer) {
            return std::nullopt;
        }
        const auto f = fault_;
        if (--faultCount_ == 0) {
            fault_.reset();
        }
        return f;
    }
    // Random faults are drawn once per exchange, when its reply is read.
    if (reading && config_.faultRate > 0.0) {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        if (chance(rng_) < config_.faultRate) {
            std::uniform_int_distribution<int> which(0, 2);
            return static_cast<Fault>(which(rng_));
        }
    }
    return std::nullopt;
}

void SimulatedInstrument::injectFault(Fault fault, int count) {
    fault_ = fault;
    faultCount_ = std::max(count, 0);
}

Completion SimulatedInstrument::write(const std::uint8_t* data, std::size_t size,
                                      std::size_t& transferred) {
    transferred = 0;
    if (!plugged_) {
        return Completion::Never;
    }
    if (takeFault(false) == Fault::NoAnswer) {
        return Completion::Never;
    }
    transferred = size;
    if (size != 8) {
        pendingReply_.reset(); // not a command frame: nothing to answer
        pendingHalf_.reset();
        return Completion::Done;
    }
    Frame command;
    std::memcpy(command.data(), data, 8);
    pendingReply_ = respond(command);
    pendingHalf_ = servedHalf_;
    return Completion::Done;
}

Completion SimulatedInstrument::read(std::uint8_t* data, std::size_t capacity,
                                     std::size_t& transferred) {
    transferred = 0;
    if (!plugged_ || !pendingReply_) {
        return Completion::Never;
    }
    const auto fault = takeFault(true);
    if (fault == Fault::NoAnswer) {
        return Completion::Never;
    }
    Frame reply = *pendingReply_;
    std::optional<ServedHalf> served = pendingHalf_;
    pendingReply_.reset();
    pendingHalf_.reset();
    std::size_t length = reply.size();
    if (fault == Fault::GarbageReply) {
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : reply) {
            b = static_cast<std::uint8_t>(byte(rng_));
        }
        served.reset();
    } else if (fault == Fault::ShortReply) {
        length = 7;
    }
    transferred = std::min(length, capacity);
    if (transferred > 0) { // a read of nothing may come without a buffer
        std::memcpy(data, reply.data(), transferred);
    }
    if (transferred == reply.size()) {
        noteDelivered(reply, served);
    }
    return Completion::Done;
}

void SimulatedInstrument::noteDelivered(const Frame& reply,
                                        const std::optional<ServedHalf>& served) {
    if (reply[0] != ReadMeasurement || reply[1] > 0x01) {
        return;
    }
    if (reply[1] == 0x00) {
        firstHalfAtHost_.reset();
        if (served) {
            firstHalfAtHost_ = served->reading;
        }
        return;
    }
    ++secondHalvesDelivered_;
    if (served && firstHalfAtHost_ == served->reading) {
        ++readingsDeliveredWhole_;
        lastDeliveredWhole_ = served->value;
    }
    firstHalfAtHost_.reset();
}

} // namespace zt40::simulator
