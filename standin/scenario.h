// Scenario files of the device stand-in: a small line-oriented text that says which
// simulated devices exist, what their lines carry and when, and which faults occur.
// The format is described in standin/README.md.
#pragma once

#include "platform/simulated_bus.h"
#include "standin/callerid_burst.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// Bounds of what a scenario may take; a file beyond one is refused like any bad file.
// The scenario file itself: 1 MiB of text.
inline constexpr std::uintmax_t kMaxScenarioFileBytes = 1u << 20;
// The signals it places (bursts, ringing, replays), held in memory until the bus has
// played them: 30 minutes of line signal in all, about 58 MB of samples.
inline constexpr std::size_t kMaxPlacedSignalSamples = 30 * 60 * kSampleRate;

struct ScenarioLine {
    int zeroLevel = 128;
    double noiseRms = 0.0;
};

struct ScenarioDevice {
    std::string name;                  // the scenario's own name for it
    bool callerId = true;              // false: a foreign HID device (reports all zero)
    bool plugged = true;               // plugged in when the scenario starts
    bool waitsForStartCommand = false; // streams only after a valid start command
    platform::DeviceDescription description;
    std::array<ScenarioLine, 4> lines;
};

// A signal placed on one line of one device: a burst, ringing or a replay.
struct ScenarioSignal {
    std::size_t device = 0; // index into Scenario::devices
    int line = 1;           // 1..4
    std::int64_t startSample = 0;
    Signal samples;
};

struct ScenarioEvent {
    platform::Microseconds at{0};
    std::size_t device = 0;
    platform::DeviceAction action = platform::DeviceAction::Unplug;
};

struct Scenario {
    platform::ClockMode mode = platform::ClockMode::Fast;
    std::vector<ScenarioDevice> devices;
    std::vector<ScenarioSignal> signals;
    std::vector<ScenarioEvent> events;
};

// Parses scenario text. `fileName` names it in messages; `baseDirectory` is where
// relative WAV file names are looked up. On a bad text: false and `error` holds
// "<file>:<line>: <reason>"; `out` is then unspecified.
[[nodiscard]] bool parseScenario(std::string_view text, const std::string& fileName,
                                 const std::string& baseDirectory, Scenario& out,
                                 std::string& error);

// Adds the scenario's devices, signals and faults to `bus` and sets its clock mode.
void installScenario(platform::SimulatedBus& bus, const Scenario& scenario);

// Reads and parses the scenario file at `path` (relative WAV file names are looked up
// beside it). On a bad file: false and `error` holds "<file>:<line>: <reason>" (or
// "<file>: <reason>" when the file cannot be read at all, is not a regular file or is
// larger than kMaxScenarioFileBytes); `out` is then unspecified.
[[nodiscard]] bool readScenarioFile(const std::string& path, Scenario& out, std::string& error);

// Reads the scenario file at `path` and adds its devices, signals and faults to `bus`.
// On a bad file nothing is added and `error` holds the refusal, as readScenarioFile.
bool installScenarioFile(platform::SimulatedBus& bus, const std::string& path, std::string& error);

// The time of the scenario's last event or the end of its last signal: how long it
// takes to play out on the bus's clock.
[[nodiscard]] platform::Microseconds scenarioLength(const Scenario& scenario);

} // namespace standin
