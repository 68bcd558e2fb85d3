// The entry points of Norvellix1C.ocx: class object, unloading, self-registration.
#include "activex/server.h"

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
    r.toolboxBitmapId = 1;
    r.propertiesVerb = true;
    return r;
}();

const activex::ServerClass kClasses[] = {
    {&CLSID_Norvellix_Component, &component::com::NorvellixComponentControl::create,
     &kComponentRegistration, &component::com::NorvellixComponentControl::kClass}};

} // namespace

ACTIVEX_SERVER_ENTRY_POINTS(kClasses)
