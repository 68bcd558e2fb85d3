// The process backend with NORVELLIX_SIMULATOR naming a scenario file: every call of
// the process reaches the scenario's simulated devices.
#include "backend/process_api.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace backend {

using namespace platform;
namespace {

TEST(ProcessApi, ScenarioFileDecidesTheDevices) {
    const char* path = "process_api_scenario.scn";
    std::ofstream(path) << "device A instance=0c0ffee0\n";
#ifdef _WIN32
    _putenv_s(kSimulatorVariable, path);
#else
    setenv(kSimulatorVariable, path, 1);
#endif
    Api& api = processApi();
    ASSERT_NE(processSimulatedBus(), nullptr);
    EXPECT_EQ(processSimulatedBus()->interfacePath(0),
              interfacePathFor(0x04D8, 0xC5A7, "0c0ffee0"));

    const Handle h =
        api.CreateFileA(processSimulatedBus()->interfacePath(0).c_str(), 0,
                        kFileShareRead | kFileShareWrite, nullptr, kOpenExisting, 0, kNullHandle);
    HidAttributes attributes;
    attributes.Size = kHidAttributesSize;
    EXPECT_TRUE(api.HidD_GetAttributes(h, &attributes));
    EXPECT_EQ(attributes.ProductID, 0xC5A7);
    EXPECT_TRUE(api.CloseHandle(h));
    EXPECT_TRUE(processSimulatedBus()->audit().clean());
}

} // namespace
} // namespace backend
