// The signal plot: how the samples of the plot array become lines on a drawing
// surface that offers only clearing, a drawing colour and lines. The window gives
// the surface; tests record what would be drawn.
#pragma once

#include "viewer/sample_array.h"

#include <array>
#include <cstdint>

namespace viewer {

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Colour&) const = default;
};

inline constexpr Colour kGuideColour{50, 50, 50};
inline constexpr Colour kTraceColour{0, 255, 0};
// The guide lines' sample levels, drawn in this order.
inline constexpr std::array<int, 5> kGuideLevels{51, 102, 154, 205, 255};
// The plot's height in sample units: value 0 on the bottom edge, 265 on the top.
inline constexpr double kPlotLevels = 265.0;

// Coordinates are the surface's own drawing units, y growing downwards.
class PlotSurface {
public:
    virtual ~PlotSurface() = default;
    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;
    virtual void Cls() = 0; // clear to the background
    virtual void setForeColor(Colour c) = 0;
    virtual void Line(double x1, double y1, double x2, double y2) = 0;
};

// The plot emptied at a load: cleared, then the guide lines with the scale kept
// in single precision.
void drawEmptyPlot(PlotSurface& surface);

// The whole plot from the array: cleared, the guide lines, then one trace segment
// per cell 0..U-1 (cell U is never drawn), each from the previous point with its
// y rounded to a whole unit. Draws nothing but the guide lines when U is 0.
void drawArray(PlotSurface& surface, const PlotSamples& samples);

} // namespace viewer
