// The folder tree pane on the left of the main window: the registered-folder buttons, the tree
// and, below it, the information list; which view a tree selection opens in, the context
// commands, and the file drags that end on the tree.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <windowsx.h>
// clang-format on

#include <vector>

#include "common/win/app_messages.h"
#include "common/win/error_message.h"
#include "common/win/process_lock.h"
#include "shell/core/folder_tree_rules.h"
#include "shell/entry_points.h"
#include "shell/folder_tree.h"
#include "shell/folder_watch.h"
#include "shell/main_menus.h"
#include "shell/main_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_parts.h"

namespace {

constexpr int kCmdShowInView1 = 7610;
constexpr int kCmdShowInView2 = 7611;
constexpr int kCmdRegister = 7620;
constexpr int kCmdUnregister = 7621;
constexpr int kCmdCreateFolder = 7630;
constexpr int kCmdRenameFolder = 7631;
constexpr int kCmdDeleteFolder = 7632;
constexpr int kCmdExplore = 7640;
constexpr int kCmdHiddenFolders = 7160;
constexpr int kTreeContextMenuId = 7600;
constexpr int kNameDialogId = 5500;
constexpr UINT_PTR kHoverTimer = 100000;
constexpr UINT kHoverDelayMs = 800;

struct TreeLink {
    HTREEITEM linked[2] = {};
    int target_view = 0;
    TreeSelectionSource source = TreeSelectionSource::user;
};

TreeLink g_link;
HWND g_register_button = nullptr;
HWND g_unregister_button = nullptr;
bool g_laying_out = false;
wchar_t g_last_folder[MAX_PATH] = {};

// The item the context menu, a folder drag or a file drop refers to; cleared after each use.
HTREEITEM g_target_item = nullptr;
int g_drag_state = 0;
bool g_folder_drag = false;
bool g_tracking_leave = false;
// Auto-show was on when a file drag started and comes back after the drop.
bool g_shown_for_drag = false;
AutoScrollBand g_band;
WNDPROC g_tree_proc = nullptr;
WNDPROC g_info_list_proc = nullptr;

constexpr int kTreeTop = 56;
constexpr int kListGap = 58;
constexpr int kListHeight = 199;
constexpr int kTreeShortfallWithList = 287;
constexpr int kTreeShortfallWithoutList = 86;
constexpr int kListToggleShift = 201;

// The program's own drag cursors, loaded once with the pane; a missing picture falls back to
// the arrow so that the pointer never disappears.
HCURSOR g_tree_cursors[kTreeCursorCount] = {};

void load_tree_cursors() {
    for (int i = 0; i < kTreeCursorCount; ++i) {
        if (g_tree_cursors[i]) continue;
        g_tree_cursors[i] =
            static_cast<HCURSOR>(LoadImageW(g_shell.instance, MAKEINTRESOURCEW(kFirstTreeCursorId + i),
                                            IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    }
}

void set_drag_cursor(TreeCursor which) {
    SetCursor(tree_cursor(which));
}

void set_arrow_cursor() {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void set_view_cursor(int view) {
    set_drag_cursor(view ? TreeCursor::view2 : TreeCursor::view1);
}

void layout_tree_pane(HWND pane) {
    RECT rc;
    GetClientRect(pane, &rc);
    const int w = rc.right;
    const int h = rc.bottom;
    const int tree_height =
        h - (g_shell.main_settings.info_list_shown ? kTreeShortfallWithList : kTreeShortfallWithoutList);
    if (g_shell.tree) MoveWindow(g_shell.tree, 0, kTreeTop, w, tree_height, TRUE);
    if (g_shell.info_list) MoveWindow(g_shell.info_list, 0, tree_height + kListGap, w, kListHeight, TRUE);
    // Only a pane the user can see was sized by the user; a hidden one is sized from the setting.
    if (g_laying_out || !IsWindowVisible(pane) || w <= 0 || w == g_shell.main_settings.tree_width) return;
    g_shell.main_settings.tree_width = w;
    g_laying_out = true;
    layout_panes();
    g_laying_out = false;
    if (g_shell.main_settings.view_layout == 0 && g_shell.client_window)
        InvalidateRect(g_shell.client_window, nullptr, TRUE);
}

std::wstring item_folder(HTREEITEM item) {
    wchar_t path[MAX_PATH];
    return item && tree_item_folder_path(item, path) ? std::wstring(path) : std::wstring();
}

std::wstring stored_path(HTREEITEM item) {
    wchar_t path[MAX_PATH];
    return item && tree_item_stored_path(item, path) ? std::wstring(path) : std::wstring();
}

std::u16string as_u16(const std::wstring& s) {
    return std::u16string(s.begin(), s.end());
}

std::wstring folder_shown_by(int view) {
    wchar_t folder[MAX_PATH] = {};
    view_folder(view, folder);
    return folder;
}

// The folder itself or one inside it, as compare_folder_with_path counts it.
bool lies_in_or_is(const std::wstring& folder, const std::wstring& path) {
    return !path.empty() && compare_folder_with_path(folder.c_str(), path.c_str()) >= 0;
}

bool view_busy(int view) {
    return g_shell.view_busy[view] != 0;
}

// The source is in force for this one call only, so that later moves the control makes of its
// own accord (deletions, collapses) are refused again.
void select_with_source(HTREEITEM item, TreeSelectionSource source) {
    const TreeSelectionSource previous = g_link.source;
    g_link.source = source;
    SendMessageW(g_shell.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    g_link.source = previous;
}

void set_drop_highlight(HTREEITEM item) {
    SendMessageW(g_shell.tree, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(item));
}

void tree_selection_changed(HTREEITEM item, const std::wstring& folder) {
    const int view = g_link.target_view;
    g_link.linked[view] = item ? item : registered_root_item();
    open_folder_in_view(view, folder.c_str());
    lstrcpynW(g_last_folder, folder.c_str(), MAX_PATH);
}

// can-add: a registered subfolder or a shell item with a folder; can-remove: a registered entry.
void tree_item_kinds(HTREEITEM item, bool* can_add, bool* can_remove) {
    *can_add = *can_remove = false;
    const FolderTreeItem* record = tree_item_data(item);
    if (!record) return;
    if (record->kind == kFileSystemTreeItem) {
        *can_add = record->registration == kRegisteredSubfolder;
        *can_remove = record->registration == kRegisteredEntry;
    } else {
        *can_add = !item_folder(item).empty();
    }
}

void update_register_buttons(HTREEITEM item) {
    bool can_add = false;
    bool can_remove = false;
    if (item) tree_item_kinds(item, &can_add, &can_remove);
    if (g_register_button) EnableWindow(g_register_button, can_add);
    if (g_unregister_button) EnableWindow(g_unregister_button, can_remove);
}

bool lies_below(HTREEITEM item, HTREEITEM ancestor) {
    for (HTREEITEM p = item ? TreeView_GetParent(g_shell.tree, item) : nullptr; p;
         p = TreeView_GetParent(g_shell.tree, p))
        if (p == ancestor) return true;
    return false;
}

void reset_view_tree_link(int view) {
    g_link.linked[view] = registered_root_item();
    if (TreeView_GetSelection(g_shell.tree)) {
        g_link.target_view = view;
        select_with_source(nullptr, TreeSelectionSource::apply);
    } else {
        open_folder_in_view(view, L"");
    }
}

void link_view_to_tree_item(HTREEITEM item, int view, const std::wstring& path) {
    g_link.linked[view] = item;
    // The folder goes first, so that selecting the item finds it shown and reopens nothing more.
    open_folder_in_view(view, path.c_str());
    if (view == (g_shell.active_view ? 1 : 0)) {
        g_link.target_view = view;
        select_with_source(item, TreeSelectionSource::apply);
    }
}

void register_tree_folder(HTREEITEM item) {
    bool can_add = false;
    bool can_remove = false;
    tree_item_kinds(item, &can_add, &can_remove);
    if (!can_add) return;
    const std::wstring folder = item_folder(item);
    if (!folder.empty()) add_registered_folder(folder.c_str());
}

void unregister_tree_folder(HTREEITEM item) {
    bool affected[2] = {};
    for (int v = 0; v < 2; ++v) {
        HTREEITEM linked = g_link.linked[v];
        affected[v] =
            linked && is_registered_branch_item(linked) && (linked == item || lies_below(linked, item));
    }
    if (!remove_registered_folder(item)) return;
    for (int v = 0; v < 2; ++v)
        if (affected[v]) reset_view_tree_link(v);
    update_register_buttons(TreeView_GetSelection(g_shell.tree));
}

// Opens the item's folder in `view` while the tree's selection stays empty.
void show_item_in_view(HTREEITEM item, int view) {
    g_link.target_view = view;
    select_with_source(nullptr, TreeSelectionSource::silent);
    select_with_source(item, TreeSelectionSource::folder_only);
}

// Reads the item's children afresh; the views keep their links only where the caller relinks.
void reread_children(HTREEITEM item) {
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, reinterpret_cast<LPARAM>(item));
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

bool folder_operations_allowed(HTREEITEM item, std::wstring* folder) {
    if (!item || item == desktop_root_item()) return false;
    *folder = item_folder(item);
    if (folder->empty() || PathIsSystemFolderW(folder->c_str(), 0) ||
        !folder_free_of_conversion(folder->c_str()))
        return false;
    for (int v = 0; v < 2; ++v)
        if (view_busy(v) && lies_in_or_is(*folder, folder_shown_by(v))) return false;
    return true;
}

void delete_tree_folder() {
    HTREEITEM target = g_target_item;
    std::wstring folder;
    if (!folder_operations_allowed(target, &folder)) return;
    // The path, its terminator and the list's second zero.
    std::vector<wchar_t> list(folder.begin(), folder.end());
    list.push_back(0);
    list.push_back(0);
    const bool confirm = !g_shell.main_settings.delete_silently;
    FILEOP_FLAGS flags = confirm ? 0 : FOF_NOCONFIRMATION;
    if (confirm) {
        // The shell's confirmation is modal: holding the lock through it would stall every
        // thread that reads an image until the user answers.
        recycle_files_ex(list.data(), list.size(), g_shell.main_window, &flags);
    } else {
        ProcessLockGuard hold;
        recycle_files_ex(list.data(), list.size(), g_shell.main_window, &flags);
    }
    // The folder itself says whether it went: the shell's result does not tell a cancelled
    // confirmation from a failure, nor a partial removal from a whole one.
    if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;

    HTREEITEM item = TreeView_GetRoot(g_shell.tree);
    while (item) {
        if (stored_path(item) != folder) {
            item = TreeView_GetNextVisible(g_shell.tree, item);
            continue;
        }
        HTREEITEM previous = TreeView_GetPrevVisible(g_shell.tree, item);
        const FolderTreeItem* record = tree_item_data(item);
        if (record && record->kind == kFileSystemTreeItem && record->registration == kRegisteredEntry) {
            remove_registered_folder(item);
        } else {
            HTREEITEM parent = TreeView_GetParent(g_shell.tree, item);
            SendMessageW(g_shell.tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
            if (parent && !TreeView_GetChild(g_shell.tree, parent)) set_children_flag(parent, 0);
        }
        item = previous ? TreeView_GetNextVisible(g_shell.tree, previous) : TreeView_GetRoot(g_shell.tree);
    }
    for (int v = 0; v < 2; ++v)
        if (lies_in_or_is(folder, folder_shown_by(v))) reset_view_tree_link(v);
    update_register_buttons(TreeView_GetSelection(g_shell.tree));
}

void explore_tree_item(HTREEITEM item) {
    const FolderTreeItem* record = tree_item_data(item);
    if (!record) return;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = g_shell.main_window;
    info.lpVerb = L"explore";
    info.nShow = SW_SHOW;
    if (record->kind == kShellTreeItem) {
        info.fMask |= SEE_MASK_IDLIST;
        info.lpIDList = record->absolute;
    } else {
        if (record->registration == kRegisteredRoot) return;
        info.lpFile = record->path;
    }
    if (!ShellExecuteExW(&info)) show_error_message(g_shell.main_window, kErrorFileRun);
}

void open_name_dialog(HTREEITEM item, int command) {
    // The dialog works on the tree's selected item: it must be the item the menu was opened on,
    // not whatever folder happened to be selected before.
    if (TreeView_GetSelection(g_shell.tree) != item) select_with_source(item, TreeSelectionSource::silent);
    if (!shell_entry_points().rename_dialog_proc) return;
    const LPARAM parameter = (g_shell.active_view ? 1 : 0) * 65536 + command;
    DialogBoxParamW(g_shell.instance, MAKEINTRESOURCEW(kNameDialogId), g_shell.main_window,
                    shell_entry_points().rename_dialog_proc, parameter);
}

void tree_pane_command(WPARAM wparam) {
    const int id = LOWORD(wparam);
    HTREEITEM target = g_target_item;
    switch (id) {
        case kTreeRegisterButtonId:
        case kTreeUnregisterButtonId: {
            if (g_shell.preview_window) PostMessageW(g_shell.preview_window, WM_APP, kPreviewHide, 0);
            HTREEITEM selected = TreeView_GetSelection(g_shell.tree);
            if (selected) {
                if (id == kTreeRegisterButtonId)
                    register_tree_folder(selected);
                else
                    unregister_tree_folder(selected);
            }
            if (g_shell.main_window) SetFocus(g_shell.main_window);
            return;
        }
        case kCmdShowInView1:
        case kCmdShowInView2:
            if (target) show_item_in_view(target, id - kCmdShowInView1);
            break;
        case kCmdRegister:
            if (target) register_tree_folder(target);
            break;
        case kCmdUnregister:
            if (target) unregister_tree_folder(target);
            break;
        case kCmdCreateFolder:
        case kCmdRenameFolder:
            if (target) open_name_dialog(target, id);
            break;
        case kCmdDeleteFolder: delete_tree_folder(); break;
        case kCmdHiddenFolders: toggle_hidden_folders(); break;
        case kCmdExplore:
            if (target) explore_tree_item(target);
            break;
        default: return;
    }
    g_target_item = nullptr;
}

void update_tree_menu_states(HMENU popup) {
    static const int kItems[] = {kCmdShowInView1,  kCmdShowInView2,   kCmdRegister,
                                 kCmdUnregister,   kCmdCreateFolder,  kCmdRenameFolder,
                                 kCmdDeleteFolder, kCmdHiddenFolders, kCmdExplore};
    for (int id : kItems) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE;
        info.fState = tree_context_item_state(id);
        SetMenuItemInfoW(popup, static_cast<UINT>(id), FALSE, &info);
    }
}

void show_tree_context_menu(LPARAM lparam) {
    HWND tree = g_shell.tree;
    POINT at = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    HTREEITEM item = nullptr;
    const bool from_keyboard = at.x == -1 && at.y == -1;
    if (from_keyboard) {
        item = TreeView_GetSelection(tree);
        RECT rc;
        if (!item || !TreeView_GetItemRect(tree, item, &rc, TRUE)) return;
        at = {rc.left, rc.bottom};
        ClientToScreen(tree, &at);
    } else {
        TVHITTESTINFO hit = {};
        hit.pt = at;
        ScreenToClient(tree, &hit.pt);
        item = TreeView_HitTest(tree, &hit);
    }
    if (!item || item == registered_root_item()) return;
    if (!from_keyboard) set_drop_highlight(item);
    g_target_item = item;
    if (HMENU popup = folder_tree_context_popup()) {
        g_shell.open_menu = kTreeContextMenuId;
        TrackPopupMenu(popup, TPM_NOANIMATION, at.x, at.y, 0, g_shell.tree_pane, nullptr);
    }
    if (!from_keyboard) set_drop_highlight(nullptr);
}

void end_drag_highlight() {
    KillTimer(g_shell.tree_pane, kHoverTimer);
    set_drop_highlight(nullptr);
    g_target_item = nullptr;
}

bool drag_cursor_allows(int view, const std::wstring& folder) {
    return !folder.empty() && folder != folder_shown_by(view);
}

void file_drag_cursor(bool allowed) {
    if (!allowed)
        set_drag_cursor(TreeCursor::no_drop);
    else
        set_drag_cursor(g_drag_state == 2 ? TreeCursor::copy : TreeCursor::move);
}

// The view frame under a point of the tree's client area, or -1.
int view_frame_at(POINT tree_point, HWND from) {
    if (!g_shell.client_window) return -1;
    POINT p = tree_point;
    MapWindowPoints(from, g_shell.client_window, &p, 1);
    HWND child = ChildWindowFromPointEx(g_shell.client_window, p, CWP_SKIPINVISIBLE);
    for (int v = 0; v < 2; ++v)
        if (child && child == g_shell.view_frame[v]) return v;
    return -1;
}

void file_drag_over(POINT point) {
    HWND tree = g_shell.tree;
    const int active = g_shell.active_view ? 1 : 0;
    TVHITTESTINFO hit = {};
    hit.pt = point;
    HTREEITEM item = TreeView_HitTest(tree, &hit);
    if (!item) {
        const int over = view_frame_at(point, tree);
        const std::wstring other_folder = folder_shown_by(1 - active);
        file_drag_cursor(over == active || (over == 1 - active && !other_folder.empty() &&
                                            drag_cursor_allows(active, other_folder)));
        end_drag_highlight();
        return;
    }
    const std::wstring folder = item_folder(item);
    file_drag_cursor(drag_cursor_allows(active, folder));
    if (hit.flags & TVHT_ONITEMBUTTON)
        SetTimer(g_shell.tree_pane, kHoverTimer, kHoverDelayMs, nullptr);
    else
        KillTimer(g_shell.tree_pane, kHoverTimer);
    if (item == g_target_item) return;
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    HTREEITEM neighbour = nullptr;
    switch (auto_scroll_direction(g_band, point.y)) {
        case AutoScroll::previous: neighbour = TreeView_GetPrevVisible(tree, item); break;
        case AutoScroll::next: neighbour = TreeView_GetNextVisible(tree, item); break;
        case AutoScroll::none: break;
    }
    if (neighbour) SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(neighbour));
    set_drop_highlight(item);
    g_target_item = item;
}

void reopen_view(int view) {
    const std::wstring folder = folder_shown_by(view);
    if (!folder.empty()) open_folder_in_view(view, folder.c_str());
}

void file_drag_drop(POINT point) {
    ReleaseCapture();
    const int s = g_shell.active_view ? 1 : 0;
    const int o = 1 - s;
    const std::wstring source_folder = folder_shown_by(s);
    const std::wstring other_folder = folder_shown_by(o);
    if (g_target_item) {
        const std::wstring folder = item_folder(g_target_item);
        if (!folder.empty() && folder != source_folder && path_free_of_conversion(folder.c_str()) &&
            move_or_copy_marked_files(folder.c_str(), s) && folder == other_folder)
            reopen_view(o);
        end_drag_highlight();
    } else if (g_shell.main_settings.view_layout == 0 && !other_folder.empty() &&
               path_free_of_conversion(other_folder.c_str()) && other_folder != source_folder &&
               view_frame_at(point, g_shell.tree) == o) {
        if (move_or_copy_marked_files(other_folder.c_str(), s)) reopen_view(o);
    }
    KillTimer(g_shell.tree_pane, kHoverTimer);
    set_arrow_cursor();
    if (g_shown_for_drag) {
        g_shown_for_drag = false;
        toggle_tree_auto_show();
    }
    g_drag_state = 0;
}

void tree_drag_end(POINT pane_point) {
    ReleaseCapture();
    g_folder_drag = false;
    HTREEITEM item = g_target_item;
    set_drop_highlight(nullptr);
    set_arrow_cursor();
    if (item && !item_folder(item).empty()) {
        const int view = view_frame_at(pane_point, g_shell.tree_pane);
        if (view >= 0) show_item_in_view(item, view);
    }
    g_target_item = nullptr;
}

void tree_hover_timer() {
    KillTimer(g_shell.tree_pane, kHoverTimer);
    if (g_target_item)
        SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(g_target_item));
}

void drop_files_on_tree(HDROP drop) {
    wchar_t path[MAX_PATH] = {};
    const bool take = !view_busy(0) && !view_busy(1) && DragQueryFileW(drop, 0, path, MAX_PATH) > 0;
    // Finished either way: an ignored drop still holds the sender's memory.
    DragFinish(drop);
    if (!take) return;
    if (g_shell.main_window) SetForegroundWindow(g_shell.main_window);
    go_to_path(path);
}

LRESULT CALLBACK folder_tree_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_SIZE: {
            RECT rc;
            GetClientRect(window, &rc);
            g_band =
                auto_scroll_band(TreeView_GetItemHeight(window), rc.bottom, GetSystemMetrics(SM_CXHSCROLL));
            break;
        }
        case WM_SETCURSOR:
            if (LOWORD(lparam) == HTCLIENT && !g_tracking_leave) {
                set_tree_target_view(GetKeyState(VK_SHIFT) < 0, true);
                return TRUE;
            }
            if (LOWORD(lparam) == HTCLIENT) {
                set_view_cursor(g_link.target_view);
                return TRUE;
            }
            break;
        case WM_MOUSEMOVE: {
            const POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            if ((g_drag_state == 1 && (wparam & MK_LBUTTON)) ||
                (g_drag_state == 2 && (wparam & MK_RBUTTON))) {
                file_drag_over(point);
                return 0;
            }
            if (!(wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && !g_tracking_leave) {
                TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
                g_tracking_leave = TrackMouseEvent(&track) != FALSE;
            }
            break;
        }
        case WM_MOUSELEAVE: g_tracking_leave = false; break;
        case WM_LBUTTONUP:
            if (g_drag_state == 1 && GetCapture() == window) {
                file_drag_drop({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
                return 0;
            }
            break;
        case WM_RBUTTONUP:
            if (g_drag_state == 2 && GetCapture() == window) {
                file_drag_drop({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
                return 0;
            }
            break;
        case WM_DROPFILES: drop_files_on_tree(reinterpret_cast<HDROP>(wparam)); return 0;
        default: break;
    }
    return CallWindowProcW(g_tree_proc, window, message, wparam, lparam);
}

LRESULT CALLBACK info_list_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    const LRESULT result = CallWindowProcW(g_info_list_proc, window, message, wparam, lparam);
    if (message == WM_VSCROLL && LOWORD(wparam) == SB_ENDSCROLL) InvalidateRect(window, nullptr, TRUE);
    return result;
}

LRESULT tree_notify(const NMHDR* header) {
    if (header->idFrom != static_cast<UINT_PTR>(kTreeId)) return 0;
    const NMTREEVIEWW* tree = reinterpret_cast<const NMTREEVIEWW*>(header);
    switch (header->code) {
        case TVN_SELCHANGINGW: {
            const bool by_user = tree->action == TVC_BYMOUSE || tree->action == TVC_BYKEYBOARD;
            if (by_user)
                g_link.target_view = tree_target_view(g_shell.active_view, GetKeyState(VK_SHIFT) < 0);
            const std::wstring folder = item_folder(tree->itemNew.hItem);
            const TreeSelectionOutcome outcome = tree_selection_outcome(
                g_link.source,
                by_user ? TreeSelectionEvent::changing_by_user : TreeSelectionEvent::changing_by_program,
                as_u16(folder), as_u16(folder_shown_by(g_link.target_view)));
            if (outcome.open_folder) tree_selection_changed(tree->itemNew.hItem, folder);
            return outcome.allow_change ? FALSE : TRUE;
        }
        case TVN_SELCHANGEDW: {
            HTREEITEM item = tree->itemNew.hItem;
            const std::wstring folder = item_folder(item);
            const TreeSelectionOutcome outcome =
                tree_selection_outcome(g_link.source, TreeSelectionEvent::changed, as_u16(folder),
                                       as_u16(folder_shown_by(g_link.target_view)));
            if (outcome.open_folder) tree_selection_changed(item, folder);
            if (item) SendMessageW(g_shell.tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
            update_register_buttons(item);
            return 0;
        }
        case TVN_ITEMEXPANDINGW:
            if (tree->action & TVE_EXPAND) {
                fill_tree_children(tree);
                return FALSE;
            }
            if (tree->action & TVE_COLLAPSE) {
                for (int v = 0; v < 2; ++v)
                    if (lies_below(g_link.linked[v], tree->itemNew.hItem)) reset_view_tree_link(v);
                // A collapse discards the children; the next expansion reads them afresh.
                SendMessageW(g_shell.tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET,
                             reinterpret_cast<LPARAM>(tree->itemNew.hItem));
                return TRUE;
            }
            return FALSE;
        case TVN_BEGINDRAGW:
            g_target_item = tree->itemNew.hItem;
            set_drop_highlight(g_target_item);
            set_drag_cursor(TreeCursor::folder);
            g_folder_drag = true;
            SetCapture(g_shell.tree_pane);
            return 0;
        case TVN_DELETEITEMW:
            // No link may outlive its item, whichever way the item goes.
            for (int v = 0; v < 2; ++v)
                if (g_link.linked[v] == tree->itemOld.hItem) g_link.linked[v] = registered_root_item();
            if (g_target_item == tree->itemOld.hItem) g_target_item = nullptr;
            free_tree_item(tree);
            return 0;
        default: return 0;
    }
}

HWND create_child(DWORD ex_style, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
                  int h, int id) {
    return CreateWindowExW(ex_style, cls, text, style, x, y, w, h, g_shell.tree_pane,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_shell.instance, nullptr);
}

void set_ui_font(HWND window) {
    if (window) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
}

}  // namespace

LRESULT CALLBACK tree_pane_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_SIZE: layout_tree_pane(window); return 0;
        case WM_GETMINMAXINFO: {
            MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lparam);
            info->ptMinTrackSize.x = 44;
            info->ptMaxTrackSize.x = 400;
            return 0;
        }
        case WM_MEASUREITEM:
        case WM_DRAWITEM: return draw_menu_item(message, lparam);
        case WM_NOTIFY: return tree_notify(reinterpret_cast<const NMHDR*>(lparam));
        case WM_CONTEXTMENU:
            if (!(g_drag_state && GetCapture() == g_shell.tree) &&
                !(g_shell.preview_window && IsWindowVisible(g_shell.preview_window)))
                show_tree_context_menu(lparam);
            return 0;
        case WM_COMMAND: tree_pane_command(wparam); return 0;
        case WM_TIMER:
            if (wparam == kHoverTimer) tree_hover_timer();
            return 0;
        case WM_INITMENUPOPUP: {
            HMENU popup = reinterpret_cast<HMENU>(wparam);
            init_menu_popup(popup);
            if (popup && popup == folder_tree_context_popup()) update_tree_menu_states(popup);
            return 0;
        }
        case WM_LBUTTONUP:
            if (g_folder_drag && g_target_item && GetCapture() == window)
                tree_drag_end({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
            return 0;
        case WM_EXITMENULOOP: g_shell.open_menu = -1; return 0;
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

void create_folder_tree_pane(HWND client) {
    load_tree_cursors();
    g_link = TreeLink{};
    g_target_item = nullptr;
    g_folder_drag = false;
    g_tracking_leave = false;
    g_shown_for_drag = false;
    g_shell.tree_pane = CreateWindowExW(WS_EX_DLGMODALFRAME, L"Pexaron_trbase_class", nullptr,
                                        WS_CHILD | WS_CLIPCHILDREN | WS_THICKFRAME, 0, 0, 0, 0, client,
                                        reinterpret_cast<HMENU>(kTreePaneId), g_shell.instance, nullptr);
    const DWORD child = WS_CHILD | WS_VISIBLE;
    set_ui_font(create_child(0, L"STATIC", kTreeRegisteredRoot, child | WS_CLIPSIBLINGS | SS_ENDELLIPSIS, 6,
                             37, 62, 19, kTreeLabelId));
    g_register_button =
        create_child(0, L"BUTTON", kTreeRegisterButton, child, 69, 32, 40, 22, kTreeRegisterButtonId);
    g_unregister_button =
        create_child(0, L"BUTTON", kTreeUnregisterButton, child, 109, 32, 40, 22, kTreeUnregisterButtonId);
    set_ui_font(g_register_button);
    set_ui_font(g_unregister_button);
    g_shell.tree = create_child(
        WS_EX_STATICEDGE | WS_EX_ACCEPTFILES, WC_TREEVIEWW, nullptr,
        child | WS_CLIPSIBLINGS | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0,
        kTreeTop, 0, 0, kTreeId);
    g_shell.info_list =
        create_child(WS_EX_STATICEDGE, WC_LISTVIEWW, nullptr,
                     child | WS_CLIPSIBLINGS | LVS_REPORT | LVS_NOSORTHEADER, 0, 0, 0, 0, kInfoListId);
    SendMessageW(g_shell.info_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, LVS_EX_GRIDLINES);
    set_ui_font(g_shell.info_list);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = g_shell.main_settings.info_column_width[0];
    column.pszText = const_cast<wchar_t*>(kInfoColumnItem);
    SendMessageW(g_shell.info_list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = g_shell.main_settings.info_column_width[1];
    column.pszText = const_cast<wchar_t*>(kInfoColumnValue);
    SendMessageW(g_shell.info_list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    if (g_shell.tree)
        g_tree_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(g_shell.tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(folder_tree_proc)));
    if (g_shell.info_list)
        g_info_list_proc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(g_shell.info_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(info_list_proc)));

    set_folder_tree_context(g_shell.tree, g_shell.heap, static_cast<DWORD>(g_shell.main_settings.hidden_mask),
                            &g_shell.main_settings.folders);
    HTREEITEM desktop = create_desktop_root(g_shell.tree);
    HTREEITEM registered = create_registered_root(&g_shell.main_settings.folders);
    g_link.linked[0] = g_link.linked[1] = registered;
    g_link.target_view = g_shell.active_view ? 1 : 0;
    if (g_shell.main_settings.expand_desktop && desktop)
        SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(desktop));
    if (registered) SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(registered));
    update_register_buttons(nullptr);
}

void restore_subclassed_controls() {
    if (g_shell.tree && g_tree_proc)
        SetWindowLongPtrW(g_shell.tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_tree_proc));
    if (g_shell.info_list && g_info_list_proc)
        SetWindowLongPtrW(g_shell.info_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_info_list_proc));
}

bool tree_wants_context_menu() {
    return g_shell.tree && GetFocus() == g_shell.tree;
}

void clear_tree_drop_target() {
    if (g_shell.tree && g_target_item) set_drop_highlight(nullptr);
    g_target_item = nullptr;
}

int file_drag_state() {
    return g_drag_state;
}

void set_file_drag_state(int state) {
    g_drag_state = state;
}

void tree_pane_drag_starts() {
    if (g_shell.main_settings.tree_auto_show) {
        g_shown_for_drag = true;
        g_shell.main_settings.tree_auto_show = 0;
        if (g_shell.tree_pane) ShowWindow(g_shell.tree_pane, SW_SHOW);
        layout_panes();
    }
    clear_tree_drop_target();
}

bool move_or_copy_marked_files(const wchar_t* folder, int view) {
    const bool move = g_drag_state == 1;
    if (!move && g_drag_state != 2) return false;
    const ViewState& state = view_state(view);
    const std::u16string sources = build_selected_path_list(state);
    if (sources.size() < 2) return false;
    std::vector<wchar_t> destination(folder, folder + lstrlenW(folder));
    destination.push_back(0);
    destination.push_back(0);
    SHFILEOPSTRUCTW op = {};
    op.hwnd = g_shell.main_window;
    op.wFunc = move ? FO_MOVE : FO_COPY;
    op.pFrom = wide(sources);
    op.pTo = destination.data();
    op.lpszProgressTitle = move ? kTreeMoveTitle : kTreeCopyTitle;
    SHFileOperationW(&op);

    std::vector<bool> left;
    std::vector<bool> arrived;
    for (size_t at = 0; at < sources.size() && sources[at];) {
        const std::u16string source(sources.c_str() + at);
        at += source.size() + 1;
        const size_t slash = source.rfind(u'\\');
        const std::u16string name = slash == std::u16string::npos ? source : source.substr(slash + 1);
        char16_t target[MAX_PATH];
        left.push_back(GetFileAttributesW(wide(source)) == INVALID_FILE_ATTRIBUTES);
        arrived.push_back(
            join_folder_path(reinterpret_cast<const char16_t*>(folder), name.c_str(), target, MAX_PATH) &&
            GetFileAttributesW(reinterpret_cast<const wchar_t*>(target)) != INVALID_FILE_ATTRIBUTES);
    }
    const FileOperationFollowUp follow_up = file_operation_follow_up(move, left, arrived);
    if (follow_up.remove_marked && g_shell.view_frame[view])
        PostMessageW(g_shell.view_frame[view], kAppMessage, kViewRemoveMarked, 0);
    if (follow_up.rescan_source) reopen_view(view);
    return follow_up.destination_changed;
}

void toggle_tree_auto_show() {
    MainSettings& settings = g_shell.main_settings;
    settings.tree_auto_show = settings.tree_auto_show ? 0 : 1;
    if (g_shell.tree_pane) ShowWindow(g_shell.tree_pane, settings.tree_auto_show ? SW_HIDE : SW_SHOW);
    update_toolbar_checks();
    layout_panes();
    if (g_shell.client_window) InvalidateRect(g_shell.client_window, nullptr, TRUE);
}

void toggle_info_list() {
    MainSettings& settings = g_shell.main_settings;
    settings.info_list_shown = settings.info_list_shown ? 0 : 1;
    update_toolbar_checks();
    if (!g_shell.tree) return;
    RECT rc;
    GetWindowRect(g_shell.tree, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top + (settings.info_list_shown ? -kListToggleShift : kListToggleShift);
    SetWindowPos(g_shell.tree, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (g_shell.info_list) MoveWindow(g_shell.info_list, 0, height + kListGap, width, kListHeight, TRUE);
}

void toggle_hidden_folders() {
    if (view_busy(0) || view_busy(1)) return;
    const int32_t mask = g_shell.main_settings.hidden_mask ? 0 : FILE_ATTRIBUTE_HIDDEN;
    g_shell.main_settings.hidden_mask = mask;
    set_folder_tree_hidden_mask(static_cast<DWORD>(mask));
}

UINT tree_context_item_state(int command) {
    bool can_add = false;
    bool can_remove = false;
    if (g_target_item) tree_item_kinds(g_target_item, &can_add, &can_remove);
    std::wstring folder;
    switch (command) {
        case kCmdShowInView1:
        case kCmdShowInView2:
        case kCmdExplore: return MF_ENABLED;
        case kCmdRegister: return can_add ? MF_ENABLED : MF_GRAYED;
        case kCmdUnregister: return can_remove ? MF_ENABLED : MF_GRAYED;
        case kCmdCreateFolder: return can_add || can_remove ? MF_ENABLED : MF_GRAYED;
        case kCmdRenameFolder:
        case kCmdDeleteFolder:
            return folder_operations_allowed(g_target_item, &folder) ? MF_ENABLED : MF_GRAYED;
        case kCmdHiddenFolders:
            if (view_busy(0) || view_busy(1)) return MF_GRAYED;
            return g_shell.main_settings.hidden_mask == 0 ? MF_ENABLED | MF_CHECKED : MF_ENABLED;
        default: return MF_GRAYED;
    }
}

void set_tree_target_view(bool shift, bool select) {
    const int active = g_shell.active_view ? 1 : 0;
    if (shift) {
        g_link.target_view = 1 - active;
        set_view_cursor(g_link.target_view);
        select_with_source(nullptr, TreeSelectionSource::silent);
        return;
    }
    g_link.target_view = active;
    set_view_cursor(active);
    if (select) select_with_source(g_link.linked[active], TreeSelectionSource::silent);
}

void tree_after_folder_rename(const wchar_t* new_path, const wchar_t* old_path) {
    if (!g_shell.tree || !new_path || !old_path) return;
    const std::wstring renamed = new_path;
    const std::wstring old = old_path;
    // The views' links are noted first: rereading a parent deletes the items below it.
    HTREEITEM linked_parent[2] = {};
    std::wstring shown[2];
    for (int v = 0; v < 2; ++v) {
        linked_parent[v] = g_link.linked[v] ? TreeView_GetParent(g_shell.tree, g_link.linked[v]) : nullptr;
        shown[v] = folder_shown_by(v);
    }
    std::vector<HTREEITEM> parents;
    HTREEITEM item = TreeView_GetRoot(g_shell.tree);
    while (item) {
        if (stored_path(item) != old) {
            item = TreeView_GetNextVisible(g_shell.tree, item);
            continue;
        }
        const FolderTreeItem* record = tree_item_data(item);
        if (record && record->kind == kFileSystemTreeItem && record->registration == kRegisteredEntry)
            replace_registered_path(old_path, new_path);
        HTREEITEM parent = TreeView_GetParent(g_shell.tree, item);
        if (!parent) {
            item = TreeView_GetNextVisible(g_shell.tree, item);
            continue;
        }
        reread_children(parent);
        parents.push_back(parent);
        item = TreeView_GetNextVisible(g_shell.tree, parent);
    }
    wchar_t old_parent[MAX_PATH];
    lstrcpynW(old_parent, old_path, MAX_PATH);
    PathRemoveFileSpecW(old_parent);
    for (int v = 0; v < 2; ++v) {
        if (shown[v].empty()) continue;
        const bool was_renamed = shown[v] == old;
        bool sibling = false;
        for (HTREEITEM p : parents) sibling = sibling || p == linked_parent[v];
        if (!was_renamed && !sibling) {
            if (compare_folder_with_path(old_parent, shown[v].c_str()) > 0) reset_view_tree_link(v);
            continue;
        }
        const std::wstring path = was_renamed ? renamed : shown[v];
        HTREEITEM found = nullptr;
        for (HTREEITEM p : parents)
            if (!found) found = find_child_by_path(path.c_str(), p);
        if (found)
            link_view_to_tree_item(found, v, path);
        else
            reset_view_tree_link(v);
    }
}

void tree_after_folder_create(const wchar_t* parent_path) {
    if (!g_shell.tree || !parent_path) return;
    const std::wstring parent = parent_path;
    const std::wstring shown[2] = {folder_shown_by(0), folder_shown_by(1)};
    std::vector<HTREEITEM> refreshed;
    for (HTREEITEM item = TreeView_GetRoot(g_shell.tree); item;
         item = TreeView_GetNextVisible(g_shell.tree, item)) {
        if (stored_path(item) != parent) continue;
        if (TreeView_GetChild(g_shell.tree, item))
            SendMessageW(g_shell.tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET,
                         reinterpret_cast<LPARAM>(item));
        else
            set_children_flag(item, 1);
        SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        refreshed.push_back(item);
    }
    for (int v = 0; v < 2; ++v) {
        if (shown[v].empty() || compare_folder_with_path(parent_path, shown[v].c_str()) <= 0) continue;
        HTREEITEM found = nullptr;
        for (HTREEITEM p : refreshed)
            if (!found) found = find_child_by_path(shown[v].c_str(), p);
        if (found)
            link_view_to_tree_item(found, v, shown[v]);
        else
            reset_view_tree_link(v);
    }
}

int tree_selected_item_top() {
    RECT rc;
    if (!g_shell.tree || !g_target_item || !TreeView_GetItemRect(g_shell.tree, g_target_item, &rc, FALSE))
        return 0;
    POINT top = {rc.left, rc.top};
    ClientToScreen(g_shell.tree, &top);
    return top.y;
}

void tree_mark_parent_expandable(const wchar_t* path) {
    if (!g_shell.tree || !path) return;
    wchar_t parent[MAX_PATH];
    lstrcpynW(parent, path, MAX_PATH);
    if (!PathRemoveFileSpecW(parent)) return;
    for (HTREEITEM item = TreeView_GetRoot(g_shell.tree); item;
         item = TreeView_GetNextVisible(g_shell.tree, item)) {
        if (TreeView_GetChild(g_shell.tree, item) || stored_path(item) != parent) continue;
        set_children_flag(item, 1);
    }
}

bool go_to_path(const wchar_t* path) {
    if (!path || !g_shell.tree) return false;
    wchar_t folder[MAX_PATH];
    // A longer path cut to MAX_PATH would name another file or folder.
    if (lstrlenW(path) >= MAX_PATH) return false;
    lstrcpynW(folder, path, MAX_PATH);
    if (is_shortcut(folder)) resolve_shortcut(folder);
    if (!PathIsDirectoryW(folder)) PathRemoveFileSpecW(folder);
    HTREEITEM item = add_registered_folder(folder);
    if (!item) return false;
    g_link.target_view = g_shell.active_view ? 1 : 0;
    if (TreeView_GetSelection(g_shell.tree) == item) {
        // Selecting the selected item notifies nothing, yet the active view may show another
        // folder than the one it was asked to go to.
        const std::wstring target = item_folder(item);
        if (target != folder_shown_by(g_link.target_view)) tree_selection_changed(item, target);
        return true;
    }
    select_with_source(item, TreeSelectionSource::apply);
    return true;
}

void open_path_in_folder_tree(const wchar_t* path) {
    go_to_path(path);
}

void tree_active_view_changed() {
    if (!g_shell.tree) return;
    POINT p = {};
    GetCursorPos(&p);
    if (WindowFromPoint(p) != g_shell.tree) return;
    g_link.target_view = g_shell.active_view ? 1 : 0;
    set_view_cursor(g_link.target_view);
}

HCURSOR tree_cursor(TreeCursor which) {
    const int i = static_cast<int>(which);
    if (i < 0 || i >= kTreeCursorCount || !g_tree_cursors[i]) return LoadCursorW(nullptr, IDC_ARROW);
    return g_tree_cursors[i];
}

int tree_target_view_now() {
    return g_link.target_view;
}

HTREEITEM tree_linked_item(int view) {
    return g_link.linked[view ? 1 : 0];
}

const wchar_t* last_opened_folder() {
    return g_last_folder;
}
