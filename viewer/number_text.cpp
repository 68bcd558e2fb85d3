#include "viewer/number_text.h"

#include <charconv>
#include <cmath>

namespace viewer {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

double readNumber(std::string_view text) {
    // The number's characters without blanks, then one conversion, so that the
    // result is the double nearest to the decimal text.
    std::string number;
    bool point = false;
    bool digits = false;
    for (char c : text) {
        if (isBlank(c))
            continue;
        if (number.empty() && (c == '+' || c == '-')) {
            number += c;
        } else if (isDigit(c)) {
            number += c;
            digits = true;
        } else if (c == '.' && !point) {
            number += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    const bool negative = number.front() == '-';
    const std::size_t skip = (number.front() == '-' || number.front() == '+') ? 1 : 0;
    double value = 0.0;
    const char* first = number.data() + skip;
    const auto [end, error] = std::from_chars(first, number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range)
        value = HUGE_VAL; // more digits than a double holds: as large as it gets
    (void)end;
    return negative ? -value : value;
}

std::string writeNumber(double value) {
    if (value == 0.0)
        return "0"; // also for -0
    char text[400];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error != std::errc())
        return "0";
    return std::string(text, end);
}

double roundHalfEven(double value) {
    // The default rounding mode rounds halves to the even neighbour.
    return std::nearbyint(value);
}

std::optional<int> indexIn(double value, int upperBound) {
    const double r = roundHalfEven(value);
    if (!(r >= 0.0 && r <= static_cast<double>(upperBound)))
        return std::nullopt;
    return static_cast<int>(r);
}

} // namespace viewer
