// Stands in for the main window's commands until they are built: the exit command and the
// three view layouts work; the rest do nothing.
#include "shell/main_commands.h"
#include "shell/main_window.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"

void on_main_command(HWND main_window, WPARAM wparam, LPARAM) {
    switch (LOWORD(wparam)) {
        case kCmdExit: PostMessageW(main_window, WM_CLOSE, 0, 0); break;
        case kCmdLayoutBoth:
        case kCmdLayoutView1:
        case kCmdLayoutView2:
            g_shell.main_settings.view_layout = LOWORD(wparam) - kCmdLayoutBoth;
            layout_panes();
            break;
        default: break;
    }
}

void run_mouse_action(int, int) {}
