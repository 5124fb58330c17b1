// Every message box of the program goes through this routine, so that tests can answer them.
#pragma once

#include <windows.h>

using MessageBoxHook = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

int app_message_box(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

// Installs a replacement (null restores MessageBoxW); returns the previous one.
MessageBoxHook set_message_box_hook(MessageBoxHook hook);
