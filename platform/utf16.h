// UTF-8, the portable core's texts, to and from UTF-16, the platform's wide texts
// (device strings, window texts, BSTRs): the one conversion of the project, which
// the Windows shells reach through platform/windows/wide_text.h. Invalid input is
// replaced by U+FFFD, never dropped.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
// Each maximal part of an ill-formed sequence becomes one U+FFFD (overlong forms,
// surrogates and values above U+10FFFF are ill-formed).
std::u16string utf8ToUtf16(std::string_view text);

} // namespace platform
