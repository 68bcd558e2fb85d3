// The process-wide platform backend: the one named place that decides, once per
// process, whether the deliverables talk to the platform or to the simulated bus.
#pragma once

#include "platform/api.h"
#include "platform/simulated_bus.h"

#include <memory>
#include <string>

namespace platform {

// Natively: always the simulated bus. On Windows: the platform's own calls, unless the
// environment variable NORVELLIX_SIMULATOR names a scenario file; then the simulated
// bus with that scenario installed (a bad scenario is reported on standard error and
// the debug output, and the bus stays empty). Natively the variable is honoured too.
Api& processApi();

// The bus behind processApi(), or null when the process talks to the platform.
SimulatedBus* processSimulatedBus();

// The environment variable that names the scenario file.
inline constexpr const char* kSimulatorVariable = "NORVELLIX_SIMULATOR";

// A real-time bus with the scenario file at `path` installed. On a bad file the bus
// has no device and `error` holds the loader's message.
std::unique_ptr<SimulatedBus> busFromScenario(const std::string& path, std::string& error);

} // namespace platform
