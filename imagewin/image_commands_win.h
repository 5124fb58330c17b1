// The image windows' commands on the current image or file as a whole (clipboard, colour count,
// delete and move on) and the shared command helpers (external tools, the save question, the
// dialogs of the current file).
#pragma once

#include <windows.h>

#include <cstdint>

#include "imagewin/core/image_commands.h"

// A box of the image windows: the file list window disabled meanwhile, and in the single view
// the cursor made visible first. Through the program's replaceable box routine.
int image_window_message_box(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

// The dialogs the image windows open (5200, 5300, 5400, 5900, 6400) take their procedures from
// the program's table (shell/entry_points.h) and go through one replaceable routine, so that
// tests answer them. Returns the dialog's result, below 0 when it could not be created, and
// kDialogUnavailable (shell/launch.h), with nothing shown, when its procedure is an empty entry.
// The image window counts as inside a modal loop meanwhile.
using ImageDialogRunner = INT_PTR (*)(int32_t dialog_id, HWND owner, LPARAM param);
INT_PTR run_image_dialog(int32_t dialog_id, HWND owner, LPARAM param);
// Installs a replacement (null restores the default); returns the previous one.
ImageDialogRunner set_image_dialog_runner(ImageDialogRunner runner);

// Whether the entries of the program's table that image-window command `id` needs are filled for
// the current image; the menus and bars grey the commands that are not, and the dispatchers do
// nothing for them.
bool image_command_available(int32_t id);

// Command 8320: the image as CF_DIB; nothing is shown when the clipboard cannot be opened.
void copy_image_to_clipboard();
// Command 8321 (edit window): the clipboard's bitmap as a new image without a file; false when
// the user stopped at the save question or the clipboard holds no usable bitmap.
bool paste_clipboard_image();
// Command 8311: the number of colours in use, or "データ読み取りに失敗しました。".
void show_colour_count();

constexpr int32_t kDeleteNothing = 0;
constexpr int32_t kDeleteNextLoaded = 1;
constexpr int32_t kDeleteFolderEmpty = 2;
// Command 8050: the current file to the recycle bin, then the next file of the list.
int32_t delete_current_file_and_advance();

// Commands 7311-7318.
void run_external_tool_on_image(int32_t id);
// kSaveAnswerCancel, kSaveAnswerGoOn (also when nothing changed) or kSaveAnswerSaveFirst.
int32_t ask_save_changes();
// Commands 8060, 8061 and 8070.
void show_comment_dialog_for_image();
void show_text_data_for_image();
void show_print_preview_for_image();
// Command 8670 of the edit window: a comment written with the saved file goes off; otherwise
// dialog 5900 edits the comment and OK with a text turns it on. The save bar follows.
void toggle_comment_insertion();
