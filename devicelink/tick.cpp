// The supervision tick's report reads.
#include "devicelink/tick.h"

namespace devicelink {

bool readReportInTick(HIDmodule& link, int device, LostThisTick& lost) {
    bool& gone = lost[device - 1];
    bool& detected = link.slot(device).DeviceDetected;
    if (!gone && !link.CanRead(device)) {
        detected = false;
        gone = true;
    }
    if (gone)
        return false;
    const bool before = detected;
    if (device == 1)
        link.ReadInputReport1();
    else
        link.ReadInputReport2();
    gone = (before && !detected) || !link.CanRead(device);
    return !gone;
}

} // namespace devicelink
