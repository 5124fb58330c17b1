// The edit window's commands: the one WM_COMMAND handler that menus, keys, bars, tool panels,
// the keyboard hook, the wheel and the middle button all end in.
#pragma once

#include <windows.h>

#include "imagewin/core/edit_window_rules.h"

// What the command-state table needs to know of the edit window now.
EditCommandContext current_edit_command_context();

// WM_COMMAND of the edit window: `wparam` carries the id (low word) and the notification.
void edit_window_command_message(HWND window, WPARAM wparam, LPARAM lparam);
