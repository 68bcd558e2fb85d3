// The viewer's arrays of sample values (the loaded samples, the plotted ones):
// indices 0 to an upper bound, each cell a number or empty; an empty cell counts
// as 0 wherever a number is needed, so cells are held as numbers with 0 for empty.
#pragma once

#include <cassert>
#include <vector>

namespace viewer {

template <typename T> class SampleArray {
public:
    // One empty cell at index 0, as an array that was never filled.
    SampleArray() : cells_(1) {}
    // Cells 0..upperBound, all empty.
    explicit SampleArray(int upperBound) : cells_(static_cast<std::size_t>(upperBound + 1)) {
        assert(upperBound >= 0);
    }

    int upperBound() const { return static_cast<int>(cells_.size()) - 1; }
    T operator[](int i) const { return cells_[static_cast<std::size_t>(i)]; }
    T& operator[](int i) { return cells_[static_cast<std::size_t>(i)]; }
    // Cell i, or an empty cell's 0 for an index outside the array.
    T valueAt(int i) const { return i >= 0 && i <= upperBound() ? (*this)[i] : T{}; }

    bool operator==(const SampleArray&) const = default;

private:
    std::vector<T> cells_;
};

// LoadedSamples: unmasked sample values 0..255 (16-bit cells).
using LoadedSamples = SampleArray<short>;
// PlotSamples: whatever the plot's writers put there (the decode window shifted
// back by a level that need not be whole, so not always whole numbers).
using PlotSamples = SampleArray<double>;

} // namespace viewer
