// Owning wrappers of the Win32 handles the framework and the hosts hold: a
// trait names the invalid value and the release call of each kind.
#pragma once

#include "activex/win.h"

#include <utility>

namespace activex {

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

    void reset(handle_type h = Traits::invalid()) noexcept {
        handle_type old = std::exchange(h_, h);
        if (old != Traits::invalid())
            Traits::close(old);
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
    static void close(HKEY h) noexcept { RegCloseKey(h); }
};
struct HmoduleTraits {
    using handle_type = HMODULE;
    static HMODULE invalid() noexcept { return nullptr; }
    static void close(HMODULE h) noexcept { FreeLibrary(h); }
};
struct HwndTraits {
    using handle_type = HWND;
    static HWND invalid() noexcept { return nullptr; }
    static void close(HWND h) noexcept { DestroyWindow(h); }
};
struct KernelHandleTraits {
    using handle_type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};
struct GdiObjectTraits {
    using handle_type = HGDIOBJ;
    static HGDIOBJ invalid() noexcept { return nullptr; }
    static void close(HGDIOBJ h) noexcept { DeleteObject(h); }
};

using UniqueHkey = UniqueHandle<HkeyTraits>;
using UniqueHmodule = UniqueHandle<HmoduleTraits>;
using UniqueHwnd = UniqueHandle<HwndTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;

} // namespace activex
