// The fuzz targets' seed corpora, made by the project's own stand-in (caller-ID
// bursts, line signals, device reports, scenario files) and recorder (its signal
// files): a few inputs per target that reach each target's deep paths, written
// into one folder per target under the folder named on the command line.
#include "crmcontrol/tests/capture_fixture.h"
#include "recorder/signal_file.h"
#include "recorder/tests/memory_store.h"
#include "standin/callerid_device.h"
#include "standin/line_signal.h"
#include "standin/tests/wav_fixture.h"
#include "viewer/signal_file.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void write(const fs::path& path, const std::string& text) {
    write(path, Bytes(text.begin(), text.end()));
}

void append(Bytes& to, const std::string& text) {
    to.insert(to.end(), text.begin(), text.end());
}

void appendU16(Bytes& to, int v) {
    to.push_back(static_cast<std::uint8_t>(v & 0xFF));
    to.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A burst as the stand-in plays it: seizure, marks, the message.
standin::Signal burst(standin::MessageFormat format, const std::string& number) {
    standin::CallInfo info;
    info.dateTime = "12250930";
    info.number = number;
    return standin::synthesizeBurst(format, info);
}

// Where a burst's message begins, in samples from the burst's start.
int messageStart(const standin::BurstLayout& layout = {}) {
    return static_cast<int>((layout.seizureBits + layout.markBits) * standin::kSampleRate / 1200.0);
}

// ---- The viewer: line 1's file of a recording of one call, as the recorder
// writes it from the device's reports.

constexpr int kBurstAt = 400; // samples into the recording

Bytes recorderFile(standin::MessageFormat format, const std::string& number) {
    std::array<standin::LineSignal, standin::kLinesPerDevice> lines = {
        standin::LineSignal(150, 1.0, 1), standin::LineSignal(140), standin::LineSignal(130),
        standin::LineSignal(20)};
    lines[0].place(kBurstAt, burst(format, number));
    standin::CallerIdDeviceSource device(std::move(lines));
    std::array<recorder::CaptureBuffer, recorder::kLinesPerDevice> captures{};
    std::array<std::uint8_t, 65> report{};
    for (int r = 0; r < recorder::CaptureReportCount; ++r) {
        device.fillInputReport(r * platform::kReportInterval, report);
        for (int g = 0; g < 16; ++g)
            for (int p = 0; p < recorder::kLinesPerDevice; ++p)
                captures[p][static_cast<std::size_t>(16 * r + g)] = report[4 * g + p + 1];
    }
    recorder::RecordingInput input;
    input.captures = &captures;
    input.zeroLevels = {150, 140, 130, 20};
    input.serial = "0c0ffee0";
    input.dateText = "25.12.2026";
    input.timeText = "09:30:00";
    std::uint64_t tick = 0;
    recorder::ClockSeededRandom random([&tick] { return ++tick; });
    recorder::testing::MemoryStore store;
    const auto result = recorder::WriteRecording(input, random, store, {});
    return store.files.at(result.written.at(0));
}

// The typed lines, then the file.
Bytes viewerInput(const std::vector<std::string>& typed, const Bytes& file) {
    Bytes input;
    for (const auto& line : typed)
        append(input, line + "\n");
    input.insert(input.end(), file.begin(), file.end());
    return input;
}

void viewerSeeds(const fs::path& dir) {
    const Bytes mdmf = recorderFile(standin::MessageFormat::MultipleData, "5321234567");
    // The loaded index of the message's first bit, less a little of the mark run.
    const int message = 6 + kBurstAt + messageStart() - 20;
    const std::string start = std::to_string(message);
    write(dir / "recording-decoded", viewerInput({start, "150", start, "300", "", "1g<>do"}, mdmf));
    write(dir / "recording-defaults", viewerInput({"", "", "", "", "", ""}, mdmf));
    write(dir / "recording-sdmf",
          viewerInput({start, "150", "25400", "200", "", ""},
                      recorderFile(standin::MessageFormat::SingleData, "5551234")));
    write(dir / "recording-cut-short",
          viewerInput({"1", "155", "1", "200", "", ""}, Bytes(mdmf.begin(), mdmf.begin() + 40001)));
    write(dir / "lengthened", viewerInput({"20600", "155", "1", "25599", "200000", ""}, {'"'}));
    // The viewer's bound, and one byte beyond it.
    const std::string bound = std::to_string(viewer::kMaxSignalFileBytes);
    write(dir / "lengthened-to-the-bound", viewerInput({"", "", "", "", bound, ""}, mdmf));
    write(dir / "beyond-the-bound",
          viewerInput({"", "", "", "", std::to_string(viewer::kMaxSignalFileBytes + 1), ""}, mdmf));
    write(dir / "empty", viewerInput({"12.5", "x", "0.5", "-1", "", ""}, {}));
}

// ---- The scenario parser: the project's own scenario files, and scenarios that
// use every statement, option and flag, and replay the WAV files beside them.

void wavFiles(const fs::path& dir) {
    const standin::Signal signal = burst(standin::MessageFormat::MultipleData, "5321234567");
    Bytes eight, sixteen;
    for (const int v : signal) {
        eight.push_back(static_cast<std::uint8_t>(128 + v));
        const int s = v * 256;
        appendU16(sixteen, s & 0xFFFF);
    }
    using standin::testing::wavBytes;
    write(dir / "burst8.wav", wavBytes(1, 1, 8000, 8, eight));
    write(dir / "burst16.wav", wavBytes(1, 1, 8000, 16, sixteen));
    // A short one with an odd-sized chunk before the data.
    Bytes listed = wavBytes(1, 1, 8000, 8, {128, 200, 56, 128});
    const Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    listed.insert(listed.begin() + 36, list.begin(), list.end());
    write(dir / "listed.wav", listed);
}

void scenarioSeeds(const fs::path& dir, const fs::path& source) {
    for (const char* file :
         {"scenarios/demo.scn", "scenarios/fast-two-calls.scn", "recorder/tests/data/one-call.scn",
          "testprogram/tests/data/two_devices_twelve_calls.scn",
          "testprogram/tests/data/two_devices_unplugged.scn"})
        fs::copy_file(source / file, dir / fs::path(file).filename(),
                      fs::copy_options::overwrite_existing);
    wavFiles(dir);
    write(dir / "replays.scn", "mode fast\n"
                               "device A instance=0000beef\n"
                               "line A 2 zero=120 noise=2\n"
                               "wav 0.1 A 1 file=burst8.wav\n"
                               "wav 0.2 A 2 file=burst16.wav level=255\n"
                               "wav 0.3 A 3 file=listed.wav level=0\n"
                               "call 0.05 A 4 number=05321234567 noise=3\n");
    write(dir / "every-option.scn",
          "mode real-time\n"
          "device A vid=04d8 pid=c5a7 product=\"Norvellix Device V0.0\" serial=none wait-start\n"
          "device B instance=1a2b3c4d serial=languages held silent\n"
          "device C serial=\"SN 1\" path=other unplugged\n"
          "foreign F vid=046d pid=c077 product=\"A mouse\"\n"
          "line A 1 zero=0 noise=100\n"
          "line B 4 zero=255\n"
          "call 0 A 1 number=5551234 type=sdmf amplitude=255 trailing-marks=0 seizure-bits=0 "
          "mark-bits=0 frequency-offset=-500 baud=600 noise=100\n"
          "call 0.01 B 2 name=\"A NAME\" date=1231 time=2359 baud=2400 frequency-offset=500\n"
          "ring 0.02 A 3 duration=0.001 amplitude=255 frequency=100\n"
          "plug 0.03 C\nunplug 0.04 A\nsilent 0.05 B\nresume 0.06 B\nhold 0.07 A\n"
          "release 0.08 A\n");
    write(dir / "refused.scn", "device A\ncall 1 A 5 number=1\n");
    // Half an hour of ringing fills the bound of the placed signals; one more line
    // passes it.
    std::string ringing = "device A\n";
    for (int i = 0; i <= 30; ++i)
        ringing +=
            "ring " + std::to_string(60 * i) + " A " + std::to_string(1 + i % 4) + " duration=60\n";
    write(dir / "beyond-the-signal-bound.scn", ringing);
}

// ---- The WAV reader: the stand-in's bursts as 8- and 16-bit files.

void wavSeeds(const fs::path& dir) {
    wavFiles(dir);
}

// ---- The line decoders: captures of bursts, as the devices send them.

Bytes crmCapture(const crmcontrol::testing::CaptureSpec& spec, const std::vector<int>& values) {
    Bytes input = {static_cast<std::uint8_t>(spec.lineIndex - 1),
                   static_cast<std::uint8_t>(spec.zeroLevel), 1};
    for (const int raw : crmcontrol::testing::rawCapture(values, spec.lineIndex, spec.zeroLevel))
        input.push_back(static_cast<std::uint8_t>(raw));
    input.pop_back(); // entry 1792 is never used
    return input;
}

Bytes crmCapture(int lineIndex, int zeroLevel, standin::MessageFormat format,
                 const std::string& number) {
    crmcontrol::testing::CaptureSpec spec;
    spec.format = format;
    spec.call.number = number;
    spec.lineIndex = lineIndex;
    spec.zeroLevel = zeroLevel;
    return crmCapture(spec, crmcontrol::testing::captureValues(spec));
}

void crmLineDecoderSeeds(const fs::path& dir) {
    using standin::MessageFormat;
    write(dir / "mdmf-line1", crmCapture(1, 131, MessageFormat::MultipleData, "05321234567"));
    write(dir / "sdmf-line6", crmCapture(6, 90, MessageFormat::SingleData, "5551234"));
    write(dir / "mdmf-9-digits-line4",
          crmCapture(4, 200, MessageFormat::MultipleData, "123456789"));
    // A number behind a parameter type other than the calling number's: only the
    // fixed-frame decoder finds it.
    crmcontrol::testing::CaptureSpec spec;
    spec.lineIndex = 2;
    const std::vector<standin::Parameter> parameters = {{standin::kDateTimeParameter, "12250930"},
                                                        {0x03, "05321234567"}};
    const auto message =
        standin::frameMessage(standin::kMultipleDataMessage, standin::multipleDataBody(parameters));
    write(dir / "fixed-frame-only-line2",
          crmCapture(spec, crmcontrol::testing::captureValues(message, spec)));
}

Bytes componentCapture(int position, int zeroLevel, standin::MessageFormat format,
                       const std::string& number) {
    standin::LineSignal line(zeroLevel);
    standin::BurstLayout layout;
    layout.seizureBits = 0;
    layout.markBits = 40;
    standin::CallInfo info;
    info.number = number;
    line.place(0, standin::synthesizeBurst(format, info, layout));
    Bytes input = {static_cast<std::uint8_t>(position - 1), static_cast<std::uint8_t>(zeroLevel)};
    for (int i = 0; i < 4880; ++i)
        input.push_back(signalpath::scramble(position, line.valueAt(i)));
    return input;
}

void componentLineDecoderSeeds(const fs::path& dir) {
    using standin::MessageFormat;
    write(dir / "mdmf-line1", componentCapture(1, 128, MessageFormat::MultipleData, "05321234567"));
    write(dir / "sdmf-line3", componentCapture(3, 100, MessageFormat::SingleData, "5551234"));
    write(dir / "sdmf-no-number-line2", componentCapture(2, 160, MessageFormat::SingleData, ""));
}

// ---- The control over the simulated platform, in the target's own input form.

struct DeviceSeed {
    std::uint8_t kind = 0; // identity and flags, as the target reads them
    std::uint16_t vendorId = 0, productId = 0;
    std::uint8_t inputLength = 65, outputLength = 65;
    std::uint32_t instance = 0;
    std::array<std::uint8_t, 4> levels = {128, 128, 128, 128};
    bool call = false;
    int position = 1, tick = 0;
    bool singleData = false;
    std::string number;
};

Bytes controlInput(const std::vector<DeviceSeed>& devices,
                   const std::vector<std::pair<int, int>>& script) {
    Bytes b = {static_cast<std::uint8_t>(devices.size() - 1)};
    for (const auto& d : devices) {
        b.push_back(d.kind);
        if ((d.kind & 3) == 3)
            appendU16(b, d.vendorId);
        if ((d.kind & 3) >= 2)
            appendU16(b, d.productId);
        if (d.kind & 0x40)
            b.push_back(d.inputLength);
        if (d.kind & 0x80)
            b.push_back(d.outputLength);
        for (int shift = 24; shift >= 0; shift -= 8)
            b.push_back(static_cast<std::uint8_t>(d.instance >> shift));
        b.insert(b.end(), d.levels.begin(), d.levels.end());
        b.push_back(static_cast<std::uint8_t>(
            d.call ? 1 | (d.position - 1) << 1 | (d.singleData ? 8 : 0) : 0));
        if (!d.call)
            continue;
        appendU16(b, d.tick);
        b.push_back(static_cast<std::uint8_t>(d.number.size() - 3));
        for (const char c : d.number)
            b.push_back(static_cast<std::uint8_t>(c - '0'));
    }
    for (const auto& [tick, what] : script) {
        b.push_back(static_cast<std::uint8_t>(tick * 256 / 400));
        b.push_back(static_cast<std::uint8_t>(what));
    }
    return b;
}

void crmControlSeeds(const fs::path& dir) {
    DeviceSeed a{.kind = 0,
                 .instance = 0x1a2b3c4d,
                 .levels = {128, 120, 131, 140},
                 .call = true,
                 .position = 1,
                 .tick = 40,
                 .number = "05321234567"};
    write(dir / "one-device-one-call", controlInput({a}, {}));
    DeviceSeed b{.kind = 0,
                 .instance = 0x33cc44dd,
                 .call = true,
                 .position = 3,
                 .tick = 60,
                 .singleData = true,
                 .number = "5551234"};
    // Steps: device action a + 9 * device; 6 G_Reset, 7 G_Stop, 8 G_Start.
    write(dir / "two-devices-unplug-and-back", controlInput({a, b}, {{200, 1 + 9}, {300, 0 + 9}}));
    DeviceSeed held{.kind = 0x04, .instance = 0x0000beef, .number = {}};
    DeviceSeed foreign{.kind = 0x03,
                       .vendorId = 0x046d,
                       .productId = 0xc077,
                       .instance = 0x0000f00d,
                       .number = {}};
    write(dir / "held-and-foreign", controlInput({held, a, foreign}, {{150, 5}, {250, 2 + 9}}));
    DeviceSeed longReports{.kind = 0x40 | 0x80,
                           .inputLength = 200,
                           .outputLength = 64,
                           .instance = 0x00001234,
                           .number = {}};
    write(dir / "long-reports-reset-stop-start",
          controlInput({longReports, a}, {{100, 6}, {120, 7}, {130, 8}}));
    DeviceSeed waiting{.kind = 0x10 | 0x20,
                       .instance = 0x00005678,
                       .call = true,
                       .position = 2,
                       .tick = 120,
                       .number = "1234567"};
    write(dir / "plugged-later-waits-for-start",
          controlInput({waiting}, {{20, 0}, {90, 2}, {95, 3}}));

    // A long script, so that long device behaviours are in the corpus from the
    // start: after the first calls, each device in turn is pulled, silenced or held
    // and given back a few ticks later, and the control stopped or reset and
    // started, step after step to the last tick, with a device plugged in late that
    // brings a call of its own.
    DeviceSeed late{.kind = 0x20,
                    .instance = 0x0000abcd,
                    .call = true,
                    .position = 4,
                    .tick = 250,
                    .number = "5321234567"};
    // A step and the one that undoes it.
    constexpr int kUndone[][2] = {{1, 0}, {2, 3}, {4, 5}, {7, 8}, {6, 8}};
    constexpr int kPairs = 99, kFirstTick = 100, kLastTick = 399, kUndoneAfter = 5;
    std::vector<std::pair<int, int>> script = {{90, 0 + 9 * 2}};
    for (int i = 0; i < kPairs; ++i) {
        const int tick = kFirstTick + i * (kLastTick - kUndoneAfter - kFirstTick) / (kPairs - 1);
        const auto& [step, undo] = kUndone[i % std::size(kUndone)];
        const int device = (i / static_cast<int>(std::size(kUndone))) % 3;
        auto on = [device](int what) { return what < 6 ? what + 9 * device : what; };
        script.emplace_back(tick, on(step));
        script.emplace_back(tick + kUndoneAfter, on(undo));
    }
    write(dir / "long-script-three-devices", controlInput({a, b, late}, script));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out(argv[1]);
    const fs::path source(NORVELLIX_SOURCE_DIR);
    viewerSeeds(out / "viewer_load");
    fs::create_directories(out / "scenario");
    scenarioSeeds(out / "scenario", source);
    wavSeeds(out / "wav");
    crmLineDecoderSeeds(out / "crm_line_decoder");
    componentLineDecoderSeeds(out / "component_line_decoder");
    crmControlSeeds(out / "crm_control");
    std::printf("seeds written to %s\n", out.c_str());
    return 0;
}
