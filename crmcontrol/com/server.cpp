// The entry points of Norvellix.ocx: class object, unloading, self-registration.
#include "activex/server.h"

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
    r.toolboxBitmapId = 30000;
    return r;
}();

const activex::ServerClass kClasses[] = {
    {&CLSID_Norvellix, &crmcontrol::com::NorvellixControl::create, &kNorvellixRegistration,
     &crmcontrol::com::NorvellixControl::kClass}};

} // namespace

ACTIVEX_SERVER_ENTRY_POINTS(kClasses)
