// Registry writes of self-registration; every key is held by a UniqueHkey.
#include "activex/registry.h"

#include "activex/com_ptr.h"
#include "activex/hresult.h"
#include "platform/windows/handles.h"

namespace activex {
namespace {

// CATID_Control, the component category of ActiveX controls.
constexpr GUID kCatidControl = {
    0x40fc6ed4, 0x2438, 0x11cf, {0xa3, 0xdb, 0x08, 0x00, 0x36, 0xf1, 0x25, 0x02}};

platform::UniqueHkey createKey(const std::wstring& subkey) {
    platform::UniqueHkey key;
    const LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0,
                                    KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr);
    if (rc != ERROR_SUCCESS)
        throw ComError(HRESULT_FROM_WIN32(rc), "RegCreateKeyEx");
    return key;
}

void setString(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    platform::UniqueHkey key = createKey(subkey);
    const LONG rc =
        RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS)
        throw ComError(HRESULT_FROM_WIN32(rc), "RegSetValueEx");
}

void deleteTree(const std::wstring& subkey) {
    // A key that is already gone is what unregistration wants.
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, subkey.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        throw ComError(HRESULT_FROM_WIN32(rc), "RegDeleteTree");
    RegDeleteKeyW(HKEY_CLASSES_ROOT, subkey.c_str()); // the key itself, now empty
}

// The server's path as InprocServer32 names it: its short form when the path holds
// a blank (hosts that split the value at blanks still find the module); the long
// path when the file system gives no short form.
std::wstring serverPath(const std::wstring& modulePath) {
    if (modulePath.find(L' ') == std::wstring::npos)
        return modulePath;
    std::wstring shortPath(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetShortPathNameW(modulePath.c_str(), shortPath.data(),
                                          static_cast<DWORD>(shortPath.size()));
        if (n == 0)
            return modulePath;
        if (n < shortPath.size()) {
            shortPath.resize(n);
            return shortPath;
        }
        shortPath.resize(n);
    }
}

void writeProgId(const std::wstring& progId, const std::wstring& name, const std::wstring& clsid) {
    setString(progId, nullptr, name);
    setString(progId + L"\\CLSID", nullptr, clsid);
}

void removeProgIdIfOurs(const std::wstring& progId, const std::wstring& clsid) {
    if (progId.empty() || !classesKeyExists(progId))
        return;
    if (_wcsicmp(classesValue(progId + L"\\CLSID").c_str(), clsid.c_str()) == 0)
        deleteTree(progId);
}

struct TypeLibIdentity {
    GUID libid;
    WORD major, minor;
    LCID lcid;
    SYSKIND syskind;
};

TypeLibIdentity typeLibIdentity(const std::wstring& modulePath, REGKIND kind) {
    ComPtr<ITypeLib> lib;
    check(LoadTypeLibEx(modulePath.c_str(), kind, lib.put()), "LoadTypeLibEx");
    TLIBATTR* attr = nullptr;
    check(lib->GetLibAttr(&attr), "ITypeLib::GetLibAttr");
    const TypeLibIdentity id{attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid,
                             attr->syskind};
    lib->ReleaseTLibAttr(attr);
    return id;
}

} // namespace

std::wstring guidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool classesKeyExists(const std::wstring& subkey) {
    platform::UniqueHkey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, KEY_READ, key.put()) ==
           ERROR_SUCCESS;
}

std::wstring classesValue(const std::wstring& subkey, const std::wstring& name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), name.empty() ? nullptr : name.c_str(),
                     RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return {};
    return buffer;
}

void registerControl(const ControlRegistration& reg, const std::wstring& modulePath) {
    const std::wstring clsid = guidText(reg.clsid);
    const std::wstring key = L"CLSID\\" + clsid;
    const std::wstring independent =
        reg.versionIndependentProgId.empty() ? reg.progId : reg.versionIndependentProgId;
    try {
        setString(key, nullptr, reg.name);
        setString(key + L"\\InprocServer32", nullptr, serverPath(modulePath));
        setString(key + L"\\InprocServer32", L"ThreadingModel", reg.threadingModel);
        if (!reg.progId.empty()) {
            setString(key + L"\\ProgID", nullptr, reg.progId);
            writeProgId(reg.progId, reg.name, clsid);
        }
        if (!independent.empty()) {
            setString(key + L"\\VersionIndependentProgID", nullptr, independent);
            if (independent != reg.progId) {
                writeProgId(independent, reg.name, clsid);
                setString(independent + L"\\CurVer", nullptr, reg.progId);
            }
        }
        setString(key + L"\\Version", nullptr, reg.typeLibVersion);
        setString(key + L"\\TypeLib", nullptr, guidText(reg.libid));
        if (reg.programmable)
            createKey(key + L"\\Programmable");
        if (reg.control) {
            createKey(key + L"\\Control");
            createKey(key + L"\\Implemented Categories\\" + guidText(kCatidControl));
        }
        setString(key + L"\\MiscStatus", nullptr, reg.miscStatus);
        if (reg.miscStatusContent != 0)
            setString(key + L"\\MiscStatus\\1", nullptr, std::to_wstring(reg.miscStatusContent));
        if (reg.toolboxBitmapId != 0)
            setString(key + L"\\ToolboxBitmap32", nullptr,
                      modulePath + L"," + std::to_wstring(reg.toolboxBitmapId));
        if (reg.propertiesVerb)
            setString(key + L"\\Verb\\" + std::to_wstring(OLEIVERB_PROPERTIES), nullptr,
                      L"&Properties,0," + std::to_wstring(OLEVERBATTRIB_ONCONTAINERMENU));
    } catch (...) {
        try {
            unregisterControl(reg);
        } catch (...) {
            // the original failure is the one to report
        }
        throw;
    }
}

void unregisterControl(const ControlRegistration& reg) {
    const std::wstring clsid = guidText(reg.clsid);
    removeProgIdIfOurs(reg.progId, clsid);
    removeProgIdIfOurs(reg.versionIndependentProgId, clsid);
    deleteTree(L"CLSID\\" + clsid);
}

void registerTypeLib(const std::wstring& modulePath) {
    (void)typeLibIdentity(modulePath, REGKIND_REGISTER);
}

void unregisterTypeLib(const std::wstring& modulePath) {
    const TypeLibIdentity id = typeLibIdentity(modulePath, REGKIND_NONE);
    wchar_t version[16];
    swprintf(version, 16, L"%x.%x", id.major, id.minor);
    if (!classesKeyExists(L"TypeLib\\" + guidText(id.libid) + L"\\" + version))
        return; // not registered (any more): nothing to remove
    const HRESULT hr = UnRegisterTypeLib(id.libid, id.major, id.minor, id.lcid, id.syskind);
    // Not registered (any more) is what unregistration wants.
    if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED)
        throw ComError(hr, "UnRegisterTypeLib");
}

} // namespace activex
