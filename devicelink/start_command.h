// The start command that a newly seen caller-ID device is sent, and the filler that
// is drawn anew for every write. The CRM control, the recorder and the caller-ID
// component send the same one; only the component draws its filler by another rule.
#pragma once

#include "devicelink/hid_module.h"

#include <functional>

namespace devicelink {

// How a filler byte is drawn from the next r in [0, 1): the CRM control and the
// recorder take Int(r * 255 + 1), so 1..255; the caller-ID component takes
// Int(r * 255), so 0..254.
enum class FillerRule { OneTo255, ZeroTo254 };

// Writes the command's fixed bytes (payload indexes 0..10 and 56..63) into `out`
// and draws its filler; byte 64 is left as it is.
void BuildStartCommand(ReportBuffer& out, const std::function<double()>& rnd,
                       FillerRule rule = FillerRule::OneTo255);

// Draws the 45 filler bytes (indexes 11..55) by the rule from `rnd`; the other
// bytes stay as they are.
void DrawStartCommandFiller(ReportBuffer& out, const std::function<double()>& rnd,
                            FillerRule rule = FillerRule::OneTo255);

} // namespace devicelink
