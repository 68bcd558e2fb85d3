#include "viewer/main_form.h"

#include "viewer/number_text.h"

namespace viewer {

MainForm::MainForm(PlotSurface& Picture1, UiYield& ui) : Picture1_(Picture1), ui_(ui) {}

void MainForm::Form_Load() {
    plot = PlotSamples(kDecodeWindowValues);
    controls.Frame18Width = kFrame18LockedWidth;
}

void MainForm::Command38_MouseUp() {
    if (decoding_)
        return;
    drawEmptyPlot(Picture1_);
    FileBytes file = readSignalFile(controls.Text25);
    if (file.error != FileError::None) {
        // Nothing is loaded: what was loaded before stays, buttons included.
        controls.Label22 = fileErrorCaption(file.error, controls.Text25);
        return;
    }
    // Everything new is built before anything old is replaced, so a load that
    // fails part way (out of memory) leaves the previous one whole.
    LoadedSignal signal = unmaskSignal(file.bytes);
    std::string caption = receivedCountCaption(signal);
    PlotSamples drawn(signal.samples.upperBound());
    for (int i = 0; i <= signal.samples.upperBound(); ++i)
        drawn[i] = signal.samples[i];
    controls.Label22 = std::move(caption);
    controls.loadButtonsEnabled = signal.decodable;
    loaded = std::move(signal.samples);
    plot = std::move(drawn);
}

void MainForm::Command1_Click() {
    decodeRequest(Decoder::CountedFrame);
}

void MainForm::Command41_Click() {
    decodeRequest(Decoder::Message);
}

void MainForm::Command2_Click() {
    if (decoding_)
        return;
    controls.Text29 = writeNumber(readNumber(controls.Text29) + 1);
    Command1_Click();
}

void MainForm::decodeRequest(Decoder decoder) {
    if (decoding_)
        return;
    controls.Text26.clear();
    const double start = readNumber(controls.Text29);
    if (!(start > 0 && start < kLastDecodeStart + 1)) {
        controls.Text29 = writeNumber(kLastDecodeStart);
        return;
    }
    plot = PlotSamples(kDecodeWindowValues);
    window.fill(loaded, start, readNumber(controls.Text1));
    if (decoder == Decoder::CountedFrame) {
        if (const auto result = countedFrame_.cozucu_tel(window.values()))
            controls.Text26 = result->text();
    } else {
        decoding_ = true;
        const auto text = message_.norvellix_x(window.values(), ui_);
        decoding_ = false;
        if (text)
            controls.Text26 = *text;
    }
    // The level as the text box holds it now, into the plot as it stands now.
    const double axisLevel = readNumber(controls.Text1);
    const int cells =
        plot.upperBound() < kDecodeWindowValues ? plot.upperBound() : kDecodeWindowValues;
    for (int j = 0; j < cells; ++j)
        plot[j] = window[j] + axisLevel;
}

void MainForm::Command42_Click() {
    if (decoding_)
        return;
    const double count = readNumber(controls.Text31);
    const double start = readNumber(controls.Text30);
    if (!(start + count < kInspectEnd && start > 0 && count > 0)) {
        controls.Text30 = writeNumber(kLastInspectStart - count);
        return;
    }
    PlotSamples inspection(static_cast<int>(roundHalfEven(count)));
    for (int j = 0; j <= count - 1; ++j) {
        // Beyond the loaded samples the window is padded with empty cells.
        const auto n = indexIn(start + j, loaded.upperBound());
        inspection[j] = n ? loaded[*n] : 0;
    }
    plot = std::move(inspection);
}

void MainForm::Timer7_Timer() {
    if (decoding_)
        return;
    const double start = readNumber(controls.Text30);
    if (start > 1)
        controls.Text30 = writeNumber(start - 1);
    Command42_Click();
}

void MainForm::Timer8_Timer() {
    if (decoding_)
        return;
    const double start = readNumber(controls.Text30);
    if (start < kLastInspectStart)
        controls.Text30 = writeNumber(start + 1);
    Command42_Click();
}

void MainForm::timerDraw_Timer() {
    // A tick that comes while one is still running (its events let the timer
    // fire again) is dropped: redraws never overlap.
    if (drawing_ || plot.upperBound() <= 0)
        return;
    drawing_ = true;
    ui_.DoEvents();
    drawArray();
    drawing_ = false;
}

void MainForm::drawArray() {
    viewer::drawArray(Picture1_, plot);
}

Point MainForm::accessPromptPosition(int left, int top, int width, int height) {
    return {left + width / 4, top + height / 4};
}

void MainForm::answerAccessPrompt(std::string_view answer) {
    if (answer != AccessCode)
        return;
    controls.Frame22Visible = true;
    controls.Frame23Visible = true;
    controls.Frame18Width = kFrame18UnlockedWidth;
}

} // namespace viewer
