#include "signalpath/tone.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace signalpath {
namespace {

struct WindowCase {
    const char* name;
    ToneWindow window;
    char bit;
};

const WindowCase kWindows[] = {
    {"six zeros", {0, 0, 0, 0, 0, 0}, '0'},
    {"37 first", {37, 0, 0, 0, 0, 0}, '0'},
    {"37 last", {0, 0, 0, 0, 0, 37}, '0'},
    {"constant", {10, 10, 10, 10, 10, 10}, '0'},
    {"1200 Hz from phase 0", {0, 81, 95, 31, -59, -100}, '1'},
    {"1200 Hz next window", {-59, 31, 95, 81, 0, -81}, '1'},
    {"2200 Hz from phase 0", {0, 99, -31, -89, 59, 71}, '0'},
    {"2200 Hz next window", {-81, -45, 95, 16, -100, 16}, '0'},
    {"float rounding tie", {0, 0, 0, 255, 0, 0}, '1'},
};

TEST(ToneDecision, WindowsGiveTheListedBit) {
    for (const auto& c : kWindows)
        EXPECT_EQ(toneBit(c.window), c.bit) << c.name;
}

TEST(ToneDecision, WorkingValuesOfTheEdgeWindows) {
    const auto zeros = analyseTone({0, 0, 0, 0, 0, 0});
    EXPECT_EQ(zeros.maximum, 0.0f);

    for (const ToneWindow& w : {ToneWindow{37, 0, 0, 0, 0, 0}, ToneWindow{0, 0, 0, 0, 0, 37}}) {
        const auto r = analyseTone(w);
        EXPECT_EQ(r.magnitude[0], 37.0);
        EXPECT_EQ(r.magnitude[1], 37.0);
    }

    const auto constant = analyseTone({10, 10, 10, 10, 10, 10});
    EXPECT_NEAR(constant.magnitude[0], 11.86, 0.01);
    EXPECT_NEAR(constant.magnitude[1], 7.87, 0.01);

    // Bin 0 is one rounding step above 255, bin 1 exactly 255: the float maximum
    // rounds to 255, so bin 1 takes it and the normalised values still differ.
    const auto tie = analyseTone({0, 0, 0, 255, 0, 0});
    EXPECT_EQ(tie.magnitude[0], std::nextafter(255.0, 256.0));
    EXPECT_EQ(tie.magnitude[1], 255.0);
    EXPECT_EQ(tie.maximum, 255.0f);
    EXPECT_EQ(tie.strongest, 1);
    EXPECT_GT(tie.normalised[0], 7.0);
    EXPECT_EQ(tie.normalised[1], 7.0);
}

TEST(ToneDecision, WorkspaceAppendsOneCharacterPerCall) {
    ToneWorkspace ws;
    ws.ToneWindow = {0, 81, 95, 31, -59, -100};
    ws.cozucu_g();
    ws.ToneWindow = {0, 99, -31, -89, 59, 71};
    ws.cozucu_g();
    EXPECT_EQ(ws.BitString, "10");
}

TEST(ToneDecision, ShortCutAgreesWithEveryStep) {
    // Impulses, pairs of impulses and constants put the two bins at or near a tie;
    // random windows of several sizes cover the rest.
    std::vector<ToneWindow> windows;
    for (int j = 0; j < 6; ++j)
        for (int v = -255; v <= 255; ++v) {
            ToneWindow w{};
            w[j] = v;
            windows.push_back(w);
            for (int i = 0; i < 6; ++i) {
                ToneWindow pair = w;
                pair[i] += 37;
                windows.push_back(pair);
            }
            windows.push_back({double(v), double(v), double(v), double(v), double(v), double(v)});
        }
    std::mt19937 rng(11);
    for (int span : {3, 20, 120, 511})
        for (int n = 0; n < 100000; ++n) {
            ToneWindow w;
            for (double& x : w)
                x = static_cast<int>(rng() % static_cast<unsigned>(span)) - span / 2;
            windows.push_back(w);
        }
    for (const ToneWindow& w : windows)
        ASSERT_EQ(toneBit(w), analyseTone(w).bit)
            << w[0] << " " << w[1] << " " << w[2] << " " << w[3] << " " << w[4] << " " << w[5];
}

constexpr DetectionBuffer kMark = {0,  81, 95,  31,  -59, -100, -59, 31, 95,
                                   81, 0,  -81, -95, -31, 59,   100, 0};
constexpr DetectionBuffer kSpace = {0,  99,   -31, -89, 59,  71,  -81, -45, 95,
                                    16, -100, 16,  95,  -45, -81, 71,  0};
constexpr DetectionBuffer kSilence = {};

DetectionBuffer partialMark() {
    // Mark in the first twelve entries, silence after: only the early trials see "11".
    DetectionBuffer b = kMark;
    for (int i = 12; i < 17; ++i)
        b[i] = 0;
    return b;
}

struct MarkCase {
    const char* name;
    DetectionBuffer buffer;
    bool before;
    bool after;
};

TEST(DetectMark, KeepsItsResultUnlessAllOrNoTrialsSeeTheMark) {
    const MarkCase cases[] = {
        {"mark, was false", kMark, false, true},
        {"mark, was true", kMark, true, true},
        {"space, was true", kSpace, true, false},
        {"silence, was true", kSilence, true, false},
        {"partial, was true", partialMark(), true, true},
        {"partial, was false", partialMark(), false, false},
    };
    for (const auto& c : cases) {
        ToneWorkspace ws;
        ws.BitString = "leftover";
        bool mark = c.before;
        ws.DetectMark(c.buffer, mark);
        EXPECT_EQ(mark, c.after) << c.name;
        EXPECT_TRUE(ws.BitString.empty()) << c.name;
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(ws.ToneWindow[j], c.buffer[10 + j]) << c.name << " window entry " << j;
    }
    EXPECT_EQ(countMarkTrials(kMark), 5);
    EXPECT_EQ(countMarkTrials(kSpace), 0);
    EXPECT_EQ(countMarkTrials(kSilence), 0);
    const int partial = countMarkTrials(partialMark());
    EXPECT_TRUE(partial >= 1 && partial <= 4) << "expected a partial count, got " << partial;
}

TEST(DetectMark, NeverReadsEntry16) {
    for (DetectionBuffer b : {kMark, kSpace, partialMark()}) {
        const int before = countMarkTrials(b);
        for (int v : {-255, 0, 255}) {
            b[16] = v;
            EXPECT_EQ(countMarkTrials(b), before);
        }
    }
}

} // namespace
} // namespace signalpath
