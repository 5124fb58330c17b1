// The single view's repaint under Wine: a 24-megapixel 24-bit image (6000 x 4000) painted at
// fit zoom by the shared painter and by the single view's display-size copy, and while panning
// at 100 % (a scroll, then the client painted), beside a plain StretchBlt of the same sizes.
//   single_view_paint_winbench [REPEATS]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "imagewin/single_view_paint.h"
#include "view/core/view_geometry.h"
#include "view/win/view_windows.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kClientWidth = 1200;
constexpr int kClientHeight = 800;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

HBITMAP make_image() {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap) return nullptr;
    const size_t stride = (size_t(kWidth) * 3 + 3) / 4 * 4;
    auto* p = static_cast<unsigned char*>(pixels);
    for (size_t y = 0; y < size_t(kHeight); ++y)
        for (size_t x = 0; x < stride; ++x) p[y * stride + x] = static_cast<unsigned char>(x * 7 + y * 3);
    return bitmap;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::atoi(argv[1]) : 20;
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, kClientWidth, kClientHeight,
                                  nullptr, nullptr, nullptr, nullptr);
    HBITMAP image = make_image();
    if (!window || !image || repeats < 1) {
        std::fprintf(stderr, "cannot make the window or the image\n");
        return 1;
    }
    HDC dc = GetDC(window);
    HDC image_dc = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(image_dc, image);
    const RECT client = {0, 0, kClientWidth, kClientHeight};
    HBRUSH background = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));

    ViewGeometry view;
    view.image_width = kWidth;
    view.image_height = kHeight;
    view.client_width = kClientWidth;
    view.client_height = kClientHeight;
    view.zoom = kZoomActualSize;
    compute_fit_zoom(view, kClientWidth, kHeight, kWidth, kClientHeight);
    view.centre_x = kWidth / 2;
    view.centre_y = kHeight / 2;
    update_view_rects(view);

    for (const bool quality : {false, true}) {
        set_view_stretch_mode(dc, view, quality);
        paint_original_pane(dc, client, view, image_dc, background);  // warm
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < repeats; ++i) paint_original_pane(dc, client, view, image_dc, background);
        GdiFlush();
        const double ours = seconds_since(start) / repeats;
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < repeats; ++i)
            StretchBlt(dc, view.dest_x, view.dest_y, view.dest_width, view.dest_height, image_dc, 0, 0,
                       kWidth, kHeight, SRCCOPY);
        GdiFlush();
        const double plain = seconds_since(start) / repeats;
        DisplayCopy copy;
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < repeats; ++i) copy.paint(dc, client, view, image_dc, background, quality);
        GdiFlush();
        const double copied = seconds_since(start) / repeats;
        std::printf(
            "fit %5.2f %%, %s: painter %8.2f ms, display copy %8.2f ms (first paint included), plain "
            "StretchBlt %8.2f ms; ratios %.3f, %.3f\n",
            view.zoom / 100.0, quality ? "halftone" : "colouroncolour", ours * 1000, copied * 1000,
            plain * 1000, ours / plain, copied / plain);
    }

    // Panning at 100 %: each step scrolls the client and repaints what was uncovered.
    view.zoom = kZoomActualSize;
    update_display_size(view);
    update_view_rects(view);
    view.drag_mode = kDragPanning;
    SetStretchBltMode(dc, COLORONCOLOR);
    const PanCursors no_cursors;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats * 10; ++i) {
        scroll_view_by_offset(window, view, 3, 5, nullptr, no_cursors);
        update_view_rects(view);
        paint_original_pane(dc, client, view, image_dc, background);
    }
    GdiFlush();
    const double pan = seconds_since(start) / (repeats * 10);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats * 10; ++i)
        StretchBlt(dc, 0, 0, kClientWidth, kClientHeight, image_dc, i % 100, i % 100, kClientWidth,
                   kClientHeight, SRCCOPY);
    GdiFlush();
    const double plain_pan = seconds_since(start) / (repeats * 10);
    std::printf("pan 100 %%: view step %8.2f ms, plain 1:1 StretchBlt %8.2f ms, ratio %.3f\n", pan * 1000,
                plain_pan * 1000, pan / plain_pan);

    SelectObject(image_dc, old);
    DeleteDC(image_dc);
    ReleaseDC(window, dc);
    DeleteObject(image);
    DestroyWindow(window);
    return 0;
}
