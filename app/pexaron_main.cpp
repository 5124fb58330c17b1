// Entry point of the main program: fills the one table through which the subsystems above the
// shell reach each other, then runs the shell.
#include <windows.h>

#include "imagewin/edit_window_seam.h"
#include "imagewin/single_view.h"
#include "imagewin/tool_host.h"
#include "shell/entry_points.h"
#include "shell/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    ShellEntryPoints table;
    fill_image_window_entry_points(&table);
    fill_single_view_entry_points(&table);
    install_shell_entry_points(table);
    // The tools' operations and one-shot services come with the same table; none is built in
    // yet, so every tool command stays greyed.
    install_edit_tool_table(table.edit_tools);
    return pexaron_main(instance, show);
}
