// Brevantel.ocx in a C++ host under Wine: Malvo created by ProgID with a sink on
// IMalvoEvents, hearing the embedded component's call of the scenario
// NORVELLIX_SIMULATOR names, Start called or not, and a call republished while the
// host has frozen its events.
#include "Brevantel.h"
#include "activex/tests/com_test_support.h"
#include "activex/tests/form_host.h"
#include "hidcontroller/windows/window_ui_thread.h"
#include "platform/windows/handles.h"

#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <string>
#include <vector>

using activex::ComPtr;
using activex::testing::RecordingSink;

namespace {

using namespace std::chrono_literals;

const std::wstring kProgId = L"Brevantel.Malvo";
constexpr DISPID kOnCallerID = 209;
constexpr DISPID kOnSignalA = 210;

std::string narrow(const std::wstring& w) {
    return {w.begin(), w.end()};
}

// Today's date in the system's short date format, as the component writes it.
std::string todayText() {
    wchar_t text[80]{};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 80);
    return narrow(text);
}

class MalvoHost : public activex::testing::ComApartment {
protected:
    ComPtr<IMalvo> create() {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(kProgId.c_str(), &clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Malvo));
        ComPtr<IMalvo> malvo;
        EXPECT_EQ(
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IMalvo, malvo.putVoid()),
            S_OK);
        return malvo;
    }
    // A new Malvo with a sink, Start called or not, until the scenario's call came:
    // the events its host heard (OnCallerID last).
    std::vector<activex::testing::RecordedCall> eventsUntilTheCall(bool start) {
        ComPtr<IMalvo> malvo = create();
        ComPtr<IConnectionPoint> cp;
        if (!malvo || FAILED(malvo.as<IConnectionPointContainer>()->FindConnectionPoint(
                          DIID_IMalvoEvents, cp.put())))
            return {};
        auto sink = RecordingSink::make(DIID_IMalvoEvents);
        DWORD cookie = 0;
        EXPECT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
        if (start) {
            EXPECT_EQ(malvo->Start(), S_OK);
        }
        const auto heard = [&] {
            return !sink->calls.empty() && sink->calls.back().id == kOnCallerID;
        };
        EXPECT_TRUE(hidcontroller::pumpMessagesUntil(heard, 60s))
            << sink->calls.size() << " events";
        EXPECT_EQ(cp->Unadvise(cookie), S_OK);
        return sink->calls;
    }
};

// The host freezes Malvo's events in its handler of the first of two calls that the
// embedded component decodes from one capture: the second is republished while they
// are frozen, and reaches the host once, when it thaws them.
using MalvoFrozenEvents = MalvoHost;

TEST_F(MalvoFrozenEvents, ACallRepublishedWhileFrozenArrivesOnceAtTheThaw) {
    activex::testing::FreezeInFirstHandler freezer(kOnCallerID);
    auto sink = RecordingSink::make(DIID_IMalvoEvents, freezer.handler());
    ComPtr<IMalvo> malvo = create();
    ASSERT_TRUE(malvo);
    freezer.attach(malvo.get());
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(
        malvo.as<IConnectionPointContainer>()->FindConnectionPoint(DIID_IMalvoEvents, cp.put()),
        S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    ASSERT_TRUE(hidcontroller::pumpMessagesUntil([&] { return freezer.frozen(); }, 60s));
    ASSERT_EQ(activex::testing::callsOf(sink->calls, kOnCallerID).size(), 1u);

    EXPECT_EQ(freezer.thaw(), S_OK);
    const auto calls = activex::testing::callsOf(sink->calls, kOnCallerID);
    ASSERT_EQ(calls.size(), 2u) << "delivered as the host thaws events";
    EXPECT_EQ(calls[0].args[1], "2");
    EXPECT_EQ(calls[1].args[1], "3");
    EXPECT_EQ(calls[1].args[2], "02125550199");
    hidcontroller::pumpMessagesUntil([] { return false; }, 1s);
    EXPECT_EQ(activex::testing::callsOf(sink->calls, kOnCallerID).size(), 2u) << "once";
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
}

// The call arrives the same way whether Start is called or not.
class MalvoCalls : public MalvoHost, public ::testing::WithParamInterface<bool> {};

TEST_P(MalvoCalls, RepublishesTheComponentsCallInItsOwnOrder) {
    const auto events = eventsUntilTheCall(GetParam());
    ASSERT_FALSE(events.empty());
    const std::string today = todayText();
    for (const auto& c : events) {
        EXPECT_NE(c.id, kOnSignalA);
        if (c.id != kOnCallerID)
            continue;
        ASSERT_EQ(c.args.size(), 5u);
        EXPECT_EQ(c.args[0], "AB12CD34") << "DeviceID";
        EXPECT_EQ(c.args[1], "2") << "Line";
        EXPECT_EQ(c.args[2], "05321234567") << "PhoneNumber";
        EXPECT_EQ(c.args[4], "This device is \"1\" one.") << "OtherText";
        // DateTime: the time text, one blank, the date text.
        const std::string& dateTime = c.args[3];
        ASSERT_GT(dateTime.size(), today.size() + 1) << dateTime;
        EXPECT_EQ(dateTime.substr(dateTime.size() - today.size() - 1), " " + today) << dateTime;
        const std::string time = dateTime.substr(0, dateTime.size() - today.size() - 1);
        EXPECT_NE(time.find(':'), std::string::npos) << dateTime;
    }
}

INSTANTIATE_TEST_SUITE_P(StartCalledOrNot, MalvoCalls, ::testing::Bool());

// The user's international settings of the prefix, set for a test and put back as
// they were after it (values it did not have are removed again).
class InternationalSettings {
public:
    InternationalSettings() {
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\International", 0, KEY_READ | KEY_WRITE,
                      key_.put());
        for (DWORD i = 0; key_; ++i) {
            wchar_t name[256], data[256];
            DWORD nameLength = 256, size = sizeof data, type = 0;
            if (RegEnumValueW(key_.get(), i, name, &nameLength, nullptr, &type,
                              reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
                break;
            if (type == REG_SZ)
                saved_[name] = std::wstring(data, size / sizeof(wchar_t)).c_str();
        }
    }
    ~InternationalSettings() {
        std::vector<std::wstring> now;
        for (DWORD i = 0; key_; ++i) {
            wchar_t name[256];
            DWORD nameLength = 256;
            if (RegEnumValueW(key_.get(), i, name, &nameLength, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
                break;
            now.push_back(name);
        }
        for (const std::wstring& name : now)
            if (!saved_.count(name))
                RegDeleteValueW(key_.get(), name.c_str());
        for (const auto& [name, value] : saved_)
            RegSetValueExW(key_.get(), name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    bool set(LCTYPE type, const wchar_t* format) {
        return SetLocaleInfoW(LOCALE_USER_DEFAULT, type, format) != 0;
    }

private:
    platform::UniqueHkey key_;
    std::map<std::wstring, std::wstring> saved_;
};

// Under a day-month-year short date and a 24-hour time, DateTime is the time, one
// blank and the date: "14:05:09 21.03.2024" in shape.
TEST_F(MalvoHost, DateTimeInTheSystemsTimeAndShortDateFormats) {
    InternationalSettings international;
    ASSERT_TRUE(international.set(LOCALE_SSHORTDATE, L"dd.MM.yyyy"));
    ASSERT_TRUE(international.set(LOCALE_STIMEFORMAT, L"HH:mm:ss"));
    const auto events = eventsUntilTheCall(false);
    ASSERT_FALSE(events.empty());
    const auto& call = events.back();
    ASSERT_EQ(call.id, kOnCallerID);
    ASSERT_EQ(call.args.size(), 5u);
    const std::string& dateTime = call.args[3];
    EXPECT_TRUE(std::regex_match(dateTime, std::regex(R"(\d\d:\d\d:\d\d \d\d\.\d\d\.\d{4})")))
        << "DateTime " << dateTime;
    EXPECT_EQ(dateTime.substr(9), todayText()) << "the date of the call, today";
}

TEST_F(MalvoHost, MethodsThatDoNothingAndTheFormsProperties) {
    ComPtr<IMalvo> malvo = create();
    ASSERT_TRUE(malvo);
    EXPECT_EQ(malvo->AboutBox(), S_OK);
    activex::Bstr status;
    EXPECT_EQ(malvo->Command(activex::Bstr(L"DIAL 123").get(), status.put()), S_OK);
    EXPECT_EQ(status.utf8(), "");
    EXPECT_EQ(malvo->put_About(activex::Bstr(L"anything").get()), S_OK);
    activex::Bstr about;
    EXPECT_EQ(malvo->get_About(about.put()), S_OK);
    EXPECT_EQ(about.utf8(), "");

    activex::Bstr caption;
    ASSERT_EQ(malvo->get_Caption(caption.put()), S_OK);
    EXPECT_EQ(caption.utf8(), "Malvo");
    OLE_COLOR color = 0;
    EXPECT_EQ(malvo->get_Color(&color), S_OK);
    EXPECT_EQ(color, 0xFFFFFFu);
    // Late bound, Color typed OLE_COLOR: a script host's number goes in and comes out.
    EXPECT_EQ(activex::testing::putProperty(malvo.get(), DISPID_BACKCOLOR,
                                            activex::Variant::fromInt(0x123456)),
              S_OK);
    activex::Variant lateColor;
    EXPECT_EQ(activex::testing::getProperty(malvo.get(), DISPID_BACKCOLOR, lateColor), S_OK);
    EXPECT_EQ(activex::variantToUtf8(*lateColor.get()), std::to_string(0x123456));
}

// True once the library holds no object any more (within limit).
bool unloadsWithin(const wchar_t* path, std::chrono::seconds limit) {
    platform::UniqueHmodule library(LoadLibraryW(path));
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), "DllCanUnloadNow")));
    const auto end = std::chrono::steady_clock::now() + limit;
    while (canUnload && canUnload() != S_OK) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Sleep(20);
    }
    return canUnload != nullptr;
}

// A free-threaded host: Malvo (threading model Both) lives in the host's apartment,
// its embedded component in one COM makes for it; the host hears the call.
TEST(MalvoFreeThreadedHost, CreatesMalvoAndHearsTheCall) {
    HRESULT created = E_FAIL, advised = E_FAIL;
    bool heard = false, gone = false;
    std::vector<activex::testing::RecordedCall> calls;
    activex::testing::inMultithreadedApartment(
        [&] {
            ComPtr<IMalvo> malvo;
            created = CoCreateInstance(CLSID_Malvo, nullptr, CLSCTX_INPROC_SERVER, IID_IMalvo,
                                       malvo.putVoid());
            if (FAILED(created))
                return;
            ComPtr<IConnectionPoint> cp;
            malvo.as<IConnectionPointContainer>()->FindConnectionPoint(DIID_IMalvoEvents, cp.put());
            auto sink = activex::testing::ThreadSafeSink::make(DIID_IMalvoEvents);
            DWORD cookie = 0;
            advised = cp->Advise(sink.get(), &cookie);
            if (FAILED(advised))
                return;
            malvo->Start();
            heard = sink->waitFor(kOnCallerID, 60s);
            cp->Unadvise(cookie);
            calls = sink->calls();
            cp.reset();
            malvo.reset();
            gone = unloadsWithin(L"" BREVANTEL_OCX, 30s);
        },
        180s);
    EXPECT_EQ(created, S_OK);
    EXPECT_EQ(advised, S_OK);
    EXPECT_TRUE(heard) << calls.size() << " events";
    EXPECT_TRUE(gone) << "Malvo is released";
    for (const auto& c : calls)
        if (c.id == kOnCallerID) {
            ASSERT_EQ(c.args.size(), 5u);
            EXPECT_EQ(c.args[0], "AB12CD34");
            EXPECT_EQ(c.args[2], "05321234567");
        }
}

BOOL CALLBACK findMalvoForm(HWND window, LPARAM out) {
    wchar_t text[16]{};
    GetWindowTextW(window, text, 16);
    if (std::wstring(text) != L"Malvo")
        return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
}

// Malvo's hidden form window among this thread's windows, if there is one.
HWND malvoFormOfThisThread() {
    HWND form = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findMalvoForm, reinterpret_cast<LPARAM>(&form));
    return form;
}

// A free-threaded host lets Malvo go while Malvo's OnCallerID is still in the host's
// handler (on another thread), without or with unadvising first: the handler ends,
// then Malvo goes, and nothing of it is left: not even its form's window, which
// only the host's thread that made it can destroy.
class MalvoReleasedInAnEvent : public ::testing::TestWithParam<bool> {};

TEST_P(MalvoReleasedInAnEvent, WhileTheHandlerRunsOnAnotherThread) {
    const bool unadviseFirst = GetParam();
    bool held = false, gone = false, formGone = false;
    activex::testing::inMultithreadedApartment(
        [&] {
            ComPtr<IMalvo> malvo;
            if (FAILED(CoCreateInstance(CLSID_Malvo, nullptr, CLSCTX_INPROC_SERVER, IID_IMalvo,
                                        malvo.putVoid())))
                return;
            ComPtr<IConnectionPoint> cp;
            malvo.as<IConnectionPointContainer>()->FindConnectionPoint(DIID_IMalvoEvents, cp.put());
            auto sink = activex::testing::ThreadSafeSink::make(DIID_IMalvoEvents);
            sink->holdNext(kOnCallerID);
            DWORD cookie = 0;
            if (FAILED(cp->Advise(sink.get(), &cookie)))
                return;
            held = sink->waitHeld(60s);
            if (unadviseFirst)
                cp->Unadvise(cookie);
            cp.reset();
            malvo.reset();
            sink->release();
            gone = unloadsWithin(L"" BREVANTEL_OCX, 30s);
            formGone =
                hidcontroller::pumpMessagesUntil([] { return !malvoFormOfThisThread(); }, 5s);
        },
        180s);
    EXPECT_TRUE(held) << "the call reached the host";
    EXPECT_TRUE(gone) << "Malvo is released";
    EXPECT_TRUE(formGone) << "the form's window is destroyed";
}

INSTANTIATE_TEST_SUITE_P(UnadviseFirstOrNot, MalvoReleasedInAnEvent, ::testing::Bool());

// The host lets go of Malvo inside Malvo's OnCallerID, which the embedded component's
// own OnCallerID raised: both outlive the raising, then go with all they have.
TEST_F(MalvoHost, ReleasedInsideItsOnCallerIDGoesOnceTheCallIsRaised) {
    activex::testing::endProcessOnFault();
    ComPtr<IMalvo> malvo = create();
    ASSERT_TRUE(malvo);
    ComPtr<IConnectionPoint> cp;
    ASSERT_EQ(
        malvo.as<IConnectionPointContainer>()->FindConnectionPoint(DIID_IMalvoEvents, cp.put()),
        S_OK);
    DWORD cookie = 0;
    bool released = false;
    auto sink = RecordingSink::make(DIID_IMalvoEvents, [&](DISPID id, DISPPARAMS&) {
        if (id != kOnCallerID || released)
            return;
        released = true;
        EXPECT_EQ(cp->Unadvise(cookie), S_OK);
        cp.reset();
        malvo.reset();
    });
    ASSERT_EQ(cp->Advise(sink.get(), &cookie), S_OK);
    ASSERT_TRUE(hidcontroller::pumpMessagesUntil([&] { return released; }, 60s));
    EXPECT_TRUE(unloadsWithin(L"" BREVANTEL_OCX, 30s)) << "Malvo is released";
    EXPECT_TRUE(unloadsWithin(L"" NORVELLIX1C_OCX, 30s)) << "its component is released";
}

// The embedded component's window: the one child of Malvo's hidden form window.
HWND embeddedComponentWindow() {
    HWND form = malvoFormOfThisThread();
    return form ? GetWindow(form, GW_CHILD) : nullptr;
}

// The colour the window paints at (x, y), drawn into a bitmap of ours: the form
// window is never shown.
COLORREF paintedColour(HWND window, int x, int y) {
    HDC screen = GetDC(nullptr);
    platform::UniqueMemoryDc dc(CreateCompatibleDC(screen));
    platform::UniqueBitmap bitmap(CreateCompatibleBitmap(screen, 64, 64));
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    const COLORREF colour = GetPixel(dc.get(), x, y);
    SelectObject(dc.get(), old);
    return colour;
}

// The component is created with the state the form keeps for it, not its defaults:
// 29 x 32 pixels, caption "Norvellix", white (it paints itself red by default).
TEST_F(MalvoHost, EmbeddedComponentReadsThePersistedState) {
    ComPtr<IMalvo> malvo = create();
    ASSERT_TRUE(malvo);
    const HWND component = embeddedComponentWindow();
    ASSERT_NE(component, nullptr);
    RECT client{};
    GetClientRect(component, &client);
    EXPECT_EQ(client.right, 29);
    EXPECT_EQ(client.bottom, 32);
    wchar_t caption[32]{};
    GetWindowTextW(component, caption, 32);
    EXPECT_EQ(narrow(caption), "Norvellix");
    // Beside the red "N" label (27 x 30 at the corner) the form's own colour shows.
    EXPECT_EQ(paintedColour(component, 28, 31), RGB(255, 255, 255));
}

// Without the caller-ID component registered the adapter cannot be created, and
// says why.
TEST_F(MalvoHost, RefusedWhenTheComponentIsNotRegistered) {
    HMODULE component = LoadLibraryW(L"" NORVELLIX1C_OCX);
    ASSERT_NE(component, nullptr);
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto unregister = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(component, "DllUnregisterServer")));
    auto reregister = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(component, "DllRegisterServer")));
    ASSERT_TRUE(unregister && reregister);
    ASSERT_EQ(unregister(), S_OK);

    ComPtr<IMalvo> malvo;
    EXPECT_EQ(
        CoCreateInstance(CLSID_Malvo, nullptr, CLSCTX_INPROC_SERVER, IID_IMalvo, malvo.putVoid()),
        REGDB_E_CLASSNOTREG);
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK) {
        activex::Bstr description;
        info->GetDescription(description.put());
        EXPECT_NE(description.utf8().find("Norvellix1C.Norvellix_Component is not registered"),
                  std::string::npos)
            << description.utf8();
    } else {
        ADD_FAILURE() << "no error information";
    }
    EXPECT_EQ(reregister(), S_OK);
    FreeLibrary(component);
}

// Sited in a host's window, Malvo's own form raises its events to the one sink.
TEST_F(MalvoHost, SitedItsFormRaisesTheFormEvents) {
    activex::testing::FormHost form(CLSID_Malvo);
    EXPECT_EQ(activex::testing::formSession(form), activex::testing::kFormSessionEvents);
    EXPECT_EQ(form.keys, std::vector<short>{'a'});
}

} // namespace
