// The eight members of the control's line decoders differ only in the line they
// serve: its device, its position in the sample group (which also picks the
// descrambler) and the lines whose stage a raise sets.
#pragma once

namespace crmcontrol {

inline constexpr int kLineCount = 8;
inline constexpr int kLinesPerDevice = 4;

struct LineMember {
    int lineIndex = 1; // 1..8
    int device = 1;    // 1 for lines 1-4, 2 for lines 5-8
    int position = 1;  // 1..4: the LineNumber of events and the descrambler's position
};

constexpr LineMember lineMember(int lineIndex) {
    return {lineIndex, lineIndex <= kLinesPerDevice ? 1 : 2, (lineIndex - 1) % kLinesPerDevice + 1};
}

// Bit k set for each LineIndex k whose LineStage a raise on lineIndex sets: every
// other line of Device1, and lines 5 to 8 (but lineIndex itself) when the raise
// is on Device2 or Device2 is seen.
constexpr unsigned linesStagedAfterRaise(int lineIndex, bool device2Seen) {
    unsigned lines = 0;
    const bool device2Lines = lineMember(lineIndex).device == 2 || device2Seen;
    for (int k = 1; k <= kLineCount; ++k)
        if (k != lineIndex && (k <= kLinesPerDevice || device2Lines))
            lines |= 1u << k;
    return lines;
}

} // namespace crmcontrol
