#include "crmcontrol/tests/control_rig.h"

#include "signalpath/descramble.h"

#include <algorithm>

namespace crmcontrol::testing {

void RecordingEvents::OnCallerID(std::string& DeviceSerialNumber, std::string& LineNumber,
                                 std::string& CallDate, std::string& CallTime,
                                 std::string& PhoneNumber) {
    records.push_back({"OnCallerID",
                       {DeviceSerialNumber, LineNumber, CallDate, CallTime, PhoneNumber},
                       currentTick});
    if (onCallerID)
        onCallerID();
}

void RecordingEvents::OnDeviceConnection(std::string& DeviceSerialNumber_1,
                                         std::string& DeviceSerialNumber_2) {
    records.push_back(
        {"OnDeviceConnection", {DeviceSerialNumber_1, DeviceSerialNumber_2}, currentTick});
    if (onConnection)
        onConnection(DeviceSerialNumber_1, DeviceSerialNumber_2);
}

void RecordingEvents::OnDeviceDisconnected(std::string& DeviceSerialNumber_1,
                                           std::string& DeviceSerialNumber_2) {
    records.push_back(
        {"OnDeviceDisconnected", {DeviceSerialNumber_1, DeviceSerialNumber_2}, currentTick});
}

int RecordingEvents::count(const std::string& event) const {
    return static_cast<int>(std::count_if(records.begin(), records.end(),
                                          [&](const EventRecord& r) { return r.event == event; }));
}

std::vector<EventRecord> RecordingEvents::of(const std::string& event) const {
    std::vector<EventRecord> out;
    for (const auto& r : records)
        if (r.event == event)
            out.push_back(r);
    return out;
}

std::vector<std::vector<std::string>> RecordingEvents::sequence() const {
    std::vector<std::vector<std::string>> out;
    for (const auto& r : records) {
        out.push_back({r.event});
        out.back().insert(out.back().end(), r.args.begin(), r.args.end());
    }
    return out;
}

double FakeHost::Rnd() {
    if (nextFixed < fixed.size())
        return fixed[nextFixed++];
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

void ScriptedLines::fillInputReport(platform::Microseconds firstSample,
                                    std::span<std::uint8_t> report) {
    const long n0 = sampleAt(firstSample);
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    for (int p = 1; p <= 4; ++p) {
        const auto& pats = patterns_[p - 1];
        const auto pat = std::find_if(pats.rbegin(), pats.rend(), [&](const Pattern& x) {
            return n0 >= x.first && n0 + 15 <= x.last;
        });
        for (int g = 0; g < 16; ++g) {
            const long n = n0 + g;
            int v = level[p - 1];
            if (pat != pats.rend()) {
                v = pat->values[g];
            } else {
                for (const auto& s : segments_[p - 1])
                    if (n >= s.first && n < s.first + static_cast<long>(s.samples.size()))
                        v += s.samples[n - s.first];
            }
            v = std::clamp(v, 0, 255);
            const std::size_t at = 4 * g + p;
            if (at < report.size())
                report[at] = signalpath::scramble(p, static_cast<signalpath::SampleValue>(v));
        }
    }
}

void ScriptedLines::play(int position, long firstSample, std::vector<int> samples) {
    segments_[position - 1].push_back({firstSample, std::move(samples)});
}

void ScriptedLines::pattern(int position, long firstSample, long lastSample,
                            std::array<int, 16> values) {
    patterns_[position - 1].push_back({firstSample, lastSample, values});
}

ControlRig::ControlRig() : control(std::make_unique<CrmControl>(link, events, host)) {}

ControlRig::~ControlRig() = default;

ControlRig::Device ControlRig::addDevice(const std::string& instance, bool plugged) {
    auto source = std::make_unique<ScriptedLines>();
    Device d;
    d.lines = source.get();
    d.serial = instance;
    platform::DeviceDescription description;
    description.instanceId = instance;
    d.id = bus.addDevice(description, std::move(source), plugged);
    return d;
}

int ControlRig::runTicks(int n) {
    int ran = 0;
    for (int i = 0; i < n; ++i) {
        if (control->timerEnabled()) {
            events.currentTick = ++ticks;
            const auto start = bus.now();
            control->Timer1_Timer();
            longestTick = std::max(longestTick, bus.now() - start);
            ++ran;
        }
        bus.advance(timerPeriod);
    }
    return ran;
}

bool ControlRig::tickUntil(const std::function<bool()>& done, int limit) {
    for (int i = 0; i < limit; ++i) {
        runTicks(1);
        if (done())
            return true;
    }
    return false;
}

bool startAndConnect(ControlRig& rig, int limit) {
    rig.control->G_Start();
    const int before = rig.events.count("OnDeviceConnection");
    return rig.tickUntil([&] { return rig.events.count("OnDeviceConnection") > before; }, limit);
}

void RigTest::TearDown() {
    rig.control->UserControl_Terminate();
    const auto audit = rig.bus.audit();
    EXPECT_TRUE(audit.misuse.empty()) << audit.describe();
    EXPECT_EQ(audit.openDeviceHandles(), 0) << audit.describe();
}

} // namespace crmcontrol::testing
