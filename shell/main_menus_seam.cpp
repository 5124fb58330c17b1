// Stands in for the main menus and toolbars until they are built: no menus, and hot tracking
// that only marks the menu-bar button.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "shell/main_menus.h"
#include "shell/shell_state.h"

namespace {

int g_hot = -1;

}  // namespace

void build_main_menus() {}
void destroy_main_menus() {}
void rebuild_menu_gdi_objects() {}

void open_menu_bar_menu(int index) {
    set_menu_bar_hot(index);
}

void set_menu_bar_hot(int index) {
    g_hot = index;
    if (g_shell.menu_toolbar)
        SendMessageW(g_shell.menu_toolbar, TB_SETHOTITEM, static_cast<WPARAM>(index), 0);
}

int menu_bar_hot() {
    return g_hot;
}
void update_toolbar_checks() {}
void show_thumbnail_menu(POINT) {}
LRESULT draw_menu_item(UINT, LPARAM) {
    return 1;
}
void init_menu_popup(HMENU) {}
LRESULT menu_bar_custom_draw(NMHDR*) {
    return CDRF_DODEFAULT;
}
bool menu_bar_track_mouse(const MOUSEHOOKSTRUCT*) {
    return false;
}
void clear_menu_bar_hover() {}
