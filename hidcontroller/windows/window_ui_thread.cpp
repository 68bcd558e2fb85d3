#include "hidcontroller/windows/window_ui_thread.h"

#include <windows.h>

namespace hidcontroller {

namespace {

constexpr UINT kServeCalls = WM_APP + 1;
constexpr const char* kClassName = "NorvellixHidControllerWindow";

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The hidden windows' class, registered with the instance of the module that holds
// this code (the control library, or a test program) on first use, and unregistered
// when that module unloads, as its statics go: the system keeps a library's classes
// after it is unloaded, and a class left behind would send the windows of a library
// loaded again into the old image.
class WindowClass {
public:
    WindowClass() {
        ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCSTR>(&windowProcedure), &instance_);
        WNDCLASSA wc{};
        wc.lpfnWndProc = windowProcedure;
        wc.hInstance = instance_;
        wc.lpszClassName = kClassName;
        registered_ = ::RegisterClassA(&wc) != 0;
    }
    ~WindowClass() {
        if (registered_)
            ::UnregisterClassA(kClassName, instance_);
    }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;

    HINSTANCE instance() const { return instance_; }

private:
    HMODULE instance_ = nullptr;
    bool registered_ = false;
};

const WindowClass& windowClass() {
    static const WindowClass registered;
    return registered;
}

// A hidden top-level window (message-only windows get no broadcasts).
class HiddenWindow final : public NotificationWindow {
public:
    explicit HiddenWindow(WindowProc proc) : proc_(std::move(proc)) {
        hwnd_ = ::CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass().instance(), nullptr);
        if (hwnd_)
            ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~HiddenWindow() override {
        if (hwnd_) {
            ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
            ::DestroyWindow(hwnd_);
        }
    }
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (hwnd_)
            ::PostMessageA(hwnd_, message, static_cast<WPARAM>(wParam),
                           static_cast<LPARAM>(lParam));
    }
    bool exists() const { return hwnd_ != nullptr; }
    void deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        proc_(message, wParam, lParam);
    }

private:
    WindowProc proc_;
    HWND hwnd_ = nullptr;
};

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* window = reinterpret_cast<HiddenWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (window && (message == WM_DEVICECHANGE || message == kServeCalls))
        window->deliver(message, static_cast<std::uintptr_t>(wParam),
                        static_cast<std::intptr_t>(lParam));
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

WindowUiThread::WindowUiThread() {
    callWindow_ =
        std::make_unique<HiddenWindow>([this](unsigned message, std::uintptr_t, std::intptr_t) {
            if (message == kServeCalls)
                calls_.serve();
        });
    auto* window = static_cast<HiddenWindow*>(callWindow_.get());
    windowsWork_ = window->exists();
    calls_.setWake([window] { window->post(kServeCalls, 0, 0); });
}

WindowUiThread::~WindowUiThread() {
    calls_.close();
    calls_.setWake({});
}

std::unique_ptr<NotificationWindow> WindowUiThread::createNotificationWindow(WindowProc proc) {
    return std::make_unique<HiddenWindow>(std::move(proc));
}

bool pumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const DWORD start = ::GetTickCount();
    const auto total = static_cast<DWORD>(limit.count());
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
            if (done())
                return true;
        }
        if (done())
            return true;
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= total)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, total - spent < 5 ? total - spent : 5,
                                    QS_ALLINPUT);
    }
}

} // namespace hidcontroller
