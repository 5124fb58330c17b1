#include "shell/core/view_grid.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

CellLayout cells_of(int32_t width, int32_t height) {
    CellLayout c;
    c.box_width = width;
    c.box_height = height;
    c.cell_width = width;
    c.cell_height = height;
    return c;
}

TEST(ViewGrid, CaptionHeightCountsTheLinesThatAreOn) {
    struct Case {
        bool captions_on;
        int32_t lines[kCaptionLineCount];
        int32_t height;
    } const cases[] = {
        {false, {1, 1, 1, 1}, 0}, {true, {1, 1, 0, 0}, 28}, {true, {0, 0, 0, 0}, 14},
        {true, {1, 1, 1, 1}, 56}, {true, {0, 0, 0, 1}, 14},
    };
    for (const Case& c : cases) EXPECT_EQ(caption_height(c.captions_on, c.lines), c.height);
}

TEST(ViewGrid, CellAddsTheEdgesAndTheCaption) {
    const int32_t lines[kCaptionLineCount] = {1, 1, 0, 0};
    const CellLayout c = cell_layout(144, 108, true, lines, 2, 2);
    EXPECT_EQ(c.cell_width, 146);
    EXPECT_EQ(c.cell_height, 108 + 2 + 28);
    EXPECT_EQ(c.caption_height, 28);
    EXPECT_EQ(cell_layout(144, 108, false, lines, 2, 2).cell_height, 110);
}

TEST(ViewGrid, ColumnsAndRowsAreAtLeastOne) {
    struct Case {
        int32_t width, height, columns, rows;
    } const cases[] = {
        {100, 100, 1, 1},  // narrower and lower than one cell
        {0, 0, 1, 1},      // not sized yet
        {450, 620, 3, 3},  // 150 x 200 cells
        {449, 599, 2, 2},  // one pixel short of a column and a row
        {-5, -5, 1, 1},
    };
    const CellLayout cells = cells_of(150, 200);
    for (const Case& c : cases) {
        const ViewGrid g = view_grid(c.width, c.height, cells);
        EXPECT_EQ(g.columns, c.columns) << c.width;
        EXPECT_EQ(g.visible_rows, c.rows) << c.height;
    }
}

TEST(ViewGrid, ScrollRangeCoversEveryRowWithAPageOfVisibleRows) {
    const CellLayout cells = cells_of(150, 130);
    ViewGrid g;
    g.columns = 3;
    g.visible_rows = 2;
    g.client_height = 300;
    const ScrollRange r = scroll_range(7, g, cells);
    EXPECT_EQ(r.minimum, 0);
    EXPECT_EQ(r.maximum, 3 * 130 - 1);
    EXPECT_EQ(r.page, 2 * 130);
    const ScrollRange empty = scroll_range(0, g, cells);
    EXPECT_EQ(empty.maximum, 0);
    EXPECT_EQ(empty.page, 0);
    // Beyond the 16 bits of a scroll message's word.
    EXPECT_EQ(scroll_range(50000, g, cells).maximum, 16667 * 130 - 1);
}

TEST(ViewGrid, ScrollRequestsSnapAndClamp) {
    const int32_t h = 130;
    const ScrollRange r{0, 3 * h - 1, 2 * h};  // 7 entries, 3 columns, 2 visible rows
    const int32_t last = r.maximum - r.page + 1;
    struct Case {
        ScrollCode code;
        int32_t position, track, expected;
    } const cases[] = {
        {ScrollCode::thumb_track, 0, h / 2 + 1, h},  // just past half a row snaps to the next
        {ScrollCode::thumb_track, 0, h / 2 - 1, 0},
        {ScrollCode::thumb_position, 0, 3 * h, last},
        {ScrollCode::line_up, 0, 0, 0},
        {ScrollCode::line_down, 0, 0, h},
        {ScrollCode::line_down, h, 0, last},
        {ScrollCode::page_down, 0, 0, last},
        {ScrollCode::page_up, last, 0, 0},
        {ScrollCode::bottom, 0, 0, last},
        {ScrollCode::top, last, 0, 0},
        {ScrollCode::end_scroll, 17, 0, 17},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scroll_to(c.code, c.position, c.track, r, h), c.expected)
            << static_cast<int>(c.code) << " from " << c.position;
    // A page that covers everything leaves only the top.
    const ScrollRange small{0, h - 1, 2 * h};
    EXPECT_EQ(scroll_to(ScrollCode::line_down, 0, 0, small, h), 0);
    EXPECT_EQ(scroll_to(ScrollCode::bottom, 0, 0, small, h), 0);
}

TEST(ViewGrid, ThumbTrackBeyondSixteenBits) {
    const int32_t h = 138;
    const ScrollRange r{0, 12500 * h - 1, 4 * h};
    EXPECT_EQ(scroll_to(ScrollCode::thumb_track, 0, 9000 * h + 3, r, h), 9000 * h);
}

TEST(ViewGrid, ShownRangeCoversPartlyVisibleRows) {
    const CellLayout cells = cells_of(100, 100);
    ViewGrid g;
    g.columns = 4;
    g.visible_rows = 2;
    g.client_height = 250;  // two rows and half of a third
    struct Case {
        int32_t position, count, first, end;
    } const cases[] = {
        {0, 100, 0, 12}, {99, 100, 0, 12},   {100, 100, 4, 16},
        {0, 5, 0, 5},    {2300, 98, 92, 98},  // the last rows
        {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const ShownRange s = shown_range(c.position, c.count, g, cells);
        EXPECT_EQ(s.first, c.first) << c.position;
        EXPECT_EQ(s.end, c.end) << c.position;
    }
}

TEST(ViewGrid, RelayoutKeepsTheFirstVisibleRowUnlessPastTheBottom) {
    const CellLayout cells = cells_of(100, 100);
    ViewGrid g;
    g.columns = 4;
    g.visible_rows = 3;
    g.client_height = 300;
    struct Case {
        int32_t first_visible, count, expected;
    } const cases[] = {
        {0, 100, 0}, {9, 100, 200}, {96, 100, 2200},  // 25 rows: the bottom puts row 22 on top
        {40, 10, 0},                                  // shrank below the remembered row
        {5, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(relayout_position(c.first_visible, c.count, g, cells), c.expected);
}

// Scrolling a 20,000-entry view from top to bottom and back: the pool never grows with the
// entries, every shown entry has a slot of its own, and a scroll by one row passes on only
// that row's windows.
TEST(ViewGrid, CellSlotsFollowTheShownRangeWithABoundedPool) {
    const CellLayout cells = cells_of(146, 138);
    const ViewGrid g = view_grid(620, 560, cells);
    const int32_t count = 20000;
    const int32_t size = cell_pool_size(g, cells);
    EXPECT_EQ(size, g.columns * (5 + 1));
    std::vector<int32_t> slots(size, -1);
    const ScrollRange range = scroll_range(count, g, cells);
    std::vector<int32_t> positions;
    for (int32_t p = 0; p <= range.maximum; p += cells.cell_height) positions.push_back(p);
    for (int32_t p = range.maximum; p >= 0; p -= 7 * cells.cell_height + 11) positions.push_back(p);
    ShownRange previous;
    for (int32_t p : positions) {
        const ShownRange s = shown_range(clamp_scroll_position(p, range), count, g, cells);
        const std::vector<CellSlotChange> changes = assign_cell_slots(s, &slots);
        int32_t used = 0;
        for (int32_t e : slots) used += e >= 0;
        ASSERT_EQ(used, s.end - s.first) << p;
        for (int32_t i = s.first; i < s.end; ++i) ASSERT_EQ(slots[i % size], i);
        if (s.first == previous.first + g.columns && s.end == previous.end + g.columns) {
            int32_t given = 0;
            for (const CellSlotChange& c : changes) given += c.entry >= 0;
            EXPECT_EQ(given, g.columns) << p;
            EXPECT_LE(static_cast<int32_t>(changes.size()), 2 * g.columns) << p;
        }
        previous = s;
    }
}

TEST(ViewGrid, SlotsAreFreedWhenTheViewEmpties) {
    std::vector<int32_t> slots(8, -1);
    assign_cell_slots(ShownRange{0, 6}, &slots);
    const std::vector<CellSlotChange> changes = assign_cell_slots(ShownRange{0, 0}, &slots);
    EXPECT_EQ(changes.size(), 6u);
    for (const CellSlotChange& c : changes) EXPECT_EQ(c.entry, -1);
    for (int32_t e : slots) EXPECT_EQ(e, -1);
}

}  // namespace
