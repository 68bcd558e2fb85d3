// Self-registration of a control class: what registerControl writes and what
// unregisterControl removes (no more: a ProgID that now names another class
// stays).
#include "activex/registry.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace activex;

namespace {

// A class id of this test only.
constexpr CLSID kClsid = {
    0x5ab28ea7, 0xcf6e, 0x4183, {0xa2, 0x96, 0xae, 0x7f, 0x3d, 0xb0, 0x6a, 0xc5}};
constexpr GUID kLibid = {
    0x6bc39fb8, 0xd07f, 0x4294, {0xb3, 0xa7, 0xbf, 0x80, 0x4e, 0xc1, 0x7b, 0xd6}};

ControlRegistration registration() {
    ControlRegistration r;
    r.clsid = kClsid;
    r.name = L"Registry Test Control";
    r.progId = L"ActiveXRegistryTest.Control.1";
    r.versionIndependentProgId = L"ActiveXRegistryTest.Control";
    r.threadingModel = L"Both";
    r.libid = kLibid;
    r.miscStatusContent = 0x32191;
    r.toolboxBitmapId = 1;
    r.propertiesVerb = true;
    return r;
}

std::string narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

class Registration : public ::testing::Test {
protected:
    void TearDown() override { unregisterControl(registration()); }
    const std::wstring clsid = guidText(kClsid);
    const std::wstring key = L"CLSID\\" + clsid;
};

} // namespace

TEST_F(Registration, WritesTheClassKeysAndRemovesThemAgain) {
    registerControl(registration(), L"C:\\x\\test.ocx");
    const std::pair<std::wstring, std::wstring> values[] = {
        {key, L"Registry Test Control"},
        {key + L"\\InprocServer32", L"C:\\x\\test.ocx"},
        {key + L"\\ProgID", L"ActiveXRegistryTest.Control.1"},
        {key + L"\\VersionIndependentProgID", L"ActiveXRegistryTest.Control"},
        {key + L"\\Version", L"1.0"},
        {key + L"\\TypeLib", guidText(kLibid)},
        {key + L"\\MiscStatus", L"0"},
        {key + L"\\MiscStatus\\1", L"205201"},
        {key + L"\\ToolboxBitmap32", L"C:\\x\\test.ocx,1"},
        {key + L"\\Verb\\-7", L"&Properties,0,2"},
        {L"ActiveXRegistryTest.Control.1\\CLSID", clsid},
        {L"ActiveXRegistryTest.Control\\CLSID", clsid},
        {L"ActiveXRegistryTest.Control\\CurVer", L"ActiveXRegistryTest.Control.1"},
    };
    for (const auto& [k, v] : values)
        EXPECT_EQ(narrow(classesValue(k)), narrow(v)) << narrow(k);
    EXPECT_EQ(narrow(classesValue(key + L"\\InprocServer32", L"ThreadingModel")), "Both");
    for (const wchar_t* sub : {L"\\Control", L"\\Programmable",
                               L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"})
        EXPECT_TRUE(classesKeyExists(key + sub)) << narrow(sub);

    unregisterControl(registration());
    EXPECT_FALSE(classesKeyExists(key));
    EXPECT_FALSE(classesKeyExists(L"ActiveXRegistryTest.Control.1"));
    EXPECT_FALSE(classesKeyExists(L"ActiveXRegistryTest.Control"));
    // Again, with nothing left to remove.
    EXPECT_NO_THROW(unregisterControl(registration()));
}

TEST_F(Registration, LeavesAProgIdThatNowNamesAnotherClass) {
    registerControl(registration(), L"C:\\x\\test.ocx");
    ControlRegistration other = registration();
    other.clsid.Data1 ^= 1;
    other.versionIndependentProgId.clear();
    registerControl(other, L"C:\\x\\other.ocx"); // takes over the versioned ProgID
    unregisterControl(registration());
    EXPECT_FALSE(classesKeyExists(key));
    EXPECT_FALSE(classesKeyExists(L"ActiveXRegistryTest.Control"));
    EXPECT_EQ(narrow(classesValue(L"ActiveXRegistryTest.Control.1\\CLSID")),
              narrow(guidText(other.clsid)));
    unregisterControl(other);
    EXPECT_FALSE(classesKeyExists(L"ActiveXRegistryTest.Control.1"));
}

// A path with a blank is registered as the server in its short form (hosts that
// split the value at blanks still find it); the toolbox bitmap keeps the long form.
TEST_F(Registration, ServerPathWithABlankIsWrittenShort) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / L"activex with blank";
    std::filesystem::create_directories(dir);
    const std::filesystem::path ocx = dir / L"test control.ocx";
    std::ofstream(ocx) << "x";
    const std::wstring path = ocx.wstring();
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(path.c_str(), shortPath, MAX_PATH), 0u);
    ASSERT_EQ(std::wstring(shortPath).find(L' '), std::wstring::npos)
        << "the file system gives no short name here: " << narrow(shortPath);

    registerControl(registration(), path);
    EXPECT_EQ(narrow(classesValue(key + L"\\InprocServer32")), narrow(shortPath));
    EXPECT_EQ(narrow(classesValue(key + L"\\ToolboxBitmap32")), narrow(path + L",1"));
    unregisterControl(registration());
    std::filesystem::remove_all(dir);
}
