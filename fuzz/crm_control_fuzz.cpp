// The device link and the CRM control's core over the simulated platform: up to
// three devices of any ids and report lengths, held, silent, waiting for the
// start command or plugged in later, each perhaps carrying a call; faults,
// G_Reset, G_Stop and G_Start at any tick. What must hold:
// - every event is well formed: a call on line "1".."4" of a device on the bus,
//   with 3 to 13 digits and the host's date and time; a connection with device 1's
//   serial and device 2's or "0"; a disconnection with "0", "0";
// - after the host lets the control go, the bus's audit is clean: no handle left
//   open, none used or closed after it was closed, no preparsed data or device-
//   information set left.
//
// Input: the device count (1..3); per device a byte of kind and flags, the ids or
// report lengths that the kind asks for, four bytes of instance id, four line
// levels and perhaps a call (its line, format, tick and digits); then the script,
// two bytes a step: the tick (0..kTicks - 1) and what happens then.
#include "crmcontrol/tests/control_rig.h"
#include "devicelink/path_serial.h"
#include "fuzz/check.h"
#include "fuzz/decoder_checks.h"
#include "fuzz/fuzz_input.h"
#include "standin/callerid_burst.h"
#include "standin/callerid_device.h"

#include <cstdio>
#include <map>
#include <set>

namespace {

using crmcontrol::testing::ControlRig;
using crmcontrol::testing::EventRecord;
using crmcontrol::testing::ScriptedLines;

constexpr int kTicks = 400;
constexpr int kMaxDevices = 3;
// A report carries 16 samples a line; a tick reads about one report.
constexpr long kSamplesPerTick = 16;

// The kind byte of a device.
enum : std::uint8_t {
    kIdentity = 3,           // 0, 1: the caller-ID ids; 2: another product; 3: another vendor
    kHeld = 1 << 2,          // held exclusively elsewhere
    kSilent = 1 << 3,        // reads time out
    kWaitsForStart = 1 << 4, // streams only after the start command
    kUnplugged = 1 << 5,     // plugged in later, by the script
    kInputLength = 1 << 6,   // an input report length of its own follows
    kOutputLength = 1 << 7,  // an output report length of its own follows
};

// The call byte: bit 0 a call, bits 1-2 its line position - 1, bit 3 a
// single-data message.
void addCall(fuzz::FuzzInput& input, ScriptedLines& lines) {
    const std::uint8_t call = input.byte();
    if (!(call & 1))
        return;
    const int position = ((call >> 1) & 3) + 1;
    const auto format =
        (call & 8) ? standin::MessageFormat::SingleData : standin::MessageFormat::MultipleData;
    const long tick = input.inRange(0, kTicks - 1);
    standin::CallInfo info;
    const int digits = input.inRange(3, 13);
    for (int i = 0; i < digits; ++i)
        info.number += static_cast<char>('0' + input.byte() % 10);
    standin::BurstLayout layout;
    layout.seizureBits = 30;
    layout.markBits = 60;
    lines.play(position, tick * kSamplesPerTick,
               standin::synthesizeBurst(format, info, layout, standin::FskSettings{}));
}

platform::DeviceDescription readDevice(fuzz::FuzzInput& input, std::set<std::string>& instances,
                                       bool& plugged, bool& waitsForStart) {
    platform::DeviceDescription d;
    const std::uint8_t kind = input.byte();
    switch (kind & kIdentity) {
    case 2:
        d.productId = input.u16();
        break;
    case 3:
        d.vendorId = input.u16();
        d.productId = input.u16();
        break;
    default:
        break;
    }
    if (kind & kInputLength)
        d.inputReportLength = input.byte();
    if (kind & kOutputLength)
        d.outputReportLength = input.byte();
    d.heldExclusively = kind & kHeld;
    d.silent = kind & kSilent;
    waitsForStart = kind & kWaitsForStart;
    plugged = !(kind & kUnplugged);
    // Instance ids are unique on the platform; a repeated one is moved on.
    std::uint32_t id = input.byte();
    for (int i = 0; i < 3; ++i)
        id = (id << 8) | input.byte();
    char text[9];
    do
        std::snprintf(text, sizeof text, "%08x", id++);
    while (!instances.insert(text).second);
    d.instanceId = text;
    return d;
}

struct Step {
    enum class What { Device, Reset, Stop, Start } what = What::Reset;
    platform::DeviceId device = 0;
    platform::DeviceAction action = platform::DeviceAction::Unplug;
};

Step readStep(std::uint8_t b, std::size_t devices) {
    constexpr int kDeviceActions = 6;
    const int what = b % (kDeviceActions + 3);
    if (what >= kDeviceActions)
        return {static_cast<Step::What>(what - kDeviceActions + 1)};
    return {Step::What::Device, (b / (kDeviceActions + 3)) % devices,
            static_cast<platform::DeviceAction>(what)};
}

void expectEvent(const EventRecord& e, const std::set<std::string>& serials,
                 const ControlRig& rig) {
    auto known = [&](const std::string& s) { return serials.count(s) != 0; };
    auto shown = [&] {
        std::string text = e.event;
        for (const auto& a : e.args)
            text += " \"" + a + "\"";
        return text;
    };
    if (e.event == "OnCallerID") {
        const bool line = e.args[1].size() == 1 && e.args[1][0] >= '1' && e.args[1][0] <= '4';
        fuzz::expect(
            known(e.args[0]) && line && e.args[2] == rig.host.date && e.args[3] == rig.host.time,
            [&] { return "expected a call on line 1..4 of a device on the bus, got " + shown(); });
        fuzz::expectDigits(e.args[4], 3, 13);
    } else if (e.event == "OnDeviceConnection") {
        fuzz::expect(known(e.args[0]) && (known(e.args[1]) || e.args[1] == "0"), [&] {
            return "expected a connection with the devices' serials, got " + shown();
        });
    } else {
        fuzz::expect(e.args[0] == "0" && e.args[1] == "0",
                     [&] { return "expected a disconnection with \"0\", \"0\", got " + shown(); });
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    ControlRig rig;
    const int count = input.inRange(1, kMaxDevices);
    std::set<std::string> instances, serials;
    std::vector<platform::DeviceId> ids;
    for (int i = 0; i < count; ++i) {
        bool plugged = true;
        bool waitsForStart = false;
        const platform::DeviceDescription d = readDevice(input, instances, plugged, waitsForStart);
        auto lines = std::make_unique<ScriptedLines>();
        for (int& level : lines->level)
            level = input.byte();
        addCall(input, *lines);
        std::unique_ptr<platform::ReportSource> source = std::move(lines);
        if (waitsForStart)
            source = std::make_unique<standin::WaitsForStartCommand>(std::move(source));
        ids.push_back(rig.bus.addDevice(d, std::move(source), plugged));
        serials.insert(devicelink::PathSerial(rig.bus.interfacePath(ids.back())));
    }
    std::multimap<int, Step> script;
    while (input.remaining() >= 2) {
        const int tick = input.byte() * kTicks / 256;
        script.emplace(tick, readStep(input.byte(), ids.size()));
    }

    rig.control->G_Start();
    for (int tick = 0; tick < kTicks; ++tick) {
        const auto [first, last] = script.equal_range(tick);
        for (auto it = first; it != last; ++it) {
            const Step& s = it->second;
            switch (s.what) {
            case Step::What::Device:
                rig.bus.apply(ids[s.device], s.action);
                break;
            case Step::What::Reset:
                rig.control->G_Reset();
                break;
            case Step::What::Stop:
                rig.control->G_Stop();
                break;
            case Step::What::Start:
                rig.control->G_Start();
                break;
            }
        }
        rig.runTicks(1);
    }
    rig.control->UserControl_Terminate();

    for (const EventRecord& e : rig.events.records)
        expectEvent(e, serials, rig);
    const platform::Audit audit = rig.bus.audit();
    fuzz::expect(audit.clean(), [&] { return "expected a clean audit, got " + audit.describe(); });
    return 0;
}
