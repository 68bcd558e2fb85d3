// Placeholder until the scenario loader lands: every scenario file is refused.
#include "standin/scenario.h"

namespace standin {

bool installScenarioFile(platform::SimulatedBus&, const std::string& path, std::string& error) {
    error = path + ":0: scenario files are not supported yet";
    return false;
}

} // namespace standin
