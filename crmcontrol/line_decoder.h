// The control's two frame decoders of one line: the counted-frame decoder, which
// corrects and gates a capture and looks for the calling-number parameter with
// its length character, then for a single-data message, whose length character
// counts its date and time and the number after them, and the fixed-frame decoder
// it falls back on, which looks for 11-digit numbers beginning with "0" and 7-digit
// numbers followed by a mark run outside single-data messages. Each search takes a
// number only when two successive frames of its run agree, and returns it: the
// control raises it and sets the other lines' stages.
#pragma once

#include "crmcontrol/line_members.h"
#include "decoding/bit_pass.h"
#include "decoding/frames.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace crmcontrol {

// 112 reports of 16 samples.
inline constexpr int kCaptureSamples = 1792;

// Both decoders run the same passes over the capture and search the same
// positions of every bit string.
inline constexpr std::array<decoding::PassPlan, 2> kDecoderPasses = {{
    {decoding::StepPattern776, 0, 9, 266},
    {decoding::StepPattern77775, 0, 66, 256},
}};
inline constexpr int kSearchFirst = 1;
inline constexpr int kSearchLast = 266;
inline constexpr decoding::CountedFrameLengths kCountedFrameLengths{0, 13};

// The fixed frames: n digits whose first digit character starts at p, with the
// condition that picks them; the frame begins 20 characters before p.
inline constexpr int kElevenDigits = 11;
inline constexpr int kSevenDigits = 7;
inline constexpr int kElevenMarkRunAt = 120; // p + 10n + 10
inline constexpr int kSevenBoundaryAt = 5;
inline constexpr int kSevenMarkRunAt = 80;
inline constexpr int kFixedFrameLead = 20;

static_assert(kDecoderPasses[0].lastSample() == 1788);
static_assert(kDecoderPasses[1].lastSample() == 1761);

class LineDecoder {
public:
    explicit LineDecoder(int lineIndex);
    LineDecoder(const LineDecoder&) = delete;
    LineDecoder& operator=(const LineDecoder&) = delete;

    // One run after a capture: CaptureBuffer entries 0..1791 hold raw samples and
    // are overwritten with their zero-corrected values (up to the sample at which
    // the gate fails). Looks for a single-data message when it finds no
    // calling-number parameter, and falls back on the fixed-frame decoder when
    // nothing is found.
    // The number to raise (DecodedNumber), if any. A buffer of fewer than 1,792
    // entries is left alone and yields nothing.
    std::optional<std::string> CountedFrameDecoder(std::span<int> CaptureBuffer, int ZeroLevel);

    // The fixed-frame decoder by itself, over zero-corrected samples 0..1791.
    std::optional<std::string> FixedFrameDecoder(std::span<const int> CaptureBuffer);

    // The frame searches after the gate, over given bit passes (of the plans
    // above); each empties KeptNumber first. The number of the frame accepted. The
    // fixed-frame search finds nothing in a capture that carries a single-data
    // message (one of its strings shows its length character and the digits it
    // counts).
    std::optional<std::string> searchCountedFrames(decoding::BitPasses& passes);
    std::optional<std::string> searchSingleDataFrames(decoding::BitPasses& passes);
    std::optional<std::string> searchFixedFrames(decoding::BitPasses& passes);
    // The counted-frame search, then the single-data one and the fixed-frame one,
    // each only when the one before found nothing.
    std::optional<std::string> searchFrames(decoding::BitPasses& passes);

    const LineMember& member() const { return member_; }

    // The per-line texts of a run: the digits of the last frame that passed the
    // boundary checks, and those of the frame in hand (the number found).
    std::string KeptNumber;
    std::string DecodedNumber;

private:
    void decide(std::span<const int> samples);

    LineMember member_;
    decoding::WindowDecisions decisions_;
    decoding::DecidedBitPasses passes_;
};

// One decoder per LineIndex, as the control holds them.
class LineDecoders {
public:
    LineDecoders();
    LineDecoder& line(int lineIndex) { return lines_[lineIndex - 1]; }

private:
    std::array<LineDecoder, kLineCount> lines_;
};

} // namespace crmcontrol
