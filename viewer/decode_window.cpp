#include "viewer/decode_window.h"

#include "viewer/number_text.h"

namespace viewer {

void DecodeWindow::fill(const LoadedSamples& loaded, double start, double axisLevel) {
    for (int j = 0; j < kDecodeWindowValues; ++j) {
        const auto n = indexIn(start + j, loaded.upperBound());
        const double value = n ? loaded[*n] : 0.0;
        cells_[static_cast<std::size_t>(j)] = value - axisLevel;
    }
}

} // namespace viewer
