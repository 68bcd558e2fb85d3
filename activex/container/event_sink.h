// The host's end of a control's connection point: an IDispatch that answers to
// the control's source interface and hands every event to the host's handler.
#pragma once

#include "activex/com_ptr.h"
#include "activex/container/dispatch_by_id.h"
#include "activex/win.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace activex::container {

// What a host does with the events of the control it hosts. Arguments of an
// event that declares them by reference may be written back through params.
class EventHandler {
public:
    virtual ~EventHandler() = default;
    virtual void onEvent(DISPID dispid, DISPPARAMS& params) = 0;
};

// The arguments of one event in declared order (DISPPARAMS keeps them reversed).
class EventArguments {
public:
    explicit EventArguments(const DISPPARAMS& params) noexcept : params_(params) {}
    UINT count() const noexcept { return params_.cArgs; }
    // The argument as Automation converts it to text (by value or by reference);
    // empty when there is no such argument or it has no text.
    std::wstring text(UINT index) const;

private:
    const DISPPARAMS& params_;
};

class EventSink final : public DispatchById {
public:
    // A sink for the given source interface, forwarding to handler until disconnect().
    static ComPtr<EventSink> create(const IID& eventInterface, EventHandler& handler);

    // After this the sink drops every event: a control may keep a sink alive
    // after Unadvise, but the handler may be gone. A control in another apartment
    // calls the sink on threads of the host's: disconnect waits until the calls
    // on other threads have left the handler (one on this thread is the caller's).
    void disconnect() noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    EventSink(const IID& eventInterface, EventHandler& handler) noexcept
        : eventInterface_(eventInterface), handler_(&handler) {}
    ~EventSink() = default;

    LONG refs_ = 1;
    IID eventInterface_;
    std::mutex mutex_;
    std::condition_variable left_;
    EventHandler* handler_;
    std::vector<DWORD> inHandler_; // the threads inside the handler now
};

} // namespace activex::container
