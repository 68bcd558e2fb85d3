#include "signalpath/tone.h"

#include <cmath>

namespace signalpath {

namespace {

struct BinStates {
    std::array<double, 2> s1{0.0, 0.0};
    std::array<double, 2> s2{0.0, 0.0};
};

BinStates recurrences(const ToneWindow& x) {
    BinStates st;
    for (double sample : x) {
        for (int k = 0; k < 2; ++k) {
            const double product = kToneCoefficients[k] * st.s1[k];
            const double difference = product - st.s2[k];
            const double s = difference + sample;
            st.s2[k] = st.s1[k];
            st.s1[k] = s;
        }
    }
    return st;
}

// The squared magnitude of bin k, the quantity under the root.
double squaredMagnitude(const BinStates& st, int k) {
    const double squares = st.s1[k] * st.s1[k] + st.s2[k] * st.s2[k];
    const double cross = (kToneCoefficients[k] * st.s1[k]) * st.s2[k];
    return squares - cross;
}

} // namespace

ToneAnalysis analyseTone(const ToneWindow& x) {
    const BinStates st = recurrences(x);
    ToneAnalysis r;
    for (int k = 0; k < 2; ++k) {
        r.magnitude[k] = std::sqrt(squaredMagnitude(st, k));
        if (r.magnitude[k] >= static_cast<double>(r.maximum)) {
            r.maximum = static_cast<float>(r.magnitude[k]);
            r.strongest = k;
        }
    }
    if (r.maximum != 0.0f) {
        for (int k = 0; k < 2; ++k)
            r.normalised[k] = (r.magnitude[k] / static_cast<double>(r.maximum)) * 7.0;
    }
    r.bit = (r.normalised[0] == r.normalised[1]) ? '0' : static_cast<char>('0' + r.strongest);
    return r;
}

char toneBit(const ToneWindow& x) {
    // When the squared magnitudes differ by more than 2^-20 of the space bin's,
    // the magnitudes differ by far more than the rounding of the single-precision
    // maximum and of the divisions: the space bin keeps the maximum ("0"), or the
    // mark bin takes it with a normalised magnitude that cannot equal the other
    // ("1"). Only near a tie, or for a space bin too small for single precision,
    // does the decision need every step.
    constexpr double kMargin = 0x1p-20;
    constexpr double kSmallest = 1e-30;
    const BinStates st = recurrences(x);
    const double q0 = squaredMagnitude(st, 0);
    const double q1 = squaredMagnitude(st, 1);
    if (q0 > kSmallest) {
        if (q1 < q0 * (1.0 - kMargin))
            return '0';
        if (q1 > q0 * (1.0 + kMargin))
            return '1';
    }
    return analyseTone(x).bit;
}

namespace {

ToneWindow windowAt(const DetectionBuffer& b, int first) {
    ToneWindow w;
    for (int j = 0; j < 6; ++j)
        w[j] = b[first + j];
    return w;
}

} // namespace

int countMarkTrials(const DetectionBuffer& b) {
    int count = 0;
    for (int a = 0; a <= 4; ++a) {
        if (toneBit(windowAt(b, a)) == '1' && toneBit(windowAt(b, a + 6)) == '1')
            ++count;
    }
    return count;
}

void ToneWorkspace::DetectMark(const DetectionBuffer& b, bool& markDetected) {
    BitString.clear();
    markDetected = nextMarkDetected(markDetected, countMarkTrials(b));
    // The last window the trials examined stays in the workspace.
    ToneWindow = windowAt(b, 4 + 6);
}

} // namespace signalpath
