#include "shell/main_commands.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <process.h>
#include <shlwapi.h>
// clang-format on

#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/error_message.h"
#include "common/win/process_lock.h"
#include "shell/core/folder_tree_rules.h"
#include "shell/core/path_rules.h"
#include "shell/entry_points.h"
#include "shell/folder_tree.h"
#include "shell/folder_watch.h"
#include "shell/launch.h"
#include "shell/main_layout.h"
#include "shell/main_menus.h"
#include "shell/main_rebar.h"
#include "shell/settings_win.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view_parts.h"

namespace {

constexpr UINT kHelpDisplayTopic = 0x0000;

int active() {
    return g_shell.active_view ? 1 : 0;
}

const wchar_t* w(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}

CommandScene scene() {
    const int v = active();
    CommandScene s;
    s.active = &view_state(v);
    s.other = &view_state(1 - v);
    s.folder_valid = s.active->folder[0] != 0 && path_free_of_conversion(w(s.active->folder));
    s.batch_running = shell_entry_points().conversion_running();
    s.batch_thread_exists = g_shell.batch_thread.valid();
    return s;
}

bool allowed(int id) {
    return command_allowed(id, scene());
}

void post_to_view(int view, WPARAM code, LPARAM value) {
    if (HWND frame = g_shell.view_frame[view & 1]) PostMessageW(frame, kAppMessage, code, value);
}

void set_view_layout(int layout) {
    if (g_shell.main_settings.view_layout == layout) return;
    g_shell.main_settings.view_layout = layout;
    layout_panes();
    if (layout == 1) post_to_view(0, kViewActivate, 0);
    if (layout == 2) post_to_view(1, kViewActivate, 0);
    update_toolbar_checks();
}

HWND toolbar_child(int id) {
    HWND toolbar = main_toolbar_window();
    return toolbar ? GetDlgItem(toolbar, id) : nullptr;
}

void set_columns(int columns) {
    const int v = active();
    HWND body = view_base_window(v);
    // Until the view has its body, its frame stands for it.
    if (!body) body = g_shell.view_frame[v];
    RECT client = {};
    if (body) GetClientRect(body, &client);
    const SizePreset box = columns_box(client.right, columns);
    MainSettings& s = g_shell.main_settings;
    if (box.width == s.thumb_width && box.height == s.thumb_height) return;
    s.thumb_width = box.width;
    s.thumb_height = box.height;
    {
        ProcessLockGuard hold;
        publish_thumbnail_box();
    }
    if (HWND list = toolbar_child(kSizeListId)) {
        const std::u16string text = size_text(box.width, box.height);
        SendMessageW(list, CB_DELETESTRING, 0, 0);
        SendMessageW(list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(list, CB_SETCURSEL, 0, 0);
    }
    SetFocus(g_shell.main_window);
    open_view_folder(0, v);
    open_view_folder(0, 1 - v);
}

void select_filter(int index) {
    if (index < 0 || index == g_shell.filter_index) return;
    g_shell.filter_index = index;
    open_view_folder(1, active());
}

// The files go to the bin without the process-wide lock: the shell may ask the user first, and
// the lock is never held while a box is up. Nothing else reads them meanwhile: this view is
// idle, and so is the other one when it shows the same folder.
// What the views show afterwards follows the files, not the shell's result: a cancelled or
// failed operation may have binned some of them already, and a success may have skipped some.
void delete_marked_files() {
    if (!allowed(kCommandDelete)) return;
    const int v = active();
    const ViewState& state = view_state(v);
    const std::u16string list = build_selected_path_list(state);
    if (list.size() < 2) return;
    FILEOP_FLAGS flags = g_shell.main_settings.delete_silently ? FOF_NOCONFIRMATION : 0;
    recycle_files_ex(w(list.c_str()), list.size(), g_shell.main_window, &flags);
    std::vector<bool> gone;
    for (size_t at = 0; at < list.size() && list[at];) {
        const wchar_t* path = w(list.c_str() + at);
        gone.push_back(GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES);
        at += static_cast<size_t>(lstrlenW(path)) + 1;
    }
    const FileOperationFollowUp follow_up = file_operation_follow_up(true, gone, {});
    if (follow_up.remove_marked) post_to_view(v, kViewRemoveMarked, 0);
    if (follow_up.rescan_source) open_view_folder(0, v);
    const ViewState& other = view_state(1 - v);
    if (follow_up.destination_changed && other.busy == kViewIdle &&
        same_path_text(other.folder, state.folder))
        open_view_folder(0, 1 - v);
}

void toggle_hidden_files() {
    if (view_state(0).busy != kViewIdle || view_state(1).busy != kViewIdle) return;
    MainSettings& s = g_shell.main_settings;
    s.hidden_mask = s.hidden_mask == 0 ? FILE_ATTRIBUTE_HIDDEN : 0;
    set_folder_tree_hidden_mask(static_cast<DWORD>(s.hidden_mask));
}

void captions_changed(LPARAM value) {
    recompute_cell_size();
    post_to_view(0, kViewRelayout, value);
    post_to_view(1, kViewRelayout, value);
}

void start_batch_conversion() {
    if (!allowed(kCommandBatchConversion)) return;
    const int v = active();
    // Only a conversion that starts takes the pending path: it may still be an image window's.
    lstrcpynW(handover_path(), w(view_state(v).folder), MAX_PATH);
    load_conversion_settings_group();
    unsigned id = 0;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, shell_entry_points().batch_conversion_thread,
                                                reinterpret_cast<void*>(static_cast<INT_PTR>(v)), 0, &id));
    g_shell.batch_thread.reset(thread);
}

void open_options(int id) {
    if (!allowed(id)) return;
    load_single_view_settings_group();
    const int page = id == kCommandRegisterTools ? kOptionsToolsPage : g_shell.main_settings.options_page;
    run_modal_dialog(g_shell.main_window, 3500, shell_entry_points().options_dialog_proc, page);
}

void show_help_file() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !PathRenameExtensionW(path, L".chm")) return;
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return;
    using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    HMODULE library = GetModuleHandleW(L"hhctrl.ocx");
    if (!library) return;
    auto html_help =
        reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpW")));
    if (html_help) html_help(nullptr, path, kHelpDisplayTopic, 0);
}

void open_columns_popup() {
    HWND toolbar = main_toolbar_window();
    HMENU popup = main_menu_popup(kPopupColumns);
    if (!toolbar || !popup) return;
    RECT rc = {};
    if (!SendMessageW(toolbar, TB_GETRECT, kCommandColumnsButton, reinterpret_cast<LPARAM>(&rc))) return;
    POINT corner = {rc.left, rc.bottom};
    ClientToScreen(toolbar, &corner);
    g_shell.open_menu = kCommandColumnsButton;
    TrackPopupMenuEx(popup, TPM_NOANIMATION, corner.x, corner.y, g_shell.main_window, nullptr);
}

}  // namespace

bool on_main_command(HWND main_window, WPARAM wparam, LPARAM lparam) {
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    if (!main_command_available(id)) return false;
    if (code == 1 && g_shell.preview_window)
        PostMessageW(g_shell.preview_window, kAppMessage, kPreviewHide, 0);
    const int v = active();
    switch (id) {
        case kCommandSizeList:
            if (code == CBN_CLOSEUP) size_preset_selected(reinterpret_cast<HWND>(lparam));
            return true;
        case kCommandFilterList: {
            const LRESULT selected = SendMessageW(reinterpret_cast<HWND>(lparam), CB_GETCURSEL, 0, 0);
            if (selected >= 0 && selected <= 5) select_filter(static_cast<int>(selected));
            return true;
        }
        case kCommandComment: show_comment_dialog(); return true;
        case kCommandDelete: delete_marked_files(); return true;
        case kCommandRename:
            run_modal_dialog(main_window, 5500, shell_entry_points().rename_dialog_proc,
                             static_cast<LPARAM>(v) * 0x10000 + kCommandRename);
            return true;
        case kCommandSelectAll:
            if (allowed(id)) post_to_view(v, kViewToggleMarks, 0);
            return true;
        case kCommandPrintThumbnails:
            if (allowed(id) &&
                run_modal_dialog(main_window, 6300, shell_entry_points().thumbnail_print_dialog_proc, 0) < 0)
                show_error_message(main_window, kErrorPrintPreview);
            return true;
        case kCommandWallpaper: shell_entry_points().set_wallpaper_from_selection(); return true;
        case kCommandProperties: show_properties(); return true;
        case kCommandExitProgram: SendMessageW(main_window, WM_CLOSE, 0, 0); return true;
        case kCommandTreeAutoShow: toggle_tree_auto_show(); return true;
        case kCommandInfoList: toggle_info_list(); return true;
        case kCommandLayoutSideBySide:
        case kCommandLayoutOnlyView1:
        case kCommandLayoutOnlyView2: set_view_layout(id - kCommandLayoutSideBySide); return true;
        case kCommandPreview:
            g_shell.main_settings.preview_enabled = g_shell.main_settings.preview_enabled ? 0 : 1;
            update_toolbar_checks();
            return true;
        case kCommandCaptions:
            g_shell.main_settings.captions_shown = g_shell.main_settings.captions_shown ? 0 : 1;
            update_toolbar_checks();
            captions_changed(0);
            return true;
        case kCommandCaptionSettings:
            if (run_modal_dialog(main_window, 5800, shell_entry_points().display_info_dialog_proc, 0) == 1)
                captions_changed(1);
            return true;
        case kCommandRefresh:
            open_view_folder(0, v);
            open_view_folder(0, 1 - v);
            return true;
        case kCommandClearViews:
            post_to_view(0, kViewClear, 0);
            post_to_view(1, kViewClear, 0);
            return true;
        case kCommandHiddenFiles: toggle_hidden_files(); return true;
        case kCommandSingleViewWindow:
        case kCommandSingleViewFullScreen:
        case kCommandEditWindow:
            if (image_window_running()) return true;
            load_single_view_settings_group();
            open_image_window(v, id - kCommandSingleViewWindow, -1);
            return true;
        case kCommandSlideShow:
            if (image_window_running()) return true;
            load_single_view_settings_group();
            start_slide_show();
            return true;
        case kCommandViewer: start_viewer_processes(v); return true;
        case kCommandRotateRight:
        case kCommandRotateLeft:
            if (allowed(id)) post_to_view(v, kViewTransform, id == kCommandRotateRight ? 1 : 3);
            return true;
        case kCommandBatchConversion: start_batch_conversion(); return true;
        case kCommandBatchRename:
            if (!allowed(id)) return true;
            start_folder_watch();
            run_modal_dialog(main_window, 5000, shell_entry_points().batch_rename_dialog_proc, v);
            recheck_view_folders();
            return true;
        case kCommandAssociatedProgram: open_with_associated_program(v); return true;
        case kCommandRegisterTools:
        case kCommandOptions: open_options(id); return true;
        case kCommandHelpFile: show_help_file(); return true;
        case kCommandVersion:
            if (!shell_entry_points().create_version_window(main_window))
                show_error_message(main_window, kErrorMemory);
            return true;
        case kCommandColumnsButton: open_columns_popup(); return true;
        case kCommandSwitchView:
            set_view_layout(0);
            post_to_view(1 - v, kViewActivate, 0);
            return true;
        default: break;
    }
    if (id >= kCommandToolFirst && id <= kCommandToolLast) {
        run_external_tool(v, id - kCommandToolFirst);
    } else if (const int32_t dialog = help_dialog_for_command(id)) {
        run_modal_dialog(main_window, dialog, help_dialog_proc(dialog), 0);
    } else if (const int32_t columns = columns_for_command(id)) {
        set_columns(columns);
    } else if (id >= kCommandFilterFirst && id <= kCommandFilterLast) {
        const int index = id - kCommandFilterFirst;
        if (index == g_shell.filter_index) return true;
        if (HWND list = toolbar_child(kFilterListId)) SendMessageW(list, CB_SETCURSEL, index, 0);
        select_filter(index);
    } else if (const int32_t step = scroll_step_for_command(id); step >= 0) {
        post_to_view(v, kViewScroll, step);
    }
    return true;
}
