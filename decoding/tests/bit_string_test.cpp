#include "decoding/bit_string.h"

#include <gtest/gtest.h>
#include <random>

namespace decoding {
namespace {

// The text comparison the positions stand for: Mid(text, pos, len) = pattern.
bool textMatches(const std::string& text, int pos, std::string_view pattern) {
    if (pos < 1 || pos - 1 + pattern.size() > text.size())
        return false;
    return text.compare(static_cast<std::size_t>(pos - 1), pattern.size(), pattern) == 0;
}

std::string randomText(std::mt19937& rng, int length, int onesPercent) {
    std::string t(static_cast<std::size_t>(length), '0');
    for (char& c : t)
        if (static_cast<int>(rng() % 100) < onesPercent)
            c = '1';
    return t;
}

constexpr Pattern kTen{"0010000001"};
constexpr Pattern kSix{"110010"};
constexpr Pattern kOne{"1"};
constexpr Pattern kRun{"1111111111"};
constexpr Pattern kLong{"111111111100010000010"};

TEST(BitString, PatternPositionsAreThoseOfTheTextComparison) {
    const std::pair<const Pattern*, std::string_view> patterns[] = {
        {&kTen, "0010000001"},
        {&kSix, "110010"},
        {&kOne, "1"},
        {&kRun, "1111111111"},
        {&kLong, "111111111100010000010"}};
    std::mt19937 rng(7);
    for (int length : {0, 1, 9, 10, 63, 64, 65, 128, 257, 267, 732, BitString::kCapacity}) {
        for (int ones : {20, 50, 90}) {
            const std::string text = randomText(rng, length, ones);
            const BitString bits = BitString::fromText(text);
            ASSERT_EQ(bits.text(), text);
            for (const auto& [pattern, patternText] : patterns) {
                const PositionSet set = bits.positionsOf(*pattern);
                for (int pos = 0; pos <= length + 2; ++pos) {
                    const bool expected = textMatches(text, pos, patternText);
                    ASSERT_EQ(set.contains(pos), expected)
                        << patternText << " at " << pos << " of a " << length << "-bit string";
                    ASSERT_EQ(bits.matches(pos, *pattern), expected);
                }
            }
        }
    }
}

TEST(BitString, PatternReachingPastTheEndDoesNotMatch) {
    // "10010" stands at 9..13 and the string ends there.
    const BitString bits = BitString::fromText("0000000110010");
    EXPECT_TRUE(bits.matches(8, kSix));
    EXPECT_FALSE(bits.matches(9, Pattern{"100101"}));
    EXPECT_EQ(bits.positionsOf(Pattern{"100101"}).firstIn(1, 100), 0);
}

TEST(BitString, ClippedPatternComparesOnlyWhatLiesInTheString) {
    const Pattern p{"110010"};
    const BitString bits = BitString::fromText("0010111");
    EXPECT_TRUE(bits.matchesClipped(-1, p)) << "\"0010\" at 1";
    EXPECT_FALSE(bits.matchesClipped(-2, p)) << "\"010\" is not at 1";
    EXPECT_TRUE(bits.matchesClipped(-4, p)) << "\"0\" at 1";
    EXPECT_FALSE(bits.matchesClipped(-5, p)) << "nothing of it in the string";
    EXPECT_EQ(bits.matchesClipped(2, p), bits.matches(2, p));
    EXPECT_FALSE(BitString::fromText("001").matchesClipped(-1, p)) << "it reaches past the end";
}

TEST(PositionSet, ShiftIntersectAndFirst) {
    // Marks at 3 and 70, spaces elsewhere.
    std::string text(100, '0');
    text[2] = '1';
    text[69] = '1';
    const BitString bits = BitString::fromText(text);
    const PositionSet ones = bits.positionsOf(kOne);
    EXPECT_EQ(ones.firstIn(1, 100), 3);
    EXPECT_EQ(ones.firstIn(4, 100), 70);
    EXPECT_EQ(ones.firstIn(4, 69), 0);
    const PositionSet before67 = ones.before(67); // p + 67 is a mark
    EXPECT_EQ(before67.firstIn(1, 100), 3);
    EXPECT_FALSE(before67.contains(70));
    EXPECT_EQ((ones & before67).firstIn(1, 100), 3);
    EXPECT_EQ((ones.before(1) | ones).firstIn(1, 100), 2);
    EXPECT_FALSE(ones.contains(0));
}

TEST(BitString, FieldReadsLeastSignificantFirst) {
    const BitString bits = BitString::fromText("0101000011");
    EXPECT_EQ(bits.field(2, 4), 0b0101u); // "1010": bits 0 and 2
    EXPECT_EQ(bits.field(9, 2), 0b11u);
    std::array<char, 8> out;
    EXPECT_EQ(bits.text(3, 5, out), "01000");
}

} // namespace
} // namespace decoding
