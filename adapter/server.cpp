// The entry points of Brevantel.ocx: class object, unloading, self-registration.
#include "activex/server.h"

#include "activex/window.h"
#include "adapter/malvo_control.h"

namespace {

const activex::ControlRegistration kMalvoRegistration = [] {
    activex::ControlRegistration r;
    r.clsid = CLSID_Malvo;
    r.name = L"Malvo Control";
    r.progId = L"Brevantel.Malvo";
    r.threadingModel = L"Both";
    r.libid = LIBID_Brevantel;
    r.typeLibVersion = L"1.0";
    r.miscStatus = L"0";
    r.miscStatusContent = 205201;
    r.toolboxBitmapId = 1;
    return r;
}();

const activex::ServerClass kClasses[] = {
    {&CLSID_Malvo, &adapter::MalvoControl::create, &kMalvoRegistration}};

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
