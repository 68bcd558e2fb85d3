#include "recorder/sample_masking.h"
#include "signalpath/bittext.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <vector>

namespace recorder {
namespace {

// Values handed out in order; Randomize calls are counted.
class ScriptedRandom final : public RandomGenerator {
public:
    explicit ScriptedRandom(std::vector<double> values) : values_(std::move(values)) {}
    void Randomize() override { ++reseeds; }
    double Rnd() override { return values_.at(next_++); }
    int reseeds = 0;
    std::size_t draws() const { return next_; }

private:
    std::vector<double> values_;
    std::size_t next_ = 0;
};

// The masking as the recorder's bit-text steps describe it.
int maskByBitTexts(int v, int key) {
    const std::string keybits = signalpath::DesimaldenBinarye(key);
    std::string valbits = signalpath::DesimaldenBinarye(v);
    for (int i = 0; i < 8; ++i)
        if (keybits[i] == '1')
            valbits[i] = valbits[i] == '0' ? '1' : '0';
    valbits = valbits.substr(4) + valbits.substr(0, 4);
    int masked = 0;
    for (char c : valbits)
        masked = masked * 2 + (c - '0');
    return masked;
}

TEST(SampleMasking, KeyIsRoundedHalfToEvenAndLiftedBelow35) {
    struct Case {
        double r;
        int key;
    };
    const Case cases[] = {
        {0.0, 35},          // 0 + 35
        {34.0 / 255, 69},   // 34 + 35
        {34.5 / 255, 69},   // 34.5 goes to 34, then + 35
        {35.0 / 255, 35},   // no lift from 35 on
        {35.5 / 255, 36},   // 35.5 goes to 36
        {127.5 / 255, 128}, // 127.5 goes to 128
        {254.6 / 255, 255}, // the largest key
        {std::nextafter(1.0, 0.0), 255},
        {1.5, 255}, // outside [0, 1): held to the range
        {-0.25, 35},
        {std::numeric_limits<double>::quiet_NaN(), 35},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MaskKeyFrom(c.r), c.key) << "r = " << c.r;
}

TEST(SampleMasking, NumbersAgreeWithTheBitTextStepsAndInvertExactly) {
    for (int v = 0; v <= 255; ++v)
        for (int key = MinMaskKey; key <= MaxMaskKey; ++key) {
            const int masked = MaskWithKey(v, key);
            ASSERT_EQ(masked, maskByBitTexts(v, key)) << "v " << v << " key " << key;
            ASSERT_EQ(UnmaskSample(masked, key), v) << "v " << v << " key " << key;
        }
    EXPECT_EQ(MaskWithKey(200, 35), 190);
    EXPECT_EQ(UnmaskSample(190, 35), 200);
}

TEST(SampleMasking, AnAttemptBelow35IsRepeatedWithAFreshSeedAndKey) {
    // v = 35 with key 35 masks to 0; the second draw (key 100) is kept.
    ScriptedRandom random({0.0, 100.0 / 255});
    const SamplePair pair = sinyal_kayit_maskele(35, random);
    EXPECT_EQ(random.draws(), 2u);
    EXPECT_EQ(random.reseeds, 2) << "the generator is reseeded before every attempt";
    EXPECT_EQ(pair.MaskKey, 100);
    EXPECT_EQ(pair.MaskedSample, MaskWithKey(35, 100));
    EXPECT_GE(pair.MaskedSample, SampleFloor);
}

TEST(SampleMasking, ManyDrawsKeepEveryByteIn35To255AndRestoreTheValue) {
    ClockSeededRandom random;
    std::set<int> keys;
    for (int round = 0; round < 200; ++round)
        for (int v = SampleFloor; v <= 255; ++v) {
            const SamplePair p = sinyal_kayit_maskele(v, random);
            ASSERT_GE(p.MaskKey, MinMaskKey);
            ASSERT_GE(p.MaskedSample, SampleFloor) << "v " << v << " key " << int(p.MaskKey);
            ASSERT_EQ(UnmaskSample(p.MaskedSample, p.MaskKey), v);
            keys.insert(p.MaskKey);
        }
    EXPECT_EQ(keys.size(), 221u) << "every key 35..255 is drawn";
}

TEST(ClockSeededRandom, ReseedsWithinOneClockReadingStillGiveFreshValues) {
    ClockSeededRandom random([] { return std::uint64_t{42}; });
    std::set<double> seen;
    for (int i = 0; i < 1000; ++i) {
        random.Randomize();
        const double r = random.Rnd();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

} // namespace
} // namespace recorder
