// The folder tree pane on the left of the main window: the registered-folder buttons, the tree
// and, below it, the information list; which view a tree selection opens in.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
// clang-format on

#include "common/win/app_messages.h"
#include "shell/core/folder_tree_rules.h"
#include "shell/folder_tree.h"
#include "shell/main_menus.h"
#include "shell/main_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_view.h"

namespace {

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

constexpr int kTreeTop = 56;
constexpr int kListGap = 58;
constexpr int kListHeight = 199;
constexpr int kTreeShortfallWithList = 287;
constexpr int kTreeShortfallWithoutList = 86;

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

std::u16string as_u16(const std::wstring& s) {
    return std::u16string(s.begin(), s.end());
}

std::wstring folder_shown_by(int view) {
    wchar_t folder[MAX_PATH] = {};
    view_folder(view, folder);
    return folder;
}

// The source is in force for this one call only, so that later moves the control makes of its
// own accord (deletions, collapses) are refused again.
void select_with_source(HTREEITEM item, TreeSelectionSource source) {
    const TreeSelectionSource previous = g_link.source;
    g_link.source = source;
    SendMessageW(g_shell.tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    g_link.source = previous;
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
        case TVN_DELETEITEMW:
            // No link may outlive its item, whichever way the item goes.
            for (int v = 0; v < 2; ++v)
                if (g_link.linked[v] == tree->itemOld.hItem) g_link.linked[v] = registered_root_item();
            free_tree_item(tree);
            return 0;
        default: return 0;
    }
}

void tree_pane_command(WPARAM wparam) {
    const int id = LOWORD(wparam);
    if (id != kTreeRegisterButtonId && id != kTreeUnregisterButtonId) return;
    if (g_shell.preview_window) PostMessageW(g_shell.preview_window, WM_APP, kPreviewHide, 0);
    HTREEITEM selected = TreeView_GetSelection(g_shell.tree);
    if (selected) {
        if (id == kTreeRegisterButtonId)
            register_tree_folder(selected);
        else
            unregister_tree_folder(selected);
    }
    if (g_shell.main_window) SetFocus(g_shell.main_window);
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
        case WM_NOTIFY: return tree_notify(reinterpret_cast<const NMHDR*>(lparam));
        case WM_COMMAND: tree_pane_command(wparam); return 0;
        case WM_EXITMENULOOP: g_shell.open_menu = -1; return 0;
        case WM_MEASUREITEM:
        case WM_DRAWITEM: return draw_menu_item(message, lparam);
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

void create_folder_tree_pane(HWND client) {
    g_link = TreeLink{};
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

bool go_to_path(const wchar_t* path) {
    if (!path || !g_shell.tree) return false;
    wchar_t folder[MAX_PATH];
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

int tree_target_view_now() {
    return g_link.target_view;
}

HTREEITEM tree_linked_item(int view) {
    return g_link.linked[view ? 1 : 0];
}

const wchar_t* last_opened_folder() {
    return g_last_folder;
}
