#include "shell/startup.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <process.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <uxtheme.h>
// clang-format on

#include <cstdlib>
#include <ctime>

#include "common/win/app_messages.h"
#include "common/win/error_message.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "loading/codec_set.h"
#include "shell/core/preview_rules.h"
#include "shell/core/shell_rules.h"
#include "shell/entry_points.h"
#include "shell/folder_tree.h"
#include "shell/folder_watch.h"
#include "shell/main_menus.h"
#include "shell/main_window.h"
#include "shell/message_loop.h"
#include "shell/preview_window.h"
#include "shell/settings_win.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_cache.h"
#include "shell/thumbnail_view.h"

namespace {

// Classes whose windows belong to the image windows and the dialogs; until those exist their
// windows get the default procedure.
LRESULT CALLBACK placeholder_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return DefWindowProcW(window, message, wparam, lparam);
}

void register_classes() {
    HICON icon = static_cast<HICON>(
        LoadImageW(g_shell.instance, MAKEINTRESOURCEW(100), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    HCURSOR arrow = g_shell.arrow_cursor;
    struct ClassEntry {
        const wchar_t* name;
        WNDPROC procedure;
        bool with_icon;
    } const classes[] = {
        {L"Pexaron_main_class", main_window_proc, true},
        {L"Pexaron_client_class", client_window_proc, false},
        {L"Pexaron_trbase_class", tree_pane_proc, false},
        {L"Pexaron_vwin_class", shell_entry_points().view_window_proc, true},
        {L"Pexaron_vbar_class", shell_entry_points().view_bar_proc, false},
        {L"Pexaron_swin_class", shell_entry_points().edit_window_proc, true},
        {L"Pexaron_sch1_class", placeholder_window_proc, false},
        {L"Pexaron_sch2_class", placeholder_window_proc, false},
        {L"Pexaron_list_class", shell_entry_points().file_list_window_proc, false},
        {L"Pexaron_hisw_class", placeholder_window_proc, false},
        {L"Pexaron_navi_class", shell_entry_points().navigator_window_proc, false},
        {L"Pexaron_cvtmain_class", placeholder_window_proc, false},
        {L"Pexaron_cvtbase_class", placeholder_window_proc, false},
        {L"Pexaron_tabbase_class", placeholder_window_proc, false},
        {L"Pexaron_oprv_class", placeholder_window_proc, false},
        {L"Pexaron_cbox_class", placeholder_window_proc, false},
    };
    for (const ClassEntry& c : classes) {
        // A subsystem the program was built without has no windows to register.
        if (!c.procedure) continue;
        HCURSOR cursor = arrow;
        if (lstrcmpW(c.name, L"Pexaron_cbox_class") == 0)
            cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
        if (lstrcmpW(c.name, L"Pexaron_navi_class") == 0) {
            // The navigator keeps its own DC: its frame is drawn on it while the image pans.
            register_window_class_owndc(c.procedure, nullptr, nullptr, c.name);
            continue;
        }
        const int background = lstrcmpW(c.name, L"Pexaron_client_class") == 0 ? COLOR_BTNFACE + 1 : 0;
        register_window_class(c.procedure, c.with_icon ? icon : nullptr, cursor, background, c.name);
    }
}

}  // namespace

void forward_to_running_instance(HWND running, const wchar_t* command_line) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(command_line, &count);
    if (!args) return;
    // A path that does not fit the receiver's buffer would arrive cut short: it is not sent.
    if (count >= 2 && lstrlenW(args[1]) < MAX_PATH) {
        wchar_t path[MAX_PATH] = {};
        const DWORD n = GetLongPathNameW(args[1], path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) lstrcpynW(path, args[1], MAX_PATH);
        COPYDATASTRUCT data = {};
        data.dwData = 0;
        data.cbData = static_cast<DWORD>(2 * lstrlenW(path) + 2);
        data.lpData = path;
        SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    LocalFree(args);
}

bool start_single_instance(int show, const wchar_t* command_line) {
    if (g_shell.os_class == 0 || !build_settings_path()) {
        show_error_message(nullptr, kErrorFileRun);
        return false;
    }
    lstrcpynW(g_shell.cache_folder, g_shell.settings_path, MAX_PATH);
    PathRemoveFileSpecW(g_shell.cache_folder);
    if (lstrlenW(g_shell.cache_folder) + 7 < MAX_PATH) lstrcatW(g_shell.cache_folder, L"\\cache\\");
    HWND running = FindWindowW(L"Pexaron_main_class", nullptr);
    if (!running) {
        set_startup_command_line(command_line);
        return init_application(show);
    }
    if (IsIconic(running)) ShowWindowAsync(running, SW_RESTORE);
    SetForegroundWindow(running);
    forward_to_running_instance(running, command_line);
    return false;
}

bool init_application(int show) {
    srand(static_cast<unsigned>(time(nullptr)));
    measure_screen();
    install_windows_settings_file_ops();
    load_main_settings_group();
    init_main_menus(g_shell.main_keys);
    if (!create_codec_contexts()) return false;
    register_classes();
    INITCOMMONCONTROLSEX controls = {sizeof controls, 0x43F};
    InitCommonControlsEx(&controls);
    g_shell.main_thread_id = GetCurrentThreadId();
    g_shell.main_mouse_hook.reset(
        SetWindowsHookExW(WH_MOUSE, main_mouse_hook, nullptr, g_shell.main_thread_id));
    g_shell.main_keyboard_hook.reset(
        SetWindowsHookExW(WH_KEYBOARD, main_keyboard_hook, nullptr, g_shell.main_thread_id));
    g_shell.view_busy[0] = 0;
    g_shell.view_busy[1] = 0;
    if (!create_main_window(g_shell.main_settings.window, show)) {
        remove_main_hooks();
        destroy_codec_contexts();
        return false;
    }
    process_lock_init();
    open_thumbnail_cache();
    g_shell.view_thread[0].reset(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, view1_thread_proc, nullptr, 0, &g_shell.view_thread_id[0])));
    g_shell.view_thread[1].reset(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, view2_thread_proc, nullptr, 0, &g_shell.view_thread_id[1])));
    g_shell.preview_thread.reset(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, preview_thread_proc, nullptr, 0, &g_shell.preview_thread_id)));
    return true;
}

int run_message_loop() {
    return run_thread_message_loop(MainKeys::when_main_active);
}

int pexaron_main(HINSTANCE instance, int show) {
    g_shell.heap = HeapCreate(0, 0x10000, 0);
    if (!g_shell.heap) return 0;
    g_shell.instance = instance;
    g_shell.os_class = detect_os_version();
    create_ui_font();
    html_help_begin(&g_shell.help_cookie);
    // The folder tree and the shortcut helpers use the shell namespace from the first window on.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int exit_code = 0;
    if (start_single_instance(show, GetCommandLineW())) exit_code = run_message_loop();
    if (SUCCEEDED(com)) CoUninitialize();
    html_help_end(g_shell.help_cookie);
    delete_ui_font();
    HeapDestroy(g_shell.heap);
    g_shell.heap = nullptr;
    return exit_code;
}
