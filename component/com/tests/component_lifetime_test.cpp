// Norvellix1C.ocx in C++ hosts under Wine, through what hosts do to a component over
// its life: a handler of a call that runs a message loop while the devices change, a
// device pulled out and plugged back in beside another or while a pairing runs, a
// capture cut short by a device change, a host that freezes the component's events or
// lets the component go inside them, and the library unloaded and loaded again in one
// process.
// Each suite runs in a ctest entry of its own, with the scenario that
// NORVELLIX_SIMULATOR names for it.
#include "Norvellix1C.h"
#include "activex/tests/com_test_support.h"
#include "hidcontroller/tests/watchdog.h"
#include "hidcontroller/windows/window_ui_thread.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using activex::ComPtr;
using activex::testing::RecordingSink;
using hidcontroller::pumpMessagesUntil;
using hidcontroller::testing::Watchdog;

namespace {

using namespace std::chrono_literals;

constexpr DISPID kOnCallerID = 209;
constexpr DISPID kOnDeviceConnection = 210;
// The class of the HID controller's hidden windows.
constexpr char kHiddenWindowClass[] = "NorvellixHidControllerWindow";

// A component with `sink` advised on its event point; the point and the cookie are
// kept for the unadvise.
struct Advised {
    ComPtr<INorvellix_Component> component;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;

    void advise(IDispatch* sink) {
        ASSERT_EQ(component.as<IConnectionPointContainer>()->FindConnectionPoint(
                      DIID_INorvellix_ComponentEvents, point.put()),
                  S_OK);
        ASSERT_EQ(point->Advise(sink, &cookie), S_OK);
    }
    void release() {
        if (point) {
            EXPECT_EQ(point->Unadvise(cookie), S_OK);
        }
        point.reset();
        component.reset();
    }
};

Advised createRegistered(IDispatch* sink) {
    Advised a;
    EXPECT_EQ(CoCreateInstance(CLSID_Norvellix_Component, nullptr, CLSCTX_INPROC_SERVER,
                               IID_INorvellix_Component, a.component.putVoid()),
              S_OK);
    if (a.component)
        a.advise(sink);
    return a;
}

std::vector<std::vector<std::string>> argsOf(const RecordingSink& sink, DISPID id) {
    std::vector<std::vector<std::string>> out;
    for (const auto& c : sink.calls)
        if (c.id == id)
            out.push_back(c.args);
    return out;
}

using Norvellix1CNestedLoop = activex::testing::ComApartment;

// The handler of the first call pumps messages, as a modal message box does, until
// the next call has come; meanwhile a mouse is plugged in and the component pairs its
// device again from inside that loop.
TEST_F(Norvellix1CNestedLoop, AHandlerThatPumpsWhileAMouseIsPluggedInHearsTheNextCallAndEnds) {
    Watchdog watchdog(90s);
    int callsHeard = 0;
    bool inLoop = false;
    bool secondInLoop = false;
    bool loopEnded = false;
    auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents, [&](DISPID id, DISPPARAMS&) {
        if (id != kOnCallerID)
            return;
        if (++callsHeard > 1) {
            secondInLoop = secondInLoop || inLoop;
            return;
        }
        inLoop = true;
        loopEnded = pumpMessagesUntil([&] { return callsHeard >= 2; }, 60s);
        inLoop = false;
    });
    Advised a = createRegistered(sink.get());
    ASSERT_TRUE(a.component);
    EXPECT_TRUE(pumpMessagesUntil([&] { return callsHeard >= 2 && !inLoop; }, 60s))
        << callsHeard << " calls heard";
    EXPECT_TRUE(secondInLoop) << "the second call arrived inside the handler's loop";
    EXPECT_TRUE(loopEnded);
    const auto calls = argsOf(*sink.get(), kOnCallerID);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0][4], "05321234567");
    EXPECT_EQ(calls[1][4], "05559876543");
    EXPECT_EQ(argsOf(*sink.get(), kOnDeviceConnection).size(), 2u)
        << "paired at start and at the mouse";
    a.release();
}

using Norvellix1CRepairing = activex::testing::ComApartment;

// The system's notification reaches HidCtl before HidCtl_2 here, as on Windows.
TEST_F(Norvellix1CRepairing, TheSecondDevicePluggedBackInIsCountedInOtherInfo) {
    Watchdog watchdog(90s);
    auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents);
    Advised a = createRegistered(sink.get());
    ASSERT_TRUE(a.component);
    EXPECT_TRUE(pumpMessagesUntil([&] { return !argsOf(*sink.get(), kOnCallerID).empty(); }, 60s));
    using Args = std::vector<std::string>;
    EXPECT_EQ(
        argsOf(*sink.get(), kOnDeviceConnection),
        (std::vector<Args>{{"11111111  |  22222222"}, {"11111111"}, {"11111111  |  22222222"}}));
    const auto calls = argsOf(*sink.get(), kOnCallerID);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0][2], "11111111");
    EXPECT_EQ(calls[0][5], "This device is \"2\" one.");
    a.release();
}

// The host lets go of everything it holds of the component inside one of its events,
// each raised from a window of the component's own: the pairing's from a device-change
// notification, the call's from a hand-over of the device's reader. The component
// outlives the event's raising, then goes with all it has (the library holds no object).
class Norvellix1CReleasedInAnEvent : public activex::testing::ComApartment,
                                     public ::testing::WithParamInterface<DISPID> {};

TEST_P(Norvellix1CReleasedInAnEvent, GoesOnceTheEventIsRaised) {
    Watchdog watchdog(90s);
    activex::testing::endProcessOnFault();
    Advised a;
    bool released = false;
    auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents, [&](DISPID id, DISPPARAMS&) {
        if (id != GetParam() || released)
            return;
        released = true;
        a.release();
    });
    a = createRegistered(sink.get());
    ASSERT_TRUE(a.component);
    ASSERT_TRUE(pumpMessagesUntil([&] { return released; }, 60s));
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const auto canUnloadNow = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("Norvellix1C.ocx"), "DllCanUnloadNow")));
    ASSERT_TRUE(canUnloadNow);
    EXPECT_TRUE(pumpMessagesUntil([&] { return canUnloadNow() == S_OK; }, 30s));
}

INSTANTIATE_TEST_SUITE_P(Events, Norvellix1CReleasedInAnEvent,
                         ::testing::Values(kOnDeviceConnection, kOnCallerID), [](const auto& info) {
                             return std::string(info.param == kOnCallerID ? "OnCallerID"
                                                                          : "OnDeviceConnection");
                         });

// A pairing that a mouse starts holds the host's thread about a second, and the first
// device is pulled out and plugged back in meanwhile: it is paired again, and its later
// calls arrive beside the other device's, counted with two devices.
using Norvellix1CReplugWhilePairing = activex::testing::ComApartment;

TEST_F(Norvellix1CReplugWhilePairing, TheRepluggedDevicesLaterCallsArrive) {
    Watchdog watchdog(90s);
    auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents);
    Advised a = createRegistered(sink.get());
    ASSERT_TRUE(a.component);
    EXPECT_TRUE(
        pumpMessagesUntil([&] { return argsOf(*sink.get(), kOnCallerID).size() >= 3; }, 60s));
    std::vector<std::string> seen;
    for (const auto& call : argsOf(*sink.get(), kOnCallerID))
        seen.push_back(call[2] + " " + call[3] + " " + call[4] + " " + call[5]);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"AAAA1111 1 02125550123 This device is \"2\" one.",
                                              "AAAA1111 3 4441122 This device is \"2\" one.",
                                              "BBBB2222 2 05321234567 This device is \"2\" one."}));
    const auto connections = argsOf(*sink.get(), kOnDeviceConnection);
    ASSERT_FALSE(connections.empty());
    EXPECT_EQ(connections.back(), std::vector<std::string>{"BBBB2222  |  AAAA1111"});
    a.release();
}

// A mouse plugged in while a call is captured re-pairs the device and cuts that
// capture short: its call is lost, the next ones arrive.
using Norvellix1CCutCapture = activex::testing::ComApartment;

TEST_F(Norvellix1CCutCapture, TheCallsAfterTheCutCaptureArrive) {
    Watchdog watchdog(90s);
    auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents);
    Advised a = createRegistered(sink.get());
    ASSERT_TRUE(a.component);
    const auto lastHeard = [&] {
        const auto calls = argsOf(*sink.get(), kOnCallerID);
        return !calls.empty() && calls.back()[3] == "3";
    };
    EXPECT_TRUE(pumpMessagesUntil(lastHeard, 60s));
    std::vector<std::string> seen;
    for (const auto& call : argsOf(*sink.get(), kOnCallerID))
        seen.push_back(call[3] + " " + call[4]);
    EXPECT_EQ(seen, (std::vector<std::string>{"2 05321234567", "3 4441122"}));
    EXPECT_EQ(argsOf(*sink.get(), kOnDeviceConnection).size(), 2u)
        << "paired at start and at the mouse";
    a.release();
}

// The host freezes the component's events in its handler of the first of two calls
// decoded from one capture: the second comes while they are frozen, and reaches the
// host once, when it thaws them.
using Norvellix1CFrozenEvents = activex::testing::ComApartment;

TEST_F(Norvellix1CFrozenEvents, ACallRaisedWhileFrozenArrivesOnceAtTheThaw) {
    Watchdog watchdog(90s);
    activex::testing::FreezeInFirstHandler freezer(kOnCallerID);
    auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents, freezer.handler());
    Advised a = createRegistered(sink.get());
    ASSERT_TRUE(a.component);
    freezer.attach(a.component.get());
    ASSERT_TRUE(pumpMessagesUntil([&] { return freezer.frozen(); }, 60s));
    ASSERT_EQ(argsOf(*sink.get(), kOnCallerID).size(), 1u);
    EXPECT_EQ(argsOf(*sink.get(), kOnCallerID)[0][3], "2");

    const std::size_t heard = sink->calls.size();
    EXPECT_EQ(freezer.thaw(), S_OK);
    ASSERT_EQ(sink->calls.size(), heard + 1) << "delivered as the host thaws events";
    EXPECT_EQ(sink->calls.back().id, kOnCallerID);
    EXPECT_EQ(sink->calls.back().args[3], "3");
    EXPECT_EQ(sink->calls.back().args[4], "02125550199");
    pumpMessagesUntil([] { return false; }, 1s);
    EXPECT_EQ(argsOf(*sink.get(), kOnCallerID).size(), 2u) << "once";
    a.release();
}

using Norvellix1CLoading = activex::testing::ComApartment;

std::wstring windowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

// The library loaded, used and unloaded twice in one process, as a host that frees
// unused libraries does: each time the component is made and pairs, and nothing of
// the library stays registered with the system once it is gone.
TEST_F(Norvellix1CLoading, LoadedAgainAfterUnloadingItMakesAWorkingComponent) {
    Watchdog watchdog(90s);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const std::wstring path = windowsPath(NORVELLIX1C_OCX);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("load " + std::to_string(round));
        HMODULE library = LoadLibraryW(path.c_str());
        ASSERT_NE(library, nullptr);
        const auto getClassObject = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
        const auto canUnloadNow = reinterpret_cast<CanUnloadNow>(
            reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject && canUnloadNow);
        {
            ComPtr<IClassFactory> factory;
            ASSERT_EQ(
                getClassObject(CLSID_Norvellix_Component, IID_IClassFactory, factory.putVoid()),
                S_OK);
            auto sink = RecordingSink::make(DIID_INorvellix_ComponentEvents);
            Advised a;
            ASSERT_EQ(
                factory->CreateInstance(nullptr, IID_INorvellix_Component, a.component.putVoid()),
                S_OK);
            a.advise(sink.get());
            EXPECT_TRUE(pumpMessagesUntil(
                [&] { return !argsOf(*sink.get(), kOnDeviceConnection).empty(); }, 30s))
                << "the start-up pairing reaches the host";
            a.release();
        }
        EXPECT_EQ(canUnloadNow(), S_OK);
        ASSERT_TRUE(FreeLibrary(library));
        EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "the library is unloaded";
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        EXPECT_FALSE(GetClassInfoExA(library, kHiddenWindowClass, &wc))
            << "its hidden windows' class went with it";
        EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), kHiddenWindowClass, &wc))
            << "no class of it is left under the program's instance";
    }
}

} // namespace
