#include "crmcontrol/line_decoder.h"

#include "decoding/capture_correction.h"
#include "decoding/running_mean_gate.h"

namespace crmcontrol {

using decoding::BitString;
using decoding::CountedFrame;

LineDecoder::LineDecoder(int lineIndex)
    : member_(lineMember(lineIndex)), decisions_(kCaptureSamples), passes_(kDecoderPasses) {}

std::optional<std::string> LineDecoder::CountedFrameDecoder(std::span<int> CaptureBuffer,
                                                            int ZeroLevel) {
    KeptNumber.clear();
    if (CaptureBuffer.size() < kCaptureSamples)
        return std::nullopt; // not a capture: nothing to decode
    const std::span<int> samples = CaptureBuffer.first(kCaptureSamples);
    if (!decoding::correctAndGate(samples, member_.position, ZeroLevel))
        return std::nullopt;
    decide(samples);
    // The fixed-frame decoder reads the same corrected samples: the bit strings of
    // this run serve it unchanged, and the gate it applies to them again is the
    // one they just passed, so it is not run twice.
    return searchFrames(passes_);
}

std::optional<std::string> LineDecoder::FixedFrameDecoder(std::span<const int> CaptureBuffer) {
    KeptNumber.clear();
    if (CaptureBuffer.size() < kCaptureSamples)
        return std::nullopt;
    const std::span<const int> samples = CaptureBuffer.first(kCaptureSamples);
    if (!decoding::RunningMeanGate::passes(samples))
        return std::nullopt;
    decide(samples);
    return searchFixedFrames(passes_);
}

void LineDecoder::decide(std::span<const int> samples) {
    decisions_.decide(samples);
    passes_.reset(decisions_);
}

std::optional<std::string> LineDecoder::searchFrames(decoding::BitPasses& passes) {
    if (auto number = searchCountedFrames(passes))
        return number;
    if (auto number = searchSingleDataFrames(passes))
        return number;
    return searchFixedFrames(passes);
}

std::optional<std::string> LineDecoder::searchCountedFrames(decoding::BitPasses& passes) {
    KeptNumber.clear();
    for (int pass = 0; pass < static_cast<int>(kDecoderPasses.size()); ++pass) {
        const decoding::PassPlan& plan = kDecoderPasses[pass];
        for (int o = plan.firstOffset; o <= plan.lastOffset; ++o) {
            const BitString& bits = passes.bitPass(pass, o);
            const auto frame =
                decoding::findCountedFrame(bits, kSearchFirst, kSearchLast, kCountedFrameLengths);
            if (!frame || !frame->passesBoundaryChecks())
                continue;
            if (decoding::judgeFrame(*frame, DecodedNumber, KeptNumber).accepted())
                return DecodedNumber;
        }
    }
    return std::nullopt;
}

std::optional<std::string> LineDecoder::searchSingleDataFrames(decoding::BitPasses& passes) {
    KeptNumber.clear();
    for (int pass = 0; pass < static_cast<int>(kDecoderPasses.size()); ++pass) {
        const decoding::PassPlan& plan = kDecoderPasses[pass];
        for (int o = plan.firstOffset; o <= plan.lastOffset; ++o) {
            // The date and time are checked as digits with the number, so that the
            // number is read from where the length character puts it.
            const auto frame = decoding::findSingleDataFrame(passes.bitPass(pass, o), kSearchFirst,
                                                             kSearchLast, kCountedFrameLengths);
            if (!frame)
                continue;
            if (decoding::judgeFrame(frame->number(), DecodedNumber, KeptNumber).accepted())
                return DecodedNumber;
        }
    }
    return std::nullopt;
}

namespace {

// Whether a bit string of the run shows a single-data message: its length
// character followed by the digits it counts, whatever their number. The later
// start offsets begin past it, so a capture is judged by all of its strings.
bool carriesSingleDataMessage(decoding::BitPasses& passes) {
    constexpr decoding::CountedFrameLengths kAnyLength{0, 255 - decoding::kDateTimeCharacters};
    for (int pass = 0; pass < static_cast<int>(kDecoderPasses.size()); ++pass) {
        const decoding::PassPlan& plan = kDecoderPasses[pass];
        for (int o = plan.firstOffset; o <= plan.lastOffset; ++o)
            if (decoding::findSingleDataFrame(passes.bitPass(pass, o), kSearchFirst, kSearchLast,
                                              kAnyLength))
                return true;
    }
    return false;
}

} // namespace

std::optional<std::string> LineDecoder::searchFixedFrames(decoding::BitPasses& passes) {
    using namespace decoding;
    KeptNumber.clear();
    // In a single-data message every run of digits before its checksum begins with
    // the date and time and ends with the number: a fixed frame there would hold
    // some of those, or only part of the number. Its number is taken whole from its
    // length, or not at all. (A capture that begins after the length character
    // shows no single-data message: its digits are searched as ever.)
    if (carriesSingleDataMessage(passes))
        return std::nullopt;
    for (int pass = 0; pass < static_cast<int>(kDecoderPasses.size()); ++pass) {
        const PassPlan& plan = kDecoderPasses[pass];
        for (int o = plan.firstOffset; o <= plan.lastOffset; ++o) {
            const BitString& bits = passes.bitPass(pass, o);
            // A condition that would read past the end of the string is not met:
            // the position sets hold only whole matches.
            // Both conditions need a mark run behind the first digit; most strings
            // of a line without a frame have none, and need no further search.
            const PositionSet markRuns = bits.positionsOf(MarkRunPattern);
            if (markRuns.firstIn(kSearchFirst + kSevenMarkRunAt, kSearchLast + kElevenMarkRunAt) ==
                0)
                continue;
            const PositionSet eleven =
                bits.positionsOf(LeadingZeroDigitPattern) & markRuns.before(kElevenMarkRunAt);
            const PositionSet seven =
                bits.positionsOf(DigitBoundaryPattern).before(kSevenBoundaryAt) &
                markRuns.before(kSevenMarkRunAt);
            const int p = (eleven | seven).firstIn(kSearchFirst, kSearchLast);
            if (p == 0)
                continue;
            // At p <= 20 the frame begins before the string's first character; its
            // first 20 characters are never examined, so it is judged like any other.
            const CountedFrame frame{&bits, p - kFixedFrameLead,
                                     eleven.contains(p) ? kElevenDigits : kSevenDigits};
            if (!frame.passesBoundaryChecks())
                continue;
            if (judgeFrame(frame, DecodedNumber, KeptNumber).accepted())
                return DecodedNumber;
        }
    }
    return std::nullopt;
}

LineDecoders::LineDecoders()
    : lines_{LineDecoder{1}, LineDecoder{2}, LineDecoder{3}, LineDecoder{4},
             LineDecoder{5}, LineDecoder{6}, LineDecoder{7}, LineDecoder{8}} {}

} // namespace crmcontrol
