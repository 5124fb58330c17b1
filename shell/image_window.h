// The image windows (single view, edit window) as the main window sees them.
#pragma once

#include <windows.h>

// Window procedure of the edit window's class.
LRESULT CALLBACK edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
// Starts the edit window's thread (code 180); its handle and id become the image-window thread.
HANDLE start_edit_window_thread(unsigned* thread_id);
// The image window of the running image-window thread, or null.
HWND current_image_window();
void image_window_remeasure();
void remove_image_window_hooks();
