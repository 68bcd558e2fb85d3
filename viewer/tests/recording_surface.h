// A drawing surface that keeps what would be drawn on it, for plot tests.
#pragma once

#include "viewer/plot.h"

#include <vector>

namespace viewer::testing {

struct DrawnLine {
    double x1, y1, x2, y2;
    Colour colour;
};

struct RecordingSurface : PlotSurface {
    double width = 757;
    double height = 313;
    int clears = 0;
    Colour colour{255, 255, 255};
    std::vector<DrawnLine> lines; // since the last Cls

    double ScaleWidth() const override { return width; }
    double ScaleHeight() const override { return height; }
    void Cls() override {
        ++clears;
        lines.clear();
    }
    void setForeColor(Colour c) override { colour = c; }
    void Line(double x1, double y1, double x2, double y2) override {
        lines.push_back({x1, y1, x2, y2, colour});
    }
};

} // namespace viewer::testing
