// What the test program's window does with the control's records, kept apart
// from the window: the text of a call's row, the counter's next text and the
// list's length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace testprogram {

// The list keeps the newest calls only, newest on top.
inline constexpr std::size_t kMaxCallRows = 10;

// serial, line, date, time and number, three blanks between each two.
std::wstring callRow(std::wstring_view serial, std::wstring_view line, std::wstring_view date,
                     std::wstring_view time, std::wstring_view number);

// The counter's text after one more call: the numeric value of its text (the
// number at its start, blanks ignored, 0 when there is none) plus one, written
// without a leading blank.
std::wstring nextCallCount(std::wstring_view counterText);

} // namespace testprogram
