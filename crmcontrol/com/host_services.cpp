// Date, time and random numbers from the Windows host.
#include "crmcontrol/com/host_services.h"

#include "platform/windows/wide_text.h"

#include <windows.h>

namespace crmcontrol::com {

WindowsHostServices::WindowsHostServices() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    // Milliseconds since midnight, as the run time's timer counts.
    state_ = ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
    state_ &= 0xFFFFFF;
}

std::string WindowsHostServices::dateText() {
    return platform::localeShortDate();
}

std::string WindowsHostServices::timeText() {
    return platform::localeLongTime();
}

double WindowsHostServices::Rnd() {
    // The run time's 24-bit linear congruential generator.
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return state_ / 16777216.0;
}

} // namespace crmcontrol::com
