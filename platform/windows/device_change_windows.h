// The simulated bus's device-change broadcast as Windows delivers it: WM_DEVICECHANGE
// with DBT_DEVNODES_CHANGED posted to every top-level window of this process (hidden
// ones included, as the controller's notification window is one).
#pragma once

namespace platform {

void postDeviceChangeToProcessWindows();

} // namespace platform
