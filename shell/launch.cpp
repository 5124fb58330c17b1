#include "shell/launch.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <process.h>
#include <shellapi.h>
#include <shlwapi.h>
// clang-format on

#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/error_message.h"
#include "shell/core/launch_rules.h"
#include "shell/entry_points.h"
#include "shell/folder_watch.h"
#include "shell/settings_win.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view_parts.h"

namespace {

wchar_t g_handover_path[MAX_PATH] = {};
CellSize g_cell;
int32_t g_caption_height = 0;
std::wstring g_viewer_folder;
bool g_viewer_folder_set = false;

INT_PTR default_dialog_runner(HWND owner, int dialog_id, DLGPROC procedure, LPARAM parameter) {
    return DialogBoxParamW(g_shell.instance, MAKEINTRESOURCEW(dialog_id), owner, procedure, parameter);
}
ModalDialogRunner g_dialog_runner = default_dialog_runner;

const wchar_t* w(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

bool shell_execute(const wchar_t* verb, const wchar_t* file, const wchar_t* parameters, ULONG mask) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = mask | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb;
    info.lpFile = file;
    info.lpParameters = parameters && parameters[0] ? parameters : nullptr;
    info.nShow = SW_SHOW;
    return ShellExecuteExW(&info) != FALSE;
}

void show_file_run_error() {
    show_error_message(g_shell.main_window, kErrorFileRun);
}

// The entry's path, quoted when it holds a blank; nothing when either would not fit.
std::u16string quoted_entry_path(const ViewState& view, int32_t index) {
    if (index < 0 || index >= view.count || !view.entries) return {};
    const std::optional<std::u16string> path = join_entry_path(view.folder, view.entries[index].name);
    if (!path) return {};
    const std::optional<std::u16string> quoted = quote_path_with_spaces(*path);
    return quoted ? *quoted : std::u16string();
}

bool program_is_executable(const wchar_t* path) {
    DWORD type = 0;
    return GetBinaryTypeW(path, &type) != FALSE;
}

void store_image_thread(HANDLE thread, unsigned id) {
    g_shell.image_thread.reset(thread);
    g_shell.image_thread_id = thread ? id : 0;
}

int active_view() {
    return g_shell.active_view ? 1 : 0;
}

}  // namespace

wchar_t* handover_path() {
    return g_handover_path;
}

bool image_window_running() {
    return g_shell.image_thread.valid();
}

void run_mouse_action(int action, int view, int entry) {
    const MouseAction a = decode_mouse_action(action);
    switch (a.kind) {
        case MouseActionKind::single_view_window:
        case MouseActionKind::single_view_full_screen:
        case MouseActionKind::edit_window:
            if (image_window_running()) return;
            load_single_view_settings_group();
            open_image_window(view, action, entry);
            break;
        case MouseActionKind::rename:
            run_modal_dialog(g_shell.main_window, 5500, shell_entry_points().rename_dialog_proc,
                             static_cast<LPARAM>(view) * 0x10000 + kCommandRename);
            break;
        case MouseActionKind::associated_program: open_with_associated_program(view); break;
        case MouseActionKind::external_tool: run_external_tool(view, a.tool); break;
        case MouseActionKind::viewer: start_viewer_processes(view); break;
    }
}

bool open_image_window(int view, int mode, int entry) {
    if (image_window_running()) return false;
    const ViewState& state = view_state(view);
    const int32_t index = image_window_entry(state, entry);
    if (index < 0) return false;
    const std::optional<std::u16string> path = join_entry_path(state.folder, state.entries[index].name);
    if (!path) return false;
    lstrcpynW(g_handover_path, w(*path), MAX_PATH);
    unsigned id = 0;
    const ShellEntryPoints& entry_points = shell_entry_points();
    if (!(mode == 2 ? entry_points.start_edit_window_thread != nullptr
                    : entry_points.start_view_window_thread != nullptr))
        return false;
    HANDLE thread = mode == 2 ? entry_points.start_edit_window_thread(&id)
                              : entry_points.start_view_window_thread(mode == 1 ? 1 : 0, &id);
    store_image_thread(thread, id);
    return thread != nullptr;
}

bool start_slide_show() {
    if (image_window_running() || !shell_entry_points().start_view_window_thread) return false;
    const ViewState& state = view_state(active_view());
    if (state.busy != kViewIdle || !state.entries || state.count <= 0) return false;
    const std::optional<std::u16string> path = join_entry_path(state.folder, state.entries[0].name);
    if (!path) return false;
    lstrcpynW(g_handover_path, w(*path), MAX_PATH);
    unsigned id = 0;
    HANDLE thread = shell_entry_points().start_view_window_thread(2, &id);
    store_image_thread(thread, id);
    return thread != nullptr;
}

// The view's marks stay as they are: the count is what the views and the other commands rely
// on to find the marked entries.
void open_with_associated_program(int view) {
    const ViewState& state = view_state(view);
    const int32_t first = first_selected_entry(state);
    if (first < 0 || state.entries[first].name[0] == 0) return;
    const std::u16string file = quoted_entry_path(state, first);
    if (file.empty() || !shell_execute(nullptr, w(file), nullptr, 0)) show_file_run_error();
}

void run_external_tool(int view, int tool) {
    if (tool < 0 || tool >= kToolCount) return;
    const std::u16string& program = g_shell.main_settings.tool_path[tool];
    if (program.empty()) return;
    const std::optional<std::u16string> parameters =
        build_tool_parameters(program, g_shell.main_settings.tool_params[tool],
                              program_is_executable(w(program)), view_state(view));
    if (!parameters || !shell_execute(nullptr, w(program), w(*parameters), 0)) show_file_run_error();
}

void start_viewer_processes(int view) {
    wchar_t program[MAX_PATH] = {};
    if (g_viewer_folder_set) {
        lstrcpynW(program, g_viewer_folder.c_str(), MAX_PATH);
    } else {
        const DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return;
        PathRemoveFileSpecW(program);
    }
    if (!PathAppendW(program, L"Qelvo.exe")) return;
    const ViewState* views[2] = {&view_state(0), &view_state(1)};
    for (const ViewerLaunch& launch : plan_viewer_launches(views, view, g_shell.main_settings.viewer_limit))
        shell_execute(nullptr, program, w(launch.parameter), 0);
}

void show_comment_dialog() {
    const int v = active_view();
    const ViewState& state = view_state(v);
    CommandScene scene;
    scene.active = &state;
    scene.other = &view_state(1 - v);
    scene.folder_valid = state.folder[0] != 0 && path_free_of_conversion(w(state.folder));
    if (!command_allowed(kCommandComment, scene)) return;
    const int32_t index = first_selected_entry(state);
    const std::optional<std::u16string> path = join_entry_path(state.folder, state.entries[index].name);
    if (!path || GetFileAttributesW(w(*path)) == INVALID_FILE_ATTRIBUTES) {
        show_error_message(g_shell.main_window, kErrorDataRead);
        return;
    }
    run_modal_dialog(g_shell.main_window, 5200, shell_entry_points().comment_dialog_proc, v);
    // The third caption line carries the comment count.
    if (g_shell.main_settings.captions_shown && g_shell.main_settings.caption_lines[2])
        repaint_entry_cells(v, index);
}

void show_properties() {
    const ViewState& state = view_state(active_view());
    if (!state.entries || state.marked_count != 1) return;
    const std::u16string file = quoted_entry_path(state, first_selected_entry(state));
    if (!file.empty()) shell_execute(L"properties", w(file), nullptr, SEE_MASK_INVOKEIDLIST);
}

void open_view_folder(int refresh, int view) {
    ViewState& state = view_state(view);
    if (!path_free_of_conversion(w(state.folder))) return;
    if (g_shell.main_settings.tree_auto_show && g_shell.tree_pane) {
        ShowWindow(g_shell.tree_pane, SW_HIDE);
        g_shell.auto_tree_visible = false;
    }
    recompute_cell_size();
    if (refresh) state.first_visible = 0;
    HWND frame = g_shell.view_frame[view & 1];
    if (!frame) return;
    PostMessageW(frame, kAppMessage, kViewClear, refresh);
    PostMessageW(frame, kAppMessage, kViewRefresh, refresh);
}

// A modal dialog disables the main window; the views must not reload under it, nor while a
// batch conversion writes into their folders; the watch is then left as it is.
void recheck_view_folders() {
    if (!g_shell.main_window || !IsWindowEnabled(g_shell.main_window) ||
        shell_entry_points().conversion_running())
        return;
    bool changed[2] = {};
    poll_folder_watch(&changed[0], &changed[1]);
    for (int i = 0; i < 2; ++i)
        if (changed[i]) open_view_folder(0, i);
}

void recompute_cell_size() {
    const MainSettings& s = g_shell.main_settings;
    g_caption_height = caption_height(s.captions_shown, s.caption_lines);
    g_cell = cell_size(s.thumb_width, s.thumb_height, g_caption_height, GetSystemMetrics(SM_CXEDGE),
                       GetSystemMetrics(SM_CYEDGE));
}

CellSize view_cell_size() {
    return g_cell;
}

int32_t view_caption_height() {
    return g_caption_height;
}

void set_viewer_folder(const wchar_t* folder) {
    g_viewer_folder_set = folder != nullptr;
    g_viewer_folder = folder ? folder : L"";
}

INT_PTR run_modal_dialog(HWND owner, int dialog_id, DLGPROC procedure, LPARAM parameter) {
    if (!procedure) return kDialogUnavailable;
    return g_dialog_runner(owner, dialog_id, procedure, parameter);
}

ModalDialogRunner set_modal_dialog_runner(ModalDialogRunner runner) {
    const ModalDialogRunner previous = g_dialog_runner;
    g_dialog_runner = runner ? runner : default_dialog_runner;
    return previous;
}
