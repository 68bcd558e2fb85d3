// The call list's texts.
#include "testprogram/call_list.h"

#include <cwctype>

namespace testprogram {

std::wstring callRow(std::wstring_view serial, std::wstring_view line, std::wstring_view date,
                     std::wstring_view time, std::wstring_view number) {
    constexpr std::wstring_view gap = L"   ";
    std::wstring row;
    for (std::wstring_view part : {serial, line, date, time}) {
        row += part;
        row += gap;
    }
    row += number;
    return row;
}

std::wstring nextCallCount(std::wstring_view counterText) {
    std::size_t i = 0;
    while (i < counterText.size() && (counterText[i] == L' ' || counterText[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < counterText.size() && (counterText[i] == L'-' || counterText[i] == L'+'))
        negative = counterText[i++] == L'-';
    long long value = 0;
    // The counter counts calls: it stops growing long before this bound.
    constexpr long long kBound = 1'000'000'000'000'000LL;
    for (; i < counterText.size() && std::iswdigit(counterText[i]) && value < kBound; ++i)
        value = value * 10 + (counterText[i] - L'0');
    return std::to_wstring((negative ? -value : value) + 1);
}

} // namespace testprogram
