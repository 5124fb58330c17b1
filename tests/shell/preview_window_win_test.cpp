// The preview window under Wine, in the running program: where it appears, how its frame keeps
// the image's aspect, what hides it and what a click on it asks of the main window.
#include <windows.h>

#include <string>
#include <vector>

#include "shell/preview_window.h"
#include "tests/shell/running_app.h"

namespace {

using running_app::PostedCodes;
using running_app::pump_for;
using running_app::pump_until;

// A 24-bit BMP of width x height with a gradient, bottom-up rows padded to 4 bytes.
std::vector<uint8_t> bmp_24(int width, int height) {
    const uint32_t stride = (3 * width + 3) & ~3u;
    const uint32_t image = stride * height;
    std::vector<uint8_t> b(54 + image, 0);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, 54 + image, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, width, 4);
    put(22, height, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, image, 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &b[54 + y * stride + 3 * x];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = 0x80;
        }
    return b;
}

std::wstring write_image(int width, int height) {
    const std::u16string path =
        unique_scratch_path(std::to_string(width) + "x" + std::to_string(height) + ".bmp");
    EXPECT_TRUE(write_bytes(path, bmp_24(width, height)));
    return std::wstring(path.begin(), path.end());
}

RECT window_rect(HWND w) {
    RECT r = {};
    GetWindowRect(w, &r);
    return r;
}

SIZE client_size(HWND w) {
    RECT r = {};
    GetClientRect(w, &r);
    return SIZE{r.right, r.bottom};
}

bool preview_shown() {
    return IsWindowVisible(g_shell.preview_window) != FALSE;
}

// A stand-in for a thumbnail cell: only its screen rectangle matters to the preview.
struct Cell {
    explicit Cell(RECT r)
        : window(CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
    ~Cell() { DestroyWindow(window); }
    Cell(const Cell&) = delete;
    Cell& operator=(const Cell&) = delete;
    HWND window;
};

class PreviewWindowTest : public running_app::RunningAppTest {
protected:
    // The main window at a known place, the preview size S and the tree's auto-show mode.
    void start(int preview_size, bool tree_auto_show = false) {
        SettingsFileBuilder settings;
        settings.integer(1, 100).integer(2, 80).integer(3, 900).integer(4, 600).integer(6, 200);
        settings.integer(7, tree_auto_show ? 1 : 0).integer(26, preview_size);
        start_app(settings);
    }

    // Asks for the preview of `path` over `cell` and waits until it shows.
    void show(HWND cell, const std::wstring& path) {
        ASSERT_TRUE(show_preview_for_cell(cell, path.c_str()));
        ASSERT_TRUE(pump_until(preview_shown, 5000));
        pump_for(100);
    }

    // Keyboard input goes to the preview's thread only while it is the foreground window.
    void bring_preview_to_front() {
        SetForegroundWindow(g_shell.preview_window);
        EXPECT_TRUE(pump_until([] { return GetForegroundWindow() == g_shell.preview_window; }, 3000));
    }

    // As the system does while the frame is dragged: ask the window, then apply what it returns.
    RECT size_by_frame(int edge, RECT proposed) {
        SendMessageW(g_shell.preview_window, WM_SIZING, edge, reinterpret_cast<LPARAM>(&proposed));
        SetWindowPos(g_shell.preview_window, nullptr, proposed.left, proposed.top,
                     proposed.right - proposed.left, proposed.bottom - proposed.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        pump_for(50);
        return proposed;
    }
};

TEST_F(PreviewWindowTest, AppearsOverTheCellWithinTheClientTreeAndWorkArea) {
    enum class Expect { centred, at_work_right, at_tree_right, at_client_top, at_client_left };
    struct Case {
        const char* what;
        bool tree_auto_show;
        RECT cell;
        Expect x, y;
    } cases[] = {
        {"centred", false, {600, 500, 744, 608}, Expect::centred, Expect::centred},
        {"near the work area's right edge",
         false,
         {1200, 500, 1344, 608},
         Expect::at_work_right,
         Expect::centred},
        {"left of the tree's edge", false, {0, 500, 144, 608}, Expect::at_tree_right, Expect::centred},
        {"above the client window", false, {600, 0, 744, 108}, Expect::centred, Expect::at_client_top},
        {"tree hiding itself", true, {0, 500, 144, 608}, Expect::at_client_left, Expect::centred},
    };
    const std::wstring image = write_image(300, 200);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start(400, c.tree_auto_show);
        Cell cell(c.cell);
        show(cell.window, image);
        // Smaller than S both ways: shown at its own size.
        const SIZE client = client_size(g_shell.preview_window);
        EXPECT_EQ(client.cx, 300);
        EXPECT_EQ(client.cy, 200);
        const RECT got = window_rect(g_shell.preview_window);
        const int width = got.right - got.left;
        const int height = got.bottom - got.top;
        EXPECT_EQ(width, 300 + g_shell.frame_width);
        EXPECT_EQ(height, 200 + g_shell.frame_height);
        RECT work = {};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const RECT main_client = window_rect(g_shell.client_window);
        const RECT tree = window_rect(g_shell.tree_pane);
        auto expected = [&](Expect e, bool horizontal) -> LONG {
            const LONG lo = horizontal ? c.cell.left : c.cell.top;
            const LONG hi = horizontal ? c.cell.right : c.cell.bottom;
            const LONG size = horizontal ? width : height;
            switch (e) {
                case Expect::centred: return lo - ((lo + size - hi) >> 1);
                case Expect::at_work_right: return work.right - size;
                case Expect::at_tree_right: return tree.right;
                case Expect::at_client_top: return main_client.top;
                case Expect::at_client_left: return main_client.left;
            }
            return -1;
        };
        EXPECT_EQ(got.left, expected(c.x, true));
        EXPECT_EQ(got.top, expected(c.y, false));
        ASSERT_TRUE(close_app());
    }
}

TEST_F(PreviewWindowTest, LargerImageIsFittedIntoThePreviewSize) {
    start(150);
    Cell cell({600, 500, 744, 608});
    show(cell.window, write_image(600, 400));
    const SIZE client = client_size(g_shell.preview_window);
    EXPECT_EQ(client.cx, 150);
    EXPECT_EQ(client.cy, 100);
}

TEST_F(PreviewWindowTest, PathIsTheCallersAtTheTimeOfTheCall) {
    start(400);
    Cell cell({600, 500, 744, 608});
    const std::wstring wide = write_image(300, 200);
    const std::wstring tall = write_image(120, 180);
    wchar_t path[MAX_PATH];
    lstrcpynW(path, wide.c_str(), MAX_PATH);
    ASSERT_TRUE(show_preview_for_cell(cell.window, path));
    // The view goes on with its buffer at once.
    lstrcpynW(path, tall.c_str(), MAX_PATH);
    ASSERT_TRUE(pump_until(preview_shown, 5000));
    const SIZE client = client_size(g_shell.preview_window);
    EXPECT_EQ(client.cx, 300);
    EXPECT_EQ(client.cy, 200);
}

TEST_F(PreviewWindowTest, RefusedRequestsAndUnreadableFilesShowNothing) {
    start(400);
    Cell cell({600, 500, 744, 608});
    EXPECT_FALSE(show_preview_for_cell(cell.window, L""));
    const std::wstring too_long(MAX_PATH, L'a');
    EXPECT_FALSE(show_preview_for_cell(cell.window, too_long.c_str()));
    const std::u16string text = unique_scratch_path("not-an-image.bmp");
    ASSERT_TRUE(write_bytes(text, std::vector<uint8_t>(100, 'x')));
    ASSERT_TRUE(show_preview_for_cell(cell.window, std::wstring(text.begin(), text.end()).c_str()));
    // The request raised the thread's priority; it is back at idle only once the load has
    // failed, so from then on nothing of this request can still appear.
    ASSERT_TRUE(pump_until(
        [] { return GetThreadPriority(g_shell.preview_thread.get()) == THREAD_PRIORITY_IDLE; }, 5000));
    pump_for(100);
    EXPECT_FALSE(preview_shown());
    // The failed load left the thread serving: the next readable file shows.
    show(cell.window, write_image(300, 200));
    EXPECT_EQ(client_size(g_shell.preview_window).cx, 300);
}

TEST_F(PreviewWindowTest, FrameKeepsTheImageAspect) {
    start(400);
    Cell cell({600, 400, 744, 508});
    show(cell.window, write_image(400, 300));
    const int m1 = g_shell.frame_width;
    const int m2 = g_shell.frame_height;
    const RECT start_rect = window_rect(g_shell.preview_window);
    struct Case {
        const char* what;
        int edge;
        int client_width_asked, client_height_asked;
        int client_width, client_height;
    } cases[] = {
        {"right edge widened", WMSZ_RIGHT, 640, 300, 640, 480},
        {"right edge below L1", WMSZ_RIGHT, 40, 300, 100, 75},
        {"bottom edge", WMSZ_BOTTOM, 400, 150, 200, 150},
        {"corner below L2", WMSZ_BOTTOMRIGHT, 500, 20, 100, 75},
        {"corner: the height leads", WMSZ_TOPLEFT, 900, 360, 480, 360},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RECT asked = {start_rect.left, start_rect.top, start_rect.left + c.client_width_asked + m1,
                            start_rect.top + c.client_height_asked + m2};
        size_by_frame(c.edge, asked);
        const SIZE client = client_size(g_shell.preview_window);
        EXPECT_EQ(client.cx, c.client_width);
        EXPECT_EQ(client.cy, c.client_height);
    }
}

TEST_F(PreviewWindowTest, HidingAfterAResizeKeepsTheNewSize) {
    enum class Hide { esc_key, code_401, right_click, loses_activation, next_preview };
    struct Case {
        const char* what;
        Hide how;
    } cases[] = {
        {"Esc", Hide::esc_key},
        {"401", Hide::code_401},
        {"right click", Hide::right_click},
        {"loss of activation", Hide::loses_activation},
        {"next preview", Hide::next_preview},
    };
    start(400);
    Cell cell({600, 400, 744, 508});
    // Larger than S, so that the size kept decides the next preview's.
    const std::wstring image = write_image(800, 600);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_shell.main_settings.preview_max = 400;
        show(cell.window, image);
        const RECT r = window_rect(g_shell.preview_window);
        // Widened by its right edge to a client area of 500 x 375.
        size_by_frame(WMSZ_RIGHT, RECT{r.left, r.top, r.left + 500 + g_shell.frame_width, r.bottom});
        ASSERT_EQ(client_size(g_shell.preview_window).cx, 500);
        switch (c.how) {
            case Hide::esc_key: {
                bring_preview_to_front();
                INPUT keys[2] = {};
                keys[0].type = keys[1].type = INPUT_KEYBOARD;
                keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
                keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
                ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
                break;
            }
            case Hide::code_401: PostMessageW(g_shell.preview_window, kAppMessage, kPreviewHide, 0); break;
            case Hide::right_click: PostMessageW(g_shell.preview_window, WM_RBUTTONUP, 0, 0); break;
            case Hide::loses_activation:
                SendMessageW(g_shell.preview_window, WM_ACTIVATE, WA_INACTIVE, 0);
                break;
            case Hide::next_preview: ASSERT_TRUE(show_preview_for_cell(cell.window, image.c_str())); break;
        }
        EXPECT_TRUE(pump_until([] { return g_shell.main_settings.preview_max == 500; }, 5000));
        if (c.how == Hide::next_preview) {
            // The new size is the next preview's: 500 x 375.
            EXPECT_TRUE(pump_until([] { return client_size(g_shell.preview_window).cx == 500; }, 5000));
            EXPECT_EQ(client_size(g_shell.preview_window).cy, 375);
            PostMessageW(g_shell.preview_window, kAppMessage, kPreviewHide, 0);
        }
        EXPECT_TRUE(pump_until([] { return !preview_shown(); }, 5000));
    }
}

TEST_F(PreviewWindowTest, ClicksAskTheMainWindowForTheActionsOfTheLastEntry) {
    struct Case {
        const char* what;
        UINT message;
        WPARAM keys;
        LONG active_view;
        std::vector<WPARAM> codes;
    } cases[] = {
        {"left click, view 1", WM_LBUTTONUP, 0, 0, {kMainActionImage1}},
        {"left click, view 2", WM_LBUTTONUP, 0, 1, {kMainActionImage2}},
        {"left up with the right held", WM_LBUTTONUP, MK_RBUTTON, 0, {kMainBothImage1}},
        {"right up with the left held", WM_RBUTTONUP, MK_LBUTTON, 1, {kMainBothImage2}},
        {"right click", WM_RBUTTONUP, 0, 0, {}},
    };
    start(400);
    Cell cell({600, 400, 744, 508});
    const std::wstring image = write_image(400, 300);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        set_preview_entry_index(17);
        show(cell.window, image);
        InterlockedExchange(&g_shell.active_view, c.active_view);
        PostedCodes posted({g_shell.main_window}, true);
        ASSERT_TRUE(posted.installed());
        PostMessageW(g_shell.preview_window, c.message, c.keys, MAKELPARAM(10, 10));
        pump_for(300);
        const std::vector<running_app::PostedCode> got = posted.codes();
        std::vector<WPARAM> codes;
        for (const running_app::PostedCode& p : got) {
            if (p.code >= kMainActionImage1 && p.code <= kMainBothInfo2) {
                codes.push_back(p.code);
                EXPECT_EQ(p.value, 17);
            }
        }
        EXPECT_EQ(codes, c.codes);
        // Only a plain right click hides the preview.
        EXPECT_EQ(preview_shown(), !c.codes.empty());
        PostMessageW(g_shell.preview_window, kAppMessage, kPreviewHide, 0);
        EXPECT_TRUE(pump_until([] { return !preview_shown(); }, 5000));
    }
    InterlockedExchange(&g_shell.active_view, 0);
}

TEST_F(PreviewWindowTest, ImageShownAtItsOwnSizeIsPaintedPixelForPixel) {
    start(400);
    Cell cell({600, 400, 744, 508});
    show(cell.window, write_image(300, 200));
    HDC dc = GetDC(g_shell.preview_window);
    ASSERT_NE(dc, nullptr);
    // Rows are stored bottom-up: client row y is image row 199 - y (green), column x is blue.
    const POINT points[] = {{0, 0}, {299, 0}, {0, 199}, {299, 199}, {123, 45}};
    for (const POINT& p : points)
        EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(0x80, 199 - p.y, p.x & 0xFF)) << p.x << "," << p.y;
    ReleaseDC(g_shell.preview_window, dc);
}

TEST_F(PreviewWindowTest, DraggingMovesTheWindowWithoutAClick) {
    start(400);
    Cell cell({600, 400, 744, 508});
    show(cell.window, write_image(300, 200));
    bring_preview_to_front();
    PostedCodes posted({g_shell.main_window}, true);
    const RECT before = window_rect(g_shell.preview_window);
    const POINT start_point = {before.left + 100, before.top + 100};
    const int screen_w = GetSystemMetrics(SM_CXSCREEN);
    const int screen_h = GetSystemMetrics(SM_CYSCREEN);
    auto mouse = [&](DWORD flags, int x, int y) {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = (x * 65536 + screen_w / 2) / screen_w;
        in.mi.dy = (y * 65536 + screen_h / 2) / screen_h;
        in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &in, sizeof in);
        pump_for(100);
    };
    mouse(0, start_point.x, start_point.y);
    // A press that lands anywhere but on the preview would start some other window's modal drag
    // on this very thread, which only a release could end.
    HWND under = WindowFromPoint(start_point);
    ASSERT_TRUE(under == g_shell.preview_window || IsChild(g_shell.preview_window, under))
        << "the preview is not under the pointer";
    mouse(MOUSEEVENTF_LEFTDOWN, start_point.x, start_point.y);
    mouse(0, start_point.x + 10, start_point.y);
    mouse(0, start_point.x + 40, start_point.y + 30);
    mouse(0, start_point.x + 60, start_point.y + 50);
    mouse(MOUSEEVENTF_LEFTUP, start_point.x + 60, start_point.y + 50);
    pump_for(200);
    const RECT after = window_rect(g_shell.preview_window);
    EXPECT_GE(after.left - before.left, 40);
    EXPECT_GE(after.top - before.top, 40);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_TRUE(posted.codes().empty());
}

}  // namespace
