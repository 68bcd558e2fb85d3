// UTF-8 <-> UTF-16 at the COM boundary: the portable code speaks UTF-8, COM
// speaks UTF-16 (BSTR, OLECHAR). The conversion is the platform layer's, which
// the programs' windows use too.
#pragma once

#include "platform/windows/wide_text.h"

namespace activex {

using platform::utf8ToWide;
using platform::wideToUtf8;

} // namespace activex
