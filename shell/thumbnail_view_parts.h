// What the folder refresh and the thumbnail build of a view use of the view's windows. Every
// function runs on the view's own thread (view 0 or 1) unless it says otherwise.
#pragma once

#include <windows.h>

#include "shell/core/folder_listing.h"

// The view's list, count, marks, folder and busy word. The main thread may read it and write
// only what the views' rules allow (the folder, the first visible index, before 311 and 310).
ViewState& view_state(int view);
HWND view_frame_window(int view);
HWND view_base_window(int view);

// Status bar part 0-3; with as_tip the text also becomes the part's tip.
void set_view_status_part(int view, int part, const wchar_t* text, bool as_tip);
// Part 2 = marked "/" total (empty without entries), as text and tip.
void update_view_status_text(int view);

// Lays the cells out for the entries published in view_state(view), scroll position 0.
void create_view_cells(int view);
// Repaints the thumbnail and caption cells of one entry (nothing when it is not on screen).
void repaint_entry_cells(int view, int index);
// Drops the last `failed` entries' cells, lowers the count by failed, scrolls to the top and
// repaints the base.
void drop_failed_cells(int view, int failed);
// Clears the view as the clear message does: cells, thumbnails and entries freed, counts 0,
// selection message to the main window, scroll range reset, status text.
void clear_view(int view);
// Activation (300), repaint (302) and scroll (304), served in the middle of a build.
void handle_view_message(int view, WPARAM code, LPARAM value);
