#include "decoding/frames.h"
#include "decoding/tests/frame_text.h"

#include <gtest/gtest.h>
#include <optional>

namespace decoding {
namespace {

using namespace decoding::testing;

TEST(FramePatterns, AreTheCharactersTheyName) {
    EXPECT_TRUE(BitString::fromText(character(0x02)).matches(1, NumberParameterPattern));
    EXPECT_TRUE(BitString::fromText(character('0')).matches(1, LeadingZeroDigitPattern));
    for (char d = '0'; d <= '9'; ++d) {
        const BitString two = BitString::fromText(characters(std::string{d, '5'}));
        EXPECT_TRUE(two.matches(6, DigitBoundaryPattern)) << d;
        EXPECT_TRUE(two.matches(16, LastDigitTailPattern)) << d;
    }
    EXPECT_TRUE(BitString::fromText(marks(10)).matches(1, MarkRunPattern));
}

struct SearchCase {
    const char* name;
    std::string text;
    int start; // 0: no frame
    int n;
};

TEST(CountedFrameSearch, TakesTheFirstAcceptedLength) {
    const SearchCase cases[] = {
        {"plain frame", placed(30, numberParameter("5551234"), 267), 31, 7},
        {"length 13 is taken", placed(5, numberParameter("1234567890123"), 267), 6, 13},
        {"length 14 is passed over for the next parameter",
         placed(5, numberParameter("12345678901234") + numberParameter("987"), 267), 166, 3},
        {"length 0 is taken", placed(5, numberParameter(""), 267), 6, 0},
        {"no parameter", marks(267), 0, 0},
        {"length bits cut off by the end", placed(249, character(0x02) + "01111111", 267), 0, 0},
        {"length bits complete at the end", placed(248, character(0x02) + "011000000", 267), 249,
         3},
        {"match beyond the search range", placed(266, character(0x02), 280), 0, 0},
        {"match at the last searched position", placed(265, numberParameter("1"), 300), 266, 1},
    };
    for (const auto& c : cases) {
        const BitString bits = BitString::fromText(c.text);
        const auto frame = findCountedFrame(bits, 1, 266, {0, 13});
        if (c.start == 0) {
            EXPECT_FALSE(frame) << c.name;
            continue;
        }
        ASSERT_TRUE(frame) << c.name;
        EXPECT_EQ(frame->start, c.start) << c.name;
        EXPECT_EQ(frame->n, c.n) << c.name;
    }
}

TEST(CountedFrameSearch, LengthCutOffEndsTheSearchAtThatMatch) {
    // A cut-off length character ends the search; the lengths rule of a caller
    // may reject short ones and go on.
    const std::string text = placed(5, numberParameter("12", 2) + numberParameter("4567"), 267);
    const BitString bits = BitString::fromText(text);
    EXPECT_EQ(findCountedFrame(bits, 1, 266, {0, 13})->n, 2);
    EXPECT_EQ(findCountedFrame(bits, 1, 266, {3, 13})->n, 4);
}

struct CheckCase {
    const char* name;
    std::string text; // the frame from position 1
    int n;
    bool passes;
};

std::string withCharacterAt(std::string frame, int position, char c) {
    frame[static_cast<std::size_t>(position - 1)] = c;
    return frame;
}

TEST(CountedFrame, BoundaryChecks) {
    const std::string good = numberParameter("0123456789") + marks(20);
    const CheckCase cases[] = {
        {"clean ten digits", good, 10, true},
        {"stop bit of digit 3 missing", withCharacterAt(good, 50, '0'), 10, false},
        {"start bit of digit 10 missing", withCharacterAt(good, 111, '1'), 10, false},
        {"tail of the last digit broken", withCharacterAt(good, 117, '0'), 10, false},
        {"frame cut by the end of the string", good.substr(0, 119), 10, false},
        {"letter instead of a digit", numberParameter("12A4"), 4, false},
        {"length 0 looks at the length character", numberParameter(""), 0, false},
        {"one digit: only the tail", numberParameter("7"), 1, true},
        {"digit value above 9 keeps the upper nibble 3", numberParameter("1:3"), 3, true},
    };
    for (const auto& c : cases) {
        const BitString bits = BitString::fromText(c.text);
        EXPECT_EQ((CountedFrame{&bits, 1, c.n}.passesBoundaryChecks()), c.passes) << c.name;
    }
}

TEST(CountedFrame, FrameAnchoredBeforeTheStringReadsOnlyItsDigits) {
    // A frame whose first digit starts at position 3: its type and length
    // characters would lie before the string and are never read.
    const BitString bits = BitString::fromText("11" + characters("0612345678") + marks(20));
    const CountedFrame frame{&bits, 3 - 20, 10};
    EXPECT_TRUE(frame.passesBoundaryChecks());
    std::string number;
    EXPECT_FALSE(DigitExtraction(frame, number));
    EXPECT_EQ(number, "0612345678");
}

// A single-data message as the CRM control captures it, from a few bits into its
// type on (the capture starts a little after the message's first start bit), or
// whole behind its marks.
struct SingleDataCase {
    const char* name;
    std::string text;
    std::optional<int> frame; // the header position of the frame taken
    int length = 0;           // its digits
};

TEST(SingleDataFrameSearch, FindsTheHeaderWholeOrCutByTheStringsStart) {
    const std::string message = singleDataMessage("12100815", "5551234") + character(0x42);
    const std::string whole = marks(10) + message;
    const auto cut = [](const std::string& text, std::size_t from) {
        return text.substr(from) + marks(20);
    };
    const SingleDataCase cases[] = {
        {"whole, after seizure and marks", "0101" + whole + marks(20), 5, 15},
        {"cut at data bit 2 of the type", cut(whole, 13), -12, 15},
        {"cut at data bit 3", cut(whole, 14), -13, 15},
        {"cut at data bit 7", cut(whole, 18), -17, 15},
        {"cut at the length's start bit", cut(whole, 20), -19, 15},
        {"cut inside the length character", cut(whole, 21), std::nullopt},
        {"a multiple-data message begins with a parameter",
         cut(character(0x80) + character(19) + character(0x01) + character(0x08) +
                 characters("12100815") + numberParameter("5551234"),
             3),
         std::nullopt},
        // Its type cut to the last seven characters, a calling-number parameter of 11
        // digits reads as a single-data message with a number of 3: what rules it out
        // is where captures start (in the message's type, never in a parameter).
        {"a calling-number parameter whose type is cut", cut(numberParameter("05321234567"), 4),
         -13, 11},
        {"length 8: the date and time only",
         cut(marks(10) + singleDataMessage("12100815", "") + character(0x42), 13), -12, 8},
        {"length 7 is no single-data frame",
         cut(marks(10) + singleDataMessage("12100815", "", 7), 13), std::nullopt},
        {"a length counting a digit more than follow",
         cut(marks(10) + singleDataMessage("12100815", "555123", 15) + character(0x42), 13),
         std::nullopt},
        {"length 21: thirteen digits are taken",
         marks(10) + singleDataMessage("12100815", "9053212345678") + marks(10), 1, 21},
        {"length 22: fourteen digits are not",
         marks(10) + singleDataMessage("12100815", "90532123456789") + marks(10), std::nullopt},
        {"length bits cut off by the end", whole.substr(13, 15), std::nullopt},
    };
    for (const auto& c : cases) {
        const BitString bits = BitString::fromText(c.text);
        const auto frame = findSingleDataFrame(bits, 1, 266, {0, 13});
        ASSERT_EQ(frame.has_value(), c.frame.has_value()) << c.name;
        if (!frame)
            continue;
        EXPECT_EQ(frame->message.start, *c.frame + 10) << c.name;
        EXPECT_EQ(frame->message.n, c.length) << c.name;
        EXPECT_TRUE(frame->message.passesBoundaryChecks()) << c.name;
    }
}

TEST(SingleDataFrame, TheNumberFollowsTheDateAndTime) {
    struct Case {
        const char* dateTime;
        const char* number;
    };
    const Case cases[] = {{"12100815", "5551234"},
                          {"12100930", "3125550100"},
                          {"01010815", "112"},
                          {"12100815", "05321234567"}};
    for (const auto& c : cases) {
        const std::string text =
            (marks(10) + singleDataMessage(c.dateTime, c.number)).substr(13) + marks(30);
        const BitString bits = BitString::fromText(text);
        const auto frame = findSingleDataFrame(bits, 1, 266, {0, 13});
        ASSERT_TRUE(frame) << c.number;
        const CountedFrame number = frame->number();
        EXPECT_TRUE(number.passesBoundaryChecks()) << c.number;
        std::string decoded;
        std::string kept = c.number;
        EXPECT_TRUE(judgeFrame(number, decoded, kept).accepted()) << c.number;
        EXPECT_EQ(decoded, c.number);
    }
}

struct JudgeCase {
    const char* name;
    std::string digits; // as sent
    int n;
    std::string kept;
    std::string decoded;
    bool digitError, lengthError, isNew;
};

TEST(JudgeFrame, MarksAndAgreement) {
    const JudgeCase cases[] = {
        {"first frame is new", "5551234", 7, "", "5551234", false, false, true},
        {"agreeing frame is accepted", "5551234", 7, "5551234", "5551234", false, false, false},
        {"digit error drops the digit", "55:1234", 7, "", "551234", true, true, true},
        {"digit error agreeing with a kept error", "55:1234", 7, "551234", "551234", true, true,
         false},
        {"two digits are too few", "12", 2, "12", "12", false, true, false},
        {"three digits are enough", "123", 3, "123", "123", false, false, false},
    };
    for (const auto& c : cases) {
        const BitString bits = BitString::fromText(numberParameter(c.digits, c.n) + marks(10));
        std::string decoded = "stale";
        std::string kept = c.kept;
        const FrameMarks m = judgeFrame(CountedFrame{&bits, 1, c.n}, decoded, kept);
        EXPECT_EQ(decoded, c.decoded) << c.name;
        EXPECT_EQ(kept, c.decoded) << c.name;
        EXPECT_EQ(m.digitError, c.digitError) << c.name;
        EXPECT_EQ(m.lengthError, c.lengthError) << c.name;
        EXPECT_EQ(m.isNew, c.isNew) << c.name;
        EXPECT_EQ(m.accepted(), !c.digitError && !c.lengthError && !c.isNew) << c.name;
    }
}

} // namespace
} // namespace decoding
