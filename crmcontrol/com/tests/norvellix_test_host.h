// What the Norvellix test hosts share: the library's path as Windows sees it, a
// message loop with a time limit, and late-bound calls.
#pragma once

#include "Norvellix.h"
#include "activex/com_ptr.h"
#include "activex/win.h"

#include <functional>
#include <string>
#include <vector>

namespace norvellix_test {

inline constexpr DISPID kG_Start = 0x60030023;
inline constexpr DISPID kG_Stop = 0x60030024;
inline constexpr DISPID kG_Reset = 0x60030025;
inline constexpr DISPID kOnCallerID = 1;
inline constexpr DISPID kOnDeviceConnection = 2;
inline constexpr DISPID kOnDeviceDisconnected = 3;

// Norvellix.ocx of this build tree, as a Windows path (Z: is Wine's root).
std::wstring ocxPath();

// Dispatches the thread's messages (the control's timer among them) until done()
// holds or timeoutMs pass; returns done().
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// The tests' time limit of a pump: a bound for a broken build, not an expected duration.
inline constexpr DWORD kLimitMs = 60000;

// Calls a method without arguments by dispatch id; returns Invoke's result.
HRESULT callMethod(IDispatch* control, DISPID id);

// An event as "OnDeviceConnection a b", "OnDeviceDisconnected a b" or
// "OnCallerID serial line number" (the host's date and time left out).
std::string describeEvent(DISPID id, const std::vector<std::string>& args);

} // namespace norvellix_test
