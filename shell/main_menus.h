// The main window's menus: nine owner-drawn popups kept in a container menu that is never
// attached to a window, the menu-bar toolbar that opens them, and the main toolbar's checks.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "shell/core/key_table.h"
#include "shell/core/menu_rules.h"

// Start-up: the ten menus, the metrics and drawing resources, then every item from `keys`.
void init_main_menus(const KeyTable& keys);
// A fresh container and nine popups (the options dialog makes them before a rebuild).
void create_main_menus();
// Inserts every item and separator into the current menus, labelled from `keys`.
void build_main_menus(const KeyTable& keys);
void destroy_main_menus();
// Shutdown: the drawing resources, the menu font and brush, then the menus.
void delete_menu_resources();
// Menu colours, the menu brush and the menu font, from the system's current settings.
void refresh_menu_metrics();
// WM_WININICHANGE of the main window.
void rebuild_menu_gdi_objects();

// The popup at a container position (MenuPopup), the View popup's submenu included; null before
// the menus exist.
HMENU main_menu_popup(int position);

// WM_MEASUREITEM / WM_DRAWITEM of the main window and of the folder-tree pane.
void measure_menu_item(MEASUREITEMSTRUCT* item);
void draw_menu_item(const DRAWITEMSTRUCT* item);
// Either of the two messages above, by message.
LRESULT draw_menu_item(UINT message, LPARAM lparam);

// The external-tool items at the top of the Tools popup, from the tool settings.
void fill_tools_menu(HMENU popup);
void fill_tools_menu();
// Removes the tool items and empties the eight program paths.
void clear_tools_menu(HMENU popup);
void clear_tools_menu();

// WM_INITMENUPOPUP: enables, greys or checks the items of the popups it knows.
void update_menu_states(HMENU popup);
void init_menu_popup(HMENU menu);

// The menu-bar toolbar (id 201) as the rebar's first band; returns its width.
int create_menubar_toolbar(HWND rebar);
// NM_CUSTOMDRAW from the two toolbars of the rebar.
LRESULT menu_bar_custom_draw(NMHDR* header);
LRESULT draw_menubar_button(NMTBCUSTOMDRAW* draw);

// Tracks menu-bar popup `position` (0-4) below its button; the caller has set the open-menu id.
void show_menubar_popup(int position);
// Sets the open-menu id of menu-bar popup `index` and opens it.
void open_menu_bar_menu(int index);
void set_menu_bar_hot(int index);
int menu_bar_hot();
// Code 121: the thumbnail context menu at a screen point.
void show_thumbnail_menu(POINT screen_point);
// True when the move switched from the open menu-bar popup to another one (the mouse hook then
// swallows the move).
bool menubar_mouse_move(POINT screen_point);
bool menu_bar_track_mouse(const MOUSEHOOKSTRUCT* info);
void clear_menu_bar_hover();

// The main toolbar's toggle buttons from the settings.
void update_toolbar_checks();
