// What the main window uses of the subsystems built on top of the shell: the image windows and
// the dialogs and batch jobs. Their libraries depend on the shell, so the shell never calls them
// by name: the program fills this table at start (app/), and every entry it leaves empty keeps
// a stand-in that says that nothing of that subsystem runs.
#pragma once

#include <windows.h>

struct ExifSummary;

struct ShellEntryPoints {
    // Image windows.
    WNDPROC edit_window_proc = nullptr;
    // Starts the edit window's thread (code 180); its handle and id become the image-window
    // thread.
    HANDLE (*start_edit_window_thread)(unsigned* thread_id) = nullptr;
    // The window of the running image-window thread, or null.
    HWND (*current_image_window)() = nullptr;
    void (*image_window_remeasure)() = nullptr;
    void (*remove_image_window_hooks)() = nullptr;

    // Dialogs and batch jobs.
    HWND (*batch_window)() = nullptr;  // the batch conversion window, when its thread has one
    bool (*batch_conversion_running)() = nullptr;
    // Copy the running conversion's input and output folders into MAX_PATH characters (empty
    // when none); the batch thread may change them at any time, so callers keep a copy.
    void (*batch_input_folder)(wchar_t* folder) = nullptr;
    void (*batch_output_folder)(wchar_t* folder) = nullptr;
    void (*free_printer_setup_handles)() = nullptr;
    void (*show_main_operations_help)(HWND owner) = nullptr;  // dialog 6700
    // Dialog 5500, the name dialog: the dialog parameter is view index x 65536 + the command
    // (7021 file rename, 7631 folder rename, any other id folder creation).
    DLGPROC rename_dialog_proc = nullptr;
    // The twelve display texts of the Exif rows (64 characters each, cleared by the caller),
    // as the Exif shooting-data dialog shows them.
    void (*format_exif_fields)(const ExifSummary* summary, wchar_t (*texts)[64]) = nullptr;
};

// The table in use: never an empty entry.
const ShellEntryPoints& shell_entry_points();
// Installs `table`; its empty entries take the stand-ins.
void install_shell_entry_points(const ShellEntryPoints& table);
