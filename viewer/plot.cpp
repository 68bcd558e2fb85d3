#include "viewer/plot.h"

#include "viewer/number_text.h"

namespace viewer {

void drawEmptyPlot(PlotSurface& surface) {
    surface.Cls();
    surface.setForeColor(kGuideColour);
    const float height = static_cast<float>(surface.ScaleHeight());
    const float scale = height / static_cast<float>(kPlotLevels);
    for (int level : kGuideLevels) {
        const float y = height - static_cast<float>(level) * scale;
        surface.Line(0.0, y, surface.ScaleWidth(), y);
    }
}

void drawArray(PlotSurface& surface, const PlotSamples& samples) {
    surface.Cls();
    const double W = surface.ScaleWidth();
    const double H = surface.ScaleHeight();
    const int U = samples.upperBound();
    const double ys = H / kPlotLevels;
    surface.setForeColor(kGuideColour);
    for (int level : kGuideLevels)
        surface.Line(0.0, H - level * ys, W, H - level * ys);
    surface.setForeColor(kTraceColour);
    if (U <= 0)
        return;
    const double xs = W / U;
    double prevX = 0.0;
    double prevY = roundHalfEven(H - samples[0] * ys);
    for (int i = 0; i < U; ++i) {
        const double x = i * xs;
        const double y = H - samples[i] * ys;
        surface.Line(prevX, prevY, x, y);
        prevX = x;
        prevY = roundHalfEven(y);
    }
}

} // namespace viewer
