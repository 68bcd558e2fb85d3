// Form1: its layout in twips, its Turkish texts in Cambria with the Turkish
// character set, and the handlers of the control's events.
#include "testprogram/form1.h"

#include "activex/hresult.h"
#include "testprogram/call_list.h"
#include "testprogram/form1_ids.h"
#include "testprogram/norvellix_identity.h"

#include <algorithm>
#include <cmath>
#include <commctrl.h>
#include <cstring>
#include <iterator>
#include <stdexcept>

using activex::container::EventArguments;

namespace testprogram {

namespace {

// The client area, 5,292 x 4,584 twips.
constexpr int kClientWidthTwips = 5292;
constexpr int kClientHeightTwips = 4584;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kDarkGrey = RGB(64, 64, 64);

const wchar_t kNotConnected[] = L"Cihaz Bagli Degil";
const wchar_t kConnected[] = L"Cihaz Baglandi";
const wchar_t kDevice1Prefix[] = L"1.Cihaz DIP No: ";
const wchar_t kDevice2Prefix[] = L"2.Cihaz DIP No: ";

enum class FontKind { Size12, Size10_2, Size9, Size9Italic };

struct ControlLayout {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    int x, y, width, height; // twips, in the window's client area
    FontKind font;
};

// Frames come first: they lie beneath the labels drawn on them. From the top:
// the title box, the connection box, the list's header, the list of ten rows of
// its font, then the footer along the bottom edge.
constexpr DWORD kLabel = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
const ControlLayout kLayout[] = {
    // The title box has no caption: an etched frame, drawn at its edges (a group
    // box would give the half of a caption's height to nothing).
    {kFrame2, L"STATIC", L"", SS_ETCHEDFRAME, 120, 15, 5052, 330, FontKind::Size9},
    {kFrame1, L"BUTTON", L"Cihaz Baglanti Durumu", BS_GROUPBOX, 120, 360, 5052, 900,
     FontKind::Size9},
    {kLabel4, L"STATIC", L"Norvellix", SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, 300, 45, 1440, 270,
     FontKind::Size12},
    {kLabel9, L"STATIC", L"For CRM Applications", kLabel, 1920, 60, 2640, 240,
     FontKind::Size9Italic},
    {kLabel6, L"STATIC", kNotConnected, kLabel, 300, 585, 4700, 225, FontKind::Size9},
    {kLabel7, L"STATIC", L"1.Cihaz DIP No: 0", kLabel, 300, 795, 4700, 225, FontKind::Size9},
    {kLabel8, L"STATIC", L"2.Cihaz DIP No: 0", kLabel, 300, 1005, 4700, 225, FontKind::Size9},
    {kLabel5, L"STATIC", L"CihazNo    Hat     Tarih            Saat      TelefonNumarası", kLabel,
     120, 1260, 5052, 225, FontKind::Size10_2},
    // Ten rows of the list's font and its border; fitted to the font once made.
    {kList1, L"LISTBOX", L"", WS_BORDER | WS_VSCROLL, 120, 1485, 5052, 2880, FontKind::Size10_2},
    {kLabel1, L"STATIC", L"Toplam Arama :", kLabel, 120, 4365, 1320, 219, FontKind::Size9},
    {kLabel2, L"STATIC", L"0", kLabel, 1470, 4365, 960, 219, FontKind::Size9},
    {kLabel3, L"STATIC", L"www.norvellix.com.tr", SS_RIGHT | SS_NOPREFIX, 2520, 4365, 2652, 219,
     FontKind::Size9},
};

// Norvellix1's place: its extent is 593 x 593 HIMETRIC (336 twips).
constexpr int kNorvellix1X = 4740, kNorvellix1Y = 45;
constexpr LONG kNorvellix1ExtentHimetric = 593;

int twipsToPixels(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

platform::UniqueGdiObject cambria(double points, bool italic, int dpiY) {
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * dpiY / 72.0));
    font.lfWeight = FW_NORMAL;
    font.lfItalic = italic ? TRUE : FALSE;
    font.lfCharSet = TURKISH_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, L"Cambria", LF_FACESIZE);
    return platform::UniqueGdiObject(CreateFontIndirectW(&font));
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring hex(HRESULT hr) {
    wchar_t text[16];
    wsprintfW(text, L"0x%08X", static_cast<unsigned>(hr));
    return text;
}

// The system's description of an error, one line.
std::wstring describe(HRESULT hr) {
    wchar_t text[512] = L"";
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr), 0, text,
                                  static_cast<DWORD>(std::size(text)), nullptr);
    std::wstring line(text, length);
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r' || line.back() == L' '))
        line.pop_back();
    if (!line.empty())
        return line;
    // Errors of class registration that not every system can put in words.
    switch (hr) {
    case REGDB_E_CLASSNOTREG:
        return L"Class not registered";
    case REGDB_E_READREGDB:
        return L"Could not read key from registry";
    case CLASS_E_CLASSNOTAVAILABLE:
        return L"ClassFactory cannot supply requested class";
    default:
        return L"unknown error";
    }
}

} // namespace

Form1::Form1(HINSTANCE instance) : instance_(instance), label6Colour_(kRed) {
    HDC screen = GetDC(nullptr);
    if (screen) {
        dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    font12_ = cambria(12, false, dpiY_);
    font102_ = cambria(10.2, false, dpiY_);
    font9_ = cambria(9, false, dpiY_);
    font9Italic_ = cambria(9, true, dpiY_);
    whiteBrush_ = platform::UniqueGdiObject(CreateSolidBrush(kWhite));
    redBrush_ = platform::UniqueGdiObject(CreateSolidBrush(kRed));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProcOf;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(whiteBrush_.get());
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.lpszClassName = kForm1Class;
    RegisterClassExW(&wc); // already registered is fine: CreateWindowEx tells

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, twipsToPixels(kClientWidthTwips, dpiX_),
               twipsToPixels(kClientHeightTwips, dpiY_)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    window_.reset(CreateWindowExW(0, kForm1Class, kForm1Caption, style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                  nullptr, nullptr, instance_, this));
    if (!window_)
        throw std::runtime_error("CreateWindowEx (Form1)");
    createControls();
}

Form1::~Form1() = default;

void Form1::createControls() {
    for (const ControlLayout& c : kLayout) {
        HWND child = CreateWindowExW(
            0, c.windowClass, c.text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | c.style,
            twipsToPixels(c.x, dpiX_), twipsToPixels(c.y, dpiY_), twipsToPixels(c.width, dpiX_),
            twipsToPixels(c.height, dpiY_), window_.get(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
        if (!child)
            throw std::runtime_error("CreateWindowEx (control of Form1)");
        HGDIOBJ font = c.font == FontKind::Size12     ? font12_.get()
                       : c.font == FontKind::Size10_2 ? font102_.get()
                       : c.font == FontKind::Size9    ? font9_.get()
                                                      : font9Italic_.get();
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    fitListToTenRows();
    // The frames lie beneath their labels, for drawing and for the mouse: a
    // label lets clicks through to the frame under it.
    for (int frame : {kFrame2, kFrame1})
        SetWindowPos(control(frame), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowSubclass(control(kFrame1), frameProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

// The last ten calls show whole: the list is made exactly as tall as ten rows of
// its font and its border, with its bottom where the layout puts it (on the
// footer); twips and the font's pixel height round apart.
void Form1::fitListToTenRows() {
    HWND list = control(kList1);
    const auto row = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    const auto spec = std::find_if(std::begin(kLayout), std::end(kLayout),
                                   [](const ControlLayout& c) { return c.id == kList1; });
    RECT outer{}, inner{};
    GetWindowRect(list, &outer);
    GetClientRect(list, &inner);
    if (row <= 0)
        return;
    const int border = (outer.bottom - outer.top) - inner.bottom;
    const int height = static_cast<int>(kMaxCallRows) * row + border;
    const int bottom = twipsToPixels(spec->y + spec->height, dpiY_);
    SetWindowPos(list, nullptr, twipsToPixels(spec->x, dpiX_), bottom - height,
                 twipsToPixels(spec->width, dpiX_), height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::optional<std::wstring> Form1::load() {
    activex::container::HostingOptions options;
    options.rect = {twipsToPixels(kNorvellix1X, dpiX_), twipsToPixels(kNorvellix1Y, dpiY_),
                    twipsToPixels(kNorvellix1X + 336, dpiX_),
                    twipsToPixels(kNorvellix1Y + 336, dpiY_)};
    options.extentHimetric = SIZEL{kNorvellix1ExtentHimetric, kNorvellix1ExtentHimetric};
    options.ambients.backColor = kWhite;
    options.ambients.displayName = L"Norvellix1";
    options.containerName = kForm1Caption;
    options.eventInterface = kNorvellixEventsIid;
    try {
        norvellix1_ = std::make_unique<activex::container::HostedControl>(
            kNorvellixClsid, window_.get(), options, this);
    } catch (const activex::ComError& e) {
        const HRESULT hr = e.hr();
        std::wstring why = describe(hr) + L" (" + hex(hr) + L", " +
                           std::wstring(e.what(), e.what() + std::strlen(e.what())) + L")";
        return L"The control Norvellix (" + std::wstring(kNorvellixProgId) + L", " +
               kNorvellixClsidText + L") could not be created: " + why +
               L".\n\nRegister Norvellix.ocx with regsvr32, then start Pimbrella again.";
    }
    // Form_Load
    try {
        norvellix1_->callMethod(kG_Start);
    } catch (const activex::ComError& e) {
        return L"Norvellix1.G_Start failed: " + describe(e.hr()) + L" (" + hex(e.hr()) + L").";
    }
    return std::nullopt;
}

void Form1::show(int showCommand) {
    ShowWindow(window_.get(), showCommand);
    UpdateWindow(window_.get());
}

bool Form1::translateAccelerator(MSG& msg) {
    return norvellix1_ && norvellix1_->translateAccelerator(msg);
}

void Form1::onEvent(DISPID dispid, DISPPARAMS& params) {
    EventArguments args(params);
    switch (dispid) {
    case kOnCallerID:
        Norvellix1_OnCallerID(args);
        break;
    case kOnDeviceConnection:
        Norvellix1_OnDeviceConnection(args);
        break;
    case kOnDeviceDisconnected:
        Norvellix1_OnDeviceDisconnected(args);
        break;
    default:
        break; // an event this window does not handle
    }
}

void Form1::Norvellix1_OnCallerID(const EventArguments& args) {
    HWND list = control(kList1);
    const std::wstring row =
        callRow(args.text(0), args.text(1), args.text(2), args.text(3), args.text(4));
    SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    HWND counter = control(kLabel2);
    SetWindowTextW(counter, nextCallCount(windowText(counter)).c_str());
    if (SendMessageW(list, LB_GETCOUNT, 0, 0) > static_cast<LRESULT>(kMaxCallRows))
        SendMessageW(list, LB_DELETESTRING, kMaxCallRows, 0);
}

void Form1::Norvellix1_OnDeviceConnection(const EventArguments& args) {
    showDevices(kBlack, kConnected, args);
}

void Form1::Norvellix1_OnDeviceDisconnected(const EventArguments& args) {
    showDevices(kRed, kNotConnected, args);
}

void Form1::showDevices(COLORREF colour, const wchar_t* state, const EventArguments& args) {
    label6Colour_ = colour;
    SetWindowTextW(control(kLabel6), state);
    InvalidateRect(control(kLabel6), nullptr, TRUE);
    SetWindowTextW(control(kLabel7), (kDevice1Prefix + args.text(0)).c_str());
    SetWindowTextW(control(kLabel8), (kDevice2Prefix + args.text(1)).c_str());
}

void Form1::Frame1_DblClick() {
    callOrEnd(kG_Reset, L"G_Reset");
}

void Form1::callOrEnd(DISPID dispid, const wchar_t* method) {
    if (!norvellix1_)
        return;
    try {
        norvellix1_->callMethod(dispid);
    } catch (const activex::ComError& e) {
        std::wstring text = L"Norvellix1." + std::wstring(method) + L" failed: " +
                            describe(e.hr()) + L" (" + hex(e.hr()) + L").";
        MessageBoxW(window_.get(), text.c_str(), kForm1Caption, MB_OK | MB_ICONERROR);
        DestroyWindow(window_.get());
    }
}

LRESULT CALLBACK Form1::windowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        (void)form->window_.release(); // already gone
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->windowProc(window, message, wParam, lParam);
}

LRESULT Form1::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: // the frames
    case WM_CTLCOLORLISTBOX: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        COLORREF text = kBlack;
        COLORREF back = kWhite;
        HGDIOBJ brush = whiteBrush_.get();
        if (id == kLabel4) {
            text = kWhite;
            back = kRed;
            brush = redBrush_.get();
        } else if (id == kLabel6) {
            text = label6Colour_;
        } else if (id == kLabel5) {
            text = kDarkGrey;
        }
        SetTextColor(dc, text);
        SetBkColor(dc, back);
        return reinterpret_cast<LRESULT>(brush);
    }
    case WM_DESTROY:
        // The control goes before the window it lives in.
        norvellix1_.reset();
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Form1::frameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR form) {
    switch (message) {
    case WM_NCHITTEST:
        // A group box lets the mouse through; this frame takes its double-clicks.
        return HTCLIENT;
    case WM_LBUTTONDBLCLK:
        reinterpret_cast<Form1*>(form)->Frame1_DblClick();
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(frame, frameProc, 1);
        return DefSubclassProc(frame, message, wParam, lParam);
    default:
        return DefSubclassProc(frame, message, wParam, lParam);
    }
}

} // namespace testprogram
