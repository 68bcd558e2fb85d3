#include "decoding/bit_pass.h"

#include <cassert>

namespace decoding {

namespace {

template <typename T> signalpath::ToneWindow windowAt(std::span<const T> samples, int start) {
    signalpath::ToneWindow w;
    for (int j = 0; j < kToneWindowLength; ++j)
        w[j] = samples[start + j];
    return w;
}

} // namespace

void BitPass(signalpath::ToneWorkspace& ws, std::span<const int> samples, int o,
             const StepPattern& steps, int lastBit) {
    ws.BitString.clear();
    int start = o;
    int step = 0;
    for (int b = 0; b <= lastBit; ++b) {
        ws.ToneWindow = windowAt(samples, start);
        ws.cozucu_g();
        start += steps.steps[step];
        step = step + 1 == steps.count ? 0 : step + 1;
    }
}

WindowDecisions::WindowDecisions(int maxSamples)
    : bits_(maxSamples >= kToneWindowLength ? maxSamples - kToneWindowLength + 1 : 0) {}

void WindowDecisions::decide(std::span<const int> samples, ToneDecision decision) {
    decideAll(samples, decision);
    samples_ = samples;
}

void WindowDecisions::decide(std::span<const double> samples, ToneDecision decision) {
    decideAll(samples, decision);
    samples_ = {};
}

template <typename T>
void WindowDecisions::decideAll(std::span<const T> samples, ToneDecision decision) {
    const int windows = static_cast<int>(samples.size()) - kToneWindowLength + 1;
    assert(windows <= static_cast<int>(bits_.size()));
    count_ = windows > 0 ? windows : 0;
    for (int s = 0; s < count_; ++s)
        bits_[s] = decision(windowAt(samples, s)) == '1';
}

std::vector<int> windowStarts(const StepPattern& steps, int lastBit) {
    std::vector<int> starts;
    starts.reserve(static_cast<std::size_t>(lastBit + 1));
    int start = 0;
    int step = 0;
    for (int b = 0; b <= lastBit; ++b) {
        starts.push_back(start);
        start += steps.steps[step];
        step = step + 1 == steps.count ? 0 : step + 1;
    }
    return starts;
}

void BitPass(const WindowDecisions& decisions, int o, std::span<const int> starts, BitString& out) {
    const int bits = static_cast<int>(starts.size());
    assert(bits <= BitString::kCapacity);
    assert(bits == 0 || o + starts.back() < decisions.windowCount());
    const unsigned char* marks = decisions.marks() + o;
    int b = 0;
    for (int w = 0; w < BitString::kWords; ++w) {
        const int inWord = bits - b < 64 ? bits - b : 64;
        std::uint64_t word = 0;
        for (int i = 0; i < inWord; ++i, ++b)
            word |= static_cast<std::uint64_t>(marks[starts[b]]) << i;
        out.setWord(w, word);
    }
    out.setSize(bits);
}

namespace {

// Offsets first .. last of a pass fall into roots 0 .. cycle - 1 (fewer when the
// range is shorter than a cycle); offset first + root + j * cycle is cut j cycles
// into the root's pass.
int rootCount(const PassPlan& plan) {
    const int range = plan.lastOffset - plan.firstOffset + 1;
    const int cycle = plan.steps.cycleSamples();
    return range < cycle ? range : cycle;
}

// How many whole cycles later the last offset of a root starts.
int lastCycle(const PassPlan& plan, int root) {
    return (plan.lastOffset - plan.firstOffset - root) / plan.steps.cycleSamples();
}

} // namespace

DecidedBitPasses::DecidedBitPasses(std::span<const PassPlan> plans) : plans_(plans) {
    int slots = 0;
    int roots = 0;
    for (const PassPlan& plan : plans_) {
        firstSlot_.push_back(slots);
        firstRoot_.push_back(roots);
        starts_.push_back(
            windowStarts(plan.steps, plan.lastBit + lastCycle(plan, 0) * plan.steps.count));
        slots += plan.lastOffset - plan.firstOffset + 1;
        roots += rootCount(plan);
    }
    strings_.resize(static_cast<std::size_t>(slots));
    built_.assign(static_cast<std::size_t>(slots), 0);
    roots_.resize(static_cast<std::size_t>(roots));
    rootBuilt_.assign(static_cast<std::size_t>(roots), 0);
}

void DecidedBitPasses::reset(const WindowDecisions& decisions) {
    decisions_ = &decisions;
    built_.assign(built_.size(), 0);
    rootBuilt_.assign(rootBuilt_.size(), 0);
}

const BitString& DecidedBitPasses::rootPass(int pass, int root) {
    const PassPlan& plan = plans_[pass];
    const std::size_t slot = static_cast<std::size_t>(firstRoot_[pass] + root);
    if (!rootBuilt_[slot]) {
        // Long enough for the root's last offset; its windows end where that
        // offset's pass ends.
        const int bits = plan.bitCount() + lastCycle(plan, root) * plan.steps.count;
        BitPass(*decisions_, plan.firstOffset + root,
                std::span<const int>(starts_[pass]).first(static_cast<std::size_t>(bits)),
                roots_[slot]);
        rootBuilt_[slot] = 1;
    }
    return roots_[slot];
}

const BitString& DecidedBitPasses::bitPass(int pass, int offset) {
    const PassPlan& plan = plans_[pass];
    assert(offset >= plan.firstOffset && offset <= plan.lastOffset);
    const std::size_t slot = static_cast<std::size_t>(firstSlot_[pass] + offset - plan.firstOffset);
    if (!built_[slot]) {
        const int cycle = plan.steps.cycleSamples();
        const int root = (offset - plan.firstOffset) % cycle;
        const int j = (offset - plan.firstOffset) / cycle;
        strings_[slot].assignPart(rootPass(pass, root), j * plan.steps.count, plan.bitCount());
        built_[slot] = 1;
    }
    return strings_[slot];
}

} // namespace decoding
