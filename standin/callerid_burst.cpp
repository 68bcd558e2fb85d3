#include "standin/callerid_burst.h"

#include "standin/noise.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace standin {

std::uint8_t checksum(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (const auto b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

std::vector<std::uint8_t> frameMessage(std::uint8_t type, std::span<const std::uint8_t> body) {
    if (body.size() > kMaxBodyLength)
        throw std::length_error("caller-ID message body longer than 255 bytes");
    std::vector<std::uint8_t> message;
    message.reserve(body.size() + 3);
    message.push_back(type);
    message.push_back(static_cast<std::uint8_t>(body.size()));
    message.insert(message.end(), body.begin(), body.end());
    message.push_back(checksum(message));
    return message;
}

std::vector<std::uint8_t> multipleDataBody(std::span<const Parameter> parameters) {
    std::vector<std::uint8_t> body;
    for (const auto& p : parameters) {
        if (p.body.size() > kMaxBodyLength)
            throw std::length_error("caller-ID parameter longer than 255 bytes");
        body.push_back(p.type);
        body.push_back(static_cast<std::uint8_t>(p.body.size()));
        body.insert(body.end(), p.body.begin(), p.body.end());
    }
    return body;
}

std::vector<std::uint8_t> buildMessage(MessageFormat format, const CallInfo& call) {
    if (format == MessageFormat::SingleData) {
        std::vector<std::uint8_t> body(call.dateTime.begin(), call.dateTime.end());
        body.insert(body.end(), call.number.begin(), call.number.end());
        return frameMessage(kSingleDataMessage, body);
    }
    std::vector<Parameter> parameters;
    if (!call.dateTime.empty())
        parameters.push_back({kDateTimeParameter, call.dateTime});
    if (!call.number.empty())
        parameters.push_back({kNumberParameter, call.number});
    if (!call.name.empty())
        parameters.push_back({kNameParameter, call.name});
    return frameMessage(kMultipleDataMessage, multipleDataBody(parameters));
}

void appendCharacter(std::vector<std::uint8_t>& bits, std::uint8_t byte) {
    bits.push_back(0);
    for (int i = 0; i < 8; ++i)
        bits.push_back((byte >> i) & 1);
    bits.push_back(1);
}

std::vector<std::uint8_t> burstBits(std::span<const std::uint8_t> message,
                                    const BurstLayout& layout) {
    std::vector<std::uint8_t> bits;
    bits.reserve(layout.seizureBits + layout.markBits + 10 * message.size() +
                 layout.trailingMarkBits);
    for (int i = 0; i < layout.seizureBits; ++i)
        bits.push_back(i & 1);
    bits.insert(bits.end(), layout.markBits, 1);
    for (const auto b : message)
        appendCharacter(bits, b);
    bits.insert(bits.end(), layout.trailingMarkBits, 1);
    return bits;
}

Signal modulate(std::span<const std::uint8_t> bits, const FskSettings& fsk) {
    const double samplesPerBit = kSampleRate / fsk.baud;
    const auto count = static_cast<std::size_t>(std::ceil(bits.size() * samplesPerBit));
    Signal out;
    out.reserve(count);
    GaussianNoise noise(fsk.noiseSeed, fsk.noiseRms);
    constexpr double twoPi = 2.0 * std::numbers::pi;
    double phase = 0.0;
    for (std::size_t n = 0; n < count; ++n) {
        auto bit = static_cast<std::size_t>(n / samplesPerBit);
        if (bit >= bits.size())
            bit = bits.size() - 1;
        const double value = fsk.amplitude * std::sin(phase) + noise.at(n);
        out.push_back(static_cast<int>(std::lround(value)));
        // The phase runs on: the next sample continues the tone of its own bit.
        phase += twoPi * (bits[bit] ? fsk.markHz : fsk.spaceHz) / kSampleRate;
        if (phase >= twoPi)
            phase -= twoPi;
    }
    return out;
}

Signal synthesizeBurst(MessageFormat format, const CallInfo& call, const BurstLayout& layout,
                       const FskSettings& fsk) {
    const auto message = buildMessage(format, call);
    return modulate(burstBits(message, layout), fsk);
}

} // namespace standin
