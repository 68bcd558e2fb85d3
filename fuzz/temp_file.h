// A file of the fuzz program's own in the system's temporary folder, rewritten for
// every input and removed when the program ends, for targets whose entry point
// takes a file name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace fuzz {

class TempFile {
public:
    // `suffix` ends the name ("scenario.scn"); the process id keeps parallel
    // runs apart.
    explicit TempFile(const std::string& suffix);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Replaces the file's content with the bytes, then lengthens it to `length`
    // bytes with a hole (zero bytes that take no room) when that is longer.
    void write(std::span<const std::uint8_t> bytes, std::uintmax_t length = 0) const;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace fuzz
