// Stands in for the preview window until it is built: the hidden window on its own thread that
// hides on 401 and ends on 402.
#include "common/win/app_messages.h"
#include "shell/message_loop.h"
#include "shell/preview_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"

namespace {

HookHandle g_keyboard_hook;

LRESULT CALLBACK preview_keyboard_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK preview_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == kAppMessage) {
        if (wparam == kPreviewHide) ShowWindow(window, SW_HIDE);
        if (wparam == kPreviewEnd) DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

unsigned __stdcall preview_thread_proc(void*) noexcept {
    register_window_class(preview_proc, nullptr, g_shell.arrow_cursor, 0, L"Pexaron_prvwin_class");
    g_keyboard_hook.reset(
        SetWindowsHookExW(WH_KEYBOARD, preview_keyboard_hook, nullptr, GetCurrentThreadId()));
    HWND window =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"Pexaron_prvwin_class", nullptr, WS_POPUP | WS_THICKFRAME, 0, 0, 0,
                        0, g_shell.client_window, nullptr, g_shell.instance, nullptr);
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_shell.preview_window), window);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    run_thread_message_loop(MainKeys::always);
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_shell.preview_window), nullptr);
    remove_preview_hook();
    return 0;
}

void remove_preview_hook() {
    g_keyboard_hook.reset();
}

void set_preview_entry_index(int) {}

bool show_preview_for_cell(HWND, const wchar_t*) {
    return false;
}
