#include "InstrumentProtocol.h"

namespace zt40 {

void buildReadFirmware(InstrumentFrame& frame) {
    frame[0] = Code::ReadFirmware;
    frame[1] = 0x00;
    frame[2] = 0x00;
}

void buildReadMeasurement(InstrumentFrame& frame, std::uint8_t half) {
    frame[0] = Code::ReadMeasurement;
    frame[1] = half;
    frame[2] = 0x00;
    frame[3] = 0x00;
    frame[4] = 0x00;
    frame[5] = 0x00;
}

void buildReadSerial(InstrumentFrame& frame, std::uint16_t index) {
    frame[0] = Code::ReadSerial;
    frame[1] = static_cast<std::uint8_t>(index >> 8);
    frame[2] = static_cast<std::uint8_t>(index & 0xFF);
    frame[3] = 0x00;
    frame[4] = 0xF7;
}

void buildMeasureRequest(InstrumentFrame& frame, bool light) {
    frame[0] = light ? Code::StartMeasureLight : Code::StartMeasure;
}

namespace {

constexpr char hexDigit(unsigned v) {
    return "0123456789ABCDEF"[v & 0x0F];
}

InstrumentReading assembleReading(InstrumentFrame& frame, DecoderState& state,
                                  char decimalSeparator) {
    const auto& held = state.heldFirstHalf;
    InstrumentReading reading;
    reading.modeFlags = held[2];

    std::uint8_t s0 = frame[2];
    auto& v = reading.value;
    if (s0 > 0x39) {
        // Units character 10..39 above '0': a two-digit number, F3 moves one place left.
        v[2] = static_cast<char>(held[3]);
        for (char k = '1'; k <= '3'; ++k) {
            if (s0 > 0x39) {
                s0 = static_cast<std::uint8_t>(s0 - 10);
                v[3] = k;
            }
        }
    } else {
        v[2] = ' ';
        v[3] = static_cast<char>(held[3]);
    }
    v[0] = static_cast<char>(held[0]);
    v[1] = static_cast<char>(held[1]);
    v[4] = static_cast<char>(s0);
    v[5] = static_cast<char>(frame[3]);
    v[6] = static_cast<char>(frame[4]);
    v[7] = static_cast<char>(frame[5]);
    frame[2] = s0;

    for (char& c : v) {
        if (c == ',' || c == '.') {
            c = decimalSeparator;
        }
    }
    state.heldFirstHalf = {0x20, 0x20, 0x20, 0x20};
    return reading;
}

} // namespace

DecodeResult decodeReply(InstrumentFrame& frame, DecoderState& state, char decimalSeparator) {
    DecodeResult result;
    result.replyCode = frame[0];
    switch (frame[0]) {
    case Code::ReadFirmware:
        result.kind = DecodeKind::Firmware;
        result.firmwareText = {hexDigit(frame[1] >> 4u), hexDigit(frame[1]), ' ',
                               hexDigit(frame[2] >> 4u), hexDigit(frame[2]), ' '};
        break;
    case Code::ReadMeasurement:
        result.halfSelector = frame[1];
        if (frame[1] == 0x00) {
            state.heldFirstHalf = {frame[2], frame[3], frame[4], frame[5]};
            result.kind = DecodeKind::FirstHalfHeld;
        } else if (frame[1] == 0x01) {
            result.reading = assembleReading(frame, state, decimalSeparator);
            result.kind = DecodeKind::Reading;
        }
        break;
    case Code::ReadSerial: {
        const auto index = static_cast<std::uint16_t>(frame[1] * 256u + frame[2]);
        if (index < SerialLength) {
            state.serialBytes[index] = frame[3];
            result.serialIndex = index;
            result.kind = DecodeKind::SerialByte;
        }
        break;
    }
    default:
        break;
    }
    return result;
}

std::string firmwareText(const DecodeResult& result) {
    return std::string(result.firmwareText.data(), result.firmwareText.size());
}

namespace {

// "%c " for each byte, a zero byte contributing nothing.
template <typename Bytes> std::string charsWithBlanks(const Bytes& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        if (b != 0) {
            text.push_back(static_cast<char>(b));
            text.push_back(' ');
        }
    }
    return text;
}

} // namespace

std::string serialText(const DecoderState& state) {
    return charsWithBlanks(state.serialBytes);
}

std::string valueDisplayText(const InstrumentReading& reading) {
    return charsWithBlanks(reading.value);
}

std::string valueListText(const InstrumentReading& reading) {
    std::string text;
    for (char c : reading.value) {
        if (c == '\0') {
            break;
        }
        text.push_back(c);
    }
    return text;
}

std::string modeText(const InstrumentReading& reading) {
    const auto f = reading.modeFlags;
    return {(f & ModeFlagL) ? 'L' : ' ', (f & ModeFlagC) ? 'C' : ' ', (f & ModeFlagD) ? 'D' : ' '};
}

} // namespace zt40
