// How a folder and a path relate, as the guards against a running batch conversion and the
// busy-view tests ask it.
#pragma once

#include <string_view>

// 0 when the two are the same text; 1 when the folder with a trailing backslash occurs anywhere
// in the path (case-sensitive, not only at its start); -1 otherwise. An empty folder contains
// nothing: as a bare "\" it would otherwise match every path.
int compare_folder_with_path(std::u16string_view folder, std::u16string_view path);
