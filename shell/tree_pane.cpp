// The folder tree pane on the left of the main window: a sizeable frame holding the tree and,
// below it, the information list.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "shell/folder_tree.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"

namespace {

void layout_tree_pane(HWND pane) {
    RECT rc;
    GetClientRect(pane, &rc);
    // The pane reaches 30 pixels above and below the client window.
    const int top = 30;
    const int height = rc.bottom - 60;
    const int list_height = g_shell.main_settings.info_list_shown ? height / 3 : 0;
    if (g_shell.tree) MoveWindow(g_shell.tree, 0, top, rc.right, height - list_height, TRUE);
    if (g_shell.info_list) {
        MoveWindow(g_shell.info_list, 0, top + height - list_height, rc.right, list_height, TRUE);
        ShowWindow(g_shell.info_list, list_height ? SW_SHOWNA : SW_HIDE);
    }
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
        case WM_EXITMENULOOP: g_shell.open_menu = -1; return 0;
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

void create_folder_tree_pane(HWND client) {
    HINSTANCE instance = g_shell.instance;
    g_shell.tree_pane = CreateWindowExW(WS_EX_DLGMODALFRAME, L"Pexaron_trbase_class", nullptr,
                                        WS_CHILD | WS_CLIPCHILDREN | WS_THICKFRAME, 0, 0, 0, 0, client,
                                        reinterpret_cast<HMENU>(kTreePaneId), instance, nullptr);
    g_shell.tree = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_TREEVIEWW, nullptr,
        WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0, 0, 0,
        0, g_shell.tree_pane, reinterpret_cast<HMENU>(kTreeId), instance, nullptr);
    g_shell.info_list =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr, WS_CHILD | LVS_REPORT | LVS_NOSORTHEADER, 0,
                        0, 0, 0, g_shell.tree_pane, reinterpret_cast<HMENU>(kInfoListId), instance, nullptr);
    SendMessageW(g_shell.tree, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    SendMessageW(g_shell.info_list, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = g_shell.main_settings.info_column_width[0];
    column.pszText = const_cast<wchar_t*>(kInfoColumnItem);
    SendMessageW(g_shell.info_list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = g_shell.main_settings.info_column_width[1];
    column.pszText = const_cast<wchar_t*>(kInfoColumnValue);
    SendMessageW(g_shell.info_list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    fill_folder_tree(g_shell.tree);
}
