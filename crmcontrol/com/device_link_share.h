// The device link's module state shared by every Norvellix control on one host
// thread: the one named place of the control library's module-wide state.
//
// All instances on a thread drive the same devices and serials (without a
// lock: they run one at a time on that thread). Instances on different threads
// get a device link each, since apartments never share an unlocked state.
#pragma once

#include "devicelink/hid_module.h"

#include <memory>

namespace crmcontrol::com {

// The calling thread's device link, made on first use over the process's
// platform backend; it lives while any control of the thread holds it.
std::shared_ptr<devicelink::HIDmodule> threadDeviceLink();

} // namespace crmcontrol::com
