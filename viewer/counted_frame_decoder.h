// cozucu_tel: the counted-frame decoder on a stored signal. It slices the decode
// window as the control slices a capture, without the control's amplitude gate,
// over its own offsets and bit counts, and reports the number with the start
// offset and the pass (bit timing) of the frame that was accepted.
#pragma once

#include "decoding/bit_pass.h"
#include "decoding/frames.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace viewer {

// Both passes run offsets 0..66 with 258 bits.
inline constexpr std::array<decoding::PassPlan, 2> kCountedFramePasses = {{
    {decoding::StepPattern776, 0, 66, 257},
    {decoding::StepPattern77775, 0, 66, 257},
}};
inline constexpr int kCountedSearchFirst = 1;
inline constexpr int kCountedSearchLast = 266;
inline constexpr decoding::CountedFrameLengths kCountedFrameLengths{0, 13};
// Only these window cells are read.
inline constexpr int kCountedFrameSamples = kCountedFramePasses[0].lastSample() + 1;

static_assert(kCountedFramePasses[0].lastSample() == 1785);
static_assert(kCountedFramePasses[1].lastSample() == 1768);

struct CountedFrameResult {
    std::string number;
    int offset = 0; // "Kafa"
    int pass = 0;   // "BR"

    // "Tel No: <number> Kafa: <offset> BR: <pass>".
    std::string text() const;
};

class CountedFrameDecoder {
public:
    CountedFrameDecoder();

    // One call over the decode window (at least kCountedFrameSamples values): the
    // first frame that agrees with the one before it, or none.
    std::optional<CountedFrameResult> cozucu_tel(std::span<const double> window);

    // The digits of the last frame of the call that passed the boundary checks,
    // and those of the frame in hand.
    std::string KeptNumber;
    std::string DecodedNumber;

private:
    decoding::WindowDecisions decisions_;
    decoding::DecidedBitPasses passes_;
};

} // namespace viewer
