// The process-wide platform backend: the one named place that decides, once per
// process, whether the deliverables talk to the platform or to the simulated bus
// with a scenario of the device stand-in. It sits above both, so that neither the
// platform layer nor the stand-in knows the other.
#pragma once

#include "platform/api.h"
#include "platform/simulated_bus.h"

#include <memory>
#include <string>

namespace backend {

// The platform's own calls where there are any (Windows), unless the environment
// variable NORVELLIX_SIMULATOR names a scenario file; then the simulated bus with that
// scenario installed (a bad scenario is reported as the platform reports a start-up
// error, and the bus stays empty). Without platform calls (natively) an empty
// simulated bus stands in when the variable names nothing.
platform::Api& processApi();

// The bus behind processApi(), or null when the process talks to the platform.
platform::SimulatedBus* processSimulatedBus();

// The environment variable that names the scenario file.
inline constexpr const char* kSimulatorVariable = "NORVELLIX_SIMULATOR";

// A real-time bus with the scenario file at `path` installed. On a bad file the bus
// has no device and `error` holds the loader's message.
std::unique_ptr<platform::SimulatedBus> busFromScenario(const std::string& path,
                                                        std::string& error);

} // namespace backend
