// The names by which the test program's window and its controls are found:
// the window class and caption, and the control ids of the window's children.
// Its test driver reads the window through these.
#pragma once

namespace testprogram {

inline constexpr wchar_t kForm1Class[] = L"Pimbrella.Form1";
inline constexpr wchar_t kForm1Caption[] = L"Pimbrella";

enum ControlId : int {
    kFrame2 = 101,
    kLabel9,
    kLabel4,
    kFrame1,
    kLabel6,
    kLabel7,
    kLabel8,
    kLabel5,
    kList1,
    kLabel1,
    kLabel2,
    kLabel3,
};

} // namespace testprogram
