// What the main window uses of the subsystems built on top of the shell: the image windows and
// the dialogs and batch jobs. Their libraries depend on the shell, so the shell never calls them
// by name: the program fills this table at start (app/), and every entry it leaves empty keeps
// a stand-in that says that nothing of that subsystem runs.
#pragma once

#include <windows.h>

struct ShellEntryPoints {
    // Image windows.
    WNDPROC edit_window_proc = nullptr;
    // Starts the edit window's thread (code 180); its handle and id become the image-window
    // thread.
    HANDLE (*start_edit_window_thread)(unsigned* thread_id) = nullptr;
    // The window of the running image-window thread, or null.
    HWND (*current_image_window)() = nullptr;
    // The single view's window and bar procedures, and its thread (code 170, and 180 for the
    // edit window) started on the image at `path`: mode 0 window, 1 full screen, 2 slide show.
    WNDPROC view_window_proc = nullptr;
    WNDPROC view_bar_proc = nullptr;
    HANDLE (*start_single_view_thread)(int start_mode, const wchar_t* path, unsigned* thread_id) = nullptr;
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
};

// The table in use: never an empty entry.
const ShellEntryPoints& shell_entry_points();
// Installs `table`; its empty entries take the stand-ins.
void install_shell_entry_points(const ShellEntryPoints& table);
