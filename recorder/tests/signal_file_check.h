// Reading a signal file back for the recorder's tests (the writer's own layout, not
// the viewer's reader): the serial record, the sample pairs and their values.
#pragma once

#include "recorder/sample_masking.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace recorder::testing {

struct ParsedSignalFile {
    std::string serial;
    std::vector<SamplePair> pairs;
    std::vector<int> samples; // the pairs unmasked
};

// Splits a file into its two records; false with the first fault found in `error`.
inline bool parseSignalFile(std::span<const std::uint8_t> bytes, ParsedSignalFile& out,
                            std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = why;
        return false;
    };
    if (bytes.size() < 8 || bytes[0] != '"')
        return fail("no opening quote of the serial record");
    std::size_t at = 1;
    while (at < bytes.size() && bytes[at] != '"')
        out.serial.push_back(static_cast<char>(bytes[at++]));
    if (bytes.size() - at < 7 || bytes[at] != '"' || bytes[at + 1] != 13 || bytes[at + 2] != 10 ||
        bytes[at + 3] != '"')
        return fail("the serial record does not end in a quote, CR, LF and the next quote");
    at += 4;
    const std::size_t end = bytes.size() - 3;
    if (bytes[end] != '"' || bytes[end + 1] != 13 || bytes[end + 2] != 10)
        return fail("the sample record does not end in a quote, CR, LF");
    if ((end - at) % 2 != 0)
        return fail("the sample record holds an odd number of bytes");
    for (; at < end; at += 2) {
        const SamplePair p{bytes[at], bytes[at + 1]};
        if (p.MaskedSample < SampleFloor || p.MaskKey < MinMaskKey)
            return fail("a byte of the sample record lies below 35 at offset " +
                        std::to_string(at));
        out.pairs.push_back(p);
        out.samples.push_back(UnmaskSample(p.MaskedSample, p.MaskKey));
    }
    return true;
}

} // namespace recorder::testing
