// The recorder's signal file: one line of one recorded call, its name, its byte
// layout and the writer that stores the four lines of a capture.
#pragma once

#include "recorder/sample_masking.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace recorder {

inline constexpr int kLinesPerDevice = 4;
// Reports per capture and samples per line of a capture (3.2 s at 8000 per second).
inline constexpr int CaptureReportCount = 1600;
inline constexpr int kCaptureSamples = CaptureReportCount * 16;

// A line's capture: raw bytes as the device sent them (not descrambled), report order
// then group order; entry 25,600 is never used.
using CaptureBuffer = std::array<std::uint8_t, kCaptureSamples + 1>;

// The date text, "_", the time text; every "." and ":" becomes "_". So does every
// character that a file name cannot carry ("/", "\", "*", "?", '"', "<", ">", "|"
// and control characters), so that regional formats such as 5/22/2017 still give a
// name the recording can be stored under.
std::string RecordingStamp(const std::string& dateText, const std::string& timeText);

// "Norvellix_Sinyal_<line>_<zero level>_<stamp>.dat"
std::string SignalFileName(int line, int zeroLevel, const std::string& stamp);

// The whole file: a quote, the serial, a quote, CR LF, a quote, the sample pairs,
// a quote, CR LF.
std::vector<std::uint8_t> SignalFileBytes(const std::string& serial,
                                          std::span<const SamplePair> samples);

// Where the files go. The recorder's own store writes into the current directory.
class SignalFileStore {
public:
    virtual ~SignalFileStore() = default;
    // Creates (or replaces) the file and writes all of `bytes`. On failure: false, a
    // reason in `error`, and no file of that name left behind.
    [[nodiscard]] virtual bool write(const std::string& name, std::span<const std::uint8_t> bytes,
                                     std::string& error) = 0;
};

// Files in the process's current directory; the name is UTF-8. The error names
// what failed and the platform's own reason for it (on Windows its system
// message). Built on each platform's file calls (current_directory_store_posix.cpp,
// windows/current_directory_store.cpp).
class CurrentDirectoryStore final : public SignalFileStore {
public:
    [[nodiscard]] bool write(const std::string& name, std::span<const std::uint8_t> bytes,
                             std::string& error) override;
};

struct RecordingInput {
    const std::array<CaptureBuffer, kLinesPerDevice>* captures = nullptr;
    std::array<int, kLinesPerDevice> zeroLevels{};
    std::string serial;
    std::string dateText, timeText; // taken once for the four files
};

struct FileFailure {
    std::string name;
    std::string error;
};

struct RecordingResult {
    std::vector<std::string> written; // in line order
    std::vector<FileFailure> failed;
    bool ok() const { return failed.empty(); }
};

// sinyal_kayit_fonksiyonum without its message box: masks every sample of the four
// lines (letting the window process its messages before each sample index through
// `pump`) and then writes the four files in line order. A file that fails does not
// stop the others; the result names each.
RecordingResult WriteRecording(const RecordingInput& input, RandomGenerator& random,
                               SignalFileStore& store, const std::function<void()>& pump);

} // namespace recorder
