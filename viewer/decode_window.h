// The viewer's decode window: 4,978 values taken from the loaded samples at a
// start index and shifted down by the axis level, which both decoders read.
#pragma once

#include "viewer/sample_array.h"

#include <array>
#include <span>

namespace viewer {

// Cells 0..4977 are written; cell 4978 never is and stays empty.
inline constexpr int kDecodeWindowValues = 4978;
inline constexpr int kDecodeWindowCells = kDecodeWindowValues + 1;

class DecodeWindow {
public:
    // Cell j := LoadedSamples(round(start + j)) - axisLevel, halves to even. An
    // index beyond the loaded samples reads as an empty cell, 0: the window never
    // reads outside them, and a short signal is padded with empties.
    void fill(const LoadedSamples& loaded, double start, double axisLevel);

    std::span<const double> values() const { return cells_; }
    double operator[](int j) const { return cells_[static_cast<std::size_t>(j)]; }

private:
    std::array<double, kDecodeWindowCells> cells_{};
};

} // namespace viewer
