// The reading side of a fuzz target's input: bytes, numbers in a range, flags,
// lines of text and runs of bytes, taken from the front. A spent input reads as
// zeros and empty runs, so that every input is a valid one and a target never
// needs to refuse a short one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    std::size_t remaining() const { return bytes_.size() - at_; }

    std::uint8_t byte() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    bool flag() { return (byte() & 1) != 0; }
    std::uint16_t u16() {
        const unsigned low = byte();
        return static_cast<std::uint16_t>(low | (unsigned{byte()} << 8));
    }
    // lo..hi, from one byte when the range has at most 256 values, else two.
    int inRange(int lo, int hi) {
        const unsigned span = static_cast<unsigned>(hi - lo) + 1;
        const unsigned raw = span <= 256 ? byte() : u16();
        return lo + static_cast<int>(raw % span);
    }

    // The text up to the next line feed (which is passed over), or up to the end;
    // none once the input is spent.
    std::optional<std::string_view> line() {
        if (remaining() == 0)
            return std::nullopt;
        const auto rest = bytes_.subspan(at_);
        std::size_t n = 0;
        while (n < rest.size() && rest[n] != '\n')
            ++n;
        at_ += n < rest.size() ? n + 1 : n;
        return std::string_view(reinterpret_cast<const char*>(rest.data()), n);
    }

    // Up to n bytes.
    std::span<const std::uint8_t> take(std::size_t n) {
        const std::size_t k = n < remaining() ? n : remaining();
        const auto run = bytes_.subspan(at_, k);
        at_ += k;
        return run;
    }
    std::span<const std::uint8_t> rest() { return take(remaining()); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

} // namespace fuzz
