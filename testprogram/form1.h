// The test program's one window, Form1: it hosts the CRM control Norvellix1,
// starts it when loaded, shows the devices' connection and serials, counts the
// calls and lists the last ten, and resets the control on a double-click on
// its connection frame.
#pragma once

#include "activex/container/hosted_control.h"
#include "activex/win.h"
#include "platform/windows/handles.h"

#include <memory>
#include <optional>
#include <string>

namespace testprogram {

class Form1 final : public activex::container::EventHandler {
public:
    // The window and its controls, not shown yet. Throws std::runtime_error
    // when the window cannot be made.
    explicit Form1(HINSTANCE instance);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;
    ~Form1() override;

    // Form_Load: hosts Norvellix1 and calls G_Start. On failure, the text of
    // the message that ends the program.
    [[nodiscard]] std::optional<std::wstring> load();
    void show(int showCommand);
    bool translateAccelerator(MSG& msg);
    HWND window() const noexcept { return window_.get(); }

private:
    void createControls();
    void fitListToTenRows();
    HWND control(int id) const noexcept { return GetDlgItem(window_.get(), id); }

    // The control's events, by their dispatch ids.
    void onEvent(DISPID dispid, DISPPARAMS& params) override;
    void Norvellix1_OnCallerID(const activex::container::EventArguments& args);
    void Norvellix1_OnDeviceConnection(const activex::container::EventArguments& args);
    void Norvellix1_OnDeviceDisconnected(const activex::container::EventArguments& args);
    void showDevices(COLORREF colour, const wchar_t* state,
                     const activex::container::EventArguments& args);
    void Frame1_DblClick();
    // A late-bound call that fails is an error of the program, as the runtime
    // would report it: a message, then the end.
    void callOrEnd(DISPID dispid, const wchar_t* method);

    LRESULT windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK windowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK frameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR subclass, DWORD_PTR form);

    HINSTANCE instance_;
    int dpiX_ = 96, dpiY_ = 96;
    platform::UniqueGdiObject font12_, font102_, font9_, font9Italic_;
    platform::UniqueGdiObject whiteBrush_, redBrush_;
    COLORREF label6Colour_;
    std::unique_ptr<activex::container::HostedControl> norvellix1_;
    platform::UniqueHwnd window_; // destroyed first: the control goes with the window
};

} // namespace testprogram
