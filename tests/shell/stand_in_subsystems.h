// The tests' own image window and batch conversion, installed through the shell's entry
// points: an edit window on its own thread that can be told to refuse WM_CLOSE (as when its user
// cancels closing), and a batch window whose conversion can be said to run.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <process.h>
// clang-format on

#include "common/win/app_messages.h"
#include "shell/entry_points.h"
#include "shell/message_loop.h"
#include "shell/shell_state.h"
#include "tests/support/test_double_dialog.h"

namespace stand_in {

inline volatile LONG g_refuse_close = 0;
inline volatile LONG g_modal = 0;        // the image window says it runs a modal loop
inline volatile LONG g_close_count = 0;  // WM_CLOSE messages the image window received
inline HWND volatile g_image_window = nullptr;
inline HANDLE volatile g_ready = nullptr;
inline HWND g_batch_window = nullptr;
inline bool g_batch_running = false;

inline LRESULT CALLBACK edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_CLOSE) {
        InterlockedIncrement(&g_close_count);
        if (!g_refuse_close) DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

inline unsigned __stdcall edit_thread(void*) noexcept {
    HWND window = CreateWindowExW(0, L"Pexaron_swin_class", L"edit", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                  nullptr, nullptr, g_shell.instance, nullptr);
    g_image_window = window;
    if (g_ready) SetEvent(g_ready);
    if (window) run_thread_message_loop(MainKeys::never);
    g_image_window = nullptr;
    PostMessageW(g_shell.main_window, kAppMessage, kMainThreadEnded,
                 reinterpret_cast<LPARAM>(&g_shell.image_thread));
    return 0;
}

inline HANDLE start_edit_window_thread(unsigned* thread_id) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_ready = ready;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, edit_thread, nullptr, 0, thread_id));
    if (thread && ready) WaitForSingleObject(ready, 5000);
    g_ready = nullptr;
    if (ready) CloseHandle(ready);
    return thread;
}

inline HWND current_image_window() {
    return g_image_window;
}
inline bool image_window_modal() {
    return g_modal != 0;
}
inline HWND batch_window() {
    return g_batch_window;
}
inline bool batch_conversion_running() {
    return g_batch_running;
}

// Installs the stand-ins with nothing refused and no batch window.
inline void install() {
    InterlockedExchange(&g_refuse_close, 0);
    InterlockedExchange(&g_modal, 0);
    g_batch_window = nullptr;
    g_batch_running = false;
    ShellEntryPoints table;
    table.edit_window_proc = edit_window_proc;
    table.start_edit_window_thread = start_edit_window_thread;
    table.current_image_window = current_image_window;
    table.image_window_modal = image_window_modal;
    table.batch_window = batch_window;
    table.batch_conversion_running = batch_conversion_running;
    // The commands that need the later subsystems stay available: their dialogs are the test
    // double's, and no single view or wallpaper ever comes.
    test_double_dialog::fill_entry_points(&table);
    table.start_view_window_thread = [](int, unsigned*) -> HANDLE { return nullptr; };
    table.set_wallpaper_from_selection = [] {};
    install_shell_entry_points(table);
}

inline void set_image_window_refuses_close(bool refuse) {
    InterlockedExchange(&g_refuse_close, refuse ? 1 : 0);
}

inline void set_image_window_modal(bool modal) {
    InterlockedExchange(&g_modal, modal ? 1 : 0);
}

inline void set_batch_state(HWND window, bool running) {
    g_batch_window = window;
    g_batch_running = running;
}

}  // namespace stand_in
