#include "component/line_decoder.h"

#include "decoding/capture_correction.h"
#include "decoding/frames.h"

namespace component {

using decoding::BitString;
using decoding::CountedFrame;

namespace {

constexpr int kLengthBits = 8;
constexpr int kNumberLengthAt = 11;

// The length character's data bits from pos, when all of them are in the string.
std::optional<int> lengthAt(const BitString& bits, int pos) {
    if (pos + kLengthBits - 1 > bits.size())
        return std::nullopt;
    return static_cast<int>(bits.field(pos, kLengthBits));
}

} // namespace

FrameSearch searchFrame(const BitString& bits, int last, int& n) {
    const decoding::PositionSet single = bits.positionsOf(decoding::SdmfHeaderPattern);
    const decoding::PositionSet number = bits.positionsOf(decoding::NumberParameterPattern);
    const decoding::PositionSet either = single | number;
    for (int p = either.firstIn(1, last); p != 0; p = either.firstIn(p + 1, last)) {
        if (single.contains(p)) {
            if (const auto length = lengthAt(bits, p + decoding::kSingleDataLengthAt))
                n = *length - decoding::kDateTimeCharacters;
            // A single-data header ends the search whatever its length says.
            return {CountedFrame{&bits, p + decoding::kSingleDataNumberFrameAt, n}, true};
        }
        if (const auto length = lengthAt(bits, p + kNumberLengthAt))
            n = *length;
        if (n >= kFewestDigits && n <= kMostDigits)
            return {CountedFrame{&bits, p, n}, false};
    }
    return {};
}

std::optional<std::string> readFrame(const FrameSearch& found) {
    if (!found.frame)
        return std::nullopt;
    // A single-data message shorter than its date and time leaves its frame no room
    // for the last digit's tail: the frame has no call.
    const CountedFrame& frame = *found.frame;
    if (frame.n < 0)
        return std::nullopt;
    if (!frame.passesBoundaryChecks())
        return std::nullopt;
    std::string number;
    if (decoding::DigitExtraction(frame, number))
        return std::nullopt;
    return number;
}

LineDecoder::LineDecoder() : decisions_(kCaptureSamples), passes_(kDecoderPasses) {}

std::optional<std::string> LineDecoder::DecodeLineCallerId(std::span<int> CaptureBuffer,
                                                           int position, int ZeroLevel) {
    if (CaptureBuffer.size() < kCaptureSamples)
        return std::nullopt;
    const std::span<int> samples = CaptureBuffer.first(kCaptureSamples);
    if (!decoding::correctAndGate(samples, position, ZeroLevel))
        return std::nullopt;
    decisions_.decide(samples, signalpath::toneBitSingleState);
    passes_.reset(decisions_);
    return searchPasses(passes_);
}

std::optional<std::string> LineDecoder::searchPasses(decoding::BitPasses& passes) {
    int n = 0;
    for (int pass = 0; pass < static_cast<int>(kDecoderPasses.size()); ++pass) {
        const decoding::PassPlan& plan = kDecoderPasses[pass];
        for (int o = plan.firstOffset; o <= plan.lastOffset; ++o) {
            const BitString& bits = passes.bitPass(pass, o);
            const FrameSearch found = searchFrame(bits, plan.lastBit, n);
            // The number is read anew at every offset, so digits of a frame that
            // failed cannot reach the next one.
            if (auto number = readFrame(found))
                return number;
        }
    }
    return std::nullopt;
}

} // namespace component
