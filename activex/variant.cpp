// VARIANT ownership and conversion.
#include "activex/variant.h"

#include "activex/bstr.h"
#include "activex/hresult.h"

#include <utility>

namespace activex {

Variant Variant::fromText(std::wstring_view text) {
    Variant r;
    V_BSTR(&r.v_) = Bstr(text).detach();
    V_VT(&r.v_) = VT_BSTR;
    return r;
}

Variant Variant::fromUtf8(std::string_view utf8) {
    Variant r;
    V_BSTR(&r.v_) = Bstr::fromUtf8(utf8).detach();
    V_VT(&r.v_) = VT_BSTR;
    return r;
}

Variant Variant::fromInt(LONG value) noexcept {
    Variant r;
    V_VT(&r.v_) = VT_I4;
    V_I4(&r.v_) = value;
    return r;
}

Variant Variant::fromBool(bool value) noexcept {
    Variant r;
    V_VT(&r.v_) = VT_BOOL;
    V_BOOL(&r.v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}

Variant Variant::copyOf(const VARIANT& v) {
    Variant r;
    // VariantCopy only reads its source; the header lacks the const.
    check(VariantCopy(&r.v_, const_cast<VARIANT*>(&v)), "VariantCopy");
    return r;
}

Variant::Variant(const Variant& o) : Variant(copyOf(o.v_)) {}

Variant::Variant(Variant&& o) noexcept {
    v_ = o.v_; // a bitwise move: the source gives up what it held
    VariantInit(&o.v_);
}

Variant& Variant::operator=(Variant o) noexcept {
    std::swap(v_, o.v_);
    return *this;
}

void Variant::detachTo(VARIANT* out) noexcept {
    *out = v_;
    VariantInit(&v_);
}

std::string variantToUtf8(const VARIANT& v) {
    Variant text;
    if (FAILED(VariantChangeType(text.get(), const_cast<VARIANT*>(&v), 0, VT_BSTR)) ||
        text.type() != VT_BSTR)
        return {};
    return bstrToUtf8(V_BSTR(text.get()));
}

} // namespace activex
