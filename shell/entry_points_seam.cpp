// The stand-ins behind the entry points of the subsystems not built yet: no image window and no
// batch conversion ever runs, no printer set-up is held and the operations help shows nothing.
#include "shell/entry_points.h"

namespace {

LRESULT CALLBACK no_edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(window, message, wparam, lparam);
}
HANDLE no_edit_window_thread(unsigned*) {
    return nullptr;
}
HANDLE no_single_view_thread(int, const wchar_t*, unsigned*) {
    return nullptr;
}
HWND no_window() {
    return nullptr;
}
bool nothing_runs() {
    return false;
}
void no_folder(wchar_t* folder) {
    folder[0] = 0;
}
void nothing() {}
void no_help(HWND) {}

template <typename F>
void fill(F* entry, F stand_in) {
    if (!*entry) *entry = stand_in;
}

ShellEntryPoints with_stand_ins(ShellEntryPoints t) {
    fill(&t.edit_window_proc, static_cast<WNDPROC>(no_edit_window_proc));
    fill(&t.start_edit_window_thread, no_edit_window_thread);
    fill(&t.current_image_window, no_window);
    fill(&t.view_window_proc, static_cast<WNDPROC>(no_edit_window_proc));
    fill(&t.view_bar_proc, static_cast<WNDPROC>(no_edit_window_proc));
    fill(&t.start_single_view_thread, no_single_view_thread);
    fill(&t.image_window_remeasure, nothing);
    fill(&t.remove_image_window_hooks, nothing);
    fill(&t.batch_window, no_window);
    fill(&t.batch_conversion_running, nothing_runs);
    fill(&t.batch_input_folder, no_folder);
    fill(&t.batch_output_folder, no_folder);
    fill(&t.free_printer_setup_handles, nothing);
    fill(&t.show_main_operations_help, no_help);
    return t;
}

ShellEntryPoints g_table = with_stand_ins(ShellEntryPoints{});

}  // namespace

const ShellEntryPoints& shell_entry_points() {
    return g_table;
}

void install_shell_entry_points(const ShellEntryPoints& table) {
    g_table = with_stand_ins(table);
}
