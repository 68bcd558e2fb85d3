// What the process backend takes from the platform it runs on: the platform's own
// calls, where there are any, and the ways a simulated bus reaches the process.
// Windows: platform/windows/system_api_windows.cpp; elsewhere system_api_native.cpp.
#pragma once

#include "platform/api.h"
#include "platform/simulated_bus.h"

#include <memory>
#include <string>

namespace platform {

// The platform's own calls, or null where this platform has none (natively).
std::unique_ptr<Api> systemApi();

// Hands the bus's device changes to the process's windows, as the platform's own
// broadcast would reach them (nothing natively: there are no windows).
void broadcastDeviceChanges(SimulatedBus& bus);

// A start-up error for whoever watches the process: standard error, and on Windows
// the debugger's output too.
void reportStartupError(const std::string& message);

} // namespace platform
