// UTF-8 <-> UTF-16 at the COM boundary: the portable code speaks UTF-8, COM
// speaks UTF-16 (BSTR, OLECHAR). Invalid input is replaced, never dropped.
#pragma once

#include <string>
#include <string_view>

namespace activex {

std::wstring utf8ToWide(std::string_view utf8);
std::string wideToUtf8(std::wstring_view wide);

} // namespace activex
