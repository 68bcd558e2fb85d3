// The framework's window class and timer.
#include "activex/window.h"

#include "activex/hresult.h"
#include "activex/module.h"

#include <mutex>

namespace activex {
namespace {

constexpr wchar_t kClassName[] = L"NorvellixActiveXWindow";

// One window class per module, registered on first use.
std::once_flag classOnce;
bool classRegistered = false;

} // namespace

void MessageWindow::create(HWND parent, DWORD style, const RECT& rect) {
    std::call_once(classOnce, [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS; // a control's form tells double clicks apart
        wc.lpfnWndProc = &MessageWindow::windowProc;
        wc.hInstance = ServerModule::handle();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kClassName;
        classRegistered = RegisterClassExW(&wc) != 0;
    });
    if (!classRegistered)
        throw ComError(E_FAIL, "RegisterClassEx");
    HWND h = CreateWindowExW(0, kClassName, L"", style, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top, parent, nullptr, ServerModule::handle(), this);
    if (!h)
        throw ComError(HRESULT_FROM_WIN32(GetLastError()), "CreateWindowEx");
    hwnd_.reset(h);
}

LRESULT MessageWindow::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd_.get(), msg, wp, lp);
}

LRESULT CALLBACK MessageWindow::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<MessageWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    // Messages sent while CreateWindowEx runs, or while the window is being
    // destroyed, find hwnd_ not (or no longer) naming this window.
    if (!self || self->hwnd_.get() != hwnd)
        return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->handleMessage(msg, wp, lp);
    } catch (...) {
        // No C++ exception may unwind through the system's message dispatch.
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void unregisterWindowClass() noexcept {
    if (classRegistered)
        UnregisterClassW(kClassName, ServerModule::handle());
}

WindowTimer::~WindowTimer() {
    *alive_ = false;
    destroy();
}

WindowTimer::WindowTimer(UINT intervalMs, std::function<void()> onTick)
    : interval_(intervalMs), onTick_(std::move(onTick)) {
    create(HWND_MESSAGE, 0, RECT{0, 0, 0, 0});
}

HRESULT WindowTimer::setEnabled(bool enabled) noexcept {
    if (enabled == enabled_)
        return S_OK;
    if (enabled) {
        if (SetTimer(hwnd(), 1, interval_, nullptr) == 0)
            return HRESULT_FROM_WIN32(GetLastError());
    } else {
        KillTimer(hwnd(), 1);
    }
    enabled_ = enabled;
    return S_OK;
}

LRESULT WindowTimer::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_TIMER || wp != 1)
        return MessageWindow::handleMessage(msg, wp, lp);
    if (enabled_ && !inTick_) {
        // The tick may destroy this timer (its owner's last reference goes):
        // it runs on copies, and the timer is touched afterwards only if alive.
        const std::shared_ptr<bool> alive = alive_;
        const std::function<void()> tick = onTick_;
        inTick_ = true;
        try {
            tick();
        } catch (...) {
            // the window procedure must not see it; the tick is over
        }
        if (*alive)
            inTick_ = false;
    }
    return 0;
}

} // namespace activex
