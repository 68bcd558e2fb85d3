// Reading a recorder's signal file back: the whole file as bytes, up to a bound
// far above any recording, and its pairs of bytes unmasked into sample values
// (maske_aç) from the second byte on.
#pragma once

#include "viewer/sample_array.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

// The recorder's masking undone for one pair: the nibbles of the masked byte m
// exchanged, then the bits where the key k holds a 1 inverted (both 0..255). Done
// by arithmetic: a load unmasks up to 524,287 pairs while the window waits.
int maske_aç(int m, int k);

// The largest file the viewer loads: 1 MiB, twenty recordings' worth (a recording
// is 51,216 bytes). The loaded values and the plot then take about 6 MiB, and a
// redraw of its 524,288 segments still lets the window answer between redraws.
// Reading never holds more than this many bytes.
inline constexpr std::size_t kMaxSignalFileBytes = std::size_t{1} << 20;

enum class FileError {
    None,
    CannotOpen, // missing, a bad path, a folder, no permission
    ReadFailed, // opened but not read to its end
    TooLarge,   // more than kMaxSignalFileBytes
};

struct FileBytes {
    std::vector<std::uint8_t> bytes; // never more than kMaxSignalFileBytes, capacity included
    FileError error = FileError::None;
};

// The file named by a UTF-8 text, exactly as given (a name without a folder is
// taken in the current directory).
FileBytes readSignalFile(std::string_view name);

// More than 20,000 pairs (40,000 bytes) are needed before a decode is offered.
inline constexpr std::size_t kDecodableBytes = 40000;

// One load's result.
struct LoadedSignal {
    std::size_t byteCount = 0; // Len
    LoadedSamples samples;     // indices 0..round(Len / 2), halves to even
    bool decodable = false;    // the five buttons are enabled
};

// Entry i for i = 0 .. Len/2 - 2 is maske_aç of the bytes at 1-based positions
// 2i + 2 and 2i + 3; later entries stay empty.
LoadedSignal unmaskSignal(const std::vector<std::uint8_t>& bytes);

// Label22's caption after a load: "Alınan Örnek Sayısı: ", the count of pairs
// Len/2 (with a half for an odd length) and " adet".
std::string receivedCountCaption(const LoadedSignal& signal);

// Label22's caption when the file is refused: what kept it out, and its name.
std::string fileErrorCaption(FileError error, std::string_view name);

} // namespace viewer
