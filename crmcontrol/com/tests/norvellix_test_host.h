// What the Norvellix test hosts share: the library's path as Windows sees it, a
// message loop with a time limit, late-bound calls, and the events a sink heard.
#pragma once

#include "Norvellix.h"
#include "activex/com_ptr.h"
#include "activex/win.h"

#include <functional>
#include <string>
#include <vector>

namespace activex::testing {
struct RecordedCall;
}

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

// The control's events in order, one text each: "OnDeviceConnection a b",
// "OnDeviceDisconnected a b", "OnCallerID serial line number".
std::vector<std::string> eventTexts(const std::vector<activex::testing::RecordedCall>& calls);

} // namespace norvellix_test
