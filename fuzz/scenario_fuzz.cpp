// The stand-in's scenario files: parsed, installed on a simulated bus, and read as
// the device link reads them. What must hold:
// - a scenario is either installed or refused with "<file>:<line>: <reason>", the
//   line one of the text's own;
// - parsing and installing never hold more than the placed signals' bound allows:
//   the signals twice (the scenario's and the bus's) and a little for the rest;
// - an installed scenario puts its devices on the bus, and the device link finds
//   them, sends the start command, reads reports at the start, at every signal
//   and at every fault, and leaves no handle open and none misused (the audit).
//
// Input: scenario text. WAV files are looked up in the corpus folder, where the
// seeds put a few; a text that could name any other place (a "/", "\" or ":"
// outside its comments) is not run, so that no input reads the machine's files or
// devices.
#include "devicelink/hid_module.h"
#include "devicelink/start_command.h"
#include "fuzz/allocation_count.h"
#include "fuzz/check.h"
#include "platform/simulated_bus.h"
#include "standin/line_signal.h"
#include "standin/scenario.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

constexpr const char* kFileName = "fuzz.scn";
// Each reading visits at most this many times of the scenario, earliest first.
constexpr std::size_t kVisitedTimes = 8;
constexpr int kReportsPerVisit = 2;
// The most that parsing and installing may hold: the bound of the placed signals
// twice, and room for the statements of a short text and the WAV files it reads.
constexpr std::size_t kMostHeld =
    2 * standin::kMaxPlacedSignalSamples * sizeof(standin::Signal::value_type) + (16u << 20);

void expectHeld(const fuzz::AllocationPeak& peak) {
    const std::size_t held = peak.bytes();
    fuzz::expect(held <= kMostHeld, [&] {
        return "expected at most " + std::to_string(kMostHeld) + " bytes held, got " +
               std::to_string(held);
    });
}

// Whether a "/", "\" or ":" stands where the parser reads: outside comments,
// which a "#" outside double quotes begins and the line's end ends.
bool couldNameAPlace(std::string_view text) {
    bool quoted = false, comment = false;
    for (const char c : text) {
        if (c == '\n')
            quoted = comment = false;
        else if (comment)
            continue;
        else if (c == '"')
            quoted = !quoted;
        else if (c == '#' && !quoted)
            comment = true;
        else if (c == '/' || c == '\\' || c == ':')
            return true;
    }
    return false;
}

int lineCount(std::string_view text) {
    const auto breaks = std::count(text.begin(), text.end(), '\n');
    return static_cast<int>(breaks) + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

// "<file>:<line>: <reason>" with a line of the text and a reason on one line.
void expectRefusal(const std::string& error, std::string_view text) {
    const std::string head = std::string(kFileName) + ":";
    std::size_t at = head.size();
    std::size_t digits = 0;
    while (at + digits < error.size() &&
           std::isdigit(static_cast<unsigned char>(error[at + digits])))
        ++digits;
    const bool shaped = error.compare(0, head.size(), head) == 0 && digits > 0 && digits < 9 &&
                        error.compare(at + digits, 2, ": ") == 0 &&
                        error.size() > at + digits + 2 && error.find('\n') == std::string::npos;
    const int line = shaped ? std::stoi(error.substr(at, digits)) : 0;
    fuzz::expect(shaped && line >= 1 && line <= lineCount(text), [&] {
        return "expected \"" + head + "<line 1.." + std::to_string(lineCount(text)) +
               ">: <reason>\", got \"" + error + "\"";
    });
}

void readReports(devicelink::HIDmodule& link) {
    for (int i = 0; i < kReportsPerVisit; ++i) {
        if (link.DeviceDetected_1)
            link.ReadInputReport1();
        if (link.DeviceDetected_2)
            link.ReadInputReport2();
    }
}

// The bus times worth a look: every fault and the start of every signal.
std::vector<platform::Microseconds> visitedTimes(const standin::Scenario& scenario) {
    std::set<platform::Microseconds> times;
    for (const auto& e : scenario.events)
        times.insert(e.at);
    for (const auto& s : scenario.signals)
        times.insert(platform::Microseconds(s.startSample * 1000000 / standin::kSampleRate));
    std::vector<platform::Microseconds> earliest(times.begin(), times.end());
    if (earliest.size() > kVisitedTimes)
        earliest.resize(kVisitedTimes);
    return earliest;
}

void runInstalled(const standin::Scenario& scenario, const fuzz::AllocationPeak& peak) {
    platform::SimulatedBus bus;
    standin::installScenario(bus, scenario);
    expectHeld(peak);
    fuzz::expect(bus.audit().devices.size() == scenario.devices.size(), [&] {
        return "expected " + std::to_string(scenario.devices.size()) + " devices on the bus, got " +
               std::to_string(bus.audit().devices.size());
    });
    // The same reports on the virtual clock, without the waiting.
    bus.setMode(platform::ClockMode::Fast);
    platform::SimulatedApi api(bus);
    {
        devicelink::HIDmodule link(api, devicelink::Variant::CrmControl);
        link.FindDevice1();
        devicelink::BuildStartCommand(link.OutputReportData, [] { return 0.5; });
        if (link.DeviceDetected_1)
            link.WriteOutputReport1();
        if (link.DeviceDetected_2)
            link.WriteOutputReport2();
        readReports(link);
        for (const auto at : visitedTimes(scenario)) {
            if (at > bus.now())
                bus.advance(at - bus.now());
            if (!link.DeviceDetected_1) {
                // As the supervision does: the old handles closed before a new walk.
                link.CloseAllHandles();
                link.FindDevice1();
            }
            readReports(link);
        }
        link.CloseAllHandles();
    }
    const platform::Audit audit = bus.audit();
    fuzz::expect(audit.clean(), [&] { return "expected a clean audit, got " + audit.describe(); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (couldNameAPlace(text))
        return -1;
    const fuzz::AllocationPeak peak;
    standin::Scenario scenario;
    std::string error;
    if (!standin::parseScenario(text, kFileName, NORVELLIX_FUZZ_SCENARIO_FILES, scenario, error)) {
        expectRefusal(error, text);
        expectHeld(peak);
        return 0;
    }
    runInstalled(scenario, peak);
    return 0;
}
