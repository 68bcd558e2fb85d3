// The Malvo control: the form with its embedded caller-ID component, its face and
// the republished calls.
#include "adapter/malvo_control.h"

#include "activex/bstr.h"
#include "activex/module.h"
#include "activex/persisted_state.h"
#include "activex/text.h"

#include <cstdio>
#include <olectl.h>
#include <string>
#include <vector>

namespace adapter {
namespace {

// The designed size of the form, 136 x 72 pixels.
constexpr LONG kWidthHimetric = activex::formPixelsToHimetric(136);
constexpr LONG kHeightHimetric = activex::formPixelsToHimetric(72);

// The embedded caller-ID component, found through COM at run time: its class id
// and its event interface, as the component's type library has them.
constexpr CLSID kComponentClsid = {
    0x7e3a1b95, 0x5c28, 0x4d6e, {0x9f, 0x40, 0x1b, 0x7c, 0x3e, 0x8a, 0x2d, 0x56}};
constexpr IID kComponentEvents = {
    0x5a9d2e63, 0x7f41, 0x4b85, {0xa2, 0xc6, 0x9e, 0x1b, 0x4d, 0x7f, 0x3a, 0x08}};
constexpr DISPID kComponentOnCallerID = 209;
constexpr DISPID kComponentEnabled = DISPID_ENABLED; // -514
constexpr RECT kComponentRect{0, 0, 29, 32};

constexpr DISPID kOnCallerID = 209;

// Panel1 covers the embedded component at the corner; Image1 sits on it.
constexpr RECT kPanelRect{0, 0, 33, 33};
constexpr POINT kImageCorner{5, 5};

// The state the form keeps for its embedded component (its left and top are the
// site's): 29 x 32 pixels, AutoSize on, caption "Norvellix", white, Cambria of
// height -11, 96 pixels per inch.
std::vector<BYTE> componentState() {
    activex::FormSettings form;
    form.caption = L"Norvellix";
    form.color = 0xFFFFFF; // white
    form.autoSize = true;
    form.pixelsPerInch = 96;
    const LONG width = activex::formPixelsToHimetric(kComponentRect.right);
    const LONG height = activex::formPixelsToHimetric(kComponentRect.bottom);
    return activex::encodeState(
        {{width, height}, activex::formProperties(form, activex::formFont(L"Cambria").get())});
}

activex::FormSettings malvoForm() {
    activex::FormSettings form;
    form.caption = L"Malvo";
    form.color = 0xFFFFFF; // white
    return form;
}

// The face picture of the form resource; none (and a face without it) when the
// resource is missing or does not decode.
std::optional<Picture> loadFacePicture() {
    HMODULE module = activex::ServerModule::handle();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return std::nullopt;
    try {
        return decodeJpeg({static_cast<const std::uint8_t*>(bytes), SizeofResource(module, found)});
    } catch (const JpegError&) {
        return std::nullopt;
    }
}

// The form's window: hidden, never shown, the place of the embedded component.
platform::UniqueHwnd createFormWindow() {
    HWND w = CreateWindowExW(0, L"STATIC", L"Malvo", WS_POPUP, 0, 0, 136, 72, nullptr, nullptr,
                             activex::ServerModule::handle(), nullptr);
    if (!w)
        throw activex::ComError(HRESULT_FROM_WIN32(GetLastError()), "CreateWindowEx");
    return platform::UniqueHwnd(w);
}

// What the host is told of the failure of the component's creation.
activex::ErrorDescription creationFailure(HRESULT hr, const std::string& operation) {
    wchar_t text[256];
    if (hr == REGDB_E_CLASSNOTREG)
        std::swprintf(text, std::size(text),
                      L"Malvo: the caller-ID component Norvellix1C.Norvellix_Component is not "
                      L"registered (0x%08lX)",
                      static_cast<unsigned long>(hr));
    else
        std::swprintf(text, std::size(text),
                      L"Malvo: the caller-ID component Norvellix1C.Norvellix_Component could not "
                      L"be created: %hs failed (0x%08lX)",
                      operation.c_str(), static_cast<unsigned long>(hr));
    return {text, L"Brevantel.Malvo", IID_IMalvo};
}

} // namespace

const activex::ControlClass MalvoControl::kClass{&CLSID_Malvo,
                                                 &IID_IMalvo,
                                                 &DIID_IMalvoEvents,
                                                 1, // one sink, as the component has
                                                 activex::kActiveFormMiscStatus,
                                                 {kWidthHimetric, kHeightHimetric}};

MalvoControl::MalvoControl()
    : FormControl(kClass, malvoForm(), L"MS Sans Serif"), picture_(loadFacePicture()),
      form_(createFormWindow()) {
    activex::container::HostingOptions options;
    options.rect = kComponentRect;
    options.containerName = L"Malvo";
    options.ambients.displayName = L"Norvellix_Component1";
    options.eventInterface = kComponentEvents;
    options.persistedState = componentState();
    try {
        component_ = std::make_unique<activex::container::HostedControl>(
            kComponentClsid, form_.get(), options,
            static_cast<activex::container::EventHandler*>(this));
    } catch (const activex::ComError& e) {
        throw activex::ComError(e.hr(), e.what(), creationFailure(e.hr(), e.what()));
    }
}

MalvoControl::~MalvoControl() {
    // The embedded component goes before the window it is sited in.
    component_.reset();
    // A free-threaded host may let Malvo go on another thread than the one that made
    // the form's window, and only that thread can destroy it: it is asked to (a
    // thread that ends first takes its windows with it).
    if (GetWindowThreadProcessId(form_.get(), nullptr) != GetCurrentThreadId())
        PostMessageW(form_.release(), WM_CLOSE, 0, 0);
}

void MalvoControl::onEvent(DISPID dispid, DISPPARAMS& params) {
    if (dispid != kComponentOnCallerID)
        return;
    // CallDate, CallTime, DevSerialNo, LineNo, PhoneNo, OtherInfo.
    const activex::container::EventArguments call(params);
    const auto text = [&](UINT i) { return activex::wideToUtf8(call.text(i)); };
    const std::string DeviceID = text(2);
    const std::string Line = text(3);
    const std::string PhoneNumber = text(4);
    const std::string DateTime = text(1) + " " + text(0);
    const std::string OtherText = text(5);
    activex::EventArgs args;
    args.addBstr(DeviceID);
    args.addBstr(Line);
    args.addBstr(PhoneNumber);
    args.addBstr(DateTime);
    args.addBstr(OtherText);
    fire(kOnCallerID, args);
}

void MalvoControl::paintFace(HDC dc, const RECT& bounds) {
    if (!form().visible)
        return;
    COLORREF color = RGB(255, 255, 255);
    if (FAILED(OleTranslateColor(form().color, nullptr, &color)))
        color = RGB(255, 255, 255);
    platform::UniqueGdiObject back(CreateSolidBrush(color));
    FillRect(dc, &bounds, static_cast<HBRUSH>(back.get()));
    // Panel1: white, raised, captioned "?", the picture on it.
    RECT panel = kPanelRect;
    OffsetRect(&panel, bounds.left, bounds.top);
    platform::UniqueGdiObject white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(dc, &panel, static_cast<HBRUSH>(white.get()));
    DrawEdge(dc, &panel, EDGE_RAISED, BF_RECT);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, L"?", 1, &panel, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (!picture_)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture_->width;
    info.bmiHeader.biHeight = -picture_->height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, panel.left + kImageCorner.x, panel.top + kImageCorner.y,
                      static_cast<DWORD>(picture_->width), static_cast<DWORD>(picture_->height), 0,
                      0, 0, static_cast<UINT>(picture_->height), picture_->bgr.data(), &info,
                      DIB_RGB_COLORS);
}

// ---- Methods

HRESULT MalvoControl::AboutBox() {
    return S_OK;
}

HRESULT MalvoControl::Start() {
    return activex::comGuard([&] {
        VARIANT enabled;
        VariantInit(&enabled);
        enabled.vt = VT_BOOL;
        enabled.boolVal = VARIANT_TRUE;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&enabled, &named, 1, 1};
        activex::check(component_->dispatch()->Invoke(kComponentEnabled, IID_NULL,
                                                      LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                                      &params, nullptr, nullptr, nullptr),
                       "IDispatch::Invoke");
    });
}

HRESULT MalvoControl::get_About(BSTR* Value) {
    if (!Value)
        return E_POINTER;
    *Value = SysAllocString(L"");
    return S_OK;
}

HRESULT MalvoControl::put_About(BSTR) {
    return S_OK;
}

HRESULT MalvoControl::Command(BSTR, BSTR* Status) {
    if (!Status)
        return E_POINTER;
    *Status = SysAllocString(L"");
    return S_OK;
}

} // namespace adapter
