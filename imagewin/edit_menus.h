// The edit window's popup menus: the context menu of the panes, the zoom presets of the
// trackbar, the four tool-group menus of the tool-tab bar, the background colours and the
// external tools; their item states come from the command-state table on WM_INITMENU.
#pragma once

#include <windows.h>

void build_edit_menus();
void destroy_edit_menus();

constexpr int kEditMenuContext = 0;
constexpr int kEditMenuZoom = 1;
constexpr int kEditMenuEdit = 2;       // 8400
constexpr int kEditMenuTransform = 3;  // 8410
constexpr int kEditMenuCorrect = 4;    // 8420
constexpr int kEditMenuProcess = 5;    // 8440
constexpr int kEditMenuBackground = 6;
constexpr int kEditMenuTools = 7;
HMENU edit_menu(int which);

// Greys and checks every item of the edit window's menus for the state now.
void update_edit_menu_states();
// The context menu at a screen point (keyboard: lParam -1, at the pane's origin); false when
// the point lies outside the pane.
bool show_edit_context_menu(HWND pane, LPARAM screen_point);
// The zoom presets at a screen point.
void show_edit_zoom_menu(POINT at);
// The tool-group popup of button `id` below its rectangle (screen coordinates).
void show_tool_group_menu(int id, POINT at);
// The tool-group button whose popup is open, -1 when none.
int open_tool_group_popup();
void clear_tool_group_popup();
