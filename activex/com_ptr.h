// An owning COM interface pointer: one reference held, released on destruction.
// Every COM pointer of the framework, the controls and the hosts is one of these.
#pragma once

#include "activex/win.h"

#include <utility>

namespace activex {

template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to p (AddRef); use adopt() for one already owned.
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Takes over a reference the caller already owns (no AddRef).
    static ComPtr adopt(T* p) noexcept {
        ComPtr r;
        r.p_ = p;
        return r;
    }

    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    // Gives up the reference without releasing it (for an [out] argument).
    [[nodiscard]] T* detach() noexcept { return std::exchange(p_, nullptr); }
    // Releases what is held and returns the slot for a call that fills it.
    [[nodiscard]] T** put() noexcept {
        reset();
        return &p_;
    }
    // The same slot typed for QueryInterface-like calls (void**).
    [[nodiscard]] void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Copies the pointer into an [out] argument with one new reference.
    HRESULT copyTo(T** out) const noexcept {
        if (!out)
            return E_POINTER;
        *out = p_;
        if (p_)
            p_->AddRef();
        return S_OK;
    }

    // QueryInterface for U; an empty pointer when p_ is empty or refuses.
    template <typename U> ComPtr<U> as() const noexcept {
        ComPtr<U> r;
        if (p_)
            p_->QueryInterface(__uuidof(U), r.putVoid());
        return r;
    }
    template <typename U> HRESULT as(ComPtr<U>& out) const noexcept {
        if (!p_) {
            out.reset();
            return E_POINTER;
        }
        return p_->QueryInterface(__uuidof(U), out.putVoid());
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }

private:
    T* p_ = nullptr;
};

// Is a and b the same COM object (identity through IUnknown)?
template <typename A, typename B> bool sameObject(A* a, B* b) noexcept {
    if (!a || !b)
        return a == nullptr && b == nullptr;
    ComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, ua.putVoid());
    b->QueryInterface(IID_IUnknown, ub.putVoid());
    return ua && ua == ub;
}

} // namespace activex
