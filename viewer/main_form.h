// The viewer's window as state and handlers, apart from any window system: the
// texts of its text boxes and labels, which buttons are enabled, which frames
// show, its three timers, the loaded and plotted samples and the decode window.
// The window shell copies its controls' texts in before a handler and the state
// out after it, draws the plot on its surface and runs the enabled timers.
#pragma once

#include "viewer/counted_frame_decoder.h"
#include "viewer/decode_window.h"
#include "viewer/message_decoder.h"
#include "viewer/plot.h"
#include "viewer/sample_array.h"
#include "viewer/signal_file.h"
#include "viewer/ui_yield.h"

#include <string>
#include <string_view>

namespace viewer {

// The code that reveals the inspection and decoding frames.
inline constexpr std::string_view AccessCode = "270517N";

// Window geometry in twips.
inline constexpr int kFrame18LockedWidth = 4100;
inline constexpr int kFrame18UnlockedWidth = 11292;
inline constexpr int kWindowLeft = 2000;
inline constexpr int kWindowTop = 2000;

// The fixed bounds of the range checks, which keep a window inside a full
// recording.
inline constexpr double kLastDecodeStart = 20600;
inline constexpr double kInspectEnd = 25601;
inline constexpr double kLastInspectStart = 25600;

// The texts and states of the window's controls, named as the controls.
struct FormControls {
    std::string Text25 = "Norvellix_Sinyal_1_22_05_2017_13_36_04.dat";
    std::string Label22 = "Alinan Ornek Sayisi:";
    std::string Text29 = "1";
    std::string Text1 = "155";
    std::string Text26;
    std::string Text30 = "1";
    std::string Text31 = "200";
    // Command1, Command41, Command42, Command43 and Command44 follow each load.
    bool loadButtonsEnabled = false;
    bool Frame22Visible = false;
    bool Frame23Visible = false;
    int Frame18Width = 11292;
    bool Timer7Enabled = false;
    bool Timer8Enabled = false;
};

struct Point {
    int x = 0, y = 0;
};

class MainForm {
public:
    // The surface is the plot's (Picture1); ui lets pending events run.
    MainForm(PlotSurface& Picture1, UiYield& ui);

    void Form_Load();
    // The release of any mouse button over Command38: loads the file in Text25.
    void Command38_MouseUp();
    void Command1_Click();  // decode with cozucu_tel
    void Command41_Click(); // decode with norvellix_x
    void Command2_Click();  // one value on, then Command1_Click
    void Command42_Click(); // the inspection window
    void Command43_MouseDown() { controls.Timer7Enabled = true; }
    void Command43_MouseUp() { controls.Timer7Enabled = false; }
    void Command44_MouseDown() { controls.Timer8Enabled = true; }
    void Command44_MouseUp() { controls.Timer8Enabled = false; }
    void Timer7_Timer(); // one value back
    void Timer8_Timer(); // one value on
    void timerDraw_Timer();
    void drawArray();

    // Label2_Click in two halves around the input box: where its top-left corner
    // goes (for the window's left, top, width and height), and the answer (empty
    // for Cancel).
    static Point accessPromptPosition(int left, int top, int width, int height);
    void answerAccessPrompt(std::string_view answer);

    // True while norvellix_x lets events run: loads, decode requests and the
    // inspection controls are then ignored, so that neither the decode window
    // under the decoder nor the plot it writes afterwards changes.
    bool decoding() const { return decoding_; }

    FormControls controls;
    LoadedSamples loaded;
    PlotSamples plot;
    DecodeWindow window;

private:
    enum class Decoder { CountedFrame, Message };
    void decodeRequest(Decoder decoder);

    PlotSurface& Picture1_;
    UiYield& ui_;
    CountedFrameDecoder countedFrame_;
    MessageDecoder message_;
    bool decoding_ = false;
    bool drawing_ = false;
};

} // namespace viewer
