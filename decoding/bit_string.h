// A bit string of the decoders, one "0"/"1" character per tone window, held one
// bit per character so that frame patterns can be looked for at every position of
// a string at once. Positions count from 1, as the frame layouts do.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace decoding {

// A fixed text of "0"/"1" characters compared character for character.
struct Pattern {
    std::uint64_t bits = 0; // character j + 1 in bit j
    int length = 0;

    // Texts longer than 64 characters or holding other characters do not compile
    // when used in a constant expression.
    consteval explicit Pattern(std::string_view text) : length(static_cast<int>(text.size())) {
        if (text.empty() || text.size() > 64)
            throw "a pattern has 1 to 64 characters";
        for (std::size_t j = 0; j < text.size(); ++j) {
            if (text[j] == '1')
                bits |= std::uint64_t{1} << j;
            else if (text[j] != '0')
                throw "a pattern holds only 0 and 1";
        }
    }
};

class PositionSet;

class BitString {
public:
    // Enough for the longest bit pass of any decoder of the system (732 bits).
    static constexpr int kCapacity = 768;
    static constexpr int kWords = kCapacity / 64;

    BitString() = default;
    // Texts of other characters than "0" and "1" read those as "0"; longer ones are cut.
    static BitString fromText(std::string_view text);

    void clear();
    int size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Character at position pos (1..size()).
    bool bit(int pos) const {
        const int i = pos - 1;
        return (words_[i >> 6] >> (i & 63)) & 1;
    }
    char at(int pos) const { return bit(pos) ? '1' : '0'; }

    // True when the pattern stands at pos; a pattern that would reach outside the
    // string does not match.
    bool matches(int pos, const Pattern& p) const;
    // The same where the pattern may begin before the first character (pos below 1):
    // only its characters inside the string are compared, as in a string that starts
    // part-way into the pattern; at least one of them must be.
    bool matchesClipped(int pos, const Pattern& p) const;

    // The count characters from pos (count <= 64, all inside the string), character
    // pos in bit 0: the LSB-first reading of those characters.
    std::uint64_t field(int pos, int count) const;

    // The count characters from pos as text, written into out (count <= out.size()).
    template <std::size_t N>
    std::string_view text(int pos, int count, std::array<char, N>& out) const {
        for (int j = 0; j < count; ++j)
            out[j] = at(pos + j);
        return {out.data(), static_cast<std::size_t>(count)};
    }
    std::string text() const;

    // Every position at which the pattern stands.
    PositionSet positionsOf(const Pattern& p) const;

    // Appending, for the builders of bit passes.
    void push(bool one) {
        if (one)
            words_[size_ >> 6] |= std::uint64_t{1} << (size_ & 63);
        ++size_;
    }
    void setWord(int w, std::uint64_t bits) { words_[w] = bits; }
    // The count characters of source from position skip + 1 on (all inside it).
    void assignPart(const BitString& source, int skip, int count);
    void setSize(int n) { size_ = n; }

private:
    // One spare word so that reads across the last word need no test.
    std::array<std::uint64_t, kWords + 1> words_{};
    int size_ = 0;

    friend class PositionSet;
};

// A set of positions 1..BitString::kCapacity, as found by BitString::positionsOf.
class PositionSet {
public:
    // The positions p for which p + k is in this set (k >= 0).
    PositionSet before(int k) const;
    PositionSet operator&(const PositionSet& o) const;
    PositionSet operator|(const PositionSet& o) const;
    bool contains(int pos) const {
        const int i = pos - 1;
        return i >= 0 && i < BitString::kCapacity && ((words_[i >> 6] >> (i & 63)) & 1);
    }
    // The smallest position in first..last, or 0 when there is none.
    int firstIn(int first, int last) const;

private:
    std::array<std::uint64_t, BitString::kWords + 1> words_{};

    friend class BitString;
};

} // namespace decoding
