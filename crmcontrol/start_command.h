// The start command that a newly seen caller-ID device is sent, and the filler that
// is drawn anew for every write. The CRM control and the recorder send the same one.
#pragma once

#include "devicelink/hid_module.h"

#include <functional>

namespace crmcontrol {

// Writes the command's fixed bytes (payload indexes 0..10 and 56..63) into `out`
// and draws its filler; byte 64 is left as it is.
void BuildStartCommand(devicelink::ReportBuffer& out, const std::function<double()>& rnd);

// Draws the 45 filler bytes (indexes 11..55), each Int(r * 255 + 1) for the next
// r in [0, 1) from `rnd`, so 1..255; the other bytes stay as they are.
void DrawStartCommandFiller(devicelink::ReportBuffer& out, const std::function<double()>& rnd);

} // namespace crmcontrol
