// The main window's menu bar, menus and main toolbar.
#pragma once

#include <windows.h>

void build_main_menus();
void destroy_main_menus();
void rebuild_menu_gdi_objects();
void open_menu_bar_menu(int index);
void set_menu_bar_hot(int index);
int menu_bar_hot();
void update_toolbar_checks();
void show_thumbnail_menu(POINT screen_point);
LRESULT draw_menu_item(UINT message, LPARAM lparam);
void init_menu_popup(HMENU menu);
LRESULT menu_bar_custom_draw(NMHDR* header);
// The mouse hook's part: true when the move was consumed by the menu-bar hot tracking.
bool menu_bar_track_mouse(const MOUSEHOOKSTRUCT* info);
void clear_menu_bar_hover();
