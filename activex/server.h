// The in-process server: a class factory per creatable class and the bodies of
// the four DLL entry points over a table of the module's classes.
#pragma once

#include "activex/registry.h"
#include "activex/win.h"
#include "activex/window.h"

#include <span>

namespace activex {

// Creates a new instance and queries it for riid (the instance counts itself in
// the module while it lives).
using CreateInstanceFn = HRESULT (*)(REFIID riid, void** ppv);

struct ControlClass;

struct ServerClass {
    const CLSID* clsid;
    CreateInstanceFn create;
    const ControlRegistration* registration; // null: not self-registered
    // The class the registration is of: the registry's MiscStatus is what it answers
    // GetMiscStatus with. Null: the registration's own miscStatusContent.
    const ControlClass* control = nullptr;
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

// Defines the four exported entry points (and DllMain) of a control library over
// its table of classes; each library names its table once and writes no body of
// its own. Exported undecorated through the library's .def file.
//
// The library's own entry point (activex_link_control_library names it to the linker)
// stands in front of the runtime's. When the process ends, the system has stopped
// every other thread first, maybe one of ours inside the runtime's or the window
// manager's locks; the runtime's work on the way out (the statics' destructors, its
// thread bookkeeping) could then wait for ever. The process takes everything with it,
// so the library returns at once, as the system advises. Unloaded by FreeLibrary, it
// goes through the runtime as usual.
#define ACTIVEX_SERVER_ENTRY_POINTS(classes)                                                       \
    extern "C" {                                                                                   \
    BOOL WINAPI DllMainCRTStartup(HANDLE, DWORD, LPVOID);                                          \
    BOOL WINAPI ActiveXLibraryEntry(HANDLE instance, DWORD reason, LPVOID reserved) {              \
        if (reason == DLL_PROCESS_DETACH && reserved != nullptr)                                   \
            return TRUE;                                                                           \
        return DllMainCRTStartup(instance, reason, reserved);                                      \
    }                                                                                              \
    BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {                                \
        /* At process exit (reserved non-null) the system takes the classes itself. */             \
        if (reason == DLL_PROCESS_DETACH && reserved == nullptr)                                   \
            activex::unregisterWindowClass();                                                      \
        return TRUE;                                                                               \
    }                                                                                              \
    STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {                            \
        return activex::dllGetClassObject(classes, clsid, riid, ppv);                              \
    }                                                                                              \
    STDAPI DllCanUnloadNow() {                                                                     \
        return activex::dllCanUnloadNow();                                                         \
    }                                                                                              \
    STDAPI DllRegisterServer() {                                                                   \
        return activex::dllRegisterServer(classes);                                                \
    }                                                                                              \
    STDAPI DllUnregisterServer() {                                                                 \
        return activex::dllUnregisterServer(classes);                                              \
    }                                                                                              \
    }
