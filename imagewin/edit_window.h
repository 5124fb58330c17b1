// The edit window: its thread, the frame and its children, the hooks of its thread, closing
// with the changes question, and what the shell reaches of it.
#pragma once

#include <windows.h>

#include "shell/entry_points.h"

LRESULT CALLBACK edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
// The WM_CLOSE decision: false keeps the window (the question was cancelled, a save failed, or
// a modal loop of this window still runs and the close waits for its end).
bool confirm_edit_window_close(HWND window);

// While one is alive a close of the edit window waits: the loop still uses what closing frees.
class EditModalScope {
public:
    EditModalScope();
    ~EditModalScope();
    EditModalScope(const EditModalScope&) = delete;
    EditModalScope& operator=(const EditModalScope&) = delete;
};
// Whether a modal loop of the edit window runs now.
bool edit_window_modal();

// Dialog 6770, the mouse help: its box turns the help at start off.
INT_PTR CALLBACK edit_help_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

// Fills the image-window entries of the shell's table.
void fill_image_window_entry_points(ShellEntryPoints* table);
