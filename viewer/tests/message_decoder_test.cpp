#include "viewer/message_decoder.h"
#include "viewer/tests/signal_fixture.h"

#include <gtest/gtest.h>

namespace viewer {
namespace {

using testing::BurstSpec;
using testing::decodeWindow;

struct CountingYield : UiYield {
    int count = 0;
    void DoEvents() override { ++count; }
};

BurstSpec message(const std::string& dateTime, const std::string& number, int messageAt = 400) {
    BurstSpec spec;
    spec.call = {dateTime, number, ""};
    spec.messageAt = messageAt;
    return spec;
}

std::optional<std::string> decode(const BurstSpec& spec, MessageDecoder& decoder) {
    CountingYield ui;
    return decoder.norvellix_x(decodeWindow(spec), ui);
}

// Indexes of the attempts that found the message, in order.
std::vector<int> found(const MessageDecoder& d) {
    std::vector<int> f;
    for (int o = 0; o < 20; ++o)
        if (d.attempts()[static_cast<std::size_t>(o)].found)
            f.push_back(o);
    return f;
}

TEST(WholeMessageDecoder, ShowsDayMonthTimeAndNumberAtTheThirdAttemptOfAFullMessage) {
    MessageDecoder decoder;
    const auto text = decode(message("12250930", "2125551234"), decoder);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "25.12 09:30 / 2125551234");
    const std::vector<int> f = found(decoder);
    ASSERT_GE(f.size(), 3u);
    const auto& first = decoder.attempts()[static_cast<std::size_t>(f[0])];
    const auto& second = decoder.attempts()[static_cast<std::size_t>(f[1])];
    const auto& third = decoder.attempts()[static_cast<std::size_t>(f[2])];
    // 200 characters are too few for a message of length 22.
    EXPECT_EQ(first.frameLength, 200);
    EXPECT_TRUE(first.boundaryError);
    EXPECT_EQ(second.frameLength, 240);
    EXPECT_TRUE(second.judged && second.isNew);
    EXPECT_TRUE(third.accepted());
    // Once accepted, no later offset is tried.
    EXPECT_EQ(f.back(), f[2]);
}

TEST(WholeMessageDecoder, ShowsASixDigitNumberAtTheSecondAttempt) {
    MessageDecoder decoder;
    const auto text = decode(message("03150805", "555123"), decoder);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "15.03 08:05 / 555123");
    const std::vector<int> f = found(decoder);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_TRUE(decoder.attempts()[static_cast<std::size_t>(f[0])].isNew);
}

TEST(WholeMessageDecoder, RefusesWhatItCannotShow) {
    const struct {
        const char* name;
        BurstSpec spec;
        const char* keptDateTime;
    } cases[] = {
        // Length 17 is taken as 18, which then disagrees with the parameters.
        {"a number of 5 digits", message("12250930", "55512"), "25.12 09:30"},
        {"month tens 2", message("22250930", "2125551234"), "2"},
        {"day tens 4", message("12450930", "2125551234"), "124"},
        {"hour tens 3", message("12253930", "2125551234"), "12253"},
        {"minute tens 6", message("12250960", "2125551234"), "25.12 09:6"},
        {"a digit above 9 in the number", message("12250930", "21255:1234"), "25.12 09:30"},
        {"a single-data message",
         [] {
             BurstSpec s = message("12250930", "5551234");
             s.format = standin::MessageFormat::SingleData;
             return s;
         }(),
         ""},
    };
    for (const auto& c : cases) {
        MessageDecoder decoder;
        EXPECT_FALSE(decode(c.spec, decoder)) << c.name;
        EXPECT_EQ(decoder.KeptDateTime, c.keptDateTime) << c.name;
    }
}

TEST(WholeMessageDecoder, KeepsANumberWithAQuestionMark) {
    MessageDecoder decoder;
    EXPECT_FALSE(decode(message("12250930", "21255:1234"), decoder));
    EXPECT_EQ(decoder.KeptNumber, "21255?1234");
    for (int o : found(decoder)) {
        const auto& a = decoder.attempts()[static_cast<std::size_t>(o)];
        if (a.judged) {
            EXPECT_TRUE(a.numberDigitError);
        }
    }
}

TEST(WholeMessageDecoder, YieldsOncePerSearchPosition) {
    // Nothing but the mark tone.
    const BurstSpec none = message("12250930", "5551234", 6000);
    MessageDecoder decoder;
    CountingYield ui;
    EXPECT_FALSE(decoder.norvellix_x(decodeWindow(none), ui));
    EXPECT_EQ(ui.count, 20 * kMessageSearchLast);

    // With a message, each attempt stops yielding at its first match.
    CountingYield some;
    ASSERT_TRUE(decoder.norvellix_x(decodeWindow(message("12250930", "2125551234")), some));
    EXPECT_LT(some.count, 20 * kMessageSearchLast);
    EXPECT_GT(some.count, 0);
}

TEST(WholeMessageDecoder, EachCallStartsAfresh) {
    MessageDecoder decoder;
    ASSERT_TRUE(decode(message("12250930", "2125551234"), decoder));
    EXPECT_EQ(decode(message("01020304", "5551234567"), decoder), "02.01 03:04 / 5551234567");
}

} // namespace
} // namespace viewer
