// The preview window: a borderless, resizable popup on a thread of its own at idle priority,
// raised to normal for each load, that shows the clicked thumbnail's image larger over its
// cell and hides as soon as the user turns to anything else.
#include "shell/preview_window.h"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <windowsx.h>
// clang-format on

#include <new>

#include "common/win/app_messages.h"
#include "common/win/process_lock.h"
#include "loading/browser_load.h"
#include "shell/core/preview_rules.h"
#include "shell/folder_watch.h"
#include "shell/message_loop.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"

namespace {

// What 400 carries: the request owns its path, so the requesting view can go on at once.
struct PreviewRequest {
    HWND cell = nullptr;
    wchar_t path[MAX_PATH] = {};
};

// The system may adjust a size it is given (a frame's smallest track size); each attempt
// places the window with the size it really took, and a few attempts are enough.
constexpr int kPlacementAttempts = 3;
constexpr int kDragThreshold = 4;

// Preview thread only.
struct PreviewWindowState {
    HookHandle keyboard_hook;
    bool shown = false;
    bool resized = false;
    POINT press = {};
};

PreviewWindowState g_state;
volatile LONG g_entry_index = 0;

ScreenRect screen_rect(const RECT& r) {
    return ScreenRect{r.left, r.top, r.right, r.bottom};
}

LRESULT CALLBACK preview_keyboard_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    // With a menu of the menu bar open, Esc belongs to the menu.
    if (code == HC_ACTION && wparam == VK_ESCAPE && g_shell.open_menu < 0) {
        const bool key_down = (static_cast<DWORD>(lparam) & 0x80000000u) == 0;
        if (key_down && g_shell.preview_window)
            PostMessageW(g_shell.preview_window, kAppMessage, kPreviewHide, 0);
        return 1;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void hide_preview(HWND window) {
    if (!g_state.shown || !g_preview.pixels) return;
    g_state.shown = false;
    if (g_state.resized) {
        g_state.resized = false;
        RECT client;
        GetClientRect(window, &client);
        g_shell.main_settings.preview_max = preview_size_after_resize(
            client.right - client.left, client.bottom - client.top, g_shell.largest_square);
    }
    ShowWindowAsync(window, SW_HIDE);
    release_preview_image();
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
}

PreviewBounds placement_bounds(HWND cell) {
    PreviewBounds bounds;
    RECT client = {};
    GetWindowRect(g_shell.client_window, &client);
    bounds.top = client.top;
    bounds.left = client.left;
    if (!g_shell.main_settings.tree_auto_show && g_shell.tree_pane) {
        RECT tree = {};
        GetWindowRect(g_shell.tree_pane, &tree);
        bounds.left = tree.right;
    }
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    HMONITOR nearest = MonitorFromWindow(cell, MONITOR_DEFAULTTONEAREST);
    RECT work = {};
    if (nearest && GetMonitorInfoW(nearest, &monitor))
        work = monitor.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    bounds.work = screen_rect(work);
    return bounds;
}

void place_window(HWND window, const RECT& cell, const PreviewBounds& bounds, int width, int height) {
    for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
        const PreviewPoint p = place_preview(screen_rect(cell), width, height, bounds);
        SetWindowPos(window, nullptr, p.x, p.y, width, height, SWP_NOZORDER);
        RECT got = {};
        if (!GetWindowRect(window, &got)) return;
        if (got.right - got.left == width && got.bottom - got.top == height) return;
        width = got.right - got.left;
        height = got.bottom - got.top;
    }
}

void show_preview(HWND window, PreviewRequest* request) {
    hide_preview(window);
    bool loaded;
    {
        ProcessLockGuard hold;
        g_browser_options.preview_size = g_shell.main_settings.preview_max;
        g_browser_options.preview_frame_width = g_shell.frame_width;
        g_browser_options.preview_frame_height = g_shell.frame_height;
        g_browser_options.preview_max_size = g_shell.largest_square;
        loaded = load_preview_image(u16(request->path), nullptr, 0);
    }
    RECT cell = {};
    // A view cleared between the click and the load has taken the cell away: nothing to show
    // the preview over.
    if (!loaded || !GetWindowRect(request->cell, &cell)) {
        release_preview_image();
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
        return;
    }
    const int height = g_preview.header.height < 0 ? -g_preview.header.height : g_preview.header.height;
    place_window(window, cell, placement_bounds(request->cell), g_preview.header.width + g_shell.frame_width,
                 height + g_shell.frame_height);
    ShowWindowAsync(window, SW_SHOW);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    g_state.shown = true;
}

void paint_preview(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(window, &client);
    if (g_preview.pixels) {
        const BitmapInfoHeader& h = g_preview.header;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = h.width;
        info.bmiHeader.biHeight = h.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = h.bit_count;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, h.width,
                      h.height < 0 ? -h.height : h.height, g_preview.pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(window, &ps);
}

bool size_keeping_aspect(WPARAM edge, RECT* r) {
    if (edge < WMSZ_LEFT || edge > WMSZ_BOTTOMRIGHT || !g_preview.pixels) return false;
    PreviewFrameLimits limits;
    limits.min_width = g_preview.layout[0];
    limits.min_height = g_preview.layout[1];
    limits.max_width = g_preview.layout[2];
    limits.max_height = g_preview.layout[3];
    limits.frame_width = g_shell.frame_width;
    limits.frame_height = g_shell.frame_height;
    limits.image_width = g_preview.header.width;
    limits.image_height = g_preview.header.height < 0 ? -g_preview.header.height : g_preview.header.height;
    ScreenRect s = screen_rect(*r);
    size_preview_keeping_aspect(static_cast<SizingEdge>(edge), limits, &s);
    *r = RECT{s.left, s.top, s.right, s.bottom};
    return true;
}

void post_mouse_action(bool chord) {
    const bool second = g_shell.active_view != 0;
    const WPARAM code = chord ? (second ? kMainBothImage2 : kMainBothImage1)
                              : (second ? kMainActionImage2 : kMainActionImage1);
    PostMessageW(g_shell.main_window, kAppMessage, code, g_entry_index);
}

bool is_main_or_view_thread(DWORD thread_id) {
    return thread_id != 0 && (thread_id == g_shell.main_thread_id || thread_id == g_shell.view_thread_id[0] ||
                              thread_id == g_shell.view_thread_id[1]);
}

LRESULT CALLBACK preview_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case kAppMessage:
            if (wparam == kPreviewShow) {
                PreviewRequest* request = reinterpret_cast<PreviewRequest*>(lparam);
                if (request) show_preview(window, request);
                delete request;
            } else if (wparam == kPreviewHide) {
                hide_preview(window);
            } else if (wparam == kPreviewEnd) {
                DestroyWindow(window);
            }
            return 0;
        case WM_PAINT: paint_preview(window); return 0;
        case WM_SIZING:
            if (size_keeping_aspect(wparam, reinterpret_cast<RECT*>(lparam))) g_state.resized = true;
            return TRUE;
        case WM_LBUTTONDOWN: g_state.press = POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}; return 0;
        case WM_MOUSEMOVE: {
            if ((wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != MK_LBUTTON) return 0;
            const POINT now = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            const int dx = now.x - g_state.press.x;
            const int dy = now.y - g_state.press.y;
            g_state.press = now;
            if ((dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) > kDragThreshold) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32646)));  // IDC_SIZEALL
                // The caption-drag command: the system moves the window until the button is up.
                SendMessageW(window, WM_SYSCOMMAND, SC_MOVE + 2, 0);
            }
            return 0;
        }
        case WM_LBUTTONUP: post_mouse_action((wparam & MK_RBUTTON) != 0); return 0;
        case WM_RBUTTONUP:
            if (wparam & MK_LBUTTON) {
                post_mouse_action(true);
            } else {
                hide_preview(window);
                if (g_shell.main_window) SetForegroundWindow(g_shell.main_window);
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wparam) == WA_INACTIVE) hide_preview(window);
            break;
        case WM_ACTIVATEAPP:
            if (!wparam && !is_main_or_view_thread(static_cast<DWORD>(lparam))) start_folder_watch();
            break;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Requests posted while the window was being destroyed would otherwise leak their copies.
void free_pending_requests() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, kAppMessage, kAppMessage, PM_REMOVE))
        if (msg.wParam == kPreviewShow) delete reinterpret_cast<PreviewRequest*>(msg.lParam);
}

}  // namespace

unsigned __stdcall preview_thread_proc(void*) noexcept {
    register_window_class(preview_proc, nullptr, g_shell.arrow_cursor, 0, L"Pexaron_prvwin_class");
    g_state.keyboard_hook.reset(
        SetWindowsHookExW(WH_KEYBOARD, preview_keyboard_hook, nullptr, GetCurrentThreadId()));
    HWND window =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"Pexaron_prvwin_class", nullptr, WS_POPUP | WS_THICKFRAME, 0, 0, 0,
                        0, g_shell.client_window, nullptr, g_shell.instance, nullptr);
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_shell.preview_window), window);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
    if (window) run_thread_message_loop(MainKeys::always);
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_shell.preview_window), nullptr);
    free_pending_requests();
    release_preview_image();
    g_state.shown = false;
    g_state.resized = false;
    remove_preview_hook();
    return 0;
}

void remove_preview_hook() {
    g_state.keyboard_hook.reset();
}

void set_preview_entry_index(int index) {
    InterlockedExchange(&g_entry_index, index);
}

bool show_preview_for_cell(HWND cell, const wchar_t* path) {
    HWND preview = g_shell.preview_window;
    if (!preview || !path || !path[0] || lstrlenW(path) >= MAX_PATH) return false;
    PreviewRequest* request = new (std::nothrow) PreviewRequest;
    if (!request) return false;
    request->cell = cell;
    lstrcpynW(request->path, path, MAX_PATH);
    if (g_shell.preview_thread.valid())
        SetThreadPriority(g_shell.preview_thread.get(), THREAD_PRIORITY_NORMAL);
    if (PostMessageW(preview, kAppMessage, kPreviewShow, reinterpret_cast<LPARAM>(request))) return true;
    delete request;
    return false;
}
