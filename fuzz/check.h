// What a fuzz target asserts. A property that does not hold is reported as
// "expected X, got Y" on stderr and ends the program with abort(), which libFuzzer
// counts as a finding (it keeps the input) and a replay run as a failed test.
#pragma once

#include <string>

namespace fuzz {

[[noreturn]] void fail(const std::string& message);

// `describe` builds the message only when the property fails.
template <typename Describe> void expect(bool holds, Describe describe) {
    if (!holds)
        fail(describe());
}

} // namespace fuzz
