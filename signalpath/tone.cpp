#include "signalpath/tone.h"

#include <cmath>

namespace signalpath {

ToneAnalysis analyseTone(const ToneWindow& x) {
    std::array<double, 2> s1{0.0, 0.0};
    std::array<double, 2> s2{0.0, 0.0};
    for (double sample : x) {
        for (int k = 0; k < 2; ++k) {
            const double product = kToneCoefficients[k] * s1[k];
            const double difference = product - s2[k];
            const double s = difference + sample;
            s2[k] = s1[k];
            s1[k] = s;
        }
    }

    ToneAnalysis r;
    for (int k = 0; k < 2; ++k) {
        const double squares = s1[k] * s1[k] + s2[k] * s2[k];
        const double cross = (kToneCoefficients[k] * s1[k]) * s2[k];
        r.magnitude[k] = std::sqrt(squares - cross);
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
