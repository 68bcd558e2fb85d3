// WAV files as bytes, for the stand-in's tests and the fuzz seeds: the RIFF
// header, a 16-byte format chunk with the given fields, and the data chunk.
#pragma once

#include <cstdint>
#include <vector>

namespace standin::testing {

inline std::vector<std::uint8_t> wavBytes(std::uint16_t format, std::uint16_t channels,
                                          std::uint32_t rate, std::uint16_t bits,
                                          const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> b;
    auto put = [&](const void* p, std::size_t n) {
        const auto* c = static_cast<const std::uint8_t*>(p);
        b.insert(b.end(), c, c + n);
    };
    auto u32 = [&](std::uint32_t v) { put(&v, 4); }; // the test hosts are little-endian
    auto u16 = [&](std::uint16_t v) { put(&v, 2); };
    put("RIFF", 4);
    u32(static_cast<std::uint32_t>(36 + data.size()));
    put("WAVEfmt ", 8);
    u32(16);
    u16(format);
    u16(channels);
    u32(rate);
    u32(rate * channels * bits / 8);
    u16(static_cast<std::uint16_t>(channels * bits / 8));
    u16(bits);
    put("data", 4);
    u32(static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

} // namespace standin::testing
