// Norvellix1C.ocx in a C++ host under Wine: the component created by ProgID with its
// one event sink, hearing the pairing and the call of the scenario that
// NORVELLIX_SIMULATOR names.
#include "Norvellix1C.h"
#include "activex/tests/com_test_support.h"
#include "activex/tests/form_host.h"
#include "activex/text.h"
#include "activex/unknown.h"
#include "hidcontroller/windows/window_ui_thread.h"

#include <gtest/gtest.h>
#include <map>
#include <olectl.h>

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

// A free-threaded host: the component, apartment-threaded, lives in an apartment
// COM makes for it, and the host's sink is reached through a proxy. The host calls
// it late-bound: under Wine the dual interface does not cross apartments (Wine's
// type-library marshaler finds only type libraries registered for locale 0).
TEST(Norvellix1CFreeThreadedHost, CreatesTheComponentAndHearsTheCall) {
    HRESULT created = E_FAIL, advised = E_FAIL, unadvised = E_FAIL;
    bool heard = false;
    std::string caption;
    std::vector<activex::testing::RecordedCall> calls;
    activex::testing::inMultithreadedApartment(
        [&] {
            ComPtr<IDispatch> component;
            created = CoCreateInstance(CLSID_Norvellix_Component, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IDispatch, component.putVoid());
            if (FAILED(created))
                return;
            activex::Variant value;
            if (SUCCEEDED(activex::testing::getProperty(component.get(), DISPID_CAPTION, value)))
                caption = activex::variantToUtf8(*value.get());
            ComPtr<IConnectionPoint> cp;
            component.as<IConnectionPointContainer>()->FindConnectionPoint(
                DIID_INorvellix_ComponentEvents, cp.put());
            auto sink = activex::testing::ThreadSafeSink::make(DIID_INorvellix_ComponentEvents);
            DWORD cookie = 0;
            advised = cp->Advise(sink.get(), &cookie);
            if (FAILED(advised))
                return;
            heard = sink->waitFor(kOnCallerID, 60s);
            unadvised = cp->Unadvise(cookie);
            calls = sink->calls();
        },
        120s);
    EXPECT_EQ(created, S_OK);
    EXPECT_EQ(caption, "Norvellix");
    EXPECT_EQ(advised, S_OK) << "the sink through its proxy";
    EXPECT_TRUE(heard) << calls.size() << " events";
    EXPECT_EQ(unadvised, S_OK);
    for (const auto& c : calls)
        if (c.id == kOnCallerID) {
            ASSERT_EQ(c.args.size(), 6u);
            EXPECT_EQ(c.args[2], "AB12CD34");
            EXPECT_EQ(c.args[4], "05321234567");
        }
}

// A design host's property bag, in memory: values by name, converted on reading to
// the type asked for.
class MemoryBag final : public activex::SelfOwned<MemoryBag, IPropertyBag> {
public:
    std::map<std::wstring, activex::Variant> values;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return activex::answerQuery(static_cast<IPropertyBag*>(this),
                                    riid == IID_IUnknown || riid == IID_IPropertyBag, ppv);
    }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        const auto it = values.find(name);
        if (it == values.end())
            return E_INVALIDARG;
        const VARTYPE wanted = V_VT(value);
        if (wanted == VT_EMPTY)
            return VariantCopy(value, it->second.get());
        return VariantChangeType(value, it->second.get(), 0, wanted);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        values[name] = activex::Variant::copyOf(*value);
        return S_OK;
    }
};

ComPtr<INorvellix_Component> newComponent() {
    ComPtr<INorvellix_Component> component;
    EXPECT_EQ(CoCreateInstance(CLSID_Norvellix_Component, nullptr, CLSCTX_INPROC_SERVER,
                               IID_INorvellix_Component, component.putVoid()),
              S_OK);
    return component;
}

// Lines that ring while their device is calibrated, each at a phase of its own, with
// NORVELLIX_SIMULATOR naming scenarios/ringing-at-start.scn or
// scenarios/ringing-second-device.scn (one ctest entry each): the component created by
// ProgID raises every call after the ring once, with its number.
class Norvellix1CRinging : public activex::testing::ComApartment {
protected:
    // "OnDeviceConnection serial", "OnCallerID serial line number", ... once `count`
    // events are heard and half a second more has passed.
    std::vector<std::string> events(size_t count) {
        const auto component = newComponent();
        if (!component)
            return {};
        ComPtr<IConnectionPoint> cp;
        EXPECT_EQ(component.as<IConnectionPointContainer>()->FindConnectionPoint(
                      DIID_INorvellix_ComponentEvents, cp.put()),
                  S_OK);
        auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents);
        DWORD cookie = 0;
        EXPECT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
        EXPECT_TRUE(
            hidcontroller::pumpMessagesUntil([&] { return sink->calls.size() >= count; }, 60s))
            << sink->calls.size() << " events";
        hidcontroller::pumpMessagesUntil([] { return false; }, 500ms);
        EXPECT_EQ(cp->Unadvise(cookie), S_OK);
        std::vector<std::string> out;
        for (const auto& c : sink->calls) {
            if (c.id == kOnCallerID && c.args.size() == 6)
                out.push_back("OnCallerID " + c.args[2] + " " + c.args[3] + " " + c.args[4]);
            else if (c.id == kOnDeviceConnection && c.args.size() == 1)
                out.push_back("OnDeviceConnection " + c.args[0]);
            else
                out.push_back("event " + std::to_string(c.id));
        }
        return out;
    }
};

TEST_F(Norvellix1CRinging, LinesRingingThroughCalibrationRaiseEveryLaterCall) {
    EXPECT_EQ(events(5), (std::vector<std::string>{"OnDeviceConnection AAAA1111",
                                                   "OnCallerID AAAA1111 1 02125550101",
                                                   "OnCallerID AAAA1111 2 02125550102",
                                                   "OnCallerID AAAA1111 3 02125550103",
                                                   "OnCallerID AAAA1111 4 02125550104"}));
}

TEST_F(Norvellix1CRinging, SecondDeviceRingingThroughCalibrationRaisesEveryLaterCall) {
    EXPECT_EQ(events(6),
              (std::vector<std::string>{
                  "OnDeviceConnection AAAA1111  |  BBBB2222", "OnCallerID BBBB2222 1 03125550201",
                  "OnCallerID BBBB2222 2 03125550202", "OnCallerID BBBB2222 3 03125550203",
                  "OnCallerID BBBB2222 4 03125550204", "OnCallerID AAAA1111 1 03125550101"}));
}

// What a design host reads back of a form: caption, colour and font.
std::string formText(const ComPtr<INorvellix_Component>& component) {
    activex::Bstr caption, fontName;
    OLE_COLOR color = 0;
    ComPtr<IFontDisp> fontDisp;
    component->get_Caption(caption.put());
    component->get_Color(&color);
    component->get_Font(fontDisp.put());
    CY size{};
    BOOL bold = FALSE;
    auto font = fontDisp.as<IFont>();
    font->get_Name(fontName.put());
    font->get_Size(&size);
    font->get_Bold(&bold);
    return caption.utf8() + " " + std::to_string(color) + " " + fontName.utf8() + " " +
           std::to_string(size.int64 / 10000) + (bold ? " bold" : "");
}

// A design host sets the form's properties, saves the control (stream or property
// bag) and loads a new one from it: the new one has what was set, and both are clean.
TEST_F(Norvellix1CHost, PersistsTheFormsPropertiesInStreamAndPropertyBag) {
    auto designed = newComponent();
    ASSERT_EQ(designed.as<IPersistStreamInit>()->InitNew(), S_OK);
    EXPECT_EQ(designed.as<IPersistStreamInit>()->IsDirty(), S_FALSE);
    designed->put_Caption(activex::Bstr(L"Hat 1").get());
    designed->put_Color(0x00FF00);
    FONTDESC desc{sizeof desc,
                  const_cast<LPOLESTR>(L"Tahoma"),
                  {.int64 = 120000},
                  FW_BOLD,
                  DEFAULT_CHARSET,
                  FALSE,
                  FALSE,
                  FALSE};
    ComPtr<IFontDisp> tahoma;
    ASSERT_EQ(OleCreateFontIndirect(&desc, IID_IFontDisp, tahoma.putVoid()), S_OK);
    designed->put_Font(tahoma.get());
    EXPECT_EQ(designed.as<IPersistStreamInit>()->IsDirty(), S_OK) << "a property changed";
    // The font's face as the system made it (Tahoma may be substituted here).
    const std::string expected = formText(designed);
    ASSERT_EQ(expected.substr(0, 12), "Hat 1 65280 ");
    ASSERT_EQ(expected.substr(expected.size() - 8), " 12 bold");

    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(designed.as<IPersistStreamInit>()->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(designed.as<IPersistStreamInit>()->IsDirty(), S_FALSE);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    auto fromStream = newComponent();
    ASSERT_EQ(fromStream.as<IPersistStreamInit>()->Load(stream.get()), S_OK);
    EXPECT_EQ(formText(fromStream), expected);
    EXPECT_EQ(fromStream.as<IPersistStreamInit>()->IsDirty(), S_FALSE);

    auto bag = ComPtr<MemoryBag>::adopt(new MemoryBag);
    ASSERT_EQ(designed.as<IPersistPropertyBag>()->Save(bag.get(), TRUE, TRUE), S_OK);
    EXPECT_EQ(activex::variantToUtf8(*bag->values.at(L"Caption").get()), "Hat 1");
    auto fromBag = newComponent();
    ASSERT_EQ(fromBag.as<IPersistPropertyBag>()->Load(bag.get(), nullptr), S_OK);
    EXPECT_EQ(formText(fromBag), expected);
}

// A state with a value the form cannot take is refused whole: the form keeps all
// it had, the caption too.
TEST_F(Norvellix1CHost, RefusesAStateWithABadValueAndKeepsItsOwn) {
    auto component = newComponent();
    ASSERT_EQ(component.as<IPersistPropertyBag>()->InitNew(), S_OK);
    const std::string before = formText(component);
    const struct {
        const wchar_t* name;
        activex::Variant value;
    } bad[] = {{L"AxBorderStyle", activex::Variant::fromInt(9)},
               {L"PixelsPerInch", activex::Variant::fromInt(0)},
               {L"Color", activex::Variant::fromText(L"green")}};
    for (const auto& b : bad) {
        auto bag = ComPtr<MemoryBag>::adopt(new MemoryBag);
        bag->values[L"Caption"] = activex::Variant::fromText(L"changed");
        bag->values[b.name] = b.value;
        const HRESULT hr = component.as<IPersistPropertyBag>()->Load(bag.get(), nullptr);
        // A bag's value it cannot read as the property's type is one it does not
        // have; one out of range is refused.
        if (std::wstring(b.name) == L"Color") {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(formText(component), "changed" + before.substr(before.find(' ')));
            component.as<IPersistPropertyBag>()->InitNew();
            component->put_Caption(activex::Bstr(L"Norvellix").get());
        } else {
            EXPECT_EQ(hr, E_INVALIDARG) << activex::wideToUtf8(b.name);
            EXPECT_EQ(formText(component), before) << activex::wideToUtf8(b.name);
        }
    }
}

} // namespace
