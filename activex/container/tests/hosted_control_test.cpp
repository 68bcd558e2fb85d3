// The container against a small control of its own: the order of the hosting
// steps, in-place activation in the host window, events both ways, late-bound
// calls, ambient properties and a clean teardown.
#include "activex/bstr.h"
#include "activex/container/hosted_control.h"
#include "activex/hresult.h"
#include "activex/module.h"
#include "activex/variant.h"
#include "platform/windows/handles.h"
#include "test_control.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

using activex::ComError;
using activex::container::ControlSite;
using activex::container::EventArguments;
using activex::container::EventHandler;
using activex::container::HostedControl;
using activex::container::HostingOptions;
using Calls = std::vector<std::string>;

namespace {

class RecordingHandler : public EventHandler {
public:
    void onEvent(DISPID dispid, DISPPARAMS& params) override {
        EventArguments args(params);
        seen.push_back({dispid, args.text(0), args.text(1)});
        if (!replyFirst || params.cArgs != 2)
            return;
        // Write back through both kinds of reference the event passes.
        VARIANT& first = params.rgvarg[1];
        activex::Bstr old = activex::Bstr::adopt(*V_BSTRREF(&first));
        *V_BSTRREF(&first) = activex::Bstr(*replyFirst).detach();
        VARIANT& second = params.rgvarg[0];
        activex::Variant::fromText(*replySecond).detachTo(V_VARIANTREF(&second));
    }
    struct Event {
        DISPID dispid;
        std::wstring first, second;
    };
    std::vector<Event> seen;
    std::optional<std::wstring> replyFirst, replySecond;
};

class HostedControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        host_.reset(CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                    nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(host_) << "expected a host window (windows need a display)";
    }
    void TearDown() override {
        host_.reset();
        OleUninitialize();
    }

    HostingOptions options() const {
        HostingOptions o;
        o.rect = {10, 20, 42, 52};
        o.ambients.displayName = L"Control1";
        o.containerName = L"container test";
        return o;
    }

    platform::UniqueHwnd host_;
    testcontrol::Observed observed_;
    RecordingHandler handler_;
};

struct OrderCase {
    DWORD miscStatus;
    Calls expected;
};

TEST_F(HostedControlTest, FollowsTheControlsMiscStatusForTheClientSiteOrder) {
    const OrderCase cases[] = {
        {OLEMISC_SETCLIENTSITEFIRST,
         {"SetClientSite", "InitNew", "SetHostNames", "SetExtent", "Advise", "DoVerb"}},
        {0, {"InitNew", "SetClientSite", "SetHostNames", "SetExtent", "Advise", "DoVerb"}},
    };
    for (const OrderCase& c : cases) {
        observed_ = {};
        testcontrol::Registration registration({c.miscStatus}, observed_);
        HostedControl control(testcontrol::kClsid, host_.get(), options(), &handler_);
        EXPECT_EQ(observed_.calls, c.expected) << "MiscStatus " << c.miscStatus;
    }
}

TEST_F(HostedControlTest, ActivatesInPlaceInAWindowOfTheHost) {
    for (bool invisibleAtRunTime : {false, true}) {
        testcontrol::Registration registration(
            {invisibleAtRunTime ? DWORD{OLEMISC_INVISIBLEATRUNTIME} : 0}, observed_);
        HostedControl control(testcontrol::kClsid, host_.get(), options(), &handler_);
        EXPECT_TRUE(control.inPlaceActive());
        EXPECT_TRUE(observed_.userMode) << "the site's UserMode ambient reads true at run time";
        ASSERT_NE(control.controlWindow(), nullptr);
        EXPECT_EQ(control.controlWindow(), observed_.window);
        EXPECT_EQ(GetParent(control.controlWindow()), host_.get());
        EXPECT_EQ(observed_.parent, host_.get()) << "DoVerb names the host window";
        RECT r{};
        GetWindowRect(control.controlWindow(), &r);
        MapWindowPoints(nullptr, host_.get(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.top, 20);
        // The host stays hidden (a shown one takes Wine seconds to destroy): the
        // control's own style tells whether it shows itself.
        const bool shown = (GetWindowLongW(control.controlWindow(), GWL_STYLE) & WS_VISIBLE) != 0;
        EXPECT_EQ(shown, !invisibleAtRunTime);
    }
}

TEST_F(HostedControlTest, EventsReachTheHandlerAndItsWritesReachTheControl) {
    for (bool classInfo2 : {true, false}) {
        testcontrol::Registration registration({0, classInfo2}, observed_);
        HostingOptions o = options();
        if (!classInfo2)
            o.eventInterface = testcontrol::kEventsIid; // the host names the source itself
        handler_ = {};
        handler_.replyFirst = L"1234ABCD";
        handler_.replySecond = L"Arıza";
        HostedControl control(testcontrol::kClsid, host_.get(), o, &handler_);
        ASSERT_TRUE(control.eventsConnected());
        auto [first, second] = testcontrol::firePair(*observed_.control, L"0", L"TelefonNumarası");
        ASSERT_EQ(handler_.seen.size(), 1u);
        EXPECT_EQ(handler_.seen[0].dispid, testcontrol::kPairEventDispid);
        EXPECT_EQ(handler_.seen[0].first, L"0");
        EXPECT_EQ(handler_.seen[0].second, L"TelefonNumarası");
        EXPECT_EQ(first, L"1234ABCD");
        EXPECT_EQ(second, L"Arıza");
    }
}

TEST_F(HostedControlTest, RefusesAControlWhoseSourceCannotBeFound) {
    testcontrol::Registration registration({0, false}, observed_);
    try {
        HostedControl control(testcontrol::kClsid, host_.get(), options(), &handler_);
        FAIL() << "expected a ComError";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hr(), E_NOINTERFACE);
    }
    EXPECT_EQ(observed_.liveObjects, 0) << "a failed hosting lets the control go";
    EXPECT_EQ(observed_.calls.back(), "SetClientSite(null)");
}

TEST_F(HostedControlTest, CallsMethodsByDispatchId) {
    testcontrol::Registration registration({}, observed_);
    HostedControl control(testcontrol::kClsid, host_.get(), options(), nullptr);
    EXPECT_FALSE(control.eventsConnected());
    control.callMethod(testcontrol::kStartDispid);
    EXPECT_TRUE(observed_.started);
    const std::pair<DISPID, HRESULT> failures[] = {
        {testcontrol::kFailingDispid, E_ACCESSDENIED}, // the control's own error code
        {0x12345, DISP_E_MEMBERNOTFOUND},
    };
    for (auto [dispid, expected] : failures) {
        try {
            control.callMethod(dispid);
            ADD_FAILURE() << "expected a ComError for dispid " << dispid;
        } catch (const ComError& e) {
            EXPECT_EQ(e.hr(), expected) << "dispid " << dispid;
            EXPECT_STREQ(e.what(), "IDispatch::Invoke");
        }
    }
}

TEST_F(HostedControlTest, ReleasingTheHostTearsDownAndFreesTheControl) {
    testcontrol::Registration registration({}, observed_);
    HWND window = nullptr;
    {
        HostedControl control(testcontrol::kClsid, host_.get(), options(), &handler_);
        window = control.controlWindow();
        observed_.calls.clear();
    }
    EXPECT_EQ(observed_.calls,
              (Calls{"Unadvise", "InPlaceDeactivate", "Close", "SetClientSite(null)"}));
    EXPECT_EQ(observed_.liveObjects, 0) << "every reference to the control is released";
    EXPECT_FALSE(IsWindow(window));
}

// A control in another apartment lets go of the host's site and sink when it is
// done with them, which can be after the host let go of the control (its last
// raising still under way, say). Until then the host's module must not say it
// can unload, or that late release runs code that is gone.
TEST_F(HostedControlTest, TheSiteAndTheSinkKeepTheModuleLoadedWhileTheControlHoldsThem) {
    testcontrol::Registration registration({}, observed_);
    const long before = activex::serverModule().objectCount();
    activex::ComPtr<IOleClientSite> site;
    activex::ComPtr<IDispatch> sink;
    {
        HostedControl control(testcontrol::kClsid, host_.get(), options(), &handler_);
        ASSERT_NE(observed_.control, nullptr);
        sink = testcontrol::sinkOf(*observed_.control);
        ASSERT_TRUE(sink);
        activex::ComPtr<IOleObject> object;
        ASSERT_EQ(control.dispatch()->QueryInterface(IID_IOleObject, object.putVoid()), S_OK);
        ASSERT_EQ(object->GetClientSite(site.put()), S_OK);
        ASSERT_TRUE(site);
    }
    EXPECT_EQ(activex::serverModule().objectCount(), before + 2) << "the site and the sink";
    site.reset();
    EXPECT_EQ(activex::serverModule().objectCount(), before + 1) << "the sink";
    sink.reset();
    EXPECT_EQ(activex::serverModule().objectCount(), before);
}

TEST_F(HostedControlTest, AnUnregisteredClassFailsNamingTheCreation) {
    // {0E1D2C3B-4A59-4687-9A8B-7C6D5E4F3A2B}: registered nowhere.
    const CLSID unknown = {
        0x0e1d2c3b, 0x4a59, 0x4687, {0x9a, 0x8b, 0x7c, 0x6d, 0x5e, 0x4f, 0x3a, 0x2b}};
    try {
        HostedControl control(unknown, host_.get(), options(), &handler_);
        FAIL() << "expected a ComError";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hr(), REGDB_E_CLASSNOTREG);
        EXPECT_STREQ(e.what(), "CoCreateInstance");
    }
}

TEST_F(HostedControlTest, AResizeReturnsTheExtentTheControlKeeps) {
    testcontrol::Registration registration({}, observed_);
    HostedControl control(testcontrol::kClsid, host_.get(), options(), nullptr);
    SIZEL now = control.resize({5000, 2000});
    EXPECT_EQ(now.cx, 593);
    EXPECT_EQ(now.cy, 593);
}

TEST_F(HostedControlTest, TheSiteShowsItsAmbientsAndRefusesWrites) {
    activex::container::Ambients ambients;
    ambients.backColor = 0x00FF00;
    ambients.displayName = L"Norvellix1";
    auto site = ControlSite::create(host_.get(), {0, 0, 10, 10}, ambients);
    auto get = [&](DISPID id, WORD flags = DISPATCH_PROPERTYGET) {
        DISPPARAMS none{};
        activex::Variant value;
        HRESULT hr = site->Invoke(id, IID_NULL, 0, flags, &none, value.put(), nullptr, nullptr);
        return std::pair{hr, activex::variantToUtf8(*value.get())};
    };
    const std::tuple<DISPID, HRESULT, std::string> cases[] = {
        {DISPID_AMBIENT_USERMODE, S_OK, "-1"},
        {DISPID_AMBIENT_UIDEAD, S_OK, "0"},
        {DISPID_AMBIENT_BACKCOLOR, S_OK, "65280"},
        {DISPID_AMBIENT_DISPLAYNAME, S_OK, "Norvellix1"},
        {DISPID_AMBIENT_FONT, DISP_E_MEMBERNOTFOUND, ""},
    };
    for (const auto& [id, hr, text] : cases) {
        auto [gotHr, gotText] = get(id);
        EXPECT_EQ(gotHr, hr) << "ambient " << id;
        EXPECT_EQ(gotText, text) << "ambient " << id;
    }
    EXPECT_EQ(get(DISPID_AMBIENT_USERMODE, DISPATCH_PROPERTYPUT).first, DISP_E_MEMBERNOTFOUND);
}

TEST_F(HostedControlTest, TheSiteGrantsAPlaceTheControlAsksFor) {
    testcontrol::Registration registration({}, observed_);
    HostedControl control(testcontrol::kClsid, host_.get(), options(), nullptr);
    activex::ComPtr<IOleClientSite> site;
    ASSERT_TRUE(SUCCEEDED(control.object()->GetClientSite(site.put())));
    auto inPlaceSite = site.as<IOleInPlaceSite>();
    ASSERT_TRUE(inPlaceSite);
    const RECT asked{5, 6, 70, 80};
    EXPECT_EQ(inPlaceSite->OnPosRectChange(&asked), S_OK);
    activex::ComPtr<IOleInPlaceFrame> frame;
    activex::ComPtr<IOleInPlaceUIWindow> document;
    RECT pos{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    ASSERT_EQ(inPlaceSite->GetWindowContext(frame.put(), document.put(), &pos, &clip, &info), S_OK);
    EXPECT_TRUE(EqualRect(&pos, &asked));
    EXPECT_EQ(info.hwndFrame, host_.get());
    EXPECT_FALSE(document) << "the frame is the document window";
}

TEST_F(HostedControlTest, TheControlSiteConvertsBetweenHimetricAndTheHostsPixels) {
    auto site = ControlSite::create(host_.get(), {0, 0, 10, 10}, {});
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    POINTL himetric{2540, 5080}; // one inch by two
    POINTF pixels{};
    ASSERT_EQ(site->TransformCoords(&himetric, &pixels, XFORMCOORDS_HIMETRICTOCONTAINER), S_OK);
    EXPECT_EQ(pixels.x, static_cast<float>(dpiX));
    EXPECT_EQ(pixels.y, static_cast<float>(2 * dpiY));
    POINTL back{};
    ASSERT_EQ(site->TransformCoords(&back, &pixels, XFORMCOORDS_CONTAINERTOHIMETRIC), S_OK);
    EXPECT_EQ(back.x, 2540);
    EXPECT_EQ(back.y, 5080);
    EXPECT_EQ(site->TransformCoords(&back, &pixels, 0), E_INVALIDARG);
}

} // namespace
