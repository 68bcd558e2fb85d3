#include "recorder/signal_file.h"
#include "recorder/tests/memory_store.h"
#include "recorder/tests/signal_file_check.h"
#include "signalpath/descramble.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <random>

namespace recorder {
namespace {

using testing::MemoryStore;

TEST(RecordingStamp, ReplacesSeparatorsAndCharactersNoFileNameCarries) {
    struct Case {
        const char* date;
        const char* time;
        const char* stamp;
    };
    const Case cases[] = {
        {"22.05.2017", "13:36:04", "22_05_2017_13_36_04"},
        {"5/22/2017", "1:36:04 PM", "5_22_2017_1_36_04 PM"},
        {"2017-05-22", "13.36.04", "2017-05-22_13_36_04"},
        {"22\\05|2017", "13*36?04", "22_05_2017_13_36_04"},
        {"\"<22>\"", "\t", "__22____"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecordingStamp(c.date, c.time), c.stamp) << c.date << " " << c.time;
}

TEST(SignalFileName, CarriesLineZeroLevelAndStamp) {
    EXPECT_EQ(SignalFileName(1, 126, "22_05_2017_13_36_04"),
              "Norvellix_Sinyal_1_126_22_05_2017_13_36_04.dat");
    EXPECT_EQ(SignalFileName(4, 0, "x"), "Norvellix_Sinyal_4_0_x.dat");
}

TEST(SignalFileBytes, LaysOutTheTwoQuotedRecords) {
    std::vector<SamplePair> samples(kCaptureSamples, SamplePair{190, 35});
    samples.front() = {36, 37};
    samples.back() = {254, 255};
    const auto bytes = SignalFileBytes("0c0ffee0", samples);
    ASSERT_EQ(bytes.size(), 51216u);
    const std::string head(bytes.begin(), bytes.begin() + 13);
    EXPECT_EQ(head, "\"0c0ffee0\"\r\n\"");
    // 1-based bytes 14 and 15 hold the first pair; 51,212 and 51,213 the last.
    EXPECT_EQ(bytes[13], 36);
    EXPECT_EQ(bytes[14], 37);
    EXPECT_EQ(bytes[51211], 254);
    EXPECT_EQ(bytes[51212], 255);
    const std::string tail(bytes.end() - 3, bytes.end());
    EXPECT_EQ(tail, "\"\r\n");
    // A serial of another length shifts everything after it.
    EXPECT_EQ(SignalFileBytes("0123456789", samples).size(), 51218u);
}

// Four lines of random raw bytes, the whole range included.
std::unique_ptr<std::array<CaptureBuffer, kLinesPerDevice>> randomCaptures() {
    auto captures = std::make_unique<std::array<CaptureBuffer, kLinesPerDevice>>();
    std::mt19937 gen(7);
    for (auto& c : *captures)
        for (auto& b : c)
            b = static_cast<std::uint8_t>(gen());
    return captures;
}

class WriteRecordingTest : public ::testing::Test {
protected:
    std::unique_ptr<std::array<CaptureBuffer, kLinesPerDevice>> captures = randomCaptures();
    RecordingInput input() const {
        RecordingInput in;
        in.captures = captures.get();
        in.zeroLevels = {126, 128, 0, 119};
        in.serial = "1a2b3c4d";
        in.dateText = "22.05.2017";
        in.timeText = "13:36:04";
        return in;
    }
    ClockSeededRandom random;
    MemoryStore store;
    int pumps = 0;
    RecordingResult write() {
        return WriteRecording(input(), random, store, [this] { ++pumps; });
    }
};

TEST_F(WriteRecordingTest, StoresEachLinesDescrambledSamplesFlooredAt35) {
    const RecordingResult result = write();
    ASSERT_TRUE(result.ok());
    const std::vector<std::string> names = {"Norvellix_Sinyal_1_126_22_05_2017_13_36_04.dat",
                                            "Norvellix_Sinyal_2_128_22_05_2017_13_36_04.dat",
                                            "Norvellix_Sinyal_3_0_22_05_2017_13_36_04.dat",
                                            "Norvellix_Sinyal_4_119_22_05_2017_13_36_04.dat"};
    EXPECT_EQ(result.written, names);
    EXPECT_EQ(pumps, kCaptureSamples) << "the window runs once before every sample index";
    int floored = 0;
    for (int p = 1; p <= kLinesPerDevice; ++p) {
        const auto& bytes = store.files.at(names[p - 1]);
        ASSERT_EQ(bytes.size(), 51216u);
        testing::ParsedSignalFile parsed;
        std::string error;
        ASSERT_TRUE(testing::parseSignalFile(bytes, parsed, error)) << error;
        EXPECT_EQ(parsed.serial, "1a2b3c4d");
        ASSERT_EQ(parsed.samples.size(), static_cast<std::size_t>(kCaptureSamples));
        for (int i = 0; i < kCaptureSamples; ++i) {
            const int v = signalpath::descramble(p, (*captures)[p - 1][i]);
            floored += v < SampleFloor;
            ASSERT_EQ(parsed.samples[i], std::max(v, SampleFloor))
                << "line " << p << " sample " << i << " raw " << int((*captures)[p - 1][i]);
        }
    }
    EXPECT_GT(floored, 0) << "the capture held values below the floor";
}

TEST_F(WriteRecordingTest, AFileThatFailsLeavesTheOthersWrittenAndIsNamed) {
    store.failing.insert("Norvellix_Sinyal_2_128_22_05_2017_13_36_04.dat");
    const RecordingResult result = write();
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.written.size(), 3u);
    ASSERT_EQ(result.failed.size(), 1u);
    EXPECT_EQ(result.failed[0].name, "Norvellix_Sinyal_2_128_22_05_2017_13_36_04.dat");
    EXPECT_EQ(result.failed[0].error, "the disk is full");
    EXPECT_EQ(store.files.size(), 3u);
}

// The store over the real file system, in a directory of the test's own.
class CurrentDirectoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() /
              ("recorder-store-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    static std::vector<std::uint8_t> read(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::filesystem::path previous, dir;
    CurrentDirectoryStore store;
};

TEST_F(CurrentDirectoryStoreTest, CreatesAndReplacesFilesInTheCurrentDirectory) {
    std::string error;
    const std::vector<std::uint8_t> first = {34, 10, 13, 0, 255, 26};
    ASSERT_TRUE(store.write("a.dat", first, error)) << error;
    EXPECT_EQ(read(dir / "a.dat"), first) << "bytes are written as they are";
    const std::vector<std::uint8_t> second = {1};
    ASSERT_TRUE(store.write("a.dat", second, error)) << error;
    EXPECT_EQ(read(dir / "a.dat"), second);
    // UTF-8 names reach the file system as the characters they spell.
    ASSERT_TRUE(store.write("\xC3\x96rnek.dat", second, error)) << error;
    EXPECT_TRUE(std::filesystem::exists(dir / std::filesystem::path(u8"\u00D6rnek.dat")));
}

TEST_F(CurrentDirectoryStoreTest, AFileThatCannotBeCreatedIsReported) {
    std::string error;
    EXPECT_FALSE(store.write("missing/a.dat", std::vector<std::uint8_t>{1}, error));
    EXPECT_NE(error.find("cannot be created"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

} // namespace
} // namespace recorder
