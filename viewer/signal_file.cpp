#include "viewer/signal_file.h"

#include "viewer/number_text.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace viewer {

int maske_aç(int m, int k) {
    // The bit-text steps (MSB-first text of m, halves exchanged, the characters
    // under the key's "1"s inverted, reversed and read LSB-first) come to this for
    // every pair of bytes; the reversal and the LSB-first reading cancel out.
    const int swapped = ((m & 0x0F) << 4) | (m >> 4);
    return swapped ^ k;
}

FileBytes readSignalFile(std::string_view name) {
    FileBytes result;
    const std::u8string utf8(name.begin(), name.end());
    const std::filesystem::path path(utf8);
    std::error_code ec;
    if (name.empty() || std::filesystem::is_directory(path, ec)) {
        result.error = FileError::CannotOpen;
        return result;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        result.error = FileError::CannotOpen;
        return result;
    }
    // The size is asked first, so that a file above the bound is not read at all;
    // one that grows while it is read is stopped at the bound all the same.
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxSignalFileBytes) {
        result.error = FileError::TooLarge;
        return result;
    }
    std::vector<std::uint8_t>& bytes = result.bytes;
    bytes.reserve(ec ? 0 : static_cast<std::size_t>(size));
    // Bytes of the vector's own type, so that appending a chunk is one copy.
    std::array<std::uint8_t, 16384> chunk;
    auto* into = reinterpret_cast<char*>(chunk.data());
    while (file.read(into, chunk.size()) || file.gcount() > 0) {
        const auto n = static_cast<std::size_t>(file.gcount());
        if (n > kMaxSignalFileBytes - bytes.size())
            return {{}, FileError::TooLarge};
        if (n > bytes.capacity() - bytes.size())
            bytes.reserve(
                std::min(kMaxSignalFileBytes, std::max(bytes.size() + n, 2 * bytes.size())));
        bytes.insert(bytes.end(), chunk.data(), chunk.data() + n);
    }
    if (file.bad())
        return {{}, FileError::ReadFailed};
    return result;
}

LoadedSignal unmaskSignal(const std::vector<std::uint8_t>& bytes) {
    LoadedSignal signal;
    signal.byteCount = bytes.size();
    const double half = static_cast<double>(bytes.size()) / 2.0;
    signal.samples = LoadedSamples(static_cast<int>(roundHalfEven(half)));
    signal.decodable = bytes.size() > kDecodableBytes;
    // i <= Len/2 - 2, that is 2i + 4 <= Len: the last byte (the last two of an
    // odd length) is never used.
    for (std::size_t i = 0; 2 * i + 4 <= bytes.size(); ++i) {
        const int m = bytes[2 * i + 1]; // 1-based position 2i + 2
        const int k = bytes[2 * i + 2];
        signal.samples[static_cast<int>(i)] = static_cast<short>(maske_aç(m, k));
    }
    return signal;
}

std::string receivedCountCaption(const LoadedSignal& signal) {
    return "Alınan Örnek Sayısı: " + writeNumber(static_cast<double>(signal.byteCount) / 2.0) +
           " adet";
}

std::string fileErrorCaption(FileError error, std::string_view name) {
    const char* what = error == FileError::TooLarge     ? "Dosya çok büyük: "
                       : error == FileError::ReadFailed ? "Dosya okunamadı: "
                                                        : "Dosya açılamadı: ";
    return what + std::string(name);
}

} // namespace viewer
