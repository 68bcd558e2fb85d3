// Owners of the GDI objects the viewer's window makes: each object is deleted
// once, when its owner goes.
#pragma once

#include <utility>
#include <windows.h>

namespace viewer::windows {

template <typename T> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(T object) : object_(object) {}
    GdiObject(GdiObject&& o) noexcept : object_(std::exchange(o.object_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        reset(std::exchange(o.object_, nullptr));
        return *this;
    }
    ~GdiObject() { reset(); }
    void reset(T object = nullptr) {
        if (object_)
            ::DeleteObject(object_);
        object_ = object;
    }
    T get() const { return object_; }

private:
    T object_ = nullptr;
};

class MemoryDc {
public:
    MemoryDc() = default;
    explicit MemoryDc(HDC dc) : dc_(dc) {}
    MemoryDc(MemoryDc&& o) noexcept : dc_(std::exchange(o.dc_, nullptr)) {}
    MemoryDc& operator=(MemoryDc&& o) noexcept {
        reset(std::exchange(o.dc_, nullptr));
        return *this;
    }
    ~MemoryDc() { reset(); }
    void reset(HDC dc = nullptr) {
        if (dc_)
            ::DeleteDC(dc_);
        dc_ = dc;
    }
    HDC get() const { return dc_; }

private:
    HDC dc_ = nullptr;
};

// A window's device context for the duration of a scope.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_)
            ::ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

} // namespace viewer::windows
