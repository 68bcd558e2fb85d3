// Pimbrella: the test program of the CRM control. One window; the program
// ends when it closes, or at once with a message when the control cannot be
// hosted or started.
#include "activex/text.h"
#include "activex/win.h"
#include "testprogram/form1.h"
#include "testprogram/form1_ids.h"

#include <exception>
#include <optional>
#include <string>

namespace {

int runForm1(HINSTANCE instance, int showCommand) {
    std::optional<std::wstring> failure;
    try {
        testprogram::Form1 form(instance);
        failure = form.load();
        if (!failure) {
            form.show(showCommand);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                // Keystrokes go to an active control first, as to any in-place object.
                if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
                    form.translateAccelerator(msg))
                    continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            return static_cast<int>(msg.wParam);
        }
    } catch (const std::exception& e) {
        failure = L"Pimbrella could not open its window: " + activex::utf8ToWide(e.what());
    }
    // The window that went with the failure left a quit message; the message
    // box must not take it as its own end.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    MessageBoxW(nullptr, failure->c_str(), testprogram::kForm1Caption, MB_OK | MB_ICONERROR);
    return 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The control is apartment-threaded and activated in place: OLE, not just COM.
    if (FAILED(OleInitialize(nullptr))) {
        MessageBoxW(nullptr, L"Pimbrella could not initialise OLE.", testprogram::kForm1Caption,
                    MB_OK | MB_ICONERROR);
        return 1;
    }
    int result = runForm1(instance, showCommand);
    OleUninitialize();
    return result;
}
