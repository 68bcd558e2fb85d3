// The platform hooks of Windows builds: the real backend, the device-change
// broadcast to the process's windows, and the debugger's output.
#include "platform/system_api.h"
#include "platform/windows/device_change_windows.h"
#include "platform/windows/real_api.h"

#include <iostream>
#include <windows.h>

namespace platform {

std::unique_ptr<Api> systemApi() {
    return std::make_unique<RealApi>();
}

void broadcastDeviceChanges(SimulatedBus& bus) {
    bus.addDeviceChangeListener(postDeviceChangeToProcessWindows);
}

void reportStartupError(const std::string& message) {
    std::cerr << message << "\n";
    ::OutputDebugStringA((message + "\n").c_str());
}

} // namespace platform
