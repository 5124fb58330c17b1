// The view's Win32 helpers under Wine: the navigator popup, the painter, the zoom rectangle's
// capture and the button bar's sink, on real windows and DCs.
#include <gtest/gtest.h>
#include <windows.h>

#include "view/win/view_windows.h"

namespace {

constexpr COLORREF kImageColour = RGB(10, 200, 30);
constexpr COLORREF kBackground = RGB(250, 0, 250);

// A memory DC holding a 24-bit bitmap of one colour; solid, so that any stretch mode gives it.
struct SolidImage {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    SolidImage(int width, int height, COLORREF colour) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        previous = SelectObject(dc, bitmap);
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~SolidImage() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

HWND make_window() {
    return CreateWindowExW(0, L"STATIC", L"view", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// A view of an image larger than its client, panning, scrolled to (src_x, src_y).
ViewGeometry panning_view(int32_t image_width, int32_t image_height) {
    ViewGeometry view;
    view.zoom = kZoomActualSize;
    view.image_width = image_width;
    view.image_height = image_height;
    view.client_width = 50;
    view.client_height = 60;
    update_display_size(view);
    view.centre_x = image_width / 2;
    view.centre_y = image_height / 2;
    update_view_rects(view);
    view.drag_mode = kDragPanning;
    return view;
}

TEST(ViewWindowsWin, NavigatorShowsTheWholeImageAndTheVisibleFrame) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    ASSERT_TRUE(register_navigator_class(instance, L"Test_navi_class"));
    HWND owner = make_window();
    SolidImage image(100, 400, kImageColour);
    ViewGeometry view = panning_view(100, 400);
    NavigatorWindow navigator;
    ASSERT_TRUE(create_navigator_window(navigator, owner, L"Test_navi_class", instance, {&view, image.dc}));
    show_navigator(navigator, view, owner);
    // The longer side becomes 150: a 100 x 400 image gives 37 x 150, plus 4 for the border.
    RECT placed;
    GetWindowRect(navigator.window, &placed);
    EXPECT_EQ(placed.right - placed.left, 41);
    EXPECT_EQ(placed.bottom - placed.top, 154);
    EXPECT_TRUE(IsWindowVisible(navigator.window));

    SolidImage target(37, 150, RGB(0, 0, 0));
    paint_navigator(target.dc, view, image.dc);
    const ViewFrame& f = view.navigator_frame;
    ASSERT_LT(f.top + 1, f.bottom);
    // Inside the frame the image; on the frame its inverse.
    EXPECT_EQ(GetPixel(target.dc, (f.left + f.right) / 2, (f.top + f.bottom) / 2), kImageColour);
    EXPECT_EQ(GetPixel(target.dc, f.left, (f.top + f.bottom) / 2), RGB(255 - 10, 255 - 200, 255 - 30));
    EXPECT_EQ(GetPixel(target.dc, 0, f.bottom + 2 < 150 ? f.bottom + 2 : 0), kImageColour);

    SendMessageW(navigator.window, WM_RBUTTONUP, 0, 0);
    EXPECT_FALSE(IsWindowVisible(navigator.window));
    destroy_navigator_window(navigator);
    DestroyWindow(owner);
}

TEST(ViewWindowsWin, PainterCentresASmallImageOnTheBackground) {
    SolidImage image(10, 6, kImageColour);
    SolidImage target(40, 30, RGB(0, 0, 0));
    HBRUSH background = CreateSolidBrush(kBackground);
    ViewGeometry view;
    view.zoom = kZoomActualSize;
    view.image_width = 10;
    view.image_height = 6;
    view.client_width = 40;
    view.client_height = 30;
    update_display_size(view);
    update_view_rects(view);
    const RECT client = {0, 0, 40, 30};
    paint_original_pane(target.dc, client, view, image.dc, background);
    EXPECT_EQ(GetPixel(target.dc, 0, 0), kBackground);
    EXPECT_EQ(GetPixel(target.dc, 39, 29), kBackground);
    EXPECT_EQ(GetPixel(target.dc, view.dest_x - 1, 15), kBackground);
    EXPECT_EQ(GetPixel(target.dc, view.dest_x, view.dest_y), kImageColour);
    EXPECT_EQ(GetPixel(target.dc, 20, 15), kImageColour);
    EXPECT_EQ(GetPixel(target.dc, view.dest_x + 10, 15), kBackground);

    // A client of no size paints the background only and never stretches from nothing.
    ViewGeometry empty;
    update_view_rects(empty);
    paint_original_pane(target.dc, client, empty, image.dc, background);
    EXPECT_EQ(GetPixel(target.dc, 20, 15), kBackground);
    DeleteObject(background);
}

TEST(ViewWindowsWin, ZoomRectangleCapturesOnlyOverTheImage) {
    HWND window = make_window();
    ViewGeometry view = panning_view(100, 100);
    view.drag_mode = kDragNone;
    HDC dc = GetDC(window);
    EXPECT_FALSE(begin_zoom_rect_drag(window, view, POINT{view.dest_x + view.dest_width + 5, 5}));
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_TRUE(begin_zoom_rect_drag(window, view, POINT{view.dest_x + 2, view.dest_y + 2}));
    EXPECT_EQ(GetCapture(), window);
    track_zoom_rect_drag(dc, view, POINT{view.dest_x + 6, view.dest_y + 40});
    // 5 pixels wide: too narrow to zoom, but the capture ends.
    EXPECT_FALSE(end_zoom_rect_drag(dc, view, 400, 300));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(view.zoom, kZoomActualSize);

    ASSERT_TRUE(begin_zoom_rect_drag(window, view, POINT{view.dest_x, view.dest_y}));
    track_zoom_rect_drag(dc, view, POINT{view.dest_x + 20, view.dest_y + 20});
    EXPECT_TRUE(end_zoom_rect_drag(dc, view, 400, 300));
    EXPECT_GT(view.zoom, kZoomActualSize);
    ReleaseDC(window, dc);
    DestroyWindow(window);
}

WPARAM g_command = 0;
void record_command(HWND, WPARAM wparam, LPARAM) {
    g_command = wparam;
}

TEST(ViewWindowsWin, BarPassesCommandsToItsSinkAndSizesItsToolbar) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    ASSERT_TRUE(register_view_bar_class(instance, L"Test_vbar_class"));
    ViewBarSink sink;
    sink.command = record_command;
    HWND bar = CreateWindowExW(0, L"Test_vbar_class", nullptr, WS_POPUP, 0, 0, 300, 28, nullptr, nullptr,
                               instance, &sink);
    ASSERT_NE(bar, nullptr);
    HWND toolbar =
        CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD, 0, 0, 10, 10, bar, nullptr, instance, nullptr);
    SendMessageW(bar, WM_COMMAND, 8111, 0);
    EXPECT_EQ(g_command, WPARAM(8111));
    SendMessageW(bar, WM_SIZE, 0, MAKELPARAM(204, 28));
    RECT r;
    GetWindowRect(toolbar, &r);
    EXPECT_EQ(r.right - r.left, 204);
    DestroyWindow(bar);
}

TEST(ViewWindowsWin, ScrollingKeepsTheSourceInsideTheImage) {
    HWND window = make_window();
    ViewGeometry view = panning_view(300, 200);
    const PanCursors none;
    scroll_view_by_offset(window, view, -1000, -1000, nullptr, none);
    EXPECT_EQ(view.src_x, 0);
    EXPECT_EQ(view.src_y, 0);
    scroll_view_by_offset(window, view, 1000, 1000, nullptr, none);
    EXPECT_EQ(view.src_x, 300 - view.src_width);
    EXPECT_EQ(view.src_y, 200 - view.src_height);
    DestroyWindow(window);
}

}  // namespace
