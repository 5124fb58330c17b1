// The preview window on its own thread: a larger view of the clicked thumbnail.
#pragma once

#include <windows.h>

unsigned __stdcall preview_thread_proc(void*) noexcept;
void remove_preview_hook();

// Remembers the entry of the active view that a left click on a thumbnail cell last offered to
// the preview (whether or not it was sent): a click on the preview acts on that entry.
void set_preview_entry_index(int index);

// Shows `path` larger over `cell`: raises the preview thread to normal priority for the load
// and posts 400 with a request that carries the cell and its own copy of the path, so the
// caller's buffer may change at once. False when nothing was posted: no preview window, or an
// empty path or one of MAX_PATH characters or more.
bool show_preview_for_cell(HWND cell, const wchar_t* path);
