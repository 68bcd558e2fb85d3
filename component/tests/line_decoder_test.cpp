// The component's line decoder on synthesized bursts (both message kinds) and on
// bit strings built character by character for the frame search's rules.
#include "component/line_decoder.h"
#include "signalpath/descramble.h"
#include "standin/callerid_burst.h"

#include <gtest/gtest.h>

namespace component {
namespace {

using decoding::BitString;
using standin::MessageFormat;

// A capture as the device sends it: the burst from `markBits` of mark on, at zero
// level 128 on the given line position, scrambled.
std::vector<int> rawCapture(MessageFormat format, const standin::CallInfo& call, int position,
                            int markBits = 40, double amplitude = 48.0) {
    standin::BurstLayout layout;
    layout.seizureBits = 0;
    layout.markBits = markBits;
    standin::FskSettings fsk;
    fsk.amplitude = amplitude;
    const standin::Signal signal =
        standin::modulate(standin::burstBits(standin::buildMessage(format, call), layout), fsk);
    std::vector<int> raw(kCaptureSamples + 1, 0);
    for (int i = 0; i < kCaptureSamples; ++i) {
        int v = 128 + (i < static_cast<int>(signal.size()) ? signal[i] : 0);
        v = std::clamp(v, 0, 255);
        raw[i] = signalpath::scramble(position, static_cast<signalpath::SampleValue>(v));
    }
    return raw;
}

struct BurstCase {
    const char* name;
    MessageFormat format;
    std::string number;
    int position;
    std::optional<std::string> expected;
};

TEST(ComponentLineDecoder, DecodesBurstsOfBothMessageKinds) {
    const BurstCase cases[] = {
        {"multiple data, 11 digits", MessageFormat::MultipleData, "05321234567", 1, "05321234567"},
        {"multiple data, 13 digits", MessageFormat::MultipleData, "9053212345678", 2,
         "9053212345678"},
        {"multiple data, 3 digits", MessageFormat::MultipleData, "112", 3, "112"},
        {"single data, 10 digits", MessageFormat::SingleData, "2125551234", 4, "2125551234"},
        {"single data, date and time only", MessageFormat::SingleData, "", 1, ""},
        // Two digits: the length character reads 2 and is passed over.
        {"multiple data, 2 digits", MessageFormat::MultipleData, "12", 2, std::nullopt},
    };
    LineDecoder decoder;
    for (const BurstCase& c : cases) {
        std::vector<int> buffer = rawCapture(c.format, {"12250930", c.number, ""}, c.position);
        EXPECT_EQ(decoder.DecodeLineCallerId(buffer, c.position, 128), c.expected) << c.name;
    }
}

TEST(ComponentLineDecoder, CorrectsTheCaptureInPlaceAndRefusesAQuietOne) {
    LineDecoder decoder;
    std::vector<int> loud = rawCapture(MessageFormat::MultipleData, {"12250930", "5551234", ""}, 3);
    const std::vector<int> raw = loud;
    ASSERT_EQ(decoder.DecodeLineCallerId(loud, 3, 128), "5551234");
    for (int i : {0, 100, kCaptureSamples - 1})
        EXPECT_EQ(loud[i], signalpath::descramble(3, static_cast<std::uint8_t>(raw[i])) - 128);

    // Peak 6: the running mean of |x| falls below 5 early on, however clean the burst.
    std::vector<int> quiet =
        rawCapture(MessageFormat::MultipleData, {"12250930", "5551234", ""}, 3, 40, 6.0);
    EXPECT_EQ(decoder.DecodeLineCallerId(quiet, 3, 128), std::nullopt);
    EXPECT_EQ(quiet.back(), quiet[kCaptureSamples]) << "samples after the failure stay raw";

    std::vector<int> shortBuffer(100, 0);
    EXPECT_EQ(decoder.DecodeLineCallerId(shortBuffer, 1, 128), std::nullopt);
}

// Bit strings character by character: asynchronous characters and mark runs.
std::string character(unsigned byte) {
    std::string bits = "0";
    for (int b = 0; b < 8; ++b)
        bits += (byte >> b) & 1 ? '1' : '0';
    return bits + "1";
}
std::string digits(const std::string& text) {
    std::string bits;
    for (char c : text)
        bits += character(static_cast<unsigned char>(c));
    return bits;
}
std::string numberParameter(const std::string& number, int length = -1) {
    return character(0x02) + character(length < 0 ? number.size() : length) + digits(number);
}
std::string singleData(int length, const std::string& dateTime, const std::string& number) {
    return std::string(10, '1') + character(0x04) + character(length) + digits(dateTime) +
           digits(number);
}

std::optional<std::string> search(const std::string& text, int startN = 0) {
    const BitString bits = BitString::fromText(text);
    int n = startN;
    return readFrame(searchFrame(bits, bits.size() - 1, n));
}

TEST(ComponentFrameSearch, FollowsTheLengthAndHeaderRules) {
    const std::string marks(20, '1');
    struct Case {
        const char* name;
        std::string bits;
        std::optional<std::string> expected;
    } cases[] = {
        {"a number parameter", marks + numberParameter("5551234") + marks, "5551234"},
        {"lengths 2 and 14 are passed over",
         marks + numberParameter("12") + numberParameter("12345678901234") +
             numberParameter("5551234") + marks,
         "5551234"},
        {"single data with a number", marks + singleData(18, "12250930", "2125551234") + marks,
         "2125551234"},
        {"single data of date and time only", marks + singleData(8, "12250930", "") + marks, ""},
        {"single data shorter than its date and time",
         marks + singleData(7, "12250930", "") + marks, std::nullopt},
        {"a single-data number that runs past the end",
         marks + singleData(18, "12250930", "2125551234").substr(0, 200), std::nullopt},
        {"a single-data header ends the search even when its frame fails",
         marks + singleData(18, "12250930", "21") + marks + numberParameter("5551234") + marks,
         std::nullopt},
        {"a digit above 9", marks + numberParameter("555:234") + marks, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(search(c.bits), c.expected) << c.name;
}

TEST(ComponentFrameSearch, KeepsTheDigitCountWhenALengthIsCutShort) {
    // The length character's data bits end with the string: the count of the run is
    // kept, and its frame has no room there.
    const std::string text = std::string(20, '1') + character(0x02) + "0101";
    const BitString bits = BitString::fromText(text);
    int n = 7;
    const FrameSearch found = searchFrame(bits, bits.size() - 1, n);
    EXPECT_EQ(n, 7);
    ASSERT_TRUE(found.frame);
    EXPECT_EQ(readFrame(found), std::nullopt);

    const BitString whole = BitString::fromText(std::string(20, '1') + numberParameter("5551234"));
    searchFrame(whole, whole.size() - 1, n);
    EXPECT_EQ(n, 7) << "replaced by a complete length character";
    int m = 0;
    const BitString tooLong =
        BitString::fromText(std::string(20, '1') + numberParameter("12345678901234"));
    EXPECT_FALSE(searchFrame(tooLong, tooLong.size() - 1, m).frame);
    EXPECT_EQ(m, 14) << "a passed-over length still replaces the count";
}

} // namespace
} // namespace component
