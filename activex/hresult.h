// Errors at the COM boundary. Inside the framework a failing call throws
// ComError; every COM method body runs in comGuard(), which turns whatever
// is thrown into an HRESULT so that no C++ exception crosses into the caller,
// and hands the caller the error's description when it carries one.
#pragma once

#include "activex/win.h"

#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace activex {

// What a caller is told through IErrorInfo (GetErrorInfo) of a failure.
struct ErrorDescription {
    std::wstring text;
    std::wstring source; // the ProgID of the class that failed
    IID iid = IID_NULL;  // the interface that defined the error
};

class ComError : public std::runtime_error {
public:
    ComError(HRESULT hr, const std::string& operation) : std::runtime_error(operation), hr_(hr) {}
    // An error whose description reaches the caller as its error information.
    ComError(HRESULT hr, const std::string& operation, ErrorDescription description)
        : std::runtime_error(operation), hr_(hr), description_(std::move(description)) {}
    HRESULT hr() const noexcept { return hr_; }
    const std::optional<ErrorDescription>& description() const noexcept { return description_; }

private:
    HRESULT hr_;
    std::optional<ErrorDescription> description_;
};

// Throws ComError(hr, operation) when hr is a failure; returns hr otherwise.
inline HRESULT check(HRESULT hr, const char* operation) {
    if (FAILED(hr))
        throw ComError(hr, operation);
    return hr;
}

// The HRESULT of the exception being handled (call inside a catch block); a
// ComError's description becomes the thread's error information.
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
