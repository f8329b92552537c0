#include "bench/screen.h"

#include <sstream>

#include "display/panel_model.h"

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
    if (memory && bitmap && bits) {
        const HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width_, height_, source, origin.x, origin.y, SRCCOPY);
        ::GdiFlush();
        const std::uint32_t* p = static_cast<const std::uint32_t*>(bits);
        pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
        ::SelectObject(memory, previous);
    } else {
        width_ = height_ = 0;
    }
    if (bitmap)
        ::DeleteObject(bitmap);
    if (memory)
        ::DeleteDC(memory);
}

COLORREF PixelCapture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return CLR_INVALID;
    const std::uint32_t bgr = pixels_[static_cast<size_t>(y) * width_ + x];
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

std::string PanelDifferences(const PixelCapture& c, const PanelExpectation& e, int dpi) {
    static const char* const kBoxNames[6] = {"cross top", "cross bottom", "cross left", "cross right", "column top",
                                             "column bottom"};
    PanelSnapshot snapshot = {};
    snapshot.connected = e.connected;
    for (size_t i = 0; i < 6; ++i)
        snapshot.flags[i] = i < e.switches.size() && e.switches[i] == '1';
    snapshot.invertZ = e.swapped;
    snapshot.btnFace = ::GetSysColor(COLOR_BTNFACE);
    snapshot.btnText = ::GetSysColor(COLOR_BTNTEXT);
    const RaisedEdge edge = RaisedEdgeAt(dpi);
    const int frame = edge.outer + edge.inner;

    std::ostringstream out;
    int box = -1;
    const auto check = [&](int x, int y, COLORREF want, const char* what) {
        if (c.At(x, y) != want)
            out << kBoxNames[box] << " " << what << " at (" << x << "," << y << ") is " << ColorText(c.At(x, y))
                << ", expected " << ColorText(want) << "\n";
    };
    for (const PanelPrimitive& p : PanelPrimitives(snapshot, dpi)) {
        const PanelRect& r = p.rect;
        if (p.kind == PanelPrimitive::Fill) {
            ++box;
            // Inside the frame at each corner: the arrow never reaches there.
            for (const int x : {r.left + frame + 1, r.right - frame - 2})
                for (const int y : {r.top + frame + 1, r.bottom - frame - 2})
                    check(x, y, p.color, "fill");
        } else if (p.kind == PanelPrimitive::Triangle) {
            // The middle, and a third of the way in from each corner: an
            // arrow pointing elsewhere leaves one of them in the fill.
            const PanelPoint* v = p.vertices;
            const int cx = (v[0].x + v[1].x + v[2].x) / 3, cy = (v[0].y + v[1].y + v[2].y) / 3;
            check(cx, cy, p.color, "arrow");
            for (int i = 0; i < 3; ++i)
                check(v[i].x + (cx - v[i].x) / 3, v[i].y + (cy - v[i].y) / 3, p.color, "arrow");
        }
    }
    return out.str();
}

std::string ColorText(COLORREF c) {
    std::ostringstream s;
    s << "RGB(" << int(GetRValue(c)) << "," << int(GetGValue(c)) << "," << int(GetBValue(c)) << ")";
    return s.str();
}

std::wstring WindowText(HWND hWnd) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &copied);
    return buffer;
}

bool WaitUntil(const std::function<bool()>& fn, int timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (fn())
            return true;
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(10);
    }
}
