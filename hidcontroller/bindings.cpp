#include "hidcontroller/bindings.h"

namespace hidcontroller {

ProcessBindings& processBindings() {
    static ProcessBindings bindings;
    return bindings;
}

} // namespace hidcontroller
