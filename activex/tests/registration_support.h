// Helpers of the control libraries' tests: regsvr32 of a library of the build
// tree, a snapshot of HKEY_CLASSES_ROOT to show that unregistering leaves the
// registry as it was before registering, and the type a design host reads for a
// property.
#pragma once

#include "activex/bstr.h"
#include "activex/com_ptr.h"
#include "activex/registry.h"
#include "activex/text.h"
#include "activex/win.h"
#include "platform/windows/handles.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace activex::testing {

// A path of the build tree as Windows sees it (Z: is Wine's root).
inline std::wstring windowsPath(const char* unixPath) {
    std::wstring path = L"Z:" + utf8ToWide(unixPath);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

// Runs a command line and returns its exit code (~0u if it did not start).
inline DWORD runProgram(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return ~0u;
    platform::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = ~0u;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

// regsvr32 with the given options ("/s", "/u /s") on a library; its exit code.
inline DWORD regsvr32(const std::wstring& options, const std::wstring& library) {
    return runProgram(L"regsvr32.exe " + options + L" \"" + library + L"\"");
}

// Every key and value under HKEY_CLASSES_ROOT: "key" for a key, "key\[name]" for
// a value (its type and bytes as the text). Names are case-insensitive, so the
// map holds them in upper case.
using RegistrySnapshot = std::map<std::wstring, std::wstring>;

inline std::wstring upperCase(std::wstring name) {
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

inline void snapshotKey(HKEY parent, const std::wstring& path, RegistrySnapshot& out) {
    platform::UniqueHkey key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    out[upperCase(path)];
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        if (RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
        nameLength = 16384;
        DWORD read = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &read);
        data.resize(read / sizeof(wchar_t));
        out[upperCase(path + L"\\[" + name + L"]")] = std::to_wstring(type) + L":" + data;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        snapshotKey(parent, path.empty() ? name : path + L"\\" + name, out);
    }
}

inline RegistrySnapshot classesSnapshot() {
    RegistrySnapshot out;
    snapshotKey(HKEY_CLASSES_ROOT, L"", out);
    return out;
}

// What one snapshot has that the other lacks or holds otherwise, one line each,
// among the keys that `owned` accepts.
template <typename Owned>
std::vector<std::string> snapshotDifferences(const RegistrySnapshot& before,
                                             const RegistrySnapshot& after, Owned owned) {
    std::vector<std::string> out;
    for (const auto& [k, v] : after) {
        if (!owned(k))
            continue;
        const auto it = before.find(k);
        if (it == before.end())
            out.push_back("added " + wideToUtf8(k));
        else if (it->second != v)
            out.push_back("changed " + wideToUtf8(k));
    }
    for (const auto& [k, v] : before)
        if (owned(k) && !after.count(k))
            out.push_back("removed " + wideToUtf8(k));
    return out;
}

// Whether a snapshot key lies under one of the names a library registers: its
// ProgIDs (the top-level keys it writes), the GUIDs of its class, type library and
// interfaces (the keys it writes under CLSID, TypeLib and Interface), and every
// interface that the registered snapshot files under its type library, in any
// registry view. Other programs of the prefix change the rest of HKEY_CLASSES_ROOT
// meanwhile (Wine registers its own classes and type libraries on their first use).
class OwnedKeys {
public:
    OwnedKeys(const std::vector<std::wstring>& keyPaths, const RegistrySnapshot& registered) {
        for (const std::wstring& path : keyPaths) {
            const std::vector<std::wstring> parts = components(upperCase(path));
            if (parts.empty())
                continue;
            const bool underRoot =
                parts[0] == L"CLSID" || parts[0] == L"TYPELIB" || parts[0] == L"INTERFACE";
            if (!underRoot)
                names_.push_back(parts[0]);
            else if (parts.size() > 1)
                names_.push_back(parts[1]);
        }
        const std::size_t own = names_.size();
        for (const auto& [key, value] : registered) {
            const std::vector<std::wstring> parts = components(key);
            if (parts.size() == 4 && parts[0] == L"INTERFACE" && parts[2] == L"TYPELIB" &&
                parts[3] == L"[]")
                for (std::size_t i = 0; i < own; ++i)
                    if (upperCase(value).find(names_[i]) != std::wstring::npos)
                        names_.push_back(parts[1]);
        }
    }
    bool operator()(const std::wstring& snapshotKey) const {
        for (const std::wstring& part : components(snapshotKey))
            for (const std::wstring& name : names_)
                if (part == name)
                    return true;
        return false;
    }

private:
    static std::vector<std::wstring> components(const std::wstring& path) {
        std::vector<std::wstring> out;
        std::size_t start = 0;
        while (start <= path.size()) {
            const std::size_t end = std::min(path.find(L'\\', start), path.size());
            if (end > start)
                out.push_back(path.substr(start, end - start));
            start = end + 1;
        }
        return out;
    }
    std::vector<std::wstring> names_;
};

// A key that registration writes, with its expected default (or named) value; an
// empty value means "the key exists".
struct ExpectedKey {
    std::wstring key, name, value;
};

// regsvr32 writes every expected key, regsvr32 /u removes them all and leaves
// every key under the library's own names as it was; unregistering again is no
// failure.
inline void checkSelfRegistration(const std::wstring& library,
                                  const std::vector<ExpectedKey>& keys) {
    regsvr32(L"/u /s", library); // what an interrupted run may have left
    const RegistrySnapshot before = classesSnapshot();
    ASSERT_EQ(regsvr32(L"/s", library), 0u);
    const RegistrySnapshot registered = classesSnapshot();
    for (const ExpectedKey& k : keys) {
        EXPECT_TRUE(registered.count(upperCase(k.key))) << wideToUtf8(k.key) << " is missing";
        if (!k.value.empty()) {
            EXPECT_EQ(wideToUtf8(classesValue(k.key, k.name)), wideToUtf8(k.value))
                << wideToUtf8(k.key) << " " << wideToUtf8(k.name);
        }
    }
    ASSERT_EQ(regsvr32(L"/u /s", library), 0u);
    for (const ExpectedKey& k : keys)
        EXPECT_FALSE(classesKeyExists(k.key)) << wideToUtf8(k.key) << " is left";
    std::vector<std::wstring> paths;
    for (const ExpectedKey& k : keys)
        paths.push_back(k.key);
    EXPECT_EQ(snapshotDifferences(before, classesSnapshot(), OwnedKeys(paths, registered)),
              std::vector<std::string>{});
    EXPECT_EQ(regsvr32(L"/u /s", library), 0u);
}

// The type of a property as its library's type information names it: a user-defined
// type by its name and GUID and the type it stands for, any other by its VARTYPE.
struct PropertyType {
    VARTYPE vt = VT_EMPTY;
    std::wstring name;
    GUID guid{};
    VARTYPE aliasOf = VT_EMPTY;
};

// The property `id` of the dispatch interface `iid` in the type library of `library`,
// as its getter returns it (kind INVOKE_PROPERTYGET) or its setter takes it.
inline PropertyType propertyType(const std::wstring& library, REFIID iid, MEMBERID id,
                                 INVOKEKIND kind) {
    PropertyType out;
    ComPtr<ITypeLib> lib;
    ComPtr<ITypeInfo> info;
    if (FAILED(LoadTypeLibEx(library.c_str(), REGKIND_NONE, lib.put())) ||
        FAILED(lib->GetTypeInfoOfGuid(iid, info.put())))
        return out;
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* f = nullptr;
        info->GetFuncDesc(i, &f);
        if (f->memid == id && f->invkind == kind) {
            // The dispatch view: a getter returns the value, a setter takes it first.
            const TYPEDESC& t =
                kind == INVOKE_PROPERTYGET ? f->elemdescFunc.tdesc : f->lprgelemdescParam[0].tdesc;
            out.vt = t.vt;
            ComPtr<ITypeInfo> ref;
            TYPEATTR* refAttr = nullptr;
            if (t.vt == VT_USERDEFINED && SUCCEEDED(info->GetRefTypeInfo(t.hreftype, ref.put())) &&
                SUCCEEDED(ref->GetTypeAttr(&refAttr))) {
                Bstr name;
                ref->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
                out.name = name.get() ? name.get() : L"";
                out.guid = refAttr->guid;
                if (refAttr->typekind == TKIND_ALIAS)
                    out.aliasOf = refAttr->tdescAlias.vt;
                ref->ReleaseTypeAttr(refAttr);
            }
        }
        info->ReleaseFuncDesc(f);
    }
    return out;
}

// What names one of our active forms in the registry.
struct ActiveFormIdentity {
    std::wstring library; // its path
    std::wstring clsid, name, progId, threadingModel;
    std::wstring libid, libraryName;
    std::wstring interfaceIid, interfaceName, eventsIid, eventsName;
};

// The keys self-registration writes for an active form (and its type library).
inline std::vector<ExpectedKey> activeFormKeys(const ActiveFormIdentity& form) {
    const std::wstring key = L"CLSID\\" + form.clsid;
    const std::wstring typeLib = L"TypeLib\\" + form.libid + L"\\1.0";
    return {
        {key, L"", form.name},
        {key + L"\\InprocServer32", L"", form.library},
        {key + L"\\InprocServer32", L"ThreadingModel", form.threadingModel},
        {key + L"\\ProgID", L"", form.progId},
        {key + L"\\Version", L"", L"1.0"},
        {key + L"\\TypeLib", L"", form.libid},
        {key + L"\\MiscStatus", L"", L"0"},
        {key + L"\\MiscStatus\\1", L"", L"205201"},
        {key + L"\\ToolboxBitmap32", L"", form.library + L",1"},
        {key + L"\\Control", L"", L""},
        {key + L"\\Verb\\-7", L"", L"&Properties,0,2"},
        {form.progId, L"", form.name},
        {form.progId + L"\\CLSID", L"", form.clsid},
        {typeLib, L"", form.libraryName},
        {typeLib + L"\\409\\" + (sizeof(void*) == 8 ? L"win64" : L"win32"), L"", L""},
        {L"Interface\\" + form.interfaceIid, L"", form.interfaceName},
        {L"Interface\\" + form.eventsIid, L"", form.eventsName},
    };
}

// A design host's property browser offers a colour picker for an OLE_COLOR property:
// the interface's Color, got and put, is the standard alias, known by its GUID,
// standing for an unsigned 32-bit value.
inline void expectColorIsOleColor(const std::wstring& library, REFIID iface) {
    for (INVOKEKIND kind : {INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT}) {
        const PropertyType type = propertyType(library, iface, DISPID_BACKCOLOR, kind);
        EXPECT_EQ(type.vt, VT_USERDEFINED) << "invoke kind " << kind;
        EXPECT_EQ(wideToUtf8(type.name), "OLE_COLOR") << "invoke kind " << kind;
        EXPECT_EQ(type.guid, GUID_COLOR) << "invoke kind " << kind;
        EXPECT_EQ(type.aliasOf, VT_UI4) << "invoke kind " << kind;
    }
}

} // namespace activex::testing
