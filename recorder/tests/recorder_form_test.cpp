#include "recorder/recorder_form.h"
#include "recorder/tests/recorder_rig.h"
#include "recorder/tests/signal_file_check.h"
#include "signalpath/descramble.h"
#include "standin/callerid_burst.h"
#include "standin/callerid_device.h"

#include <cmath>
#include <gtest/gtest.h>
#include <iostream>
#include <numbers>

namespace recorder {
namespace {

using namespace std::chrono_literals;
using testing::Lines;
using testing::RecorderTest;

// A line of constant level `zero` plus alternating 0, 1 (quiet: activity 15).
standin::LineSignal alternating(int zero) {
    standin::LineSignal line(zero);
    standin::Signal s(8000 * 60);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int>(i % 2);
    line.place(0, std::move(s));
    return line;
}

// A 1000 Hz tone of the given peak from `start` for `seconds`.
standin::Signal tone(double seconds, double peak = 50.0) {
    standin::Signal s(static_cast<std::size_t>(seconds * 8000));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int>(
            std::lround(peak * std::sin(2 * std::numbers::pi * 1000.0 * i / 8000)));
    return s;
}

standin::Signal burst(const char* number) {
    standin::CallInfo call;
    call.number = number;
    call.name = "TEST ONE";
    return standin::synthesizeBurst(standin::MessageFormat::MultipleData, call);
}

Lines quietLines() {
    return {standin::LineSignal(128, 1.0, 1), standin::LineSignal(126, 1.0, 2),
            standin::LineSignal(131, 1.0, 3), standin::LineSignal(119, 1.0, 4)};
}

// The sample index at which a capture of `line` starts: the whole capture must be
// the line's signal (floored at 35) from there on. -1 when no start in the range fits.
long captureStart(const CaptureBuffer& capture, int position, const standin::LineSignal& line,
                  long from, long to) {
    for (long t0 = from; t0 <= to; ++t0) {
        bool fits = true;
        for (int i = 0; i < kCaptureSamples && fits; ++i)
            fits = signalpath::descramble(position, capture[i]) == line.valueAt(t0 + i);
        if (fits)
            return t0;
    }
    return -1;
}

TEST_F(RecorderTest, WithoutADeviceTheWindowShowsRedLampsAndTheButtonDoesNothing) {
    form->Form_Load();
    runTicks(20);
    const FormView& v = form->view();
    EXPECT_EQ(v.command1Caption, text::Command1Ready);
    EXPECT_FALSE(v.command1Enabled);
    EXPECT_EQ(v.connectionText, text::NotConnected);
    EXPECT_EQ(v.connectionColour, colour::Black);
    EXPECT_FALSE(v.shape2Visible);
    for (const LineView& line : v.lines) {
        EXPECT_EQ(line.label, text::LineNoDevice);
        EXPECT_EQ(line.lamp, colour::Red);
    }
    form->Command1_Click();
    EXPECT_FALSE(form->RecordingArmed());
    EXPECT_EQ(v.command1Caption, text::Command1Ready);
}

TEST_F(RecorderTest, BlinkingLampTogglesEveryEleventhTick) {
    form->Form_Load();
    std::vector<int> toggles;
    bool visible = form->view().shape1Visible;
    for (int tick = 1; tick <= 34; ++tick) {
        runTicks(1);
        if (form->view().shape1Visible != visible)
            toggles.push_back(tick);
        visible = form->view().shape1Visible;
    }
    EXPECT_EQ(toggles, (std::vector<int>{11, 22, 33}));
}

TEST_F(RecorderTest, FirstSightSendsTheStartCommandAndTheEleventhKnownTickCalibrates) {
    const auto device = addDevice("0c0ffee0", {standin::LineSignal(128), alternating(125),
                                               alternating(124), standin::LineSignal(200)});
    form->Form_Load();
    ASSERT_TRUE(tickUntil([&] { return link->DeviceSerialNumber_1 != "0"; }, 10));
    EXPECT_EQ(link->DeviceSerialNumber_1, device.serial);
    const auto out = bus.outputReports(device.id);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(standin::isStartCommand(out[0].bytes));

    for (int known = 1; known <= 10; ++known) {
        runTicks(1);
        ASSERT_FALSE(form->view().command1Enabled) << "known tick " << known;
        ASSERT_EQ(form->ZeroLevel(1), 0) << "known tick " << known;
    }
    runTicks(1);
    EXPECT_TRUE(form->view().command1Enabled);
    EXPECT_TRUE(form->CalibrationDone());
    // 2,008 / 16 = 125.5 goes to 126; 1,992 / 16 = 124.5 goes to 124.
    EXPECT_EQ(form->ZeroLevel(1), 128);
    EXPECT_EQ(form->ZeroLevel(2), 126);
    EXPECT_EQ(form->ZeroLevel(3), 124);
    EXPECT_EQ(form->ZeroLevel(4), 200);
    EXPECT_EQ(form->view().connectionText, ConnectedText("0c0ffee0"));
    EXPECT_EQ(form->view().connectionText.size(), 88u);
    EXPECT_EQ(form->view().connectionColour, colour::White);
    EXPECT_TRUE(form->view().shape2Visible);
    for (const LineView& line : form->view().lines) {
        EXPECT_EQ(line.label, text::LineReady);
        EXPECT_EQ(line.lamp, colour::Green);
    }
    EXPECT_EQ(bus.outputReports(device.id).size(), 1u) << "the command is sent once";
}

TEST_F(RecorderTest, LinesThatStayActiveCaptureTogetherOnEveryFifthActiveTick) {
    Lines lines = quietLines();
    lines[0].place(0, tone(30));
    lines[2].place(0, tone(30, 30));
    addDevice("0c0ffee0", lines);
    form->Form_Load();
    std::string seen; // per connected tick: G green, O orange, C a capture
    long captures = 0;
    for (int i = 0; i < 200 && seen.size() < 15; ++i) {
        runTicks(1);
        if (form->captureCount() != captures) {
            captures = form->captureCount();
            seen += 'C';
            EXPECT_EQ(form->view().lines[2].lamp, colour::Orange) << "lamps keep their state";
            EXPECT_EQ(form->view().lines[0].lamp, colour::Orange);
        } else if (form->view().lines[2].lamp != colour::Red) {
            seen += form->view().lines[2].lamp == colour::Orange ? 'O' : 'G';
        }
    }
    EXPECT_EQ(seen, "GGGOCGGGOCGGGOC");
    EXPECT_EQ(form->view().lines[1].lamp, colour::Green) << "only the active lines turn orange";
    EXPECT_EQ(form->view().lines[1].label, text::LineReady);
    EXPECT_EQ(form->view().lines[0].label, text::LineActive);
    EXPECT_TRUE(store.files.empty()) << "an unarmed capture is dropped";
}

TEST_F(RecorderTest, AnArmedCaptureBecomesFourFilesOfTheDescrambledSamples) {
    Lines lines = quietLines();
    const long burstStart = 8000;
    lines[0].place(burstStart, burst("05321234567"));
    lines[2].place(burstStart + 30 * 8000, burst("5551234")); // a second call, later
    const auto device = addDevice("0c0ffee0", lines);
    form->Form_Load();
    ASSERT_TRUE(connectAndCalibrate());
    form->Command1_Click();
    EXPECT_TRUE(form->RecordingArmed());
    EXPECT_EQ(form->view().command1Caption, text::Command1Armed);
    EXPECT_FALSE(form->view().command1Enabled);

    // A tick that the window's message loop starts inside the recording does nothing.
    bool nestedTickRead = false;
    host.onDoEvents = [&] {
        const auto before = bus.now();
        form->Timer1_Timer();
        nestedTickRead = nestedTickRead || bus.now() != before;
    };
    ASSERT_TRUE(tickUntil([&] { return form->captureCount() == 1; }, 2000));
    host.onDoEvents = nullptr;
    EXPECT_FALSE(nestedTickRead);

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, text::RecordingDone);
    EXPECT_EQ(host.messages[0].title, text::MessageTitle);
    EXPECT_FALSE(form->RecordingArmed());
    EXPECT_EQ(form->view().command1Caption, text::Command1Ready);
    EXPECT_TRUE(form->view().command1Enabled);
    EXPECT_EQ(host.doEventsCalls, kCaptureSamples);

    ASSERT_EQ(store.files.size(), 4u);
    const long t0 =
        captureStart(form->captureBuffer(1), 1, device.lines[0], burstStart, burstStart + 4000);
    ASSERT_GE(t0, burstStart) << "the capture is a stretch of the line after the burst began";
    for (int p = 1; p <= kLinesPerDevice; ++p) {
        const std::string name = SignalFileName(p, form->ZeroLevel(p), "22_05_2017_13_36_04");
        ASSERT_EQ(store.files.count(name), 1u) << name;
        testing::ParsedSignalFile file;
        std::string error;
        ASSERT_TRUE(testing::parseSignalFile(store.files.at(name), file, error)) << error;
        EXPECT_EQ(file.serial, "0c0ffee0");
        ASSERT_EQ(file.samples.size(), static_cast<std::size_t>(kCaptureSamples));
        for (int i = 0; i < kCaptureSamples; ++i) {
            const int expected = std::max<int>(device.lines[p - 1].valueAt(t0 + i), SampleFloor);
            ASSERT_EQ(file.samples[i], expected) << "line " << p << " sample " << i;
            ASSERT_EQ(
                file.samples[i],
                std::max<int>(signalpath::descramble(p, form->captureBuffer(p)[i]), SampleFloor));
        }
    }
    EXPECT_EQ(form->ZeroLevel(4), 119);

    // The next call is captured too, but nothing arms it.
    const auto files = store.files;
    ASSERT_TRUE(tickUntil([&] { return form->captureCount() == 2; }, 20000));
    EXPECT_EQ(store.files, files);
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(RecorderTest, AFileThatCannotBeWrittenIsReportedAndTheButtonIsUsableAgain) {
    Lines lines = quietLines();
    lines[1].place(4000, burst("5551234"));
    addDevice("0c0ffee0", lines);
    form->Form_Load();
    ASSERT_TRUE(connectAndCalibrate());
    store.failing.insert(SignalFileName(2, form->ZeroLevel(2), "22_05_2017_13_36_04"));
    form->Command1_Click();
    ASSERT_TRUE(tickUntil([&] { return form->captureCount() == 1; }, 2000));
    ASSERT_EQ(host.messages.size(), 1u);
    const std::string& message = host.messages[0].text;
    EXPECT_EQ(message.rfind(text::RecordingFailed, 0), 0u) << message;
    EXPECT_NE(message.find(*store.failing.begin()), std::string::npos) << message;
    EXPECT_EQ(store.files.size(), 3u) << "the other lines are kept";
    EXPECT_FALSE(form->RecordingArmed());
    EXPECT_EQ(form->view().command1Caption, text::Command1Ready);
    EXPECT_TRUE(form->view().command1Enabled);
}

TEST_F(RecorderTest, ADeviceLostDuringACaptureCostsOneTimeOutAndKeepsTheRecordingArmed) {
    Lines lines = quietLines();
    lines[0].place(4000, tone(1.0));
    lines[0].place(8000 * 20, burst("05321234567"));
    const auto device = addDevice("0c0ffee0", lines);
    form->Form_Load();
    ASSERT_TRUE(connectAndCalibrate());
    form->Command1_Click();
    ASSERT_TRUE(tickUntil([&] { return form->CapturePending(); }, 2000));
    bus.schedule(bus.now() + 1s, device.id, platform::DeviceAction::Unplug);
    bus.schedule(bus.now() + 5s, device.id, platform::DeviceAction::Plug);
    const auto before = bus.now();
    runTicks(1);
    EXPECT_LT(bus.now() - before, 2s) << "reads after the loss do not wait again";
    EXPECT_EQ(form->captureCount(), 0);
    EXPECT_FALSE(form->CapturePending());
    EXPECT_TRUE(form->RecordingArmed());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(store.files.empty());

    ASSERT_TRUE(tickUntil([&] { return form->view().lines[0].lamp == colour::Red; }, 10));
    EXPECT_FALSE(form->view().command1Enabled);
    EXPECT_EQ(form->view().connectionText, text::NotConnected);
    EXPECT_FALSE(form->view().shape2Visible);
    // Back again: the next complete capture is the armed recording.
    ASSERT_TRUE(tickUntil([&] { return form->captureCount() == 1; }, 30000));
    EXPECT_EQ(store.files.size(), 4u);
    EXPECT_EQ(host.messages.size(), 1u);
}

// Silent but still plugged in: every re-discovery finds the device again, and each
// of its reads (calibration, monitoring, capture) runs out its limit. A tick waits
// for at most one of them per device, and a calibration that timed out does not
// offer the button.
TEST_F(RecorderTest, ASilentDeviceCostsATickOneReadLimitAndIsNotOfferedForRecording) {
    Lines lines = quietLines();
    lines[0].place(4000, tone(60.0));
    const auto device = addDevice("0c0ffee0", lines);
    const auto other = addDevice("5e6f7a8b", quietLines());
    form->Form_Load();
    ASSERT_TRUE(connectAndCalibrate(200));
    ASSERT_TRUE(link->Device2Seen);
    // Device2 falls silent first (lost in a capture, then marked lost), Device1 in
    // the middle of a later capture; Device1 answers again at the end.
    const auto t0 = bus.now();
    bus.apply(other.id, platform::DeviceAction::GoSilent);
    bus.schedule(t0 + 10s, device.id, platform::DeviceAction::GoSilent);
    bus.schedule(t0 + 40s, device.id, platform::DeviceAction::Resume);
    platform::Microseconds longest{0};
    long captures = 0;
    bool offered = false;
    while (bus.now() < t0 + 40s) {
        const auto start = bus.now();
        runTicks(1);
        longest = std::max(longest, bus.now() - start);
        if (bus.now() < t0 + 10s)
            captures = form->captureCount();
        else if (bus.now() > t0 + 11s)
            offered = offered || form->view().command1Enabled;
    }
    std::cout << "[ measure  ] recorder, silent devices: longest tick " << longest.count() / 1000
              << " ms of bus time\n";
    // The reports of a whole capture (3.2 s) and one read limit.
    EXPECT_LT(longest, CaptureReportCount * platform::kReportInterval + 500ms);
    EXPECT_GE(captures, 2) << "captures went on while Device2 was silent";
    EXPECT_EQ(form->captureCount(), captures) << "no capture of a silent device completes";
    EXPECT_FALSE(offered) << "Command1 enabled for a device that does not answer";

    ASSERT_TRUE(tickUntil([&] { return form->view().command1Enabled; }, 100));
    ASSERT_TRUE(tickUntil([&] { return form->captureCount() > captures; }, 100));
}

TEST_F(RecorderTest, WithTwoDevicesTheSecondIsReadDuringACaptureAndNeverWrittenOrStored) {
    Lines a = quietLines();
    a[0].place(8000, burst("05321234567"));
    Lines b;
    for (auto& line : b) {
        line = standin::LineSignal(60);
        line.place(0, tone(30, 40));
    }
    const auto first = addDevice("1a2b3c4d", a);
    const auto second = addDevice("5e6f7a8b", b);
    form->Form_Load();
    ASSERT_TRUE(connectAndCalibrate(200));
    ASSERT_TRUE(link->Device2Seen);
    EXPECT_EQ(link->DeviceSerialNumber_1, first.serial);
    form->Command1_Click();
    ASSERT_TRUE(tickUntil([&] { return form->CapturePending(); }, 2000));
    api.calls.clear();
    runTicks(1);
    ASSERT_EQ(form->captureCount(), 1);
    long reads2 = 0;
    for (const auto& c : api.callsNamed("ReadFile"))
        reads2 += c.handle == link->ReadHandle_2;
    EXPECT_EQ(reads2, CaptureReportCount);
    EXPECT_TRUE(bus.outputReports(second.id).empty()) << "nothing is written to Device2";
    EXPECT_EQ(link->WriteHandle_2, platform::kInvalidHandleValue);

    ASSERT_EQ(store.files.size(), 4u);
    const long t0 = captureStart(form->captureBuffer(1), 1, first.lines[0], 8000, 12000);
    ASSERT_GE(t0, 8000) << "the files hold Device1's lines";
    for (int p = 2; p <= kLinesPerDevice; ++p)
        EXPECT_EQ(captureStart(form->captureBuffer(p), p, first.lines[p - 1], t0, t0), t0);
}

// A second device held by another program is no second device: the first one starts
// once, calibrates once and its armed capture is recorded.
TEST_F(RecorderTest, ASecondDeviceHeldElsewhereLeavesTheFirstAsItIs) {
    Lines a = quietLines();
    a[0].place(8000, burst("05321234567"));
    const auto first = addDevice("1a2b3c4d", a);
    platform::DeviceDescription held;
    held.instanceId = "5e6f7a8b";
    held.heldExclusively = true;
    const auto second =
        bus.addDevice(held, std::make_unique<standin::CallerIdDeviceSource>(quietLines()));
    form->Form_Load();
    ASSERT_TRUE(connectAndCalibrate());
    form->Command1_Click();
    ASSERT_TRUE(tickUntil([&] { return form->captureCount() == 1; }, 3000));
    EXPECT_EQ(store.files.size(), 4u);
    EXPECT_EQ(bus.outputReports(first.id).size(), 1u) << "one first sight";
    EXPECT_EQ(bus.audit().devices.at(second).handlesOpened, 0);
    EXPECT_FALSE(link->Device2Seen);
}

TEST_F(RecorderTest, UnloadStopsTheTimerAndClosesBothReadingHandles) {
    const auto device = addDevice("0c0ffee0", quietLines());
    form->Form_Load();
    ASSERT_TRUE(connectAndCalibrate());
    const int open = bus.audit().devices.at(device.id).openHandles;
    form->Form_Unload();
    EXPECT_FALSE(form->timerEnabled());
    EXPECT_EQ(bus.audit().devices.at(device.id).openHandles, open - 1);
}

} // namespace
} // namespace recorder
