// The site of one control in a host window: client site, in-place site, the
// in-place frame (the host window itself, with no tool space or menus), control
// site and ambient properties through IDispatch. One COM object, one count.
#pragma once

#include "activex/com_ptr.h"
#include "activex/container/dispatch_by_id.h"
#include "activex/win.h"

#include <string>

namespace activex::container {

// The ambient properties a site shows its control.
struct Ambients {
    OLE_COLOR backColor = 0xFFFFFF;
    OLE_COLOR foreColor = 0x000000;
    std::wstring displayName; // the control's name on the host's form
    bool userMode = true;     // run time, not design time
};

class ControlSite final : public IOleClientSite,
                          public IOleInPlaceSite,
                          public IOleInPlaceFrame,
                          public IOleControlSite,
                          public IOleContainer,
                          public DispatchById {
public:
    // A site in window host at rect (client pixels of host).
    static ComPtr<ControlSite> create(HWND host, const RECT& rect, Ambients ambients);

    // The control's in-place object, told of position changes it asks for. Not
    // owned: the hosting object sets it after activation and clears it before
    // it lets the control go.
    void attach(IOleInPlaceObject* inPlace) noexcept { inPlace_ = inPlace; }
    // Drops every reference the site holds to the control.
    void detach() noexcept;

    bool inPlaceActive() const noexcept { return inPlaceActive_; }
    const RECT& rect() const noexcept { return rect_; }
    HWND host() const noexcept { return host_; }
    // Gives a keystroke to the UI-active object, if any; true when it took it.
    bool translateAccelerator(MSG& msg) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** ppContainer) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

    // IOleWindow (shared by the in-place site and the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** ppFrame,
                                               IOleInPlaceUIWindow** ppDoc, LPRECT lprcPosRect,
                                               LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO lpFrameInfo) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT lprcPosRect) override;

    // IOleInPlaceUIWindow
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT lprectBorder) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* pActiveObject,
                                              LPCOLESTR) override;

    // IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override;

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override;
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override;
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** ppDisp) override;
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* pPtlHimetric, POINTF* pPtfContainer,
                                              DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, DWORD) override;
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override;
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override;

    // IParseDisplayName, IOleContainer
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*,
                                               IMoniker** ppmkOut) override;
    HRESULT STDMETHODCALLTYPE EnumObjects(DWORD, IEnumUnknown** ppenum) override;
    HRESULT STDMETHODCALLTYPE LockContainer(BOOL) override;

    // IDispatch: the ambient properties
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    ControlSite(HWND host, const RECT& rect, Ambients ambients);
    ~ControlSite() = default;

    LONG refs_ = 1;
    HWND host_;
    RECT rect_;
    Ambients ambients_;
    bool inPlaceActive_ = false;
    IOleInPlaceObject* inPlace_ = nullptr;
    ComPtr<IOleInPlaceActiveObject> active_;
};

// HIMETRIC (0.01 mm) and the host's pixels, at the screen's resolution.
LONG himetricToPixelsX(LONG himetric) noexcept;
LONG himetricToPixelsY(LONG himetric) noexcept;
LONG pixelsToHimetricX(LONG pixels) noexcept;
LONG pixelsToHimetricY(LONG pixels) noexcept;

} // namespace activex::container
