// Synthesis of a caller-ID burst as a telephone line carries it: channel seizure,
// mark bits, the message as asynchronous characters, in continuous-phase FSK at
// 1200 baud (1200 Hz mark, 2200 Hz space) and 8000 samples per second. The stand-in
// plays it on its lines; decoder tests use it as a fixture.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace standin {

constexpr int kSampleRate = 8000;

// Zero-centred sample values; a line adds them to its zero level.
using Signal = std::vector<int>;

// Message types and multiple-data parameter types.
constexpr std::uint8_t kSingleDataMessage = 0x04;
constexpr std::uint8_t kMultipleDataMessage = 0x80;
constexpr std::uint8_t kDateTimeParameter = 0x01;
constexpr std::uint8_t kNumberParameter = 0x02;
constexpr std::uint8_t kNameParameter = 0x07;

// A message body and every parameter body hold at most this many bytes (one length byte).
constexpr std::size_t kMaxBodyLength = 255;

enum class MessageFormat { SingleData, MultipleData };

// What a burst tells about a call. In a single-data message the date and time
// (8 digits, month day hour minute) always come first and the name is not sent;
// in a multiple-data message an empty field is left out.
struct CallInfo {
    std::string dateTime = "01011200";
    std::string number;
    std::string name;
};

struct Parameter {
    std::uint8_t type = 0;
    std::string body;
};

// The checksum byte: the two's complement of the sum of all bytes before it.
std::uint8_t checksum(std::span<const std::uint8_t> bytes);

// Type, length, body and checksum. Throws std::length_error for a body longer
// than kMaxBodyLength (callers that take input from outside check first).
std::vector<std::uint8_t> frameMessage(std::uint8_t type, std::span<const std::uint8_t> body);

// The body of a multiple-data message: each parameter as type, length, body.
std::vector<std::uint8_t> multipleDataBody(std::span<const Parameter> parameters);

// The whole message for a call in the given format.
std::vector<std::uint8_t> buildMessage(MessageFormat format, const CallInfo& call);

struct BurstLayout {
    int seizureBits = 300;     // alternating 0, 1, 0, 1, ...
    int markBits = 180;        // before the message
    int trailingMarkBits = 10; // after the checksum, before the carrier stops
};

// One asynchronous character appended as bits: start 0, eight data bits least
// significant first, stop 1.
void appendCharacter(std::vector<std::uint8_t>& bits, std::uint8_t byte);

// The bits (0 or 1) of a whole burst carrying the message bytes.
std::vector<std::uint8_t> burstBits(std::span<const std::uint8_t> message,
                                    const BurstLayout& layout = {});

struct FskSettings {
    double amplitude = 48.0; // peak, in sample-value units
    double markHz = 1200.0;
    double spaceHz = 2200.0;
    double baud = 1200.0;
    double noiseRms = 0.0; // white Gaussian noise added to the tone
    std::uint32_t noiseSeed = 1;
};

// Continuous-phase FSK of the bits: the phase runs on across bit boundaries, so
// only the frequency changes. The carrier stops after the last bit.
Signal modulate(std::span<const std::uint8_t> bits, const FskSettings& fsk = {});

// Message, bits and modulation in one step.
Signal synthesizeBurst(MessageFormat format, const CallInfo& call, const BurstLayout& layout = {},
                       const FskSettings& fsk = {});

} // namespace standin
