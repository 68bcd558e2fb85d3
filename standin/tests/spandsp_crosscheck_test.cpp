// The stand-in's caller-ID bursts checked against an independent decoder: the
// ADSI receiver of spandsp (CLASS standard) must read back the same message.
#include "signalpath/descramble.h"
#include "standin/callerid_burst.h"
#include "standin/scenario.h"

#include <cmath>
#include <filesystem>
#include <fstream>
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

// The sample values of one line as the host reads them from the bus: every report
// read through the platform calls, each byte descrambled for its position.
std::vector<int> readLine(platform::SimulatedBus& bus, int line, std::size_t samples) {
    platform::SimulatedApi api(bus);
    const auto h = api.CreateFileA(bus.interfacePath(0).c_str(), platform::kGenericRead,
                                   platform::kFileShareRead | platform::kFileShareWrite, nullptr,
                                   platform::kOpenExisting, platform::kFileFlagOverlapped,
                                   platform::kNullHandle);
    const auto event = api.CreateEventA(nullptr, true, true, "");
    std::vector<int> values;
    while (values.size() < samples) {
        std::uint8_t report[65] = {};
        platform::Overlapped ov;
        ov.hEvent = event;
        api.ReadFile(h, report, 65, nullptr, &ov);
        if (api.WaitForSingleObject(event, 500) != platform::kWaitObject0)
            break;
        api.ResetEvent(event);
        for (int g = 0; g < 16; ++g)
            values.push_back(signalpath::descramble(line, report[4 * g + line]));
    }
    api.CloseHandle(h);
    api.CloseHandle(event);
    values.resize(samples);
    return values;
}

Signal minus(const std::vector<int>& values, int zero) {
    Signal s;
    for (const int v : values)
        s.push_back(v - zero);
    return s;
}

TEST(SpandspThroughTheDevice, BurstOnALineDecodesAfterTheDescramblers) {
    const CallInfo call{"12101234", "05321234567", "AYSE YILMAZ"};
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(parseScenario("device A\nline A 4 zero=131 noise=1\n"
                              "call 0.1 A 4 number=05321234567 name=\"AYSE YILMAZ\" date=1210 "
                              "time=1234 amplitude=40\n",
                              "through.scn", ".", scenario, error))
        << error;
    platform::SimulatedBus bus;
    installScenario(bus, scenario);
    const auto values = readLine(bus, 4, 8000);
    ClassReceiver rx;
    rx.feed(minus(values, 131));
    ASSERT_EQ(rx.messages().size(), 1u);
    const auto f = multipleDataFields(rx.messages()[0]);
    EXPECT_EQ(f.dateTime, call.dateTime);
    EXPECT_EQ(f.number, call.number);
    EXPECT_EQ(f.name, call.name);
}

struct TxDeleter {
    void operator()(adsi_tx_state_t* s) const { adsi_tx_free(s); }
};

// spandsp's CLASS transmitter sending a multiple-data caller-ID message.
std::vector<std::int16_t> spandspBurst(const std::string& number, const std::string& name) {
    std::unique_ptr<adsi_tx_state_t, TxDeleter> tx(adsi_tx_init(nullptr, ADSI_STANDARD_CLASS));
    std::uint8_t msg[256];
    int len = adsi_add_field(tx.get(), msg, -1, CLASS_MDMF_CALLERID, nullptr, 0);
    const std::string dateTime = "12101234";
    len = adsi_add_field(tx.get(), msg, len, MCLASS_DATETIME,
                         reinterpret_cast<const std::uint8_t*>(dateTime.data()), 8);
    len = adsi_add_field(tx.get(), msg, len, MCLASS_CALLER_NUMBER,
                         reinterpret_cast<const std::uint8_t*>(number.data()),
                         static_cast<int>(number.size()));
    len = adsi_add_field(tx.get(), msg, len, MCLASS_CALLER_NAME,
                         reinterpret_cast<const std::uint8_t*>(name.data()),
                         static_cast<int>(name.size()));
    EXPECT_GT(adsi_tx_put_message(tx.get(), msg, len), 0);
    std::vector<std::int16_t> audio;
    std::int16_t block[160];
    for (int n; (n = adsi_tx(tx.get(), block, 160)) > 0;)
        audio.insert(audio.end(), block, block + n);
    return audio;
}

void writeWav16(const std::filesystem::path& path, const std::vector<std::int16_t>& audio) {
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(audio.size() * 2);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(bytes);
    out.write(reinterpret_cast<const char*>(audio.data()), bytes);
}

TEST(SpandspThroughTheDevice, ReplayedWavComesBackAsTheSameSamples) {
    const auto audio = spandspBurst("02125550123", "MEHMET DEMIR");
    ASSERT_GT(audio.size(), 4000u);
    const auto dir = std::filesystem::temp_directory_path() / "standin-spandsp-replay";
    std::filesystem::create_directories(dir);
    writeWav16(dir / "burst.wav", audio);
    std::ofstream(dir / "replay.scn")
        << "device A\nline A 2 zero=128\nwav 0 A 2 file=burst.wav level=120\n";

    platform::SimulatedBus bus;
    std::string error;
    ASSERT_TRUE(installScenarioFile(bus, (dir / "replay.scn").string(), error)) << error;
    const auto values = readLine(bus, 2, audio.size());
    std::filesystem::remove_all(dir);

    // Each sample is the file's sample at the chosen level, to within the rounding
    // of an 8-bit line value.
    int worst = 0;
    for (std::size_t i = 0; i < audio.size(); ++i) {
        const double expected = 128 + audio[i] * 120.0 / 32768.0;
        ASSERT_LE(std::abs(values[i] - expected), 0.5 + 1e-9)
            << "sample " << i << ": expected " << expected << ", got " << values[i];
        worst = std::max(worst, std::abs(values[i] - 128));
    }
    EXPECT_GT(worst, 10) << "the replay should carry a real signal";

    // And the quantised replay still decodes to the transmitted message.
    ClassReceiver rx;
    rx.feed(minus(values, 128));
    ASSERT_EQ(rx.messages().size(), 1u);
    const auto f = multipleDataFields(rx.messages()[0]);
    EXPECT_EQ(f.number, "02125550123");
    EXPECT_EQ(f.name, "MEHMET DEMIR");
}

} // namespace
} // namespace standin
