#include "standin/tests/wav_fixture.h"
#include "standin/wav.h"

#include <cstring>
#include <gtest/gtest.h>

namespace standin {
namespace {

using testing::wavBytes;

TEST(Wav, ReadsSixteenBitSamplesToFullScale) {
    // -32768, 0, 16384
    const auto bytes = wavBytes(1, 1, 8000, 16, {0x00, 0x80, 0x00, 0x00, 0x00, 0x40});
    WavRecording rec;
    std::string error;
    ASSERT_TRUE(parseWav(bytes, rec, error)) << error;
    EXPECT_EQ(rec.bitsPerSample, 16);
    EXPECT_EQ(rec.samples, (std::vector<double>{-1.0, 0.0, 0.5}));
}

TEST(Wav, ReadsEightBitUnsignedSamplesAroundOneTwentyEight) {
    const auto bytes = wavBytes(1, 1, 8000, 8, {0, 128, 192});
    WavRecording rec;
    std::string error;
    ASSERT_TRUE(parseWav(bytes, rec, error)) << error;
    EXPECT_EQ(rec.samples, (std::vector<double>{-1.0, 0.0, 0.5}));
}

TEST(Wav, SkipsOtherChunksBeforeTheData) {
    auto bytes = wavBytes(1, 1, 8000, 8, {128, 130});
    // Insert an odd-sized "LIST" chunk (padded to even) between format and data.
    const std::vector<std::uint8_t> list{'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    bytes.insert(bytes.begin() + 36, list.begin(), list.end());
    WavRecording rec;
    std::string error;
    ASSERT_TRUE(parseWav(bytes, rec, error)) << error;
    EXPECT_EQ(rec.samples.size(), 2u);
}

struct BadWav {
    const char* label;
    std::vector<std::uint8_t> bytes;
    const char* reason;
};

class BadWavFiles : public ::testing::TestWithParam<BadWav> {};

TEST_P(BadWavFiles, AreRefusedWithTheirReason) {
    WavRecording rec;
    std::string error;
    EXPECT_FALSE(parseWav(GetParam().bytes, rec, error));
    EXPECT_EQ(error, GetParam().reason);
}

std::vector<std::uint8_t> truncated(std::vector<std::uint8_t> b, std::size_t n) {
    b.resize(b.size() - n);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadWavFiles,
    ::testing::Values(
        BadWav{"empty", {}, "not a RIFF/WAVE file"},
        BadWav{"text",
               {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'},
               "not a RIFF/WAVE file"},
        BadWav{"stereo", wavBytes(1, 2, 8000, 16, {0, 0, 0, 0}), "2 channels, not mono"},
        BadWav{"cd_rate", wavBytes(1, 1, 44100, 16, {0, 0}), "sample rate 44100, not 8000"},
        BadWav{"float", wavBytes(3, 1, 8000, 32, {0, 0, 0, 0}), "sample format 3, not PCM (1)"},
        BadWav{"mu_law", wavBytes(7, 1, 8000, 8, {0}), "sample format 7, not PCM (1)"},
        BadWav{"24_bit", wavBytes(1, 1, 8000, 24, {0, 0, 0}), "24 bits per sample, not 8 or 16"},
        BadWav{"half_sample", wavBytes(1, 1, 8000, 16, {0, 0, 0}),
               "data chunk holds a partial sample"},
        BadWav{"cut_short", truncated(wavBytes(1, 1, 8000, 16, {0, 0, 0, 0}), 2),
               "chunk runs past the end of the file"},
        BadWav{"no_data", truncated(wavBytes(1, 1, 8000, 16, {}), 8), "no data chunk"}),
    [](const ::testing::TestParamInfo<BadWav>& info) { return std::string(info.param.label); });

TEST(Wav, MissingFileIsRefusedWithItsName) {
    WavRecording rec;
    std::string error;
    EXPECT_FALSE(readWavFile("no-such-dir/missing.wav", rec, error));
    EXPECT_EQ(error, "cannot open \"no-such-dir/missing.wav\"");
}

} // namespace
} // namespace standin
