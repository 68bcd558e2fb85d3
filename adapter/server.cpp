// The entry points of Brevantel.ocx: class object, unloading, self-registration.
#include "activex/server.h"

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
    r.toolboxBitmapId = 1;
    r.propertiesVerb = true;
    return r;
}();

const activex::ServerClass kClasses[] = {{&CLSID_Malvo, &adapter::MalvoControl::create,
                                          &kMalvoRegistration, &adapter::MalvoControl::kClass}};

} // namespace

ACTIVEX_SERVER_ENTRY_POINTS(kClasses)
