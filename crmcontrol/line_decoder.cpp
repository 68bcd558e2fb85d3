#include "crmcontrol/line_decoder.h"

#include "signalpath/descramble.h"

namespace crmcontrol {

using decoding::BitString;
using decoding::CountedFrame;

LineDecoder::LineDecoder(int lineIndex)
    : member_(lineMember(lineIndex)), decisions_(kCaptureSamples), passes_(kDecoderPasses) {}

void LineDecoder::CountedFrameDecoder(std::span<int> CaptureBuffer, int ZeroLevel,
                                      DecoderSink& sink) {
    KeptNumber.clear();
    if (CaptureBuffer.size() < kCaptureSamples)
        return; // not a capture: nothing to decode
    decoding::RunningMeanGate gate;
    for (int i = 0; i < kCaptureSamples; ++i) {
        const auto raw = static_cast<signalpath::RawSample>(CaptureBuffer[i]);
        const int x = signalpath::descramble(member_.position, raw) - ZeroLevel;
        CaptureBuffer[i] = x;
        if (!gate.admit(x))
            return;
    }
    decide(CaptureBuffer.first(kCaptureSamples));
    // The fixed-frame decoder reads the same corrected samples: the bit strings of
    // this run serve it unchanged, and the gate it applies to them again is the
    // one they just passed, so it is not run twice.
    searchFrames(passes_, sink);
}

void LineDecoder::FixedFrameDecoder(std::span<const int> CaptureBuffer, DecoderSink& sink) {
    KeptNumber.clear();
    if (CaptureBuffer.size() < kCaptureSamples)
        return;
    const std::span<const int> samples = CaptureBuffer.first(kCaptureSamples);
    if (!decoding::RunningMeanGate::passes(samples))
        return;
    decide(samples);
    searchFixedFrames(passes_, sink);
}

void LineDecoder::decide(std::span<const int> samples) {
    decisions_.decide(samples);
    passes_.reset(decisions_);
}

bool LineDecoder::searchFrames(decoding::BitPasses& passes, DecoderSink& sink) {
    return searchCountedFrames(passes, sink) || searchFixedFrames(passes, sink);
}

bool LineDecoder::searchCountedFrames(decoding::BitPasses& passes, DecoderSink& sink) {
    KeptNumber.clear();
    for (int pass = 0; pass < static_cast<int>(kDecoderPasses.size()); ++pass) {
        const decoding::PassPlan& plan = kDecoderPasses[pass];
        for (int o = plan.firstOffset; o <= plan.lastOffset; ++o) {
            const BitString& bits = passes.bitPass(pass, o);
            const auto frame =
                decoding::findCountedFrame(bits, kSearchFirst, kSearchLast, kCountedFrameLengths);
            if (!frame || !frame->passesBoundaryChecks())
                continue;
            if (decoding::judgeFrame(*frame, DecodedNumber, KeptNumber).accepted()) {
                raise(sink);
                return true;
            }
        }
    }
    return false;
}

bool LineDecoder::searchFixedFrames(decoding::BitPasses& passes, DecoderSink& sink) {
    using namespace decoding;
    KeptNumber.clear();
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
            if (judgeFrame(frame, DecodedNumber, KeptNumber).accepted()) {
                raise(sink);
                return true;
            }
        }
    }
    return false;
}

void LineDecoder::raise(DecoderSink& sink) {
    std::string serial = sink.deviceSerialNumber(member_.device);
    std::string lineNumber(1, static_cast<char>('0' + member_.position));
    std::string date = sink.dateText();
    std::string time = sink.timeText();
    sink.OnCallerID(serial, lineNumber, date, time, DecodedNumber);
    // Only after the host's handler has returned, and with Device2Seen as it is now.
    const unsigned lines = linesStagedAfterRaise(member_.lineIndex, sink.device2Seen());
    for (int k = 1; k <= kLineCount; ++k)
        if (lines & (1u << k))
            sink.setLineStage(k);
}

LineDecoders::LineDecoders()
    : lines_{LineDecoder{1}, LineDecoder{2}, LineDecoder{3}, LineDecoder{4},
             LineDecoder{5}, LineDecoder{6}, LineDecoder{7}, LineDecoder{8}} {}

} // namespace crmcontrol
