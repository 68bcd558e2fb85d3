// Test fixtures of the viewer: signal files written as the recorder writes them
// (a quoted serial, CR LF, a quoted record of masked pairs, CR LF) from sample
// values, and recordings and decode windows holding a synthesized caller-ID burst.
#pragma once

#include "standin/callerid_burst.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace viewer::testing {

inline constexpr int kRecordingSamples = 25600;
inline constexpr int kSampleFloor = 35;

// The writer's masking of value v with key k: the halves of v XOR k exchanged.
inline int masked(int v, int k) {
    const int y = v ^ k;
    return (y % 16) * 16 + y / 16;
}

// Keys 35..255 drawn anew until the masked byte is at least 35, as the writer does.
inline std::vector<std::uint8_t> samplePairs(const std::vector<int>& values,
                                             std::uint32_t seed = 7) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> key(kSampleFloor, 255);
    std::vector<std::uint8_t> pairs;
    for (int v : values) {
        v = v < kSampleFloor ? kSampleFloor : (v > 255 ? 255 : v);
        int k = 0, m = 0;
        do {
            k = key(random);
            m = masked(v, k);
        } while (m < kSampleFloor);
        pairs.push_back(static_cast<std::uint8_t>(m));
        pairs.push_back(static_cast<std::uint8_t>(k));
    }
    return pairs;
}

// A quoted record and CR LF.
inline void appendRecord(std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& body) {
    file.push_back('"');
    file.insert(file.end(), body.begin(), body.end());
    file.push_back('"');
    file.push_back('\r');
    file.push_back('\n');
}

inline std::vector<std::uint8_t> signalFile(const std::vector<int>& values,
                                            const std::string& serial = "A1B2C3D4") {
    std::vector<std::uint8_t> file;
    appendRecord(file, std::vector<std::uint8_t>(serial.begin(), serial.end()));
    appendRecord(file, samplePairs(values));
    return file;
}

inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A recording's values: the zero level, with a burst whose message (the first
// start bit after the marks) begins at recording sample messageAt.
struct BurstSpec {
    standin::MessageFormat format = standin::MessageFormat::MultipleData;
    standin::CallInfo call{"12250930", "05321234567", ""};
    int zeroLevel = 131;
    int messageAt = 3000;
    double amplitude = 48.0;
};

// The burst's zero-centred values placed so its message starts at messageAt of
// a run of count values; the mark run before it reaches back to the first value
// (silence would read as space bits).
inline std::vector<int> burstValues(const BurstSpec& spec, int count) {
    standin::FskSettings fsk;
    fsk.amplitude = spec.amplitude;
    const double samplesPerBit = standin::kSampleRate / fsk.baud;
    standin::BurstLayout layout;
    layout.seizureBits = 0;
    layout.markBits =
        30 + (spec.messageAt > 0 ? static_cast<int>(spec.messageAt / samplesPerBit) : 0);
    const auto message = standin::buildMessage(spec.format, spec.call);
    const standin::Signal signal = standin::modulate(standin::burstBits(message, layout), fsk);
    const int messageStart = static_cast<int>(layout.markBits * samplesPerBit + 0.5);
    std::vector<int> x(static_cast<std::size_t>(count), 0);
    for (int i = 0; i < count; ++i) {
        const int s = i - spec.messageAt + messageStart;
        if (s >= 0 && s < static_cast<int>(signal.size()))
            x[static_cast<std::size_t>(i)] = signal[static_cast<std::size_t>(s)];
    }
    return x;
}

inline std::vector<int> recording(const BurstSpec& spec) {
    std::vector<int> values = burstValues(spec, kRecordingSamples);
    for (int& v : values)
        v += spec.zeroLevel;
    return values;
}

// A decode window (already shifted to zero) with the burst's message at messageAt.
inline std::vector<double> decodeWindow(const BurstSpec& spec) {
    const std::vector<int> x = burstValues(spec, 4979);
    return {x.begin(), x.end()};
}

} // namespace viewer::testing
