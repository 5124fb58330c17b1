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
#include "shell/core/shutdown_plan.h"
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

constexpr DWORD kStillActive = 259;
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

void remove_main_hooks() {
    g_shell.main_keyboard_hook.reset();
    g_shell.main_mouse_hook.reset();
}

void remove_view1_hooks() {
    remove_view_hooks(0);
}
void remove_view2_hooks() {
    remove_view_hooks(1);
}

// Tells a thread to end and waits for it. One that does not end in time gets the settings
// written first (once), then is terminated unless it may hold the lock; one left running keeps
// its handle and is noted in the plan.
void end_thread(KernelHandle* thread, HWND window, WPARAM code, DWORD timeout_ms, void (*remove_hooks)(),
                ShutdownThread which, ShutdownPlan* plan) {
    if (!thread->valid()) return;
    if (window) SendMessageW(window, kAppMessage, code, 0);
    ThreadWait result = ThreadWait::ended;
    if (!wait_for_thread_end(thread->get(), timeout_ms)) {
        if (plan->write_settings_before_terminating()) save_settings_at_exit();
        result = terminate_thread_outside_lock(thread->get(), remove_hooks);
    }
    if (result == ThreadWait::left_running) {
        plan->left_running(which);
        return;
    }
    thread->reset();
}

}  // namespace

void measure_screen() {
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_THICKFRAME, FALSE, WS_EX_CLIENTEDGE);
    g_shell.frame_width = frame.right - frame.left;
    g_shell.frame_height = frame.bottom - frame.top;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &g_shell.work_area, 0);
    g_shell.largest_square = largest_preview_size(g_shell.work_area.right - g_shell.work_area.left,
                                                  g_shell.work_area.bottom - g_shell.work_area.top,
                                                  g_shell.frame_width, g_shell.frame_height);
    g_shell.arrow_cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    g_shell.wait_cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));
    g_shell.no_cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32648));
    // Visual styles are looked up at run time: the program also runs where there are none.
    g_shell.themed = false;
    if (HMODULE theme = GetModuleHandleW(L"uxtheme.dll")) {
        using IsThemeActiveFunction = BOOL(WINAPI*)();
        auto active = reinterpret_cast<IsThemeActiveFunction>(
            reinterpret_cast<void*>(GetProcAddress(theme, "IsThemeActive")));
        g_shell.themed = active && active();
    }
}

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

bool wait_for_thread_end(HANDLE thread, DWORD timeout_ms) {
    DWORD exit_code = 0;
    if (!GetExitCodeThread(thread, &exit_code) || exit_code != kStillActive) return true;
    return WaitForSingleObject(thread, timeout_ms) == WAIT_OBJECT_0;
}

ThreadWait terminate_thread_outside_lock(HANDLE thread, void (*remove_hooks)()) {
    // A thread killed inside the lock would leave it held for ever. While this thread holds
    // the lock, the other cannot be inside it.
    const bool guarded = process_lock_exists();
    if (guarded && !process_lock_try_enter()) return ThreadWait::left_running;
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
        if (guarded) process_lock_leave();
        return ThreadWait::ended;
    }
    if (remove_hooks) remove_hooks();
    TerminateThread(thread, kStillActive);
    WaitForSingleObject(thread, 1000);
    if (guarded) process_lock_leave();
    return ThreadWait::terminated;
}

ThreadWait wait_for_thread(HANDLE thread, DWORD timeout_ms, void (*remove_hooks)()) {
    if (wait_for_thread_end(thread, timeout_ms)) return ThreadWait::ended;
    return terminate_thread_outside_lock(thread, remove_hooks);
}

bool shutdown_main_window() {
    bool busy = false;
    for (int i = 0; i < 2; ++i) {
        if (g_shell.view_busy[i] && g_shell.view_frame[i]) {
            PostMessageW(g_shell.view_frame[i], kAppMessage, kViewClear, 0);
            busy = true;
        }
    }
    if (busy) return false;
    ShutdownPlan plan(g_shell.main_settings.optimise_cache != 0);
    if (g_shell.batch_thread.valid()) {
        const ShellEntryPoints& entry = shell_entry_points();
        HWND batch = entry.running_batch_window();
        if (entry.conversion_running()) {
            if (batch) {
                ShowWindowAsync(batch, SW_RESTORE);
                SetForegroundWindow(batch);
            }
            if (app_message_box(batch, kTextStopConversion, kCaptionConversion,
                                MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND) == IDYES &&
                batch)
                PostMessageW(batch, kAppMessage, kBatchStop, 0);
            return false;
        }
        if (batch) SendMessageW(batch, WM_CLOSE, 0, 0);
        end_thread(&g_shell.batch_thread, nullptr, 0, 10000, nullptr, ShutdownThread::conversion, &plan);
    }
    if (g_shell.image_thread.valid()) {
        if (HWND image = shell_entry_points().running_image_window()) {
            // A box or dialog of the image window is up: its user answers it first.
            if (shell_entry_points().image_window_in_modal_loop()) return false;
            SendMessageW(image, WM_CLOSE, 0, 0);
            // Its user chose to keep it open (for example to save first): so does the program.
            if (IsWindow(image)) return false;
        }
        end_thread(&g_shell.image_thread, nullptr, 0, 10000, shell_entry_points().remove_image_window_hooks,
                   ShutdownThread::image_window, &plan);
    }
    close_view_change_notifications();
    remove_main_hooks();
    end_thread(&g_shell.view_thread[0], g_shell.view_frame[0], kViewClose, 10000, remove_view1_hooks,
               ShutdownThread::view1, &plan);
    end_thread(&g_shell.view_thread[1], g_shell.view_frame[1], kViewClose, 1000, remove_view2_hooks,
               ShutdownThread::view2, &plan);
    end_thread(&g_shell.preview_thread, g_shell.preview_window, kPreviewEnd, 1000, remove_preview_hook,
               ShutdownThread::preview, &plan);
    for (ShutdownStep step : plan.tail()) {
        switch (step) {
            case ShutdownStep::delete_lock: process_lock_delete(); break;
            case ShutdownStep::free_printer_setup:
                if (shell_entry_points().free_printer_setup_handles)
                    shell_entry_points().free_printer_setup_handles();
                break;
            case ShutdownStep::restore_subclassed_controls: restore_subclassed_controls(); break;
            case ShutdownStep::destroy_codec_contexts: destroy_codec_contexts(); break;
            case ShutdownStep::destroy_main_menus: delete_menu_resources(); break;
            case ShutdownStep::free_view_lists: free_view_file_lists(); break;
            case ShutdownStep::compact_cache: compact_thumbnail_cache_index(); break;
            case ShutdownStep::write_settings: save_settings_at_exit(); break;
        }
    }
    // Only now: the threads ended above translated their keys through the main table.
    g_shell.main_accelerators.reset();
    g_shell.view_accelerators.reset();
    return true;
}

bool save_settings_at_exit() {
    MainSettings& s = g_shell.main_settings;
    if (g_shell.main_window) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof placement;
        if (GetWindowPlacement(g_shell.main_window, &placement)) {
            const RECT& r = placement.rcNormalPosition;
            s.window = WindowPlace{r.left, r.top, r.right - r.left, r.bottom - r.top};
        }
    }
    if (g_shell.info_list) {
        for (int i = 0; i < 2; ++i)
            s.info_column_width[i] =
                static_cast<int32_t>(SendMessageW(g_shell.info_list, LVM_GETCOLUMNWIDTH, i, 0));
    }
    const bool saved = save_settings_groups();
    if (!saved) show_error_message(g_shell.main_window, kErrorFileCreate);
    return saved;
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
