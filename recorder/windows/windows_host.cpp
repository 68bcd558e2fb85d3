#include "recorder/windows/windows_host.h"

namespace recorder::windows {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
    return utf8;
}

WindowsRecorderHost::WindowsRecorderHost(HWND owner, void (*repaint)(HWND))
    : owner_(owner), repaint_(repaint) {}

std::string WindowsRecorderHost::dateText() {
    wchar_t text[128] = {};
    const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 128);
    return n > 0 ? narrow(text) : std::string();
}

std::string WindowsRecorderHost::timeText() {
    wchar_t text[128] = {};
    const int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, 128);
    return n > 0 ? narrow(text) : std::string();
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
    MessageBoxW(owner_, widen(text).c_str(), widen(title).c_str(), MB_OK);
}

} // namespace recorder::windows
