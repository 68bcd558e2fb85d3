// norvellix_x: the decoder of a whole multiple-data message on a stored signal.
// It looks for the message type, reads the message length, the date-and-time
// parameter and the calling-number parameter with a fixed layout (eight date and
// time digits), checks the digits and the date's plausibility, and shows day,
// month, hour, minute and the number once two attempts in a row agree.
#pragma once

#include "decoding/bit_pass.h"
#include "decoding/frames.h"
#include "viewer/ui_yield.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace viewer {

// The character of byte 0x80, the multiple-data message type.
inline constexpr decoding::Pattern MdmfTypePattern{"0000000011"};
// The character of byte 0x01, the date-and-time parameter type.
inline constexpr decoding::Pattern DateTimeParameterPattern{"0100000001"};

// One pass of 732 bits per start offset 0..19.
inline constexpr std::array<decoding::PassPlan, 1> kMessagePasses = {{
    {decoding::StepPattern776, 0, 19, 731},
}};
inline constexpr int kMessageSamples = kMessagePasses[0].lastSample() + 1;
static_assert(kMessagePasses[0].lastSample() == 4898);

// The search for the message type covers positions 1..791, one yield each.
inline constexpr int kMessageSearchLast = 791;
// The message length that every call starts with, and the least it is taken as.
inline constexpr int kShortestMessage = 18;

// What became of one attempt (one start offset).
struct MessageAttempt {
    bool found = false;  // a message type and the three parameter types stood in place
    int frameLength = 0; // characters of the message frame taken
    bool judged = false; // lengths and boundaries let it reach the agreement step
    bool lengthError = false;
    bool boundaryError = false;
    bool numberDigitError = false;
    bool dateDigitError = false;
    bool dateCheckError = false;
    bool isNew = false;

    bool accepted() const {
        return judged && !isNew && !lengthError && !numberDigitError && !dateDigitError &&
               !dateCheckError;
    }
};

class MessageDecoder {
public:
    MessageDecoder();

    // One call over the decode window (at least kMessageSamples values); lets the
    // window's events run once per search position. The text to show, or none.
    std::optional<std::string> norvellix_x(std::span<const double> window, UiYield& ui);

    // Every attempt of the last call, in order, for those who want to see why.
    const std::array<MessageAttempt, 20>& attempts() const { return attempts_; }

    std::string DecodedNumber;
    std::string KeptNumber;
    std::string DecodedDateTime;
    std::string KeptDateTime;

private:
    // Steps 4 to 9 of an attempt over its message frame; L carries over.
    void judge(const decoding::BitString& frame, int& L, MessageAttempt& attempt);
    void readDateTime(const decoding::BitString& frame, int D, MessageAttempt& attempt);

    decoding::WindowDecisions decisions_;
    decoding::DecidedBitPasses passes_;
    std::array<MessageAttempt, 20> attempts_{};
};

} // namespace viewer
