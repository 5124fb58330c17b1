// Native build only: stand-ins for the shell services of the browser loader, so that its
// rules run in the native tests.
#include "codecs/file_io.h"
#include "loading/browser_load.h"

// No recycle bin here: the file is removed.
bool browser_recycle_file(const std::u16string& path, OsHandle) {
    return file_delete(path);
}

void browser_show_wait_cursor(bool) {}
