// How long one bit decision takes: the decoders run it for every start offset
// of every pass over a capture.
#include "signalpath/tone.h"

#include <benchmark/benchmark.h>

static void BM_ToneBit(benchmark::State& state) {
    signalpath::ToneWindow w{0, 81, 95, 31, -59, -100};
    for (auto _ : state) {
        benchmark::DoNotOptimize(signalpath::toneBit(w));
        w[0] += 1.0;
    }
}
BENCHMARK(BM_ToneBit);
