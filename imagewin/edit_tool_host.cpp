#include "imagewin/edit_tool_host.h"

#include "imagewin/edit_panes.h"
#include "imagewin/image_windows.h"

EditToolHost g_edit_tool;

namespace {

void hide_file_list_window() {
    HWND list = g_edit_state.file_list_window;
    if (list && IsWindowVisible(list)) ShowWindow(list, SW_HIDE);
}

HWND edited_pane() {
    return g_edit_state.image_window ? GetDlgItem(g_edit_state.image_window, 711) : nullptr;
}

}  // namespace

int32_t open_edit_tool_kind() {
    return g_edit_tool.kind;
}

bool open_edit_tool_checked(int32_t kind) {
    EditToolHost& host = g_edit_tool;
    if (!edit_image_loaded() || host.kind != kToolNone) return false;
    const EditToolTraits* traits = edit_tool_traits(kind);
    const EditToolOps* ops = edit_tool_ops(kind);
    if (!traits || !ops) return false;

    hide_file_list_window();
    end_save_preview();

    void* context = ops->create();
    if (!context) {
        show_view_error(g_edit_state.image_window, kViewErrorMemory);
        return false;
    }
    host.context = context;
    if (!ops->start(context, traits->start_arg)) {
        ops->destroy(context);
        host.context = nullptr;
        // A refusing tool may have armed the hook or taken the work DC before it gave up.
        host.hook_armed = false;
        host.result_present = false;
        host.horizontal_trackbar = nullptr;
        host.vertical_trackbar = nullptr;
        host.worker_window = nullptr;
        return false;
    }
    host.kind = kind;
    set_edit_pane_mode(traits->pane_mode);
    if (kind == kToolTrimming) set_zoom_controls_enabled(false, ESB_DISABLE_BOTH);
    return true;
}

void open_edit_tool(int32_t kind) {
    (void)open_edit_tool_checked(kind);
}

bool close_edit_tool(bool apply) {
    EditToolHost& host = g_edit_tool;
    const int32_t kind = host.kind;
    if (kind == kToolNone) return false;
    const EditToolTraits* traits = edit_tool_traits(kind);
    const EditToolOps* ops = edit_tool_ops(kind);
    if (host.pick_mode) end_tool_colour_pick(false);

    bool changed = false;
    if (host.context && ops) {
        if (traits->finish_on_cancel) {
            changed = ops->finish(host.context, apply);
        } else if (apply) {
            if (g_edit_state.image_window) SetWindowTextW(g_edit_state.image_window, L"wait...");
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            changed = ops->finish(host.context, true);
        }
        ops->destroy(host.context);
    }
    host.context = nullptr;
    host.kind = 0;
    // What the contract leaves to the tool is made sure of here: a pane must never paint a
    // result that went with the tool, nor a bar call a routine of a tool that is gone.
    host.result_present = false;
    host.hook_armed = false;
    host.horizontal_trackbar = nullptr;
    host.vertical_trackbar = nullptr;
    host.worker_window = nullptr;
    host.trimming_state = 0;
    host.mouse_tracked = false;
    // The trimming tool took the zoom controls when it opened; nobody else gives them back.
    if (kind == kToolTrimming) set_zoom_controls_enabled(true, ESB_ENABLE_BOTH);

    if (changed) {
        refresh_after_image_change(traits->resets_zoom);
    } else {
        set_edit_pane_mode(kEditPaneFirstOnly);
    }
    update_image_window_title();
    host.accelerators_suspended = false;
    return changed;
}

void end_edit_tool(bool apply) {
    (void)close_edit_tool(apply);
}

bool route_edit_tool_command(int32_t id, WPARAM wparam, HWND control) {
    bool live = false;
    const int32_t owner = edit_panel_command_tool(id, &live);
    if (owner == 0) return false;
    EditToolHost& host = g_edit_tool;
    if (!edit_tool_panel_matches(host.kind, owner) || !host.context) return true;
    if (live && !host.controls_live) return true;
    const EditToolOps* ops = edit_tool_ops(host.kind);
    if (ops && ops->command) ops->command(host.context, wparam, control);
    return true;
}

bool edit_tool_holds_view() {
    return g_edit_tool.kind == kToolTrimming && g_edit_tool.trimming_state != kTrimmingAdjusting;
}

EditHookKey edit_hook_key(UINT key, int32_t focus_id, bool capture, bool history_open) {
    const EditToolHost& host = g_edit_tool;
    if (key == VK_RETURN) {
        if (host.pick_mode) return EditHookKey::pass;
        if (host.kind != kToolNone) {
            if (edit_tool_holds_view()) return EditHookKey::eat;
            if (host.kind == kToolRotation && capture) return EditHookKey::eat;
            return EditHookKey::apply;
        }
        if (history_open) return EditHookKey::pass;
        if (focus_id == 742 || focus_id == 745 || focus_id == 748 || focus_id == 752)
            return EditHookKey::save_preview;
        return EditHookKey::pass;
    }
    if (key == VK_ESCAPE) {
        if (host.pick_mode) {
            const int32_t k = host.kind;
            return k == 0 || k == kToolPaint || k == kToolHueSaturation || k == kToolColourReplace
                       ? EditHookKey::end_pick
                       : EditHookKey::pass;
        }
        if (host.kind != kToolNone) {
            if (host.kind == kToolRotation && capture) return EditHookKey::eat;
            return EditHookKey::cancel;
        }
        return history_open ? EditHookKey::close_history : EditHookKey::pass;
    }
    return EditHookKey::pass;
}

bool edit_tool_right_press() {
    EditToolHost& host = g_edit_tool;
    const EditToolOps* ops = edit_tool_ops(host.kind);
    switch (host.kind) {
        case kToolSelection:
        case kToolPaint:
        case kToolPartialCorrection:
            if (ops && ops->place_brush) {
                // Beyond the view on both axes, so that the square is not left behind while it scrolls.
                const ViewGeometry& v = g_edit_state.view;
                ops->place_brush(host.context, v.src_x + v.src_width + 128, v.src_y + v.src_height + 128);
            }
            if (HWND pane = edited_pane()) InvalidateRect(pane, nullptr, FALSE);
            return true;
        case kToolTrimming:
            if (host.trimming_state <= 2) {
                (void)close_edit_tool(false);
                return false;
            }
            if (host.trimming_state == kTrimmingAdjusting) {
                if (HWND pane = edited_pane()) InvalidateRect(pane, nullptr, FALSE);
                return true;
            }
            return false;
        default: return true;
    }
}

void edit_tool_capture_lost() {
    end_tool_colour_pick(false);
}

void draw_edit_tool_overlay(HDC pane_dc) {
    const EditToolTraits* traits = edit_tool_traits(g_edit_tool.kind);
    const EditToolOps* ops = edit_tool_ops(g_edit_tool.kind);
    if (traits && traits->overlay && ops && ops->draw_overlay)
        ops->draw_overlay(g_edit_tool.context, pane_dc);
}
