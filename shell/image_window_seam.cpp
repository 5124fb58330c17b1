// Stands in for the edit window until it is built: a top-level window on its own thread that
// closes on WM_CLOSE and reports its end with code 170. Tests can make it refuse to close, as
// the real window does when its user cancels saving.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <process.h>
// clang-format on

#include "common/win/app_messages.h"
#include "shell/image_window.h"
#include "shell/image_window_test_seam.h"
#include "shell/message_loop.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"

namespace {

volatile LONG g_refuse_close = 0;
HWND volatile g_window = nullptr;
HANDLE volatile g_ready = nullptr;

}  // namespace

LRESULT CALLBACK edit_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_CLOSE) {
        if (!g_refuse_close) DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

namespace {

unsigned __stdcall edit_thread(void*) noexcept {
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

}  // namespace

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
void image_window_remeasure() {}
void remove_image_window_hooks() {}

void set_image_window_refuses_close(bool refuse) {
    InterlockedExchange(&g_refuse_close, refuse ? 1 : 0);
}
