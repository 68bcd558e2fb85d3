// Pairing through the controller: no device, one, two and three, the names and
// serials, the start command before calibration, and re-pairing on plug and unplug,
// also of a device pulled out and plugged back in while a pairing holds the thread.
#include "component/tests/component_rig.h"
#include "standin/callerid_device.h"
#include "standin/tests/scenario_text.h"

namespace component::testing {
namespace {

using platform::DeviceAction;

using Pairing = ComponentRig;

TEST(DeviceNames, FollowTheProductIdsAndSerial) {
    EXPECT_EQ(BuildDeviceName(u"Norvellix Device V0.0", 0x04D8, 0xC5A7, u"AB12CD34EF"),
              u"Norvellix Device V0.0*04D8C5A7/AB12CD34EF");
    EXPECT_EQ(BuildDeviceName(u"", 0x4d8, 0xc5a7, u""), u"Device VID=04D8 PID=C5A7");
    const struct {
        std::u16string serial;
        std::u16string text;
    } serials[] = {
        {u"AB12CD34EF", u"AB12CD34"}, {u"12345678", u"12345678"}, {u"42", u"42"}, {u"", u""}};
    for (const auto& s : serials)
        EXPECT_EQ(
            HidSerialText(BuildDeviceName(u"Norvellix Device V0.0", 0x04D8, 0xC5A7, s.serial)),
            s.text);
}

TEST(StartCommand, IsTheDevicesCommandWithFillerBelow255) {
    for (std::uint32_t seed : {1u, 2u, 77u, 123456u}) {
        const auto report = ComponentStartCommand(seed);
        EXPECT_TRUE(standin::isStartCommand(report));
        for (int i = 12; i <= 56; ++i)
            EXPECT_LT(report[i], 255) << "seed " << seed << " byte " << i;
        EXPECT_EQ(report, ComponentStartCommand(seed)) << "re-seeded for every command";
    }
    EXPECT_NE(ComponentStartCommand(1), ComponentStartCommand(2));
}

TEST_F(Pairing, NoDeviceRaisesDisconnectedWithAnEmptySerial) {
    create();
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].name, "OnDeviceDisconnected");
    EXPECT_EQ(host.events[0].serial, "");

    // An unrelated HID device arriving is a device change like any other.
    platform::DeviceDescription other;
    other.productId = 0x1234;
    act(bus.addDevice(other, nullptr, false), DeviceAction::Plug);
    EXPECT_EQ(host.count("OnDeviceDisconnected"), 2);
    EXPECT_TRUE(component->CihazListesi().empty());
}

TEST_F(Pairing, OneDeviceIsListedSerialisedStartedAndCalibrated) {
    const auto d = addDevice(u"AB12CD34EF");
    create();
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].name, "OnDeviceConnection");
    EXPECT_EQ(host.events[0].serial, "AB12CD34");
    ASSERT_EQ(component->CihazListesi().size(), 1u);
    EXPECT_EQ(component->CihazListesi()[0].text, u"Norvellix Device V0.0*04D8C5A7/AB12CD34");
    EXPECT_EQ(component->OtherInfo(), "This device is \"1\" one.");
    EXPECT_EQ(component->Device1(), component->CihazListesi()[0].device.get());
    EXPECT_EQ(component->Device1()->ReadInputBufferCount(), 128);

    const auto commands = startCommands(d);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(component->lines(1).served(), component->Device1());
    // The handler is installed after the pause: the first report it takes was sent
    // at least 500 ms after the command.
    ASSERT_TRUE(pumpUntil([&] { return component->lines(1).ReportSkipCount > 0; }));
    EXPECT_GE(bus.now() - commands[0].at, std::chrono::milliseconds(500));
    EXPECT_EQ(component->lines(1).ZeroLevel, (std::array<int, 4>{128, 128, 128, 128}));
}

TEST_F(Pairing, TwoDevicesRaiseOneConnectionBetweenTheirStarts) {
    const auto d1 = addDevice(u"11111111");
    const auto d2 = addDevice(u"22222222");
    std::size_t commandsAtEvent1 = 0, commandsAtEvent2 = 0;
    host.onConnection = [&] {
        commandsAtEvent1 = bus.outputReports(d1).size();
        commandsAtEvent2 = bus.outputReports(d2).size();
    };
    create();
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].serial, "11111111  |  22222222");
    EXPECT_EQ(commandsAtEvent1, 1u) << "device 1 is started before the event";
    EXPECT_EQ(commandsAtEvent2, 0u) << "device 2 after it";
    EXPECT_EQ(startCommands(d2).size(), 1u);
    EXPECT_EQ(component->OtherInfo(), "This device is \"2\" one.");
    EXPECT_EQ(component->SerialNo2(), "22222222");
    EXPECT_EQ(component->lines(2).served(), component->Device2());
}

TEST_F(Pairing, ThreeDevicesAreAllCheckedOutButTwoPaired) {
    const auto d3 = addDevice(u"33333333");
    addDevice(u"44444444");
    addDevice(u"55555555");
    create();
    EXPECT_EQ(component->CihazListesi().size(), 3u);
    EXPECT_TRUE(component->CihazListesi()[2].device->CheckedOut());
    EXPECT_EQ(host.events.back().serial, "33333333  |  44444444");
    EXPECT_EQ(startCommands(d3).size(), 1u);
    EXPECT_EQ(component->CihazListesi()[2].device->ReadThread(), nullptr);
}

TEST_F(Pairing, OnlyTheExactProductStringAndIdsAreAccepted) {
    platform::DeviceDescription longer;
    longer.productString = u"Norvellix Device V0.01";
    addDevice(u"1", {}, longer);
    platform::DeviceDescription otherProduct;
    otherProduct.productId = 0xC5A8;
    addDevice(u"2", {}, otherProduct);
    addDevice(std::nullopt); // no serial string: accepted with an empty serial
    create();
    ASSERT_EQ(component->CihazListesi().size(), 1u);
    EXPECT_EQ(host.events.back().name, "OnDeviceConnection");
    EXPECT_EQ(host.events.back().serial, "");
}

// A device that another program holds cannot be read: it is not paired and no event
// names it; a readable device next to it pairs alone and its call arrives. Let go
// later, it is paired at the next device-change notification.
TEST_F(Pairing, ADeviceThatCannotBeReadIsNotPaired) {
    platform::DeviceDescription held;
    held.heldExclusively = true;
    const auto busy = addDevice(u"11111111", {}, held);
    addDevice(u"22222222", {{2, 12000, standin::MessageFormat::MultipleData, "05321234567"}});
    create();
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].name, "OnDeviceConnection");
    EXPECT_EQ(host.events[0].serial, "22222222");
    ASSERT_EQ(component->CihazListesi().size(), 1u);
    EXPECT_EQ(component->Device2(), nullptr);
    EXPECT_TRUE(startCommands(busy).empty());
    ASSERT_TRUE(pumpUntil([&] { return host.count("OnCallerID") == 1; }));
    EXPECT_EQ(host.of("OnCallerID")[0].call.DevSerialNo, "22222222");
    EXPECT_EQ(host.of("OnCallerID")[0].call.LineNo, "2");

    act(busy, DeviceAction::ReleaseExclusive);
    EXPECT_EQ(host.count("OnDeviceConnection"), 1) << "letting go is no device change";
    platform::DeviceDescription other;
    other.productId = 0x1234;
    act(bus.addDevice(other, nullptr, false), DeviceAction::Plug);
    EXPECT_EQ(host.events.back().name, "OnDeviceConnection");
    EXPECT_EQ(host.events.back().serial, "11111111  |  22222222");
}

TEST_F(Pairing, OnlyADeviceThatCannotBeReadIsNoDevice) {
    platform::DeviceDescription held;
    held.heldExclusively = true;
    addDevice(u"11111111", {}, held);
    create();
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].name, "OnDeviceDisconnected");
    EXPECT_EQ(host.events[0].serial, "");
    EXPECT_EQ(component->Device1(), nullptr);
}

TEST_F(Pairing, PlugAndUnplugRePairFromScratch) {
    const auto d1 = addDevice(u"11111111");
    const auto d2 = addDevice(u"22222222", {}, {});
    create();
    ASSERT_EQ(host.events.back().serial, "11111111  |  22222222");

    act(d2, DeviceAction::Unplug);
    EXPECT_EQ(host.events.back().name, "OnDeviceConnection");
    EXPECT_EQ(host.events.back().serial, "11111111");
    EXPECT_EQ(component->Device2(), nullptr);
    EXPECT_EQ(startCommands(d1).size(), 2u) << "re-paired and started again";

    act(d1, DeviceAction::Unplug);
    EXPECT_EQ(host.events.back().name, "OnDeviceDisconnected");
    EXPECT_EQ(host.events.back().serial, "11111111");
    EXPECT_EQ(component->SerialNo1(), "11111111");
    EXPECT_EQ(host.count("OnDeviceDisconnected"), 1) << "unplugging one of two raises none";

    act(d2, DeviceAction::Plug);
    EXPECT_EQ(host.events.back().serial, "22222222");
    EXPECT_EQ(component->SerialNo1(), "22222222");
    ASSERT_TRUE(pumpUntil([&] { return component->lines(1).ReportSkipCount > 0; }));
}

// The system's notification reaches HidCtl before HidCtl_2 (the newest window first,
// as on Windows): the count must not be that of HidCtl_2's list before the change.
TEST_F(Pairing, OtherInfoCountsTheDevicesPresentAtThePairing) {
    addDevice(u"11111111");
    const auto d2 = addDevice(u"22222222");
    create();
    EXPECT_EQ(component->OtherInfo(), "This device is \"2\" one.");
    act(d2, DeviceAction::Unplug);
    EXPECT_EQ(component->OtherInfo(), "This device is \"1\" one.");
    act(d2, DeviceAction::Plug);
    EXPECT_EQ(host.events.back().serial, "11111111  |  22222222");
    EXPECT_EQ(component->OtherInfo(), "This device is \"2\" one.") << "re-plugged beside the first";

    const auto d3 = addDevice(u"33333333"); // plugged in as it is added
    addDevice(u"44444444");
    settle();
    EXPECT_EQ(component->OtherInfo(), "This device is \"4\" one.");
    act(d3, DeviceAction::Unplug);
    EXPECT_EQ(component->OtherInfo(), "This device is \"3\" one.") << "three left of four";
    EXPECT_EQ(host.events.back().serial, "11111111  |  22222222");
}

// A mouse plugged in starts a pass that holds the user-interface thread about a second
// (its two pauses); meanwhile A is pulled out and plugged back in. The passes of the
// notifications that waited find A with the same device instance, its old object still
// plugged: only A's reads, failing on the handle of its old plug-in, tell. A is paired
// again from its new handle, and both its calls arrive, counted with two devices.
TEST_F(Pairing, ADeviceRepluggedWhileAPassRunsIsPairedAgainAndItsCallsArrive) {
    ASSERT_EQ(standin::testing::installScenarioText(bus, R"(mode real-time
device A instance=1a2b3c4d serial=AAAA1111
device B instance=5e6f7a8b serial=BBBB2222
foreign M vid=046d pid=c077 product="USB Mouse" unplugged
plug 1.5 M
unplug 1.8 A
plug 2.1 A
call 4 A 1 number=02125550123
call 4 B 2 number=05321234567
call 7 A 3 number=4441122
)"),
              "");
    create();
    ASSERT_TRUE(pumpUntil([&] { return bus.now() > std::chrono::milliseconds(8500); }, 30s));
    std::vector<std::string> seen;
    for (const Event& e : host.of("OnCallerID"))
        seen.push_back(e.call.DevSerialNo + " " + e.call.LineNo + " " + e.call.PhoneNo + " " +
                       e.call.OtherInfo);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"AAAA1111 1 02125550123 This device is \"2\" one.",
                                              "AAAA1111 3 4441122 This device is \"2\" one.",
                                              "BBBB2222 2 05321234567 This device is \"2\" one."}));
    const auto connections = host.of("OnDeviceConnection");
    ASSERT_FALSE(connections.empty());
    // Plugged in again, A comes after B in the controller's list, as any device
    // plugged in beside another does.
    EXPECT_EQ(connections.back().serial, "BBBB2222  |  AAAA1111");
    EXPECT_EQ(host.count("OnDeviceDisconnected"), 0);
}

} // namespace
} // namespace component::testing
