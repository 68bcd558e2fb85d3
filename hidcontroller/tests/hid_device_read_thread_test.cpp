// The read thread: when it runs, reports handed one at a time to the user-interface
// thread, stopping with a read pending or a hand-over pending, a handler that swaps
// itself, and a device unplugged under a running thread.
#include "hidcontroller/hid_device_read_thread.h"
#include "hidcontroller/tests/controller_fixture.h"

namespace hidcontroller::testing {
namespace {

using namespace platform;

// Records what reaches a data handler, and checks that it runs on the user-interface
// thread and never twice at once.
struct Receiver {
    std::thread::id uiThread = std::this_thread::get_id();
    std::vector<std::uint32_t> stamps;
    std::vector<std::uint16_t> sizes;
    std::vector<std::uint8_t> reportIds;
    std::vector<Dword> errors;
    std::atomic<int> inside{0};
    bool wrongThread = false;
    bool overlapped = false;
    THidDataEvent swapTo;
    std::size_t swapAfter = 0;

    void data(THidDevice& dev, std::uint8_t reportId, const std::uint8_t* bytes,
              std::uint16_t size) {
        overlapped = overlapped || inside++ > 0;
        wrongThread = wrongThread || std::this_thread::get_id() != uiThread;
        std::uint32_t n = 0;
        std::memcpy(&n, bytes, sizeof n);
        stamps.push_back(n);
        sizes.push_back(size);
        reportIds.push_back(reportId);
        if (swapTo && stamps.size() == swapAfter)
            dev.SetDataHandler(swapTo);
        --inside;
    }
    void other(THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        stamps.push_back(0xFFFFFFFF);
    }
    void error(THidDevice&, std::uint32_t code) { errors.push_back(code); }

    THidDataEvent handler() { return THidDataEvent::of<&Receiver::data>(*this); }
};

using ReadThreadTest = ControllerTest;

TEST_F(ReadThreadTest, StartsOnlyWhenACheckedOutDeviceHasAHandler) {
    addDevice();
    start();
    Receiver r;
    THidDevice& listed = controller->deviceAt(0);
    listed.SetDataHandler(r.handler());
    EXPECT_EQ(listed.ReadThread(), nullptr) << "not checked out";

    THidDevice& dev = acquire(0);
    ASSERT_NE(dev.ReadThread(), nullptr) << "checked out with a handler already set";
    EXPECT_EQ(dev.ReadThread()->reportBufferSize(), 65u);
    dev.SetDataHandler({});
    EXPECT_EQ(dev.ReadThread(), nullptr);
}

TEST_F(ReadThreadTest, ReportsReachTheHandlerOneAtATimeOnTheUiThread) {
    addDevice();
    start();
    THidDevice& dev = acquire(0);
    Receiver r;
    dev.SetDataHandler(r.handler());
    ASSERT_NE(dev.ReadThread(), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return r.stamps.size() >= 20; }));
    dev.SetDataHandler({});
    EXPECT_FALSE(r.wrongThread);
    EXPECT_FALSE(r.overlapped);
    for (std::size_t i = 0; i < r.stamps.size(); ++i) {
        EXPECT_EQ(r.sizes[i], 64) << i;
        EXPECT_EQ(r.reportIds[i], 0) << i;
        if (i > 0) {
            EXPECT_EQ(r.stamps[i], r.stamps[i - 1] + 1) << "no report lost or repeated";
        }
    }
}

TEST_F(ReadThreadTest, ControllerHandlerReachesDevicesAndFollowsItsSetter) {
    addDevice();
    start();
    Receiver r;
    controller->SetOnDeviceData(r.handler());
    THidDevice& dev = acquire(0);
    ASSERT_NE(dev.ReadThread(), nullptr);
    ASSERT_TRUE(pumpUntil([&] { return r.stamps.size() >= 3; }));
    controller->SetOnDeviceData({}); // re-targets the device, which stops its thread
    EXPECT_EQ(dev.ReadThread(), nullptr);
}

TEST_F(ReadThreadTest, StopWhileAHandOverIsPendingDeliversItFirst) {
    addDevice();
    start();
    THidDevice& dev = acquire(0);
    Receiver r;
    dev.SetDataHandler(r.handler());
    // The reader has a report and waits for the user-interface thread.
    ASSERT_TRUE(pump.calls().waitForCall(5s));
    EXPECT_TRUE(r.stamps.empty());
    dev.SetDataHandler({}); // must serve the pending hand-over while it waits
    EXPECT_EQ(dev.ReadThread(), nullptr);
    EXPECT_EQ(r.stamps.size(), 1u) << "the report already handed over went to the old handler";
}

TEST_F(ReadThreadTest, StopWhileAReadIsPendingCancelsIt) {
    DeviceDescription d;
    d.silent = true;
    addDevice(d);
    start();
    THidDevice& dev = acquire(0);
    dev.SetReadThreadWait(10);
    Receiver r;
    dev.SetDataHandler(r.handler());
    ASSERT_NE(dev.ReadThread(), nullptr);
    std::this_thread::sleep_for(20ms); // the reader waits in its slices
    dev.SetDataHandler({});
    EXPECT_TRUE(r.stamps.empty());
    // The cancelled read is gone: closing the handle now finds nothing pending.
    dev.CloseOverlappedHandle(false);
    EXPECT_TRUE(bus.audit().misuse.empty()) << bus.audit().describe();
}

TEST_F(ReadThreadTest, AHandlerThatSwapsItselfTakesEffectWithTheNextReport) {
    addDevice();
    start();
    THidDevice& dev = acquire(0);
    Receiver r;
    r.swapTo = THidDataEvent::of<&Receiver::other>(r);
    r.swapAfter = 3;
    dev.SetDataHandler(r.handler());
    ASSERT_TRUE(pumpUntil([&] { return r.stamps.size() >= 5; }));
    dev.SetDataHandler({});
    EXPECT_NE(r.stamps[2], 0xFFFFFFFFu);
    EXPECT_EQ(r.stamps[3], 0xFFFFFFFFu);
    EXPECT_EQ(r.stamps[4], 0xFFFFFFFFu);
}

TEST_F(ReadThreadTest, AHandlerThatFreesItsOwnDeviceDoesNotHang) {
    addDevice();
    start();
    struct Releaser {
        std::vector<std::unique_ptr<THidDevice>>* held;
        int reports = 0;
        void data(THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
            if (++reports == 2)
                held->clear(); // the device and its thread go from inside the hand-over
        }
    } releaser{&held};
    acquire(0).SetDataHandler(THidDataEvent::of<&Releaser::data>(releaser));
    ASSERT_TRUE(pumpUntil([&] { return held.empty(); }));
    settle();
    EXPECT_EQ(releaser.reports, 2);
    ASSERT_EQ(controller->deviceCount(), 1);
    EXPECT_FALSE(controller->deviceAt(0).CheckedOut()) << "checked back in";
}

TEST_F(ReadThreadTest, DeviceUnpluggedUnderARunningThread) {
    const DeviceId id = addDevice();
    start();
    Receiver r;
    controller->SetOnDeviceDataError(THidDataErrorEvent::of<&Receiver::error>(r));
    THidDevice& dev = acquire(0);
    EXPECT_EQ(dev.DataErrorHandler().code(), controller->OnDeviceDataError().code());
    dev.SetDataHandler(r.handler());
    ASSERT_TRUE(pumpUntil([&] { return r.stamps.size() >= 3; }));

    bus.apply(id, DeviceAction::Unplug);
    ASSERT_TRUE(pumpUntil([&] { return !dev.Plugged() && r.errors.size() >= 3; }));
    EXPECT_EQ(removals.size(), 1u);
    EXPECT_NE(dev.ReadThread(), nullptr) << "the thread runs on until its user stops it";
    EXPECT_FALSE(dev.ReadHandleOpen());
    held.clear(); // freeing the device stops its thread and removes the slot
    EXPECT_EQ(controller->deviceCount(), 0);
}

TEST_F(ReadThreadTest, TwoDevicesInterleaveOnOneUiThread) {
    addDevice({}, 1);
    addDevice({}, 2);
    start();
    Receiver r1, r2;
    THidDevice& a = acquire(0);
    THidDevice& b = acquire(1);
    a.SetDataHandler(r1.handler());
    b.SetDataHandler(r2.handler());
    ASSERT_TRUE(pumpUntil([&] { return r1.stamps.size() >= 10 && r2.stamps.size() >= 10; }));
    held.clear();
    EXPECT_FALSE(r1.wrongThread || r2.wrongThread);
}

} // namespace
} // namespace hidcontroller::testing
