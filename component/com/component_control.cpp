// The Norvellix_Component control: the form's properties, its face and its events.
#include "component/com/component_control.h"

#include "activex/bstr.h"
#include "activex/handles.h"
#include "platform/process_api.h"

#include <olectl.h>

namespace component::com {
namespace {

// OLEMISC_ACTSLIKELABEL | OLEMISC_SIMPLEFRAME with RECOMPOSEONRESIZE,
// CANTLINKINSIDE, INSIDEOUT, ACTIVATEWHENVISIBLE and SETCLIENTSITEFIRST.
constexpr DWORD kMiscStatus = 205201;
static_assert(kMiscStatus ==
              (OLEMISC_ACTSLIKELABEL | OLEMISC_SIMPLEFRAME | OLEMISC_RECOMPOSEONRESIZE |
               OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
               OLEMISC_SETCLIENTSITEFIRST));

// The designed size of the form, 136 x 69 pixels at 96 pixels per inch.
constexpr LONG kWidthHimetric = 136 * 2540 / 96;
constexpr LONG kHeightHimetric = 69 * 2540 / 96;

enum EventId : DISPID { kOnCallerID = 209, kOnDeviceConnection = 210, kOnDeviceDisconnected = 211 };

VARIANT_BOOL vb(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

template <typename T> HRESULT getValue(T* out, T value) {
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}
HRESULT getBool(VARIANT_BOOL* out, bool value) {
    return getValue(out, vb(value));
}
HRESULT getText(BSTR* out, const std::wstring& text) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return activex::comGuard([&] { *out = activex::Bstr(text).detach(); });
}
HRESULT setText(std::wstring& field, BSTR text) {
    return activex::comGuard(
        [&] { field.assign(text ? text : L"", text ? SysStringLen(text) : 0); });
}

// The form font: Cambria of height -11 at 96 pixels per inch, 8.25 points.
activex::ComPtr<IFontDisp> formFont() {
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof desc;
    desc.lpstrName = const_cast<LPOLESTR>(L"Cambria");
    desc.cySize.int64 = 82500;
    desc.sWeight = FW_NORMAL;
    desc.sCharset = DEFAULT_CHARSET;
    activex::ComPtr<IFontDisp> font;
    if (FAILED(OleCreateFontIndirect(&desc, IID_IFontDisp, font.putVoid())))
        return {};
    return font;
}

} // namespace

const activex::ControlClass NorvellixComponentControl::kClass{
    &CLSID_Norvellix_Component,
    &IID_INorvellix_Component,
    &DIID_INorvellix_ComponentEvents,
    1, // one sink; a second advise is refused with CONNECT_E_ADVISELIMIT
    kMiscStatus,
    {kWidthHimetric, kHeightHimetric}};

NorvellixComponentControl::NorvellixComponentControl()
    : Control(kClass), font_(formFont()),
      core_(std::make_unique<TNorvellix_Component>(platform::processApi(), ui_,
                                                   static_cast<ComponentEvents&>(*this),
                                                   static_cast<ComponentHost&>(*this))) {}

NorvellixComponentControl::~NorvellixComponentControl() {
    // The devices are released and their reading threads stopped before the window
    // that serves their hand-overs goes.
    core_.reset();
}

std::uint32_t NorvellixComponentControl::randomSeed() {
    return GetTickCount();
}

void NorvellixComponentControl::OnCallerID(const CallerIdRecord& call) {
    activex::EventArgs args;
    args.addBstr(call.CallDate);
    args.addBstr(call.CallTime);
    args.addBstr(call.DevSerialNo);
    args.addBstr(call.LineNo);
    args.addBstr(call.PhoneNo);
    args.addBstr(call.OtherInfo);
    fire(kOnCallerID, args);
}

void NorvellixComponentControl::OnDeviceConnection(const std::string& DevSerialNo) {
    activex::EventArgs args;
    args.addBstr(DevSerialNo);
    fire(kOnDeviceConnection, args);
}

void NorvellixComponentControl::OnDeviceDisconnected(const std::string& DevSerialNo) {
    activex::EventArgs args;
    args.addBstr(DevSerialNo);
    fire(kOnDeviceDisconnected, args);
}

void NorvellixComponentControl::showForm() noexcept {
    if (HWND w = controlWindow()) {
        EnableWindow(w, form_.enabled);
        InvalidateRect(w, nullptr, TRUE);
    }
}

void NorvellixComponentControl::paintFace(HDC dc, const RECT& bounds) {
    if (!form_.visible)
        return;
    COLORREF color = RGB(255, 0, 0);
    if (FAILED(OleTranslateColor(form_.color, nullptr, &color)))
        color = RGB(255, 0, 0);
    activex::UniqueGdiObject back(CreateSolidBrush(color));
    FillRect(dc, &bounds, static_cast<HBRUSH>(back.get()));
    // lblNorvellix: " N " in white Cambria of height -25 on red, at the corner.
    RECT label{bounds.left, bounds.top, bounds.left + 27, bounds.top + 30};
    activex::UniqueGdiObject red(CreateSolidBrush(RGB(255, 0, 0)));
    FillRect(dc, &label, static_cast<HBRUSH>(red.get()));
    activex::UniqueGdiObject font(CreateFontW(
        -25, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, TURKISH_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Cambria"));
    HGDIOBJ old = SelectObject(dc, font.get());
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, L" N ", 3, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
}

// ---- Properties

HRESULT NorvellixComponentControl::get_Visible(VARIANT_BOOL* Value) {
    return getBool(Value, form_.visible);
}
HRESULT NorvellixComponentControl::put_Visible(VARIANT_BOOL Value) {
    form_.visible = Value != 0;
    if (HWND w = controlWindow())
        ShowWindow(w, form_.visible ? SW_SHOWNA : SW_HIDE);
    return S_OK;
}
HRESULT NorvellixComponentControl::get_AutoScroll(VARIANT_BOOL* Value) {
    return getBool(Value, form_.autoScroll);
}
HRESULT NorvellixComponentControl::put_AutoScroll(VARIANT_BOOL Value) {
    form_.autoScroll = Value != 0;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_AutoSize(VARIANT_BOOL* Value) {
    return getBool(Value, form_.autoSize);
}
HRESULT NorvellixComponentControl::put_AutoSize(VARIANT_BOOL Value) {
    form_.autoSize = Value != 0;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_AxBorderStyle(TxActiveFormBorderStyle* Value) {
    return getValue(Value, form_.borderStyle);
}
HRESULT NorvellixComponentControl::put_AxBorderStyle(TxActiveFormBorderStyle Value) {
    if (Value < afbNone || Value > afbRaised)
        return E_INVALIDARG;
    form_.borderStyle = Value;
    showForm();
    return S_OK;
}
HRESULT NorvellixComponentControl::get_Caption(BSTR* Value) {
    return getText(Value, form_.caption);
}
HRESULT NorvellixComponentControl::put_Caption(BSTR Value) {
    return setText(form_.caption, Value);
}
HRESULT NorvellixComponentControl::get_Color(OLE_COLOR* Value) {
    return getValue(Value, form_.color);
}
HRESULT NorvellixComponentControl::put_Color(OLE_COLOR Value) {
    form_.color = Value;
    showForm();
    return S_OK;
}
HRESULT NorvellixComponentControl::get_Font(IFontDisp** Value) {
    if (!Value)
        return E_POINTER;
    *Value = font_.get();
    if (*Value)
        (*Value)->AddRef();
    return S_OK;
}
HRESULT NorvellixComponentControl::put_Font(IFontDisp* Value) {
    if (!Value)
        return E_INVALIDARG;
    // The form takes a copy of the font's settings.
    activex::ComPtr<IFont> given;
    if (FAILED(Value->QueryInterface(IID_IFont, given.putVoid())))
        return E_INVALIDARG;
    activex::ComPtr<IFont> copy;
    HRESULT hr = given->Clone(copy.put());
    if (FAILED(hr))
        return hr;
    activex::ComPtr<IFontDisp> disp;
    hr = copy->QueryInterface(IID_IFontDisp, disp.putVoid());
    if (SUCCEEDED(hr))
        font_ = std::move(disp);
    return hr;
}
HRESULT NorvellixComponentControl::putref_Font(IFontDisp* Value) {
    return put_Font(Value);
}
HRESULT NorvellixComponentControl::get_KeyPreview(VARIANT_BOOL* Value) {
    return getBool(Value, form_.keyPreview);
}
HRESULT NorvellixComponentControl::put_KeyPreview(VARIANT_BOOL Value) {
    form_.keyPreview = Value != 0;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_PixelsPerInch(LONG* Value) {
    return getValue(Value, form_.pixelsPerInch);
}
HRESULT NorvellixComponentControl::put_PixelsPerInch(LONG Value) {
    if (Value <= 0)
        return E_INVALIDARG;
    form_.pixelsPerInch = Value;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_PrintScale(TxPrintScale* Value) {
    return getValue(Value, form_.printScale);
}
HRESULT NorvellixComponentControl::put_PrintScale(TxPrintScale Value) {
    form_.printScale = Value;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_Scaled(VARIANT_BOOL* Value) {
    return getBool(Value, form_.scaled);
}
HRESULT NorvellixComponentControl::put_Scaled(VARIANT_BOOL Value) {
    form_.scaled = Value != 0;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_Active(VARIANT_BOOL* Value) {
    return getBool(Value, inPlaceActive());
}
HRESULT NorvellixComponentControl::get_DropTarget(VARIANT_BOOL* Value) {
    return getBool(Value, form_.dropTarget);
}
HRESULT NorvellixComponentControl::put_DropTarget(VARIANT_BOOL Value) {
    form_.dropTarget = Value != 0;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_HelpFile(BSTR* Value) {
    return getText(Value, form_.helpFile);
}
HRESULT NorvellixComponentControl::put_HelpFile(BSTR Value) {
    return setText(form_.helpFile, Value);
}
HRESULT NorvellixComponentControl::get_ScreenSnap(VARIANT_BOOL* Value) {
    return getBool(Value, form_.screenSnap);
}
HRESULT NorvellixComponentControl::put_ScreenSnap(VARIANT_BOOL Value) {
    form_.screenSnap = Value != 0;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_SnapBuffer(LONG* Value) {
    return getValue(Value, form_.snapBuffer);
}
HRESULT NorvellixComponentControl::put_SnapBuffer(LONG Value) {
    form_.snapBuffer = Value;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_DoubleBuffered(VARIANT_BOOL* Value) {
    return getBool(Value, form_.doubleBuffered);
}
HRESULT NorvellixComponentControl::put_DoubleBuffered(VARIANT_BOOL Value) {
    form_.doubleBuffered = Value != 0;
    return S_OK;
}
HRESULT NorvellixComponentControl::get_AlignDisabled(VARIANT_BOOL* Value) {
    return getBool(Value, false);
}
HRESULT NorvellixComponentControl::get_VisibleDockClientCount(LONG* Value) {
    return getValue(Value, LONG{0});
}
HRESULT NorvellixComponentControl::get_Enabled(VARIANT_BOOL* Value) {
    return getBool(Value, form_.enabled);
}
HRESULT NorvellixComponentControl::put_Enabled(VARIANT_BOOL Value) {
    form_.enabled = Value != 0;
    showForm();
    return S_OK;
}

} // namespace component::com
