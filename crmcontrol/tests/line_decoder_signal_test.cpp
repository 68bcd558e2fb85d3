// Both decoders of a line on captures of synthesized caller-ID bursts, taken and
// scrambled as the control takes them.
#include "crmcontrol/line_decoder.h"
#include "crmcontrol/tests/capture_fixture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace crmcontrol {
namespace {

using standin::MessageFormat;
using testing::CaptureSpec;

struct Decoded {
    std::optional<std::string> number;
    std::vector<int> buffer; // the capture buffer afterwards
};

Decoded decode(const CaptureSpec& spec) {
    Decoded d;
    d.buffer = testing::rawCapture(spec);
    LineDecoder decoder(spec.lineIndex);
    d.number = decoder.CountedFrameDecoder(d.buffer, spec.zeroLevel);
    return d;
}

CaptureSpec multipleData(const std::string& number, int line = 1) {
    CaptureSpec spec;
    spec.call = {"12250930", number, ""};
    spec.lineIndex = line;
    return spec;
}

// The date and time come right before the number: digits 5 to 8 are the hour
// and minute.
CaptureSpec singleData(const std::string& number, int line = 1,
                       const std::string& dateTime = "12251130") {
    CaptureSpec spec = multipleData(number, line);
    spec.format = MessageFormat::SingleData;
    spec.call.dateTime = dateTime;
    return spec;
}

struct SignalCase {
    const char* name;
    CaptureSpec spec;
    const char* number; // nullptr: no call
    // Phases of the start bit (controlLead) at which the number is not raised.
    std::vector<int> missedPhases = {};
};

std::vector<SignalCase> signalCases() {
    std::vector<SignalCase> cases = {
        {"multiple-data message, 11 digits", multipleData("05321234567"), "05321234567"},
        {"multiple-data message, 10 digits", multipleData("2125551234"), "2125551234"},
        {"multiple-data message, 12 digits", multipleData("905321234567"), "905321234567"},
        // Its frame ends 270 bits (1,800 samples) after the message begins: too
        // close to the end of a capture that starts 8 or 9 samples after the start
        // bit for the passes to read its last characters.
        {"multiple-data message, 13 digits",
         multipleData("9053212345678"),
         "9053212345678",
         {7, 8}},
        {"multiple-data message, 3 digits", multipleData("112"), "112"},
        {"multiple-data message, 2 digits are never raised", multipleData("12"), nullptr},
        // The number of a single-data message follows its date and time, as many
        // digits as its length character says beyond them.
        {"single-data message, 11 digits from 0", singleData("05321234567"), "05321234567"},
        {"single-data message, 7 digits", singleData("5551234"), "5551234"},
        {"single-data message at 08:15, 7 digits", singleData("5551234", 1, "12100815"), "5551234"},
        {"single-data message at 10:15, 7 digits", singleData("5551234", 1, "12101015"), "5551234"},
        {"single-data message at 09:30, 10 digits", singleData("3125550100", 1, "12100930"),
         "3125550100"},
        {"single-data message at 09:31, 10 digits", singleData("3125550100", 1, "12100931"),
         "3125550100"},
        {"single-data message at 08:15, 11 digits from 0", singleData("05321234567", 1, "12100815"),
         "05321234567"},
        {"single-data message at 11:35, 5 digits", singleData("12345", 1, "12251135"), "12345"},
        {"single-data message in January, 3 digits", singleData("112", 1, "01010930"), "112"},
        {"single-data message, 13 digits", singleData("9053212345678", 1, "12100930"),
         "9053212345678"},
        // Not taken whole, so not at all: longer than a number's 13 digits, and the
        // date and time alone.
        {"single-data message, 14 digits", singleData("90532123456789", 1, "12100930"), nullptr},
        {"single-data message of the date and time only", singleData("", 1, "12100930"), nullptr},
    };
    CaptureSpec quiet = multipleData("05321234567");
    quiet.fsk.amplitude = 6;
    cases.push_back({"a faint burst", quiet, nullptr});
    CaptureSpec noisy = multipleData("05321234567");
    noisy.fsk.noiseRms = 8;
    cases.push_back({"noise of rms 8 on amplitude 48", noisy, "05321234567"});
    CaptureSpec fast = multipleData("05321234567");
    fast.fsk.baud = 8000.0 / 6.6;
    cases.push_back({"a sender at 6.6 samples per bit (pass 1)", fast, "05321234567"});
    CaptureSpec noisySingle = singleData("5551234", 1, "12100815");
    noisySingle.fsk.noiseRms = 8;
    cases.push_back({"single-data message, noise of rms 8", noisySingle, "5551234"});
    CaptureSpec fastSingle = singleData("3125550100", 1, "12100930");
    fastSingle.fsk.baud = 8000.0 / 6.6;
    cases.push_back({"single-data message at 6.6 samples per bit", fastSingle, "3125550100"});
    return cases;
}

void expectDecoded(const SignalCase& c, const CaptureSpec& spec, bool missed) {
    const Decoded d = decode(spec);
    const std::string at = std::string(c.name) + ", lead " + std::to_string(spec.leadSamples);
    if (!c.number || missed) {
        EXPECT_FALSE(d.number) << at << ": expected no call, got " << *d.number;
        return;
    }
    ASSERT_TRUE(d.number) << at;
    EXPECT_EQ(*d.number, c.number) << at;
}

// Every phase of the message's start bit in its report, as the control captures.
TEST(LineDecoderSignal, CapturesAtTheControlsAlignmentDecodeToTheirNumbers) {
    for (const auto& c : signalCases()) {
        for (int phase = 0; phase < testing::kReportPhases; ++phase) {
            CaptureSpec spec = c.spec;
            spec.leadSamples = testing::controlLead(phase);
            expectDecoded(c, spec, std::ranges::count(c.missedPhases, phase) > 0);
        }
    }
}

// The start offsets of the passes find a frame wherever the message begins in the
// capture, also when the capture begins before it (the control's never do).
TEST(LineDecoderSignal, CapturesStartingBeforeTheMessage) {
    std::vector<SignalCase> cases;
    for (int lead : {0, 40, 100}) {
        CaptureSpec early = multipleData("2125551234");
        early.leadSamples = lead;
        cases.push_back({"10 digits", early, "2125551234"});
    }
    CaptureSpec cut = multipleData("9053212345678");
    cut.leadSamples = 13;
    cases.push_back({"13 digits: the frame ends past the capture", cut, nullptr});
    for (int lead : {0, 40}) {
        CaptureSpec early = singleData("3125550100", 1, "12100930");
        early.leadSamples = lead;
        cases.push_back({"single-data message, 10 digits", early, "3125550100"});
    }
    for (const auto& c : cases)
        expectDecoded(c, c.spec, false);
}

// A capture that starts late (the line watch saw the message's start late: its timer
// ticked too slowly) keeps the length character up to its start bit, and the number
// is taken whole. One that starts after it shows no single-data message: its digits
// are searched for fixed frames as ever, which keep the numbers they read right.
TEST(LineDecoderSignal, LateSingleDataCaptures) {
    struct Case {
        int late; // samples after the message's first start bit
        const char* dateTime;
        const char* number;
        const char* raised;
    };
    const Case cases[] = {
        // Inside the type character and at the length's start bit.
        {40, "12100815", "5551234", "5551234"},
        {64, "12100931", "3125550100", "3125550100"},
        // Inside the length character, inside the first and the fifth date-and-time
        // digits.
        {90, "12100815", "05321234567", "05321234567"},
        {140, "12101015", "5551234", "5551234"},
        {400, "12100815", "05321234567", "05321234567"},
    };
    for (const auto& c : cases) {
        CaptureSpec spec = singleData(c.number, 1, c.dateTime);
        spec.leadSamples = -c.late;
        expectDecoded({c.number, spec, c.raised}, spec, false);
    }
}

TEST(LineDecoderSignal, EveryLinePositionDescramblesItsCapture) {
    for (int line = 1; line <= kLineCount; ++line) {
        const CaptureSpec spec = multipleData("05321234567", line);
        const Decoded d = decode(spec);
        ASSERT_TRUE(d.number) << "line " << line;
        EXPECT_EQ(*d.number, "05321234567");
        // The buffer now holds the zero-corrected values (clipped as the line clips).
        const std::vector<int> x = testing::captureValues(spec);
        for (int i = 0; i < kCaptureSamples; ++i) {
            const int clipped = std::min(255, std::max(0, spec.zeroLevel + x[i])) - spec.zeroLevel;
            ASSERT_EQ(d.buffer[i], clipped) << "line " << line << " sample " << i;
        }
    }
}

TEST(LineDecoderSignal, GateFailingAtOneSampleEndsTheRunWithoutFallback) {
    // Four silent samples at the start: the mean is 15 / 4 at sample 3. The frame
    // that follows would raise through either decoder.
    for (const CaptureSpec& spec : {multipleData("05321234567"), singleData("05321234567")}) {
        std::vector<int> x = testing::captureValues(spec);
        for (int i = 0; i < 4; ++i)
            x[i] = 0;
        std::vector<int> buffer = testing::rawCapture(x, spec.lineIndex, spec.zeroLevel);
        const std::vector<int> raw = buffer;
        LineDecoder decoder(spec.lineIndex);
        EXPECT_FALSE(decoder.CountedFrameDecoder(buffer, spec.zeroLevel));
        // Corrected up to the failing sample, raw after it.
        EXPECT_EQ(buffer[3], 0);
        EXPECT_EQ(buffer[4], raw[4]);
        EXPECT_EQ(buffer[kCaptureSamples - 1], raw[kCaptureSamples - 1]);

        // The same capture without the silence raises.
        EXPECT_TRUE(decode(spec).number);
    }
}

TEST(LineDecoderSignal, ShortBufferIsNoCapture) {
    std::vector<int> buffer = testing::rawCapture(multipleData("05321234567"));
    buffer.resize(kCaptureSamples - 1);
    const std::vector<int> before = buffer;
    LineDecoder decoder(1);
    EXPECT_FALSE(decoder.CountedFrameDecoder(buffer, 131));
    EXPECT_FALSE(decoder.FixedFrameDecoder(buffer));
    EXPECT_EQ(buffer, before);
}

TEST(LineDecoderSignal, SingleDataMessagesGiveNoFixedFrames) {
    // The decoder raises a single-data number from its length; the fixed-frame
    // decoder alone, on the samples it left, raises nothing from the message, not
    // even an 11-digit number beginning with "0" that it would read right.
    for (const char* number : {"05321234567", "5551234"}) {
        const CaptureSpec spec = singleData(number, 3, "12100815");
        std::vector<int> buffer = testing::rawCapture(spec);
        LineDecoder decoder(3);
        const auto found = decoder.CountedFrameDecoder(buffer, spec.zeroLevel);
        ASSERT_TRUE(found) << number;
        EXPECT_EQ(*found, number);
        const auto fixedOnly = decoder.FixedFrameDecoder(buffer);
        EXPECT_FALSE(fixedOnly) << number << ": expected no call, got " << *fixedOnly;
    }
}

} // namespace
} // namespace crmcontrol
