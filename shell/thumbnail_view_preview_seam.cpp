// Stands in for the preview window's request calls until the preview window is built: the
// request is posted to whatever window the preview thread shows.
#include "common/win/app_messages.h"
#include "shell/preview_window.h"
#include "shell/shell_state.h"

void set_preview_entry_index(int) {}

bool show_preview_for_cell(HWND cell, const wchar_t* path) {
    HWND preview = g_shell.preview_window;
    if (!preview || !path || !path[0]) return false;
    return PostMessageW(preview, kAppMessage, kPreviewShow, reinterpret_cast<LPARAM>(cell)) != 0;
}
