// The in-process server: a class factory per creatable class and the bodies of
// the four DLL entry points over a table of the module's classes.
#pragma once

#include "activex/registry.h"
#include "activex/win.h"

#include <span>

namespace activex {

// Creates a new instance and queries it for riid (the instance counts itself in
// the module while it lives).
using CreateInstanceFn = HRESULT (*)(REFIID riid, void** ppv);

struct ServerClass {
    const CLSID* clsid;
    CreateInstanceFn create;
    const ControlRegistration* registration; // null: not self-registered
};

// The bodies of DllGetClassObject, DllCanUnloadNow, DllRegisterServer and
// DllUnregisterServer for the classes of one module.
HRESULT dllGetClassObject(std::span<const ServerClass> classes, REFCLSID clsid, REFIID riid,
                          void** ppv) noexcept;
HRESULT dllCanUnloadNow() noexcept;
// Registers the embedded type library, then every class; on failure nothing
// stays registered.
HRESULT dllRegisterServer(std::span<const ServerClass> classes) noexcept;
HRESULT dllUnregisterServer(std::span<const ServerClass> classes) noexcept;

} // namespace activex
