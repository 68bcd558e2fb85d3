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

// A number parameter alone (type, length, digits, then marks) sent at the given
// baud, beginning at window sample `at`; the window is silent before it.
std::vector<double> numberFrameWindow(const std::string& number, double baud, int at) {
    std::vector<std::uint8_t> bits;
    standin::appendCharacter(bits, standin::kNumberParameter);
    standin::appendCharacter(bits, static_cast<std::uint8_t>(number.size()));
    for (char digit : number)
        standin::appendCharacter(bits, static_cast<std::uint8_t>(digit));
    bits.insert(bits.end(), 300, 1);
    standin::FskSettings fsk;
    fsk.baud = baud;
    const standin::Signal signal = standin::modulate(bits, fsk);
    std::vector<double> window(4979, 0.0);
    for (std::size_t i = 0; i < signal.size() && at + i < window.size(); ++i)
        window[at + i] = signal[i];
    return window;
}

TEST(ViewerCountedFrameDecoder, RaisesFromPassOneWhenItsFirstAttemptAgreesWithPassZero) {
    // Sent at 1211.5 baud, between pass 0's bit timing (1200 baud) and pass 1's
    // (about 1212), a frame at the window's start is read whole by pass 0 at no two
    // attempts alike, so pass 0 only keeps it; the first attempt of pass 1 reads it
    // again and agrees. The kept number carries over from one pass to the next.
    CountedFrameDecoder decoder;
    const auto result = decoder.cozucu_tel(numberFrameWindow("5551234", 1211.5, 6));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text(), "Tel No: 5551234 Kafa: 0 BR: 1");
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
