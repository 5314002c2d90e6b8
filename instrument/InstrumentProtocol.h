// The gloss meter's frame protocol: fixed 8-byte command and reply frames.
//
// One frame buffer serves both directions. A command is built in place over the previous
// reply: each builder writes only the bytes its command defines and leaves the rest, so those
// bytes go out with the values of the last reply. Decoding never fails; whatever 8 bytes
// arrive are either decoded or ignored.
//
// All texts here are single-byte (Windows-1252) byte strings.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zt40 {

using InstrumentFrame = std::array<std::uint8_t, 8>;

// Command codes; each reply repeats the code of the command it answers in byte 0.
namespace Code {
inline constexpr std::uint8_t ReadFirmware = 0x5A;
inline constexpr std::uint8_t ReadMeasurement = 0x55;
inline constexpr std::uint8_t ReadSerial = 0xA5;
inline constexpr std::uint8_t StartMeasure = 0xBB;
inline constexpr std::uint8_t StartMeasureLight = 0xDD;
} // namespace Code

inline constexpr std::size_t SerialLength = 10;

// Builders. Each writes only its own bytes of the frame.
void buildReadFirmware(InstrumentFrame& frame);                       // bytes 0..2
void buildReadMeasurement(InstrumentFrame& frame, std::uint8_t half); // bytes 0..5
void buildReadSerial(InstrumentFrame& frame, std::uint16_t index);    // bytes 0..4
void buildMeasureRequest(InstrumentFrame& frame, bool light);         // byte 0 only

// A completed measurement: the 8-character value text and the mode flags byte.
struct InstrumentReading {
    std::array<char, 8> value{};
    std::uint8_t modeFlags = 0;
};

// Mode flag bits.
inline constexpr std::uint8_t ModeFlagC = 0x01;
inline constexpr std::uint8_t ModeFlagL = 0x02;
inline constexpr std::uint8_t ModeFlagD = 0x08;

// What the decoder keeps from one exchange to the next for the whole run.
struct DecoderState {
    std::array<std::uint8_t, 4> heldFirstHalf{};          // F0..F3
    std::array<std::uint8_t, SerialLength> serialBytes{}; // index 0..9
};

enum class DecodeKind {
    Nothing,       // nothing in the reply is decoded
    Firmware,      // firmwareText is set
    FirstHalfHeld, // the first half is now held in the decoder state
    Reading,       // reading is set
    SerialByte,    // serialIndex names the byte just stored
};

struct DecodeResult {
    DecodeKind kind = DecodeKind::Nothing;
    std::uint8_t replyCode = 0;
    std::uint8_t halfSelector = 0;      // byte 1 for reply code 0x55, else 0
    std::array<char, 6> firmwareText{}; // "%02X %02X " without terminator
    InstrumentReading reading{};
    std::uint16_t serialIndex = 0;
};

// Decodes the reply in frame. A second-half reply writes the reduced S0 back into byte 2.
DecodeResult decodeReply(InstrumentFrame& frame, DecoderState& state, char decimalSeparator);

// Display texts.
std::string firmwareText(const DecodeResult& result);           // 6 characters
std::string serialText(const DecoderState& state);              // "%c " per non-zero byte
std::string valueDisplayText(const InstrumentReading& reading); // "%c " per non-zero position
std::string valueListText(const InstrumentReading& reading);    // up to the first 0x00
std::string modeText(const InstrumentReading& reading);         // "LCD" with blanks for absent

} // namespace zt40
