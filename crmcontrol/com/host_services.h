// The host services of the CRM control on Windows: the date and time as text in
// the system's formats and the run time's random numbers.
#pragma once

#include "crmcontrol/control_events.h"

#include <cstdint>

namespace crmcontrol::com {

class WindowsHostServices final : public HostServices {
public:
    // The generator is seeded from the time of day.
    WindowsHostServices();

    std::string dateText() override; // the short date format of the user's locale
    std::string timeText() override; // the (long) time format of the user's locale
    double Rnd() override;

private:
    std::uint32_t state_;
};

} // namespace crmcontrol::com
