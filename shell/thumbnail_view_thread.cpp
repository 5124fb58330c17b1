// The two thumbnail views' threads: each makes its frame with the status bar and the base,
// reports the frame, keeps its folder, and serves the view messages 300-313.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <process.h>
// clang-format on

#include <string>

#include "common/win/app_messages.h"
#include "loading/browser_load.h"
#include "shell/core/cell_selection.h"
#include "shell/folder_watch.h"
#include "shell/main_menus.h"
#include "shell/main_window.h"
#include "shell/message_loop.h"
#include "shell/shell_helpers.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_windows.h"

ViewWindows g_view_windows[2];

namespace {

ViewState g_view_states[2];

constexpr WPARAM kStatusPartCount = 4;

const wchar_t* frame_class_name(int view) {
    return view ? L"Pexaron_bswin2_class" : L"Pexaron_bswin1_class";
}
const wchar_t* base_class_name(int view) {
    return view ? L"Pexaron_base2_class" : L"Pexaron_base1_class";
}

void set_status_texts_at_start(int n) {
    set_view_status_part(n, 0, kStatusRefresh, false);
    SendMessageW(g_view_windows[n].status, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(kStatusRefreshTip));
    set_view_status_part(n, 1, kStatusClear, false);
    SendMessageW(g_view_windows[n].status, SB_SETTIPTEXTW, 1, reinterpret_cast<LPARAM>(kStatusClearTip));
}

bool view_has_folder(int n, wchar_t* folder) {
    view_folder(n, folder);
    return folder[0] != 0;
}

void status_clicked(int n, const NMMOUSE* click) {
    wchar_t folder[MAX_PATH];
    if (!view_has_folder(n, folder)) return;
    HWND frame = g_view_windows[n].frame;
    if (click->dwItemSpec == 0) {
        if (!path_free_of_conversion(folder)) return;
        PostMessageW(frame, kAppMessage, kViewClear, 0);
        PostMessageW(frame, kAppMessage, kViewRefresh, 0);
    } else if (click->dwItemSpec == 1) {
        PostMessageW(frame, kAppMessage, kViewClear, 0);
    }
}

void refresh(int n, LPARAM stay_at_top) {
    ViewState& state = view_state(n);
    // Cell creation starts at the top; the view returns to where it was afterwards.
    const int32_t remembered = state.first_visible;
    const int result = n ? refresh_view_2() : refresh_view_1();
    if (result == kViewClose) {
        clear_view(n);
        HWND frame = g_view_windows[n].frame;
        if (frame && IsWindow(frame)) DestroyWindow(frame);
        return;
    }
    if (result == kViewClear) {
        clear_view(n);
        return;
    }
    if (stay_at_top != 0) return;
    state.first_visible = remembered;
    lay_out_view(n, 0, 0);
}

void relayout(int n, LPARAM display_changed) {
    update_cell_layout();
    RECT rc = {};
    GetClientRect(g_view_windows[n].base, &rc);
    lay_out_view(n, rc.right, rc.bottom);
    if (display_changed == 1) repaint_shown_cells(n);
}

void view_message(int n, WPARAM code, LPARAM value) {
    ViewWindows& v = g_view_windows[n];
    switch (code) {
        case kViewActivate: make_view_active(n); break;
        case kViewToggleMarks:
            toggle_all_marks(&view_state(n));
            repaint_shown_cells(n);
            update_view_status_text(n);
            break;
        case kViewRepaint:
            InvalidateRect(v.base, nullptr, TRUE);
            repaint_shown_cells(n);
            break;
        case kViewRemoveMarked: remove_marked_from_view(n); break;
        case kViewScroll:
            SendMessageW(v.base, WM_VSCROLL, static_cast<WPARAM>(LOWORD(value)), 0);
            SendMessageW(v.base, WM_VSCROLL, SB_ENDSCROLL, 0);
            break;
        case kViewRelayout: relayout(n, value); break;
        case kViewRefresh: refresh(n, value); break;
        case kViewClear: clear_view(n); break;
        case kViewClose: DestroyWindow(v.frame); break;
        case kViewTransform: transform_marked_files(n, static_cast<int>(value)); break;
        default: break;
    }
}

template <int N>
LRESULT CALLBACK frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    ViewWindows& v = g_view_windows[N];
    switch (message) {
        case WM_SIZE: {
            if (!v.status || !v.base) return 0;
            SendMessageW(v.status, WM_SIZE, 0, 0);
            RECT status_rect = {};
            GetWindowRect(v.status, &status_rect);
            const int height = HIWORD(lparam) - (status_rect.bottom - status_rect.top);
            SetWindowPos(v.base, nullptr, 0, 0, LOWORD(lparam), height > 0 ? height : 0,
                         SWP_NOMOVE | SWP_NOZORDER);
            return 0;
        }
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && header->hwndFrom == v.status && header->code == NM_CLICK)
                status_clicked(N, reinterpret_cast<const NMMOUSE*>(lparam));
            return 0;
        }
        case WM_DESTROY:
            // The cells went with their base; nothing may reach their handles any more.
            v.pool.clear();
            v.slot_entry.clear();
            v.base = nullptr;
            v.status = nullptr;
            PostQuitMessage(0);
            return 0;
        case kAppMessage: view_message(N, wparam, lparam); return 0;
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

// Any window of the main program other than this view gives the focus back to the base
// only after the pointer passed over it again.
template <int N>
LRESULT CALLBACK view_mouse_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION) {
        ViewWindows& v = g_view_windows[N];
        if (wparam == WM_MOUSEMOVE) {
            InterlockedExchange(&g_view_windows[1 - N].took_focus, 0);
            if (!g_shell.menu_keyboard_mode && !v.took_focus) {
                InterlockedExchange(&v.took_focus, 1);
                SetFocus(v.base);
            }
        } else if ((wparam == WM_LBUTTONDOWN || wparam == WM_RBUTTONDOWN) && g_shell.menu_keyboard_mode) {
            set_menu_bar_hot(-1);
            g_shell.menu_keyboard_mode = false;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The menu bar's keys work the same whichever thread has the keyboard.
LRESULT CALLBACK view_keyboard_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    return main_keyboard_hook(code, wparam, lparam);
}

void create_view_windows(int n) {
    ViewWindows& v = g_view_windows[n];
    v.frame =
        CreateWindowExW(0, frame_class_name(n), nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                        0, 0, g_shell.client_window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewFrameId + n * kView2IdOffset)),
                        g_shell.instance, nullptr);
    v.status = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS, L"", v.frame,
                                   kViewStatusId + n * kView2IdOffset);
    SendMessageW(v.status, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    int parts[kStatusPartCount] = {36, 70, 134, -1};
    SendMessageW(v.status, SB_SETPARTS, kStatusPartCount, reinterpret_cast<LPARAM>(parts));
    set_status_texts_at_start(n);
    wchar_t folder[MAX_PATH];
    view_folder(n, folder);
    set_view_status_part(n, 3, folder, true);
    v.base = CreateWindowExW(WS_EX_STATICEDGE | WS_EX_ACCEPTFILES, base_class_name(n), nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL, 0, 0, 0,
                             0, v.frame,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewBaseId + n * kView2IdOffset)),
                             g_shell.instance, nullptr);
    set_view_scroll_info(n);
}

template <int N>
unsigned view_thread() {
    ViewWindows& v = g_view_windows[N];
    register_window_class(frame_proc<N>, nullptr, g_shell.arrow_cursor, 0, frame_class_name(N));
    register_window_class(base_proc, nullptr, g_shell.arrow_cursor, 0, base_class_name(N));
    register_cell_classes(N);
    update_cell_layout();
    v.mouse_hook.reset(SetWindowsHookExW(WH_MOUSE, view_mouse_hook<N>, nullptr, GetCurrentThreadId()));
    v.keyboard_hook.reset(SetWindowsHookExW(WH_KEYBOARD, view_keyboard_hook, nullptr, GetCurrentThreadId()));
    create_view_windows(N);
    PostMessageW(g_shell.main_window, kAppMessage, N ? kMainView2Frame : kMainView1Frame,
                 reinterpret_cast<LPARAM>(v.frame));
    run_thread_message_loop(MainKeys::when_main_active);
    remove_view_hooks(N);
    // The windows went with the frame; the list goes with the thread.
    v.pool.clear();
    v.slot_entry.clear();
    free_view_file_lists_of(N);
    v.frame = v.status = v.base = nullptr;
    return 0;
}

}  // namespace

void free_entry_bits(uint8_t* bits) {
    free_thumbnail_bits(bits);
}

unsigned __stdcall view1_thread_proc(void*) noexcept {
    return view_thread<0>();
}
unsigned __stdcall view2_thread_proc(void*) noexcept {
    return view_thread<1>();
}

void remove_view_hooks(int view) {
    ViewWindows& v = g_view_windows[view & 1];
    v.mouse_hook.reset();
    v.keyboard_hook.reset();
}

void open_folder_in_view(int view, const wchar_t* folder) {
    ViewWindows& v = g_view_windows[view & 1];
    ViewState& state = view_state(view);
    {
        std::lock_guard<std::mutex> hold(v.folder_lock);
        lstrcpynW(reinterpret_cast<wchar_t*>(state.folder), folder, kViewPathChars);
    }
    state.first_visible = 0;
    if (v.frame) {
        PostMessageW(v.frame, kAppMessage, kViewClear, 0);
        PostMessageW(v.frame, kAppMessage, kViewRefresh, 0);
    }
}

void view_folder(int view, wchar_t* folder) {
    ViewWindows& v = g_view_windows[view & 1];
    std::lock_guard<std::mutex> hold(v.folder_lock);
    lstrcpynW(folder, reinterpret_cast<const wchar_t*>(view_state(view).folder), MAX_PATH);
}

void free_view_file_lists_of(int view) {
    ViewState& state = view_state(view);
    InterlockedIncrement(&g_view_windows[view & 1].generation);
    FileEntry* entries = state.entries;
    const int32_t count = state.count;
    state.entries = nullptr;
    state.count = 0;
    state.marked_count = 0;
    if (!entries) return;
    for (int32_t i = 0; i < count; ++i) {
        if (entries[i].thumbnail_bits) free_entry_bits(entries[i].thumbnail_bits);
        entries[i].thumbnail_bits = nullptr;
    }
    VirtualFree(entries, 0, MEM_RELEASE);
}

void free_view_file_lists() {
    free_view_file_lists_of(0);
    free_view_file_lists_of(1);
}

const FileEntry* entry_of_selection_message(int view, LPARAM value) {
    if (value == 0) return nullptr;
    const ViewWindows& v = g_view_windows[view & 1];
    const ViewState& state = view_state(view);
    const LONG generation = (static_cast<LONG>(value) >> 16) & 0x7FFF;
    const int32_t index = static_cast<int32_t>(value & 0xFFFF) - 1;
    if (generation != (v.generation & 0x7FFF)) return nullptr;
    if (!state.entries || index < 0 || index >= state.count) return nullptr;
    return &state.entries[index];
}

LPARAM selection_message_value(int view, int32_t entry) {
    if (entry < 0 || entry >= kMaxViewEntries) return 0;
    const LONG generation = g_view_windows[view & 1].generation & 0x7FFF;
    return static_cast<LPARAM>((generation << 16) | (entry + 1));
}

ViewState& view_state(int view) {
    return g_view_states[view & 1];
}
HWND view_frame_window(int view) {
    return g_view_windows[view & 1].frame;
}
HWND view_base_window(int view) {
    return g_view_windows[view & 1].base;
}

void set_view_status_part(int view, int part, const wchar_t* text, bool as_tip) {
    HWND status = g_view_windows[view & 1].status;
    if (!status) return;
    SendMessageW(status, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
    if (as_tip)
        SendMessageW(status, SB_SETTIPTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
}

void update_view_status_text(int view) {
    const ViewState& state = view_state(view);
    if (state.busy != kViewIdle) return;
    std::wstring text;
    if (state.count > 0) text = std::to_wstring(state.marked_count) + L"/" + std::to_wstring(state.count);
    set_view_status_part(view, 2, text.c_str(), true);
}

void clear_view(int view) {
    const int n = view & 1;
    ViewWindows& v = g_view_windows[n];
    destroy_view_cells(n);
    free_view_file_lists_of(n);
    v.position = 0;
    v.pressed = nullptr;
    v.cell_failure_reported = false;
    if (v.base) InvalidateRect(v.base, nullptr, TRUE);
    PostMessageW(g_shell.main_window, kAppMessage, n ? kMainInfo2 : kMainInfo1, 0);
    set_view_scroll_info(n);
    update_view_status_text(n);
}

void handle_view_message(int view, WPARAM code, LPARAM value) {
    if (code == kViewActivate || code == kViewRepaint || code == kViewScroll)
        view_message(view & 1, code, value);
}

bool any_view_busy() {
    return view_state(0).busy != kViewIdle || view_state(1).busy != kViewIdle || g_shell.view_busy[0] ||
           g_shell.view_busy[1];
}

void post_selection(int view, int entry) {
    PostMessageW(g_shell.main_window, kAppMessage, view ? kMainInfo2 : kMainInfo1,
                 selection_message_value(view, entry));
}

void remove_marked_from_view(int view) {
    ViewState& state = view_state(view);
    InterlockedIncrement(&g_view_windows[view].generation);
    if (!remove_marked_entries(&state, free_entry_bits)) {
        if (state.count > 0) clear_view(view);
        return;
    }
    PostMessageW(g_shell.main_window, kAppMessage, view ? kMainInfo2 : kMainInfo1, 0);
    lay_out_view(view, 0, 0);
    repaint_shown_cells(view);
    update_view_status_text(view);
}

void refresh_views_showing(const wchar_t* folder) {
    if (!folder || !folder[0]) return;
    for (int n = 0; n < 2; ++n) {
        wchar_t shown[MAX_PATH];
        view_folder(n, shown);
        HWND frame = g_view_windows[n].frame;
        if (!frame || lstrcmpW(shown, folder) != 0) continue;
        PostMessageW(frame, kAppMessage, kViewClear, 0);
        PostMessageW(frame, kAppMessage, kViewRefresh, 0);
    }
}
