// The contracts of the simulated platform calls that the device link and the HID
// controller rely on.
#include "platform/tests/bus_fixture.h"

#include <thread>

namespace platform::testing {
namespace {

// The device link's interface walk: every path in enumeration order.
std::vector<std::string> walkPaths(Api& api, Dword flags = kDigcfPresent | kDigcfDeviceInterface) {
    Guid guid;
    api.HidD_GetHidGuid(&guid);
    const DevInfo set = api.SetupDiGetClassDevsA(&guid, nullptr, kNullWindow, flags);
    std::vector<std::string> paths;
    for (Dword i = 0;; ++i) {
        DeviceInterfaceData iface;
        iface.cbSize = kDeviceInterfaceDataSize;
        if (!api.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &iface))
            break;
        Dword required = 0;
        api.SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &required, nullptr);
        std::vector<std::uint8_t> detail(required + 1);
        const Dword sizeField = kDeviceInterfaceDetailDataSize;
        std::memcpy(detail.data(), &sizeField, 4);
        EXPECT_TRUE(api.SetupDiGetDeviceInterfaceDetailA(set, &iface, detail.data(), required + 1,
                                                         nullptr, nullptr));
        paths.emplace_back(reinterpret_cast<const char*>(detail.data() + 4));
    }
    api.SetupDiDestroyDeviceInfoList(set);
    return paths;
}

class Enumeration : public BusTest {
protected:
    DevInfo set = kInvalidDevInfo;
    DeviceInterfaceData iface;

    void SetUp() override {
        addCallerId();
        set = api.SetupDiGetClassDevsA(&kHidInterfaceClassGuid, nullptr, kNullWindow,
                                       kDigcfPresent | kDigcfDeviceInterface);
        iface.cbSize = kDeviceInterfaceDataSize;
        ASSERT_TRUE(
            api.SetupDiEnumDeviceInterfaces(set, nullptr, &kHidInterfaceClassGuid, 0, &iface));
    }
    void TearDown() override { EXPECT_TRUE(api.SetupDiDestroyDeviceInfoList(set)); }
};

TEST_F(Enumeration, ListsPresentInterfacesInTheOrderTheyWereAdded) {
    DeviceDescription other;
    other.vendorId = 0x046D;
    other.productId = 0xC077;
    const DeviceId mouse = bus.addDevice(other, nullptr);
    const DeviceId second = addCallerId();
    const DeviceId gone = addCallerId({}, 0, false);

    const std::vector<std::string> expected = {bus.interfacePath(0), bus.interfacePath(mouse),
                                               bus.interfacePath(second)};
    EXPECT_EQ(walkPaths(api), expected);
    EXPECT_EQ(walkPaths(api, kDigcfDeviceInterface).back(), bus.interfacePath(gone))
        << "without the present flag, absent interfaces are listed too";
    EXPECT_EQ(bus.interfacePath(0).substr(0, 25), "\\\\?\\hid#vid_04d8&pid_c5a7");
    EXPECT_NE(bus.interfacePath(mouse).find("vid_046d&pid_c077"), std::string::npos);
}

TEST_F(Enumeration, EndsWithNoMoreItems) {
    DeviceInterfaceData next;
    next.cbSize = kDeviceInterfaceDataSize;
    EXPECT_FALSE(api.SetupDiEnumDeviceInterfaces(set, nullptr, &kHidInterfaceClassGuid, 1, &next));
    EXPECT_EQ(api.GetLastError(), kErrorNoMoreItems);
}

TEST_F(Enumeration, RefusesRecordsWithoutTheirSizeFields) {
    DeviceInterfaceData wrong;
    wrong.cbSize = 32;
    EXPECT_FALSE(api.SetupDiEnumDeviceInterfaces(set, nullptr, &kHidInterfaceClassGuid, 0, &wrong));
    EXPECT_EQ(api.GetLastError(), kErrorInvalidUserBuffer);

    std::vector<std::uint8_t> detail(200);
    const Dword size64 = 8;
    std::memcpy(detail.data(), &size64, 4);
    EXPECT_FALSE(
        api.SetupDiGetDeviceInterfaceDetailA(set, &iface, detail.data(), 200, nullptr, nullptr));
    EXPECT_EQ(api.GetLastError(), kErrorInvalidUserBuffer);
}

TEST_F(Enumeration, DetailIsAskedTwiceFirstForItsSize) {
    Dword required = 0;
    DeviceInfoData info;
    info.cbSize = kDeviceInfoDataSize;
    EXPECT_FALSE(api.SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &required, &info));
    EXPECT_EQ(api.GetLastError(), kErrorInsufficientBuffer);
    const std::string path = bus.interfacePath(0);
    EXPECT_EQ(required, 4 + path.size() + 1);

    std::vector<std::uint8_t> detail(required);
    const Dword sizeField = kDeviceInterfaceDetailDataSize;
    std::memcpy(detail.data(), &sizeField, 4);
    EXPECT_FALSE(api.SetupDiGetDeviceInterfaceDetailA(set, &iface, detail.data(), required - 1,
                                                      nullptr, nullptr));
    EXPECT_EQ(api.GetLastError(), kErrorInsufficientBuffer);
    ASSERT_TRUE(
        api.SetupDiGetDeviceInterfaceDetailA(set, &iface, detail.data(), required, nullptr, &info));
    EXPECT_EQ(reinterpret_cast<const char*>(detail.data() + 4), path);
    EXPECT_NE(info.DevInst, 0u);
}

TEST_F(Enumeration, AnswersRegistryPropertiesWithTheirSizes) {
    DeviceInfoData info;
    info.cbSize = kDeviceInfoDataSize;
    Dword required = 0;
    api.SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &required, &info);

    Dword type = 0;
    std::uint8_t small[4];
    EXPECT_FALSE(api.SetupDiGetDeviceRegistryPropertyA(set, &info, kSpdrpClass, &type, small,
                                                       sizeof small, &required));
    EXPECT_EQ(api.GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(required, 9u);
    std::uint8_t text[1024] = {};
    EXPECT_TRUE(api.SetupDiGetDeviceRegistryPropertyA(set, &info, kSpdrpClass, &type, text,
                                                      sizeof text, nullptr));
    EXPECT_STREQ(reinterpret_cast<const char*>(text), "HIDClass");
    EXPECT_EQ(type, kRegSz);
    EXPECT_FALSE(
        api.SetupDiGetDeviceRegistryPropertyA(set, &info, 30, &type, text, sizeof text, nullptr));
    EXPECT_EQ(api.GetLastError(), kErrorInvalidData);
}

TEST_F(Enumeration, SetOutlivesTheUnplugButTheOpenFails) {
    bus.apply(0, DeviceAction::Unplug);
    Dword required = 0;
    api.SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &required, nullptr);
    EXPECT_EQ(api.GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(open(0, kGenericRead | kGenericWrite), kInvalidHandleValue);
    EXPECT_EQ(api.GetLastError(), kErrorFileNotFound);
}

// ---- opening

struct OpenCase {
    const char* name;
    bool heldElsewhere;
    bool ownFirst;    // a read-write handle of our own is opened first,
    Dword firstShare; // with this sharing
    Dword access;
    bool opens;
    Dword error;
};

class Opening : public BusTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(Opening, HonoursAccessAndSharing) {
    const OpenCase& c = GetParam();
    DeviceDescription d;
    d.heldExclusively = c.heldElsewhere;
    const DeviceId dev = addCallerId(d);
    Handle first = kInvalidHandleValue;
    if (c.ownFirst)
        first = open(dev, kGenericRead | kGenericWrite, 0, c.firstShare);
    const Handle h = open(dev, c.access);
    EXPECT_EQ(h != kInvalidHandleValue, c.opens);
    if (!c.opens) {
        EXPECT_EQ(api.GetLastError(), c.error);
    }
    api.CloseHandle(h);
    api.CloseHandle(first);
    expectCleanAudit();
}

constexpr Dword kRW = kGenericRead | kGenericWrite;
constexpr Dword kShareRW = kFileShareRead | kFileShareWrite;

INSTANTIATE_TEST_SUITE_P(
    Cases, Opening,
    ::testing::Values(
        OpenCase{"free", false, false, 0, kRW, true, 0},
        OpenCase{"held elsewhere", true, false, 0, kRW, false, kErrorSharingViolation},
        OpenCase{"held elsewhere, read", true, false, 0, kGenericRead, false,
                 kErrorSharingViolation},
        OpenCase{"held elsewhere, access 0", true, false, 0, 0, true, 0},
        OpenCase{"shared handle of ours", false, true, kShareRW, kRW, true, 0},
        OpenCase{"own exclusive handle", false, true, 0, kRW, false, kErrorSharingViolation},
        OpenCase{"own exclusive handle, access 0", false, true, 0, 0, true, 0},
        OpenCase{"own read-only sharing, write", false, true, kFileShareRead, kGenericWrite, false,
                 kErrorSharingViolation},
        OpenCase{"own read-only sharing, read", false, true, kFileShareRead, kGenericRead, true,
                 0}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST_F(BusTest, AccessZeroIdentifiesButNeitherReadsNorWrites) {
    const DeviceId dev = addCallerId();
    const Handle h = open(dev, 0, kFileFlagOverlapped);
    ASSERT_NE(h, kInvalidHandleValue);
    HidAttributes attributes;
    attributes.Size = kHidAttributesSize;
    ASSERT_TRUE(api.HidD_GetAttributes(h, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x04D8);
    EXPECT_EQ(attributes.ProductID, 0xC5A7);

    Report r{};
    Overlapped ov;
    EXPECT_FALSE(api.ReadFile(h, r.data(), 65, nullptr, &ov));
    EXPECT_EQ(api.GetLastError(), kErrorAccessDenied);
    EXPECT_FALSE(api.WriteFile(h, r.data(), 65, nullptr, &ov));
    EXPECT_EQ(api.GetLastError(), kErrorAccessDenied);
    EXPECT_TRUE(api.CloseHandle(h));
    EXPECT_TRUE(bus.outputReports(dev).empty());
    expectCleanAudit();
}

TEST_F(BusTest, UnknownPathIsNotFound) {
    EXPECT_EQ(api.CreateFileA("\\\\?\\hid#nothing", kRW, kShareRW, nullptr, kOpenExisting, 0,
                              kNullHandle),
              kInvalidHandleValue);
    EXPECT_EQ(api.GetLastError(), kErrorFileNotFound);
}

// ---- reading

class Reading : public BusTest {
protected:
    DeviceId dev = 0;
    Handle reader = kInvalidHandleValue;
    Handle event = kNullHandle;
    bool misuseExpected = false;

    void SetUp() override {
        dev = addCallerId();
        reader = openReader(dev);
        event = api.CreateEventA(nullptr, true, true, "");
        ASSERT_NE(reader, kInvalidHandleValue);
        ASSERT_NE(event, kNullHandle);
    }
    void TearDown() override {
        api.CloseHandle(reader);
        api.CloseHandle(event);
        if (!misuseExpected)
            expectCleanAudit();
    }
};

TEST_F(Reading, OverlappedReadSignalsItsEventWithTheNextReport) {
    Report r{};
    Overlapped ov;
    ov.hEvent = event;
    EXPECT_FALSE(api.ReadFile(reader, r.data(), 65, nullptr, &ov));
    EXPECT_EQ(api.GetLastError(), kErrorIoPending);
    EXPECT_EQ(api.WaitForSingleObject(event, 0), kWaitTimeout)
        << "the read resets the initially signalled event";
    EXPECT_EQ(api.WaitForSingleObject(event, 500), kWaitObject0);
    EXPECT_EQ(stampOf(r), 0u);
    EXPECT_EQ(bus.now(), kReportInterval) << "fast mode moves the clock to the report";
    Dword n = 0;
    EXPECT_TRUE(api.GetOverlappedResult(reader, &ov, &n, false));
    EXPECT_EQ(n, 65u);

    api.ResetEvent(event);
    EXPECT_EQ(readReport(reader, event, r), kWaitObject0);
    EXPECT_EQ(stampOf(r), 1u) << "each read gets the next report";
}

TEST_F(Reading, SilentDeviceTimesOutAndLeavesTheBufferAlone) {
    bus.apply(dev, DeviceAction::GoSilent);
    Report r{};
    r[1] = 0xEE;
    const Microseconds before = bus.now();
    EXPECT_EQ(readReport(reader, event, r), kWaitTimeout);
    EXPECT_EQ(bus.now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(r[1], 0xEE);
}

TEST_F(Reading, CancelIoEndsThePendingReadAsAborted) {
    bus.apply(dev, DeviceAction::GoSilent);
    Report r{};
    Overlapped ov;
    ov.hEvent = event;
    api.ReadFile(reader, r.data(), 65, nullptr, &ov);
    Dword n = 99;
    EXPECT_FALSE(api.GetOverlappedResult(reader, &ov, &n, false));
    EXPECT_EQ(api.GetLastError(), kErrorIoIncomplete);
    EXPECT_TRUE(api.CancelIo(reader));
    EXPECT_FALSE(api.GetOverlappedResult(reader, &ov, &n, false));
    EXPECT_EQ(api.GetLastError(), kErrorOperationAborted);
    EXPECT_EQ(n, 0u);
}

TEST_F(Reading, ReadOnClosedHandleFailsAtOnceAndIsRecorded) {
    ASSERT_TRUE(api.CloseHandle(reader));
    api.ResetEvent(event); // as the previous read left it
    Report r{};
    EXPECT_EQ(readReport(reader, event, r), kWaitTimeout)
        << "the failed read never signals the event";
    EXPECT_FALSE(api.CloseHandle(reader));
    misuseExpected = true;
    const Audit a = bus.audit();
    ASSERT_EQ(a.misuse.size(), 3u) << a.describe();
    EXPECT_EQ(a.misuse[0].kind, MisuseKind::ReadOnClosedHandle);
    EXPECT_EQ(a.misuse[1].kind, MisuseKind::OtherUseOfClosedHandle); // CancelIo
    EXPECT_EQ(a.misuse[2].kind, MisuseKind::CloseOfClosedHandle);
    EXPECT_EQ(a.misuse[2].interfacePath, bus.interfacePath(dev));
    EXPECT_FALSE(a.clean());
    reader = kInvalidHandleValue;
}

TEST_F(Reading, ReadOnInvalidHandleIsNoMisuse) {
    Report r{};
    Overlapped ov;
    ov.hEvent = event;
    EXPECT_FALSE(api.ReadFile(kInvalidHandleValue, r.data(), 65, nullptr, &ov));
    EXPECT_EQ(api.GetLastError(), kErrorInvalidHandle);
    EXPECT_TRUE(bus.audit().misuse.empty());
}

TEST_F(Reading, ShortBufferIsRefused) {
    Report r{};
    Overlapped ov;
    ov.hEvent = event;
    EXPECT_FALSE(api.ReadFile(reader, r.data(), 64, nullptr, &ov));
    EXPECT_EQ(api.GetLastError(), kErrorInvalidUserBuffer);
}

TEST_F(Reading, InputBufferKeepsTheNewestReports) {
    Dword count = 0;
    ASSERT_TRUE(api.HidD_GetNumInputBuffers(reader, &count));
    EXPECT_EQ(count, 32u);
    EXPECT_FALSE(api.HidD_SetNumInputBuffers(reader, 1));
    EXPECT_FALSE(api.HidD_SetNumInputBuffers(reader, 513));
    ASSERT_TRUE(api.HidD_SetNumInputBuffers(reader, 2));
    bus.advance(100 * kReportInterval); // 100 reports arrive, the ring keeps two
    Report r{};
    ASSERT_EQ(readReport(reader, event, r), kWaitObject0);
    EXPECT_EQ(stampOf(r), 98u);
    ASSERT_EQ(readReport(reader, event, r), kWaitObject0);
    EXPECT_EQ(stampOf(r), 99u);
}

TEST_F(Reading, EveryHandleGetsEveryReport) {
    const Handle second = openReader(dev);
    Report a{}, b{};
    ASSERT_EQ(readReport(reader, event, a), kWaitObject0);
    ASSERT_EQ(readReport(second, event, b), kWaitObject0);
    EXPECT_EQ(stampOf(a), stampOf(b));
    api.CloseHandle(second);
}

// ---- completion routines

Dword routineError = 0;
Dword routineBytes = 0;
int routineRuns = 0;
void recordCompletion(Dword error, Dword bytes, Overlapped*) {
    routineError = error;
    routineBytes = bytes;
    ++routineRuns;
}

class CompletionRoutines : public Reading {
protected:
    void SetUp() override {
        Reading::SetUp();
        routineRuns = 0;
        routineError = routineBytes = 12345;
    }
};

TEST_F(CompletionRoutines, RunOnlyInsideAnAlertableSleep) {
    Report r{};
    Overlapped ov;
    ASSERT_TRUE(api.ReadFileEx(reader, r.data(), 65, &ov, recordCompletion));
    EXPECT_EQ(api.SleepEx(100, false), 0u);
    EXPECT_EQ(routineRuns, 0) << "a report came, but the wait was not alertable";
    Dword n = 0;
    EXPECT_TRUE(api.GetOverlappedResult(reader, &ov, &n, false));
    EXPECT_EQ(n, 65u);
    EXPECT_EQ(api.SleepEx(100, true), kWaitIoCompletion);
    EXPECT_EQ(routineRuns, 1);
    EXPECT_EQ(routineError, kErrorSuccess);
    EXPECT_EQ(routineBytes, 65u);
    EXPECT_EQ(api.SleepEx(0, true), 0u) << "nothing is queued any more";
}

TEST_F(CompletionRoutines, AlertableSleepEndsEarlyWhenTheReportComes) {
    Report r{};
    Overlapped ov;
    ASSERT_TRUE(api.ReadFileEx(reader, r.data(), 65, &ov, recordCompletion));
    const Microseconds before = bus.now();
    EXPECT_EQ(api.SleepEx(10000, true), kWaitIoCompletion);
    EXPECT_LE(bus.now() - before, kReportInterval);
}

TEST_F(CompletionRoutines, ClosingThePendingReadQueuesItAsAborted) {
    bus.apply(dev, DeviceAction::GoSilent);
    Report r{};
    Overlapped ov;
    ASSERT_TRUE(api.ReadFileEx(reader, r.data(), 65, &ov, recordCompletion));
    EXPECT_EQ(api.SleepEx(100, true), 0u);
    ASSERT_TRUE(api.CloseHandle(reader));
    reader = kInvalidHandleValue;
    EXPECT_EQ(api.SleepEx(100, true), kWaitIoCompletion);
    EXPECT_EQ(routineError, kErrorOperationAborted);
    EXPECT_EQ(routineBytes, 0u);
}

TEST_F(CompletionRoutines, RunOnTheThreadThatStartedTheRead) {
    Report r{};
    Overlapped ov;
    ASSERT_TRUE(api.ReadFileEx(reader, r.data(), 65, &ov, recordCompletion));
    Dword other = 1;
    std::thread([&] { other = api.SleepEx(50, true); }).join();
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(routineRuns, 0);
    EXPECT_EQ(api.SleepEx(0, true), kWaitIoCompletion);
}

// ---- unplugging, writing, strings

TEST_F(Reading, UnplugEndsThePendingReadAndTheHandleStaysToBeClosed) {
    std::vector<int> broadcasts;
    bus.addDeviceChangeListener([&] { broadcasts.push_back(1); });
    bus.schedule(bus.now() + std::chrono::milliseconds(9), dev, DeviceAction::Unplug);
    Report r{};
    Overlapped ov;
    ov.hEvent = event;
    int reports = 0;
    Dword wait = kWaitObject0;
    for (; reports < 100; ++reports) {
        ov = Overlapped{};
        ov.hEvent = event;
        api.ResetEvent(event);
        api.ReadFile(reader, r.data(), 65, nullptr, &ov);
        wait = api.WaitForSingleObject(event, 500);
        Dword n = 0;
        if (wait != kWaitObject0 || !api.GetOverlappedResult(reader, &ov, &n, false))
            break;
    }
    EXPECT_EQ(reports, 4) << "reports at 2, 4, 6 and 8 ms; the unplug at 9 ms ends the fifth";
    EXPECT_EQ(api.GetLastError(), kErrorDeviceNotConnected);
    EXPECT_EQ(broadcasts.size(), 1u);
    EXPECT_FALSE(api.ReadFile(reader, r.data(), 65, nullptr, &ov));
    EXPECT_EQ(api.GetLastError(), kErrorDeviceNotConnected);
    EXPECT_EQ(bus.audit().openDeviceHandles(), 1) << "the stale handle still needs its close";

    bus.apply(dev, DeviceAction::Plug);
    EXPECT_EQ(broadcasts.size(), 2u);
    EXPECT_FALSE(api.ReadFile(reader, r.data(), 65, nullptr, &ov))
        << "a handle from before the unplug stays dead";
}

TEST_F(BusTest, WritesAreRecordedAndMustHaveTheReportLength) {
    const DeviceId dev = addCallerId();
    const Handle writer = open(dev, kGenericWrite);
    std::array<std::uint8_t, 66> report{};
    report[1] = 25;
    Dword written = 0;
    EXPECT_FALSE(api.WriteFile(writer, report.data(), 66, &written, nullptr));
    EXPECT_EQ(api.GetLastError(), kErrorInvalidParameter);
    bus.advance(std::chrono::milliseconds(3));
    ASSERT_TRUE(api.WriteFile(writer, report.data(), 65, &written, nullptr));
    EXPECT_EQ(written, 65u);
    const auto out = bus.outputReports(dev);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, std::vector<std::uint8_t>(report.begin(), report.begin() + 65));
    EXPECT_EQ(out[0].at, std::chrono::milliseconds(3));
    api.CloseHandle(writer);
    expectCleanAudit();
}

std::u16string wideText(const std::uint8_t* bytes, std::size_t maxChars) {
    std::u16string s;
    for (std::size_t i = 0; i < maxChars; ++i) {
        const char16_t c = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (c == 0)
            break;
        s += c;
    }
    return s;
}

TEST_F(BusTest, StringsAndTheLanguageList) {
    DeviceDescription withSerial;
    withSerial.serialString = u"AB12CD34EF";
    const DeviceId a = addCallerId(withSerial);
    const DeviceId b = addCallerId();
    const Handle ha = open(a, 0);
    const Handle hb = open(b, 0);
    std::uint8_t buffer[508] = {};
    ASSERT_TRUE(api.HidD_GetProductString(ha, buffer, sizeof buffer));
    EXPECT_EQ(wideText(buffer, 254), u"Norvellix Device V0.0");
    ASSERT_TRUE(api.HidD_GetSerialNumberString(ha, buffer, sizeof buffer));
    EXPECT_EQ(wideText(buffer, 254), u"AB12CD34EF");
    EXPECT_FALSE(api.HidD_GetSerialNumberString(hb, buffer, sizeof buffer))
        << "a device without a serial string";

    std::fill(std::begin(buffer), std::end(buffer), std::uint8_t{0xFF});
    ASSERT_TRUE(api.HidD_GetIndexedString(ha, 0, buffer, sizeof buffer));
    EXPECT_EQ(buffer[0], 0x09);
    EXPECT_EQ(buffer[1], 0x04);
    EXPECT_EQ(buffer[2], 0xFF) << "the language list has no terminator";
    api.CloseHandle(ha);
    api.CloseHandle(hb);
    expectCleanAudit();
}

TEST_F(BusTest, CapabilitiesComeFromPreparsedDataUntilItIsFreed) {
    DeviceDescription d;
    d.outputReportLength = 9;
    const Handle h = open(addCallerId(d), 0);
    PreparsedData data = kNullPreparsedData;
    ASSERT_TRUE(api.HidD_GetPreparsedData(h, &data));
    api.CloseHandle(h);
    HidCaps caps;
    ASSERT_EQ(api.HidP_GetCaps(data, &caps), kHidpStatusSuccess);
    EXPECT_EQ(caps.InputReportByteLength, 65);
    EXPECT_EQ(caps.OutputReportByteLength, 9);
    EXPECT_EQ(bus.audit().preparsedDataHeld(), 1);
    EXPECT_TRUE(api.HidD_FreePreparsedData(data));
    EXPECT_EQ(api.HidP_GetCaps(data, &caps), kHidpStatusInvalidPreparsedData);
    EXPECT_FALSE(api.HidD_FreePreparsedData(data));
    EXPECT_EQ(api.HidP_GetCaps(kNullPreparsedData, &caps), kHidpStatusInvalidPreparsedData);
    const Audit a = bus.audit();
    ASSERT_EQ(a.misuse.size(), 3u);
    EXPECT_EQ(a.misuse[1].kind, MisuseKind::FreeOfFreedPreparsedData);
    EXPECT_EQ(a.misuse[2].kind, MisuseKind::NilPreparsedData);
}

// ---- errors, modules, version

struct MessageCase {
    Dword code;
    const char* text;
};

class SystemMessages : public BusTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(SystemMessages, EndWithCarriageReturnAndLineFeed) {
    char buffer[129] = {};
    const Dword n = api.FormatMessageA(kFormatMessageFromSystem, nullptr, GetParam().code, 0,
                                       buffer, 128, nullptr);
    EXPECT_EQ(std::string(buffer, n), std::string(GetParam().text) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SystemMessages,
    ::testing::Values(MessageCase{0, "The operation completed successfully."},
                      MessageCase{6, "The handle is invalid."},
                      MessageCase{122, "The data area passed to a system call is too small."},
                      MessageCase{259, "No more data is available."},
                      MessageCase{997, "Overlapped I/O operation is in progress."},
                      MessageCase{1167, "The device is not connected."}));

TEST_F(BusTest, UnknownMessageAndShortBufferGiveNothing) {
    char buffer[129] = {};
    EXPECT_EQ(
        api.FormatMessageA(kFormatMessageFromSystem, nullptr, 0xDEAD, 0, buffer, 128, nullptr), 0u);
    EXPECT_EQ(api.GetLastError(), kErrorMrMidNotFound);
    EXPECT_EQ(api.FormatMessageA(kFormatMessageFromSystem, nullptr, 6, 0, buffer, 10, nullptr), 0u);
    EXPECT_EQ(api.GetLastError(), kErrorInsufficientBuffer);
}

TEST_F(BusTest, LastErrorBelongsToTheThread) {
    api.CloseHandle(kNullHandle);
    EXPECT_EQ(api.GetLastError(), kErrorInvalidHandle);
    Dword other = 99;
    std::thread([&] { other = api.GetLastError(); }).join();
    EXPECT_EQ(other, kErrorSuccess);
}

TEST_F(BusTest, ModulesLoadByNameAndAreCounted) {
    const Module hid = api.LoadLibraryA("HID.dll");
    ASSERT_NE(hid, kNullModule);
    EXPECT_EQ(api.LoadLibraryA("hid"), hid) << "names ignore case; .dll is implied";
    EXPECT_NE(api.GetProcAddress(hid, "HidD_GetAttributes"), kNullProc);
    EXPECT_EQ(api.GetProcAddress(hid, "hidd_getattributes"), kNullProc)
        << "export names are case-sensitive";
    EXPECT_EQ(api.GetLastError(), kErrorProcNotFound);
    EXPECT_EQ(bus.audit().loadedModuleReferences, 2);
    EXPECT_TRUE(api.FreeLibrary(hid));
    EXPECT_TRUE(api.FreeLibrary(hid));
    EXPECT_FALSE(api.FreeLibrary(hid));
    EXPECT_EQ(bus.audit().misuse.size(), 1u);

    const Module kernel = api.LoadLibraryA("kernel32.dll");
    EXPECT_NE(api.GetProcAddress(kernel, "CancelIo"), kNullProc);
    const Module setup = api.LoadLibraryA("SetupApi.dll");
    EXPECT_NE(api.GetProcAddress(setup, "SetupDiGetDeviceRegistryPropertyA"), kNullProc);
    EXPECT_EQ(api.LoadLibraryA("nothere.dll"), kNullModule);
    EXPECT_EQ(api.GetLastError(), kErrorModNotFound);
}

TEST_F(BusTest, HiddenModulesAndExportsAreMissing) {
    bus.hideModule("SetupApi.dll");
    bus.hideExport("HID.dll", "HidP_GetCaps");
    EXPECT_EQ(api.LoadLibraryA("SETUPAPI.DLL"), kNullModule);
    const Module hid = api.LoadLibraryA("HID.dll");
    EXPECT_EQ(api.GetProcAddress(hid, "HidP_GetCaps"), kNullProc);
    EXPECT_NE(api.GetProcAddress(hid, "HidD_GetHidGuid"), kNullProc);
    api.FreeLibrary(hid);
}

struct VersionCase {
    PlatformVersion version;
    bool inputReport;        // HidD_GetInputReport, HidD_SetOutputReport
    bool extendedAttributes; // HidP_GetExtendedAttributes, HidP_InitializeReportForID
};

class VersionGates : public BusTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionGates, LaterExportsExistOnlyFromTheirVersion) {
    const VersionCase& c = GetParam();
    bus.setPlatformVersion(c.version);
    OsVersionInfo info;
    info.dwOSVersionInfoSize = kOsVersionInfoSize;
    ASSERT_TRUE(api.GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, c.version.platformId);
    EXPECT_EQ(info.dwMajorVersion, c.version.major);
    EXPECT_EQ(info.dwMinorVersion, c.version.minor);
    const Module hid = api.LoadLibraryA("HID.dll");
    EXPECT_EQ(api.GetProcAddress(hid, "HidD_GetInputReport") != kNullProc, c.inputReport);
    EXPECT_EQ(api.GetProcAddress(hid, "HidD_SetOutputReport") != kNullProc, c.inputReport);
    EXPECT_EQ(api.GetProcAddress(hid, "HidP_GetExtendedAttributes") != kNullProc,
              c.extendedAttributes);
    EXPECT_EQ(api.GetProcAddress(hid, "HidP_InitializeReportForID") != kNullProc,
              c.extendedAttributes);
    api.FreeLibrary(hid);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionGates,
    ::testing::Values(VersionCase{{kVerPlatformWin32Windows, 4, 90, 3000, ""}, false, false},
                      VersionCase{{kVerPlatformWin32Nt, 4, 0, 1381, ""}, false, false},
                      VersionCase{{kVerPlatformWin32Nt, 5, 0, 2195, ""}, false, true},
                      VersionCase{{kVerPlatformWin32Nt, 5, 1, 2600, ""}, true, true},
                      VersionCase{{kVerPlatformWin32Nt, 6, 0, 6002, ""}, true, true}));

TEST_F(BusTest, VersionRecordMustCarryItsSize) {
    OsVersionInfo info;
    info.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(api.GetVersionExA(&info));
    EXPECT_EQ(api.GetLastError(), kErrorInsufficientBuffer);
    info.dwOSVersionInfoSize = kOsVersionInfoSize;
    ASSERT_TRUE(api.GetVersionExA(&info));
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 3");
}

} // namespace
} // namespace platform::testing
