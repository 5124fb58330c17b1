// Stands in for the edit window and the single view until they are built: nothing opens,
// nothing is laid out, and every query answers as when no such window is up.
#include "imagewin/edit_tool_host.h"
#include "imagewin/image_windows.h"

LRESULT CALLBACK edit_keyboard_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK tool_band_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK colour_box_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK edit_pane_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(window, message, wparam, lparam);
}

void create_tool_option_bar() {}
void close_tool_option_bar() {}
void set_tool_band_child(HWND, const wchar_t*) {}
void set_tool_group_buttons_state(int32_t) {}
void set_edit_pane_mode(int32_t mode) {
    g_edit_tool.pane_mode = mode;
}
void layout_edit_panes(int32_t, int32_t, bool) {}
void update_edit_toolbar_states() {}
void update_view_options_buttons() {}
void set_zoom_controls_enabled(bool, UINT) {}

void refresh_after_image_change(bool) {
    update_image_window_title();
}

void draw_brush_outline() {}

HWND edit_window_rebar() {
    return nullptr;
}

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
