// Reading a file that a scenario names (the scenario itself, a WAV recording): only a
// regular file, and no more of it than a bound, so that a device file, a pipe or a
// huge file is refused instead of blocking or taking the memory.
#pragma once

#include <cstdint>
#include <string>

namespace standin {

enum class FileRead { Ok, CannotOpen, NotRegular, TooLarge, CannotRead };

// The bytes of the regular file at `path` when it holds at most `maxBytes`.
[[nodiscard]] FileRead readBoundedFile(const std::string& path, std::uintmax_t maxBytes,
                                       std::string& bytes);

} // namespace standin
