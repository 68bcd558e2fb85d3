// frmMain on Windows: the window and its controls, laid out as the viewer's form
// in twips, with the portable MainForm behind them. Every event copies the
// controls' texts into the form, runs the form's handler and copies the form's
// state back out to the controls, the timers and the plot.
#pragma once

#include "platform/windows/handles.h"
#include "viewer/main_form.h"
#include "viewer/windows/picture_surface.h"

#include <map>
#include <memory>
#include <windows.h>

namespace viewer::windows {

class MainWindow : private UiYield {
public:
    // Creates the window, shows it and runs Form_Load.
    explicit MainWindow(HINSTANCE instance);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow() override;

    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK buttonProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handleMessage(UINT message, WPARAM w, LPARAM l);
    LRESULT handleButton(HWND button, UINT message, WPARAM w, LPARAM l);

    void createControls();
    HWND control(int id) const { return controls_.at(id); }
    void command(int id, int code);
    void timer(UINT_PTR id);
    void accessPrompt();

    // The form's handlers run between these two.
    void pull();
    void push();
    template <typename F> void handle(F&& handler) {
        pull();
        handler();
        push();
    }
    void DoEvents() override;

    HWND window_ = nullptr;
    std::map<int, HWND> controls_;
    std::map<HWND, WNDPROC> buttonProcs_;
    platform::UniqueBrush background_;
    platform::UniqueBrush red_;
    platform::UniqueFont font_;
    std::unique_ptr<PictureSurface> picture_;
    std::unique_ptr<MainForm> form_;
    bool timer7_ = false;
    bool timer8_ = false;
};

} // namespace viewer::windows
