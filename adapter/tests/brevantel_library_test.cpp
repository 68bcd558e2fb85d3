// Brevantel.ocx as a library: self-registration through regsvr32 (every key
// written, every key removed again) and the type information a design host reads.
#include "Brevantel.h"
#include "activex/tests/registration_support.h"

#include <gtest/gtest.h>

namespace {

std::wstring ocxPath() {
    return activex::testing::windowsPath(BREVANTEL_OCX);
}

TEST(BrevantelLibrary, Regsvr32WritesEveryKeyAndRemovesThemAll) {
    activex::testing::checkSelfRegistration(
        ocxPath(), activex::testing::activeFormKeys(
                       {ocxPath(), L"{1F6E8A34-2B59-4D07-9C83-5E7A1D4B6F92}", L"Malvo Control",
                        L"Brevantel.Malvo", L"Both", L"{9C1F5D47-6A82-4B3E-8E19-4D6B2A7F8C53}",
                        L"Brevantel Library", L"{6D3B9F81-4C26-4E1A-8B75-2A9F7E3C5D14}", L"IMalvo",
                        L"{2E7C4A19-8D53-4F6B-A904-7B1E5D9C3A26}", L"IMalvoEvents"}));
}

TEST(BrevantelLibrary, ColorIsTypedOleColor) {
    activex::testing::expectColorIsOleColor(ocxPath(), IID_IMalvo);
}

} // namespace
