// The edit window's change-history window: one line per undo step; choosing a line moves the
// history there.
#pragma once

#include <windows.h>

// Command 8403: opens the window under the bars; the edit window is disabled while it is up.
HWND create_history_window();
// The window while it is open, or null.
HWND history_window();
LRESULT CALLBACK history_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
