// The platform layer's own types: the records, handles and codes of the Windows
// calls that the device link and the HID controller make, with no Windows header.
// Names follow the platform's records; constants carry a k prefix so that they never
// meet the platform's macros of the same meaning in code that includes both.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

using Dword = std::uint32_t;
using NtStatus = std::uint32_t;

// Kernel object handle (file, event). -1 is the invalid value CreateFileA returns;
// 0 is what CreateEventA returns on failure.
enum class Handle : std::intptr_t {};
inline constexpr Handle kInvalidHandleValue{-1};
inline constexpr Handle kNullHandle{0};

// Device-information set of SetupDiGetClassDevsA; -1 is invalid.
enum class DevInfo : std::intptr_t {};
inline constexpr DevInfo kInvalidDevInfo{-1};

// Loaded module (LoadLibraryA); 0 is none.
enum class Module : std::intptr_t {};
inline constexpr Module kNullModule{0};

// An export found by GetProcAddress; 0 is not found. The export is called through
// the Api method of the same name, so the value only tells that it is there.
enum class Proc : std::intptr_t {};
inline constexpr Proc kNullProc{0};

// Preparsed data of a HID collection; 0 is none.
enum class PreparsedData : std::intptr_t {};
inline constexpr PreparsedData kNullPreparsedData{0};

// A window (only passed through, as the parent of SetupDiGetClassDevsA).
enum class Window : std::intptr_t {};
inline constexpr Window kNullWindow{0};

struct Guid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
    friend bool operator==(const Guid&, const Guid&) = default;
};

// The interface class of HID devices, {4D1E55B2-F16F-11CF-88CB-001111000030}.
inline constexpr Guid kHidInterfaceClassGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// SP_DEVICE_INTERFACE_DATA. Callers set cbSize to kDeviceInterfaceDataSize (the
// 32-bit platform's value) on every build; the real backend translates.
struct DeviceInterfaceData {
    Dword cbSize = 0;
    Guid InterfaceClassGuid;
    Dword Flags = 0;
    std::uintptr_t Reserved = 0;
};
inline constexpr Dword kDeviceInterfaceDataSize = 28;
inline constexpr Dword kSpintActive = 0x1;

// SP_DEVINFO_DATA. Callers set cbSize to kDeviceInfoDataSize on every build.
struct DeviceInfoData {
    Dword cbSize = 0;
    Guid ClassGuid;
    Dword DevInst = 0;
    std::uintptr_t Reserved = 0;
};
inline constexpr Dword kDeviceInfoDataSize = 28;

// SP_DEVICE_INTERFACE_DETAIL_DATA_A is passed as a byte buffer: its first four bytes
// hold the size field (kDeviceInterfaceDetailDataSize, the 32-bit value, on every
// build), the zero-terminated path follows from kDeviceInterfaceDetailPathOffset.
inline constexpr Dword kDeviceInterfaceDetailDataSize = 5;
inline constexpr Dword kDeviceInterfaceDetailPathOffset = 4;

// HIDD_ATTRIBUTES.
struct HidAttributes {
    Dword Size = 0;
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};
inline constexpr Dword kHidAttributesSize = 12;

// HIDP_CAPS, 64 bytes.
struct HidCaps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
    std::uint16_t Reserved[17] = {};
    std::uint16_t NumberLinkCollectionNodes = 0;
    std::uint16_t NumberInputButtonCaps = 0;
    std::uint16_t NumberInputValueCaps = 0;
    std::uint16_t NumberInputDataIndices = 0;
    std::uint16_t NumberOutputButtonCaps = 0;
    std::uint16_t NumberOutputValueCaps = 0;
    std::uint16_t NumberOutputDataIndices = 0;
    std::uint16_t NumberFeatureButtonCaps = 0;
    std::uint16_t NumberFeatureValueCaps = 0;
    std::uint16_t NumberFeatureDataIndices = 0;
};
static_assert(sizeof(HidCaps) == 64);

// OVERLAPPED, laid out as the platform's record (the real backend hands it to the
// platform as it is). Internal and InternalHigh belong to the platform: they hold the
// operation's status and byte count.
struct Overlapped {
    std::uintptr_t Internal = 0;
    std::uintptr_t InternalHigh = 0;
    Dword Offset = 0;
    Dword OffsetHigh = 0;
    Handle hEvent = kNullHandle;
};

// SECURITY_ATTRIBUTES. The device link sets nLength to 12 (the 32-bit value).
struct SecurityAttributes {
    Dword nLength = 0;
    void* lpSecurityDescriptor = nullptr;
    std::int32_t bInheritHandle = 0;
};

// OSVERSIONINFOA; dwOSVersionInfoSize must be kOsVersionInfoSize.
struct OsVersionInfo {
    Dword dwOSVersionInfoSize = 0;
    Dword dwMajorVersion = 0;
    Dword dwMinorVersion = 0;
    Dword dwBuildNumber = 0;
    Dword dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
inline constexpr Dword kOsVersionInfoSize = 148;
inline constexpr Dword kVerPlatformWin32Windows = 1;
inline constexpr Dword kVerPlatformWin32Nt = 2;

// The completion routine of ReadFileEx (run inside an alertable SleepEx).
using CompletionRoutine = void (*)(Dword errorCode, Dword bytesTransferred, Overlapped* overlapped);

// Last-error codes.
inline constexpr Dword kErrorSuccess = 0;
inline constexpr Dword kErrorFileNotFound = 2;
inline constexpr Dword kErrorAccessDenied = 5;
inline constexpr Dword kErrorInvalidHandle = 6;
inline constexpr Dword kErrorInvalidData = 13;
inline constexpr Dword kErrorBadCommand = 22;
inline constexpr Dword kErrorGenFailure = 31;
inline constexpr Dword kErrorSharingViolation = 32;
inline constexpr Dword kErrorInvalidParameter = 87;
inline constexpr Dword kErrorInsufficientBuffer = 122;
inline constexpr Dword kErrorModNotFound = 126;
inline constexpr Dword kErrorProcNotFound = 127;
inline constexpr Dword kErrorNoMoreItems = 259;
inline constexpr Dword kErrorMrMidNotFound = 317;
inline constexpr Dword kErrorOperationAborted = 995;
inline constexpr Dword kErrorIoIncomplete = 996;
inline constexpr Dword kErrorIoPending = 997;
inline constexpr Dword kErrorInvalidFlags = 1004;
inline constexpr Dword kErrorDeviceNotConnected = 1167;
inline constexpr Dword kErrorInvalidUserBuffer = 1784;

// Wait results and times.
inline constexpr Dword kWaitObject0 = 0;
inline constexpr Dword kWaitIoCompletion = 192;
inline constexpr Dword kWaitTimeout = 258;
inline constexpr Dword kWaitFailed = 0xFFFFFFFF;
inline constexpr Dword kInfinite = 0xFFFFFFFF;

// CreateFileA.
inline constexpr Dword kGenericRead = 0x80000000;
inline constexpr Dword kGenericWrite = 0x40000000;
inline constexpr Dword kFileShareRead = 0x1;
inline constexpr Dword kFileShareWrite = 0x2;
inline constexpr Dword kOpenExisting = 3;
inline constexpr Dword kFileFlagOverlapped = 0x40000000;

// SetupDiGetClassDevsA.
inline constexpr Dword kDigcfPresent = 0x2;
inline constexpr Dword kDigcfDeviceInterface = 0x10;

// SetupDiGetDeviceRegistryPropertyA: the device registry properties the HID controller
// reads (the simulated bus answers some of them).
inline constexpr Dword kSpdrpDeviceDesc = 0;
inline constexpr Dword kSpdrpHardwareId = 1;
inline constexpr Dword kSpdrpCompatibleIds = 2;
inline constexpr Dword kSpdrpService = 4;
inline constexpr Dword kSpdrpClass = 7;
inline constexpr Dword kSpdrpClassGuid = 8;
inline constexpr Dword kSpdrpDriver = 9;
inline constexpr Dword kSpdrpConfigFlags = 10;
inline constexpr Dword kSpdrpMfg = 11;
inline constexpr Dword kSpdrpFriendlyName = 12;
inline constexpr Dword kSpdrpLocationInformation = 13;
inline constexpr Dword kSpdrpPhysicalDeviceObjectName = 14;
inline constexpr Dword kSpdrpCapabilities = 15;
inline constexpr Dword kSpdrpUiNumber = 16;
inline constexpr Dword kSpdrpUpperFilters = 17;
inline constexpr Dword kSpdrpLowerFilters = 18;
inline constexpr Dword kSpdrpBusTypeGuid = 19;
inline constexpr Dword kSpdrpLegacyBusType = 20;
inline constexpr Dword kSpdrpBusNumber = 21;
inline constexpr Dword kSpdrpEnumeratorName = 22;
inline constexpr Dword kSpdrpSecuritySds = 24;
inline constexpr Dword kSpdrpDevType = 25;
inline constexpr Dword kSpdrpExclusive = 26;
inline constexpr Dword kSpdrpCharacteristics = 27;
inline constexpr Dword kSpdrpAddress = 28;
// Read into the controller's UnknownProperty field.
inline constexpr Dword kSpdrpUnknownProperty = 30;
inline constexpr Dword kRegSz = 1;
inline constexpr Dword kRegMultiSz = 7;

// FormatMessageA.
inline constexpr Dword kFormatMessageIgnoreInserts = 0x200;
inline constexpr Dword kFormatMessageFromSystem = 0x1000;

// HidP_GetCaps.
inline constexpr NtStatus kHidpStatusSuccess = 0x00110000;
inline constexpr NtStatus kHidpStatusInvalidPreparsedData = 0xC0110001;

// The device-change broadcast.
inline constexpr unsigned kWmDeviceChange = 0x0219;
inline constexpr unsigned kDbtDevNodesChanged = 7;

} // namespace platform
