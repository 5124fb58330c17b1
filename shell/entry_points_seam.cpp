// The stand-ins behind the entry points of the subsystems not built yet: no image window and no
// batch conversion ever runs, no printer set-up is held, the operations help shows nothing, the
// name dialog closes at once and Exif values stay empty. Any other dialog without its procedure is
// never created, as when its resource is missing.
#include "common/win/app_messages.h"
#include "shell/entry_points.h"
#include "shell/shell_state.h"

namespace {

LRESULT CALLBACK no_edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(window, message, wparam, lparam);
}
HANDLE no_edit_window_thread(unsigned*) {
    return nullptr;
}
HANDLE no_view_window_thread(int, unsigned*) {
    return nullptr;
}
INT_PTR CALLBACK no_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM) noexcept {
    if (message == WM_INITDIALOG) EndDialog(dialog, -1);
    return FALSE;
}
// Ends at once and reports its end as the batch window does, so that the shell's handle is
// closed and a later conversion can start.
unsigned __stdcall no_batch_conversion(void*) noexcept {
    if (g_shell.main_window)
        PostMessageW(g_shell.main_window, kAppMessage, kMainThreadEnded,
                     reinterpret_cast<LPARAM>(&g_shell.batch_thread));
    return 0;
}
HWND no_version_window(HWND) {
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
INT_PTR CALLBACK closing_dialog_proc(HWND dialog, UINT message, WPARAM, LPARAM) noexcept {
    if (message == WM_INITDIALOG) EndDialog(dialog, 0);
    return FALSE;
}
void no_exif_texts(const ExifSummary*, wchar_t (*)[64]) {}

template <typename F>
void fill(F* entry, F stand_in) {
    if (!*entry) *entry = stand_in;
}

ShellEntryPoints with_stand_ins(ShellEntryPoints t) {
    fill(&t.edit_window_proc, static_cast<WNDPROC>(no_edit_window_proc));
    fill(&t.start_edit_window_thread, no_edit_window_thread);
    fill(&t.current_image_window, no_window);
    fill(&t.image_window_modal, nothing_runs);
    fill(&t.view_window_proc, static_cast<WNDPROC>(no_edit_window_proc));
    fill(&t.view_bar_proc, static_cast<WNDPROC>(no_edit_window_proc));
    fill(&t.navigator_window_proc, static_cast<WNDPROC>(no_edit_window_proc));
    fill(&t.file_list_window_proc, static_cast<WNDPROC>(no_edit_window_proc));
    fill(&t.image_window_remeasure, nothing);
    fill(&t.remove_image_window_hooks, nothing);
    fill(&t.batch_window, no_window);
    fill(&t.batch_conversion_running, nothing_runs);
    fill(&t.batch_input_folder, no_folder);
    fill(&t.batch_output_folder, no_folder);
    fill(&t.free_printer_setup_handles, nothing);
    fill(&t.show_main_operations_help, no_help);
    fill(&t.rename_dialog_proc, static_cast<DLGPROC>(closing_dialog_proc));
    fill(&t.format_exif_fields, no_exif_texts);
    fill(&t.start_view_window_thread, no_view_window_thread);
    for (DLGPROC* dialog :
         {&t.view_help_dialog_proc, &t.edit_help_dialog_proc, &t.slide_show_help_dialog_proc,
          &t.options_dialog_proc, &t.batch_rename_dialog_proc, &t.comment_dialog_proc, &t.rename_dialog_proc,
          &t.display_info_dialog_proc, &t.thumbnail_print_dialog_proc, &t.mouse_help_dialog_proc,
          &t.batch_help_dialog_proc})
        fill(dialog, static_cast<DLGPROC>(no_dialog_proc));
    fill(&t.set_wallpaper_from_selection, nothing);
    fill(&t.batch_conversion_thread, static_cast<unsigned(__stdcall*)(void*)>(no_batch_conversion));
    fill(&t.create_version_window, no_version_window);
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
