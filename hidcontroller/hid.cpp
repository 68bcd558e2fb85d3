#include "hidcontroller/hid.h"

#include "hidcontroller/module_loader.h"

namespace hidcontroller {

using platform::kNullProc;

const std::array<const char*, HidBinding::kSlotCount>& HidBinding::slotExports() {
    // Five usage calls fill their own slot and the button-named alias slot.
    static const std::array<const char*, kSlotCount> table = {
        "HidD_Hello",
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
        "HidP_GetSpecificButtonCaps",
        "HidP_GetSpecificValueCaps",
        "HidP_GetData",
        "HidP_SetData",
        "HidP_MaxDataListLength",
        "HidP_GetUsages",
        "HidP_GetUsages",
        "HidP_GetUsagesEx",
        "HidP_GetUsagesEx",
        "HidP_SetUsages",
        "HidP_SetUsages",
        "HidP_UnsetUsages",
        "HidP_UnsetUsages",
        "HidP_MaxUsageListLength",
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
        "HidP_InitializeReportForID",
    };
    return table;
}

HidGate hidGateOf(std::size_t slot) {
    switch (slot) {
    case HidBinding::GetInputReport:
    case HidBinding::SetOutputReport:
        return HidGate::NtFrom51;
    case HidBinding::GetExtendedAttributes:
    case HidBinding::InitializeReportForID:
        return HidGate::NtFrom5;
    default:
        return HidGate::None;
    }
}

bool gateHolds(HidGate gate, const platform::OsVersionInfo& v) {
    const bool nt = v.dwPlatformId == platform::kVerPlatformWin32Nt;
    switch (gate) {
    case HidGate::None:
        return true;
    case HidGate::NtFrom51:
        // Version 5.1 or later: a later major version counts whatever its minor one.
        return nt && (v.dwMajorVersion > 5 || (v.dwMajorVersion == 5 && v.dwMinorVersion >= 1));
    case HidGate::NtFrom5:
        return nt && v.dwMajorVersion >= 5;
    }
    return false;
}

bool HidBinding::LoadHidBinding(platform::Api& api) {
    if (count_ > 0) {
        ++count_; // an earlier user holds the binding
        return true;
    }
    api_ = &api;
    bool allFound = LoadModuleByName(api, module_, kModuleName);
    if (!allFound)
        return false;
    platform::OsVersionInfo version;
    version.dwOSVersionInfoSize = platform::kOsVersionInfoSize;
    if (!api.GetVersionExA(&version))
        version = {}; // an unknown platform: no gated entry is looked up
    const auto& exports = slotExports();
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        if (gateHolds(hidGateOf(i), version))
            slots_[i] = GetModuleSymbolChecked(api, module_, exports[i], allFound);
        else
            slots_[i] = kNullProc;
    }
    if (!allFound) {
        clear();
        return false;
    }
    count_ = 1;
    return true;
}

void HidBinding::UnloadHidBinding() {
    if (--count_ > 0)
        return;
    clear();
}

bool HidBinding::retain() {
    if (!IsHidBound())
        return false;
    ++count_;
    return true;
}

void HidBinding::clear() {
    count_ = 0;
    if (api_)
        UnloadModule(*api_, module_);
    slots_.fill(kNullProc);
}

void HidBinding::HidD_GetHidGuid(platform::Guid* guid) {
    if (bound(GetHidGuid))
        api_->HidD_GetHidGuid(guid);
}

bool HidBinding::HidD_GetAttributes(platform::Handle h, platform::HidAttributes* attributes) {
    return bound(GetAttributes) && api_->HidD_GetAttributes(h, attributes);
}

bool HidBinding::HidD_GetPreparsedData(platform::Handle h, platform::PreparsedData* data) {
    return bound(GetPreparsedData) && api_->HidD_GetPreparsedData(h, data);
}

bool HidBinding::HidD_FreePreparsedData(platform::PreparsedData data) {
    return bound(FreePreparsedData) && api_->HidD_FreePreparsedData(data);
}

platform::NtStatus HidBinding::HidP_GetCaps(platform::PreparsedData data, platform::HidCaps* caps) {
    if (!bound(GetCaps))
        return platform::kHidpStatusInvalidPreparsedData;
    return api_->HidP_GetCaps(data, caps);
}

bool HidBinding::HidD_GetProductString(platform::Handle h, void* buffer, platform::Dword length) {
    return bound(GetProductString) && api_->HidD_GetProductString(h, buffer, length);
}

bool HidBinding::HidD_GetSerialNumberString(platform::Handle h, void* buffer,
                                            platform::Dword length) {
    return bound(GetSerialNumberString) && api_->HidD_GetSerialNumberString(h, buffer, length);
}

bool HidBinding::HidD_GetIndexedString(platform::Handle h, platform::Dword index, void* buffer,
                                       platform::Dword length) {
    return bound(GetIndexedString) && api_->HidD_GetIndexedString(h, index, buffer, length);
}

bool HidBinding::HidD_SetNumInputBuffers(platform::Handle h, platform::Dword count) {
    return bound(SetNumInputBuffers) && api_->HidD_SetNumInputBuffers(h, count);
}

bool HidBinding::HidD_GetNumInputBuffers(platform::Handle h, platform::Dword* count) {
    return bound(GetNumInputBuffers) && api_->HidD_GetNumInputBuffers(h, count);
}

} // namespace hidcontroller
