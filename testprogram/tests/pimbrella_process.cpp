// Starting, reading and ending Pimbrella from the test driver.
#include "pimbrella_process.h"

#include "pimbrella_hold.h"

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <thread>

namespace pimbrella_test {

namespace {

constexpr UINT kMessageTimeoutMs = 2000;

std::wstring environmentWith(const std::vector<std::pair<std::wstring, std::wstring>>& changes) {
    // The current block, NAME=value strings each ended by a NUL, then a NUL.
    std::vector<std::wstring> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += std::wcslen(p) + 1)
            entries.emplace_back(p);
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        const std::wstring key = name + L"=";
        std::erase_if(entries, [&](const std::wstring& e) {
            return _wcsnicmp(e.c_str(), key.c_str(), key.size()) == 0;
        });
        if (!value.empty())
            entries.push_back(key + value);
    }
    std::wstring result;
    for (const std::wstring& e : entries)
        result += e + L'\0';
    result += L'\0';
    return result;
}

struct FindArgs {
    DWORD processId;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK findWindowOf(HWND window, LPARAM lParam) {
    auto* args = reinterpret_cast<FindArgs*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    if (owner == args->processId && std::wcscmp(name, args->windowClass) == 0 &&
        IsWindowVisible(window)) {
        args->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(25ms);
    }
}

std::wstring windowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

int runToEnd(const std::wstring& commandLine, std::chrono::milliseconds limit) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -1;
    platform::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    if (WaitForSingleObject(process.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 255);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

PimbrellaProcess::PimbrellaProcess(
    const std::wstring& exe,
    const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
    std::wstring block = environmentWith(environment);
    std::wstring line = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        block.data(), nullptr, &startup, &info)) {
        startError_ = GetLastError();
        return;
    }
    process_.reset(info.hProcess);
    platform::UniqueKernelHandle thread(info.hThread);
    processId_ = info.dwProcessId;
}

PimbrellaProcess::~PimbrellaProcess() {
    if (!running())
        return;
    if (window_)
        PostMessageW(window_, WM_CLOSE, 0, 0);
    if (waitForExit(10s) < 0 && process_)
        TerminateProcess(process_.get(), 255);
}

bool PimbrellaProcess::running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::string PimbrellaProcess::whyNoWindow() const {
    if (!process_)
        return "CreateProcess failed, error " + std::to_string(startError_);
    DWORD code = 0;
    if (running() || !GetExitCodeProcess(process_.get(), &code))
        return "the program runs but shows no window";
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
    return "the program ended with exit code " + std::to_string(code) + " (" + hex + ")";
}

HWND PimbrellaProcess::findTopLevel(const wchar_t* windowClass) const {
    FindArgs args{processId_, windowClass, nullptr};
    EnumWindows(findWindowOf, reinterpret_cast<LPARAM>(&args));
    return args.found;
}

HWND PimbrellaProcess::waitForWindow(std::chrono::milliseconds limit) {
    waitUntil([&] { return (window_ = findTopLevel(L"Pimbrella.Form1")) || !running(); }, limit);
    return window_;
}

HWND PimbrellaProcess::waitForMessageBox(std::chrono::milliseconds limit) {
    HWND box = nullptr;
    waitUntil([&] { return (box = findTopLevel(L"#32770")) || !running(); }, limit);
    return box;
}

int PimbrellaProcess::waitForExit(std::chrono::milliseconds limit) {
    if (!process_ ||
        WaitForSingleObject(process_.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return static_cast<int>(code);
}

std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

std::wstring dialogText(HWND dialog) {
    std::wstring all;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[32] = L"";
        GetClassNameW(child, name, 32);
        if (_wcsicmp(name, L"Static") == 0)
            all += windowText(child) + L"\n";
    }
    return all;
}

std::wstring PimbrellaProcess::text(int id) const {
    return windowText(control(id));
}

std::vector<std::wstring> PimbrellaProcess::listRows(int id) const {
    HWND list = control(id);
    DWORD_PTR count = 0;
    SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &count);
    std::vector<std::wstring> rows;
    for (WPARAM i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                            &length);
        std::wstring row(length + 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data()),
                            SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
        row.resize(copied);
        rows.push_back(row);
    }
    return rows;
}

RECT PimbrellaProcess::listRowRect(int id, int row) const {
    RECT r{};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control(id), LB_GETITEMRECT, static_cast<WPARAM>(row),
                             reinterpret_cast<LPARAM>(&r), SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &result) ||
        static_cast<LRESULT>(result) == LB_ERR)
        return RECT{};
    return r;
}

void PimbrellaProcess::doubleClick(int id, POINT at) {
    HWND target = control(id);
    ClientToScreen(target, &at);
    SetCursorPos(at.x, at.y);
    INPUT clicks[4]{};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = (i % 2 == 0) ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    }
    SendInput(4, clicks, sizeof(INPUT));
}

namespace {

// The hook library lies beside the driver.
std::wstring holdHookLibraryPath() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + kHoldHookLibrary;
}

platform::UniqueKernelHandle holdEvent(DWORD processId, HoldEvent event) {
    return platform::UniqueKernelHandle(
        CreateEventW(nullptr, TRUE, FALSE, holdEventName(processId, event).c_str()));
}

} // namespace

TickHold::TickHold(const PimbrellaProcess& program)
    : library_(LoadLibraryW(holdHookLibraryPath().c_str())),
      hooked_(holdEvent(program.processId(), HoldEvent::Hooked)),
      doubleClicked_(holdEvent(program.processId(), HoldEvent::DoubleClicked)),
      held_(holdEvent(program.processId(), HoldEvent::Held)),
      released_(holdEvent(program.processId(), HoldEvent::Released)) {
    const auto install = library_ ? reinterpret_cast<InstallHoldHook>(reinterpret_cast<void*>(
                                        GetProcAddress(library_.get(), kInstallHoldHookName)))
                                  : nullptr;
    const DWORD thread = GetWindowThreadProcessId(program.window(), nullptr);
    if (!install)
        failure_ =
            "no " + std::string(kInstallHoldHookName) + " in pimbrella_hold.dll beside the driver";
    else if (!hooked_ || !doubleClicked_ || !held_ || !released_)
        failure_ = "the hold's events could not be made";
    else if (!thread)
        failure_ = "the program has no window";
    else if (hook_.reset(install(thread)); !hook_)
        failure_ = "SetWindowsHookEx failed, error " + std::to_string(GetLastError());
}

TickHold::~TickHold() {
    release();
}

TickHold::Seen TickHold::waitHeld(std::chrono::milliseconds limit) const {
    const auto set = [](const platform::UniqueKernelHandle& event, DWORD waitMs) {
        return event && WaitForSingleObject(event.get(), waitMs) == WAIT_OBJECT_0;
    };
    if (hook_ && set(held_, static_cast<DWORD>(limit.count())))
        return Seen::Held;
    return set(doubleClicked_, 0) ? Seen::NoTick
           : set(hooked_, 0)      ? Seen::NoDoubleClick
                                  : Seen::NoHook;
}

void TickHold::release() {
    if (released_)
        SetEvent(released_.get());
}

} // namespace pimbrella_test
