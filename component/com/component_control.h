// The COM shell of the caller-ID component: the ActiveX control Norvellix_Component
// over component::TNorvellix_Component. It has no method; its interface carries the
// form's properties, and its events reach at most one sink.
#pragma once

#include "Norvellix1C.h"
#include "activex/form_control.h"
#include "component/norvellix_component.h"
#include "hidcontroller/windows/window_ui_thread.h"
#include "platform/windows/wide_text.h"

#include <memory>
#include <string>

namespace component::com {

class NorvellixComponentControl final
    : public activex::FormControl<NorvellixComponentControl, INorvellix_Component,
                                  TxActiveFormBorderStyle, TxPrintScale>,
      private ComponentEvents,
      private ComponentHost {
public:
    static const activex::ControlClass kClass;

    NorvellixComponentControl();
    ~NorvellixComponentControl() override;

private:
    void paintFace(HDC dc, const RECT& bounds) override;

    void OnCallerID(const CallerIdRecord& call) override;
    void OnDeviceConnection(const std::string& DevSerialNo) override;
    void OnDeviceDisconnected(const std::string& DevSerialNo) override;
    std::string dateText() override { return platform::localeShortDate(); }
    std::string timeText() override { return platform::localeLongTime(); }
    std::uint32_t randomSeed() override;

    hidcontroller::WindowUiThread ui_;
    std::unique_ptr<TNorvellix_Component> core_;
};

} // namespace component::com
