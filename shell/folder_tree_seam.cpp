// Stands in for the pane's information list, subclasses and file drag until they are built.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "shell/folder_tree.h"
#include "shell/shell_state.h"

void show_entry_info(int, LPARAM) {
    if (g_shell.info_list) SendMessageW(g_shell.info_list, LVM_DELETEALLITEMS, 0, 0);
}

void restore_subclassed_controls() {}
bool tree_wants_context_menu() {
    return false;
}
void clear_tree_drop_target() {}
