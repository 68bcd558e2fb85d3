// Calibration of a device's zero levels, and the following of each line until it is
// found at rest.
#include "signalpath/zero_level.h"

#include <algorithm>
#include <numeric>

namespace signalpath {

int ZeroLevelCalibration::reportSum(ReportSamples report, int position) {
    int sum = 0;
    for (int g = 0; g < kSampleGroups; ++g)
        sum += descramble(position,
                          report[static_cast<std::size_t>(kLinePositions * g + position - 1)]);
    return sum;
}

void ZeroLevelCalibration::calibrate(ReportSamples report, Levels levels) {
    for (int p = 1; p <= kLinePositions; ++p) {
        const int sum = reportSum(report, p);
        levels[static_cast<std::size_t>(p - 1)] = roundedMean(sum, kSampleGroups);
        lines_[static_cast<std::size_t>(p - 1)] = {true, false, 0, {}, sum};
    }
    reportsInBlock_ = 1;
    blocksDone_ = 0;
    nextBlock_ = 0;
}

bool ZeroLevelCalibration::following() const {
    return std::any_of(lines_.begin(), lines_.end(), [](const Line& l) { return l.followed; });
}

void ZeroLevelCalibration::follow(ReportSamples report, Levels levels) {
    if (!following())
        return;
    for (int p = 1; p <= kLinePositions; ++p) {
        Line& line = lines_[static_cast<std::size_t>(p - 1)];
        if (line.followed)
            line.blockSum += reportSum(report, p);
    }
    if (++reportsInBlock_ < kLevelBlockReports)
        return;
    reportsInBlock_ = 0;
    for (Line& line : lines_) {
        line.blocks[static_cast<std::size_t>(nextBlock_)] = line.blockSum;
        line.blockSum = 0;
    }
    nextBlock_ = (nextBlock_ + 1) % kRestSpanBlocks;
    blocksDone_ = std::min(blocksDone_ + 1, kRestSpanBlocks);
    if (blocksDone_ < kRestSpanBlocks)
        return;
    for (int p = 1; p <= kLinePositions; ++p) {
        Line& line = lines_[static_cast<std::size_t>(p - 1)];
        if (!line.followed)
            continue;
        const auto [low, high] = std::minmax_element(line.blocks.begin(), line.blocks.end());
        if (*high - *low > kRestSwing * kLevelBlockSamples) {
            line.swinging = true;
            line.spansAtRest = 0;
            continue;
        }
        // The first span at rest after a swing may still hold the swing's last small
        // wave: the level comes from the one that follows it, all at rest in between.
        if (line.swinging && ++line.spansAtRest <= kRestSpanBlocks)
            continue;
        if (line.swinging)
            levels[static_cast<std::size_t>(p - 1)] =
                roundedMean(std::accumulate(line.blocks.begin(), line.blocks.end(), 0),
                            kRestSpanBlocks * kLevelBlockSamples);
        line.followed = false;
    }
}

} // namespace signalpath
