// Entry point of the main program: fills the one table through which the subsystems above the
// shell reach each other, then runs the shell.
#include <windows.h>

#include "imagewin/edit_window_seam.h"
#include "imagewin/single_view.h"
#include "shell/entry_points.h"
#include "shell/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    ShellEntryPoints table;
    fill_image_window_entry_points(&table);
    fill_single_view_entry_points(&table);
    install_shell_entry_points(table);
    return pexaron_main(instance, show);
}
