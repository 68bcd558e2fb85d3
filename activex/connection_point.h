// Outgoing interfaces: a connection point per source interface, the container
// that lists them, and the firing of an event to the connected sinks with
// by-reference arguments whose written-back values reach the caller.
#pragma once

#include "activex/bstr.h"
#include "activex/com_ptr.h"
#include "activex/variant.h"
#include "activex/win.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace activex {

// A connection point lives inside its container object and shares its
// reference count; it has its own identity (QueryInterface gives only
// IUnknown and IConnectionPoint, as the connection-point rules require).
class ConnectionPoint final : public IConnectionPoint {
public:
    static constexpr size_t kAnyNumber = 0;

    // owner: the container's object; maxSinks: kAnyNumber or the limit (1 for
    // a point that takes exactly one sink).
    ConnectionPoint(IConnectionPointContainer& owner, REFIID iid, size_t maxSinks);
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** e) override;

    REFIID iid() const noexcept { return iid_; }
    size_t sinkCount() const noexcept;
    // The connected sinks as their event dispinterface, each held for the caller.
    std::vector<ComPtr<IDispatch>> sinks() const;

private:
    size_t connected() const noexcept; // with the lock held

    IConnectionPointContainer& owner_;
    IID iid_;
    size_t maxSinks_;
    // The slots are guarded: the threads of a free-threaded host may advise,
    // unadvise and raise events at once. No sink is called with the lock held.
    mutable std::mutex mutex_;
    // Cookie = slot + 1; an unadvised slot stays empty and is never reused, so a
    // stale cookie cannot remove a later connection.
    std::vector<ComPtr<IUnknown>> slots_;
};

// IEnumConnectionPoints over a fixed list of points.
HRESULT enumConnectionPoints(std::vector<ComPtr<IConnectionPoint>> points,
                             IEnumConnectionPoints** e) noexcept;

// The arguments of one event call in declaration order. By-reference arguments
// point at storage held here; after the call, writeBack() copies into the
// caller's variables what the sinks changed there, and only that.
class EventArgs {
public:
    EventArgs() = default;
    EventArgs(const EventArgs&) = delete;
    EventArgs& operator=(const EventArgs&) = delete;

    void addBstrRef(std::string& utf8);    // [in, out] BSTR*
    void addVariantRef(std::string& utf8); // [in, out] VARIANT* holding a text
    void addBstr(const std::string& utf8); // [in] BSTR
    void addShortRef(short& value);        // [in, out] short*

    // The DISPPARAMS of the call (arguments in reverse order, as IDispatch wants).
    DISPPARAMS params();
    void writeBack();

    // The arguments with the values they hold now, owned by the copy: its by-reference
    // arguments refer to storage of its own, so a sink called with it later writes
    // into that and nowhere else.
    std::unique_ptr<EventArgs> keptCopy() const;

private:
    std::deque<Bstr> bstrs_;
    std::deque<Variant> variants_;
    std::deque<short> shorts_;
    // The variables of a kept copy's by-reference arguments.
    std::deque<std::string> ownTexts_;
    std::deque<short> ownShorts_;
    std::vector<VARIANTARG> args_; // declaration order
    std::vector<VARIANTARG> reversed_;
    std::vector<std::function<void()>> writeBacks_;
};

// Calls every sink of the point (a snapshot; each kept alive for its call)
// with the event's dispatch id as a method call. What a sink returns is not
// looked at: a failing sink never affects the source or the other sinks.
void fireEvent(const ConnectionPoint& point, DISPID id, EventArgs& args);

} // namespace activex
