#include "signalpath/bittext.h"

#include <algorithm>

namespace signalpath {

std::string DesimaldenBinarye(int n) {
    if (n == 0)
        return "00000000";
    std::string text;
    while (n > 0) {
        text.insert(text.begin(), static_cast<char>('0' + n % 2));
        n /= 2;
    }
    if (text.size() < 8)
        text.insert(0, 8 - text.size(), '0');
    return text;
}

std::int16_t BinarydenDesimale(std::string_view lsbFirst) {
    int value = 0;
    const std::size_t n = std::min<std::size_t>(8, lsbFirst.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char c = lsbFirst[i];
        if (c != '0' && c >= '0' && c <= '9')
            value += (c - '0') << i;
    }
    return static_cast<std::int16_t>(value);
}

} // namespace signalpath
