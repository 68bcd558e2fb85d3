// Discovery and presence: which devices the walks accept, in which order, what they
// open and close, and when the presence scan forgets Device2.
#include "devicelink/tests/link_fixture.h"

#include <gtest/gtest.h>

namespace devicelink::testing {
namespace {

using platform::kInvalidHandleValue;

using DiscoveryTest = LinkTest;

TEST_F(DiscoveryTest, OneDeviceBecomesDevice1AndDevice2StaysUndetected) {
    const auto a = addCallerId(1);
    link->FindDevice1();

    EXPECT_TRUE(link->DeviceDetected_1);
    EXPECT_EQ(link->DevicePathName_1, path(a));
    EXPECT_NE(link->ReadHandle_1, kInvalidHandleValue);
    EXPECT_NE(link->WriteHandle_1, kInvalidHandleValue);
    EXPECT_NE(link->HIDHandle_1, kInvalidHandleValue);
    EXPECT_EQ(link->Capabilities.InputReportByteLength, 65);
    EXPECT_EQ(link->Capabilities.OutputReportByteLength, 65);
    EXPECT_NE(link->ReadEvent, platform::kNullHandle);
    EXPECT_EQ(link->ReadOverlapped.hEvent, link->ReadEvent);

    EXPECT_FALSE(link->DeviceDetected_2);
    EXPECT_EQ(link->DevicePathName_2, "");
    EXPECT_EQ(link->ReadHandle_2, kInvalidHandleValue);
    EXPECT_EQ(link->WriteHandle_2, kInvalidHandleValue);
    // The identity handles (Device1's, and FindDevice2's skipped one) are closed;
    // the reading and writing handles remain.
    EXPECT_EQ(openHandlesOf(a), 2);
}

TEST_F(DiscoveryTest, TwoDevicesAreAssignedInEnumerationOrderOnEveryRun) {
    const auto a = addCallerId(1);
    const auto b = addCallerId(2);
    for (int run = 0; run < 3; ++run) {
        link->CloseAllHandles();
        link->FindDevice1();
        ASSERT_TRUE(link->DeviceDetected_1 && link->DeviceDetected_2) << "run " << run;
        EXPECT_EQ(link->DevicePathName_1, path(a)) << "run " << run;
        EXPECT_EQ(link->DevicePathName_2, path(b)) << "run " << run;
        EXPECT_EQ(openHandlesOf(a), 2) << "run " << run;
        EXPECT_EQ(openHandlesOf(b), 2) << "run " << run;
    }
}

TEST_F(DiscoveryTest, NoDevicePresentOpensNothing) {
    addForeign(0x046D, 0xC077);
    link->FindDevice1();
    EXPECT_FALSE(link->DeviceDetected_1);
    EXPECT_FALSE(link->DeviceDetected_2);
    EXPECT_EQ(link->ReadHandle_1, kInvalidHandleValue);
    EXPECT_EQ(link->ReadEvent, platform::kNullHandle);
    EXPECT_EQ(bus.audit().openDeviceHandles(), 0);
}

// FindDevice2 accepts a device carrying Device1's path only when it is also Device2's.
TEST_F(DiscoveryTest, FindDevice2ReacceptsDevicePathName2) {
    const auto a = addCallerId(1);
    const struct {
        std::string knownDevice2;
        bool accepted;
    } cases[] = {{path(a), true}, {"", false}};
    for (const auto& c : cases) {
        link->CloseAllHandles();
        link->DevicePathName_1 = path(a);
        link->DevicePathName_2 = c.knownDevice2;
        link->FindDevice2();
        EXPECT_EQ(link->DeviceDetected_2, c.accepted)
            << "Device2 known as '" << c.knownDevice2 << "'";
        EXPECT_EQ(link->DevicePathName_2, c.knownDevice2);
        EXPECT_EQ(openHandlesOf(a), c.accepted ? 2 : 0);
    }
}

// After Device1 goes, the remaining device is both Device1 and (still) Device2.
TEST_F(DiscoveryTest, RemainingDeviceIsReacceptedAsDevice2AfterDevice1Goes) {
    const auto a = addCallerId(1);
    const auto b = addCallerId(2);
    link->FindDevice1();
    bus.apply(a, platform::DeviceAction::Unplug);
    link->CloseAllHandles();
    link->FindDevice1();
    EXPECT_EQ(link->DevicePathName_1, path(b));
    EXPECT_TRUE(link->DeviceDetected_2);
    EXPECT_EQ(link->DevicePathName_2, path(b));
}

TEST_F(DiscoveryTest, ForeignDeviceIsOpenedOnlyForItsIdentity) {
    const auto keyboard = addForeign(0x046D, 0xC077);
    const auto sameVendor = addForeign(0x04D8, 0x000A);
    const auto a = addCallerId(1);
    link->FindDevice1();

    EXPECT_EQ(link->DevicePathName_1, path(a));
    for (const auto foreign : {keyboard, sameVendor}) {
        const auto opens = api.callsNamed("CreateFileA");
        int opened = 0;
        for (const auto& c : opens)
            if (c.path == path(foreign)) {
                ++opened;
                EXPECT_EQ(c.flags, 0u) << "only identity handles are opened on " << path(foreign);
            }
        EXPECT_EQ(opened, 2) << "one identity handle per walk on " << path(foreign);
        EXPECT_EQ(openHandlesOf(foreign), 0);
    }
}

TEST_F(DiscoveryTest, CandidateThatCannotBeOpenedIsRejected) {
    platform::DeviceDescription held;
    held.heldExclusively = true;
    const auto busy = addCallerId(1, held);
    const auto free = addCallerId(2);
    link->FindDevice1();
    EXPECT_EQ(link->DevicePathName_1, path(free));
    EXPECT_FALSE(link->DeviceDetected_2);
    EXPECT_EQ(openHandlesOf(busy), 0);
}

// A device whose reports would not fit the module's buffers is refused like a foreign
// one; a fitting device after it is still found, and Capabilities keeps its lengths.
TEST_F(DiscoveryTest, DeviceWithOversizedReportsIsRefused) {
    const struct {
        std::uint16_t input, output;
        bool accepted;
    } cases[] = {{66, 65, false}, {65, 67, false}, {65, 66, true}, {64, 65, true}};
    for (const auto& c : cases) {
        platform::SimulatedBus caseBus;
        platform::SimulatedApi caseApi{caseBus};
        platform::DeviceDescription d;
        d.inputReportLength = c.input;
        d.outputReportLength = c.output;
        const auto odd = caseBus.addDevice(d, std::make_unique<TaggedSource>(1));
        const auto normal = caseBus.addDevice({}, std::make_unique<TaggedSource>(2));
        {
            HIDmodule caseLink{caseApi, Variant::CrmControl};
            caseLink.FindDevice1();
            const auto want =
                c.accepted ? caseBus.interfacePath(odd) : caseBus.interfacePath(normal);
            EXPECT_EQ(caseLink.DevicePathName_1, want) << c.input << "/" << c.output;
            EXPECT_EQ(caseBus.audit().devices.at(odd).openHandles, c.accepted ? 2 : 0)
                << c.input << "/" << c.output;
            EXPECT_LE(caseLink.Capabilities.InputReportByteLength, kMaxInputReportLength);
            EXPECT_LE(caseLink.Capabilities.OutputReportByteLength, kMaxOutputReportLength);
        }
        EXPECT_TRUE(caseBus.audit().clean()) << caseBus.audit().describe();
    }
}

TEST_F(DiscoveryTest, RediscoveryClosesTheHandlesItReplaces) {
    const auto a = addCallerId(1);
    link->FindDevice1();
    // The supervision forgets the reading handle's value without closing it.
    link->ReadHandle_1 = kInvalidHandleValue;
    link->FindDevice1();
    link->FindDevice1();
    EXPECT_EQ(openHandlesOf(a), 2);
}

TEST_F(DiscoveryTest, RecorderOpensDevice2ForReadingOnly) {
    link = makeLink(Variant::Recorder);
    addCallerId(1);
    const auto b = addCallerId(2);
    link->FindDevice1();
    ASSERT_TRUE(link->DeviceDetected_2);
    EXPECT_NE(link->WriteHandle_1, kInvalidHandleValue);
    EXPECT_EQ(link->WriteHandle_2, kInvalidHandleValue);
    EXPECT_EQ(openHandlesOf(b), 1);
    const auto opens = api.callsNamed("CreateFileA");
    ASSERT_FALSE(opens.empty());
    const auto& reading = opens.back();
    EXPECT_EQ(reading.handle, link->ReadHandle_2);
    EXPECT_EQ(reading.access, platform::kGenericRead | platform::kGenericWrite);
    EXPECT_EQ(reading.flags, platform::kFileFlagOverlapped);
}

TEST_F(DiscoveryTest, ChecksEveryPlatformCallWithItsContext) {
    const auto keyboard = addForeign(0x046D, 0xC077);
    const auto a = addCallerId(1);
    (void)keyboard;
    (void)a;
    link->FindDevice1();

    const std::vector<std::string> member = {"SetupDiEnumDeviceInterfaces",
                                             "SetupDiGetDeviceInterfaceDetail",
                                             " Result of second call: "};
    const std::vector<std::string> identity = {"CreateFile", "HidD_GetAttributes"};
    const std::vector<std::string> caps = {"HidD_GetPreparsedData", "HidP_GetCaps",
                                           "HidD_FreePreparsedData"};
    std::vector<std::string> want;
    auto add = [&](const std::vector<std::string>& part) {
        want.insert(want.end(), part.begin(), part.end());
    };
    // FindDevice1: the keyboard is rejected, the caller-ID device accepted.
    add({"GetHidGuid", "SetupDiClassDevs"});
    add(member), add(identity), add({"CloseHandle"});
    add(member), add(identity), add(caps);
    add({"DestroyDeviceInfoList", "CreateFile, ReadHandle_1", "CreateEvent",
         "CreateFile, WriteHandle_1", "CloseHandle"});
    // FindDevice2: the keyboard is rejected, Device1 skipped, the enumeration ends.
    add({"GetHidGuid", "SetupDiClassDevs"});
    add(member), add(identity), add({"CloseHandle"});
    add(member), add(identity), add({"CloseHandle"});
    add({"SetupDiEnumDeviceInterfaces", "DestroyDeviceInfoList"});
    EXPECT_EQ(log.contexts, want);

    log.contexts.clear();
    link->ScanDevicePresence();
    want = {"GetHidGuid", "SetupDiClassDevs"};
    add(member), add(member);
    add({"SetupDiEnumDeviceInterfaces", "DestroyDeviceInfoList"});
    EXPECT_EQ(log.contexts, want);
}

// ---- The presence scan.

using PresenceTest = LinkTest;

TEST_F(PresenceTest, CountsByPathPrefixInExactLetterCase) {
    // A caller-ID device whose path is written in upper case.
    platform::DeviceDescription upper;
    upper.interfacePath = "\\\\?\\HID#VID_04D8&PID_C5A7#7&1234&0&0000#"
                          "{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const auto shouting = addCallerId(1, upper);
    addForeign(0x046D, 0xC077);
    addCallerId(2);

    link->FindDevice1();
    EXPECT_EQ(link->DevicePathName_1, path(shouting)) << "discovery goes by attributes";
    ASSERT_TRUE(link->DeviceDetected_2);

    link->ScanDevicePresence();
    EXPECT_EQ(link->MatchingDeviceCount, 1) << "only Device2's path has the prefix";
    EXPECT_TRUE(link->Device1Seen);
    EXPECT_TRUE(link->Device2Seen);
}

// An interface with the prefix that is not an open device counts only when discovery
// would accept it: one held elsewhere, one whose reports would not fit, or one whose
// ids are not the caller-ID device's could never become Device2. Testing it opens an
// identity handle, closed at once, and leaves Capabilities to the open devices.
TEST_F(PresenceTest, CountsAnotherDeviceOnlyWhenDiscoveryWouldAcceptIt) {
    const auto described = [](auto change) {
        platform::DeviceDescription d;
        change(d);
        return d;
    };
    const struct {
        const char* what;
        platform::DeviceDescription other;
        int count;
    } cases[] = {
        {"readable", {}, 2},
        {"held exclusively", described([](auto& d) { d.heldExclusively = true; }), 1},
        {"long input reports", described([](auto& d) { d.inputReportLength = 66; }), 1},
        {"long output reports", described([](auto& d) { d.outputReportLength = 67; }), 1},
        {"short reports",
         described([](auto& d) { d.inputReportLength = d.outputReportLength = 9; }), 2},
        {"foreign ids under the prefix", described([](auto& d) {
             d.vendorId = 0x1234;
             d.interfacePath = platform::interfacePathFor(0x04D8, 0xC5A7, "0000abcd");
         }),
         1},
    };
    for (const bool otherFirst : {false, true}) {
        for (const auto& c : cases) {
            const std::string what = std::string(c.what) + (otherFirst ? ", enumerated first" : "");
            platform::SimulatedBus caseBus;
            platform::SimulatedApi caseApi{caseBus};
            const auto add = [&](const platform::DeviceDescription& d) {
                return caseBus.addDevice(d, std::make_unique<TaggedSource>(1));
            };
            const auto other = otherFirst ? add(c.other) : 0;
            const auto first = add({});
            const auto second = otherFirst ? 0 : add(c.other);
            const auto candidate = otherFirst ? other : second;
            {
                HIDmodule caseLink{caseApi, Variant::CrmControl};
                caseLink.DevicePathName_1 = caseBus.interfacePath(first);
                caseLink.Capabilities.InputReportByteLength = 65;
                caseLink.ScanDevicePresence();
                EXPECT_EQ(caseLink.MatchingDeviceCount, c.count) << what;
                EXPECT_TRUE(caseLink.Device1Seen) << what;
                EXPECT_FALSE(caseLink.Device2Seen) << what;
                EXPECT_EQ(caseLink.Capabilities.InputReportByteLength, 65) << what;
                EXPECT_EQ(caseBus.audit().devices.at(candidate).openHandles, 0) << what;
                EXPECT_EQ(caseBus.audit().devices.at(first).handlesOpened, 0)
                    << what << ": Device1 is counted by its path";
            }
            EXPECT_TRUE(caseBus.audit().clean()) << what << ": " << caseBus.audit().describe();
        }
    }
}

TEST_F(PresenceTest, RecorderScansForTheSamePrefix) {
    link = makeLink(Variant::Recorder);
    addCallerId(1);
    platform::DeviceDescription other;
    other.productId = 0x7A4C;
    addCallerId(2, other);
    link->ScanDevicePresence();
    EXPECT_EQ(link->MatchingDeviceCount, 1);
}

TEST_F(PresenceTest, SeenFlagsFollowThePathsAlone) {
    const auto a = addCallerId(1);
    const auto b = addCallerId(2);
    const auto c = addCallerId(3, {}); // plugged later
    bus.apply(c, platform::DeviceAction::Unplug);
    link->FindDevice1();

    link->ScanDevicePresence();
    EXPECT_EQ(link->MatchingDeviceCount, 2);
    EXPECT_TRUE(link->Device1Seen);
    EXPECT_TRUE(link->Device2Seen);

    // Device1 gone: not seen, whatever the count.
    bus.apply(a, platform::DeviceAction::Unplug);
    bus.apply(c, platform::DeviceAction::Plug);
    link->ScanDevicePresence();
    EXPECT_EQ(link->MatchingDeviceCount, 2);
    EXPECT_FALSE(link->Device1Seen);
    EXPECT_TRUE(link->Device2Seen);
    EXPECT_EQ(link->DevicePathName_2, path(b));
    EXPECT_EQ(bus.audit().openDeviceHandles(), 4) << "the scan opens nothing";
}

// When the scan forgets Device2: with one counted interface, once Device2 is the
// same as Device1 or its reading handle is -1 (and then even while a second device
// still follows in the enumeration).
TEST_F(PresenceTest, ForgetsDevice2ByItsRules) {
    enum class Handle2 { Kept, SetToNone };
    const struct {
        const char* what;
        bool unplugDevice2;
        Handle2 handle2;
        bool forgotten;
        bool seen2;
        int count;
    } cases[] = {
        {"one device, ReadHandle_2 -1", true, Handle2::SetToNone, true, false, 1},
        {"one device, ReadHandle_2 kept", true, Handle2::Kept, false, false, 1},
        {"two devices, ReadHandle_2 -1", false, Handle2::SetToNone, true, false, 2},
        {"two devices, ReadHandle_2 kept", false, Handle2::Kept, false, true, 2},
    };
    for (const auto& c : cases) {
        platform::SimulatedBus caseBus;
        platform::SimulatedApi caseApi{caseBus};
        caseBus.addDevice({}, std::make_unique<TaggedSource>(1));
        const auto b = caseBus.addDevice({}, std::make_unique<TaggedSource>(2));
        {
            HIDmodule caseLink{caseApi, Variant::CrmControl};
            caseLink.FindDevice1();
            ASSERT_TRUE(caseLink.DeviceDetected_2) << c.what;
            const auto pathB = caseLink.DevicePathName_2;
            if (c.unplugDevice2)
                caseBus.apply(b, platform::DeviceAction::Unplug);
            if (c.handle2 == Handle2::SetToNone)
                caseLink.ReadHandle_2 = kInvalidHandleValue;
            caseLink.ScanDevicePresence();

            EXPECT_EQ(caseLink.MatchingDeviceCount, c.count) << c.what;
            EXPECT_EQ(caseLink.Device2Seen, c.seen2) << c.what;
            EXPECT_EQ(caseLink.DeviceDetected_2, !c.forgotten) << c.what;
            EXPECT_EQ(caseLink.DevicePathName_2, c.forgotten ? "" : pathB) << c.what;
            EXPECT_TRUE(caseLink.DeviceDetected_1) << c.what;
            // A forgotten Device2 loses its reading handle, never its writing handle.
            EXPECT_EQ(caseBus.audit().devices.at(b).openHandles, c.forgotten ? 1 : 2) << c.what;
        }
        EXPECT_TRUE(caseBus.audit().clean()) << c.what << ": " << caseBus.audit().describe();
    }
}

TEST_F(PresenceTest, ForgetsDevice2ThatIsDevice1) {
    const auto a = addCallerId(1);
    link->DevicePathName_1 = path(a);
    link->DevicePathName_2 = path(a);
    link->FindDevice2();
    ASSERT_TRUE(link->DeviceDetected_2);
    link->ScanDevicePresence();
    EXPECT_FALSE(link->DeviceDetected_2);
    EXPECT_EQ(link->DevicePathName_2, "");
    EXPECT_FALSE(link->Device2Seen);
    EXPECT_TRUE(link->Device1Seen);
}

// Device2's reading handle closed by a time-out keeps its value; when the scan then
// forgets Device2 it closes nothing (the fixture's audit would show a second close).
TEST_F(PresenceTest, ForgettingATimedOutDevice2ClosesNothingTwice) {
    const auto a = addCallerId(1);
    link->DevicePathName_1 = path(a);
    link->DevicePathName_2 = path(a);
    link->FindDevice2();
    ASSERT_TRUE(link->DeviceDetected_2);
    bus.apply(a, platform::DeviceAction::GoSilent);
    link->ReadInputReport2();
    ASSERT_FALSE(link->DeviceDetected_2);
    ASSERT_NE(link->ReadHandle_2, kInvalidHandleValue);

    const auto closesBefore = api.callsNamed("CloseHandle").size();
    link->ScanDevicePresence();
    EXPECT_EQ(link->DevicePathName_2, "");
    EXPECT_EQ(api.callsNamed("CloseHandle").size(), closesBefore);
}

} // namespace
} // namespace devicelink::testing
