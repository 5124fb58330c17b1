// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <process.h>
#include <commctrl.h>
// clang-format on

#include "imagewin/edit_window.h"

#include <cstdlib>
#include <string>

#include "common/win/app_messages.h"
#include "common/win/message_loop.h"
#include "imagewin/core/image_commands.h"
#include "imagewin/edit_bars.h"
#include "imagewin/edit_commands.h"
#include "imagewin/edit_history_window.h"
#include "imagewin/edit_menus.h"
#include "imagewin/edit_panes.h"
#include "imagewin/edit_tool_host.h"
#include "imagewin/edit_window_record.h"
#include "imagewin/image_windows.h"
#include "imagewin/save_dialog.h"
#include "shell/launch.h"
#include "shell/main_menus.h"
#include "shell/shell_state.h"

namespace {

// Placement the system keeps moving is tried this many times, then taken as it is.
constexpr int kPlacementAttempts = 3;
// The edit window's entry among the help-at-start flags.
constexpr int kEditHelpFlag = 2;

RECT work_area_near_main() {
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(g_shell.main_window, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info))
        area = info.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// The saved place cut to the work area and moved into it; the cut sizes are stored back.
WindowPlace edit_window_place() {
    WindowPlace& place = g_shell.single_view.edit_window;
    const RECT area = work_area_near_main();
    const int32_t area_width = area.right - area.left;
    const int32_t area_height = area.bottom - area.top;
    if (place.width > area_width) place.width = area_width;
    if (place.height > area_height) place.height = area_height;
    if (place.width <= 0) place.width = area_width * 3 / 4;
    if (place.height <= 0) place.height = area_height * 3 / 4;
    WindowPlace p = place;
    if (p.left < area.left)
        p.left = area.left;
    else if (p.left > area.right - p.width)
        p.left = area.right - p.width;
    if (p.top < area.top)
        p.top = area.top;
    else if (p.top > area.bottom - p.height)
        p.top = area.bottom - p.height;
    return p;
}

void show_edit_view_error_box(HWND window) {
    HWND list = g_edit_state.file_list_window;
    const bool list_shown = list && IsWindowVisible(list);
    if (list_shown) EnableWindow(list, FALSE);
    {
        EditModalScope modal;
        image_window_message_box(window, L"画像の表示に失敗しました。", L"Error",
                                 MB_ICONERROR | MB_SETFOREGROUND);
    }
    if (list_shown) EnableWindow(list, TRUE);
}

void on_size(HWND window, WPARAM kind, LPARAM size) {
    if (kind == SIZE_MINIMIZED) return;
    if (HWND rebar = edit_window_rebar()) {
        // The rebar stays at the client's top, as wide as the client, as high as its rows.
        const int width = LOWORD(size);
        MoveWindow(rebar, 0, 0, width, int(SendMessageW(rebar, RB_GETBARHEIGHT, 0, 0)), TRUE);
        const LRESULT rows = SendMessageW(rebar, RB_GETROWCOUNT, 0, 0);
        if (rows == 1) SendMessageW(rebar, RB_MAXIMIZEBAND, 2, FALSE);
        if (rows == 2) SendMessageW(rebar, RB_MAXIMIZEBAND, 1, FALSE);
    }
    (void)window;
    relayout_edit_panes();
}

void save_placement(HWND window) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return;
    SingleViewSettings& settings = g_shell.single_view;
    const RECT& r = placement.rcNormalPosition;
    settings.edit_window = {int32_t(r.left), int32_t(r.top), int32_t(r.right - r.left),
                            int32_t(r.bottom - r.top)};
    settings.edit_maximised = placement.showCmd == SW_SHOWMAXIMIZED ? 1 : 0;
    if (HWND rebar = edit_window_rebar())
        settings.edit_layout = int32_t(SendMessageW(rebar, RB_GETROWCOUNT, 0, 0));
    settings.save = g_edit_state.save;
}

void ask_reload_changed_file(HWND window) {
    if (history_window() || !edit_image_loaded()) return;
    HWND list = g_edit_state.file_list_window;
    const bool list_shown = list && IsWindowVisible(list);
    if (list_shown) EnableWindow(list, FALSE);
    std::wstring text(reinterpret_cast<const wchar_t*>(g_edit_state.image.file_name));
    text += L" は変更されています。開き直しますか?";
    int answer = IDNO;
    {
        EditModalScope modal;
        answer = image_window_message_box(window, text.c_str(), L"Pexaron",
                                          MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND);
    }
    if (list_shown) EnableWindow(list, TRUE);
    if (answer == IDYES) edit_window_command(window, 8030);
}

void on_edit_activate_app(HWND window, bool active) {
    EditToolHost& host = g_edit_tool;
    if (!active) {
        const int32_t kind = host.kind;
        if (host.pick_mode &&
            (kind == kToolPaint || kind == kToolHueSaturation || kind == kToolColourReplace))
            end_tool_colour_pick(false);
        if (kind == kToolTrimming && host.trimming_state < kTrimmingAdjusting) (void)close_edit_tool(false);
        return;
    }
    if (!edit_image_loaded()) return;
    const ChangeNotificationHandle& change = g_edit_window.folder_change;
    if (change.valid() && WaitForSingleObject(change.get(), 0) == WAIT_OBJECT_0) refresh_image_folder_list();
    // The new time is taken at once: one change asks once. A box raised while the activation is
    // still being handled stops repainting on some systems: the question waits for the queue.
    if (file_time_changed(true) == 1) PostMessageW(window, kAppMessage, kImageAskReload, 0);
}

}  // namespace

EditModalScope::EditModalScope() {
    ++g_edit_window.modal_depth;
}

EditModalScope::~EditModalScope() {
    if (--g_edit_window.modal_depth == 0 && g_edit_window.close_waiting) {
        g_edit_window.close_waiting = false;
        if (g_edit_state.image_window) PostMessageW(g_edit_state.image_window, WM_CLOSE, 0, 0);
    }
}

bool edit_window_modal() {
    return g_edit_window.modal_depth > 0;
}

bool confirm_edit_window_close(HWND window) {
    // A box, the save dialog or a print preview of this window still runs its loop: closing now
    // would free what that loop uses. The close comes again when the last loop ends.
    if (g_edit_window.modal_depth > 0 || !IsWindowEnabled(window)) {
        g_edit_window.close_waiting = true;
        return false;
    }
    if (g_edit_tool.kind) (void)close_edit_tool(false);
    {
        EditModalScope modal;
        const int32_t answer = ask_save_changes();
        if (answer == kSaveAnswerCancel) return false;
        if (answer == kSaveAnswerSaveFirst && !save_edit_image_as()) return false;
    }
    g_edit_window.close_waiting = false;
    history_clear();
    end_save_preview();
    release_current_image();
    drop_edit_selection();
    save_placement(window);
    destroy_navigator_window(g_edit_state.navigator);
    close_tool_option_bar();
    destroy_edit_bars();
    destroy_edit_menus();
    destroy_edit_pane_dcs();
    if (g_edit_state.memory_dc) DeleteDC(g_edit_state.memory_dc);
    g_edit_state.memory_dc = nullptr;
    g_edit_window.folder_change.reset();
    g_edit_state.image.file_name[0] = 0;
    // The next window's list box starts empty: it must list the folder again, not only select.
    g_edit_state.image.folder[0] = 0;
    g_edit_state.image_window = nullptr;
    // The file list is owned by the frame and goes with it.
    g_edit_state.file_list_window = nullptr;
    if (g_shell.main_window) SetForegroundWindow(g_shell.main_window);
    return true;
}

LRESULT CALLBACK edit_keyboard_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    const bool first_press = (lparam & 0xC0000000) == 0;
    if (code != HC_ACTION || !g_edit_tool.hook_armed || !first_press ||
        (wparam != VK_RETURN && wparam != VK_ESCAPE))
        return CallNextHookEx(g_edit_window.keyboard_hook, code, wparam, lparam);
    HWND window = g_edit_state.image_window;
    HWND focus = GetFocus();
    const int32_t focus_id = focus ? GetDlgCtrlID(focus) : 0;
    switch (edit_hook_key(UINT(wparam), focus_id, GetCapture() != nullptr, history_window() != nullptr)) {
        case EditHookKey::apply: edit_window_command(window, 9000); return 1;
        case EditHookKey::cancel: edit_window_command(window, 9001); return 1;
        case EditHookKey::end_pick: end_tool_colour_pick(false); return 1;
        case EditHookKey::save_preview:
            // Taking the focus away commits the field first.
            SetFocus(window);
            edit_window_command(window, 8330);
            return 1;
        case EditHookKey::close_history: SendMessageW(history_window(), WM_CLOSE, 0, 0); return 1;
        case EditHookKey::eat: return 1;
        default: return CallNextHookEx(g_edit_window.keyboard_hook, code, wparam, lparam);
    }
}

namespace {

// With a tool-group popup open, moving onto another group's button closes the popup and opens
// that group's: the move is eaten and the frame presses the button once the menu loop is over.
LRESULT CALLBACK edit_mouse_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    const int32_t open = open_tool_group_popup();
    if (code == HC_ACTION && wparam == WM_MOUSEMOVE && open != -1 && edit_image_loaded()) {
        const auto* mouse = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lparam);
        if (tool_group_button_at(mouse->pt, open) != 0) {
            g_edit_window.group_point = mouse->pt;
            EndMenu();
            PostMessageW(g_edit_state.image_window, kAppMessage, kImagePressToolGroup, 0);
            return 1;
        }
    }
    return CallNextHookEx(g_edit_window.mouse_hook, code, wparam, lparam);
}

void press_tool_group_under_cursor() {
    POINT cursor = {};
    if (!GetCursorPos(&cursor)) return;
    // Where the system keeps the cursor after an eaten move differs between systems: the press
    // goes where the move went.
    if (tool_group_button_at(g_edit_window.group_point, -1) != 0 &&
        (cursor.x != g_edit_window.group_point.x || cursor.y != g_edit_window.group_point.y)) {
        cursor = g_edit_window.group_point;
        SetCursorPos(cursor.x, cursor.y);
    }
    g_edit_window.group_point = {-1, -1};
    if (tool_group_button_at(cursor, -1) == 0) return;
    // A real press and release where the cursor is, so the toolbar drops the popup down itself.
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

}  // namespace

LRESULT CALLBACK edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_CREATE:
            g_edit_state.image_window = window;
            g_edit_state.window_kind = 1;
            build_edit_menus();
            create_edit_panes(window);
            create_edit_bars(window);
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case WM_SIZE: on_size(window, wparam, lparam); return 0;
        case WM_CLOSE:
            if (confirm_edit_window_close(window)) break;
            return 0;
        case WM_ENABLE:
            // A box that disabled the window has ended: a close that came meanwhile goes on.
            if (wparam && g_edit_window.close_waiting && g_edit_window.modal_depth == 0) {
                g_edit_window.close_waiting = false;
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            return 0;
        case WM_COMMAND: edit_window_command_message(window, wparam, lparam); return 0;
        case WM_NOTIFY: return edit_bars_notify(reinterpret_cast<const NMHDR*>(lparam));
        case WM_ACTIVATEAPP: on_edit_activate_app(window, wparam != 0); return 0;
        case WM_INITMENU: update_edit_menu_states(); return 0;
        case WM_EXITMENULOOP: clear_tool_group_popup(); return 0;
        case WM_APP:
            if (wparam == kImageAskReload) {
                ask_reload_changed_file(window);
            } else if (wparam == kImageRemeasure) {
                RECT client = {};
                GetClientRect(window, &client);
                if (!IsIconic(window))
                    on_size(window, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
            } else {
                press_tool_group_under_cursor();
            }
            return 0;
        case WM_MEASUREITEM:
        case WM_DRAWITEM: draw_menu_item(message, lparam); return TRUE;
        case WM_CONTEXTMENU:
            if (g_edit_tool.kind == kToolNone && !g_edit_tool.pick_mode &&
                show_edit_context_menu(first_view_pane(), lparam))
                return 0;
            break;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_MAXIMIZE && edit_tool_holds_view()) return 0;
            break;
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN: SetFocus(window); break;
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN: SetFocus(window); return 0;
        case WM_RBUTTONDOWN:
            SetFocus(window);
            begin_edit_right_drag(first_view_pane(), int16_t(LOWORD(lparam)), int16_t(HIWORD(lparam)));
            return 0;
        case WM_MOUSEMOVE:
            if (wparam == MK_RBUTTON) track_edit_right_drag(int16_t(LOWORD(lparam)), int16_t(HIWORD(lparam)));
            return 0;
        case WM_RBUTTONUP:
            if (end_edit_right_drag()) break;
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lparam) != window) edit_capture_lost();
            return 0;
        case WM_MOUSEWHEEL: {
            if (g_edit_tool.accelerators_suspended) return 0;
            WheelRules rules;
            rules.has_image = edit_image_loaded();
            rules.wheel_mode = g_shell.single_view.wheel_action[2];
            rules.wheel_reversed = g_shell.single_view.wheel_reversed != 0;
            rules.file_switch_refused = g_edit_tool.kind != kToolNone;
            const int32_t id = wheel_command(g_edit_state.view, uint32_t(wparam), rules);
            if (id) edit_window_command(window, id);
            return 0;
        }
        default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

INT_PTR CALLBACK edit_help_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) noexcept {
    int32_t& flag = g_shell.main_settings.help_at_start[kEditHelpFlag];
    if (message == WM_INITDIALOG) {
        CheckDlgButton(dialog, 6771, flag ? BST_UNCHECKED : BST_CHECKED);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        flag = IsDlgButtonChecked(dialog, 6771) == BST_CHECKED ? 0 : 1;
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

namespace {

HWND create_edit_window() {
    g_edit_window.keyboard_hook =
        SetWindowsHookExW(WH_KEYBOARD, edit_keyboard_hook, nullptr, GetCurrentThreadId());
    g_edit_window.mouse_hook = SetWindowsHookExW(WH_MOUSE, edit_mouse_hook, nullptr, GetCurrentThreadId());
    g_edit_tool = EditToolHost{};
    g_edit_tool.pane_mode = kEditPaneFirstOnly;
    g_edit_state.selection.show_selection = true;
    // Before the bars are built: they show these.
    g_edit_state.save = g_shell.single_view.save;
    const WindowPlace place = edit_window_place();
    DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN;
    if (g_shell.single_view.edit_maximised == 1) style |= WS_MAXIMIZE;
    HWND window = CreateWindowExW(0, L"Pexaron_swin_class", nullptr, style, place.left, place.top,
                                  place.width, place.height, nullptr, nullptr, g_shell.instance, nullptr);
    if (!window) return nullptr;
    for (int attempt = 0; attempt < kPlacementAttempts && !(style & WS_MAXIMIZE); ++attempt) {
        RECT r;
        GetWindowRect(window, &r);
        if (r.left == place.left && r.top == place.top && r.right - r.left == place.width &&
            r.bottom - r.top == place.height)
            break;
        SetWindowPos(window, nullptr, place.left, place.top, place.width, place.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const std::u16string path(reinterpret_cast<const char16_t*>(handover_path()));
    if (!path.empty() && load_image_into_edit_state(path)) {
        create_file_list_window();
        refresh_after_image_change(true);
        update_image_window_title();
        create_navigator_window(g_edit_state.navigator, window, L"Pexaron_navi_class", g_shell.instance,
                                NavigatorSource{&g_edit_state.view, g_edit_state.memory_dc});
        if (g_shell.main_settings.help_at_start[kEditHelpFlag]) {
            EditModalScope modal;
            run_modal_dialog(window, 6770, edit_help_dialog_proc, 0);
        }
    } else {
        show_edit_view_error_box(window);
        SendMessageW(window, WM_CLOSE, 0, 0);
    }
    handover_path()[0] = 0;
    return window;
}

// The live table is read for every message: a key customisation may have replaced it.
bool edit_accelerator(MSG* msg) {
    HACCEL keys = g_shell.view_accelerators.get();
    HWND frame = g_edit_state.image_window;
    return !g_edit_tool.accelerators_suspended && keys && frame && TranslateAcceleratorW(frame, keys, msg);
}

// Called from the main thread just before it terminates a thread that did not end in time; the
// thread's own unhooking at its end may run at the same moment, so each hook is taken once.
void remove_edit_window_hooks() {
    if (HHOOK keyboard = static_cast<HHOOK>(InterlockedExchangePointer(
            reinterpret_cast<PVOID volatile*>(&g_edit_window.keyboard_hook), nullptr)))
        UnhookWindowsHookEx(keyboard);
    if (HHOOK mouse = static_cast<HHOOK>(InterlockedExchangePointer(
            reinterpret_cast<PVOID volatile*>(&g_edit_window.mouse_hook), nullptr)))
        UnhookWindowsHookEx(mouse);
}

unsigned __stdcall edit_thread(void*) noexcept {
    set_undo_file_ops(&system_undo_file_ops());
    HWND window = create_edit_window();
    g_edit_window.window = window;
    if (g_edit_window.ready) SetEvent(g_edit_window.ready);
    if (window) pump_thread_messages(edit_accelerator);
    remove_edit_window_hooks();
    g_edit_window.window = nullptr;
    g_edit_state.window_kind = 0;
    PostMessageW(g_shell.main_window, kAppMessage, kMainThreadEnded,
                 reinterpret_cast<LPARAM>(&g_shell.image_thread));
    return 0;
}

HANDLE start_edit_window_thread(unsigned* thread_id) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_edit_window.ready = ready;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, edit_thread, nullptr, 0, thread_id));
    // The caller may close the window at once; it must exist by then.
    if (thread && ready) WaitForSingleObject(ready, 5000);
    g_edit_window.ready = nullptr;
    if (ready) CloseHandle(ready);
    return thread;
}

HWND current_image_window() {
    return g_edit_window.window;
}

// The new system metrics reach the bars and panes through a fresh layout on the window's own
// thread.
void remeasure_edit_window() {
    if (HWND window = g_edit_window.window) PostMessageW(window, kAppMessage, kImageRemeasure, 0);
}

}  // namespace

void fill_image_window_entry_points(ShellEntryPoints* table) {
    table->edit_window_proc = edit_window_proc;
    table->start_edit_window_thread = start_edit_window_thread;
    table->current_image_window = current_image_window;
    table->image_window_modal = edit_window_modal;
    table->edit_help_dialog_proc = edit_help_dialog_proc;
    table->image_window_remeasure = remeasure_edit_window;
    table->remove_image_window_hooks = remove_edit_window_hooks;
}
