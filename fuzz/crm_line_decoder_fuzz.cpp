// The CRM control's line decoders on any capture: any line, any zero level, any
// bytes. What must hold:
// - a run finds at most one number, of 3 to 13 digits (7 or 11, the first "0",
//   when the fixed-frame decoder finds it by itself); the control raises it (its
//   serial, position and the other lines' stages are the control's, which the
//   control's fuzz target and tests check);
// - the decoder's result equals a search over bit passes made the long way, so
//   its shortcuts (decisions once per window, passes cut from longer ones) change
//   nothing;
// - a second run of the same capture finds the same (nothing of a run survives
//   into the next).
//
// Input: the line index (1..8), the zero level (0..255), whether Device2 is seen
// (read and unused since the decoder no longer raises, so that the inputs found
// before keep their meaning), then the capture's raw bytes (a shorter capture is
// padded with zero bytes).
#include "crmcontrol/line_decoder.h"
#include "decoding/running_mean_gate.h"
#include "fuzz/check.h"
#include "fuzz/decoder_checks.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/literal_bit_passes.h"
#include "signalpath/descramble.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using Found = std::optional<std::string>;

std::string describe(const Found& found) {
    return found ? "\"" + *found + "\"" : std::string("no number");
}

void expectSame(const Found& got, const Found& expected, const char* what) {
    fuzz::expect(got == expected, [&] {
        return std::string(what) + ": expected " + describe(expected) + ", got " + describe(got);
    });
}

void expectNumber(const Found& found, bool fixedOnly) {
    if (!found)
        return;
    if (fixedOnly)
        fuzz::expectFixedFrameNumber(*found);
    else
        fuzz::expectDigits(*found, decoding::kMinimumNumberDigits,
                           crmcontrol::kCountedFrameLengths.maximum);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const int lineIndex = input.inRange(1, crmcontrol::kLineCount);
    const int zeroLevel = input.byte();
    (void)input.flag(); // Device2Seen: the raise's, no longer the decoder's
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
    std::vector<int> buffer = raw;
    const Found first = decoder.CountedFrameDecoder(buffer, zeroLevel);
    expectNumber(first, false);
    if (gatePasses)
        fuzz::expect(std::equal(corrected.begin(), corrected.end(), buffer.begin()), [] {
            return std::string("expected the capture overwritten with its corrected samples");
        });

    // The same capture again, on the same decoder.
    buffer = raw;
    expectSame(decoder.CountedFrameDecoder(buffer, zeroLevel), first,
               "a second run of the same capture");

    const Found fixedAlone = decoder.FixedFrameDecoder(corrected);
    expectNumber(fixedAlone, true);

    if (!gatePasses) {
        fuzz::expect(!first && !fixedAlone, [&] {
            return "expected no number from a capture the gate refuses, got " + describe(first) +
                   " and " + describe(fixedAlone);
        });
        return 0;
    }
    fuzz::LiteralBitPasses literal(crmcontrol::kDecoderPasses, corrected,
                                   signalpath::ToneState::Double);
    crmcontrol::LineDecoder reference(lineIndex);
    expectSame(first, reference.searchFrames(literal), "the run against passes made the long way");
    expectSame(fixedAlone, reference.searchFixedFrames(literal),
               "the fixed-frame run against passes made the long way");
    return 0;
}
