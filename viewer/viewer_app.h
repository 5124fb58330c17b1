// The stand-alone viewer's process-wide state and the routines its files share. One process
// shows one window on one thread; nothing here is touched from another thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "codecs/gif/gif.h"
#include "view/core/view_geometry.h"
#include "view/win/view_windows.h"
#include "viewer/core/viewer_rules.h"

constexpr UINT_PTR kViewerGifTimer = 300000;
constexpr int kViewerBarId = 1000;
constexpr int kViewerToolbarId = 1001;
constexpr int kViewerCaptionId = 1002;
constexpr int kViewerListId = 1010;
constexpr int kViewerBarHeight = 28;
constexpr int kViewerStartWidth = 400;
constexpr int kViewerStartHeight = 300;
constexpr int kViewerFirstPanCursor = 110;
constexpr int kViewerPanCursorCount = 15;
constexpr int kViewerMoveCursor = 130;
constexpr int kViewerIcon = 100;
constexpr int kViewerBarBitmap = 101;

constexpr DWORD kViewerWindowStyle = WS_POPUP | WS_CLIPCHILDREN | WS_OVERLAPPEDWINDOW;
constexpr DWORD kViewerFullScreenStyle =
    WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD kViewerExStyle = WS_EX_APPWINDOW | WS_EX_ACCEPTFILES;

extern const wchar_t kViewerFrameClass[];
extern const wchar_t kViewerBarClass[];
extern const wchar_t kViewerNavigatorClass[];
extern const wchar_t kViewerImageFailed[];

struct ViewerAnimation {
    bool animated = false;
    int32_t frame_count = 0;
    int32_t loops_left = 0;  // 0: endless
    int32_t current = 0;
    HBITMAP frames[kGifMaxFrames] = {};  // frame 0 is the image's own bitmap
    int32_t delays[kGifMaxFrames] = {};  // hundredths of a second
};

struct ViewerImage {
    HBITMAP bitmap = nullptr;
    RGBQUAD palette[256] = {};
    uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bit_count = 0;
    int32_t shown_depth = 0;  // the source file's, for the caption
    uint32_t size = 0;        // bytes, for the caption
    FILETIME write_time = {};
    wchar_t path[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    ViewerAnimation animation;
};

struct ViewerApp {
    HINSTANCE instance = nullptr;
    HANDLE heap = nullptr;
    HFONT ui_font = nullptr;
    int os_class = 0;
    // The folder in which the settings folder lives, when it is not the user's application-data
    // folder (tests point it at a scratch folder).
    wchar_t appdata_folder[MAX_PATH] = {};
    ViewerSettings settings;
    KeyEntry keys[kViewerKeyCount] = {};
    HACCEL accelerators = nullptr;

    HWND frame = nullptr;
    HWND bar = nullptr;
    HWND toolbar = nullptr;
    HWND caption = nullptr;  // the bar's static, shown in full screen
    HWND list = nullptr;     // the hidden, sorted file list
    HWND bar_tips = nullptr;
    HWND window_tip = nullptr;
    WNDPROC toolbar_proc = nullptr;
    ViewBarSink bar_sink;
    NavigatorWindow navigator;

    HDC dc = nullptr;  // the frame's own DC
    HDC memory_dc = nullptr;
    HBITMAP first_memory_bitmap = nullptr;

    HCURSOR arrow = nullptr;
    HCURSOR wait = nullptr;
    HCURSOR refused = nullptr;
    HCURSOR move = nullptr;
    HICON icon = nullptr;
    COLORREF menu_text = 0;
    COLORREF gray_text = 0;
    HBRUSH light_brush = nullptr;
    HBRUSH white_brush = nullptr;
    HPEN frame_pen = nullptr;
    HPEN hot_pen = nullptr;

    bool has_image = false;
    ViewerImage image;
    ViewGeometry view;

    wchar_t listed_folder[MAX_PATH] = {};
    HANDLE change = nullptr;  // null when not watching

    bool full_screen = false;
    int32_t full_screen_corrections = 0;
    bool active = false;
    bool bar_shown = false;
    bool cursor_shown = true;
    bool tip_active = false;
    int32_t sizing_kind = 0;  // 0 none, 1 edge, 2 corner
    int32_t largest_width = 0;
    int32_t largest_height = 0;
    bool window_drag_armed = false;
    POINT window_drag_start = {};
    POINT cursor_hidden_at = {};
};

extern ViewerApp g_viewer;
// Built once at start-up and handed to every PNG decode, so that transparency is always blended.
extern uint8_t g_viewer_blend_table[65536];

// viewer_main.cpp
int viewer_main(HINSTANCE instance, int show);
// Reads the settings and sets up the windows for the command line; false when the viewer cannot
// run. The process's start calls it; tests run it with a settings folder of their own.
bool viewer_start(int show, const wchar_t* command_line);
// The message loop's filter: the viewer's key table, translated for the frame.
bool viewer_accelerator(MSG* msg);
LRESULT CALLBACK viewer_frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
void viewer_show_error();
void show_viewer_cursor();
void hide_viewer_cursor();

// viewer_view.cpp
void viewer_do_command(int32_t id);
void viewer_show_loaded_image();
void viewer_place_window();
// Makes the window cover its monitor; returns the monitor's rectangle.
RECT viewer_cover_monitor();
// WM_WININICHANGE: the window is placed again for the new work area (full screen keeps its monitor).
void viewer_on_settings_change();
void viewer_enter_full_screen();
void viewer_leave_full_screen();
void viewer_on_size(int32_t client_width, int32_t client_height);
void viewer_on_sizing(int32_t edge, RECT* rect);
void viewer_paint();
void viewer_on_gif_timer();
bool viewer_mouse(UINT message, WPARAM wparam, LPARAM lparam);
void viewer_frame_extent(DWORD style, RECT* frame);  // the window's frame around a 0x0 client
void viewer_set_empty_view();

// viewer_files.cpp
bool viewer_open_file(const wchar_t* path);
void viewer_free_image();
void viewer_scan_folder();
void viewer_sync_file_list();
void viewer_watch_folder();
int viewer_step_file(int32_t kind);
void viewer_delete_current_file();
void viewer_rotate_display(int32_t command);
void viewer_on_drop_files(HDROP drop);
void viewer_on_activate(bool active);
void viewer_close_folder_watch();

// viewer_bar.cpp
void viewer_create_button_bar();
void viewer_update_bar_buttons();
void viewer_show_image_info();
void viewer_show_bar(bool show);
void viewer_layout_full_screen_bar(bool full_screen);
void viewer_restore_toolbar_proc();
