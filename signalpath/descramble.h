// The device scrambles each line's byte by its position in the sample group;
// these turn a raw byte back into the line's sample value (and, for the stand-in,
// the other way round).
#pragma once

#include <cstdint>
#include <string>

namespace signalpath {

using RawSample = std::uint8_t;
using SampleValue = std::uint8_t;

// Position 1..4 of a byte inside its sample group; it alone selects the scrambling.
constexpr int kLinePositions = 4;

// The bits each position inverts before the device swaps the byte's nibbles.
constexpr std::uint8_t lineMask(int position) {
    constexpr std::uint8_t masks[kLinePositions] = {0xAA, 0x1F, 0x3C, 0xF8};
    return masks[position - 1];
}

// Sample value of raw byte r at position 1..4: the nibbles of (r XOR mask) exchanged.
constexpr SampleValue descramble(int position, RawSample r) {
    const unsigned y = r ^ lineMask(position);
    return static_cast<SampleValue>(((y & 0x0F) << 4) | (y >> 4));
}

// The raw byte the device sends for sample value v at position 1..4.
constexpr RawSample scramble(int position, SampleValue v) {
    const unsigned swapped = ((v & 0x0F) << 4) | (v >> 4);
    return static_cast<RawSample>(swapped ^ lineMask(position));
}

// The four named operations of the control; each hands its result back as
// decimal text, as the control's callers expect before they subtract a zero level.
std::string cozucu_3A(RawSample r);
std::string cozucu_3B(RawSample r);
std::string cozucu_3C(RawSample r);
std::string cozucu_3D(RawSample r);

} // namespace signalpath
