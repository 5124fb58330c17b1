// The two thumbnail views' threads: each makes its frame with the status bar and the base,
// reports the frame, keeps its folder and answers the codes that start-up, the title and
// shutdown rely on. Listing the folder is not built yet, so a view is never busy.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <process.h>
// clang-format on

#include <mutex>

#include "common/win/app_messages.h"
#include "shell/message_loop.h"
#include "shell/shell_helpers.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_view.h"

namespace {

struct ViewThread {
    HWND frame = nullptr;
    HWND status = nullptr;
    HWND base = nullptr;
    HookHandle mouse_hook;
    HookHandle keyboard_hook;
    std::mutex folder_lock;
    wchar_t folder[MAX_PATH] = {};
};

ViewThread g_views[2];

int view_of(HWND frame) {
    return frame == g_views[1].frame ? 1 : 0;
}

LRESULT CALLBACK view_mouse_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void update_status(int n) {
    ViewThread& v = g_views[n];
    wchar_t folder[MAX_PATH];
    view_folder(n, folder);
    SendMessageW(v.status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(kStatusRefresh));
    SendMessageW(v.status, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(kStatusClear));
    SendMessageW(v.status, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(L"0/0"));
    SendMessageW(v.status, SB_SETTEXTW, 3, reinterpret_cast<LPARAM>(folder));
}

LRESULT CALLBACK base_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(window, &rc);
        FillRect(reinterpret_cast<HDC>(wparam), &rc, GetSysColorBrush(COLOR_WINDOW));
        return 1;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    const int n = view_of(window);
    ViewThread& v = g_views[n];
    switch (message) {
        case WM_SIZE: {
            SendMessageW(v.status, WM_SIZE, 0, 0);
            RECT status_rect = {};
            GetWindowRect(v.status, &status_rect);
            SetWindowPos(v.base, nullptr, 0, 0, LOWORD(lparam),
                         HIWORD(lparam) - (status_rect.bottom - status_rect.top), SWP_NOMOVE | SWP_NOZORDER);
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case kAppMessage:
            switch (wparam) {
                case kViewActivate:
                    InterlockedExchange(&g_shell.active_view, n);
                    SendMessageW(g_shell.main_window, kAppMessage, kMainActiveView, 0);
                    return 0;
                case kViewRefresh:
                    update_status(n);
                    PostMessageW(g_shell.main_window, kAppMessage, kMainFolderChanged, 0);
                    return 0;
                case kViewClear:
                    PostMessageW(g_shell.main_window, kAppMessage, n ? kMainInfo2 : kMainInfo1, 0);
                    update_status(n);
                    return 0;
                case kViewClose: DestroyWindow(window); return 0;
                default: return 0;
            }
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

unsigned view_thread(int n) {
    ViewThread& v = g_views[n];
    register_window_class(frame_proc, nullptr, g_shell.arrow_cursor, 0,
                          n ? L"Pexaron_bswin2_class" : L"Pexaron_bswin1_class");
    register_window_class(base_proc, nullptr, g_shell.arrow_cursor, 0,
                          n ? L"Pexaron_base2_class" : L"Pexaron_base1_class");
    v.mouse_hook.reset(SetWindowsHookExW(WH_MOUSE, view_mouse_hook, nullptr, GetCurrentThreadId()));
    v.keyboard_hook.reset(SetWindowsHookExW(WH_KEYBOARD, view_mouse_hook, nullptr, GetCurrentThreadId()));
    v.frame =
        CreateWindowExW(0, n ? L"Pexaron_bswin2_class" : L"Pexaron_bswin1_class", nullptr,
                        WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, g_shell.client_window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewFrameId + n * kView2IdOffset)),
                        g_shell.instance, nullptr);
    v.status = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS, L"", v.frame,
                                   kViewStatusId + n * kView2IdOffset);
    SendMessageW(v.status, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    int parts[4] = {36, 70, 134, -1};
    SendMessageW(v.status, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(parts));
    update_status(n);
    v.base = CreateWindowExW(
        WS_EX_STATICEDGE | WS_EX_ACCEPTFILES, n ? L"Pexaron_base2_class" : L"Pexaron_base1_class", nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL, 0, 0, 0, 0, v.frame,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewBaseId + n * kView2IdOffset)), g_shell.instance,
        nullptr);
    PostMessageW(g_shell.main_window, kAppMessage, n ? kMainView2Frame : kMainView1Frame,
                 reinterpret_cast<LPARAM>(v.frame));
    run_thread_message_loop(MainKeys::when_main_active);
    remove_view_hooks(n);
    v.frame = nullptr;
    return 0;
}

}  // namespace

unsigned __stdcall view1_thread_proc(void*) noexcept {
    return view_thread(0);
}
unsigned __stdcall view2_thread_proc(void*) noexcept {
    return view_thread(1);
}

void remove_view_hooks(int view) {
    ViewThread& v = g_views[view & 1];
    v.mouse_hook.reset();
    v.keyboard_hook.reset();
}

void open_folder_in_view(int view, const wchar_t* folder) {
    ViewThread& v = g_views[view & 1];
    {
        std::lock_guard<std::mutex> hold(v.folder_lock);
        lstrcpynW(v.folder, folder, MAX_PATH);
    }
    if (v.frame) {
        PostMessageW(v.frame, kAppMessage, kViewClear, 0);
        PostMessageW(v.frame, kAppMessage, kViewRefresh, 0);
    }
}

void view_folder(int view, wchar_t* folder) {
    ViewThread& v = g_views[view & 1];
    std::lock_guard<std::mutex> hold(v.folder_lock);
    lstrcpynW(folder, v.folder, MAX_PATH);
}
