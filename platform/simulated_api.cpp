// The platform calls served from the simulated bus, with the platform's contracts:
// record sizes, the two-step detail call, access and sharing, overlapped reads and
// their completion routines, last errors and their message texts, modules, version.
#include "platform/simulated_state.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace platform {

namespace {

using State = SimulatedBus::State;

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

Dword errorOf(std::uintptr_t status) {
    switch (status) {
    case kStatusSuccess:
        return kErrorSuccess;
    case kStatusCancelled:
        return kErrorOperationAborted;
    case kStatusDeviceNotConnected:
        return kErrorDeviceNotConnected;
    default:
        return kErrorGenFailure;
    }
}

// The libraries a process can load, with their exports (a subset of the platform's:
// every entry the controller binds, and the SetupAPI neighbours of those it calls).
struct Library {
    const char* name; // lower case
    std::vector<const char*> exports;
};

const std::vector<Library>& libraries() {
    static const std::vector<Library> all = {
        {"setupapi.dll",
         {"SetupDiGetClassDevsA",
          "SetupDiGetClassDevsW",
          "SetupDiGetClassDevsExA",
          "SetupDiGetClassDevsExW",
          "SetupDiEnumDeviceInfo",
          "SetupDiEnumDeviceInterfaces",
          "SetupDiGetDeviceInterfaceDetailA",
          "SetupDiGetDeviceInterfaceDetailW",
          "SetupDiGetDeviceRegistryPropertyA",
          "SetupDiGetDeviceRegistryPropertyW",
          "SetupDiSetDeviceRegistryPropertyA",
          "SetupDiSetDeviceRegistryPropertyW",
          "SetupDiDestroyDeviceInfoList",
          "SetupDiCreateDeviceInfoList",
          "SetupDiCreateDeviceInterfaceA",
          "SetupDiCreateDeviceInterfaceW",
          "SetupDiOpenDeviceInterfaceA",
          "SetupDiOpenDeviceInterfaceW",
          "SetupDiGetDeviceInterfaceAlias",
          "SetupDiDeleteDeviceInterfaceData",
          "SetupDiRemoveDeviceInterface",
          "SetupDiInstallDeviceInterfaces",
          "SetupDiCreateDeviceInterfaceRegKeyA",
          "SetupDiCreateDeviceInterfaceRegKeyW",
          "SetupDiOpenDeviceInterfaceRegKey",
          "SetupDiDeleteDeviceInterfaceRegKey",
          "SetupDiGetDeviceInstanceIdA",
          "SetupDiGetDeviceInstanceIdW",
          "SetupDiOpenDevRegKey",
          "SetupDiGetClassDescriptionA",
          "SetupDiGetClassDescriptionW",
          "SetupDiCallClassInstaller",
          "SetupOpenInfFileA",
          "SetupOpenInfFileW",
          "SetupCloseInfFile",
          "SetupFindFirstLineA",
          "SetupFindFirstLineW",
          "SetupFindNextLine",
          "SetupGetStringFieldA",
          "SetupGetStringFieldW",
          "SetupGetIntField",
          "SetupOpenFileQueue",
          "SetupCloseFileQueue",
          "SetupQueueCopyA",
          "SetupQueueCopyW",
          "SetupCommitFileQueueA",
          "SetupCommitFileQueueW",
          "SetupCreateDiskSpaceListA",
          "SetupCreateDiskSpaceListW",
          "SetupDestroyDiskSpaceList",
          "SetupOpenLog",
          "SetupCloseLog",
          "SetupLogErrorA",
          "SetupLogErrorW"}},
        {"hid.dll",
         {"HidD_Hello",
          "HidD_GetHidGuid",
          "HidD_GetPreparsedData",
          "HidD_FreePreparsedData",
          "HidD_GetConfiguration",
          "HidD_SetConfiguration",
          "HidD_FlushQueue",
          "HidD_GetFeature",
          "HidD_SetFeature",
          "HidD_GetNumInputBuffers",
          "HidD_SetNumInputBuffers",
          "HidD_GetAttributes",
          "HidD_GetManufacturerString",
          "HidD_GetProductString",
          "HidD_GetSerialNumberString",
          "HidD_GetPhysicalDescriptor",
          "HidD_GetIndexedString",
          "HidD_GetInputReport",
          "HidD_SetOutputReport",
          "HidP_GetCaps",
          "HidP_GetLinkCollectionNodes",
          "HidP_GetButtonCaps",
          "HidP_GetValueCaps",
          "HidP_GetSpecificButtonCaps",
          "HidP_GetSpecificValueCaps",
          "HidP_GetData",
          "HidP_SetData",
          "HidP_MaxDataListLength",
          "HidP_GetUsages",
          "HidP_GetUsagesEx",
          "HidP_SetUsages",
          "HidP_UnsetUsages",
          "HidP_MaxUsageListLength",
          "HidP_GetUsageValue",
          "HidP_GetScaledUsageValue",
          "HidP_GetUsageValueArray",
          "HidP_SetUsageValue",
          "HidP_SetScaledUsageValue",
          "HidP_SetUsageValueArray",
          "HidP_UsageListDifference",
          "HidP_TranslateUsagesToI8042ScanCodes",
          "HidP_GetExtendedAttributes",
          "HidP_InitializeReportForID"}},
        {"kernel32.dll",
         {"CancelIo", "CloseHandle", "CreateEventA", "CreateFileA", "FormatMessageA", "FreeLibrary",
          "GetLastError", "GetOverlappedResult", "GetProcAddress", "GetTickCount", "GetVersionExA",
          "LoadLibraryA", "ReadFile", "ReadFileEx", "ResetEvent", "SleepEx", "WaitForSingleObject",
          "WriteFile"}},
    };
    return all;
}

// Exports that the platform's HID library gained with later versions.
bool exportExistsOn(const PlatformVersion& v, std::string_view name) {
    const bool nt = v.platformId == kVerPlatformWin32Nt;
    if (name == "HidD_GetInputReport" || name == "HidD_SetOutputReport")
        return nt && (v.major > 5 || (v.major == 5 && v.minor >= 1));
    if (name == "HidP_GetExtendedAttributes" || name == "HidP_InitializeReportForID")
        return nt && v.major >= 5;
    return true;
}

std::string_view systemMessage(Dword code) {
    switch (code) {
    case kErrorSuccess:
        return "The operation completed successfully.\r\n";
    case kErrorFileNotFound:
        return "The system cannot find the file specified.\r\n";
    case kErrorAccessDenied:
        return "Access is denied.\r\n";
    case kErrorInvalidHandle:
        return "The handle is invalid.\r\n";
    case kErrorInvalidData:
        return "The data is invalid.\r\n";
    case kErrorGenFailure:
        return "A device attached to the system is not functioning.\r\n";
    case kErrorSharingViolation:
        return "The process cannot access the file because it is being used by another "
               "process.\r\n";
    case kErrorInvalidParameter:
        return "The parameter is incorrect.\r\n";
    case kErrorInsufficientBuffer:
        return "The data area passed to a system call is too small.\r\n";
    case kErrorModNotFound:
        return "The specified module could not be found.\r\n";
    case kErrorProcNotFound:
        return "The specified procedure could not be found.\r\n";
    case kWaitTimeout:
        return "The wait operation timed out.\r\n";
    case kErrorNoMoreItems:
        return "No more data is available.\r\n";
    case kErrorOperationAborted:
        return "The I/O operation has been aborted because of either a thread exit or an "
               "application request.\r\n";
    case kErrorIoIncomplete:
        return "Overlapped I/O event is not in a signaled state.\r\n";
    case kErrorIoPending:
        return "Overlapped I/O operation is in progress.\r\n";
    case kErrorInvalidFlags:
        return "Invalid flags.\r\n";
    case kErrorDeviceNotConnected:
        return "The device is not connected.\r\n";
    case kErrorInvalidUserBuffer:
        return "The supplied user buffer is not valid for the requested operation.\r\n";
    default:
        return {};
    }
}

// Copies a UTF-16 text (and its terminator, when it fits) into a byte buffer.
void copyWide(const std::u16string& text, bool terminate, void* buffer, Dword length) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    Dword at = 0;
    auto put = [&](char16_t c) {
        if (at + 2 > length)
            return;
        out[at++] = static_cast<std::uint8_t>(c & 0xFF);
        out[at++] = static_cast<std::uint8_t>(c >> 8);
    };
    for (char16_t c : text)
        put(c);
    if (terminate)
        put(u'\0');
}

struct Property {
    Dword type = 0;
    std::string bytes; // with terminators
};

std::optional<Property> deviceProperty(const SimulatedDevice& d, Dword code) {
    char ids[48];
    std::snprintf(ids, sizeof ids, "HID\\VID_%04X&PID_%04X", d.description.vendorId,
                  d.description.productId);
    char rev[16];
    std::snprintf(rev, sizeof rev, "&REV_%04X", d.description.versionNumber);
    using namespace std::string_literals;
    switch (code) {
    case kSpdrpDeviceDesc:
        return Property{kRegSz, "HID-compliant device\0"s};
    case kSpdrpHardwareId:
        return Property{kRegMultiSz, std::string(ids) + rev + '\0' + ids + '\0' +
                                         "HID_DEVICE_UP:FF00_U:0001\0HID_DEVICE\0\0"s};
    case kSpdrpClass:
        return Property{kRegSz, "HIDClass\0"s};
    case kSpdrpClassGuid:
        return Property{kRegSz, "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}\0"s};
    case kSpdrpMfg:
        return Property{kRegSz, "(Standard system devices)\0"s};
    case kSpdrpEnumeratorName:
        return Property{kRegSz, "HID\0"s};
    default:
        return std::nullopt;
    }
}

// A value that is not (or no longer) what the call needs: the misuse when it was
// handed out once (`whenGone`) or never (0 and -1 are no misuse: they are what failed
// calls return); the last error says the handle is invalid.
void refuseValue(State& s, std::intptr_t value, ValueKind kind, MisuseKind whenGone,
                 const char* call) {
    if (s.wasIssued(value, kind))
        s.recordMisuse(whenGone, call, value);
    else if (value != 0 && value != -1)
        s.recordMisuse(MisuseKind::UseOfUnknownHandle, call, value);
    s.setLastError(kErrorInvalidHandle);
}

// The live device handle behind `h`, or null with the last error set (and misuse
// recorded for a closed or unknown value).
FileObject* deviceFile(State& s, Handle h, const char* call, MisuseKind whenClosed) {
    const auto value = static_cast<std::intptr_t>(h);
    const auto it = s.objects.find(value);
    if (it == s.objects.end()) {
        refuseValue(s, value, ValueKind::Kernel, whenClosed, call);
        return nullptr;
    }
    if (!it->second.file) {
        s.setLastError(kErrorInvalidHandle);
        return nullptr;
    }
    return it->second.file.get();
}

// As deviceFile, and the device must still be there.
FileObject* connectedFile(State& s, Handle h, const char* call,
                          MisuseKind whenClosed = MisuseKind::OtherUseOfClosedHandle) {
    FileObject* f = deviceFile(s, h, call, whenClosed);
    if (f && !s.fileIsLive(*f)) {
        s.setLastError(kErrorDeviceNotConnected);
        return nullptr;
    }
    return f;
}

// The file of a HidD_ call on an open, connected device whose arguments are
// `valid`; none, with the last error set, otherwise.
FileObject* hidCallFile(State& s, Handle h, const char* call, bool valid) {
    FileObject* f = connectedFile(s, h, call);
    if (f && !valid) {
        s.setLastError(kErrorInvalidParameter);
        return nullptr;
    }
    return f;
}

// Hands the oldest queued report of `f` to the caller's buffer.
void takeReport(FileObject& f, std::uint8_t* out) {
    std::copy(f.queue.front().begin(), f.queue.front().end(), out);
    f.queue.pop_front();
}

std::shared_ptr<EventObject> eventOf(State& s, Handle h) {
    const auto it = s.objects.find(static_cast<std::intptr_t>(h));
    if (it == s.objects.end())
        return nullptr;
    return it->second.event;
}

// The event of a call that takes one; none, with the last error set (and a
// closed handle's use recorded), when `h` is no event.
std::shared_ptr<EventObject> eventFor(State& s, Handle h, const char* call) {
    const auto value = static_cast<std::intptr_t>(h);
    const auto it = s.objects.find(value);
    if (it == s.objects.end() || !it->second.event) {
        if (it == s.objects.end())
            refuseValue(s, value, ValueKind::Kernel, MisuseKind::OtherUseOfClosedHandle, call);
        s.setLastError(kErrorInvalidHandle);
        return nullptr;
    }
    return it->second.event;
}

// The preparsed data behind `data`; none (its misuse recorded as `whenGone`) when
// it was never handed out or is freed.
const PreparsedObject* preparsedOf(State& s, PreparsedData data, MisuseKind whenGone,
                                   const char* call) {
    const auto value = static_cast<std::intptr_t>(data);
    const auto it = s.preparsed.find(value);
    if (it == s.preparsed.end()) {
        refuseValue(s, value, ValueKind::Preparsed, whenGone, call);
        return nullptr;
    }
    return &it->second;
}

DeviceSet* deviceSet(State& s, DevInfo set, const char* call) {
    const auto value = static_cast<std::intptr_t>(set);
    const auto it = s.sets.find(value);
    if (it == s.sets.end()) {
        refuseValue(s, value, ValueKind::Set, MisuseKind::OtherUseOfClosedHandle, call);
        return nullptr;
    }
    return &it->second;
}

const SetEntry* setEntryOf(State& s, DeviceSet& set, const DeviceInfoData* info) {
    if (!info) {
        s.setLastError(kErrorInvalidParameter);
        return nullptr;
    }
    if (info->cbSize != kDeviceInfoDataSize) {
        s.setLastError(kErrorInvalidUserBuffer);
        return nullptr;
    }
    for (const SetEntry& e : set.entries)
        if (e.devInst == info->DevInst)
            return &e;
    s.setLastError(kErrorInvalidParameter);
    return nullptr;
}

} // namespace

SimulatedApi::SimulatedApi(SimulatedBus& bus) : bus_(bus) {}

// ---- SetupAPI

DevInfo SimulatedApi::SetupDiGetClassDevsA(const Guid* ClassGuid, const char* Enumerator, Window,
                                           Dword Flags) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (!(Flags & kDigcfDeviceInterface)) {
        s.setLastError(kErrorInvalidFlags); // only interface sets are simulated
        return kInvalidDevInfo;
    }
    if (!ClassGuid || (Enumerator && *Enumerator)) {
        s.setLastError(kErrorInvalidParameter);
        return kInvalidDevInfo;
    }
    DeviceSet set;
    if (*ClassGuid == kHidInterfaceClassGuid)
        for (DeviceId id = 0; id < s.devices.size(); ++id) {
            const SimulatedDevice& d = s.devices[id];
            if (d.plugged || !(Flags & kDigcfPresent))
                set.entries.push_back({id, d.path, d.devInst, d.plugged});
        }
    const std::intptr_t value = s.newValue(ValueKind::Set);
    s.sets.emplace(value, std::move(set));
    return DevInfo{value};
}

bool SimulatedApi::SetupDiEnumDeviceInterfaces(DevInfo DeviceInfoSet,
                                               const DeviceInfoData* DeviceInfo,
                                               const Guid* InterfaceClassGuid, Dword MemberIndex,
                                               DeviceInterfaceData* DeviceInterface) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    DeviceSet* set = deviceSet(s, DeviceInfoSet, "SetupDiEnumDeviceInterfaces");
    if (!set)
        return false;
    if (!InterfaceClassGuid || !DeviceInterface) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    if (DeviceInterface->cbSize != kDeviceInterfaceDataSize) {
        s.setLastError(kErrorInvalidUserBuffer);
        return false;
    }
    Dword seen = 0;
    if (*InterfaceClassGuid == kHidInterfaceClassGuid)
        for (std::size_t i = 0; i < set->entries.size(); ++i) {
            const SetEntry& e = set->entries[i];
            if (DeviceInfo && DeviceInfo->DevInst != e.devInst)
                continue;
            if (seen++ != MemberIndex)
                continue;
            DeviceInterface->InterfaceClassGuid = *InterfaceClassGuid;
            DeviceInterface->Flags = e.present ? kSpintActive : 0;
            DeviceInterface->Reserved = i + 1;
            return true;
        }
    s.setLastError(kErrorNoMoreItems);
    return false;
}

bool SimulatedApi::SetupDiGetDeviceInterfaceDetailA(DevInfo DeviceInfoSet,
                                                    const DeviceInterfaceData* DeviceInterface,
                                                    std::uint8_t* Detail, Dword DetailSize,
                                                    Dword* RequiredSize,
                                                    DeviceInfoData* DeviceInfo) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    DeviceSet* set = deviceSet(s, DeviceInfoSet, "SetupDiGetDeviceInterfaceDetailA");
    if (!set)
        return false;
    if (!DeviceInterface) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    if (DeviceInterface->cbSize != kDeviceInterfaceDataSize) {
        s.setLastError(kErrorInvalidUserBuffer);
        return false;
    }
    if (DeviceInterface->Reserved == 0 || DeviceInterface->Reserved > set->entries.size()) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    const SetEntry& e = set->entries[DeviceInterface->Reserved - 1];
    if ((Detail == nullptr) != (DetailSize == 0) ||
        (Detail && DetailSize < kDeviceInterfaceDetailDataSize) ||
        (DeviceInfo && DeviceInfo->cbSize != kDeviceInfoDataSize)) {
        s.setLastError(kErrorInvalidUserBuffer);
        return false;
    }
    if (Detail) {
        Dword sizeField = 0;
        std::memcpy(&sizeField, Detail, sizeof sizeField);
        if (sizeField != kDeviceInterfaceDetailDataSize) {
            s.setLastError(kErrorInvalidUserBuffer);
            return false;
        }
    }
    const auto required = static_cast<Dword>(kDeviceInterfaceDetailPathOffset + e.path.size() + 1);
    if (RequiredSize)
        *RequiredSize = required;
    if (DeviceInfo) {
        DeviceInfo->ClassGuid = kHidInterfaceClassGuid;
        DeviceInfo->DevInst = e.devInst;
        DeviceInfo->Reserved = DeviceInterface->Reserved;
    }
    if (!Detail || DetailSize < required) {
        s.setLastError(kErrorInsufficientBuffer);
        return false;
    }
    std::memcpy(Detail + kDeviceInterfaceDetailPathOffset, e.path.c_str(), e.path.size() + 1);
    return true;
}

bool SimulatedApi::SetupDiGetDeviceRegistryPropertyA(DevInfo DeviceInfoSet,
                                                     const DeviceInfoData* DeviceInfo,
                                                     Dword PropertyCode, Dword* RegDataType,
                                                     std::uint8_t* Buffer, Dword BufferSize,
                                                     Dword* RequiredSize) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    DeviceSet* set = deviceSet(s, DeviceInfoSet, "SetupDiGetDeviceRegistryPropertyA");
    if (!set)
        return false;
    const SetEntry* e = setEntryOf(s, *set, DeviceInfo);
    if (!e)
        return false;
    const auto property = deviceProperty(s.devices[e->device], PropertyCode);
    if (!property) {
        s.setLastError(kErrorInvalidData);
        return false;
    }
    const auto size = static_cast<Dword>(property->bytes.size());
    if (RequiredSize)
        *RequiredSize = size;
    if (RegDataType)
        *RegDataType = property->type;
    if (!Buffer || BufferSize < size) {
        s.setLastError(kErrorInsufficientBuffer);
        return false;
    }
    std::memcpy(Buffer, property->bytes.data(), size);
    return true;
}

bool SimulatedApi::SetupDiDestroyDeviceInfoList(DevInfo DeviceInfoSet) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    const auto value = static_cast<std::intptr_t>(DeviceInfoSet);
    const auto it = s.sets.find(value);
    if (it == s.sets.end()) {
        refuseValue(s, value, ValueKind::Set, MisuseKind::DestroyOfDestroyedSet,
                    "SetupDiDestroyDeviceInfoList");
        return false;
    }
    s.sets.erase(it);
    return true;
}

// ---- HID

void SimulatedApi::HidD_GetHidGuid(Guid* HidGuid) {
    if (HidGuid)
        *HidGuid = kHidInterfaceClassGuid;
}

bool SimulatedApi::HidD_GetAttributes(Handle h, HidAttributes* Attributes) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f = hidCallFile(s, h, "HidD_GetAttributes", Attributes != nullptr);
    if (!f)
        return false;
    const DeviceDescription& d = s.devices[f->device].description;
    Attributes->Size = kHidAttributesSize;
    Attributes->VendorID = d.vendorId;
    Attributes->ProductID = d.productId;
    Attributes->VersionNumber = d.versionNumber;
    return true;
}

bool SimulatedApi::HidD_GetPreparsedData(Handle h, PreparsedData* Data) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f = hidCallFile(s, h, "HidD_GetPreparsedData", Data != nullptr);
    if (!f)
        return false;
    const std::intptr_t value =
        s.newValue(ValueKind::Preparsed, static_cast<std::int32_t>(f->device));
    s.preparsed.emplace(value, PreparsedObject{f->device});
    ++s.devices[f->device].preparsedHeld;
    *Data = PreparsedData{value};
    return true;
}

bool SimulatedApi::HidD_FreePreparsedData(PreparsedData Data) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    const PreparsedObject* p =
        preparsedOf(s, Data, MisuseKind::FreeOfFreedPreparsedData, "HidD_FreePreparsedData");
    if (!p) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    --s.devices[p->device].preparsedHeld;
    s.preparsed.erase(static_cast<std::intptr_t>(Data));
    return true;
}

NtStatus SimulatedApi::HidP_GetCaps(PreparsedData Data, HidCaps* Capabilities) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (Data == kNullPreparsedData) { // the platform's call would read through it
        s.recordMisuse(MisuseKind::NilPreparsedData, "HidP_GetCaps", 0);
        return kHidpStatusInvalidPreparsedData;
    }
    const PreparsedObject* p =
        preparsedOf(s, Data, MisuseKind::OtherUseOfClosedHandle, "HidP_GetCaps");
    if (!p || !Capabilities)
        return kHidpStatusInvalidPreparsedData;
    const DeviceDescription& d = s.devices[p->device].description;
    *Capabilities = HidCaps{};
    Capabilities->Usage = 0x0001;
    Capabilities->UsagePage = 0xFF00; // vendor-defined
    Capabilities->InputReportByteLength = d.inputReportLength;
    Capabilities->OutputReportByteLength = d.outputReportLength;
    Capabilities->NumberLinkCollectionNodes = 1;
    Capabilities->NumberInputValueCaps = 1;
    Capabilities->NumberInputDataIndices = 1;
    Capabilities->NumberOutputValueCaps = 1;
    Capabilities->NumberOutputDataIndices = 1;
    return kHidpStatusSuccess;
}

bool SimulatedApi::HidD_GetProductString(Handle h, void* Buffer, Dword BufferLength) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f = hidCallFile(s, h, "HidD_GetProductString", Buffer != nullptr);
    if (!f)
        return false;
    copyWide(s.devices[f->device].description.productString, true, Buffer, BufferLength);
    return true;
}

bool SimulatedApi::HidD_GetSerialNumberString(Handle h, void* Buffer, Dword BufferLength) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f = connectedFile(s, h, "HidD_GetSerialNumberString");
    if (!f)
        return false;
    const auto& serial = s.devices[f->device].description.serialString;
    if (!Buffer || !serial) {
        s.setLastError(kErrorInvalidParameter); // what the platform answers without one
        return false;
    }
    copyWide(*serial, true, Buffer, BufferLength);
    return true;
}

bool SimulatedApi::HidD_GetIndexedString(Handle h, Dword StringIndex, void* Buffer,
                                         Dword BufferLength) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f = hidCallFile(s, h, "HidD_GetIndexedString", Buffer && StringIndex == 0);
    if (!f)
        return false;
    // String 0 is the language list: identifiers only, no terminator.
    const auto& languages = s.devices[f->device].description.languages;
    copyWide(std::u16string(languages.begin(), languages.end()), false, Buffer, BufferLength);
    return true;
}

bool SimulatedApi::HidD_SetNumInputBuffers(Handle h, Dword NumberBuffers) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f =
        hidCallFile(s, h, "HidD_SetNumInputBuffers",
                    NumberBuffers >= kMinInputBuffers && NumberBuffers <= kMaxInputBuffers);
    if (!f)
        return false;
    f->inputBuffers = NumberBuffers;
    while (f->queue.size() > NumberBuffers)
        f->queue.pop_front();
    return true;
}

bool SimulatedApi::HidD_GetNumInputBuffers(Handle h, Dword* NumberBuffers) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f = hidCallFile(s, h, "HidD_GetNumInputBuffers", NumberBuffers != nullptr);
    if (!f)
        return false;
    *NumberBuffers = f->inputBuffers;
    return true;
}

// ---- files

Handle SimulatedApi::CreateFileA(const char* FileName, Dword DesiredAccess, Dword ShareMode,
                                 SecurityAttributes*, Dword CreationDisposition,
                                 Dword FlagsAndAttributes, Handle) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (!FileName || CreationDisposition != kOpenExisting) {
        s.setLastError(kErrorInvalidParameter);
        return kInvalidHandleValue;
    }
    const auto found = std::find_if(s.devices.begin(), s.devices.end(), [&](const auto& d) {
        return d.plugged && equalsIgnoringCase(d.path, FileName);
    });
    if (found == s.devices.end()) {
        s.setLastError(kErrorFileNotFound);
        return kInvalidHandleValue;
    }
    const auto id = static_cast<DeviceId>(found - s.devices.begin());
    auto file = std::make_shared<FileObject>();
    file->device = id;
    file->generation = found->generation;
    file->read = DesiredAccess & kGenericRead;
    file->write = DesiredAccess & kGenericWrite;
    file->share = ShareMode;
    file->overlapped = FlagsAndAttributes & kFileFlagOverlapped;
    if (file->read || file->write) {
        // Sharing: only opens that read or write take part, as with the platform's files.
        bool conflict = found->description.heldExclusively;
        for (const auto& [value, o] : s.objects) {
            if (!o.file || o.file->device != id || !s.fileIsLive(*o.file))
                continue;
            const FileObject& other = *o.file;
            if (!other.read && !other.write)
                continue;
            conflict = conflict || (file->read && !(other.share & kFileShareRead)) ||
                       (file->write && !(other.share & kFileShareWrite)) ||
                       (other.read && !(ShareMode & kFileShareRead)) ||
                       (other.write && !(ShareMode & kFileShareWrite));
        }
        if (conflict) {
            s.setLastError(kErrorSharingViolation);
            return kInvalidHandleValue;
        }
    }
    const std::intptr_t value = s.newValue(ValueKind::Kernel, static_cast<std::int32_t>(id));
    s.objects.emplace(value, KernelObject{nullptr, std::move(file)});
    ++found->openHandles;
    ++found->handlesOpened;
    return Handle{value};
}

bool SimulatedApi::ReadFile(Handle File, void* Buffer, Dword ToRead, Dword* Read,
                            Overlapped* Overlap) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (Read)
        *Read = 0;
    FileObject* f = connectedFile(s, File, "ReadFile", MisuseKind::ReadOnClosedHandle);
    if (!f)
        return false;
    const Dword length = s.devices[f->device].description.inputReportLength;
    if (!f->read) {
        s.setLastError(kErrorAccessDenied);
        return false;
    }
    if (!Buffer || ToRead < length) {
        s.setLastError(kErrorInvalidUserBuffer);
        return false;
    }
    auto* out = static_cast<std::uint8_t*>(Buffer);
    if (f->overlapped) {
        if (!Overlap) {
            s.setLastError(kErrorInvalidParameter);
            return false;
        }
        auto event = eventOf(s, Overlap->hEvent);
        if (event)
            event->signalled = false; // the platform resets the event as the read starts
        if (!f->queue.empty()) {
            takeReport(*f, out);
            Overlap->Internal = kStatusSuccess;
            Overlap->InternalHigh = length;
            if (event)
                event->signalled = true;
            if (Read)
                *Read = length;
            return true;
        }
        Overlap->Internal = kStatusPending;
        Overlap->InternalHigh = 0;
        f->pending.push_back(
            PendingRead{Overlap, out, nullptr, std::this_thread::get_id(), event, {}, {}});
        s.setLastError(kErrorIoPending);
        return false;
    }
    // A blocking read waits for the next report, without a time limit.
    if (f->queue.empty()) {
        auto done = std::make_shared<bool>(false);
        auto error = std::make_shared<Dword>(kErrorSuccess);
        f->pending.push_back(
            PendingRead{nullptr, out, nullptr, std::this_thread::get_id(), nullptr, done, error});
        s.waitUntil(
            call.lock(), [&] { return *done; }, std::nullopt);
        if (*error != kErrorSuccess) {
            s.setLastError(*error);
            return false;
        }
    } else {
        takeReport(*f, out);
    }
    if (Read)
        *Read = length;
    return true;
}

bool SimulatedApi::ReadFileEx(Handle File, void* Buffer, Dword ToRead, Overlapped* Overlap,
                              CompletionRoutine Routine) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f = connectedFile(s, File, "ReadFileEx", MisuseKind::ReadOnClosedHandle);
    if (!f)
        return false;
    const Dword length = s.devices[f->device].description.inputReportLength;
    if (!f->read) {
        s.setLastError(kErrorAccessDenied);
        return false;
    }
    if (!f->overlapped || !Overlap || !Routine) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    if (!Buffer || ToRead < length) {
        s.setLastError(kErrorInvalidUserBuffer);
        return false;
    }
    auto* out = static_cast<std::uint8_t*>(Buffer);
    Overlap->Internal = kStatusPending;
    Overlap->InternalHigh = 0;
    PendingRead read{Overlap, out, Routine, std::this_thread::get_id(), nullptr, {}, {}};
    if (!f->queue.empty()) {
        // Even a report at hand completes through the routine, in an alertable wait.
        takeReport(*f, out);
        s.complete(read, kStatusSuccess, kErrorSuccess, length);
        return true;
    }
    f->pending.push_back(read);
    return true;
}

bool SimulatedApi::WriteFile(Handle File, const void* Buffer, Dword ToWrite, Dword* Written,
                             Overlapped* Overlap) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (Written)
        *Written = 0;
    FileObject* f = connectedFile(s, File, "WriteFile", MisuseKind::WriteOnClosedHandle);
    if (!f)
        return false;
    SimulatedDevice& d = s.devices[f->device];
    if (!f->write) {
        s.setLastError(kErrorAccessDenied);
        return false;
    }
    if (f->overlapped && !Overlap) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    if (!Buffer || ToWrite != d.description.outputReportLength) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(Buffer);
    d.outputs.push_back(OutputReport{s.clockNow(), {bytes, bytes + ToWrite}});
    const bool wasStreaming = d.streaming();
    if (d.source)
        d.source->outputReport({bytes, ToWrite});
    if (!wasStreaming && d.streaming()) {
        d.nextReport = std::max(d.nextReport, (s.clockNow() / kReportInterval) * kReportInterval);
        s.changed.notify_all();
    }
    if (Overlap) {
        Overlap->Internal = kStatusSuccess;
        Overlap->InternalHigh = ToWrite;
        if (auto event = eventOf(s, Overlap->hEvent))
            event->signalled = true;
    }
    if (Written)
        *Written = ToWrite;
    return true;
}

bool SimulatedApi::GetOverlappedResult(Handle File, Overlapped* Overlap, Dword* Transferred,
                                       bool Wait) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (Transferred)
        *Transferred = 0;
    if (!deviceFile(s, File, "GetOverlappedResult", MisuseKind::OtherUseOfClosedHandle))
        return false;
    if (!Overlap) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    if (Overlap->Internal == kStatusPending) {
        if (!Wait) {
            s.setLastError(kErrorIoIncomplete);
            return false;
        }
        s.waitUntil(
            call.lock(), [&] { return Overlap->Internal != kStatusPending; }, std::nullopt);
    }
    if (Transferred)
        *Transferred = static_cast<Dword>(Overlap->InternalHigh);
    if (Overlap->Internal != kStatusSuccess) {
        s.setLastError(errorOf(Overlap->Internal));
        return false;
    }
    return true;
}

bool SimulatedApi::CancelIo(Handle File) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    FileObject* f = deviceFile(s, File, "CancelIo", MisuseKind::OtherUseOfClosedHandle);
    if (!f)
        return false;
    s.abortPending(*f, kErrorOperationAborted, true); // the calling thread's I/O only
    return true;
}

bool SimulatedApi::CloseHandle(Handle Object) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (Object == kInvalidHandleValue)
        return true; // the platform's pseudo-handle of the process: nothing to close
    const auto value = static_cast<std::intptr_t>(Object);
    const auto it = s.objects.find(value);
    if (it == s.objects.end()) {
        refuseValue(s, value, ValueKind::Kernel, MisuseKind::CloseOfClosedHandle, "CloseHandle");
        return false;
    }
    if (const auto& file = it->second.file) {
        s.abortPending(*file, kErrorOperationAborted, false);
        --s.devices[file->device].openHandles;
    }
    s.objects.erase(it);
    return true;
}

Handle SimulatedApi::CreateEventA(SecurityAttributes*, bool ManualReset, bool InitialState,
                                  const char*) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    auto event = std::make_shared<EventObject>();
    event->manualReset = ManualReset;
    event->signalled = InitialState;
    const std::intptr_t value = s.newValue(ValueKind::Kernel);
    s.objects.emplace(value, KernelObject{std::move(event), nullptr});
    return Handle{value};
}

bool SimulatedApi::ResetEvent(Handle Event) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    const std::shared_ptr<EventObject> event = eventFor(s, Event, "ResetEvent");
    if (!event)
        return false;
    event->signalled = false;
    return true;
}

Dword SimulatedApi::WaitForSingleObject(Handle Object, Dword Milliseconds) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    // Only events are waited for here.
    const std::shared_ptr<EventObject> event = eventFor(s, Object, "WaitForSingleObject");
    if (!event)
        return kWaitFailed;
    std::optional<Microseconds> deadline;
    if (Milliseconds != kInfinite)
        deadline = s.clockNow() + std::chrono::milliseconds(Milliseconds);
    if (!s.waitUntil(
            call.lock(), [&] { return event->signalled; }, deadline))
        return kWaitTimeout;
    if (!event->manualReset)
        event->signalled = false;
    return kWaitObject0;
}

Dword SimulatedApi::SleepEx(Dword Milliseconds, bool Alertable) {
    std::deque<Apc> due;
    {
        BusCall call(*bus_.state_);
        State& s = *bus_.state_;
        const auto self = std::this_thread::get_id();
        std::optional<Microseconds> deadline;
        if (Milliseconds != kInfinite)
            deadline = s.clockNow() + std::chrono::milliseconds(Milliseconds);
        const auto apcDue = [&] {
            const auto q = s.apcs.find(self);
            return Alertable && q != s.apcs.end() && !q->second.empty();
        };
        if (s.waitUntil(call.lock(), apcDue, deadline)) {
            due.swap(s.apcs[self]);
            s.apcs.erase(self);
        }
    }
    // Completion routines run on the waiting thread, outside the bus lock.
    for (const Apc& apc : due)
        apc.routine(apc.error, apc.bytes, apc.overlapped);
    return due.empty() ? 0 : kWaitIoCompletion;
}

Dword SimulatedApi::GetLastError() {
    std::lock_guard lock(bus_.state_->mutex);
    const auto& errors = bus_.state_->lastErrors;
    const auto it = errors.find(std::this_thread::get_id());
    return it == errors.end() ? kErrorSuccess : it->second;
}

// Milliseconds of the bus clock: the wall clock since the bus was made, or the
// virtual clock of a fast bus, which moves only while a call waits.
Dword SimulatedApi::GetTickCount() {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(bus_.now());
    return static_cast<Dword>(now.count());
}

Dword SimulatedApi::FormatMessageA(Dword Flags, const void* Source, Dword MessageId, Dword,
                                   char* Buffer, Dword Size, void* Arguments) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if ((Flags & ~(kFormatMessageFromSystem | kFormatMessageIgnoreInserts)) != 0 ||
        !(Flags & kFormatMessageFromSystem) || Source || Arguments || !Buffer) {
        s.setLastError(kErrorInvalidParameter);
        return 0;
    }
    const std::string_view text = systemMessage(MessageId);
    if (text.empty()) {
        s.setLastError(kErrorMrMidNotFound);
        return 0;
    }
    if (Size < text.size() + 1) {
        s.setLastError(kErrorInsufficientBuffer);
        return 0;
    }
    std::memcpy(Buffer, text.data(), text.size());
    Buffer[text.size()] = '\0';
    return static_cast<Dword>(text.size());
}

// ---- modules and version

Module SimulatedApi::LoadLibraryA(const char* LibFileName) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (!LibFileName) {
        s.setLastError(kErrorInvalidParameter);
        return kNullModule;
    }
    std::string name = lowerAscii(LibFileName);
    if (name.find('.') == std::string::npos)
        name += ".dll";
    const auto& libs = libraries();
    const auto lib =
        std::find_if(libs.begin(), libs.end(), [&](const Library& l) { return name == l.name; });
    if (lib == libs.end() || s.hiddenModules.count(name)) {
        s.setLastError(kErrorModNotFound);
        return kNullModule;
    }
    const auto index = static_cast<std::size_t>(lib - libs.begin());
    for (auto& [value, m] : s.modules)
        if (m.library == index) {
            ++m.references;
            return Module{value};
        }
    const std::intptr_t value = s.newValue(ValueKind::Module);
    s.modules.emplace(value, ModuleObject{index, 1});
    return Module{value};
}

Proc SimulatedApi::GetProcAddress(Module Lib, const char* ProcName) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    const auto value = static_cast<std::intptr_t>(Lib);
    const auto it = s.modules.find(value);
    if (it == s.modules.end()) {
        refuseValue(s, value, ValueKind::Module, MisuseKind::FreeOfFreedModule, "GetProcAddress");
        return kNullProc;
    }
    if (!ProcName) {
        s.setLastError(kErrorInvalidParameter);
        return kNullProc;
    }
    const Library& lib = libraries()[it->second.library];
    const auto& exports = lib.exports;
    const auto e = std::find_if(exports.begin(), exports.end(),
                                [&](const char* n) { return std::string_view(n) == ProcName; });
    if (e == exports.end() || !exportExistsOn(s.version, ProcName) ||
        s.hiddenExports.count({lib.name, ProcName})) {
        s.setLastError(kErrorProcNotFound);
        return kNullProc;
    }
    return Proc{
        static_cast<std::intptr_t>(0x10000 * (it->second.library + 1) + (e - exports.begin()) + 1)};
}

bool SimulatedApi::FreeLibrary(Module Lib) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    const auto value = static_cast<std::intptr_t>(Lib);
    const auto it = s.modules.find(value);
    if (it == s.modules.end()) {
        refuseValue(s, value, ValueKind::Module, MisuseKind::FreeOfFreedModule, "FreeLibrary");
        return false;
    }
    if (--it->second.references == 0)
        s.modules.erase(it);
    return true;
}

bool SimulatedApi::GetVersionExA(OsVersionInfo* info) {
    BusCall call(*bus_.state_);
    State& s = *bus_.state_;
    if (!info) {
        s.setLastError(kErrorInvalidParameter);
        return false;
    }
    if (info->dwOSVersionInfoSize != kOsVersionInfoSize) {
        s.setLastError(kErrorInsufficientBuffer);
        return false;
    }
    const PlatformVersion& v = s.version;
    info->dwMajorVersion = v.major;
    info->dwMinorVersion = v.minor;
    info->dwBuildNumber = v.build;
    info->dwPlatformId = v.platformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::memcpy(info->szCSDVersion, v.servicePack.data(),
                std::min(v.servicePack.size(), sizeof info->szCSDVersion - 1));
    return true;
}

} // namespace platform
