#include "platform/tests/windows/window_capture.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <type_traits>

namespace platform::testing {

Capture captureScreen(const RECT& r) {
    Capture capture;
    capture.width = r.right - r.left;
    capture.height = r.bottom - r.top;
    if (capture.width <= 0 || capture.height <= 0)
        return {};
    const auto releaseScreen = [](HDC dc) { ReleaseDC(nullptr, dc); };
    const std::unique_ptr<std::remove_pointer_t<HDC>, decltype(releaseScreen)> screen(
        GetDC(nullptr), releaseScreen);
    const std::unique_ptr<std::remove_pointer_t<HDC>, decltype(&DeleteDC)> memory(
        CreateCompatibleDC(screen.get()), &DeleteDC);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const std::unique_ptr<std::remove_pointer_t<HBITMAP>, decltype(&DeleteObject)> bitmap(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0), &DeleteObject);
    if (!screen || !memory || !bitmap || !bits)
        return {};
    const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, capture.width, capture.height, screen.get(), r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* bgra = static_cast<const unsigned char*>(bits);
    capture.pixels.resize(static_cast<std::size_t>(capture.width) * capture.height);
    for (std::size_t i = 0; i < capture.pixels.size(); ++i)
        capture.pixels[i] = RGB(bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]);
    SelectObject(memory.get(), old);
    return capture;
}

Capture captureWindow(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return captureScreen(r);
}

bool writeBmp(const Capture& capture, const std::wstring& path) {
    if (capture.pixels.empty())
        return false;
    const int rowBytes = (capture.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = capture.width;
    header.biHeight = capture.height; // bottom-up, as viewers expect
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(rowBytes * capture.height);
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    std::vector<char> row(static_cast<std::size_t>(rowBytes), 0);
    for (int y = capture.height - 1; y >= 0; --y) {
        for (int x = 0; x < capture.width; ++x) {
            COLORREF c = capture.at(x, y);
            row[3 * x] = static_cast<char>(GetBValue(c));
            row[3 * x + 1] = static_cast<char>(GetGValue(c));
            row[3 * x + 2] = static_cast<char>(GetRValue(c));
        }
        out.write(row.data(), rowBytes);
    }
    return static_cast<bool>(out);
}

namespace {

double luminance(COLORREF c) {
    const auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(c)) + 0.7152 * linear(GetGValue(c)) +
           0.0722 * linear(GetBValue(c));
}

} // namespace

double contrastRatio(COLORREF a, COLORREF b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace platform::testing
