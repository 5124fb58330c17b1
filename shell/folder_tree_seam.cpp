// Stands in for the folder tree until it is built: the desktop root with the registered
// folders under it; opening a path hands its folder to the active view.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>
// clang-format on

#include "shell/folder_tree.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_view.h"

namespace {

wchar_t g_last_folder[MAX_PATH] = {};

}  // namespace

void open_path_in_folder_tree(const wchar_t* path) {
    wchar_t folder[MAX_PATH];
    lstrcpynW(folder, path, MAX_PATH);
    if (is_shortcut(folder)) resolve_shortcut(folder);
    if (!PathIsDirectoryW(folder)) PathRemoveFileSpecW(folder);
    lstrcpynW(g_last_folder, folder, MAX_PATH);
    open_folder_in_view(g_shell.active_view, folder);
}

void fill_folder_tree(HWND tree) {
    TVINSERTSTRUCTW item = {};
    item.hParent = TVI_ROOT;
    item.hInsertAfter = TVI_LAST;
    item.item.mask = TVIF_TEXT;
    item.item.pszText = const_cast<wchar_t*>(kTreeDesktop);
    HTREEITEM root =
        reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (const std::u16string& folder : g_shell.main_settings.folders) {
        item.hParent = root;
        item.item.pszText = const_cast<wchar_t*>(wide(folder));
        SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
}

void show_entry_info(int, LPARAM) {
    if (g_shell.info_list) SendMessageW(g_shell.info_list, LVM_DELETEALLITEMS, 0, 0);
}

void restore_subclassed_controls() {}
bool tree_wants_context_menu() {
    return false;
}
void clear_tree_drop_target() {}
const wchar_t* last_opened_folder() {
    return g_last_folder;
}
