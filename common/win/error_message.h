// The program's error box: a code 0-26 becomes a Japanese message box.
#pragma once

#include <windows.h>

void show_error_message(HWND owner, int code);
