// Checks a scenario file as the device stand-in reads it, without playing it, so that
// tools/run.sh refuses a bad one before it builds or starts anything: one parser for
// the programs and the command.
//   scenario_check FILE
// A good file: exit 0 and one line "mode=fast|real-time length=<seconds>", the time of
// its last event or the end of its last signal. A refused one: the stand-in's refusal
// "<file>:<line>: <reason>" on stderr and exit 1.
#include "standin/scenario.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: scenario_check FILE\n");
        return 2;
    }
    standin::Scenario scenario;
    std::string error;
    if (!standin::readScenarioFile(argv[1], scenario, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const auto length = standin::scenarioLength(scenario);
    std::printf("mode=%s length=%.3f\n",
                scenario.mode == platform::ClockMode::Fast ? "fast" : "real-time",
                static_cast<double>(length.count()) / 1e6);
    return 0;
}
