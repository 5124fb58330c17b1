// The undo history of the image window's current image: the system's temporary files for the
// steps, and push, move and clear over EditState with the image windows' boxes.
#pragma once

#include <cstdint>

#include "imagewin/core/undo_history.h"

// Temporary names from the system (prefix "tmp"), files created without sharing and with the
// temporary attribute, read back with shared read.
UndoFileOps& system_undo_file_ops();

// Records the current image as a new step. False after "履歴の保存に失敗しました。": nothing
// is recorded and the image counts as changed.
bool history_push_step(const char16_t* step_name);

// Shows the step `current_step` + `delta`. False when there is none (nothing shown) or after
// "履歴の実行に失敗しました。" (the step and the image stay as they were). `size_changed`
// tells the caller to fit the view anew.
bool history_move(int32_t delta, bool* size_changed);

// Drops every step; the image on show is the one in its file.
void history_clear();
