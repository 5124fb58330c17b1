// How the mouse on a thumbnail cell marks entries, and what a caption says. Each rule works on
// a view's state alone and tells the window side what to post; the windows repaint and post.
#pragma once

#include <cstdint>
#include <string>

#include "shell/core/folder_listing.h"

// The key state of a button message (the system's MK_* bits) that the click action knows.
enum ClickKeys : int32_t {
    kClickLeft = 1,
    kClickRight = 2,
    kClickShiftLeft = 5,
    kClickShiftRight = 6,
    kClickCtrlLeft = 9,  // also the middle button
    kClickCtrlRight = 10,
};

// What a selection change asks the window side to post as 153 / 154.
struct SelectionPost {
    bool post = false;
    int32_t entry = -1;  // the entry the message names; -1 for 0
};

// The marks part of a click with key state `keys` on entry `index` (steps 1-3). `any_view_busy`
// refuses the Shift and Ctrl forms only. Other key states change nothing.
SelectionPost click_action(ViewState* view, int32_t index, int32_t keys, bool any_view_busy);

// The chord and double-click actions first make an unmarked entry the only marked one.
// Returns whether any mark changed; nothing happens for an entry without a thumbnail.
bool mark_only(ViewState* view, int32_t index);

// Whether a double-click on a cell goes on to the main window: never without a thumbnail;
// on a thumbnail cell with click preview on, not when the image exceeds the box and the preview
// is larger than the box in either side (the click already showed it larger).
struct DoubleClickFacts {
    bool has_thumbnail = false;
    bool on_thumbnail_cell = false;
    bool click_preview_on = false;
    int32_t image_width = 0;
    int32_t image_height = 0;
    int32_t box_width = 0;
    int32_t box_height = 0;
    int32_t preview_size = 0;
};
bool double_click_acts(const DoubleClickFacts& facts);

// A drag starts once the pointer moved more than 4 pixels (|dx| + |dy|) from where it was
// last recorded.
bool drag_threshold_passed(int32_t dx, int32_t dy);

// 301: unmark all when every entry is marked, else mark all.
void toggle_all_marks(ViewState* view);
void mark_all(ViewState* view);
// Returns whether anything was marked.
bool unmark_all(ViewState* view);

// 303 with some entries kept: the kept entries move down in their order, the marked ones have
// their thumbnail freed through `free_bits`; count = kept, marked count 0. Returns false, and
// changes nothing, when every entry is marked (the view is cleared instead).
bool remove_marked_entries(ViewState* view, void (*free_bits)(uint8_t* bits));

// Caption lines.
// "1600x1200 (1,234KB)": kilobytes rounded up, a comma every three digits.
std::u16string caption_size_text(int32_t width, int32_t height, uint32_t file_size);
// "24bit  P  Exif": the depth and the flags of the format's words.
std::u16string caption_depth_text(const FileLoadInfo& info);
// Digits with a comma inserted every three from the right.
std::u16string grouped_decimal(uint64_t value);
