// The simulated bus itself: its two clocks, scheduled faults, concurrent readers,
// device paths and the audit.
#include "platform/tests/bus_fixture.h"

#include <atomic>
#include <thread>

namespace platform::testing {
namespace {

TEST(InterfacePath, HasThePlatformsFormWithTheInstanceIdAsSerial) {
    const std::string path = interfacePathFor(0x04D8, 0xC5A7, "0a1b2c3d");
    EXPECT_EQ(
        path,
        "\\\\?\\hid#vid_04d8&pid_c5a7#7&0a1b2c3d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}");
    const auto second = path.find('&', path.find('&') + 1);
    const auto third = path.find('&', second + 1);
    EXPECT_EQ(path.substr(second + 1, third - second - 1), "0a1b2c3d");
}

TEST_F(BusTest, DevicesGetDistinctInstanceIdsUnlessGiven) {
    const DeviceId a = addCallerId();
    const DeviceId b = addCallerId();
    DeviceDescription named;
    named.instanceId = "12345678";
    const DeviceId c = addCallerId(named);
    DeviceDescription ownPath;
    ownPath.interfacePath = "\\\\?\\hid#vid_04d8&pid_7a4c#elsewhere";
    const DeviceId d = addCallerId(ownPath);
    EXPECT_NE(bus.interfacePath(a), bus.interfacePath(b));
    EXPECT_EQ(bus.interfacePath(c), interfacePathFor(0x04D8, 0xC5A7, "12345678"));
    EXPECT_EQ(bus.interfacePath(d), ownPath.interfacePath);
}

// GetTickCount reads the same clock, in milliseconds.
TEST_F(BusTest, FastClockMovesOnlyWhenSomethingWaits) {
    EXPECT_EQ(bus.now(), Microseconds{0});
    EXPECT_EQ(api.GetTickCount(), 0u);
    EXPECT_EQ(api.SleepEx(250, false), 0u);
    EXPECT_EQ(bus.now(), std::chrono::milliseconds(250));
    const Handle event = api.CreateEventA(nullptr, true, false, nullptr);
    EXPECT_EQ(api.WaitForSingleObject(event, 40), kWaitTimeout);
    EXPECT_EQ(bus.now(), std::chrono::milliseconds(290));
    EXPECT_EQ(api.GetTickCount(), 290u);
    bus.advance(std::chrono::microseconds(10999));
    EXPECT_EQ(bus.now(), std::chrono::microseconds(300999));
    EXPECT_EQ(api.GetTickCount(), 300u);
    api.CloseHandle(event);
}

TEST_F(BusTest, ScheduledPlugAndUnplugHappenAtTheirTimes) {
    const DeviceId dev = addCallerId({}, 0, false);
    int broadcasts = 0;
    const int listener = bus.addDeviceChangeListener([&] { ++broadcasts; });
    bus.schedule(std::chrono::milliseconds(100), dev, DeviceAction::Plug);
    bus.schedule(std::chrono::milliseconds(300), dev, DeviceAction::Unplug);
    bus.advance(std::chrono::milliseconds(99));
    EXPECT_EQ(open(dev, 0), kInvalidHandleValue);
    bus.advance(std::chrono::milliseconds(1));
    EXPECT_EQ(broadcasts, 1);
    const Handle h = open(dev, 0);
    EXPECT_NE(h, kInvalidHandleValue);
    api.SleepEx(1000, false);
    EXPECT_EQ(broadcasts, 2);
    HidAttributes attributes;
    EXPECT_FALSE(api.HidD_GetAttributes(h, &attributes));
    EXPECT_EQ(api.GetLastError(), kErrorDeviceNotConnected);
    api.CloseHandle(h);
    bus.removeDeviceChangeListener(listener);
    bus.apply(dev, DeviceAction::Plug);
    EXPECT_EQ(broadcasts, 2);
    expectCleanAudit();
}

TEST_F(BusTest, ResumedDeviceStreamsFromNowOn) {
    const DeviceId dev = addCallerId();
    const Handle reader = openReader(dev);
    const Handle event = api.CreateEventA(nullptr, true, true, "");
    bus.schedule(std::chrono::milliseconds(1), dev, DeviceAction::GoSilent);
    bus.schedule(std::chrono::milliseconds(700), dev, DeviceAction::Resume);
    Report r{};
    EXPECT_EQ(readReport(reader, event, r), kWaitTimeout);
    EXPECT_EQ(readReport(reader, event, r), kWaitObject0);
    EXPECT_EQ(stampOf(r), 350u) << "the first report after the resume at 700 ms";
    api.CloseHandle(reader);
    api.CloseHandle(event);
    expectCleanAudit();
}

TEST_F(BusTest, TwoThreadsReadTwoDevicesConcurrently) {
    const DeviceId a = addCallerId({}, 1);
    const DeviceId b = addCallerId({}, 2);
    std::atomic<int> failures{0};
    auto reader = [&](DeviceId dev, std::uint8_t tag) {
        const Handle h = openReader(dev);
        std::uint32_t last = 0;
        for (int i = 0; i < 200; ++i) {
            Report r{};
            Overlapped ov;
            if (!api.ReadFileEx(h, r.data(), 65, &ov, [](Dword, Dword, Overlapped*) {}) ||
                api.SleepEx(500, true) != kWaitIoCompletion || r[5] != tag ||
                (i > 0 && stampOf(r) <= last))
                ++failures;
            last = stampOf(r);
        }
        api.CloseHandle(h);
    };
    std::thread first(reader, a, std::uint8_t{1});
    std::thread second(reader, b, std::uint8_t{2});
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    expectCleanAudit();
}

TEST_F(BusTest, BlockingReadWaitsForTheNextReport) {
    const Handle h = open(addCallerId(), kGenericRead);
    Report r{};
    Dword n = 0;
    ASSERT_TRUE(api.ReadFile(h, r.data(), 65, &n, nullptr));
    EXPECT_EQ(n, 65u);
    EXPECT_EQ(bus.now(), kReportInterval);
    api.CloseHandle(h);
}

TEST(RealTimeBus, StreamsAtTheDevicesRate) {
    SimulatedBus bus(ClockMode::RealTime);
    SimulatedApi api(bus);
    bus.addDevice({}, std::make_unique<StampSource>());
    const Handle h = api.CreateFileA(bus.interfacePath(0).c_str(), kGenericRead,
                                     kFileShareRead | kFileShareWrite, nullptr, kOpenExisting,
                                     kFileFlagOverlapped, kNullHandle);
    const Handle event = api.CreateEventA(nullptr, true, true, "");
    const auto start = std::chrono::steady_clock::now();
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    for (int i = 0; i < 10; ++i) {
        Report r{};
        Overlapped ov;
        ov.hEvent = event;
        api.ReadFile(h, r.data(), 65, nullptr, &ov);
        ASSERT_EQ(api.WaitForSingleObject(event, 500), kWaitObject0);
        (i == 0 ? first : last) = stampOf(r);
    }
    EXPECT_EQ(last - first, 9u) << "consecutive reports, none lost at this pace";
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(16))
        << "ten reports take about 18 ms of wall time";
    api.CloseHandle(h);
    api.CloseHandle(event);
    EXPECT_TRUE(bus.audit().clean()) << bus.audit().describe();
}

TEST(RealTimeBus, RunsScheduledActionsWithoutCallers) {
    SimulatedBus bus(ClockMode::RealTime);
    std::atomic<int> broadcasts{0};
    bus.addDeviceChangeListener([&] { ++broadcasts; });
    bus.addDevice({}, nullptr, false);
    bus.schedule(bus.now() + std::chrono::milliseconds(5), 0, DeviceAction::Plug);
    for (int i = 0; i < 200 && broadcasts == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(broadcasts, 1);
}

TEST_F(BusTest, SwitchingClocksKeepsTheTime) {
    bus.advance(std::chrono::seconds(3));
    bus.setMode(ClockMode::RealTime);
    EXPECT_GE(bus.now(), std::chrono::seconds(3));
    bus.setMode(ClockMode::Fast);
    const Microseconds t = bus.now();
    EXPECT_LT(t, std::chrono::seconds(4));
    bus.advance(std::chrono::seconds(1));
    EXPECT_EQ(bus.now(), t + std::chrono::seconds(1));
}

TEST_F(BusTest, AuditNamesWhatWasLeft) {
    const DeviceId dev = addCallerId();
    const Handle leaked = open(dev, 0);
    const DevInfo set = api.SetupDiGetClassDevsA(&kHidInterfaceClassGuid, nullptr, kNullWindow,
                                                 kDigcfPresent | kDigcfDeviceInterface);
    Audit a = bus.audit();
    EXPECT_FALSE(a.clean());
    EXPECT_EQ(a.devices.at(0).openHandles, 1);
    EXPECT_EQ(a.devices.at(0).handlesOpened, 1);
    EXPECT_EQ(a.openDeviceInfoSets, 1);
    EXPECT_NE(a.describe().find("1 handle(s) left open"), std::string::npos) << a.describe();

    api.CloseHandle(leaked);
    api.SetupDiDestroyDeviceInfoList(set);
    EXPECT_TRUE(bus.audit().clean()) << bus.audit().describe();
    api.SetupDiDestroyDeviceInfoList(set);
    api.CloseHandle(Handle{0x7FFF0000});
    a = bus.audit();
    ASSERT_EQ(a.misuse.size(), 2u);
    EXPECT_EQ(a.misuse[0].kind, MisuseKind::DestroyOfDestroyedSet);
    EXPECT_EQ(a.misuse[1].kind, MisuseKind::UseOfUnknownHandle);
    EXPECT_EQ(a.devices.at(0).handlesOpened, 1);
}

TEST_F(BusTest, EventsAreCountedButLeftOutOfClean) {
    const Handle event = api.CreateEventA(nullptr, true, true, "");
    EXPECT_EQ(bus.audit().openEvents, 1);
    EXPECT_TRUE(bus.audit().clean());
    api.CloseHandle(event);
    EXPECT_EQ(bus.audit().openEvents, 0);
}

} // namespace
} // namespace platform::testing
