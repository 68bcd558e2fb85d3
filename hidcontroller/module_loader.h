// Loading a platform library by name and looking its exports up, as the controller's
// run-time binding does it (nothing of SetupAPI or HID is linked at build time).
#pragma once

#include "platform/api.h"

namespace hidcontroller {

// Loads `name` into `module` when `module` is none; a loaded module is left alone.
// True when `module` is loaded afterwards.
bool LoadModuleByName(platform::Api& api, platform::Module& module, const char* name);

// Frees `module` when it is loaded; it is none afterwards.
void UnloadModule(platform::Api& api, platform::Module& module);

// The export, or none when `module` is none.
platform::Proc GetModuleSymbol(platform::Api& api, platform::Module module, const char* name);

// As GetModuleSymbol; `allFound` stays true only when the export was found.
platform::Proc GetModuleSymbolChecked(platform::Api& api, platform::Module module, const char* name,
                                      bool& allFound);

} // namespace hidcontroller
