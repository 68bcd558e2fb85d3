#include "hidcontroller/module_loader.h"

namespace hidcontroller {

using platform::kNullModule;
using platform::kNullProc;

bool LoadModuleByName(platform::Api& api, platform::Module& module, const char* name) {
    if (module == kNullModule)
        module = api.LoadLibraryA(name);
    return module != kNullModule;
}

void UnloadModule(platform::Api& api, platform::Module& module) {
    if (module != kNullModule)
        api.FreeLibrary(module); // a module that will not go is no concern of the binding
    module = kNullModule;
}

platform::Proc GetModuleSymbol(platform::Api& api, platform::Module module, const char* name) {
    if (module == kNullModule)
        return kNullProc;
    return api.GetProcAddress(module, name);
}

platform::Proc GetModuleSymbolChecked(platform::Api& api, platform::Module module, const char* name,
                                      bool& allFound) {
    const platform::Proc proc = GetModuleSymbol(api, module, name);
    allFound = allFound && proc != kNullProc;
    return proc;
}

} // namespace hidcontroller
