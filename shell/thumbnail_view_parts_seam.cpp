// Stands in for the views' cell windows until they are built: the state is kept, no cell is
// ever shown.
#include "shell/thumbnail_view_parts.h"

namespace {
ViewState g_view_states[2];
}

ViewState& view_state(int view) {
    return g_view_states[view & 1];
}
HWND view_frame_window(int) {
    return nullptr;
}
HWND view_base_window(int) {
    return nullptr;
}
void set_view_status_part(int, int, const wchar_t*, bool) {}
void update_view_status_text(int) {}
void create_view_cells(int) {}
void repaint_entry_cells(int, int) {}
void drop_failed_cells(int view, int failed) {
    view_state(view).count -= failed;
}
void clear_view(int view) {
    ViewState& state = view_state(view);
    state.count = 0;
    state.marked_count = 0;
}
void handle_view_message(int, WPARAM, LPARAM) {}
