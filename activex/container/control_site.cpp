// The control site. The host window is the site's window, its frame and its
// document at once; a control gets no tool space, menus or status line.
#include "activex/container/control_site.h"

#include "activex/bstr.h"
#include "activex/hresult.h"

#include <utility>

namespace activex::container {

namespace {

constexpr LONG kHimetricPerInch = 2540;

int screenPixelsPerInch(int axis) noexcept {
    HDC screen = GetDC(nullptr);
    int ppi = screen ? GetDeviceCaps(screen, axis) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return ppi > 0 ? ppi : 96;
}

} // namespace

LONG himetricToPixelsX(LONG himetric) noexcept {
    return MulDiv(himetric, screenPixelsPerInch(LOGPIXELSX), kHimetricPerInch);
}
LONG himetricToPixelsY(LONG himetric) noexcept {
    return MulDiv(himetric, screenPixelsPerInch(LOGPIXELSY), kHimetricPerInch);
}
LONG pixelsToHimetricX(LONG pixels) noexcept {
    return MulDiv(pixels, kHimetricPerInch, screenPixelsPerInch(LOGPIXELSX));
}
LONG pixelsToHimetricY(LONG pixels) noexcept {
    return MulDiv(pixels, kHimetricPerInch, screenPixelsPerInch(LOGPIXELSY));
}

ComPtr<ControlSite> ControlSite::create(HWND host, const RECT& rect, Ambients ambients) {
    // A COM object owns itself: the last Release deletes it.
    return ComPtr<ControlSite>::adopt(new ControlSite(host, rect, std::move(ambients)));
}

ControlSite::ControlSite(HWND host, const RECT& rect, Ambients ambients)
    : host_(host), rect_(rect), ambients_(std::move(ambients)) {}

void ControlSite::detach() noexcept {
    inPlace_ = nullptr;
    active_.reset();
}

bool ControlSite::translateAccelerator(MSG& msg) noexcept {
    return active_ && active_->TranslateAccelerator(&msg) == S_OK;
}

// IUnknown

HRESULT ControlSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        *ppv = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else if (riid == IID_IOleControlSite)
        *ppv = static_cast<IOleControlSite*>(this);
    else if (riid == IID_IParseDisplayName || riid == IID_IOleContainer)
        *ppv = static_cast<IOleContainer*>(this);
    else if (riid == IID_IDispatch)
        *ppv = static_cast<DispatchById*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG ControlSite::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG ControlSite::Release() {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

// IOleClientSite

HRESULT ControlSite::SaveObject() {
    return E_NOTIMPL; // the host keeps no persistent copy of its controls
}

HRESULT ControlSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL; // controls of this host are not linked
}

HRESULT ControlSite::GetContainer(IOleContainer** ppContainer) {
    if (!ppContainer)
        return E_POINTER;
    *ppContainer = static_cast<IOleContainer*>(this);
    AddRef();
    return S_OK;
}

HRESULT ControlSite::ShowObject() {
    return S_OK;
}
HRESULT ControlSite::OnShowWindow(BOOL) {
    return S_OK;
}

HRESULT ControlSite::RequestNewObjectLayout() {
    return E_NOTIMPL; // the host's layout is fixed
}

// IOleWindow

HRESULT ControlSite::GetWindow(HWND* phwnd) {
    if (!phwnd)
        return E_POINTER;
    *phwnd = host_;
    return S_OK;
}

HRESULT ControlSite::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL; // the host has no help mode
}

// IOleInPlaceSite

HRESULT ControlSite::CanInPlaceActivate() {
    return S_OK;
}

HRESULT ControlSite::OnInPlaceActivate() {
    inPlaceActive_ = true;
    return S_OK;
}

HRESULT ControlSite::OnUIActivate() {
    return S_OK;
}

HRESULT ControlSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                      LPRECT lprcPosRect, LPRECT lprcClipRect,
                                      LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    if (ppFrame)
        *ppFrame = nullptr;
    if (ppDoc)
        *ppDoc = nullptr; // the frame is the document window too
    if (!ppFrame || !lprcPosRect || !lprcClipRect)
        return E_POINTER;
    *ppFrame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *lprcPosRect = rect_;
    if (!GetClientRect(host_, lprcClipRect))
        *lprcClipRect = rect_;
    if (lpFrameInfo) {
        lpFrameInfo->fMDIApp = FALSE;
        lpFrameInfo->hwndFrame = host_;
        lpFrameInfo->haccel = nullptr;
        lpFrameInfo->cAccelEntries = 0;
    }
    return S_OK;
}

HRESULT ControlSite::Scroll(SIZE) {
    return E_NOTIMPL; // the host does not scroll
}

HRESULT ControlSite::OnUIDeactivate(BOOL) {
    return S_OK;
}

HRESULT ControlSite::OnInPlaceDeactivate() {
    inPlaceActive_ = false;
    inPlace_ = nullptr;
    return S_OK;
}

HRESULT ControlSite::DiscardUndoState() {
    return E_NOTIMPL; // the host keeps no undo state
}

HRESULT ControlSite::DeactivateAndUndo() {
    return E_NOTIMPL; // as DiscardUndoState
}

HRESULT ControlSite::OnPosRectChange(LPCRECT lprcPosRect) {
    if (!lprcPosRect)
        return E_POINTER;
    // The host grants whatever place its control asks for.
    rect_ = *lprcPosRect;
    if (inPlace_) {
        RECT clip = rect_;
        GetClientRect(host_, &clip);
        return inPlace_->SetObjectRects(&rect_, &clip);
    }
    return S_OK;
}

// IOleInPlaceUIWindow

HRESULT ControlSite::GetBorder(LPRECT lprectBorder) {
    if (lprectBorder)
        SetRectEmpty(lprectBorder);
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT ControlSite::RequestBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}
HRESULT ControlSite::SetBorderSpace(LPCBORDERWIDTHS) {
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT ControlSite::SetActiveObject(IOleInPlaceActiveObject* pActiveObject, LPCOLESTR) {
    active_ = ComPtr<IOleInPlaceActiveObject>(pActiveObject);
    return S_OK;
}

// IOleInPlaceFrame

HRESULT ControlSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
    return E_NOTIMPL; // the host has no menu to share
}
HRESULT ControlSite::SetMenu(HMENU, HOLEMENU, HWND) {
    return S_OK;
}
HRESULT ControlSite::RemoveMenus(HMENU) {
    return S_OK;
}
HRESULT ControlSite::SetStatusText(LPCOLESTR) {
    return S_OK;
}
HRESULT ControlSite::EnableModeless(BOOL) {
    return S_OK;
}
HRESULT ControlSite::TranslateAccelerator(LPMSG, WORD) {
    return S_FALSE;
}

// IOleControlSite

HRESULT ControlSite::OnControlInfoChanged() {
    return S_OK;
}
HRESULT ControlSite::LockInPlaceActive(BOOL) {
    return S_OK;
}

HRESULT ControlSite::GetExtendedControl(IDispatch** ppDisp) {
    if (ppDisp)
        *ppDisp = nullptr;
    return E_NOTIMPL; // the host wraps its controls in no extended control
}

HRESULT ControlSite::TransformCoords(POINTL* pPtlHimetric, POINTF* pPtfContainer, DWORD dwFlags) {
    if (!pPtlHimetric || !pPtfContainer)
        return E_POINTER;
    // Positions and sizes convert alike: the host's origin is its client area's.
    if (dwFlags & XFORMCOORDS_HIMETRICTOCONTAINER) {
        pPtfContainer->x = static_cast<float>(himetricToPixelsX(pPtlHimetric->x));
        pPtfContainer->y = static_cast<float>(himetricToPixelsY(pPtlHimetric->y));
    } else if (dwFlags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
        pPtlHimetric->x = pixelsToHimetricX(static_cast<LONG>(pPtfContainer->x));
        pPtlHimetric->y = pixelsToHimetricY(static_cast<LONG>(pPtfContainer->y));
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT ControlSite::TranslateAccelerator(LPMSG, DWORD) {
    return S_FALSE;
}
HRESULT ControlSite::OnFocus(BOOL) {
    return S_OK;
}

HRESULT ControlSite::ShowPropertyFrame() {
    return E_NOTIMPL; // no property pages at run time
}

// IOleContainer

HRESULT ControlSite::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker** ppmkOut) {
    if (ppmkOut)
        *ppmkOut = nullptr;
    return E_NOTIMPL; // the host names none of its objects
}

HRESULT ControlSite::EnumObjects(DWORD, IEnumUnknown** ppenum) {
    if (ppenum)
        *ppenum = nullptr;
    return E_NOTIMPL; // a control gets at its siblings through the host, not the container
}

HRESULT ControlSite::LockContainer(BOOL) {
    return S_OK;
}

// IDispatch: ambient properties

HRESULT ControlSite::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS*,
                            VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (!(wFlags & DISPATCH_PROPERTYGET))
        return DISP_E_MEMBERNOTFOUND; // ambients are read-only
    if (!pVarResult)
        return E_POINTER;
    return comGuard([&]() -> HRESULT {
        VariantInit(pVarResult);
        auto setBool = [&](bool value) {
            V_VT(pVarResult) = VT_BOOL;
            V_BOOL(pVarResult) = value ? VARIANT_TRUE : VARIANT_FALSE;
        };
        auto setInt = [&](LONG value) {
            V_VT(pVarResult) = VT_I4;
            V_I4(pVarResult) = value;
        };
        switch (dispIdMember) {
        case DISPID_AMBIENT_USERMODE:
            setBool(ambients_.userMode);
            break;
        case DISPID_AMBIENT_UIDEAD:
        case DISPID_AMBIENT_SHOWGRABHANDLES:
        case DISPID_AMBIENT_SHOWHATCHING:
        case DISPID_AMBIENT_MESSAGEREFLECT:
        case DISPID_AMBIENT_SUPPORTSMNEMONICS:
            setBool(false);
            break;
        case DISPID_AMBIENT_AUTOCLIP:
            setBool(true);
            break;
        case DISPID_AMBIENT_BACKCOLOR:
            setInt(static_cast<LONG>(ambients_.backColor));
            break;
        case DISPID_AMBIENT_FORECOLOR:
            setInt(static_cast<LONG>(ambients_.foreColor));
            break;
        case DISPID_AMBIENT_LOCALEID:
            setInt(static_cast<LONG>(GetUserDefaultLCID()));
            break;
        case DISPID_AMBIENT_DISPLAYNAME:
            V_BSTR(pVarResult) = Bstr(ambients_.displayName).detach();
            V_VT(pVarResult) = VT_BSTR;
            break;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
        return S_OK;
    });
}

} // namespace activex::container
