#include "viewer/windows/main_window.h"

#include "viewer/windows/access_prompt.h"
#include "viewer/windows/control_ids.h"
#include "viewer/windows/text.h"

#include <vector>

namespace viewer::windows {

namespace {

constexpr COLORREF kBackground = RGB(116, 130, 126);
constexpr COLORREF kText = RGB(255, 255, 255);
constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidth = 11568;
constexpr int kClientHeight = 6996;

constexpr UINT_PTR kTimerDraw = 1;
constexpr UINT_PTR kTimer7 = 7;
constexpr UINT_PTR kTimer8 = 8;
constexpr UINT kDrawInterval = 10;
constexpr UINT kRepeatInterval = 20;

enum class Kind { Label, RedLabel, Frame, Text, RightText, ResultText, Button };

struct ControlSpec {
    int id;
    int container; // 0: the window
    Kind kind;
    const wchar_t* text;
    int left, top, width, height; // twips, in the container
    bool visible = true;
    bool enabled = true;
};

// The form's controls, containers before what they hold.
const std::vector<ControlSpec>& layout() {
    static const std::vector<ControlSpec> specs = {
        {Label2, 0, Kind::RedLabel, L"Norvellix", 120, 100, 1200, 264},
        {Label11, 0, Kind::Label, L"www.norvellix.com.tr", 9900, 120, 1560, 252},
        {Frame18, 0, Kind::Frame, L"Sinyal Inceleme Menusu", 120, 5160, 11292, 1692},
        {Frame20, Frame18, Kind::Frame, L"Kaydedilmis \".dat\" Formatli Sinyali Iceriye Aktarma",
         120, 240, 3852, 1332},
        {Text25, Frame20, Kind::Text, L"Norvellix_Sinyal_1_22_05_2017_13_36_04.dat", 120, 300, 3612,
         288},
        {Command38, Frame20, Kind::Button, L"Sinyali Gostericiye Aktar Tam Ekran Goster", 120, 650,
         3612, 372},
        {Label22, Frame20, Kind::Label, L"Alinan Ornek Sayisi:", 120, 1050, 3612, 252},
        {Frame23, Frame18, Kind::Frame, L"Ince Ayarda Inceleme", 4080, 240, 4212, 1332, false},
        {Text30, Frame23, Kind::RightText, L"1", 120, 360, 612, 288},
        {Label24, Frame23, Kind::Label, L". örnekten başlayarak", 840, 450, 1572, 252},
        {Text31, Frame23, Kind::RightText, L"200", 120, 720, 612, 288},
        {Label25, Frame23, Kind::Label, L"adet örneği ", 840, 800, 852, 252},
        {Command42, Frame23, Kind::Button, L"Göster", 1800, 730, 732, 360, true, false},
        {Command43, Frame23, Kind::Button, L"<<<", 2760, 480, 612, 612, true, false},
        {Command44, Frame23, Kind::Button, L">>>", 3480, 480, 612, 612, true, false},
        {Frame22, Frame18, Kind::Frame, L"Sinyal Cozme", 8400, 240, 2772, 1332, false},
        {Label23, Frame22, Kind::Label, L"Baslama Ornegi", 120, 240, 1212, 252},
        {Text29, Frame22, Kind::Text, L"1", 1440, 240, 492, 288},
        {Label1, Frame22, Kind::Label, L"Eksen", 2160, 240, 492, 252},
        {Command2, Frame22, Kind::Button, L"Command2", 2160, 240, 492, 192},
        {Text1, Frame22, Kind::Text, L"155", 2160, 600, 492, 288},
        {Command41, Frame22, Kind::Button, L"norvellix_x", 120, 650, 1056, 250, true, false},
        {Command1, Frame22, Kind::Button, L"cozucu_tel", 1200, 650, 900, 250, true, false},
        {Text26, Frame22, Kind::ResultText, L"", 120, 960, 2532, 288},
    };
    return specs;
}

const ControlSpec& specOf(int id) {
    for (const auto& s : layout())
        if (s.id == id)
            return s;
    return layout().front();
}

// The container's top-left corner in the window, twips.
POINT origin(int container) {
    POINT p{0, 0};
    while (container != 0) {
        const ControlSpec& s = specOf(container);
        p.x += s.left;
        p.y += s.top;
        container = s.container;
    }
    return p;
}

int pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

// A control shows at start when it and every container around it do.
bool visibleAtStart(const ControlSpec& s) {
    for (int c = s.container; c != 0; c = specOf(c).container)
        if (!specOf(c).visible)
            return false;
    return s.visible;
}

// Whether a control is inside the frame, directly or through others.
bool inside(int id, int frame) {
    for (int c = specOf(id).container; c != 0; c = specOf(c).container)
        if (c == frame)
            return true;
    return false;
}

MainWindow* windowOf(HWND window) {
    return reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance)
    : background_(::CreateSolidBrush(kBackground)), red_(::CreateSolidBrush(RGB(255, 0, 0))),
      font_(::CreateFontW(-10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_SWISS, L"Tahoma")) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = background_.get();
    wc.lpszClassName = kMainClass;
    ::RegisterClassExW(&wc);

    // No WS_CLIPCHILDREN: the frames are drawn transparent, so the window's own
    // background must be painted under them.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, pixels(kClientWidth), pixels(kClientHeight)};
    ::AdjustWindowRect(&frame, style, FALSE);
    // Top first, then left: both 2000 twips from the screen's corner.
    window_ = ::CreateWindowExW(0, kMainClass, L"Ludrovane", style, pixels(kWindowLeft),
                                pixels(kWindowTop), frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    createControls();
    form_ = std::make_unique<MainForm>(*picture_, static_cast<UiYield&>(*this));
    handle([&] { form_->Form_Load(); });
    ::SetTimer(window_, kTimerDraw, kDrawInterval, nullptr);
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::UpdateWindow(window_);
}

MainWindow::~MainWindow() {
    if (::IsWindow(window_)) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
}

void MainWindow::createControls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    for (const ControlSpec& s : layout()) {
        const POINT o = origin(s.container);
        const int x = pixels(o.x + s.left), y = pixels(o.y + s.top);
        const int w = pixels(s.width), h = pixels(s.height);
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visibleAtStart(s) ? WS_VISIBLE : 0) |
                      (s.enabled ? 0 : WS_DISABLED);
        DWORD exStyle = 0;
        const wchar_t* cls = L"STATIC";
        switch (s.kind) {
        case Kind::Label:
            style |= SS_LEFTNOWORDWRAP; // one line, as tall as the label is
            break;
        case Kind::RedLabel:
            style |= SS_CENTER | SS_CENTERIMAGE | SS_NOTIFY;
            break;
        case Kind::Frame:
            cls = L"BUTTON";
            style |= BS_GROUPBOX;
            break;
        case Kind::Text:
        case Kind::RightText:
        case Kind::ResultText:
            cls = L"EDIT";
            exStyle = WS_EX_CLIENTEDGE;
            style |= WS_TABSTOP | ES_AUTOHSCROLL |
                     (s.kind == Kind::RightText ? ES_RIGHT
                                                : (s.kind == Kind::ResultText ? ES_CENTER : 0));
            break;
        case Kind::Button:
            cls = L"BUTTON";
            style |= BS_PUSHBUTTON | WS_TABSTOP | (s.id == Command38 ? BS_MULTILINE : 0);
            break;
        }
        const HWND c = ::CreateWindowExW(exStyle, cls, s.text, style, x, y, w, h, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(s.id)),
                                         instance, nullptr);
        ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        controls_[s.id] = c;
    }
    // Frames lie under what they hold, and Command2 over Label1.
    for (int frame : {Frame20, Frame22, Frame23, Frame18})
        ::SetWindowPos(control(frame), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(control(Command2), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The mouse handlers of three buttons see presses and releases themselves.
    for (int id : {Command38, Command43, Command44}) {
        const HWND b = control(id);
        buttonProcs_[b] = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(b, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&buttonProc)));
    }
    const POINT o{120, 400};
    RECT bounds{pixels(o.x), pixels(o.y), pixels(o.x + 11352), pixels(o.y + 4695)};
    picture_ = std::make_unique<PictureSurface>(window_, Picture1, bounds);
}

void MainWindow::pull() {
    FormControls& c = form_->controls;
    c.Text25 = windowText(control(Text25));
    c.Text29 = windowText(control(Text29));
    c.Text1 = windowText(control(Text1));
    c.Text26 = windowText(control(Text26));
    c.Text30 = windowText(control(Text30));
    c.Text31 = windowText(control(Text31));
}

void MainWindow::push() {
    const FormControls& c = form_->controls;
    setWindowText(control(Text25), c.Text25);
    setWindowText(control(Label22), c.Label22);
    setWindowText(control(Text29), c.Text29);
    setWindowText(control(Text1), c.Text1);
    setWindowText(control(Text26), c.Text26);
    setWindowText(control(Text30), c.Text30);
    setWindowText(control(Text31), c.Text31);
    for (int id : {Command1, Command41, Command42, Command43, Command44})
        ::EnableWindow(control(id), c.loadButtonsEnabled);
    for (const auto& [frame, visible] :
         {std::pair{Frame22, c.Frame22Visible}, std::pair{Frame23, c.Frame23Visible}}) {
        const int show = visible ? SW_SHOWNA : SW_HIDE;
        const bool shown = (::GetWindowLongPtrW(control(frame), GWL_STYLE) & WS_VISIBLE) != 0;
        if (shown == visible)
            continue;
        ::ShowWindow(control(frame), show);
        for (const ControlSpec& s : layout())
            if (inside(s.id, frame))
                ::ShowWindow(control(s.id), show);
    }
    RECT r{};
    ::GetWindowRect(control(Frame18), &r);
    if (r.right - r.left != pixels(c.Frame18Width))
        ::SetWindowPos(control(Frame18), nullptr, 0, 0, pixels(c.Frame18Width), r.bottom - r.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.Timer7Enabled != timer7_) {
        timer7_ = c.Timer7Enabled;
        timer7_ ? ::SetTimer(window_, kTimer7, kRepeatInterval, nullptr)
                : ::KillTimer(window_, kTimer7);
    }
    if (c.Timer8Enabled != timer8_) {
        timer8_ = c.Timer8Enabled;
        timer8_ ? ::SetTimer(window_, kTimer8, kRepeatInterval, nullptr)
                : ::KillTimer(window_, kTimer8);
    }
    picture_->present();
}

void MainWindow::DoEvents() {
    // The controls show the form's state while others' events run, and the form
    // sees what those events typed.
    push();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    pull();
}

void MainWindow::command(int id, int code) {
    if (id == Label2 && code == STN_CLICKED) {
        accessPrompt();
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case Command1:
        handle([&] { form_->Command1_Click(); });
        break;
    case Command41:
        handle([&] { form_->Command41_Click(); });
        break;
    case Command2:
        handle([&] { form_->Command2_Click(); });
        break;
    case Command42:
        handle([&] { form_->Command42_Click(); });
        break;
    default:
        break;
    }
}

void MainWindow::timer(UINT_PTR id) {
    if (id == kTimerDraw)
        handle([&] { form_->timerDraw_Timer(); });
    else if (id == kTimer7)
        handle([&] { form_->Timer7_Timer(); });
    else if (id == kTimer8)
        handle([&] { form_->Timer8_Timer(); });
}

void MainWindow::accessPrompt() {
    RECT r{};
    ::GetWindowRect(window_, &r);
    const Point at = MainForm::accessPromptPosition(r.left * kTwipsPerPixel, r.top * kTwipsPerPixel,
                                                    (r.right - r.left) * kTwipsPerPixel,
                                                    (r.bottom - r.top) * kTwipsPerPixel);
    const std::wstring answer =
        askAccessCode(window_, POINT{pixels(at.x), pixels(at.y)}, font_.get());
    handle([&] { form_->answerAccessPrompt(narrow(answer)); });
}

LRESULT MainWindow::handleButton(HWND button, UINT message, WPARAM w, LPARAM l) {
    const WNDPROC original = buttonProcs_.at(button);
    const int id = ::GetDlgCtrlID(button);
    const bool down =
        message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
    const bool up = message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
    if ((!down && !up) || !::IsWindowEnabled(button))
        return ::CallWindowProcW(original, button, message, w, l);
    const LRESULT result = ::CallWindowProcW(original, button, message, w, l);
    if (id == Command38 && up) {
        // Released over the button, whichever button it was.
        RECT r{};
        ::GetClientRect(button, &r);
        const POINT p{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        if (::PtInRect(&r, p))
            handle([&] { form_->Command38_MouseUp(); });
    } else if (id == Command43) {
        handle([&] { down ? form_->Command43_MouseDown() : form_->Command43_MouseUp(); });
    } else if (id == Command44) {
        handle([&] { down ? form_->Command44_MouseDown() : form_->Command44_MouseUp(); });
    }
    return result;
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(w), HIWORD(w));
        return 0;
    case WM_TIMER:
        timer(w);
        return 0;
    case WM_CTLCOLORSTATIC: {
        const HDC dc = reinterpret_cast<HDC>(w);
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(l));
        ::SetTextColor(dc, kText);
        if (id == Label2) {
            ::SetBkColor(dc, RGB(255, 0, 0));
            return reinterpret_cast<LRESULT>(red_.get());
        }
        ::SetBkColor(dc, kBackground);
        return reinterpret_cast<LRESULT>(background_.get());
    }
    case WM_CTLCOLOREDIT: {
        if (::GetDlgCtrlID(reinterpret_cast<HWND>(l)) != Text26)
            break;
        const HDC dc = reinterpret_cast<HDC>(w);
        ::SetTextColor(dc, RGB(0, 255, 0));
        ::SetBkColor(dc, RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH));
    }
    case WM_CLOSE:
        ::DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        ::KillTimer(window_, kTimerDraw);
        ::KillTimer(window_, kTimer7);
        ::KillTimer(window_, kTimer8);
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, w, l);
}

// No exception may leave a window procedure: the system's dispatch cannot carry
// it, and the program would end with the signal it holds. A handler that throws
// (out of memory) is abandoned where it stood; a load builds everything before it
// replaces anything, so the previous one stays whole. The next redraw tick shows
// the form's state.
LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    try {
        if (MainWindow* self = windowOf(window); self && self->form_)
            return self->handleMessage(message, w, l);
        return ::DefWindowProcW(window, message, w, l);
    } catch (...) {
        return 0;
    }
}

LRESULT CALLBACK MainWindow::buttonProc(HWND button, UINT message, WPARAM w, LPARAM l) {
    try {
        MainWindow* self = windowOf(::GetParent(button));
        if (!self || !self->buttonProcs_.count(button))
            return ::DefWindowProcW(button, message, w, l);
        return self->handleButton(button, message, w, l);
    } catch (...) {
        return 0;
    }
}

} // namespace viewer::windows
