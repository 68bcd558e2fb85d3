// The framework's control object over a test control: dispatch from the type
// information, class information, connection points and event firing (events
// kept while the host has frozen them), persistence and the in-process server entry
// points.
#include "activex/control.h"
#include "activex/server.h"
#include "activex/tests/com_test_support.h"

// The test library's GUIDs are defined in this file.
// clang-format off
#include <initguid.h>
#include "ActiveXTest.h"
// clang-format on

using namespace activex;
using activex::testing::ComApartment;
using activex::testing::RecordingSink;

namespace {

constexpr SIZEL kInitialExtent{1000, 500};

template <const CLSID& Clsid, size_t SinkLimit>
class TestControl : public Control<TestControl<Clsid, SinkLimit>, ITestControl> {
public:
    static constexpr ControlClass kClass{&Clsid,
                                         &IID_ITestControl,
                                         &DIID_ITestControlEvents,
                                         SinkLimit,
                                         OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME,
                                         kInitialExtent};
    TestControl() : Control<TestControl, ITestControl>(kClass) {}

    HRESULT STDMETHODCALLTYPE Twice(LONG value, LONG* result) override {
        *result = 2 * value;
        return S_OK;
    }
    // Raises OnText(text, "v") and returns what the sinks left: "text|value".
    HRESULT STDMETHODCALLTYPE RaiseText(BSTR text, BSTR* result) override {
        return comGuard([&] {
            std::string t = bstrToUtf8(text), value = "v";
            EventArgs args;
            args.addBstrRef(t);
            args.addVariantRef(value);
            this->fire(1, args);
            *result = Bstr::fromUtf8(t + "|" + value).detach();
        });
    }
    HRESULT STDMETHODCALLTYPE Fail() override { return E_ACCESSDENIED; }
};

using ManySinkControl = TestControl<CLSID_TestControl, ConnectionPoint::kAnyNumber>;
using OneSinkControl = TestControl<CLSID_SingleSinkTestControl, 1>;

template <typename C> ComPtr<ITestControl> makeControl() {
    ComPtr<ITestControl> c;
    EXPECT_EQ(C::create(IID_ITestControl, c.putVoid()), S_OK);
    return c;
}

ComPtr<IConnectionPoint> eventsPoint(const ComPtr<ITestControl>& control) {
    ComPtr<IConnectionPoint> cp;
    auto cpc = control.as<IConnectionPointContainer>();
    EXPECT_TRUE(cpc);
    EXPECT_EQ(cpc->FindConnectionPoint(DIID_ITestControlEvents, cp.put()), S_OK);
    return cp;
}

std::string raise(const ComPtr<ITestControl>& control, const char* text) {
    Bstr result;
    EXPECT_EQ(control->RaiseText(Bstr::fromUtf8(text).get(), result.put()), S_OK);
    return result.utf8();
}

} // namespace

using ControlObject = ComApartment;

TEST_F(ControlObject, DispatchesByNameAndIdThroughTypeInfo) {
    auto control = makeControl<ManySinkControl>();
    auto disp = control.as<IDispatch>();
    ASSERT_TRUE(disp);

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Twice")};
    DISPID id = 0;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 1);
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Thrice")};
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNNAME);

    Variant arg = Variant::fromInt(21);
    DISPPARAMS params{arg.get(), nullptr, 1, 0};
    Variant result;
    ASSERT_EQ(disp->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(),
                           nullptr, nullptr),
              S_OK);
    EXPECT_EQ(variantToUtf8(*result.get()), "42");

    // A failing method reaches a late-bound caller as an exception with its code.
    DISPPARAMS none{};
    EXCEPINFO excep{};
    EXPECT_EQ(disp->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                           &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_ACCESSDENIED);
    Bstr::adopt(excep.bstrSource), Bstr::adopt(excep.bstrDescription),
        Bstr::adopt(excep.bstrHelpFile);
    EXPECT_EQ(disp->Invoke(99, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                           nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(ControlObject, QueryInterfaceKeepsOneIdentity) {
    auto control = makeControl<ManySinkControl>();
    for (REFIID iid :
         {IID_IOleObject, IID_IOleInPlaceObject, IID_IOleInPlaceActiveObject, IID_IOleControl,
          IID_IViewObject2, IID_IPersistStreamInit, IID_IPersistPropertyBag, IID_IProvideClassInfo2,
          IID_IConnectionPointContainer, IID_IDispatch}) {
        ComPtr<IUnknown> other;
        ASSERT_EQ(control->QueryInterface(iid, other.putVoid()), S_OK) << guidText(iid).c_str();
        EXPECT_TRUE(sameObject(control.get(), other.get()));
    }
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(control->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
}

TEST_F(ControlObject, ClassInfoNamesTheDefaultSource) {
    auto info = makeControl<ManySinkControl>().as<IProvideClassInfo2>();
    GUID source{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_EQ(source, DIID_ITestControlEvents);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
    Bstr name;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), "TestControl");
}

TEST_F(ControlObject, ManySinksAllHearEveryEventAndWriteBackInTurn) {
    auto control = makeControl<ManySinkControl>();
    auto cp = eventsPoint(control);
    auto first = RecordingSink::make(DIID_ITestControlEvents, [](DISPID, DISPPARAMS& p) {
        activex::testing::assignBstrRef(p.rgvarg[1], "first");
    });
    auto second = RecordingSink::make(DIID_ITestControlEvents, [](DISPID, DISPPARAMS& p) {
        activex::testing::assignVariantRef(p.rgvarg[0], "5551234");
    });
    DWORD c1 = 0, c2 = 0;
    ASSERT_EQ(cp->Advise(first.get(), &c1), S_OK);
    ASSERT_EQ(cp->Advise(second.get(), &c2), S_OK);
    EXPECT_EQ(c1, 1u);
    EXPECT_EQ(c2, 2u);

    EXPECT_EQ(raise(control, "hello"), "first|5551234");
    ASSERT_EQ(first->calls.size(), 1u);
    EXPECT_EQ(first->calls[0].id, 1);
    EXPECT_EQ(first->calls[0].args, (std::vector<std::string>{"hello", "v"}));
    // The second sink sees what the first one wrote.
    ASSERT_EQ(second->calls.size(), 1u);
    EXPECT_EQ(second->calls[0].args, (std::vector<std::string>{"first", "v"}));

    ComPtr<IEnumConnections> e;
    ASSERT_EQ(cp->EnumConnections(e.put()), S_OK);
    CONNECTDATA data[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(e->Next(3, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i)
        ComPtr<IUnknown>::adopt(data[i].pUnk);
    EXPECT_EQ(data[1].dwCookie, 2u);

    EXPECT_EQ(cp->Unadvise(c1), S_OK);
    EXPECT_EQ(raise(control, "again"), "again|5551234");
    EXPECT_EQ(first->calls.size(), 1u);
    EXPECT_EQ(second->calls.size(), 2u);
}

// After an event the caller's variables hold what a sink wrote to them, or else
// what the source wrote to them while the sinks ran (a handler that called back
// into it): a sink that changed nothing writes nothing back.
TEST_F(ControlObject, ByReferenceArgumentsTakeBackOnlyWhatASinkChanged) {
    struct Case {
        const char* name;
        bool sourceWrites, sinkWrites;
        const char* text; // of the BSTR and the VARIANT argument
        short number;
    };
    const Case cases[] = {
        {"nobody writes", false, false, "passed", 1},
        {"the sink writes", false, true, "sink", 7},
        {"the source writes during the call", true, false, "source", 9},
        {"both write: the sink's value stands", true, true, "sink", 7},
    };
    for (const auto& c : cases) {
        std::string text = "passed", value = "passed";
        short number = 1;
        EventArgs args;
        args.addBstrRef(text);
        args.addVariantRef(value);
        args.addShortRef(number);
        DISPPARAMS p = args.params(); // reversed: the short first
        if (c.sourceWrites) {
            text = value = "source";
            number = 9;
        }
        if (c.sinkWrites) {
            activex::testing::assignBstrRef(p.rgvarg[2], "sink");
            activex::testing::assignVariantRef(p.rgvarg[1], "sink");
            *V_I2REF(&p.rgvarg[0]) = 7;
        }
        args.writeBack();
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_EQ(value, c.text) << c.name;
        EXPECT_EQ(number, c.number) << c.name;
    }
}

TEST_F(ControlObject, ConnectionPointRules) {
    auto control = makeControl<OneSinkControl>();
    auto cp = eventsPoint(control);
    auto sink = RecordingSink::make(DIID_ITestControlEvents);
    auto other = RecordingSink::make(DIID_ITestControlEvents);
    DWORD cookie = 0, refused = 7;
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    EXPECT_EQ(cp->Advise(other.get(), &refused), CONNECT_E_ADVISELIMIT);
    EXPECT_EQ(refused, 0u);

    // Cookie 0, a cookie never given and one already unadvised name no connection.
    EXPECT_EQ(cp->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(cp->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
    EXPECT_EQ(cp->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    // The slot is free again, under a new cookie.
    DWORD next = 0;
    EXPECT_EQ(cp->Advise(other.get(), &next), S_OK);
    EXPECT_NE(next, cookie);

    // A sink that does not speak the event interface is refused.
    auto stranger = RecordingSink::make(IID_ITestControl);
    EXPECT_EQ(cp->Unadvise(next), S_OK);
    EXPECT_EQ(cp->Advise(stranger.get(), &next), CONNECT_E_CANNOTCONNECT);

    IID iid{};
    EXPECT_EQ(cp->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, DIID_ITestControlEvents);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(cp->GetConnectionPointContainer(container.put()), S_OK);
    EXPECT_TRUE(sameObject(container.get(), control.get()));
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, none.put()), CONNECT_E_NOCONNECTION);

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    ComPtr<IConnectionPoint> listed;
    ULONG n = 0;
    ASSERT_EQ(points->Next(1, listed.put(), &n), S_OK);
    EXPECT_TRUE(sameObject(listed.get(), cp.get()));
    EXPECT_EQ(points->Next(1, listed.put(), &n), S_FALSE);
}

// Raised while the host has frozen events, an event is kept with the values it was
// raised with, and reaches the sinks when the last freeze is undone, in the order of
// raising. Its sink's writes stay with it: the caller's variables keep what they held.
TEST_F(ControlObject, FrozenEventsAreKeptAndRaisedInOrderAtTheThaw) {
    auto control = makeControl<ManySinkControl>();
    auto cp = eventsPoint(control);
    auto sink = RecordingSink::make(DIID_ITestControlEvents, [](DISPID, DISPPARAMS& p) {
        activex::testing::assignBstrRef(p.rgvarg[1], "written");
    });
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    auto ole = control.as<IOleControl>();
    ole->FreezeEvents(TRUE);
    ole->FreezeEvents(TRUE);
    EXPECT_EQ(raise(control, "a"), "a|v") << "kept: nothing is written back";
    ole->FreezeEvents(FALSE);
    EXPECT_EQ(raise(control, "b"), "b|v");
    EXPECT_TRUE(sink->calls.empty()) << "frozen until the last freeze is undone";
    EXPECT_EQ(ole->FreezeEvents(FALSE), S_OK);
    ASSERT_EQ(sink->calls.size(), 2u);
    EXPECT_EQ(sink->calls[0].args, (std::vector<std::string>{"a", "v"}));
    EXPECT_EQ(sink->calls[1].args, (std::vector<std::string>{"b", "v"}));
    EXPECT_EQ(raise(control, "c"), "written|v") << "thawed: raised at once";
    EXPECT_EQ(ole->FreezeEvents(FALSE), S_OK) << "a thaw without a freeze";
    EXPECT_EQ(sink->calls.size(), 3u);
}

// At most kKeptEventLimit events wait; beyond that the oldest go.
TEST_F(ControlObject, KeptEventsAreBoundedAndTheOldestGo) {
    auto control = makeControl<ManySinkControl>();
    auto cp = eventsPoint(control);
    auto sink = RecordingSink::make(DIID_ITestControlEvents);
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    auto ole = control.as<IOleControl>();
    ole->FreezeEvents(TRUE);
    const int raised = static_cast<int>(ControlBase::kKeptEventLimit) + 6;
    for (int i = 0; i < raised; ++i)
        raise(control, std::to_string(i).c_str());
    ole->FreezeEvents(FALSE);
    ASSERT_EQ(sink->calls.size(), ControlBase::kKeptEventLimit);
    EXPECT_EQ(sink->calls.front().args[0], "6");
    EXPECT_EQ(sink->calls.back().args[0], std::to_string(raised - 1));
}

// A handler of a kept event may raise another (it joins the kept ones, behind them)
// or freeze events again (the rest wait for the next thaw).
TEST_F(ControlObject, HandlersOfKeptEventsMayRaiseAndFreezeAgain) {
    auto control = makeControl<ManySinkControl>();
    auto ole = control.as<IOleControl>();
    auto cp = eventsPoint(control);
    auto sink = RecordingSink::make(DIID_ITestControlEvents, [&](DISPID, DISPPARAMS& p) {
        const std::string text = variantToUtf8(p.rgvarg[1]);
        if (text == "a") {
            EXPECT_EQ(raise(control, "x"), "x|v");
        }
        if (text == "b")
            ole->FreezeEvents(TRUE);
    });
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    ole->FreezeEvents(TRUE);
    for (const char* text : {"a", "b", "c"})
        raise(control, text);
    const auto heard = [&] {
        std::string texts;
        for (const auto& c : sink->calls)
            texts += c.args[0];
        return texts;
    };
    ole->FreezeEvents(FALSE);
    EXPECT_EQ(heard(), "ab");
    ole->FreezeEvents(FALSE);
    EXPECT_EQ(heard(), "abcx");
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
}

TEST_F(ControlObject, PersistsItsExtentAndRefusesForeignState) {
    auto control = makeControl<ManySinkControl>();
    auto ole = control.as<IOleObject>();
    SIZEL size{2000, 3000};
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &size), S_OK);
    auto persist = control.as<IPersistStreamInit>();
    EXPECT_EQ(persist->IsDirty(), S_OK);

    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    auto fresh = makeControl<ManySinkControl>();
    auto freshPersist = fresh.as<IPersistStreamInit>();
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(freshPersist->Load(stream.get()), S_OK);
    SIZEL loaded{};
    fresh.as<IOleObject>()->GetExtent(DVASPECT_CONTENT, &loaded);
    EXPECT_EQ(loaded.cx, 2000);
    EXPECT_EQ(loaded.cy, 3000);

    // A state saved before controls kept properties, the extent alone, still loads.
    const DWORD extentOnly[] = {0x53584e41, 1, 1500, 700};
    ComPtr<IStream> older;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, older.put()), S_OK);
    older->Write(extentOnly, sizeof extentOnly, nullptr);
    older->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(freshPersist->Load(older.get()), S_OK);
    fresh.as<IOleObject>()->GetExtent(DVASPECT_CONTENT, &loaded);
    EXPECT_EQ(loaded.cx, 1500);
    EXPECT_EQ(loaded.cy, 700);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(freshPersist->Load(stream.get()), S_OK);

    // A short or foreign stream is refused and changes nothing.
    ComPtr<IStream> junk;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, junk.put()), S_OK);
    const char text[] = "not a control state at all";
    junk->Write(text, sizeof(text), nullptr);
    junk->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(freshPersist->Load(junk.get()), E_INVALIDARG);
    ComPtr<IStream> empty;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, empty.put()), S_OK);
    EXPECT_EQ(freshPersist->Load(empty.get()), STG_E_READFAULT);
    fresh.as<IOleObject>()->GetExtent(DVASPECT_CONTENT, &loaded);
    EXPECT_EQ(loaded.cx, 2000);
}

namespace {
const ServerClass kClasses[] = {{&CLSID_TestControl, &ManySinkControl::create, nullptr}};
}

TEST_F(ControlObject, ServerCountsObjectsAndLocks) {
    ASSERT_EQ(dllCanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(dllGetClassObject(kClasses, CLSID_SingleSinkTestControl, IID_IClassFactory,
                                factory.putVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(dllGetClassObject(kClasses, CLSID_TestControl, IID_IClassFactory, factory.putVoid()),
              S_OK);
    EXPECT_EQ(dllCanUnloadNow(), S_FALSE);

    ComPtr<IUnknown> outer(factory.get());
    ComPtr<IUnknown> object;
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, object.putVoid()),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITestControl, object.putVoid()), S_OK);
    factory->LockServer(TRUE);
    factory.reset();
    outer.reset();
    object.reset();
    EXPECT_EQ(dllCanUnloadNow(), S_FALSE); // still locked
    ASSERT_EQ(serverModule().lockCount(), 1);
    serverModule().unlock();
    EXPECT_EQ(dllCanUnloadNow(), S_OK);
}
