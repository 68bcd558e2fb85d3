// The OLE interfaces of a control.
#include "activex/control.h"

#include "activex/bstr.h"
#include "activex/variant.h"

#include <cstring>
#include <utility>
#include <windowsx.h>

namespace activex {
namespace {

constexpr LONG kHimetricPerInch = 2540;
constexpr LONG kTwipsPerInch = 1440;

SIZE screenPixelsPerInch() noexcept {
    HDC screen = GetDC(nullptr);
    SIZE ppi{96, 96};
    if (screen) {
        ppi = {GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
        ReleaseDC(nullptr, screen);
    }
    return ppi;
}

} // namespace

// The dispids every active form's event interface gives the form events.
enum class ControlBase::FormEvent : DISPID {
    Activate = 201,
    Click = 202,
    Create = 203,
    DblClick = 204,
    Destroy = 205,
    Deactivate = 206,
    KeyPress = 207,
    Paint = 208,
};

LONG twipsToHimetric(LONG twips) noexcept {
    return MulDiv(twips, kHimetricPerInch, kTwipsPerInch);
}
LONG himetricToTwips(LONG himetric) noexcept {
    return MulDiv(himetric, kTwipsPerInch, kHimetricPerInch);
}
SIZE himetricToPixels(SIZEL himetric) noexcept {
    const SIZE ppi = screenPixelsPerInch();
    return {MulDiv(himetric.cx, ppi.cx, kHimetricPerInch),
            MulDiv(himetric.cy, ppi.cy, kHimetricPerInch)};
}
SIZEL pixelsToHimetric(SIZE pixels) noexcept {
    const SIZE ppi = screenPixelsPerInch();
    return {MulDiv(pixels.cx, kHimetricPerInch, ppi.cx),
            MulDiv(pixels.cy, kHimetricPerInch, ppi.cy)};
}

ControlBase::ControlBase(const ControlClass& cls)
    : cls_(cls), typeLib_(loadModuleTypeLib()), extent_(cls.initialExtent) {
    if (cls.eventInterface)
        events_.emplace(*this, *cls.eventInterface, cls.eventSinkLimit);
}

ControlBase::~ControlBase() {
    destroy();
}

HRESULT ControlBase::queryControlInterface(REFIID riid, void** ppv) noexcept {
    void* p = nullptr;
    if (riid == IID_IOleObject)
        p = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        p = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IOleInPlaceActiveObject)
        p = static_cast<IOleInPlaceActiveObject*>(this);
    else if (riid == IID_IOleControl)
        p = static_cast<IOleControl*>(this);
    else if (riid == IID_IViewObject || riid == IID_IViewObject2)
        p = static_cast<IViewObject2*>(this);
    else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        p = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IPersistPropertyBag)
        p = static_cast<IPersistPropertyBag*>(this);
    else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
        p = static_cast<IProvideClassInfo2*>(this);
    else if (riid == IID_IConnectionPointContainer && events_)
        p = static_cast<IConnectionPointContainer*>(this);
    if (!p)
        return E_NOINTERFACE;
    *ppv = p;
    identity()->AddRef();
    return S_OK;
}

void ControlBase::fire(DISPID id, EventArgs& args, WhileFrozen whileFrozen) {
    if (!events_)
        return;
    {
        std::lock_guard lock(frozenMutex_);
        const bool kept = whileFrozen == WhileFrozen::Keep;
        if (freezeCount_ > 0 || (kept && !kept_.empty())) {
            if (!kept)
                return;
            if (kept_.size() >= kKeptEventLimit)
                kept_.pop_front();
            kept_.push_back({id, args.keptCopy()});
            return;
        }
    }
    ComPtr<IUnknown> keep(identity()); // a sink may release the control
    fireEvent(*events_, id, args);
}

void ControlBase::raiseKeptEvents() {
    ComPtr<IUnknown> keep(identity()); // a sink may release the control
    {
        std::lock_guard lock(frozenMutex_);
        // A thaw inside a handler of a kept event: the raising under way goes on.
        if (raisingKept_)
            return;
        raisingKept_ = true;
    }
    struct Done {
        ControlBase& c;
        ~Done() {
            std::lock_guard lock(c.frozenMutex_);
            c.raisingKept_ = false;
        }
    } done{*this};
    for (;;) {
        KeptEvent next;
        {
            std::lock_guard lock(frozenMutex_);
            if (freezeCount_ > 0 || kept_.empty())
                return;
            next = std::move(kept_.front());
            kept_.pop_front();
        }
        fireEvent(*events_, next.id, *next.args);
    }
}

void ControlBase::readAmbients() {
    userMode_ = true; // without a site or an answer, the control is at run time
    ComPtr<IDispatch> ambients = site_.as<IDispatch>();
    if (!ambients)
        return;
    DISPPARAMS none{};
    Variant value;
    if (SUCCEEDED(ambients->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                   DISPATCH_PROPERTYGET, &none, value.put(), nullptr, nullptr)) &&
        SUCCEEDED(VariantChangeType(value.get(), value.get(), 0, VT_BOOL)))
        userMode_ = V_BOOL(value.get()) != VARIANT_FALSE;
}

void ControlBase::updateVisibility() noexcept {
    if (!hwnd())
        return;
    const bool hidden = userMode_ && (cls_.miscStatus & OLEMISC_INVISIBLEATRUNTIME);
    ShowWindow(hwnd(), hidden ? SW_HIDE : SW_SHOWNA);
}

void ControlBase::setExtent(SIZEL wanted) {
    const SIZEL kept = constrainExtent(wanted);
    if (kept.cx != extent_.cx || kept.cy != extent_.cy)
        dirty_ = true;
    extent_ = kept;
}

RECT ControlBase::keptRect(const RECT& pos) {
    setExtent(pixelsToHimetric({pos.right - pos.left, pos.bottom - pos.top}));
    const SIZE px = himetricToPixels(extent_);
    return {pos.left, pos.top, pos.left + px.cx, pos.top + px.cy};
}

void ControlBase::paintFace(HDC dc, const RECT& bounds) {
    FillRect(dc, &bounds, GetSysColorBrush(COLOR_WINDOW));
}

void ControlBase::raiseFormEvent(FormEvent event) {
    if (!raisesFormEvents())
        return;
    EventArgs none;
    fire(static_cast<DISPID>(event), none, WhileFrozen::Drop);
}

void ControlBase::keyPressed(wchar_t key) {
    MessageWindow::handleMessage(WM_CHAR, key, 0);
}

LRESULT ControlBase::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // A host's handler may release the control or deactivate it: the control stays
    // alive to the end of the message, and its window is looked at again after.
    ComPtr<IUnknown> keep(identity());
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd(), &ps);
        RECT client;
        GetClientRect(hwnd(), &client);
        paintFace(dc, client);
        EndPaint(hwnd(), &ps);
        raiseFormEvent(FormEvent::Paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the face is painted whole in WM_PAINT
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(hwnd(), &client);
        paintFace(reinterpret_cast<HDC>(wp), client);
        return 0;
    }
    case WM_LBUTTONDOWN:
        // A click activates the form at run time, as a form in a window is
        // activated, and gives it the keyboard.
        if (userMode_ && inPlaceActive_ && !uiActive_)
            activateInPlace(nullptr, nullptr, nullptr, true);
        if (hwnd() && GetFocus() != hwnd())
            SetFocus(hwnd());
        if (hwnd())
            SetCapture(hwnd());
        clicked_ = true;
        return 0;
    case WM_LBUTTONDBLCLK:
        // The second press of a double click is the double click only.
        clicked_ = false;
        if (hwnd())
            SetCapture(hwnd());
        raiseFormEvent(FormEvent::DblClick);
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() == hwnd())
            ReleaseCapture();
        RECT client{};
        GetClientRect(hwnd(), &client);
        const POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (std::exchange(clicked_, false) && PtInRect(&client, at))
            raiseFormEvent(FormEvent::Click);
        return 0;
    }
    case WM_CHAR: {
        if (!raisesFormEvents())
            break;
        // Key goes out as the character's code; what the host leaves there is the
        // character the form goes on with, 0 swallows it.
        short key = static_cast<short>(wp);
        EventArgs args;
        args.addShortRef(key);
        fire(static_cast<DISPID>(FormEvent::KeyPress), args, WhileFrozen::Drop);
        if (key != 0 && hwnd())
            keyPressed(static_cast<wchar_t>(key));
        return 0;
    }
    default:
        break;
    }
    return MessageWindow::handleMessage(msg, wp, lp);
}

// --- IOleObject ---

HRESULT ControlBase::SetClientSite(IOleClientSite* site) {
    return comGuard([&] {
        site_ = ComPtr<IOleClientSite>(site);
        readAmbients();
        updateVisibility();
    });
}

HRESULT ControlBase::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    return site_.copyTo(site);
}

HRESULT ControlBase::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK; // a control shows no window of its own that would carry the names
}

HRESULT ControlBase::Close(DWORD saveOption) {
    ComPtr<IUnknown> keep(identity());
    InPlaceDeactivate();
    if (site_ && isDirty() &&
        (saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE))
        site_->SaveObject();
    if (oleAdvise_)
        oleAdvise_->SendOnClose();
    return S_OK;
}

HRESULT ControlBase::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL; // a control is not linked to: no monikers
}

HRESULT ControlBase::GetMoniker(DWORD, DWORD, IMoniker** mk) {
    if (mk)
        *mk = nullptr;
    return E_NOTIMPL; // a control is not linked to: no monikers
}

HRESULT ControlBase::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL; // no data transfer (clipboard or drag-and-drop)
}

HRESULT ControlBase::GetClipboardData(DWORD, IDataObject** data) {
    if (data)
        *data = nullptr;
    return E_NOTIMPL; // no data transfer (clipboard or drag-and-drop)
}

HRESULT ControlBase::activateInPlace(IOleClientSite* activeSite, HWND, LPCRECT posRect,
                                     bool uiActivate) {
    if (!site_ && activeSite)
        SetClientSite(activeSite);
    if (!site_)
        return E_UNEXPECTED;
    if (!inPlaceActive_) {
        ComPtr<IOleInPlaceSite> ips = site_.as<IOleInPlaceSite>();
        if (!ips)
            return E_NOINTERFACE;
        if (ips->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        check(ips->OnInPlaceActivate(), "IOleInPlaceSite::OnInPlaceActivate");
        inPlaceSite_ = ips;
        HWND parent = nullptr;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof(frameInfo);
        HRESULT hr = ips->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = ips->GetWindowContext(frame_.put(), uiWindow_.put(), &pos, &clip, &frameInfo);
        if (FAILED(hr) || !parent) {
            ips->OnInPlaceDeactivate();
            inPlaceSite_.reset();
            frame_.reset();
            uiWindow_.reset();
            return FAILED(hr) ? hr : E_FAIL;
        }
        if (posRect)
            pos = *posRect;
        const RECT kept = keptRect(pos);
        create(parent, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, kept);
        if (const std::wstring text = windowText(); !text.empty())
            SetWindowTextW(hwnd(), text.c_str());
        inPlaceActive_ = true;
        updateVisibility();
        if (!EqualRect(&kept, &pos))
            ips->OnPosRectChange(&kept);
        // The form exists from here: its window is its form. A handler that
        // deactivates it again ends the activation.
        raiseFormEvent(FormEvent::Create);
        if (!inPlaceActive_)
            return S_OK;
    }
    // A control that asks not to be UI-activated stays in-place active only.
    if (uiActivate && !uiActive_ && !(cls_.miscStatus & OLEMISC_NOUIACTIVATE)) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        if (frame_)
            frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        if (uiWindow_)
            uiWindow_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        SetFocus(hwnd());
        raiseFormEvent(FormEvent::Activate);
        if (!inPlaceActive_)
            return S_OK;
    }
    if (site_ && !(userMode_ && (cls_.miscStatus & OLEMISC_INVISIBLEATRUNTIME)))
        site_->ShowObject();
    return S_OK;
}

HRESULT ControlBase::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                            LPCRECT posRect) {
    return comGuard([&]() -> HRESULT {
        ComPtr<IUnknown> keep(identity());
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_UIACTIVATE:
            return activateInPlace(activeSite, parent, posRect, true);
        case OLEIVERB_INPLACEACTIVATE:
            return activateInPlace(activeSite, parent, posRect, false);
        case OLEIVERB_HIDE:
            UIDeactivate();
            if (hwnd())
                ShowWindow(hwnd(), SW_HIDE);
            return S_OK;
        case OLEIVERB_PROPERTIES: {
            // The registered properties verb: a control without property pages of
            // its own leaves it to the container's property browser.
            ComPtr<IOleControlSite> controlSite = site_.as<IOleControlSite>();
            return controlSite ? controlSite->ShowPropertyFrame() : E_NOTIMPL;
        }
        case OLEIVERB_OPEN:
        case OLEIVERB_DISCARDUNDOSTATE:
            return E_NOTIMPL; // no separate window to open, no undo state
        default:
            return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
        }
    });
}

HRESULT ControlBase::EnumVerbs(IEnumOLEVERB** e) {
    if (e)
        *e = nullptr;
    return OLE_S_USEREG; // the verbs, if any, are the registry's
}

HRESULT ControlBase::Update() {
    return S_OK;
}
HRESULT ControlBase::IsUpToDate() {
    return S_OK;
}

HRESULT ControlBase::GetUserClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = *cls_.clsid;
    return S_OK;
}

HRESULT ControlBase::GetUserType(DWORD, LPOLESTR* type) {
    if (type)
        *type = nullptr;
    return OLE_S_USEREG; // the class's name is the registry's
}

HRESULT ControlBase::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    return comGuard([&] {
        setExtent(*size);
        if (viewSink_)
            viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    });
}

HRESULT ControlBase::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

HRESULT ControlBase::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!oleAdvise_) {
        const HRESULT hr = CreateOleAdviseHolder(oleAdvise_.put());
        if (FAILED(hr))
            return hr;
    }
    return oleAdvise_->Advise(sink, cookie);
}

HRESULT ControlBase::Unadvise(DWORD cookie) {
    return oleAdvise_ ? oleAdvise_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

HRESULT ControlBase::EnumAdvise(IEnumSTATDATA** e) {
    if (!e)
        return E_POINTER;
    *e = nullptr;
    return oleAdvise_ ? oleAdvise_->EnumAdvise(e) : S_OK;
}

HRESULT ControlBase::GetMiscStatus(DWORD, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = cls_.miscStatus;
    return S_OK;
}

HRESULT ControlBase::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL; // the face uses fixed colours
}

// --- IOleWindow, IOleInPlaceObject ---

HRESULT ControlBase::GetWindow(HWND* out) {
    if (!out)
        return E_POINTER;
    *out = hwnd();
    return hwnd() ? S_OK : E_FAIL;
}

HRESULT ControlBase::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL; // no context help
}

HRESULT ControlBase::InPlaceDeactivate() {
    if (!inPlaceActive_)
        return S_OK;
    ComPtr<IUnknown> keep(identity());
    UIDeactivate();
    inPlaceActive_ = false;
    raiseFormEvent(FormEvent::Destroy); // the form goes with its window
    destroy();
    ComPtr<IOleInPlaceSite> ips = std::move(inPlaceSite_);
    frame_.reset();
    uiWindow_.reset();
    if (ips)
        ips->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT ControlBase::UIDeactivate() {
    if (!uiActive_)
        return S_OK;
    uiActive_ = false;
    if (uiWindow_)
        uiWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_)
        frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_)
        inPlaceSite_->OnUIDeactivate(FALSE);
    raiseFormEvent(FormEvent::Deactivate);
    return S_OK;
}

HRESULT ControlBase::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (!pos)
        return E_POINTER;
    return comGuard([&] {
        const RECT kept = keptRect(*pos);
        if (hwnd())
            MoveWindow(hwnd(), kept.left, kept.top, kept.right - kept.left, kept.bottom - kept.top,
                       TRUE);
        // The host asked for another size than the control keeps: tell it.
        if (!EqualRect(&kept, pos) && inPlaceSite_)
            inPlaceSite_->OnPosRectChange(&kept);
    });
}

HRESULT ControlBase::ReactivateAndUndo() {
    return INPLACE_E_NOTUNDOABLE; // no undo state
}

// --- IOleInPlaceActiveObject ---

HRESULT ControlBase::TranslateAccelerator(LPMSG) {
    return S_FALSE;
} // no accelerators
HRESULT ControlBase::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
HRESULT ControlBase::OnDocWindowActivate(BOOL) {
    return S_OK;
}
HRESULT ControlBase::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK; // no toolbars to place
}
HRESULT ControlBase::EnableModeless(BOOL) {
    return S_OK;
} // no dialogs of its own

// --- IOleControl ---

HRESULT ControlBase::GetControlInfo(CONTROLINFO* info) {
    if (!info)
        return E_POINTER;
    info->cb = sizeof(CONTROLINFO);
    info->hAccel = nullptr; // no mnemonics
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT ControlBase::OnMnemonic(MSG*) {
    return E_NOTIMPL; // GetControlInfo lists no mnemonics
}

HRESULT ControlBase::OnAmbientPropertyChange(DISPID id) {
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) {
        readAmbients();
        updateVisibility();
    }
    return S_OK;
}

HRESULT ControlBase::FreezeEvents(BOOL freeze) {
    bool thawed = false;
    {
        std::lock_guard lock(frozenMutex_);
        if (freeze)
            ++freezeCount_;
        else if (freezeCount_ > 0)
            thawed = --freezeCount_ == 0;
    }
    // The last freeze undone: what was kept meanwhile reaches the sinks now.
    return thawed ? comGuard([&] { raiseKeptEvents(); }) : S_OK;
}

// --- IViewObject, IViewObject2 ---

HRESULT ControlBase::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc,
                          LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                          ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!drawDc || !bounds)
        return E_INVALIDARG;
    return comGuard([&] {
        const RECT r{bounds->left, bounds->top, bounds->right, bounds->bottom};
        paintFace(drawDc, r);
    });
}

HRESULT ControlBase::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (!colors)
        return E_POINTER;
    *colors = nullptr;
    return S_FALSE; // no palette
}

HRESULT ControlBase::Freeze(DWORD, LONG, void*, DWORD* cookie) {
    if (cookie)
        *cookie = 0;
    return E_NOTIMPL; // the face is drawn afresh each time; nothing to freeze
}

HRESULT ControlBase::Unfreeze(DWORD) {
    return E_NOTIMPL; // see Freeze
}

HRESULT ControlBase::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewAspects_ = aspects;
    viewFlags_ = flags;
    viewSink_ = ComPtr<IAdviseSink>(sink);
    return S_OK;
}

HRESULT ControlBase::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewFlags_;
    if (sink)
        viewSink_.copyTo(sink);
    return S_OK;
}

HRESULT ControlBase::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// --- IPersist, IPersistStreamInit, IPersistPropertyBag ---

HRESULT ControlBase::GetClassID(CLSID* clsid) {
    return GetUserClassID(clsid);
}

HRESULT ControlBase::IsDirty() {
    return comGuard([&] { return isDirty() ? S_OK : S_FALSE; });
}

PersistedState ControlBase::currentState() const {
    return {extent_, persistedProperties()};
}

bool ControlBase::isDirty() const noexcept {
    // Once initialised or loaded, the control is dirty when its state differs from
    // the one it was clean with; before, when its extent changed.
    try {
        return cleanState_ ? encodeState(currentState()) != *cleanState_ : dirty_;
    } catch (...) {
        return true; // a state that cannot be told apart is worth saving
    }
}

void ControlBase::markClean() {
    dirty_ = false;
    cleanState_ = encodeState(currentState());
}

void ControlBase::takeState(const PersistedState& state) {
    // The properties first: a control that refuses one keeps its extent too.
    check(loadProperties(state.properties), "loading a control's properties");
    setExtent(state.extent);
    markClean();
}

HRESULT ControlBase::Load(LPSTREAM stream) {
    if (!stream)
        return E_POINTER;
    return comGuard([&] { takeState(readState(*stream)); });
}

HRESULT ControlBase::Save(LPSTREAM stream, BOOL clearDirty) {
    if (!stream)
        return E_POINTER;
    return comGuard([&] {
        writeState(*stream, currentState());
        if (clearDirty)
            markClean();
    });
}

HRESULT ControlBase::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    return comGuard([&] { size->QuadPart = encodeState(currentState()).size(); });
}

HRESULT ControlBase::InitNew() {
    return comGuard([&] {
        setExtent(cls_.initialExtent);
        markClean();
    });
}

HRESULT ControlBase::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag)
        return E_POINTER;
    return comGuard([&] {
        PersistedState state{extent_, {}};
        // The extent under the names form hosts use; a missing one keeps its value.
        for (auto [name, field] :
             {std::pair{L"_ExtentX", &state.extent.cx}, {L"_ExtentY", &state.extent.cy}}) {
            Variant value;
            V_VT(value.get()) = VT_I4;
            if (SUCCEEDED(bag->Read(name, value.get(), log)) &&
                SUCCEEDED(VariantChangeType(value.get(), value.get(), 0, VT_I4)) &&
                V_I4(value.get()) > 0)
                *field = V_I4(value.get());
        }
        // The properties by their names, asked for as the type they have now; a
        // missing one keeps its value.
        for (PersistedProperty& p : persistedProperties()) {
            const VARTYPE type = p.value.type();
            VARIANT* asked = p.value.put();
            VariantInit(asked); // no value left for the bag to free
            V_VT(asked) = type;
            if (SUCCEEDED(bag->Read(p.name.c_str(), p.value.get(), log)))
                state.properties.push_back(std::move(p));
        }
        takeState(state);
    });
}

HRESULT ControlBase::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag)
        return E_POINTER;
    return comGuard([&] {
        for (auto [name, value] :
             {std::pair{L"_ExtentX", extent_.cx}, std::pair{L"_ExtentY", extent_.cy}}) {
            Variant v = Variant::fromInt(value);
            check(bag->Write(name, v.get()), "IPropertyBag::Write");
        }
        for (PersistedProperty& p : persistedProperties())
            check(bag->Write(p.name.c_str(), p.value.get()), "IPropertyBag::Write");
        if (clearDirty)
            markClean();
    });
}

// --- IProvideClassInfo2 ---

HRESULT ControlBase::GetClassInfo(ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    return typeLib_->GetTypeInfoOfGuid(*cls_.clsid, info);
}

HRESULT ControlBase::GetGUID(DWORD kind, GUID* guid) {
    if (!guid)
        return E_POINTER;
    *guid = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID || !cls_.eventInterface)
        return E_INVALIDARG;
    *guid = *cls_.eventInterface;
    return S_OK;
}

// --- IConnectionPointContainer ---

HRESULT ControlBase::EnumConnectionPoints(IEnumConnectionPoints** e) {
    std::vector<ComPtr<IConnectionPoint>> points;
    if (events_)
        points.emplace_back(&*events_);
    return enumConnectionPoints(std::move(points), e);
}

HRESULT ControlBase::FindConnectionPoint(REFIID riid, IConnectionPoint** cp) {
    if (!cp)
        return E_POINTER;
    *cp = nullptr;
    if (!events_ || riid != events_->iid())
        return CONNECT_E_NOCONNECTION;
    *cp = &*events_;
    (*cp)->AddRef();
    return S_OK;
}

} // namespace activex
