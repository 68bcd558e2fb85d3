#include "viewer/plot.h"
#include "viewer/tests/recording_surface.h"

#include <cmath>
#include <gtest/gtest.h>

namespace viewer {
namespace {

using testing::RecordingSurface;

void expectGuideLines(const RecordingSurface& s, double tolerance) {
    ASSERT_GE(s.lines.size(), 5u);
    for (std::size_t g = 0; g < 5; ++g) {
        const auto& line = s.lines[g];
        const double y = s.height - kGuideLevels[g] * s.height / 265.0;
        EXPECT_EQ(line.colour, kGuideColour);
        EXPECT_EQ(line.x1, 0.0);
        EXPECT_EQ(line.x2, s.width);
        EXPECT_NEAR(line.y1, y, tolerance) << "guide " << kGuideLevels[g];
        EXPECT_EQ(line.y2, line.y1);
    }
}

TEST(Plot, AtStartUpShowsGuideLinesAndAFlatTraceAlongTheBottom) {
    RecordingSurface s;
    drawArray(s, PlotSamples(4978));
    EXPECT_EQ(s.clears, 1);
    expectGuideLines(s, 0);
    ASSERT_EQ(s.lines.size(), 5u + 4978u);
    const auto& first = s.lines[5];
    EXPECT_EQ(first.colour, kTraceColour);
    EXPECT_EQ(first.x1, first.x2); // the first segment has no length
    EXPECT_EQ(first.y1, first.y2);
    for (std::size_t i = 5; i < s.lines.size(); ++i)
        ASSERT_EQ(s.lines[i].y2, s.height);
    EXPECT_DOUBLE_EQ(s.lines.back().x2, 4977 * s.width / 4978);
}

TEST(Plot, PlacesEachValueAtItsCellAndRoundsTheSegmentsStart) {
    PlotSamples samples(4);
    samples[0] = 100;
    samples[1] = 200;
    samples[2] = 0;
    samples[3] = 265;
    samples[4] = 50; // the last cell is never drawn
    RecordingSurface s;
    s.width = 400;
    s.height = 300;
    drawArray(s, samples);
    ASSERT_EQ(s.lines.size(), 5u + 4u);
    const double ys = 300.0 / 265.0;
    const double y[] = {300 - 100 * ys, 300 - 200 * ys, 300, 300 - 265 * ys};
    for (int i = 0; i < 4; ++i) {
        const auto& l = s.lines[static_cast<std::size_t>(5 + i)];
        EXPECT_DOUBLE_EQ(l.x2, i * 100.0);
        EXPECT_DOUBLE_EQ(l.y2, y[i]);
        EXPECT_EQ(l.x1, i == 0 ? 0.0 : (i - 1) * 100.0);
        EXPECT_EQ(l.y1, std::nearbyint(y[i == 0 ? 0 : i - 1]));
    }
    EXPECT_DOUBLE_EQ(s.lines.back().y2, 0.0); // 265 on the top edge
}

TEST(Plot, DrawsOnlyTheGuideLinesForAnArrayOfOneCell) {
    RecordingSurface s;
    drawArray(s, PlotSamples(0));
    EXPECT_EQ(s.lines.size(), 5u);
}

TEST(Plot, AnEmptyPlotHasTheGuideLinesInSinglePrecision) {
    RecordingSurface s;
    drawEmptyPlot(s);
    EXPECT_EQ(s.clears, 1);
    ASSERT_EQ(s.lines.size(), 5u);
    expectGuideLines(s, 1e-3);
}

} // namespace
} // namespace viewer
