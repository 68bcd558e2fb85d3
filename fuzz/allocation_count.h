// How many bytes a step of a fuzz target holds at its peak. Linking
// allocation_count.cpp replaces the program's global operator new and delete
// with ones that keep the count (only fuzz programs link it); a target measures a
// step by making an AllocationPeak before it and reading it after.
#pragma once

#include <cstddef>

namespace fuzz {

class AllocationPeak {
public:
    // Starts a measurement at the bytes held now. Measurements do not nest.
    AllocationPeak();
    // The most bytes held since, above those held at the start.
    std::size_t bytes() const;

private:
    std::size_t base_;
};

} // namespace fuzz
