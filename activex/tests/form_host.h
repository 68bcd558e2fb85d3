// A host of the form tests: one control sited through the framework's container in
// a (hidden) window of its own, the user's clicks, double clicks, key presses and
// repaints sent to the control's window, and the form events (dispids 201 to 208)
// the host receives, in order. A key press's Key may be answered.
#pragma once

#include "activex/container/hosted_control.h"
#include "platform/windows/handles.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace activex::testing {

enum FormEventId : DISPID {
    kOnActivate = 201,
    kOnClick,
    kOnCreate,
    kOnDblClick,
    kOnDestroy,
    kOnDeactivate,
    kOnKeyPress,
    kOnPaint,
};

class FormHost : private container::EventHandler {
public:
    // Sites the control of clsid; throws activex::ComError as HostedControl does.
    explicit FormHost(const CLSID& clsid) {
        host_.reset(CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                    nullptr, nullptr, nullptr, nullptr));
        container::HostingOptions options;
        options.rect = {10, 10, 110, 60};
        control_ = std::make_unique<container::HostedControl>(clsid, host_.get(), options,
                                                              static_cast<EventHandler*>(this));
    }
    // The control goes before its host window.
    ~FormHost() override { control_.reset(); }

    container::HostedControl& control() { return *control_; }
    HWND host() const { return host_.get(); }
    HWND window() const { return control_->controlWindow(); }

    // The form events received since the last call.
    std::vector<DISPID> take() { return std::exchange(seen_, {}); }
    // The codes of the key presses received, and the one the host answers with.
    std::vector<short> keys;
    std::optional<short> reply;

    void press(int x, int y) { mouse(WM_LBUTTONDOWN, x, y); }
    void release(int x, int y) { mouse(WM_LBUTTONUP, x, y); }
    void click(int x, int y) {
        press(x, y);
        release(x, y);
    }
    void doubleClick(int x, int y) {
        click(x, y);
        mouse(WM_LBUTTONDBLCLK, x, y);
        release(x, y);
    }
    void type(wchar_t c) { SendMessageW(window(), WM_CHAR, c, 1); }
    void repaint() { SendMessageW(window(), WM_PAINT, 0, 0); }

    ComPtr<IOleInPlaceObject> inPlace() {
        ComPtr<IOleInPlaceObject> p;
        control_->object()->QueryInterface(IID_IOleInPlaceObject, p.putVoid());
        return p;
    }

private:
    void mouse(UINT msg, int x, int y) {
        SendMessageW(window(), msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                     MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    }
    void onEvent(DISPID dispid, DISPPARAMS& params) override {
        if (dispid < kOnActivate || dispid > kOnPaint)
            return; // the control's own events are not the form's
        seen_.push_back(dispid);
        if (dispid != kOnKeyPress || params.cArgs != 1 ||
            V_VT(&params.rgvarg[0]) != (VT_BYREF | VT_I2))
            return;
        short& key = *V_I2REF(&params.rgvarg[0]);
        keys.push_back(key);
        if (reply)
            key = *reply;
    }

    platform::UniqueHwnd host_;
    std::vector<DISPID> seen_;
    std::unique_ptr<container::HostedControl> control_;
};

// A user's session with a sited form: a click, a double click, "a" typed (the host
// answers "B"), a repaint; then the host deactivates the form. Returns what the
// host heard, from the form's creation on.
inline std::vector<DISPID> formSession(FormHost& form) {
    form.reply = short{'B'};
    form.click(5, 5);
    form.doubleClick(5, 5);
    form.type(L'a');
    form.repaint();
    form.inPlace()->UIDeactivate();
    form.inPlace()->InPlaceDeactivate();
    return form.take();
}
inline const std::vector<DISPID> kFormSessionEvents{kOnCreate, kOnActivate,   kOnClick,
                                                    kOnClick,  kOnDblClick,   kOnKeyPress,
                                                    kOnPaint,  kOnDeactivate, kOnDestroy};

} // namespace activex::testing
