// Bit passes made the long way, as the decoders' procedure describes them: for
// every bit the six samples from its window start and the full tone analysis,
// nothing shared between windows or offsets. A decoder's own passes (each window
// decided once per capture, later offsets cut from longer passes, the analysis
// cut short far from a tie) must give the same strings, so a decoder's search over
// these is the reference its result is held against.
#pragma once

#include "decoding/bit_pass.h"
#include "signalpath/tone.h"

#include <map>
#include <span>
#include <utility>

namespace fuzz {

class LiteralBitPasses final : public decoding::BitPasses {
public:
    // The plans and samples must outlive this object; every window of the plans
    // must lie inside the samples.
    LiteralBitPasses(std::span<const decoding::PassPlan> plans, std::span<const int> samples,
                     signalpath::ToneState state)
        : plans_(plans), samples_(samples), state_(state) {}

    const decoding::BitString& bitPass(int pass, int offset) override;

private:
    std::span<const decoding::PassPlan> plans_;
    std::span<const int> samples_;
    signalpath::ToneState state_;
    // Kept, so that a reference handed out stays valid for the whole run.
    std::map<std::pair<int, int>, decoding::BitString> made_;
};

} // namespace fuzz
