// The viewer's view: commands, zoom and fit, placing and sizing the window, full screen, the
// mouse, painting and GIF playback. The geometry is the view core's; this file applies it.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>

#include "shell/shell_helpers.h"
#include "viewer/viewer_app.h"

namespace {

constexpr int32_t kWindowDragThreshold = 2;
constexpr WPARAM kSysMoveByClient = 0xF012;
constexpr int32_t kFullScreenCorrections = 3;

PanCursors viewer_pan_cursors() {
    PanCursors cursors;
    cursors.instance = g_viewer.instance;
    cursors.pick = viewer_pan_cursor;
    return cursors;
}

int32_t width_of(const RECT& r) {
    return r.right - r.left;
}
int32_t height_of(const RECT& r) {
    return r.bottom - r.top;
}

void repaint() {
    InvalidateRect(g_viewer.frame, nullptr, FALSE);
}

// The space an image is fitted into: the whole monitor in full screen, else its work area less
// the window frame.
void fit_space(int32_t* width, int32_t* height, RECT* monitor_out = nullptr) {
    RECT work = {}, monitor = {};
    get_monitor_rects(g_viewer.frame, &work, &monitor);
    if (monitor_out) *monitor_out = monitor;
    if (g_viewer.full_screen) {
        *width = width_of(monitor);
        *height = height_of(monitor);
        return;
    }
    RECT frame = {};
    viewer_frame_extent(kViewerWindowStyle, &frame);
    *width = std::max(1, width_of(work) - width_of(frame));
    *height = std::max(1, height_of(work) - height_of(frame));
}

void apply_stretch_mode() {
    set_view_stretch_mode(g_viewer.dc, g_viewer.view, g_viewer.settings.halftone);
    SetROP2(g_viewer.dc, R2_NOT);
}

// After the zoom changed: stretch mode, then the rectangles (full screen) or the window.
void after_zoom() {
    ViewerApp& v = g_viewer;
    update_display_size(v.view);
    apply_stretch_mode();
    if (v.full_screen)
        update_view_rects(v.view);
    else
        viewer_place_window();
    repaint();
    viewer_show_image_info();
}

void fit_to_screen() {
    int32_t w = 0, h = 0;
    fit_space(&w, &h);
    compute_fit_zoom(g_viewer.view, w, g_viewer.view.image_height, g_viewer.view.image_width, h);
    after_zoom();
}

void scroll_by(int32_t dx, int32_t dy) {
    ViewerApp& v = g_viewer;
    if (dx && v.view.display_width <= v.view.client_width) return;
    if (dy && v.view.display_height <= v.view.client_height) return;
    scroll_view_by_offset(v.frame, v.view, dy, dx, nullptr, viewer_pan_cursors());
}

// The window style changes while the client rectangle stays where it is on the screen.
void restyle_keeping_client(DWORD style) {
    ViewerApp& v = g_viewer;
    RECT client = {};
    GetClientRect(v.frame, &client);
    MapWindowPoints(v.frame, nullptr, reinterpret_cast<POINT*>(&client), 2);
    AdjustWindowRectEx(&client, style, FALSE, kViewerExStyle);
    SetWindowLongPtrW(v.frame, GWL_EXSTYLE, kViewerExStyle);
    SetWindowLongPtrW(v.frame, GWL_STYLE, style);
    SetWindowPos(v.frame, nullptr, client.left, client.top, width_of(client), height_of(client),
                 SWP_NOSENDCHANGING | SWP_FRAMECHANGED | SWP_NOZORDER);
}

void show_in_window_mode() {
    ViewerApp& v = g_viewer;
    if (!v.has_image) return;
    if (!v.settings.keep_zoom_window) v.view.zoom = kZoomActualSize;
    int32_t w = 0, h = 0;
    RECT monitor = {};
    fit_space(&w, &h, &monitor);
    compute_view_zoom(v.view, v.settings.fit_larger_window, v.settings.fit_smaller_window, w, h,
                      width_of(monitor), height_of(monitor));
    apply_stretch_mode();
    viewer_place_window();
}

void end_zoom_rect(POINT) {
    ViewerApp& v = g_viewer;
    int32_t w = 0, h = 0;
    if (v.full_screen) {
        w = v.view.client_width;
        h = v.view.client_height;
    } else {
        fit_space(&w, &h);
    }
    if (!end_zoom_rect_drag(v.dc, v.view, w, h)) return;
    if (v.full_screen) {
        apply_stretch_mode();
        update_view_rects(v.view);
    } else {
        apply_stretch_mode();
        viewer_place_window();
    }
    repaint();
    viewer_show_image_info();
}

void end_right_drag_now() {
    ViewerApp& v = g_viewer;
    if (v.bar_shown) {
        viewer_show_bar(false);
        SetFocus(v.frame);
    }
    const int32_t mode = end_right_drag(v.view);
    if (GetCapture() == v.frame) ReleaseCapture();
    if (mode == kDragPanning) {
        apply_stretch_mode();
        repaint();
        if (v.navigator.window) ShowWindow(v.navigator.window, SW_HIDE);
    }
    SetCursor(v.arrow);
}

void mouse_move_without_buttons(POINT p) {
    ViewerApp& v = g_viewer;
    ViewerMoveState state;
    state.active = v.active;
    state.bar_shown = v.bar_shown;
    state.cursor_shown = v.cursor_shown;
    state.x = p.x;
    state.y = p.y;
    state.client_height = v.view.client_height;
    state.hidden_x = v.cursor_hidden_at.x;
    state.hidden_y = v.cursor_hidden_at.y;
    switch (viewer_move_action(state)) {
        case ViewerMoveAction::kHideBar: viewer_show_bar(false); break;
        case ViewerMoveAction::kShowBar: viewer_show_bar(true); break;
        case ViewerMoveAction::kShowCursor: show_viewer_cursor(); break;
        case ViewerMoveAction::kNothing: break;
    }
}

}  // namespace

void viewer_frame_extent(DWORD style, RECT* frame) {
    *frame = RECT{0, 0, 0, 0};
    AdjustWindowRectEx(frame, style, FALSE, kViewerExStyle);
}

void viewer_set_empty_view() {
    ViewerApp& v = g_viewer;
    v.has_image = false;
    v.view.image_width = kViewerStartWidth;
    v.view.image_height = kViewerStartHeight;
    v.view.display_width = kViewerStartWidth;
    v.view.display_height = kViewerStartHeight;
    v.image.path[0] = 0;
    v.image.name[0] = 0;
    repaint();
    viewer_update_bar_buttons();
    viewer_show_image_info();
}

void viewer_do_command(int32_t id) {
    ViewerApp& v = g_viewer;
    if (v.view.drag_mode != kDragNone) return;
    show_viewer_cursor();
    if (!v.full_screen && v.bar_shown) viewer_show_bar(false);
    if (viewer_command_needs_image(id) && !v.has_image) return;
    switch (id) {
        case kViewerFirstFile:
        case kViewerLastFile:
        case kViewerPreviousFile:
        case kViewerNextFile:
            viewer_step_file(id - kViewerFirstFile);
            viewer_show_image_info();
            break;
        case kViewerDelete:
            viewer_delete_current_file();
            viewer_show_image_info();
            break;
        case kViewerTurnLeft:
        case kViewerTurnRight:
            viewer_rotate_display(id);
            viewer_show_image_info();
            break;
        case kViewerToggleFit:
            if (v.view.zoom == kZoomActualSize)
                fit_to_screen();
            else if (apply_zoom_command(v.view, kCmdZoomActualSize))
                after_zoom();
            break;
        case kViewerFit: fit_to_screen(); break;
        case kViewerActualSize:
        case kViewerZoomIn:
        case kViewerZoomOut:
        case kViewerZoomPlus10:
        case kViewerZoomMinus10: {
            const int32_t before = v.view.zoom;
            if (apply_zoom_command(v.view, id) && v.view.zoom != before) after_zoom();
            break;
        }
        case kViewerFullScreen:
            if (IsIconic(v.frame))
                ShowWindow(v.frame, SW_RESTORE);
            else if (v.full_screen)
                viewer_leave_full_screen();
            else
                viewer_enter_full_screen();
            break;
        case kViewerClose: SendMessageW(v.frame, WM_CLOSE, 0, 0); break;
        case kViewerScrollLeft: scroll_by(-pan_step_pixels(v.view), 0); break;
        case kViewerScrollRight: scroll_by(pan_step_pixels(v.view), 0); break;
        case kViewerScrollUp: scroll_by(0, -pan_step_pixels(v.view)); break;
        case kViewerScrollDown: scroll_by(0, pan_step_pixels(v.view)); break;
        case kViewerMinimize: ShowWindow(v.frame, IsIconic(v.frame) ? SW_RESTORE : SW_SHOWMINIMIZED); break;
        default: break;
    }
}

void viewer_show_loaded_image() {
    ViewerApp& v = g_viewer;
    RECT work = {}, monitor = {};
    get_monitor_rects(v.frame, &work, &monitor);
    if (v.full_screen) {
        if (!v.settings.keep_zoom_full_screen) v.view.zoom = kZoomActualSize;
        compute_view_zoom(v.view, v.settings.fit_larger_full_screen, v.settings.fit_smaller_full_screen,
                          width_of(monitor), height_of(monitor), width_of(monitor), height_of(monitor));
        apply_stretch_mode();
        update_view_rects(v.view);
    } else {
        show_in_window_mode();
    }
    repaint();
    viewer_update_bar_buttons();
    viewer_sync_file_list();
    if (v.image.animation.animated && v.image.animation.frame_count > 1) {
        v.image.animation.current = 0;
        SetTimer(v.frame, kViewerGifTimer, static_cast<UINT>(std::max(0, v.image.animation.delays[0])) * 10,
                 nullptr);
    }
}

void viewer_place_window() {
    ViewerApp& v = g_viewer;
    RECT work = {};
    get_monitor_rects(v.frame, &work, nullptr);
    RECT frame = {};
    viewer_frame_extent(kViewerWindowStyle, &frame);
    RECT client = {};
    GetClientRect(v.frame, &client);
    POINT centre = {client.right / 2, client.bottom / 2};
    ClientToScreen(v.frame, &centre);
    ViewerPlacementInput in;
    in.display_width = v.view.display_width;
    in.display_height = v.view.display_height;
    in.centre_x = centre.x;
    in.centre_y = centre.y;
    in.frame_left = -frame.left;
    in.frame_top = -frame.top;
    in.frame_width = width_of(frame);
    in.frame_height = height_of(frame);
    in.min_window_width = GetSystemMetrics(SM_CXMIN);
    in.work_area = ViewerRect{work.left, work.top, work.right, work.bottom};
    const ViewerRect r = viewer_window_placement(in);
    SetWindowPos(v.frame, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_FRAMECHANGED | SWP_NOZORDER);
    RECT placed = {};
    GetWindowRect(v.frame, &placed);
    v.largest_width = width_of(placed);
    v.largest_height = height_of(placed);
    GetClientRect(v.frame, &client);
    v.view.client_width = client.right;
    v.view.client_height = client.bottom;
    update_view_rects(v.view);
}

RECT viewer_cover_monitor() {
    RECT monitor = {};
    get_monitor_rects(g_viewer.frame, nullptr, &monitor);
    SetWindowPos(g_viewer.frame, nullptr, monitor.left, monitor.top, width_of(monitor), height_of(monitor),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return monitor;
}

void viewer_on_settings_change() {
    ViewerApp& v = g_viewer;
    if (v.full_screen) {
        // Full screen covers the whole monitor whatever the work area became; placing the window
        // for the image would shrink it to a framed window without a frame.
        if (IsIconic(v.frame)) return;
        v.full_screen_corrections = 0;
        viewer_cover_monitor();
        RECT client = {};
        GetClientRect(v.frame, &client);
        v.view.client_width = client.right;
        v.view.client_height = client.bottom;
        if (v.has_image) update_view_rects(v.view);
        repaint();
        return;
    }
    if (v.has_image) viewer_place_window();
}

void viewer_enter_full_screen() {
    ViewerApp& v = g_viewer;
    v.full_screen = true;
    v.full_screen_corrections = 0;
    restyle_keeping_client(kViewerFullScreenStyle);
    ShowWindow(v.frame, SW_SHOWMAXIMIZED);
    // A window without a caption is not always grown by maximising (a desktop without a window
    // manager leaves it as it was): it is made to cover its monitor itself.
    const RECT monitor = viewer_cover_monitor();
    if (v.has_image) {
        if (!v.settings.keep_zoom_full_screen) v.view.zoom = kZoomActualSize;
        compute_view_zoom(v.view, v.settings.fit_larger_full_screen, v.settings.fit_smaller_full_screen,
                          width_of(monitor), height_of(monitor), width_of(monitor), height_of(monitor));
        apply_stretch_mode();
        update_view_rects(v.view);
    }
    repaint();
    viewer_layout_full_screen_bar(true);
    SetForegroundWindow(v.frame);
    viewer_show_image_info();
}

void viewer_leave_full_screen() {
    ViewerApp& v = g_viewer;
    v.full_screen = false;
    viewer_layout_full_screen_bar(false);
    ShowWindow(v.frame, SW_RESTORE);
    restyle_keeping_client(WS_VISIBLE | kViewerWindowStyle);
    show_in_window_mode();
    viewer_show_bar(false);
    show_viewer_cursor();
    repaint();
    viewer_show_image_info();
}

void viewer_on_size(int32_t client_width, int32_t client_height) {
    ViewerApp& v = g_viewer;
    if (v.full_screen && !IsIconic(v.frame) && v.full_screen_corrections < kFullScreenCorrections) {
        // A late size from the desktop (one without a window manager answers the first show
        // afterwards) would leave full screen cropped: the monitor is covered again, a bounded
        // number of times.
        RECT monitor = {};
        get_monitor_rects(v.frame, nullptr, &monitor);
        if (client_width != width_of(monitor) || client_height != height_of(monitor)) {
            ++v.full_screen_corrections;
            viewer_cover_monitor();
            return;
        }
    }
    v.view.client_width = client_width;
    v.view.client_height = client_height;
    if (v.bar) MoveWindow(v.bar, -2, -2, client_width + 4, kViewerBarHeight, TRUE);
    const int32_t kind = v.sizing_kind;
    v.sizing_kind = 0;
    if (!v.has_image) return;
    if (kind == 2) {
        compute_fit_zoom(v.view, client_width, v.view.image_height, v.view.image_width, client_height);
        update_display_size(v.view);
        apply_stretch_mode();
        viewer_place_window();
        viewer_show_image_info();
    } else {
        update_view_rects(v.view);
    }
    repaint();
}

void viewer_on_sizing(int32_t edge, RECT* rect) {
    ViewerApp& v = g_viewer;
    RECT frame = {};
    viewer_frame_extent(kViewerWindowStyle, &frame);
    ViewerSizing s;
    s.largest_width = v.largest_width;
    s.largest_height = v.largest_height;
    s.frame_width = width_of(frame);
    s.frame_height = height_of(frame);
    s.min_window_width = GetSystemMetrics(SM_CXMIN);
    s.image_width = v.view.image_width;
    s.image_height = v.view.image_height;
    ViewerRect r{rect->left, rect->top, rect->right, rect->bottom};
    const int32_t kind = viewer_sizing(edge, s, &r);
    if (kind) v.sizing_kind = kind;
    *rect = RECT{r.left, r.top, r.right, r.bottom};
}

void viewer_paint() {
    ViewerApp& v = g_viewer;
    PAINTSTRUCT ps;
    BeginPaint(v.frame, &ps);
    RECT client = {};
    GetClientRect(v.frame, &client);
    HBRUSH background = static_cast<HBRUSH>(GetStockObject(v.settings.background_brush));
    if (v.has_image) {
        SetROP2(v.dc, R2_COPYPEN);
        paint_original_pane(v.dc, client, v.view, v.memory_dc, background);
        SetROP2(v.dc, R2_NOT);
    } else {
        FillRect(v.dc, &client, background);
    }
    EndPaint(v.frame, &ps);
}

void viewer_on_gif_timer() {
    ViewerApp& v = g_viewer;
    ViewerAnimation& a = v.image.animation;
    KillTimer(v.frame, kViewerGifTimer);
    if (!a.animated || a.frame_count < 2) return;
    const ViewerFrameStep step = viewer_next_frame(a.current, a.frame_count, a.loops_left);
    a.loops_left = step.loops_left;
    const int32_t next = step.frame;
    if (step.stop) {
        a.current = 0;
        SelectObject(v.memory_dc, a.frames[0]);
        repaint();
        return;
    }
    a.current = next;
    if (a.frames[next]) SelectObject(v.memory_dc, a.frames[next]);
    repaint();
    SetTimer(v.frame, kViewerGifTimer, static_cast<UINT>(std::max(0, a.delays[next])) * 10, nullptr);
}

bool viewer_mouse(UINT message, WPARAM wparam, LPARAM lparam) {
    ViewerApp& v = g_viewer;
    const POINT p = {static_cast<int16_t>(LOWORD(lparam)), static_cast<int16_t>(HIWORD(lparam))};
    switch (message) {
        case WM_MOUSEWHEEL: {
            WheelRules rules;
            rules.has_image = v.has_image;
            rules.wheel_mode =
                v.full_screen ? v.settings.wheel_mode_full_screen : v.settings.wheel_mode_window;
            rules.wheel_reversed = v.settings.wheel_reversed;
            const int32_t command = wheel_command(v.view, static_cast<uint32_t>(wparam), rules);
            if (command) viewer_do_command(command);
            return true;
        }
        case WM_MBUTTONDOWN: {
            const int32_t command = middle_click_command(v.view, ViewPoint{p.x, p.y}, v.has_image);
            if (command == kCmdZoomActualSize && v.view.zoom == kZoomActualSize) {
                update_view_rects(v.view);
                repaint();
            } else if (command) {
                viewer_do_command(command);
            }
            return true;
        }
        case WM_LBUTTONDOWN:
            if (v.view.drag_mode != kDragNone) return true;
            if (v.full_screen && !v.cursor_shown) {
                show_viewer_cursor();
                return true;
            }
            // Without the drag-without-Ctrl setting a plain left drag does nothing, in either mode.
            if (!v.settings.zoom_drag_without_ctrl && !(wparam & MK_CONTROL)) return true;
            if (!v.full_screen && !(wparam & MK_CONTROL)) {
                v.window_drag_armed = true;
                v.window_drag_start = p;
                return true;
            }
            if (v.has_image) begin_zoom_rect_drag(v.frame, v.view, p);
            return true;
        case WM_MOUSEMOVE:
            if (wparam & MK_RBUTTON) {
                if (v.view.drag_mode == kDragNone) return true;
                const RightDragStep step = track_right_drag(v.view, ViewPoint{p.x, p.y}, v.has_image);
                if (v.view.drag_mode == kDragRefused) {
                    SetCursor(v.refused);
                    return true;
                }
                if (v.view.drag_mode != kDragPanning) return true;
                if (step.show_navigator) {
                    if (v.settings.halftone && v.view.zoom != kZoomActualSize) {
                        SetStretchBltMode(v.dc, COLORONCOLOR);
                        repaint();
                    }
                    if (v.view.client_width > kNavigatorMinClient &&
                        v.view.client_height > kNavigatorMinClient)
                        show_navigator(v.navigator, v.view, v.frame);
                }
                if (step.dx || step.dy)
                    scroll_view_by_offset(
                        v.frame, v.view, step.dy, step.dx,
                        v.navigator.window && IsWindowVisible(v.navigator.window) ? &v.navigator : nullptr,
                        viewer_pan_cursors());
                set_pan_cursor(v.view, viewer_pan_cursors());
                return true;
            }
            if (wparam & MK_LBUTTON) {
                if (v.view.zoom_drag_active || v.full_screen) {
                    track_zoom_rect_drag(v.dc, v.view, p);
                } else if (v.window_drag_armed &&
                           std::abs(p.x - v.window_drag_start.x) + std::abs(p.y - v.window_drag_start.y) >
                               kWindowDragThreshold) {
                    v.window_drag_armed = false;
                    SetCursor(v.move);
                    SendMessageW(v.frame, WM_SYSCOMMAND, kSysMoveByClient, 0);
                }
                return true;
            }
            mouse_move_without_buttons(p);
            return true;
        case WM_LBUTTONUP:
            v.window_drag_armed = false;
            if (v.view.zoom_drag_active) end_zoom_rect(p);
            return true;
        case WM_LBUTTONDBLCLK:
            if (v.settings.double_click_closes) viewer_do_command(kViewerClose);
            return true;
        case WM_RBUTTONDOWN:
            begin_right_drag(v.view, ViewPoint{p.x, p.y});
            show_viewer_cursor();
            SetCapture(v.frame);
            return true;
        case WM_RBUTTONUP:
            if (v.view.drag_mode != kDragNone) end_right_drag_now();
            return true;
        case WM_CAPTURECHANGED:
            // Another window took the mouse (Alt+Tab, a system box): every drag ends here, so
            // that commands are not refused for ever waiting for a release that never comes.
            if (reinterpret_cast<HWND>(lparam) == v.frame) return true;
            if (v.view.drag_mode != kDragNone) end_right_drag_now();
            if (v.view.zoom_drag_active) end_zoom_rect(p);
            return true;
        default: return false;
    }
}
