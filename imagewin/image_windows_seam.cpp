// Stands in for the edit window and the single view until they are built: nothing opens,
// nothing is laid out, and every query answers as when no such window is up.
#include "imagewin/edit_tool_host.h"
#include "imagewin/image_windows.h"

LRESULT CALLBACK colour_box_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(window, message, wparam, lparam);
}

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
