#include "hidcontroller/setup_api.h"

#include "hidcontroller/module_loader.h"

namespace hidcontroller {

namespace {

enum class Form { Single, Pair, InterfaceSingle, InterfacePair };

struct Entry {
    const char* name; // the "A" form of a pair
    Form form;
};

constexpr Entry kEntries[] = {
    {"SetupDiGetClassDevsA", Form::Pair},
    {"SetupDiEnumDeviceInterfaces", Form::InterfaceSingle},
    {"SetupDiGetDeviceInterfaceDetailA", Form::InterfacePair},
    {"SetupDiGetDeviceRegistryPropertyA", Form::Pair},
    {"SetupDiDestroyDeviceInfoList", Form::Single},
};

std::vector<std::string> expandTable() {
    std::vector<std::string> slots;
    for (const Entry& e : kEntries) {
        const std::string a = e.name;
        const std::string w = a.substr(0, a.size() - 1) + "W";
        switch (e.form) {
        case Form::Single:
            slots.insert(slots.end(), {a});
            break;
        case Form::InterfaceSingle:
            slots.insert(slots.end(), {a, a});
            break;
        case Form::Pair:
            slots.insert(slots.end(), {a, w, a});
            break;
        case Form::InterfacePair:
            slots.insert(slots.end(), {a, a, w, w, a, a});
            break;
        }
    }
    return slots;
}

} // namespace

const std::vector<std::string>& SetupApiBinding::slotExports() {
    static const std::vector<std::string> table = expandTable();
    return table;
}

bool SetupApiBinding::LoadSetupApiBinding(platform::Api& api) {
    if (++count_ > 1)
        return true; // an earlier controller holds the binding
    api_ = &api;
    if (!LoadModuleByName(api, module_, kModuleName)) {
        --count_;
        return false;
    }
    bool allFound = true;
    const auto& exports = slotExports();
    for (std::size_t i = 0; i < kSlotCount; ++i)
        slots_[i] = GetModuleSymbolChecked(api, module_, exports[i].c_str(), allFound);
    if (!allFound) {
        UnloadSetupApiBinding();
        return false;
    }
    return true;
}

void SetupApiBinding::UnloadSetupApiBinding() {
    if (--count_ > 0)
        return;
    count_ = 0;
    if (api_)
        UnloadModule(*api_, module_);
    slots_.fill(platform::kNullProc);
}

platform::DevInfo SetupApiBinding::SetupDiGetClassDevsA(const platform::Guid* classGuid,
                                                        const char* enumerator,
                                                        platform::Window parent,
                                                        platform::Dword flags) {
    if (!bound(GetClassDevsA))
        return platform::kInvalidDevInfo;
    return api_->SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
}

bool SetupApiBinding::SetupDiEnumDeviceInterfaces(platform::DevInfo set,
                                                  const platform::DeviceInfoData* info,
                                                  const platform::Guid* classGuid,
                                                  platform::Dword index,
                                                  platform::DeviceInterfaceData* data) {
    return bound(EnumDeviceInterfaces) &&
           api_->SetupDiEnumDeviceInterfaces(set, info, classGuid, index, data);
}

bool SetupApiBinding::SetupDiGetDeviceInterfaceDetailA(
    platform::DevInfo set, const platform::DeviceInterfaceData* data, std::uint8_t* detail,
    platform::Dword detailSize, platform::Dword* requiredSize, platform::DeviceInfoData* info) {
    return bound(GetDeviceInterfaceDetailA) &&
           api_->SetupDiGetDeviceInterfaceDetailA(set, data, detail, detailSize, requiredSize,
                                                  info);
}

bool SetupApiBinding::SetupDiGetDeviceRegistryPropertyA(platform::DevInfo set,
                                                        const platform::DeviceInfoData* info,
                                                        platform::Dword property,
                                                        std::uint8_t* buffer,
                                                        platform::Dword size) {
    return bound(GetDeviceRegistryPropertyA) &&
           api_->SetupDiGetDeviceRegistryPropertyA(set, info, property, nullptr, buffer, size,
                                                   nullptr);
}

bool SetupApiBinding::SetupDiGetDeviceRegistryProperty(platform::DevInfo set,
                                                       const platform::DeviceInfoData* info,
                                                       platform::Dword property,
                                                       std::uint8_t* buffer, platform::Dword size) {
    return bound(GetDeviceRegistryProperty) &&
           api_->SetupDiGetDeviceRegistryPropertyA(set, info, property, nullptr, buffer, size,
                                                   nullptr);
}

bool SetupApiBinding::SetupDiDestroyDeviceInfoList(platform::DevInfo set) {
    return bound(DestroyDeviceInfoList) && api_->SetupDiDestroyDeviceInfoList(set);
}

} // namespace hidcontroller
