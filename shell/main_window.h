// The main window: its frame, panes, hooks and private messages.
#pragma once

#include <windows.h>

#include "shell/core/settings_slots.h"
#include "shell/main_layout.h"

// Creates and shows the main window with the saved place, moved onto the nearest monitor's
// work area when it is not wholly on it.
HWND create_main_window(const WindowPlace& place, int show);
LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
LRESULT CALLBACK client_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
LRESULT CALLBACK main_mouse_hook(int code, WPARAM wparam, LPARAM lparam) noexcept;
LRESULT CALLBACK main_keyboard_hook(int code, WPARAM wparam, LPARAM lparam) noexcept;

void set_main_title();
void main_app_message(WPARAM code, LPARAM value);
// WM_COPYDATA from a second start. The data comes from another process: anything but a
// terminated path of at most 259 characters with data word 0 is refused.
bool receive_forwarded_path(const COPYDATASTRUCT* data);

// The command line whose first argument the start-up tail opens (tests replace it).
void set_startup_command_line(const wchar_t* command_line);
const wchar_t* startup_command_line();
// Whether both views have reported their frames and the start-up tail has run.
bool startup_tail_done();
