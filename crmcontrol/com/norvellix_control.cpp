// The Norvellix control: methods, timer, events, size and face.
#include "crmcontrol/com/norvellix_control.h"

#include "crmcontrol/com/device_link_share.h"
#include "platform/windows/handles.h"

namespace crmcontrol::com {
namespace {

constexpr LONG kSizeTwips = 336;
constexpr UINT kTimer1IntervalMs = 1;

// OLEMISC_SETCLIENTSITEFIRST | NOUIACTIVATE | INVISIBLEATRUNTIME |
// ACTIVATEWHENVISIBLE | INSIDEOUT | CANTLINKINSIDE | RECOMPOSEONRESIZE.
constexpr DWORD kMiscStatus = 148881;
static_assert(kMiscStatus ==
              (OLEMISC_SETCLIENTSITEFIRST | OLEMISC_NOUIACTIVATE | OLEMISC_INVISIBLEATRUNTIME |
               OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
               OLEMISC_RECOMPOSEONRESIZE));

enum EventId : DISPID { kOnCallerID = 1, kOnDeviceConnection = 2, kOnDeviceDisconnected = 3 };

} // namespace

const activex::ControlClass NorvellixControl::kClass{
    &CLSID_Norvellix,
    &IID__Norvellix,
    &DIID___Norvellix,
    activex::ConnectionPoint::kAnyNumber,
    kMiscStatus,
    {activex::twipsToHimetric(kSizeTwips), activex::twipsToHimetric(kSizeTwips)}};

NorvellixControl::NorvellixControl()
    : Control(kClass), link_(threadDeviceLink()),
      core_(std::make_unique<CrmControl>(*link_, static_cast<ControlEvents&>(*this), host_)),
      Timer1_(kTimer1IntervalMs, [this] { Timer1_Timer(); }) {}

NorvellixControl::~NorvellixControl() {
    UserControl_Terminate();
}

void NorvellixControl::UserControl_Terminate() noexcept {
    Timer1_.setEnabled(false);
    // Termination closes the handles and raises nothing; a failure here has
    // nowhere to go (the host has already let the control go).
    activex::comGuard([&] { core_->UserControl_Terminate(); });
}

HRESULT NorvellixControl::syncTimer() noexcept {
    const HRESULT hr = Timer1_.setEnabled(core_->timerEnabled());
    if (FAILED(hr))
        core_->G_Stop(); // the timer did not start: the control stays stopped
    return hr;
}

HRESULT NorvellixControl::G_Start() {
    activex::ComPtr<IUnknown> keep(identity()); // an event handler may release the control
    return activex::comGuard([&] {
        core_->G_Start();
        return syncTimer();
    });
}

HRESULT NorvellixControl::G_Stop() {
    activex::ComPtr<IUnknown> keep(identity()); // an event handler may release the control
    return activex::comGuard([&] {
        core_->G_Stop();
        return syncTimer();
    });
}

HRESULT NorvellixControl::G_Reset() {
    activex::ComPtr<IUnknown> keep(identity()); // an event handler may release the control
    return activex::comGuard([&] {
        core_->G_Reset();
        return syncTimer();
    });
}

void NorvellixControl::Timer1_Timer() {
    // An event handler may release the control; it stays alive for this tick.
    activex::ComPtr<IUnknown> keep(identity());
    // A failing tick is dropped; the next tick starts afresh.
    activex::comGuard([&] { core_->Timer1_Timer(); });
    syncTimer();
}

SIZEL NorvellixControl::constrainExtent(SIZEL) {
    const LONG side = activex::twipsToHimetric(kSizeTwips);
    return {side, side};
}

void NorvellixControl::paintFace(HDC dc, const RECT& bounds) {
    // Label1: bold white letters on red, in Cambria (the system substitutes a
    // face where it is missing).
    platform::UniqueGdiObject red(CreateSolidBrush(RGB(255, 0, 0)));
    FillRect(dc, &bounds, static_cast<HBRUSH>(red.get()));
    const int height = (bounds.bottom - bounds.top) * 3 / 4;
    platform::UniqueGdiObject font(CreateFontW(
        -height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Cambria"));
    HGDIOBJ old = SelectObject(dc, font.get());
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT r = bounds;
    DrawTextW(dc, L"N", 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
}

void NorvellixControl::OnCallerID(std::string& DeviceSerialNumber, std::string& LineNumber,
                                  std::string& CallDate, std::string& CallTime,
                                  std::string& PhoneNumber) {
    activex::EventArgs args;
    args.addBstrRef(DeviceSerialNumber);
    args.addBstrRef(LineNumber);
    args.addBstrRef(CallDate);
    args.addBstrRef(CallTime);
    args.addVariantRef(PhoneNumber);
    fire(kOnCallerID, args);
}

void NorvellixControl::OnDeviceConnection(std::string& DeviceSerialNumber_1,
                                          std::string& DeviceSerialNumber_2) {
    activex::EventArgs args;
    args.addBstrRef(DeviceSerialNumber_1);
    args.addBstrRef(DeviceSerialNumber_2);
    fire(kOnDeviceConnection, args);
}

void NorvellixControl::OnDeviceDisconnected(std::string& DeviceSerialNumber_1,
                                            std::string& DeviceSerialNumber_2) {
    activex::EventArgs args;
    args.addBstrRef(DeviceSerialNumber_1);
    args.addBstrRef(DeviceSerialNumber_2);
    fire(kOnDeviceDisconnected, args);
}

} // namespace crmcontrol::com
