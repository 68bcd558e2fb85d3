// What a window shows, read back from the screen, for the programs' window tests
// under Wine: the colours of a text and its ground, the pixels of a plot, and a
// screenshot kept in the build tree.
#pragma once

#include <string>
#include <vector>
#include <windows.h>

namespace platform::testing {

// A captured part of the screen, 32-bit pixels top-down.
struct Capture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels; // RGB() order
    COLORREF at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Capture captureScreen(const RECT& screenRect);
// The client area of a window as the screen shows it.
Capture captureWindow(HWND window);
// Writes a capture as a 24-bit BMP file; true on success.
bool writeBmp(const Capture& capture, const std::wstring& path);

// The contrast ratio of two colours (1 to 21), from their relative luminance.
double contrastRatio(COLORREF a, COLORREF b);

} // namespace platform::testing
