// The text of a window in UTF-8 (the portable core's texts), and the platform
// layer's UTF-8 <-> UTF-16 under the names the viewer's windows use.
#pragma once

#include "platform/windows/wide_text.h"

#include <string>
#include <string_view>
#include <windows.h>

namespace viewer::windows {

inline std::wstring widen(std::string_view utf8) {
    return platform::utf8ToWide(utf8);
}
inline std::string narrow(std::wstring_view utf16) {
    return platform::wideToUtf8(utf16);
}

std::string windowText(HWND window);
// Sets the text only when it differs, so that a text box being typed into keeps
// its caret when nothing changed.
void setWindowText(HWND window, std::string_view utf8);

} // namespace viewer::windows
