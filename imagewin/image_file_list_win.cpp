#include "imagewin/image_file_list_win.h"

#include <utility>
#include <vector>

#include "common/win/error_message.h"
#include "imagewin/edit_state.h"
#include "imagewin/edit_window_record.h"
#include "imagewin/image_windows.h"
#include "imagewin/saving_seam.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "loading/plugin.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"

namespace {

ImageFileList g_list;

// Window styles of the list window: a sizable tool window with a caption and a system menu.
constexpr DWORD kListWindowStyle = 0x86CC0000;

HWND list_box() {
    HWND window = g_edit_state.file_list_window;
    return window ? GetDlgItem(window, kFileListBoxId) : nullptr;
}

const wchar_t* wide_text(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

int compare_list_names(const std::u16string& a, const std::u16string& b) {
    return compare_names(a.c_str(), b.c_str());
}

// The list box shows `g_list`: its names in order and its selection.
void mirror_list() {
    HWND box = list_box();
    if (!box) return;
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    SendMessageW(box, LB_RESETCONTENT, 0, 0);
    for (const std::u16string& name : g_list.names)
        SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide_text(name.c_str())));
    SendMessageW(box, LB_SETCURSEL, WPARAM(g_list.selected), 0);
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(box, nullptr, TRUE);
}

void mirror_selection() {
    HWND box = list_box();
    if (box) SendMessageW(box, LB_SETCURSEL, WPARAM(g_list.selected), 0);
}

void select_current_file() {
    g_list.selected = find_list_entry(g_list, g_edit_state.image.file_name, compare_list_names);
    mirror_selection();
}

bool folder_change_fired() {
    const ChangeNotificationHandle& change = g_edit_window.folder_change;
    return change.valid() && WaitForSingleObject(change.get(), 0) == WAIT_OBJECT_0;
}

std::vector<std::u16string> plugin_patterns() {
    std::vector<std::u16string> patterns;
    const std::u16string& folder = g_browser_options.plugin_folder;
    if (g_codecs.plugin && !folder.empty() && plugin_folder_exists(folder))
        plugin_scan_folder(&patterns, g_codecs.plugin, folder, true);
    if (patterns.size() > size_t(kPluginPatternLimit)) patterns.resize(size_t(kPluginPatternLimit));
    return patterns;
}

// A pattern that matches nothing is an empty answer; only a folder that cannot be searched fails.
bool enumerate_folder(const std::u16string& pattern, std::vector<FolderItem>* items) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(wide_text(pattern.c_str()), &data);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
    }
    do {
        items->push_back(
            FolderItem{reinterpret_cast<const char16_t*>(data.cFileName), data.dwFileAttributes});
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return true;
}

void show_list_error(HWND owner, int code) {
    report_view_error(owner, code);
}

// Loads an entry's file and shows it in the window that is open.
bool load_list_entry(int32_t index) {
    std::u16string path;
    if (!list_entry_full_path(index, &path)) return false;
    if (!load_image_into_edit_state(path)) return false;
    if (g_edit_state.window_kind == 1)
        refresh_after_image_change(true);
    else
        show_loaded_image();
    sync_image_folder_list();
    return true;
}

// The edit window asks before the image on show is replaced; false stops.
bool may_replace_image() {
    if (g_edit_state.window_kind != 1) return true;
    const int32_t answer = ask_save_changes();
    if (answer == kSaveAnswerCancel) return false;
    if (answer == kSaveAnswerSaveFirst && !save_edit_image_as()) return false;
    return true;
}

}  // namespace

const ImageFileList& image_file_list() {
    return g_list;
}

HWND create_file_list_window() {
    EditState& s = g_edit_state;
    HINSTANCE instance = g_shell.instance ? g_shell.instance : GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(instance, kFileListClassName, &existing))
        register_window_class(file_list_window_proc, nullptr, LoadCursorW(nullptr, IDC_ARROW),
                              COLOR_BTNFACE + 1, kFileListClassName);
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kFileListClassName, L"ファイルリスト", kListWindowStyle,
                                  0, 0, 180, 300, s.image_window, nullptr, instance, nullptr);
    if (!window) return nullptr;
    if (HMENU menu = GetSystemMenu(window, FALSE)) {
        for (int position : {5, 4, 3, 0}) DeleteMenu(menu, UINT(position), MF_BYPOSITION);
    }
    RECT client;
    GetClientRect(window, &client);
    HWND box =
        CreateWindowExW(WS_EX_STATICEDGE, L"LISTBOX", nullptr,
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY, 0, 0, client.right, client.bottom,
                        window, reinterpret_cast<HMENU>(INT_PTR(kFileListBoxId)), instance, nullptr);
    if (box && g_shell.ui_font.get()) SendMessageW(box, WM_SETFONT, WPARAM(g_shell.ui_font.get()), FALSE);
    s.file_list_window = window;
    if (edit_image_loaded()) sync_image_folder_list();
    return window;
}

LRESULT CALLBACK file_list_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_SIZE:
            if (HWND box = GetDlgItem(window, kFileListBoxId))
                MoveWindow(box, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
            return 0;
        case WM_CLOSE: ShowWindow(window, SW_HIDE); return 0;
        case WM_COMMAND:
            if (LOWORD(wparam) == kFileListBoxId && HIWORD(wparam) == LBN_SELCHANGE)
                open_selected_list_file();
            return 0;
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

void refresh_image_folder_list() {
    EditState& s = g_edit_state;
    const std::u16string folder = s.image.folder;
    std::vector<std::u16string> names;
    bool listed = false;
    {
        EditLockScope lock;
        g_edit_window.folder_change.reset();
        if (!folder.empty())
            g_edit_window.folder_change.reset(
                FindFirstChangeNotificationW(wide_text(folder.c_str()), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
        ImageListSources sources;
        sources.enumerate = enumerate_folder;
        sources.compare = compare_list_names;
        sources.excluded_attributes = static_cast<uint32_t>(g_shell.main_settings.hidden_mask);
        sources.plugin_patterns = plugin_patterns();
        listed = !folder.empty() && build_image_folder_list(folder, sources, &names);
    }
    if (!listed) return;
    set_list_names(g_list, std::move(names), s.image.file_name, compare_list_names);
    mirror_list();
}

void sync_image_folder_list() {
    EditState& s = g_edit_state;
    std::u16string folder = s.image.folder;
    const bool fired = folder_change_fired();
    switch (decide_list_sync(s.image.path, &folder, fired)) {
        case ListSync::nothing: return;
        case ListSync::rebuild: {
            size_t n = 0;
            for (; n < folder.size() && n + 1 < size_t(kEditPathChars); ++n) s.image.folder[n] = folder[n];
            s.image.folder[n] = 0;
            refresh_image_folder_list();
            return;
        }
        case ListSync::select: select_current_file(); return;
    }
}

void place_file_list_window() {
    EditState& s = g_edit_state;
    HWND list = s.file_list_window;
    if (!list || !s.image_window) return;
    RECT list_rect;
    RECT view_rect;
    GetWindowRect(list, &list_rect);
    GetWindowRect(s.image_window, &view_rect);
    const int list_width = list_rect.right - list_rect.left;
    int x = view_rect.left - list_width;
    int y = view_rect.top;
    if (s.window_kind == 1) {
        HWND rebar = edit_window_rebar();
        RECT rebar_rect = view_rect;
        if (rebar) GetWindowRect(rebar, &rebar_rect);
        x = rebar_rect.left - list_width;
        y = rebar ? rebar_rect.bottom : view_rect.top;
    } else if (single_view_full_screen()) {
        x = view_rect.left;
        y = view_rect.top + 24;
    } else {
        RECT frame = {0, 0, 0, 0};
        AdjustWindowRectEx(&frame, 0x82CF0000, FALSE, 0);
        y = view_rect.top + 24 - frame.top;
    }
    RECT work_area;
    get_monitor_rects(s.image_window, &work_area, nullptr);
    if (x < work_area.left) x = work_area.left;
    SetWindowPos(list, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    if (!IsWindowVisible(list)) ShowWindow(list, SW_SHOW);
}

void open_selected_list_file() {
    EditState& s = g_edit_state;
    HWND box = list_box();
    if (!box) return;
    const int32_t index = int32_t(SendMessageW(box, LB_GETCURSEL, 0, 0));
    if (!clicked_entry_opens(g_list, index, s.image.file_name)) return;
    if (!may_replace_image()) {
        sync_image_folder_list();
        mirror_selection();
        return;
    }
    if (!load_list_entry(index)) {
        show_list_error(s.file_list_window, kErrorImageDisplay);
        remove_list_entry(g_list, index);
        SendMessageW(box, LB_DELETESTRING, WPARAM(index), 0);
        mirror_selection();
    }
    update_image_window_title();
}

int32_t navigate_file_list(int32_t kind) {
    const int32_t target = navigation_target(kind, int32_t(g_list.names.size()), g_list.selected);
    if (target < 0) return kNavigateNothing;
    if (!may_replace_image()) return kNavigateNothing;
    if (load_list_entry(target)) return kNavigateLoaded;
    remove_list_entry(g_list, target);
    if (HWND box = list_box()) SendMessageW(box, LB_DELETESTRING, WPARAM(target), 0);
    mirror_selection();
    return kNavigateFailed;
}

int32_t remove_selected_list_entry() {
    const int32_t index = g_list.selected;
    if (index < 0) return -1;
    remove_list_entry(g_list, index);
    if (HWND box = list_box()) SendMessageW(box, LB_DELETESTRING, WPARAM(index), 0);
    mirror_selection();
    return index;
}

void clear_list_selection() {
    g_list.selected = -1;
    mirror_selection();
}

bool list_entry_full_path(int32_t index, std::u16string* path) {
    if (index < 0 || index >= int32_t(g_list.names.size())) return false;
    return list_entry_path(g_edit_state.image.folder, g_list.names[size_t(index)], path);
}
