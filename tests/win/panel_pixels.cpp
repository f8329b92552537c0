#include "tests/win/panel_pixels.h"

#include <sstream>

const SwitchBox kBoxes[6] = {
    {"cross top", {190, 35, 224, 69}, Up, 2, 2},
    {"cross bottom", {190, 115, 224, 149}, Down, 3, 3},
    {"cross left", {150, 75, 184, 109}, Left, 0, 0},
    {"cross right", {230, 75, 264, 109}, Right, 1, 1},
    {"column top", {300, 35, 334, 69}, Up, 5, 4},
    {"column bottom", {300, 115, 334, 149}, Down, 4, 5},
};

const Label kLabels[2] = {{"X/Y", {190, 75, 224, 109}}, {"Z", {300, 75, 334, 109}}};

namespace {

constexpr int kBaseDpi = 96;
// The arrow keeps this far from the box's edges.
constexpr int kArrowInset = 9;

}  // namespace

int Scaled(int pixelsAt96, int dpi) { return ::MulDiv(pixelsAt96, dpi, kBaseDpi); }

RECT Scaled(const RECT& r, int dpi) {
    const LONG left = Scaled(r.left, dpi), top = Scaled(r.top, dpi);
    return {left, top, left + Scaled(r.right - r.left, dpi), top + Scaled(r.bottom - r.top, dpi)};
}

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

std::string ColorText(COLORREF c) {
    std::ostringstream s;
    s << "RGB(" << int(GetRValue(c)) << "," << int(GetGValue(c)) << "," << int(GetBValue(c)) << ")";
    return s.str();
}

PixelCapture PixelCapture::OfClient(HWND hWnd) {
    RECT client;
    ::GetClientRect(hWnd, &client);
    const HDC dc = ::GetDC(hWnd);
    PixelCapture capture(dc, POINT{0, 0}, client.right, client.bottom);
    ::ReleaseDC(hWnd, dc);
    return capture;
}

PixelCapture PixelCapture::OfScreen(HWND hWnd) {
    RECT client;
    ::GetClientRect(hWnd, &client);
    POINT origin = {0, 0};
    ::ClientToScreen(hWnd, &origin);
    const HDC screen = ::GetDC(nullptr);
    PixelCapture capture(screen, origin, client.right, client.bottom);
    ::ReleaseDC(nullptr, screen);
    return capture;
}

PixelCapture::PixelCapture(HDC source, POINT origin, int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC memory = ::CreateCompatibleDC(source);
    const HBITMAP bitmap = ::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!memory || !bitmap || !bits) {
        if (bitmap)
            ::DeleteObject(bitmap);
        if (memory)
            ::DeleteDC(memory);
        width_ = height_ = 0;
        return;
    }
    const HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width_, height_, source, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const std::uint32_t* p = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
}

COLORREF PixelCapture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return CLR_INVALID;
    const std::uint32_t bgr = pixels_[static_cast<size_t>(y) * width_ + x];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

std::vector<Probe> FillProbes(const SwitchBox& box) { return FillProbes(box, kBaseDpi); }

std::vector<Probe> ArrowProbes(const SwitchBox& box) { return ArrowProbes(box, kBaseDpi); }

std::vector<Probe> FillProbes(const SwitchBox& box, int dpi) {
    const RECT r = Scaled(box.rect, dpi);
    const int inset = Scaled(kArrowInset, dpi);
    // Just inside the arrow's square, at its corners.
    const int nearX = r.left + inset + 1, farX = r.right - inset - 2;
    const int nearY = r.top + inset + 1, farY = r.bottom - inset - 2;
    std::vector<Probe> probes = {{r.left + Scaled(4, dpi), r.top + Scaled(4, dpi)}};
    switch (box.direction) {
    case Up:
        probes.insert(probes.end(), {{nearX, nearY}, {farX, nearY}});
        break;
    case Down:
        probes.insert(probes.end(), {{nearX, farY}, {farX, farY}});
        break;
    case Left:
        probes.insert(probes.end(), {{nearX, nearY}, {nearX, farY}});
        break;
    case Right:
        probes.insert(probes.end(), {{farX, nearY}, {farX, farY}});
        break;
    }
    return probes;
}

std::vector<Probe> ArrowProbes(const SwitchBox& box, int dpi) {
    const RECT r = Scaled(box.rect, dpi);
    const int inset = Scaled(kArrowInset, dpi);
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    // Along the arrow's axis: its apex, the middle of its base, and which
    // way the apex lies from the base (+1 right or down).
    const bool vertical = box.direction == Up || box.direction == Down;
    const int first = vertical ? r.top + inset : r.left + inset;
    const int last = vertical ? r.bottom - inset : r.right - inset;
    const bool apexFirst = box.direction == Up || box.direction == Left;
    const int apex = apexFirst ? first : last, base = apexFirst ? last : first;
    const int toward = apexFirst ? -1 : 1;
    // The centroid, just inside the apex, and just inside the base.
    const int along[3] = {(apex + 2 * base + 1) / 3, apex - toward * Scaled(2, dpi), base + toward * Scaled(1, dpi)};
    std::vector<Probe> probes;
    for (int a : along)
        probes.push_back(vertical ? Probe{cx, a} : Probe{a, cy});
    return probes;
}

COLORREF PanelExpectation::Fill(const SwitchBox& box) const {
    if (!connected)
        return ::GetSysColor(COLOR_BTNFACE);
    const int flag = swapped ? box.swappedFlag : box.flag;
    return switches.at(static_cast<size_t>(flag)) == '1' ? kGreen : kRed;
}

std::string PanelDifferences(const PixelCapture& c, const PanelExpectation& e) {
    return PanelDifferences(c, e, kBaseDpi);
}

std::string PanelDifferences(const PixelCapture& c, const PanelExpectation& e, int dpi) {
    std::ostringstream out;
    for (const SwitchBox& box : kBoxes) {
        const COLORREF fill = e.Fill(box);
        for (const Probe& p : FillProbes(box, dpi)) {
            if (c.At(p.x, p.y) != fill)
                out << box.name << " fill at (" << p.x << "," << p.y << ") is " << ColorText(c.At(p.x, p.y))
                    << ", expected " << ColorText(fill) << "\n";
        }
        for (const Probe& p : ArrowProbes(box, dpi)) {
            if (c.At(p.x, p.y) != kBlack)
                out << box.name << " arrow at (" << p.x << "," << p.y << ") is " << ColorText(c.At(p.x, p.y)) << "\n";
        }
    }
    return out.str();
}
