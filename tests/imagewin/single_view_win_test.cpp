// The single view under Wine: the real window over a scratch folder of images, driven by its
// commands, posted mouse messages and its own timers; the thread's hand-over to the main window.
#include <gtest/gtest.h>
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstring>
#include <string>
#include <vector>

#include "common/utf16.h"
#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/image_windows.h"
#include "imagewin/single_view.h"
#include "imagewin/single_view_paint.h"
#include "imagewin/tool_host.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "shell/entry_points.h"
#include "shell/launch.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "tests/imagewin/help_dialog_readback_win.h"
#include "tests/imagewin/menu_readback_win.h"
#include "tests/support/test_double_dialog.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::vector<std::wstring> g_boxes;

int recording_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

void put16(Bytes* b, int v) {
    b->push_back(uint8_t(v));
    b->push_back(uint8_t(v >> 8));
}
void put32(Bytes* b, uint32_t v) {
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16));
}

// A 24-bit BMP of width x height whose pixels follow `seed`.
Bytes bmp_file(int width, int height, int seed) {
    const uint32_t stride = uint32_t(width * 3 + 3) / 4 * 4;
    const uint32_t size = stride * uint32_t(height);
    Bytes b = {'B', 'M'};
    put32(&b, 54 + size);
    put32(&b, 0);
    put32(&b, 54);
    put32(&b, 40);
    put32(&b, uint32_t(width));
    put32(&b, uint32_t(height));
    put16(&b, 1);
    put16(&b, 24);
    for (int i = 0; i < 6; ++i) put32(&b, 0);
    for (uint32_t i = 0; i < size; ++i) b.push_back(uint8_t(i * 13 + uint32_t(seed)));
    return b;
}

// An animated GIF of `frames` frames of 3 x 2 pixels, 5/100 s each, playing `loops` times.
Bytes animated_gif(int frames, int loops) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    put16(&b, 3);
    put16(&b, 2);
    b.insert(b.end(), {0x82, 0, 0});
    for (int i = 0; i < 8; ++i) b.insert(b.end(), {uint8_t(30 * i), uint8_t(255 - 30 * i), uint8_t(10 * i)});
    const char id[] = "NETSCAPE2.0";
    b.insert(b.end(), {0x21, 0xFF, 11});
    b.insert(b.end(), id, id + 11);
    b.insert(b.end(), {3, 1});
    put16(&b, loops);
    b.push_back(0);
    for (int f = 0; f < frames; ++f) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0x04});
        put16(&b, 5);
        b.insert(b.end(), {0, 0});
        b.push_back(0x2C);
        put16(&b, 0);
        put16(&b, 0);
        put16(&b, 3);
        put16(&b, 2);
        b.push_back(0);
        // Minimum code size 3; clear (8), six literal indices, end (9), all in 4-bit codes.
        const uint8_t v = uint8_t(f & 7);
        const uint8_t codes[8] = {8, v, v, v, v, v, v, 9};
        Bytes lzw;
        for (int i = 0; i < 8; i += 2) lzw.push_back(uint8_t(codes[i] | (codes[i + 1] << 4)));
        b.push_back(3);
        b.push_back(uint8_t(lzw.size()));
        b.insert(b.end(), lzw.begin(), lzw.end());
        b.push_back(0);
    }
    b.push_back(0x3B);
    return b;
}

void pump_for(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

template <typename Done>
bool pump_until(Done done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        pump_for(5);
    }
    return true;
}

EditState& s() {
    return g_edit_state;
}

LPARAM at(int x, int y) {
    return MAKELPARAM(x, y);
}

class SingleViewWin : public ::testing::Test {
protected:
    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        ASSERT_TRUE(create_codec_contexts());
        saved_options_ = g_browser_options;
        g_browser_options.plugin_folder.clear();
        g_shell.instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(register_single_view_classes(g_shell.instance));
        SingleViewSettings& v = g_shell.single_view;
        v.stretch_mode = 4;
        for (int i = 0; i < 3; ++i) {
            v.keep_zoom[i] = 0;
            v.fit_large[i] = 1;
            v.enlarge_small[i] = 0;
            v.wheel_action[i] = 0;
        }
        v.drag_zooms_view = 1;
        v.double_click_closes_view = 1;
        v.both_buttons_edit = 1;
        v.slide_repeat = 0;
        v.slide_interval = 1;
        v.view_background = 3;
        for (int32_t& flag : g_shell.main_settings.help_at_start) flag = 0;
        g_boxes.clear();
        previous_hook_ = set_message_box_hook(recording_box);
        ShellEntryPoints table;
        test_double_dialog::fill_entry_points(&table);
        // The histogram is a one-shot of the tools: present, so the view's menu offers it.
        register_edit_one_shot(kCmdHistogram, [](int32_t) { return false; });
        install_shell_entry_points(table);
    }

    void TearDown() override {
        close_view();
        g_edit_state = EditState{};
        install_shell_entry_points(ShellEntryPoints{});
        install_edit_tool_table(nullptr);
        set_message_box_hook(previous_hook_);
        g_browser_options = saved_options_;
        destroy_codec_contexts();
        set_handover_text(u"");
    }

    // A scratch folder with the named files, each written from its bytes.
    std::u16string folder_of(const std::vector<std::pair<std::string, Bytes>>& files) {
        const std::u16string folder = scratch_path("view" + std::to_string(folder_serial_++));
        CreateDirectoryW(wide(folder), nullptr);
        for (const auto& f : files)
            EXPECT_TRUE(write_bytes(folder + u"\\" + utf8_to_utf16(f.first), f.second));
        return folder;
    }

    HWND open(const std::u16string& path, int32_t mode) {
        set_handover_text(path);
        HWND window = create_view_window(mode);
        pump_for(50);
        return window;
    }

    void close_view() {
        if (!s().image_window) return;
        HWND window = s().image_window;
        SendMessageW(window, WM_CLOSE, 0, 0);
        pump_until([&] { return !IsWindow(window); }, 2000);
    }

    void command(int id) {
        SendMessageW(s().image_window, WM_COMMAND, WPARAM(id), 0);
        pump_for(20);
    }

    DWORD style() { return DWORD(GetWindowLongW(s().image_window, GWL_STYLE)); }

    std::wstring title() {
        wchar_t text[512] = {};
        GetWindowTextW(s().image_window, text, 512);
        return text;
    }

    SIZE client_size() {
        RECT r;
        GetClientRect(s().image_window, &r);
        return SIZE{r.right, r.bottom};
    }

    BrowserOptions saved_options_;
    MessageBoxHook previous_hook_ = nullptr;
    int folder_serial_ = 0;
};

TEST_F(SingleViewWin, OpensInBothModesAndCloseReleasesItsObjects) {
    const std::u16string folder =
        folder_of({{"a.bmp", bmp_file(320, 200, 1)}, {"b.bmp", bmp_file(30, 20, 2)}});
    struct Case {
        int32_t mode;
        bool full_screen;
        DWORD style_bits;
    };
    for (const Case& c : {Case{0, false, 0x82CF0000}, Case{1, true, 0x820B0000}}) {
        SCOPED_TRACE(c.mode);
        HWND window = open(folder + u"\\a.bmp", c.mode);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(s().image_window, window);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(single_view_full_screen(), c.full_screen);
        EXPECT_EQ(style() & 0xFFFF0000 & ~DWORD(WS_VISIBLE | WS_MAXIMIZE | WS_CLIPSIBLINGS), c.style_bits);
        EXPECT_EQ(s().view.zoom, kZoomActualSize);
        EXPECT_NE(title().find(L"a.bmp"), std::wstring::npos) << title();
        EXPECT_TRUE(handover_text().empty()) << "the start path is taken once";
        if (!c.full_screen) {
            // The window is sized to the image at 100 %.
            EXPECT_EQ(client_size().cx, 320);
            EXPECT_EQ(client_size().cy, 200);
        }
        const HDC memory_dc = s().memory_dc;
        const HBITMAP bitmap = s().bitmap;
        ASSERT_NE(GetObjectType(memory_dc), 0u);
        ASSERT_NE(GetObjectType(bitmap), 0u);
        command(8202);
        pump_until([&] { return !IsWindow(window); }, 2000);
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(s().image_window, nullptr);
        EXPECT_EQ(GetObjectType(memory_dc), 0u) << "memory DC left behind";
        EXPECT_EQ(GetObjectType(bitmap), 0u) << "image bitmap left behind";
        EXPECT_EQ(s().bitmap, nullptr);
        EXPECT_EQ(s().image.folder[0], 0);
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SingleViewWin, AnImageThatDoesNotLoadShowsTheBoxAndCloses) {
    const std::u16string folder = folder_of({{"bad.bmp", Bytes{'B', 'M', 1, 2}}});
    HWND window = open(folder + u"\\bad.bmp", 0);
    ASSERT_NE(window, nullptr);
    pump_until([&] { return !IsWindow(window); }, 2000);
    EXPECT_FALSE(IsWindow(window));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], L"画像の表示に失敗しました。");
}

TEST_F(SingleViewWin, ZoomCommandsAndFullScreenBothWays) {
    const std::u16string folder = folder_of({{"a.bmp", bmp_file(300, 200, 1)}});
    ASSERT_NE(open(folder + u"\\a.bmp", 0), nullptr);
    struct Step {
        int command;
        int32_t zoom;  // 0: a fitted zoom other than 100 %
    };
    const Step steps[] = {{8122, 20000}, {8112, 10000}, {8123, 5000},
                          {8110, 10000}, {8131, 0},     {8110, 10000}};
    for (const Step& step : steps) {
        command(step.command);
        SCOPED_TRACE(step.command);
        if (step.zoom) {
            EXPECT_EQ(s().view.zoom, step.zoom);
            // The window is placed around the displayed size.
            EXPECT_EQ(client_size().cx, 300 * step.zoom / 10000);
            EXPECT_EQ(client_size().cy, 200 * step.zoom / 10000);
        } else {
            EXPECT_NE(s().view.zoom, 10000);
        }
        EXPECT_NE(title().find(std::to_wstring(s().view.zoom / 100) + L"%"), std::wstring::npos) << title();
    }
    // 8110 at exactly 100 % fits the image to the largest client the work area allows.
    command(8112);
    command(8110);
    EXPECT_GT(s().view.zoom, 10000);

    command(8200);
    pump_for(300);
    EXPECT_TRUE(single_view_full_screen());
    EXPECT_EQ(style() & WS_CAPTION, 0u);
    RECT work, monitor;
    get_monitor_rects(s().image_window, &work, &monitor);
    EXPECT_EQ(client_size().cx, monitor.right - monitor.left);
    EXPECT_EQ(client_size().cy, monitor.bottom - monitor.top);
    HWND toolbar = s().single.toolbar;
    ASSERT_NE(toolbar, nullptr);
    EXPECT_FALSE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 8200, 0)) << "full-screen buttons shown";
    command(8200);
    EXPECT_FALSE(single_view_full_screen());
    EXPECT_EQ(style() & WS_CAPTION, DWORD(WS_CAPTION));
    EXPECT_TRUE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 8200, 0));
    EXPECT_EQ(client_size().cx, s().view.display_width);
    EXPECT_EQ(s().view.zoom, 10000) << "window mode without keep-zoom starts again at 100 %";
}

TEST_F(SingleViewWin, RightDragPansByTheShiftedDeltaOrIsRefusedWhenTheImageFits) {
    const std::u16string folder =
        folder_of({{"big.bmp", bmp_file(2600, 2000, 1)}, {"small.bmp", bmp_file(40, 30, 2)}});
    HWND window = open(folder + u"\\big.bmp", 0);
    ASSERT_NE(window, nullptr);
    command(8112);
    ASSERT_LT(s().view.client_width, s().view.display_width);
    const int32_t shift = s().view.large_image_shift;
    EXPECT_EQ(shift, 1) << "an image larger than the screen pans twice as fast";
    const int32_t x0 = s().view.src_x, y0 = s().view.src_y;
    PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, at(200, 200));
    PostMessageW(window, WM_MOUSEMOVE, MK_RBUTTON, at(200, 190));
    PostMessageW(window, WM_MOUSEMOVE, MK_RBUTTON, at(190, 185));
    pump_for(50);
    EXPECT_EQ(s().view.drag_mode, kDragPanning);
    EXPECT_EQ(s().view.src_x - x0, 10 << shift);
    EXPECT_EQ(s().view.src_y - y0, 5 << shift);
    EXPECT_EQ(GetCapture(), window);
    PostMessageW(window, WM_RBUTTONUP, 0, at(190, 185));
    pump_for(50);
    EXPECT_EQ(s().view.drag_mode, kDragNone);
    EXPECT_NE(GetCapture(), window);

    command(8013);
    ASSERT_NE(title().find(L"small.bmp"), std::wstring::npos) << title();
    PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, at(10, 10));
    PostMessageW(window, WM_MOUSEMOVE, MK_RBUTTON, at(20, 10));
    pump_for(50);
    EXPECT_EQ(s().view.drag_mode, kDragRefused);
    PostMessageW(window, WM_RBUTTONUP, 0, at(20, 10));
    pump_for(50);
}

TEST_F(SingleViewWin, CaptureLossEndsEveryDragAndCommandsRunAgain) {
    const std::u16string folder = folder_of({{"big.bmp", bmp_file(2600, 2000, 1)}});
    HWND window = open(folder + u"\\big.bmp", 1);
    ASSERT_NE(window, nullptr);
    command(8112);
    HWND thief =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(thief, nullptr);
    struct Case {
        const char* name;
        std::vector<std::pair<UINT, std::pair<WPARAM, LPARAM>>> input;
    };
    const Case cases[] = {
        {"pan", {{WM_RBUTTONDOWN, {MK_RBUTTON, at(300, 300)}}, {WM_MOUSEMOVE, {MK_RBUTTON, at(280, 300)}}}},
        {"pressed", {{WM_RBUTTONDOWN, {MK_RBUTTON, at(300, 300)}}}},
        {"zoom rectangle",
         {{WM_LBUTTONDOWN, {MK_LBUTTON, at(300, 300)}}, {WM_MOUSEMOVE, {MK_LBUTTON, at(350, 340)}}}},
        {"both buttons",
         {{WM_RBUTTONDOWN, {MK_RBUTTON, at(300, 300)}},
          {WM_LBUTTONDOWN, {MK_LBUTTON | MK_RBUTTON, at(300, 300)}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& m : c.input) PostMessageW(window, m.first, m.second.first, m.second.second);
        pump_for(30);
        SetCapture(thief);
        pump_for(20);
        ReleaseCapture();
        EXPECT_EQ(s().view.drag_mode, kDragNone);
        EXPECT_FALSE(s().view.zoom_drag_active);
        EXPECT_FALSE(s().single.both_buttons_pending);
        command(8123);
        EXPECT_EQ(s().view.zoom, 5000) << "a command after the lost release still runs";
        command(8112);
    }
    EXPECT_TRUE(IsWindow(window)) << "no hand-over from a release that never came";
    DestroyWindow(thief);
}

TEST_F(SingleViewWin, SlideShowStepsByItsTimerAndStopsAfterTheLastFile) {
    const std::u16string folder = folder_of(
        {{"a.bmp", bmp_file(30, 20, 1)}, {"b.bmp", bmp_file(30, 20, 2)}, {"c.bmp", bmp_file(30, 20, 3)}});
    HWND window = open(folder + u"\\b.bmp", 0);
    ASSERT_NE(window, nullptr);
    command(8020);
    EXPECT_TRUE(s().single.slide_show);
    EXPECT_TRUE(single_view_full_screen()) << "a slide show runs full screen";
    // During the show the bar greys navigation and zoom, but not the full-screen buttons.
    HWND toolbar = s().single.toolbar;
    EXPECT_FALSE(SendMessageW(toolbar, TB_ISBUTTONENABLED, 8013, 0));
    EXPECT_FALSE(SendMessageW(toolbar, TB_ISBUTTONENABLED, 8111, 0));
    EXPECT_TRUE(SendMessageW(toolbar, TB_ISBUTTONENABLED, 8202, 0));
    ASSERT_TRUE(pump_until([] { return !s().single.slide_show; }, 5000));
    EXPECT_EQ(image_file_list().selected, 2);
    EXPECT_NE(title().find(L"c.bmp"), std::wstring::npos) << title();
    EXPECT_TRUE(SendMessageW(toolbar, TB_ISBUTTONENABLED, 8013, 0));
    EXPECT_TRUE(IsWindow(window));

    // Without looping nothing starts on the last file; with looping the show wraps round.
    command(8020);
    EXPECT_FALSE(s().single.slide_show);
    g_shell.single_view.slide_repeat = 1;
    command(8020);
    ASSERT_TRUE(s().single.slide_show);
    ASSERT_TRUE(pump_until([] { return image_file_list().selected == 0; }, 3000));
    EXPECT_TRUE(s().single.slide_show);
    // Any key stops the show without running that key's command.
    PostMessageW(window, WM_KEYDOWN, VK_RIGHT, 0);
    pump_for(30);
    EXPECT_FALSE(s().single.slide_show);
    EXPECT_EQ(image_file_list().selected, 0);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SingleViewWin, SlideShowOverOneFileDoesNotStart) {
    const std::u16string folder = folder_of({{"only.bmp", bmp_file(30, 20, 1)}});
    ASSERT_NE(open(folder + u"\\only.bmp", 0), nullptr);
    g_shell.single_view.slide_repeat = 1;
    command(8020);
    EXPECT_FALSE(s().single.slide_show);
}

TEST_F(SingleViewWin, GifPlaysItsLoopsAndEndsOnItsOwnBitmap) {
    const std::u16string folder =
        folder_of({{"a_once.gif", animated_gif(3, 1)}, {"b_loop.gif", animated_gif(3, 0)}});
    ASSERT_NE(open(folder + u"\\a_once.gif", 0), nullptr);
    ASSERT_TRUE(s().animation.animated);
    int32_t highest = 0;
    const bool ended = pump_until(
        [&] {
            highest = std::max(highest, s().animation.current_frame);
            return GetCurrentObject(s().memory_dc, OBJ_BITMAP) == s().bitmap && highest > 0;
        },
        3000);
    EXPECT_TRUE(ended);
    EXPECT_EQ(highest, 2) << "every frame was shown";
    pump_for(200);
    EXPECT_EQ(GetCurrentObject(s().memory_dc, OBJ_BITMAP), s().bitmap) << "playback stays ended";

    command(8013);
    ASSERT_TRUE(s().animation.animated);
    int wraps = 0;
    int32_t last = 0;
    pump_until(
        [&] {
            if (s().animation.current_frame < last) ++wraps;
            last = s().animation.current_frame;
            return wraps >= 2;
        },
        3000);
    EXPECT_GE(wraps, 2) << "loop count 0 plays on";
}

TEST_F(SingleViewWin, TurningTheDisplayKeepsNoHistory) {
    const std::u16string folder = folder_of({{"a.bmp", bmp_file(30, 20, 1)}});
    ASSERT_NE(open(folder + u"\\a.bmp", 0), nullptr);
    command(8101);
    EXPECT_EQ(s().image.width, 20);
    EXPECT_EQ(s().image.height, 30);
    command(8100);
    EXPECT_EQ(s().image.width, 30);
    EXPECT_EQ(s().history.step_count(), 0);
    EXPECT_NE(title().find(L"a.bmp"), std::wstring::npos) << "the file is still the one on show";
}

TEST_F(SingleViewWin, WaysToCloseAndTheMinimisedHandOver) {
    g_shell.main_settings.delete_silently = 1;
    struct Case {
        const char* name;
        UINT message;
        WPARAM wparam;
        bool closes;
    };
    const Case cases[] = {
        {"double-click", WM_LBUTTONDBLCLK, MK_LBUTTON, true},
        {"double-click with Ctrl", WM_LBUTTONDBLCLK, MK_LBUTTON | MK_CONTROL, false},
        {"delete the only file", WM_COMMAND, 8050, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string folder = folder_of({{"only.bmp", bmp_file(30, 20, 1)}});
        HWND window = open(folder + u"\\only.bmp", 0);
        ASSERT_NE(window, nullptr);
        PostMessageW(window, c.message, c.wparam, at(10, 10));
        pump_until([&] { return !IsWindow(window); }, 1500);
        EXPECT_EQ(!IsWindow(window), c.closes);
        EXPECT_TRUE(handover_text().empty());
        close_view();
    }
    g_shell.main_settings.delete_silently = 0;

    // 8201 from a minimised view only restores it.
    const std::u16string folder = folder_of({{"a.bmp", bmp_file(30, 20, 1)}});
    HWND window = open(folder + u"\\a.bmp", 0);
    ASSERT_NE(window, nullptr);
    command(8203);
    ASSERT_TRUE(IsIconic(window));
    command(8201);
    pump_for(100);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(handover_text().empty());
}

// A 24-bit DIB section of width x height whose bytes follow `seed`, and its rows.
HBITMAP dib(int width, int height, int seed, uint8_t** rows) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    *rows = static_cast<uint8_t*>(pixels);
    const int stride = (width * 3 + 3) / 4 * 4;
    for (int i = 0; i < stride * height; ++i) (*rows)[i] = uint8_t(i * 5 + seed);
    return bitmap;
}

TEST(SingleViewDisplayCopy, PaintsWhatTheDirectStretchPaintsAndFollowsTheBitmap) {
    constexpr int kImageW = 97, kImageH = 61, kClientW = 50, kClientH = 40;
    HDC screen = GetDC(nullptr);
    HDC image_dc = CreateCompatibleDC(screen);
    HDC target_dc = CreateCompatibleDC(screen);
    uint8_t *first_rows = nullptr, *second_rows = nullptr, *target_rows = nullptr;
    HBITMAP first = dib(kImageW, kImageH, 1, &first_rows);
    HBITMAP second = dib(kImageW, kImageH, 77, &second_rows);
    HBITMAP target = dib(kClientW, kClientH, 0, &target_rows);
    HGDIOBJ old_image = SelectObject(image_dc, first);
    HGDIOBJ old_target = SelectObject(target_dc, target);
    ViewGeometry view;
    view.image_width = kImageW;
    view.image_height = kImageH;
    view.client_width = kClientW;
    view.client_height = kClientH;
    view.zoom = kZoomActualSize;
    compute_fit_zoom(view, kClientW, kImageH, kImageW, kClientH);
    view.centre_x = kImageW / 2;
    view.centre_y = kImageH / 2;
    update_view_rects(view);
    ASSERT_LT(view.zoom, kZoomActualSize);
    const RECT client = {0, 0, kClientW, kClientH};
    HBRUSH brush = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    const int bytes = (kClientW * 3 + 3) / 4 * 4 * kClientH;
    // Row padding is never painted: both sides start from the same bytes.
    auto direct = [&] {
        std::memset(target_rows, 0x5A, size_t(bytes));
        set_view_stretch_mode(target_dc, view, false);
        paint_original_pane(target_dc, client, view, image_dc, brush);
        GdiFlush();
        return std::vector<uint8_t>(target_rows, target_rows + bytes);
    };
    DisplayCopy copy;
    auto copied = [&] {
        std::memset(target_rows, 0x5A, size_t(bytes));
        copy.paint(target_dc, client, view, image_dc, brush, false);
        GdiFlush();
        return std::vector<uint8_t>(target_rows, target_rows + bytes);
    };
    const std::vector<uint8_t> want_first = direct();
    EXPECT_EQ(copied(), want_first);
    EXPECT_EQ(copied(), want_first) << "the second paint comes from the copy";
    SelectObject(image_dc, second);
    const std::vector<uint8_t> want_second = direct();
    ASSERT_NE(want_second, want_first);
    EXPECT_EQ(copied(), want_second) << "another bitmap in the image DC";
    // The same bitmap with other pixels: only an invalidation tells.
    std::memcpy(second_rows, first_rows, size_t((kImageW * 3 + 3) / 4 * 4 * kImageH));
    EXPECT_EQ(copied(), want_second);
    copy.invalidate();
    EXPECT_EQ(copied(), want_first);
    SelectObject(image_dc, old_image);
    SelectObject(target_dc, old_target);
    DeleteDC(image_dc);
    DeleteDC(target_dc);
    DeleteObject(first);
    DeleteObject(second);
    DeleteObject(target);
    ReleaseDC(nullptr, screen);
}

bool g_batch_running = false;
std::wstring g_batch_folder;

TEST_F(SingleViewWin, MenuStatesAndKeysFollowOneTable) {
    const std::u16string folder = folder_of({{"a.bmp", bmp_file(30, 20, 1)}, {"b.bmp", bmp_file(30, 20, 2)}});
    HWND window = open(folder + u"\\a.bmp", 0);
    ASSERT_NE(window, nullptr);
    HMENU popup = view_popup_menu();
    ASSERT_NE(popup, nullptr);
    SendMessageW(window, WM_INITMENU, reinterpret_cast<WPARAM>(popup), 0);
    struct Item {
        UINT id;
        bool grey;
    };
    for (const Item& item : {Item{8040, true}, Item{8041, true}, Item{8060, true}, Item{8050, false},
                             Item{8320, false}, Item{8061, true}, Item{8070, false}})
        EXPECT_EQ((GetMenuState(popup, item.id, MF_BYCOMMAND) & MF_GRAYED) != 0, item.grey) << item.id;
    EXPECT_NE(GetMenuState(popup, 8214, MF_BYCOMMAND) & MF_CHECKED, 0u) << "background from the setting";
    EXPECT_EQ(GetMenuState(popup, 7310, MF_BYCOMMAND) & MF_GRAYED, UINT(MF_GRAYED)) << "no tool registered";
    int separators = 0;
    for (int i = 0; i < GetMenuItemCount(popup); ++i)
        if (GetMenuItemID(popup, i) == 9900) ++separators;
    EXPECT_EQ(separators, 5);

    command(8213);
    SendMessageW(window, WM_INITMENU, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_NE(GetMenuState(popup, 8213, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuState(popup, 8214, MF_BYCOMMAND) & MF_CHECKED, 0u);

    // A batch conversion on the folder greys delete, and its key cannot run it either.
    g_batch_running = true;
    g_batch_folder = wide(folder);
    ShellEntryPoints entries;
    entries.batch_conversion_running = [] { return g_batch_running; };
    entries.batch_input_folder = [](wchar_t* out) { lstrcpynW(out, g_batch_folder.c_str(), MAX_PATH); };
    install_shell_entry_points(entries);
    SendMessageW(window, WM_INITMENU, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_NE(GetMenuState(popup, 8050, MF_BYCOMMAND) & MF_GRAYED, 0u);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(8050, 1), 0);
    pump_for(30);
    EXPECT_NE(GetFileAttributesW(wide(folder + u"\\a.bmp")), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(title().find(L"a.bmp"), std::wstring::npos);
    install_shell_entry_points(ShellEntryPoints{});
}

// The main window's side of the thread protocol: the codes it receives, in order.
std::vector<WPARAM> g_codes;
LRESULT CALLBACK recorder_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == kAppMessage) g_codes.push_back(wparam);
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(SingleViewWin, TheThreadReportsItsEndAndHandsOverToTheEditWindow) {
    const std::u16string folder = folder_of({{"a.bmp", bmp_file(30, 20, 1)}});
    WNDCLASSW wc = {};
    wc.lpfnWndProc = recorder_proc;
    wc.hInstance = g_shell.instance;
    wc.lpszClassName = L"Test_single_view_main";
    RegisterClassW(&wc);
    HWND main = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                g_shell.instance, nullptr);
    ASSERT_NE(main, nullptr);
    g_shell.main_window = main;
    struct Case {
        int command;
        std::vector<WPARAM> codes;
        bool handed_over;
    };
    const Case cases[] = {{8202, {kMainThreadEnded}, false},
                          {8201, {kMainThreadEnded, kMainOpenEditWindow}, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        g_codes.clear();
        const std::u16string path = folder + u"\\a.bmp";
        set_handover_text(path);
        unsigned id = 0;
        HANDLE thread = start_single_view_thread(0, &id);
        ASSERT_NE(thread, nullptr);
        HWND view = current_single_view();
        ASSERT_NE(view, nullptr);
        pump_for(100);
        PostMessageW(view, WM_COMMAND, WPARAM(c.command), 0);
        EXPECT_TRUE(pump_until([&] { return g_codes.size() >= c.codes.size(); }, 5000));
        EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
        pump_for(50);
        CloseHandle(thread);
        EXPECT_EQ(g_codes, c.codes);
        EXPECT_EQ(current_single_view(), nullptr);
        EXPECT_EQ(handover_text(), c.handed_over ? path : std::u16string());
        set_handover_text(u"");
    }
    g_shell.main_window = nullptr;
    DestroyWindow(main);
}

TEST_F(SingleViewWin, RightClickMenuAndBarShowEachCommandWithItsKeyFromTheSettingsFile) {
    // Ctrl+H, Shift+Delete, Alt+E (Alt never survives loading) and Ctrl+Shift+F1.
    ASSERT_TRUE(load_view_keys_from_file(
        "view-keys.ini",
        {{0x09, 'H', 8310}, {0x05, VK_DELETE, 8050}, {0x11, 'E', 8060}, {0x0D, VK_F1, 8111}}));
    const std::u16string folder =
        folder_of({{"a.bmp", bmp_file(320, 200, 1)}, {"b.bmp", bmp_file(30, 20, 2)}});
    HWND window = open(folder + u"\\a.bmp", 0);
    ASSERT_NE(window, nullptr);
    HMENU popup = view_popup_menu();
    ASSERT_NE(popup, nullptr);

    constexpr UINT kSep = 9900;
    const struct {
        UINT id;
        std::vector<std::wstring> drawn;
    } want[] = {
        {8040, drawn_line(L"右回転保存(JEPGロスレス)(&R)")},
        {8041, drawn_line(L"左回転保存(JEPGロスレス)(&L)")},
        {kSep, {}},
        {8320, drawn_line(L"コピー(クリップボード)(&C)", L"C")},
        {8050, drawn_line(L"削除(&D)", L"Shift+Delete")},
        {kSep, {}},
        {8060, drawn_line(L"コメント表示/編集(&E)...", L"E")},
        {8061, drawn_line(L"テキストデータ表示(&T)")},
        {kSep, {}},
        {8310, drawn_line(L"ヒストグラム表示(&H)", L"Ctrl+H")},
        {8311, drawn_line(L"使用色数確認(&N)")},
        {kSep, {}},
        {8070, drawn_line(L"印刷(プレビュー)(&P)...", L"Ctrl+P")},
        {kSep, {}},
        {UINT(-1), drawn_line(L"背景色(&G)")},
        {UINT(-1), drawn_line(L"ツール(&T)")},
    };
    const std::vector<DrawnMenuItem> items = draw_menu_items(window, popup);
    ASSERT_EQ(items.size(), std::size(want));
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        if (!items[i].submenu) EXPECT_EQ(items[i].id, want[i].id);
        EXPECT_EQ(items[i].separator, want[i].id == kSep);
        if (items[i].separator) continue;
        EXPECT_GT(items[i].measured.cx, 20);
        EXPECT_GT(items[i].measured.cy, 6);
        EXPECT_EQ(items[i].drawn, want[i].drawn);
    }
    const std::vector<DrawnMenuItem> colours = draw_menu_items(window, GetSubMenu(popup, 14));
    const wchar_t* colour_texts[] = {L"白(&W)", L"ライトグレイ(&L)", L"グレイ(&G)", L"ダークグレイ(&D)",
                                     L"黒(&B)"};
    ASSERT_EQ(colours.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(colours[i].drawn, drawn_line(colour_texts[i])) << i;

    // The bar's tooltips name the same keys.
    const SingleViewState& v = s().single;
    const struct {
        UINT id;
        const wchar_t* tip;
    } tips[] = {{8000, L"ファイルリスト表示"},
                {8010, L"先頭へ (←)"},
                {8111, L"画面に合わせて表示 (Ctrl+Shift+F1)"},
                {8130, L"拡大表示 (PageUp)"},
                {8201, L"編集/保存 (Tab)"},
                {8202, L"閉じる (Esc)"}};
    for (const auto& t : tips) EXPECT_EQ(tooltip_text(v.tooltips[0], v.toolbar, t.id), t.tip) << t.id;

    close_view();
    fill_default_view_keys(g_shell.view_keys.entries);
    g_shell.view_accelerators.reset();
    g_shell.settings_read.single_view = false;
    g_shell.settings_path[0] = 0;
}

// What the real right button makes of the view: the popups the view's thread opened for it, each
// closed again by the Escape key as soon as it is seen.
struct PopupWatch {
    HWND window = nullptr;
    std::vector<HMENU> opened;
    bool escape_pressed = false;
};
PopupWatch g_popup_watch;

LRESULT CALLBACK watch_popups(int code, WPARAM wparam, LPARAM lparam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && sent->hwnd == g_popup_watch.window && sent->message == WM_INITMENUPOPUP) {
        g_popup_watch.opened.push_back(reinterpret_cast<HMENU>(sent->wParam));
        g_popup_watch.escape_pressed = false;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void CALLBACK escape_open_popup(HWND, UINT, UINT_PTR, DWORD) {
    if (g_popup_watch.opened.empty() || g_popup_watch.escape_pressed) return;
    g_popup_watch.escape_pressed = true;
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

// Presses and releases the real right button at a screen point, as the user's mouse would.
void right_click_at(POINT p) {
    INPUT input[3] = {};
    for (INPUT& i : input) i.type = INPUT_MOUSE;
    input[0].mi.dx =
        LONG((p.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1));
    input[0].mi.dy =
        LONG((p.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1));
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    input[2].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(3, input, sizeof(INPUT));
}

TEST_F(SingleViewWin, TheRealRightButtonOpensThePopupAgainAfterEscapeInBothModes) {
    const std::u16string folder =
        folder_of({{"a.bmp", bmp_file(320, 200, 1)}, {"b.bmp", bmp_file(30, 20, 2)}});
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watch_popups, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    // Timers still fire inside the popup's own message loop.
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, escape_open_popup);
    for (int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        HWND window = open(folder + u"\\a.bmp", mode);
        ASSERT_NE(window, nullptr);
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(window);
        pump_for(100);
        g_popup_watch = PopupWatch{window, {}, false};
        RECT client;
        GetClientRect(window, &client);
        // A second click after the first popup was closed with Escape opens it again; a freshly
        // shown window on the X server may miss the very first press, which is pressed again.
        for (int click = 1; click <= 2; ++click) {
            SCOPED_TRACE(click);
            POINT p = {client.right / 2 + click * 5, client.bottom / 2 + click * 5};
            ClientToScreen(window, &p);
            const size_t before = g_popup_watch.opened.size();
            for (int attempt = 0; attempt < 3 && g_popup_watch.opened.size() == before; ++attempt) {
                right_click_at(p);
                pump_until([&] { return g_popup_watch.opened.size() > before; }, 1000);
            }
            ASSERT_EQ(g_popup_watch.opened.size(), before + 1);
            EXPECT_EQ(g_popup_watch.opened.back(), view_popup_menu());
            // The popup's loop has ended (Escape) and the view is no longer in a drag.
            pump_for(100);
            EXPECT_EQ(s().view.drag_mode, kDragNone);
            EXPECT_NE(GetCapture(), window);
        }
        EXPECT_TRUE(IsWindow(window)) << "Escape closed the popup, not the view";
        close_view();
    }
    KillTimer(nullptr, timer);
    UnhookWindowsHookEx(hook);
    g_popup_watch = PopupWatch{};
}

TEST_F(SingleViewWin, HelpDialogsOpenWithTheirTextsAtStartAndFromTheMainHelpMenu) {
    const ModalDialogRunner previous = set_modal_dialog_runner(read_help_dialog);
    g_help_dialogs.clear();
    g_shell.main_settings.help_at_start[1] = 1;
    g_shell.main_settings.help_at_start[3] = 1;
    const std::u16string folder = folder_of({{"a.bmp", bmp_file(32, 20, 1)}, {"b.bmp", bmp_file(30, 20, 2)}});
    HWND window = open(folder + u"\\a.bmp", 0);
    ASSERT_NE(window, nullptr);
    command(8020);
    pump_until([] { return g_help_dialogs.size() >= 2; }, 2000);
    stop_slide_show();
    close_view();
    set_modal_dialog_runner(previous);

    ASSERT_EQ(g_help_dialogs.size(), 2u);
    expect_help_dialog(g_help_dialogs[0], 6750, L"主なマウス操作 (シングルビュー)",
                       {{6753, L"ウィンドウ上端にポインタ移動\t= ツールバー表示"},
                        {6754, L"ウィンドウを右ボタンでクリック\t= メニュー表示"},
                        {6755, L"ウィンドウを右ボタンでドラッグ\t= スクロール"},
                        {6756, L"ホイールクリック/ホイール回転\t= ズーミング"},
                        {6757, L"ウィンドウをダブルクリック\t= 閉じる"},
                        {6758, L"ウィンドウを左右同時クリック\t= 編集/保存"},
                        {6759, L"※ウィンドウモード、全画面モード共通の操作です。"},
                        {6751, L"起動時に操作説明を表示しない"},
                        {IDOK, L"OK"}});
    expect_help_dialog(g_help_dialogs[1], 6780, L"スライドショー操作",
                       {{6783, L"マウスクリック/キー操作で、スライドショーが停止します。"},
                        {6784, L"停止後は、ダブルクリックまたは「Esc」キーで閉じます。"},
                        {6785, L"※操作方法は、シングルビューと同等です。"},
                        {6781, L"起動時に操作説明を表示しない"},
                        {IDOK, L"OK"}});
    // Confirmed with the box unticked: both go on showing at start.
    EXPECT_EQ(g_shell.main_settings.help_at_start[1], 1);
    EXPECT_EQ(g_shell.main_settings.help_at_start[3], 1);

    // The main window's help menu reaches the same two dialogs.
    ShellEntryPoints table;
    fill_single_view_entry_points(&table);
    EXPECT_EQ(table.view_help_dialog_proc, &view_help_dialog_proc);
    EXPECT_EQ(table.slide_show_help_dialog_proc, &slide_show_help_dialog_proc);
}

TEST(ImageWindowCursors, PanMoveAndRotationCursorsLoadFromTheProgram) {
    std::vector<int> ids;
    for (int id = 120; id <= 134; ++id) ids.push_back(id);
    ids.push_back(150);
    ids.push_back(153);
    for (int id : ids) {
        HANDLE cursor = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_CURSOR, 0, 0,
                                   LR_DEFAULTSIZE | LR_SHARED);
        ASSERT_NE(cursor, nullptr) << id;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(static_cast<HCURSOR>(cursor), &info)) << id;
        // Each cursor points from its middle: the pan marks and the rotation pivot.
        EXPECT_FALSE(info.fIcon) << id;
        EXPECT_EQ(info.xHotspot, 16u) << id;
        EXPECT_EQ(info.yHotspot, 16u) << id;
        if (info.hbmMask) DeleteObject(info.hbmMask);
        if (info.hbmColor) DeleteObject(info.hbmColor);
    }
}

}  // namespace
