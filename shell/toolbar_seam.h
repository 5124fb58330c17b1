// What the commands use of the main toolbar and the popups beyond shell/main_menus.h, standing
// in until the toolbar and the popups are built.
#pragma once

#include <windows.h>

// The main toolbar (id 202), child of the rebar; null while it does not exist.
HWND main_toolbar_window();
// CBN_CLOSEUP of the size list (210).
void size_preset_selected(HWND list);
// The popup at a position of the container menu (5: the columns popup); null before the menus
// exist.
HMENU main_menu_popup(int position);
