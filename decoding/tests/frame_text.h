// Bit texts of asynchronous characters for decoder tests: start bit "0", eight
// data bits least significant first, stop bit "1".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace decoding::testing {

inline std::string character(std::uint8_t byte) {
    std::string t = "0";
    for (int i = 0; i < 8; ++i)
        t += ((byte >> i) & 1) ? '1' : '0';
    return t + "1";
}

inline std::string characters(std::string_view text) {
    std::string t;
    for (char c : text)
        t += character(static_cast<std::uint8_t>(c));
    return t;
}

inline std::string marks(int n) {
    return std::string(static_cast<std::size_t>(n), '1');
}

// The calling-number parameter: type 0x02, the length character, the digits.
inline std::string numberParameter(std::string_view digits, int length) {
    return character(0x02) + character(static_cast<std::uint8_t>(length)) + characters(digits);
}
inline std::string numberParameter(std::string_view digits) {
    return numberParameter(digits, static_cast<int>(digits.size()));
}

// A single-data message from its type on: type 0x04, the length character (the date
// and time and the digits, unless given), the eight date-and-time digits, the digits.
inline std::string singleDataMessage(std::string_view dateTime, std::string_view digits,
                                     int length) {
    return character(0x04) + character(static_cast<std::uint8_t>(length)) + characters(dateTime) +
           characters(digits);
}
inline std::string singleDataMessage(std::string_view dateTime, std::string_view digits) {
    return singleDataMessage(dateTime, digits, static_cast<int>(dateTime.size() + digits.size()));
}

// lead marks, then text, then marks up to size characters (cut at size).
inline std::string placed(int lead, const std::string& text, int size) {
    std::string t = marks(lead) + text;
    if (static_cast<int>(t.size()) < size)
        t += marks(size - static_cast<int>(t.size()));
    return t.substr(0, static_cast<std::size_t>(size));
}

} // namespace decoding::testing
