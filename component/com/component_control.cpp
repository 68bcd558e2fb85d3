// The Norvellix_Component control: the form's properties, its face and its events.
#include "component/com/component_control.h"

#include "activex/com_ptr.h"
#include "backend/process_api.h"
#include "platform/windows/handles.h"

#include <memory>
#include <olectl.h>

namespace component::com {
namespace {

// The designed size of the form, 136 x 69 pixels.
constexpr LONG kWidthHimetric = activex::formPixelsToHimetric(136);
constexpr LONG kHeightHimetric = activex::formPixelsToHimetric(69);

enum EventId : DISPID { kOnCallerID = 209, kOnDeviceConnection = 210, kOnDeviceDisconnected = 211 };

activex::FormSettings componentForm() {
    activex::FormSettings form;
    form.caption = L"Norvellix";
    form.color = 0x0000FF; // red
    return form;
}

} // namespace

const activex::ControlClass NorvellixComponentControl::kClass{
    &CLSID_Norvellix_Component,
    &IID_INorvellix_Component,
    &DIID_INorvellix_ComponentEvents,
    1, // one sink; a second advise is refused with CONNECT_E_ADVISELIMIT
    activex::kActiveFormMiscStatus,
    {kWidthHimetric, kHeightHimetric}};

NorvellixComponentControl::NorvellixComponentControl()
    : FormControl(kClass, componentForm(), L"Cambria"),
      // The core's events are raised from the thread's windows (device changes and
      // hand-overs), and a host may release the control in its handler: the control
      // stays alive until that window's message is done.
      ui_([this] { return std::make_shared<activex::ComPtr<IUnknown>>(identity()); }),
      core_(std::make_unique<TNorvellix_Component>(backend::processApi(), ui_,
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

void NorvellixComponentControl::paintFace(HDC dc, const RECT& bounds) {
    if (!form().visible)
        return;
    COLORREF color = RGB(255, 0, 0);
    if (FAILED(OleTranslateColor(form().color, nullptr, &color)))
        color = RGB(255, 0, 0);
    platform::UniqueGdiObject back(CreateSolidBrush(color));
    FillRect(dc, &bounds, static_cast<HBRUSH>(back.get()));
    // lblNorvellix: " N " in white Cambria of height -25 on red, at the corner.
    RECT label{bounds.left, bounds.top, bounds.left + 27, bounds.top + 30};
    platform::UniqueGdiObject red(CreateSolidBrush(RGB(255, 0, 0)));
    FillRect(dc, &label, static_cast<HBRUSH>(red.get()));
    platform::UniqueGdiObject font(CreateFontW(
        -25, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, TURKISH_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Cambria"));
    HGDIOBJ old = SelectObject(dc, font.get());
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, L" N ", 3, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
}

} // namespace component::com
