// What the test driver and its hook library inside Pimbrella share: the names
// of the events by which the hook is seen running in the program, a
// double-click on Frame1 is seen, the program is held at its next timer tick,
// and let go again.
// A reset's window shows only until the control has calibrated the devices
// again, a dozen ticks later; held at the first tick, it stays on the screen
// for as long as the driver needs to read it, loaded machine or not.
#pragma once

#include <string>
#include <windows.h>

namespace pimbrella_test {

enum class HoldEvent { Hooked, DoubleClicked, Held, Released };

// Local\PimbrellaHold.<pid>.<event>: one set per program process.
inline std::wstring holdEventName(DWORD processId, HoldEvent event) {
    const wchar_t* what = event == HoldEvent::Hooked          ? L"hooked"
                          : event == HoldEvent::DoubleClicked ? L"clicked"
                          : event == HoldEvent::Held          ? L"held"
                                                              : L"released";
    return L"Local\\PimbrellaHold." + std::to_wstring(processId) + L"." + what;
}

// The program goes on by itself after this, should the driver never let go.
constexpr DWORD kHoldLimitMs = 60000;

// The hook library's one export (cdecl, so undecorated in both widths):
// installs its WH_GETMESSAGE hook on the program's thread; null on failure.
using InstallHoldHook = HHOOK (*)(DWORD threadId);
inline constexpr char kInstallHoldHookName[] = "pimbrellaInstallHoldHook";
inline constexpr wchar_t kHoldHookLibrary[] = L"pimbrella_hold.dll";

} // namespace pimbrella_test
