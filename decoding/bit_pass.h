// Slicing zero-corrected samples into bit strings: the step patterns that place
// each bit's tone window, the pass plans of a decoder, and the bit pass itself,
// both as the control's procedure (one tone decision per bit) and from a table of
// every window's decision made once per capture (the passes of a run revisit the
// same windows many times over, and a decision depends only on its six samples).
#pragma once

#include "decoding/bit_string.h"
#include "signalpath/tone.h"

#include <array>
#include <span>
#include <vector>

namespace decoding {

// The distances between the window starts of successive bits, used in order and
// cycling, beginning with the first step after bit 0.
struct StepPattern {
    std::array<int, 5> steps{};
    int count = 0;

    // Samples per cycle of the steps (count bits).
    constexpr int cycleSamples() const {
        int cycle = 0;
        for (int i = 0; i < count; ++i)
            cycle += steps[i];
        return cycle;
    }

    // Start of the window of bit b for a pass starting at offset o.
    constexpr int windowStart(int o, int b) const {
        int start = o + (b / count) * cycleSamples();
        for (int i = 0; i < b % count; ++i)
            start += steps[i];
        return start;
    }
};

// 20 samples per 3 bits: exactly 1200 baud at 8000 samples per second.
inline constexpr StepPattern StepPattern776{{7, 7, 6}, 3};
// 33 samples per 5 bits: 6.6 samples per bit.
inline constexpr StepPattern StepPattern77775{{7, 7, 7, 7, 5}, 5};

// One pass of a decoder: its step pattern, its start offsets and the last bit
// index B of every bit pass (B + 1 bits).
struct PassPlan {
    StepPattern steps;
    int firstOffset = 0;
    int lastOffset = 0;
    int lastBit = 0;

    constexpr int bitCount() const { return lastBit + 1; }
    // The last sample any window of this pass reads.
    constexpr int lastSample() const { return steps.windowStart(lastOffset, lastBit) + 5; }
};

inline constexpr int kToneWindowLength = 6;

// The bit pass as the control runs it: for b = 0 to B the six samples from the
// window start fill the workspace's ToneWindow and cozucu_g appends one character
// to its BitString (emptied first). The samples must reach the last window.
void BitPass(signalpath::ToneWorkspace& ws, std::span<const int> samples, int o,
             const StepPattern& steps, int lastBit);

// A decoder's tone decision on one window: '1' for the mark tone.
using ToneDecision = char (*)(const signalpath::ToneWindow&);

// The tone decision of every six-sample window of a run of samples, made once.
class WindowDecisions {
public:
    // Room for the windows of up to maxSamples samples; allocates here only.
    explicit WindowDecisions(int maxSamples);

    // Decides every window that lies wholly inside samples (at most maxSamples).
    void decide(std::span<const int> samples, ToneDecision decision = signalpath::toneBit);
    // The same over values that need not be whole (the viewer shifts its samples by
    // a level read from text); samples() is then empty.
    void decide(std::span<const double> samples, ToneDecision decision = signalpath::toneBit);

    int windowCount() const { return count_; }
    bool mark(int start) const { return bits_[start] != 0; }
    // One byte per window start, 1 for the mark tone.
    const unsigned char* marks() const { return bits_.data(); }
    // The samples that were decided, for a caller that needs the last window.
    std::span<const int> samples() const { return samples_; }

private:
    template <typename T> void decideAll(std::span<const T> samples, ToneDecision decision);

    std::vector<unsigned char> bits_;
    std::span<const int> samples_;
    int count_ = 0;
};

// The window starts of bits 0..B of a pass at start offset 0.
std::vector<int> windowStarts(const StepPattern& steps, int lastBit);

// The bit pass read from the decisions: bit b is the decision on the window at
// o + starts[b] (every one of them must lie in the decisions). The result equals
// the control's BitPass over the decided samples.
void BitPass(const WindowDecisions& decisions, int o, std::span<const int> starts, BitString& out);

// The bit strings of one decoder run, by pass (index into the run's plans) and
// start offset.
class BitPasses {
public:
    virtual ~BitPasses() = default;
    virtual const BitString& bitPass(int pass, int offset) = 0;
};

// Bit passes read from window decisions, each built once per run and kept, so
// that a second decoder over the same samples reads the same strings again. A
// pass that starts one step cycle later reads the same windows from the cycle's
// bits on, so the offsets o + j * cycle are cut from one longer pass at o.
class DecidedBitPasses : public BitPasses {
public:
    // The plans must outlive this object; allocates here only.
    explicit DecidedBitPasses(std::span<const PassPlan> plans);

    // Starts a run over newly decided windows (which must outlive the run).
    void reset(const WindowDecisions& decisions);
    const BitString& bitPass(int pass, int offset) override;

private:
    // The longer pass from which offsets first + root + j * cycle are cut.
    const BitString& rootPass(int pass, int root);

    std::span<const PassPlan> plans_;
    std::vector<int> firstSlot_;           // per pass: slot of its first offset
    std::vector<int> firstRoot_;           // per pass: root slot of its first offset
    std::vector<std::vector<int>> starts_; // per pass: window starts of a root pass
    std::vector<BitString> strings_;
    std::vector<unsigned char> built_;
    std::vector<BitString> roots_;
    std::vector<unsigned char> rootBuilt_;
    const WindowDecisions* decisions_ = nullptr;
};

} // namespace decoding
