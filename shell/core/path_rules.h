// How a folder and a path relate, as the guards against a running batch conversion and the
// busy-view tests ask it. Paths compare as the file system compares them: without case.
#pragma once

#include <string_view>

// The character as the file system's case-blind comparison sees it: its capital where it has one.
// A table of its own instead of the system's, so that both builds agree: ASCII, Latin-1, Latin
// Extended-A, basic Greek and Cyrillic, and the full-width Latin letters. Letters outside those
// blocks compare as they are, so two names that differ only there count as different.
char16_t path_upper_char(char16_t c);

// The two texts name the same path, letter case aside.
bool same_path_text(std::u16string_view a, std::u16string_view b);

// 0 when the two are the same path; 1 when the folder with a trailing backslash occurs anywhere
// in the path (not only at its start); -1 otherwise. Case is ignored throughout. An empty folder
// contains nothing: as a bare "\" it would otherwise match every path.
int compare_folder_with_path(std::u16string_view folder, std::u16string_view path);
