#include "signalpath/bittext.h"
#include "viewer/signal_file.h"
#include "viewer/tests/signal_fixture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace viewer {
namespace {

using testing::signalFile;

// The unmasking in its bit-text steps, the reference the viewer's arithmetic must
// equal: the MSB-first text of m, its halves exchanged, the characters under the
// key's "1"s inverted, then reversed and read LSB-first.
int unmaskByText(int m, int k) {
    std::string t = signalpath::DesimaldenBinarye(m);
    t = t.substr(4) + t.substr(0, 4);
    const std::string kt = signalpath::DesimaldenBinarye(k);
    for (std::size_t i = 0; i < 8; ++i)
        if (kt[i] != '0')
            t[i] = t[i] == '0' ? '1' : '0';
    std::reverse(t.begin(), t.end());
    return signalpath::BinarydenDesimale(t);
}

TEST(MaskeAc, EqualsTheBitTextStepsForEveryPairOfBytes) {
    for (int m = 0; m <= 255; ++m)
        for (int k = 0; k <= 255; ++k)
            ASSERT_EQ(maske_aç(m, k), unmaskByText(m, k)) << "masked byte " << m << " key " << k;
}

TEST(MaskeAc, UndoesEveryPairTheRecorderWrites) {
    for (int v = testing::kSampleFloor; v <= 255; ++v)
        for (int k = testing::kSampleFloor; k <= 255; ++k)
            if (testing::masked(v, k) >= testing::kSampleFloor) {
                ASSERT_EQ(maske_aç(testing::masked(v, k), k), v) << "value " << v << " key " << k;
            }
}

TEST(MaskeAc, GivesAValueForAnyPairOfBytes) {
    EXPECT_EQ(maske_aç(190, 35), 200);
    EXPECT_EQ(maske_aç(34, 13), 47);  // a quote and CR
    EXPECT_EQ(maske_aç(10, 34), 130); // LF and a quote
    EXPECT_EQ(maske_aç(0, 0), 0);
    EXPECT_EQ(maske_aç(255, 0), 255);
    EXPECT_EQ(maske_aç(0x12, 0xFF), 0xDE);
}

std::vector<int> ramp(int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i)
        v.push_back(35 + i % 221);
    return v;
}

TEST(UnmaskSignal, PutsARecordersSamplesSixCellsOn) {
    const std::vector<int> values = ramp(testing::kRecordingSamples);
    const std::vector<std::uint8_t> file = signalFile(values, "A1B2C3D4");
    ASSERT_EQ(file.size(), 51216u);
    const LoadedSignal s = unmaskSignal(file);
    EXPECT_EQ(s.byteCount, 51216u);
    ASSERT_EQ(s.samples.upperBound(), 25608);
    // The serial's characters two at a time.
    EXPECT_EQ(s.samples[0], maske_aç('A', '1'));
    EXPECT_EQ(s.samples[3], maske_aç('D', '4'));
    EXPECT_EQ(s.samples[4], 47);
    EXPECT_EQ(s.samples[5], 130);
    for (int i = 0; i < testing::kRecordingSamples; ++i)
        ASSERT_EQ(s.samples[i + 6], values[static_cast<std::size_t>(i)]) << "sample " << i;
    EXPECT_EQ(s.samples[25606], 47);
    EXPECT_EQ(s.samples[25607], 0);
    EXPECT_EQ(s.samples[25608], 0);
    EXPECT_TRUE(s.decodable);
    EXPECT_EQ(receivedCountCaption(s), "Alınan Örnek Sayısı: 25608 adet");
}

// The largest file the viewer loads, of bytes that fill both places of a pair with
// every value: each cell is the bit-text unmasking of its pair.
TEST(UnmaskSignal, UnmasksTheLargestFileAsTheBitTextSteps) {
    std::vector<std::uint8_t> bytes(kMaxSignalFileBytes);
    std::mt19937 random(25);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    const LoadedSignal s = unmaskSignal(bytes);
    const int R = static_cast<int>(kMaxSignalFileBytes / 2);
    ASSERT_EQ(s.samples.upperBound(), R);
    for (int i = 0; i <= R - 2; ++i) {
        const auto at = static_cast<std::size_t>(2 * i);
        ASSERT_EQ(s.samples[i], unmaskByText(bytes[at + 1], bytes[at + 2])) << "cell " << i;
    }
    EXPECT_EQ(s.samples[R - 1], 0);
    EXPECT_EQ(s.samples[R], 0);
}

TEST(UnmaskSignal, FloorsValuesBelow35) {
    const LoadedSignal s = unmaskSignal(signalFile({0, 34, 35, 255}));
    EXPECT_EQ(s.samples[6], 35);
    EXPECT_EQ(s.samples[7], 35);
    EXPECT_EQ(s.samples[8], 35);
    EXPECT_EQ(s.samples[9], 255);
}

TEST(UnmaskSignal, OneRecordOfPairsStartsAtIndexZero) {
    const std::vector<int> values = ramp(10);
    std::vector<std::uint8_t> file;
    testing::appendRecord(file, testing::samplePairs(values));
    const LoadedSignal s = unmaskSignal(file);
    ASSERT_EQ(s.samples.upperBound(), 12);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(s.samples[i], values[static_cast<std::size_t>(i)]);
    EXPECT_EQ(s.samples[10], 47);
}

TEST(UnmaskSignal, SizesTheArrayByHalfTheLengthRoundedToEven) {
    const struct {
        std::size_t length;
        int upperBound;
        int filled; // entries unmasked
        const char* count;
    } cases[] = {{0, 0, 0, "0"},   {1, 0, 0, "0.5"}, {3, 2, 0, "1.5"}, {4, 2, 1, "2"},
                 {5, 2, 1, "2.5"}, {7, 4, 2, "3.5"}, {8, 4, 3, "4"}};
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> bytes(c.length, 200);
        const LoadedSignal s = unmaskSignal(bytes);
        EXPECT_EQ(s.samples.upperBound(), c.upperBound) << c.length << " bytes";
        for (int i = 0; i <= s.samples.upperBound(); ++i)
            EXPECT_EQ(s.samples[i], i < c.filled ? maske_aç(200, 200) : 0)
                << c.length << " bytes, entry " << i;
        EXPECT_NE(receivedCountCaption(s).find(std::string(": ") + c.count + " adet"),
                  std::string::npos)
            << receivedCountCaption(s);
    }
}

TEST(UnmaskSignal, OffersDecodingAbove40000Bytes) {
    EXPECT_FALSE(unmaskSignal(std::vector<std::uint8_t>(40000, 100)).decodable);
    EXPECT_TRUE(unmaskSignal(std::vector<std::uint8_t>(40001, 100)).decodable);
}

// The count alone, whatever the file holds: a recording cut short, a file of
// another kind and a serial of odd length read as what they are not, so the
// caption does not guess at them.
TEST(ReceivedCountCaption, IsTheCountAndNothingElse) {
    const std::vector<std::uint8_t> recording = signalFile(ramp(testing::kRecordingSamples));
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* caption;
    } cases[] = {
        {"empty", {}, "Alınan Örnek Sayısı: 0 adet"},
        {"short", signalFile(ramp(100)), "Alınan Örnek Sayısı: 108 adet"},
        {"a recording cut to 40,001 bytes",
         std::vector<std::uint8_t>(recording.begin(), recording.begin() + 40001),
         "Alınan Örnek Sayısı: 20000.5 adet"},
        {"not a recording", std::vector<std::uint8_t>(50000, 100),
         "Alınan Örnek Sayısı: 25000 adet"},
        {"a serial of odd length", signalFile(ramp(25600), "ABC"),
         "Alınan Örnek Sayısı: 25605.5 adet"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(receivedCountCaption(unmaskSignal(c.bytes)), c.caption) << c.name;
}

class SignalFileRead : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("viewer_read_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string name(const std::string& file) const { return (dir_ / file).string(); }
    std::filesystem::path dir_;
};

TEST_F(SignalFileRead, ReadsEveryByte) {
    const std::vector<std::uint8_t> bytes = signalFile(ramp(300));
    testing::writeFile(dir_ / "a.dat", bytes);
    const FileBytes f = readSignalFile(name("a.dat"));
    EXPECT_EQ(f.error, FileError::None);
    EXPECT_EQ(f.bytes, bytes);
}

TEST_F(SignalFileRead, ReadsANameWithTurkishLetters) {
    const std::string file = "Sinyal_çığır_Ö.dat";
    testing::writeFile(dir_ / std::filesystem::path(std::u8string(file.begin(), file.end())),
                       {1, 2, 3});
    const FileBytes f = readSignalFile(name("") + file);
    EXPECT_EQ(f.error, FileError::None);
    EXPECT_EQ(f.bytes.size(), 3u);
}

TEST_F(SignalFileRead, RefusesWhatCannotBeOpened) {
    EXPECT_EQ(readSignalFile(name("missing.dat")).error, FileError::CannotOpen);
    EXPECT_EQ(readSignalFile(dir_.string()).error, FileError::CannotOpen);
    EXPECT_EQ(readSignalFile("").error, FileError::CannotOpen);
    EXPECT_EQ(fileErrorCaption(FileError::CannotOpen, "x.dat"), "Dosya açılamadı: x.dat");
    EXPECT_EQ(fileErrorCaption(FileError::ReadFailed, "x.dat"), "Dosya okunamadı: x.dat");
    EXPECT_EQ(fileErrorCaption(FileError::TooLarge, "x.dat"), "Dosya çok büyük: x.dat");
}

TEST_F(SignalFileRead, HoldsNoMoreThanTheBound) {
    static_assert(kMaxSignalFileBytes >= 10 * 51216, "far above a recording");
    std::vector<std::uint8_t> bytes(kMaxSignalFileBytes, 100);
    testing::writeFile(dir_ / "bound.dat", bytes);
    const FileBytes whole = readSignalFile(name("bound.dat"));
    EXPECT_EQ(whole.error, FileError::None);
    EXPECT_EQ(whole.bytes.size(), kMaxSignalFileBytes);
    EXPECT_LE(whole.bytes.capacity(), kMaxSignalFileBytes);

    bytes.push_back(100);
    testing::writeFile(dir_ / "over.dat", bytes);
    const FileBytes over = readSignalFile(name("over.dat"));
    EXPECT_EQ(over.error, FileError::TooLarge);
    EXPECT_TRUE(over.bytes.empty());
    EXPECT_LE(over.bytes.capacity(), kMaxSignalFileBytes);
}

} // namespace
} // namespace viewer
