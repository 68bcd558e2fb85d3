// The COM shell of the CRM control: the ActiveX control Norvellix over the core
// crmcontrol::CrmControl. It owns Timer1 (a 1 ms timer on a window of the
// control) and turns the core's events into events of __Norvellix.
#pragma once

#include "Norvellix.h"
#include "activex/control.h"
#include "crmcontrol/com/host_services.h"
#include "crmcontrol/control_events.h"
#include "crmcontrol/crm_control.h"

#include <memory>

namespace crmcontrol::com {

class NorvellixControl final : public activex::Control<NorvellixControl, _Norvellix>,
                               private ControlEvents {
public:
    static const activex::ControlClass kClass;

    NorvellixControl(); // UserControl_Initialize
    ~NorvellixControl() override;

    HRESULT STDMETHODCALLTYPE G_Start() override;
    HRESULT STDMETHODCALLTYPE G_Stop() override;
    HRESULT STDMETHODCALLTYPE G_Reset() override;

private:
    // UserControl_Resize: Height, then Width, := 336 twips, whatever was asked.
    SIZEL constrainExtent(SIZEL wanted) override;
    void paintFace(HDC dc, const RECT& bounds) override;

    void Timer1_Timer();
    // Timer1.Enabled follows the core's flag.
    HRESULT syncTimer() noexcept;
    void UserControl_Terminate() noexcept;

    void OnCallerID(std::string& DeviceSerialNumber, std::string& LineNumber, std::string& CallDate,
                    std::string& CallTime, std::string& PhoneNumber) override;
    void OnDeviceConnection(std::string& DeviceSerialNumber_1,
                            std::string& DeviceSerialNumber_2) override;
    void OnDeviceDisconnected(std::string& DeviceSerialNumber_1,
                              std::string& DeviceSerialNumber_2) override;

    std::shared_ptr<devicelink::HIDmodule> link_;
    WindowsHostServices host_;
    std::unique_ptr<CrmControl> core_;
    activex::WindowTimer Timer1_;
};

} // namespace crmcontrol::com
