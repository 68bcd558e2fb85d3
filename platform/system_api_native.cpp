// The platform hooks of native builds: no platform calls and no windows.
#include "platform/system_api.h"

#include <iostream>

namespace platform {

std::unique_ptr<Api> systemApi() {
    return nullptr;
}

void broadcastDeviceChanges(SimulatedBus&) {}

void reportStartupError(const std::string& message) {
    std::cerr << message << "\n";
}

} // namespace platform
