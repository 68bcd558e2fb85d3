#include "viewer/windows/picture_surface.h"

#include "viewer/windows/control_ids.h"

#include <cmath>

namespace viewer::windows {

namespace {

int pixel(double v) {
    return static_cast<int>(std::lround(v));
}

void registerClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExW(instance, kPictureClass, &wc))
        return;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kPictureClass;
    ::RegisterClassExW(&wc);
}

} // namespace

PictureSurface::PictureSurface(HWND parent, int id, RECT bounds) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    registerClass(instance);
    window_ = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, kPictureClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, bounds.left,
        bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&windowProc));
    RECT inside{};
    ::GetClientRect(window_, &inside);
    width_ = inside.right;
    height_ = inside.bottom;
    platform::WindowDc screen(window_);
    dc_ = platform::UniqueMemoryDc(::CreateCompatibleDC(screen.get()));
    bitmap_ = platform::UniqueBitmap(::CreateCompatibleBitmap(screen.get(), width_, height_));
    originalBitmap_ = ::SelectObject(dc_.get(), bitmap_.get());
    originalPen_ = ::SelectObject(dc_.get(), ::GetStockObject(WHITE_PEN));
    Cls();
}

PictureSurface::~PictureSurface() {
    // The bitmap and the pen are deselected before their owners delete them.
    ::SelectObject(dc_.get(), originalPen_);
    ::SelectObject(dc_.get(), originalBitmap_);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
}

void PictureSurface::present() {
    ::InvalidateRect(window_, nullptr, FALSE);
}

void PictureSurface::Cls() {
    RECT all{0, 0, width_, height_};
    ::FillRect(dc_.get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
}

void PictureSurface::setForeColor(Colour c) {
    platform::UniquePen pen(::CreatePen(PS_SOLID, 1, RGB(c.r, c.g, c.b)));
    ::SelectObject(dc_.get(), pen.get());
    pen_ = std::move(pen); // the old pen is no longer selected
}

void PictureSurface::Line(double x1, double y1, double x2, double y2) {
    ::MoveToEx(dc_.get(), pixel(x1), pixel(y1), nullptr);
    ::LineTo(dc_.get(), pixel(x2), pixel(y2));
}

void PictureSurface::paint() {
    PAINTSTRUCT ps;
    const HDC dc = ::BeginPaint(window_, &ps);
    ::BitBlt(dc, 0, 0, width_, height_, dc_.get(), 0, 0, SRCCOPY);
    ::EndPaint(window_, &ps);
}

LRESULT CALLBACK PictureSurface::windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<PictureSurface*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_PAINT) {
        self->paint();
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1; // the paint covers everything
    return ::DefWindowProcW(window, message, w, l);
}

} // namespace viewer::windows
