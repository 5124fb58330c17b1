#include "shell/core/view_grid.h"

#include <algorithm>

namespace {

int32_t ceil_div(int32_t a, int32_t b) {
    return b > 0 && a > 0 ? (a + b - 1) / b : 0;
}

// The rows a base of this height shows at least partly.
int32_t partly_visible_rows(const ViewGrid& grid, const CellLayout& cells) {
    return ceil_div(grid.client_height, std::max(cells.cell_height, 1));
}

}  // namespace

int32_t caption_height(bool captions_on, const int32_t lines[kCaptionLineCount]) {
    if (!captions_on) return 0;
    int32_t on = 0;
    for (int i = 0; i < kCaptionLineCount; ++i)
        if (lines[i]) ++on;
    return kCaptionLineHeight * std::max(on, 1);
}

CellLayout cell_layout(int32_t box_width, int32_t box_height, bool captions_on,
                       const int32_t lines[kCaptionLineCount], int32_t edge_x, int32_t edge_y) {
    CellLayout c;
    c.box_width = box_width;
    c.box_height = box_height;
    c.caption_height = caption_height(captions_on, lines);
    c.cell_width = std::max(box_width + edge_x, 1);
    c.cell_height = std::max(box_height + edge_y + c.caption_height, 1);
    return c;
}

ViewGrid view_grid(int32_t client_width, int32_t client_height, const CellLayout& cells) {
    ViewGrid g;
    g.columns = std::max(client_width / std::max(cells.cell_width, 1), 1);
    g.client_height = std::max(client_height, 0);
    g.visible_rows = std::max(g.client_height / std::max(cells.cell_height, 1), 1);
    return g;
}

int32_t row_count(int32_t count, int32_t columns) {
    return ceil_div(count, std::max(columns, 1));
}

ScrollRange scroll_range(int32_t count, const ViewGrid& grid, const CellLayout& cells) {
    ScrollRange r;
    if (count <= 0) return r;
    // 50,000 entries of the largest cell stay far inside 32 bits: 50,000 x 1,000 pixels.
    r.maximum = cells.cell_height * row_count(count, grid.columns) - 1;
    r.page = cells.cell_height * grid.visible_rows;
    return r;
}

int32_t snap_to_row(int32_t track_position, int32_t cell_height) {
    const int32_t h = std::max(cell_height, 1);
    return (h / 2 + track_position) / h * h;
}

int32_t clamp_scroll_position(int32_t position, const ScrollRange& range) {
    const int32_t last = std::max(range.maximum - range.page + 1, range.minimum);
    return std::min(std::max(position, range.minimum), last);
}

int32_t scroll_to(ScrollCode code, int32_t position, int32_t track, const ScrollRange& range,
                  int32_t cell_height) {
    int32_t p = position;
    switch (code) {
        case ScrollCode::line_up: p -= cell_height; break;
        case ScrollCode::line_down: p += cell_height; break;
        case ScrollCode::page_up: p -= range.page; break;
        case ScrollCode::page_down: p += range.page; break;
        case ScrollCode::thumb_position:
        case ScrollCode::thumb_track: p = snap_to_row(track, cell_height); break;
        case ScrollCode::top: p = range.minimum; break;
        case ScrollCode::bottom: p = range.maximum; break;
        case ScrollCode::end_scroll: return position;
    }
    return clamp_scroll_position(p, range);
}

ShownRange shown_range(int32_t position, int32_t count, const ViewGrid& grid, const CellLayout& cells) {
    ShownRange s;
    const int32_t columns = std::max(grid.columns, 1);
    const int64_t first =
        static_cast<int64_t>(std::max(position, 0) / std::max(cells.cell_height, 1)) * columns;
    s.first = static_cast<int32_t>(std::min<int64_t>(first, std::max(count, 0)));
    const int64_t end = s.first + static_cast<int64_t>(columns) * partly_visible_rows(grid, cells);
    s.end = static_cast<int32_t>(std::min<int64_t>(end, std::max(count, 0)));
    return s;
}

int32_t relayout_position(int32_t first_visible, int32_t count, const ViewGrid& grid,
                          const CellLayout& cells) {
    const int32_t columns = std::max(grid.columns, 1);
    const int32_t row_top = std::max(first_visible, 0) / columns * cells.cell_height;
    const int32_t bottom_top =
        std::max(cells.cell_height * (row_count(count, columns) - grid.visible_rows), 0);
    return std::min(row_top, bottom_top);
}

int32_t cell_pool_size(const ViewGrid& grid, const CellLayout& cells) {
    return std::max(grid.columns, 1) * (partly_visible_rows(grid, cells) + 1);
}

std::vector<CellSlotChange> assign_cell_slots(const ShownRange& shown, std::vector<int32_t>* slot_entry) {
    std::vector<CellSlotChange> changes;
    std::vector<int32_t>& slots = *slot_entry;
    const int32_t size = static_cast<int32_t>(slots.size());
    if (size == 0) return changes;
    std::vector<int32_t> wanted(slots.size(), -1);
    // A range wider than the pool keeps its first entries; the pool is sized so this never
    // happens for a grid it was made for.
    const int32_t end = std::min(shown.end, shown.first + size);
    for (int32_t i = shown.first; i < end; ++i) wanted[i % size] = i;
    for (int32_t s = 0; s < size; ++s) {
        if (slots[s] == wanted[s]) continue;
        slots[s] = wanted[s];
        changes.push_back(CellSlotChange{s, wanted[s]});
    }
    return changes;
}
