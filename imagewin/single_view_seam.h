// Stands in for what the single view uses of subsystems not there yet: the lossless JPEG turn
// of the saving code, the luminance histogram of the edit tools, and the main menus' tools
// submenu and menu-bar button drawing.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdint>

// Turns the current JPEG file in place (1 right, 3 left); true when the file was rewritten.
bool lossless_rotate_current_file(int32_t operation);
// The modal luminance histogram of the current image.
void show_luminance_histogram_dialog();
// The registered external tools as items 7311-7318, or the greyed "<未登録>" (7310).
void fill_tools_menu(HMENU popup);
// A bar button's item pre-paint.
LRESULT draw_menubar_button(NMTBCUSTOMDRAW* draw);
