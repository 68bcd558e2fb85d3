// A device's serial number as the CRM control and the recorder name it: taken from
// the interface path under which the device link opened it.
#pragma once

#include <string>

namespace devicelink {

// The text between the second and third "&" of the path, padded with leading "0" to
// eight characters; "0" (no device) for an empty path or one without three "&".
std::string PathSerial(const std::string& path);

} // namespace devicelink
