// An owning VARIANT: initialised empty, cleared with VariantClear.
#pragma once

#include "activex/win.h"

#include <string>
#include <string_view>

namespace activex {

class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    // A VT_BSTR holding the text (throws std::bad_alloc).
    static Variant fromText(std::wstring_view text);
    static Variant fromUtf8(std::string_view utf8);
    static Variant fromInt(LONG value) noexcept;
    static Variant fromBool(bool value) noexcept;
    // A deep copy of any VARIANT (throws activex::ComError when VariantCopy fails).
    static Variant copyOf(const VARIANT& v);

    Variant(const Variant& o);
    Variant(Variant&& o) noexcept;
    Variant& operator=(Variant o) noexcept;
    ~Variant() { VariantClear(&v_); }

    void clear() noexcept { VariantClear(&v_); }
    // Hands the value to an [out] VARIANT*; this one is left empty.
    void detachTo(VARIANT* out) noexcept;
    // Clears and returns the VARIANT for a call that fills it.
    VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARTYPE type() const noexcept { return V_VT(&v_); }

private:
    VARIANT v_;
};

// The value of a VARIANT as text (VariantChangeType to VT_BSTR, following
// VT_BYREF); empty for VT_EMPTY, VT_NULL or a value that has no text.
std::string variantToUtf8(const VARIANT& v);

} // namespace activex
