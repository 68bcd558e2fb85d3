// The read thread: when it runs, reports handed one at a time to the user-interface
// thread, stopping with a read pending or a hand-over pending, a handler that swaps
// itself, a device unplugged under a running thread, one re-plugged unseen and found
// lost by its failing reads, and the table of stops that
// come from inside hand-overs, nested message loops and device changes, and of
// handlers that throw.
#include "hidcontroller/hid_device_read_thread.h"
#include "hidcontroller/tests/controller_fixture.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

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

// Pulled out and plugged back in before the controller's window gets the two
// notifications: their passes find the same device instance with its object still
// plugged. Reads on the old handle fail; told so, the controller marks the object
// lost, and the pass it posts takes the device in again as a new object.
TEST_F(ReadThreadTest, ADeviceRepluggedUnseenIsFoundLostByItsReads) {
    const DeviceId id = addDevice();
    start();
    struct Reporter {
        THidDeviceController* controller = nullptr;
        std::vector<Dword> errors;
        int marked = 0;
        void error(THidDevice& dev, std::uint32_t code) {
            errors.push_back(code);
            marked += controller->DeviceReadFailed(dev, code) ? 1 : 0;
        }
    } reporter;
    reporter.controller = controller.get();
    Receiver r;
    THidDevice& dev = acquire(0);
    dev.SetDataErrorHandler(THidDataErrorEvent::of<&Reporter::error>(reporter));
    dev.SetDataHandler(r.handler());
    ASSERT_TRUE(pumpUntil([&] { return r.stamps.size() >= 3; }));

    bus.apply(id, DeviceAction::Unplug);
    bus.apply(id, DeviceAction::Plug);
    ASSERT_TRUE(pumpUntil([&] { return arrivals.size() == 2; }));
    ASSERT_FALSE(reporter.errors.empty());
    EXPECT_EQ(reporter.errors[0], kErrorDeviceNotConnected);
    EXPECT_FALSE(dev.Plugged());
    EXPECT_EQ(removals, std::vector<THidDevice*>{&dev});
    EXPECT_EQ(deviceChanges, 2);
    ASSERT_EQ(controller->deviceCount(), 2);
    EXPECT_TRUE(controller->deviceAt(1).Plugged());
    EXPECT_EQ(controller->deviceAt(1).PnPInfo().DevInst, dev.PnPInfo().DevInst);

    // Its reads go on failing until its user lets it go: it is marked once.
    const std::size_t seen = reporter.errors.size();
    ASSERT_TRUE(pumpUntil([&] { return reporter.errors.size() > seen + 3; }));
    EXPECT_EQ(reporter.marked, 1);
    EXPECT_EQ(deviceChanges, 2);
    held.clear();
    EXPECT_EQ(controller->deviceCount(), 1);
}

TEST_F(ReadThreadTest, OnlyErrorsOfAHandleThatIsGoneMarkADeviceLost) {
    addDevice();
    start();
    for (const Dword error : {kErrorInvalidUserBuffer, kErrorInvalidParameter, kErrorAccessDenied,
                              kErrorOperationAborted}) {
        EXPECT_FALSE(controller->DeviceReadFailed(controller->deviceAt(0), error)) << error;
        EXPECT_TRUE(controller->deviceAt(0).Plugged()) << error;
    }
    settle();
    EXPECT_EQ(deviceChanges, 1);
    for (const Dword error :
         {kErrorDeviceNotConnected, kErrorInvalidHandle, kErrorBadCommand, kErrorGenFailure}) {
        THidDevice& lost = controller->deviceAt(0);
        EXPECT_TRUE(controller->DeviceReadFailed(lost, error)) << error;
        EXPECT_FALSE(lost.Plugged()) << error;
        EXPECT_FALSE(controller->DeviceReadFailed(lost, error)) << "marked once: " << error;
        const std::size_t arrived = arrivals.size();
        settle();
        EXPECT_EQ(removals.back(), &lost) << error;
        EXPECT_EQ(arrivals.size(), arrived + 1) << "found again: " << error;
        ASSERT_EQ(controller->deviceCount(), 1) << error;
    }
    EXPECT_EQ(deviceChanges, 5);
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

// Stops in every order they can come in: from inside a hand-over and from outside,
// for the device whose report is being handled and for another one, with message
// loops nested inside hand-overs and device-change notifications arriving in them.
// None may hang (the fixture's watchdog) or touch a freed device or thread (the
// sanitizers), and the bus audit must stay clean (the fixture's TearDown).
class StopSituations;
struct StopCase {
    const char* name;
    void (StopSituations::*run)();
};

class StopSituations : public ControllerTest, public ::testing::WithParamInterface<StopCase> {
public:
    // A data handler that counts its device's reports and runs `action` at the `at`-th.
    struct Script {
        int at = 0;
        std::function<void()> action;
        int reports = 0;
        void data(THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
            if (++reports == at && action)
                action();
        }
        THidDataEvent handler() { return THidDataEvent::of<&Script::data>(*this); }
    };

    void handlerFreesItsOwnDevice();
    void handlerFreesItsOwnDeviceThenASecondWithAReportWaiting();
    void aHandOverOfAnotherDeviceFreesTheOneWhoseHandOverRunsBelow();
    void nestedLoopInAHandOverWhileADeviceChangeRepairs();
    void stopFromOutsideWhileAWaitingReportFreesItsDevice();
    void stopFromOutsideWhileAnotherDevicesReportFreesTheSleepingOne();
    void aHandlerThatThrowsReleasesItsReader();
    void aHandlerThatFreesItsOwnDeviceAndThrows();
    void aNestedHandOverThrowsIntoTheHandlerBelowThatThenFreesItsDevice();
    void stopFromOutsideWhileAWaitingReportsHandlerThrows();

protected:
    // The handlers outlive every device (TearDown frees the devices first).
    Script a, b, a2, b2;
    THidDevice* A = nullptr;
    THidDevice* B = nullptr;

    // Two streaming devices (A may be described otherwise), both checked out.
    void startTwo(DeviceDescription da = {}) {
        addDevice(std::move(da), 1);
        addDevice({}, 2);
        start();
        A = &acquire(0);
        B = &acquire(1);
    }
    // Frees a held device; the list is whole again before its destructor runs, as
    // that may free other devices.
    void release(THidDevice* d) {
        for (auto it = held.begin(); it != held.end(); ++it) {
            if (it->get() == d) {
                std::unique_ptr<THidDevice> gone = std::move(*it);
                held.erase(it);
                gone.reset();
                return;
            }
        }
        ADD_FAILURE() << "not a held device";
    }
    bool holds(const THidDevice* d) const {
        return std::any_of(held.begin(), held.end(), [d](const auto& h) { return h.get() == d; });
    }
    // The user-interface thread's loop until `done` holds, and the wait for a reader to
    // hand a report over: the watchdog, not a time limit, ends one that never ends.
    bool until(const std::function<bool()>& done) { return pump.runUntil(done, 1h); }
    void waitForAHandOver() { ASSERT_TRUE(pump.calls().waitForCall(1h)); }
    // What the caller-ID component does at a change: free every held device, then
    // take both again with handlers of their own.
    void repair(THidDeviceController&) {
        while (!held.empty())
            release(held.front().get());
        A = &acquire(0);
        A->SetDataHandler(a2.handler());
        B = &acquire(1);
        B->SetDataHandler(b2.handler());
    }
    static void fail() { throw std::runtime_error("handler failed"); }
    void expectCheckedIn(int index) {
        ASSERT_LT(index, controller->deviceCount());
        EXPECT_FALSE(controller->deviceAt(index).CheckedOut()) << "device " << index;
    }
};

void StopSituations::handlerFreesItsOwnDevice() {
    startTwo();
    a.at = 2;
    a.action = [this] { release(A); };
    A->SetDataHandler(a.handler());
    ASSERT_TRUE(until([&] { return !holds(A); }));
    settle();
    EXPECT_EQ(a.reports, 2);
    expectCheckedIn(0);
}

void StopSituations::handlerFreesItsOwnDeviceThenASecondWithAReportWaiting() {
    startTwo();
    B->SetDataHandler(b.handler());
    int bAtRelease = 0;
    a.at = 2;
    a.action = [&] {
        waitForAHandOver(); // B's reader waits for this thread with a report
        bAtRelease = b.reports;
        release(A);
        release(B);
    };
    A->SetDataHandler(a.handler());
    ASSERT_TRUE(until([&] { return held.empty(); }));
    settle();
    EXPECT_EQ(b.reports, bAtRelease + 1) << "B's waiting report reached its handler first";
    expectCheckedIn(0);
    expectCheckedIn(1);
}

void StopSituations::aHandOverOfAnotherDeviceFreesTheOneWhoseHandOverRunsBelow() {
    startTwo();
    B->SetDataHandler(b.handler());
    a.at = 2;
    a.action = [this] {
        b.at = b.reports + 1;
        b.action = [this] { release(A); };
        EXPECT_TRUE(until([&] { return !holds(A); }));
    };
    A->SetDataHandler(a.handler());
    ASSERT_TRUE(until([&] { return !holds(A); }));
    const int bThen = b.reports;
    ASSERT_TRUE(until([&] { return b.reports >= bThen + 3; })) << "B streams on";
    expectCheckedIn(0);
}

void StopSituations::nestedLoopInAHandOverWhileADeviceChangeRepairs() {
    DeviceDescription other;
    other.vendorId = 0x046D;
    other.productId = 0xC077;
    startTwo();
    const DeviceId mouse = addDevice(other, 3, false);
    controller->setLoading(true);
    controller->SetOnDeviceChange(TNotifyEvent::of<&StopSituations::repair>(*this));
    controller->setLoading(false);
    B->SetDataHandler(b.handler());
    bool loopEnded = false;
    a.at = 2;
    a.action = [&, mouse] {
        bus.apply(mouse, DeviceAction::Plug); // its notification comes in the loop below
        loopEnded = until([&] { return a2.reports >= 3 && b2.reports >= 3; });
    };
    A->SetDataHandler(a.handler());
    ASSERT_TRUE(until([&] { return loopEnded; }));
    EXPECT_EQ(a.reports, 2);
    EXPECT_EQ(controller->deviceCount(), 3);
    const int a2Then = a2.reports;
    ASSERT_TRUE(until([&] { return a2.reports >= a2Then + 3; })) << "the new A streams on";
}

void StopSituations::stopFromOutsideWhileAWaitingReportFreesItsDevice() {
    startTwo();
    a.at = 1;
    a.action = [this] { release(A); };
    A->SetDataHandler(a.handler());
    waitForAHandOver();
    A->SetDataHandler({}); // serves the waiting report, whose handler frees A
    EXPECT_FALSE(holds(A));
    EXPECT_EQ(a.reports, 1);
    settle();
    expectCheckedIn(0);
}

void StopSituations::stopFromOutsideWhileAnotherDevicesReportFreesTheSleepingOne() {
    DeviceDescription silent;
    silent.silent = true;
    startTwo(silent);
    A->SetReadThreadWait(10);
    A->SetDataHandler(a.handler()); // its reader sleeps with a read pending
    b.at = 1;
    b.action = [this] { release(A); };
    B->SetDataHandler(b.handler());
    waitForAHandOver();  // B's first report
    A->StopReadThread(); // serves B's report, whose handler frees A
    EXPECT_FALSE(holds(A));
    EXPECT_EQ(a.reports, 0);
    settle();
    expectCheckedIn(0);
}

// A handler that throws: its call is settled all the same (the reader reads on, what
// waited for the call's return runs), and the exception reaches whoever runs the
// user-interface thread's loop.
void StopSituations::aHandlerThatThrowsReleasesItsReader() {
    startTwo();
    a.at = 2;
    a.action = &fail;
    A->SetDataHandler(a.handler());
    EXPECT_THROW(until([&] { return a.reports >= 2; }), std::runtime_error);
    ASSERT_TRUE(until([&] { return a.reports >= 5; })) << "A's reader reads on";
}

void StopSituations::aHandlerThatFreesItsOwnDeviceAndThrows() {
    startTwo();
    a.at = 2;
    a.action = [this] {
        release(A); // its reader is joined once this call has returned
        fail();
    };
    A->SetDataHandler(a.handler());
    EXPECT_THROW(until([&] { return !holds(A); }), std::runtime_error);
    settle();
    expectCheckedIn(0);
}

void StopSituations::aNestedHandOverThrowsIntoTheHandlerBelowThatThenFreesItsDevice() {
    startTwo();
    B->SetDataHandler(b.handler());
    a.at = 2;
    a.action = [this] {
        b.at = b.reports + 1;
        b.action = &fail;
        EXPECT_THROW(until([&] { return b.reports >= b.at; }), std::runtime_error);
        release(A); // the call running now is this one, not B's that threw
    };
    A->SetDataHandler(a.handler());
    ASSERT_TRUE(until([&] { return !holds(A); }));
    const int bThen = b.reports;
    ASSERT_TRUE(until([&] { return b.reports >= bThen + 3; })) << "B streams on";
    settle();
    expectCheckedIn(0);
}

void StopSituations::stopFromOutsideWhileAWaitingReportsHandlerThrows() {
    startTwo();
    a.at = 1;
    a.action = &fail;
    A->SetDataHandler(a.handler());
    waitForAHandOver();
    A->SetDataHandler({}); // serves the waiting report; a stop itself never throws
    EXPECT_EQ(A->ReadThread(), nullptr);
    EXPECT_EQ(a.reports, 1);
    EXPECT_THROW(settle(), std::runtime_error) << "passed on by the next round of the loop";
}

TEST_P(StopSituations, NeitherHangNorTouchWhatIsFreed) {
    (this->*GetParam().run)();
}

const StopCase kStopCases[] = {
    {"HandlerFreesItsOwnDevice", &StopSituations::handlerFreesItsOwnDevice},
    {"HandlerFreesItsOwnDeviceThenASecondWithAReportWaiting",
     &StopSituations::handlerFreesItsOwnDeviceThenASecondWithAReportWaiting},
    {"AHandOverOfAnotherDeviceFreesTheOneWhoseHandOverRunsBelow",
     &StopSituations::aHandOverOfAnotherDeviceFreesTheOneWhoseHandOverRunsBelow},
    {"NestedLoopInAHandOverWhileADeviceChangeRepairs",
     &StopSituations::nestedLoopInAHandOverWhileADeviceChangeRepairs},
    {"StopFromOutsideWhileAWaitingReportFreesItsDevice",
     &StopSituations::stopFromOutsideWhileAWaitingReportFreesItsDevice},
    {"StopFromOutsideWhileAnotherDevicesReportFreesTheSleepingOne",
     &StopSituations::stopFromOutsideWhileAnotherDevicesReportFreesTheSleepingOne},
    {"AHandlerThatThrowsReleasesItsReader", &StopSituations::aHandlerThatThrowsReleasesItsReader},
    {"AHandlerThatFreesItsOwnDeviceAndThrows",
     &StopSituations::aHandlerThatFreesItsOwnDeviceAndThrows},
    {"ANestedHandOverThrowsIntoTheHandlerBelowThatThenFreesItsDevice",
     &StopSituations::aNestedHandOverThrowsIntoTheHandlerBelowThatThenFreesItsDevice},
    {"StopFromOutsideWhileAWaitingReportsHandlerThrows",
     &StopSituations::stopFromOutsideWhileAWaitingReportsHandlerThrows},
};

INSTANTIATE_TEST_SUITE_P(ReadThread, StopSituations, ::testing::ValuesIn(kStopCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace hidcontroller::testing
