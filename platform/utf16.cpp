#include "platform/utf16.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
}

// The range the second byte of a sequence must lie in, given its lead byte: the
// narrower ranges exclude overlong forms, surrogates and values above U+10FFFF.
struct Lead {
    int continuations;
    unsigned char secondLow, secondHigh;
};
Lead leadOf(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF)
        return {1, 0x80, 0xBF};
    if (b == 0xE0)
        return {2, 0xA0, 0xBF};
    if (b == 0xED)
        return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF)
        return {2, 0x80, 0xBF};
    if (b == 0xF0)
        return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3)
        return {3, 0x80, 0xBF};
    if (b == 0xF4)
        return {3, 0x80, 0x8F};
    return {0, 0, 0}; // a continuation byte or a byte that never begins a sequence
}

} // namespace

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i++]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            continue;
        }
        const Lead lead = leadOf(b);
        if (lead.continuations == 0) {
            out += static_cast<char16_t>(kReplacement);
            continue;
        }
        char32_t c = b & (0x3F >> lead.continuations);
        bool whole = true;
        for (int k = 0; k < lead.continuations; ++k) {
            const unsigned char low = k == 0 ? lead.secondLow : 0x80;
            const unsigned char high = k == 0 ? lead.secondHigh : 0xBF;
            const auto next = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
            if (i >= text.size() || next < low || next > high) {
                whole = false; // the bytes so far are one ill-formed part; `next` starts anew
                break;
            }
            c = (c << 6) | (next & 0x3F);
            ++i;
        }
        appendUtf16(out, whole ? c : kReplacement);
    }
    return out;
}

} // namespace platform
