// UTF-8 <-> UTF-16 over the Windows code-page calls, and the locale's texts of now.
#include "platform/windows/wide_text.h"

#include <climits>
#include <stdexcept>
#include <windows.h>

namespace platform {

std::wstring utf8ToWide(std::string_view utf8) {
    if (utf8.empty())
        return {};
    if (utf8.size() > INT_MAX)
        throw std::length_error("utf8ToWide: text too long");
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string wideToUtf8(std::wstring_view wide) {
    if (wide.empty())
        return {};
    if (wide.size() > INT_MAX)
        throw std::length_error("wideToUtf8: text too long");
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
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
