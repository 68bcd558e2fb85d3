#include "recorder/signal_file.h"

#include "signalpath/descramble.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace recorder {

namespace {

constexpr std::uint8_t kQuote = '"';
constexpr std::uint8_t kCarriageReturn = 13;
constexpr std::uint8_t kLineFeed = 10;

bool unfitForFileName(unsigned char c) {
    return c < 32 || std::strchr("/\\*?\"<>|", c) != nullptr;
}

std::filesystem::path pathFromUtf8(const std::string& name) {
    std::u8string u8(name.size(), u8'\0');
    std::transform(name.begin(), name.end(), u8.begin(),
                   [](char c) { return static_cast<char8_t>(c); });
    return std::filesystem::path(u8);
}

std::string reasonFromErrno(const char* what) {
    const int code = errno;
    std::string text = what;
    if (code != 0) {
        text += ": ";
        text += std::strerror(code);
    }
    return text;
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

bool CurrentDirectoryStore::write(const std::string& name, std::span<const std::uint8_t> bytes,
                                  std::string& error) {
    const std::filesystem::path path = pathFromUtf8(name);
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = reasonFromErrno("the file cannot be created");
        return false;
    }
    errno = 0;
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = reasonFromErrno("the file cannot be written");
        // A short file would read as a shorter recording; none is left.
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return false;
    }
    return true;
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
