#include "decoding/bit_pass.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace decoding {
namespace {

TEST(StepPattern, WindowStartsOfBothPatterns) {
    struct Case {
        const StepPattern* steps;
        int o, b, start;
    };
    const Case cases[] = {
        {&StepPattern776, 0, 0, 0},         {&StepPattern776, 0, 1, 7},
        {&StepPattern776, 0, 2, 14},        {&StepPattern776, 0, 3, 20},
        {&StepPattern776, 9, 266, 1783},    {&StepPattern776, 0, 731, 4874},
        {&StepPattern77775, 0, 4, 28},      {&StepPattern77775, 0, 5, 33},
        {&StepPattern77775, 66, 256, 1756},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.steps->windowStart(c.o, c.b), c.start) << "o " << c.o << " b " << c.b;
    // 6 2/3 samples per bit: o + 7b - floor(b / 3).
    for (int b = 0; b < 800; ++b)
        ASSERT_EQ(StepPattern776.windowStart(4, b), 4 + 7 * b - b / 3);
}

// A line signal with everything the decisions meet: FSK, silence, noise, ties.
std::vector<int> mixedSignal(int n) {
    std::vector<int> x(static_cast<std::size_t>(n));
    std::mt19937 rng(3);
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const bool mark = (i / 7) % 3 != 1;
        phase += 2 * 3.14159265358979 * (mark ? 1200.0 : 2200.0) / 8000.0;
        int v = static_cast<int>(std::lround(60 * std::sin(phase)));
        if (i % 500 > 440)
            v = 0;
        else if (i % 500 > 400)
            v = static_cast<int>(rng() % 511) - 255;
        else if (i % 97 == 0)
            v = 255;
        x[static_cast<std::size_t>(i)] = v;
    }
    return x;
}

TEST(BitPass, DecisionsGiveTheControlsBitStringsForEveryOffset) {
    const PassPlan plans[] = {
        {StepPattern776, 0, 9, 266},  {StepPattern77775, 0, 66, 256}, // the control
        {StepPattern776, 0, 66, 257}, {StepPattern77775, 0, 66, 257}, // the viewer
        {StepPattern776, 0, 10, 729}, {StepPattern77775, 0, 67, 728}, // the component
    };
    const std::vector<int> samples = mixedSignal(4880);
    WindowDecisions decisions(4880);
    decisions.decide(samples);
    EXPECT_EQ(decisions.windowCount(), 4875);
    DecidedBitPasses passes(plans);
    passes.reset(decisions);
    signalpath::ToneWorkspace ws;
    for (int pass = 0; pass < 6; ++pass) {
        for (int o = plans[pass].firstOffset; o <= plans[pass].lastOffset; ++o) {
            BitPass(ws, samples, o, plans[pass].steps, plans[pass].lastBit);
            ASSERT_EQ(static_cast<int>(ws.BitString.size()), plans[pass].bitCount());
            ASSERT_EQ(passes.bitPass(pass, o).text(), ws.BitString)
                << "pass " << pass << " o " << o;
        }
    }
    // The control's procedure leaves the last window in the workspace.
    const int last = plans[5].steps.windowStart(67, 728);
    EXPECT_EQ(ws.ToneWindow[0], samples[last]);
    EXPECT_EQ(ws.ToneWindow[5], samples[last + 5]);
}

TEST(BitPass, PassesAreRebuiltAfterReset) {
    const PassPlan plans[] = {{StepPattern776, 0, 2, 100}};
    std::vector<int> marks(800);
    for (int i = 0; i < 800; ++i)
        marks[i] =
            static_cast<int>(std::lround(100 * std::sin(2 * 3.14159265358979 * 1200 * i / 8000.0)));
    const std::vector<int> silence(800, 0);
    WindowDecisions a(800), b(800);
    a.decide(marks);
    b.decide(silence);
    DecidedBitPasses passes(plans);
    passes.reset(a);
    EXPECT_NE(passes.bitPass(0, 1).text().find('1'), std::string::npos);
    passes.reset(b);
    EXPECT_EQ(passes.bitPass(0, 1).text(), std::string(101, '0'));
}

TEST(PassPlan, LastSampleOfTheControlsPasses) {
    EXPECT_EQ((PassPlan{StepPattern776, 0, 9, 266}.lastSample()), 1788);
    EXPECT_EQ((PassPlan{StepPattern77775, 0, 66, 256}.lastSample()), 1761);
    EXPECT_EQ((PassPlan{StepPattern776, 0, 66, 257}.lastSample()), 1785);
}

} // namespace
} // namespace decoding

namespace decoding {
namespace {

TEST(WindowDecisions, RecordedDecisionsOfAFixedSignal) {
    // Integer samples from a linear congruential generator (no library maths), in
    // stretches of growing size: every build must decide every window alike.
    std::vector<int> samples(100000);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const int span = 2 + static_cast<int>(i / 2000) * 10;
        samples[i] =
            static_cast<int>((state >> 8) % static_cast<std::uint32_t>(2 * span + 1)) - span;
    }
    WindowDecisions decisions(static_cast<int>(samples.size()));
    decisions.decide(samples);
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a over the decisions
    int marks = 0;
    for (int s = 0; s < decisions.windowCount(); ++s) {
        hash = (hash ^ (decisions.mark(s) ? 1u : 0u)) * 1099511628211ull;
        marks += decisions.mark(s);
    }
    EXPECT_EQ(marks, 49981);
    EXPECT_EQ(hash, 175989214098390748ull);
}

TEST(WindowDecisions, DecideValuesThatAreNotWholeAsTheToneDecisionDoes) {
    // Whole samples shifted by a half: each window's decision is the tone
    // decision on exactly those values, and whole values decide as ints do.
    const std::vector<int> whole = mixedSignal(600);
    std::vector<double> shifted(whole.begin(), whole.end());
    for (double& v : shifted)
        v -= 0.5;
    WindowDecisions fromInts(600), fromDoubles(600), fromHalves(600);
    fromInts.decide(whole);
    fromDoubles.decide(std::vector<double>(whole.begin(), whole.end()));
    fromHalves.decide(shifted);
    ASSERT_EQ(fromHalves.windowCount(), 595);
    EXPECT_TRUE(fromHalves.samples().empty());
    for (int s = 0; s < fromHalves.windowCount(); ++s) {
        ASSERT_EQ(fromDoubles.mark(s), fromInts.mark(s)) << "window " << s;
        signalpath::ToneWindow w;
        for (int j = 0; j < 6; ++j)
            w[j] = shifted[static_cast<std::size_t>(s + j)];
        ASSERT_EQ(fromHalves.mark(s), signalpath::toneBit(w) == '1') << "window " << s;
    }
}

} // namespace
} // namespace decoding
