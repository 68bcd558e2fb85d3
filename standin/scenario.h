// Scenario files of the device stand-in: a small line-oriented text that says which
// simulated devices exist, what their lines carry and when, and which faults occur.
#pragma once

#include <string>

#include "platform/simulated_bus.h"

namespace standin {

// Reads the scenario file at `path` and adds its devices, signals and faults to `bus`.
// On a bad file nothing is added and `error` holds "<file>:<line>: <reason>".
bool installScenarioFile(platform::SimulatedBus& bus, const std::string& path,
                         std::string& error);

} // namespace standin
