// UTF-16 path and text helpers for portable code, which never uses wchar_t.
#pragma once

#include <string>

std::u16string utf8_to_utf16(const std::string& text);
std::string utf16_to_utf8(const std::u16string& text);

// Case-insensitive comparison of two UTF-16 strings folding only ASCII letters, which is all
// that file extensions and keywords in this program need.
int compare_ascii_nocase(const std::u16string& a, const std::u16string& b);

// The extension as the shell's path helper finds it: from the last dot of the last path
// element, dot included; a space or separator after the dot voids it; none gives "".
std::u16string path_find_extension(const std::u16string& path);
