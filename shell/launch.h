// Launching from the thumbnail views: the image windows (one at a time, on a thread of their
// own), the stand-alone viewer, the associated program, the external tools, the properties
// sheet and the comment dialog; and the reopening of a view's folder.
#pragma once

#include <windows.h>

#include "shell/core/command_rules.h"

// The full path the image window opens first (MAX_PATH characters, empty when none). The
// batch conversion reads its input folder from it when it starts.
wchar_t* handover_path();

// Whether an image-window thread runs (its handle is held until code 170 reaps it).
bool image_window_running();

// The mouse action `action` (settings slots 14, 15, 382, 383) on entry `entry` of view `view`;
// a negative entry means the view's first marked entry.
void run_mouse_action(int action, int view, int entry);
// Mode 0 single view in a window, 1 full screen, 2 edit window. Nothing while an image window
// runs or when the entry's path would not fit; true when the thread started.
bool open_image_window(int view, int mode, int entry);
bool start_slide_show();
void open_with_associated_program(int view);
void run_external_tool(int view, int tool);
void start_viewer_processes(int view);
void show_comment_dialog();
void show_properties();
// Clears the view and lists its folder again; with `refresh` from the top of the list.
void open_view_folder(int refresh, int view);
// After the program was inactive or a dialog changed files: reopens the views whose folders
// changed meanwhile.
void recheck_view_folders();

// The size of a thumbnail cell and of its caption, shared by both views; set from the box
// size and the caption settings before a view is told to lay out or list again.
void recompute_cell_size();
CellSize view_cell_size();
int32_t view_caption_height();

// Where Qelvo.exe is looked for: the folder of the program's own file unless tests name
// another (null restores it).
void set_viewer_folder(const wchar_t* folder);

// Every modal dialog of the commands runs through this routine, so that tests can answer them.
// A dialog whose procedure is an empty entry of the program's table is never created: the
// routine returns kDialogUnavailable, a value no dialog ends with and no failure.
constexpr INT_PTR kDialogUnavailable = -2;
using ModalDialogRunner = INT_PTR (*)(HWND owner, int dialog_id, DLGPROC procedure, LPARAM parameter);
INT_PTR run_modal_dialog(HWND owner, int dialog_id, DLGPROC procedure, LPARAM parameter);
// Installs a replacement (null restores DialogBoxParamW); returns the previous one.
ModalDialogRunner set_modal_dialog_runner(ModalDialogRunner runner);
