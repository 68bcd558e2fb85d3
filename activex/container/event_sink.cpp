// The event sink: one reference count, IDispatch under two interface ids.
#include "activex/container/event_sink.h"

#include "activex/hresult.h"
#include "activex/text.h"
#include "activex/unknown.h"
#include "activex/variant.h"

#include <algorithm>

namespace activex::container {

std::wstring EventArguments::text(UINT index) const {
    if (index >= params_.cArgs || !params_.rgvarg)
        return {};
    return utf8ToWide(variantToUtf8(params_.rgvarg[params_.cArgs - 1 - index]));
}

ComPtr<EventSink> EventSink::create(const IID& eventInterface, EventHandler& handler) {
    // A COM object owns itself: the last Release deletes it.
    return ComPtr<EventSink>::adopt(new EventSink(eventInterface, handler));
}

HRESULT EventSink::QueryInterface(REFIID riid, void** ppv) {
    return answerQuery(static_cast<IDispatch*>(this),
                       riid == IID_IUnknown || riid == IID_IDispatch || riid == eventInterface_,
                       ppv);
}

ULONG EventSink::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG EventSink::Release() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

void EventSink::disconnect() noexcept {
    std::unique_lock lock(mutex_);
    handler_ = nullptr;
    const DWORD self = GetCurrentThreadId();
    left_.wait(lock, [&] {
        return std::all_of(inHandler_.begin(), inHandler_.end(),
                           [&](DWORD thread) { return thread == self; });
    });
}

HRESULT EventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                          VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (pVarResult)
        VariantInit(pVarResult);
    // Keep the sink alive while the handler runs: it may release the control.
    ComPtr<EventSink> self(this);
    EventHandler* handler = nullptr;
    const DWORD thread = GetCurrentThreadId();
    {
        std::lock_guard lock(mutex_);
        if (!handler_)
            return S_OK;
        handler = handler_;
        inHandler_.push_back(thread);
    }
    DISPPARAMS none{};
    DISPPARAMS& params = pDispParams ? *pDispParams : none;
    const HRESULT hr = comGuard([&] { handler->onEvent(dispIdMember, params); });
    {
        std::lock_guard lock(mutex_);
        inHandler_.erase(std::find(inHandler_.begin(), inHandler_.end(), thread));
    }
    left_.notify_all();
    return hr;
}

} // namespace activex::container
