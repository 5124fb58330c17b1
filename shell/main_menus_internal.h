// What the menus, the menu bar and the main toolbar share inside the shell.
#pragma once

#include <windows.h>

#include "common/win/handle.h"
#include "shell/core/key_table.h"
#include "shell/core/menu_rules.h"

struct MenuSet {
    HMENU container = nullptr;
    HMENU popup[kMenuPopupCount] = {};
    // The key table the items were built from, and the labels made from it.
    KeyEntry keys[kMainKeyCount] = {};
    MenuLabelSet* labels = nullptr;
};

struct MenuDrawing {
    BrushHandle light_brush;
    BrushHandle white_brush;
    PenHandle pen_a;
    PenHandle pen_b;
    BrushHandle bar_brush;
    BrushHandle menu_brush;
    FontHandle font;
    COLORREF menu_text = 0;
    COLORREF gray_text = 0;
};

extern MenuSet g_menus;
extern MenuDrawing g_menu_drawing;
