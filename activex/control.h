// The control side of ActiveX: one object that a host creates, sites, activates
// in place, persists and listens to. ControlBase implements the OLE interfaces
// every control needs; Control<Derived, Interface> adds the one reference count,
// QueryInterface and the dual interface's IDispatch from the type information.
#pragma once

#include "activex/com_ptr.h"
#include "activex/connection_point.h"
#include "activex/dispatch.h"
#include "activex/hresult.h"
#include "activex/module.h"
#include "activex/persisted_state.h"
#include "activex/win.h"
#include "activex/window.h"

#include <atomic>
#include <climits>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace activex {

// What the framework needs to know of a control class.
struct ControlClass {
    const CLSID* clsid;
    const IID* defaultInterface;
    const IID* eventInterface; // null: the control raises no events
    size_t eventSinkLimit;     // ConnectionPoint::kAnyNumber, or 1
    DWORD miscStatus;          // OLEMISC_* of the content aspect
    SIZEL initialExtent;       // HIMETRIC
};

// Lengths: HIMETRIC (0.01 mm) is what OLE speaks, twips what forms speak.
LONG twipsToHimetric(LONG twips) noexcept;
LONG himetricToTwips(LONG himetric) noexcept;
// Screen pixels of the display (horizontal, vertical).
SIZE himetricToPixels(SIZEL himetric) noexcept;
SIZEL pixelsToHimetric(SIZE pixels) noexcept;

class ControlBase : public IOleObject,
                    public IOleInPlaceObject,
                    public IOleInPlaceActiveObject,
                    public IOleControl,
                    public IViewObject2,
                    public IPersistStreamInit,
                    public IPersistPropertyBag,
                    public IProvideClassInfo2,
                    public IConnectionPointContainer,
                    private MessageWindow {
public:
    explicit ControlBase(const ControlClass& cls);
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;
    ~ControlBase() override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* mk) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** mk) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index,
                                     HWND parent, LPCRECT posRect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** e) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** e) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* pal) override;

    // IOleWindow, IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* ui,
                                           BOOL frame) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // IViewObject, IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo,
                                   DVTARGETDEVICE* target, HDC targetDc, HDC drawDc,
                                   LPCRECTL bounds, LPCRECTL wbounds,
                                   BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                                   ULONG_PTR contArg) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo,
                                          DVTARGETDEVICE* target, HDC targetDc,
                                          LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo,
                                     DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target,
                                        LPSIZEL size) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IProvideClassInfo, IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** e) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override;

    // State a host and the control itself see.
    SIZEL extent() const noexcept { return extent_; }
    bool inPlaceActive() const noexcept { return inPlaceActive_; }
    // The events that may wait while the host has frozen events (see WhileFrozen).
    static constexpr size_t kKeptEventLimit = 64;
    bool eventsFrozen() const noexcept {
        std::lock_guard lock(frozenMutex_);
        return freezeCount_ > 0;
    }
    // Run time (ambient UserMode true, also without a site) or design time.
    bool userMode() const noexcept { return userMode_; }
    HWND controlWindow() const noexcept { return hwnd(); }

protected:
    // The object's IUnknown (the one reference count lives in the subclass).
    virtual IUnknown* identity() noexcept = 0;
    // The extent the control keeps when a host asks for `wanted` (HIMETRIC).
    virtual SIZEL constrainExtent(SIZEL wanted) { return wanted; }
    // Draws the control's face.
    virtual void paintFace(HDC dc, const RECT& bounds);
    // An active form raises the form events (OnActivate to OnPaint, dispids 201 to
    // 208 of its event interface) from its window and its activation.
    virtual bool raisesFormEvents() const noexcept { return false; }
    // The character the form goes on with after its host's OnKeyPress (not called
    // when the host swallowed it with 0): the window's default handling here.
    virtual void keyPressed(wchar_t key);
    // The text of the control's window (a form's caption).
    virtual std::wstring windowText() const { return {}; }
    // The control's persisted properties besides its extent, by name, as they are
    // now; and the taking of properties read back (names it does not know are
    // left alone). A control that refuses a value returns the failure and keeps
    // every property as it was.
    virtual PersistedProperties persistedProperties() const { return {}; }
    virtual HRESULT loadProperties(const PersistedProperties&) { return S_OK; }

    // Answers QueryInterface for the interfaces of this class.
    HRESULT queryControlInterface(REFIID riid, void** ppv) noexcept;
    ITypeLib& typeLib() const noexcept { return *typeLib_.get(); }
    const ControlClass& controlClass() const noexcept { return cls_; }
    // What an event raised while the host has frozen events (FreezeEvents) becomes.
    enum class WhileFrozen {
        // Kept, with the values its arguments hold, and raised when the host thaws
        // events, in the order of raising. At most kKeptEventLimit wait; beyond that
        // the oldest goes. A sink called then writes into the kept copy only: by-reference
        // arguments no longer reach the variables they were raised with.
        Keep,
        // Dropped: the form's events (mouse, keys, paint, activation).
        Drop,
    };
    // Raises an event at the source interface's sinks. While kept events wait to be
    // raised, a new one that would be kept joins them, so they all come in order.
    void fire(DISPID id, EventArgs& args, WhileFrozen whileFrozen = WhileFrozen::Keep);

private:
    enum class FormEvent : DISPID;

    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void raiseFormEvent(FormEvent event);
    // At the thaw: raises the kept events in order until none is left or the host
    // freezes events again (in a handler); the rest wait for the next thaw.
    void raiseKeptEvents();
    PersistedState currentState() const;
    bool isDirty() const noexcept;
    // The state now is the clean one (initialised, loaded or saved).
    void markClean();
    void takeState(const PersistedState& state);
    HRESULT activateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT posRect,
                            bool uiActivate);
    void readAmbients();
    void updateVisibility() noexcept;
    // The window rectangle for a host's position: its corner, the kept extent.
    RECT keptRect(const RECT& pos);
    void setExtent(SIZEL wanted);

    const ControlClass& cls_;
    ModuleObjectCount counted_;
    ComPtr<ITypeLib> typeLib_;
    std::optional<ConnectionPoint> events_;
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> uiWindow_;
    ComPtr<IOleAdviseHolder> oleAdvise_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    SIZEL extent_;
    bool dirty_ = false; // before the control is initialised or loaded
    std::optional<std::vector<BYTE>> cleanState_;
    bool userMode_ = true;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    bool clicked_ = false; // the left button went down in the form
    // The host's freezes and the events kept meanwhile; a free-threaded host may
    // freeze and thaw while an event is raised on another thread.
    struct KeptEvent {
        DISPID id = 0;
        std::unique_ptr<EventArgs> args;
    };
    mutable std::mutex frozenMutex_;
    int freezeCount_ = 0;
    std::deque<KeptEvent> kept_;
    bool raisingKept_ = false;
};

template <typename Derived, typename Interface>
class Control : public ControlBase, public Interface {
public:
    explicit Control(const ControlClass& cls)
        : ControlBase(cls), dispatch_(typeLib(), *cls.defaultInterface) {}

    // The class factory's creation function of Derived.
    static HRESULT create(REFIID riid, void** ppv) {
        auto object = std::make_unique<Derived>();
        auto unknown = ComPtr<IUnknown>::adopt(object.release()->identity());
        return unknown->QueryInterface(riid, ppv);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch ||
            riid == *controlClass().defaultInterface) {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return queryControlInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs_;
        if (n == 0) {
            // An event that reached the control on another thread as its last
            // reference went may still AddRef and Release it while the destructor
            // waits for that event: the count must not come to zero twice.
            refs_ = kDestroying;
            delete this; // COM's last Release; the destructor is virtual
        }
        return n;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return dispatch_.GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return dispatch_.GetTypeInfo(index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return dispatch_.GetIDsOfNames(riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        ComPtr<IUnknown> keep(identity()); // a method may let the host release us
        return dispatch_.Invoke(static_cast<Interface*>(this), id, riid, flags, params, result,
                                excep, argErr);
    }

protected:
    IUnknown* identity() noexcept override { return static_cast<Interface*>(this); }

private:
    static constexpr ULONG kDestroying = ULONG_MAX / 2;

    TypeInfoDispatch dispatch_;
    std::atomic<ULONG> refs_{1};
};

} // namespace activex
