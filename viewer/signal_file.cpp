#include "viewer/signal_file.h"

#include "signalpath/bittext.h"
#include "viewer/number_text.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace viewer {

int maske_aç(int m, int k) {
    std::string t = signalpath::DesimaldenBinarye(m);
    t = t.substr(4) + t.substr(0, 4);
    const std::string kt = signalpath::DesimaldenBinarye(k);
    for (std::size_t i = 0; i < 8; ++i)
        if (kt[i] != '0')
            t[i] = t[i] == '0' ? '1' : '0';
    std::reverse(t.begin(), t.end()); // now least significant bit first
    return signalpath::BinarydenDesimale(t);
}

FileBytes readSignalFile(std::string_view name) {
    FileBytes result;
    const std::u8string utf8(name.begin(), name.end());
    const std::filesystem::path path(utf8);
    std::error_code ec;
    if (name.empty() || std::filesystem::is_directory(path, ec)) {
        result.error = FileError::CannotOpen;
        return result;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        result.error = FileError::CannotOpen;
        return result;
    }
    result.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        result.bytes.clear();
        result.error = FileError::ReadFailed;
    }
    return result;
}

LayoutCheck checkLayout(const std::vector<std::uint8_t>& bytes) {
    constexpr std::uint8_t quote = 34, cr = 13, lf = 10, floor = 35;
    LayoutCheck check;
    const std::size_t n = bytes.size();
    if (n == 0) {
        check.layout = FileLayout::Empty;
        return check;
    }
    if (bytes[0] != quote)
        return check;
    const auto closing = std::find(bytes.begin() + 1, bytes.end(), quote);
    const std::size_t q = static_cast<std::size_t>(closing - bytes.begin());
    // The serial record, then the sample record's opening quote; the record ends
    // with a quote, CR and LF.
    if (q + 4 > n || bytes[q + 1] != cr || bytes[q + 2] != lf || bytes[q + 3] != quote)
        return check;
    if (std::any_of(bytes.begin() + 1, closing, [](std::uint8_t b) { return b == cr || b == lf; }))
        return check;
    const std::size_t first = q + 4;
    if (n < first + 3 || bytes[n - 3] != quote || bytes[n - 2] != cr || bytes[n - 1] != lf)
        return check;
    const std::size_t end = n - 3;
    if ((end - first) % 2 != 0 || std::any_of(bytes.begin() + static_cast<std::ptrdiff_t>(first),
                                              bytes.begin() + static_cast<std::ptrdiff_t>(end),
                                              [](std::uint8_t b) { return b < floor; }))
        return check;
    check.serialLength = static_cast<int>(q - 1);
    check.pairCount = static_cast<int>((end - first) / 2);
    // Skipping the first byte leaves serial + 4 header bytes before the first
    // pair: pairs line up only when that count is even.
    check.layout = check.serialLength % 2 == 0 ? FileLayout::Recorder : FileLayout::MisalignedPairs;
    return check;
}

LoadedSignal unmaskSignal(const std::vector<std::uint8_t>& bytes) {
    LoadedSignal signal;
    signal.byteCount = bytes.size();
    const double half = static_cast<double>(bytes.size()) / 2.0;
    signal.samples = LoadedSamples(static_cast<int>(roundHalfEven(half)));
    signal.decodable = bytes.size() > kDecodableBytes;
    // i <= Len/2 - 2, that is 2i + 4 <= Len: the last byte (the last two of an
    // odd length) is never used.
    for (std::size_t i = 0; 2 * i + 4 <= bytes.size(); ++i) {
        const int m = bytes[2 * i + 1]; // 1-based position 2i + 2
        const int k = bytes[2 * i + 2];
        signal.samples[static_cast<int>(i)] = static_cast<short>(maske_aç(m, k));
    }
    signal.layout = checkLayout(bytes);
    return signal;
}

std::string receivedCountCaption(const LoadedSignal& signal) {
    std::string caption =
        "Alınan Örnek Sayısı: " + writeNumber(static_cast<double>(signal.byteCount) / 2.0) +
        " adet";
    switch (signal.layout.layout) {
    case FileLayout::Empty:
        return caption + " - boş dosya";
    case FileLayout::NotRecorder:
        return caption + " - kayıt değil";
    case FileLayout::MisalignedPairs:
        return caption + " - çiftler kayık";
    case FileLayout::Recorder:
        break;
    }
    if (!signal.decodable)
        return caption + " - kısa";
    return caption;
}

std::string fileErrorCaption(FileError error, std::string_view name) {
    const char* what = error == FileError::ReadFailed ? "Dosya okunamadı: " : "Dosya açılamadı: ";
    return what + std::string(name);
}

} // namespace viewer
