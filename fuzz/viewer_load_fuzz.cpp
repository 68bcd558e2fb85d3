// The viewer opening a file as a person does: the file loaded into the window
// (after a small one, so that a refusal shows what stays) and drawn, both
// decoders run from the typed start and axis (the whole-message decoder while
// other controls are pressed under it), the inspection window shown and stepped,
// and the plot drawn after each. What must hold:
// - reading a file never holds more than the loader's bound, nor more than three
//   times the file's size (the reader's own growth);
// - a file above the bound is refused with its name in the caption, and the
//   previous load stays: values, plot and buttons;
// - a file within it: the count caption, the loaded values (0..255 for the pairs
//   the file holds, empty after them, round(Len / 2) + 1 cells), the plot and the
//   buttons;
// - each decoder shows nothing or its own text with digits of the lengths its
//   frames allow, and the same text as a fresh decoder over the same window;
//   nothing pressed while the whole-message decoder lets events run changes the
//   window under it;
// - the plot after a decode and after an inspection holds the loaded values of
//   the window asked for (empty beyond the loaded ones), and every redraw draws
//   the guide lines and one segment per cell but the last, inside the surface.
//
// Input: six lines of text, then the file's bytes. The lines are typed into the
// decode start (Text29), the axis (Text1), the inspection start (Text30) and count
// (Text31); the fifth is a length the file is lengthened to with zero bytes (so a
// large file needs no large input), up to twice the bound; in the sixth each
// character presses a control while the whole-message decoder lets events run. A
// missing or empty line leaves the box's text as it starts.
#include "fuzz/allocation_count.h"
#include "fuzz/check.h"
#include "fuzz/decoder_checks.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/temp_file.h"
#include "viewer/main_form.h"
#include "viewer/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace {

using viewer::MainForm;

// The longest file a run makes: beyond the loader's bound, so that refusals are
// tried as well.
constexpr std::uintmax_t kLongestFile = 2 * viewer::kMaxSignalFileBytes + 2;
// The file loaded before the input's: one quoted pair, so one value and two cells.
constexpr std::uint8_t kPreviousFile[] = {'"', 'A', 'B', '"'};
// What reading holds besides the file's bytes: the stream's buffer, the name.
constexpr std::size_t kReadOverhead = 64 * 1024;

struct Typed {
    std::optional<std::string> Text29, Text1, Text30, Text31;
    std::uintmax_t length = 0;
    std::string pressed;
};

Typed readTyped(fuzz::FuzzInput& input) {
    Typed t;
    for (auto* box : {&t.Text29, &t.Text1, &t.Text30, &t.Text31})
        if (const auto line = input.line(); line && !line->empty())
            *box = std::string(*line);
    if (const auto line = input.line()) {
        std::uintmax_t n = 0;
        std::from_chars(line->data(), line->data() + line->size(), n);
        t.length = std::min(n, kLongestFile);
    }
    if (const auto line = input.line())
        t.pressed = std::string(*line);
    return t;
}

// A surface that checks what is drawn on it instead of keeping it.
class CheckingSurface final : public viewer::PlotSurface {
public:
    double ScaleWidth() const override { return kWidth; }
    double ScaleHeight() const override { return kHeight; }
    void Cls() override { lines_ = 0; }
    void setForeColor(viewer::Colour) override {}
    // Heights are not checked: a level typed far beyond the samples draws off the
    // surface, as it would on the screen.
    void Line(double x1, double, double x2, double) override {
        ++lines_;
        fuzz::expect(x1 >= 0 && x1 <= kWidth && x2 >= 0 && x2 <= kWidth, [&] {
            return "expected a line inside the surface's width, got x " + std::to_string(x1) +
                   " to " + std::to_string(x2);
        });
    }

    // One redraw of the form's plot: five guide lines and one segment per cell but
    // the last.
    void expectRedraw(MainForm& form) {
        form.drawArray();
        const int U = form.plot.upperBound();
        const int expected = 5 + (U > 0 ? U : 0);
        fuzz::expect(lines_ == expected, [&] {
            return "expected " + std::to_string(expected) + " lines for " + std::to_string(U) +
                   " cells, got " + std::to_string(lines_);
        });
    }

private:
    static constexpr double kWidth = 757, kHeight = 313;
    int lines_ = 0;
};

// What a character of the sixth line presses ('a' answers the access prompt).
constexpr std::pair<char, void (MainForm::*)()> kPresses[] = {
    {'o', &MainForm::Command38_MouseUp}, {'1', &MainForm::Command1_Click},
    {'2', &MainForm::Command2_Click},    {'4', &MainForm::Command41_Click},
    {'g', &MainForm::Command42_Click},   {'<', &MainForm::Timer7_Timer},
    {'>', &MainForm::Timer8_Timer},      {'d', &MainForm::timerDraw_Timer},
};

// Presses controls while the whole-message decoder lets events run; the window
// under the decoder is kept at its first yield and compared once the decoder has
// returned (expectWindowKept), so that the checks cost one pass over the window
// however many characters are pressed. The window is written only by a decode
// request, from the start in Text29, which a press only moves on (or back to the
// last start allowed): a window changed under the decoder stays changed, so the
// one comparison sees what every press did.
class PressingUi final : public viewer::UiYield {
public:
    void DoEvents() override {
        if (!form || next_ >= pressed.size())
            return;
        if (form->decoding() && !window_)
            window_.emplace(form->window.values().begin(), form->window.values().end());
        const char c = pressed[next_++];
        if (c == 'a')
            form->answerAccessPrompt(viewer::AccessCode);
        for (const auto& [key, press] : kPresses)
            if (key == c)
                (form->*press)();
    }

    void expectWindowKept() const {
        if (!window_)
            return;
        fuzz::expect(std::equal(window_->begin(), window_->end(), form->window.values().begin()),
                     [&] {
                         return "expected the decode window unchanged while the decoder runs, "
                                "got it changed by pressing \"" +
                                pressed.substr(0, next_) + "\"";
                     });
    }

    MainForm* form = nullptr;
    std::string pressed;

private:
    std::size_t next_ = 0;
    std::optional<std::vector<double>> window_;
};

struct NoEvents final : viewer::UiYield {
    void DoEvents() override {}
};

void expectLoad(const MainForm& form, std::uintmax_t length) {
    const double half = static_cast<double>(length) / 2.0;
    const std::string count = "Alınan Örnek Sayısı: " + viewer::writeNumber(half) + " adet";
    fuzz::expect(form.controls.Label22 == count, [&] {
        return "expected the caption \"" + count + "\", got \"" + form.controls.Label22 + "\"";
    });
    const int R = static_cast<int>(viewer::roundHalfEven(half));
    fuzz::expect(form.loaded.upperBound() == R, [&] {
        return "expected loaded cells 0.." + std::to_string(R) + ", got 0.." +
               std::to_string(form.loaded.upperBound());
    });
    fuzz::expect(form.plot.upperBound() == R,
                 [] { return std::string("expected the plot to take the loaded cells"); });
    // Cells 0 .. unmasked - 1 hold the file's pairs (2i + 4 <= Len), the rest are
    // empty; one pass checks both arrays.
    const int unmasked = length >= 4 ? static_cast<int>((length - 4) / 2) + 1 : 0;
    for (int i = 0; i <= R; ++i) {
        const int v = form.loaded[i];
        const bool held = i < unmasked;
        fuzz::expect(held ? v >= 0 && v <= 255 : v == 0, [&] {
            return "expected cell " + std::to_string(i) + (held ? " in 0..255" : " empty") +
                   ", got " + std::to_string(v);
        });
        fuzz::expect(form.plot[i] == v,
                     [&] { return "expected plot cell " + std::to_string(i) + " as loaded"; });
    }
    fuzz::expect(form.controls.loadButtonsEnabled == (length > viewer::kDecodableBytes), [&] {
        return "expected the decode buttons " +
               std::string(length > viewer::kDecodableBytes ? "enabled" : "disabled") + " for " +
               std::to_string(length) + " bytes";
    });
}

// A file above the bound: its name in the caption, and the previous load whole.
void expectRefusal(const MainForm& form, const viewer::LoadedSamples& loaded,
                   const viewer::PlotSamples& plot) {
    const std::string caption =
        viewer::fileErrorCaption(viewer::FileError::TooLarge, form.controls.Text25);
    fuzz::expect(form.controls.Label22 == caption && form.loaded == loaded && form.plot == plot &&
                     !form.controls.loadButtonsEnabled,
                 [&] {
                     return "expected the file refused with \"" + caption +
                            "\" and the previous load kept, got \"" + form.controls.Label22 + "\"";
                 });
}

// The loaded value at index round(x), or an empty cell's 0 outside them.
double loadedAt(const MainForm& form, double x) {
    const auto n = viewer::indexIn(x, form.loaded.upperBound());
    return n ? form.loaded[*n] : 0.0;
}

// After a decode request: refused (Text29 rewritten, the plot as it was) or the
// plot holding the window's loaded values.
bool expectDecodeRequest(const MainForm& form, double start, int plotBefore) {
    if (!(start > 0 && start < viewer::kLastDecodeStart + 1)) {
        fuzz::expect(form.controls.Text29 == "20600" && form.controls.Text26.empty() &&
                         form.plot.upperBound() == plotBefore,
                     [&] {
                         return "expected the start " + std::to_string(start) +
                                " refused, got Text29 \"" + form.controls.Text29 + "\"";
                     });
        return false;
    }
    fuzz::expect(form.plot.upperBound() == viewer::kDecodeWindowValues &&
                     form.plot[viewer::kDecodeWindowValues] == 0,
                 [] { return std::string("expected the plot to take the decode window"); });
    const double axis = viewer::readNumber(form.controls.Text1);
    if (std::abs(axis) <= 1e6) { // beyond that, window and plot differ by rounding only
        for (int j = 0; j < viewer::kDecodeWindowValues; ++j) {
            const double expected = loadedAt(form, start + j);
            fuzz::expect(std::abs(form.plot[j] - expected) <= 1e-6, [&] {
                return "expected plot cell " + std::to_string(j) + " at " +
                       std::to_string(expected) + ", got " + std::to_string(form.plot[j]);
            });
        }
    }
    return true;
}

// Text26 after a decode: what a fresh decoder reads in the same window, a text of
// the decoder's own form when there is one.
void expectShown(const MainForm& form, const std::string& expected,
                 void (*expectForm)(std::string_view)) {
    fuzz::expect(form.controls.Text26 == expected, [&] {
        return "expected \"" + expected + "\" as a fresh decoder reads the window, got \"" +
               form.controls.Text26 + "\"";
    });
    if (!expected.empty())
        expectForm(expected);
}

void expectInspection(const MainForm& form, double start, double count,
                      const viewer::PlotSamples& plotBefore) {
    if (!(start + count < viewer::kInspectEnd && start > 0 && count > 0)) {
        const std::string text = viewer::writeNumber(viewer::kLastInspectStart - count);
        fuzz::expect(form.controls.Text30 == text && form.plot == plotBefore, [&] {
            return "expected the inspection refused with Text30 \"" + text + "\", got \"" +
                   form.controls.Text30 + "\"";
        });
        return;
    }
    const int U = static_cast<int>(viewer::roundHalfEven(count));
    fuzz::expect(form.plot.upperBound() == U && form.plot[U] == 0, [&] {
        return "expected an inspection of cells 0.." + std::to_string(U) + ", got 0.." +
               std::to_string(form.plot.upperBound());
    });
    for (int j = 0; j <= count - 1; ++j)
        fuzz::expect(form.plot[j] == loadedAt(form, start + j), [&] {
            return "expected inspection cell " + std::to_string(j) + " as loaded";
        });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const Typed typed = readTyped(input);
    const auto bytes = input.rest();
    const std::uintmax_t length = std::max<std::uintmax_t>(typed.length, bytes.size());
    static const fuzz::TempFile previous("previous.dat");
    static const fuzz::TempFile file("signal.dat");
    previous.write(kPreviousFile);
    file.write(bytes, length);

    {
        const fuzz::AllocationPeak peak;
        const viewer::FileBytes read = viewer::readSignalFile(file.path().string());
        const std::size_t held = peak.bytes();
        const bool refused = length > viewer::kMaxSignalFileBytes;
        fuzz::expect(refused
                         ? read.error == viewer::FileError::TooLarge && read.bytes.empty()
                         : read.error == viewer::FileError::None && read.bytes.size() == length &&
                               std::equal(bytes.begin(), bytes.end(), read.bytes.begin()),
                     [&] {
                         return "expected " + std::to_string(length) + " bytes " +
                                (refused ? "refused" : "read");
                     });
        const std::size_t most =
            std::min<std::uintmax_t>(viewer::kMaxSignalFileBytes, 3 * length) + kReadOverhead;
        fuzz::expect(held <= most, [&] {
            return "expected reading " + std::to_string(length) + " bytes to hold at most " +
                   std::to_string(most) + ", got " + std::to_string(held);
        });
    }

    CheckingSurface surface;
    PressingUi ui;
    MainForm form(surface, ui);
    form.Form_Load();
    form.controls.Text25 = previous.path().string();
    form.Command38_MouseUp();
    form.controls.Text25 = file.path().string();
    if (typed.Text29)
        form.controls.Text29 = *typed.Text29;
    if (typed.Text1)
        form.controls.Text1 = *typed.Text1;
    if (typed.Text30)
        form.controls.Text30 = *typed.Text30;
    if (typed.Text31)
        form.controls.Text31 = *typed.Text31;

    const viewer::LoadedSamples loadedBefore = form.loaded;
    const viewer::PlotSamples plotBefore = form.plot;
    form.Command38_MouseUp();
    if (length > viewer::kMaxSignalFileBytes)
        expectRefusal(form, loadedBefore, plotBefore);
    else
        expectLoad(form, length);
    surface.expectRedraw(form);

    const double start = viewer::readNumber(form.controls.Text29);
    int cellsBefore = form.plot.upperBound();
    form.Command1_Click();
    if (expectDecodeRequest(form, start, cellsBefore)) {
        viewer::CountedFrameDecoder fresh;
        const auto result = fresh.cozucu_tel(form.window.values());
        expectShown(form, result ? result->text() : "", fuzz::expectCountedFrameText);
    }
    surface.expectRedraw(form);

    form.controls.Text29 = typed.Text29.value_or("1");
    cellsBefore = form.plot.upperBound();
    ui.form = &form;
    ui.pressed = typed.pressed;
    form.Command41_Click();
    ui.expectWindowKept();
    ui.pressed.clear();
    if (expectDecodeRequest(form, start, cellsBefore)) {
        viewer::MessageDecoder fresh;
        NoEvents quiet;
        expectShown(form, fresh.norvellix_x(form.window.values(), quiet).value_or(""),
                    fuzz::expectMessageText);
    }
    surface.expectRedraw(form);

    const viewer::PlotSamples plotAtInspection = form.plot;
    const double inspectStart = viewer::readNumber(form.controls.Text30);
    const double inspectCount = viewer::readNumber(form.controls.Text31);
    form.Command42_Click();
    expectInspection(form, inspectStart, inspectCount, plotAtInspection);
    surface.expectRedraw(form);
    form.Timer8_Timer();
    form.Timer7_Timer();
    surface.expectRedraw(form);
    return 0;
}
