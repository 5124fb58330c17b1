// The viewer's frame window run inside the test: its real window procedure, timers and memory DC,
// so that what is drawn from (the bitmap selected into the view's DC) can be read back.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernels/lookup_tables.h"
#include "shell/shell_state.h"
#include "tests/support/test_support.h"
#include "viewer/viewer_app.h"

namespace {

class ViewerFrame : public ::testing::Test {
protected:
    void SetUp() override {
        g_viewer = ViewerApp{};
        build_blend_table(g_viewer_blend_table);
        ViewerApp& v = g_viewer;
        v.instance = GetModuleHandleW(nullptr);
        v.arrow = LoadCursorW(nullptr, IDC_ARROW);
        v.wait = v.arrow;
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS | CS_OWNDC;
        wc.lpfnWndProc = viewer_frame_proc;
        wc.hInstance = v.instance;
        wc.hCursor = v.arrow;
        wc.lpszClassName = kViewerFrameClass;
        ASSERT_TRUE(RegisterClassExW(&wc));
        ASSERT_TRUE(register_view_bar_class(v.instance, kViewerBarClass));
        HWND frame =
            CreateWindowExW(kViewerExStyle, kViewerFrameClass, L"Qelvo", kViewerWindowStyle | WS_VISIBLE, 20,
                            20, 400, 300, nullptr, nullptr, v.instance, nullptr);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(v.frame, frame);
    }
    void TearDown() override {
        if (g_viewer.frame) DestroyWindow(g_viewer.frame);
        // The frame's WM_DESTROY ends the message loop it would have run.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassW(kViewerFrameClass, g_viewer.instance);
        UnregisterClassW(kViewerBarClass, g_viewer.instance);
    }

    static HGDIOBJ drawn_bitmap() { return GetCurrentObject(g_viewer.memory_dc, OBJ_BITMAP); }

    // Runs the frame's messages for `ms` and returns the bitmaps drawn from, each time it changed.
    static std::vector<HGDIOBJ> play_for(int ms) {
        std::vector<HGDIOBJ> seen{drawn_bitmap()};
        const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
        for (;;) {
            const DWORD now = GetTickCount();
            if (static_cast<LONG>(end - now) <= 0) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
                if (drawn_bitmap() != seen.back()) seen.push_back(drawn_bitmap());
            }
        }
        return seen;
    }
};

TEST_F(ViewerFrame, AnimatedGifsAdvanceAndALoopCountOfOneStopsOnTheFirstFrame) {
    // Two frames of 0.2 s each: red, then blue.
    const std::u16string once = fixture_path("viewer/red_blue_once.gif");
    ASSERT_TRUE(viewer_open_file(wide(once)));
    viewer_show_loaded_image();
    const ViewerAnimation& a = g_viewer.image.animation;
    ASSERT_TRUE(a.animated);
    ASSERT_EQ(a.frame_count, 2);
    EXPECT_EQ(a.loops_left, 1);
    HGDIOBJ first = a.frames[0], second = a.frames[1];
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first, g_viewer.image.bitmap);
    // One round: the second frame, then the first for good (an endless loop would have shown the
    // second frame again four times in that time).
    const std::vector<HGDIOBJ> seen = play_for(2000);
    EXPECT_EQ(seen, (std::vector<HGDIOBJ>{first, second, first}));
    EXPECT_EQ(a.current, 0);

    const std::u16string endless = fixture_path("viewer/red_blue_endless.gif");
    ASSERT_TRUE(viewer_open_file(wide(endless)));
    viewer_show_loaded_image();
    ASSERT_TRUE(a.animated);
    EXPECT_EQ(a.loops_left, 0);
    const std::vector<HGDIOBJ> looping = play_for(1500);
    ASSERT_GE(looping.size(), 4u);
    for (size_t i = 0; i < looping.size(); ++i) EXPECT_EQ(looping[i], i % 2 ? a.frames[1] : a.frames[0]) << i;
}

TEST_F(ViewerFrame, TurningAnAnimationEndsItsPlayback) {
    const std::u16string endless = fixture_path("viewer/red_blue_endless.gif");
    ASSERT_TRUE(viewer_open_file(wide(endless)));
    viewer_show_loaded_image();
    viewer_do_command(kViewerTurnRight);
    EXPECT_FALSE(g_viewer.image.animation.animated);
    EXPECT_EQ(g_viewer.image.width, 16);
    EXPECT_EQ(g_viewer.image.height, 24);
    HGDIOBJ turned = drawn_bitmap();
    EXPECT_EQ(turned, g_viewer.image.bitmap);
    EXPECT_EQ(play_for(600), std::vector<HGDIOBJ>{turned});
}

TEST_F(ViewerFrame, FullScreenPutsTheCaptionBetweenTheNavigationAndTheWindowButtons) {
    const std::u16string once = fixture_path("viewer/red_blue_once.gif");
    ASSERT_TRUE(viewer_open_file(wide(once)));
    viewer_show_loaded_image();
    viewer_enter_full_screen();
    viewer_show_image_info();
    auto rect_of = [](int id) {
        RECT r = {};
        SendMessageW(g_viewer.toolbar, TB_GETRECT, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&r));
        return r;
    };
    const RECT last = rect_of(kViewerLastFile), separator = rect_of(9911), close = rect_of(kViewerClose);
    RECT text = {};
    GetWindowRect(g_viewer.caption, &text);
    MapWindowPoints(nullptr, g_viewer.toolbar, reinterpret_cast<POINT*>(&text), 2);
    ASSERT_TRUE(GetWindowLongW(g_viewer.caption, GWL_STYLE) & WS_VISIBLE);
    // The window buttons sit at the monitor's right edge, inside the bar's border.
    EXPECT_LE(close.right, GetSystemMetrics(SM_CXSCREEN) - 2);
    EXPECT_GE(close.right, GetSystemMetrics(SM_CXSCREEN) - 8);
    // One separator's width after the last navigation button, up to the window buttons' separator.
    EXPECT_EQ(text.left, last.right + (separator.right - separator.left));
    EXPECT_LT(text.right, separator.left + 1);
    EXPECT_GT(text.right, separator.left - 4);
    wchar_t caption[256] = {};
    GetWindowTextW(g_viewer.caption, caption, 256);
    EXPECT_EQ(std::wstring(caption).rfind(L"red_blue_once.gif  ( 24x16  ", 0), 0u) << caption;

    viewer_leave_full_screen();
    EXPECT_FALSE(GetWindowLongW(g_viewer.caption, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(ViewerFrame, APngWithAlphaIsBlendedOverTheTransparencyColour) {
    // 40 x 30: an opaque blue middle inside a border of red at alpha 127.
    const std::u16string png = fixture_path("viewer/half_red_alpha.png");
    ASSERT_TRUE(viewer_open_file(wide(png)));
    const ViewerImage& image = g_viewer.image;
    ASSERT_EQ(image.width, 40);
    ASSERT_EQ(image.height, 30);
    ASSERT_EQ(image.bit_count, 24);
    ASSERT_NE(image.pixels, nullptr);
    const int stride = (image.width * 3 + 3) & ~3;
    // Blue, green, red of the pixel at (x, y) from the top of a bottom-up bitmap.
    auto pixel = [&](int x, int y) { return image.pixels + (image.height - 1 - y) * stride + x * 3; };
    struct Case {
        int x, y, blue, green, red;
    };
    // Red at alpha 127 over the default white: 255, 128, 128 within rounding.
    const Case cases[] = {{0, 0, 128, 128, 255},
                          {39, 29, 128, 128, 255},
                          {3, 15, 128, 128, 255},
                          {20, 15, 255, 0, 0},
                          {10, 10, 255, 0, 0}};
    for (const Case& c : cases) {
        const uint8_t* p = pixel(c.x, c.y);
        EXPECT_NEAR(p[0], c.blue, 1) << c.x << "," << c.y;
        EXPECT_NEAR(p[1], c.green, 1) << c.x << "," << c.y;
        EXPECT_NEAR(p[2], c.red, 1) << c.x << "," << c.y;
    }
}

}  // namespace
