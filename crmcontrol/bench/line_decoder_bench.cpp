// The decoders' cost per capture of all eight lines, as the control runs them
// after each capture: the worst case, where no line yields a frame and both
// decoders of every line run every offset of both passes, and a capture whose
// number is found.
#include "crmcontrol/line_decoder.h"
#include "crmcontrol/tests/capture_fixture.h"

#include <array>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

// The program's allocations so far (allocation_counter.cpp).
long allocationCount();

namespace {

using crmcontrol::kCaptureSamples;
using crmcontrol::kLineCount;

constexpr int kZeroLevel = 128;

using Capture = std::array<std::vector<int>, kLineCount>;

// Raw bytes of line k as the device sends them for zero-centred values x.
std::vector<int> rawLine(int lineIndex, const std::vector<int>& x) {
    return crmcontrol::testing::rawCapture(x, lineIndex, kZeroLevel);
}

// Line noise loud enough for the gate, in which no frame stands.
std::vector<int> noise(unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0.0, 40.0);
    std::vector<int> x(kCaptureSamples);
    for (int& v : x)
        v = static_cast<int>(n(rng));
    return x;
}

// A multiple-data message with date, time and an 11-digit number, captured as
// the control captures it, just after its first start bit.
std::vector<int> burst() {
    crmcontrol::testing::CaptureSpec spec;
    spec.call = {"12250930", "05321234567", ""};
    return crmcontrol::testing::captureValues(spec);
}

void runCapture(benchmark::State& state, const Capture& capture, int expectedCalls) {
    crmcontrol::LineDecoders decoders;
    int found = 0;
    Capture work = capture;
    const long allocationsBefore = allocationCount();
    for (auto _ : state) {
        for (int k = 1; k <= kLineCount; ++k) {
            work[k - 1] = capture[k - 1]; // the decoder overwrites its capture
            if (decoders.line(k).CountedFrameDecoder(work[k - 1], kZeroLevel))
                ++found;
        }
    }
    const auto runs = static_cast<int>(state.iterations());
    state.counters["allocations_per_capture"] =
        static_cast<double>(allocationCount() - allocationsBefore) / static_cast<double>(runs);
    if (found != expectedCalls * runs)
        state.SkipWithError("the capture did not decode as intended");
}

void BM_EightLinesNoFrame(benchmark::State& state) {
    Capture capture;
    for (int k = 1; k <= kLineCount; ++k)
        capture[k - 1] = rawLine(k, noise(static_cast<unsigned>(k)));
    runCapture(state, capture, 0);
}
BENCHMARK(BM_EightLinesNoFrame)->Unit(benchmark::kMicrosecond);

// Line 1 carries the call, the other lines are idle (their gate fails at once).
void BM_EightLinesNumberOnLine1(benchmark::State& state) {
    Capture capture;
    capture[0] = rawLine(1, burst());
    for (int k = 2; k <= kLineCount; ++k)
        capture[k - 1] = rawLine(k, std::vector<int>(kCaptureSamples, 0));
    runCapture(state, capture, 1);
}
BENCHMARK(BM_EightLinesNumberOnLine1)->Unit(benchmark::kMicrosecond);

// Every line carries the call, so every line's decoder finds it.
void BM_EightLinesNumberOnEach(benchmark::State& state) {
    Capture capture;
    for (int k = 1; k <= kLineCount; ++k)
        capture[k - 1] = rawLine(k, burst());
    runCapture(state, capture, kLineCount);
}
BENCHMARK(BM_EightLinesNumberOnEach)->Unit(benchmark::kMicrosecond);

} // namespace
