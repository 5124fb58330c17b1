#include "imagewin/edit_history_window.h"

#include "imagewin/edit_tool_host.h"
#include "imagewin/image_windows.h"
#include "shell/shell_state.h"

namespace {

constexpr int kListId = 712;
HWND g_history = nullptr;

HWND list_of(HWND window) {
    return GetDlgItem(window, kListId);
}

// Moves the history to the chosen line, then shows that step.
void history_select(HWND list) {
    const int selected = int(SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (selected < 0) return;
    const int32_t delta = selected - g_edit_state.history.current_step;
    if (delta == 0) return;
    bool size_changed = false;
    if (history_move(delta, &size_changed)) refresh_after_image_change(false);
    SendMessageW(list, LB_SETCURSEL, WPARAM(g_edit_state.history.current_step), 0);
    update_image_window_title();
}

}  // namespace

LRESULT CALLBACK history_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_SIZE:
            if (HWND list = list_of(window)) MoveWindow(list, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
            return 0;
        case WM_KEYDOWN:
            if (HWND list = list_of(window)) SendMessageW(list, message, wparam, lparam);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wparam) == kListId && HIWORD(wparam) == LBN_SELCHANGE)
                history_select(reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_CLOSE:
            if (g_edit_state.image_window) EnableWindow(g_edit_state.image_window, TRUE);
            g_edit_tool.accelerators_suspended = false;
            g_history = nullptr;
            break;
        default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND create_history_window() {
    if (g_history) return g_history;
    HWND frame = g_edit_state.image_window;
    RECT bars = {};
    if (HWND rebar = edit_window_rebar()) GetWindowRect(rebar, &bars);
    RECT area = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (frame && GetMonitorInfoW(MonitorFromWindow(frame, MONITOR_DEFAULTTONEAREST), &info))
        area = info.rcWork;
    const int x = bars.left - 180 < area.left ? int(area.left) : int(bars.left - 180);
    HWND window = CreateWindowExW(
        WS_EX_TOOLWINDOW, L"Pexaron_hisw_class", L"変更履歴",
        WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
        x, bars.bottom, 180, 300, frame, nullptr, g_shell.instance, nullptr);
    if (!window) return nullptr;
    // The shell registers the class before the image windows exist; the window takes its own
    // procedure here.
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(history_window_proc));
    g_history = window;
    g_edit_tool.accelerators_suspended = true;
    if (frame) EnableWindow(frame, FALSE);
    if (HMENU system = GetSystemMenu(window, FALSE))
        for (UINT position : {5u, 4u, 3u, 0u}) RemoveMenu(system, position, MF_BYPOSITION);
    RECT client;
    GetClientRect(window, &client);
    HWND list = CreateWindowExW(WS_EX_STATICEDGE, L"LISTBOX", nullptr,
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 0, 0,
                                client.right, client.bottom, window,
                                reinterpret_cast<HMENU>(INT_PTR(kListId)), g_shell.instance, nullptr);
    SendMessageW(list, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    for (const UndoStep& step : g_edit_state.history.steps)
        SendMessageW(list, LB_ADDSTRING, 0, LPARAM(reinterpret_cast<const wchar_t*>(step.name.c_str())));
    SendMessageW(list, LB_SETCURSEL, WPARAM(g_edit_state.history.current_step), 0);
    return window;
}

HWND history_window() {
    return g_history;
}
