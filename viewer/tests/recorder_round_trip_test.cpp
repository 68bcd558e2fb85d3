// The recorder's writer into the viewer's reader: the files of one recorded call
// load with every sample in place and decode to the call.
#include "recorder/signal_file.h"
#include "recorder/tests/memory_store.h"
#include "signalpath/descramble.h"
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

} // namespace
} // namespace viewer
