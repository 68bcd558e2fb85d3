#include "recorder/signal_file.h"
#include "recorder/tests/memory_store.h"
#include "recorder/tests/signal_file_check.h"
#include "signalpath/descramble.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <random>

#ifdef _WIN32
#include "platform/windows/wide_text.h"

#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#endif

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

// The platform's own words for an error code.
#ifdef _WIN32
constexpr DWORD kPathNotFound = ERROR_PATH_NOT_FOUND;
std::string systemReason(DWORD code) {
    wchar_t text[512] = L"";
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, 512, nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' '))
        --n;
    return platform::wideToUtf8(std::wstring_view(text, n));
}
#else
constexpr int kPathNotFound = ENOENT;
std::string systemReason(int code) {
    return std::system_category().message(code);
}
#endif

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

TEST_F(CurrentDirectoryStoreTest, AFileThatCannotBeCreatedIsReportedWithTheSystemsReason) {
    std::string error;
    EXPECT_FALSE(store.write("missing/a.dat", std::vector<std::uint8_t>{1}, error));
    EXPECT_NE(error.find("cannot be created: " + systemReason(kPathNotFound)), std::string::npos)
        << error;
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

#ifdef _WIN32
// Under Wine the file system is the host's: the test run links this name to the
// host's /dev/full, where every write fails as on a full disk (the link itself
// cannot be removed from Windows, which also keeps the device safe).
TEST_F(CurrentDirectoryStoreTest, AFullDiskIsReportedWithTheSystemsMessage) {
    const std::filesystem::path folder = RECORDER_FULL_DEVICE_DIR;
    // Seen as a device, the link does not "exist" as a file: its folder lists it.
    std::error_code ec;
    const bool linked =
        std::any_of(std::filesystem::directory_iterator(folder, ec), {},
                    [](const auto& e) { return e.path().filename() == "full.dat"; });
    if (!linked)
        GTEST_SKIP() << "no link to a full device in " << folder.string();
    std::filesystem::current_path(folder);
    std::string error;
    EXPECT_FALSE(store.write("full.dat", std::vector<std::uint8_t>(51216, 35), error));
    EXPECT_NE(error.find("cannot be written: " + systemReason(ERROR_DISK_FULL)), std::string::npos)
        << error;
}
#else
// A real file system failing in the middle of a write: a file-size limit in a
// child process (the file exists and holds the first bytes when the write fails)
// and a full device (writes to /dev/full fail with ENOSPC, reached through a link
// in the test's directory). The child reports through a pipe.
TEST_F(CurrentDirectoryStoreTest, AWriteThatFailsMidwayLeavesNoFileAndGivesTheSystemsReason) {
    const std::vector<std::uint8_t> recording(51216, 35);
    const struct {
        const char* what;
        int code;
        bool limitSize;
    } cases[] = {{"a file-size limit", EFBIG, true}, {"a full device", ENOSPC, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.limitSize) {
            if (!std::filesystem::exists("/dev/full"))
                GTEST_SKIP() << "no /dev/full";
            std::filesystem::create_symlink("/dev/full", dir / "b.dat");
        }
        int channel[2];
        ASSERT_EQ(::pipe(channel), 0);
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            alarm(60); // a child that hangs is ended, and the test fails
            ::close(channel[0]);
            if (c.limitSize) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{4096, 4096};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            std::string reason;
            const bool ok = store.write("b.dat", recording, reason);
            const std::string report = (ok ? "ok " : "failed ") + reason;
            const ssize_t sent = ::write(channel[1], report.data(), report.size());
            _exit(sent == static_cast<ssize_t>(report.size()) ? 0 : 1);
        }
        ::close(channel[1]);
        std::string report;
        char buffer[256];
        for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
            report.append(buffer, static_cast<std::size_t>(n));
        ::close(channel[0]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child failed";
        EXPECT_EQ(report, "failed the file cannot be written: " + systemReason(c.code));
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "b.dat")))
            << "a partial file was left";
    }
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}
#endif

} // namespace
} // namespace recorder
