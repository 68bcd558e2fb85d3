// The bit decision on six-sample windows (two Goertzel bins, 2200 Hz space and
// 1200 Hz mark at 8000 samples per second) and the mark test of one report's
// samples of a line.
#pragma once

#include <array>
#include <string>

namespace signalpath {

// Six consecutive zero-corrected samples, oldest first.
using ToneWindow = std::array<double, 6>;

// Per line: the 16 zero-corrected samples of the latest report, then a copy of
// the 16th. The mark test reads entries 0..15 only.
using DetectionBuffer = std::array<int, 17>;

// Goertzel coefficients 2 cos(2 pi f / 8000): bin 0 near 2192 Hz, bin 1 near 1181 Hz.
inline constexpr std::array<double, 2> kToneCoefficients = {-0.3, 1.2};

// Every working value of one decision, for callers that want to see why.
struct ToneAnalysis {
    std::array<double, 2> magnitude{};  // m(k)
    float maximum = 0.0f;               // M, kept in single precision
    int strongest = 0;                  // K; a tie goes to bin 1
    std::array<double, 2> normalised{}; // n(k) = m(k) / M * 7, or 0 when M is 0
    char bit = '0';
};

// The decision on one window, every step rounded to double in the given order.
ToneAnalysis analyseTone(const ToneWindow& x);

// '1' when the mark bin is the stronger one and the normalised magnitudes differ:
// always analyseTone(x).bit, found without the roots and divisions where the two
// bins are far from a tie.
char toneBit(const ToneWindow& x);

// Trials 0..4, each two windows (entries a..a+5 and a+6..a+11) that both read "1".
int countMarkTrials(const DetectionBuffer& b);

// The kept result: True at 5 trials, False at none, otherwise unchanged.
constexpr bool nextMarkDetected(bool previous, int trials) {
    if (trials >= 5)
        return true;
    if (trials <= 0)
        return false;
    return previous;
}

// The operand and result members of the control's decision: one window and one
// bit string per owner, filled and read around each call.
struct ToneWorkspace {
    signalpath::ToneWindow ToneWindow{};
    std::string BitString;

    // Appends the decision on ToneWindow to BitString.
    void cozucu_g() { BitString += toneBit(ToneWindow); }

    // The mark test of one line: leaves ToneWindow holding entries 10..15 and
    // BitString empty, and updates that line's MarkDetected.
    void DetectMark(const DetectionBuffer& b, bool& markDetected);
};

} // namespace signalpath
