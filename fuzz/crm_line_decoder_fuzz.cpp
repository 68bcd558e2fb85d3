// The CRM control's line decoders on any capture: any line, any zero level, any
// bytes. What must hold:
// - a run raises at most one call, a number of 3 to 13 digits (7 or 11, the
//   first "0", when the fixed-frame decoder raises it by itself), with the line's
//   device serial and position, and only after the host's handler has returned
//   are the other lines staged, exactly those the line's member names;
// - the decoder's result equals a search over bit passes made the long way, so
//   its shortcuts (decisions once per window, passes cut from longer ones) change
//   nothing;
// - a second run of the same capture gives the same calls (nothing of a run
//   survives into the next).
//
// Input: the line index (1..8), the zero level (0..255), whether Device2 is seen,
// then the capture's raw bytes (a shorter capture is padded with zero bytes).
#include "crmcontrol/line_decoder.h"
#include "crmcontrol/tests/recording_sink.h"
#include "decoding/running_mean_gate.h"
#include "fuzz/check.h"
#include "fuzz/decoder_checks.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/literal_bit_passes.h"
#include "signalpath/descramble.h"

#include <vector>

namespace {

using crmcontrol::testing::RecordedCall;
using crmcontrol::testing::RecordingSink;

std::string describe(const std::vector<RecordedCall>& calls) {
    std::string text = std::to_string(calls.size()) + " call(s)";
    for (const auto& c : calls)
        text += " [" + c.serial + " " + c.lineNumber + " " + c.number + "]";
    return text;
}

bool sameCalls(const RecordingSink& a, const RecordingSink& b) {
    if (a.calls.size() != b.calls.size() || a.stagedLines != b.stagedLines)
        return false;
    for (std::size_t i = 0; i < a.calls.size(); ++i)
        if (a.calls[i].number != b.calls[i].number || a.calls[i].serial != b.calls[i].serial ||
            a.calls[i].lineNumber != b.calls[i].lineNumber)
            return false;
    return true;
}

void expectSame(const RecordingSink& got, const RecordingSink& expected, const char* what) {
    fuzz::expect(sameCalls(got, expected), [&] {
        return std::string(what) + ": expected " + describe(expected.calls) + ", got " +
               describe(got.calls);
    });
}

// One raise at most, well formed, with the member's stages set after the handler.
void expectRaise(const RecordingSink& sink, int lineIndex, bool fixedOnly) {
    fuzz::expect(sink.calls.size() <= 1,
                 [&] { return "expected at most one call per run, got " + describe(sink.calls); });
    fuzz::expect(sink.stagedInsideHandler.empty(),
                 [] { return std::string("expected no line staged inside the host's handler"); });
    std::vector<int> staged;
    if (!sink.calls.empty()) {
        const unsigned lines = crmcontrol::linesStagedAfterRaise(lineIndex, sink.Device2Seen);
        for (int k = 1; k <= crmcontrol::kLineCount; ++k)
            if (lines & (1u << k))
                staged.push_back(k);
    }
    fuzz::expect(sink.stagedLines == staged, [&] {
        return "expected " + std::to_string(staged.size()) + " lines staged, got " +
               std::to_string(sink.stagedLines.size());
    });
    if (sink.calls.empty())
        return;
    const RecordedCall& call = sink.calls.front();
    const crmcontrol::LineMember member = crmcontrol::lineMember(lineIndex);
    RecordingSink names;
    fuzz::expect(call.serial == names.deviceSerialNumber(member.device) &&
                     call.lineNumber == std::to_string(member.position),
                 [&] {
                     return "expected device " + std::to_string(member.device) + " line " +
                            std::to_string(member.position) + ", got " + call.serial + " " +
                            call.lineNumber;
                 });
    if (fixedOnly)
        fuzz::expectFixedFrameNumber(call.number);
    else
        fuzz::expectDigits(call.number, decoding::kMinimumNumberDigits,
                           crmcontrol::kCountedFrameLengths.maximum);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const int lineIndex = input.inRange(1, crmcontrol::kLineCount);
    const int zeroLevel = input.byte();
    const bool device2Seen = input.flag();
    std::vector<int> raw(crmcontrol::kCaptureSamples + 1, 0);
    const auto bytes = input.take(crmcontrol::kCaptureSamples);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        raw[i] = bytes[i];

    const crmcontrol::LineMember member = crmcontrol::lineMember(lineIndex);
    std::vector<int> corrected(crmcontrol::kCaptureSamples);
    for (std::size_t i = 0; i < corrected.size(); ++i)
        corrected[i] =
            signalpath::descramble(member.position, static_cast<signalpath::RawSample>(raw[i])) -
            zeroLevel;
    const bool gatePasses = decoding::RunningMeanGate::passes(corrected);

    crmcontrol::LineDecoder decoder(lineIndex);
    RecordingSink first;
    first.Device2Seen = device2Seen;
    std::vector<int> buffer = raw;
    decoder.CountedFrameDecoder(buffer, zeroLevel, first);
    expectRaise(first, lineIndex, false);
    if (gatePasses)
        fuzz::expect(std::equal(corrected.begin(), corrected.end(), buffer.begin()), [] {
            return std::string("expected the capture overwritten with its corrected samples");
        });

    // The same capture again, on the same decoder.
    RecordingSink again;
    again.Device2Seen = device2Seen;
    buffer = raw;
    decoder.CountedFrameDecoder(buffer, zeroLevel, again);
    expectSame(again, first, "a second run of the same capture");

    RecordingSink fixedAlone;
    fixedAlone.Device2Seen = device2Seen;
    decoder.FixedFrameDecoder(corrected, fixedAlone);
    expectRaise(fixedAlone, lineIndex, true);

    if (!gatePasses) {
        fuzz::expect(first.calls.empty() && fixedAlone.calls.empty(), [&] {
            return "expected no call from a capture the gate refuses, got " +
                   describe(first.calls) + " and " + describe(fixedAlone.calls);
        });
        return 0;
    }
    fuzz::LiteralBitPasses literal(crmcontrol::kDecoderPasses, corrected,
                                   signalpath::ToneState::Double);
    crmcontrol::LineDecoder reference(lineIndex);
    RecordingSink expected;
    expected.Device2Seen = device2Seen;
    reference.searchFrames(literal, expected);
    expectSame(first, expected, "the run against passes made the long way");
    RecordingSink expectedFixed;
    expectedFixed.Device2Seen = device2Seen;
    reference.searchFixedFrames(literal, expectedFixed);
    expectSame(fixedAlone, expectedFixed, "the fixed-frame run against passes made the long way");
    return 0;
}
