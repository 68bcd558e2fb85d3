#include "fuzz/literal_bit_passes.h"

namespace fuzz {

const decoding::BitString& LiteralBitPasses::bitPass(int pass, int offset) {
    const auto key = std::make_pair(pass, offset);
    if (const auto it = made_.find(key); it != made_.end())
        return it->second;
    const decoding::PassPlan& plan = plans_[static_cast<std::size_t>(pass)];
    decoding::BitString bits;
    for (int b = 0; b <= plan.lastBit; ++b) {
        const int start = plan.steps.windowStart(offset, b);
        signalpath::ToneWindow window{};
        for (int j = 0; j < decoding::kToneWindowLength; ++j)
            window[static_cast<std::size_t>(j)] = samples_[static_cast<std::size_t>(start + j)];
        bits.push(signalpath::analyseTone(window, state_).bit == '1');
    }
    return made_.emplace(key, bits).first->second;
}

} // namespace fuzz
