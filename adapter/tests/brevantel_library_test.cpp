// Brevantel.ocx as a library: self-registration through regsvr32 (every key
// written, every key removed again) and the type information a design host reads.
#include "Brevantel.h"
#include "activex/tests/registration_support.h"

#include <gtest/gtest.h>
#include <olectl.h>

namespace {

const std::wstring kClsid = L"{1F6E8A34-2B59-4D07-9C83-5E7A1D4B6F92}";
const std::wstring kClsidKey = L"CLSID\\" + kClsid;
const std::wstring kLibid = L"{9C1F5D47-6A82-4B3E-8E19-4D6B2A7F8C53}";
const std::wstring kProgId = L"Brevantel.Malvo";
const std::wstring kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

std::wstring ocxPath() {
    return activex::testing::windowsPath(BREVANTEL_OCX);
}

TEST(BrevantelLibrary, Regsvr32WritesEveryKeyAndRemovesThemAll) {
    const std::wstring path = ocxPath();
    activex::testing::checkSelfRegistration(
        path, {
                  {kClsidKey, L"", L"Malvo Control"},
                  {kClsidKey + L"\\InprocServer32", L"", path},
                  {kClsidKey + L"\\InprocServer32", L"ThreadingModel", L"Both"},
                  {kClsidKey + L"\\ProgID", L"", kProgId},
                  {kClsidKey + L"\\Version", L"", L"1.0"},
                  {kClsidKey + L"\\TypeLib", L"", kLibid},
                  {kClsidKey + L"\\MiscStatus", L"", L"0"},
                  {kClsidKey + L"\\MiscStatus\\1", L"", L"205201"},
                  {kClsidKey + L"\\ToolboxBitmap32", L"", path + L",1"},
                  {kClsidKey + L"\\Control", L"", L""},
                  {kClsidKey + L"\\Verb\\-7", L"", L"&Properties,0,2"},
                  {kProgId, L"", L"Malvo Control"},
                  {kProgId + L"\\CLSID", L"", kClsid},
                  {L"TypeLib\\" + kLibid + L"\\1.0", L"", L"Brevantel Library"},
                  {L"TypeLib\\" + kLibid + L"\\1.0\\409\\" + kPlatform, L"", L""},
                  {L"Interface\\{6D3B9F81-4C26-4E1A-8B75-2A9F7E3C5D14}", L"", L"IMalvo"},
                  {L"Interface\\{2E7C4A19-8D53-4F6B-A904-7B1E5D9C3A26}", L"", L"IMalvoEvents"},
              });
}

// A design host's property browser offers a colour picker for an OLE_COLOR property:
// the standard alias, known by its GUID, standing for an unsigned 32-bit value.
TEST(BrevantelLibrary, ColorIsTypedOleColor) {
    for (INVOKEKIND kind : {INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT}) {
        const auto type =
            activex::testing::propertyType(ocxPath(), IID_IMalvo, DISPID_BACKCOLOR, kind);
        EXPECT_EQ(type.vt, VT_USERDEFINED) << "invoke kind " << kind;
        EXPECT_EQ(activex::wideToUtf8(type.name), "OLE_COLOR") << "invoke kind " << kind;
        EXPECT_EQ(type.guid, GUID_COLOR) << "invoke kind " << kind;
        EXPECT_EQ(type.aliasOf, VT_UI4) << "invoke kind " << kind;
    }
}

} // namespace
