// The child-window identifiers of Ketrasmo's main window, shared with the program's
// test driver, which finds the controls by them.
#pragma once

namespace recorder::windows {

inline constexpr const wchar_t* kMainWindowTitle = L"Ketrasmo";
inline constexpr const wchar_t* kMessageBoxTitle = L"Ketrasmo Bildirimi";

enum ControlId : int {
    IdCommand1 = 101,
    IdFrame1,
    IdShape1,
    IdLabelbaglanti,
    IdFrame2,
    IdLabel2,
    IdShape3, // lamps of lines 1..4: IdShape3 + line - 1
    IdShape4,
    IdShape5,
    IdShape6,
    IdLabel3, // status texts of lines 1..4: IdLabel3 + line - 1
    IdLabel4,
    IdLabel5,
    IdLabel6,
    IdLabel12,
    IdLabel1,
    IdShape2,
};

} // namespace recorder::windows
