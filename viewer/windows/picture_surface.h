// Picture1: the plot's drawing surface, a black child window whose picture is
// kept in a memory bitmap (so it persists between redraws and paints from there)
// and drawn only with a clear, a pen colour and lines.
#pragma once

#include "platform/windows/handles.h"
#include "viewer/plot.h"

#include <windows.h>

namespace viewer::windows {

class PictureSurface : public PlotSurface {
public:
    // Makes the child window at the given pixel rectangle of parent.
    PictureSurface(HWND parent, int id, RECT bounds);
    PictureSurface(const PictureSurface&) = delete;
    PictureSurface& operator=(const PictureSurface&) = delete;
    ~PictureSurface() override;

    HWND window() const { return window_; }
    // Shows what was drawn at the next paint.
    void present();

    // Drawing units are the pixels of the inside of the window, and the bottom
    // edge is its last row (not the row below it), so that value 0 is drawn.
    double ScaleWidth() const override { return width_; }
    double ScaleHeight() const override { return height_ - 1; }
    void Cls() override;
    void setForeColor(Colour c) override;
    void Line(double x1, double y1, double x2, double y2) override;

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    void paint();

    HWND window_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    platform::UniqueMemoryDc dc_;
    platform::UniqueBitmap bitmap_;
    HGDIOBJ originalBitmap_ = nullptr;
    platform::UniquePen pen_;
    HGDIOBJ originalPen_ = nullptr;
};

} // namespace viewer::windows
