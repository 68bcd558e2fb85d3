// What the decoders of the system may return, checked the same way by every
// target that reaches one: digit texts of the lengths the frames allow, and the
// viewer's two result texts.
#pragma once

#include <string_view>

namespace fuzz {

// Digits only, minimum to maximum of them.
void expectDigits(std::string_view number, int minimum, int maximum);

// The CRM control's fixed frames: 11 digits beginning with "0", or 7 digits.
void expectFixedFrameNumber(std::string_view number);

// The viewer's counted-frame text: "Tel No: " and 3 to 13 digits, " Kafa: " and
// the start offset 0..66, " BR: " and the pass 0 or 1.
void expectCountedFrameText(std::string_view text);

// The viewer's whole-message text: the date and time as read, " / ", the number.
// The date-and-time digits are laid out "dd.mm hh:" from the sixth on, with the
// tens of month, day, hour and minute in their ranges; the message length, at
// least 18, counts both runs of digits and four more, so there are at least 14.
void expectMessageText(std::string_view text);

} // namespace fuzz
