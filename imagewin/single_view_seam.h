// What the single view uses of other subsystems: the lossless JPEG turn of the saving code and the
// main menus' tools submenu and menu-bar button drawing.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "imagewin/save_edit_image.h"
#include "shell/main_menus.h"
