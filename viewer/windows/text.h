// UTF-8 (the portable core's texts) to and from UTF-16 (the window's), and the
// text of a window.
#pragma once

#include <string>
#include <string_view>
#include <windows.h>

namespace viewer::windows {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

std::string windowText(HWND window);
// Sets the text only when it differs, so that a text box being typed into keeps
// its caret when nothing changed.
void setWindowText(HWND window, std::string_view utf8);

} // namespace viewer::windows
