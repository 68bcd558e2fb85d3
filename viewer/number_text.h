// How the viewer reads a number from a text box and writes one back: the number
// at the start of the text, and plain decimal text; a number that becomes an
// array index is rounded to the nearest whole number, halves to the even one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace viewer {

// The number at the start of text: an optional sign, digits and one "." as the
// decimal point, blanks (spaces, tabs, line breaks) ignored wherever they stand.
// A text that does not start with a number reads as 0; "12abc" reads as 12.
double readNumber(std::string_view text);

// Plain decimal text: 42 gives "42", 12.5 gives "12.5", never an exponent.
std::string writeNumber(double value);

// The nearest whole number, halves to the even neighbour (12.5 gives 12, 13.5
// gives 14).
double roundHalfEven(double value);

// roundHalfEven(value) as an index when it lies in 0..upperBound, otherwise none.
std::optional<int> indexIn(double value, int upperBound);

} // namespace viewer
