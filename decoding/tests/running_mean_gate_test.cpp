#include "decoding/running_mean_gate.h"

#include <gtest/gtest.h>
#include <vector>

namespace decoding {
namespace {

// Index of the first sample at which the gate fails, or -1 when it passes.
int failingSample(const std::vector<int>& xs) {
    RunningMeanGate gate;
    for (std::size_t i = 0; i < xs.size(); ++i)
        if (!gate.admit(xs[i]))
            return static_cast<int>(i);
    return -1;
}

TEST(RunningMeanGate, FailsAtTheFirstSampleWhoseMeanIsBelowFive) {
    struct Case {
        const char* name;
        std::vector<int> samples;
        int fails;
    };
    std::vector<int> steady(1792, 5);
    std::vector<int> dip = steady;
    dip[1000] = 0; // one sample lower: (15 + 5000) / 1001 is still above 5
    std::vector<int> quietEnd(2000, 6);
    for (std::size_t i = 1500; i < quietEnd.size(); ++i)
        quietEnd[i] = 0;
    const Case cases[] = {
        {"zeros: the start credit carries three tests", std::vector<int>(10, 0), 3},
        {"mean exactly 5 passes", steady, -1},
        {"negative samples count by their size", std::vector<int>(1792, -5), -1},
        {"three zeros, then 5 keeps the mean at 5", {0, 0, 0, 5, 100}, -1},
        {"three zeros, then 4 is too little", {0, 0, 0, 4, 100}, 3},
        {"one sample dip survives", dip, -1},
        {"fades out: (15 + 9000) / 1804 is the first mean below 5", quietEnd, 1803},
        {"empty", {}, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(failingSample(c.samples), c.fails) << c.name;
}

TEST(RunningMeanGate, SumAndMeanAreSinglePrecision) {
    // 2^24 + 1 is not a float: the single-precision sum stays at 2^24 after
    // adding 1, so the mean falls below 5 earlier than exact arithmetic would.
    // Exactly, (2^24 + i + 1) / (i + 1) >= 5 up to i = 4194303; in single precision
    // the sum sticks at 2^24 and the mean drops below 5 at i = 3355443.
    RunningMeanGate gate({16777216.0f, 5.0f});
    for (int i = 0; i < 3355443; ++i)
        ASSERT_TRUE(gate.admit(1)) << "i = " << i;
    EXPECT_FALSE(gate.admit(1));
}

TEST(RunningMeanGate, WholeSpanAndParameters) {
    EXPECT_TRUE(RunningMeanGate::passes(std::vector<int>(1792, 5)));
    EXPECT_FALSE(RunningMeanGate::passes(std::vector<int>(1792, 4)));
    EXPECT_TRUE(RunningMeanGate::passes(std::vector<int>(1792, 4), {15.0f, 4.0f}));
    EXPECT_FALSE(RunningMeanGate::passes(std::vector<int>{0}, {0.0f, 5.0f}));
}

} // namespace
} // namespace decoding
