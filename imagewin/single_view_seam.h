// What the single view uses of other subsystems: the lossless JPEG turn of the saving code, the
// main menus' tools submenu and menu-bar button drawing, and the luminance histogram of the edit
// tools, which stands in until the tools are there.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "imagewin/save_edit_image.h"
#include "shell/main_menus.h"

// The modal luminance histogram of the current image.
void show_luminance_histogram_dialog();
