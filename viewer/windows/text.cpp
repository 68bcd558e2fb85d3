#include "viewer/windows/text.h"

namespace viewer::windows {

std::string windowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return narrow(text);
}

void setWindowText(HWND window, std::string_view utf8) {
    if (windowText(window) != utf8)
        ::SetWindowTextW(window, widen(utf8).c_str());
}

} // namespace viewer::windows
