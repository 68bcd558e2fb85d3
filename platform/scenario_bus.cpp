// Building the process's simulated bus from a scenario file.
#include "platform/process_api.h"
#include "standin/scenario.h"

namespace platform {

std::unique_ptr<SimulatedBus> busFromScenario(const std::string& path, std::string& error) {
    auto bus = std::make_unique<SimulatedBus>(ClockMode::RealTime);
    if (standin::installScenarioFile(*bus, path, error))
        return bus;
    // Whatever a refused file left behind goes with the first bus: no device appears.
    return std::make_unique<SimulatedBus>(ClockMode::RealTime);
}

} // namespace platform
