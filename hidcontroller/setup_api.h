// The run-time binding of SetupAPI ("SetupApi.dll"): one slot per bound entry, none
// while unbound, held by a count of the controllers that use it. All or nothing: a
// library that lacks one entry of the table is let go again and counts as absent.
#pragma once

#include "platform/api.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hidcontroller {

class SetupApiBinding {
public:
    // The entries the controller calls, with the neighbours a paired (ANSI and wide)
    // export brings: "A", "W" and an unsuffixed alias slot bound to "A" again; the
    // device-interface functions take every slot twice.
    enum Slot : std::size_t {
        GetClassDevsA = 0,               // then GetClassDevsW, GetClassDevs (alias)
        EnumDeviceInterfaces = 3,        // twice
        GetDeviceInterfaceDetailA = 5,   // A, A, W, W, alias, alias
        GetDeviceRegistryPropertyA = 11, // then W, alias
        GetDeviceRegistryProperty = 13,  // the unsuffixed alias of the A export
        DestroyDeviceInfoList = 14,
        kSlotCount = 15,
    };
    static constexpr const char* kModuleName = "SetupApi.dll";
    // The export each slot is bound to, in table order.
    static const std::vector<std::string>& slotExports();

    // Takes a reference; the first binds the library through `api`. False (and no
    // reference) when the library or one of its entries is missing.
    [[nodiscard]] bool LoadSetupApiBinding(platform::Api& api);
    // Gives a reference back; the last lets the library go and clears every slot.
    void UnloadSetupApiBinding();

    std::int32_t referenceCount() const { return count_; }
    platform::Module module() const { return module_; }
    platform::Proc slot(std::size_t index) const { return slots_.at(index); }

    // Calls through the slots; an unbound slot fails as the platform call would with
    // nothing to call (invalid set, false).
    platform::DevInfo SetupDiGetClassDevsA(const platform::Guid* classGuid, const char* enumerator,
                                           platform::Window parent, platform::Dword flags);
    bool SetupDiEnumDeviceInterfaces(platform::DevInfo set, const platform::DeviceInfoData* info,
                                     const platform::Guid* classGuid, platform::Dword index,
                                     platform::DeviceInterfaceData* data);
    bool SetupDiGetDeviceInterfaceDetailA(platform::DevInfo set,
                                          const platform::DeviceInterfaceData* data,
                                          std::uint8_t* detail, platform::Dword detailSize,
                                          platform::Dword* requiredSize,
                                          platform::DeviceInfoData* info);
    bool SetupDiGetDeviceRegistryPropertyA(platform::DevInfo set,
                                           const platform::DeviceInfoData* info,
                                           platform::Dword property, std::uint8_t* buffer,
                                           platform::Dword size);
    // The same export through its unsuffixed alias slot (numbers are read this way).
    bool SetupDiGetDeviceRegistryProperty(platform::DevInfo set,
                                          const platform::DeviceInfoData* info,
                                          platform::Dword property, std::uint8_t* buffer,
                                          platform::Dword size);
    bool SetupDiDestroyDeviceInfoList(platform::DevInfo set);

private:
    bool bound(std::size_t index) const { return slots_[index] != platform::kNullProc; }

    platform::Api* api_ = nullptr;
    platform::Module module_ = platform::kNullModule;
    std::int32_t count_ = 0;
    std::array<platform::Proc, kSlotCount> slots_{};
};

} // namespace hidcontroller
