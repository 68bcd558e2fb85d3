// Self-registration of a control class and of the type library embedded in the
// module: what registerControl writes, unregisterControl removes, and nothing else.
#pragma once

#include "activex/win.h"

#include <string>
#include <vector>

namespace activex {

struct ControlRegistration {
    CLSID clsid{};
    std::wstring name;                     // CLSID key's default value (and the ProgID's)
    std::wstring progId;                   // e.g. "Library.Class"
    std::wstring versionIndependentProgId; // empty: the same as progId
    std::wstring threadingModel = L"Apartment";
    GUID libid{};
    std::wstring typeLibVersion = L"1.0";
    std::wstring miscStatus = L"0"; // MiscStatus default value
    DWORD miscStatusContent = 0;    // MiscStatus\1 (DVASPECT_CONTENT), decimal text
    int toolboxBitmapId = 0;        // ToolboxBitmap32 = "<module>,<id>"; 0: none
    bool propertiesVerb = false;    // Verb\-7: the properties verb on the container's menu
    bool control = true;            // the Control key and CATID_Control
    bool programmable = true;       // the Programmable key
};

// The text form of a GUID, "{xxxxxxxx-...}" in upper case as COM writes it.
std::wstring guidText(REFGUID guid);

// Writes the class's keys under HKEY_CLASSES_ROOT for the server at modulePath.
// On failure whatever was written is removed again, and the error is thrown.
void registerControl(const ControlRegistration& reg, const std::wstring& modulePath);
// Removes the keys registerControl writes; a ProgID that now names another
// class is left alone. Missing keys are not an error.
void unregisterControl(const ControlRegistration& reg);

// Registers the TYPELIB resource 1 of the module at modulePath (LoadTypeLibEx
// with registration) / removes that registration for the module's platform.
void registerTypeLib(const std::wstring& modulePath);
void unregisterTypeLib(const std::wstring& modulePath);

// Registry helpers (HKEY_CLASSES_ROOT relative paths), exposed for tests.
bool classesKeyExists(const std::wstring& subkey);
// The default value (name empty) or a named string value; empty when missing.
std::wstring classesValue(const std::wstring& subkey, const std::wstring& name = {});

} // namespace activex
