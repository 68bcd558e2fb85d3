// The device object: opening and identification, its texts with the language-list
// rule, input-buffer counts, capabilities, writes, and its two construction errors.
#include "hidcontroller/hid_device_read_thread.h"
#include "hidcontroller/tests/controller_fixture.h"
#include "platform/tests/forwarding_api.h"
#include "standin/callerid_device.h"

#include <set>

namespace hidcontroller::testing {
namespace {

using namespace platform;
using platform::testing::ForwardingApi;

using DeviceTest = ControllerTest;

TEST_F(DeviceTest, IdentifiesTheInterfaceAndClosesWhatItOpened) {
    DeviceDescription d;
    d.versionNumber = 0x0123;
    const DeviceId id = addDevice(d);
    start();
    ASSERT_EQ(controller->deviceCount(), 1);
    THidDevice& dev = controller->deviceAt(0);
    EXPECT_EQ(dev.Attributes().Size, kHidAttributesSize);
    EXPECT_EQ(dev.Attributes().VendorID, 0x04D8);
    EXPECT_EQ(dev.Attributes().ProductID, 0xC5A7);
    EXPECT_EQ(dev.Attributes().VersionNumber, 0x0123);
    EXPECT_EQ(dev.PnPInfo().DevicePath, bus.interfacePath(id));
    EXPECT_NE(dev.PnPInfo().DevInst, 0u);
    EXPECT_EQ(dev.PnPInfo().Class, "HIDClass");
    ASSERT_GE(dev.PnPInfo().HardwareId.size(), 2u);
    EXPECT_EQ(dev.PnPInfo().HardwareId[1], "HID\\VID_04D8&PID_C5A7");
    EXPECT_TRUE(dev.PnPInfo().CompatibleIds.empty()); // a property the device lacks
    EXPECT_EQ(dev.PnPInfo().UINumber, 0u);
    EXPECT_TRUE(dev.ReadWriteAccess());
    EXPECT_TRUE(dev.Plugged());
    EXPECT_FALSE(dev.CheckedOut());
    EXPECT_EQ(dev.ReadThreadWait(), 100);
    EXPECT_EQ(bus.audit().openDeviceHandles(), 0) << "identification closes its handle";
}

struct TextCase {
    const char* name;
    std::optional<std::u16string> serial;
    std::vector<std::uint16_t> languages;
    std::u16string expectedSerial;
};

TEST_F(DeviceTest, SerialTextFollowsTheLanguageListRule) {
    const TextCase cases[] = {
        {"ten characters", u"ABCDEFGH12", {0x0409}, u"ABCDEFGH12"},
        {"no serial string", std::nullopt, {0x0409}, u""},
        {"serial repeats the language list", std::u16string(1, char16_t{0x0409}), {0x0409}, u""},
        {"two languages, serial differs in the second",
         std::u16string{0x0409, u'X'},
         {0x0409, 0x041F},
         std::u16string{0x0409, u'X'}},
        {"no language list written", u"ABCDEFGH", {}, u""},
    };
    for (const TextCase& c : cases) {
        DeviceDescription d;
        d.serialString = c.serial;
        d.languages = c.languages;
        addDevice(d);
    }
    start();
    THidDevice* dev[std::size(cases)];
    for (std::size_t i = 0; i < std::size(cases); ++i)
        dev[i] = &acquire(static_cast<int>(i));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(dev[i]->GetSerialText(), cases[i].expectedSerial) << cases[i].name;
        EXPECT_EQ(dev[i]->GetProductText(), u"Norvellix Device V0.0") << cases[i].name;
        EXPECT_FALSE(dev[i]->SyncHandleOpen()) << cases[i].name;
    }
}

TEST_F(DeviceTest, TextsAreReadOnlyWhileTheDeviceIsAccessible) {
    DeviceDescription d;
    d.serialString = u"12345678";
    addDevice(d);
    start();
    THidDevice& dev = controller->deviceAt(0);
    EXPECT_EQ(dev.GetProductText(), u"") << "neither checked out nor in a callback";
    EXPECT_EQ(dev.GetSerialText(), u"");

    std::u16string productInCallback;
    struct Reader {
        std::u16string* out;
        bool read(THidDevice& d, int) {
            *out = d.GetProductText() + u"/" + d.GetSerialText();
            return true;
        }
    } reader{&productInCallback};
    controller->OnEnumerate = THidEnumerateEvent::of<&Reader::read>(reader);
    EXPECT_EQ(controller->EnumerateDevices(), 1);
    EXPECT_EQ(productInCallback, u"Norvellix Device V0.0/12345678");
    EXPECT_EQ(dev.GetProductText(), u"Norvellix Device V0.0") << "cached";
    EXPECT_EQ(bus.audit().openDeviceHandles(), 0) << "a device not taken is closed again";
}

TEST_F(DeviceTest, InputBufferCountsAreWhatTheDeviceAccepted) {
    addDevice();
    start();
    THidDevice& dev = acquire(0);
    dev.SetInputBufferCount(128);
    EXPECT_EQ(dev.SyncInputBufferCount(), 128);
    dev.SetOverlappedInputBufferCount(128);
    EXPECT_EQ(dev.ReadInputBufferCount(), 128);
    EXPECT_TRUE(dev.ReadHandleOpen());

    dev.SetOverlappedInputBufferCount(1); // below what the platform takes
    EXPECT_EQ(dev.ReadInputBufferCount(), 128);

    // The count is kept for the next open and given to it.
    dev.CloseSyncHandle();
    EXPECT_EQ(dev.SyncInputBufferCount(), 0);
    dev.SetInputBufferCount(64);
    ASSERT_TRUE(dev.OpenSyncHandle());
    EXPECT_EQ(dev.SyncInputBufferCount(), 64);
}

TEST_F(DeviceTest, CapabilitiesGiveTheReportSizesAndCacheThePreparsedData) {
    DeviceDescription d;
    d.outputReportLength = 33;
    addDevice(d);
    start();
    THidDevice& dev = acquire(0);
    HidCaps caps;
    dev.GetCapabilities(caps);
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(caps.OutputReportByteLength, 33);
    const PreparsedData first = dev.FetchPreparsedData();
    EXPECT_NE(first, kNullPreparsedData);
    EXPECT_EQ(dev.FetchPreparsedData(), first);
    EXPECT_EQ(bus.audit().preparsedDataHeld(), 1);
    EXPECT_FALSE(dev.SyncHandleOpen());
}

TEST_F(DeviceTest, CapabilitiesWithoutPreparsedDataAreZeroAndAskThePlatformNothing) {
    addDevice();
    start();
    THidDevice& listed = controller->deviceAt(0); // not checked out: nothing can be fetched
    HidCaps caps;
    caps.InputReportByteLength = 7;
    caps.OutputReportByteLength = 7;
    listed.GetCapabilities(caps);
    EXPECT_EQ(caps.InputReportByteLength, 0);
    EXPECT_EQ(caps.OutputReportByteLength, 0);
    EXPECT_EQ(listed.FetchPreparsedData(), kNullPreparsedData);
    EXPECT_TRUE(bus.audit().misuse.empty()) << bus.audit().describe();
}

TEST_F(DeviceTest, WritesTheStartCommandThroughTheSynchronousHandle) {
    const DeviceId id = addDevice();
    start();
    THidDevice& dev = acquire(0);
    std::vector<std::uint8_t> report(65, 0);
    const char* text = "\x19\x11Norvellix";
    std::memcpy(report.data() + 1, text, 11);
    const std::uint8_t tail[] = {4, 0, 9, 6, 'm', 'V', 25, 129};
    std::memcpy(report.data() + 57, tail, sizeof tail);
    Dword written = 0;
    ASSERT_TRUE(dev.WriteReport(report.data(), 65, written));
    EXPECT_EQ(written, 65u);
    const auto out = bus.outputReports(id);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(standin::isStartCommand(out[0].bytes));

    EXPECT_FALSE(dev.WriteReport(report.data(), 64, written)) << "not a whole report";
}

TEST_F(DeviceTest, DeviceOpenedWithoutAccessIsIdentifiedButCannotWriteOrRead) {
    DeviceDescription d;
    d.heldExclusively = true;
    const DeviceId id = addDevice(d);
    start();
    ASSERT_EQ(controller->deviceCount(), 1);
    THidDevice& dev = acquire(0);
    EXPECT_FALSE(dev.ReadWriteAccess());
    EXPECT_EQ(dev.Attributes().ProductID, 0xC5A7);
    std::vector<std::uint8_t> report(65, 0);
    Dword written = 7;
    EXPECT_FALSE(dev.WriteReport(report.data(), 65, written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(bus.outputReports(id).empty());
    struct Sink {
        void data(THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {}
    } sink;
    dev.SetDataHandler(THidDataEvent::of<&Sink::data>(sink));
    EXPECT_EQ(dev.ReadThread(), nullptr);
}

// Holds the user-interface thread inside the close of a device's overlapped write
// handle, once its read handle was closed, until the reader has made its next move:
// it opens the device again, or it finds that it cannot start a read.
class ReaderStepApi final : public ForwardingApi {
public:
    explicit ReaderStepApi(Api& inner) : ForwardingApi(inner) {}

    Handle CreateFileA(const char* f, Dword a, Dword s, SecurityAttributes* sa, Dword c, Dword fl,
                       Handle t) override {
        const Handle h = inner().CreateFileA(f, a, s, sa, c, fl, t);
        std::lock_guard lock(mutex_);
        if (fl & kFileFlagOverlapped)
            (a & kGenericWrite ? writeHandles_ : readHandles_).insert(h);
        if (std::this_thread::get_id() != ui_ && h != kInvalidHandleValue)
            noteReaderMove(true);
        return h;
    }
    Dword GetLastError() override {
        const Dword e = inner().GetLastError();
        if (std::this_thread::get_id() != ui_) {
            std::lock_guard lock(mutex_);
            noteReaderMove(false);
        }
        return e;
    }
    bool CloseHandle(Handle h) override {
        const bool closed = inner().CloseHandle(h);
        if (std::this_thread::get_id() != ui_)
            return closed;
        std::unique_lock lock(mutex_);
        if (readHandles_.count(h)) {
            armed_ = true;
            moved_ = false;
        } else if (writeHandles_.count(h) && armed_) {
            moved_changed_.wait(lock, [this] { return moved_; });
            armed_ = false;
        }
        return closed;
    }

    bool reopened() const {
        std::lock_guard lock(mutex_);
        return reopened_;
    }

private:
    void noteReaderMove(bool opened) {
        if (!armed_ || moved_)
            return;
        moved_ = true;
        reopened_ = reopened_ || opened;
        moved_changed_.notify_all();
    }

    const std::thread::id ui_ = std::this_thread::get_id();
    mutable std::mutex mutex_;
    std::condition_variable moved_changed_;
    std::set<Handle> readHandles_, writeHandles_;
    bool armed_ = false;
    bool moved_ = false;
    bool reopened_ = false;
};

TEST_F(DeviceTest, AReaderDoesNotOpenADeviceThatIsBeingMarkedUnplugged) {
    DeviceDescription silent;
    silent.silent = true; // the reader waits with a read pending
    addDevice(silent);
    ReaderStepApi steps(api);
    controller = std::make_unique<THidDeviceController>(steps, pump);
    settle();
    THidDevice& dev = acquire(0);
    dev.SetReadThreadWait(10);
    ASSERT_TRUE(dev.OpenOverlappedHandle(true)); // closed after the read side
    struct Ignore {
        void data(THidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {}
    } ignore;
    dev.SetDataHandler(THidDataEvent::of<&Ignore::data>(ignore));
    ASSERT_TRUE(pumpUntil([&] { return dev.ReadHandleOpen(); }, 1h));
    const int opened = bus.audit().devices[0].handlesOpened;

    dev.MarkUnplugged(); // the reader's pending read ends while the handles close
    EXPECT_FALSE(steps.reopened()) << "the reader opened the device again";
    EXPECT_FALSE(dev.ReadHandleOpen());
    EXPECT_EQ(bus.audit().devices[0].handlesOpened, opened);
    held.clear();
    controller.reset(); // before the API it was made with
}

TEST_F(DeviceTest, ReadThreadWaitAcceptsTenToTenThousand) {
    addDevice();
    start();
    THidDevice& dev = controller->deviceAt(0);
    const std::pair<int, int> cases[] = {{9, 100}, {10, 10}, {10000, 10000}, {10001, 10000}};
    for (auto [set, expected] : cases) {
        dev.SetReadThreadWait(set);
        EXPECT_EQ(dev.ReadThreadWait(), expected) << "after " << set;
    }
}

TEST_F(DeviceTest, ConstructionRaisesItsTwoErrors) {
    const DeviceId id = addDevice();
    ProcessBindings& b = processBindings();
    ASSERT_TRUE(b.setupApi.LoadSetupApiBinding(api));
    auto info = [&](std::string path) {
        return std::make_unique<THidPnPInfo>(kInvalidDevInfo, DeviceInfoData{}, std::move(path));
    };
    // HID not bound: the device opens, but nothing can identify it.
    try {
        THidDevice dev(api, info(bus.interfacePath(id)), nullptr);
        ADD_FAILURE() << "expected EControllerError";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "device cannot be identified");
    }
    ASSERT_TRUE(b.hid.LoadHidBinding(api));
    try {
        THidDevice dev(api, info("\\\\?\\hid#no_such_device"), nullptr);
        ADD_FAILURE() << "expected EControllerError";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "device cannot be opened");
    }
    EXPECT_EQ(b.hid.referenceCount(), 1) << "a device that failed gives its reference back";
    b.hid.UnloadHidBinding();
    b.setupApi.UnloadSetupApiBinding();
    EXPECT_EQ(bus.audit().openDeviceHandles(), 0);
}

} // namespace
} // namespace hidcontroller::testing
