// Owning wrappers of the Win32 handles that the Windows shells hold (the ActiveX
// framework, the control libraries, the programs and their tests): a trait names
// the invalid value and the release call of each kind.
#pragma once

#include <utility>
#include <windows.h>

namespace platform {

template <typename Traits> class UniqueHandle {
public:
    using handle_type = typename Traits::handle_type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(handle_type h) noexcept : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    // Releases the handle held (the result of the release call is not wanted here).
    void reset(handle_type h = Traits::invalid()) noexcept {
        handle_type old = std::exchange(h_, h);
        if (old != Traits::invalid())
            (void)Traits::close(old);
    }
    // Releases the handle now, for a caller that must know whether that succeeded:
    // false when the release call failed (GetLastError tells why).
    [[nodiscard]] bool close() noexcept {
        const handle_type old = release();
        return old == Traits::invalid() || Traits::close(old);
    }
    [[nodiscard]] handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }
    [[nodiscard]] handle_type* put() noexcept {
        reset();
        return &h_;
    }
    handle_type get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }

private:
    handle_type h_ = Traits::invalid();
};

struct HkeyTraits {
    using handle_type = HKEY;
    static HKEY invalid() noexcept { return nullptr; }
    static bool close(HKEY h) noexcept { return RegCloseKey(h) == ERROR_SUCCESS; }
};
struct HmoduleTraits {
    using handle_type = HMODULE;
    static HMODULE invalid() noexcept { return nullptr; }
    static bool close(HMODULE h) noexcept { return FreeLibrary(h) != FALSE; }
};
struct HwndTraits {
    using handle_type = HWND;
    static HWND invalid() noexcept { return nullptr; }
    static bool close(HWND h) noexcept { return DestroyWindow(h) != FALSE; }
};
// Processes, threads, events: null when there is none.
struct KernelHandleTraits {
    using handle_type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static bool close(HANDLE h) noexcept { return CloseHandle(h) != FALSE; }
};
// Files: CreateFile's failure is INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using handle_type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool close(HANDLE h) noexcept { return CloseHandle(h) != FALSE; }
};
// A GDI object (pen, brush, font, bitmap), held as the type it was made as.
template <typename Object> struct GdiObjectTraits {
    using handle_type = Object;
    static Object invalid() noexcept { return nullptr; }
    static bool close(Object h) noexcept { return DeleteObject(h) != FALSE; }
};
// A device context made with CreateCompatibleDC or CreateDC.
struct MemoryDcTraits {
    using handle_type = HDC;
    static HDC invalid() noexcept { return nullptr; }
    static bool close(HDC h) noexcept { return DeleteDC(h) != FALSE; }
};

using UniqueHkey = UniqueHandle<HkeyTraits>;
using UniqueHmodule = UniqueHandle<HmoduleTraits>;
using UniqueHwnd = UniqueHandle<HwndTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits<HGDIOBJ>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniquePen = UniqueHandle<GdiObjectTraits<HPEN>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;

// A window's device context for the duration of a scope: ReleaseDC needs the window
// it came from, so this one holds both.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_)
            ::ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

} // namespace platform
