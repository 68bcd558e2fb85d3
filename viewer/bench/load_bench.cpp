// What a load of the largest file the viewer takes (1 MiB, twenty recordings'
// worth) costs the window's thread: the whole release over Command38 (read,
// unmask, both arrays), and the unmasking of the same bytes alone.
#include "viewer/main_form.h"
#include "viewer/tests/signal_fixture.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

// A recorder's file (quoted serial, quoted record of masked pairs) of exactly the
// loader's bound.
std::vector<std::uint8_t> largestFile() {
    const std::string serial = "0c0ffee0";
    constexpr std::size_t kFraming = 8; // two quotes and CR LF per record
    const std::size_t pairs = (viewer::kMaxSignalFileBytes - kFraming - serial.size()) / 2;
    std::vector<int> values(pairs);
    for (std::size_t i = 0; i < pairs; ++i)
        values[i] = 35 + static_cast<int>(i % 221);
    auto file = viewer::testing::signalFile(values, serial);
    file.resize(viewer::kMaxSignalFileBytes, '\n');
    return file;
}

// A surface that draws nowhere: the load only clears it and draws the guides.
struct NoSurface final : viewer::PlotSurface {
    double ScaleWidth() const override { return 757; }
    double ScaleHeight() const override { return 313; }
    void Cls() override {}
    void setForeColor(viewer::Colour) override {}
    void Line(double, double, double, double) override {}
};

struct NoEvents final : viewer::UiYield {
    void DoEvents() override {}
};

// The file on disk for the length of one benchmark, under a name of its own (other
// runs may share the folder).
class FileOnDisk {
public:
    explicit FileOnDisk(const std::vector<std::uint8_t>& bytes)
        : path_(std::filesystem::temp_directory_path() /
                ("viewer_load_bench_" + std::to_string(std::random_device{}()) + ".dat")) {
        viewer::testing::writeFile(path_, bytes);
    }
    ~FileOnDisk() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    FileOnDisk(const FileOnDisk&) = delete;
    FileOnDisk& operator=(const FileOnDisk&) = delete;
    std::string name() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

void BM_LoadLargestFile(benchmark::State& state) {
    const FileOnDisk file(largestFile());
    NoSurface surface;
    NoEvents events;
    viewer::MainForm form(surface, events);
    form.Form_Load();
    form.controls.Text25 = file.name();
    for (auto _ : state) {
        form.Command38_MouseUp();
        benchmark::DoNotOptimize(form.loaded[0]);
    }
    if (form.loaded.upperBound() != static_cast<int>(viewer::kMaxSignalFileBytes / 2))
        state.SkipWithError(("not loaded: " + form.controls.Label22).c_str());
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(viewer::kMaxSignalFileBytes));
}
BENCHMARK(BM_LoadLargestFile)->Unit(benchmark::kMillisecond);

void BM_UnmaskLargestFile(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = largestFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(viewer::unmaskSignal(bytes));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_UnmaskLargestFile)->Unit(benchmark::kMillisecond);

} // namespace
