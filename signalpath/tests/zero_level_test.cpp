// A device's zero levels: the calibration report's means stand for lines at rest;
// lines that swing then (a ring, a step) get their resting levels once at rest.
#include "signalpath/zero_level.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

namespace signalpath {
namespace {

// A line's sample value at sample n (8000 a second); report r holds n = 16r .. 16r + 15.
using Line = std::function<double(long n)>;

constexpr double kPi = std::numbers::pi;

double ring(long n, double amplitude, long phase = 0) {
    return amplitude * std::sin(2 * kPi * 20.0 * double(n + phase) / 8000.0);
}

// Reproducible noise, uniform in [-width, width].
double noise(long n, double width) {
    std::uint32_t x = static_cast<std::uint32_t>(n) * 2654435761u + 12345u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return width * (2.0 * (x % 10001) / 10000.0 - 1.0);
}

// Continuous-phase tones of 1200 and 2200 Hz, 1200 baud, alternating every bit as a
// caller-ID burst's seizure does, at peak 48.
double seizure(long n) {
    static const std::vector<double> values = [] {
        std::vector<double> v(40000);
        double phase = 0;
        for (std::size_t i = 0; i < v.size(); ++i) {
            v[i] = 48.0 * std::sin(phase);
            phase += 2 * kPi * ((i * 3 / 20) % 2 ? 1200.0 : 2200.0) / 8000.0;
        }
        return v;
    }();
    return values.at(static_cast<std::size_t>(n));
}

// The report whose first sample is 16r: `line` at position 1, 100 + 10p at the others.
std::array<RawSample, 64> report(long r, const Line& line) {
    std::array<RawSample, 64> out{};
    for (int g = 0; g < kSampleGroups; ++g)
        for (int p = 1; p <= kLinePositions; ++p) {
            const double v = p == 1 ? line(16 * r + g) : 100.0 + 10 * p;
            const long clipped = std::clamp<long>(std::lround(v), 0, 255);
            out[static_cast<std::size_t>(4 * g + p - 1)] =
                scramble(p, static_cast<SampleValue>(clipped));
        }
    return out;
}

TEST(ZeroLevelCalibration, LinesAtRestKeepTheCalibrationReportsLevel) {
    struct Case {
        const char* name;
        Line line;
        int level; // the calibration report's mean
    };
    const Case cases[] = {
        {"a steady level", [](long) { return 131.0; }, 131},
        {"a half to the even neighbour", [](long n) { return n % 2 ? 126.0 : 125.0; }, 126},
        {"noise of rms 8", [](long n) { return 128.0 + noise(n, 14.0); }, -1},
        {"a caller-ID burst from the second report",
         [](long n) { return 128.0 + (n >= 16 ? seizure(n - 16) : 0.0); }, 128},
        {"a ring after the first span",
         [](long n) { return 128.0 + (n >= 512 ? ring(n, 100) : 0.0); }, 128},
    };
    for (const Case& c : cases) {
        ZeroLevelCalibration calibration;
        std::array<int, 4> levels{};
        calibration.calibrate(report(0, c.line), levels);
        const int calibrated = levels[0];
        if (c.level >= 0) {
            EXPECT_EQ(calibrated, c.level) << c.name;
        }
        EXPECT_EQ(levels[1], 120) << c.name;
        for (long r = 1; r < 31; ++r) {
            calibration.follow(report(r, c.line), levels);
            ASSERT_TRUE(calibration.following(1)) << c.name << ": report " << r;
        }
        // The span of 32 reports that began with the calibration report is complete.
        calibration.follow(report(31, c.line), levels);
        EXPECT_FALSE(calibration.following()) << c.name;
        for (long r = 32; r < 2000; ++r)
            calibration.follow(report(r, c.line), levels);
        EXPECT_EQ(levels[0], calibrated) << c.name;
        EXPECT_EQ(levels, (std::array<int, 4>{calibrated, 120, 130, 140})) << c.name;
    }
}

// A line that rings (or steps to another level) over the first span keeps the level it
// was calibrated at while it swings, and takes its resting level within 136 ms (two
// spans and a block) after it comes to rest; the other lines keep theirs.
TEST(ZeroLevelCalibration, ASwingingLineTakesItsRestingLevelOnceAtRest) {
    struct Case {
        const char* name;
        Line line;
        long restFrom; // the sample from which the line is at rest
        int resting;
    };
    const Case cases[] = {
        {"a ring at its crest", [](long n) { return 128.0 + (n < 8000 ? ring(n, 100, 100) : 0.0); },
         8000, 128},
        {"a ring at its trough",
         [](long n) { return 131.0 + (n < 8000 ? ring(n, 100, 300) : 0.0); }, 8000, 131},
        {"a ring clipped at both ends",
         [](long n) { return 126.0 + (n < 4000 ? ring(n, 200, 100) : 0.0); }, 4000, 126},
        {"a small ring over noise",
         [](long n) { return 124.0 + noise(n, 2.0) + (n < 4000 ? ring(n, 6, 100) : 0.0); }, 4000,
         124},
        {"a step", [](long n) { return n < 256 ? 128.0 : 140.0; }, 256, 140},
    };
    for (const Case& c : cases) {
        ZeroLevelCalibration calibration;
        std::array<int, 4> levels{};
        calibration.calibrate(report(0, c.line), levels);
        const int calibrated = levels[0];
        const long restReport = (c.restFrom + 15) / 16;
        long r = 1;
        for (; r < restReport; ++r) {
            calibration.follow(report(r, c.line), levels);
            ASSERT_EQ(levels[0], calibrated) << c.name << ": report " << r;
        }
        ASSERT_TRUE(calibration.following(1)) << c.name;
        for (; r < restReport + 68 && levels[0] == calibrated; ++r)
            calibration.follow(report(r, c.line), levels);
        EXPECT_EQ(levels[0], c.resting) << c.name << ": by report " << r;
        EXPECT_FALSE(calibration.following()) << c.name;
        EXPECT_EQ(levels, (std::array<int, 4>{c.resting, 120, 130, 140})) << c.name;
    }
}

TEST(ZeroLevelCalibration, ALineThatNeverRestsKeepsItsLevelAndCalibrationStartsAfresh) {
    const Line ringing = [](long n) { return 128.0 + ring(n, 100, 100); };
    ZeroLevelCalibration calibration;
    std::array<int, 4> levels{};
    calibration.calibrate(report(0, ringing), levels);
    const int calibrated = levels[0];
    EXPECT_NE(calibrated, 128);
    for (long r = 1; r < 5000; ++r)
        calibration.follow(report(r, ringing), levels);
    EXPECT_EQ(levels[0], calibrated);
    EXPECT_TRUE(calibration.following(1));
    EXPECT_FALSE(calibration.following(2));

    // Calibrated again on a line at rest: its level, and nothing followed after a span.
    const Line quiet = [](long) { return 129.0; };
    calibration.calibrate(report(0, quiet), levels);
    EXPECT_EQ(levels[0], 129);
    for (long r = 1; r < 32; ++r)
        calibration.follow(report(r, quiet), levels);
    EXPECT_FALSE(calibration.following());
}

} // namespace
} // namespace signalpath
