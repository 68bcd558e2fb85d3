#include "fuzz/decoder_checks.h"

#include "fuzz/check.h"

#include <algorithm>
#include <string>

namespace fuzz {

namespace {

bool allDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number without sign or leading zeros, in lo..hi.
bool isNumberIn(std::string_view s, int lo, int hi) {
    if (s.empty() || s.size() > 3 || !allDigits(s) || (s.size() > 1 && s[0] == '0'))
        return false;
    const int v = std::stoi(std::string(s));
    return v >= lo && v <= hi;
}

// The date-and-time part of the message text; counts its digits into `digits`.
// Digit k (1-based) as read: month tens at 1, day tens at 3, hour tens at 5 and
// minute tens at 7; from the sixth digit on the first six are shown as
// "dd.mm hh:", so day tens, month tens and hour tens move to characters 0, 3 and 6.
bool isDateTimeText(std::string_view t, int& digits) {
    if (t.size() < 9 || t[2] != '.') {
        digits = static_cast<int>(t.size());
        return t.size() <= 5 && allDigits(t) && (t.size() < 1 || t[0] <= '1') &&
               (t.size() < 3 || t[2] <= '3') && (t.size() < 5 || t[4] <= '2');
    }
    const std::string_view head = t.substr(0, 9), tail = t.substr(9);
    const bool laidOut = head[5] == ' ' && head[8] == ':' && allDigits(head.substr(0, 2)) &&
                         allDigits(head.substr(3, 2)) && allDigits(head.substr(6, 2));
    digits = 6 + static_cast<int>(tail.size());
    return laidOut && allDigits(tail) && head[0] <= '3' && head[3] <= '1' && head[6] <= '2' &&
           (tail.empty() || tail[0] <= '5');
}

} // namespace

void expectDigits(std::string_view number, int minimum, int maximum) {
    const int n = static_cast<int>(number.size());
    expect(allDigits(number) && n >= minimum && n <= maximum, [&] {
        return "expected " + std::to_string(minimum) + " to " + std::to_string(maximum) +
               " digits, got \"" + std::string(number) + "\"";
    });
}

void expectFixedFrameNumber(std::string_view number) {
    const bool eleven = number.size() == 11 && number[0] == '0';
    expect(allDigits(number) && (eleven || number.size() == 7), [&] {
        return "expected 11 digits beginning with 0 or 7 digits, got \"" + std::string(number) +
               "\"";
    });
}

void expectCountedFrameText(std::string_view text) {
    constexpr std::string_view tel = "Tel No: ", kafa = " Kafa: ", br = " BR: ";
    const auto k = text.find(kafa);
    const auto b = text.find(br);
    bool ok = text.substr(0, tel.size()) == tel && k != std::string_view::npos &&
              b != std::string_view::npos && k < b;
    if (ok) {
        const auto number = text.substr(tel.size(), k - tel.size());
        const auto offset = text.substr(k + kafa.size(), b - k - kafa.size());
        const auto pass = text.substr(b + br.size());
        ok = allDigits(number) && number.size() >= 3 && number.size() <= 13 &&
             isNumberIn(offset, 0, 66) && isNumberIn(pass, 0, 1);
    }
    expect(ok, [&] {
        return "expected \"Tel No: <3 to 13 digits> Kafa: <0..66> BR: <0|1>\", got \"" +
               std::string(text) + "\"";
    });
}

void expectMessageText(std::string_view text) {
    const auto slash = text.find(" / ");
    int dateDigits = 0;
    const bool ok = slash != std::string_view::npos &&
                    isDateTimeText(text.substr(0, slash), dateDigits) &&
                    allDigits(text.substr(slash + 3)) &&
                    dateDigits + static_cast<int>(text.size() - slash - 3) >= 14;
    expect(ok, [&] {
        return "expected \"<date and time> / <number>\" with at least 14 digits, got \"" +
               std::string(text) + "\"";
    });
}

} // namespace fuzz
