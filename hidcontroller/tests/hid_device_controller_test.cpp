// The controller: its start-up pass, the device list kept current across plug and
// unplug notifications (and a device found lost during a pass), enumeration,
// counting, check-out and check-in, the handler setters, and a platform without its
// libraries.
#include "hidcontroller/tests/controller_fixture.h"

namespace hidcontroller::testing {
namespace {

using namespace platform;

using ControllerListTest = ControllerTest;

TEST_F(ControllerListTest, StartUpPassRaisesOneChangeAlsoWithoutDevices) {
    start();
    EXPECT_TRUE(controller->hasWindow());
    EXPECT_EQ(deviceChanges, 1);
    EXPECT_EQ(controller->ChangeParam(), kStartupChangeParam);
    EXPECT_EQ(controller->EnumerateDevices(), 0);
    EXPECT_EQ(controller->HidGuid(), kHidInterfaceClassGuid);
    EXPECT_EQ(controller->Version(), "1.0.34");
    controller->SetVersion("9.9");
    EXPECT_EQ(controller->Version(), "1.0.34");
}

TEST_F(ControllerListTest, FirstPassWaitsForTheMessageLoop) {
    addDevice();
    controller = std::make_unique<THidDeviceController>(api, pump);
    EXPECT_EQ(controller->deviceCount(), 0) << "nothing happens before the loop runs";
    settle();
    EXPECT_EQ(controller->deviceCount(), 1);
}

TEST_F(ControllerListTest, WithoutItsLibrariesTheControllerIsInert) {
    for (const char* missing : {"hid.dll", "setupapi.dll"}) {
        SimulatedBus b;
        SimulatedApi a{b};
        MessagePump p{&b};
        b.addDevice({}, std::make_unique<StampSource>());
        b.hideModule(missing);
        THidDeviceController c(a, p);
        int changes = 0;
        struct Counter {
            int* n;
            void changed(THidDeviceController&) { ++*n; }
        } counter{&changes};
        c.SetOnDeviceChange(TNotifyEvent::of<&Counter::changed>(counter));
        EXPECT_EQ(changes, 0) << "the pass that setting the handler runs finds nothing: "
                              << missing;
        p.runPending();
        b.apply(0, DeviceAction::Unplug);
        p.runPending();
        EXPECT_FALSE(c.hasWindow()) << missing;
        EXPECT_EQ(c.deviceCount(), 0) << missing;
        EXPECT_EQ(changes, 0) << "never an event: " << missing;
        EXPECT_EQ(c.HidGuid(), kHidInterfaceClassGuid) << missing;
        EXPECT_EQ(processBindings().setupApi.referenceCount(), missing[0] == 'h' ? 1 : 0);
    }
}

TEST_F(ControllerListTest, SameDevicesAtTheNextPassKeepTheirObjects) {
    addDevice();
    addDevice({}, 1);
    start();
    ASSERT_EQ(arrivals.size(), 2u);
    THidDevice* first = &controller->deviceAt(0);
    pump.broadcastDeviceChange();
    settle();
    EXPECT_EQ(&controller->deviceAt(0), first);
    EXPECT_EQ(arrivals.size(), 2u);
    EXPECT_TRUE(removals.empty());
    EXPECT_EQ(deviceChanges, 1) << "nothing changed";
    EXPECT_EQ(controller->ChangeParam(), 0);
}

TEST_F(ControllerListTest, PlugAndUnplugOfAnAvailableDevice) {
    addDevice();
    const DeviceId late = addDevice({}, 1, false);
    start();
    ASSERT_EQ(controller->deviceCount(), 1);

    act(late, DeviceAction::Plug);
    ASSERT_EQ(controller->deviceCount(), 2);
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_EQ(arrivals[1], &controller->deviceAt(1));
    EXPECT_EQ(deviceChanges, 2);
    EXPECT_EQ(controller->AvailableCount(), 2);

    act(late, DeviceAction::Unplug);
    EXPECT_EQ(controller->deviceCount(), 1);
    EXPECT_EQ(removals.size(), 1u);
    EXPECT_EQ(unplugs.size(), 1u) << "the controller's unplug handler reached the device";
    EXPECT_EQ(deviceChanges, 3);
    EXPECT_EQ(controller->AvailableCount(), 1);
    EXPECT_EQ(controller->UnpluggedCount(), 0);
}

TEST_F(ControllerListTest, UnpluggedCheckedOutDeviceStaysListedUntilItsUserFreesIt) {
    const DeviceId id = addDevice();
    start();
    THidDevice& dev = acquire(0);
    EXPECT_EQ(controller->CheckedOutCount(), 1);
    EXPECT_EQ(controller->AvailableCount(), 0);

    act(id, DeviceAction::Unplug);
    ASSERT_EQ(controller->deviceCount(), 1);
    EXPECT_EQ(&controller->deviceAt(0), &dev);
    EXPECT_FALSE(dev.Plugged());
    EXPECT_EQ(unplugs.size(), 1u);
    EXPECT_EQ(removals.size(), 1u);
    EXPECT_EQ(controller->UnpluggedCount(), 1);
    EXPECT_EQ(controller->CheckedOutCount(), 0);

    pump.broadcastDeviceChange();
    settle();
    EXPECT_EQ(removals.size(), 2u) << "every pass reports it again";
    EXPECT_EQ(unplugs.size(), 1u) << "its unplug handler runs once";
    EXPECT_EQ(deviceChanges, 3);

    act(id, DeviceAction::Plug);
    ASSERT_EQ(controller->deviceCount(), 2) << "a new object beside the unplugged one";
    EXPECT_TRUE(controller->deviceAt(1).Plugged());
    EXPECT_EQ(controller->deviceAt(1).PnPInfo().DevInst, dev.PnPInfo().DevInst);

    held.clear(); // its user frees it: the slot goes
    ASSERT_EQ(controller->deviceCount(), 1);
    EXPECT_TRUE(controller->deviceAt(0).Plugged());
    EXPECT_EQ(controller->UnpluggedCount(), 0);
    EXPECT_EQ(controller->AvailableCount(), 1);
}

TEST_F(ControllerListTest, FreeingACheckedOutDeviceChecksAFreshObjectIn) {
    addDevice();
    addDevice({}, 1);
    start();
    THidDevice& dev = acquire(1);
    dev.SetReadThreadWait(250);
    const Dword devInst = dev.PnPInfo().DevInst;
    held.clear();
    ASSERT_EQ(controller->deviceCount(), 2);
    THidDevice& fresh = controller->deviceAt(1);
    EXPECT_EQ(fresh.PnPInfo().DevInst, devInst);
    EXPECT_FALSE(fresh.CheckedOut());
    EXPECT_EQ(fresh.ReadThreadWait(), 250);
    EXPECT_EQ(fresh.UnplugHandler().code(), controller->OnDeviceUnplug().code());
    EXPECT_EQ(controller->CheckedOutCount(), 0);
    EXPECT_EQ(controller->AvailableCount(), 2);
    EXPECT_EQ(bus.audit().openDeviceHandles(), 0);
    acquire(1); // and it can be taken again
}

TEST_F(ControllerListTest, CheckOutRefusesBadIndexesAndDevicesAlreadyOut) {
    addDevice();
    start();
    acquire(0);
    for (int index : {-1, 1, 0}) {
        std::unique_ptr<THidDevice> d = std::make_unique<THidDevice>(
            api,
            std::make_unique<THidPnPInfo>(kInvalidDevInfo, DeviceInfoData{}, bus.interfacePath(0)),
            nullptr);
        EXPECT_FALSE(controller->AcquireDeviceAt(d, index)) << index;
        EXPECT_EQ(d, nullptr) << index;
    }
    EXPECT_EQ(controller->CheckedOutCount(), 1);
}

TEST_F(ControllerListTest, EnumerationOffersPluggedDevicesOnly) {
    const DeviceId a = addDevice();
    addDevice({}, 1);
    start();
    acquire(0);
    act(a, DeviceAction::Unplug);
    EXPECT_EQ(controller->EnumerateDevices(), 1) << "no handler: the first plugged one";
    controller->OnEnumerate = THidEnumerateEvent::of<&ControllerTest::Offered>(*this);
    EXPECT_EQ(controller->EnumerateDevices(), 1);
    EXPECT_EQ(offered, std::vector<int>{1});
}

TEST_F(ControllerListTest, CountsDevicesByVendorAndProduct) {
    addDevice();
    DeviceDescription other;
    other.productId = 0x0001;
    addDevice(other);
    DeviceDescription foreign;
    foreign.vendorId = 0x046D;
    foreign.productId = 0xC077;
    addDevice(foreign);
    const DeviceId gone = addDevice();
    start();
    act(gone, DeviceAction::Unplug);
    EXPECT_EQ(controller->CountDevicesById(0x04D8, 0xC5A7), 1);
    EXPECT_EQ(controller->CountDevicesById(0x04D8, -1), 2);
    EXPECT_EQ(controller->CountDevicesById(0x046D, 0xC077), 1);
    EXPECT_EQ(controller->CountDevicesById(0x04D8 + 0x10000, 0xC5A7), 1) << "16-bit identities";
}

TEST_F(ControllerListTest, SleepTimeReachesOnlyDevicesThatFollowIt) {
    addDevice();
    addDevice({}, 1);
    start();
    controller->deviceAt(1).SetReadThreadWait(300);
    controller->SetDevThreadSleepTime(50);
    EXPECT_EQ(controller->deviceAt(0).ReadThreadWait(), 50);
    EXPECT_EQ(controller->deviceAt(1).ReadThreadWait(), 300);
    controller->SetDevThreadSleepTime(5); // not a wait a device takes
    EXPECT_EQ(controller->DevThreadSleepTime(), 5);
    EXPECT_EQ(controller->deviceAt(0).ReadThreadWait(), 50);
    controller->SetDevThreadSleepTime(200);
    EXPECT_EQ(controller->deviceAt(0).ReadThreadWait(), 50) << "no device was at 5";
}

TEST_F(ControllerListTest, ANotificationDuringAPassIsDropped) {
    struct Nested {
        THidDeviceController** c;
        int calls = 0;
        void changed(THidDeviceController& sender) {
            ++calls;
            sender.DeviceChangeWindowProc(kWmDeviceChange, kDbtDevNodesChanged, 0);
        }
    } nested{nullptr};
    addDevice();
    controller = std::make_unique<THidDeviceController>(api, pump);
    controller->setLoading(true);
    controller->SetOnDeviceChange(TNotifyEvent::of<&Nested::changed>(nested));
    controller->setLoading(false);
    settle();
    EXPECT_EQ(nested.calls, 1);
    EXPECT_EQ(controller->deviceCount(), 1);
}

// A device found lost while a pass runs (from a message loop inside its handler, where
// the pass posted for it is dropped) gets a pass after that one.
TEST_F(ControllerListTest, ADeviceFoundLostDuringAPassIsPassedOverAgainAfterIt) {
    struct Losing {
        THidDeviceController* c = nullptr;
        MessagePump* pump = nullptr;
        int runs = 0;
        void changed(THidDeviceController&) {
            if (++runs != 2)
                return;
            EXPECT_TRUE(c->DeviceReadFailed(c->deviceAt(0), kErrorDeviceNotConnected));
            pump->runPending(); // the loop of a modal box: the notification is dropped
        }
    } losing;
    losing.pump = &pump;
    addDevice();
    const DeviceId late = addDevice({}, 1, false);
    controller = std::make_unique<THidDeviceController>(api, pump);
    losing.c = controller.get();
    controller->setLoading(true);
    controller->SetOnDeviceChange(TNotifyEvent::of<&Losing::changed>(losing));
    controller->OnRemoval = THidPlugEvent::of<&ControllerTest::Removed>(*this);
    controller->setLoading(false);
    settle();
    act(late, DeviceAction::Plug);
    EXPECT_EQ(losing.runs, 3);
    EXPECT_EQ(removals.size(), 1u);
    ASSERT_EQ(controller->deviceCount(), 2);
    EXPECT_TRUE(controller->deviceAt(1).Plugged()) << "found again after the other";
}

TEST_F(ControllerListTest, DeviceChangeHandlerThatReleasesAndReenumerates) {
    // What the caller-ID component does at every change: free what it holds, enumerate
    // and take every device offered.
    struct Pairing {
        THidDeviceController* c = nullptr;
        std::vector<std::unique_ptr<THidDevice>> held;
        int runs = 0;
        void changed(THidDeviceController&) {
            ++runs;
            held.clear();
            c->EnumerateDevices();
        }
        bool take(THidDevice&, int idx) {
            std::unique_ptr<THidDevice> d;
            if (c->AcquireDeviceAt(d, idx))
                held.push_back(std::move(d));
            return true;
        }
    } pairing;
    const DeviceId a = addDevice();
    addDevice({}, 1);
    controller = std::make_unique<THidDeviceController>(api, pump);
    pairing.c = controller.get();
    controller->setLoading(true);
    controller->OnEnumerate = THidEnumerateEvent::of<&Pairing::take>(pairing);
    controller->SetOnDeviceChange(TNotifyEvent::of<&Pairing::changed>(pairing));
    controller->setLoading(false);
    settle();
    EXPECT_EQ(pairing.held.size(), 2u);
    act(a, DeviceAction::Unplug);
    EXPECT_EQ(pairing.runs, 2);
    ASSERT_EQ(pairing.held.size(), 1u);
    EXPECT_EQ(controller->deviceCount(), 1);
    act(a, DeviceAction::Plug);
    EXPECT_EQ(pairing.held.size(), 2u);
    EXPECT_EQ(controller->CheckedOutCount(), 2);
    pairing.held.clear();
}

TEST_F(ControllerListTest, DestroyingTheControllerLeavesCheckedOutDevicesUsable) {
    addDevice();
    start();
    THidDevice& dev = acquire(0);
    HidCaps caps;
    dev.GetCapabilities(caps);
    controller.reset();
    EXPECT_EQ(dev.Controller(), nullptr);
    EXPECT_FALSE(dev.Plugged());
    EXPECT_EQ(unplugs.size(), 1u);
    EXPECT_TRUE(processBindings().hid.IsHidBound()) << "the device still holds HID";
    held.clear(); // its preparsed data is freed through a bound slot
    EXPECT_EQ(bus.audit().preparsedDataHeld(), 0);
}

TEST_F(ControllerListTest, TwoControllersShareTheBinding) {
    addDevice();
    start();
    {
        THidDeviceController second(api, pump);
        settle();
        EXPECT_EQ(processBindings().setupApi.referenceCount(), 2);
        EXPECT_EQ(second.CountDevicesById(0x04D8, 0xC5A7), 1);
    }
    EXPECT_EQ(processBindings().setupApi.referenceCount(), 1);
    pump.broadcastDeviceChange();
    settle();
    EXPECT_EQ(controller->deviceCount(), 1);
}

} // namespace
} // namespace hidcontroller::testing
