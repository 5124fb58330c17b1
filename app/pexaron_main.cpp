// Entry point of the main program: joins the subsystems the shell reaches only through its table
// of entry points, then runs the shell.
#include <windows.h>

#include "imagewin/edit_window_seam.h"
#include "imagewin/single_view.h"
#include "shell/entry_points.h"
#include "shell/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    ShellEntryPoints entry_points;
    fill_image_window_entry_points(&entry_points);
    fill_single_view_entry_points(&entry_points);
    install_shell_entry_points(entry_points);
    return pexaron_main(instance, show);
}
