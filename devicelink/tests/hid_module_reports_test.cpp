// Reports: reads within the time limit and what a time-out leaves behind, the shared
// event of both devices, writes, the error texts, and many plug cycles.
#include "devicelink/tests/link_fixture.h"

#include <chrono>
#include <gtest/gtest.h>

namespace devicelink::testing {
namespace {

using namespace std::chrono_literals;
using platform::DeviceAction;
using platform::kInvalidHandleValue;

class ReadTest : public LinkTest {
protected:
    std::vector<HandleCall> readCalls() const {
        std::vector<HandleCall> found;
        for (const auto& c : api.calls)
            if (c.name == "ReadFile" || c.name == "WaitForSingleObject" || c.name == "ResetEvent" ||
                c.name == "CancelIo" || c.name == "CloseHandle")
                found.push_back(c);
        return found;
    }
    bool eventSignalled() { return simulated.WaitForSingleObject(link->ReadEvent, 0) == 0; }
};

TEST_F(ReadTest, ReadBringsTheDevicesReportAndLeavesTheEventReset) {
    addCallerId(7);
    link->FindDevice1();
    link->ReadInputReport1();
    EXPECT_TRUE(link->DeviceDetected_1);
    EXPECT_EQ(link->ReadBuffer_1[0], 0);
    EXPECT_EQ(link->ReadBuffer_1[1], 7);
    EXPECT_FALSE(eventSignalled());
    EXPECT_EQ(log.contexts.back(), "ResetEvent");
}

TEST_F(ReadTest, SilentDeviceIsMarkedLostAfterTheTimeLimit) {
    const auto a = addCallerId(7);
    link->FindDevice1();
    link->ReadInputReport1();
    const ReportBuffer before = link->ReadBuffer_1;
    const auto readHandle = link->ReadHandle_1;
    bus.apply(a, DeviceAction::GoSilent);

    log.contexts.clear();
    api.calls.clear();
    const auto t0 = bus.now();
    link->ReadInputReport1();
    const auto waited = bus.now() - t0;
    EXPECT_GE(waited, 500ms);
    EXPECT_LT(waited, 600ms);
    EXPECT_FALSE(link->DeviceDetected_1);
    EXPECT_EQ(link->ReadBuffer_1, before);
    EXPECT_EQ(link->ReadHandle_1, readHandle) << "the variable keeps its value";
    EXPECT_EQ(openHandlesOf(a), 1) << "the reading handle is closed, the writing handle stays";
    EXPECT_EQ(log.contexts, (std::vector<std::string>{"ReadFile", "WaitForSingleObject", "CancelIo",
                                                      "CloseHandle (ReadHandle_1)", "ResetEvent"}));
    for (const auto& c : readCalls()) {
        if (c.name != "WaitForSingleObject" && c.name != "ResetEvent") {
            EXPECT_EQ(c.handle, readHandle) << c.name;
        }
    }
}

// After the time-out the old value may name another object: later reads and closes
// use it no more, and the device is marked lost again after the time limit.
TEST_F(ReadTest, ClosedReadingHandleIsNeverUsedOrClosedAgain) {
    const auto a = addCallerId(7);
    const auto b = addCallerId(8);
    link->FindDevice1();
    bus.apply(a, DeviceAction::GoSilent);
    link->ReadInputReport1();
    ASSERT_FALSE(link->DeviceDetected_1);
    // Opens after the close may be given the freed value again.
    link->FindDevice2();
    bus.apply(a, DeviceAction::Resume);

    api.calls.clear();
    const auto t0 = bus.now();
    link->ReadInputReport1();
    EXPECT_GE(bus.now() - t0, 500ms);
    EXPECT_FALSE(link->DeviceDetected_1);
    link->CloseReadHandle1();
    const auto calls = readCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().name, "ReadFile");
    EXPECT_EQ(calls.front().handle, kInvalidHandleValue);
    EXPECT_TRUE(api.callsNamed("CancelIo").empty());
    EXPECT_TRUE(api.callsNamed("CloseHandle").empty());
    EXPECT_EQ(openHandlesOf(b), 2) << "Device2 is untouched";
}

// The event is created signalled; a first read that fails at once must not take that
// for a report.
TEST_F(ReadTest, ReadingHandleThatCouldNotBeOpenedMarksTheDeviceLost) {
    addCallerId(7);
    api.failOverlappedOpens = true;
    link->FindDevice1();
    ASSERT_TRUE(link->DeviceDetected_1);
    ASSERT_EQ(link->ReadHandle_1, kInvalidHandleValue);
    link->ReadBuffer_1.fill(0xAA);
    link->ReadInputReport1();
    EXPECT_FALSE(link->DeviceDetected_1);
    EXPECT_EQ(link->ReadBuffer_1[1], 0xAA);
    EXPECT_TRUE(api.callsNamed("CancelIo").empty());
}

TEST_F(ReadTest, TwoDevicesShareTheEventOneReadAfterTheOther) {
    addCallerId(1);
    addCallerId(2);
    link->FindDevice1();
    ASSERT_TRUE(link->DeviceDetected_2);
    const auto event = link->ReadEvent;
    api.calls.clear();
    link->ReadInputReport1();
    link->ReadInputReport2();

    EXPECT_EQ(link->ReadBuffer_1[1], 1);
    EXPECT_EQ(link->ReadBuffer_2[1], 2);
    EXPECT_EQ(link->ReadOverlapped.hEvent, event);
    const auto calls = readCalls();
    const std::vector<std::pair<std::string, platform::Handle>> want = {
        {"ReadFile", link->ReadHandle_1}, {"WaitForSingleObject", event}, {"ResetEvent", event},
        {"ReadFile", link->ReadHandle_2}, {"WaitForSingleObject", event}, {"ResetEvent", event}};
    ASSERT_EQ(calls.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(calls[i].name, want[i].first) << "call " << i;
        EXPECT_EQ(calls[i].handle, want[i].second) << "call " << i;
    }
}

// What one read leaves in the shared event never decides the other device's read.
TEST_F(ReadTest, OneSilentDeviceDoesNotAffectTheOthersRead) {
    for (const int silent : {1, 2}) {
        platform::SimulatedBus caseBus;
        platform::SimulatedApi caseApi{caseBus};
        const auto a = caseBus.addDevice({}, std::make_unique<TaggedSource>(1));
        const auto b = caseBus.addDevice({}, std::make_unique<TaggedSource>(2));
        {
            HIDmodule caseLink{caseApi, Variant::CrmControl};
            caseLink.FindDevice1();
            caseBus.apply(silent == 1 ? a : b, DeviceAction::GoSilent);
            caseLink.ReadInputReport1();
            caseLink.ReadInputReport2();
            EXPECT_EQ(caseLink.DeviceDetected_1, silent != 1) << "device " << silent << " silent";
            EXPECT_EQ(caseLink.DeviceDetected_2, silent != 2) << "device " << silent << " silent";
            EXPECT_TRUE(caseBus.audit().misuse.empty()) << caseBus.audit().describe();
        }
        EXPECT_TRUE(caseBus.audit().clean()) << caseBus.audit().describe();
    }
}

// ---- Writes.

using WriteTest = LinkTest;

TEST_F(WriteTest, WritesReportIdZeroAndThePayloadToTheOutputLength) {
    for (const std::uint16_t length : {65, 66}) {
        platform::SimulatedBus caseBus;
        platform::SimulatedApi caseApi{caseBus};
        platform::DeviceDescription d;
        d.outputReportLength = length;
        const auto a = caseBus.addDevice(d, std::make_unique<TaggedSource>(1));
        HIDmodule caseLink{caseApi, Variant::CrmControl};
        caseLink.FindDevice1();
        for (std::size_t i = 0; i < caseLink.OutputReportData.size(); ++i)
            caseLink.OutputReportData[i] = static_cast<std::uint8_t>(i + 1);
        caseLink.WriteOutputReport1();

        const auto reports = caseBus.outputReports(a);
        ASSERT_EQ(reports.size(), 1u) << "length " << length;
        const auto& sent = reports.front().bytes;
        ASSERT_EQ(sent.size(), length);
        EXPECT_EQ(sent[0], 0);
        for (std::size_t k = 1; k < length; ++k)
            EXPECT_EQ(sent[k], caseLink.OutputReportData[k - 1]) << "byte " << k;
    }
}

TEST_F(WriteTest, EachVariantWritesWhereItShould) {
    const struct {
        Variant variant;
        std::size_t toDevice2;
    } cases[] = {{Variant::CrmControl, 1}, {Variant::Recorder, 0}};
    for (const auto& c : cases) {
        platform::SimulatedBus caseBus;
        platform::SimulatedApi caseApi{caseBus};
        const auto a = caseBus.addDevice({}, std::make_unique<TaggedSource>(1));
        const auto b = caseBus.addDevice({}, std::make_unique<TaggedSource>(2));
        HIDmodule caseLink{caseApi, c.variant};
        caseLink.FindDevice1();
        caseLink.WriteOutputReport1();
        caseLink.WriteOutputReport2();
        EXPECT_EQ(caseBus.outputReports(a).size(), 1u);
        EXPECT_EQ(caseBus.outputReports(b).size(), c.toDevice2);
    }
}

TEST_F(WriteTest, WriteIsCheckedAsWriteFile) {
    addCallerId(1);
    link->FindDevice1();
    log.contexts.clear();
    link->WriteOutputReport1();
    EXPECT_EQ(log.contexts, std::vector<std::string>{"WriteFile"});
}

// ---- Error texts and diagnostics.

using DiagnosticsTest = LinkTest;

TEST_F(DiagnosticsTest, SystemErrorTextDropsTheLineEndAndIsEmptyForUnknownCodes) {
    EXPECT_EQ(link->GetSystemErrorText(0x2000ABCD), "");
    const std::string known = link->GetSystemErrorText(platform::kErrorInvalidHandle);
    ASSERT_FALSE(known.empty());
    EXPECT_NE(known.back(), '\n');
    EXPECT_NE(known.back(), '\r');
}

TEST_F(DiagnosticsTest, BytesAsHex) {
    const std::uint8_t bytes[] = {5, 0, 171, 16, 255};
    EXPECT_EQ(HIDmodule::FormatBytesAsHex(bytes, 5), "05 00 AB 10 FF ");
    EXPECT_EQ(HIDmodule::FormatBytesAsHex(bytes, 0), "");
}

// ---- Many connections.

using LifecycleTest = LinkTest;

// Devices come and go a thousand times with discovery, presence scans, reads and the
// supervision's forgetting in between; at no point is a handle open that the module
// state does not hold. Cycles take one device away (found missing by the presence
// scan) or both (found missing by time-outs).
TEST_F(LifecycleTest, PlugCyclesLeaveNoHandleBeyondTheModuleState) {
    const platform::DeviceId devices[] = {addCallerId(1), addCallerId(2)};
    addForeign(0x046D, 0xC077);
    auto heldByModule = [&] {
        std::vector<platform::Handle> held;
        for (auto h :
             {link->ReadHandle_1, link->ReadHandle_2, link->WriteHandle_1, link->WriteHandle_2})
            if (h != kInvalidHandleValue && std::find(held.begin(), held.end(), h) == held.end())
                held.push_back(h);
        return static_cast<int>(held.size());
    };
    // What the supervision does with a lost device: forget it without closing anything.
    auto forgetLostDevices = [&] {
        if (!link->DeviceDetected_1 || !link->Device1Seen) {
            link->DevicePathName_1.clear();
            link->HIDHandle_1 = link->ReadHandle_1 = kInvalidHandleValue;
        }
        if (!link->DeviceDetected_2) {
            link->DevicePathName_2.clear();
            link->HIDHandle_2 = link->ReadHandle_2 = kInvalidHandleValue;
        }
    };
    link->FindDevice1();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        const bool both = cycle % 3 == 2;
        for (const auto d : devices)
            if (both || d == devices[cycle % 2])
                bus.apply(d, DeviceAction::Unplug);
        if (both) {
            link->ReadInputReport1();
            link->ReadInputReport2();
        } else {
            link->ScanDevicePresence();
        }
        forgetLostDevices();
        link->FindDevice1();

        for (const auto d : devices)
            bus.apply(d, DeviceAction::Plug);
        link->ScanDevicePresence();
        if (link->MatchingDeviceCount == 2) {
            // The two-device rescan: both reading handles closed first.
            link->CloseReadHandle1();
            link->CloseReadHandle2();
            link->FindDevice1();
        }
        const auto audit = bus.audit();
        ASSERT_LE(audit.openDeviceHandles(), heldByModule()) << "cycle " << cycle;
        ASSERT_EQ(audit.openDeviceInfoSets, 0) << "cycle " << cycle;
        ASSERT_EQ(audit.preparsedDataHeld(), 0) << "cycle " << cycle;
        ASSERT_TRUE(audit.misuse.empty()) << "cycle " << cycle << ": " << audit.describe();
        ASSERT_TRUE(link->DeviceDetected_1 && link->DeviceDetected_2) << "cycle " << cycle;
    }
    link->CloseAllHandles();
    EXPECT_EQ(bus.audit().openDeviceHandles(), 0);
}

} // namespace
} // namespace devicelink::testing
