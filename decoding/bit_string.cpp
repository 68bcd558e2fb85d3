#include "decoding/bit_string.h"

#include <bit>

namespace decoding {

namespace {

constexpr int kWords = BitString::kWords;

// Bits i .. i + 63 of a word array (zero beyond its end), for i >= 0.
template <std::size_t N> std::uint64_t wordAt(const std::array<std::uint64_t, N>& w, int i) {
    const int q = i >> 6;
    const int r = i & 63;
    if (q >= static_cast<int>(N))
        return 0;
    const std::uint64_t low = w[q] >> r;
    if (r == 0 || q + 1 >= static_cast<int>(N))
        return low;
    return low | (w[q + 1] << (64 - r));
}

} // namespace

BitString BitString::fromText(std::string_view text) {
    BitString s;
    const std::size_t n = text.size() < kCapacity ? text.size() : kCapacity;
    for (std::size_t i = 0; i < n; ++i)
        s.push(text[i] == '1');
    return s;
}

void BitString::clear() {
    words_.fill(0);
    size_ = 0;
}

void BitString::assignPart(const BitString& source, int skip, int count) {
    for (int w = 0; w < kWords; ++w) {
        const int first = 64 * w;
        std::uint64_t bits = first < count ? wordAt(source.words_, skip + first) : 0;
        if (count - first < 64 && count - first > 0)
            bits &= (std::uint64_t{1} << (count - first)) - 1;
        words_[w] = bits;
    }
    words_[kWords] = 0;
    size_ = count;
}

bool BitString::matches(int pos, const Pattern& p) const {
    if (pos < 1 || pos + p.length - 1 > size_)
        return false;
    return field(pos, p.length) == p.bits;
}

bool BitString::matchesClipped(int pos, const Pattern& p) const {
    if (pos >= 1)
        return matches(pos, p);
    const int skip = 1 - pos;
    const int kept = p.length - skip;
    if (kept < 1 || kept > size_)
        return false;
    return field(1, kept) == ((p.bits >> skip) & ((std::uint64_t{1} << kept) - 1));
}

std::uint64_t BitString::field(int pos, int count) const {
    const std::uint64_t v = wordAt(words_, pos - 1);
    return count >= 64 ? v : v & ((std::uint64_t{1} << count) - 1);
}

std::string BitString::text() const {
    std::string t(static_cast<std::size_t>(size_), '0');
    for (int pos = 1; pos <= size_; ++pos)
        t[pos - 1] = at(pos);
    return t;
}

PositionSet BitString::positionsOf(const Pattern& p) const {
    PositionSet set;
    const int starts = size_ - p.length + 1; // positions 1..starts can hold the pattern
    if (starts <= 0)
        return set;
    const int used = (starts + 63) / 64;
    for (int w = 0; w < used; ++w)
        set.words_[w] = ~std::uint64_t{0};
    for (int j = 0; j < p.length; ++j) {
        // Characters "0" of the pattern match where the string holds a 0.
        const std::uint64_t flip = ((p.bits >> j) & 1) ? 0 : ~std::uint64_t{0};
        for (int w = 0; w < used; ++w) {
            // Bits 64w + j .. 64w + j + 63; the spare word keeps w + 1 in range.
            const std::uint64_t shifted =
                j == 0 ? words_[w] : (words_[w] >> j) | (words_[w + 1] << (64 - j));
            set.words_[w] &= shifted ^ flip;
        }
    }
    // Starts too late for the whole pattern are no matches.
    const int tail = starts - 64 * (used - 1);
    if (tail < 64)
        set.words_[used - 1] &= (std::uint64_t{1} << tail) - 1;
    return set;
}

PositionSet PositionSet::before(int k) const {
    PositionSet r;
    for (int w = 0; w <= kWords; ++w)
        r.words_[w] = wordAt(words_, 64 * w + k);
    return r;
}

PositionSet PositionSet::operator&(const PositionSet& o) const {
    PositionSet r;
    for (int w = 0; w <= kWords; ++w)
        r.words_[w] = words_[w] & o.words_[w];
    return r;
}

PositionSet PositionSet::operator|(const PositionSet& o) const {
    PositionSet r;
    for (int w = 0; w <= kWords; ++w)
        r.words_[w] = words_[w] | o.words_[w];
    return r;
}

int PositionSet::firstIn(int first, int last) const {
    if (first < 1)
        first = 1;
    if (last > BitString::kCapacity)
        last = BitString::kCapacity;
    for (int i = first - 1; i <= last - 1;) {
        const std::uint64_t w = words_[i >> 6] >> (i & 63);
        if (w != 0) {
            const int found = i + std::countr_zero(w);
            return found <= last - 1 ? found + 1 : 0;
        }
        i = (i | 63) + 1;
    }
    return 0;
}

} // namespace decoding
