// The container tests' control. Only what a host exercises is real; the rest
// answers E_NOTIMPL as a minimal control may.
#include "test_control.h"

#include "activex/bstr.h"
#include "activex/text.h"
#include "activex/variant.h"

#include <utility>

using activex::Bstr;
using activex::ComPtr;

namespace testcontrol {

namespace {

constexpr LONG kFixedHimetric = 593;
const wchar_t kWindowClass[] = L"ContainerTestControl";

void registerWindowClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc); // a second registration fails harmlessly
}

} // namespace

class Control;

// The control's one connection point; it shares the control's count.
class ConnectionPoint final : public IConnectionPoint {
public:
    explicit ConnectionPoint(Control& owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override {
        *pIID = kEventsIid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    ComPtr<IDispatch> sink;

private:
    Control& owner_;
};

class Control final : public IOleObject,
                      public IOleInPlaceObject,
                      public IDispatch,
                      public IConnectionPointContainer,
                      public IPersistStreamInit,
                      public IProvideClassInfo2 {
public:
    Control(const Behaviour& behaviour, Observed& observed)
        : behaviour_(behaviour), observed_(observed), point_(*this) {
        ++observed_.liveObjects;
        observed_.control = this;
    }
    ~Control() {
        --observed_.liveObjects;
        if (observed_.control == this)
            observed_.control = nullptr;
    }

    void log(const char* call) { observed_.calls.emplace_back(call); }
    ConnectionPoint& point() { return point_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleObject)
            *ppv = static_cast<IOleObject*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
            *ppv = static_cast<IOleInPlaceObject*>(this);
        else if (riid == IID_IDispatch)
            *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IConnectionPointContainer)
            *ppv = static_cast<IConnectionPointContainer*>(this);
        else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
            *ppv = static_cast<IPersistStreamInit*>(this);
        else if (behaviour_.offerClassInfo2 &&
                 (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2))
            *ppv = static_cast<IProvideClassInfo2*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
        log(site ? "SetClientSite" : "SetClientSite(null)");
        site_ = ComPtr<IOleClientSite>(site);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
        return site_.copyTo(site);
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override {
        log("SetHostNames");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override {
        log("Close");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                     LPCRECT) override {
        log("DoVerb");
        if (verb != OLEIVERB_INPLACEACTIVATE || !site)
            return E_NOTIMPL;
        ComPtr<IOleInPlaceSite> inPlaceSite;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, inPlaceSite.putVoid())) ||
            inPlaceSite->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        inPlaceSite->OnInPlaceActivate();
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof info;
        if (FAILED(inPlaceSite->GetWindowContext(frame.put(), document.put(), &pos, &clip, &info)))
            return E_FAIL;
        HWND siteWindow = nullptr;
        inPlaceSite->GetWindow(&siteWindow);
        observed_.userMode = ambientUserMode(site);
        registerWindowClass();
        const bool hidden =
            (behaviour_.miscStatus & OLEMISC_INVISIBLEATRUNTIME) && observed_.userMode;
        window_ = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | (hidden ? 0 : WS_VISIBLE),
                                  pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top,
                                  siteWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
        observed_.window = window_;
        observed_.parent = siteWindow == parent ? siteWindow : nullptr;
        inPlaceSite_ = inPlaceSite;
        return window_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override {
        *clsid = kClsid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL* size) override {
        log("SetExtent");
        // Fixed size, whatever the host asks (as a control that snaps back).
        (void)size;
        observed_.extent = {kFixedHimetric, kFixedHimetric};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL* size) override {
        *size = observed_.extent;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
        *status = behaviour_.miscStatus;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = window_;
        return window_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
        log("InPlaceDeactivate");
        if (window_)
            DestroyWindow(window_);
        window_ = nullptr;
        if (inPlaceSite_)
            inPlaceSite_->OnInPlaceDeactivate();
        inPlaceSite_.reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO* exception, UINT*) override {
        if (id == kStartDispid && (flags & DISPATCH_METHOD)) {
            observed_.started = true;
            return S_OK;
        }
        if (id == kFailingDispid && exception) {
            exception->bstrDescription = Bstr(L"refused").detach();
            exception->scode = E_ACCESSDENIED;
            return DISP_E_EXCEPTION;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override {
        *cp = nullptr;
        if (riid != kEventsIid)
            return CONNECT_E_NOCONNECTION;
        *cp = &point_;
        point_.AddRef();
        return S_OK;
    }

    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        *clsid = kClsid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitNew() override {
        log("InitNew");
        return S_OK;
    }

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID)
            return E_INVALIDARG;
        *guid = kEventsIid;
        return S_OK;
    }

private:
    static bool ambientUserMode(IOleClientSite* site) {
        ComPtr<IDispatch> ambients;
        if (FAILED(site->QueryInterface(IID_IDispatch, ambients.putVoid())))
            return false;
        DISPPARAMS none{};
        activex::Variant value;
        if (FAILED(ambients->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                    &none, value.put(), nullptr, nullptr)))
            return false;
        return value.type() == VT_BOOL && V_BOOL(value.get()) == VARIANT_TRUE;
    }

    ULONG refs_ = 1;
    Behaviour behaviour_;
    Observed& observed_;
    ConnectionPoint point_;
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    HWND window_ = nullptr;
};

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint)
        return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}
ULONG ConnectionPoint::AddRef() {
    return owner_.AddRef();
}
ULONG ConnectionPoint::Release() {
    return owner_.Release();
}

HRESULT ConnectionPoint::Advise(IUnknown* unknown, DWORD* cookie) {
    owner_.log("Advise");
    *cookie = 0;
    if (sink)
        return CONNECT_E_ADVISELIMIT;
    // The sink must answer to the event interface itself.
    ComPtr<IUnknown> events;
    if (FAILED(unknown->QueryInterface(kEventsIid, events.putVoid())) ||
        FAILED(unknown->QueryInterface(IID_IDispatch, sink.putVoid())))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = 1;
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    owner_.log("Unadvise");
    if (cookie != 1 || !sink)
        return CONNECT_E_NOCONNECTION;
    sink.reset();
    return S_OK;
}

class Factory final : public IClassFactory {
public:
    Factory(const Behaviour& behaviour, Observed& observed)
        : behaviour_(behaviour), observed_(observed) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // Lives as long as the Registration that made it.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto control = ComPtr<IOleObject>::adopt(new Control(behaviour_, observed_));
        return control->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    Behaviour behaviour_;
    Observed& observed_;
};

Registration::Registration(const Behaviour& behaviour, Observed& observed)
    : factory_(std::make_unique<Factory>(behaviour, observed)) {
    CoRegisterClassObject(kClsid, factory_.get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                          &cookie_);
}

Registration::~Registration() {
    CoRevokeClassObject(cookie_);
}

std::pair<std::wstring, std::wstring> firePair(Control& control, const std::wstring& first,
                                               const std::wstring& second) {
    // The by-reference BSTR is the event's to replace; it is owned again below.
    BSTR text = Bstr(first).detach();
    activex::Variant value = activex::Variant::fromText(second);
    VARIANT args[2];
    // DISPPARAMS holds the arguments last first.
    V_VT(&args[1]) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&args[1]) = &text;
    V_VT(&args[0]) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&args[0]) = value.get();
    DISPPARAMS params{args, nullptr, 2, 0};
    ComPtr<IDispatch> sink = control.point().sink;
    if (sink)
        sink->Invoke(kPairEventDispid, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                     nullptr);
    Bstr owned = Bstr::adopt(text);
    return {std::wstring(owned.view()), activex::utf8ToWide(activex::variantToUtf8(*value.get()))};
}

ComPtr<IDispatch> sinkOf(Control& control) {
    return control.point().sink;
}

} // namespace testcontrol
