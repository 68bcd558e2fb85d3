// Ketrasmo, the signal recorder: frmMain as a Windows window over the recorder's
// core. The window only renders the core's FormView and forwards the timer, the
// button and the closing of the window; the device is reached through the process
// backend (simulated when NORVELLIX_SIMULATOR names a scenario file).
#include "backend/process_api.h"
#include "devicelink/hid_module.h"
#include "platform/windows/handles.h"
#include "platform/windows/wide_text.h"
#include "recorder/recorder_form.h"
#include "recorder/windows/control_ids.h"
#include "recorder/windows/windows_host.h"

#include <array>
#include <memory>
#include <windows.h>

namespace recorder::windows {
namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr int kColumnWidth = 170;
constexpr int kColumnLeft = 24;

constexpr const wchar_t* kColumnHeads[kLinesPerDevice] = {L"BirinciHat:", L"Ikinci Hat:",
                                                          L"Ucuncu Hat:", L"Dorduncu Hat:"};
constexpr const wchar_t* kNotice = L"Bu program sadece ilgili telefon hatti arama sinyallerini "
                                   L"kaydeder. Arayan numaralari gostermez !!!";
// The blinking lamp's colour.
constexpr COLORREF kShape1Colour = RGB(0, 255, 0);

// Everything the window owns; it lives from WM_CREATE to WM_NCDESTROY.
struct MainWindow {
    explicit MainWindow(HWND hwnd)
        : link(backend::processApi(), devicelink::Variant::Recorder), host(hwnd, &repaint),
          form(link, host, store) {}

    devicelink::HIDmodule link;
    CurrentDirectoryStore store;
    WindowsRecorderHost host;
    RecorderForm form;
    platform::UniqueFont labelFont{CreateFontW(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0,
                                               0, CLEARTYPE_QUALITY, 0, L"Cambria")};
    platform::UniqueFont titleFont{CreateFontW(-28, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0,
                                               0, CLEARTYPE_QUALITY, 0, L"Cambria")};
    platform::UniqueBrush shape2Brush{CreateSolidBrush(static_cast<COLORREF>(colour::Navy))};
    FormView shown; // what the controls show now
    bool closePending = false;

    static void repaint(HWND hwnd);
};

MainWindow* windowOf(HWND hwnd) {
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y,
           int w, int h, HGDIOBJ font) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, x, y, w,
                             h, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (c && font)
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
}

void createControls(HWND hwnd, MainWindow& w) {
    const HGDIOBJ font = w.labelFont.get();
    child(hwnd, L"STATIC", L"Norvellix", SS_LEFT, IdLabel1, 16, 8, 300, 36, w.titleFont.get());
    child(hwnd, L"BUTTON", L"Cihaz Durumu", BS_GROUPBOX, IdFrame1, 10, 50, 720, 64, font);
    child(hwnd, L"STATIC", L"", SS_OWNERDRAW, IdShape1, 24, 78, 18, 18, nullptr);
    // Shape2 lies under the connection text as its ground, a little larger.
    child(hwnd, L"STATIC", L"", SS_OWNERDRAW, IdShape2, 48, 74, 678, 30, nullptr);
    child(hwnd, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, IdLabelbaglanti, 52, 78, 670, 22, font);
    child(hwnd, L"BUTTON", L"Hat Durumlari", BS_GROUPBOX, IdFrame2, 10, 124, 720, 104, font);
    child(hwnd, L"STATIC", L"", SS_OWNERDRAW, IdLabel2, kColumnLeft, 148, 4 * kColumnWidth, 22,
          nullptr);
    for (int p = 0; p < kLinesPerDevice; ++p) {
        const int x = kColumnLeft + p * kColumnWidth;
        child(hwnd, L"STATIC", L"", SS_OWNERDRAW, IdShape3 + p, x, 182, 22, 22, nullptr);
        child(hwnd, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, IdLabel3 + p, x + 26, 184,
              kColumnWidth - 30, 22, font);
    }
    child(hwnd, L"STATIC", kNotice, SS_LEFT, IdLabel12, 12, 240, 716, 40, font);
    child(hwnd, L"BUTTON", L"", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, IdCommand1, 10, 288, 320,
          38, font);
    SetWindowPos(GetDlgItem(hwnd, IdShape2), GetDlgItem(hwnd, IdLabelbaglanti), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(GetDlgItem(hwnd, IdShape2), SW_HIDE);
    // The frames lie under the controls they hold.
    for (int id : {IdFrame1, IdFrame2})
        SetWindowPos(GetDlgItem(hwnd, id), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void setText(HWND hwnd, int id, const std::string& text) {
    SetWindowTextW(GetDlgItem(hwnd, id), platform::utf8ToWide(text).c_str());
}

// Brings the controls up to the form's view, touching only what changed.
void MainWindow::repaint(HWND hwnd) {
    MainWindow* w = windowOf(hwnd);
    if (!w)
        return;
    const FormView& v = w->form.view();
    FormView& s = w->shown;
    if (v.command1Caption != s.command1Caption)
        setText(hwnd, IdCommand1, v.command1Caption);
    if (v.command1Enabled != s.command1Enabled)
        EnableWindow(GetDlgItem(hwnd, IdCommand1), v.command1Enabled);
    if (v.shape1Visible != s.shape1Visible)
        ShowWindow(GetDlgItem(hwnd, IdShape1), v.shape1Visible ? SW_SHOWNA : SW_HIDE);
    if (v.connectionText != s.connectionText)
        setText(hwnd, IdLabelbaglanti, v.connectionText);
    if (v.shape2Visible != s.shape2Visible)
        ShowWindow(GetDlgItem(hwnd, IdShape2), v.shape2Visible ? SW_SHOWNA : SW_HIDE);
    if (v.connectionColour != s.connectionColour || v.shape2Visible != s.shape2Visible)
        InvalidateRect(GetDlgItem(hwnd, IdLabelbaglanti), nullptr, TRUE);
    for (int p = 0; p < kLinesPerDevice; ++p) {
        if (v.lines[p].label != s.lines[p].label)
            setText(hwnd, IdLabel3 + p, v.lines[p].label);
        if (v.lines[p].lamp != s.lines[p].lamp)
            InvalidateRect(GetDlgItem(hwnd, IdShape3 + p), nullptr, TRUE);
    }
    s = v;
}

void fill(HDC dc, const RECT& r, COLORREF c) {
    platform::UniqueBrush brush(CreateSolidBrush(c));
    FillRect(dc, &r, brush.get());
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void drawItem(MainWindow& w, const DRAWITEMSTRUCT& d) {
    const int id = static_cast<int>(d.CtlID);
    if (id == IdShape1) {
        fill(d.hDC, d.rcItem, kShape1Colour);
    } else if (id == IdShape2) {
        FillRect(d.hDC, &d.rcItem, w.shape2Brush.get());
    } else if (id >= IdShape3 && id <= IdShape6) {
        // The platform's colour numbers are COLORREF values already.
        fill(d.hDC, d.rcItem, static_cast<COLORREF>(w.shown.lines[id - IdShape3].lamp));
    } else if (id == IdLabel2) {
        FillRect(d.hDC, &d.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        const HGDIOBJ old = SelectObject(d.hDC, w.labelFont.get());
        SetBkMode(d.hDC, TRANSPARENT);
        for (int p = 0; p < kLinesPerDevice; ++p) {
            RECT r = d.rcItem;
            r.left += p * kColumnWidth;
            r.right = r.left + kColumnWidth;
            DrawTextW(d.hDC, kColumnHeads[p], -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
        }
        SelectObject(d.hDC, old);
    }
}

void runTick(HWND hwnd, MainWindow& w) {
    if (w.form.timerEnabled())
        w.form.Timer1_Timer();
    MainWindow::repaint(hwnd);
    // A close that came while the tick ran is carried out now.
    if (w.closePending && !w.form.inTick())
        DestroyWindow(hwnd);
}

LRESULT handleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    MainWindow* w = windowOf(hwnd);
    switch (msg) {
    case WM_CREATE: {
        auto owned = std::make_unique<MainWindow>(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owned.get()));
        try {
            createControls(hwnd, *owned);
            owned->form.Form_Load();
        } catch (...) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); // the window goes without it
            throw;
        }
        owned.release(); // deleted on WM_NCDESTROY
        MainWindow::repaint(hwnd);
        SetTimer(hwnd, kTimer1, 1, nullptr);
        return 0;
    }
    case WM_TIMER:
        if (w && wp == kTimer1 && !w->form.inTick())
            runTick(hwnd, *w);
        return 0;
    case WM_COMMAND:
        if (w && LOWORD(wp) == IdCommand1 && HIWORD(wp) == BN_CLICKED &&
            IsWindowEnabled(GetDlgItem(hwnd, IdCommand1))) {
            w->form.Command1_Click();
            MainWindow::repaint(hwnd);
        }
        return 0;
    case WM_DRAWITEM:
        if (w)
            drawItem(*w, *reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wp);
        if (w && GetDlgCtrlID(reinterpret_cast<HWND>(lp)) == IdLabelbaglanti) {
            SetTextColor(dc, static_cast<COLORREF>(w->shown.connectionColour));
            // On Shape2 while it shows, on the frame's face otherwise.
            if (w->shown.shape2Visible) {
                SetBkColor(dc, static_cast<COLORREF>(colour::Navy));
                return reinterpret_cast<LRESULT>(w->shape2Brush.get());
            }
        }
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
        // Not in the middle of a tick: its capture or message box would be cut off.
        if (w && w->form.inTick()) {
            w->closePending = true;
            return 0;
        }
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kTimer1);
        if (w)
            w->form.Form_Unload();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete w;
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// No exception may leave a window procedure: the system's dispatch cannot carry it,
// and the program would end with the recording it holds. A handler that throws (out
// of memory) is abandoned where it stood; the tick's guard is released on the way
// out, so the next tick runs as usual. A window that cannot be built is not created.
LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        return handleMessage(hwnd, msg, wp, lp);
    } catch (...) {
        return msg == WM_CREATE ? -1 : 0;
    }
}

} // namespace
} // namespace recorder::windows

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    using namespace recorder::windows;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"KetrasmoFrmMain";
    if (!RegisterClassExW(&wc))
        return 1;
    RECT r = {0, 0, 740, 338};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&r, style, FALSE);
    HWND hwnd =
        CreateWindowExW(0, wc.lpszClassName, kMainWindowTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
