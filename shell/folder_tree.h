// The folder tree pane on the left of the main window.
#pragma once

#include <windows.h>

LRESULT CALLBACK tree_pane_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
// Pane (id 400) with the tree and the information list, child of the client window, hidden.
void create_folder_tree_pane(HWND client);
// Puts the tree's items into the tree control.
void fill_folder_tree(HWND tree);
// A shortcut is resolved, a file cut to its folder, and the folder opened in the active view.
void open_path_in_folder_tree(const wchar_t* path);
// Codes 153/154: the information of a FileEntry of that view, or nothing for 0.
void show_entry_info(int view, LPARAM entry);
void restore_subclassed_controls();
bool tree_wants_context_menu();
void clear_tree_drop_target();
// The folder last opened through open_path_in_folder_tree.
const wchar_t* last_opened_folder();
