// Stands in for the single view and the brush tools until they are built: nothing is shown,
// and every query answers as when no such window is up.
#include "imagewin/edit_tool_host.h"
#include "imagewin/image_windows.h"

void draw_brush_outline() {}

void show_loaded_image() {
    update_image_window_title();
}

bool single_view_full_screen() {
    return false;
}

void view_end_left_drag(HWND, POINT) {}
void view_mouse_move(HWND, WPARAM, POINT) {}
void view_begin_right_drag(HWND, POINT) {}
void view_end_right_drag(HWND) {}
void view_on_size(HWND, WPARAM, int32_t, int32_t) {}
