// The control ids of the viewer's window, shared with the test that drives it
// through window messages. The window classes are named here for the same reason.
#pragma once

namespace viewer::windows {

inline constexpr wchar_t kMainClass[] = L"LudrovaneMain";
inline constexpr wchar_t kPromptClass[] = L"LudrovanePrompt";
inline constexpr wchar_t kPictureClass[] = L"LudrovanePicture";

enum ControlId : int {
    Label2 = 1002,
    Label11 = 1011,
    Picture1 = 1100,
    Frame18 = 1218,
    Frame20 = 1220,
    Text25 = 1325,
    Command38 = 1438,
    Label22 = 1022,
    Frame23 = 1223,
    Text30 = 1330,
    Label24 = 1024,
    Text31 = 1331,
    Label25 = 1025,
    Command42 = 1442,
    Command43 = 1443,
    Command44 = 1444,
    Frame22 = 1222,
    Label23 = 1023,
    Text29 = 1329,
    Label1 = 1001,
    Command2 = 1402,
    Text1 = 1301,
    Command41 = 1441,
    Command1 = 1401,
    Text26 = 1326,
    // The access-code prompt's controls.
    PromptText = 2001,
    PromptAnswer = 2002,
    PromptOk = 1,     // IDOK
    PromptCancel = 2, // IDCANCEL
};

} // namespace viewer::windows
