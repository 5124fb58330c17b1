#include "imagewin/save_window_seam.h"

#include "imagewin/edit_state.h"

void update_format_list() {}

void update_bit_depth_list() {}

void update_save_bar() {}

void repaint_edited_pane() {
    if (g_edit_state.image_window) InvalidateRect(g_edit_state.image_window, nullptr, FALSE);
}
