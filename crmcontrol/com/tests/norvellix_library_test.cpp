// Norvellix.ocx as a library: its exports, version resource, toolbox bitmap and
// type library, and self-registration through regsvr32 (every key written,
// every key removed again).
#include "activex/bstr.h"
#include "activex/registry.h"
#include "activex/tests/registration_support.h"
#include "crmcontrol/com/tests/norvellix_test_host.h"
#include "platform/windows/handles.h"

#include <gtest/gtest.h>
#include <vector>

using namespace norvellix_test;
using activex::ComPtr;

namespace {

const std::wstring kClsidKey = L"CLSID\\{4F1C2A60-7D35-4E8B-9A12-3C5E7B9D0A41}";
const std::wstring kLibidText = L"{2D5B8E71-4A93-4C6F-B017-8E3A9C5D2F14}";
const std::wstring kTypeLibKey = L"TypeLib\\" + kLibidText;
const std::wstring kProgId = L"Norvellix_Project.Norvellix";
const std::wstring kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

std::string narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

std::vector<activex::testing::ExpectedKey> expectedKeys() {
    const std::wstring path = ocxPath();
    return {
        {kClsidKey, L"", L"Norvellix"},
        {kClsidKey + L"\\InprocServer32", L"", path},
        {kClsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {kClsidKey + L"\\ProgID", L"", kProgId},
        {kClsidKey + L"\\VersionIndependentProgID", L"", kProgId},
        {kClsidKey + L"\\Version", L"", L"1.0"},
        {kClsidKey + L"\\TypeLib", L"", kLibidText},
        {kClsidKey + L"\\Control", L"", L""},
        {kClsidKey + L"\\Programmable", L"", L""},
        {kClsidKey + L"\\MiscStatus", L"", L"0"},
        {kClsidKey + L"\\MiscStatus\\1", L"", L"148881"},
        {kClsidKey + L"\\ToolboxBitmap32", L"", path + L",30000"},
        {kClsidKey + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", L"", L""},
        {kProgId, L"", L"Norvellix"},
        {kProgId + L"\\CLSID", L"", L"{4F1C2A60-7D35-4E8B-9A12-3C5E7B9D0A41}"},
        {kTypeLibKey + L"\\1.0", L"", L"Norvellix For CRM Applications"},
        {kTypeLibKey + L"\\1.0\\409\\" + kPlatform, L"", L""},
        {L"Interface\\{6B2E9D14-0C7A-4F53-8E21-5D9A0C3F7B62}", L"", L"_Norvellix"},
        {L"Interface\\{9A7F3C28-1E64-4B0D-A5C9-2F8E6D1B4C03}", L"", L"__Norvellix"},
    };
}

std::wstring versionString(const std::vector<BYTE>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT size = 0;
    const std::wstring query = L"\\StringFileInfo\\040904b0\\" + std::wstring(name);
    if (!VerQueryValueW(info.data(), query.c_str(), &value, &size))
        return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value), size ? size - 1 : 0);
}

WORD typeFlags(ITypeLib& lib, REFGUID guid) {
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(lib.GetTypeInfoOfGuid(guid, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    const WORD flags = attr->wTypeFlags;
    info->ReleaseTypeAttr(attr);
    return flags;
}

// The flags of a dual interface's vtable half.
WORD vtableFlags(ITypeLib& lib, REFGUID guid) {
    ComPtr<ITypeInfo> dispatch, vtable;
    EXPECT_EQ(lib.GetTypeInfoOfGuid(guid, dispatch.put()), S_OK);
    HREFTYPE ref = 0;
    EXPECT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
    EXPECT_EQ(dispatch->GetRefTypeInfo(ref, vtable.put()), S_OK);
    TYPEATTR* attr = nullptr;
    vtable->GetTypeAttr(&attr);
    const WORD flags = attr->wTypeFlags;
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    vtable->ReleaseTypeAttr(attr);
    return flags;
}

} // namespace

TEST(NorvellixLibrary, ExportsTheFourEntryPointsUndecorated) {
    platform::UniqueHmodule ocx(LoadLibraryW(ocxPath().c_str()));
    ASSERT_TRUE(ocx) << "LoadLibrary failed: " << GetLastError();
    for (const char* name :
         {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"})
        EXPECT_NE(GetProcAddress(ocx.get(), name), nullptr) << name;
    // The bitmap the registry's ToolboxBitmap32 names.
    platform::UniqueGdiObject bitmap(LoadBitmapW(ocx.get(), MAKEINTRESOURCEW(30000)));
    EXPECT_TRUE(bitmap);
}

TEST(NorvellixLibrary, VersionResourceCarriesTheLibrarysStrings) {
    const std::wstring path = ocxPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"ProductName", L"Norvellix"},
        {L"InternalName", L"Norvellix"},
        {L"OriginalFilename", L"Norvellix.ocx"},
        {L"FileDescription", L"Norvellix.ocx File For CRM Applications"},
        {L"FileVersion", L"0.00.0009"},
        {L"ProductVersion", L"0.00.0009"},
        {L"OLESelfRegister", L""},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(narrow(versionString(info, name)), narrow(value)) << narrow(name);
}

TEST(NorvellixLibrary, TypeLibraryHasTheControlsIdentity) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(ocxPath().c_str(), REGKIND_NONE, lib.put()), S_OK);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, LIBID_Norvellix_Project);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x409u);
    lib->ReleaseTLibAttr(attr);
    activex::Bstr name, help;
    ASSERT_EQ(lib->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "Norvellix_Project");
    EXPECT_EQ(help.utf8(), "Norvellix For CRM Applications");

    // The dispatch half of the dual interface, then its vtable half.
    EXPECT_EQ(typeFlags(*lib.get(), IID__Norvellix) &
                  ~(TYPEFLAG_FOLEAUTOMATION), // the loader may leave it on the vtable half
              TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(vtableFlags(*lib.get(), IID__Norvellix),
              TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                  TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(typeFlags(*lib.get(), DIID___Norvellix),
              TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(typeFlags(*lib.get(), CLSID_Norvellix), TYPEFLAG_FCONTROL | TYPEFLAG_FCANCREATE);

    // Every event argument is [in, out] by reference; PhoneNumber is a VARIANT.
    ComPtr<ITypeInfo> events;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID___Norvellix, events.put()), S_OK);
    const std::pair<MEMBERID, std::vector<VARTYPE>> signatures[] = {
        {1, {VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_VARIANT}},
        {2, {VT_BSTR, VT_BSTR}},
        {3, {VT_BSTR, VT_BSTR}}};
    for (UINT i = 0; i < 3; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(events->GetFuncDesc(i, &f), S_OK);
        const auto& [id, types] = signatures[i];
        EXPECT_EQ(f->memid, id);
        ASSERT_EQ(f->cParams, static_cast<SHORT>(types.size()));
        for (SHORT p = 0; p < f->cParams; ++p) {
            const ELEMDESC& e = f->lprgelemdescParam[p];
            EXPECT_EQ(e.tdesc.vt, VT_PTR) << "event " << id << " argument " << p;
            EXPECT_EQ(e.tdesc.lptdesc->vt, types[p]) << "event " << id << " argument " << p;
            EXPECT_EQ(e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT),
                      PARAMFLAG_FIN | PARAMFLAG_FOUT);
        }
        events->ReleaseFuncDesc(f);
    }
}

TEST(NorvellixLibrary, Regsvr32WritesEveryKeyAndRemovesThemAll) {
    activex::testing::checkSelfRegistration(ocxPath(), expectedKeys());
    EXPECT_FALSE(activex::classesKeyExists(kTypeLibKey));
}
