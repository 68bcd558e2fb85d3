// The entry points of Norvellix1C.ocx: class object, unloading, self-registration.
#include "activex/server.h"

#include "activex/window.h"
#include "component/com/component_control.h"

namespace {

const activex::ControlRegistration kComponentRegistration = [] {
    activex::ControlRegistration r;
    r.clsid = CLSID_Norvellix_Component;
    r.name = L"Norvellix_Component Control";
    r.progId = L"Norvellix1C.Norvellix_Component";
    r.threadingModel = L"Apartment";
    r.libid = LIBID_Norvellix1C;
    r.typeLibVersion = L"1.0";
    r.miscStatus = L"0";
    r.miscStatusContent = 205201;
    r.toolboxBitmapId = 1;
    return r;
}();

const activex::ServerClass kClasses[] = {{&CLSID_Norvellix_Component,
                                          &component::com::NorvellixComponentControl::create,
                                          &kComponentRegistration}};

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // At process exit (reserved non-null) the system takes the classes itself.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        activex::unregisterWindowClass();
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    return activex::dllGetClassObject(kClasses, clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return activex::dllCanUnloadNow();
}

STDAPI DllRegisterServer() {
    return activex::dllRegisterServer(kClasses);
}

STDAPI DllUnregisterServer() {
    return activex::dllUnregisterServer(kClasses);
}
}
