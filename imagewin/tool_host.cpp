#include "imagewin/tool_host.h"

#include <cstdlib>
#include <cstring>

#include "common/stride.h"
#include "common/win/app_messages.h"
#include "imagewin/edit_bars.h"
#include "imagewin/edit_panes.h"
#include "imagewin/edit_tool_host.h"
#include "imagewin/edit_window.h"
#include "imagewin/image_windows.h"

namespace {

EditToolTable g_table;

bool available(const EditToolOps& ops) {
    return ops.create && ops.start && ops.finish && ops.destroy;
}

const EditToolOps* open_ops() {
    return edit_tool_ops(g_edit_tool.kind);
}

const EditToolTraits* open_traits() {
    return edit_tool_traits(g_edit_tool.kind);
}

}  // namespace

void install_edit_tool_table(const EditToolTable* table) {
    g_table = table ? *table : EditToolTable{};
}

void register_edit_tool(int32_t kind, const EditToolOps& ops) {
    if (kind < 1 || kind > kEditToolKindCount) return;
    g_table.kinds[kind] = ops;
}

void register_edit_one_shot(int32_t command, EditOneShotRoutine routine) {
    const int32_t index = edit_one_shot_index(command);
    if (index >= 0) g_table.one_shots[index] = routine;
}

const EditToolOps* edit_tool_ops(int32_t kind) {
    if (kind < 1 || kind > kEditToolKindCount) return nullptr;
    return available(g_table.kinds[kind]) ? &g_table.kinds[kind] : nullptr;
}

EditOneShotRoutine edit_one_shot(int32_t command) {
    const int32_t index = edit_one_shot_index(command);
    return index >= 0 ? g_table.one_shots[index] : nullptr;
}

uint32_t missing_edit_tool_kinds() {
    uint32_t missing = 0;
    for (int32_t kind = 1; kind <= kEditToolKindCount; ++kind)
        if (!available(g_table.kinds[kind])) missing |= 1u << kind;
    return missing;
}

uint32_t missing_edit_one_shots() {
    uint32_t missing = 0;
    for (int32_t i = 0; i < kEditOneShotCount; ++i)
        if (!g_table.one_shots[i]) missing |= 1u << i;
    return missing;
}

bool run_edit_one_shot(int32_t command) {
    EditOneShotRoutine routine = edit_one_shot(command);
    if (!routine || g_edit_tool.kind != kToolNone || !edit_image_loaded()) return false;
    EditState& s = g_edit_state;
    // The histogram is a modal dialog over the edit window: the file list must not be used
    // under it.
    const bool disable = command == 8310 && s.file_list_window && IsWindowEnabled(s.file_list_window);
    if (disable) EnableWindow(s.file_list_window, FALSE);
    const bool changed = routine(command);
    if (disable) EnableWindow(s.file_list_window, TRUE);
    // A one-shot command that armed the hook or greyed the groups for its run leaves neither.
    g_edit_tool.hook_armed = false;
    if (!changed) return false;
    if (s.window_kind == 1) {
        refresh_after_image_change(command >= 8414 && command <= 8418);
        update_image_window_title();
    }
    return true;
}

bool commit_tool_result(LoadedImage& result, bool drop_selection, const char16_t* step_name,
                        bool reset_transparency) {
    const int64_t pixel_bytes =
        row_stride_bytes(result.info.width, result.info.bit_count) * result.info.height;
    result.format = kUndoFormatBmp;
    result.file_size = uint32_t(54 + pixel_bytes + (result.info.bit_count == 8 ? 1024 : 0));
    result.info.x_pels_per_meter = 0;
    result.info.y_pels_per_meter = 0;
    if (install_edit_image(result, true, drop_selection) != UndoResult::ok) return false;
    (void)set_current_image_info(result, nullptr, kHistoryLeave, nullptr,
                                 reset_transparency ? kResetTransparency : 0);
    // The image changed whether or not its step could be stored (the box then said so).
    (void)history_push_step(step_name ? step_name : u"");
    return true;
}

const uint8_t* edit_selection_mask() {
    return g_edit_state.selection.selection_mask;
}

bool install_edit_selection(uint8_t* mask) {
    EditState& s = g_edit_state;
    if (mask == s.selection.selection_mask) return mask != nullptr;
    drop_edit_selection();
    if (!mask) return false;
    if (!edit_image_loaded() || s.image.bit_count != 24) {
        std::free(mask);
        return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = s.image.width;
    info.bmiHeader.biHeight = s.image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* pixels = nullptr;
    HBITMAP overlay = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!overlay) {
        std::free(mask);
        show_view_error(s.image_window, kViewErrorMemory);
        return false;
    }
    s.selection.selection_mask = mask;
    s.selection.selection_overlay = overlay;
    if (!refresh_selection_overlay(info.bmiHeader)) {
        drop_edit_selection();
        return false;
    }
    if (s.selection.show_selection && s.memory_dc) SelectObject(s.memory_dc, overlay);
    repaint_view_pane(first_view_pane());
    return true;
}

void drop_edit_selection() {
    EditState& s = g_edit_state;
    EditSelection& selection = s.selection;
    if (selection.selection_overlay) {
        // The copy may be the bitmap the first view shows: the plain image goes back first.
        if (s.memory_dc && s.bitmap &&
            GetCurrentObject(s.memory_dc, OBJ_BITMAP) == selection.selection_overlay)
            SelectObject(s.memory_dc, s.bitmap);
        DeleteObject(selection.selection_overlay);
        selection.selection_overlay = nullptr;
    }
    std::free(selection.selection_mask);
    selection.selection_mask = nullptr;
}

HGDIOBJ show_tool_result(HBITMAP result) {
    EditToolHost& host = g_edit_tool;
    if (!host.work_dc || !result) return nullptr;
    HGDIOBJ previous = SelectObject(host.work_dc, result);
    host.result_present = true;
    return previous;
}

void hide_tool_result(HGDIOBJ previous) {
    EditToolHost& host = g_edit_tool;
    if (host.work_dc && previous) SelectObject(host.work_dc, previous);
    host.result_present = false;
}

void set_tool_worker_window(HWND window) {
    g_edit_tool.worker_window = window;
}

void set_tool_trackbar_routines(ToolTrackbarRoutine horizontal, ToolTrackbarRoutine vertical) {
    g_edit_tool.horizontal_trackbar = horizontal;
    g_edit_tool.vertical_trackbar = vertical;
}

HWND tool_option_bar() {
    return edit_bar_control(kOptionBandId);
}

void enable_edit_main_toolbar(bool enable) {
    if (HWND bar = edit_bar_control(kToolTabBarId)) EnableWindow(bar, enable ? TRUE : FALSE);
}

bool start_tool_colour_pick() {
    EditToolHost& host = g_edit_tool;
    const EditToolTraits* traits = open_traits();
    if (!traits || !traits->colour_pick || host.pick_mode || !edit_image_loaded()) return false;
    EditState& s = g_edit_state;
    host.pick_mode = true;
    host.accelerators_suspended = true;
    host.hook_armed = true;
    host.pick_return_mode = host.pane_mode;
    // The pick reads the plain image, never the selection's highlighted copy.
    if (s.selection.selection_overlay && s.bitmap && s.memory_dc) SelectObject(s.memory_dc, s.bitmap);
    if (host.pane_mode != kEditPaneFirstOnly)
        set_edit_pane_mode(kEditPaneFirstOnly);
    else
        repaint_view_pane(first_view_pane());
    if (HWND first = first_view_pane()) SetCapture(first);
    SetCursor(LoadCursorW(nullptr, IDC_CROSS));
    return true;
}

void end_tool_colour_pick(bool take) {
    EditToolHost& host = g_edit_tool;
    if (!host.pick_mode) return;
    if (host.kind == kToolNone) {
        end_transparent_colour_pick(take);
        return;
    }
    EditState& s = g_edit_state;
    host.pick_mode = false;
    host.accelerators_suspended = false;
    HWND first = first_view_pane();
    if (first && GetCapture() == first) ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    s.view.drag_mode = kDragNone;
    const EditToolOps* ops = open_ops();
    if (ops && ops->end_colour_pick) ops->end_colour_pick(host.context, take);
    repaint_picked_colour_box();
    if (s.selection.selection_overlay && s.selection.show_selection && s.memory_dc)
        SelectObject(s.memory_dc, s.selection.selection_overlay);
    if (host.pick_return_mode != kEditPaneFirstOnly)
        set_edit_pane_mode(host.pick_return_mode);
    else
        repaint_view_pane(first);
    update_image_window_title();
}

void repaint_picked_colour_box() {
    const EditToolHost& host = g_edit_tool;
    HWND box = nullptr;
    if (host.kind == kToolNone) {
        box = edit_bar_control(kColourBoxId);
    } else {
        const EditToolOps* ops = open_ops();
        int32_t id = ops && ops->pick_box ? ops->pick_box(host.context) : 0;
        if (id == 0) id = host.kind == kToolPaint ? 2111 : host.kind == kToolHueSaturation ? 1531 : 1601;
        if (HWND bar = tool_option_bar()) box = GetDlgItem(bar, id);
    }
    if (box) InvalidateRect(box, nullptr, FALSE);
}

void edit_tool_colour_chosen(HWND box) {
    const EditToolHost& host = g_edit_tool;
    InvalidateRect(box, nullptr, FALSE);
    if ((host.kind == kToolRotation || host.kind == kToolColourFilter) && host.worker_window)
        PostMessageW(host.worker_window, kAppMessage, kToolRecompute, 0);
    if (host.kind == kToolHueSaturation || host.kind == kToolColourReplace) {
        const EditToolOps* ops = open_ops();
        if (ops && ops->apply_range_colour) ops->apply_range_colour(host.context);
    }
}

LRESULT route_edit_tool_notify(const NMHDR* header) {
    const EditToolHost& host = g_edit_tool;
    const EditToolOps* ops = open_ops();
    if (!header || !ops || !ops->notify || !host.context) return 0;
    return ops->notify(host.context, header);
}

bool route_edit_pane_mouse(HWND pane, UINT message, WPARAM wparam, LPARAM lparam) {
    EditToolHost& host = g_edit_tool;
    const EditToolTraits* traits = open_traits();
    const EditToolOps* ops = open_ops();
    if (message == WM_MOUSELEAVE) host.mouse_tracked = false;
    if (!traits || !ops || !traits->mouse || !host.context) return false;
    const int32_t kind = host.kind;
    switch (message) {
        case WM_MOUSEMOVE: {
            if (!host.mouse_tracked) {
                // Without asking, the pane is never told that the mouse left it.
                TRACKMOUSEEVENT track = {};
                track.cbSize = sizeof track;
                track.dwFlags = TME_LEAVE;
                track.hwndTrack = pane;
                host.mouse_tracked = TrackMouseEvent(&track) != FALSE;
            }
            const WPARAM buttons = wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_CONTROL | MK_SHIFT);
            if ((buttons & (MK_RBUTTON | MK_LBUTTON)) == MK_RBUTTON) return false;
            if ((wparam & MK_LBUTTON) && (wparam & MK_CONTROL)) return false;
            if (g_edit_state.view.drag_mode != kDragNone || g_edit_state.view.zoom_drag_active) return false;
            if (kind == kToolText && !(wparam & MK_LBUTTON)) return false;
            if (ops->mouse_move) ops->mouse_move(host.context, lparam, wparam);
            return true;
        }
        case WM_LBUTTONDOWN:
            if (ops->mouse_down) ops->mouse_down(host.context, lparam, wparam);
            return true;
        case WM_LBUTTONUP:
            if (ops->mouse_up) ops->mouse_up(host.context, lparam, wparam);
            return true;
        case WM_MOUSELEAVE:
            if (kind != kToolSelection && kind != kToolPaint && kind != kToolPartialCorrection) return false;
            if (ops->mouse_leave) ops->mouse_leave(host.context);
            return true;
        default: return false;
    }
}

void draw_brush_outline() {
    draw_brush_outline_on(edited_pane_overlay_dc());
}

void draw_brush_outline_on(HDC dc) {
    const RECT& r = g_edit_tool.brush_outline;
    if (!dc || r.right <= r.left || r.bottom <= r.top) return;
    const HGDIOBJ brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int previous_mode = SetROP2(dc, R2_NOT);
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
    SetROP2(dc, previous_mode);
    SelectObject(dc, brush);
}

void render_selection_overlay(const uint8_t* mask, uint8_t* out_rows, const uint8_t* image_rows) {
    if (g_table.render_selection_overlay) {
        g_table.render_selection_overlay(mask, out_rows, image_rows);
        return;
    }
    const EditImageDescription& image = g_edit_state.image;
    std::memcpy(out_rows, image_rows, size_t(row_stride_bytes(image.width, 24) * image.height));
}
