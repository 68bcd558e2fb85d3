#include "viewer/counted_frame_decoder.h"
#include "viewer/decode_window.h"
#include "viewer/tests/signal_fixture.h"

#include <gtest/gtest.h>

namespace viewer {
namespace {

using testing::BurstSpec;
using testing::decodeWindow;

// The date and time parameter lies before the window, the number's parameter
// near its start.
constexpr int kNumberNearStart = -750;

BurstSpec call(const std::string& number, int messageAt = kNumberNearStart) {
    BurstSpec spec;
    spec.call.number = number;
    spec.messageAt = messageAt;
    return spec;
}

TEST(ViewerCountedFrameDecoder, ReadsTheNumberWithItsOffsetAndPass) {
    CountedFrameDecoder decoder;
    const auto result = decoder.cozucu_tel(decodeWindow(call("05321234567")));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->number, "05321234567");
    EXPECT_EQ(result->pass, 0);
    // The frame that was kept came from the offset before.
    EXPECT_GT(result->offset, 0);
    EXPECT_EQ(result->text(),
              "Tel No: 05321234567 Kafa: " + std::to_string(result->offset) + " BR: 0");
}

TEST(ViewerCountedFrameDecoder, ShowsOnlyNumbersOfThreeDigitsOrMore) {
    const struct {
        const char* number;
        int messageAt;
        bool shown;
    } cases[] = {{"112", kNumberNearStart, true},
                 {"12", kNumberNearStart, false},
                 {"2125551234", kNumberNearStart, true},
                 {"9053212345678", kNumberNearStart, true},
                 // The 130 characters of an 11-digit frame from bit 165 on do not fit in 258.
                 {"05321234567", 300, false}};
    for (const auto& c : cases) {
        CountedFrameDecoder decoder;
        const auto result = decoder.cozucu_tel(decodeWindow(call(c.number, c.messageAt)));
        EXPECT_EQ(result.has_value(), c.shown) << c.number;
        if (result) {
            EXPECT_EQ(result->number, c.number);
        }
    }
}

TEST(ViewerCountedFrameDecoder, KeepsAFrameWithADigitErrorButNeverShowsIt) {
    CountedFrameDecoder decoder;
    EXPECT_FALSE(decoder.cozucu_tel(decodeWindow(call("555:1234"))));
    // The character ":" (value 10) adds nothing, so the frame is one digit short.
    EXPECT_EQ(decoder.KeptNumber, "5551234");
}

TEST(ViewerCountedFrameDecoder, FindsNothingInASingleDataMessage) {
    BurstSpec spec = call("5551234");
    spec.format = standin::MessageFormat::SingleData;
    CountedFrameDecoder decoder;
    EXPECT_FALSE(decoder.cozucu_tel(decodeWindow(spec)));
}

TEST(ViewerCountedFrameDecoder, ReadsNoCellAfter1785) {
    // The whole message lies behind the cells the decoder reads.
    std::vector<double> window = decodeWindow(call("05321234567", 1800 - 800));
    CountedFrameDecoder decoder;
    EXPECT_FALSE(decoder.cozucu_tel(window));
    // And what lies there never changes a result.
    std::vector<double> found = decodeWindow(call("05321234567"));
    const auto before = decoder.cozucu_tel(found);
    for (std::size_t j = kCountedFrameSamples; j < found.size(); ++j)
        found[j] = (j % 2) ? 100 : -100;
    const auto after = decoder.cozucu_tel(found);
    ASSERT_TRUE(before && after);
    EXPECT_EQ(before->text(), after->text());
}

} // namespace
} // namespace viewer
