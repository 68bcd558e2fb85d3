// The supervision tick's report reads.
#include "devicelink/tick.h"

namespace devicelink {

bool readReportInTick(HIDmodule& link, int device, LostThisTick& lost) {
    bool& gone = lost[device - 1];
    if (gone)
        return false;
    bool& detected = device == 1 ? link.DeviceDetected_1 : link.DeviceDetected_2;
    const bool before = detected;
    if (device == 1)
        link.ReadInputReport1();
    else
        link.ReadInputReport2();
    gone = before && !detected;
    return !gone;
}

} // namespace devicelink
