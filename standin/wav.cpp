#include "standin/wav.h"

#include "standin/bounded_file.h"

namespace standin {
namespace {

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
bool tagIs(std::span<const std::uint8_t> b, std::size_t at, const char* tag) {
    for (int i = 0; i < 4; ++i)
        if (b[at + i] != static_cast<std::uint8_t>(tag[i]))
            return false;
    return true;
}

} // namespace

bool parseWav(std::span<const std::uint8_t> bytes, WavRecording& out, std::string& error) {
    if (bytes.size() < 12 || !tagIs(bytes, 0, "RIFF") || !tagIs(bytes, 8, "WAVE")) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    bool haveFormat = false;
    int bits = 0;
    // Chunks follow the 12-byte header, each padded to an even length.
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t size = le32(bytes, at + 4);
        const std::size_t body = at + 8;
        if (size > bytes.size() - body) {
            error = "chunk runs past the end of the file";
            return false;
        }
        if (tagIs(bytes, at, "fmt ")) {
            if (size < 16) {
                error = "format chunk too short";
                return false;
            }
            const auto format = le16(bytes, body);
            const auto channels = le16(bytes, body + 2);
            const auto rate = le32(bytes, body + 4);
            bits = le16(bytes, body + 14);
            if (format != 1) {
                error = "sample format " + std::to_string(format) + ", not PCM (1)";
                return false;
            }
            if (channels != 1) {
                error = std::to_string(channels) + " channels, not mono";
                return false;
            }
            if (rate != 8000) {
                error = "sample rate " + std::to_string(rate) + ", not 8000";
                return false;
            }
            if (bits != 8 && bits != 16) {
                error = std::to_string(bits) + " bits per sample, not 8 or 16";
                return false;
            }
            haveFormat = true;
        } else if (tagIs(bytes, at, "data")) {
            if (!haveFormat) {
                error = "data chunk before the format chunk";
                return false;
            }
            const std::size_t width = bits / 8;
            if (size % width != 0) {
                error = "data chunk holds a partial sample";
                return false;
            }
            out.bitsPerSample = bits;
            out.samples.clear();
            out.samples.reserve(size / width);
            for (std::size_t i = body; i < body + size; i += width) {
                if (bits == 8)
                    out.samples.push_back((bytes[i] - 128) / 128.0);
                else
                    out.samples.push_back(static_cast<std::int16_t>(le16(bytes, i)) / 32768.0);
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    error = haveFormat ? "no data chunk" : "no format chunk";
    return false;
}

bool readWavFile(const std::string& path, WavRecording& out, std::string& error) {
    std::string text;
    switch (readBoundedFile(path, kMaxWavFileBytes, text)) {
    case FileRead::Ok:
        break;
    case FileRead::CannotOpen:
        error = "cannot open \"" + path + "\"";
        return false;
    case FileRead::NotRegular:
        error = "\"" + path + "\" is not a regular file";
        return false;
    case FileRead::TooLarge:
        error = "\"" + path + "\" is larger than " + std::to_string(kMaxWavFileBytes) + " bytes";
        return false;
    case FileRead::CannotRead:
        error = "cannot read \"" + path + "\"";
        return false;
    }
    const auto* first = reinterpret_cast<const std::uint8_t*>(text.data());
    if (!parseWav(std::span(first, text.size()), out, error)) {
        error = "\"" + path + "\": " + error;
        return false;
    }
    return true;
}

} // namespace standin
