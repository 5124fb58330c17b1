// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <process.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/win/app_messages.h"
#include "common/win/error_message.h"
#include "common/win/message_loop.h"
#include "imagewin/core/single_view_rules.h"
#include "imagewin/edit_tool_host.h"
#include "imagewin/edit_window_record.h"
#include "imagewin/image_windows.h"
#include "imagewin/single_view.h"
#include "imagewin/single_view_paint.h"
#include "imagewin/single_view_seam.h"
#include "kernels/geometry.h"
#include "shell/entry_points.h"
#include "shell/launch.h"
#include "shell/main_menus.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"

namespace {

constexpr DWORD kWindowStyle = 0x82CF0000;      // WS_POPUP | WS_CLIPCHILDREN | WS_OVERLAPPEDWINDOW
constexpr DWORD kFullScreenStyle = 0x820B0000;  // WS_POPUP | WS_CLIPCHILDREN | sysmenu, min, max
constexpr int32_t kStartClientWidth = 200;
constexpr int32_t kStartClientHeight = 150;
constexpr int kHelpSingleView = 1;  // settings slot 43: dialog 6750
constexpr int kHelpSlideShow = 3;   // settings slot 45: dialog 6780

DisplayCopy g_display_copy;
HWND volatile g_view_window = nullptr;
HANDLE volatile g_ready = nullptr;

LONG signed_x(LPARAM lparam) {
    return short(LOWORD(lparam));
}
LONG signed_y(LPARAM lparam) {
    return short(HIWORD(lparam));
}

EditState& state() {
    return g_edit_state;
}
SingleViewState& view_state() {
    return g_edit_state.single;
}

bool quality_stretch() {
    return g_shell.single_view.stretch_mode == 4;
}

// Index 0 is the window mode's setting, 1 full screen's.
int mode_index() {
    return view_state().full_screen ? 1 : 0;
}

WindowFrameSize window_frame() {
    RECT r = {0, 0, 0, 0};
    AdjustWindowRectEx(&r, kWindowStyle, FALSE, 0);
    return WindowFrameSize{-r.left, -r.top, r.right - r.left, r.bottom - r.top};
}

void monitor_rects(RECT* work_area, RECT* monitor) {
    HWND window = state().image_window ? state().image_window : g_shell.main_window;
    get_monitor_rects(window, work_area, monitor);
}

ViewFrame frame_of(const RECT& r) {
    return ViewFrame{r.left, r.top, r.right, r.bottom};
}

void repaint_now() {
    if (!state().image_window) return;
    InvalidateRect(state().image_window, nullptr, FALSE);
    UpdateWindow(state().image_window);
}

void error_box(int code) {
    // The box makes the cursor visible on its own.
    show_view_error(state().image_window, code);
    view_state().cursor_visible = true;
}

bool folder_in_batch_use() {
    const ShellEntryPoints& entries = shell_entry_points();
    if (!entries.conversion_running()) return false;
    const wchar_t* folder = reinterpret_cast<const wchar_t*>(state().image.folder);
    if (!folder[0]) return false;
    wchar_t other[MAX_PATH] = {};
    entries.conversion_input_folder(other);
    if (other[0] && lstrcmpiW(other, folder) == 0) return true;
    other[0] = 0;
    entries.conversion_output_folder(other);
    return other[0] && lstrcmpiW(other, folder) == 0;
}

}  // namespace

ViewCommandContext view_command_context() {
    const EditState& s = state();
    ViewCommandContext c;
    c.has_image = edit_image_loaded();
    c.slide_show = s.single.slide_show;
    c.folder_in_batch = c.has_image && folder_in_batch_use();
    c.source_format = s.image.source_format;
    c.flag_comment = s.image.flag_comment;
    c.flag_metadata = s.image.flag_metadata;
    c.background_index = s.single.background_index;
    return c;
}

namespace {

// The client size the work area allows a window of the view's style.
void largest_client(const RECT& work, int32_t* width, int32_t* height) {
    const WindowFrameSize frame = window_frame();
    *width = std::max<int32_t>(work.right - work.left - frame.width, 1);
    *height = std::max<int32_t>(work.bottom - work.top - frame.height, 1);
}

void place_view_window(const RECT& work) {
    EditState& s = state();
    HWND window = s.image_window;
    if (!window) return;
    RECT client;
    GetClientRect(window, &client);
    POINT centre = {client.right / 2, client.bottom / 2};
    ClientToScreen(window, &centre);
    const ViewFrame r =
        place_view_window_rect(ViewPoint{centre.x, centre.y}, s.view.display_width, s.view.display_height,
                               window_frame(), GetSystemMetrics(SM_CXMIN), frame_of(work));
    s.single.window_width = r.right - r.left;
    s.single.window_height = r.bottom - r.top;
    SetWindowPos(window, nullptr, r.left, r.top, s.single.window_width, s.single.window_height,
                 SWP_FRAMECHANGED | SWP_NOZORDER);
    GetClientRect(window, &client);
    s.view.client_width = client.right;
    s.view.client_height = client.bottom;
    update_view_rects(s.view);
}

void fit_window_mode_zoom(const RECT& work) {
    EditState& s = state();
    const SingleViewSettings& settings = g_shell.single_view;
    if (!settings.keep_zoom[0]) s.view.zoom = kZoomActualSize;
    int32_t width = 0, height = 0;
    largest_client(work, &width, &height);
    compute_view_zoom(s.view, settings.fit_large[0] != 0, settings.enlarge_small[0] != 0, width, height,
                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

void fit_full_screen_zoom(const RECT& monitor) {
    EditState& s = state();
    const SingleViewSettings& settings = g_shell.single_view;
    if (!settings.keep_zoom[1]) s.view.zoom = kZoomActualSize;
    compute_view_zoom(s.view, settings.fit_large[1] != 0, settings.enlarge_small[1] != 0,
                      monitor.right - monitor.left, monitor.bottom - monitor.top,
                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    RECT client;
    GetClientRect(s.image_window, &client);
    s.view.client_width = client.right;
    s.view.client_height = client.bottom;
    update_view_rects(s.view);
}

void start_animation() {
    EditState& s = state();
    if (!s.animation.animated || s.animation.frame_count <= 0 || !s.image_window) return;
    s.animation.current_frame = 0;
    if (s.animation.frame_bitmaps[0]) SelectObject(s.memory_dc, s.animation.frame_bitmaps[0]);
    SetTimer(s.image_window, kAnimationTimerId, animation_delay_ms(s.animation.frame_delays[0]), nullptr);
}

void animation_tick() {
    EditState& s = state();
    KillTimer(s.image_window, kAnimationTimerId);
    EditAnimation& a = s.animation;
    if (!a.animated) return;
    const AnimationTick tick = step_animation(a.frame_count, a.current_frame, a.loop_count, a.frame_delays);
    a.loop_count = tick.loop_count;
    if (tick.ended) {
        a.current_frame = 0;
        if (s.bitmap) SelectObject(s.memory_dc, s.bitmap);
        repaint_now();
        return;
    }
    a.current_frame = tick.frame;
    if (a.frame_bitmaps[tick.frame]) SelectObject(s.memory_dc, a.frame_bitmaps[tick.frame]);
    repaint_now();
    SetTimer(s.image_window, kAnimationTimerId, tick.delay_ms, nullptr);
}

// In full screen, after an image change: the cursor goes out of the way until the mouse moves.
void hide_cursor_for_image_change() {
    SingleViewState& v = view_state();
    if (!v.full_screen || !v.cursor_visible || v.bar_shown) return;
    set_cursor_visible(false);
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(state().image_window, &p);
    state().view.hover_point = ViewPoint{p.x, p.y};
}

void replace_file_list_if_shown() {
    HWND list = state().file_list_window;
    if (list && IsWindowVisible(list)) place_file_list_window();
}

bool turn_shown_image(bool right) {
    EditState& s = state();
    if (!edit_image_loaded() || !s.bits) return false;
    const int32_t bits = s.image.bit_count;
    if (bits != 8 && bits != 24) return false;
    const int32_t width = s.image.height;
    const int32_t height = s.image.width;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = WORD(bits);
    std::memcpy(info.colours, s.image.palette, sizeof info.colours);
    void* pixels = nullptr;
    HBITMAP bitmap =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap || !pixels) {
        if (bitmap) DeleteObject(bitmap);
        error_box(kErrorMemory);
        return false;
    }
    const DibPair pair{s.image.width, s.image.height, s.bits, static_cast<uint8_t*>(pixels)};
    if (!rotate_flip_pixels(pair, right ? kRotate90 : kRotate270, bits)) {
        DeleteObject(bitmap);
        return false;
    }
    LoadedImage image = {};
    image.info.size = 40;
    image.info.width = width;
    image.info.height = height;
    image.info.planes = 1;
    image.info.bit_count = uint16_t(bits);
    std::memcpy(image.palette, s.image.palette, sizeof image.palette);
    image.pixels = static_cast<uint8_t*>(pixels);
    image.bitmap = reinterpret_cast<OsHandle>(bitmap);
    // Only the display turns: the file and its description stay, and no history step is kept.
    (void)install_edit_image(image, false, true);
    return true;
}

void view_zoom_command(int32_t id) {
    EditState& s = state();
    if (!apply_zoom_command(s.view, id)) return;
    if (s.single.full_screen) {
        update_view_rects(s.view);
    } else {
        RECT work, monitor;
        monitor_rects(&work, &monitor);
        place_view_window(work);
    }
    repaint_now();
    update_image_window_title();
}

void view_fit_command() {
    EditState& s = state();
    RECT work, monitor;
    monitor_rects(&work, &monitor);
    if (s.single.full_screen) {
        RECT client;
        GetClientRect(s.image_window, &client);
        compute_fit_zoom(s.view, monitor.right - monitor.left, s.image.height, s.image.width,
                         monitor.bottom - monitor.top);
        update_view_rects(s.view);
    } else {
        int32_t width = 0, height = 0;
        largest_client(work, &width, &height);
        compute_fit_zoom(s.view, width, s.image.height, s.image.width, height);
        place_view_window(work);
    }
    repaint_now();
    update_image_window_title();
}

void navigate(int32_t kind) {
    const int32_t result = navigate_file_list(kind);
    if (result == kNavigateFailed) {
        error_box(kErrorImageDisplay);
    } else if (result == kNavigateLoaded) {
        hide_cursor_for_image_change();
    }
    update_image_window_title();
}

void pan_command(int32_t id) {
    EditState& s = state();
    const int32_t step = pan_step_pixels(s.view);
    int32_t dx = 0, dy = 0;
    if (id == kCmdPanLeft || id == kCmdPanRight) {
        if (s.view.display_width <= s.view.client_width) return;
        dx = id == kCmdPanLeft ? -step : step;
    } else {
        if (s.view.display_height <= s.view.client_height) return;
        dy = id == kCmdPanUp ? -step : step;
    }
    scroll_view_source(s.view, dx, dy);
    update_view_rects(s.view);
    repaint_now();
}

void slide_show_tick() {
    EditState& s = state();
    KillTimer(s.image_window, kSlideShowTimerId);
    hide_cursor_for_image_change();
    const ImageFileList& list = image_file_list();
    const int32_t count = int32_t(list.names.size());
    const bool loop = g_shell.single_view.slide_repeat != 0;
    const int32_t next = slide_show_next_index(count, list.selected, loop);
    bool goes_on = false;
    if (next >= 0) {
        const int32_t result = navigate_file_list(next == 0 ? kNavigateFirst : kNavigateNext);
        if (result == kNavigateLoaded) {
            update_image_window_title();
            goes_on =
                slide_show_goes_on(int32_t(image_file_list().names.size()), image_file_list().selected, loop);
        } else if (result == kNavigateFailed) {
            error_box(kErrorImageDisplay);
            update_image_window_title();
        }
    }
    if (goes_on && s.single.slide_show) {
        SetTimer(s.image_window, kSlideShowTimerId, UINT(g_shell.single_view.slide_interval) * 1000u,
                 nullptr);
    } else {
        stop_slide_show();
    }
}

void show_help_dialog(int32_t dialog, DLGPROC procedure) {
    run_modal_dialog(state().image_window, dialog, procedure, 0);
}

INT_PTR help_dialog(HWND dialog, UINT message, WPARAM wparam, int help_index, int check_id) {
    int32_t& setting = g_shell.main_settings.help_at_start[help_index];
    if (message == WM_INITDIALOG) {
        CheckDlgButton(dialog, check_id, setting ? BST_UNCHECKED : BST_CHECKED);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        setting = IsDlgButtonChecked(dialog, check_id) == BST_CHECKED ? 0 : 1;
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

// ---- Mouse ----

void cancel_zoom_rect() {
    EditState& s = state();
    if (!s.view.zoom_drag_active) return;
    s.view.zoom_drag_active = false;
    if (s.single.window_dc)
        draw_rect_outline(s.single.window_dc, s.view.hover_point.x, s.view.hover_point.y, s.view.drag_end.x,
                          s.view.drag_end.y);
    if (GetCapture() == s.image_window) ReleaseCapture();
}

// Ends a right drag without its context menu; the mode it ended in.
int32_t finish_right_drag() {
    EditState& s = state();
    const int32_t mode = end_right_drag(s.view);
    if (mode == kDragPanning) {
        repaint_now();
        if (s.navigator.window) ShowWindow(s.navigator.window, SW_HIDE);
    }
    if (mode != kDragNone && GetCapture() == s.image_window) ReleaseCapture();
    return mode;
}

void view_begin_left_drag(HWND window, WPARAM keys, POINT point) {
    EditState& s = state();
    SingleViewState& v = s.single;
    if (v.full_screen && !v.cursor_visible) {
        set_cursor_visible(true);
        return;
    }
    const bool ctrl_only = keys == (MK_LBUTTON | MK_CONTROL);
    if (v.full_screen) {
        if (g_shell.single_view.drag_zooms_view || ctrl_only) begin_zoom_rect_drag(window, s.view, point);
    } else if (ctrl_only) {
        begin_zoom_rect_drag(window, s.view, point);
    } else {
        v.left_drag_active = true;
        v.left_press = point;
    }
}

void hover_move(HWND window, POINT point) {
    EditState& s = state();
    SingleViewState& v = s.single;
    HoverInput in;
    in.app_active = v.app_active;
    in.bar_shown = v.bar_shown;
    in.slide_show = v.slide_show;
    in.cursor_visible = v.cursor_visible;
    in.client_height = s.view.client_height;
    in.point = ViewPoint{point.x, point.y};
    in.hover_point = s.view.hover_point;
    switch (view_hover_action(in)) {
        case HoverAction::hide_bar:
            show_view_bar(false);
            SetFocus(window);
            break;
        case HoverAction::show_bar:
            show_view_bar(true);
            set_cursor_visible(true);
            break;
        case HoverAction::show_cursor: set_cursor_visible(true); break;
        case HoverAction::none: break;
    }
}

// Both buttons down: the view keeps the mouse until one goes up, so that a release lost to
// another window ends the gesture instead of opening the edit window on a later click.
void begin_both_buttons(HWND window) {
    SingleViewState& v = view_state();
    v.both_buttons_pending = g_shell.single_view.both_buttons_edit != 0;
    if (v.both_buttons_pending) SetCapture(window);
}

bool end_both_buttons(HWND window) {
    SingleViewState& v = view_state();
    if (!v.both_buttons_pending) return false;
    v.both_buttons_pending = false;
    if (GetCapture() == window) ReleaseCapture();
    view_window_command(kCmdToEditWindow);
    return true;
}

bool drag_active() {
    const EditState& s = state();
    return s.view.zoom_drag_active || s.view.drag_mode != kDragNone;
}

void end_all_drags() {
    EditState& s = state();
    cancel_zoom_rect();
    finish_right_drag();
    s.single.left_drag_active = false;
    s.single.both_buttons_pending = false;
}

bool on_sizing(WPARAM edge, RECT* rect) {
    EditState& s = state();
    if (!edit_image_loaded() || !rect) return false;
    SizingLimits limits;
    limits.window_width = s.single.window_width;
    limits.window_height = s.single.window_height;
    limits.image_width = s.image.width;
    limits.image_height = s.image.height;
    limits.frame = window_frame();
    limits.min_width = GetSystemMetrics(SM_CXMIN);
    ViewFrame r = frame_of(*rect);
    s.single.sizing_mode = apply_view_sizing(int32_t(edge), r, limits);
    *rect = RECT{r.left, r.top, r.right, r.bottom};
    return true;
}

void paint_view(HWND window) {
    EditState& s = state();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    const int32_t index =
        s.single.background_index < 0 || s.single.background_index > 4 ? 0 : s.single.background_index;
    HBRUSH brush = static_cast<HBRUSH>(GetStockObject(index));
    if (edit_image_loaded()) {
        g_display_copy.paint(dc, client, s.view, s.memory_dc, brush,
                             quality_stretch() && s.view.drag_mode != kDragPanning);
    } else {
        FillRect(dc, &client, brush);
    }
    EndPaint(window, &ps);
}

bool view_on_create(HWND window) {
    EditState& s = state();
    s.image_window = window;
    s.single.window_dc = GetDC(window);
    if (!s.single.window_dc) return false;
    SetROP2(s.single.window_dc, R2_NOT);
    s.memory_dc = CreateCompatibleDC(s.single.window_dc);
    if (!s.memory_dc) return false;
    create_view_bar();
    update_view_bar_buttons();
    return true;
}

void view_on_close(HWND window) {
    EditState& s = state();
    KillTimer(window, kSlideShowTimerId);
    KillTimer(window, kAnimationTimerId);
    s.single.slide_show = false;
    end_all_drags();
    g_display_copy.invalidate();
    release_current_image();
    if (s.memory_dc) DeleteDC(s.memory_dc);
    s.memory_dc = nullptr;
    s.dc_initial_bitmap = nullptr;
    destroy_navigator_window(s.navigator);
    destroy_view_bar();
    g_edit_window.folder_change.reset();
    destroy_view_menus();
    s.image.folder[0] = 0;
    g_shell.single_view.save = s.save;
    set_cursor_visible(true);
    s.image_window = nullptr;
    if (g_shell.main_window) SetForegroundWindow(g_shell.main_window);
    DestroyWindow(window);
    s.file_list_window = nullptr;
}

}  // namespace

std::u16string handover_text() {
    return reinterpret_cast<const char16_t*>(handover_path());
}

void set_handover_text(const std::u16string& path) {
    lstrcpynW(handover_path(), reinterpret_cast<const wchar_t*>(path.c_str()), MAX_PATH);
}

HWND current_single_view() {
    return g_view_window;
}

bool single_view_full_screen() {
    return view_state().full_screen;
}

bool register_single_view_classes(HINSTANCE instance) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(instance, kViewWindowClassName, &existing)) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = view_window_proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kViewWindowClassName;
        if (!RegisterClassExW(&wc)) return false;
    }
    return register_view_bar_class(instance, kViewBarClassName) &&
           register_navigator_class(instance, L"Pexaron_navi_class");
}

void set_cursor_visible(bool visible) {
    SingleViewState& v = view_state();
    if (!visible && v.bar_shown) return;
    if (visible == v.cursor_visible) return;
    v.cursor_visible = visible;
    ShowCursor(visible ? TRUE : FALSE);
}

void show_loaded_image() {
    EditState& s = state();
    if (s.window_kind != 0 || !s.image_window) {
        update_image_window_title();
        return;
    }
    // A new bitmap may reuse the handle of the one just released.
    g_display_copy.invalidate();
    s.view.image_width = s.image.width;
    s.view.image_height = s.image.height;
    RECT work, monitor;
    monitor_rects(&work, &monitor);
    if (s.single.full_screen) {
        fit_full_screen_zoom(monitor);
    } else {
        fit_window_mode_zoom(work);
        place_view_window(work);
    }
    set_view_stretch_mode(s.single.window_dc, s.view, quality_stretch());
    repaint_now();
    update_view_bar_buttons();
    update_image_window_title();
    sync_image_folder_list();
    start_animation();
}

void fit_view_window_to_work_area() {
    EditState& s = state();
    if (s.window_kind != 0 || !s.image_window || s.single.full_screen || !edit_image_loaded()) return;
    RECT work, monitor;
    monitor_rects(&work, &monitor);
    fit_window_mode_zoom(work);
    place_view_window(work);
    repaint_now();
    update_image_window_title();
}

void enter_full_screen() {
    EditState& s = state();
    HWND window = s.image_window;
    if (!window) return;
    s.single.full_screen = true;
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    SetWindowLongW(window, GWL_STYLE, LONG(kFullScreenStyle));
    // The client keeps its place on screen while the frame goes.
    RECT outer = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    AdjustWindowRectEx(&outer, kFullScreenStyle, FALSE, 0);
    SetWindowPos(window, nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOSENDCHANGING | SWP_FRAMECHANGED | SWP_NOZORDER);
    ShowWindow(window, SW_SHOWMAXIMIZED);
    RECT work, monitor;
    monitor_rects(&work, &monitor);
    // Without a window manager a maximised popup need not cover the monitor: make sure it does.
    SetWindowPos(window, nullptr, monitor.left, monitor.top, monitor.right - monitor.left,
                 monitor.bottom - monitor.top, SWP_NOZORDER | SWP_NOACTIVATE);
    fit_full_screen_zoom(monitor);
    set_view_stretch_mode(s.single.window_dc, s.view, quality_stretch());
    repaint_now();
    show_full_screen_bar_buttons(true, monitor.right - monitor.left);
    SetForegroundWindow(window);
}

void leave_full_screen() {
    EditState& s = state();
    HWND window = s.image_window;
    if (!window) return;
    s.single.full_screen = false;
    show_full_screen_bar_buttons(false, 0);
    SetWindowLongW(window, GWL_STYLE, LONG(kWindowStyle));
    ShowWindow(window, SW_RESTORE);
    RECT work, monitor;
    monitor_rects(&work, &monitor);
    fit_window_mode_zoom(work);
    place_view_window(work);
    show_view_bar(false);
    SetFocus(window);
    set_cursor_visible(true);
}

void show_view_bar(bool show) {
    EditState& s = state();
    SingleViewState& v = s.single;
    if (!v.bar) return;
    if (show) {
        v.bar_shown = true;
        ShowWindow(v.bar, SW_SHOWNA);
        return;
    }
    if (!v.bar_shown) return;
    v.bar_shown = false;
    ShowWindow(v.bar, SW_HIDE);
    if (v.slide_show) set_cursor_visible(false);
}

void begin_slide_show() {
    EditState& s = state();
    if (!s.image.folder[0] || !s.image_window) return;
    if (g_shell.main_settings.help_at_start[kHelpSlideShow])
        show_help_dialog(6780, slide_show_help_dialog_proc);
    if (s.file_list_window) ShowWindow(s.file_list_window, SW_HIDE);
    const ImageFileList& list = image_file_list();
    if (!slide_show_can_start(int32_t(list.names.size()), list.selected,
                              g_shell.single_view.slide_repeat != 0))
        return;
    hide_cursor_for_image_change();
    s.single.slide_show = true;
    update_view_bar_buttons();
    const int32_t seconds = std::max(g_shell.single_view.slide_interval, 1);
    SetTimer(s.image_window, kSlideShowTimerId, UINT(seconds) * 1000u, nullptr);
}

void stop_slide_show() {
    EditState& s = state();
    s.single.slide_show = false;
    if (s.image_window) KillTimer(s.image_window, kSlideShowTimerId);
    set_cursor_visible(true);
    update_view_bar_buttons();
}

void view_window_command(int32_t id) {
    EditState& s = state();
    SingleViewState& v = s.single;
    HWND window = s.image_window;
    if (!window || !image_command_available(id)) return;
    set_cursor_visible(true);
    if (!v.full_screen && v.bar_shown) {
        show_view_bar(false);
        SetFocus(window);
    }
    if (!view_command_allowed(id, view_command_context())) return;
    const bool image = edit_image_loaded();
    if (external_tool_index(id) >= 0) {
        if (g_shell.main_settings.tool_path[external_tool_index(id)].empty()) return;
        if (v.full_screen) leave_full_screen();
        repaint_now();
        update_image_window_title();
        replace_file_list_if_shown();
        run_external_tool_on_image(id);
        return;
    }
    switch (id) {
        case kCmdFileList:
            if (s.image.folder[0]) place_file_list_window();
            break;
        case kCmdFirstFile: navigate(kNavigateFirst); break;
        case kCmdLastFile: navigate(kNavigateLast); break;
        case kCmdPreviousFile: navigate(kNavigatePrevious); break;
        case kCmdNextFile: navigate(kNavigateNext); break;
        case kCmdSlideShow:
            if (!image) break;
            if (v.slide_show) {
                stop_slide_show();
                break;
            }
            if (!v.full_screen) enter_full_screen();
            update_image_window_title();
            replace_file_list_if_shown();
            begin_slide_show();
            break;
        case kCmdDeleteFile: {
            const int32_t result = delete_current_file_and_advance();
            if (result == kDeleteNextLoaded) {
                update_image_window_title();
            } else if (result == kDeleteFolderEmpty) {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            break;
        }
        case kCmdRotateSaveRight:
        case kCmdRotateSaveLeft:
            if (lossless_rotate_current_file(id == kCmdRotateSaveRight ? 1 : 3) &&
                load_image_into_edit_state(std::u16string(s.image.path)))
                show_loaded_image();
            update_image_window_title();
            break;
        case kCmdHistogram: {
            const bool disable = s.file_list_window && IsWindowEnabled(s.file_list_window);
            if (disable) EnableWindow(s.file_list_window, FALSE);
            (void)run_edit_one_shot(kCmdHistogram);
            if (disable) EnableWindow(s.file_list_window, TRUE);
            break;
        }
        case kCmdComment: show_comment_dialog_for_image(); break;
        case kCmdTextData: show_text_data_for_image(); break;
        case kCmdPrintPreview: show_print_preview_for_image(); break;
        case kCmdTurnLeft:
        case kCmdTurnRight:
            if (turn_shown_image(id == kCmdTurnRight)) show_loaded_image();
            update_image_window_title();
            break;
        case kCmdZoomToggle:
            if (s.view.zoom == kZoomActualSize)
                view_fit_command();
            else
                view_zoom_command(kCmdZoomActualSize);
            break;
        case kCmdZoomFit: view_fit_command(); break;
        case kCmdZoomActualSize:
        case kCmdZoom1000:
        case kCmdZoom400:
        case kCmdZoom200:
        case kCmdZoom50:
        case kCmdZoom25:
        case kCmdZoom10:
        case kCmdZoomIn:
        case kCmdZoomOut:
        case kCmdZoomPlus10:
        case kCmdZoomMinus10: view_zoom_command(id); break;
        case kCmdFullScreen:
            if (IsIconic(window)) {
                ShowWindow(window, SW_RESTORE);
                break;
            }
            if (v.full_screen) {
                if (v.slide_show) stop_slide_show();
                leave_full_screen();
                repaint_now();
            } else {
                enter_full_screen();
            }
            update_image_window_title();
            replace_file_list_if_shown();
            break;
        case kCmdToEditWindow:
            if (IsIconic(window)) {
                ShowWindow(window, SW_RESTORE);
                break;
            }
            if (v.slide_show) stop_slide_show();
            set_handover_text(s.image.path);
            PostMessageW(window, WM_CLOSE, 0, 0);
            break;
        case kCmdCloseView:
            if (v.slide_show) stop_slide_show();
            PostMessageW(window, WM_CLOSE, 0, 0);
            break;
        case kCmdMinimise: SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0); break;
        case kCmdBackgroundWhite:
        case kCmdBackgroundWhite + 1:
        case kCmdBackgroundWhite + 2:
        case kCmdBackgroundWhite + 3:
        case kCmdBackgroundBlack:
            v.background_index = id - kCmdBackgroundWhite;
            g_shell.single_view.view_background = v.background_index;
            InvalidateRect(window, nullptr, FALSE);
            break;
        case kCmdPanLeft:
        case kCmdPanRight:
        case kCmdPanUp:
        case kCmdPanDown: pan_command(id); break;
        case kCmdColourCount: show_colour_count(); break;
        case kCmdCopyImage: copy_image_to_clipboard(); break;
        default: break;
    }
}

void view_end_left_drag(HWND window, POINT) {
    EditState& s = state();
    SingleViewState& v = s.single;
    v.left_drag_active = false;
    if (end_both_buttons(window)) return;
    bool zoomed = false;
    if (v.full_screen) {
        zoomed = end_zoom_rect_drag(v.window_dc, s.view, s.view.client_width, s.view.client_height);
        if (zoomed) update_view_rects(s.view);
    } else {
        RECT work, monitor;
        monitor_rects(&work, &monitor);
        int32_t width = 0, height = 0;
        largest_client(work, &width, &height);
        zoomed = end_zoom_rect_drag(v.window_dc, s.view, width, height);
        if (zoomed) place_view_window(work);
    }
    if (!zoomed) return;
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    update_image_window_title();
}

void view_mouse_move(HWND window, WPARAM keys, POINT point) {
    EditState& s = state();
    SingleViewState& v = s.single;
    if (s.view.drag_mode != kDragNone && (keys & MK_RBUTTON)) {
        const RightDragStep step = track_right_drag(s.view, ViewPoint{point.x, point.y}, edit_image_loaded());
        if (s.view.drag_mode == kDragRefused) {
            SetCursor(LoadCursorW(nullptr, IDC_NO));
            return;
        }
        if (step.dx || step.dy) {
            const PanCursors cursors{g_shell.instance,
                                     static_cast<int32_t (*)(const ViewGeometry&)>(image_window_pan_cursor)};
            scroll_view_by_offset(window, s.view, step.dy, step.dx, &s.navigator, cursors);
            update_view_rects(s.view);
            UpdateWindow(window);
        }
        if (step.show_navigator && s.navigator.window) show_navigator(s.navigator, s.view, window);
        return;
    }
    const WPARAM buttons =
        keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2 | MK_SHIFT);
    if ((keys & MK_LBUTTON) && buttons == MK_LBUTTON) {
        if (v.full_screen || s.view.zoom_drag_active) {
            track_zoom_rect_drag(v.window_dc, s.view, point);
        } else if (v.left_drag_active &&
                   std::abs(point.x - v.left_press.x) + std::abs(point.y - v.left_press.y) >
                       kWindowMoveThreshold) {
            v.left_drag_active = false;
            SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
            SendMessageW(window, WM_SYSCOMMAND, 0xF012, 0);
        }
        return;
    }
    hover_move(window, point);
}

void view_begin_right_drag(HWND window, POINT point) {
    EditState& s = state();
    begin_right_drag(s.view, ViewPoint{point.x, point.y});
    set_cursor_visible(true);
    SetCapture(window);
}

void view_end_right_drag(HWND) {
    finish_right_drag();
}

void view_on_size(HWND window, WPARAM, int32_t client_width, int32_t client_height) {
    EditState& s = state();
    SingleViewState& v = s.single;
    s.view.client_width = std::max(client_width, 0);
    s.view.client_height = std::max(client_height, 0);
    if (v.sizing_mode == kSizingCorner && edit_image_loaded()) {
        compute_fit_zoom(s.view, s.view.client_width, s.image.height, s.image.width, s.view.client_height);
        set_view_stretch_mode(v.window_dc, s.view, quality_stretch());
        v.sizing_mode = kSizingNone;
        RECT work, monitor;
        monitor_rects(&work, &monitor);
        place_view_window(work);
        update_image_window_title();
    } else if (edit_image_loaded()) {
        update_view_rects(s.view);
    }
    v.sizing_mode = kSizingNone;
    if (v.bar)
        SetWindowPos(v.bar, nullptr, 0, 0, client_width + 4, 28, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    (void)window;
}

INT_PTR CALLBACK view_help_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) noexcept {
    return help_dialog(dialog, message, wparam, kHelpSingleView, 6751);
}

INT_PTR CALLBACK slide_show_help_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) noexcept {
    return help_dialog(dialog, message, wparam, kHelpSlideShow, 6781);
}

LRESULT CALLBACK view_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    EditState& s = state();
    SingleViewState& v = s.single;
    const POINT point = {signed_x(lparam), signed_y(lparam)};
    switch (message) {
        case WM_CREATE: return view_on_create(window) ? 0 : -1;
        case WM_PAINT: paint_view(window); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_ACTIVATEAPP: v.app_active = wparam != 0; break;
        case WM_TIMER:
            if (wparam == kSlideShowTimerId) {
                slide_show_tick();
                return 0;
            }
            if (wparam == kAnimationTimerId) {
                animation_tick();
                return 0;
            }
            break;
        case WM_COMMAND:
            if (!drag_active()) view_window_command(LOWORD(wparam));
            return 0;
        case WM_INITMENU: view_on_init_menu(); return 0;
        case WM_MEASUREITEM:
        case WM_DRAWITEM: return draw_menu_item(message, lparam);
        case WM_LBUTTONDOWN:
            if (v.slide_show) {
                stop_slide_show();
                return 0;
            }
            if (wparam & MK_RBUTTON) {
                finish_right_drag();
                begin_both_buttons(window);
                return 0;
            }
            view_begin_left_drag(window, wparam, point);
            return 0;
        case WM_LBUTTONUP: view_end_left_drag(window, point); return 0;
        case WM_LBUTTONDBLCLK:
            if (wparam == MK_LBUTTON && g_shell.single_view.double_click_closes_view)
                view_window_command(kCmdCloseView);
            return 0;
        case WM_RBUTTONDOWN:
            if (v.slide_show) stop_slide_show();
            if (wparam & MK_LBUTTON) {
                cancel_zoom_rect();
                v.left_drag_active = false;
                begin_both_buttons(window);
                return 0;
            }
            view_begin_right_drag(window, point);
            return 0;
        case WM_RBUTTONUP:
            if (end_both_buttons(window)) return 0;
            // A press that never moved lets the system send the context menu.
            if (finish_right_drag() == kDragPressed) break;
            return 0;
        case WM_MOUSEMOVE: view_mouse_move(window, wparam, point); return 0;
        case WM_CAPTURECHANGED:
            // Another window took the mouse: no release will come, so every drag ends here.
            if (reinterpret_cast<HWND>(lparam) != window) end_all_drags();
            return 0;
        case WM_CANCELMODE: end_all_drags(); break;
        case WM_MBUTTONDOWN: {
            if (v.slide_show) {
                stop_slide_show();
                return 0;
            }
            const int32_t id = middle_click_command(s.view, ViewPoint{point.x, point.y}, edit_image_loaded());
            if (id) view_window_command(id);
            return 0;
        }
        case WM_MOUSEWHEEL: {
            if (v.slide_show) return 0;
            WheelRules rules;
            rules.has_image = edit_image_loaded();
            rules.wheel_mode = g_shell.single_view.wheel_action[mode_index()];
            rules.wheel_reversed = g_shell.single_view.wheel_reversed != 0;
            const int32_t id = wheel_command(s.view, uint32_t(wparam), rules);
            if (id) view_window_command(id);
            return 0;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (v.slide_show && !(lparam & (1 << 30))) {
                stop_slide_show();
                return 0;
            }
            break;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wparam) != window) break;
            show_view_bar(false);
            if (track_image_window_popup(point, window)) break;
            return 0;
        case WM_WINDOWPOSCHANGING: {
            // Full screen covers the whole monitor whatever a late move or size asks for.
            auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
            if (v.full_screen && pos && !IsIconic(window) &&
                (pos->flags & (SWP_NOSIZE | SWP_NOMOVE)) != (SWP_NOSIZE | SWP_NOMOVE)) {
                RECT work, monitor;
                get_monitor_rects(window, &work, &monitor);
                pos->x = monitor.left;
                pos->y = monitor.top;
                pos->cx = monitor.right - monitor.left;
                pos->cy = monitor.bottom - monitor.top;
                pos->flags &= ~UINT(SWP_NOSIZE | SWP_NOMOVE);
            }
            break;
        }
        case WM_SIZING:
            if (on_sizing(wparam, reinterpret_cast<RECT*>(lparam))) return TRUE;
            break;
        case WM_SIZE:
            view_on_size(window, wparam, int32_t(LOWORD(lparam)), int32_t(HIWORD(lparam)));
            return 0;
        case WM_NCLBUTTONDBLCLK:
            if (wparam == HTCAPTION) {
                view_window_command(kCmdFullScreen);
                return 0;
            }
            break;
        case WM_SYSCOMMAND: {
            const WPARAM command = wparam & 0xFFF0;
            if (command == SC_MAXIMIZE || (command == SC_RESTORE && v.full_screen && IsZoomed(window))) {
                view_window_command(kCmdFullScreen);
                return 0;
            }
            break;
        }
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
            set_view_bar_title(reinterpret_cast<const wchar_t*>(lparam));
            return result;
        }
        case WM_CLOSE: view_on_close(window); return 0;
        case WM_DESTROY:
            if (v.window_dc) ReleaseDC(window, v.window_dc);
            v.window_dc = nullptr;
            // The single view keeps no history beyond its window.
            history_clear();
            // A window that is gone is no longer the image window the shell asks about.
            if (g_view_window == window) g_view_window = nullptr;
            PostQuitMessage(0);
            return 0;
        default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND create_view_window(int32_t start_mode) {
    EditState& s = state();
    s.window_kind = 0;
    s.single = SingleViewState{};
    s.view.zoom = kZoomActualSize;
    s.save = g_shell.single_view.save;
    s.single.background_index = std::clamp(g_shell.single_view.view_background, 0, 4);
    build_view_menus();
    RECT monitor = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT work = monitor;
    if (g_shell.main_window) get_monitor_rects(g_shell.main_window, &work, &monitor);
    RECT r;
    r.left = monitor.left + (monitor.right - monitor.left - kStartClientWidth) / 2;
    r.top = monitor.top + (monitor.bottom - monitor.top - kStartClientHeight) / 2;
    r.right = r.left + kStartClientWidth;
    r.bottom = r.top + kStartClientHeight;
    AdjustWindowRectEx(&r, kWindowStyle, FALSE, 0);
    HWND window =
        CreateWindowExW(0, kViewWindowClassName, nullptr, kWindowStyle, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, nullptr, nullptr, g_shell.instance, nullptr);
    if (!window) {
        destroy_view_menus();
        set_handover_text(u"");
        return nullptr;
    }
    g_view_window = window;
    if (g_ready) SetEvent(g_ready);
    if (start_mode > 0)
        enter_full_screen();
    else
        s.single.full_screen = false;
    // The path is the thread's own copy: the main window may set another meanwhile.
    const std::u16string path = handover_text();
    set_handover_text(u"");
    if (load_image_into_edit_state(path)) {
        s.file_list_window = create_file_list_window();
        show_loaded_image();
        if (!s.single.full_screen) ShowWindow(window, SW_SHOW);
        update_image_window_title();
        create_navigator_window(s.navigator, window, L"Pexaron_navi_class", g_shell.instance,
                                NavigatorSource{&s.view, s.memory_dc});
        if (start_mode == kViewStartSlideShow) {
            begin_slide_show();
        } else if (g_shell.main_settings.help_at_start[kHelpSingleView]) {
            show_help_dialog(6750, view_help_dialog_proc);
        }
    } else {
        error_box(kErrorImageDisplay);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return window;
}

namespace {

bool view_accelerator(MSG* msg) {
    HACCEL keys = g_shell.view_accelerators.get();
    return !view_state().slide_show && keys && state().image_window &&
           TranslateAcceleratorW(state().image_window, keys, msg);
}

}  // namespace

unsigned __stdcall view_window_thread(void* start_mode) noexcept {
    set_undo_file_ops(&system_undo_file_ops());
    HWND window = create_view_window(int32_t(reinterpret_cast<INT_PTR>(start_mode)));
    if (g_ready) SetEvent(g_ready);
    if (window) pump_thread_messages(view_accelerator);
    g_view_window = nullptr;
    g_shell.image_thread_id = 0;
    if (g_shell.main_window) {
        PostMessageW(g_shell.main_window, kAppMessage, kMainThreadEnded,
                     reinterpret_cast<LPARAM>(&g_shell.image_thread));
        if (!handover_text().empty()) PostMessageW(g_shell.main_window, kAppMessage, kMainOpenEditWindow, 0);
    }
    return 0;
}

HANDLE start_single_view_thread(int32_t start_mode, unsigned* thread_id) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_ready = ready;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
        nullptr, 0, view_window_thread, reinterpret_cast<void*>(INT_PTR(start_mode)), 0, thread_id));
    // The caller may post to the window at once; it must exist by then.
    if (thread && ready) WaitForSingleObject(ready, 10000);
    g_ready = nullptr;
    if (ready) CloseHandle(ready);
    return thread;
}

namespace {

HWND (*g_other_image_window)() = nullptr;

// Only one image window runs at a time: the single view when it is up, else the other one.
HWND running_image_window() {
    if (HWND view = current_single_view()) return view;
    return g_other_image_window ? g_other_image_window() : nullptr;
}

}  // namespace

void fill_single_view_entry_points(ShellEntryPoints* table) {
    table->view_window_proc = view_window_proc;
    table->view_bar_proc = view_bar_proc;
    table->navigator_window_proc = navigator_window_proc;
    table->file_list_window_proc = file_list_window_proc;
    table->start_view_window_thread = start_single_view_thread;
    table->view_help_dialog_proc = view_help_dialog_proc;
    table->slide_show_help_dialog_proc = slide_show_help_dialog_proc;
    g_other_image_window = table->current_image_window;
    table->current_image_window = running_image_window;
}
