// The tone tests of a device's lines on one report's samples.
#include "component/device_lines.h"
#include "standin/callerid_burst.h"

#include <cmath>
#include <gtest/gtest.h>

namespace component {
namespace {

struct NoOwner final : DeviceLinesOwner {
    void SendStartCommand(int) override {}
    void raiseCall(int, int, const std::string&) override {}
};

signalpath::DetectionBuffer toneBuffer(double hz, double amplitude = 48.0) {
    signalpath::DetectionBuffer b{};
    for (int i = 0; i < 16; ++i)
        b[i] = static_cast<int>(
            std::lround(amplitude * std::sin(2 * 3.14159265358979 * hz * i / 8000)));
    b[16] = b[15];
    return b;
}

TEST(DeviceLineTests, SeizureNeedsAlternatingPairsAndMarkAllMarks) {
    NoOwner owner;
    DeviceLines lines(owner, 1);
    struct Case {
        const char* name;
        signalpath::DetectionBuffer buffer;
        bool seizure;
        bool mark;
    } cases[] = {
        {"mark tone", toneBuffer(1200), false, true},
        {"space tone", toneBuffer(2200), false, false},
        {"silence", {}, false, false},
    };
    for (const Case& c : cases) {
        lines.DetectionBuffer[2] = c.buffer;
        EXPECT_EQ(lines.DetectSeizure(3), c.seizure) << c.name;
        EXPECT_EQ(lines.DetectMark(3), c.mark) << c.name;
    }

    // Space in the first six samples and mark after them: the trial at entry 0 reads
    // "01", the later ones see mixed windows; a seizure needs all five.
    signalpath::DetectionBuffer mixed = toneBuffer(2200);
    const signalpath::DetectionBuffer mark = toneBuffer(1200);
    std::copy(mark.begin() + 6, mark.end(), mixed.begin() + 6);
    lines.DetectionBuffer[0] = mixed;
    EXPECT_FALSE(lines.DetectMark(1)) << "no kept value: only all five trials count";
}

TEST(DeviceLineTests, ACallStagesTheOtherLinesOnly) {
    NoOwner owner;
    DeviceLines lines(owner, 2);
    lines.stageOtherLines(2);
    EXPECT_EQ(lines.LineStage, (std::array<std::uint8_t, 4>{1, 0, 1, 1}));
}

} // namespace
} // namespace component
