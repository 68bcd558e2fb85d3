// The IUnknown of the framework's small COM objects (a class factory, an
// enumerator, a test's sink): one interface pointer and one reference count.
#pragma once

#include "activex/win.h"

#include <atomic>

namespace activex {

// QueryInterface of an object that answers every interface it offers with the one
// pointer `self`; `offered` says whether the asked one is among them.
template <typename Interface> HRESULT answerQuery(Interface* self, bool offered, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!offered)
        return E_NOINTERFACE;
    *ppv = self;
    self->AddRef();
    return S_OK;
}

// AddRef and Release of an object that owns itself on the heap: it is born with one
// reference, and COM's last Release deletes it as the Derived it is.
template <typename Derived, typename Interface> class SelfOwned : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs_;
        if (n == 0)
            delete static_cast<Derived*>(this); // COM's last Release
        return n;
    }

private:
    std::atomic<ULONG> refs_{1};
};

} // namespace activex
