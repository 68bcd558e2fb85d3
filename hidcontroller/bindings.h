// The process-wide binding of SetupAPI and HID: the one place where it lives. Bound
// and unbound on the user-interface thread (by the controllers and device objects);
// the read threads only call through slots bound before they start.
#pragma once

#include "hidcontroller/hid.h"
#include "hidcontroller/setup_api.h"

namespace hidcontroller {

struct ProcessBindings {
    SetupApiBinding setupApi;
    HidBinding hid;
};

ProcessBindings& processBindings();

} // namespace hidcontroller
