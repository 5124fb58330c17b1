// A thumbnail view's base window: the grid, scrolling, the view's activation and the mouse on
// the empty area.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>
// clang-format on

#include "common/win/app_messages.h"
#include "shell/core/cell_selection.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_windows.h"

CellLayout g_cell_layout;

namespace {

constexpr int32_t kDefaultBoxWidth = 144;
constexpr int32_t kDefaultBoxHeight = 108;
constexpr int kTreeHoverEdge = 15;

int view_of_base(HWND window) {
    return window == g_view_windows[1].base || GetParent(window) == g_view_windows[1].frame ? 1 : 0;
}

void paint_base(int n, HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    BrushHandle brush(CreateSolidBrush(view_is_active(n) ? kActiveViewColour : kInactiveViewColour));
    FillRect(dc, &ps.rcPaint, brush.get());
    EndPaint(window, &ps);
}

void unmark_on_empty_area(int n) {
    if (unmark_all(&view_state(n))) {
        repaint_shown_cells(n);
        post_selection(n, -1);
        update_view_status_text(n);
    }
    make_view_active(n);
}

void context_menu(int n, HWND window, LPARAM lparam) {
    if (!view_is_active(n) || view_state(n).count <= 0) return;
    POINT p = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    if (lparam == -1) {
        p = POINT{0, 0};
        ClientToScreen(window, &p);
    }
    PostMessageW(g_shell.main_window, kAppMessage, kMainThumbMenu,
                 MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

bool preview_visible() {
    HWND preview = g_shell.preview_window;
    return preview && IsWindowVisible(preview);
}

bool ctrl_or_shift_down() {
    return GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_SHIFT) < 0;
}

}  // namespace

bool view_is_active(int view) {
    return g_shell.active_view == view;
}

void update_cell_layout() {
    const MainSettings& s = g_shell.main_settings;
    const int32_t width = s.thumb_width > 0 ? s.thumb_width : kDefaultBoxWidth;
    const int32_t height = s.thumb_height > 0 ? s.thumb_height : kDefaultBoxHeight;
    g_cell_layout = cell_layout(width, height, s.captions_shown != 0, s.caption_lines,
                                GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE));
}

void set_view_scroll_info(int view) {
    ViewWindows& v = g_view_windows[view];
    if (!v.base) return;
    const ScrollRange range = scroll_range(view_state(view).count, v.grid, g_cell_layout);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = range.minimum;
    si.nMax = range.maximum;
    si.nPage = static_cast<UINT>(range.page);
    si.nPos = v.position;
    SetScrollInfo(v.base, SB_VERT, &si, TRUE);
}

void lay_out_view(int view, int width, int height) {
    ViewWindows& v = g_view_windows[view];
    if (width > 0) v.grid = view_grid(width, height, g_cell_layout);
    const ViewState& state = view_state(view);
    if (state.count <= 0 || !state.entries) return;
    const int32_t p = relayout_position(state.first_visible, state.count, v.grid, g_cell_layout);
    v.position = p;
    set_view_scroll_info(view);
    show_cells_for_position(view, p);
    UpdateWindow(v.base);
}

void scroll_view(int view, int code) {
    ViewWindows& v = g_view_windows[view];
    if (code == SB_ENDSCROLL) {
        show_cells_for_position(view, v.position);
        return;
    }
    if (code < SB_LINEUP || code > SB_BOTTOM) return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(v.base, SB_VERT, &si)) return;
    const ScrollRange range{si.nMin, si.nMax, static_cast<int32_t>(si.nPage)};
    // The thumb position comes whole from the bar: the message's word stops at 65,535.
    const ScrollCode scroll = static_cast<ScrollCode>(code);
    const int32_t p = scroll_to(scroll, si.nPos, si.nTrackPos, range, g_cell_layout.cell_height);
    si.fMask = SIF_POS;
    si.nPos = p;
    SetScrollInfo(v.base, SB_VERT, &si, TRUE);
    const bool moved = p != v.position;
    v.position = p;
    if ((scroll == ScrollCode::thumb_position || scroll == ScrollCode::thumb_track) && moved)
        show_cells_for_position(view, p);
}

void make_view_active(int view) {
    InterlockedExchange(&g_shell.active_view, view);
    if (g_view_windows[view].base) InvalidateRect(g_view_windows[view].base, nullptr, FALSE);
    repaint_shown_cells(view);
    HWND other = g_view_windows[1 - view].frame;
    if (g_shell.main_settings.view_layout == 0 && other) SendMessageW(other, kAppMessage, kViewRepaint, 0);
    if (g_shell.main_window) SendMessageW(g_shell.main_window, kAppMessage, kMainActiveView, 0);
}

void tree_hover_test(int screen_x) {
    if (!g_shell.main_active || !g_shell.main_settings.tree_auto_show || !g_shell.main_window) return;
    if (g_shell.tree_pane && IsWindowVisible(g_shell.tree_pane)) {
        SendMessageW(g_shell.main_window, kAppMessage, kMainAutoTree, 0);
        return;
    }
    POINT p = {screen_x, 0};
    ScreenToClient(g_shell.client_window, &p);
    if (p.x <= kTreeHoverEdge) SendMessageW(g_shell.main_window, kAppMessage, kMainAutoTree, 1);
}

LRESULT CALLBACK base_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    const int n = view_of_base(window);
    ViewWindows& v = g_view_windows[n];
    switch (message) {
        case WM_SIZE: lay_out_view(n, LOWORD(lparam), HIWORD(lparam)); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: paint_base(n, window); return 0;
        case WM_VSCROLL: scroll_view(n, LOWORD(wparam)); return 0;
        case WM_MOUSEWHEEL:
            scroll_view(n, GET_WHEEL_DELTA_WPARAM(wparam) > 0 ? SB_LINEUP : SB_LINEDOWN);
            scroll_view(n, SB_ENDSCROLL);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN: unmark_on_empty_area(n); return 0;
        case WM_LBUTTONUP: v.pressed = nullptr; return 0;
        case WM_LBUTTONDBLCLK:
            if (wparam == MK_LBUTTON) {
                mark_all(&view_state(n));
                repaint_shown_cells(n);
                update_view_status_text(n);
            }
            return 0;
        case WM_RBUTTONDOWN:
            make_view_active(n);
            v.right_pressed_on_base = true;
            return 0;
        case WM_RBUTTONUP:
            if (wparam == 0 && v.right_pressed_on_base) {
                v.right_pressed_on_base = false;
                if (!preview_visible()) return DefWindowProcW(window, message, wparam, lparam);
            }
            return 0;
        case WM_CONTEXTMENU: context_menu(n, window, lparam); return 0;
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN: make_view_active(n); return DefWindowProcW(window, message, wparam, lparam);
        case WM_MOUSEMOVE:
            if (wparam == 0) {
                POINT p = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
                ClientToScreen(window, &p);
                tree_hover_test(p.x);
            }
            return 0;
        case WM_NCHITTEST: {
            const LRESULT hit = DefWindowProcW(window, message, wparam, lparam);
            if (hit == HTBORDER && !ctrl_or_shift_down()) tree_hover_test(GET_X_LPARAM(lparam));
            return hit;
        }
        case WM_DROPFILES: {
            HDROP drop = reinterpret_cast<HDROP>(wparam);
            // A refused drop is still finished here: nobody else will free its memory.
            if (any_view_busy()) {
                DragFinish(drop);
                return 0;
            }
            make_view_active(n);
            PostMessageW(g_shell.main_window, kAppMessage, kMainFilesDropped, reinterpret_cast<LPARAM>(drop));
            return 0;
        }
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}
