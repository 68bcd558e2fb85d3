// The test driver's view of a running Pimbrella: it starts the program with
// the environment a test gives it, finds its window or its message box and
// reads them through window messages, as a person would see them. Every wait
// is bounded.
#pragma once

#include "activex/win.h"
#include "platform/tests/windows/window_capture.h"
#include "platform/windows/handles.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace pimbrella_test {

using namespace std::chrono_literals;

// Polls until done() holds or the time is up; true when it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// A Windows path for a path of the Unix side (the prefix's Z: drive).
std::wstring windowsPath(const std::string& unixPath);

// Runs a program to its end (at most limit); its exit code, or -1.
int runToEnd(const std::wstring& commandLine, std::chrono::milliseconds limit = 60s);

class PimbrellaProcess {
public:
    // Starts the program with NAME=value added to this process's environment
    // (an empty value removes NAME).
    PimbrellaProcess(const std::wstring& exe,
                     const std::vector<std::pair<std::wstring, std::wstring>>& environment);
    PimbrellaProcess(const PimbrellaProcess&) = delete;
    PimbrellaProcess& operator=(const PimbrellaProcess&) = delete;
    // Ends the program if it still runs: closed first, killed if it will not go.
    ~PimbrellaProcess();

    // The program's main window once it shows, or null after limit.
    HWND waitForWindow(std::chrono::milliseconds limit);
    // A message box of the program, or null after limit.
    HWND waitForMessageBox(std::chrono::milliseconds limit);
    // Its exit code once it has ended within limit, else -1.
    int waitForExit(std::chrono::milliseconds limit);
    bool running() const;
    // Why there is no window, for a failure message: the program could not be
    // started, ended (and how), or still runs without one.
    std::string whyNoWindow() const;

    HWND window() const noexcept { return window_; }
    DWORD processId() const noexcept { return processId_; }
    HWND control(int id) const { return GetDlgItem(window_, id); }
    std::wstring text(int id) const;
    std::vector<std::wstring> listRows(int id) const;
    // A list row's rectangle in the list's client area (empty when it cannot be had).
    RECT listRowRect(int id, int row) const;
    // Two clicks of the left button at a point of a control, through the
    // system's input queue (so hit-testing and double-click timing apply).
    void doubleClick(int id, POINT at);

private:
    HWND findTopLevel(const wchar_t* windowClass) const;

    platform::UniqueKernelHandle process_;
    DWORD processId_ = 0;
    DWORD startError_ = ERROR_SUCCESS; // CreateProcess's, when it failed
    HWND window_ = nullptr;
};

// Holds the program still at its first timer tick after a double-click on Frame1
// (pimbrella_hold.h), through a hook library of the driver's own that the system
// loads into the program, until release() or the end of this object. The window
// keeps what the double-click's handler showed, and answers reads as ever.
class TickHold {
public:
    // Hooks the program's thread; hooked() tells whether that worked.
    explicit TickHold(const PimbrellaProcess& program);
    TickHold(const TickHold&) = delete;
    TickHold& operator=(const TickHold&) = delete;
    ~TickHold(); // lets go and unhooks

    bool hooked() const noexcept { return static_cast<bool>(hook_); }
    // Why a hook could not be had, for a failure message.
    const std::string& failure() const noexcept { return failure_; }

    enum class Seen { NoHook, NoDoubleClick, NoTick, Held };
    // How far the program got within limit: the hook never ran in it, no
    // double-click reached Frame1, no tick came after the double-click, or
    // held at that tick.
    Seen waitHeld(std::chrono::milliseconds limit) const;
    void release();

private:
    struct HookTraits {
        using handle_type = HHOOK;
        static HHOOK invalid() noexcept { return nullptr; }
        static bool close(HHOOK h) noexcept { return UnhookWindowsHookEx(h) != FALSE; }
    };

    platform::UniqueHmodule library_;
    platform::UniqueKernelHandle hooked_, doubleClicked_, held_, released_;
    platform::UniqueHandle<HookTraits> hook_;
    std::string failure_;
};

// Window and message-box texts, read through WM_GETTEXT (bounded).
std::wstring windowText(HWND window);
// The texts of a dialog's static children, joined by newlines.
std::wstring dialogText(HWND dialog);

// What the window shows, read from the screen.
using platform::testing::Capture;
using platform::testing::captureWindow;
using platform::testing::writeBmp;

} // namespace pimbrella_test
