// Ludrovane: the signal viewer. One window on one thread.
#include "viewer/windows/main_window.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    viewer::windows::MainWindow window(instance);
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return got < 0 ? 1 : static_cast<int>(msg.wParam);
}
