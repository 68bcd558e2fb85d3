// The texts the Windows shells take from the platform: UTF-8 (the portable
// core's) to and from UTF-16 (the platform's) as wchar_t texts, over the one
// conversion of platform/utf16.h, and the date and time of day in the user's
// locale. Invalid input is replaced, never dropped.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);

// Now, in the short date format and the (long) time format of the user's
// locale; empty when the platform gives no text.
std::string localeShortDate();
std::string localeLongTime();

} // namespace platform
