// What one armed recording costs the window's thread: 25,600 samples of four lines,
// each masked with at least one reseed and draw, then the four files built (the
// store here keeps nothing, so only the work before the disk is measured).
#include "recorder/signal_file.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <random>

namespace {

class DiscardingStore final : public recorder::SignalFileStore {
public:
    bool write(const std::string&, std::span<const std::uint8_t> bytes, std::string&) override {
        benchmark::DoNotOptimize(bytes.data());
        return true;
    }
};

void BM_WriteRecording(benchmark::State& state) {
    auto captures = std::make_unique<std::array<recorder::CaptureBuffer, 4>>();
    std::mt19937 gen(1);
    for (auto& c : *captures)
        for (auto& b : c)
            b = static_cast<std::uint8_t>(gen());
    recorder::RecordingInput input;
    input.captures = captures.get();
    input.zeroLevels = {128, 128, 128, 128};
    input.serial = "0c0ffee0";
    input.dateText = "22.05.2017";
    input.timeText = "13:36:04";
    recorder::ClockSeededRandom random;
    DiscardingStore store;
    for (auto _ : state)
        benchmark::DoNotOptimize(recorder::WriteRecording(input, random, store, [] {}));
    state.SetItemsProcessed(state.iterations() * recorder::kCaptureSamples * 4);
}
BENCHMARK(BM_WriteRecording)->Unit(benchmark::kMillisecond);

} // namespace
