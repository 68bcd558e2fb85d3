#include "viewer/message_decoder.h"

#include "signalpath/bittext.h"

#include <algorithm>
#include <cassert>

namespace viewer {

using decoding::BitString;
using decoding::CountedFrame;
using decoding::kCharacterBits;

namespace {

// The length character whose data bits start at position pos of the frame.
int lengthAt(const BitString& frame, int pos) {
    std::array<char, 8> text;
    return signalpath::BinarydenDesimale(frame.text(pos, 8, text));
}

// The frame positions of the boundary after digit index k (0-based over the date
// digits and then the number digits; the number's type and length characters
// are passed over).
int boundaryCharacter(int k) {
    return k < 8 ? k : k + 2;
}

// A digit's value for the text: its decimal digit, or "?" above 9.
char digitCharacter(int value) {
    return value <= 9 ? static_cast<char>('0' + value) : '?';
}

// The tens digit of the month, day, hour and minute (digits 1, 3, 5, 7).
bool plausibleTens(int k, char digit) {
    switch (k) {
    case 1:
        return digit <= '1';
    case 3:
        return digit <= '3';
    case 5:
        return digit <= '2';
    case 7:
        return digit <= '5';
    default:
        return true;
    }
}

} // namespace

MessageDecoder::MessageDecoder() : decisions_(kMessageSamples), passes_(kMessagePasses) {}

std::optional<std::string> MessageDecoder::norvellix_x(std::span<const double> window,
                                                       UiYield& ui) {
    assert(window.size() >= static_cast<std::size_t>(kMessageSamples));
    KeptDateTime.clear();
    KeptNumber.clear();
    attempts_ = {};
    int L = kShortestMessage;
    decisions_.decide(window.first(kMessageSamples));
    passes_.reset(decisions_);
    const decoding::PassPlan& plan = kMessagePasses[0];
    for (int o = plan.firstOffset; o <= plan.lastOffset; ++o) {
        MessageAttempt& attempt = attempts_[static_cast<std::size_t>(o)];
        const BitString& bits = passes_.bitPass(0, o);
        // One yield before each position compared, up to and including the first
        // match; the decision itself reads only the bit string.
        const int p = bits.positionsOf(MdmfTypePattern).firstIn(1, kMessageSearchLast);
        const int yields = p == 0 ? kMessageSearchLast : p;
        for (int y = 0; y < yields; ++y)
            ui.DoEvents();
        if (p == 0)
            continue; // an empty frame fails the header
        BitString frame;
        attempt.frameLength = std::min((L + 2) * kCharacterBits, bits.size() - p + 1);
        frame.assignPart(bits, p - 1, attempt.frameLength);
        judge(frame, L, attempt);
        if (attempt.accepted())
            return DecodedDateTime + " / " + DecodedNumber;
    }
    return std::nullopt;
}

void MessageDecoder::judge(const BitString& frame, int& L, MessageAttempt& attempt) {
    if (!frame.matches(1, MdmfTypePattern) || !frame.matches(21, DateTimeParameterPattern) ||
        !frame.matches(121, decoding::NumberParameterPattern))
        return;
    attempt.found = true;
    L = std::max(lengthAt(frame, 12), kShortestMessage);
    const int D = lengthAt(frame, 32);
    if (frame.size() < 139)
        return; // cut before the number's length is complete
    const int N = lengthAt(frame, 132);
    attempt.lengthError = L != D + N + 4;

    // Boundaries between the digits; J is the last k's character, and with fewer
    // than two digits k = D + N - 2 still names the one before the last digit.
    for (int k = 0; k <= D + N - 2; ++k) {
        if (!frame.matches(kCharacterBits * boundaryCharacter(k) + 46,
                           decoding::DigitBoundaryPattern)) {
            attempt.boundaryError = true;
            return;
        }
    }
    const int J = boundaryCharacter(D + N - 2);
    if (!frame.matches(kCharacterBits * J + 56, decoding::LastDigitTailPattern)) {
        attempt.boundaryError = true;
        return;
    }

    // The number's digits read as the counted frame's, anchored at its type.
    const CountedFrame number{&frame, 121, N};
    DecodedNumber.clear();
    for (int k = 1; k <= N; ++k) {
        const int v = number.digitValue(k);
        attempt.numberDigitError |= v > 9;
        DecodedNumber += digitCharacter(v);
    }
    readDateTime(frame, D, attempt);

    attempt.judged = true;
    if (DecodedDateTime != KeptDateTime || DecodedNumber != KeptNumber) {
        KeptDateTime = DecodedDateTime;
        KeptNumber = DecodedNumber;
        attempt.isNew = true;
    }
}

void MessageDecoder::readDateTime(const BitString& frame, int D, MessageAttempt& attempt) {
    const CountedFrame dateTime{&frame, 21, D};
    DecodedDateTime.clear();
    for (int k = 1; k <= D; ++k) {
        const int v = dateTime.digitValue(k);
        if (v > 9) {
            DecodedDateTime += '?';
            attempt.dateDigitError = true;
            continue;
        }
        const char digit = digitCharacter(v);
        DecodedDateTime += digit;
        if (k == 6) {
            // month day hour becomes day.month hour: for the minute to follow
            const std::string t = DecodedDateTime;
            DecodedDateTime = t.substr(2, 2) + "." + t.substr(0, 2) + " " + t.substr(4, 2) + ":";
        }
        if (!plausibleTens(k, digit)) {
            attempt.dateCheckError = true;
            return;
        }
    }
}

} // namespace viewer
