// Pure rules of the main window and start-up: the OS class, where a saved window lands on the
// screen, how the panes share the client window, digit grouping.
#pragma once

#include <cstdint>
#include <string>

#include "shell/core/settings_slots.h"

// 1 for Windows 5.1, 2 for any 6.x, 3 for a major version of 7 or more, 0 for the rest.
int os_class_for_version(uint32_t major, uint32_t minor);

// A window that is not wholly inside the work area is shrunk to fit it and moved into it.
WindowPlace fit_window_to_work_area(const WindowPlace& window, const ScreenRect& work);

struct PaneRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool visible = false;
};

struct PaneLayout {
    PaneRect view[2];
};

// `views_left` is where the views start: the tree pane's right edge, or 0 when the tree is
// auto-shown. Layout 0 both side by side, 1 view 1 only, 2 view 2 only.
PaneLayout compute_view_layout(int32_t client_width, int32_t client_height, int32_t views_left,
                               int32_t layout);

// "1234567" becomes "1,234,567"; shorter than four digits stays; cut at 255 characters.
void insert_thousands_separators(std::u16string& digits);

// "-1- " or "-2- " and the active view's folder, or "Pexaron" when it has none.
std::u16string main_title_text(int active_view, const std::u16string& folder);
