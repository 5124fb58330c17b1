// The one table through which the subsystems built on top of the shell reach each other: the
// image windows, the dialogs and batch jobs, and the edit tools. Their libraries depend on the
// shell, so neither the shell nor the image windows call a later subsystem by name: the program
// fills this table at start (app/), each subsystem through a fill function of its own.
//
// An empty entry has one meaning: what it serves is unavailable. A command that needs it is
// greyed in menus and on toolbars, and when it is posted anyway it does nothing visible and its
// dispatcher reports it unavailable. An empty query entry answers that nothing of its subsystem
// runs (no window, no conversion, no text).
#pragma once

#include <windows.h>

struct ExifSummary;
// The edit tools' operations, defined by the image windows' tool host.
struct EditToolTable;

struct ShellEntryPoints {
    // Image windows.
    WNDPROC edit_window_proc = nullptr;
    // Starts the edit window's thread (code 180); its handle and id become the image-window
    // thread.
    HANDLE (*start_edit_window_thread)(unsigned* thread_id) = nullptr;
    // Starts the single view's thread: mode 0 in a window, 1 full screen, 2 full screen with the
    // slide show; it opens handover_path() (shell/launch.h).
    HANDLE (*start_view_window_thread)(int start_mode, unsigned* thread_id) = nullptr;
    // The window of the running image-window thread, or null.
    HWND (*current_image_window)() = nullptr;
    // Whether the image window runs a modal loop (a box, a dialog): closing it now would free
    // what the loop uses, so the program does not close meanwhile. Asked from the main thread.
    bool (*image_window_modal)() = nullptr;
    // The single view's window and bar procedures.
    WNDPROC view_window_proc = nullptr;
    WNDPROC view_bar_proc = nullptr;
    // The image windows' navigator popup and file list.
    WNDPROC navigator_window_proc = nullptr;
    WNDPROC file_list_window_proc = nullptr;
    void (*image_window_remeasure)() = nullptr;
    void (*remove_image_window_hooks)() = nullptr;
    DLGPROC view_help_dialog_proc = nullptr;        // dialog 6750
    DLGPROC edit_help_dialog_proc = nullptr;        // dialog 6770
    DLGPROC slide_show_help_dialog_proc = nullptr;  // dialog 6780

    // The dialogs the image windows open modally over themselves.
    DLGPROC image_comment_dialog_proc = nullptr;  // 5200, parameter 0
    DLGPROC png_text_dialog_proc = nullptr;       // 5300, parameter 0
    DLGPROC exif_dialog_proc = nullptr;           // 5400, parameter 0
    // 5900: the parameter is the std::u16string* of the comment to write; on OK the dialog
    // stores the new text into it and ends with 1.
    DLGPROC comment_create_dialog_proc = nullptr;
    DLGPROC image_print_dialog_proc = nullptr;  // 6400, parameter 0

    // Edit tools: their operations, and the services of theirs the image windows call.
    const EditToolTable* edit_tools = nullptr;

    // Dialogs and batch jobs.
    HWND (*batch_window)() = nullptr;  // the batch conversion window, when its thread has one
    bool (*batch_conversion_running)() = nullptr;
    // Copy the running conversion's input and output folders into MAX_PATH characters (empty
    // when none); the batch thread may change them at any time, so callers keep a copy.
    void (*batch_input_folder)(wchar_t* folder) = nullptr;
    void (*batch_output_folder)(wchar_t* folder) = nullptr;
    void (*free_printer_setup_handles)() = nullptr;
    void (*show_main_operations_help)(HWND owner) = nullptr;  // dialog 6700

    // The dialogs the main window's commands open modally (the dialog's id beside each).
    DLGPROC options_dialog_proc = nullptr;       // 3500; parameter the page shown first
    DLGPROC batch_rename_dialog_proc = nullptr;  // 5000; parameter the view
    DLGPROC comment_dialog_proc = nullptr;       // 5200; parameter the view
    // Dialog 5500, the name dialog: the dialog parameter is view index x 65536 + the command
    // (7021 file rename, 7631 folder rename, any other id folder creation).
    DLGPROC rename_dialog_proc = nullptr;
    DLGPROC display_info_dialog_proc = nullptr;     // 5800; 1 on OK
    DLGPROC thumbnail_print_dialog_proc = nullptr;  // 6300
    DLGPROC mouse_help_dialog_proc = nullptr;       // 6700
    DLGPROC batch_help_dialog_proc = nullptr;       // 6790
    // Acts on the active view's single marked file and shows its own messages.
    void (*set_wallpaper_from_selection)() = nullptr;
    // The batch conversion's thread procedure; its argument is the view index. Its window posts
    // 170 with the address of the shell's batch thread handle when it ends.
    unsigned(__stdcall* batch_conversion_thread)(void* view) = nullptr;
    // The version window, owned and disabled while it is open; null when it cannot be made.
    HWND (*create_version_window)(HWND owner) = nullptr;
    // The twelve display texts of the Exif rows (64 characters each, cleared by the caller),
    // as the Exif shooting-data dialog shows them.
    void (*format_exif_fields)(const ExifSummary* summary, wchar_t (*texts)[64]) = nullptr;

    // The answers of the query entries, an empty entry answering that nothing runs.
    HWND running_image_window() const { return current_image_window ? current_image_window() : nullptr; }
    bool image_window_in_modal_loop() const { return image_window_modal && image_window_modal(); }
    HWND running_batch_window() const { return batch_window ? batch_window() : nullptr; }
    bool conversion_running() const { return batch_conversion_running && batch_conversion_running(); }
    // MAX_PATH characters, empty when no conversion runs.
    void conversion_input_folder(wchar_t* folder) const {
        folder[0] = 0;
        if (batch_input_folder) batch_input_folder(folder);
    }
    void conversion_output_folder(wchar_t* folder) const {
        folder[0] = 0;
        if (batch_output_folder) batch_output_folder(folder);
    }
};

// The table in use; its entries may be empty.
const ShellEntryPoints& shell_entry_points();
void install_shell_entry_points(const ShellEntryPoints& table);

// Whether the entries of the program's table that command `id` needs are filled; menus and
// toolbars grey the commands that are not.
bool main_command_available(int id);
// The procedure of help dialog `dialog` (6700, 6750, 6770, 6780, else 6790), or null.
DLGPROC help_dialog_proc(int dialog);
