// The server module's counts, handle and path.
#include "activex/module.h"

#include "activex/hresult.h"

namespace activex {

ServerModule& serverModule() noexcept {
    static ServerModule module;
    return module;
}

HMODULE ServerModule::handle() noexcept {
    HMODULE self = nullptr;
    // The module that holds this very function: the server DLL when linked into
    // one, the test program otherwise.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ServerModule::handle), &self);
    return self;
}

std::wstring ServerModule::path() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(handle(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            throw ComError(HRESULT_FROM_WIN32(GetLastError()), "GetModuleFileName");
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace activex
