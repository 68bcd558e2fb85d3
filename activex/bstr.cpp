// BSTR ownership and conversion.
#include "activex/bstr.h"

#include "activex/text.h"

#include <climits>

namespace activex {

BSTR Bstr::allocate(std::wstring_view text) {
    if (text.size() > UINT_MAX / sizeof(wchar_t))
        throw std::bad_alloc();
    BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b)
        throw std::bad_alloc();
    return b;
}

Bstr Bstr::fromUtf8(std::string_view utf8) {
    return Bstr(utf8ToWide(utf8));
}

std::string Bstr::utf8() const {
    return wideToUtf8(view());
}

std::string bstrToUtf8(BSTR b) {
    return wideToUtf8({b ? b : L"", b ? SysStringLen(b) : 0u});
}

} // namespace activex
