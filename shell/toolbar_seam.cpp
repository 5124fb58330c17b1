// Stands in for the main toolbar's lists and the popups until they are built: the toolbar is
// looked up under the rebar, a size choice changes nothing and no popup exists.
#include "shell/toolbar_seam.h"

#include "shell/shell_ids.h"
#include "shell/shell_state.h"

HWND main_toolbar_window() {
    return g_shell.rebar ? GetDlgItem(g_shell.rebar, kMainToolbarId) : nullptr;
}

void size_preset_selected(HWND) {}

HMENU main_menu_popup(int) {
    return nullptr;
}
