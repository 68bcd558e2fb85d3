// The process backend with NORVELLIX_SIMULATOR naming a scenario file that cannot be
// used: the simulated bus is chosen, the refusal is reported and no device appears.
#include "backend/process_api.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace backend {

using namespace platform;
namespace {

void setVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

TEST(ProcessApi, BadScenarioGivesAnEmptySimulatedBus) {
    setVariable(kSimulatorVariable, "no-such-scenario.txt");
    ::testing::internal::CaptureStderr();
    Api& api = processApi();
    const std::string message = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(processSimulatedBus(), nullptr);
    EXPECT_NE(message.find("no-such-scenario.txt"), std::string::npos) << message;

    const DevInfo set = api.SetupDiGetClassDevsA(&kHidInterfaceClassGuid, nullptr, kNullWindow,
                                                 kDigcfPresent | kDigcfDeviceInterface);
    DeviceInterfaceData iface;
    iface.cbSize = kDeviceInterfaceDataSize;
    EXPECT_FALSE(api.SetupDiEnumDeviceInterfaces(set, nullptr, &kHidInterfaceClassGuid, 0, &iface));
    EXPECT_EQ(api.GetLastError(), kErrorNoMoreItems);
    api.SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(&processApi(), &api) << "one backend for the process";
}

} // namespace
} // namespace backend
