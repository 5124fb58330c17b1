// The arithmetic of a thumbnail view: the cell size from the settings, the grid of a base
// window, the vertical scroll range and its positions, which entries a scroll position shows,
// and the pool of cell windows that the shown entries borrow.
#pragma once

#include <cstdint>
#include <vector>

constexpr int32_t kCaptionLineHeight = 14;
constexpr int32_t kCaptionCellHeight = 56;  // the caption window; the cell clips what it does not show
constexpr int kCaptionLineCount = 4;        // name, size, bit depth and flags, date

// Shared by both views: recomputed whenever the box size, the captions or the display change.
struct CellLayout {
    int32_t box_width = 0;
    int32_t box_height = 0;
    int32_t caption_height = 0;
    int32_t cell_width = 1;
    int32_t cell_height = 1;
};

// 0 with captions off; else 14 per line that is on, and 14 when none is.
int32_t caption_height(bool captions_on, const int32_t lines[kCaptionLineCount]);
// `edge_x`, `edge_y`: the system's edge metrics, which the cell's static edge takes.
CellLayout cell_layout(int32_t box_width, int32_t box_height, bool captions_on,
                       const int32_t lines[kCaptionLineCount], int32_t edge_x, int32_t edge_y);

struct ViewGrid {
    int32_t columns = 1;
    int32_t visible_rows = 1;  // whole rows that fit
    int32_t client_height = 0;
};

// Columns and visible rows are at least 1 however narrow or low the base is.
ViewGrid view_grid(int32_t client_width, int32_t client_height, const CellLayout& cells);

// Rows needed for `count` entries.
int32_t row_count(int32_t count, int32_t columns);

struct ScrollRange {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t page = 0;
};

// 0 to cell height x rows - 1, a page of the visible rows; an empty view has an empty range.
ScrollRange scroll_range(int32_t count, const ViewGrid& grid, const CellLayout& cells);

// The row start nearest a thumb position.
int32_t snap_to_row(int32_t track_position, int32_t cell_height);

// A position inside [minimum, maximum - page + 1] (the minimum when the page covers it all).
int32_t clamp_scroll_position(int32_t position, const ScrollRange& range);

enum class ScrollCode : int32_t {
    line_up = 0,  // the system's SB_* values
    line_down = 1,
    page_up = 2,
    page_down = 3,
    thumb_position = 4,
    thumb_track = 5,
    top = 6,
    bottom = 7,
    end_scroll = 8,
};

// The position after a scroll request; `track` is the thumb's position for the thumb codes.
// The end-of-scroll code keeps the position.
int32_t scroll_to(ScrollCode code, int32_t position, int32_t track, const ScrollRange& range,
                  int32_t cell_height);

// Entries [first, end) are shown at a scroll position: every row that is partly visible.
struct ShownRange {
    int32_t first = 0;
    int32_t end = 0;
};
ShownRange shown_range(int32_t position, int32_t count, const ViewGrid& grid, const CellLayout& cells);

// Where a view lays out again: the row of the first visible entry, no further down than the
// position that shows the last row at the bottom.
int32_t relayout_position(int32_t first_visible, int32_t count, const ViewGrid& grid,
                          const CellLayout& cells);

// The cell windows of a view: enough for every partly visible row plus one row of margin,
// whatever the number of entries. An entry borrows slot (index mod size), so the shown entries
// never share a slot and a scroll by a row passes only one row's windows on.
int32_t cell_pool_size(const ViewGrid& grid, const CellLayout& cells);

struct CellSlotChange {
    int32_t slot = 0;
    int32_t entry = -1;  // -1: hide the slot's windows
};

// Gives the slots to the entries of `shown` and takes them from every other entry; `slot_entry`
// (one per slot, -1 for a free slot) is updated and the changed slots are returned. Slots whose
// entry stays are not listed.
std::vector<CellSlotChange> assign_cell_slots(const ShownRange& shown, std::vector<int32_t>* slot_entry);
