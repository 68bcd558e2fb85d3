// The stand-in's caller-ID bursts checked against an independent decoder: the
// ADSI receiver of spandsp (CLASS standard) must read back the same message.
#include "standin/callerid_burst.h"

#include <gtest/gtest.h>
#include <memory>
#include <spandsp.h>
#include <string>
#include <vector>

namespace standin {
namespace {

struct RxDeleter {
    void operator()(adsi_rx_state_t* s) const { adsi_rx_free(s); }
};

// The messages spandsp delivers: type, length and body (the checksum it has checked).
class ClassReceiver {
public:
    ClassReceiver() : rx_(adsi_rx_init(nullptr, ADSI_STANDARD_CLASS, &ClassReceiver::put, this)) {}

    // Feeds zero-centred 8-bit-scale values as 16-bit audio, with silence around them.
    void feed(const Signal& s) {
        std::vector<std::int16_t> audio(s.size() + 1600, 0);
        for (std::size_t i = 0; i < s.size(); ++i)
            audio[800 + i] = static_cast<std::int16_t>(s[i] * 256);
        adsi_rx(rx_.get(), audio.data(), static_cast<int>(audio.size()));
    }

    const std::vector<std::vector<std::uint8_t>>& messages() const { return messages_; }

private:
    static void put(void* self, const std::uint8_t* msg, int len) {
        static_cast<ClassReceiver*>(self)->messages_.emplace_back(msg, msg + len);
    }
    std::unique_ptr<adsi_rx_state_t, RxDeleter> rx_;
    std::vector<std::vector<std::uint8_t>> messages_;
};

struct Fields {
    std::string dateTime, number, name;
};

// The fields of a multiple-data message as spandsp's own parser splits them.
Fields multipleDataFields(const std::vector<std::uint8_t>& msg) {
    Fields f;
    auto rx = std::unique_ptr<adsi_rx_state_t, RxDeleter>(
        adsi_rx_init(nullptr, ADSI_STANDARD_CLASS, nullptr, nullptr));
    int pos = -1;
    for (;;) {
        std::uint8_t type = 0;
        const std::uint8_t* body = nullptr;
        int len = 0;
        pos = adsi_next_field(rx.get(), msg.data(), static_cast<int>(msg.size()), pos, &type, &body,
                              &len);
        if (pos < 0 || len < 0)
            break; // the end of the message, or a corrupt structure
        if (body == nullptr)
            continue; // the message header
        const std::string text(body, body + len);
        if (type == kDateTimeParameter)
            f.dateTime = text;
        else if (type == kNumberParameter)
            f.number = text;
        else if (type == kNameParameter)
            f.name = text;
    }
    return f;
}

struct CrossCase {
    const char* label;
    MessageFormat format;
    CallInfo call;
    FskSettings fsk;
    int trailingMarks = 10;
};

FskSettings fsk(double amplitude, double freqOffset = 0, double baud = 1200, double noise = 0) {
    FskSettings f;
    f.amplitude = amplitude;
    f.markHz += freqOffset;
    f.spaceHz += freqOffset;
    f.baud = baud;
    f.noiseRms = noise;
    return f;
}

class SpandspCrossCheck : public testing::TestWithParam<CrossCase> {};

TEST_P(SpandspCrossCheck, DecodesTheSameFields) {
    const auto& c = GetParam();
    BurstLayout layout;
    layout.trailingMarkBits = c.trailingMarks;
    ClassReceiver rx;
    rx.feed(synthesizeBurst(c.format, c.call, layout, c.fsk));
    ASSERT_EQ(rx.messages().size(), 1u) << "expected one message, got " << rx.messages().size();
    const auto& got = rx.messages()[0];

    auto sent = buildMessage(c.format, c.call);
    sent.pop_back(); // spandsp hands over the message without its checksum
    EXPECT_EQ(got, sent);

    if (c.format == MessageFormat::MultipleData) {
        const auto f = multipleDataFields(got);
        EXPECT_EQ(f.dateTime, c.call.dateTime);
        EXPECT_EQ(f.number, c.call.number);
        EXPECT_EQ(f.name, c.call.name);
    } else {
        ASSERT_GE(got.size(), 10u);
        EXPECT_EQ(got[0], kSingleDataMessage);
        EXPECT_EQ(std::string(got.begin() + 2, got.begin() + 10), c.call.dateTime);
        EXPECT_EQ(std::string(got.begin() + 10, got.end()), c.call.number);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bursts, SpandspCrossCheck,
    testing::Values(
        CrossCase{"sdmf_eleven_digits",
                  MessageFormat::SingleData,
                  {"12251830", "05321234567", ""},
                  fsk(48)},
        CrossCase{
            "sdmf_seven_digits", MessageFormat::SingleData, {"07040905", "5551234", ""}, fsk(48)},
        CrossCase{"sdmf_private", MessageFormat::SingleData, {"01010000", "P", ""}, fsk(48)},
        CrossCase{"mdmf_number_and_name",
                  MessageFormat::MultipleData,
                  {"03150742", "02125550123", "AYSE YILMAZ"},
                  fsk(48)},
        CrossCase{
            "mdmf_number_only", MessageFormat::MultipleData, {"11300001", "4441122", ""}, fsk(48)},
        CrossCase{"mdmf_long_name",
                  MessageFormat::MultipleData,
                  {"02281159", "00902165551234", "NORVELLIX TEST LINE 4"},
                  fsk(48)},
        CrossCase{
            "low_level", MessageFormat::MultipleData, {"06010101", "3125550000", "LOW"}, fsk(8)},
        CrossCase{
            "high_level", MessageFormat::SingleData, {"06010101", "3125550001", ""}, fsk(120)},
        CrossCase{"frequency_up",
                  MessageFormat::MultipleData,
                  {"06010101", "3125550002", "UP"},
                  fsk(48, +30)},
        CrossCase{"frequency_down",
                  MessageFormat::SingleData,
                  {"06010101", "3125550003", ""},
                  fsk(48, -30)},
        CrossCase{"bit_rate_fast",
                  MessageFormat::MultipleData,
                  {"06010101", "3125550004", "FAST"},
                  fsk(48, 0, 1212)},
        CrossCase{"bit_rate_slow",
                  MessageFormat::SingleData,
                  {"06010101", "3125550005", ""},
                  fsk(48, 0, 1188)},
        CrossCase{"noisy",
                  MessageFormat::MultipleData,
                  {"06010101", "3125550006", "NOISE"},
                  fsk(48, 0, 1200, 6)},
        CrossCase{"one_trailing_mark",
                  MessageFormat::SingleData,
                  {"06010101", "3125550007", ""},
                  fsk(48),
                  1}),
    [](const testing::TestParamInfo<CrossCase>& info) { return std::string(info.param.label); });

} // namespace
} // namespace standin
