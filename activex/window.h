// Windows of the framework: a window whose messages go to a C++ object, and the
// timer on a message-only window that drives a control's periodic work.
#pragma once

#include "activex/win.h"
#include "platform/windows/handles.h"

#include <functional>
#include <memory>

namespace activex {

// Owns its HWND; messages reach handleMessage() of the object that created it.
class MessageWindow {
public:
    MessageWindow() = default;
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    virtual ~MessageWindow() = default;

    HWND hwnd() const noexcept { return hwnd_.get(); }
    void destroy() noexcept { hwnd_.reset(); }

protected:
    // Creates the window (parent HWND_MESSAGE for a message-only window).
    void create(HWND parent, DWORD style, const RECT& rect);
    virtual LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    platform::UniqueHwnd hwnd_;
};

// A timer on a message-only window of its own: while enabled, onTick runs every
// interval on the creating thread's message loop. A tick never runs inside
// another tick (a handler that pumps messages does not re-enter it).
class WindowTimer final : private MessageWindow {
public:
    WindowTimer(UINT intervalMs, std::function<void()> onTick);
    // May run inside onTick (the tick released the timer's owner).
    ~WindowTimer() override;

    // SetTimer / KillTimer; a refused SetTimer comes back as its HRESULT.
    HRESULT setEnabled(bool enabled) noexcept;
    bool enabled() const noexcept { return enabled_; }
    bool inTick() const noexcept { return inTick_; }

private:
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    UINT interval_;
    std::function<void()> onTick_;
    bool enabled_ = false;
    bool inTick_ = false;
    // False once the timer is destroyed; a tick checks it before it touches
    // the timer again.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Unregisters the framework's window class of this module (a DLL calls it when
// it is unloaded; Windows does not do so for a DLL's classes).
void unregisterWindowClass() noexcept;

} // namespace activex
