// Norvellix1C.ocx as a library: self-registration through regsvr32 (every key
// written, every key removed again) and the type information a design host reads.
#include "Norvellix1C.h"
#include "activex/tests/registration_support.h"

#include <gtest/gtest.h>

namespace {

std::wstring ocxPath() {
    return activex::testing::windowsPath(NORVELLIX1C_OCX);
}

TEST(Norvellix1CLibrary, Regsvr32WritesEveryKeyAndRemovesThemAll) {
    activex::testing::checkSelfRegistration(
        ocxPath(),
        activex::testing::activeFormKeys(
            {ocxPath(), L"{7E3A1B95-5C28-4D6E-9F40-1B7C3E8A2D56}", L"Norvellix_Component Control",
             L"Norvellix1C.Norvellix_Component", L"Apartment",
             L"{8B4C6F12-3E97-4A58-B1D0-6C2F9E5A7D31}", L"Norvellix1C Library",
             L"{3C8F5A27-9B14-4E72-8D63-0A5E2C9F1B87}", L"INorvellix_Component",
             L"{5A9D2E63-7F41-4B85-A2C6-9E1B4D7F3A08}", L"INorvellix_ComponentEvents"}));
}

TEST(Norvellix1CLibrary, ColorIsTypedOleColor) {
    activex::testing::expectColorIsOleColor(ocxPath(), IID_INorvellix_Component);
}

} // namespace
