// The thumbnail and caption cells of the views. Only the rows on screen (and one more) have
// windows: the pool's windows pass from entry to entry as the view scrolls, each taking the
// control id 10000 + index of the entry it shows, so a cell's messages name their entry as
// they would with one window per entry.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <windowsx.h>
// clang-format on

#include <string>

#include "common/win/app_messages.h"
#include "common/win/error_message.h"
#include "common/win/process_lock.h"
#include "shell/core/cell_selection.h"
#include "shell/folder_watch.h"
#include "shell/preview_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_windows.h"

static_assert(sizeof(BitmapInfoHeader) == sizeof(BITMAPINFOHEADER), "entries keep the system's header");

namespace {

constexpr int32_t kPreviewMinimumSide = 100;

enum PressedButton : int { kNoButton = 0, kLeftButton = 1, kRightButton = 2 };
// Process-wide: one pointer, one pressed button.
volatile LONG g_pressed_button = kNoButton;
POINT g_recorded_point = {};

struct CellCodes {
    WPARAM double_click;
    WPARAM chord;
};
// [view][caption]
constexpr CellCodes kCellCodes[2][2] = {
    {{kMainActionImage1, kMainBothImage1}, {kMainActionInfo1, kMainBothInfo1}},
    {{kMainActionImage2, kMainBothImage2}, {kMainActionInfo2, kMainBothInfo2}},
};

FileEntry* entry_of_window(int n, HWND window) {
    ViewState& state = view_state(n);
    const int index = GetDlgCtrlID(window) - kFirstCellControlId;
    if (!state.entries || index < 0 || index >= state.count) return nullptr;
    return &state.entries[index];
}

int index_of_window(HWND window) {
    return GetDlgCtrlID(window) - kFirstCellControlId;
}

COLORREF mark_colour(int n) {
    return view_is_active(n) ? static_cast<COLORREF>(g_shell.main_settings.marked_colour) : kActiveViewColour;
}

void fill(HDC dc, const RECT& r, COLORREF colour) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    BrushHandle brush(CreateSolidBrush(colour));
    FillRect(dc, &r, brush.get());
}

void paint_cell(int n, HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    const COLORREF background = view_is_active(n) ? kActiveViewColour : kInactiveViewColour;
    const int32_t bw = g_cell_layout.box_width;
    const int32_t bh = g_cell_layout.box_height;
    const FileEntry* e = entry_of_window(n, window);
    if (e && e->thumbnail_bits) {
        // An entry stored without a fitted size shows its bitmap as it is.
        const int32_t dw = e->display_width > 0 ? e->display_width : e->thumbnail_width;
        const int32_t dh = e->display_height > 0 ? e->display_height : e->thumbnail_height;
        const int32_t x0 = dw < bw ? (bw - dw) / 2 : 0;
        const int32_t y0 = dh < bh ? (bh - dh) / 2 : 0;
        fill(dc, RECT{0, 0, bw, y0}, background);
        fill(dc, RECT{0, y0 + dh, bw, bh}, background);
        fill(dc, RECT{0, y0, x0, y0 + dh}, background);
        fill(dc, RECT{x0 + dw, y0, bw, y0 + dh}, background);
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, x0, y0, dw, dh, 0, 0, e->thumbnail_width, e->thumbnail_height, e->thumbnail_bits,
                      reinterpret_cast<const BITMAPINFO*>(&e->thumbnail_header), DIB_RGB_COLORS, SRCCOPY);
        if (e->marked == kEntryMarked) {
            BrushHandle frame(CreateSolidBrush(mark_colour(n)));
            const RECT box = {0, 0, bw, bh};
            FrameRect(dc, &box, frame.get());
        }
    } else {
        fill(dc, RECT{0, 0, bw, bh}, background);
    }
    EndPaint(window, &ps);
}

std::wstring date_text(const FileTime& time) {
    FILETIME utc = {time.low, time.high};
    FILETIME local = {};
    SYSTEMTIME st = {};
    LocalFileTime parts;
    {
        const bool locked = process_lock_exists();
        if (locked) process_lock_enter();
        const bool ok = FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &st);
        if (locked) process_lock_leave();
        if (!ok) return std::wstring();
    }
    parts.year = st.wYear;
    parts.month = st.wMonth;
    parts.day = st.wDay;
    parts.hour = st.wHour;
    parts.minute = st.wMinute;
    parts.second = st.wSecond;
    const std::u16string text = format_file_time(parts);
    return std::wstring(text.begin(), text.end());
}

}  // namespace

std::wstring caption_line(const FileEntry& e, int line) {
    switch (line) {
        case 0: return std::wstring(reinterpret_cast<const wchar_t*>(e.name));
        case 1: {
            const std::u16string t = caption_size_text(e.load_info.width, e.load_info.height,
                                                       static_cast<uint32_t>(e.load_info.file_size));
            return std::wstring(t.begin(), t.end());
        }
        case 2: {
            const std::u16string t = caption_depth_text(e.load_info);
            return std::wstring(t.begin(), t.end());
        }
        default: return date_text(e.load_info.last_write);
    }
}

namespace {

void paint_caption(int n, HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    RECT client = {};
    GetClientRect(window, &client);
    const FileEntry* e = entry_of_window(n, window);
    fill(dc, client, e && e->marked == kEntryMarked ? mark_colour(n) : kCaptionColour);
    if (e && e->thumbnail_bits) {
        SetBkMode(dc, TRANSPARENT);
        SelectGuard font(dc, g_shell.ui_font.get());
        RECT line = {0, 0, client.right, kCaptionLineHeight};
        for (int i = 0; i < kCaptionLineCount; ++i) {
            if (!g_shell.main_settings.caption_lines[i]) continue;
            const std::wstring text = caption_line(*e, i);
            DrawTextW(dc, text.c_str(), -1, &line, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_WORD_ELLIPSIS);
            OffsetRect(&line, 0, kCaptionLineHeight);
        }
    }
    EndPaint(window, &ps);
}

POINT screen_point(HWND window, LPARAM lparam) {
    POINT p = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    ClientToScreen(window, &p);
    return p;
}

void repaint_now(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

void repaint_entry_now(int n, int index) {
    HWND cell = cell_of_entry(n, index);
    if (!cell) return;
    repaint_now(cell);
    if (HWND caption = GetWindow(cell, GW_CHILD)) repaint_now(caption);
}

void click(int n, HWND window, int keys, LPARAM lparam) {
    const int index = index_of_window(window);
    const SelectionPost post = click_action(&view_state(n), index, keys, any_view_busy());
    if (post.post) post_selection(n, post.entry);
    update_view_status_text(n);
    make_view_active(n);
    g_recorded_point = screen_point(window, lparam);
    g_view_windows[n].pressed = window;
}

void chord(int n, HWND window, bool caption) {
    const FileEntry* e = entry_of_window(n, window);
    if (window != g_view_windows[n].pressed || !e || !e->thumbnail_bits) return;
    const int index = index_of_window(window);
    if (mark_only(&view_state(n), index)) {
        repaint_shown_cells(n);
        repaint_entry_now(n, index);
        update_view_status_text(n);
    }
    PostMessageW(g_shell.main_window, kAppMessage, kCellCodes[n][caption].chord, index);
}

void double_click(int n, HWND window, bool caption) {
    const FileEntry* e = entry_of_window(n, window);
    if (!e) return;
    DoubleClickFacts facts;
    facts.has_thumbnail = e->thumbnail_bits != nullptr;
    facts.on_thumbnail_cell = !caption;
    facts.click_preview_on = g_shell.main_settings.preview_enabled != 0;
    facts.image_width = e->load_info.width;
    facts.image_height = e->load_info.height;
    facts.box_width = g_cell_layout.box_width;
    facts.box_height = g_cell_layout.box_height;
    facts.preview_size = g_shell.main_settings.preview_max;
    if (!double_click_acts(facts)) return;
    const int index = index_of_window(window);
    if (mark_only(&view_state(n), index)) {
        repaint_shown_cells(n);
        update_view_status_text(n);
    }
    PostMessageW(g_shell.main_window, kAppMessage, kCellCodes[n][caption].double_click, index);
}

void cell_context_menu(int n, HWND window, LPARAM lparam) {
    const FileEntry* e = entry_of_window(n, window);
    if (!e || e->marked != kEntryMarked) return;
    const POINT p = screen_point(window, lparam);
    PostMessageW(g_shell.main_window, kAppMessage, kMainThumbMenu,
                 MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

void drag_test(int n, HWND window, LPARAM lparam) {
    wchar_t folder[MAX_PATH];
    view_folder(n, folder);
    if (!path_free_of_conversion(folder) || any_view_busy() || g_pressed_button == kNoButton) return;
    const POINT p = screen_point(window, lparam);
    const int32_t dx = p.x - g_recorded_point.x;
    const int32_t dy = p.y - g_recorded_point.y;
    g_recorded_point = p;
    if (!drag_threshold_passed(dx, dy)) return;
    if (g_shell.tree) SetCapture(g_shell.tree);
    PostMessageW(g_shell.main_window, kAppMessage, kMainDragStarts, 0);
}

void click_preview(int n, HWND window) {
    const int index = index_of_window(window);
    set_preview_entry_index(index);
    const FileEntry* e = entry_of_window(n, window);
    if (!e || e->marked != kEntryMarked) return;
    if (e->load_info.width < kPreviewMinimumSide && e->load_info.height < kPreviewMinimumSide) return;
    wchar_t path[MAX_PATH];
    if (!entry_path(n, index, path)) return;
    show_preview_for_cell(window, path);
}

LRESULT cell_message(int n, bool caption, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT:
            if (caption)
                paint_caption(n, window);
            else
                paint_cell(n, window);
            return 0;
        case WM_LBUTTONDOWN:
            InterlockedExchange(&g_pressed_button, kLeftButton);
            click(n, window, static_cast<int>(wparam), lparam);
            return 0;
        case WM_RBUTTONDOWN:
            InterlockedExchange(&g_pressed_button, kRightButton);
            click(n, window, static_cast<int>(wparam), lparam);
            return 0;
        case WM_MBUTTONDOWN: click(n, window, kClickCtrlLeft, lparam); return 0;
        case WM_LBUTTONUP:
            if (wparam & MK_RBUTTON) {
                chord(n, window, caption);
            } else if (!caption && wparam == 0 && g_pressed_button == kLeftButton &&
                       g_shell.main_settings.preview_enabled) {
                click_preview(n, window);
            }
            InterlockedExchange(&g_pressed_button, kNoButton);
            return 0;
        case WM_RBUTTONUP:
            if (wparam & MK_LBUTTON)
                chord(n, window, caption);
            else if (wparam == 0 && g_pressed_button == kRightButton)
                cell_context_menu(n, window, lparam);
            InterlockedExchange(&g_pressed_button, kNoButton);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (wparam == MK_LBUTTON) double_click(n, window, caption);
            return 0;
        case WM_MOUSEMOVE:
            if (wparam == 0)
                tree_hover_test(screen_point(window, lparam).x);
            else if (wparam & (MK_LBUTTON | MK_RBUTTON))
                drag_test(n, window, lparam);
            return 0;
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN:
            if (!caption) make_view_active(n);
            return DefWindowProcW(window, message, wparam, lparam);
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

template <int N, bool Caption>
LRESULT CALLBACK cell_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return cell_message(N, Caption, window, message, wparam, lparam);
}

void report_cell_failure(int n) {
    ViewWindows& v = g_view_windows[n];
    if (v.cell_failure_reported) return;
    v.cell_failure_reported = true;
    PostMessageW(g_shell.main_window, kAppMessage, kMainShowError, kErrorImageDisplay);
}

bool create_slot_windows(int n, CellWindows* slot, int id) {
    ViewWindows& v = g_view_windows[n];
    HMENU menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    slot->cell = CreateWindowExW(WS_EX_STATICEDGE, cell_class_name(n), nullptr,
                                 WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, g_cell_layout.cell_width,
                                 g_cell_layout.cell_height, v.base, menu, g_shell.instance, nullptr);
    if (!slot->cell) return false;
    slot->caption =
        CreateWindowExW(0, caption_class_name(n), nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0,
                        g_cell_layout.box_height, g_cell_layout.box_width, kCaptionCellHeight, slot->cell,
                        menu, g_shell.instance, nullptr);
    if (!slot->caption) {
        DestroyWindow(slot->cell);
        slot->cell = nullptr;
        return false;
    }
    SendMessageW(slot->caption, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    return true;
}

// The pool fits the grid and the cell size it was made for; anything else starts it afresh.
void fit_pool(int n) {
    ViewWindows& v = g_view_windows[n];
    const size_t size = static_cast<size_t>(cell_pool_size(v.grid, g_cell_layout));
    const bool same_cells = v.pool_layout.cell_width == g_cell_layout.cell_width &&
                            v.pool_layout.cell_height == g_cell_layout.cell_height &&
                            v.pool_layout.box_height == g_cell_layout.box_height;
    if (same_cells && v.pool.size() == size) return;
    ViewState& state = view_state(n);
    for (size_t s = 0; s < v.slot_entry.size(); ++s) {
        const int32_t e = v.slot_entry[s];
        if (e >= 0 && e < state.count && state.entries) state.entries[e].shown = 0;
    }
    if (!same_cells) {
        destroy_view_cells(n);
    } else {
        for (size_t s = size; s < v.pool.size(); ++s)
            if (v.pool[s].cell) DestroyWindow(v.pool[s].cell);
        for (CellWindows& c : v.pool)
            if (c.cell) ShowWindow(c.cell, SW_HIDE);
    }
    v.pool.resize(size);
    v.slot_entry.assign(size, -1);
    v.pool_layout = g_cell_layout;
}

}  // namespace

const wchar_t* cell_class_name(int view) {
    return view ? L"Pexaron_thimg2_class" : L"Pexaron_thimg1_class";
}
const wchar_t* caption_class_name(int view) {
    return view ? L"Pexaron_thtxt2_class" : L"Pexaron_thtxt1_class";
}

void register_cell_classes(int view) {
    register_window_class(view ? cell_proc<1, false> : cell_proc<0, false>, nullptr, g_shell.arrow_cursor, 0,
                          cell_class_name(view));
    register_window_class(view ? cell_proc<1, true> : cell_proc<0, true>, nullptr, g_shell.arrow_cursor, 0,
                          caption_class_name(view));
}

bool entry_path(int view, int index, wchar_t* path) {
    const ViewState& state = view_state(view);
    if (!state.entries || index < 0 || index >= state.count) return false;
    wchar_t folder[MAX_PATH];
    view_folder(view, folder);
    const wchar_t* name = reinterpret_cast<const wchar_t*>(state.entries[index].name);
    const int folder_length = lstrlenW(folder);
    const bool needs_separator = folder_length > 0 && folder[folder_length - 1] != L'\\';
    // A joined path that does not fit is refused: cut short it would name another file.
    if (folder_length + (needs_separator ? 1 : 0) + lstrlenW(name) >= MAX_PATH) return false;
    lstrcpyW(path, folder);
    if (needs_separator) lstrcatW(path, L"\\");
    lstrcatW(path, name);
    return true;
}

HWND cell_of_entry(int view, int index) {
    ViewWindows& v = g_view_windows[view];
    if (v.slot_entry.empty() || index < 0) return nullptr;
    const size_t slot = static_cast<size_t>(index) % v.slot_entry.size();
    return v.slot_entry[slot] == index ? v.pool[slot].cell : nullptr;
}

void show_cells_for_position(int view, int position) {
    ViewWindows& v = g_view_windows[view];
    ViewState& state = view_state(view);
    if (!v.base) return;
    fit_pool(view);
    v.position = position;
    const ShownRange shown = shown_range(position, state.entries ? state.count : 0, v.grid, g_cell_layout);
    const std::vector<int32_t> before = v.slot_entry;
    const std::vector<CellSlotChange> changes = assign_cell_slots(shown, &v.slot_entry);
    for (const CellSlotChange& c : changes) {
        const int32_t old = before[c.slot];
        if (old >= 0 && old < state.count) state.entries[old].shown = 0;
        CellWindows& slot = v.pool[c.slot];
        if (c.entry < 0) {
            if (slot.cell) ShowWindow(slot.cell, SW_HIDE);
            continue;
        }
        const int id = kFirstCellControlId + c.entry;
        if (!slot.cell && !create_slot_windows(view, &slot, id)) {
            report_cell_failure(view);
            v.slot_entry[c.slot] = -1;
            continue;
        }
        SetWindowLongPtrW(slot.cell, GWLP_ID, id);
        SetWindowLongPtrW(slot.caption, GWLP_ID, id);
        InvalidateRect(slot.cell, nullptr, FALSE);
        InvalidateRect(slot.caption, nullptr, FALSE);
    }
    const int32_t columns = v.grid.columns;
    for (int32_t i = shown.first; i < shown.end; ++i) {
        HWND cell = cell_of_entry(view, i);
        if (!cell) continue;
        SetWindowPos(cell, nullptr, (i % columns) * g_cell_layout.cell_width,
                     (i - shown.first) / columns * g_cell_layout.cell_height, g_cell_layout.cell_width,
                     g_cell_layout.cell_height, SWP_NOZORDER | SWP_NOSENDCHANGING | SWP_NOACTIVATE);
        ShowWindow(cell, SW_SHOWNA);
        state.entries[i].shown = kEntryShown;
    }
    state.first_visible = shown.first;
}

void repaint_shown_cells(int view) {
    ViewWindows& v = g_view_windows[view];
    for (size_t s = 0; s < v.pool.size(); ++s) {
        if (v.slot_entry[s] < 0 || !v.pool[s].cell) continue;
        InvalidateRect(v.pool[s].cell, nullptr, FALSE);
        InvalidateRect(v.pool[s].caption, nullptr, FALSE);
    }
}

void destroy_view_cells(int view) {
    ViewWindows& v = g_view_windows[view];
    ViewState& state = view_state(view);
    for (size_t s = 0; s < v.pool.size(); ++s) {
        const int32_t e = s < v.slot_entry.size() ? v.slot_entry[s] : -1;
        if (e >= 0 && e < state.count && state.entries) state.entries[e].shown = 0;
        if (v.pool[s].cell) DestroyWindow(v.pool[s].cell);
        v.pool[s] = CellWindows{};
    }
    v.slot_entry.assign(v.slot_entry.size(), -1);
}

void create_view_cells(int view) {
    const int n = view & 1;
    ViewWindows& v = g_view_windows[n];
    if (!v.base) return;
    update_cell_layout();
    RECT rc = {};
    GetClientRect(v.base, &rc);
    v.grid = view_grid(rc.right, rc.bottom, g_cell_layout);
    v.position = 0;
    set_view_scroll_info(n);
    show_cells_for_position(n, 0);
}

void repaint_entry_cells(int view, int index) {
    HWND cell = cell_of_entry(view & 1, index);
    if (!cell) return;
    InvalidateRect(cell, nullptr, FALSE);
    if (HWND caption = GetWindow(cell, GW_CHILD)) InvalidateRect(caption, nullptr, FALSE);
}

void drop_failed_cells(int view, int failed) {
    const int n = view & 1;
    ViewWindows& v = g_view_windows[n];
    ViewState& state = view_state(n);
    if (failed <= 0) return;
    const int32_t keep = failed < state.count ? state.count - failed : 0;
    for (int32_t i = keep; i < state.count; ++i) {
        FileEntry& e = state.entries[i];
        e.shown = 0;
        if (e.thumbnail_bits) free_entry_bits(e.thumbnail_bits);
        e.thumbnail_bits = nullptr;
    }
    state.count = keep;
    state.first_visible = 0;
    v.position = 0;
    set_view_scroll_info(n);
    show_cells_for_position(n, 0);
    InvalidateRect(v.base, nullptr, TRUE);
}
