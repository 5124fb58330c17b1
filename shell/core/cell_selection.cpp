#include "shell/core/cell_selection.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

enum Format : int32_t { kBmp = 1, kPng = 2, kJpeg = 3, kTiff = 4, kGif = 5 };

bool valid_index(const ViewState& view, int32_t index) {
    return view.entries && index >= 0 && index < view.count;
}

bool has_thumbnail(const FileEntry& e) {
    return e.thumbnail_bits != nullptr;
}

void append_ascii(std::u16string* out, const char* text) {
    while (*text) out->push_back(static_cast<char16_t>(*text++));
}

void append_decimal(std::u16string* out, uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (n) out->push_back(static_cast<char16_t>(digits[--n]));
}

void append_signed(std::u16string* out, int32_t value) {
    if (value < 0) {
        out->push_back(u'-');
        append_decimal(out, static_cast<uint64_t>(-static_cast<int64_t>(value)));
        return;
    }
    append_decimal(out, static_cast<uint64_t>(value));
}

}  // namespace

SelectionPost click_action(ViewState* view, int32_t index, int32_t keys, bool any_view_busy) {
    SelectionPost post;
    if (!valid_index(*view, index)) return post;
    FileEntry* e = view->entries;
    switch (keys) {
        case kClickLeft:
        case kClickRight:
            if (!has_thumbnail(e[index]) || e[index].marked == kEntryMarked) return post;
            for (int32_t i = 0; i < view->count; ++i) e[i].marked = kEntryUnmarked;
            e[index].marked = kEntryMarked;
            view->marked_count = 1;
            view->anchor = index;
            return SelectionPost{true, index};
        case kClickShiftLeft:
        case kClickShiftRight: {
            if (any_view_busy) return post;
            if (view->marked_count == 0) view->anchor = index;
            // An anchor left beyond a list that shrank marks up to the last entry.
            const int32_t anchor = std::min(std::max(view->anchor, 0), view->count - 1);
            const int32_t lo = std::min(anchor, index);
            const int32_t hi = std::max(anchor, index);
            for (int32_t i = 0; i < view->count; ++i)
                e[i].marked = i >= lo && i <= hi ? kEntryMarked : kEntryUnmarked;
            view->marked_count = hi - lo + 1;
            if (view->marked_count == 1) return SelectionPost{true, lo};
            return post;
        }
        case kClickCtrlLeft:
        case kClickCtrlRight: {
            if (any_view_busy) return post;
            if (e[index].marked == kEntryMarked) {
                e[index].marked = kEntryUnmarked;
                --view->marked_count;
            } else {
                e[index].marked = kEntryMarked;
                ++view->marked_count;
            }
            view->anchor = index;
            if (view->marked_count == 1) return SelectionPost{true, first_selected_entry(*view)};
            return post;
        }
        default: return post;
    }
}

bool mark_only(ViewState* view, int32_t index) {
    if (!valid_index(*view, index)) return false;
    FileEntry* e = view->entries;
    if (!has_thumbnail(e[index]) || e[index].marked == kEntryMarked) return false;
    for (int32_t i = 0; i < view->count; ++i) e[i].marked = kEntryUnmarked;
    e[index].marked = kEntryMarked;
    view->marked_count = 1;
    view->anchor = index;
    return true;
}

bool double_click_acts(const DoubleClickFacts& f) {
    if (!f.has_thumbnail) return false;
    if (f.on_thumbnail_cell && f.click_preview_on) {
        const bool image_exceeds_box = f.image_width > f.box_width || f.image_height > f.box_height;
        const bool preview_larger = f.preview_size > f.box_width || f.preview_size > f.box_height;
        if (image_exceeds_box && preview_larger) return false;
    }
    return true;
}

bool drag_threshold_passed(int32_t dx, int32_t dy) {
    const int64_t distance = std::abs(static_cast<int64_t>(dx)) + std::abs(static_cast<int64_t>(dy));
    return distance > 4;
}

void toggle_all_marks(ViewState* view) {
    if (view->count > 0 && view->marked_count == view->count)
        unmark_all(view);
    else
        mark_all(view);
}

void mark_all(ViewState* view) {
    if (!view->entries) return;
    for (int32_t i = 0; i < view->count; ++i) view->entries[i].marked = kEntryMarked;
    view->marked_count = view->count;
}

bool unmark_all(ViewState* view) {
    const bool any = view->marked_count != 0;
    if (view->entries)
        for (int32_t i = 0; i < view->count; ++i) view->entries[i].marked = kEntryUnmarked;
    view->marked_count = 0;
    return any;
}

bool remove_marked_entries(ViewState* view, void (*free_bits)(uint8_t* bits)) {
    if (!view->entries || view->count <= 0) return false;
    FileEntry* e = view->entries;
    int32_t marked = 0;
    for (int32_t i = 0; i < view->count; ++i)
        if (e[i].marked == kEntryMarked) ++marked;
    if (marked == view->count) return false;
    // One pass: every kept record moves down to the next free slot, in order.
    int32_t kept = 0;
    for (int32_t i = 0; i < view->count; ++i) {
        if (e[i].marked == kEntryMarked) {
            if (e[i].thumbnail_bits && free_bits) free_bits(e[i].thumbnail_bits);
            e[i].thumbnail_bits = nullptr;
            continue;
        }
        if (kept != i) std::memcpy(&e[kept], &e[i], sizeof(FileEntry));
        e[kept].marked = kEntryUnmarked;
        ++kept;
    }
    // The vacated tail must not keep pointers to rows that now belong to kept slots.
    std::memset(static_cast<void*>(&e[kept]), 0, sizeof(FileEntry) * static_cast<size_t>(view->count - kept));
    view->count = kept;
    view->marked_count = 0;
    view->anchor = std::min(view->anchor, kept - 1);
    view->first_visible = std::min(view->first_visible, kept - 1);
    return true;
}

std::u16string grouped_decimal(uint64_t value) {
    std::u16string digits;
    append_decimal(&digits, value);
    std::u16string out;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out.push_back(u',');
        out.push_back(digits[i]);
    }
    return out;
}

std::u16string caption_size_text(int32_t width, int32_t height, uint32_t file_size) {
    std::u16string out;
    append_signed(&out, width);
    out.push_back(u'x');
    append_signed(&out, height);
    append_ascii(&out, " (");
    out += grouped_decimal((static_cast<uint64_t>(file_size) + 1023) / 1024);
    append_ascii(&out, "KB)");
    return out;
}

std::u16string caption_depth_text(const FileLoadInfo& info) {
    std::u16string out;
    append_signed(&out, info.bit_depth);
    append_ascii(&out, "bit");
    const bool w1 = info.comment_count > 0;
    const bool w2 = info.text_count > 0;
    const bool w3 = info.interlaced == 1;
    const bool w4 = info.alpha == 1;
    switch (info.format) {
        case kPng:
            if (w4) append_ascii(&out, "  A");
            if (w3) append_ascii(&out, "  I");
            if (w2) append_ascii(&out, "  Text");
            break;
        case kJpeg:
            if (w3) append_ascii(&out, "  P");
            if (w2) append_ascii(&out, "  Exif");
            if (w1) append_ascii(&out, "  C");
            break;
        case kTiff:
            if (w1) append_ascii(&out, "  C");
            break;
        case kGif:
            if (w4) append_ascii(&out, "  A");
            if (w3) append_ascii(&out, "  I");
            if (w1) append_ascii(&out, "  C");
            break;
        default: break;
    }
    return out;
}
