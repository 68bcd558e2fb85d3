// The zero levels of one device's four lines, as the CRM control, the recorder and the
// caller-ID component take them. A line's zero level is its resting level. Calibration
// takes it from one report, the mean of the line's 16 sample values, which is right for
// a line at rest; but a line that rings then gives a point of the ring's swing, and a
// 2 ms report of a 20 Hz ring looks level. Every level calibration took is therefore
// held to the reports that follow: a line at rest over the span that begins with the
// calibration report keeps its level; a line found swinging there takes its level from
// a later span once it has come to rest, so its next call is read around it.
#pragma once

#include "signalpath/descramble.h"

#include <array>
#include <span>

namespace signalpath {

// One report's 16 sample groups after its report id: group g holds the raw bytes of
// line positions 1 to 4 at 4g to 4g + 3.
inline constexpr int kSampleGroups = 16;
using ReportSamples = std::span<const RawSample, kSampleGroups * kLinePositions>;

// The mean of `count` sample values from their sum, to the nearest integer, halves to
// the even neighbour.
constexpr int roundedMean(int sum, int count) {
    int q = sum / count;
    const int twiceRest = 2 * (sum % count);
    if (twiceRest > count || (twiceRest == count && q % 2 != 0))
        ++q;
    return q;
}
static_assert(roundedMean(2008, 16) == 126 && roundedMean(1992, 16) == 124 &&
              roundedMean(25, 16) == 2 && roundedMean(8, 16) == 0);

// A line is followed over blocks of 4 reports (8 ms, 64 samples: long enough to average
// out the line's noise and a caller-ID burst's tones, short beside a ring's 50 ms
// period) and judged over spans of the latest 8 blocks (64 ms, so a whole ring period
// wherever it starts).
inline constexpr int kLevelBlockReports = 4;
inline constexpr int kLevelBlockSamples = kLevelBlockReports * kSampleGroups;
inline constexpr int kRestSpanBlocks = 8;
// At rest over a span: its block means lie within this many sample values of each
// other. A ring swings by tens or hundreds; a quiet line's noise and a caller-ID burst
// (whose block means stay within about 3 of the level) are well inside it.
inline constexpr int kRestSwing = 8;

class ZeroLevelCalibration {
public:
    using Levels = std::span<int, kLinePositions>;

    // Calibration: each line's level (position p at levels[p - 1]) from this one report,
    // and every line followed from it on.
    void calibrate(ReportSamples report, Levels levels);

    // The device's next report. Once the span that began with the calibration report is
    // complete, each line at rest over it is no longer followed and keeps its level; a
    // line swinging there is followed span by span (sliding by a block) until it has
    // been at rest over two whole spans in a row; the mean of the second becomes its
    // level.
    void follow(ReportSamples report, Levels levels);

    // Whether a line (any, or position p) is still followed.
    bool following() const;
    bool following(int position) const { return lines_[position - 1].followed; }

private:
    struct Line {
        bool followed = false;
        bool swinging = false; // not at rest over the first span
        int spansAtRest = 0;   // spans (a block apart) at rest since the last swinging one
        std::array<int, kRestSpanBlocks> blocks{}; // sample sums of the latest blocks
        int blockSum = 0;                          // of the block being filled
    };

    static int reportSum(ReportSamples report, int position);

    std::array<Line, kLinePositions> lines_{};
    int reportsInBlock_ = 0;
    int blocksDone_ = 0; // since calibration, up to a span's
    int nextBlock_ = 0;  // where the block being filled goes in `blocks`
};

} // namespace signalpath
