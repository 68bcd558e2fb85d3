#include "devicelink/path_serial.h"

#include <string_view>

namespace devicelink {

namespace {

// Source of the leading "0" characters of a short path serial.
constexpr std::string_view kFillText = "00000000";
// The serial of no device.
constexpr std::string_view kNoDevice = "0";

} // namespace

std::string PathSerial(const std::string& path) {
    if (path.empty())
        return std::string(kNoDevice);
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
    // Not a path of these devices: no serial, so no device is named after it.
    if (third == std::string::npos)
        return std::string(kNoDevice);
    std::string serial = path.substr(second + 1, third - second - 1);
    if (serial.size() < kFillText.size())
        serial.insert(0, kFillText.substr(0, kFillText.size() - serial.size()));
    return serial;
}

} // namespace devicelink
