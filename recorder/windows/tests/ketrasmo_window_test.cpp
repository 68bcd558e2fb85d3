// Ketrasmo.exe as a user meets it, under a display: the program is started on a
// scenario of the simulated bus, the test waits for calibration, checks that the
// connection text reads on its ground (and keeps a screenshot), arms a recording
// with the button, closes the message box that ends it, closes the window and then
// checks the four signal files against the signal that the scenario played.
// Without a device the black text must read as well.
#include "platform/tests/windows/window_capture.h"
#include "platform/windows/handles.h"
#include "recorder/signal_file.h"
#include "recorder/tests/signal_file_check.h"
#include "recorder/windows/control_ids.h"
#include "standin/line_signal.h"
#include "standin/scenario.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace recorder::windows {
namespace {

namespace fs = std::filesystem;

// Build-tree paths are Unix paths; Wine's drive Z: is the Unix root.
std::wstring windowsPath(const std::string& unixPath) {
    std::wstring p = L"Z:";
    for (char c : unixPath)
        p += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return p;
}

bool waitFor(const std::function<bool()>& done, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

std::wstring textOf(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

struct WindowSearch {
    DWORD pid;
    const wchar_t* title;
    HWND found = nullptr;
};

BOOL CALLBACK matchTopWindow(HWND hwnd, LPARAM lp) {
    auto& s = *reinterpret_cast<WindowSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == s.pid && IsWindowVisible(hwnd) && textOf(hwnd) == s.title) {
        s.found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the process with the given title.
HWND topWindow(DWORD pid, const wchar_t* title) {
    WindowSearch s{pid, title};
    EnumWindows(matchTopWindow, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The message box's text: its static control has the identifier 0xFFFF.
BOOL CALLBACK takeMessageText(HWND c, LPARAM lp) {
    if (GetDlgCtrlID(c) == 0xFFFF)
        *reinterpret_cast<std::wstring*>(lp) = textOf(c);
    return TRUE;
}

// The program under test; stopped by force only if the test leaves it running.
struct Program {
    PROCESS_INFORMATION pi{};
    bool started = false;
    ~Program() {
        if (!started)
            return;
        const platform::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
        if (WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT)
            TerminateProcess(process.get(), 3);
    }
};

std::vector<std::uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The four lines of the scenario's first device, as the stand-in plays them.
std::array<standin::LineSignal, 4> scenarioLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    standin::Scenario scenario;
    std::string error;
    EXPECT_TRUE(standin::parseScenario(text, path, ".", scenario, error)) << error;
    std::array<standin::LineSignal, 4> lines;
    for (int l = 0; l < 4 && !scenario.devices.empty(); ++l)
        lines[l] = standin::LineSignal(scenario.devices[0].lines[l].zeroLevel,
                                       scenario.devices[0].lines[l].noiseRms,
                                       static_cast<std::uint32_t>(l + 1));
    for (const auto& s : scenario.signals)
        if (s.device == 0)
            lines[s.line - 1].place(s.startSample, s.samples);
    return lines;
}

// Starts Ketrasmo in the folder on the scenario; its window, or null.
HWND start(Program& program, const std::string& scenarioPath, const fs::path& work) {
    const std::wstring scenario = windowsPath(scenarioPath);
    SetEnvironmentVariableW(L"NORVELLIX_SIMULATOR", scenario.c_str());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring commandLine = L"\"" + windowsPath(KETRASMO_EXE) + L"\"";
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        work.wstring().c_str(), &si, &program.pi)) {
        ADD_FAILURE() << "CreateProcess failed with " << GetLastError();
        return nullptr;
    }
    program.started = true;
    HWND main = nullptr;
    waitFor([&] { return (main = topWindow(program.pi.dwProcessId, kMainWindowTitle)) != nullptr; },
            30000);
    return main;
}

// The connection text as the screen shows it: its ground is the colour most of
// its box shows, and the text must be drawn in the given colour and read on that
// ground (a contrast of 3 : 1 at least). The box is read until it does, within a
// generous limit: a window being painted shows anything for a moment.
void expectTextReadsOnItsGround(HWND label, COLORREF text) {
    COLORREF ground = text;
    int inText = 0;
    double contrast = 1;
    waitFor(
        [&] {
            const platform::testing::Capture c = platform::testing::captureWindow(label);
            std::map<COLORREF, int> counts;
            for (COLORREF p : c.pixels)
                ++counts[p];
            if (counts.empty())
                return false;
            ground =
                std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                    return a.second < b.second;
                })->first;
            inText = counts.count(text) ? counts[text] : 0;
            contrast = platform::testing::contrastRatio(text, ground);
            return inText > 20 && contrast >= 3.0;
        },
        10000);
    EXPECT_GT(inText, 20) << "expected text pixels of colour " << std::hex << text;
    EXPECT_GE(contrast, 3.0) << "text " << std::hex << text << " on ground " << ground << std::dec
                             << ": contrast " << contrast << " : 1";
}

TEST(KetrasmoWindow, WithoutADeviceTheBlackTextReadsOnItsGround) {
    const fs::path work = windowsPath(std::string(KETRASMO_TEST_WORK_DIR) + "-no-device");
    fs::remove_all(work);
    fs::create_directories(work);
    Program program;
    HWND main = start(program, KETRASMO_NO_DEVICE_SCENARIO, work);
    ASSERT_NE(main, nullptr) << "no window titled Ketrasmo";
    HWND label = GetDlgItem(main, IdLabelbaglanti);
    ASSERT_TRUE(waitFor([&] { return textOf(label) == L"CIHAZ BAGLI DEGIL"; }, 10000));
    expectTextReadsOnItsGround(label, RGB(0, 0, 0));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(program.pi.hProcess, 20000), WAIT_OBJECT_0);
}

TEST(KetrasmoWindow, ArmedRecordingOfACallBecomesFourFilesOfItsSignal) {
    const fs::path work = windowsPath(KETRASMO_TEST_WORK_DIR);
    fs::remove_all(work);
    fs::create_directories(work);
    Program program;
    HWND main = start(program, KETRASMO_TEST_SCENARIO, work);
    ASSERT_NE(main, nullptr) << "no window titled Ketrasmo";
    const DWORD pid = program.pi.dwProcessId;
    HWND command1 = GetDlgItem(main, IdCommand1);
    ASSERT_NE(command1, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(main, IdFrame1)), L"Cihaz Durumu");
    EXPECT_EQ(textOf(GetDlgItem(main, IdFrame2)), L"Hat Durumlari");
    EXPECT_EQ(textOf(GetDlgItem(main, IdLabel1)), L"Norvellix");

    // Calibration enables the button; the click arms the recording.
    ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(command1) != FALSE; }, 30000))
        << "the button never became usable";
    EXPECT_EQ(textOf(command1), L"Yeni Sinyal Kaydi Icin Basiniz");
    EXPECT_EQ(textOf(GetDlgItem(main, IdLabelbaglanti)).substr(0, 14), L"CIHAZ BAGLANDI");
    EXPECT_EQ(textOf(GetDlgItem(main, IdLabelbaglanti)).substr(80), L"0c0ffee0");
    expectTextReadsOnItsGround(GetDlgItem(main, IdLabelbaglanti), RGB(255, 255, 255));
    EXPECT_TRUE(platform::testing::writeBmp(platform::testing::captureWindow(main),
                                            windowsPath(KETRASMO_SCREENSHOT)))
        << "the screenshot of the connected recorder";
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(IdCommand1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(command1));
    ASSERT_TRUE(waitFor([&] { return textOf(command1) == L"Telefon Aramasi Yapiniz..."; }, 5000))
        << "caption " << std::string(textOf(command1).begin(), textOf(command1).end());
    EXPECT_FALSE(IsWindowEnabled(command1));

    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = topWindow(pid, kMessageBoxTitle)) != nullptr; }, 60000))
        << "no message box after the call";
    std::wstring message;
    EnumChildWindows(box, takeMessageText, reinterpret_cast<LPARAM>(&message));
    EXPECT_EQ(message, L"Telefon sinyal kaydi basariyla tamamlanmistir...");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(waitFor([&] { return IsWindowEnabled(command1) != FALSE; }, 10000))
        << "the button is not usable again after the message box";
    EXPECT_EQ(textOf(command1), L"Yeni Sinyal Kaydi Icin Basiniz");

    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(program.pi.hProcess, 20000), WAIT_OBJECT_0)
        << "the program did not end after its window was closed";
    DWORD exitCode = 1;
    GetExitCodeProcess(program.pi.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);

    // The files: four, one stamp, the scenario's zero levels in the names.
    const auto lines = scenarioLines(KETRASMO_TEST_SCENARIO);
    std::map<int, fs::path> files;
    std::string stamp;
    for (const auto& entry : fs::directory_iterator(work)) {
        const std::string name = entry.path().filename().string();
        ASSERT_EQ(name.rfind("Norvellix_Sinyal_", 0), 0u) << "unexpected file " << name;
        const int line = name[17] - '0';
        const std::string zero = std::to_string(lines[line - 1].zeroLevel());
        ASSERT_EQ(name.substr(18, zero.size() + 2), "_" + zero + "_") << name;
        const std::string rest = name.substr(20 + zero.size());
        ASSERT_GE(rest.size(), 5u);
        ASSERT_EQ(rest.substr(rest.size() - 4), ".dat");
        if (stamp.empty())
            stamp = rest;
        EXPECT_EQ(rest, stamp) << "the four files share one stamp";
        files[line] = entry.path();
    }
    ASSERT_EQ(files.size(), 4u);
    std::cout << "stamp and extension: " << stamp << "\n";

    std::array<testing::ParsedSignalFile, 4> parsed;
    for (int p = 1; p <= 4; ++p) {
        const auto bytes = readFile(files[p]);
        ASSERT_EQ(bytes.size(), 51216u);
        std::string error;
        ASSERT_TRUE(testing::parseSignalFile(bytes, parsed[p - 1], error)) << error;
        EXPECT_EQ(parsed[p - 1].serial, "0c0ffee0");
        ASSERT_EQ(parsed[p - 1].samples.size(), static_cast<std::size_t>(kCaptureSamples));
    }
    // Where the capture began in the line's signal: every sample of all four lines
    // must be the scenario's value there, floored at 35.
    const auto matchesAt = [&](int p, long t0) {
        for (int i = 0; i < kCaptureSamples; ++i)
            if (parsed[p - 1].samples[i] !=
                std::max<int>(lines[p - 1].valueAt(t0 + i), SampleFloor))
                return false;
        return true;
    };
    long t0 = -1;
    for (long t = 0; t < 8000 * 12 && t0 < 0; ++t)
        if (matchesAt(1, t))
            t0 = t;
    ASSERT_GE(t0, 6400) << "no stretch of line 1 after the first call matches the file";
    for (int p = 2; p <= 4; ++p)
        EXPECT_TRUE(matchesAt(p, t0)) << "line " << p;
}

} // namespace
} // namespace recorder::windows
