// Scenarios written in the stand-in's own format, installed on a bus by the tests of
// the units that read the devices.
#pragma once

#include "standin/scenario.h"

#include <functional>
#include <string>

namespace standin::testing {

// Installs `text` on `bus`; `adjust` may change what the format cannot say (report
// lengths, say). Returns the parser's refusal, or "" once installed.
inline std::string installScenarioText(platform::SimulatedBus& bus, const std::string& text,
                                       const std::function<void(Scenario&)>& adjust = nullptr) {
    Scenario s;
    std::string error;
    if (!parseScenario(text, "test.scn", ".", s, error))
        return error;
    if (adjust)
        adjust(s);
    installScenario(bus, s);
    return {};
}

} // namespace standin::testing
