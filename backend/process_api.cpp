// The process backend: the platform's own calls or the simulated bus, chosen once.
#include "backend/process_api.h"

#include "platform/system_api.h"
#include "standin/scenario.h"

#include <cstdlib>

namespace backend {

namespace {

struct ProcessBackend {
    std::unique_ptr<platform::SimulatedBus> bus;
    std::unique_ptr<platform::Api> api;
};

ProcessBackend makeBackend() {
    ProcessBackend b;
    const char* scenario = std::getenv(kSimulatorVariable);
    const bool simulated = scenario && *scenario;
    if (!simulated)
        b.api = platform::systemApi();
    if (b.api)
        return b;
    if (simulated) {
        std::string error;
        b.bus = busFromScenario(scenario, error);
        if (!error.empty())
            platform::reportStartupError(error);
    } else {
        b.bus = std::make_unique<platform::SimulatedBus>(platform::ClockMode::RealTime);
    }
    platform::broadcastDeviceChanges(*b.bus);
    b.api = std::make_unique<platform::SimulatedApi>(*b.bus);
    return b;
}

// Never destroyed: at process exit (or when a control library is unloaded) other
// threads may be gone mid-call, and a bus in real time would have to join its timer
// thread (on Windows under the loader's lock).
ProcessBackend& processBackend() {
    static ProcessBackend& backend = *std::make_unique<ProcessBackend>(makeBackend()).release();
    return backend;
}

} // namespace

platform::Api& processApi() {
    return *processBackend().api;
}

platform::SimulatedBus* processSimulatedBus() {
    return processBackend().bus.get();
}

std::unique_ptr<platform::SimulatedBus> busFromScenario(const std::string& path,
                                                        std::string& error) {
    auto bus = std::make_unique<platform::SimulatedBus>(platform::ClockMode::RealTime);
    if (standin::installScenarioFile(*bus, path, error))
        return bus;
    // Whatever a refused file left behind goes with the first bus: no device appears.
    return std::make_unique<platform::SimulatedBus>(platform::ClockMode::RealTime);
}

} // namespace backend
