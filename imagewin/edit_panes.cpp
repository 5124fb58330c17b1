#include "imagewin/edit_panes.h"

#include <algorithm>
#include <cwchar>

#include "imagewin/core/edit_window_rules.h"
#include "imagewin/edit_bars.h"
#include "imagewin/edit_commands.h"
#include "imagewin/edit_menus.h"
#include "imagewin/edit_tool_host.h"
#include "imagewin/edit_window_record.h"
#include "imagewin/image_windows.h"
#include "imagewin/save_window_seam.h"
#include "shell/shell_state.h"

namespace {

int32_t lparam_x(LPARAM lparam) {
    return int32_t(int16_t(LOWORD(lparam)));
}

int32_t lparam_y(LPARAM lparam) {
    return int32_t(int16_t(HIWORD(lparam)));
}

EditPanes& panes() {
    return g_edit_window.panes;
}

HWND frame() {
    return g_edit_state.image_window;
}

bool scroll_bars_on() {
    return g_shell.single_view.edit_scroll_bars != 0;
}

HWND visible_pane() {
    return g_edit_tool.pane_mode == kEditPaneEditedOnly ? panes().edited : panes().first;
}

// The pane's window size less the static edge.
void full_client(int32_t* width, int32_t* height) {
    RECT r = {};
    if (HWND pane = visible_pane()) GetWindowRect(pane, &r);
    *width = int32_t(r.right - r.left) - 2 * GetSystemMetrics(SM_CXBORDER);
    *height = int32_t(r.bottom - r.top) - 2 * GetSystemMetrics(SM_CYBORDER);
    if (*width < 0) *width = 0;
    if (*height < 0) *height = 0;
}

void set_bar(HWND pane, int bar, bool shown, int32_t image_size, int32_t page, int32_t position) {
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    if (shown) {
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMax = image_size - 1;
        info.nPage = UINT(page);
        info.nPos = position;
    } else {
        info.fMask = SIF_RANGE;
    }
    SetScrollInfo(pane, bar, &info, TRUE);
}

void update_scrollbars() {
    ViewGeometry& v = g_edit_state.view;
    int32_t width = 0, height = 0;
    full_client(&width, &height);
    const EditScrollBars bars =
        edit_scroll_bars(width, height, v.display_width, v.display_height, GetSystemMetrics(SM_CXVSCROLL),
                         GetSystemMetrics(SM_CXHSCROLL));
    v.client_width = bars.client_width;
    v.client_height = bars.client_height;
    update_view_rects(v);
    for (HWND pane : {panes().first, panes().edited}) {
        if (!pane) continue;
        set_bar(pane, SB_VERT, bars.vertical, v.image_height, v.src_height, v.src_y);
        set_bar(pane, SB_HORZ, bars.horizontal, v.image_width, v.src_width, v.src_x);
    }
}

void update_rects() {
    if (scroll_bars_on()) {
        update_scrollbars();
        return;
    }
    int32_t width = 0, height = 0;
    full_client(&width, &height);
    g_edit_state.view.client_width = width;
    g_edit_state.view.client_height = height;
    update_view_rects(g_edit_state.view);
}

void repaint_visible() {
    repaint_view_pane(panes().first);
    repaint_view_pane(panes().edited);
}

void rect_to_view() {
    const EditToolOps* ops = edit_tool_ops(g_edit_tool.kind);
    if (g_edit_tool.kind == kToolTrimming && ops && ops->rect_to_view) ops->rect_to_view(g_edit_tool.context);
}

void set_stretch_modes() {
    const ViewGeometry& v = g_edit_state.view;
    const bool plain = v.display_width >= v.image_width && v.display_height >= v.image_height;
    for (HDC dc : {panes().first_dc.get(), panes().edited_dc.get()}) {
        if (!dc) continue;
        SetStretchBltMode(dc, plain ? COLORONCOLOR : HALFTONE);
        if (!plain) SetBrushOrgEx(dc, 0, 0, nullptr);
    }
}

// Fills what the destination rectangle leaves of the client, then stretches `source` into it.
void paint_image(HDC dc, HDC source, const RECT& client) {
    const ViewGeometry& v = g_edit_state.view;
    HBRUSH background = static_cast<HBRUSH>(GetStockObject(g_shell.single_view.edit_background % 5));
    if (!source) {
        FillRect(dc, &client, background);
        return;
    }
    const RECT strips[] = {
        {client.left, client.top, v.dest_x, client.bottom},
        {v.dest_x + v.dest_width, client.top, client.right, client.bottom},
        {v.dest_x, client.top, v.dest_x + v.dest_width, v.dest_y},
        {v.dest_x, v.dest_y + v.dest_height, v.dest_x + v.dest_width, client.bottom},
    };
    for (const RECT& strip : strips)
        if (strip.right > strip.left && strip.bottom > strip.top) FillRect(dc, &strip, background);
    StretchBlt(dc, v.dest_x, v.dest_y, v.dest_width, v.dest_height, source, v.src_x, v.src_y, v.src_width,
               v.src_height, SRCCOPY);
}

void paint_pane(HWND pane) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(pane, &ps);
    RECT client;
    GetClientRect(pane, &client);
    SetStretchBltMode(
        dc, GetStretchBltMode(pane == panes().first ? panes().first_dc.get() : panes().edited_dc.get()));
    if (pane == panes().first) {
        paint_image(dc, edit_image_loaded() ? g_edit_state.memory_dc : nullptr, client);
    } else {
        HDC source = nullptr;
        if (g_edit_state.save_preview_shown)
            source = g_edit_state.save_preview_dc;
        else if (g_edit_tool.result_present)
            source = g_edit_tool.work_dc;
        paint_image(dc, edit_image_loaded() ? source : nullptr, client);
        if (source && g_edit_state.view.drag_mode == kDragNone) {
            SetROP2(dc, R2_NOT);
            draw_edit_tool_overlay(dc);
        }
    }
    EndPaint(pane, &ps);
}

ViewPoint to_frame(HWND pane, LPARAM lparam) {
    POINT p = {lparam_x(lparam), lparam_y(lparam)};
    MapWindowPoints(pane, frame(), &p, 1);
    return {int32_t(p.x), int32_t(p.y)};
}

}  // namespace

void create_edit_panes(HWND parent) {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL;
    panes().first = CreateWindowExW(WS_EX_STATICEDGE, L"Pexaron_sch1_class", nullptr, style, 0, 0, 0, 0,
                                    parent, reinterpret_cast<HMENU>(kFirstPaneId), g_shell.instance, nullptr);
    panes().edited =
        CreateWindowExW(WS_EX_STATICEDGE, L"Pexaron_sch2_class", nullptr, style, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(kEditedPaneId), g_shell.instance, nullptr);
    // The shell registers both classes before the image windows exist; the panes take their
    // own procedures here.
    if (panes().first)
        SetWindowLongPtrW(panes().first, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(first_view_pane_proc));
    if (panes().edited)
        SetWindowLongPtrW(panes().edited, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_pane_proc));
    panes().first_dc = WindowDc(panes().first);
    panes().edited_dc = WindowDc(panes().edited);
    if (panes().edited_dc.get()) SetBkColor(panes().edited_dc.get(), RGB(255, 255, 255));
    if (!g_edit_state.memory_dc) g_edit_state.memory_dc = CreateCompatibleDC(panes().first_dc.get());
    if (!g_edit_tool.work_dc) g_edit_tool.work_dc = CreateCompatibleDC(panes().edited_dc.get());
    for (HWND pane : {panes().first, panes().edited}) {
        if (!pane) continue;
        if (scroll_bars_on()) {
            set_bar(pane, SB_VERT, false, 0, 0, 0);
            set_bar(pane, SB_HORZ, false, 0, 0, 0);
        } else {
            ShowScrollBar(pane, SB_BOTH, FALSE);
        }
    }
}

void destroy_edit_pane_dcs() {
    if (g_edit_tool.work_dc) DeleteDC(g_edit_tool.work_dc);
    g_edit_tool.work_dc = nullptr;
    g_edit_window.panes = EditPanes{};
}

HWND first_view_pane() {
    return panes().first;
}

HWND edited_view_pane() {
    return panes().edited;
}

void layout_edit_panes(int32_t client_height, int32_t client_width, bool recompute) {
    if (!frame()) return;
    int32_t top = 0;
    if (HWND rebar = edit_window_rebar()) {
        RECT r;
        GetWindowRect(rebar, &r);
        MapWindowPoints(nullptr, frame(), reinterpret_cast<POINT*>(&r), 2);
        top = r.bottom;
    }
    const EditPaneLayout layout = edit_pane_layout(g_edit_tool.pane_mode, client_width, client_height, top);
    const struct {
        HWND pane;
        const EditPaneRect& rect;
    } placed[] = {{panes().first, layout.first}, {panes().edited, layout.edited}};
    for (const auto& p : placed) {
        if (!p.pane) continue;
        if (p.rect.shown) MoveWindow(p.pane, p.rect.x, p.rect.y, p.rect.width, p.rect.height, FALSE);
        ShowWindow(p.pane, p.rect.shown ? SW_SHOWNA : SW_HIDE);
    }
    if (edit_image_loaded() && recompute) {
        update_display_size(g_edit_state.view);
        update_edit_view();
    } else {
        update_rects();
        repaint_visible();
    }
}

void relayout_edit_panes() {
    RECT client = {};
    if (frame()) GetClientRect(frame(), &client);
    layout_edit_panes(client.bottom, client.right, true);
}

void set_edit_pane_mode(int32_t mode) {
    g_edit_tool.pane_mode = mode;
    relayout_edit_panes();
    update_view_options_buttons();
}

void update_edit_view() {
    set_stretch_modes();
    update_rects();
    rect_to_view();
    repaint_visible();
}

void refit_edit_view(bool reset_zoom) {
    g_edit_tool.pane_mode = kEditPaneFirstOnly;
    RECT client = {};
    if (frame()) GetClientRect(frame(), &client);
    layout_edit_panes(client.bottom, client.right, false);
    ViewGeometry& v = g_edit_state.view;
    v.image_width = g_edit_state.image.width;
    v.image_height = g_edit_state.image.height;
    if (reset_zoom) {
        if (!g_shell.single_view.keep_zoom[2] || v.zoom <= 0) v.zoom = kZoomActualSize;
        int32_t width = 0, height = 0;
        full_client(&width, &height);
        compute_view_zoom(v, g_shell.single_view.fit_large[2] != 0, g_shell.single_view.enlarge_small[2] != 0,
                          width, height, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    } else {
        update_display_size(v);
    }
    set_stretch_modes();
    update_rects();
    repaint_view_pane(panes().first);
}

void refresh_after_image_change(bool reset_zoom) {
    refit_edit_view(reset_zoom);
    end_save_preview();
    show_zoom_in_edit();
    update_format_list();
    update_bit_depth_list();
    update_edit_toolbar_states();
    update_view_options_buttons();
    update_save_bar();
    update_image_window_title();
    sync_image_folder_list();
}

void scroll_edit_view(int32_t dy, int32_t dx) {
    // While panning the navigator's frame follows the view; the edit window has no pan cursor.
    scroll_view_source(g_edit_state.view, dx, dy, &g_edit_state.navigator, PanCursors{});
    rect_to_view();
    repaint_view_pane(panes().first);
    repaint_view_pane(panes().edited);
    if (scroll_bars_on()) update_scrollbars();
}

void toggle_edit_scrollbars() {
    int32_t& setting = g_shell.single_view.edit_scroll_bars;
    setting = setting ? 0 : 1;
    for (HWND pane : {panes().first, panes().edited})
        if (pane) ShowScrollBar(pane, SB_BOTH, setting ? TRUE : FALSE);
    update_rects();
    rect_to_view();
    repaint_visible();
    update_view_options_buttons();
}

void on_edit_scroll(bool vertical, uint32_t code) {
    HWND pane = visible_pane();
    if (!pane || !edit_image_loaded()) return;
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
    GetScrollInfo(pane, vertical ? SB_VERT : SB_HORZ, &info);
    const ViewGeometry& v = g_edit_state.view;
    const EditScrollInfo state{info.nPos, int32_t(info.nPage), info.nMax, info.nTrackPos};
    const int32_t delta = vertical ? edit_scroll_delta(code, state, v.image_height, v.src_height)
                                   : edit_scroll_delta(code, state, v.image_width, v.src_width);
    if (delta == 0) return;
    if (vertical)
        scroll_edit_view(delta, 0);
    else
        scroll_edit_view(0, delta);
}

void begin_edit_right_drag(HWND capture_window, int32_t x, int32_t y) {
    if (!edit_tool_right_press()) return;
    begin_right_drag(g_edit_state.view, {x, y});
    if (!g_edit_tool.pick_mode) SetCapture(capture_window);
}

void track_edit_right_drag(int32_t x, int32_t y) {
    if (edit_tool_holds_view() || g_edit_state.view.drag_mode == kDragNone) return;
    EditState& s = g_edit_state;
    const RightDragStep step = track_right_drag(s.view, {x, y}, edit_image_loaded());
    if (step.show_navigator && s.navigator.window && s.image_window)
        show_navigator(s.navigator, s.view, s.image_window);
    if (s.view.drag_mode == kDragPanning && (step.dx || step.dy)) scroll_edit_view(step.dy, step.dx);
}

namespace {

void hide_navigator() {
    if (HWND navigator = g_edit_state.navigator.window) ShowWindow(navigator, SW_HIDE);
}

}  // namespace

bool end_edit_right_drag() {
    const int32_t mode = end_right_drag(g_edit_state.view);
    if (mode == kDragNone) return false;
    if (mode == kDragPressed) {
        if (!g_edit_tool.pick_mode) ReleaseCapture();
        if (g_edit_tool.kind == kToolNone && !g_edit_tool.pick_mode) return true;
        if (g_edit_tool.pick_mode) end_tool_colour_pick(false);
        repaint_view_pane(panes().edited);
        return false;
    }
    repaint_view_pane(panes().edited);
    if (!g_edit_tool.pick_mode) ReleaseCapture();
    if (mode == kDragPanning) hide_navigator();
    return false;
}

void edit_capture_lost() {
    ViewGeometry& v = g_edit_state.view;
    // Losing the capture (a box, another program) ends what the capture was for; otherwise the
    // next move without a button would still pan or stretch a rectangle.
    if (v.drag_mode != kDragNone) {
        end_right_drag(v);
        hide_navigator();
        repaint_view_pane(panes().edited);
    }
    if (v.zoom_drag_active) {
        v.zoom_drag_active = false;
        repaint_visible();
    }
    if (g_edit_tool.pick_mode) edit_tool_capture_lost();
}

namespace {

void start_zoom_rect(HWND pane, LPARAM lparam) {
    if (g_edit_state.view.drag_mode != kDragNone) return;
    if (begin_zoom_rect_drag(g_edit_state.view, {lparam_x(lparam), lparam_y(lparam)})) {
        panes().zoom_rect_on_edited = pane == panes().edited;
        SetCapture(pane);
    }
}

void draw_frame(HDC dc, const ViewFrame& f) {
    const POINT points[] = {
        {f.left, f.top}, {f.right, f.top}, {f.right, f.bottom}, {f.left, f.bottom}, {f.left, f.top}};
    SetROP2(dc, R2_NOT);
    Polyline(dc, points, 5);
}

void track_zoom_rect(HWND pane, LPARAM lparam) {
    const ZoomRectTrack track = track_zoom_rect_drag(g_edit_state.view, {lparam_x(lparam), lparam_y(lparam)});
    if (!track.redraw) return;
    HDC dc = pane == panes().first ? panes().first_dc.get() : panes().edited_dc.get();
    draw_frame(dc, track.erase);
    draw_frame(dc, track.draw);
}

void end_zoom_rect(HWND pane) {
    int32_t width = 0, height = 0;
    full_client(&width, &height);
    const ZoomRectEnd end = end_zoom_rect_drag(g_edit_state.view, width, height);
    if (!end.was_active) return;
    if (GetCapture() == pane) ReleaseCapture();
    if (end.zoomed) {
        update_edit_view();
        show_zoom_in_edit();
    } else {
        repaint_view_pane(pane);
    }
}

LRESULT common_pane_message(HWND pane, UINT message, WPARAM wparam, LPARAM lparam, bool* handled) {
    *handled = true;
    switch (message) {
        case WM_PAINT: paint_pane(pane); return 0;
        case WM_VSCROLL:
        case WM_HSCROLL: on_edit_scroll(message == WM_VSCROLL, LOWORD(wparam)); return 0;
        case WM_CONTEXTMENU:
            if (g_edit_tool.kind == kToolNone && !g_edit_tool.pick_mode &&
                show_edit_context_menu(pane, lparam))
                return 0;
            return DefWindowProcW(pane, message, wparam, lparam);
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lparam) != pane) edit_capture_lost();
            return 0;
        case WM_RBUTTONDOWN: {
            SetFocus(frame());
            if (wparam & MK_LBUTTON) {
                if (edit_image_loaded()) end_zoom_rect(pane);
            } else {
                const ViewPoint p = to_frame(pane, lparam);
                begin_edit_right_drag(pane, p.x, p.y);
            }
            return 0;
        }
        case WM_RBUTTONUP:
            if (end_edit_right_drag()) break;
            return 0;
        case WM_MBUTTONDOWN: {
            SetFocus(frame());
            if (g_edit_tool.accelerators_suspended) return 0;
            const int32_t id = middle_click_command(g_edit_state.view, {lparam_x(lparam), lparam_y(lparam)},
                                                    edit_image_loaded());
            if (id) edit_window_command(frame(), id);
            return 0;
        }
        default: break;
    }
    *handled = false;
    return 0;
}

}  // namespace

LRESULT CALLBACK first_view_pane_proc(HWND pane, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    bool handled = false;
    const LRESULT result = common_pane_message(pane, message, wparam, lparam, &handled);
    if (handled) return result;
    switch (message) {
        case WM_MOUSEMOVE:
            if (wparam == MK_LBUTTON || wparam == (MK_LBUTTON | MK_CONTROL)) {
                track_zoom_rect(pane, lparam);
            } else if (wparam == MK_RBUTTON) {
                const ViewPoint p = to_frame(pane, lparam);
                track_edit_right_drag(p.x, p.y);
            } else if (g_edit_tool.pick_mode) {
                if (read_pixel_under_cursor({lparam_x(lparam), lparam_y(lparam)}))
                    repaint_picked_colour_box();
            }
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(frame());
            if (wparam & MK_RBUTTON) {
                end_edit_right_drag();
            } else if (g_edit_state.view.drag_mode == kDragNone && g_edit_tool.pick_mode) {
                end_tool_colour_pick(read_pixel_under_cursor({lparam_x(lparam), lparam_y(lparam)}));
            } else if (edit_image_loaded() &&
                       ((wparam & MK_CONTROL) || g_shell.single_view.drag_zooms_edit)) {
                start_zoom_rect(pane, lparam);
            }
            return 0;
        case WM_LBUTTONUP:
            if (edit_image_loaded()) end_zoom_rect(pane);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (wparam == MK_LBUTTON && g_shell.single_view.double_click_closes_edit)
                edit_window_command(frame(), 8202);
            return 0;
        default: return DefWindowProcW(pane, message, wparam, lparam);
    }
}

LRESULT CALLBACK edit_pane_proc(HWND pane, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    bool handled = false;
    const LRESULT result = common_pane_message(pane, message, wparam, lparam, &handled);
    if (handled) return result;
    EditToolHost& host = g_edit_tool;
    const EditToolOps* ops = edit_tool_ops(host.kind);
    switch (message) {
        case WM_SETCURSOR:
            if (!(GetKeyState(VK_CONTROL) & 0x8000) && LOWORD(lparam) == HTCLIENT && ops && ops->set_cursor &&
                ops->set_cursor(host.context))
                return TRUE;
            break;
        case WM_MOUSEMOVE:
            if (wparam == MK_RBUTTON) {
                const ViewPoint p = to_frame(pane, lparam);
                track_edit_right_drag(p.x, p.y);
            } else if (g_edit_state.view.zoom_drag_active) {
                track_zoom_rect(pane, lparam);
            } else {
                (void)route_edit_pane_mouse(pane, message, wparam, lparam);
            }
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(frame());
            if (wparam & MK_RBUTTON) {
                end_edit_right_drag();
            } else if (g_edit_state.view.drag_mode != kDragNone) {
            } else if ((wparam & MK_CONTROL) && edit_image_loaded() && !edit_tool_holds_view()) {
                start_zoom_rect(pane, lparam);
            } else {
                (void)route_edit_pane_mouse(pane, message, wparam, lparam);
            }
            return 0;
        case WM_LBUTTONUP:
            if (g_edit_state.view.zoom_drag_active) {
                if (edit_image_loaded()) end_zoom_rect(pane);
            } else {
                (void)route_edit_pane_mouse(pane, message, wparam, lparam);
            }
            return 0;
        case WM_MOUSELEAVE: (void)route_edit_pane_mouse(pane, message, wparam, lparam); return 0;
        default: break;
    }
    return DefWindowProcW(pane, message, wparam, lparam);
}

void start_transparent_colour_pick() {
    EditState& s = g_edit_state;
    int32_t& flag = s.save_choices.transparent;
    flag = flag ? 0 : 1;
    if (flag) {
        if (s.file_list_window) ShowWindow(s.file_list_window, SW_HIDE);
        EditToolHost& host = g_edit_tool;
        host.pick_mode = true;
        host.accelerators_suspended = true;
        host.hook_armed = true;
        // The pick reads the plain image, never the selection's highlighted copy.
        if (s.selection.selection_overlay && s.bitmap && s.memory_dc) SelectObject(s.memory_dc, s.bitmap);
        if (host.pane_mode != kEditPaneFirstOnly)
            set_edit_pane_mode(kEditPaneFirstOnly);
        else
            repaint_view_pane(panes().first);
        if (panes().first) SetCapture(panes().first);
        SetCursor(LoadCursorW(nullptr, IDC_CROSS));
    }
    update_save_bar();
}

void end_transparent_colour_pick(bool take) {
    EditState& s = g_edit_state;
    EditToolHost& host = g_edit_tool;
    host.pick_mode = false;
    host.accelerators_suspended = false;
    host.hook_armed = false;
    if (GetCapture() == panes().first) ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    s.view.drag_mode = kDragNone;
    if (take) {
        s.save.transparent_colour = int32_t(host.picked[0] | (host.picked[1] << 8) | (host.picked[2] << 16));
    } else {
        s.save_choices.transparent = 0;
        update_save_bar();
    }
    if (s.selection.selection_overlay && s.selection.show_selection && s.memory_dc) {
        SelectObject(s.memory_dc, s.selection.selection_overlay);
        repaint_view_pane(panes().first);
    }
    update_image_window_title();
}

bool read_pixel_under_cursor(POINT point) {
    const EditState& s = g_edit_state;
    const ViewGeometry& v = s.view;
    HWND frame_window = frame();
    const bool inside = edit_image_loaded() && point.x >= v.dest_x && point.x < v.dest_x + v.dest_width &&
                        point.y >= v.dest_y && point.y < v.dest_y + v.dest_height && v.dest_width > 0 &&
                        v.dest_height > 0;
    if (!inside) {
        if (frame_window) SetWindowTextW(frame_window, L"r:-  g:-  b:-");
        return false;
    }
    const int64_t x = std::min<int64_t>(s.image.width - 1,
                                        v.src_x + (int64_t(point.x) - v.dest_x) * v.src_width / v.dest_width);
    const int64_t y = std::min<int64_t>(
        s.image.height - 1, v.src_y + (int64_t(point.y) - v.dest_y) * v.src_height / v.dest_height);
    const int64_t stride = (int64_t(s.image.width) * s.image.bit_count / 8 + 3) / 4 * 4;
    const uint8_t* row = s.bits + (s.image.height - 1 - y) * stride;
    uint8_t* picked = g_edit_tool.picked;
    if (s.image.bit_count == 24) {
        picked[0] = row[x * 3 + 2];
        picked[1] = row[x * 3 + 1];
        picked[2] = row[x * 3];
    } else {
        const auto& entry = s.image.palette[row[x]];
        picked[0] = entry.red;
        picked[1] = entry.green;
        picked[2] = entry.blue;
    }
    wchar_t title[48];
    swprintf(title, 48, L"r:%d  g:%d  b:%d", picked[0], picked[1], picked[2]);
    if (frame_window) SetWindowTextW(frame_window, title);
    return true;
}

void repaint_edited_pane() {
    repaint_view_pane(panes().edited);
}

HDC edited_pane_overlay_dc() {
    return panes().edited_dc.get();
}

void repaint_view_pane(HWND pane) {
    if (pane && IsWindowVisible(pane)) {
        InvalidateRect(pane, nullptr, FALSE);
        UpdateWindow(pane);
    }
}
