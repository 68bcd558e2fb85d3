// The real backend under Windows (here: Wine), where no HID device is present: the
// calls reach the platform, records are translated for this build, completion
// routines run through the backend, and the process backend is the real one.
#include "backend/process_api.h"
#include "platform/windows/real_api.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace platform {
namespace {

TEST(RealApi, ProcessBackendIsRealWithoutTheVariable) {
    _putenv_s(backend::kSimulatorVariable, "");
    EXPECT_EQ(backend::processSimulatedBus(), nullptr);
    EXPECT_NE(dynamic_cast<RealApi*>(&backend::processApi()), nullptr);
}

// Wine lists virtual HID devices of its own; each goes through the device link's walk
// with the 32-bit record sizes.
TEST(RealApi, WalksPresentHidInterfacesWithTheThirtyTwoBitSizes) {
    RealApi api;
    Guid guid;
    api.HidD_GetHidGuid(&guid);
    EXPECT_EQ(guid, kHidInterfaceClassGuid);
    const DevInfo set = api.SetupDiGetClassDevsA(&kHidInterfaceClassGuid, nullptr, kNullWindow,
                                                 kDigcfPresent | kDigcfDeviceInterface);
    DeviceInterfaceData iface;
    iface.cbSize = kDeviceInterfaceDataSize;
    Dword walked = 0;
    for (; api.SetupDiEnumDeviceInterfaces(set, nullptr, &kHidInterfaceClassGuid, walked, &iface);
         ++walked) {
        Dword required = 0;
        EXPECT_FALSE(
            api.SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &required, nullptr));
        EXPECT_EQ(api.GetLastError(), kErrorInsufficientBuffer);
        std::vector<std::uint8_t> detail(required + 1);
        const Dword sizeField = kDeviceInterfaceDetailDataSize;
        std::memcpy(detail.data(), &sizeField, 4);
        DeviceInfoData info;
        info.cbSize = kDeviceInfoDataSize;
        ASSERT_TRUE(api.SetupDiGetDeviceInterfaceDetailA(set, &iface, detail.data(), required + 1,
                                                         nullptr, &info))
            << "error " << api.GetLastError();
        const std::string path(reinterpret_cast<const char*>(detail.data() + 4));
        EXPECT_EQ(path.rfind("\\\\?\\hid#", 0), 0u) << path;

        const Handle h = api.CreateFileA(path.c_str(), 0, kFileShareRead | kFileShareWrite, nullptr,
                                         kOpenExisting, 0, kNullHandle);
        if (h == kInvalidHandleValue)
            continue;
        HidAttributes attributes;
        attributes.Size = kHidAttributesSize;
        EXPECT_TRUE(api.HidD_GetAttributes(h, &attributes));
        PreparsedData data = kNullPreparsedData;
        if (api.HidD_GetPreparsedData(h, &data)) {
            HidCaps caps;
            EXPECT_EQ(api.HidP_GetCaps(data, &caps), kHidpStatusSuccess);
            EXPECT_TRUE(api.HidD_FreePreparsedData(data));
        }
        EXPECT_TRUE(api.CloseHandle(h));
    }
    EXPECT_EQ(api.GetLastError(), kErrorNoMoreItems);
    EXPECT_TRUE(api.SetupDiDestroyDeviceInfoList(set));
    if (walked == 0)
        GTEST_SKIP() << "no HID interface present to walk";
}

TEST(RealApi, TimedWaitAndMessages) {
    RealApi api;
    const Handle event = api.CreateEventA(nullptr, true, false, "");
    ASSERT_NE(event, kNullHandle);
    EXPECT_EQ(api.WaitForSingleObject(event, 1), kWaitTimeout);
    EXPECT_TRUE(api.CloseHandle(event));
    char text[129] = {};
    const Dword n = api.FormatMessageA(kFormatMessageFromSystem, nullptr, kErrorInvalidHandle, 0,
                                       text, 128, nullptr);
    EXPECT_GT(n, 2u);
    EXPECT_EQ(std::string(text + n - 2), "\r\n");
    OsVersionInfo version;
    version.dwOSVersionInfoSize = kOsVersionInfoSize;
    EXPECT_TRUE(api.GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, kVerPlatformWin32Nt);
}

TEST(RealApi, ModulesOfTheBinding) {
    RealApi api;
    for (const char* name : {"SetupApi.dll", "HID.dll", "kernel32.dll"}) {
        const Module m = api.LoadLibraryA(name);
        ASSERT_NE(m, kNullModule) << name;
        EXPECT_TRUE(api.FreeLibrary(m));
    }
    const Module kernel = api.LoadLibraryA("kernel32.dll");
    EXPECT_NE(api.GetProcAddress(kernel, "CancelIo"), kNullProc);
    EXPECT_EQ(api.GetProcAddress(kernel, "NoSuchEntry"), kNullProc);
    EXPECT_EQ(api.GetLastError(), kErrorProcNotFound);
    api.FreeLibrary(kernel);
}

Dword completedBytes = 0;
Overlapped* completedRecord = nullptr;
void onRead(Dword error, Dword bytes, Overlapped* overlapped) {
    completedBytes = error == 0 ? bytes : 0;
    completedRecord = overlapped;
}

TEST(RealApi, ReadFileExCompletesInsideAnAlertableSleep) {
    const char* path = "real_api_test.bin";
    {
        HANDLE f = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        ::WriteFile(f, "0123456789", 10, &n, nullptr);
        ::CloseHandle(f);
    }
    RealApi api;
    const Handle h = api.CreateFileA(path, kGenericRead, kFileShareRead, nullptr, kOpenExisting,
                                     kFileFlagOverlapped, kNullHandle);
    ASSERT_NE(h, kInvalidHandleValue);
    char buffer[10] = {};
    Overlapped overlapped;
    ASSERT_TRUE(api.ReadFileEx(h, buffer, sizeof buffer, &overlapped, onRead));
    Dword result = 0;
    for (int i = 0; i < 50 && result != kWaitIoCompletion; ++i)
        result = api.SleepEx(100, true);
    EXPECT_EQ(result, kWaitIoCompletion);
    EXPECT_EQ(completedBytes, 10u);
    EXPECT_EQ(completedRecord, &overlapped);
    Dword n = 0;
    EXPECT_TRUE(api.GetOverlappedResult(h, &overlapped, &n, false));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    api.CloseHandle(h);
    ::DeleteFileA(path);
}

} // namespace
} // namespace platform
