// The real backend: every call forwards to the platform. SetupAPI and HID entries
// are looked up by name on first use and kept for the process's life.
#include "platform/windows/real_api.h"

#include <cstddef>
#include <cstring>
#include <map>

// The platform's headers need windows.h first.
// clang-format off
#include <windows.h>
#include <setupapi.h>
#include <hidsdi.h>
// clang-format on

namespace platform {

namespace {

static_assert(sizeof(Overlapped) == sizeof(OVERLAPPED));
static_assert(offsetof(Overlapped, hEvent) == offsetof(OVERLAPPED, hEvent));
static_assert(offsetof(Overlapped, Offset) == offsetof(OVERLAPPED, Offset));
static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(HidCaps) == sizeof(HIDP_CAPS));
static_assert(sizeof(HidAttributes) == sizeof(HIDD_ATTRIBUTES));
static_assert(sizeof(OsVersionInfo) == sizeof(OSVERSIONINFOA));
static_assert(kDeviceInterfaceDetailPathOffset ==
              offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath));

constexpr const char* kSetupApi = "setupapi.dll";
constexpr const char* kHid = "hid.dll";

// The platform's entry `name` of `library`, or null when either is missing.
template <class F> F entry(const char* library, const char* name) {
    HMODULE module = ::LoadLibraryA(library); // kept: the entries live as long as the process
    if (!module)
        return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

template <class R> R missingEntry(R result) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return result;
}

HANDLE toPlatform(Handle h) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(h));
}
Handle fromPlatform(HANDLE h) {
    return Handle{reinterpret_cast<std::intptr_t>(h)};
}
HDEVINFO toPlatform(DevInfo d) {
    return reinterpret_cast<HDEVINFO>(static_cast<std::intptr_t>(d));
}
PHIDP_PREPARSED_DATA toPlatform(PreparsedData d) {
    return reinterpret_cast<PHIDP_PREPARSED_DATA>(static_cast<std::intptr_t>(d));
}
HMODULE toPlatform(Module m) {
    return reinterpret_cast<HMODULE>(static_cast<std::intptr_t>(m));
}
GUID toPlatform(const Guid& g) {
    GUID r;
    std::memcpy(static_cast<void*>(&r), &g, sizeof r);
    return r;
}
Guid fromPlatform(const GUID& g) {
    Guid r;
    std::memcpy(static_cast<void*>(&r), &g, sizeof r);
    return r;
}

// A record's 32-bit size stands for the platform's size of the record on this build;
// any other value is passed on for the platform to refuse.
DWORD platformSize(Dword ours, Dword size32, DWORD platform) {
    return ours == size32 ? platform : ours;
}

SP_DEVINFO_DATA toPlatform(const DeviceInfoData& d) {
    SP_DEVINFO_DATA r{};
    r.cbSize = platformSize(d.cbSize, kDeviceInfoDataSize, sizeof r);
    r.ClassGuid = toPlatform(d.ClassGuid);
    r.DevInst = d.DevInst;
    r.Reserved = d.Reserved;
    return r;
}
void copyBack(const SP_DEVINFO_DATA& r, DeviceInfoData& d) {
    d.ClassGuid = fromPlatform(r.ClassGuid);
    d.DevInst = r.DevInst;
    d.Reserved = r.Reserved;
}

SP_DEVICE_INTERFACE_DATA toPlatform(const DeviceInterfaceData& d) {
    SP_DEVICE_INTERFACE_DATA r{};
    r.cbSize = platformSize(d.cbSize, kDeviceInterfaceDataSize, sizeof r);
    r.InterfaceClassGuid = toPlatform(d.InterfaceClassGuid);
    r.Flags = d.Flags;
    r.Reserved = d.Reserved;
    return r;
}

// SECURITY_ATTRIBUTES: the device link gives 12, the 32-bit length, on every build.
struct PlatformSecurity {
    SECURITY_ATTRIBUTES record{};
    SECURITY_ATTRIBUTES* pointer = nullptr;
    explicit PlatformSecurity(const SecurityAttributes* s) {
        if (!s)
            return;
        record.nLength = sizeof record;
        record.lpSecurityDescriptor = s->lpSecurityDescriptor;
        record.bInheritHandle = s->bInheritHandle;
        pointer = &record;
    }
};

// Completion routines of the reads this thread started, by their overlapped record;
// the platform runs them on this same thread.
std::map<OVERLAPPED*, CompletionRoutine>& pendingRoutines() {
    thread_local std::map<OVERLAPPED*, CompletionRoutine> routines;
    return routines;
}

VOID CALLBACK runCompletionRoutine(DWORD error, DWORD bytes, OVERLAPPED* overlapped) {
    auto& routines = pendingRoutines();
    const auto it = routines.find(overlapped);
    if (it == routines.end())
        return;
    const CompletionRoutine routine = it->second;
    routines.erase(it);
    routine(error, bytes, reinterpret_cast<Overlapped*>(overlapped));
}

} // namespace

// ---- SetupAPI

DevInfo RealApi::SetupDiGetClassDevsA(const Guid* ClassGuid, const char* Enumerator,
                                      Window hwndParent, Dword Flags) {
    static const auto fn =
        entry<decltype(&::SetupDiGetClassDevsA)>(kSetupApi, "SetupDiGetClassDevsA");
    if (!fn)
        return missingEntry(kInvalidDevInfo);
    GUID guid{};
    if (ClassGuid)
        guid = toPlatform(*ClassGuid);
    const HDEVINFO set = fn(ClassGuid ? &guid : nullptr, Enumerator,
                            reinterpret_cast<HWND>(static_cast<std::intptr_t>(hwndParent)), Flags);
    return DevInfo{reinterpret_cast<std::intptr_t>(set)};
}

bool RealApi::SetupDiEnumDeviceInterfaces(DevInfo DeviceInfoSet, const DeviceInfoData* DeviceInfo,
                                          const Guid* InterfaceClassGuid, Dword MemberIndex,
                                          DeviceInterfaceData* DeviceInterface) {
    static const auto fn =
        entry<decltype(&::SetupDiEnumDeviceInterfaces)>(kSetupApi, "SetupDiEnumDeviceInterfaces");
    if (!fn)
        return missingEntry(false);
    SP_DEVINFO_DATA info{};
    if (DeviceInfo)
        info = toPlatform(*DeviceInfo);
    GUID guid{};
    if (InterfaceClassGuid)
        guid = toPlatform(*InterfaceClassGuid);
    SP_DEVICE_INTERFACE_DATA iface{};
    if (DeviceInterface)
        iface = toPlatform(*DeviceInterface);
    const BOOL ok =
        fn(toPlatform(DeviceInfoSet), DeviceInfo ? &info : nullptr,
           InterfaceClassGuid ? &guid : nullptr, MemberIndex, DeviceInterface ? &iface : nullptr);
    if (ok && DeviceInterface) {
        DeviceInterface->InterfaceClassGuid = fromPlatform(iface.InterfaceClassGuid);
        DeviceInterface->Flags = iface.Flags;
        DeviceInterface->Reserved = iface.Reserved;
    }
    return ok;
}

bool RealApi::SetupDiGetDeviceInterfaceDetailA(DevInfo DeviceInfoSet,
                                               const DeviceInterfaceData* DeviceInterface,
                                               std::uint8_t* Detail, Dword DetailSize,
                                               Dword* RequiredSize, DeviceInfoData* DeviceInfo) {
    static const auto fn = entry<decltype(&::SetupDiGetDeviceInterfaceDetailA)>(
        kSetupApi, "SetupDiGetDeviceInterfaceDetailA");
    if (!fn)
        return missingEntry(false);
    SP_DEVICE_INTERFACE_DATA iface{};
    if (DeviceInterface)
        iface = toPlatform(*DeviceInterface);
    SP_DEVINFO_DATA info{};
    if (DeviceInfo)
        info = toPlatform(*DeviceInfo);
    // The detail record's size field is 5 on 32-bit Windows and 8 on 64-bit; the path
    // starts at byte 4 on both. The caller's 5 is swapped for this build's value.
    Dword sizeField = 0;
    const bool translate = Detail && DetailSize >= sizeof sizeField &&
                           (std::memcpy(&sizeField, Detail, sizeof sizeField),
                            sizeField == kDeviceInterfaceDetailDataSize);
    if (translate) {
        const DWORD platform = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        std::memcpy(Detail, &platform, sizeof platform);
    }
    DWORD required = 0;
    const BOOL ok = fn(toPlatform(DeviceInfoSet), DeviceInterface ? &iface : nullptr,
                       reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(Detail), DetailSize,
                       &required, DeviceInfo ? &info : nullptr);
    const DWORD error = ::GetLastError();
    if (translate)
        std::memcpy(Detail, &sizeField, sizeof sizeField);
    if (RequiredSize)
        *RequiredSize = required;
    if (DeviceInfo)
        copyBack(info, *DeviceInfo);
    ::SetLastError(error);
    return ok;
}

bool RealApi::SetupDiGetDeviceRegistryPropertyA(DevInfo DeviceInfoSet,
                                                const DeviceInfoData* DeviceInfo, Dword Property,
                                                Dword* PropertyRegDataType,
                                                std::uint8_t* PropertyBuffer,
                                                Dword PropertyBufferSize, Dword* RequiredSize) {
    static const auto fn = entry<decltype(&::SetupDiGetDeviceRegistryPropertyA)>(
        kSetupApi, "SetupDiGetDeviceRegistryPropertyA");
    if (!fn)
        return missingEntry(false);
    SP_DEVINFO_DATA info{};
    if (DeviceInfo)
        info = toPlatform(*DeviceInfo);
    DWORD type = 0;
    DWORD required = 0;
    const BOOL ok = fn(toPlatform(DeviceInfoSet), DeviceInfo ? &info : nullptr, Property, &type,
                       PropertyBuffer, PropertyBufferSize, &required);
    if (PropertyRegDataType)
        *PropertyRegDataType = type;
    if (RequiredSize)
        *RequiredSize = required;
    return ok;
}

bool RealApi::SetupDiDestroyDeviceInfoList(DevInfo DeviceInfoSet) {
    static const auto fn =
        entry<decltype(&::SetupDiDestroyDeviceInfoList)>(kSetupApi, "SetupDiDestroyDeviceInfoList");
    if (!fn)
        return missingEntry(false);
    return fn(toPlatform(DeviceInfoSet));
}

// ---- HID

void RealApi::HidD_GetHidGuid(Guid* HidGuid) {
    static const auto fn = entry<decltype(&::HidD_GetHidGuid)>(kHid, "HidD_GetHidGuid");
    if (!fn || !HidGuid) {
        if (HidGuid)
            *HidGuid = kHidInterfaceClassGuid;
        return;
    }
    GUID guid{};
    fn(&guid);
    *HidGuid = fromPlatform(guid);
}

bool RealApi::HidD_GetAttributes(Handle h, HidAttributes* Attributes) {
    static const auto fn = entry<decltype(&::HidD_GetAttributes)>(kHid, "HidD_GetAttributes");
    if (!fn)
        return missingEntry(false);
    HIDD_ATTRIBUTES a{};
    a.Size = sizeof a;
    const BOOLEAN ok = fn(toPlatform(h), &a);
    if (ok && Attributes) {
        Attributes->Size = a.Size;
        Attributes->VendorID = a.VendorID;
        Attributes->ProductID = a.ProductID;
        Attributes->VersionNumber = a.VersionNumber;
    }
    return ok;
}

bool RealApi::HidD_GetPreparsedData(Handle h, PreparsedData* Data) {
    static const auto fn = entry<decltype(&::HidD_GetPreparsedData)>(kHid, "HidD_GetPreparsedData");
    if (!fn)
        return missingEntry(false);
    PHIDP_PREPARSED_DATA data = nullptr;
    const BOOLEAN ok = fn(toPlatform(h), &data);
    if (ok && Data)
        *Data = PreparsedData{reinterpret_cast<std::intptr_t>(data)};
    return ok;
}

bool RealApi::HidD_FreePreparsedData(PreparsedData Data) {
    static const auto fn =
        entry<decltype(&::HidD_FreePreparsedData)>(kHid, "HidD_FreePreparsedData");
    if (!fn)
        return missingEntry(false);
    return fn(toPlatform(Data));
}

NtStatus RealApi::HidP_GetCaps(PreparsedData Data, HidCaps* Capabilities) {
    static const auto fn = entry<decltype(&::HidP_GetCaps)>(kHid, "HidP_GetCaps");
    if (!fn)
        return missingEntry(kHidpStatusInvalidPreparsedData);
    HIDP_CAPS caps{};
    const NTSTATUS status = fn(toPlatform(Data), &caps);
    if (Capabilities)
        std::memcpy(static_cast<void*>(Capabilities), &caps, sizeof caps);
    return static_cast<NtStatus>(status);
}

bool RealApi::HidD_GetProductString(Handle h, void* Buffer, Dword BufferLength) {
    static const auto fn = entry<decltype(&::HidD_GetProductString)>(kHid, "HidD_GetProductString");
    if (!fn)
        return missingEntry(false);
    return fn(toPlatform(h), Buffer, BufferLength);
}

bool RealApi::HidD_GetSerialNumberString(Handle h, void* Buffer, Dword BufferLength) {
    static const auto fn =
        entry<decltype(&::HidD_GetSerialNumberString)>(kHid, "HidD_GetSerialNumberString");
    if (!fn)
        return missingEntry(false);
    return fn(toPlatform(h), Buffer, BufferLength);
}

bool RealApi::HidD_GetIndexedString(Handle h, Dword StringIndex, void* Buffer, Dword BufferLength) {
    static const auto fn = entry<decltype(&::HidD_GetIndexedString)>(kHid, "HidD_GetIndexedString");
    if (!fn)
        return missingEntry(false);
    return fn(toPlatform(h), StringIndex, Buffer, BufferLength);
}

bool RealApi::HidD_SetNumInputBuffers(Handle h, Dword NumberBuffers) {
    static const auto fn =
        entry<decltype(&::HidD_SetNumInputBuffers)>(kHid, "HidD_SetNumInputBuffers");
    if (!fn)
        return missingEntry(false);
    return fn(toPlatform(h), NumberBuffers);
}

bool RealApi::HidD_GetNumInputBuffers(Handle h, Dword* NumberBuffers) {
    static const auto fn =
        entry<decltype(&::HidD_GetNumInputBuffers)>(kHid, "HidD_GetNumInputBuffers");
    if (!fn)
        return missingEntry(false);
    ULONG n = 0;
    const BOOLEAN ok = fn(toPlatform(h), &n);
    if (ok && NumberBuffers)
        *NumberBuffers = n;
    return ok;
}

// ---- files and synchronisation

Handle RealApi::CreateFileA(const char* FileName, Dword DesiredAccess, Dword ShareMode,
                            SecurityAttributes* SecurityAttrs, Dword CreationDisposition,
                            Dword FlagsAndAttributes, Handle TemplateFile) {
    PlatformSecurity security(SecurityAttrs);
    return fromPlatform(::CreateFileA(FileName, DesiredAccess, ShareMode, security.pointer,
                                      CreationDisposition, FlagsAndAttributes,
                                      toPlatform(TemplateFile)));
}

bool RealApi::ReadFile(Handle File, void* Buffer, Dword ToRead, Dword* Read, Overlapped* Overlap) {
    DWORD n = 0;
    const BOOL ok =
        ::ReadFile(toPlatform(File), Buffer, ToRead, &n, reinterpret_cast<OVERLAPPED*>(Overlap));
    if (Read)
        *Read = n;
    return ok;
}

bool RealApi::ReadFileEx(Handle File, void* Buffer, Dword ToRead, Overlapped* Overlap,
                         CompletionRoutine Routine) {
    auto* overlapped = reinterpret_cast<OVERLAPPED*>(Overlap);
    pendingRoutines()[overlapped] = Routine;
    const BOOL ok = ::ReadFileEx(toPlatform(File), Buffer, ToRead, overlapped,
                                 Routine ? runCompletionRoutine : nullptr);
    if (!ok)
        pendingRoutines().erase(overlapped);
    return ok;
}

bool RealApi::WriteFile(Handle File, const void* Buffer, Dword ToWrite, Dword* Written,
                        Overlapped* Overlap) {
    DWORD n = 0;
    const BOOL ok =
        ::WriteFile(toPlatform(File), Buffer, ToWrite, &n, reinterpret_cast<OVERLAPPED*>(Overlap));
    if (Written)
        *Written = n;
    return ok;
}

bool RealApi::GetOverlappedResult(Handle File, Overlapped* Overlap, Dword* Transferred, bool Wait) {
    DWORD n = 0;
    const BOOL ok =
        ::GetOverlappedResult(toPlatform(File), reinterpret_cast<OVERLAPPED*>(Overlap), &n, Wait);
    if (Transferred)
        *Transferred = n;
    return ok;
}

bool RealApi::CancelIo(Handle File) {
    return ::CancelIo(toPlatform(File));
}

bool RealApi::CloseHandle(Handle Object) {
    return ::CloseHandle(toPlatform(Object));
}

Handle RealApi::CreateEventA(SecurityAttributes* EventAttributes, bool ManualReset,
                             bool InitialState, const char* Name) {
    PlatformSecurity security(EventAttributes);
    // An empty name makes an unnamed event, as a null one does.
    return fromPlatform(::CreateEventA(security.pointer, ManualReset, InitialState,
                                       Name && *Name ? Name : nullptr));
}

bool RealApi::ResetEvent(Handle Event) {
    return ::ResetEvent(toPlatform(Event));
}

Dword RealApi::WaitForSingleObject(Handle Object, Dword Milliseconds) {
    return ::WaitForSingleObject(toPlatform(Object), Milliseconds);
}

Dword RealApi::SleepEx(Dword Milliseconds, bool Alertable) {
    return ::SleepEx(Milliseconds, Alertable);
}

Dword RealApi::GetTickCount() {
    return ::GetTickCount();
}

Dword RealApi::GetLastError() {
    return ::GetLastError();
}

Dword RealApi::FormatMessageA(Dword Flags, const void* Source, Dword MessageId, Dword LanguageId,
                              char* Buffer, Dword Size, void* Arguments) {
    return ::FormatMessageA(Flags, Source, MessageId, LanguageId, Buffer, Size,
                            static_cast<va_list*>(Arguments));
}

// ---- modules and version

Module RealApi::LoadLibraryA(const char* LibFileName) {
    return Module{reinterpret_cast<std::intptr_t>(::LoadLibraryA(LibFileName))};
}

Proc RealApi::GetProcAddress(Module Lib, const char* ProcName) {
    return Proc{reinterpret_cast<std::intptr_t>(::GetProcAddress(toPlatform(Lib), ProcName))};
}

bool RealApi::FreeLibrary(Module Lib) {
    return ::FreeLibrary(toPlatform(Lib));
}

bool RealApi::GetVersionExA(OsVersionInfo* VersionInformation) {
    return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(VersionInformation));
}

} // namespace platform
