#include "fuzz/check.h"

#include <cstdio>
#include <cstdlib>

namespace fuzz {

void fail(const std::string& message) {
    std::fprintf(stderr, "fuzz property failed: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz
