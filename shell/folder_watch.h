// Folder watching of the two views while the program is inactive, and the tests that keep
// commands off the folders of a running batch conversion.
#pragma once

#include <windows.h>

// Closes any watch still open, then watches the folder of each view that shows one for names
// and writes (not its subfolders). A folder that cannot be watched is never reported.
void start_folder_watch();
// Sets each wanted output (null: not wanted) to whether that view's folder changed since
// start_folder_watch, and ends both watches: each watch reports at most once.
void poll_folder_watch(bool* changed1, bool* changed2);
// Ends both watches without asking them; at shutdown.
void close_view_change_notifications();

// compare_folder_with_path of shell/core/path_rules.h for Windows strings.
int compare_folder_with_path(const wchar_t* folder, const wchar_t* path);
// False while a batch conversion runs whose input or output folder is `folder` or lies inside
// it: renaming, deleting or moving the folder would pull it from under the conversion.
bool folder_free_of_conversion(const wchar_t* folder);
// False while a batch conversion runs whose input or output folder is `path`, letter case aside.
bool path_free_of_conversion(const wchar_t* path);
