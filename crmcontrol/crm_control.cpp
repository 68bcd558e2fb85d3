// The CRM control's tick and methods over the device link's module state.
#include "crmcontrol/crm_control.h"

#include <string_view>

namespace crmcontrol {

namespace {
// Source of the leading "0" characters of a short path serial.
constexpr std::string_view kFillText = "00000000";
} // namespace

CrmControl::CrmControl(devicelink::HIDmodule& link, ControlEvents& events, HostServices& host)
    : link_(link), events_(events), host_(host) {}

void CrmControl::G_Start() {
    timerEnabled_ = true;
}

void CrmControl::G_Stop() {
    timerEnabled_ = false;
}

void CrmControl::G_Reset() {}

void CrmControl::Timer1_Timer() {}

void CrmControl::UserControl_Terminate() {
    timerEnabled_ = false;
}

std::string CrmControl::PathSerial(const std::string& path) {
    if (path.empty())
        return "0";
    std::size_t second = std::string::npos;
    std::size_t third = std::string::npos;
    int ampersands = 0;
    // The last character is not examined.
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        if (path[i] != '&')
            continue;
        ++ampersands;
        if (ampersands == 2)
            second = i;
        else if (ampersands == 3)
            third = i;
    }
    if (third == std::string::npos)
        return "0";
    std::string serial = path.substr(second + 1, third - second - 1);
    if (serial.size() < 8)
        serial.insert(0, kFillText.substr(0, kFillText.size() - serial.size()));
    return serial;
}

} // namespace crmcontrol
