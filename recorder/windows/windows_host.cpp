#include "recorder/windows/windows_host.h"

#include "platform/windows/wide_text.h"

namespace recorder::windows {

WindowsRecorderHost::WindowsRecorderHost(HWND owner, void (*repaint)(HWND))
    : owner_(owner), repaint_(repaint) {}

std::string WindowsRecorderHost::dateText() {
    return platform::localeShortDate();
}

std::string WindowsRecorderHost::timeText() {
    return platform::localeLongTime();
}

void WindowsRecorderHost::DoEvents() {
    repaint_(owner_);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Left for the main loop, which ends on it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void WindowsRecorderHost::MsgBox(const std::string& text, const std::string& title) {
    repaint_(owner_);
    MessageBoxW(owner_, platform::utf8ToWide(text).c_str(), platform::utf8ToWide(title).c_str(),
                MB_OK);
}

} // namespace recorder::windows
