// The run-time binding: all or nothing per library, the SetupAPI count, the HID
// binding's version gates and its references.
#include "hidcontroller/hid.h"
#include "hidcontroller/setup_api.h"
#include "platform/simulated_bus.h"

#include <gtest/gtest.h>
#include <set>

namespace hidcontroller::testing {
namespace {

using namespace platform;

class BindingTest : public ::testing::Test {
protected:
    SimulatedBus bus{ClockMode::Fast};
    SimulatedApi api{bus};
    SetupApiBinding setupApi;
    HidBinding hid;

    int moduleReferences() const { return bus.audit().loadedModuleReferences; }
    template <typename Binding> static int boundSlots(const Binding& b, std::size_t n) {
        int bound = 0;
        for (std::size_t i = 0; i < n; ++i)
            bound += b.slot(i) != kNullProc ? 1 : 0;
        return bound;
    }
    void TearDown() override {
        const Audit a = bus.audit();
        EXPECT_TRUE(a.clean()) << a.describe();
    }
};

TEST_F(BindingTest, SetupApiTableHoldsTheCalledEntriesWithTheirPairedForms) {
    const std::vector<std::string> expected = {
        "SetupDiGetClassDevsA",
        "SetupDiGetClassDevsW",
        "SetupDiGetClassDevsA",
        "SetupDiEnumDeviceInterfaces",
        "SetupDiEnumDeviceInterfaces",
        "SetupDiGetDeviceInterfaceDetailA",
        "SetupDiGetDeviceInterfaceDetailA",
        "SetupDiGetDeviceInterfaceDetailW",
        "SetupDiGetDeviceInterfaceDetailW",
        "SetupDiGetDeviceInterfaceDetailA",
        "SetupDiGetDeviceInterfaceDetailA",
        "SetupDiGetDeviceRegistryPropertyA",
        "SetupDiGetDeviceRegistryPropertyW",
        "SetupDiGetDeviceRegistryPropertyA",
        "SetupDiDestroyDeviceInfoList",
    };
    EXPECT_EQ(SetupApiBinding::slotExports(), expected);
}

TEST_F(BindingTest, SetupApiIsCountedAndFreedWithTheLastReference) {
    ASSERT_TRUE(setupApi.LoadSetupApiBinding(api));
    EXPECT_EQ(setupApi.referenceCount(), 1);
    EXPECT_EQ(boundSlots(setupApi, SetupApiBinding::kSlotCount), SetupApiBinding::kSlotCount);
    EXPECT_EQ(moduleReferences(), 1);

    const Module first = setupApi.module();
    ASSERT_TRUE(setupApi.LoadSetupApiBinding(api));
    EXPECT_EQ(setupApi.referenceCount(), 2);
    EXPECT_EQ(setupApi.module(), first);
    EXPECT_EQ(moduleReferences(), 1) << "a second reference loads nothing";

    setupApi.UnloadSetupApiBinding();
    EXPECT_EQ(moduleReferences(), 1);
    EXPECT_NE(setupApi.slot(SetupApiBinding::GetClassDevsA), kNullProc);

    setupApi.UnloadSetupApiBinding();
    EXPECT_EQ(setupApi.referenceCount(), 0);
    EXPECT_EQ(setupApi.module(), kNullModule);
    EXPECT_EQ(boundSlots(setupApi, SetupApiBinding::kSlotCount), 0);
    EXPECT_EQ(moduleReferences(), 0);
}

TEST_F(BindingTest, SetupApiMissingOneExportBindsNothing) {
    for (const char* missing :
         {"SetupDiGetDeviceInterfaceDetailW", "SetupDiDestroyDeviceInfoList"}) {
        SimulatedBus b;
        SimulatedApi a{b};
        b.hideExport("setupapi.dll", missing);
        SetupApiBinding binding;
        EXPECT_FALSE(binding.LoadSetupApiBinding(a)) << missing;
        EXPECT_EQ(binding.referenceCount(), 0) << missing;
        EXPECT_EQ(binding.module(), kNullModule) << missing;
        EXPECT_EQ(boundSlots(binding, SetupApiBinding::kSlotCount), 0) << missing;
        EXPECT_EQ(b.audit().loadedModuleReferences, 0) << missing;
        EXPECT_EQ(binding.SetupDiGetClassDevsA(nullptr, nullptr, kNullWindow, 0), kInvalidDevInfo);
    }
}

TEST_F(BindingTest, SetupApiMissingModuleLeavesTheCountWhereItWas) {
    bus.hideModule("SetupApi.dll");
    EXPECT_FALSE(setupApi.LoadSetupApiBinding(api));
    EXPECT_EQ(setupApi.referenceCount(), 0);
}

TEST_F(BindingTest, HidTableHas46SlotsForTheExportsInOrder) {
    const auto& t = HidBinding::slotExports();
    EXPECT_STREQ(t[0], "HidD_Hello");
    EXPECT_STREQ(t[HidBinding::GetCaps], "HidP_GetCaps");
    EXPECT_STREQ(t[HidBinding::GetIndexedString], "HidD_GetIndexedString");
    EXPECT_STREQ(t[26], "HidP_GetUsages");
    EXPECT_STREQ(t[27], "HidP_GetUsages");
    EXPECT_STREQ(t[45], "HidP_InitializeReportForID");
    std::set<std::string> names(t.begin(), t.end());
    EXPECT_EQ(names.size(), 41u);
}

struct GateCase {
    const char* platform;
    PlatformVersion version;
    bool inputReport;        // HidD_GetInputReport, HidD_SetOutputReport
    bool extendedAttributes; // HidP_GetExtendedAttributes, HidP_InitializeReportForID
};

TEST_F(BindingTest, HidVersionGatesBindOnlyWhatThePlatformHasAndNeverFail) {
    const GateCase cases[] = {
        {"NT 5.1", {kVerPlatformWin32Nt, 5, 1, 2600, ""}, true, true},
        {"NT 5.0", {kVerPlatformWin32Nt, 5, 0, 2195, ""}, false, true},
        {"NT 6.0", {kVerPlatformWin32Nt, 6, 0, 6002, ""}, true, true},
        {"NT 4.0", {kVerPlatformWin32Nt, 4, 0, 1381, ""}, false, false},
        {"Windows 98", {kVerPlatformWin32Windows, 4, 10, 2222, ""}, false, false},
    };
    for (const GateCase& c : cases) {
        SimulatedBus b;
        SimulatedApi a{b};
        b.setPlatformVersion(c.version);
        HidBinding binding;
        ASSERT_TRUE(binding.LoadHidBinding(a)) << c.platform;
        EXPECT_TRUE(binding.IsHidBound()) << c.platform;
        EXPECT_EQ(binding.slot(HidBinding::GetInputReport) != kNullProc, c.inputReport)
            << c.platform;
        EXPECT_EQ(binding.slot(HidBinding::SetOutputReport) != kNullProc, c.inputReport)
            << c.platform;
        EXPECT_EQ(binding.slot(HidBinding::GetExtendedAttributes) != kNullProc,
                  c.extendedAttributes)
            << c.platform;
        EXPECT_EQ(binding.slot(HidBinding::InitializeReportForID) != kNullProc,
                  c.extendedAttributes)
            << c.platform;
        const int gated = (c.inputReport ? 2 : 0) + (c.extendedAttributes ? 2 : 0);
        EXPECT_EQ(boundSlots(binding, HidBinding::kSlotCount), 42 + gated) << c.platform;
        binding.UnloadHidBinding();
        EXPECT_FALSE(binding.IsHidBound()) << c.platform;
        EXPECT_EQ(boundSlots(binding, HidBinding::kSlotCount), 0) << c.platform;
        EXPECT_EQ(b.audit().loadedModuleReferences, 0) << c.platform;
    }
}

TEST_F(BindingTest, HidMissingAnUngatedExportBindsNothing) {
    bus.hideExport("hid.dll", "HidP_TranslateUsagesToI8042ScanCodes");
    EXPECT_FALSE(hid.LoadHidBinding(api));
    EXPECT_FALSE(hid.IsHidBound());
    EXPECT_EQ(boundSlots(hid, HidBinding::kSlotCount), 0);
    EXPECT_EQ(moduleReferences(), 0);
    Guid g = kHidInterfaceClassGuid;
    g.Data1 = 1;
    hid.HidD_GetHidGuid(&g); // an unbound slot calls nothing
    EXPECT_EQ(g.Data1, 1u);
}

TEST_F(BindingTest, HidMissingModuleIsNoBinding) {
    bus.hideModule("hid.dll");
    EXPECT_FALSE(hid.LoadHidBinding(api));
    EXPECT_FALSE(hid.retain());
}

TEST_F(BindingTest, HidStaysBoundWhileAReferenceRemains) {
    ASSERT_TRUE(hid.LoadHidBinding(api));
    ASSERT_TRUE(hid.retain()); // a device object's reference
    hid.UnloadHidBinding();    // its controller goes
    EXPECT_TRUE(hid.IsHidBound());
    EXPECT_NE(hid.slot(HidBinding::FreePreparsedData), kNullProc);
    EXPECT_EQ(moduleReferences(), 1);
    hid.UnloadHidBinding();
    EXPECT_FALSE(hid.IsHidBound());
    EXPECT_EQ(moduleReferences(), 0);
}

} // namespace
} // namespace hidcontroller::testing
