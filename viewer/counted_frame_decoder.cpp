#include "viewer/counted_frame_decoder.h"

#include <cassert>

namespace viewer {

std::string CountedFrameResult::text() const {
    return "Tel No: " + number + " Kafa: " + std::to_string(offset) +
           " BR: " + std::to_string(pass);
}

CountedFrameDecoder::CountedFrameDecoder()
    : decisions_(kCountedFrameSamples), passes_(kCountedFramePasses) {}

std::optional<CountedFrameResult> CountedFrameDecoder::cozucu_tel(std::span<const double> window) {
    assert(window.size() >= static_cast<std::size_t>(kCountedFrameSamples));
    KeptNumber.clear();
    decisions_.decide(window.first(kCountedFrameSamples));
    passes_.reset(decisions_);
    for (int pass = 0; pass < static_cast<int>(kCountedFramePasses.size()); ++pass) {
        const decoding::PassPlan& plan = kCountedFramePasses[pass];
        for (int o = plan.firstOffset; o <= plan.lastOffset; ++o) {
            const auto frame =
                decoding::findCountedFrame(passes_.bitPass(pass, o), kCountedSearchFirst,
                                           kCountedSearchLast, kCountedFrameLengths);
            if (!frame || !frame->passesBoundaryChecks())
                continue;
            if (decoding::judgeFrame(*frame, DecodedNumber, KeptNumber).accepted())
                return CountedFrameResult{DecodedNumber, o, pass};
        }
    }
    return std::nullopt;
}

} // namespace viewer
