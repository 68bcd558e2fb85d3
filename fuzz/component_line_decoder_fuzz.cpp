// The caller-ID component's line decoder on any capture: any line position, any
// zero level, any bytes. What must hold:
// - a number is digits only: 3 to 13 of a calling-number parameter, or as many as
//   a single-data message's length leaves after its date and time, which the bit
//   string bounds (below);
// - the result equals the search over bit passes made the long way (single-
//   precision tone state, as the component keeps it);
// - a second run of the same capture gives the same result (the digit count that
//   a run keeps from offset to offset does not reach the next run).
//
// Input: the line position (1..4), the zero level (0..255), then the capture's raw
// bytes (a shorter capture is padded with zero bytes).
#include "component/line_decoder.h"
#include "decoding/running_mean_gate.h"
#include "fuzz/check.h"
#include "fuzz/decoder_checks.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/literal_bit_passes.h"
#include "signalpath/descramble.h"

#include <vector>

namespace {

// A single-data frame begins 90 characters behind its header at p >= 1, and its
// last digit's tail ends at frame position 10n + 20; the longest bit string has 730
// characters, so 91 + 10n + 19 <= 730 and n <= 62.
constexpr int kLongestSingleDataNumber = 62;

std::string shown(const std::optional<std::string>& number) {
    return number ? "\"" + *number + "\"" : std::string("no call");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const int position = input.inRange(1, 4);
    const int zeroLevel = input.byte();
    std::vector<int> raw(component::kCaptureSamples + 1, 0);
    const auto bytes = input.take(component::kCaptureSamples);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        raw[i] = bytes[i];

    std::vector<int> corrected(component::kCaptureSamples);
    for (std::size_t i = 0; i < corrected.size(); ++i)
        corrected[i] =
            signalpath::descramble(position, static_cast<signalpath::RawSample>(raw[i])) -
            zeroLevel;
    const bool gatePasses = decoding::RunningMeanGate::passes(corrected);

    component::LineDecoder decoder;
    std::vector<int> buffer = raw;
    const auto number = decoder.DecodeLineCallerId(buffer, position, zeroLevel);
    if (number)
        fuzz::expectDigits(*number, 0, kLongestSingleDataNumber);

    buffer = raw;
    const auto again = decoder.DecodeLineCallerId(buffer, position, zeroLevel);
    fuzz::expect(again == number, [&] {
        return "expected a second run of the same capture to give " + shown(number) + ", got " +
               shown(again);
    });

    if (!gatePasses) {
        fuzz::expect(!number, [&] {
            return "expected no call from a capture the gate refuses, got " + shown(number);
        });
        return 0;
    }
    fuzz::expect(std::equal(corrected.begin(), corrected.end(), buffer.begin()), [] {
        return std::string("expected the capture overwritten with its corrected samples");
    });
    fuzz::LiteralBitPasses literal(component::kDecoderPasses, corrected,
                                   signalpath::ToneState::Single);
    const auto expected = component::LineDecoder::searchPasses(literal);
    fuzz::expect(number == expected, [&] {
        return "expected " + shown(expected) + " (passes made the long way), got " + shown(number);
    });
    return 0;
}
