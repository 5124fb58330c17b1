#include "shell/core/cell_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/utf16.h"

namespace {

uint8_t g_rows[1];  // stands for thumbnail rows: only null or not matters to the rules

// A view described by one character per entry: 'x' marked, '.' unmarked, '-' unmarked and
// without a thumbnail (still loading or failed).
class View {
public:
    explicit View(const std::string& marks, int32_t anchor = 0) : entries_(marks.size()) {
        if (!entries_.empty())
            std::memset(static_cast<void*>(entries_.data()), 0, sizeof(FileEntry) * entries_.size());
        state_ = ViewState{};
        state_.entries = entries_.empty() ? nullptr : entries_.data();
        state_.count = static_cast<int32_t>(entries_.size());
        state_.anchor = anchor;
        for (size_t i = 0; i < marks.size(); ++i) {
            entries_[i].thumbnail_bits = marks[i] == '-' ? nullptr : g_rows;
            entries_[i].marked = marks[i] == 'x' ? kEntryMarked : kEntryUnmarked;
            state_.marked_count += marks[i] == 'x';
        }
    }
    ViewState* state() { return &state_; }
    std::string marks() const {
        std::string out;
        for (int32_t i = 0; i < state_.count; ++i)
            out += entries_[i].marked == kEntryMarked ? 'x' : entries_[i].thumbnail_bits ? '.' : '-';
        return out;
    }

private:
    std::vector<FileEntry> entries_;
    ViewState state_;
};

struct ClickCase {
    const char* what;
    const char* before;
    int32_t anchor;
    int32_t keys;
    int32_t index;
    bool busy;
    const char* after;
    int32_t marked_count;
    int32_t anchor_after;
    bool post;
    int32_t posted_entry;
};

TEST(CellSelection, ClickActionsMarkAsTheKeysSay) {
    const ClickCase cases[] = {
        {"left on unmarked", "x.x..", 0, kClickLeft, 3, false, "...x.", 1, 3, true, 3},
        {"right on unmarked", ".....", 0, kClickRight, 1, false, ".x...", 1, 1, true, 1},
        {"left on marked keeps the marks", "x.x..", 4, kClickLeft, 2, false, "x.x..", 2, 4, false, -1},
        {"left without thumbnail", "x.-..", 0, kClickLeft, 2, false, "x.-..", 1, 0, false, -1},
        {"left while busy still marks", ".....", 0, kClickLeft, 4, true, "....x", 1, 4, true, 4},
        {"shift with nothing marked", ".....", 4, kClickShiftLeft, 2, false, "..x..", 1, 2, true, 2},
        {"shift range up", "...x.", 3, kClickShiftLeft, 1, false, ".xxx.", 3, 3, false, -1},
        {"shift range down", ".x...", 1, kClickShiftRight, 4, false, ".xxxx", 4, 1, false, -1},
        {"shift replaces other marks", "x..x.", 3, kClickShiftLeft, 4, false, "...xx", 2, 3, false, -1},
        {"shift on the anchor", "x..x.", 3, kClickShiftLeft, 3, false, "...x.", 1, 3, true, 3},
        {"shift marks entries without thumbnails", ".x...", 1, kClickShiftLeft, 3, false, ".xxx.", 3, 1,
         false, -1},
        {"shift refused while busy", ".x...", 1, kClickShiftLeft, 3, true, ".x...", 1, 1, false, -1},
        {"shift with an anchor past the end", "x....", 40, kClickShiftLeft, 2, false, "..xxx", 3, 40, false,
         -1},
        {"ctrl adds", "x....", 0, kClickCtrlLeft, 3, false, "x..x.", 2, 3, false, -1},
        {"ctrl to one mark posts the first", "x..x.", 0, kClickCtrlRight, 3, false, "x....", 1, 3, true, 0},
        {"ctrl on the only mark", "..x..", 2, kClickCtrlLeft, 2, false, ".....", 0, 2, false, -1},
        {"ctrl on the first mark", ".....", 0, kClickCtrlLeft, 1, false, ".x...", 1, 1, true, 1},
        {"ctrl refused while busy", "x....", 0, kClickCtrlLeft, 3, true, "x....", 1, 0, false, -1},
        {"ctrl+shift changes nothing", "x....", 0, 13, 3, false, "x....", 1, 0, false, -1},
        {"index outside the list", "x....", 0, kClickLeft, 5, false, "x....", 1, 0, false, -1},
    };
    for (const ClickCase& c : cases) {
        View v(c.before, c.anchor);
        const SelectionPost post = click_action(v.state(), c.index, c.keys, c.busy);
        EXPECT_EQ(v.marks(), c.after) << c.what;
        EXPECT_EQ(v.state()->marked_count, c.marked_count) << c.what;
        EXPECT_EQ(v.state()->anchor, c.anchor_after) << c.what;
        EXPECT_EQ(post.post, c.post) << c.what;
        if (c.post) {
            EXPECT_EQ(post.entry, c.posted_entry) << c.what;
        }
    }
}

TEST(CellSelection, ClickOnAnEmptyViewDoesNothing) {
    View v("");
    EXPECT_FALSE(click_action(v.state(), 0, kClickLeft, false).post);
    EXPECT_FALSE(click_action(v.state(), 0, kClickShiftLeft, false).post);
    EXPECT_EQ(v.state()->marked_count, 0);
}

TEST(CellSelection, MarkOnlyForChordsAndDoubleClicks) {
    struct Case {
        const char* before;
        int32_t index;
        bool changed;
        const char* after;
    } const cases[] = {
        {"x.x..", 3, true, "...x."},
        {"x.x..", 2, false, "x.x.."},  // a marked entry keeps the others
        {"x.-..", 2, false, "x.-.."},
    };
    for (const Case& c : cases) {
        View v(c.before);
        EXPECT_EQ(mark_only(v.state(), c.index), c.changed) << c.before;
        EXPECT_EQ(v.marks(), c.after);
        if (c.changed) {
            EXPECT_EQ(v.state()->anchor, c.index);
        }
    }
}

TEST(CellSelection, DoubleClickDefersToTheLargerPreview) {
    struct Case {
        const char* what;
        DoubleClickFacts facts;
        bool acts;
    } const cases[] = {
        {"preview already shows it", {true, true, true, 2000, 1500, 144, 108, 400}, false},
        {"preview no larger than the box", {true, true, true, 2000, 1500, 144, 108, 108}, true},
        {"preview larger in height only", {true, true, true, 2000, 1500, 144, 108, 120}, false},
        {"image fits the box", {true, true, true, 140, 100, 144, 108, 400}, true},
        {"image higher than the box", {true, true, true, 100, 109, 144, 108, 400}, false},
        {"click preview off", {true, true, false, 2000, 1500, 144, 108, 400}, true},
        {"on the caption", {true, false, true, 2000, 1500, 144, 108, 400}, true},
        {"no thumbnail", {false, false, false, 10, 10, 144, 108, 400}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(double_click_acts(c.facts), c.acts) << c.what;
}

TEST(CellSelection, DragStartsPastFourPixels) {
    struct Case {
        int32_t dx, dy;
        bool starts;
    } const cases[] = {{4, 0, false},  {0, -4, false}, {2, -2, false}, {3, 2, true},
                       {-3, -2, true}, {0, 5, true},   {-5, 0, true}};
    for (const Case& c : cases) EXPECT_EQ(drag_threshold_passed(c.dx, c.dy), c.starts) << c.dx << "," << c.dy;
}

TEST(CellSelection, ToggleAllMarks) {
    struct Case {
        const char* before;
        const char* after;
        int32_t marked_count;
    } const cases[] = {{"xxx", "...", 0}, {"x.x", "xxx", 3}, {"...", "xxx", 3}, {"", "", 0}};
    for (const Case& c : cases) {
        View v(c.before);
        toggle_all_marks(v.state());
        EXPECT_EQ(v.marks(), c.after) << c.before;
        EXPECT_EQ(v.state()->marked_count, c.marked_count);
    }
}

std::vector<uint8_t*> g_freed;
void record_free(uint8_t* bits) {
    g_freed.push_back(bits);
}

TEST(CellSelection, RemovingMarkedEntriesKeepsTheRestInOrder) {
    // The three-entry case: the former second entry ends at index 0.
    View v("x.x");
    for (int i = 0; i < 3; ++i) v.state()->entries[i].name[0] = static_cast<char16_t>(u'a' + i);
    g_freed.clear();
    ASSERT_TRUE(remove_marked_entries(v.state(), record_free));
    EXPECT_EQ(v.state()->count, 1);
    EXPECT_EQ(v.state()->marked_count, 0);
    EXPECT_EQ(v.state()->entries[0].name[0], u'b');
    EXPECT_EQ(g_freed.size(), 2u);
    // Every entry marked: the caller clears the view; nothing is touched here.
    View all("xx");
    g_freed.clear();
    EXPECT_FALSE(remove_marked_entries(all.state(), record_free));
    EXPECT_EQ(all.state()->count, 2);
    EXPECT_TRUE(g_freed.empty());
}

// Against a plain filter of the same list, over random marks: order, names, rows and what is
// freed.
TEST(CellSelection, RemovalMatchesAReferenceFilter) {
    std::mt19937 random(14);
    for (int round = 0; round < 40; ++round) {
        const int n = 1 + static_cast<int>(random() % 300);
        std::vector<FileEntry> entries(n);
        std::memset(static_cast<void*>(entries.data()), 0, sizeof(FileEntry) * n);
        std::vector<uint8_t> rows(n);
        ViewState state{};
        state.entries = entries.data();
        state.count = n;
        std::vector<int> expected_ids;
        std::vector<uint8_t*> expected_freed;
        for (int i = 0; i < n; ++i) {
            entries[i].thumbnail_bits = &rows[i];
            entries[i].load_info.file_size = i;
            const std::u16string name = utf8_to_utf16("f" + std::to_string(i) + ".jpg");
            std::copy(name.begin(), name.end(), entries[i].name);
            entries[i].marked = random() % 3 == 0 ? kEntryMarked : kEntryUnmarked;
            state.marked_count += entries[i].marked;
            if (entries[i].marked)
                expected_freed.push_back(&rows[i]);
            else
                expected_ids.push_back(i);
        }
        state.first_visible = n - 1;
        g_freed.clear();
        const bool kept = remove_marked_entries(&state, record_free);
        if (expected_ids.empty()) {
            EXPECT_FALSE(kept);
            continue;
        }
        ASSERT_TRUE(kept);
        ASSERT_EQ(state.count, static_cast<int32_t>(expected_ids.size()));
        EXPECT_EQ(state.marked_count, 0);
        EXPECT_LT(state.first_visible, state.count);
        for (int32_t k = 0; k < state.count; ++k) {
            const int id = expected_ids[k];
            EXPECT_EQ(entries[k].load_info.file_size, id);
            EXPECT_EQ(entries[k].thumbnail_bits, &rows[id]);
            EXPECT_EQ(entries[k].marked, kEntryUnmarked);
            EXPECT_EQ(utf16_to_utf8(entries[k].name), "f" + std::to_string(id) + ".jpg");
        }
        for (int k = state.count; k < n; ++k) EXPECT_EQ(entries[k].thumbnail_bits, nullptr);
        EXPECT_EQ(g_freed, expected_freed);
    }
}

TEST(CellSelection, CaptionSizeLine) {
    struct Case {
        int32_t width, height;
        uint32_t size;
        const char* text;
    } const cases[] = {
        {3000, 2000, 3000000, "3000x2000 (2,930KB)"},
        {1600, 1200, 1263616, "1600x1200 (1,234KB)"},
        {1, 1, 0, "1x1 (0KB)"},
        {1, 1, 1, "1x1 (1KB)"},
        {1, 1, 1024, "1x1 (1KB)"},
        {1, 1, 1025, "1x1 (2KB)"},
        {10, 10, 999 * 1024, "10x10 (999KB)"},
        {10, 10, 1000 * 1024, "10x10 (1,000KB)"},
        {10, 10, 0xFFFFFFFFu, "10x10 (4,194,304KB)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf16_to_utf8(caption_size_text(c.width, c.height, c.size)), c.text);
}

TEST(CellSelection, GroupedDecimal) {
    struct Case {
        uint64_t value;
        const char* text;
    } const cases[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {123456, "123,456"}, {1234567, "1,234,567"}};
    for (const Case& c : cases) EXPECT_EQ(utf16_to_utf8(grouped_decimal(c.value)), c.text);
}

TEST(CellSelection, CaptionDepthLineFlagsByFormat) {
    struct Case {
        int32_t format, bits, w1, w2, w3, w4;
        const char* text;
    } const cases[] = {
        {3, 24, 0, 1, 1, 0, "24bit  P  Exif"},  // progressive with Exif, no comment
        {3, 8, 2, 0, 0, 0, "8bit  C"},
        {2, 32, 1, 3, 1, 1, "32bit  A  I  Text"},  // a PNG's comment word shows nothing
        {2, 24, 0, 0, 2, 0, "24bit"},              // only 1 means interlaced
        {4, 1, 1, 1, 1, 1, "1bit  C"},
        {5, 8, 1, 1, 1, 1, "8bit  A  I  C"},
        {1, 24, 1, 1, 1, 1, "24bit"},
        {0, 16, 1, 1, 1, 1, "16bit"},
    };
    for (const Case& c : cases) {
        FileLoadInfo info{};
        info.format = c.format;
        info.bit_depth = c.bits;
        info.comment_count = c.w1;
        info.text_count = c.w2;
        info.interlaced = c.w3;
        info.alpha = c.w4;
        EXPECT_EQ(utf16_to_utf8(caption_depth_text(info)), c.text);
    }
}

}  // namespace
