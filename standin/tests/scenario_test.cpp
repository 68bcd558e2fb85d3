#include "standin/scenario.h"
#include "standin/wav.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace standin {
namespace {

using platform::DeviceAction;

Scenario parse(const std::string& text) {
    Scenario s;
    std::string error;
    EXPECT_TRUE(parseScenario(text, "test.scn", ".", s, error)) << error;
    return s;
}

TEST(Scenario, ReadsDevicesWithTheirStringsIdsAndFlags) {
    const auto s = parse(R"(# two caller-ID devices and a mouse
mode real-time
device A instance=1a2b3c4d
device B instance=0badf00d serial=none held wait-start unplugged
device C product="Norvellix Device V0.1" vid=0x04d8 pid=C5A8 serial="SN 42"
foreign M vid=046d pid=c077 product="USB Optical Mouse"
)");
    EXPECT_EQ(s.mode, platform::ClockMode::RealTime);
    ASSERT_EQ(s.devices.size(), 4u);
    const auto& a = s.devices[0].description;
    EXPECT_EQ(a.vendorId, 0x04D8);
    EXPECT_EQ(a.productId, 0xC5A7);
    EXPECT_EQ(a.productString, u"Norvellix Device V0.0");
    EXPECT_EQ(a.instanceId, "1a2b3c4d");
    EXPECT_EQ(a.serialString, std::u16string(u"1a2b3c4d")) << "the serial defaults to the instance";
    EXPECT_FALSE(a.heldExclusively || a.silent || s.devices[0].waitsForStartCommand);
    EXPECT_TRUE(s.devices[0].plugged);

    const auto& b = s.devices[1];
    EXPECT_FALSE(b.description.serialString.has_value());
    EXPECT_TRUE(b.description.heldExclusively);
    EXPECT_TRUE(b.waitsForStartCommand);
    EXPECT_FALSE(b.plugged);

    const auto& c = s.devices[2].description;
    EXPECT_EQ(c.productId, 0xC5A8);
    EXPECT_EQ(c.productString, u"Norvellix Device V0.1");
    EXPECT_EQ(c.serialString, std::u16string(u"SN 42"));
    EXPECT_EQ(c.instanceId.size(), 8u) << "an instance id is chosen when none is given";

    EXPECT_FALSE(s.devices[3].callerId);
    EXPECT_EQ(s.devices[3].description.vendorId, 0x046D);
    EXPECT_EQ(s.devices[3].description.productString, u"USB Optical Mouse");
}

TEST(Scenario, ChosenInstanceIdsNeverRepeatOneGiven) {
    const auto s = parse("device A\ndevice B instance=5a1e0001\ndevice C\n");
    EXPECT_EQ(s.devices[1].description.instanceId, "5a1e0001");
    EXPECT_NE(s.devices[0].description.instanceId, "5a1e0001");
    EXPECT_NE(s.devices[2].description.instanceId, "5a1e0001");
    EXPECT_NE(s.devices[0].description.instanceId, s.devices[2].description.instanceId);
    EXPECT_EQ(s.devices[0].description.serialString,
              std::u16string(s.devices[0].description.instanceId.begin(),
                             s.devices[0].description.instanceId.end()));
}

TEST(Scenario, PlacesBurstsAtTheirTimeWithTheirSettings) {
    const auto s = parse(R"(
device A
line A 3 zero=120 noise=1.5
call 2.5 A 3 number=05321234567 date=1225 time=1830 type=sdmf amplitude=30 trailing-marks=12 baud=1210 frequency-offset=-20
call 7 A 1 number=5551234 name="AYSE YILMAZ"
)");
    EXPECT_EQ(s.devices[0].lines[2].zeroLevel, 120);
    EXPECT_EQ(s.devices[0].lines[2].noiseRms, 1.5);
    EXPECT_EQ(s.devices[0].lines[0].zeroLevel, 128);
    ASSERT_EQ(s.signals.size(), 2u);
    EXPECT_EQ(s.signals[0].line, 3);
    EXPECT_EQ(s.signals[0].startSample, 20000);
    BurstLayout layout;
    layout.trailingMarkBits = 12;
    FskSettings fsk;
    fsk.amplitude = 30;
    fsk.baud = 1210;
    fsk.markHz = 1180;
    fsk.spaceHz = 2180;
    EXPECT_EQ(s.signals[0].samples, synthesizeBurst(MessageFormat::SingleData,
                                                    {"12251830", "05321234567", ""}, layout, fsk));
    EXPECT_EQ(s.signals[1].startSample, 56000);
    EXPECT_EQ(s.signals[1].samples,
              synthesizeBurst(MessageFormat::MultipleData, {"01011200", "5551234", "AYSE YILMAZ"}));
}

TEST(Scenario, ReadsFaultsAtTheirTimes) {
    const auto s = parse(R"(
device A
device B
unplug 12 B   # pulled out
plug 15.5 B
silent 20 A
resume 21 A
hold 22 A
release 23.25 A
)");
    ASSERT_EQ(s.events.size(), 6u);
    EXPECT_EQ(s.events[0].device, 1u);
    EXPECT_EQ(s.events[0].action, DeviceAction::Unplug);
    EXPECT_EQ(s.events[0].at, std::chrono::seconds(12));
    EXPECT_EQ(s.events[1].action, DeviceAction::Plug);
    EXPECT_EQ(s.events[1].at, std::chrono::milliseconds(15500));
    EXPECT_EQ(s.events[2].action, DeviceAction::GoSilent);
    EXPECT_EQ(s.events[3].action, DeviceAction::Resume);
    EXPECT_EQ(s.events[4].action, DeviceAction::HoldExclusively);
    EXPECT_EQ(s.events[5].action, DeviceAction::ReleaseExclusive);
    EXPECT_EQ(s.events[5].at, std::chrono::milliseconds(23250));
    EXPECT_EQ(s.mode, platform::ClockMode::Fast) << "fast is the default";
}

TEST(Scenario, LastsUntilItsLastEventOrTheEndOfItsLastSignal) {
    struct Case {
        const char* label;
        const char* text;
        platform::Microseconds length;
    };
    using std::chrono::milliseconds;
    const Case cases[] = {
        {"no events", "device A\n", milliseconds(0)},
        {"a fault last", "device A\nring 1 A 1 duration=2\nunplug 4.5 A\n", milliseconds(4500)},
        {"ringing last", "device A\nunplug 2 A\nring 1.5 A 2 duration=3\n", milliseconds(4500)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scenarioLength(parse(c.text)), c.length) << c.label;
    // A burst lasts its bits at 1200 baud: seizure, marks and the message.
    const auto burst = scenarioLength(parse("device A\ncall 10 A 1 number=5551234 type=sdmf\n"));
    EXPECT_GT(burst, milliseconds(10400)) << "expected more than its 480 bits of preamble";
    EXPECT_LT(burst, milliseconds(11000));
}

struct BadScenario {
    const char* label;
    const char* text;
    const char* error;
};

class BadScenarios : public testing::TestWithParam<BadScenario> {};

TEST_P(BadScenarios, AreRefusedWithLineAndReason) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(parseScenario(GetParam().text, "bad.scn", "base", s, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadScenarios,
    testing::Values(
        BadScenario{"unknown_statement", "# fine\n\nbogus 1\n",
                    "bad.scn:3: unknown statement \"bogus\""},
        BadScenario{"device_twice", "device A\ndevice A\n",
                    "bad.scn:2: device \"A\" declared twice"},
        BadScenario{"undeclared_device", "call 1 A 1\n",
                    "bad.scn:1: no device \"A\" declared before this line"},
        BadScenario{"line_five", "device A\ncall 1 A 5\n",
                    "bad.scn:2: line \"5\" is not 1, 2, 3 or 4"},
        BadScenario{"negative_time", "device A\ncall -1 A 1\n",
                    "bad.scn:2: time -1 is outside 0 to 86400"},
        BadScenario{"time_not_number", "device A\nring soon A 1\n",
                    "bad.scn:2: time \"soon\" is not a number"},
        BadScenario{"short_instance", "device A instance=12345\n",
                    "bad.scn:1: instance \"12345\" is not 8 hexadecimal digits"},
        BadScenario{"instance_twice", "device A instance=0000abcd\ndevice B instance=0000abcd\n",
                    "bad.scn:2: instance 0000abcd is already device \"A\"'s"},
        BadScenario{"bad_vid", "device A vid=12345\n",
                    "bad.scn:1: vid \"12345\" is not a hexadecimal id of up to 4 digits"},
        BadScenario{"foreign_without_ids", "foreign M vid=046d\n",
                    "bad.scn:1: a foreign device needs vid= and pid="},
        BadScenario{"foreign_lines", "foreign M vid=046d pid=c077\nline M 1 zero=100\n",
                    "bad.scn:2: \"M\" is a foreign device and has no lines"},
        BadScenario{"unknown_option", "device A\ncall 1 A 1 colour=red\n",
                    "bad.scn:2: unknown option \"colour\" for \"call\""},
        BadScenario{"unknown_flag", "device A loud\n",
                    "bad.scn:1: unknown word \"loud\" for \"device\""},
        BadScenario{"option_twice", "device A\ncall 1 A 1 number=1 number=2\n",
                    "bad.scn:2: option \"number\" given twice"},
        BadScenario{"sdmf_name", "device A\ncall 1 A 1 type=sdmf name=X\n",
                    "bad.scn:2: a single-data message (type=sdmf) carries no name"},
        BadScenario{"bad_type", "device A\ncall 1 A 1 type=xdmf\n",
                    "bad.scn:2: type \"xdmf\" is neither sdmf nor mdmf"},
        BadScenario{"short_date", "device A\ncall 1 A 1 date=123\n",
                    "bad.scn:2: date \"123\" is not four digits"},
        BadScenario{"unterminated_quote", "device A\ncall 1 A 1 name=\"AYSE\n",
                    "bad.scn:2: unterminated quoted text"},
        BadScenario{"long_number",
                    "device A\ncall 1 A 1 number=123456789012345678901234567890123\n",
                    "bad.scn:2: number is longer than 32 characters"},
        BadScenario{"loud_call", "device A\ncall 1 A 1 amplitude=300\n",
                    "bad.scn:2: amplitude 300 is outside 0 to 255"},
        BadScenario{"bad_zero", "device A\nline A 1 zero=12x\n",
                    "bad.scn:2: zero \"12x\" is not a number"},
        BadScenario{"bad_mode", "mode slow\n",
                    "bad.scn:1: mode \"slow\" is neither fast nor real-time"},
        BadScenario{"mode_twice", "mode fast\nmode fast\n", "bad.scn:2: mode given twice"},
        BadScenario{"unplug_usage", "device A\nunplug 1\n",
                    "bad.scn:2: expected \"plug|unplug|silent|resume|hold|release TIME DEVICE\""},
        BadScenario{"wav_without_file", "device A\nwav 1 A 1\n", "bad.scn:2: wav needs file="},
        BadScenario{"wav_missing", "device A\nwav 1 A 1 file=missing.wav\n",
                    "bad.scn:2: WAV file refused: cannot open \"base/missing.wav\""}),
    [](const testing::TestParamInfo<BadScenario>& info) { return std::string(info.param.label); });

class ScenarioFiles : public testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("standin-" +
               std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    }
};

TEST_F(ScenarioFiles, BadFileAddsNoDeviceAndNamesFileAndLine) {
    const auto path = write("bad.scn", "device A\ndevice B\ncall 1 B 9\n");
    platform::SimulatedBus bus;
    std::string error;
    EXPECT_FALSE(installScenarioFile(bus, path, error));
    EXPECT_EQ(error, path + ":3: line \"9\" is not 1, 2, 3 or 4");
    EXPECT_TRUE(bus.audit().devices.empty());
}

TEST_F(ScenarioFiles, MissingFileIsRefused) {
    platform::SimulatedBus bus;
    std::string error;
    const auto path = (dir / "none.scn").string();
    EXPECT_FALSE(installScenarioFile(bus, path, error));
    EXPECT_EQ(error, path + ": cannot open the scenario file");
    EXPECT_TRUE(bus.audit().devices.empty());
}

TEST_F(ScenarioFiles, InstallsDevicesUnderThePlatformsPathsWithTheirFaults) {
    // An 8-bit WAV next to the scenario, named relative to it: one sample at +64 of 128.
    const std::uint8_t wav[] = {'R',  'I',  'F', 'F', 37,   0,    0, 0, 'W', 'A', 'V', 'E',
                                'f',  'm',  't', ' ', 16,   0,    0, 0, 1,   0,   1,   0,
                                0x40, 0x1F, 0,   0,   0x40, 0x1F, 0, 0, 1,   0,   8,   0,
                                'd',  'a',  't', 'a', 1,    0,    0, 0, 192};
    std::ofstream(dir / "one.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(wav), sizeof wav);
    const auto path = write("good.scn", "mode fast\n"
                                        "device A instance=1a2b3c4d\n"
                                        "wav 0 A 2 file=one.wav level=100\n"
                                        "foreign M vid=046d pid=c077\n"
                                        "unplug 1 A\n");
    platform::SimulatedBus bus(platform::ClockMode::RealTime);
    std::string error;
    ASSERT_TRUE(installScenarioFile(bus, path, error)) << error;
    EXPECT_EQ(bus.mode(), platform::ClockMode::Fast);
    const auto a = bus.interfacePath(0);
    EXPECT_EQ(
        a, "\\\\?\\hid#vid_04d8&pid_c5a7#7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}");
    // The control takes the text between the second and third "&" as the serial.
    const auto second = a.find('&', a.find('&') + 1);
    EXPECT_EQ(a.substr(second + 1, a.find('&', second + 1) - second - 1), "1a2b3c4d");
    EXPECT_EQ(bus.audit().devices.size(), 2u);
}

// What a scenario names is read only when it is a regular file within its bound: a
// device file or a pipe would never end or block for ever, a huge file would take
// the memory. Each is refused with the file and the line that named it.
TEST_F(ScenarioFiles, RefusesWhatIsNotARegularFileWithinItsBound) {
    std::filesystem::create_directory(dir / "folder");
    const auto big = dir / "big.wav";
    std::ofstream(big, std::ios::binary).put('R');
    std::filesystem::resize_file(big, kMaxWavFileBytes + 1);
    struct Case {
        std::string what, file, reason;
    };
    std::vector<Case> cases = {
        {"a directory", (dir / "folder").string(), "is not a regular file"},
        {"an oversized WAV file", big.string(),
         "is larger than " + std::to_string(kMaxWavFileBytes) + " bytes"},
    };
#ifndef _WIN32
    const auto fifo = dir / "fifo.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    cases.push_back({"a FIFO", fifo.string(), "is not a regular file"});
    cases.push_back({"/dev/zero", "/dev/zero", "is not a regular file"});
#endif
    for (const auto& c : cases) {
        const auto path = write("wav.scn", "device A\nwav 1 A 1 file=\"" + c.file + "\"\n");
        platform::SimulatedBus bus;
        std::string error;
        EXPECT_FALSE(installScenarioFile(bus, path, error)) << c.what;
        EXPECT_EQ(error, path + ":2: WAV file refused: \"" + c.file + "\" " + c.reason) << c.what;
        EXPECT_TRUE(bus.audit().devices.empty()) << c.what;
    }

    // The scenario file itself.
    const auto longScenario = dir / "long.scn";
    std::ofstream(longScenario, std::ios::binary) << "device A\n";
    std::filesystem::resize_file(longScenario, kMaxScenarioFileBytes + 1);
    std::vector<Case> scenarios = {
        {"a directory", (dir / "folder").string(), ": not a regular file"},
        {"an oversized scenario", longScenario.string(),
         ": larger than " + std::to_string(kMaxScenarioFileBytes) + " bytes"},
    };
#ifndef _WIN32
    scenarios.push_back({"a FIFO", fifo.string(), ": not a regular file"});
    scenarios.push_back({"/dev/zero", "/dev/zero", ": not a regular file"});
#endif
    for (const auto& c : scenarios) {
        platform::SimulatedBus bus;
        std::string error;
        EXPECT_FALSE(installScenarioFile(bus, c.file, error)) << c.what;
        EXPECT_EQ(error, c.file + c.reason) << c.what;
    }
}

// The signals a scenario places are held in memory: together they are bounded.
TEST(Scenario, RefusesSignalsBeyondTheirBound) {
    const int perRing = 60 * kSampleRate; // the longest ring
    const int fit = static_cast<int>(kMaxPlacedSignalSamples / perRing);
    std::string text = "device A\n";
    for (int i = 0; i <= fit; ++i)
        text += "ring " + std::to_string(i) + " A 1 duration=60\n";
    Scenario s;
    std::string error;
    EXPECT_FALSE(parseScenario(text, "bad.scn", ".", s, error));
    EXPECT_EQ(error, "bad.scn:" + std::to_string(fit + 2) +
                         ": the scenario's signals would take more than " +
                         std::to_string(kMaxPlacedSignalSamples) + " samples");

    // Up to the bound they are placed.
    text.erase(text.rfind("ring"));
    EXPECT_TRUE(parseScenario(text, "fits.scn", ".", s, error)) << error;
    EXPECT_EQ(s.signals.size(), static_cast<std::size_t>(fit));
}

TEST(ScenarioExamples, ShippedScenariosAreAccepted) {
    for (const char* name : {"demo.scn", "fast-two-calls.scn"}) {
        const std::string path = std::string(NORVELLIX_SCENARIOS_DIR) + "/" + name;
        platform::SimulatedBus bus;
        std::string error;
        EXPECT_TRUE(installScenarioFile(bus, path, error)) << error;
        EXPECT_FALSE(bus.audit().devices.empty()) << name;
    }
}

} // namespace
} // namespace standin
