// The program's error box: a code 0-26 becomes a Japanese message box. Codes 0-24 are errors
// ("Error", error icon), 25 and 26 warnings captioned with the program's name. Worker threads
// never call this: they post kMainShowError with the code to the main window.
#pragma once

#include <windows.h>

constexpr int kErrorCodeCount = 27;

// The caller guarantees 0 <= code <= 26. Returns the box's result.
int show_error_message(HWND owner, int code);
// The posting form's handler: any code outside the table gives "Error" / "Error".
int show_posted_error(HWND owner, LPARAM code);

const wchar_t* error_message_text(int code);
