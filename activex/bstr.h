// An owning BSTR: allocated with SysAllocString*, freed with SysFreeString.
#pragma once

#include "activex/win.h"

#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace activex {

class Bstr {
public:
    Bstr() noexcept = default;
    // Throws std::bad_alloc when the system allocator refuses.
    explicit Bstr(std::wstring_view text) : b_(allocate(text)) {}
    static Bstr fromUtf8(std::string_view utf8);
    // Takes over a BSTR the caller owns.
    static Bstr adopt(BSTR b) noexcept {
        Bstr r;
        r.b_ = b;
        return r;
    }

    Bstr(const Bstr& o) : b_(o.b_ ? allocate(o.view()) : nullptr) {}
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    Bstr& operator=(Bstr o) noexcept {
        std::swap(b_, o.b_);
        return *this;
    }
    ~Bstr() { reset(); }

    void reset() noexcept {
        if (BSTR b = std::exchange(b_, nullptr))
            SysFreeString(b);
    }
    [[nodiscard]] BSTR detach() noexcept { return std::exchange(b_, nullptr); }
    [[nodiscard]] BSTR* put() noexcept {
        reset();
        return &b_;
    }
    // The slot itself, for an [in, out] argument whose callee may replace it.
    BSTR* addressOf() noexcept { return &b_; }

    BSTR get() const noexcept { return b_; }
    // A null BSTR is the empty text, as Automation treats it.
    std::wstring_view view() const noexcept { return {b_ ? b_ : L"", length()}; }
    size_t length() const noexcept { return b_ ? SysStringLen(b_) : 0; }
    std::string utf8() const;

private:
    static BSTR allocate(std::wstring_view text);
    BSTR b_ = nullptr;
};

// The text of any BSTR (null = empty) as UTF-8.
std::string bstrToUtf8(BSTR b);

} // namespace activex
