#include "signalpath/descramble.h"

#include <gtest/gtest.h>

namespace signalpath {
namespace {

struct DescrambleCase {
    RawSample raw;
    std::array<int, 4> byPosition;
};

class DescrambleTable : public testing::TestWithParam<DescrambleCase> {};

TEST_P(DescrambleTable, GivesTheListedValueOnEachPosition) {
    const auto& c = GetParam();
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(descramble(p, c.raw), c.byPosition[p - 1])
            << "raw " << int(c.raw) << " on position " << p;
}

INSTANTIATE_TEST_SUITE_P(ListedValues, DescrambleTable,
                         testing::Values(DescrambleCase{0, {170, 241, 195, 143}},
                                         DescrambleCase{1, {186, 225, 211, 159}},
                                         DescrambleCase{128, {162, 249, 203, 135}},
                                         DescrambleCase{255, {85, 14, 60, 112}}));

TEST(Descramble, NamedOperationsGiveDecimalText) {
    EXPECT_EQ(cozucu_3A(0), "170");
    EXPECT_EQ(cozucu_3B(0), "241");
    EXPECT_EQ(cozucu_3C(0), "195");
    EXPECT_EQ(cozucu_3D(0), "143");
    // A byte equal to its position's mask is the zero sample, written "0".
    EXPECT_EQ(cozucu_3A(0xAA), "0");
    EXPECT_EQ(cozucu_3B(0x1F), "0");
    EXPECT_EQ(cozucu_3C(0x3C), "0");
    EXPECT_EQ(cozucu_3D(0xF8), "0");
}

// The text algorithm as written for the device: MSB-first text, invert the
// mask's characters, exchange the halves, read MSB-first.
int descrambleByText(int position, int r) {
    std::string t;
    for (int bit = 7; bit >= 0; --bit)
        t += ((r >> bit) & 1) ? '1' : '0';
    for (int j = 0; j < 8; ++j)
        if ((lineMask(position) >> (7 - j)) & 1)
            t[j] = t[j] == '0' ? '1' : '0';
    t = t.substr(4) + t.substr(0, 4);
    int v = 0;
    for (int j = 0; j < 8; ++j)
        if (t[j] == '1')
            v += 1 << (7 - j);
    return v;
}

TEST(Descramble, MatchesTheTextAlgorithmAndScrambleInvertsIt) {
    for (int p = 1; p <= 4; ++p) {
        for (int r = 0; r < 256; ++r) {
            const auto raw = static_cast<RawSample>(r);
            ASSERT_EQ(descramble(p, raw), descrambleByText(p, r)) << "position " << p << " raw " << r;
            ASSERT_EQ(scramble(p, descramble(p, raw)), raw) << "position " << p << " raw " << r;
        }
    }
}

} // namespace
} // namespace signalpath
