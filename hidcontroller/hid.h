// The run-time binding of the HID class library ("HID.dll"): 46 slots for 41 exports,
// none while unbound, all or nothing. Two pairs of exports are bound only on the
// platform versions that have them and never make the binding fail.
//
// The binding is counted: every controller that bound it and every device object
// holds a reference, so a device that outlives its controller (a checked-out one) can
// still free its preparsed data and read its capabilities through bound slots.
#pragma once

#include "platform/api.h"

#include <array>
#include <cstdint>
#include <string>

namespace hidcontroller {

class HidBinding {
public:
    enum Slot : std::size_t {
        GetHidGuid = 1,
        GetPreparsedData = 2,
        FreePreparsedData = 3,
        GetNumInputBuffers = 9,
        SetNumInputBuffers = 10,
        GetAttributes = 11,
        GetProductString = 13,
        GetSerialNumberString = 14,
        GetIndexedString = 16,
        GetInputReport = 17,
        SetOutputReport = 18,
        GetCaps = 19,
        GetExtendedAttributes = 44,
        InitializeReportForID = 45,
        kSlotCount = 46,
    };
    static constexpr const char* kModuleName = "HID.dll";
    // The export of each slot, in table order.
    static const std::array<const char*, kSlotCount>& slotExports();

    // Takes a reference; the first binds the library through `api`. False (and no
    // reference) when the library or one of its ungated entries is missing.
    [[nodiscard]] bool LoadHidBinding(platform::Api& api);
    // Gives a reference back; the last lets the library go and clears every slot.
    void UnloadHidBinding();
    bool IsHidBound() const { return module_ != platform::kNullModule; }
    // Takes one more reference on a bound library (nothing is looked up); false when
    // it is not bound.
    [[nodiscard]] bool retain();

    std::int32_t referenceCount() const { return count_; }
    platform::Proc slot(std::size_t index) const { return slots_.at(index); }

    // Calls through the slots; an unbound slot fails (false, or leaves the output).
    void HidD_GetHidGuid(platform::Guid* guid);
    bool HidD_GetAttributes(platform::Handle h, platform::HidAttributes* attributes);
    bool HidD_GetPreparsedData(platform::Handle h, platform::PreparsedData* data);
    bool HidD_FreePreparsedData(platform::PreparsedData data);
    platform::NtStatus HidP_GetCaps(platform::PreparsedData data, platform::HidCaps* caps);
    bool HidD_GetProductString(platform::Handle h, void* buffer, platform::Dword length);
    bool HidD_GetSerialNumberString(platform::Handle h, void* buffer, platform::Dword length);
    bool HidD_GetIndexedString(platform::Handle h, platform::Dword index, void* buffer,
                               platform::Dword length);
    bool HidD_SetNumInputBuffers(platform::Handle h, platform::Dword count);
    bool HidD_GetNumInputBuffers(platform::Handle h, platform::Dword* count);

private:
    bool bound(std::size_t index) const { return slots_[index] != platform::kNullProc; }
    void clear();

    platform::Api* api_ = nullptr;
    platform::Module module_ = platform::kNullModule;
    std::int32_t count_ = 0;
    std::array<platform::Proc, kSlotCount> slots_{};
};

// The platform version gates of the HID table.
enum class HidGate { None, NtFrom51, NtFrom5 };
HidGate hidGateOf(std::size_t slot);
bool gateHolds(HidGate gate, const platform::OsVersionInfo& version);

} // namespace hidcontroller
