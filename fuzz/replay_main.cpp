// A fuzz target without libFuzzer: runs the target once on every file of the
// folders (or the files) named on the command line, in name order, so that the
// seeds and the inputs that once failed are checked by the ordinary test run. A
// folder that does not exist holds no inputs (a target may have no regressions).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path named(argv[i]);
        if (fs::is_directory(named)) {
            for (const auto& entry : fs::directory_iterator(named))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::exists(named)) {
            inputs.push_back(named);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "replay: %zu inputs\n", inputs.size());
    return 0;
}
