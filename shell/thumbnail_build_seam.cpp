// Stands in for the folder refresh and thumbnail build until they are built: a refresh tells
// the main window it starts, shows the folder and lists nothing, leaving the view cleared.
#include "common/win/app_messages.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_parts.h"

namespace {

int refresh_seam(int view) {
    PostMessageW(g_shell.main_window, kAppMessage, kMainFolderChanged, 0);
    wchar_t folder[MAX_PATH];
    view_folder(view, folder);
    set_view_status_part(view, 3, folder, true);
    clear_view(view);
    return 0;
}

}  // namespace

int refresh_view_1() {
    return refresh_seam(0);
}

int refresh_view_2() {
    return refresh_seam(1);
}
