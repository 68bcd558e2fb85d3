// The stand-in's WAV reader and the replay of what it read on a simulated line.
// What must hold:
// - a file is read or refused with a reason, from bytes and from a file alike;
// - a file that is read holds 8- or 16-bit samples, each in -1 .. +1 of full
//   scale, no more of them than its bytes carry;
// - its replay at a level never exceeds that level, and the line carries the
//   zero level plus the replay, clipped to the sample range.
//
// Input: the bytes of a WAV file.
#include "fuzz/check.h"
#include "fuzz/temp_file.h"
#include "standin/line_signal.h"
#include "standin/wav.h"

#include <algorithm>
#include <cmath>

namespace {

// The line of a device at its usual zero level, without noise.
constexpr int kZeroLevel = 128;
// The scenario's default level and its largest.
constexpr double kLevels[] = {100.0, 255.0};

void expectReplay(const standin::WavRecording& recording, double level) {
    const standin::Signal replay = standin::replaySignal(recording, level);
    fuzz::expect(replay.size() == recording.samples.size(), [&] {
        return "expected " + std::to_string(recording.samples.size()) + " replayed samples, got " +
               std::to_string(replay.size());
    });
    standin::LineSignal line(kZeroLevel);
    line.place(0, replay);
    for (std::size_t i = 0; i < replay.size(); ++i) {
        const int v = replay[i];
        fuzz::expect(std::abs(v) <= level, [&] {
            return "expected a replayed sample within " + std::to_string(level) + ", got " +
                   std::to_string(v);
        });
        const int expected = std::clamp(kZeroLevel + v, 0, 255);
        const int got = line.valueAt(static_cast<std::int64_t>(i));
        fuzz::expect(got == expected, [&] {
            return "expected the line at " + std::to_string(expected) + " at sample " +
                   std::to_string(i) + ", got " + std::to_string(got);
        });
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    standin::WavRecording recording;
    std::string error;
    const bool read = standin::parseWav(bytes, recording, error);

    static const fuzz::TempFile file("replay.wav");
    file.write(bytes);
    standin::WavRecording fromFile;
    std::string fileError;
    const bool readFromFile = standin::readWavFile(file.path().string(), fromFile, fileError);
    fuzz::expect(readFromFile == read && fromFile.samples == recording.samples, [&] {
        return std::string("expected the file read as its bytes are, got ") +
               (read ? "read" : "refused") + " from bytes and " +
               (readFromFile ? "read" : "refused") + " from the file";
    });

    if (!read) {
        fuzz::expect(!error.empty() && fileError.find(error) != std::string::npos, [&] {
            return "expected a reason for the refusal, also from the file, got \"" + error +
                   "\" and \"" + fileError + "\"";
        });
        return 0;
    }
    const int bits = recording.bitsPerSample;
    fuzz::expect(bits == 8 || bits == 16,
                 [&] { return "expected 8 or 16 bits per sample, got " + std::to_string(bits); });
    fuzz::expect(recording.samples.size() * static_cast<std::size_t>(bits / 8) <= size, [&] {
        return "expected at most the file's bytes in samples, got " +
               std::to_string(recording.samples.size()) + " samples from " + std::to_string(size) +
               " bytes";
    });
    for (const double s : recording.samples)
        fuzz::expect(s >= -1.0 && s < 1.0,
                     [&] { return "expected a sample in -1 .. +1, got " + std::to_string(s); });
    for (const double level : kLevels)
        expectReplay(recording, level);
    return 0;
}
