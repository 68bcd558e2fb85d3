// The two eight-character forms of a byte as "0"/"1" text: MSB-first (bit 7 in
// character 1; descramblers and sample masking) and LSB-first (bit 0 in
// character 1; the data bits of an asynchronous character in a bit string).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace signalpath {

// MSB-first text of n (0..255): 5 gives "00000101".
std::string DesimaldenBinarye(int n);

// Value of an LSB-first text of eight characters: "10100000" gives 5. Characters
// other than "0" count as their digit value, as the control's reader does; callers
// only pass eight "0"/"1" characters (shorter texts read as if padded with "0").
std::int16_t BinarydenDesimale(std::string_view lsbFirst);

} // namespace signalpath
