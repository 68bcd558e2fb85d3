// The entry points of Norvellix.ocx: class object, unloading, self-registration.
#include "activex/server.h"

#include "activex/window.h"
#include "crmcontrol/com/norvellix_control.h"

namespace {

const activex::ControlRegistration kNorvellixRegistration = [] {
    activex::ControlRegistration r;
    r.clsid = CLSID_Norvellix;
    r.name = L"Norvellix";
    r.progId = L"Norvellix_Project.Norvellix";
    r.threadingModel = L"Apartment";
    r.libid = LIBID_Norvellix_Project;
    r.typeLibVersion = L"1.0";
    r.miscStatus = L"0";
    r.miscStatusContent = 148881;
    r.toolboxBitmapId = 30000;
    return r;
}();

const activex::ServerClass kClasses[] = {
    {&CLSID_Norvellix, &crmcontrol::com::NorvellixControl::create, &kNorvellixRegistration}};

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
