#include "fuzz/temp_file.h"

#include "fuzz/check.h"

#include <fstream>
#include <unistd.h>

namespace fuzz {

TempFile::TempFile(const std::string& suffix)
    : path_(std::filesystem::temp_directory_path() /
            ("norvellix-fuzz-" + std::to_string(::getpid()) + "-" + suffix)) {}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

void TempFile::write(std::span<const std::uint8_t> bytes, std::uintmax_t length) const {
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out)
            fail("cannot write the input to " + path_.string());
    }
    if (length > bytes.size())
        std::filesystem::resize_file(path_, length);
}

} // namespace fuzz
