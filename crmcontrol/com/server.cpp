// The entry points of Norvellix.ocx: class object, unloading, self-registration,
// and the simulator's audit for test hosts.
#include "activex/server.h"

#include "activex/window.h"
#include "crmcontrol/com/norvellix_control.h"
#include "platform/process_api.h"

#include <algorithm>
#include <cstring>

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

// Under NORVELLIX_SIMULATOR: the simulated bus's audit of handles as text (one
// line per finding; empty when clean), so a test host can check what the
// control left open. Returns the text's length, or -1 without a simulated bus.
int WINAPI SimulatorAudit(char* text, int size) {
    platform::SimulatedBus* bus = platform::processSimulatedBus();
    if (!bus)
        return -1;
    std::string audit;
    try {
        const platform::Audit a = bus->audit();
        audit = a.clean() ? std::string() : a.describe();
    } catch (...) {
        return -1;
    }
    if (text && size > 0) {
        const size_t n = std::min(audit.size(), static_cast<size_t>(size - 1));
        std::memcpy(text, audit.data(), n);
        text[n] = '\0';
    }
    return static_cast<int>(audit.size());
}
}
