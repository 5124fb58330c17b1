// Stands in for the edit window until it is built: a top-level window on its own thread that
// closes on WM_CLOSE and reports its end with code 170.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <process.h>
// clang-format on

#include "imagewin/edit_window_seam.h"

#include "common/win/app_messages.h"
#include "imagewin/undo_history_win.h"
#include "shell/message_loop.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"

namespace {

HWND volatile g_window = nullptr;
HANDLE volatile g_ready = nullptr;

LRESULT CALLBACK edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_DESTROY) {
        // Step files must not outlive the window that made them.
        history_clear();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

unsigned __stdcall edit_thread(void*) noexcept {
    set_undo_file_ops(&system_undo_file_ops());
    HWND window = CreateWindowExW(0, L"Pexaron_swin_class", kEditWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                  300, nullptr, nullptr, g_shell.instance, nullptr);
    g_window = window;
    if (g_ready) SetEvent(g_ready);
    if (window) run_thread_message_loop(MainKeys::never);
    g_window = nullptr;
    PostMessageW(g_shell.main_window, kAppMessage, kMainThreadEnded,
                 reinterpret_cast<LPARAM>(&g_shell.image_thread));
    return 0;
}

HANDLE start_edit_window_thread(unsigned* thread_id) {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_ready = ready;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, edit_thread, nullptr, 0, thread_id));
    // The caller may close the window at once; it must exist by then.
    if (thread && ready) WaitForSingleObject(ready, 5000);
    g_ready = nullptr;
    if (ready) CloseHandle(ready);
    return thread;
}

HWND current_image_window() {
    return g_window;
}

}  // namespace

void fill_image_window_entry_points(ShellEntryPoints* table) {
    table->edit_window_proc = edit_window_proc;
    table->start_edit_window_thread = start_edit_window_thread;
    table->current_image_window = current_image_window;
}
