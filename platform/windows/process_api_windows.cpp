// The process backend of Windows builds: the platform's own calls, or the simulated
// bus when NORVELLIX_SIMULATOR names a scenario file.
#include "platform/process_api.h"
#include "platform/windows/device_change_windows.h"
#include "platform/windows/real_api.h"

#include <cstdlib>
#include <iostream>
#include <windows.h>

namespace platform {

namespace {

struct ProcessBackend {
    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<Api> api;
};

ProcessBackend makeBackend() {
    ProcessBackend b;
    const char* scenario = std::getenv(kSimulatorVariable);
    if (!scenario || !*scenario) {
        b.api = std::make_unique<RealApi>();
        return b;
    }
    std::string error;
    b.bus = busFromScenario(scenario, error);
    if (!error.empty()) {
        std::cerr << error << "\n";
        ::OutputDebugStringA((error + "\n").c_str());
    }
    b.bus->addDeviceChangeListener(postDeviceChangeToProcessWindows);
    b.api = std::make_unique<SimulatedApi>(*b.bus);
    return b;
}

// Never destroyed: at process exit (or when a control library is unloaded) other
// threads may be gone mid-call, and a bus in real time would have to join its timer
// thread under the loader's lock.
ProcessBackend& processBackend() {
    static ProcessBackend& backend = *std::make_unique<ProcessBackend>(makeBackend()).release();
    return backend;
}

} // namespace

Api& processApi() {
    return *processBackend().api;
}

SimulatedBus* processSimulatedBus() {
    return processBackend().bus.get();
}

} // namespace platform
