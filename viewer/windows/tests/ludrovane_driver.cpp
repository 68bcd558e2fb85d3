// Drives Ludrovane.exe as a user would, through window messages only: writes a
// recording of a synthesized call as the recorder writes it, starts the viewer
// in that folder, loads the file, gives the access code, runs both decoders and
// an inspection, loads files that are too large or cut short, and reads the
// results back from the window's controls and the plot's pixels.
// Usage: ludrovane_driver Ludrovane.exe [screenshot.bmp]
// With a screenshot path it keeps the window as it shows right after the load.
#include "platform/tests/windows/window_capture.h"
#include "platform/windows/handles.h"
#include "viewer/main_form.h"
#include "viewer/number_text.h"
#include "viewer/tests/signal_fixture.h"
#include "viewer/windows/control_ids.h"
#include "viewer/windows/text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

namespace {

using namespace viewer::windows;

int failures = 0;

void check(bool ok, const std::string& what, const std::string& detail = {}) {
    std::printf("%s: %s%s%s\n", ok ? "ok" : "FAILED", what.c_str(), detail.empty() ? "" : " - ",
                detail.c_str());
    std::fflush(stdout);
    if (!ok)
        ++failures;
}

constexpr DWORD kMessageTimeout = 30000;

std::string textOf(HWND w) {
    wchar_t buffer[512] = {};
    DWORD_PTR got = 0;
    ::SendMessageTimeoutW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                          kMessageTimeout, &got);
    return narrow(std::wstring_view(buffer, got));
}

void setText(HWND w, const std::string& text) {
    const std::wstring wide = widen(text);
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_NORMAL,
                          kMessageTimeout, &r);
}

void click(HWND button) {
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, kMessageTimeout, &r);
}

// A press and release of the left button at (4, 4) inside the control.
void mouseClick(HWND w) {
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4), SMTO_NORMAL,
                          kMessageTimeout, &r);
    ::SendMessageTimeoutW(w, WM_LBUTTONUP, 0, MAKELPARAM(4, 4), SMTO_NORMAL, kMessageTimeout, &r);
}

// Whether the window still handles its messages: a bounded wait for one reply.
bool answers(HWND w) {
    DWORD_PTR r = 0;
    return ::SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &r) != 0;
}

bool visible(HWND w) {
    return (::GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE) != 0;
}

// Polls for at most ms milliseconds for a top-level window of the class that has
// been shown: each window shows itself only once its controls exist.
HWND waitForWindow(const wchar_t* cls, DWORD ms) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (HWND w = ::FindWindowW(cls, nullptr); w && visible(w))
            return w;
        ::Sleep(50);
    }
    return nullptr;
}

using platform::testing::Capture;

constexpr COLORREF kGuide = RGB(50, 50, 50);
constexpr COLORREF kTrace = RGB(0, 255, 0);

int countIn(const Capture& c, int y, COLORREF colour) {
    int n = 0;
    for (int x = 0; x < c.width; ++x)
        n += c.at(x, y) == colour;
    return n;
}

// The plot's drawing as the screen shows it, once the redraw timer has drawn the
// trace (within a generous limit on a busy machine).
Capture plotOnceTraced(HWND picture) {
    Capture c;
    for (int i = 0; i < 200; ++i) {
        c = platform::testing::captureWindow(picture);
        for (int y = 0; y < c.height; ++y)
            if (countIn(c, y, kTrace) > 0)
                return c;
        ::Sleep(50);
    }
    return c;
}

// The five guide levels lie L/265 of the picture's height above its bottom row,
// drawn across its width.
void checkGuideRows(const Capture& c, const std::string& when) {
    const double bottom = c.height - 1;
    for (int level : {51, 102, 154, 205, 255}) {
        const int y = static_cast<int>(bottom - level * bottom / 265 + 0.5);
        int best = 0;
        for (int dy = -1; dy <= 1; ++dy)
            if (y + dy >= 0 && y + dy < c.height)
                best = std::max(best, countIn(c, y + dy, kGuide));
        check(best > c.width / 2, "guide row of level " + std::to_string(level) + " " + when,
              std::to_string(best) + " of " + std::to_string(c.width) + " pixels");
    }
}

// Writes a file of the given size without writing its bytes (sparse on the host).
bool makeFileOfSize(const std::filesystem::path& path, long long size) {
    const platform::UniqueFileHandle file(::CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end{};
    end.QuadPart = size;
    return file && ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) &&
           ::SetEndOfFile(file.get());
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: ludrovane_driver Ludrovane.exe [screenshot.bmp]\n");
        return 2;
    }
    const std::filesystem::path exe = std::filesystem::absolute(argv[1]);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("ludrovane_gui_" + std::to_string(::GetCurrentProcessId()));
    std::filesystem::create_directories(dir);

    // A call recorded on a line whose zero level is 150, its message at recording
    // sample 4000 (index 4006); the name carries Turkish letters.
    viewer::testing::BurstSpec spec;
    spec.zeroLevel = 150;
    spec.messageAt = 4000;
    const std::string fileName = "Norvellix_Sinyal_1_150_çağrı_şimdi.dat";
    viewer::testing::writeFile(dir / std::filesystem::path(widen(fileName)),
                               viewer::testing::signalFile(viewer::testing::recording(spec)));

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          dir.c_str(), &si, &pi)) {
        check(false, "Ludrovane starts", "CreateProcess error " + std::to_string(::GetLastError()));
        return 1;
    }
    const platform::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);

    const HWND main = waitForWindow(kMainClass, 20000);
    check(main != nullptr, "the window opens");
    if (!main)
        return 1;
    auto item = [&](int id) { return ::GetDlgItem(main, id); };
    auto unlocked = [&] {
        for (int id : {Frame22, Frame23, Text29, Text1, Text26, Command41, Text30, Command44})
            if (!visible(item(id)))
                return false;
        return true;
    };
    check(textOf(main) == "Ludrovane", "the title", textOf(main));
    check(!visible(item(Frame22)) && !visible(item(Text26)), "decoding is hidden at start");
    check(!::IsWindowEnabled(item(Command41)), "decode buttons start disabled");

    // Right after start-up the plot draws 4,978 empty cells: a flat trace at value
    // 0, which lies on the picture's bottom row.
    const HWND picture = item(Picture1);
    {
        const Capture c = plotOnceTraced(picture);
        const int bottom = c.height > 0 ? countIn(c, c.height - 1, kTrace) : 0;
        check(c.height > 0 && bottom > c.width * 9 / 10, "the value-0 trace on the bottom row",
              std::to_string(bottom) + " of " + std::to_string(c.width) + " pixels");
        checkGuideRows(c, "at start-up");
    }

    setText(item(Text25), fileName);
    mouseClick(item(Command38));
    const std::string count = textOf(item(Label22));
    check(count == "Alınan Örnek Sayısı: 25608 adet", "the load's count", count);
    check(::IsWindowEnabled(item(Command41)) && ::IsWindowEnabled(item(Command1)),
          "decode buttons enabled by the load");
    {
        // The loaded signal is traced in green across the picture, above the bottom.
        ::Sleep(300);
        const Capture c = plotOnceTraced(picture);
        int columns = 0;
        for (int x = 0; x < c.width; ++x)
            for (int y = 0; y < c.height - 1; ++y)
                if (c.at(x, y) == kTrace) {
                    ++columns;
                    break;
                }
        check(columns > c.width * 9 / 10, "the loaded signal's trace",
              std::to_string(columns) + " of " + std::to_string(c.width) + " columns");
        checkGuideRows(c, "after the load");
        if (argc > 2) {
            const bool kept =
                platform::testing::writeBmp(platform::testing::captureWindow(main), argv[2]);
            check(kept, "the screenshot after the load is kept");
        }
    }

    // The access code, through the prompt.
    ::PostMessageW(item(Label2), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    ::PostMessageW(item(Label2), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    const HWND prompt = waitForWindow(kPromptClass, 10000);
    check(prompt != nullptr, "the access prompt opens");
    if (prompt) {
        const HWND answer = ::GetDlgItem(prompt, PromptAnswer);
        check(textOf(answer) == "Hatırlatma", "the prompt's answer is filled in", textOf(answer));
        setText(answer, std::string(viewer::AccessCode));
        click(::GetDlgItem(prompt, PromptOk));
        // The answer is judged after the box has gone, and the frames then show one
        // control at a time: wait for all of them.
        for (int i = 0; i < 100 && !unlocked(); ++i)
            ::Sleep(50);
    }
    check(unlocked(), "the access code shows decoding and inspection");

    setText(item(Text1), "150");
    setText(item(Text29), "4740");
    click(item(Command1));
    const std::string tel = textOf(item(Text26));
    check(tel.rfind("Tel No: 05321234567 Kafa: ", 0) == 0 && tel.find(" BR: ") != std::string::npos,
          "cozucu_tel", tel);

    setText(item(Text29), "3800");
    click(item(Command41));
    const std::string whole = textOf(item(Text26));
    check(whole == "25.12 09:30 / 05321234567", "norvellix_x", whole);

    setText(item(Text29), "0");
    click(item(Command1));
    check(textOf(item(Text29)) == "20600" && textOf(item(Text26)).empty(),
          "a start of 0 is rejected", textOf(item(Text29)));
    setText(item(Text29), "3800");
    click(item(Command41));

    setText(item(Text31), "0");
    click(item(Command42));
    check(textOf(item(Text30)) == "25600", "an inspection of no values is rejected",
          textOf(item(Text30)));
    // Holding ">>>" steps the window on every 20 ms; "<<<" steps it back.
    setText(item(Text30), "100");
    setText(item(Text31), "200");
    auto hold = [&](HWND button) {
        DWORD_PTR r = 0;
        ::SendMessageTimeoutW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4), SMTO_NORMAL,
                              kMessageTimeout, &r);
        ::Sleep(300);
        ::SendMessageTimeoutW(button, WM_LBUTTONUP, 0, MAKELPARAM(4, 4), SMTO_NORMAL,
                              kMessageTimeout, &r);
        return static_cast<int>(viewer::readNumber(textOf(item(Text30))));
    };
    const int on = hold(item(Command44));
    // One step per tick: about 15 in 300 ms; a busy machine may stretch the hold.
    check(on > 100 && on <= 160, "holding >>> steps on", std::to_string(on));
    const int back = hold(item(Command43));
    check(back < on, "holding <<< steps back", std::to_string(back));
    ::Sleep(100);
    check(viewer::readNumber(textOf(item(Text30))) == back, "releasing stops the steps");
    setText(item(Text30), "1");

    // A file far too large (300 MB, nothing of it read) is refused as an unreadable
    // one is: Label22 names it, the loaded recording stays and still decodes.
    const std::string hugeName = "Norvellix_Sinyal_1_300MB.dat";
    check(makeFileOfSize(dir / widen(hugeName), 300LL << 20), "a 300 MB file is made");
    setText(item(Text25), hugeName);
    mouseClick(item(Command38));
    check(answers(main), "the viewer answers after a file too large");
    check(textOf(item(Label22)) == "Dosya çok büyük: " + hugeName, "a file too large is refused",
          textOf(item(Label22)));
    setText(item(Text29), "4740");
    click(item(Command1));
    check(textOf(item(Text26)) == tel, "the previous load stays", textOf(item(Text26)));

    // A file of the bound's size loads whole and is redrawn, and the window still
    // answers between its redraws (the time of one answer is shown, not judged).
    const std::string boundName = "Norvellix_Sinyal_1_bound.dat";
    viewer::testing::writeFile(dir / boundName,
                               std::vector<std::uint8_t>(viewer::kMaxSignalFileBytes, 100));
    setText(item(Text25), boundName);
    mouseClick(item(Command38));
    check(textOf(item(Label22)) ==
              "Alınan Örnek Sayısı: " + std::to_string(viewer::kMaxSignalFileBytes / 2) + " adet",
          "a file of the bound's size loads", textOf(item(Label22)));
    ::Sleep(500);
    for (int i = 0; i < 3; ++i) {
        const DWORD start = ::GetTickCount();
        const bool answered = answers(main);
        check(answered, "the viewer answers while it redraws a file of the bound's size",
              std::to_string(::GetTickCount() - start) + " ms");
    }

    // A recording cut to 40,001 bytes loads with its count alone.
    const std::string cutName = "Norvellix_Sinyal_1_cut.dat";
    std::vector<std::uint8_t> cut = viewer::testing::signalFile(viewer::testing::recording(spec));
    cut.resize(40001);
    viewer::testing::writeFile(dir / cutName, cut);
    setText(item(Text25), cutName);
    mouseClick(item(Command38));
    check(answers(main), "the viewer answers after a recording cut short");
    check(textOf(item(Label22)) == "Alınan Örnek Sayısı: 20000.5 adet",
          "a recording cut short shows its count", textOf(item(Label22)));

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    const bool ended = ::WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0;
    check(ended, "the viewer closes");
    if (!ended)
        ::TerminateProcess(process.get(), 1);
    DWORD code = 1;
    ::GetExitCodeProcess(process.get(), &code);
    check(code == 0, "exit code 0", std::to_string(code));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::printf("%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}
