#include "platform/windows/device_change_windows.h"

#include "platform/types.h"

#include <windows.h>

namespace platform {

namespace {

BOOL CALLBACK postTo(HWND window, LPARAM) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId())
        ::PostMessageA(window, kWmDeviceChange, kDbtDevNodesChanged, 0);
    return TRUE;
}

} // namespace

void postDeviceChangeToProcessWindows() {
    ::EnumWindows(postTo, 0);
}

} // namespace platform
