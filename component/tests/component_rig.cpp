#include "component/tests/component_rig.h"

#include "hidcontroller/bindings.h"
#include "standin/callerid_burst.h"
#include "standin/callerid_device.h"

namespace component::testing {

void RecordingHost::OnCallerID(const CallerIdRecord& call) {
    events.push_back({"OnCallerID", call.DevSerialNo, call});
    if (onCall)
        onCall(call);
}
void RecordingHost::OnDeviceConnection(const std::string& DevSerialNo) {
    events.push_back({"OnDeviceConnection", DevSerialNo, {}});
    if (onConnection)
        onConnection();
}
void RecordingHost::OnDeviceDisconnected(const std::string& DevSerialNo) {
    events.push_back({"OnDeviceDisconnected", DevSerialNo, {}});
}

int RecordingHost::count(const std::string& name) const {
    return static_cast<int>(of(name).size());
}

std::vector<Event> RecordingHost::of(const std::string& name) const {
    std::vector<Event> out;
    for (const Event& e : events)
        if (e.name == name)
            out.push_back(e);
    return out;
}

void ComponentRig::TearDown() {
    component.reset();
    pump.runPending();
    const platform::Audit a = bus.audit();
    EXPECT_TRUE(a.clean()) << a.describe();
    EXPECT_EQ(a.loadedModuleReferences, 0) << "a library is still bound";
    EXPECT_FALSE(hidcontroller::processBindings().hid.IsHidBound());
}

platform::DeviceId ComponentRig::addDevice(std::optional<std::u16string> serial,
                                           const std::vector<PlacedCall>& calls,
                                           platform::DeviceDescription d) {
    std::array<standin::LineSignal, standin::kLinesPerDevice> lines;
    for (const PlacedCall& c : calls) {
        standin::CallInfo info{"12250930", c.number, ""};
        lines[c.line - 1].place(c.firstSample, standin::synthesizeBurst(c.format, info));
    }
    d.serialString = std::move(serial);
    return bus.addDevice(std::move(d), std::make_unique<standin::CallerIdDeviceSource>(lines));
}

void ComponentRig::create() {
    component = std::make_unique<TNorvellix_Component>(api, pump, host, host);
    settle();
}

bool ComponentRig::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return pump.runUntil(done, limit);
}

void ComponentRig::settle() {
    for (int i = 0; i < 20 && pump.runPending() > 0; ++i) {
    }
}

void ComponentRig::act(platform::DeviceId d, platform::DeviceAction a) {
    bus.apply(d, a);
    settle();
}

std::vector<platform::OutputReport> ComponentRig::startCommands(platform::DeviceId d) const {
    std::vector<platform::OutputReport> out;
    for (platform::OutputReport& r : bus.outputReports(d))
        if (standin::isStartCommand(r.bytes))
            out.push_back(std::move(r));
    return out;
}

} // namespace component::testing
