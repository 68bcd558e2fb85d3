// A JPEG picture decoded with libjpeg from bytes in memory (a resource of the
// library), kept as top-down 24-bit BGR rows ready for a device-independent bitmap.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace adapter {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr; // rows of width * 3 bytes padded to four bytes
    int stride() const noexcept { return (width * 3 + 3) & ~3; }
};

class JpegError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws JpegError with libjpeg's own message for data that is no JPEG or is cut short.
Picture decodeJpeg(std::span<const std::uint8_t> jpeg);

} // namespace adapter
