// The frames the decoders look for in a bit string: the patterns of the
// asynchronous characters (start bit "0", eight data bits least significant
// first, stop bit "1"), the counted frame of a calling number with its boundary
// checks and digits, and the rule by which two frames of one run agree.
#pragma once

#include "decoding/bit_string.h"

#include <optional>
#include <string>

namespace decoding {

// The character of byte 0x02, the calling-number parameter type.
inline constexpr Pattern NumberParameterPattern{"0010000001"};
// Data bits 4..7 of an ASCII digit (upper nibble 3), its stop bit and the start
// bit of the next character.
inline constexpr Pattern DigitBoundaryPattern{"110010"};
// Data bits 4..7 and the stop bit of the last digit character.
inline constexpr Pattern LastDigitTailPattern{"11001"};
// The whole character of ASCII "0".
inline constexpr Pattern LeadingZeroDigitPattern{"0000011001"};
// Ten mark bits in a row.
inline constexpr Pattern MarkRunPattern{"1111111111"};
// Ten mark bits, the character of byte 0x04 (the single-data message type) and the
// start bit of the length character.
inline constexpr Pattern SdmfHeaderPattern{"111111111100010000010"};

inline constexpr int kCharacterBits = 10;

// n digit characters laid out behind a parameter-type and a length character:
// 10n + 20 characters, frame position q at bit-string position start + q - 1.
// Characters beyond the end of the bit string are missing; so are those before
// its first character, where a frame is anchored at its first digit.
struct CountedFrame {
    const BitString* bits = nullptr;
    int start = 1;
    int n = 0;

    int length() const { return kCharacterBits * n + 2 * kCharacterBits; }

    // The pattern stands at frame position q with every character present.
    bool matchesAt(int q, const Pattern& p) const;

    // DigitBoundaryPattern at 26 + 10k for k = 0..n-2, then LastDigitTailPattern
    // at 10n + 16; the first mismatch fails the frame.
    bool passesBoundaryChecks() const;

    // Digit h (1..n): frame positions 10h + 12 .. 10h + 15 read least significant
    // first; missing characters count as "0".
    int digitValue(int h) const;
};

// Digits 1..n of the frame, each 0..9 appended to number; a value above 9 adds
// nothing and is a digit error (the remaining digits are still read). Returns
// whether a digit error occurred.
bool DigitExtraction(const CountedFrame& frame, std::string& number);

// Which length characters take a counted frame; a longer or shorter one is passed
// over and the search goes on behind its parameter-type character.
struct CountedFrameLengths {
    int minimum = 0;
    int maximum = 13;
};

// The first NumberParameterPattern at positions first..last whose length
// character (data bits at p + 11 .. p + 18, read with BinarydenDesimale) is
// accepted. A match whose length bits the end of the bit string cuts off ends the
// search without a frame.
std::optional<CountedFrame> findCountedFrame(const BitString& bits, int first, int last,
                                             CountedFrameLengths lengths = {});

// A single-data message: its header, the length character, then as many digit
// characters as the length says, the eight of the date and time (month, day, hour,
// minute) first and the number after them.
inline constexpr int kDateTimeCharacters = 8;
// From the header at p: the type character at p + 10 and the data bits of the
// length character at p + 21.
inline constexpr int kSingleDataTypeAt = 10;
inline constexpr int kSingleDataLengthAt = 21;
// The number read as a counted frame of its own begins at p + 90, so that its
// digits follow the last date-and-time character (at p + 100), which stands in its
// length character's place.
inline constexpr int kSingleDataNumberFrameAt =
    kSingleDataTypeAt + kCharacterBits * kDateTimeCharacters;

struct SingleDataFrame {
    // The type character, the length character and its L digits, laid out as a
    // counted frame (its first ten characters are not examined).
    CountedFrame message;

    // The number: digits kDateTimeCharacters + 1 .. L of the message.
    CountedFrame number() const;
};

// The first single-data message of the string whose length character lies in it,
// gives a number of `lengths` digits after the date and time, and is followed by
// that many digit characters (the boundary checks of its message frame): behind the
// last characters of a header that began before the string (a capture that starts
// inside it), down to the length's start bit, else behind a whole header at
// positions first..last. Fewer than the header's last three characters (the type's
// data bit 7 and stop bit, the length's start bit) do not tell it from the
// multiple-data type 0x80, whose data bit 7 is 1; the digits that must follow the
// length do, as a multiple-data message's parameters begin with a type character.
std::optional<SingleDataFrame> findSingleDataFrame(const BitString& bits, int first, int last,
                                                   CountedFrameLengths lengths = {});

// What one frame that passed the boundary checks amounts to.
struct FrameMarks {
    bool digitError = false;
    bool lengthError = false;
    bool isNew = false; // its digits differ from the kept ones, which it replaced

    bool accepted() const { return !digitError && !lengthError && !isNew; }
};

// The fewest digits a number may have; frames with fewer carry a length error.
inline constexpr int kMinimumNumberDigits = 3;

// Reads the frame's digits into DecodedNumber (emptied first), marks a length
// error unless it has at least minimumDigits and exactly n digits, and applies
// the agreement rule: DecodedNumber differing from KeptNumber replaces it and the
// frame is new.
FrameMarks judgeFrame(const CountedFrame& frame, std::string& DecodedNumber,
                      std::string& KeptNumber, int minimumDigits = kMinimumNumberDigits);

} // namespace decoding
