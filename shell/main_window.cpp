#include "shell/main_window.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>
// clang-format on

#include <string>

#include "common/win/app_messages.h"
#include "common/win/error_message.h"
#include "shell/core/shell_rules.h"
#include "shell/entry_points.h"
#include "shell/folder_tree.h"
#include "shell/folder_watch.h"
#include "shell/launch.h"
#include "shell/main_commands.h"
#include "shell/main_layout.h"
#include "shell/main_menus.h"
#include "shell/main_rebar.h"
#include "shell/shell_helpers.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"
#include "shell/shutdown.h"
#include "shell/thumbnail_view.h"

namespace {

constexpr int kMenuButtons = kMenuBarButtonCount;

bool g_tail_done = false;
std::wstring g_command_line;
bool g_command_line_set = false;

int rebar_bottom() {
    if (!g_shell.rebar) return 0;
    RECT rc;
    GetWindowRect(g_shell.rebar, &rc);
    return rc.bottom - rc.top;
}

void place_client_window() {
    if (!g_shell.client_window) return;
    RECT rc;
    GetClientRect(g_shell.main_window, &rc);
    const int top = rebar_bottom();
    MoveWindow(g_shell.client_window, 0, top, rc.right, rc.bottom - top > 0 ? rc.bottom - top : 0, TRUE);
}

void first_argument_long_form(wchar_t* out) {
    out[0] = 0;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(startup_command_line(), &count);
    if (!args) return;
    if (count >= 2 && lstrlenW(args[1]) < MAX_PATH) {
        const DWORD n = GetLongPathNameW(args[1], out, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) lstrcpynW(out, args[1], MAX_PATH);
    }
    LocalFree(args);
}

void run_startup_tail() {
    g_tail_done = true;
    layout_panes();
    wchar_t path[MAX_PATH];
    first_argument_long_form(path);
    if (path[0]) open_path_in_folder_tree(path);
    if (g_shell.main_settings.help_at_start[0] && shell_entry_points().show_main_operations_help)
        shell_entry_points().show_main_operations_help(g_shell.main_window);
}

void click_hot_menu_button() {
    POINT cursor;
    GetCursorPos(&cursor);
    POINT local = cursor;
    ScreenToClient(g_shell.menu_toolbar, &local);
    const LRESULT hit = SendMessageW(g_shell.menu_toolbar, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&local));
    if (hit >= 0 && hit < kMenuButtons) {
        mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    }
}

// The two ends wrap round over the five buttons.
void move_hot(int step) {
    int hot = menu_bar_hot();
    hot = hot < 0 ? 0 : (hot + step + kMenuButtons) % kMenuButtons;
    set_menu_bar_hot(hot);
}

void leave_menu_keyboard_mode() {
    set_menu_bar_hot(-1);
    g_shell.menu_keyboard_mode = false;
}

// Id 0 (activation going to no thread at all) is never ours, even while a thread is not running.
bool is_own_ui_thread(DWORD thread_id) {
    if (thread_id == 0) return false;
    return thread_id == g_shell.main_thread_id || thread_id == g_shell.view_thread_id[0] ||
           thread_id == g_shell.view_thread_id[1] || thread_id == g_shell.preview_thread_id;
}

}  // namespace

void set_startup_command_line(const wchar_t* command_line) {
    g_command_line_set = command_line != nullptr;
    g_command_line = command_line ? command_line : L"";
}

const wchar_t* startup_command_line() {
    return g_command_line_set ? g_command_line.c_str() : GetCommandLineW();
}

bool startup_tail_done() {
    return g_tail_done;
}

HWND create_main_window(const WindowPlace& place, int show) {
    RECT wanted = {place.left, place.top, place.left + place.width, place.top + place.height};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    WindowPlace fitted = place;
    if (GetMonitorInfoW(MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& w = monitor.rcWork;
        fitted = fit_window_to_work_area(place, ScreenRect{w.left, w.top, w.right, w.bottom});
    }
    g_tail_done = false;
    HWND window = CreateWindowExW(WS_EX_APPWINDOW, L"Pexaron_main_class", L"Pexaron",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, fitted.left, fitted.top,
                                  fitted.width, fitted.height, nullptr, nullptr, g_shell.instance, nullptr);
    if (!window) return nullptr;
    if (show == SW_SHOWNORMAL || show == SW_SHOW)
        show = g_shell.main_settings.maximised ? SW_MAXIMIZE : SW_SHOWNORMAL;
    ShowWindow(window, show);
    UpdateWindow(window);
    return window;
}

void set_main_title() {
    wchar_t folder[MAX_PATH];
    const int active = g_shell.active_view ? 1 : 0;
    view_folder(active, folder);
    const std::u16string title = main_title_text(active, u16(folder));
    if (g_shell.main_window) SetWindowTextW(g_shell.main_window, wide(title));
}

bool receive_forwarded_path(const COPYDATASTRUCT* data) {
    if (g_shell.view_busy[0] || g_shell.view_busy[1]) return false;
    if (!data || data->dwData != 0 || !data->lpData) return false;
    const DWORD bytes = data->cbData;
    if (bytes < 4 || bytes % 2 != 0 || bytes > MAX_PATH * sizeof(wchar_t)) return false;
    const wchar_t* text = static_cast<const wchar_t*>(data->lpData);
    const size_t units = bytes / 2;
    // Exactly one terminator, at the end: an embedded NUL means the count and the text disagree.
    size_t length = 0;
    while (length < units && text[length]) ++length;
    if (length != units - 1) return false;
    wchar_t path[MAX_PATH];
    lstrcpynW(path, text, MAX_PATH);
    open_path_in_folder_tree(path);
    return true;
}

void main_app_message(WPARAM code, LPARAM value) {
    switch (code) {
        case kMainView1Frame:
        case kMainView2Frame:
            g_shell.view_frame[code - kMainView1Frame] = reinterpret_cast<HWND>(value);
            if (g_shell.view_frame[0] && g_shell.view_frame[1] && !g_tail_done) run_startup_tail();
            break;
        case kMainOpenHotMenu: {
            const int hot = menu_bar_hot();
            if (hot >= 0 && hot < kMenuButtons) open_menu_bar_menu(hot);
            break;
        }
        case kMainHotPrevious: move_hot(-1); break;
        case kMainHotNext: move_hot(1); break;
        case kMainOpenMenuFirst:
        case kMainOpenMenuFirst + 1:
        case kMainOpenMenuFirst + 2:
        case kMainOpenMenuFirst + 3:
        case kMainOpenMenuLast:
            set_menu_bar_hot(static_cast<int>(value));
            open_menu_bar_menu(static_cast<int>(code - kMainOpenMenuFirst));
            break;
        case kMainClickHotButton: click_hot_menu_button(); break;
        case kMainThumbMenu: {
            POINT p = {static_cast<short>(LOWORD(value)), static_cast<short>(HIWORD(value))};
            show_thumbnail_menu(p);
            break;
        }
        // The entry the view reports is in lParam.
        case kMainActionImage1:
        case kMainActionImage2:
            run_mouse_action(g_shell.main_settings.action_image_double,
                             static_cast<int>(code - kMainActionImage1), static_cast<int>(value));
            break;
        case kMainActionInfo1:
        case kMainActionInfo2:
            run_mouse_action(g_shell.main_settings.action_info_double,
                             static_cast<int>(code - kMainActionInfo1), static_cast<int>(value));
            break;
        case kMainBothImage1:
        case kMainBothImage2:
            run_mouse_action(g_shell.main_settings.action_image_both,
                             static_cast<int>(code - kMainBothImage1), static_cast<int>(value));
            break;
        case kMainBothInfo1:
        case kMainBothInfo2:
            run_mouse_action(g_shell.main_settings.action_info_both, static_cast<int>(code - kMainBothInfo1),
                             static_cast<int>(value));
            break;
        case kMainFilesDropped: {
            HDROP drop = reinterpret_cast<HDROP>(value);
            wchar_t path[MAX_PATH] = {};
            const UINT n = DragQueryFileW(drop, 0, path, MAX_PATH);
            DragFinish(drop);
            SetForegroundWindow(g_shell.main_window);
            if (n) open_path_in_folder_tree(path);
            break;
        }
        case kMainToolbarChecks: update_toolbar_checks(); break;
        case kMainFolderChanged: set_main_title(); break;
        case kMainAutoTree:
            g_shell.auto_tree_visible = value == 1;
            if (g_shell.tree_pane) ShowWindow(g_shell.tree_pane, value == 1 ? SW_SHOW : SW_HIDE);
            break;
        case kMainActiveView:
            set_main_title();
            tree_active_view_changed();
            break;
        case kMainDragStarts: tree_pane_drag_starts(); break;
        case kMainInfo1:
        case kMainInfo2: {
            const int view = static_cast<int>(code - kMainInfo1);
            show_entry_info(view, reinterpret_cast<LPARAM>(entry_of_selection_message(view, value)));
            break;
        }
        case kMainShowError: show_posted_error(g_shell.main_window, value); break;
        case kMainThreadEnded: {
            KernelHandle* thread = reinterpret_cast<KernelHandle*>(value);
            if (thread && thread->valid() &&
                wait_for_thread(thread->get(), 1000, nullptr) != ThreadWait::left_running)
                thread->reset();
            break;
        }
        case kMainOpenEditWindow:
            if (!g_shell.image_thread.valid())
                g_shell.image_thread.reset(
                    shell_entry_points().start_edit_window_thread(&g_shell.image_thread_id));
            break;
        case kMainFolderConverted:
            refresh_views_showing(reinterpret_cast<const wchar_t*>(value));
            tree_mark_parent_expandable(reinterpret_cast<const wchar_t*>(value));
            break;
        default: break;
    }
}

LRESULT CALLBACK client_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_SIZE) {
        layout_panes();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_CREATE: {
            g_shell.main_window = window;
            create_rebar(window);
            RECT rc;
            GetClientRect(window, &rc);
            const int top = rebar_bottom() + 1;
            g_shell.client_window = CreateWindowExW(
                0, L"Pexaron_client_class", nullptr,
                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, top, rc.right,
                rc.bottom - top > 0 ? rc.bottom - top : 0, window,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kClientId)), g_shell.instance, nullptr);
            create_folder_tree_pane(g_shell.client_window);
            set_main_title();
            if (!g_shell.main_settings.tree_auto_show && g_shell.tree_pane)
                ShowWindow(g_shell.tree_pane, SW_SHOW);
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case WM_NCDESTROY:
            g_shell.main_window = nullptr;
            g_shell.client_window = nullptr;
            g_shell.rebar = nullptr;
            g_shell.menu_toolbar = nullptr;
            g_shell.tree_pane = nullptr;
            g_shell.tree = nullptr;
            g_shell.info_list = nullptr;
            g_shell.view_frame[0] = g_shell.view_frame[1] = nullptr;
            break;
        case WM_SIZE:
            if (wparam == SIZE_MINIMIZED) break;
            if (g_shell.rebar) {
                SendMessageW(g_shell.rebar, WM_SIZE, wparam, lparam);
                if (SendMessageW(g_shell.rebar, RB_GETROWCOUNT, 0, 0) == 1)
                    SendMessageW(g_shell.rebar, RB_MAXIMIZEBAND, 1, 0);
            }
            place_client_window();
            if (wparam == SIZE_MAXIMIZED) g_shell.main_settings.maximised = 1;
            if (wparam == SIZE_RESTORED) g_shell.main_settings.maximised = 0;
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wparam) != WA_INACTIVE) {
                InterlockedExchange(&g_shell.main_active, 1);
            } else {
                InterlockedExchange(&g_shell.main_active, 0);
                g_shell.menu_keyboard_mode = false;
                clear_menu_bar_hover();
            }
            break;
        case WM_CLOSE:
            if (shutdown_main_window()) DestroyWindow(window);
            return 0;
        case WM_WININICHANGE:
            measure_screen();
            rebuild_menu_gdi_objects();
            if (shell_entry_points().running_image_window() && shell_entry_points().image_window_remeasure)
                shell_entry_points().image_window_remeasure();
            break;
        case WM_ACTIVATEAPP:
            if (wparam) {
                recheck_view_folders();
            } else if (!is_own_ui_thread(static_cast<DWORD>(lparam))) {
                start_folder_watch();
            }
            break;
        case WM_DRAWITEM:
        case WM_MEASUREITEM: draw_menu_item(message, lparam); return 1;
        case WM_COPYDATA: receive_forwarded_path(reinterpret_cast<const COPYDATASTRUCT*>(lparam)); return 1;
        case WM_NOTIFY: {
            NMHDR* header = reinterpret_cast<NMHDR*>(lparam);
            if (header->idFrom == kRebarId && header->code == RBN_HEIGHTCHANGE) {
                place_client_window();
            } else if (header->idFrom == kMenuBarId && header->code == TBN_DROPDOWN) {
                const int button = reinterpret_cast<NMTOOLBARW*>(lparam)->iItem;
                const int index = (button - kMenuBarFirstButton) / kMenuBarButtonStep;
                if (button >= kMenuBarFirstButton &&
                    (button - kMenuBarFirstButton) % kMenuBarButtonStep == 0 && index < kMenuBarButtonCount)
                    main_app_message(kMainOpenMenuFirst + index, index);
            } else if ((header->idFrom == kMenuBarId || header->idFrom == kMainToolbarId) &&
                       header->code == NM_CUSTOMDRAW) {
                return menu_bar_custom_draw(header);
            }
            return 0;
        }
        case WM_CONTEXTMENU:
            if (tree_wants_context_menu() && g_shell.tree_pane) {
                PostMessageW(g_shell.tree_pane, WM_CONTEXTMENU, wparam, lparam);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN:
            if (g_shell.preview_window) PostMessageW(g_shell.preview_window, kAppMessage, kPreviewHide, 0);
            SetFocus(window);
            break;
        case WM_COMMAND: (void)on_main_command(window, wparam, lparam); return 0;
        case WM_INITMENUPOPUP: init_menu_popup(reinterpret_cast<HMENU>(wparam)); return 0;
        case WM_EXITMENULOOP: g_shell.open_menu = -1; return 0;
        case kAppMessage:
            if (wparam >= kMainFirstCode && wparam <= kMainLastCode) main_app_message(wparam, lparam);
            return 0;
        default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK main_mouse_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION && g_shell.main_active) {
        const MOUSEHOOKSTRUCT* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lparam);
        if (wparam == WM_MOUSEMOVE || wparam == WM_NCMOUSEMOVE) {
            clear_menu_bar_hover();
            if (menu_bar_track_mouse(info)) return 1;
        } else if ((wparam == WM_LBUTTONDOWN || wparam == WM_RBUTTONDOWN || wparam == WM_NCLBUTTONDOWN ||
                    wparam == WM_NCRBUTTONDOWN) &&
                   g_shell.menu_keyboard_mode) {
            leave_menu_keyboard_mode();
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK main_keyboard_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code != HC_ACTION || !g_shell.main_active || g_shell.open_menu != -1)
        return CallNextHookEx(nullptr, code, wparam, lparam);
    const bool released = (lparam & 0x80000000) != 0;
    const bool repeat = (lparam & 0x40000000) != 0;
    if (wparam == VK_SHIFT && g_shell.tree && file_drag_state() == 0) {
        // Over the tree Shift sends a chosen folder to the other view: the cursor and the
        // selection follow the key at once.
        POINT p = {};
        GetCursorPos(&p);
        if (WindowFromPoint(p) == g_shell.tree) {
            if (!released && !repeat)
                set_tree_target_view(true, false);
            else if (released)
                set_tree_target_view(false, true);
        }
    }
    if (wparam == VK_MENU) {
        if (!released && !repeat) {
            if (!g_shell.menu_keyboard_mode) {
                g_shell.menu_keyboard_mode = true;
            } else {
                leave_menu_keyboard_mode();
            }
            return 1;
        }
        if (released && g_shell.menu_keyboard_mode) set_menu_bar_hot(0);
        return CallNextHookEx(nullptr, code, wparam, lparam);
    }
    if (!g_shell.menu_keyboard_mode) return CallNextHookEx(nullptr, code, wparam, lparam);
    if (wparam == VK_ESCAPE) {
        leave_menu_keyboard_mode();
        return 1;
    }
    struct KeyCode {
        WPARAM key;
        WPARAM code;
        LPARAM value;
    } static const kKeys[] = {{VK_RETURN, kMainOpenHotMenu, 0}, {VK_UP, kMainOpenHotMenu, 0},
                              {VK_DOWN, kMainOpenHotMenu, 0},   {VK_LEFT, kMainHotPrevious, 0},
                              {VK_RIGHT, kMainHotNext, 0},      {'F', kMainOpenMenuFirst, 0},
                              {'V', kMainOpenMenuFirst + 1, 1}, {'I', kMainOpenMenuFirst + 2, 2},
                              {'T', kMainOpenMenuFirst + 3, 3}, {'H', kMainOpenMenuLast, 4}};
    for (const KeyCode& k : kKeys) {
        if (k.key != wparam) continue;
        if (!released) PostMessageW(g_shell.main_window, kAppMessage, k.code, k.value);
        return 1;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
