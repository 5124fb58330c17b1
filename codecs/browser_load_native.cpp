// Native build only: stand-ins for the shell services of the browser loader, so that its
// rules run in the native tests.
#ifndef _WIN32

#include "codecs/browser_load.h"
#include "codecs/file_io.h"

// No recycle bin here: the file is removed.
bool browser_recycle_file(const std::u16string& path, OsHandle) {
    return file_delete(path);
}

void browser_show_wait_cursor(bool) {}

#endif
