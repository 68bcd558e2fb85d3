// The recorder's writer into the viewer's reader: the files of one recorded call
// load with every sample in place and decode to the call; and a call recorded on a
// line that rang while the recorder calibrated decodes at the level its file names.
#include "recorder/signal_file.h"
#include "recorder/tests/memory_store.h"
#include "recorder/tests/recorder_rig.h"
#include "signalpath/descramble.h"
#include "standin/line_signal.h"
#include "viewer/main_form.h"
#include "viewer/tests/recording_surface.h"
#include "viewer/tests/signal_fixture.h"

#include <gtest/gtest.h>

namespace viewer {
namespace {

struct NoEvents : UiYield {
    void DoEvents() override {}
};

// Line 1 carries the call; the others lie at their zero levels, line 4's below
// the floor.
constexpr std::array<int, 4> kZeroLevels = {150, 140, 130, 20};

std::array<std::vector<int>, 4> lineValues() {
    testing::BurstSpec spec;
    spec.zeroLevel = kZeroLevels[0];
    spec.messageAt = 4000;
    std::array<std::vector<int>, 4> values;
    values[0] = testing::recording(spec);
    for (int p = 1; p < 4; ++p)
        values[static_cast<std::size_t>(p)].assign(testing::kRecordingSamples,
                                                   kZeroLevels[static_cast<std::size_t>(p)]);
    return values;
}

TEST(RecorderRoundTrip, TheViewerLoadsAndDecodesWhatTheRecorderWrites) {
    const auto values = lineValues();
    std::array<recorder::CaptureBuffer, 4> captures{};
    for (int p = 0; p < 4; ++p)
        for (int i = 0; i < testing::kRecordingSamples; ++i) {
            int v = values[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)];
            v = v < 0 ? 0 : (v > 255 ? 255 : v);
            captures[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)] =
                signalpath::scramble(p + 1, static_cast<signalpath::SampleValue>(v));
        }
    recorder::RecordingInput input;
    input.captures = &captures;
    input.zeroLevels = kZeroLevels;
    input.serial = "A1B2C3D4";
    input.dateText = "22.05.2017";
    input.timeText = "13:36:04";
    recorder::ClockSeededRandom random;
    recorder::testing::MemoryStore store;
    const recorder::RecordingResult result = recorder::WriteRecording(input, random, store, [] {});
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.written.size(), 4u);
    EXPECT_EQ(result.written[0], "Norvellix_Sinyal_1_150_22_05_2017_13_36_04.dat");

    for (int p = 0; p < 4; ++p) {
        const LoadedSignal s =
            unmaskSignal(store.files[result.written[static_cast<std::size_t>(p)]]);
        EXPECT_EQ(receivedCountCaption(s), "Alınan Örnek Sayısı: 25608 adet");
        EXPECT_TRUE(s.decodable);
        for (int i = 0; i < testing::kRecordingSamples; ++i) {
            const int v = values[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)];
            ASSERT_EQ(s.samples[i + 6], std::clamp(v, 35, 255))
                << "line " << p + 1 << " sample " << i;
        }
    }

    // Line 1's file, by the name the recorder gave it, decoded in the window.
    const auto dir = std::filesystem::temp_directory_path() / "viewer_round_trip";
    std::filesystem::create_directories(dir);
    testing::writeFile(dir / result.written[0], store.files[result.written[0]]);
    testing::RecordingSurface surface;
    NoEvents ui;
    MainForm form(surface, ui);
    form.Form_Load();
    form.controls.Text25 = (dir / result.written[0]).string();
    form.Command38_MouseUp();
    form.controls.Text1 = "150";
    form.controls.Text29 = "3800";
    form.Command41_Click();
    EXPECT_EQ(form.controls.Text26, "25.12 09:30 / 05321234567");
    form.controls.Text29 = "4740";
    form.Command1_Click();
    EXPECT_EQ(form.controls.Text26.rfind("Tel No: 05321234567 Kafa: ", 0), 0u)
        << form.controls.Text26;
    std::filesystem::remove_all(dir);
}

// Lines 1 to 3 ring while the recorder calibrates (each at a phase of its own), line 4
// is at rest; a call on line 1 after the ring is recorded. Every file names its line's
// resting level, and line 1's, decoded at the level its name gives, yields the number.
class RecordedAfterRinging : public recorder::testing::RecorderTest {};

TEST_F(RecordedAfterRinging, TheFilesNameTheRestingLevelsAndTheCallDecodesAtIt) {
    constexpr std::array<int, 4> kResting = {131, 126, 140, 119};
    recorder::testing::Lines lines;
    for (std::size_t p = 0; p < 4; ++p)
        lines[p] = standin::LineSignal(kResting[p], 1.0, static_cast<std::uint32_t>(p + 1));
    for (std::size_t p = 0; p < 3; ++p)
        lines[p].place(static_cast<std::int64_t>(100 * p), standin::ringingSignal(1.0, 100.0));
    const long burstStart = 12000; // 1.5 s, half a second after the ring
    standin::CallInfo call{"12250930", "05321234567", ""};
    lines[0].place(burstStart,
                   standin::synthesizeBurst(standin::MessageFormat::MultipleData, call));
    addDevice("0c0ffee0", lines);
    form->Form_Load();
    ASSERT_TRUE(connectAndCalibrate());
    form->Command1_Click();
    ASSERT_TRUE(tickUntil([&] { return form->captureCount() == 1; }, 3000));
    ASSERT_TRUE(form->lastRecording().ok());

    for (int p = 1; p <= 4; ++p) {
        EXPECT_EQ(form->ZeroLevel(p), kResting[static_cast<std::size_t>(p - 1)]) << "line " << p;
        const std::string name = recorder::SignalFileName(
            p, kResting[static_cast<std::size_t>(p - 1)], "22_05_2017_13_36_04");
        EXPECT_EQ(store.files.count(name), 1u) << name;
    }
    const std::string& written = form->lastRecording().written.at(0);
    // Norvellix_Sinyal_<line>_<zero level>_...: the level the file names.
    const std::size_t levelAt = std::string("Norvellix_Sinyal_1_").size();
    const std::string level = written.substr(levelAt, written.find('_', levelAt) - levelAt);
    EXPECT_EQ(level, "131");

    // Where the capture began in the line's signal, so where its message begins (after
    // 480 bits of seizure and marks, 3,200 samples into the burst).
    const auto& capture = form->captureBuffer(1);
    long t0 = -1;
    for (long t = burstStart; t < burstStart + 4000 && t0 < 0; ++t) {
        bool fits = true;
        for (int i = 0; i < 64 && fits; ++i)
            fits = signalpath::descramble(1, capture[static_cast<std::size_t>(i)]) ==
                   lines[0].valueAt(t + i);
        if (fits)
            t0 = t;
    }
    ASSERT_GE(t0, burstStart);
    const long messageAt = burstStart + 3200 - t0 + 6; // loaded samples lead by six
    ASSERT_GT(messageAt, 200);

    const auto dir = std::filesystem::temp_directory_path() / "viewer_recorded_after_ringing";
    std::filesystem::create_directories(dir);
    testing::writeFile(dir / written, store.files.at(written));
    testing::RecordingSurface surface;
    NoEvents ui;
    MainForm viewer(surface, ui);
    viewer.Form_Load();
    viewer.controls.Text25 = (dir / written).string();
    viewer.Command38_MouseUp();
    viewer.controls.Text1 = level;
    viewer.controls.Text29 = std::to_string(messageAt - 206);
    viewer.Command41_Click();
    EXPECT_EQ(viewer.controls.Text26, "25.12 09:30 / 05321234567");
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace viewer
