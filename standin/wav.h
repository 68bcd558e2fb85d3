// Reading a recorded line signal from a WAV file for replay on a simulated line:
// 8000 samples per second, one channel, 8-bit unsigned or 16-bit signed PCM.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace standin {

// The largest WAV file a scenario may replay: 8 MiB, about 17 minutes of 8-bit or 8
// of 16-bit samples.
inline constexpr std::uintmax_t kMaxWavFileBytes = 8u << 20;

struct WavRecording {
    // Each sample scaled to -1.0 .. +1.0 of the format's full scale (a 16-bit
    // sample s gives s / 32768, an 8-bit sample u gives (u - 128) / 128).
    std::vector<double> samples;
    int bitsPerSample = 0;
};

// Parses the bytes of a WAV file. A file this stand-in cannot replay is refused:
// false, with `error` saying why ("not a RIFF/WAVE file", "sample rate 44100, not 8000", ...).
[[nodiscard]] bool parseWav(std::span<const std::uint8_t> bytes, WavRecording& out,
                            std::string& error);

// Reads and parses the file at `path`; an unreadable file, one that is not a regular
// file or one larger than kMaxWavFileBytes is refused the same way.
[[nodiscard]] bool readWavFile(const std::string& path, WavRecording& out, std::string& error);

} // namespace standin
