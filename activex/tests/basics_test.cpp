// The RAII basics: text conversion, BSTR and VARIANT ownership, HRESULT guard.
#include "activex/bstr.h"
#include "activex/hresult.h"
#include "activex/text.h"
#include "activex/variant.h"

#include <gtest/gtest.h>

using namespace activex;

TEST(Text, RoundTripsNonAsciiUtf8) {
    const std::string utf8 = "Ar\xC4\xB1za \xC3\xA7"
                             "a\xC4\x9Fr\xC4\xB1";
    EXPECT_EQ(utf8ToWide(utf8), L"Ar\u0131za \u00e7a\u011fr\u0131");
    EXPECT_EQ(wideToUtf8(utf8ToWide(utf8)), utf8);
    EXPECT_EQ(wideToUtf8(L""), "");
}

TEST(Bstr, OwnsCopiesAndHandsOver) {
    Bstr a = Bstr::fromUtf8("0123ABCD");
    Bstr b = a;
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(b.utf8(), "0123ABCD");
    BSTR raw = b.detach();
    EXPECT_EQ(b.get(), nullptr);
    Bstr c = Bstr::adopt(raw);
    EXPECT_EQ(c.length(), 8u);
    EXPECT_EQ(bstrToUtf8(nullptr), "");
    // Embedded NULs are part of a BSTR's text.
    EXPECT_EQ(Bstr(std::wstring_view(L"a\0b", 3)).length(), 3u);
}

TEST(Variant, TextOfValuesAndReferences) {
    Variant t = Variant::fromUtf8("5551234");
    EXPECT_EQ(t.type(), VT_BSTR);
    EXPECT_EQ(variantToUtf8(*t.get()), "5551234");
    EXPECT_EQ(variantToUtf8(*Variant::fromInt(42).get()), "42");
    EXPECT_EQ(variantToUtf8(*Variant().get()), "");

    VARIANT ref;
    VariantInit(&ref);
    V_VT(&ref) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&ref) = t.get();
    EXPECT_EQ(variantToUtf8(ref), "5551234");

    Variant moved = std::move(t);
    EXPECT_EQ(t.type(), VT_EMPTY);
    Variant copied = moved;
    EXPECT_EQ(variantToUtf8(*copied.get()), "5551234");
}

TEST(ComGuard, MapsExceptionsToHresults) {
    EXPECT_EQ(comGuard([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(comGuard([] {}), S_OK);
    EXPECT_EQ(comGuard([] { throw ComError(DISP_E_MEMBERNOTFOUND, "x"); }), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(comGuard([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(comGuard([] { throw 7; }), E_UNEXPECTED);
}
