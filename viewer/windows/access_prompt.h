// The access-code prompt: a small modal input box with a prompt text, an answer
// field filled in beforehand, OK and Cancel. The window's timers keep running
// while it is open, as under any input box.
#pragma once

#include <string>
#include <windows.h>

namespace viewer::windows {

// The answer given with OK, or "" for Cancel or closing the box; its top-left
// corner at the given screen pixel.
std::wstring askAccessCode(HWND owner, POINT topLeft, HFONT font);

} // namespace viewer::windows
