#include "recorder/signal_file.h"

#include "signalpath/descramble.h"

#include <algorithm>
#include <cstring>

namespace recorder {

namespace {

constexpr std::uint8_t kQuote = '"';
constexpr std::uint8_t kCarriageReturn = 13;
constexpr std::uint8_t kLineFeed = 10;

bool unfitForFileName(unsigned char c) {
    return c < 32 || std::strchr("/\\*?\"<>|", c) != nullptr;
}

} // namespace

std::string RecordingStamp(const std::string& dateText, const std::string& timeText) {
    std::string stamp = dateText + "_" + timeText;
    for (char& c : stamp)
        if (c == '.' || c == ':' || unfitForFileName(static_cast<unsigned char>(c)))
            c = '_';
    return stamp;
}

std::string SignalFileName(int line, int zeroLevel, const std::string& stamp) {
    return "Norvellix_Sinyal_" + std::to_string(line) + "_" + std::to_string(zeroLevel) + "_" +
           stamp + ".dat";
}

std::vector<std::uint8_t> SignalFileBytes(const std::string& serial,
                                          std::span<const SamplePair> samples) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(serial.size() + 2 * samples.size() + 8);
    bytes.push_back(kQuote);
    bytes.insert(bytes.end(), serial.begin(), serial.end());
    bytes.insert(bytes.end(), {kQuote, kCarriageReturn, kLineFeed, kQuote});
    for (const SamplePair& s : samples) {
        bytes.push_back(s.MaskedSample);
        bytes.push_back(s.MaskKey);
    }
    bytes.insert(bytes.end(), {kQuote, kCarriageReturn, kLineFeed});
    return bytes;
}

RecordingResult WriteRecording(const RecordingInput& input, RandomGenerator& random,
                               SignalFileStore& store, const std::function<void()>& pump) {
    const std::string stamp = RecordingStamp(input.dateText, input.timeText);
    std::array<std::vector<SamplePair>, kLinesPerDevice> pairs;
    for (auto& p : pairs)
        p.reserve(kCaptureSamples);
    for (int i = 0; i < kCaptureSamples; ++i) {
        if (pump)
            pump();
        for (int p = 1; p <= kLinesPerDevice; ++p) {
            const int v =
                std::max<int>(signalpath::descramble(p, (*input.captures)[p - 1][i]), SampleFloor);
            pairs[p - 1].push_back(sinyal_kayit_maskele(v, random));
        }
    }
    RecordingResult result;
    for (int p = 1; p <= kLinesPerDevice; ++p) {
        const std::string name = SignalFileName(p, input.zeroLevels[p - 1], stamp);
        std::string error;
        if (store.write(name, SignalFileBytes(input.serial, pairs[p - 1]), error))
            result.written.push_back(name);
        else
            result.failed.push_back({name, error});
    }
    return result;
}

} // namespace recorder
