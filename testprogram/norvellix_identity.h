// What the test program knows of the CRM control it hosts: its class id, its
// event interface and the dispatch ids it calls and handles. The program is
// bound to the control at run time only, through these values.
#pragma once

#include "activex/win.h"

namespace testprogram {

// Norvellix_Project.Norvellix, {4F1C2A60-7D35-4E8B-9A12-3C5E7B9D0A41}
inline constexpr CLSID kNorvellixClsid = {
    0x4f1c2a60, 0x7d35, 0x4e8b, {0x9a, 0x12, 0x3c, 0x5e, 0x7b, 0x9d, 0x0a, 0x41}};
inline constexpr wchar_t kNorvellixProgId[] = L"Norvellix_Project.Norvellix";
inline constexpr wchar_t kNorvellixClsidText[] = L"{4F1C2A60-7D35-4E8B-9A12-3C5E7B9D0A41}";
// __Norvellix, {9A7F3C28-1E64-4B0D-A5C9-2F8E6D1B4C03}
inline constexpr IID kNorvellixEventsIid = {
    0x9a7f3c28, 0x1e64, 0x4b0d, {0xa5, 0xc9, 0x2f, 0x8e, 0x6d, 0x1b, 0x4c, 0x03}};

inline constexpr DISPID kG_Start = 0x60030023;
inline constexpr DISPID kG_Reset = 0x60030025;

inline constexpr DISPID kOnCallerID = 1;
inline constexpr DISPID kOnDeviceConnection = 2;
inline constexpr DISPID kOnDeviceDisconnected = 3;

} // namespace testprogram
