// The viewer's window as state: loading, the decode requests, the inspection
// window and its repeat timers, the redraw tick and the access code, driven
// through its handlers on files written as the recorder writes them.
#include "viewer/main_form.h"
#include "viewer/tests/recording_surface.h"
#include "viewer/tests/signal_fixture.h"

#include <functional>
#include <gtest/gtest.h>

namespace viewer {
namespace {

using testing::BurstSpec;

struct ScriptedYield : UiYield {
    int count = 0;
    std::function<void()> during; // runs at each yield
    void DoEvents() override {
        ++count;
        if (during)
            during();
    }
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("viewer_form_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_);
        form.Form_Load();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Writes the file and loads it through Text25.
    void load(const std::vector<std::uint8_t>& bytes, const std::string& file = "s.dat") {
        testing::writeFile(dir_ / file, bytes);
        form.controls.Text25 = (dir_ / file).string();
        form.Command38_MouseUp();
    }
    void loadRecording(const BurstSpec& spec) {
        load(testing::signalFile(testing::recording(spec)));
    }

    // A recording whose loaded values are their own index (mod 200).
    void loadRamp() {
        std::vector<int> v;
        for (int i = 0; i < testing::kRecordingSamples; ++i)
            v.push_back(35 + (i + 6) % 200);
        load(testing::signalFile(v));
    }

    std::filesystem::path dir_;
    testing::RecordingSurface surface;
    ScriptedYield ui;
    MainForm form{surface, ui};
};

TEST_F(MainFormTest, StartsLockedWithAnEmptyPlotOf4979Cells) {
    EXPECT_EQ(form.plot.upperBound(), 4978);
    EXPECT_EQ(form.controls.Frame18Width, 4100);
    EXPECT_FALSE(form.controls.Frame22Visible);
    EXPECT_FALSE(form.controls.Frame23Visible);
    EXPECT_FALSE(form.controls.loadButtonsEnabled);
    EXPECT_EQ(form.controls.Label22, "Alinan Ornek Sayisi:");
    EXPECT_EQ(form.controls.Text29, "1");
    EXPECT_EQ(form.controls.Text1, "155");
}

TEST_F(MainFormTest, LoadsARecordingIntoBothArrays) {
    loadRamp();
    EXPECT_EQ(form.controls.Label22, "Alınan Örnek Sayısı: 25608 adet");
    EXPECT_TRUE(form.controls.loadButtonsEnabled);
    ASSERT_EQ(form.loaded.upperBound(), 25608);
    EXPECT_EQ(form.loaded[6], 35 + 6);
    ASSERT_EQ(form.plot.upperBound(), 25608);
    for (int i = 0; i <= 25608; ++i)
        ASSERT_EQ(form.plot[i], form.loaded[i]) << i;
    // The load emptied the plot to its guide lines.
    EXPECT_EQ(surface.clears, 1);
    EXPECT_EQ(surface.lines.size(), 5u);
}

TEST_F(MainFormTest, ASecondLoadLeavesNoTraceOfTheFirst) {
    loadRamp();
    load({'"', 'a', 'b', '"', '\r', '\n'});
    EXPECT_EQ(form.loaded.upperBound(), 3);
    EXPECT_EQ(form.loaded[2], 0);
    EXPECT_EQ(form.plot.upperBound(), 3);
    EXPECT_FALSE(form.controls.loadButtonsEnabled);
}

TEST_F(MainFormTest, AFileThatCannotBeOpenedKeepsWhatWasLoaded) {
    loadRamp();
    const LoadedSamples before = form.loaded;
    form.controls.Text25 = (dir_ / "missing.dat").string();
    form.Command38_MouseUp();
    EXPECT_EQ(form.controls.Label22, "Dosya açılamadı: " + form.controls.Text25);
    EXPECT_TRUE(form.controls.loadButtonsEnabled);
    EXPECT_EQ(form.loaded, before);
}

TEST_F(MainFormTest, AFileAboveTheBoundIsRefusedAndKeepsWhatWasLoaded) {
    loadRamp();
    const LoadedSamples loadedBefore = form.loaded;
    const PlotSamples plotBefore = form.plot;
    load(std::vector<std::uint8_t>(kMaxSignalFileBytes + 1, 100), "big.dat");
    EXPECT_EQ(form.controls.Label22, "Dosya çok büyük: " + form.controls.Text25);
    EXPECT_TRUE(form.controls.loadButtonsEnabled);
    EXPECT_EQ(form.loaded, loadedBefore);
    EXPECT_EQ(form.plot, plotBefore);
}

TEST_F(MainFormTest, ARecordingCutShortShowsItsCountOnly) {
    std::vector<std::uint8_t> file = testing::signalFile(testing::recording(BurstSpec{}));
    file.resize(40001);
    load(file);
    EXPECT_EQ(form.controls.Label22, "Alınan Örnek Sayısı: 20000.5 adet");
    EXPECT_TRUE(form.controls.loadButtonsEnabled);
    EXPECT_EQ(form.loaded.upperBound(), 20000);
}

TEST_F(MainFormTest, AnEmptyFileLoadsOneEmptyCell) {
    loadRamp();
    load({});
    EXPECT_EQ(form.controls.Label22, "Alınan Örnek Sayısı: 0 adet");
    EXPECT_EQ(form.loaded.upperBound(), 0);
    EXPECT_EQ(form.plot.upperBound(), 0);
    EXPECT_FALSE(form.controls.loadButtonsEnabled);
}

TEST_F(MainFormTest, RejectsAStartOutsideOneTo20600) {
    loadRamp();
    for (const char* text : {"0", "-5", "", "letters", "20601", "20601.5"}) {
        form.plot = PlotSamples(7);
        form.controls.Text26 = "old";
        form.controls.Text29 = text;
        form.Command1_Click();
        EXPECT_EQ(form.controls.Text29, "20600") << text;
        EXPECT_EQ(form.controls.Text26, "") << text;
        EXPECT_EQ(form.plot.upperBound(), 7) << text;
    }
    form.controls.Text29 = "20600";
    form.Command41_Click();
    EXPECT_EQ(form.controls.Text29, "20600");
    EXPECT_EQ(form.window[4977], form.loaded[25577] - 155);
}

TEST_F(MainFormTest, StepTakesTheNextStartAndDecodesWithTheCountedFrameDecoder) {
    loadRamp();
    form.controls.Text29 = "1";
    form.Command2_Click();
    EXPECT_EQ(form.controls.Text29, "2");
    EXPECT_EQ(form.window[0], form.loaded[2] - 155);
    EXPECT_EQ(form.window[4977], form.loaded[4979] - 155);

    form.controls.Text29 = "20600";
    form.Command2_Click();
    EXPECT_EQ(form.controls.Text29, "20600");

    form.controls.Text29 = "x";
    form.Command2_Click();
    EXPECT_EQ(form.controls.Text29, "1");
}

TEST_F(MainFormTest, DecodeWindowRoundsHalvesToTheEvenIndex) {
    LoadedSamples loaded(100);
    for (int i = 0; i <= 100; ++i)
        loaded[i] = static_cast<short>(i);
    DecodeWindow w;
    w.fill(loaded, 12.5, 0);
    const double expected[] = {12, 14, 14, 16, 16, 18};
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(w[j], expected[j]) << j;
    // Beyond the loaded samples the window reads empty cells.
    EXPECT_EQ(w[100 - 12], 100);
    EXPECT_EQ(w[100 - 11], 0);
    EXPECT_EQ(w[kDecodeWindowValues], 0);
}

TEST_F(MainFormTest, PlotsTheDecodedWindowWithTheLevelAddedBack) {
    loadRamp();
    form.controls.Text29 = "125"; // loaded value 160
    form.Command1_Click();
    EXPECT_EQ(form.window[0], 5);
    ASSERT_EQ(form.plot.upperBound(), 4978);
    EXPECT_EQ(form.plot[0], 160);
    EXPECT_EQ(form.plot[4978], 0);
    surface.Cls();
    form.drawArray();
    EXPECT_EQ(surface.lines.size(), 5u + 4978u);
}

TEST_F(MainFormTest, AddsBackTheLevelTheTextBoxHoldsAfterTheDecode) {
    loadRamp();
    form.controls.Text29 = "125";
    ui.during = [this] { form.controls.Text1 = "100"; };
    form.Command41_Click();
    EXPECT_EQ(form.window[0], 5);
    EXPECT_EQ(form.plot[0], 105);
}

TEST_F(MainFormTest, DecodesARecordedCallBothWays) {
    BurstSpec spec;
    spec.zeroLevel = 150;
    spec.messageAt = 4000;
    loadRecording(spec);
    form.controls.Text1 = "150";
    // The message starts at index 4006, its number parameter about 800 values
    // later: the counted-frame decoder needs that close to the window's start.
    form.controls.Text29 = "4740";
    form.Command1_Click();
    EXPECT_EQ(form.controls.Text26.rfind("Tel No: 05321234567 Kafa: ", 0), 0u)
        << form.controls.Text26;
    EXPECT_NE(form.controls.Text26.find(" BR: 0"), std::string::npos);

    form.controls.Text29 = "3800";
    form.Command41_Click();
    EXPECT_EQ(form.controls.Text26, "25.12 09:30 / 05321234567");

    // The same window shifted by a wrong level finds nothing and empties the box.
    form.controls.Text1 = "60";
    form.Command41_Click();
    EXPECT_EQ(form.controls.Text26, "");
}

TEST_F(MainFormTest, WhileTheMessageDecoderYieldsOtherRequestsAreIgnored) {
    BurstSpec spec;
    spec.zeroLevel = 150;
    spec.messageAt = 4000;
    loadRecording(spec);
    form.controls.Text1 = "150";
    form.controls.Text29 = "3800";
    std::vector<double> before;
    int redrawn = 0;
    ui.during = [&] {
        if (ui.count > 1)
            return;
        before.assign(form.window.values().begin(), form.window.values().end());
        EXPECT_TRUE(form.decoding());
        form.controls.Text29 = "9000";
        form.Command1_Click();
        form.Command2_Click();
        form.Command41_Click();
        form.controls.Text30 = "1";
        form.Command42_Click();
        form.Timer8_Timer();
        form.Command38_MouseUp();
        // The plot keeps redrawing meanwhile: the new, empty window.
        form.timerDraw_Timer();
        redrawn = static_cast<int>(surface.lines.size());
        form.controls.Text29 = "3800";
    };
    form.Command41_Click();
    EXPECT_FALSE(form.decoding());
    EXPECT_EQ(std::vector<double>(form.window.values().begin(), form.window.values().end()),
              before);
    EXPECT_EQ(form.controls.Text30, "1");
    EXPECT_EQ(redrawn, 5 + 4978);
    EXPECT_EQ(form.controls.Text26, "25.12 09:30 / 05321234567");
}

TEST_F(MainFormTest, ShowsTheInspectionWindowAcrossThePlot) {
    loadRamp();
    form.controls.Text30 = "1";
    form.controls.Text31 = "200";
    form.Command42_Click();
    ASSERT_EQ(form.plot.upperBound(), 200);
    for (int j = 0; j < 200; ++j)
        ASSERT_EQ(form.plot[j], form.loaded[1 + j]);
    EXPECT_EQ(form.plot[200], 0);
}

TEST_F(MainFormTest, RangeChecksTheInspectionWindow) {
    loadRamp();
    const struct {
        const char* start;
        const char* count;
        bool shown;
        const char* startAfter;
    } cases[] = {
        {"25400", "200", true, "25400"}, {"25401", "200", false, "25400"},
        {"0", "200", false, "25400"},    {"5", "0", false, "25600"},
        {"x", "10", false, "25590"},     {"5", "-3", false, "25603"},
    };
    for (const auto& c : cases) {
        form.plot = PlotSamples(7);
        form.controls.Text30 = c.start;
        form.controls.Text31 = c.count;
        form.Command42_Click();
        EXPECT_EQ(form.plot.upperBound() != 7, c.shown) << c.start << " " << c.count;
        EXPECT_EQ(form.controls.Text30, c.startAfter) << c.start << " " << c.count;
    }
}

TEST_F(MainFormTest, AFractionalCountRoundsTheWindowsBound) {
    loadRamp();
    form.controls.Text30 = "1";
    form.controls.Text31 = "0.5";
    form.Command42_Click();
    EXPECT_EQ(form.plot.upperBound(), 0);
    const int before = surface.clears;
    form.timerDraw_Timer();
    EXPECT_EQ(surface.clears, before); // nothing is drawn

    form.controls.Text31 = "3.5";
    form.Command42_Click();
    ASSERT_EQ(form.plot.upperBound(), 4);
    EXPECT_EQ(form.plot[2], form.loaded[3]);
    EXPECT_EQ(form.plot[3], 0);
}

TEST_F(MainFormTest, InspectionOfAShortSignalIsPaddedWithEmptyCells) {
    load(testing::signalFile({100, 101, 102}));
    form.controls.Text30 = "6";
    form.controls.Text31 = "200";
    form.Command42_Click();
    ASSERT_EQ(form.plot.upperBound(), 200);
    EXPECT_EQ(form.plot[0], 100);
    EXPECT_EQ(form.plot[2], 102);
    EXPECT_EQ(form.plot[10], 0);
}

TEST_F(MainFormTest, RepeatTimersStepTheWindowWithinItsBounds) {
    loadRamp();
    form.Command44_MouseDown();
    EXPECT_TRUE(form.controls.Timer8Enabled);
    form.controls.Text30 = "25400";
    form.controls.Text31 = "200";
    form.Command42_Click();
    form.Timer8_Timer();
    EXPECT_EQ(form.controls.Text30, "25400");
    EXPECT_EQ(form.plot[0], form.loaded[25400]);
    form.Command44_MouseUp();
    EXPECT_FALSE(form.controls.Timer8Enabled);

    form.Command43_MouseDown();
    EXPECT_TRUE(form.controls.Timer7Enabled);
    form.controls.Text30 = "1";
    form.Timer7_Timer();
    EXPECT_EQ(form.controls.Text30, "1");
    EXPECT_EQ(form.plot[0], form.loaded[1]);
    form.controls.Text30 = "10";
    form.Timer7_Timer();
    EXPECT_EQ(form.controls.Text30, "9");
    EXPECT_EQ(form.plot[0], form.loaded[9]);
    form.Timer8_Timer();
    EXPECT_EQ(form.controls.Text30, "10");
    form.Command43_MouseUp();
    EXPECT_FALSE(form.controls.Timer7Enabled);
}

TEST_F(MainFormTest, RedrawTickLetsEventsRunThenDraws) {
    form.timerDraw_Timer();
    EXPECT_EQ(ui.count, 1);
    EXPECT_EQ(surface.lines.size(), 5u + 4978u);
    // A tick that fires inside the events of a running one is dropped.
    int nested = 0;
    ui.during = [&] {
        ++nested;
        form.timerDraw_Timer();
    };
    form.timerDraw_Timer();
    EXPECT_EQ(nested, 1);
}

TEST_F(MainFormTest, OnlyTheAccessCodeUnlocksTheFrames) {
    for (const char* answer : {"", "Hatırlatma", "270517n", "270517N "}) {
        form.answerAccessPrompt(answer);
        EXPECT_FALSE(form.controls.Frame22Visible) << answer;
        EXPECT_EQ(form.controls.Frame18Width, 4100) << answer;
    }
    form.answerAccessPrompt(AccessCode);
    EXPECT_TRUE(form.controls.Frame22Visible);
    EXPECT_TRUE(form.controls.Frame23Visible);
    EXPECT_EQ(form.controls.Frame18Width, 11292);
    form.answerAccessPrompt("wrong");
    EXPECT_TRUE(form.controls.Frame22Visible);
}

TEST_F(MainFormTest, PromptOpensAQuarterIntoTheWindow) {
    const Point p = MainForm::accessPromptPosition(2000, 2000, 11688, 7500);
    EXPECT_EQ(p.x, 2000 + 2922);
    EXPECT_EQ(p.y, 2000 + 1875);
}

} // namespace
} // namespace viewer
