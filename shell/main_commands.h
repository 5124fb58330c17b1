// The main window's commands and the launchers behind the mouse actions.
#pragma once

#include <windows.h>

void on_main_command(HWND main_window, WPARAM wparam, LPARAM lparam);
// Runs the mouse action `action` (settings slots 14, 15, 382, 383) on view `view`'s marked file.
void run_mouse_action(int view, int action);
