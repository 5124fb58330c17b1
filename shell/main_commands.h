// The main window's commands: every menu item, toolbar button, toolbar list and accelerator
// arrives here as WM_COMMAND.
#pragma once

#include <windows.h>

// The command id is the low word of `wparam`, the notification the high word (1 from an
// accelerator); `lparam` is the control of a toolbar list.
// False when the command is unavailable: the entry of the program's table it needs is empty, so
// nothing happened.
bool on_main_command(HWND main_window, WPARAM wparam, LPARAM lparam);
