#include "shell/main_layout.h"

#include <windows.h>

#include "shell/core/shell_rules.h"
#include "shell/shell_state.h"

void layout_panes() {
    if (!g_shell.client_window) return;
    RECT client;
    GetClientRect(g_shell.client_window, &client);
    const int w = client.right;
    const int h = client.bottom;
    RECT tree = {0, -30, g_shell.main_settings.tree_width, h + 30};
    AdjustWindowRectEx(&tree, WS_CHILD | WS_CLIPCHILDREN | WS_THICKFRAME, FALSE, WS_EX_DLGMODALFRAME);
    if (g_shell.tree_pane)
        SetWindowPos(g_shell.tree_pane, nullptr, tree.left, tree.top, tree.right - tree.left,
                     tree.bottom - tree.top, SWP_NOZORDER | SWP_NOACTIVATE);
    const int views_left = g_shell.main_settings.tree_auto_show ? 0 : tree.right;
    const PaneLayout layout = compute_view_layout(w, h, views_left, g_shell.main_settings.view_layout);
    for (int i = 0; i < 2; ++i) {
        const PaneRect& r = layout.view[i];
        if (!g_shell.view_frame[i]) continue;
        SetWindowPos(g_shell.view_frame[i], nullptr, r.x, r.y, r.width, r.height,
                     SWP_NOZORDER | SWP_NOACTIVATE | (r.visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
}
