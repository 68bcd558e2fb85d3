// The frame searches and the agreement rule of both decoders over scripted bit
// strings, one per pass and start offset.
#include "crmcontrol/line_decoder.h"
#include "decoding/tests/frame_text.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <utility>

namespace crmcontrol {
namespace {

using decoding::BitString;
using namespace decoding::testing;

struct Placed {
    int pass, offset;
    std::string text; // padded with marks to the pass's length
};

// Bit strings by pass and offset (marks where none is given), and the order in
// which the decoder asked for them.
class ScriptedPasses : public decoding::BitPasses {
public:
    explicit ScriptedPasses(const std::vector<Placed>& placed) {
        for (int pass = 0; pass < 2; ++pass)
            idle_[pass] = BitString::fromText(marks(kDecoderPasses[pass].bitCount()));
        for (const auto& p : placed) {
            const int size = kDecoderPasses[p.pass].bitCount();
            strings_[{p.pass, p.offset}] = BitString::fromText(placedText(p.text, size));
        }
    }
    static std::string placedText(const std::string& text, int size) {
        return placed(0, text, size);
    }

    const BitString& bitPass(int pass, int offset) override {
        asked.emplace_back(pass, offset);
        const auto it = strings_.find({pass, offset});
        return it != strings_.end() ? it->second : idle_[pass];
    }
    std::vector<std::pair<int, int>> asked;

private:
    std::map<std::pair<int, int>, BitString> strings_;
    BitString idle_[2];
};

// A frame of the calling-number parameter at position 1 + lead.
std::string counted(const std::string& digits, int lead = 30) {
    return marks(lead) + numberParameter(digits);
}
std::string brokenCounted(const std::string& digits, int lead = 30) {
    std::string t = counted(digits, lead);
    t[static_cast<std::size_t>(lead + 49)] = '0'; // stop bit of digit 3
    return t;
}
// Digits without a parameter before them, one further character, ten marks.
std::string fixed(const std::string& digits, int lead = 40) {
    std::string t = std::string(static_cast<std::size_t>(lead), '0');
    for (int i = 1; i < lead; i += 3)
        t[static_cast<std::size_t>(i)] = '1';
    return t + characters(digits) + character(0x5A) + marks(10) + characters("\x7f\x7f");
}

// A single-data message as the control captures it, from data bit 2 of its type
// on, then a checksum character and marks.
std::string singleData(const std::string& number, const std::string& dateTime = "12100815") {
    return (marks(10) + singleDataMessage(dateTime, number)).substr(13) + character(0x5A) +
           marks(10);
}
std::string brokenDateTime(const std::string& number) {
    std::string t = singleData(number);
    t[static_cast<std::size_t>(7 + 10 * 4 + 9)] = '0'; // stop bit of the day's second digit
    return t;
}

// Every start offset of both passes.
constexpr std::size_t kAllOffsets = 77;
static_assert(kAllOffsets == 10 + 67);

enum class Search { Counted, SingleData, Fixed };

struct SearchCase {
    const char* name;
    std::vector<Placed> strings;
    std::optional<std::string> raised;
    std::pair<int, int> lastAsked; // the offset that found it, or the last of all
};

constexpr std::pair<int, int> kLastOffset{1, 66};

void runCases(const std::vector<SearchCase>& cases, Search search) {
    // The fixed-frame search first looks through every string for a single-data
    // message (there is none in its cases).
    const std::size_t looked = search == Search::Fixed ? kAllOffsets : 0;
    for (const auto& c : cases) {
        LineDecoder decoder(2);
        ScriptedPasses passes(c.strings);
        const auto found = search == Search::Counted      ? decoder.searchCountedFrames(passes)
                           : search == Search::SingleData ? decoder.searchSingleDataFrames(passes)
                                                          : decoder.searchFixedFrames(passes);
        ASSERT_EQ(found.has_value(), c.raised.has_value()) << c.name;
        if (c.raised) {
            EXPECT_EQ(*found, *c.raised) << c.name;
            EXPECT_EQ(decoder.DecodedNumber, *c.raised) << c.name;
        }
        ASSERT_FALSE(passes.asked.empty());
        EXPECT_EQ(passes.asked.back(), c.lastAsked) << c.name;
        EXPECT_EQ(passes.asked.size(),
                  looked + static_cast<std::size_t>(c.lastAsked.first == 0
                                                        ? c.lastAsked.second + 1
                                                        : 10 + c.lastAsked.second + 1))
            << c.name << ": offsets are visited in order, pass 0 first";
    }
}

TEST(CountedFrameDecoder, FrameSearchAndAgreement) {
    const std::string number = "5551234";
    const std::vector<SearchCase> cases = {
        {"one clean frame at one offset raises nothing",
         {{0, 3, counted(number)}},
         {},
         kLastOffset},
        {"two successive agreeing frames raise at the second",
         {{0, 3, counted(number)}, {0, 4, counted(number, 60)}, {0, 5, counted(number)}},
         number,
         {0, 4}},
        {"A, B with a digit error, C do not raise; D does",
         {{0, 1, counted(number)},
          {0, 2, counted("555:234")},
          {0, 3, counted(number)},
          {1, 7, counted(number)}},
         number,
         {1, 7}},
        {"A, B with a digit error, C and nothing more",
         {{0, 1, counted(number)}, {0, 2, counted("555:234")}, {0, 3, counted(number)}},
         {},
         kLastOffset},
        {"frames failing the checks between agreeing ones do not count",
         {{0, 1, counted(number)}, {0, 2, brokenCounted("1112223")}, {0, 6, counted(number)}},
         number,
         {0, 6}},
        {"a frame with other digits in between does",
         {{0, 1, counted(number)}, {0, 2, counted("1112223")}, {0, 6, counted(number)}},
         {},
         kLastOffset},
        {"length 14 is skipped and the frame behind it found",
         {{0, 0, counted("12345678901234", 5) + numberParameter(number)},
          {0, 1, counted("12345678901234", 5) + numberParameter(number)}},
         number,
         {0, 1}},
        {"lengths 1 and 2 are kept but never raised",
         {{0, 0, counted("12")}, {0, 1, counted("12")}, {0, 2, counted("7")}, {0, 3, counted("7")}},
         {},
         kLastOffset},
        {"a short frame replaces the kept number",
         {{0, 0, counted(number)}, {0, 1, counted("12")}, {0, 2, counted(number)}},
         {},
         kLastOffset},
        {"length bits cut off by the end give no frame",
         {{0, 0, marks(257) + character(0x02)}, {0, 1, marks(257) + character(0x02)}},
         {},
         kLastOffset},
        {"a failed first frame ends its offset",
         {{0, 0, brokenCounted(number, 5) + numberParameter(number)},
          {0, 1, brokenCounted(number, 5) + numberParameter(number)}},
         {},
         kLastOffset},
        {"the first pass-1 frame agrees with the last pass-0 frame",
         {{0, 9, counted(number)}, {1, 0, counted(number)}},
         number,
         {1, 0}},
        {"thirteen digits at the end of pass 1",
         {{1, 65, counted("1234567890123", 100)}, {1, 66, counted("1234567890123", 100)}},
         "1234567890123",
         {1, 66}},
        {"fourteen digits never",
         {{1, 65, counted("12345678901234")}, {1, 66, counted("12345678901234")}},
         {},
         kLastOffset},
    };
    runCases(cases, Search::Counted);
}

TEST(FixedFrameDecoder, FrameSearchAndAgreement) {
    const std::string eleven = "05321234567";
    const std::string seven = "5551234";
    const std::vector<SearchCase> cases = {
        {"an 11-digit number beginning with 0 at two successive offsets",
         {{0, 4, fixed(eleven)}, {0, 5, fixed(eleven, 41)}},
         eleven,
         {0, 5}},
        {"a 7-digit number at two successive offsets",
         {{1, 20, fixed(seven)}, {1, 21, fixed(seven)}},
         seven,
         {1, 21}},
        {"where both conditions hold the 11-digit frame is taken (and fails here)",
         {{0, 0, fixed("0551234") + marks(40)}, {0, 1, fixed("0551234") + marks(40)}},
         {},
         kLastOffset},
        {"an 11-digit number not beginning with 0 gives its last 7 digits",
         {{0, 0, fixed("15321234567")}, {0, 1, fixed("15321234567")}},
         "1234567",
         {0, 1}},
        {"the 20 characters before the first digit are not examined",
         {{0, 0, fixed(seven, 25)}, {0, 1, std::string(25, '0') + fixed(seven, 0)}},
         seven,
         {0, 1}},
        {"a first digit at p <= 20 is judged like any other",
         {{0, 0, fixed(seven, 2)}, {0, 1, fixed(seven, 0)}},
         seven,
         {0, 1}},
        {"one clean frame only raises nothing", {{0, 0, fixed(eleven)}}, {}, kLastOffset},
        {"a mark run past the end of the string is not met",
         {{1, 0, fixed(eleven, 130)}, {1, 1, fixed(eleven, 130)}},
         {},
         kLastOffset},
        {"a digit error breaks the agreement",
         {{0, 0, fixed(seven)}, {0, 1, fixed("555:234")}, {0, 2, fixed(seven)}},
         {},
         kLastOffset},
        {"the counted frame's parameter is not needed but does no harm",
         {{0, 0, counted(eleven) + character(0x5A) + marks(10)},
          {0, 1, counted(eleven) + character(0x5A) + marks(10)}},
         eleven,
         {0, 1}},
    };
    runCases(cases, Search::Fixed);
}

// The number of a single-data message is the digits after its date and time, as
// many as its length character counts beyond them, under the same agreement rule.
TEST(SingleDataFrameDecoder, FrameSearchAndAgreement) {
    const std::string seven = "5551234";
    const std::vector<SearchCase> cases = {
        {"two successive agreeing frames raise the number after the date and time",
         {{0, 3, singleData(seven)}, {0, 4, singleData(seven)}},
         seven,
         {0, 4}},
        {"ten digits, at 09:30",
         {{1, 5, singleData("3125550100", "12100930")},
          {1, 6, singleData("3125550100", "12100930")}},
         "3125550100",
         {1, 6}},
        {"one frame raises nothing", {{0, 3, singleData(seven)}}, {}, kLastOffset},
        {"the date and time are checked as digits",
         {{0, 3, brokenDateTime(seven)}, {0, 4, brokenDateTime(seven)}},
         {},
         kLastOffset},
        {"a frame failing its checks between agreeing ones does not count",
         {{0, 3, singleData(seven)}, {0, 4, brokenDateTime("1112223")}, {0, 5, singleData(seven)}},
         seven,
         {0, 5}},
        {"the date and time alone are never raised",
         {{0, 3, singleData("")}, {0, 4, singleData("")}},
         {},
         kLastOffset},
        {"a calling-number parameter is not a single-data message",
         {{0, 3, counted(seven)}, {0, 4, counted(seven)}},
         {},
         kLastOffset},
    };
    runCases(cases, Search::SingleData);
}

TEST(FixedFrameDecoder, FindsNothingInACaptureThatCarriesASingleDataMessage) {
    // Later offsets begin past the header, where a fixed frame would read the last
    // digits of the date and time and the number.
    LineDecoder decoder(1);
    ScriptedPasses passes({{0, 2, singleData("5551234")},
                           {1, 40, fixed("08155551234")},
                           {1, 41, fixed("08155551234")}});
    EXPECT_FALSE(decoder.searchFixedFrames(passes));
    EXPECT_EQ(passes.asked.back(), std::make_pair(0, 2)) << "the search ends at the header";
}

TEST(LineDecoder, EachSearchRunsOnlyWithoutARaiseBeforeIt) {
    const std::string counted7 = counted("5551234") + characters("\x01\x01");
    struct Case {
        const char* name;
        std::vector<Placed> strings;
        const char* number;
        std::size_t asked; // bit strings asked for, over all searches
    };
    const Case cases[] = {
        {"one clean counted frame, then the fallback raises",
         {{0, 3, counted7}, {1, 10, fixed("05321234567")}, {1, 11, fixed("05321234567")}},
         "05321234567",
         3 * kAllOffsets + 10 + 12},
        {"no counted frame, then the single-data search raises",
         {{0, 3, singleData("5551234")}, {0, 4, singleData("5551234")}},
         "5551234",
         kAllOffsets + 5},
        {"a counted raise ends the run",
         {{0, 3, counted7},
          {0, 4, counted7},
          {1, 10, fixed("05321234567")},
          {1, 11, fixed("05321234567")}},
         "5551234",
         5},
        {"nothing in any", {{0, 3, counted7}}, nullptr, 4 * kAllOffsets},
    };
    for (const auto& c : cases) {
        LineDecoder decoder(1);
        ScriptedPasses passes(c.strings);
        const auto found = decoder.searchFrames(passes);
        ASSERT_EQ(found.has_value(), c.number != nullptr) << c.name;
        if (c.number) {
            EXPECT_EQ(*found, c.number) << c.name;
        }
        EXPECT_EQ(passes.asked.size(), c.asked) << c.name;
    }
}

TEST(FixedFrameDecoder, KeepsItsOwnAgreement) {
    // The counted-frame run keeps "5551234" from its last offset; the fixed-frame
    // run finds the same digits once, at its first offset, and must not agree.
    LineDecoder decoder(1);
    ScriptedPasses passes(
        {{1, 66, counted("5551234") + characters("\x01\x01")}, {0, 0, fixed("5551234")}});
    EXPECT_FALSE(decoder.searchCountedFrames(passes));
    EXPECT_EQ(decoder.KeptNumber, "5551234");
    EXPECT_FALSE(decoder.searchFixedFrames(passes));
    EXPECT_EQ(decoder.KeptNumber, "5551234");
}

} // namespace
} // namespace crmcontrol
