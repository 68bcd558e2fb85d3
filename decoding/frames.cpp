#include "decoding/frames.h"

#include "signalpath/bittext.h"

namespace decoding {

bool CountedFrame::matchesAt(int q, const Pattern& p) const {
    if (q < 1 || q + p.length - 1 > length())
        return false;
    return bits->matches(start + q - 1, p);
}

bool CountedFrame::passesBoundaryChecks() const {
    for (int k = 0; k <= n - 2; ++k)
        if (!matchesAt(26 + kCharacterBits * k, DigitBoundaryPattern))
            return false;
    return matchesAt(kCharacterBits * n + 16, LastDigitTailPattern);
}

int CountedFrame::digitValue(int h) const {
    int value = 0;
    const int first = start + kCharacterBits * h + 11; // frame position 10h + 12
    for (int j = 0; j < 4; ++j) {
        const int pos = first + j;
        const bool inFrame = pos - start + 1 <= length();
        if (inFrame && pos >= 1 && pos <= bits->size() && bits->bit(pos))
            value += 1 << j;
    }
    return value;
}

bool DigitExtraction(const CountedFrame& frame, std::string& number) {
    bool digitError = false;
    for (int h = 1; h <= frame.n; ++h) {
        const int v = frame.digitValue(h);
        if (v > 9)
            digitError = true;
        else
            number += static_cast<char>('0' + v);
    }
    return digitError;
}

std::optional<CountedFrame> findCountedFrame(const BitString& bits, int first, int last,
                                             CountedFrameLengths lengths) {
    const PositionSet matches = bits.positionsOf(NumberParameterPattern);
    for (int p = matches.firstIn(first, last); p != 0; p = matches.firstIn(p + 1, last)) {
        if (p + 18 > bits.size())
            return std::nullopt;
        std::array<char, 8> lengthText;
        const int n = signalpath::BinarydenDesimale(bits.text(p + 11, 8, lengthText));
        if (n >= lengths.minimum && n <= lengths.maximum)
            return CountedFrame{&bits, p, n};
    }
    return std::nullopt;
}

CountedFrame SingleDataFrame::number() const {
    return CountedFrame{message.bits, message.start + kCharacterBits * kDateTimeCharacters,
                        message.n - kDateTimeCharacters};
}

namespace {

// The frame of the single-data header at p, when its length character lies in the
// string, gives a number of `lengths` digits and is followed by as many digit
// characters as it counts.
std::optional<SingleDataFrame> singleDataFrameAt(const BitString& bits, int p,
                                                 CountedFrameLengths lengths) {
    if (p + kSingleDataLengthAt + 7 > bits.size())
        return std::nullopt;
    std::array<char, 8> lengthText;
    const int length =
        signalpath::BinarydenDesimale(bits.text(p + kSingleDataLengthAt, 8, lengthText));
    const int n = length - kDateTimeCharacters;
    if (n < lengths.minimum || n > lengths.maximum)
        return std::nullopt;
    const SingleDataFrame frame{CountedFrame{&bits, p + kSingleDataTypeAt, length}};
    if (!frame.message.passesBoundaryChecks())
        return std::nullopt;
    return frame;
}

} // namespace

std::optional<SingleDataFrame> findSingleDataFrame(const BitString& bits, int first, int last,
                                                   CountedFrameLengths lengths) {
    // A capture that begins inside the header keeps its last characters, down to the
    // length character's start bit.
    for (int p = 1 - (SdmfHeaderPattern.length - 1); p < 1; ++p)
        if (bits.matchesClipped(p, SdmfHeaderPattern))
            if (auto frame = singleDataFrameAt(bits, p, lengths))
                return frame;
    const PositionSet headers = bits.positionsOf(SdmfHeaderPattern);
    for (int p = headers.firstIn(first, last); p != 0; p = headers.firstIn(p + 1, last))
        if (auto frame = singleDataFrameAt(bits, p, lengths))
            return frame;
    return std::nullopt;
}

FrameMarks judgeFrame(const CountedFrame& frame, std::string& DecodedNumber,
                      std::string& KeptNumber, int minimumDigits) {
    FrameMarks marks;
    DecodedNumber.clear();
    marks.digitError = DigitExtraction(frame, DecodedNumber);
    marks.lengthError =
        !(frame.n >= minimumDigits && static_cast<int>(DecodedNumber.size()) == frame.n);
    if (DecodedNumber != KeptNumber) {
        KeptNumber = DecodedNumber;
        marks.isNew = true;
    }
    return marks;
}

} // namespace decoding
