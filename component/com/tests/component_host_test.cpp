// Norvellix1C.ocx in a C++ host under Wine: the component created by ProgID with its
// one event sink, hearing the pairing and the call of the scenario that
// NORVELLIX_SIMULATOR names.
#include "Norvellix1C.h"
#include "activex/tests/com_test_support.h"
#include "activex/tests/form_host.h"
#include "hidcontroller/windows/window_ui_thread.h"

#include <gtest/gtest.h>

using activex::ComPtr;
using activex::testing::RecordingSink;

namespace {

using namespace std::chrono_literals;

const std::wstring kProgId = L"Norvellix1C.Norvellix_Component";
constexpr DISPID kOnCallerID = 209;
constexpr DISPID kOnDeviceConnection = 210;

using Norvellix1CHost = activex::testing::ComApartment;

TEST_F(Norvellix1CHost, CreatedByProgIdOneSinkHearsThePairingAndTheCall) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(kProgId.c_str(), &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Norvellix_Component));
    ComPtr<INorvellix_Component> component;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_INorvellix_Component,
                               component.putVoid()),
              S_OK);
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(component.as<IConnectionPointContainer>()->FindConnectionPoint(
                  DIID_INorvellix_ComponentEvents, cp.put()),
              S_OK);
    auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents);
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    auto second = RecordingSink::make(DIID_INorvellix_ComponentEvents);
    DWORD refused = 0;
    EXPECT_EQ(cp->Advise(second.get(), &refused), CONNECT_E_ADVISELIMIT);

    // The form's properties change the form only.
    activex::Bstr caption;
    ASSERT_EQ(component->get_Caption(caption.put()), S_OK);
    EXPECT_EQ(caption.utf8(), "Norvellix");
    EXPECT_EQ(component->put_Color(0x00FF00), S_OK);
    OLE_COLOR color = 0;
    EXPECT_EQ(component->get_Color(&color), S_OK);
    EXPECT_EQ(color, 0x00FF00u);
    // Late bound, Color typed OLE_COLOR: a script host's number goes in and comes out.
    EXPECT_EQ(activex::testing::putProperty(component.get(), DISPID_BACKCOLOR,
                                            activex::Variant::fromInt(0x123456)),
              S_OK);
    activex::Variant lateColor;
    EXPECT_EQ(activex::testing::getProperty(component.get(), DISPID_BACKCOLOR, lateColor), S_OK);
    EXPECT_EQ(activex::variantToUtf8(*lateColor.get()), std::to_string(0x123456));

    // No method starts it: pairing begins with the host's message loop.
    const auto heard = [&](DISPID id) {
        for (const auto& c : sink->calls)
            if (c.id == id)
                return true;
        return false;
    };
    EXPECT_TRUE(hidcontroller::pumpMessagesUntil([&] { return heard(kOnCallerID); }, 60s))
        << sink->calls.size() << " events";
    ASSERT_FALSE(sink->calls.empty());
    EXPECT_EQ(sink->calls[0].id, kOnDeviceConnection);
    EXPECT_EQ(sink->calls[0].args, std::vector<std::string>{"AB12CD34"});
    for (const auto& c : sink->calls) {
        if (c.id != kOnCallerID)
            continue;
        ASSERT_EQ(c.args.size(), 6u);
        EXPECT_FALSE(c.args[0].empty()) << "CallDate";
        EXPECT_FALSE(c.args[1].empty()) << "CallTime";
        EXPECT_EQ(c.args[2], "AB12CD34");
        EXPECT_EQ(c.args[3], "2");
        EXPECT_EQ(c.args[4], "05321234567");
        EXPECT_EQ(c.args[5], "This device is \"1\" one.");
    }
    EXPECT_TRUE(second->calls.empty());
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    cp.reset();
    component.reset();
}

// Sited in a host's window, the component's form raises its events to the one sink.
TEST_F(Norvellix1CHost, SitedItsFormRaisesTheFormEvents) {
    activex::testing::FormHost form(CLSID_Norvellix_Component);
    EXPECT_EQ(activex::testing::formSession(form), activex::testing::kFormSessionEvents);
    EXPECT_EQ(form.keys, std::vector<short>{'a'});
}

} // namespace
