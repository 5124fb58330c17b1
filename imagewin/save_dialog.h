// The save-as dialog of the image windows: the system's save dialog placed under the edit
// window's bars, whose file type chooses the save format.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commdlg.h>
// clang-format on

// Every save dialog of the image windows goes through this routine, so that tests can answer it.
using SaveFileDialogRoutine = BOOL (*)(OPENFILENAMEW* request);
// Installs a replacement (null restores GetSaveFileNameW); returns the previous one.
SaveFileDialogRoutine set_save_file_dialog_routine(SaveFileDialogRoutine routine);
BOOL run_save_file_dialog(OPENFILENAMEW* request);

// The dialog, then save_edit_image_to with the chosen name.
bool save_edit_image_as();

// The dialog's hook: places the dialog's frame and follows the type list.
UINT_PTR CALLBACK save_dialog_hook(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

// How often the frame is moved to its place before the user may move it anyway: a system that
// keeps moving it elsewhere would otherwise get it back forever.
constexpr int kSaveDialogPlaceAttempts = 8;
