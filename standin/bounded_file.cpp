#include "standin/bounded_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace standin {

FileRead readBoundedFile(const std::string& path, std::uintmax_t maxBytes, std::string& bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status))
        return FileRead::CannotOpen;
    // Checked before opening: opening a FIFO for reading waits for a writer.
    if (!fs::is_regular_file(status))
        return FileRead::NotRegular;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > maxBytes)
        return FileRead::TooLarge;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return FileRead::CannotOpen;
    // One byte beyond the bound tells a file that grew, or that reads without end.
    bytes.clear();
    if (!ec)
        bytes.reserve(static_cast<std::size_t>(size));
    std::array<char, 1 << 14> chunk;
    while (bytes.size() <= maxBytes) {
        const auto want = std::min<std::uintmax_t>(chunk.size(), maxBytes + 1 - bytes.size());
        in.read(chunk.data(), static_cast<std::streamsize>(want));
        bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (!in)
            break;
    }
    if (in.bad())
        return FileRead::CannotRead;
    return bytes.size() > maxBytes ? FileRead::TooLarge : FileRead::Ok;
}

} // namespace standin
