// Pimbrella as a person sees it, under Wine: the test starts the program in a
// prefix of its own, reads its window through window messages and the screen,
// and double-clicks its frame through the input queue; the window's short-lived
// states are read with the program held still (TickHold), the colours once the
// screen shows them.
//   pimbrella_tests --pimbrella=EXE [--ocx=OCX --scenarios=DIR --screenshot=BMP]
// Without --ocx only the registration failures run; the window's own tests
// need the real control and the simulated devices of the scenarios.
#include "pimbrella_process.h"
#include "testprogram/form1_ids.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace pimbrella_test;
using namespace testprogram;

namespace {

struct Paths {
    std::wstring pimbrella, ocx, scenarios, screenshot;
} paths;

const wchar_t kClsidKey[] = L"Software\\Classes\\CLSID\\{4F1C2A60-7D35-4E8B-9A12-3C5E7B9D0A41}";

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

std::wstring joined(const std::vector<std::wstring>& rows) {
    std::wstring all;
    for (const std::wstring& row : rows)
        all += row + L"\n";
    return all;
}

void unregisterControl() {
    if (!paths.ocx.empty())
        runToEnd(L"regsvr32 /u /s \"" + paths.ocx + L"\"");
    RegDeleteTreeW(HKEY_CURRENT_USER, kClsidKey);
}

// A registration whose library is not where it says.
void registerBroken() {
    const std::wstring key = std::wstring(kClsidKey) + L"\\InprocServer32";
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &opened, nullptr),
              ERROR_SUCCESS);
    platform::UniqueHkey hkey(opened);
    const std::wstring missing = L"C:\\missing\\Norvellix.ocx";
    RegSetValueExW(hkey.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing.c_str()),
                   static_cast<DWORD>((missing.size() + 1) * sizeof(wchar_t)));
}

struct RegistrationCase {
    const char* name;
    void (*arrange)();
};

TEST(PimbrellaRegistration, AMissingOrBrokenControlEndsWithAMessageNamingIt) {
    const RegistrationCase cases[] = {
        {"missing", [] {}},
        {"broken", [] { registerBroken(); }},
    };
    for (const RegistrationCase& c : cases) {
        SCOPED_TRACE(c.name);
        unregisterControl();
        c.arrange();
        PimbrellaProcess program(paths.pimbrella, {});
        HWND box = program.waitForMessageBox(30s);
        ASSERT_NE(box, nullptr) << "expected a message box, the program "
                                << (program.running() ? "shows none" : "ended");
        EXPECT_EQ(windowText(box), L"Pimbrella");
        const std::wstring text = dialogText(box);
        for (const wchar_t* part : {L"Norvellix", L"Norvellix_Project.Norvellix",
                                    L"{4F1C2A60-7D35-4E8B-9A12-3C5E7B9D0A41}", L"regsvr32"})
            EXPECT_NE(text.find(part), std::wstring::npos)
                << "expected \"" << narrow(part) << "\" in: " << narrow(text);
        EXPECT_EQ(program.waitForWindow(0ms), nullptr) << "no window without its control";
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(program.waitForExit(15s), 1) << "the program ends after the message";
        unregisterControl();
    }
}

// The calls of the scenario of two devices and twelve calls, in order.
struct ScenarioCall {
    int device; // 1 or 2
    const wchar_t* line;
    const wchar_t* number;
};
const ScenarioCall kTwelveCalls[] = {
    {1, L"1", L"05321110001"}, {2, L"2", L"05321110002"}, {1, L"3", L"05321110003"},
    {2, L"4", L"05321110004"}, {1, L"2", L"05321110005"}, {2, L"1", L"05321110006"},
    {1, L"4", L"05321110007"}, {2, L"3", L"05321110008"}, {1, L"1", L"05321110009"},
    {2, L"2", L"05321110010"}, {1, L"3", L"05321110011"}, {2, L"4", L"05321110012"},
};

const std::wstring kDevice1 = L"1.Cihaz DIP No: ";
const std::wstring kDevice2 = L"2.Cihaz DIP No: ";

bool isRed(COLORREF c) {
    return GetRValue(c) > 180 && GetGValue(c) < 90 && GetBValue(c) < 90;
}
bool isDark(COLORREF c) {
    return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
}

class PimbrellaWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        unregisterControl();
        registered_ = runToEnd(L"regsvr32 /s \"" + paths.ocx + L"\"") == 0;
    }
    void SetUp() override {
        if (paths.ocx.empty())
            GTEST_SKIP() << "the window's tests need the control (--ocx) and scenarios";
        ASSERT_TRUE(registered_) << "regsvr32 could not register the control";
    }

    std::unique_ptr<PimbrellaProcess> start(const wchar_t* scenario) {
        auto program = std::make_unique<PimbrellaProcess>(
            paths.pimbrella, std::vector<std::pair<std::wstring, std::wstring>>{
                                 {L"NORVELLIX_SIMULATOR", paths.scenarios + L"\\" + scenario}});
        EXPECT_NE(program->waitForWindow(30s), nullptr)
            << "expected the window of Pimbrella: " << program->whyNoWindow();
        return program;
    }

    // A control's colours as the screen shows them: how many pixels are red,
    // dark and white, of how many.
    struct Ink {
        int red = 0, dark = 0, white = 0, pixels = 0;
    };
    static Ink inkOf(const PimbrellaProcess& program, int id) {
        const Capture c = captureWindow(program.control(id));
        Ink ink;
        ink.pixels = static_cast<int>(c.pixels.size());
        for (COLORREF p : c.pixels) {
            ink.red += isRed(p);
            ink.dark += isDark(p);
            ink.white += p == RGB(255, 255, 255);
        }
        return ink;
    }
    // Whether the screen comes to show a steady state's colours: Wine puts what a
    // window drew on the display a moment after it drew it.
    static bool drawn(const PimbrellaProcess& program, int id,
                      const std::function<bool(const Ink&)>& shows) {
        return waitUntil([&] { return shows(inkOf(program, id)); }, 5s);
    }
    static std::string described(const Ink& ink) {
        return std::to_string(ink.red) + " red, " + std::to_string(ink.dark) + " dark and " +
               std::to_string(ink.white) + " white of " + std::to_string(ink.pixels) + " pixels";
    }

    static inline bool registered_ = false;
};

TEST_F(PimbrellaWindow, OpensWithTheTextsAndSizeOfItsForm) {
    auto program = start(L"no_devices.scn");
    ASSERT_NE(program->window(), nullptr);
    EXPECT_EQ(windowText(program->window()), L"Pimbrella");
    RECT client{};
    GetClientRect(program->window(), &client);
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(client.right, MulDiv(5292, dpiX, 1440)) << "client width of 5,292 twips";
    EXPECT_EQ(client.bottom, MulDiv(4584, dpiY, 1440)) << "client height of 4,584 twips";

    const std::wstring header = L"CihazNo" + std::wstring(4, L' ') + L"Hat" +
                                std::wstring(5, L' ') + L"Tarih" + std::wstring(12, L' ') +
                                L"Saat" + std::wstring(6, L' ') + L"TelefonNumaras\u0131";
    const std::pair<int, std::wstring> texts[] = {
        {kLabel9, L"For CRM Applications"},
        {kLabel4, L"Norvellix"},
        {kFrame1, L"Cihaz Baglanti Durumu"},
        {kLabel6, L"Cihaz Bagli Degil"},
        {kLabel7, kDevice1 + L"0"},
        {kLabel8, kDevice2 + L"0"},
        {kLabel5, header},
        {kLabel1, L"Toplam Arama :"},
        {kLabel2, L"0"},
    };
    for (const auto& [id, text] : texts)
        EXPECT_EQ(program->text(id), text) << "control " << id;
    EXPECT_TRUE(program->listRows(kList1).empty());
    EXPECT_TRUE(drawn(*program, kLabel6, [](const Ink& ink) { return ink.red > 0; }))
        << "Label6 is drawn in red at start: " << described(inkOf(*program, kLabel6));
    EXPECT_TRUE(drawn(*program, kLabel4,
                      [](const Ink& ink) { return ink.red > ink.pixels / 2 && ink.white > 0; }))
        << "Label4 shows white text on red: " << described(inkOf(*program, kLabel4));
}

TEST_F(PimbrellaWindow, ListsTheTenNewestCallsCountsAllAndResetsOnADoubleClick) {
    auto program = start(L"two_devices_twelve_calls.scn");
    ASSERT_NE(program->window(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return program->text(kLabel2) == L"12"; }, 90s))
        << "expected 12 calls, the counter reads " << narrow(program->text(kLabel2))
        << "; the list holds:\n"
        << narrow(joined(program->listRows(kList1)));

    EXPECT_EQ(program->text(kLabel6), L"Cihaz Baglandi");
    const std::wstring label7 = program->text(kLabel7), label8 = program->text(kLabel8);
    ASSERT_EQ(label7.rfind(kDevice1, 0), 0u) << narrow(label7);
    ASSERT_EQ(label8.rfind(kDevice2, 0), 0u) << narrow(label8);
    const std::wstring serial1 = label7.substr(kDevice1.size());
    const std::wstring serial2 = label8.substr(kDevice2.size());
    EXPECT_GE(serial1.size(), 8u) << "Device1's serial: " << narrow(serial1);
    EXPECT_GE(serial2.size(), 8u) << "Device2's serial: " << narrow(serial2);
    EXPECT_NE(serial1, serial2);
    EXPECT_TRUE(
        drawn(*program, kLabel6, [](const Ink& ink) { return ink.red == 0 && ink.dark > 0; }))
        << "a connection is shown in black: " << described(inkOf(*program, kLabel6));

    const std::vector<std::wstring> rows = program->listRows(kList1);
    ASSERT_EQ(rows.size(), 10u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ScenarioCall& call = kTwelveCalls[11 - i]; // newest first
        const std::wstring head =
            (call.device == 1 ? serial1 : serial2) + L"   " + call.line + L"   ";
        const std::wstring end = L"   " + std::wstring(call.number);
        EXPECT_EQ(rows[i].rfind(head, 0), 0u) << "row " << i << ": " << narrow(rows[i]);
        EXPECT_TRUE(rows[i].size() > end.size() &&
                    rows[i].compare(rows[i].size() - end.size(), end.size(), end) == 0)
            << "row " << i << ": " << narrow(rows[i]);
    }

    // The ten rows show whole, the newest at the top, with no scroll bar.
    HWND list = program->control(kList1);
    RECT client{};
    GetClientRect(list, &client);
    DWORD_PTR top = 1;
    SendMessageTimeoutW(list, LB_GETTOPINDEX, 0, 0, SMTO_ABORTIFHUNG, 2000, &top);
    EXPECT_EQ(top, 0u) << "the list is scrolled";
    for (int i = 0; i < 10; ++i) {
        const RECT row = program->listRowRect(kList1, i);
        EXPECT_TRUE(row.bottom > row.top && row.top >= client.top && row.bottom <= client.bottom)
            << "row " << i << " spans " << row.top << ".." << row.bottom
            << ", the list's client area " << client.top << ".." << client.bottom;
    }
    EXPECT_EQ(GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL, 0) << "a scroll bar shows";

    if (!paths.screenshot.empty()) {
        EXPECT_TRUE(writeBmp(captureWindow(program->window()), paths.screenshot));
    }

    // A double-click on the frame, away from its labels, resets at once. The
    // reset shows only until the devices are calibrated again, a dozen ticks on:
    // the program is held at its first tick after the double-click, so the window
    // is read while it shows the reset, however loaded the machine.
    TickHold hold(*program);
    ASSERT_TRUE(hold.hooked()) << "cannot hold the program: " << hold.failure();
    RECT frame{};
    GetClientRect(program->control(kFrame1), &frame);
    program->doubleClick(kFrame1, {frame.right - 6, frame.bottom / 2});
    const TickHold::Seen seen = hold.waitHeld(30s);
    ASSERT_EQ(seen, TickHold::Seen::Held)
        << (seen == TickHold::Seen::NoHook          ? "the hook never ran in the program"
            : seen == TickHold::Seen::NoDoubleClick ? "no double-click reached Frame1"
                                                    : "no tick came after the double-click");
    EXPECT_EQ(program->text(kLabel6), L"Cihaz Bagli Degil");
    EXPECT_EQ(program->text(kLabel7), kDevice1 + L"0");
    EXPECT_EQ(program->text(kLabel8), kDevice2 + L"0");
    // Held, the program draws nothing new: the display can only catch up with
    // what it drew for the reset.
    EXPECT_TRUE(drawn(*program, kLabel6, [](const Ink& ink) { return ink.red > 0; }))
        << "a reset is shown in red: " << described(inkOf(*program, kLabel6));
    EXPECT_EQ(program->text(kLabel2), L"12") << "a reset keeps the count";
    // Let go, the devices are found and calibrated again.
    hold.release();
    EXPECT_TRUE(waitUntil([&] { return program->text(kLabel6) == L"Cihaz Baglandi"; }, 30s));
    EXPECT_EQ(program->text(kLabel7), kDevice1 + serial1);
    EXPECT_EQ(program->text(kLabel8), kDevice2 + serial2);
}

TEST_F(PimbrellaWindow, ShowsOneDeviceWithNoSecondSerial) {
    auto program = start(L"one_device_one_call.scn");
    ASSERT_NE(program->window(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return program->text(kLabel2) == L"1"; }, 60s))
        << "expected one call, the counter reads " << narrow(program->text(kLabel2));
    EXPECT_EQ(program->text(kLabel6), L"Cihaz Baglandi");
    EXPECT_EQ(program->text(kLabel7), kDevice1 + L"55ee66ff");
    EXPECT_EQ(program->text(kLabel8), kDevice2 + L"0");
    const std::vector<std::wstring> rows = program->listRows(kList1);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].rfind(L"55ee66ff   2   ", 0), 0u) << narrow(rows[0]);
}

TEST_F(PimbrellaWindow, ShowsBothDevicesUnplugged) {
    auto program = start(L"two_devices_unplugged.scn");
    ASSERT_NE(program->window(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return program->text(kLabel6) == L"Cihaz Baglandi"; }, 60s));
    ASSERT_TRUE(waitUntil(
        [&] {
            return program->text(kLabel6) == L"Cihaz Bagli Degil" &&
                   program->text(kLabel7) == kDevice1 + L"0" &&
                   program->text(kLabel8) == kDevice2 + L"0";
        },
        60s))
        << "after the unplug: " << narrow(program->text(kLabel6)) << " / "
        << narrow(program->text(kLabel7)) << " / " << narrow(program->text(kLabel8));
    EXPECT_TRUE(drawn(*program, kLabel6, [](const Ink& ink) { return ink.red > 0; }))
        << "a disconnection is shown in red: " << described(inkOf(*program, kLabel6));
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::pair<const char*, std::wstring*> options[] = {
            {"--pimbrella=", &paths.pimbrella},
            {"--ocx=", &paths.ocx},
            {"--scenarios=", &paths.scenarios},
            {"--screenshot=", &paths.screenshot},
        };
        for (const auto& [prefix, target] : options)
            if (arg.rfind(prefix, 0) == 0)
                *target = windowsPath(arg.substr(std::string(prefix).size()));
    }
    if (paths.pimbrella.empty()) {
        fprintf(stderr, "usage: pimbrella_tests --pimbrella=EXE [--ocx=OCX --scenarios=DIR "
                        "--screenshot=BMP]\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
