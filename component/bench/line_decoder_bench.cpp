// The component's decoders of one device after a capture: four lines of noise, where
// every offset of both passes is searched, and four lines of which one holds a call.
#include "component/line_decoder.h"
#include "signalpath/descramble.h"
#include "standin/callerid_burst.h"

#include <array>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace {

using Capture = std::vector<int>;

Capture noiseCapture(int position, unsigned seed) {
    std::minstd_rand g(seed);
    std::normal_distribution<double> noise(0.0, 20.0);
    Capture raw(component::kCaptureSamples + 1, 0);
    for (int i = 0; i < component::kCaptureSamples; ++i) {
        const int v = std::clamp(128 + static_cast<int>(noise(g)), 0, 255);
        raw[i] = signalpath::scramble(position, static_cast<signalpath::SampleValue>(v));
    }
    return raw;
}

Capture callCapture(int position) {
    standin::BurstLayout layout;
    layout.seizureBits = 0;
    layout.markBits = 40;
    const standin::Signal s = standin::modulate(
        standin::burstBits(standin::buildMessage(standin::MessageFormat::MultipleData,
                                                 {"12250930", "05321234567", ""}),
                           layout));
    Capture raw(component::kCaptureSamples + 1, 0);
    for (int i = 0; i < component::kCaptureSamples; ++i) {
        const int v = std::clamp(128 + (i < static_cast<int>(s.size()) ? s[i] : 0), 0, 255);
        raw[i] = signalpath::scramble(position, static_cast<signalpath::SampleValue>(v));
    }
    return raw;
}

void decodeDevice(benchmark::State& state, const std::array<Capture, 4>& captures) {
    component::LineDecoder decoder;
    int calls = 0;
    for (auto _ : state) {
        for (int line = 1; line <= 4; ++line) {
            Capture buffer = captures[line - 1];
            calls += decoder.DecodeLineCallerId(buffer, line, 128).has_value();
        }
    }
    benchmark::DoNotOptimize(calls);
}

void BM_FourNoisyLines(benchmark::State& state) {
    decodeDevice(state,
                 {noiseCapture(1, 1), noiseCapture(2, 2), noiseCapture(3, 3), noiseCapture(4, 4)});
}
BENCHMARK(BM_FourNoisyLines)->Unit(benchmark::kMillisecond);

void BM_OneCallThreeNoisyLines(benchmark::State& state) {
    decodeDevice(state,
                 {callCapture(1), noiseCapture(2, 2), noiseCapture(3, 3), noiseCapture(4, 4)});
}
BENCHMARK(BM_OneCallThreeNoisyLines)->Unit(benchmark::kMillisecond);

} // namespace
