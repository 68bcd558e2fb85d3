// Norvellix1C.ocx as a library: self-registration through regsvr32 (every key
// written, every key removed again) and the type information a design host reads.
#include "Norvellix1C.h"
#include "activex/tests/registration_support.h"

#include <gtest/gtest.h>
#include <olectl.h>

namespace {

const std::wstring kClsid = L"{7E3A1B95-5C28-4D6E-9F40-1B7C3E8A2D56}";
const std::wstring kClsidKey = L"CLSID\\" + kClsid;
const std::wstring kLibid = L"{8B4C6F12-3E97-4A58-B1D0-6C2F9E5A7D31}";
const std::wstring kProgId = L"Norvellix1C.Norvellix_Component";
const std::wstring kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

std::wstring ocxPath() {
    return activex::testing::windowsPath(NORVELLIX1C_OCX);
}

TEST(Norvellix1CLibrary, Regsvr32WritesEveryKeyAndRemovesThemAll) {
    const std::wstring path = ocxPath();
    activex::testing::checkSelfRegistration(
        path,
        {
            {kClsidKey, L"", L"Norvellix_Component Control"},
            {kClsidKey + L"\\InprocServer32", L"", path},
            {kClsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
            {kClsidKey + L"\\ProgID", L"", kProgId},
            {kClsidKey + L"\\Version", L"", L"1.0"},
            {kClsidKey + L"\\TypeLib", L"", kLibid},
            {kClsidKey + L"\\MiscStatus", L"", L"0"},
            {kClsidKey + L"\\MiscStatus\\1", L"", L"205201"},
            {kClsidKey + L"\\ToolboxBitmap32", L"", path + L",1"},
            {kClsidKey + L"\\Control", L"", L""},
            {kClsidKey + L"\\Verb\\-7", L"", L"&Properties,0,2"},
            {kProgId, L"", L"Norvellix_Component Control"},
            {kProgId + L"\\CLSID", L"", kClsid},
            {L"TypeLib\\" + kLibid + L"\\1.0", L"", L"Norvellix1C Library"},
            {L"TypeLib\\" + kLibid + L"\\1.0\\409\\" + kPlatform, L"", L""},
            {L"Interface\\{3C8F5A27-9B14-4E72-8D63-0A5E2C9F1B87}", L"", L"INorvellix_Component"},
            {L"Interface\\{5A9D2E63-7F41-4B85-A2C6-9E1B4D7F3A08}", L"",
             L"INorvellix_ComponentEvents"},
        });
}

// A design host's property browser offers a colour picker for an OLE_COLOR property:
// the standard alias, known by its GUID, standing for an unsigned 32-bit value.
TEST(Norvellix1CLibrary, ColorIsTypedOleColor) {
    for (INVOKEKIND kind : {INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT}) {
        const auto type = activex::testing::propertyType(ocxPath(), IID_INorvellix_Component,
                                                         DISPID_BACKCOLOR, kind);
        EXPECT_EQ(type.vt, VT_USERDEFINED) << "invoke kind " << kind;
        EXPECT_EQ(activex::wideToUtf8(type.name), "OLE_COLOR") << "invoke kind " << kind;
        EXPECT_EQ(type.guid, GUID_COLOR) << "invoke kind " << kind;
        EXPECT_EQ(type.aliasOf, VT_UI4) << "invoke kind " << kind;
    }
}

} // namespace
