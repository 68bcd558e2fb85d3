// Connection points, their enumerators, and event firing.
#include "activex/connection_point.h"

#include "activex/hresult.h"
#include "activex/module.h"
#include "activex/unknown.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace activex {
namespace {

// A COM enumerator over a snapshot; Item is what Next hands out, Held what the
// snapshot keeps (and hands out with one new reference).
template <typename IEnum, typename Item, typename Held>
class Enumerator final : public SelfOwned<Enumerator<IEnum, Item, Held>, IEnum> {
public:
    Enumerator(std::vector<Held> items, size_t pos) : items_(std::move(items)), pos_(pos) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return answerQuery(static_cast<IEnum*>(this),
                           riid == IID_IUnknown || riid == __uuidof(IEnum), ppv);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        for (; n < count && pos_ < items_.size(); ++n, ++pos_)
            out[n] = handOut(items_[pos_]);
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const size_t left = items_.size() - pos_;
        pos_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return comGuard([&] {
            *out = std::make_unique<Enumerator>(items_, pos_).release();
            return S_OK;
        });
    }

private:
    static IConnectionPoint* handOut(const ComPtr<IConnectionPoint>& p) {
        IConnectionPoint* r = nullptr;
        p.copyTo(&r);
        return r;
    }
    static CONNECTDATA handOut(const std::pair<ComPtr<IUnknown>, DWORD>& c) {
        CONNECTDATA d{};
        c.first.copyTo(&d.pUnk);
        d.dwCookie = c.second;
        return d;
    }

    std::vector<Held> items_;
    size_t pos_;
    ModuleObjectCount counted_;
};

using ConnectionEnumerator =
    Enumerator<IEnumConnections, CONNECTDATA, std::pair<ComPtr<IUnknown>, DWORD>>;
using PointEnumerator =
    Enumerator<IEnumConnectionPoints, IConnectionPoint*, ComPtr<IConnectionPoint>>;

// By-reference semantics over a copy: the caller's variable takes what the sinks
// left only when they changed it. A sink that changed nothing must not undo what
// the source wrote to the variable during the call (a handler may call back into
// the source, which then sets the very variables the event passed).
template <typename T> void writeIfChanged(T& variable, const T& passed, T left) {
    if (left != passed)
        variable = std::move(left);
}

} // namespace

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& owner, REFIID iid, size_t maxSinks)
    : owner_(owner), iid_(iid), maxSinks_(maxSinks) {}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    return answerQuery(static_cast<IConnectionPoint*>(this),
                       riid == IID_IUnknown || riid == IID_IConnectionPoint, ppv);
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** c) {
    if (!c)
        return E_POINTER;
    *c = &owner_;
    owner_.AddRef();
    return S_OK;
}

size_t ConnectionPoint::sinkCount() const noexcept {
    std::lock_guard lock(mutex_);
    return connected();
}

size_t ConnectionPoint::connected() const noexcept {
    return static_cast<size_t>(
        std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return bool(s); }));
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!sink)
        return E_POINTER;
    return comGuard([&] {
        // The sink must speak the event interface; it is held as that interface.
        // A sink in another apartment comes as a proxy, and the proxy of an event
        // dispinterface needs the marshaler to find its type library (Wine's finds
        // only those registered for locale 0): such a sink is taken by its
        // IDispatch, which every proxy carries. Events are IDispatch calls alike.
        ComPtr<IUnknown> events;
        if (FAILED(sink->QueryInterface(iid_, events.putVoid())) || !events) {
            ComPtr<IMultiQI> proxy; // what the proxy of an object elsewhere answers
            if (FAILED(sink->QueryInterface(IID_IMultiQI, proxy.putVoid())) ||
                FAILED(sink->QueryInterface(IID_IDispatch, events.putVoid())) || !events)
                return CONNECT_E_CANNOTCONNECT;
        }
        std::lock_guard lock(mutex_);
        if (maxSinks_ != kAnyNumber && connected() >= maxSinks_)
            return CONNECT_E_ADVISELIMIT;
        if (slots_.size() >= MAXDWORD - 1)
            return CONNECT_E_ADVISELIMIT;
        slots_.push_back(std::move(events));
        *cookie = static_cast<DWORD>(slots_.size());
        return S_OK;
    });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    ComPtr<IUnknown> leaving; // released after the slot is empty, outside the lock
    std::lock_guard lock(mutex_);
    // Cookie 0 and one beyond every slot never named a connection; a slot that
    // was unadvised already names none any more. Both are CONNECT_E_NOCONNECTION.
    if (cookie == 0 || cookie > slots_.size())
        return CONNECT_E_NOCONNECTION;
    ComPtr<IUnknown>& slot = slots_[cookie - 1];
    if (!slot)
        return CONNECT_E_NOCONNECTION;
    leaving = std::move(slot);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** e) {
    if (!e)
        return E_POINTER;
    *e = nullptr;
    return comGuard([&] {
        std::vector<std::pair<ComPtr<IUnknown>, DWORD>> items;
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i])
                items.emplace_back(slots_[i], static_cast<DWORD>(i + 1));
        *e = std::make_unique<ConnectionEnumerator>(std::move(items), 0).release();
        return S_OK;
    });
}

std::vector<ComPtr<IDispatch>> ConnectionPoint::sinks() const {
    std::vector<ComPtr<IDispatch>> out;
    std::lock_guard lock(mutex_);
    for (const auto& s : slots_)
        if (s) // held as the event dispinterface, which is an IDispatch
            out.emplace_back(static_cast<IDispatch*>(static_cast<IUnknown*>(s.get())));
    return out;
}

HRESULT enumConnectionPoints(std::vector<ComPtr<IConnectionPoint>> points,
                             IEnumConnectionPoints** e) noexcept {
    if (!e)
        return E_POINTER;
    *e = nullptr;
    return comGuard([&] {
        *e = std::make_unique<PointEnumerator>(std::move(points), 0).release();
        return S_OK;
    });
}

void EventArgs::addBstrRef(std::string& utf8) {
    Bstr& b = bstrs_.emplace_back(Bstr::fromUtf8(utf8));
    VARIANTARG a;
    VariantInit(&a);
    V_VT(&a) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&a) = b.addressOf();
    args_.push_back(a);
    writeBacks_.push_back([&b, &utf8, passed = utf8] { writeIfChanged(utf8, passed, b.utf8()); });
}

void EventArgs::addVariantRef(std::string& utf8) {
    Variant& v = variants_.emplace_back(Variant::fromUtf8(utf8));
    VARIANTARG a;
    VariantInit(&a);
    V_VT(&a) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&a) = v.get();
    args_.push_back(a);
    writeBacks_.push_back(
        [&v, &utf8, passed = utf8] { writeIfChanged(utf8, passed, variantToUtf8(*v.get())); });
}

void EventArgs::addBstr(const std::string& utf8) {
    // Held in the BSTR storage; the VARIANTARG only borrows it.
    Bstr& b = bstrs_.emplace_back(Bstr::fromUtf8(utf8));
    VARIANTARG a;
    VariantInit(&a);
    V_VT(&a) = VT_BSTR;
    V_BSTR(&a) = b.get();
    args_.push_back(a);
}

void EventArgs::addShortRef(short& value) {
    short& s = shorts_.emplace_back(value);
    VARIANTARG a;
    VariantInit(&a);
    V_VT(&a) = VT_BYREF | VT_I2;
    V_I2REF(&a) = &s;
    args_.push_back(a);
    writeBacks_.push_back([&s, &value, passed = value] { writeIfChanged(value, passed, s); });
}

std::unique_ptr<EventArgs> EventArgs::keptCopy() const {
    auto copy = std::make_unique<EventArgs>();
    for (const VARIANTARG& a : args_) {
        switch (V_VT(&a)) {
        case VT_BYREF | VT_BSTR:
            copy->addBstrRef(copy->ownTexts_.emplace_back(bstrToUtf8(*V_BSTRREF(&a))));
            break;
        case VT_BYREF | VT_VARIANT:
            copy->addVariantRef(copy->ownTexts_.emplace_back(variantToUtf8(*V_VARIANTREF(&a))));
            break;
        case VT_BYREF | VT_I2:
            copy->addShortRef(copy->ownShorts_.emplace_back(*V_I2REF(&a)));
            break;
        default: // VT_BSTR, the only argument by value
            copy->addBstr(bstrToUtf8(V_BSTR(&a)));
            break;
        }
    }
    return copy;
}

DISPPARAMS EventArgs::params() {
    reversed_.assign(args_.rbegin(), args_.rend());
    DISPPARAMS p{};
    p.rgvarg = reversed_.empty() ? nullptr : reversed_.data();
    p.cArgs = static_cast<UINT>(reversed_.size());
    return p;
}

void EventArgs::writeBack() {
    for (auto& w : writeBacks_)
        w();
}

void fireEvent(const ConnectionPoint& point, DISPID id, EventArgs& args) {
    for (const ComPtr<IDispatch>& sink : point.sinks()) {
        DISPPARAMS params = args.params();
        Variant result;
        EXCEPINFO excep{};
        UINT argErr = 0;
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(),
                     &excep, &argErr);
        // A sink's failure is not the source's business; only its texts are freed.
        Bstr::adopt(excep.bstrSource);
        Bstr::adopt(excep.bstrDescription);
        Bstr::adopt(excep.bstrHelpFile);
    }
    args.writeBack();
}

} // namespace activex
