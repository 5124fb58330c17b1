// The two thumbnail views, each on a thread of its own, and the watching of their folders.
#pragma once

#include <windows.h>

#include "shell/core/folder_listing.h"

unsigned __stdcall view1_thread_proc(void*) noexcept;
unsigned __stdcall view2_thread_proc(void*) noexcept;
// Removes the hooks of a view thread that is about to be terminated.
void remove_view_hooks(int view);
// Posts clear and refresh to the view after setting its folder.
void open_folder_in_view(int view, const wchar_t* folder);
// Copies the view's folder (empty when it shows none).
void view_folder(int view, wchar_t* folder);
void free_view_file_lists();

void refresh_views_showing(const wchar_t* folder);

// Run by the view's thread for 310: list the folder and build its thumbnails. The code that
// ended it: 0 done, 311 a clear was asked for, 312 a close.
int refresh_view_1();
int refresh_view_2();

// The entry that a selection message (153 / 154) of the view names: null for 0, and null when
// the view's list was cleared or changed since the message was posted.
const FileEntry* entry_of_selection_message(int view, LPARAM value);
