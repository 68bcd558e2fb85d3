#include "signalpath/tone.h"
#include "standin/callerid_burst.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numeric>

namespace standin {
namespace {

TEST(CallerIdMessage, ChecksumMakesTheByteSumZero) {
    const auto m = buildMessage(MessageFormat::MultipleData, {"12251830", "05321234567", "ALICE"});
    const unsigned sum = std::accumulate(m.begin(), m.end(), 0u);
    EXPECT_EQ(sum % 256, 0u);
}

TEST(CallerIdMessage, SingleDataCarriesDateTimeThenNumber) {
    const auto m = buildMessage(MessageFormat::SingleData, {"01021304", "5551234", "ignored"});
    const std::vector<std::uint8_t> head{0x04, 15,  '0', '1', '0', '2', '1', '3', '0',
                                         '4',  '5', '5', '5', '1', '2', '3', '4'};
    ASSERT_EQ(m.size(), head.size() + 1);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), m.begin()));
}

TEST(CallerIdMessage, MultipleDataLeavesEmptyFieldsOut) {
    const auto m = buildMessage(MessageFormat::MultipleData, {"", "123", ""});
    const std::vector<std::uint8_t> expected{0x80, 5, 0x02, 3, '1', '2', '3'};
    ASSERT_EQ(m.size(), expected.size() + 1);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), m.begin()));
}

TEST(CallerIdMessage, RefusesABodyThatNoLengthByteHolds) {
    const std::vector<std::uint8_t> body(256, '1');
    EXPECT_THROW(frameMessage(kSingleDataMessage, body), std::length_error);
    const std::vector<Parameter> parameters{{kNameParameter, std::string(256, 'A')}};
    EXPECT_THROW(multipleDataBody(parameters), std::length_error);
}

TEST(BurstBits, SeizureMarksCharactersAndTrailingMarksInOrder) {
    const std::vector<std::uint8_t> message{0x04, 0x30};
    const auto bits = burstBits(message, {4, 3, 2});
    const std::vector<std::uint8_t> expected{0, 1, 0, 1,                   // seizure
                                             1, 1, 1,                      // marks
                                             0, 0, 0, 1, 0, 0, 0, 0, 0, 1, // 0x04
                                             0, 0, 0, 0, 0, 1, 1, 0, 0, 1, // 0x30
                                             1, 1};                        // trailing marks
    EXPECT_EQ(bits, expected);
}

TEST(BurstBits, DefaultLayoutIsThreeHundredSeizureAndOneEightyMarks) {
    const auto bits = burstBits(std::vector<std::uint8_t>{0xFF});
    ASSERT_EQ(bits.size(), 300u + 180u + 10u + 10u);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(bits[i], i & 1) << "seizure bit " << i;
    for (int i = 300; i < 480; ++i)
        ASSERT_EQ(bits[i], 1) << "mark bit " << i;
    EXPECT_EQ(bits[480], 0) << "start bit";
}

// Energy of the signal at frequency f over samples [from, from + n).
double toneEnergy(const Signal& s, std::size_t from, std::size_t n, double f) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = 2 * 3.141592653589793 * f * double(i) / kSampleRate;
        re += s[from + i] * std::cos(a);
        im += s[from + i] * std::sin(a);
    }
    return re * re + im * im;
}

TEST(Modulate, MarkAndSpaceBitsCarryTheirTones) {
    std::vector<std::uint8_t> bits(60, 1);
    bits.insert(bits.end(), 60, 0);
    const auto s = modulate(bits, {});
    ASSERT_EQ(s.size(), 800u);
    EXPECT_GT(toneEnergy(s, 0, 400, 1200), 20 * toneEnergy(s, 0, 400, 2200));
    EXPECT_GT(toneEnergy(s, 400, 400, 2200), 20 * toneEnergy(s, 400, 400, 1200));
}

TEST(Modulate, PhaseIsContinuousAcrossBitBoundaries) {
    // Alternating bits change the frequency every bit; no step between samples may
    // exceed what the faster tone moves in one sample.
    std::vector<std::uint8_t> bits(240);
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = i & 1;
    FskSettings fsk;
    fsk.amplitude = 100;
    const auto s = modulate(bits, fsk);
    const double maxStep = 2 * 3.141592653589793 * 2200 / kSampleRate * fsk.amplitude + 1;
    for (std::size_t i = 1; i < s.size(); ++i)
        ASSERT_LE(std::abs(s[i] - s[i - 1]), maxStep) << "at sample " << i;
}

TEST(Modulate, LengthFollowsTheBitRate) {
    const std::vector<std::uint8_t> bits(120, 1);
    FskSettings slow;
    slow.baud = 1000;
    EXPECT_EQ(modulate(bits, {}).size(), 800u);
    EXPECT_EQ(modulate(bits, slow).size(), 960u);
}

TEST(Modulate, NoiseIsReproducibleAndScaled) {
    const std::vector<std::uint8_t> bits(1200, 1);
    FskSettings quietTone;
    quietTone.amplitude = 0;
    quietTone.noiseRms = 10;
    const auto a = modulate(bits, quietTone);
    EXPECT_EQ(a, modulate(bits, quietTone));
    double power = 0;
    for (const int v : a)
        power += double(v) * v;
    EXPECT_NEAR(std::sqrt(power / a.size()), 10.0, 0.5);
}

} // namespace
} // namespace standin

namespace standin {
namespace {

// The system's own bit decision, sliced at 1200 baud (steps 7, 7, 6) from a start
// offset, reads the synthesized message back bit for bit.
TEST(Modulate, TheToneDecisionReadsTheMessageBitsBack) {
    const auto message =
        buildMessage(MessageFormat::MultipleData, {"12251830", "05321234567", "ALICE"});
    BurstLayout layout;
    const auto bits = burstBits(message, layout);
    const auto signal = modulate(bits);
    const std::size_t first = layout.seizureBits + layout.markBits; // the first start bit
    const std::size_t count = bits.size() - first;
    int clean = 0;
    for (int o = 0; o < 7; ++o) {
        // Bit b's window starts at 20 samples per 3 bits after the message start.
        std::size_t start = first * 20 / 3 + o;
        std::string got, want;
        for (std::size_t b = 0; b < count; ++b) {
            signalpath::ToneWindow w;
            for (int j = 0; j < 6; ++j)
                w[j] = start + j < signal.size() ? signal[start + j] : 0;
            got += signalpath::toneBit(w);
            want += char('0' + bits[first + b]);
            start += (b % 3 == 2) ? 6 : 7;
        }
        clean += got == want;
    }
    EXPECT_GE(clean, 2) << "expected at least two start offsets to read every bit";
}

} // namespace
} // namespace standin
