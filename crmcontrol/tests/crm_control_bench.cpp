// What a capture costs in the native build: a tick that captures (the start
// command, 112 reads of every present device over the simulated bus, and every
// line's decoders), and the decoders of one line by themselves.
#include "crmcontrol/tests/control_rig.h"
#include "signalpath/descramble.h"

#include <benchmark/benchmark.h>
#include <climits>

namespace crmcontrol::testing {
namespace {

using Values = std::array<int, 16>;

Values around(const std::array<int, 16>& x) {
    Values v{};
    for (int g = 0; g < 16; ++g)
        v[g] = 128 + x[g];
    return v;
}

const Values kMark = around({0, 81, 95, 31, -59, -100, -59, 31, 95, 81, 0, -81, -95, -31, 59, 100});
const Values kSpace =
    around({0, 99, -31, -89, 59, 71, -81, -45, 95, 16, -100, 16, 95, -45, -81, 71});

// A connected control whose line 1 stays triggered, so that every tick captures.
// Arguments: the number of devices, and whether every other line carries a space
// tone too (then every line's decoders search all their start offsets).
void CaptureTick(benchmark::State& state) {
    const int devices = static_cast<int>(state.range(0));
    const bool allBusy = state.range(1) != 0;
    ControlRig rig;
    const auto a = rig.addDevice("aaaa0001");
    const auto b = devices == 2 ? rig.addDevice("bbbb0002") : a;
    if (!startAndConnect(rig)) {
        state.SkipWithError("no connection");
        return;
    }
    if (allBusy) {
        for (int p = 1; p <= 4; ++p) {
            if (p > 1)
                a.lines->pattern(p, 0, LONG_MAX, kSpace);
            b.lines->pattern(p, 0, LONG_MAX, kSpace);
        }
    }
    a.lines->pattern(1, sampleAt(rig.bus.now()), LONG_MAX, kMark);
    rig.tickUntil([&] { return rig.control->line(1).LineStage; }, 40);
    a.lines->pattern(1, sampleAt(rig.bus.now()), LONG_MAX, kSpace);
    rig.tickUntil([&] { return rig.control->line(1).CaptureTrigger; }, 40);
    const auto before = rig.outputCount(a);
    for (auto _ : state)
        rig.runTicks(1);
    state.counters["captures"] = static_cast<double>(rig.outputCount(a) - before);
    rig.control->UserControl_Terminate();
}
BENCHMARK(CaptureTick)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond);

// One line's decoders on a capture that holds no burst: both decoders search every
// start offset, the most a line can cost.
void LineDecodersOnNoise(benchmark::State& state) {
    LineDecoder decoder(1);
    std::array<int, kCaptureSamples> raw{};
    std::minstd_rand random(7);
    for (auto& r : raw)
        r = signalpath::scramble(1, static_cast<signalpath::SampleValue>(128 + random() % 61 - 30));
    std::array<int, kCaptureSamples> capture{};
    for (auto _ : state) {
        capture = raw;
        decoder.CountedFrameDecoder(capture, 128);
    }
}
BENCHMARK(LineDecodersOnNoise)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace crmcontrol::testing
