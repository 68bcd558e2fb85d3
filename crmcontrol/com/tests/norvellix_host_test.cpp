// A C++ host of the registered Norvellix control: creation by ProgID and class
// id, late binding by name, the default source interface, the events of reset
// and of a control that is never started, its size, and in-place activation in
// a window of the host.
#include "activex/container/hosted_control.h"
#include "activex/control.h"
#include "activex/tests/com_test_support.h"
#include "crmcontrol/com/tests/norvellix_test_host.h"

using namespace norvellix_test;
using activex::Bstr;
using activex::ComPtr;
using activex::testing::RecordingSink;

namespace {

class NorvellixHost : public activex::testing::ComApartment {
protected:
    ComPtr<IDispatch> create() {
        ComPtr<IDispatch> control;
        EXPECT_EQ(CoCreateInstance(CLSID_Norvellix, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   control.putVoid()),
                  S_OK);
        return control;
    }

    // Advises a recording sink on __Norvellix.
    ComPtr<RecordingSink> listen(const ComPtr<IDispatch>& control) {
        auto sink = RecordingSink::make(DIID___Norvellix);
        ComPtr<IConnectionPoint> cp;
        auto cpc = control.as<IConnectionPointContainer>();
        EXPECT_TRUE(cpc);
        EXPECT_EQ(cpc->FindConnectionPoint(DIID___Norvellix, cp.put()), S_OK);
        DWORD cookie = 0;
        EXPECT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
        points_.push_back({cp, cookie});
        return sink;
    }

    void TearDown() override {
        for (auto& [cp, cookie] : points_)
            cp->Unadvise(cookie);
        points_.clear();
        activex::testing::ComApartment::TearDown();
    }

private:
    std::vector<std::pair<ComPtr<IConnectionPoint>, DWORD>> points_;
};

DISPID idOf(IDispatch* control, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
    return id;
}

} // namespace

TEST_F(NorvellixHost, CreatesByProgIdAndByClassId) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Norvellix_Project.Norvellix", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Norvellix);
    ComPtr<IUnknown> byProgId;
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, byProgId.putVoid()),
        S_OK);
    auto byClsid = create();
    ASSERT_TRUE(byClsid);
    EXPECT_FALSE(activex::sameObject(byProgId.get(), byClsid.get()));
    EXPECT_TRUE(byProgId.as<_Norvellix>());
}

TEST_F(NorvellixHost, MethodsAreBoundByNameAtTheirDispatchIds) {
    auto control = create();
    EXPECT_EQ(idOf(control.get(), L"G_Start"), 0x60030023);
    EXPECT_EQ(idOf(control.get(), L"G_Stop"), 0x60030024);
    EXPECT_EQ(idOf(control.get(), L"G_Reset"), 0x60030025);
    EXPECT_EQ(callMethod(control.get(), kG_Start), S_OK);
    EXPECT_EQ(callMethod(control.get(), kG_Stop), S_OK);
    // Early binding reaches the same methods.
    auto early = control.as<_Norvellix>();
    EXPECT_EQ(early->G_Start(), S_OK);
    EXPECT_EQ(early->G_Stop(), S_OK);
}

TEST_F(NorvellixHost, ClassInfoNamesTheEventInterface) {
    auto info = create().as<IProvideClassInfo2>();
    ASSERT_TRUE(info);
    GUID source{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(source, DIID___Norvellix);

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    std::string sourceName;
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT flags = 0;
        coclass->GetImplTypeFlags(i, &flags);
        if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) !=
            (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
            continue;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> events;
        coclass->GetRefTypeOfImplType(i, &ref);
        coclass->GetRefTypeInfo(ref, events.put());
        Bstr name;
        events->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
        sourceName = name.utf8();
    }
    coclass->ReleaseTypeAttr(attr);
    EXPECT_EQ(sourceName, "__Norvellix");
}

TEST_F(NorvellixHost, ResetOfAStoppedControlRaisesDisconnectedAtOnce) {
    auto control = create();
    auto sink = listen(control);
    ASSERT_EQ(callMethod(control.get(), kG_Reset), S_OK);
    // Within the call: no message had to be dispatched.
    ASSERT_EQ(sink->calls.size(), 1u);
    EXPECT_EQ(sink->calls[0].id, kOnDeviceDisconnected);
    EXPECT_EQ(sink->calls[0].args, (std::vector<std::string>{"0", "0"}));
}

TEST_F(NorvellixHost, NeverStartedOrRestartedWithoutDevicesRaisesNothing) {
    auto control = create();
    auto sink = listen(control);
    pumpUntil([] { return false; }, 200);
    EXPECT_TRUE(sink->calls.empty());
    EXPECT_EQ(callMethod(control.get(), kG_Start), S_OK);
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(callMethod(control.get(), kG_Stop), S_OK);
    EXPECT_EQ(callMethod(control.get(), kG_Start), S_OK);
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(callMethod(control.get(), kG_Stop), S_OK);
    EXPECT_TRUE(sink->calls.empty());
}

TEST_F(NorvellixHost, ResizeRequestsLeaveItAt336Twips) {
    auto ole = create().as<IOleObject>();
    ASSERT_TRUE(ole);
    SIZEL size{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(activex::himetricToTwips(size.cx), 336);
    EXPECT_EQ(activex::himetricToTwips(size.cy), 336);
    SIZEL asked{5000, 100};
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &asked), S_OK);
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(activex::himetricToTwips(size.cx), 336);
    EXPECT_EQ(activex::himetricToTwips(size.cy), 336);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 148881u);
}

namespace {

// A top-level window of the host for the control's site.
class HostWindow {
public:
    HostWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"NorvellixTestHost";
        RegisterClassW(&wc);
        window_.reset(CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                      300, nullptr, nullptr, wc.hInstance, nullptr));
        ShowWindow(window_.get(), SW_SHOWNA);
    }
    HWND get() const { return window_.get(); }

private:
    platform::UniqueHwnd window_;
};

class NoEvents final : public activex::container::EventHandler {
public:
    void onEvent(DISPID, DISPPARAMS&) override {}
};

} // namespace

TEST_F(NorvellixHost, ActivatesInPlaceInAWindowAndIsInvisibleAtRunTime) {
    HostWindow host;
    ASSERT_TRUE(host.get());
    NoEvents events;
    activex::container::HostingOptions options;
    options.rect = {10, 10, 110, 60};
    activex::container::HostedControl hosted(CLSID_Norvellix, host.get(), options, &events);
    ASSERT_TRUE(hosted.inPlaceActive());
    EXPECT_TRUE(hosted.eventsConnected());
    HWND window = hosted.controlWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(GetParent(window), host.get());
    EXPECT_FALSE(IsWindowVisible(window)) << "invisible at run time";

    const SIZEL kept = hosted.resize({4000, 4000});
    EXPECT_EQ(activex::himetricToTwips(kept.cx), 336);
    EXPECT_EQ(activex::himetricToTwips(kept.cy), 336);

    // The host's position request is answered with the control's own size.
    auto inPlace = activex::ComPtr<IOleObject>(hosted.object()).as<IOleInPlaceObject>();
    RECT asked{10, 10, 300, 200};
    ASSERT_EQ(inPlace->SetObjectRects(&asked, &asked), S_OK);
    RECT r{};
    GetWindowRect(window, &r);
    const SIZE px = activex::himetricToPixels(kept);
    EXPECT_EQ(r.right - r.left, px.cx);
    EXPECT_EQ(r.bottom - r.top, px.cy);

    EXPECT_NO_THROW(hosted.callMethod(kG_Start));
    EXPECT_NO_THROW(hosted.callMethod(kG_Stop));
}
