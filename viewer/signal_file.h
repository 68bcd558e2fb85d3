// Reading a recorder's signal file back: the whole file as bytes, its pairs of
// bytes unmasked into sample values (maske_aç) from the second byte on, and a
// check of how far the file follows the recorder's layout, so that a file that
// is missing, empty, short or laid out otherwise is told apart.
#pragma once

#include "viewer/sample_array.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

// The recorder's masking undone for one pair: the nibbles of the masked byte m
// exchanged, then the bits where the key k holds a 1 inverted (both 0..255).
int maske_aç(int m, int k);

enum class FileError {
    None,
    CannotOpen, // missing, a bad path, a folder, no permission
    ReadFailed, // opened but not read to its end
};

struct FileBytes {
    std::vector<std::uint8_t> bytes;
    FileError error = FileError::None;
};

// The file named by a UTF-8 text, exactly as given (a name without a folder is
// taken in the current directory).
FileBytes readSignalFile(std::string_view name);

// How a file's bytes stand to the recorder's layout: a quote, the serial, a quote,
// CR, LF, a quote, pairs of bytes 35..255, a quote, CR, LF.
enum class FileLayout {
    Recorder,       // pairs line up with the samples
    Empty,          // no bytes at all
    NotRecorder,    // some other file
    MisalignedPairs // the recorder's layout, but a serial of odd length shifts every pair
};

struct LayoutCheck {
    FileLayout layout = FileLayout::NotRecorder;
    int serialLength = 0; // when the layout is the recorder's (aligned or not)
    int pairCount = 0;    // the pairs of the sample record
};

LayoutCheck checkLayout(const std::vector<std::uint8_t>& bytes);

// More than 20,000 pairs (40,000 bytes) are needed before a decode is offered.
inline constexpr std::size_t kDecodableBytes = 40000;

// One load's result.
struct LoadedSignal {
    std::size_t byteCount = 0; // Len
    LoadedSamples samples;     // indices 0..round(Len / 2), halves to even
    bool decodable = false;    // the five buttons are enabled
    LayoutCheck layout;
};

// Entry i for i = 0 .. Len/2 - 2 is maske_aç of the bytes at 1-based positions
// 2i + 2 and 2i + 3; later entries stay empty.
LoadedSignal unmaskSignal(const std::vector<std::uint8_t>& bytes);

// Label22's caption after a load: the count of pairs Len/2 (a half for an odd
// length), then a short word (it must fit the label) on a file that is empty,
// not laid out as the recorder writes, misaligned by an odd serial, or too short
// to decode.
std::string receivedCountCaption(const LoadedSignal& signal);

// Label22's caption when the file could not be had at all.
std::string fileErrorCaption(FileError error, std::string_view name);

} // namespace viewer
