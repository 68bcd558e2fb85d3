// Drives Ludrovane.exe as a user would, through window messages only: writes a
// recording of a synthesized call as the recorder writes it, starts the viewer
// in that folder, loads the file, gives the access code, runs both decoders and
// an inspection, and reads the results back from the window's controls.
// Usage: ludrovane_driver Ludrovane.exe [screenshot-handshake-folder]
// With a handshake folder it writes "ready" there when the decode is shown and
// waits (at most 30 s) for "shot" before closing the viewer.
#include "viewer/main_form.h"
#include "viewer/number_text.h"
#include "viewer/tests/signal_fixture.h"
#include "viewer/windows/control_ids.h"
#include "viewer/windows/text.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <windows.h>

namespace {

using namespace viewer::windows;

class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h_)
            ::CloseHandle(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

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

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: ludrovane_driver Ludrovane.exe [handshake-folder]\n");
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
    Handle process(pi.hProcess);
    Handle thread(pi.hThread);

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

    setText(item(Text25), fileName);
    mouseClick(item(Command38));
    const std::string count = textOf(item(Label22));
    check(count == "Alınan Örnek Sayısı: 25608 adet", "the load's count", count);
    check(::IsWindowEnabled(item(Command41)) && ::IsWindowEnabled(item(Command1)),
          "decode buttons enabled by the load");

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

    if (argc > 2) {
        const std::filesystem::path handshake = argv[2];
        {
            std::FILE* f = _wfopen((handshake / "ready").c_str(), L"w");
            if (f)
                std::fclose(f);
        }
        for (int i = 0; i < 600 && !std::filesystem::exists(handshake / "shot"); ++i)
            ::Sleep(50);
    }

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
