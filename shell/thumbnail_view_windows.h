// What the thumbnail views' window procedures share: the windows of each view, its grid and
// scroll position, the pool of cell windows its shown entries borrow, and the cell layout of
// both views. Everything here belongs to the view's own thread unless noted.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "common/win/handle.h"
#include "shell/core/view_grid.h"
#include "shell/thumbnail_view_parts.h"

constexpr COLORREF kActiveViewColour = 0xD4CCCC;
constexpr COLORREF kInactiveViewColour = 0xA49C9C;
constexpr COLORREF kCaptionColour = 0xF8F0F0;

struct CellWindows {
    HWND cell = nullptr;
    HWND caption = nullptr;
};

struct ViewWindows {
    HWND frame = nullptr;
    HWND status = nullptr;
    HWND base = nullptr;
    HookHandle mouse_hook;
    HookHandle keyboard_hook;
    // Guards the folder of the view's state, which the main thread writes.
    std::mutex folder_lock;
    ViewGrid grid;
    int32_t position = 0;  // scroll position in pixels
    std::vector<CellWindows> pool;
    CellLayout pool_layout;           // the cell size the pool's windows were made with
    std::vector<int32_t> slot_entry;  // the entry each pool slot shows; -1 free
    bool cell_failure_reported = false;
    // Raised whenever entry indexes stop naming what they named (clear, removal, dropped
    // tail): a selection message posted before then names nothing. Read by the main thread.
    volatile LONG generation = 1;
    HWND pressed = nullptr;  // the cell whose button went down
    bool right_pressed_on_base = false;
    volatile LONG took_focus = 0;
};

extern ViewWindows g_view_windows[2];
// Both views' cell sizes, set on the view threads from the main settings.
extern CellLayout g_cell_layout;

const wchar_t* cell_class_name(int view);
const wchar_t* caption_class_name(int view);
void register_cell_classes(int view);

// The cell layout from the settings and the system's edge sizes.
void update_cell_layout();
// Lays the view out again for a base client of w x h (w 0: keep the grid).
void lay_out_view(int view, int width, int height);
void set_view_scroll_info(int view);
void show_cells_for_position(int view, int position);
void scroll_view(int view, int code);
void repaint_shown_cells(int view);
void destroy_view_cells(int view);
// The cell window showing `index`, or null when it is not on screen.
HWND cell_of_entry(int view, int index);

// The active-view word, a repaint of every shown cell, 302 to the other view when both are
// shown, 151 to the main window.
void make_view_active(int view);
bool view_is_active(int view);
bool any_view_busy();
// 153 / 154 naming `entry` of the view (-1: none).
void post_selection(int view, int entry);
// The tree hover test of the bases and cells; `screen_x` is the pointer's x on the screen.
void tree_hover_test(int screen_x);
// The entry's full path; false when it has none or it would not fit MAX_PATH characters.
bool entry_path(int view, int index, wchar_t* path);
// Frees an entry's thumbnail rows, however the store that filled the entry allocated them.
void free_entry_bits(uint8_t* bits);

// The text of caption line `line` of an entry (0 the name, 1 the size, 2 the depth and flags,
// 3 the date), as the caption paints it.
std::wstring caption_line(const FileEntry& e, int line);
// Frees the view's thumbnails and entry array (virtual memory) and empties its list.
void free_view_file_lists_of(int view);
// The long parameter of 153 / 154 naming `entry` (-1: 0).
LPARAM selection_message_value(int view, int32_t entry);
// 303: the marked entries leave the view.
void remove_marked_from_view(int view);
// 313: the marked JPEG files turned or flipped in place.
void transform_marked_files(int view, int kind);

LRESULT CALLBACK base_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
