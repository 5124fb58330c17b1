// What the main window uses of the dialogs and batch jobs.
#pragma once

#include <windows.h>

// The batch conversion window, when its thread exists.
HWND batch_window();
bool batch_conversion_running();
void free_printer_setup_handles();
// Dialog 6700, the operations help of the main window.
void show_main_operations_help(HWND owner);
