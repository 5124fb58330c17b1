#include "imagewin/edit_commands.h"

#include "codecs/file_type.h"
#include "imagewin/core/image_commands.h"
#include "imagewin/core/image_file_list.h"
#include "imagewin/core/image_window_ids.h"
#include "imagewin/edit_bars.h"
#include "imagewin/edit_history_window.h"
#include "imagewin/edit_panes.h"
#include "imagewin/edit_tool_host.h"
#include "imagewin/image_windows.h"
#include "imagewin/save_edit_image.h"
#include "imagewin/save_preview.h"
#include "imagewin/save_window_seam.h"
#include "shell/folder_watch.h"
#include "shell/shell_state.h"

namespace {

const wchar_t* wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

// The changes question before the image on show goes; false stops the command.
bool may_replace_image() {
    const int32_t answer = ask_save_changes();
    if (answer == kSaveAnswerCancel) return false;
    return answer != kSaveAnswerSaveFirst || save_edit_image_as();
}

void undo_or_redo(int32_t delta) {
    EditToolHost& host = g_edit_tool;
    if (host.kind == kToolPaint || host.kind == kToolPartialCorrection) {
        const EditToolOps* ops = edit_tool_ops(host.kind);
        if (!ops) return;
        auto stroke = delta < 0 ? ops->stroke_undo : ops->stroke_redo;
        if (stroke) stroke(host.context);
        return;
    }
    bool size_changed = false;
    if (!history_move(delta, &size_changed)) return;
    refresh_after_image_change(size_changed);
    update_image_window_title();
}

void flip(int32_t& flag) {
    flag = flag ? 0 : 1;
}

bool save_option_command(int32_t id) {
    SaveSettings& save = g_edit_state.save;
    switch (id) {
        case kCmdDither: save.dither_mode = save.dither_mode == 0 ? 3 : 0; break;
        case kCmdWriteGamma: flip(save.write_gamma); break;
        case kCmdInterlace: flip(save.interlace); break;
        case kCmdProgressive: flip(save.progressive); break;
        case kCmdJpegSamplingFirst:
        case kCmdJpegSamplingFirst + 1:
        case kCmdJpegSamplingLast: save.jpeg_sampling = id - kCmdJpegSamplingFirst; break;
        case kCmdJpegMarkersFirst:
        case kCmdJpegMarkersFirst + 1:
        case kCmdJpegMarkersLast: save.jpeg_markers = id - kCmdJpegMarkersFirst; break;
        case kCmdJpegTrim: flip(save.jpeg_trim); break;
        default: return false;
    }
    update_save_bar();
    return true;
}

// The zoom commands: then the view and the zoom field follow.
bool apply_edit_zoom(int32_t id) {
    ViewGeometry& v = g_edit_state.view;
    if (id == kCmdZoomToggle) id = v.zoom == kZoomActualSize ? kCmdZoomFit : kCmdZoomActualSize;
    if (id == kCmdZoomFit) {
        int32_t width = v.client_width, height = v.client_height;
        if (width <= 0 || height <= 0) return true;
        compute_fit_zoom(v, width, v.image_height, v.image_width, height);
        update_display_size(v);
    } else if (!apply_zoom_command(v, id)) {
        return false;
    }
    update_edit_view();
    show_zoom_in_edit();
    return true;
}

void toggle_selection_display() {
    EditState& s = g_edit_state;
    s.selection.show_selection = !s.selection.show_selection;
    if (s.selection.selection_overlay && s.memory_dc && s.bitmap) {
        SelectObject(s.memory_dc, s.selection.show_selection ? s.selection.selection_overlay : s.bitmap);
        if (HWND pane = first_view_pane()) InvalidateRect(pane, nullptr, FALSE);
    }
    update_view_options_buttons();
}

}  // namespace

EditCommandContext current_edit_command_context() {
    const EditState& s = g_edit_state;
    EditCommandContext c;
    c.tool_kind = g_edit_tool.kind;
    c.trimming_state = g_edit_tool.trimming_state;
    c.drag_mode = s.view.drag_mode;
    c.has_image = edit_image_loaded();
    c.named = s.image.file_name[0] != 0;
    c.has_path = s.image.path[0] != 0;
    c.jpeg_source = s.image.source_format == kFileJpeg;
    c.png_source = s.image.source_format == kFilePng;
    c.flag_comment = s.image.flag_comment != 0;
    c.flag_metadata = s.image.flag_metadata != 0;
    c.clipboard_dib = IsClipboardFormatAvailable(CF_DIB) != FALSE;
    c.selection_mask = s.selection.selection_mask != nullptr;
    c.folder_in_batch = c.has_path && !path_free_of_conversion(wide(s.image.folder));
    c.history_count = s.history.step_count();
    c.history_current = s.history.current_step;
    c.selection_copy = s.selection.selection_overlay != nullptr;
    c.selection_display = s.selection.show_selection;
    c.pane_mode = g_edit_tool.pane_mode;
    c.background_index = g_shell.single_view.edit_background;
    c.scroll_bars = g_shell.single_view.edit_scroll_bars != 0;
    c.dither = s.save.dither_mode == 0;
    c.wider_than_view = s.view.display_width > s.view.client_width;
    c.taller_than_view = s.view.display_height > s.view.client_height;
    c.missing_kinds = missing_edit_tool_kinds();
    c.missing_one_shots = missing_edit_one_shots();
    return c;
}

void edit_window_command_message(HWND window, WPARAM wparam, LPARAM lparam) {
    const int32_t id = LOWORD(wparam);
    if (g_edit_state.view.drag_mode != kDragNone) return;
    if (lparam && edit_bars_command(id, HIWORD(wparam))) return;
    if (route_edit_tool_command(id, wparam, reinterpret_cast<HWND>(lparam))) return;
    if (!edit_command_allowed(id, current_edit_command_context())) return;
    if (!image_command_available(id)) return;

    if (const int32_t kind = edit_tool_for_command(id)) {
        open_edit_tool(kind);
        return;
    }
    if (edit_one_shot_index(id) >= 0) {
        (void)run_edit_one_shot(id);
        return;
    }
    if (save_option_command(id)) return;
    if (id >= kCmdExternalTool1 && id <= kCmdExternalTool8) {
        run_external_tool_on_image(id);
        return;
    }
    if (id >= kCmdFirstFile && id <= kCmdNextFile) {
        // The unreadable entry has left the list; the user is told which step failed.
        if (navigate_file_list(id - kCmdFirstFile) == kNavigateFailed)
            show_view_error(window, kViewErrorImageDisplay);
        update_image_window_title();
        return;
    }
    if (id >= kCmdBackgroundWhite && id <= kCmdBackgroundBlack) {
        g_shell.single_view.edit_background = id - kCmdBackgroundWhite;
        for (HWND pane : {first_view_pane(), edited_view_pane()})
            if (pane) InvalidateRect(pane, nullptr, FALSE);
        return;
    }
    if (apply_edit_zoom(id)) return;
    if (id >= kCmdPaneBoth && id <= kCmdPaneEditedOnly) {
        if (g_edit_tool.pane_mode != id - kCmdPaneBoth) set_edit_pane_mode(id - kCmdPaneBoth);
        return;
    }
    switch (id) {
        case kCmdFileList: place_file_list_window(); break;
        case kCmdReload:
            if (!may_replace_image()) break;
            if (load_image_into_edit_state(g_edit_state.image.path)) {
                refresh_after_image_change(true);
            } else {
                show_view_error(window, kViewErrorImageDisplay);
                refresh_image_folder_list();
            }
            update_image_window_title();
            break;
        case kCmdSaveAs:
            (void)save_edit_image_as();
            update_image_window_title();
            break;
        case kCmdSave:
            (void)save_edit_image_to(g_edit_state.image.path);
            update_image_window_title();
            break;
        case kCmdRotateSaveRight:
        case kCmdRotateSaveLeft:
            if (!may_replace_image()) break;
            if (lossless_rotate_current_file(id == kCmdRotateSaveRight ? 1 : 3) &&
                load_image_into_edit_state(std::u16string(g_edit_state.image.path)))
                refresh_after_image_change(true);
            update_image_window_title();
            break;
        case kCmdDeleteFile: {
            if (!may_replace_image()) break;
            const int32_t result = delete_current_file_and_advance();
            if (result == kDeleteNextLoaded) refresh_after_image_change(true);
            if (result == kDeleteFolderEmpty) PostMessageW(window, WM_CLOSE, 0, 0);
            update_image_window_title();
            break;
        }
        case kCmdComment: show_comment_dialog_for_image(); break;
        case kCmdTextData: show_text_data_for_image(); break;
        case kCmdPrintPreview: show_print_preview_for_image(); break;
        case kCmdSelectionDisplay: toggle_selection_display(); break;
        case kCmdScrollBars: toggle_edit_scrollbars(); break;
        case kCmdPanLeft:
        case kCmdPanRight:
            scroll_edit_view(0, (id == kCmdPanLeft ? -1 : 1) * pan_step_pixels(g_edit_state.view));
            break;
        case kCmdPanUp:
        case kCmdPanDown:
            scroll_edit_view((id == kCmdPanUp ? -1 : 1) * pan_step_pixels(g_edit_state.view), 0);
            break;
        case kCmdCloseView: PostMessageW(window, WM_CLOSE, 0, 0); break;
        case kCmdColourCount: show_colour_count(); break;
        case kCmdCopyImage: copy_image_to_clipboard(); break;
        case kCmdPasteImage:
            if (paste_clipboard_image()) refresh_after_image_change(true);
            update_image_window_title();
            break;
        case kCmdSavePreview:
            if (show_save_preview()) {
                if (g_edit_tool.pane_mode != kEditPaneBoth)
                    set_edit_pane_mode(kEditPaneBoth);
                else
                    repaint_edited_pane();
            }
            break;
        case kCmdDeselect:
            drop_edit_selection();
            if (HWND pane = first_view_pane()) InvalidateRect(pane, nullptr, FALSE);
            break;
        case kCmdHistoryWindow:
            if (HWND list = g_edit_state.file_list_window) ShowWindow(list, SW_HIDE);
            create_history_window();
            break;
        case kCmdTransparentColour: start_transparent_colour_pick(); break;
        case kCmdCommentInsertion: toggle_comment_insertion(); break;
        case kCmdUndo: undo_or_redo(-1); break;
        case kCmdRedo: undo_or_redo(1); break;
        case kCmdApplyTool: end_edit_tool(true); break;
        case kCmdCancelTool: end_edit_tool(false); break;
        default: break;
    }
}

void edit_window_command(HWND window, int32_t id) {
    edit_window_command_message(window, WPARAM(uint32_t(id)), 0);
}
