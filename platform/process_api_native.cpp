// The process backend of native builds: always the simulated bus, empty unless
// NORVELLIX_SIMULATOR names a scenario file.
#include "platform/process_api.h"

#include <cstdlib>
#include <iostream>

namespace platform {

namespace {

struct ProcessBackend {
    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<SimulatedApi> api;
};

ProcessBackend& processBackend() {
    static ProcessBackend backend = [] {
        ProcessBackend b;
        const char* scenario = std::getenv(kSimulatorVariable);
        if (scenario && *scenario) {
            std::string error;
            b.bus = busFromScenario(scenario, error);
            if (!error.empty())
                std::cerr << error << "\n";
        } else {
            b.bus = std::make_unique<SimulatedBus>(ClockMode::RealTime);
        }
        b.api = std::make_unique<SimulatedApi>(*b.bus);
        return b;
    }();
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
