// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "loading/browser_load.h"

bool browser_recycle_file(const std::u16string& path, OsHandle owner) {
    // The shell wants a double-zero-terminated list.
    std::u16string list = path;
    list.push_back(u'\0');
    list.push_back(u'\0');
    SHFILEOPSTRUCTW op = {};
    op.hwnd = reinterpret_cast<HWND>(owner);
    op.wFunc = FO_DELETE;
    op.pFrom = reinterpret_cast<const wchar_t*>(list.c_str());
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

void browser_show_wait_cursor(bool waiting) {
    SetCursor(LoadCursorW(nullptr, waiting ? IDC_WAIT : IDC_ARROW));
}
