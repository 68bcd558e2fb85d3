// The test driver's hook library, loaded into Pimbrella by the system when the
// driver hooks the program's thread: it watches the messages the program takes
// from its queue, tells the driver of a double-click on Frame1, and at the next
// timer tick (the reset's handler has run and the window has painted it, since
// input and painting come before timers) holds the program until the driver lets
// go. While held it answers sent messages, so the driver reads the window as
// ever. Nothing of the program is changed: only when its next tick runs.
#include "pimbrella_hold.h"
#include "platform/windows/handles.h"
#include "testprogram/form1_ids.h"

namespace {

using pimbrella_test::HoldEvent;

HMODULE self = nullptr;
bool hooked = false;        // told the driver that the hook runs here
bool doubleClicked = false; // on Frame1, and no tick since

platform::UniqueKernelHandle openEvent(HoldEvent which) {
    return platform::UniqueKernelHandle(
        OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE,
                   pimbrella_test::holdEventName(GetCurrentProcessId(), which).c_str()));
}

void holdUntilReleased() {
    const auto held = openEvent(HoldEvent::Held);
    const auto released = openEvent(HoldEvent::Released);
    if (!held || !released)
        return; // the driver is gone
    SetEvent(held.get());
    const HANDLE release = released.get();
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD waited = GetTickCount() - start;
        if (waited >= pimbrella_test::kHoldLimitMs)
            return;
        const DWORD woken = MsgWaitForMultipleObjects(
            1, &release, FALSE, pimbrella_test::kHoldLimitMs - waited, QS_SENDMESSAGE);
        if (woken != WAIT_OBJECT_0 + 1)
            return; // let go, out of time, or the wait failed
        // Sent messages only (the driver's reads): nothing leaves the queue.
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

LRESULT CALLBACK getMessageHook(int code, WPARAM removal, LPARAM lParam) {
    if (!hooked) {
        if (const auto running = openEvent(HoldEvent::Hooked))
            hooked = SetEvent(running.get()) != FALSE;
    }
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const MSG& message = *reinterpret_cast<const MSG*>(lParam);
        if (message.message == WM_LBUTTONDBLCLK &&
            GetDlgCtrlID(message.hwnd) == testprogram::kFrame1) {
            doubleClicked = true;
            if (const auto clicked = openEvent(HoldEvent::DoubleClicked))
                SetEvent(clicked.get());
        } else if (message.message == WM_TIMER && doubleClicked) {
            doubleClicked = false;
            holdUntilReleased();
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

} // namespace

extern "C" __declspec(dllexport) HHOOK pimbrellaInstallHoldHook(DWORD threadId) {
    return SetWindowsHookExW(WH_GETMESSAGE, getMessageHook, self, threadId);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        self = instance;
    return TRUE;
}
