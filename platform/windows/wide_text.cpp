// UTF-8 <-> UTF-16 for the Windows shells, and the locale's texts of now.
#include "platform/windows/wide_text.h"

#include "platform/utf16.h"

#include <windows.h>

namespace platform {

// wchar_t is UTF-16 on Windows: the portable conversion serves both directions.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring utf8ToWide(std::string_view utf8) {
    const std::u16string wide = utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string wideToUtf8(std::wstring_view wide) {
    return utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::string localeShortDate() {
    wchar_t text[128] = {};
    const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 128);
    return n > 0 ? wideToUtf8(text) : std::string();
}

std::string localeLongTime() {
    wchar_t text[128] = {};
    const int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, 128);
    return n > 0 ? wideToUtf8(text) : std::string();
}

} // namespace platform
