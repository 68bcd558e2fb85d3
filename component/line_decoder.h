// The caller-ID component's decoder of one line's capture: the counted-frame
// search over longer bit strings and more start offsets, which also takes the
// single-data message (its date and time skipped), and raises the first frame
// that passes the checks.
#pragma once

#include "decoding/bit_pass.h"
#include "decoding/bit_string.h"
#include "decoding/frames.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace component {

// 305 reports of 16 samples per line.
inline constexpr int kCaptureReports = 305;
inline constexpr int kCaptureSamples = kCaptureReports * 16;

// Each pass searches every position of its bit strings but the last.
inline constexpr std::array<decoding::PassPlan, 2> kDecoderPasses = {{
    {decoding::StepPattern776, 0, 10, 729},
    {decoding::StepPattern77775, 0, 67, 728},
}};
static_assert(kDecoderPasses[0].lastSample() < kCaptureSamples);
static_assert(kDecoderPasses[1].lastSample() < kCaptureSamples);

// Calling-number parameters of 3 to 13 digits are taken; others are passed over.
inline constexpr int kFewestDigits = 3;
inline constexpr int kMostDigits = 13;

// What one frame search of a bit string found. The digit count of the last complete
// length character stays in `n` across the start offsets of a run.
struct FrameSearch {
    std::optional<decoding::CountedFrame> frame;
    bool singleData = false;
};

// The search at positions 1..last of `bits`; `n` is the run's digit count.
FrameSearch searchFrame(const decoding::BitString& bits, int last, int& n);

// The digits of a frame that passes the boundary checks and has no digit above 9.
std::optional<std::string> readFrame(const FrameSearch& found);

class LineDecoder {
public:
    LineDecoder();
    LineDecoder(const LineDecoder&) = delete;
    LineDecoder& operator=(const LineDecoder&) = delete;

    // One run over a line's capture at line position 1..4: entries 0..4,879 hold raw
    // samples and are overwritten with zero-corrected ones (up to the sample at which
    // the gate fails). The number of the first frame that passes, if any. A buffer of
    // fewer entries is left alone and yields nothing.
    std::optional<std::string> DecodeLineCallerId(std::span<int> CaptureBuffer, int position,
                                                  int ZeroLevel);

    // The search after the gate, over given bit passes of the plans above.
    static std::optional<std::string> searchPasses(decoding::BitPasses& passes);

private:
    decoding::WindowDecisions decisions_;
    decoding::DecidedBitPasses passes_;
};

} // namespace component
