// Errors at the COM boundary. Inside the framework a failing call throws
// ComError; every COM method body runs in comGuard(), which turns whatever
// is thrown into an HRESULT so that no C++ exception crosses into the caller.
#pragma once

#include "activex/win.h"

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace activex {

class ComError : public std::runtime_error {
public:
    ComError(HRESULT hr, const std::string& operation) : std::runtime_error(operation), hr_(hr) {}
    HRESULT hr() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

// Throws ComError(hr, operation) when hr is a failure; returns hr otherwise.
inline HRESULT check(HRESULT hr, const char* operation) {
    if (FAILED(hr))
        throw ComError(hr, operation);
    return hr;
}

// The HRESULT of the exception being handled (call inside a catch block).
HRESULT currentExceptionToHresult() noexcept;

// Runs body (returning HRESULT or void) and maps any exception to an HRESULT.
template <typename F> HRESULT comGuard(F&& body) noexcept {
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (...) {
        return currentExceptionToHresult();
    }
}

} // namespace activex
