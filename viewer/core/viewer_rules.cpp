#include "viewer/core/viewer_rules.h"

#include <algorithm>
#include <string>

namespace {

bool flag(const SettingsReader& reader, int slot, int32_t fallback) {
    return (settings_int(reader, slot, fallback) & 1) != 0;
}

std::u16string decimal(int64_t n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

struct DefaultKey {
    int index;
    uint8_t modifiers;
    uint16_t key;
    uint16_t command;
};

// Virtual-key codes.
constexpr uint16_t kVkEnter = 0x0D, kVkEscape = 0x1B, kVkSpace = 0x20, kVkPageUp = 0x21, kVkPageDown = 0x22,
                   kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28, kVkDelete = 0x2E;
constexpr uint8_t kCtrl = kFVirtKey | kFControl;
constexpr uint8_t kShift = kFVirtKey | kFShift;

const DefaultKey kDefaultKeys[] = {
    {1, kFVirtKey, kVkLeft, kViewerFirstFile},
    {2, kFVirtKey, kVkUp, kViewerPreviousFile},
    {3, kFVirtKey, kVkDown, kViewerNextFile},
    {4, kFVirtKey, kVkRight, kViewerLastFile},
    {11, kFVirtKey, kVkDelete, kViewerDelete},
    {15, kCtrl, kVkLeft, kViewerTurnLeft},
    {16, kCtrl, kVkRight, kViewerTurnRight},
    {17, kFVirtKey, kVkSpace, kViewerToggleFit},
    {18, kFVirtKey, 0, kViewerFit},
    {19, kFVirtKey, 0, kViewerActualSize},
    {26, kFVirtKey, kVkPageUp, kViewerZoomIn},
    {27, kFVirtKey, kVkPageDown, kViewerZoomOut},
    {28, kCtrl, kVkUp, kViewerZoomPlus10},
    {29, kCtrl, kVkDown, kViewerZoomMinus10},
    {31, kFVirtKey, kVkEnter, kViewerFullScreen},
    {33, kFVirtKey, kVkEscape, kViewerClose},
    {44, kShift, kVkLeft, kViewerScrollLeft},
    {45, kShift, kVkRight, kViewerScrollRight},
    {46, kShift, kVkUp, kViewerScrollUp},
    {47, kShift, kVkDown, kViewerScrollDown},
};

}  // namespace

ViewerSettings read_viewer_settings(const SettingsReader& reader) {
    ViewerSettings s;
    s.png_gamma = flag(reader, 28, 1);
    s.display_gamma = settings_int(reader, 29, 2200);
    if (s.display_gamma <= 0) s.display_gamma = 1;
    s.transparency_direct = settings_int(reader, 30, 1);
    s.transparency_inverted = settings_int(reader, 31, 1);
    s.transparent_background = static_cast<uint32_t>(settings_int(reader, 32, 0xFFFFFF));
    s.delete_without_asking = flag(reader, 33, 0);
    s.halftone = settings_int(reader, 48, 4) == 4;
    s.wheel_mode_window = flag(reader, 49, 0) ? 1 : 0;
    s.wheel_mode_full_screen = flag(reader, 50, 0) ? 1 : 0;
    s.keep_zoom_window = flag(reader, 52, 1);
    s.keep_zoom_full_screen = flag(reader, 53, 0);
    s.fit_larger_window = flag(reader, 55, 1);
    s.fit_smaller_window = flag(reader, 56, 0);
    s.fit_larger_full_screen = flag(reader, 57, 1);
    s.fit_smaller_full_screen = flag(reader, 58, 0);
    s.zoom_drag_without_ctrl = flag(reader, 61, 1);
    s.double_click_closes = flag(reader, 63, 1);
    s.background_brush = settings_int(reader, 67, 2);
    if (s.background_brush < 0 || s.background_brush > 4) s.background_brush = 3;
    s.wheel_reversed = flag(reader, 69, 0);
    s.plugin_folder = settings_string(reader, 139);
    return s;
}

void fill_default_viewer_keys(KeyEntry* table) {
    for (int i = 0; i < kViewerKeyCount; ++i) table[i] = KeyEntry{0, 0, 0};
    for (const DefaultKey& k : kDefaultKeys) table[k.index] = KeyEntry{k.modifiers, k.key, k.command};
}

void make_viewer_keys_safe(KeyEntry* table, int count) {
    for (int i = 0; i < count; ++i) {
        if (table[i].fVirt > 15) table[i].fVirt = kFVirtKey;
        if (table[i].key > 255) table[i].key = 0;
    }
}

void load_viewer_keys(const SettingsReader& reader, KeyEntry* table) {
    uint8_t stored[kViewerKeyBytes] = {};
    if (settings_read_blob(reader, kViewKeySlot, stored, kViewerKeyBytes)) {
        // Bytes past a shorter blob stay zero: those entries are empty.
        decode_key_entries(stored, kViewerKeyCount, table);
    } else {
        fill_default_viewer_keys(table);
    }
    make_viewer_keys_safe(table, kViewerKeyCount);
}

bool viewer_command_needs_image(int32_t command) {
    switch (command) {
        case kViewerFullScreen:
        case kViewerClose:
        case kViewerMinimize: return false;
        default: return true;
    }
}

int32_t viewer_step_index(int32_t command, int32_t current, int32_t count) {
    switch (command) {
        case kViewerFirstFile: return current == 0 || count <= 0 ? -1 : 0;
        case kViewerLastFile: return current + 1 == count || count <= 0 ? -1 : count - 1;
        case kViewerPreviousFile: return current <= 0 ? -1 : current - 1;
        case kViewerNextFile: return current >= count - 1 ? -1 : current + 1;
        default: return -1;
    }
}

int32_t viewer_index_after_delete(int32_t removed, int32_t count) {
    if (count <= 0) return -1;
    return removed >= 0 && removed < count ? removed : 0;
}

std::u16string viewer_info_text(const std::u16string& name, int32_t width, int32_t height, int32_t bit_depth,
                                uint32_t size) {
    return name + u"  ( " + decimal(width) + u"x" + decimal(height) + u"  " + decimal(bit_depth) + u"bit  " +
           decimal(size / 1024) + u"." + decimal(static_cast<uint64_t>(size % 1024) * 10 / 1024) + u"KB )";
}

std::u16string viewer_caption(bool has_image, const std::u16string& info, int32_t zoom) {
    if (!has_image) return u"Qelvo";
    return info + u"  " + decimal(zoom / 100) + u"%";
}

uint32_t turned_image_size(int32_t width, int32_t height, int32_t bit_count) {
    const uint64_t row = static_cast<uint64_t>(width) * (bit_count == 8 ? 1 : 3);
    const uint64_t total = ((row + 3) & ~uint64_t{3}) * static_cast<uint64_t>(height) + 54;
    return total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
}

const char16_t* const kViewerExtensions[8] = {u".bmp",  u".png", u".jpg",  u".jpe",
                                              u".jpeg", u".tif", u".tiff", u".gif"};

bool viewer_extension_length_matches(const std::u16string& name, size_t extension_length) {
    // The extension as the shell finds it: from the last dot of the last path element, unless
    // that dot starts the name or the name has a space after it.
    const size_t slash = name.find_last_of(u"\\/");
    const size_t start = slash == std::u16string::npos ? 0 : slash + 1;
    const size_t dot = name.find_last_of(u'.');
    if (dot == std::u16string::npos || dot < start) return extension_length == 0;
    if (name.find(u' ', dot) != std::u16string::npos) return extension_length == 0;
    return name.size() - dot == extension_length;
}

namespace {

// An edge drag may shrink the span but never grow it past `largest`; the dragged end moves.
void cap_span(int32_t* low, int32_t* high, int32_t largest, bool move_low) {
    if (*high - *low <= largest) return;
    if (move_low)
        *low = *high - largest;
    else
        *high = *low + largest;
}

}  // namespace

int32_t viewer_sizing(int32_t edge, const ViewerSizing& sizing, ViewerRect* rect) {
    switch (edge) {
        case kSizeLeft:
        case kSizeRight:
            cap_span(&rect->left, &rect->right, sizing.largest_width, edge == kSizeLeft);
            return 1;
        case kSizeTop:
        case kSizeBottom:
            cap_span(&rect->top, &rect->bottom, sizing.largest_height, edge == kSizeTop);
            return 1;
        case kSizeTopLeft:
        case kSizeTopRight:
        case kSizeBottomLeft:
        case kSizeBottomRight: {
            const int64_t client_height =
                std::max<int64_t>(0, rect->bottom - rect->top - sizing.frame_height);
            const int64_t client_width =
                client_height * std::max(1, sizing.image_width) / std::max(1, sizing.image_height);
            const int64_t width =
                std::max<int64_t>(client_width + sizing.frame_width, sizing.min_window_width);
            const int32_t w = static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX / 2));
            if (edge == kSizeTopLeft || edge == kSizeBottomLeft)
                rect->left = rect->right - w;
            else
                rect->right = rect->left + w;
            return 2;
        }
        default: return 0;
    }
}

namespace {

// Caps the window at the work area and moves it inside where it crosses the right or bottom
// edge, never past the left or top.
void keep_in_work_area(ViewerRect* r, const ViewerRect& work) {
    const int32_t work_width = work.right - work.left, work_height = work.bottom - work.top;
    if (r->right - r->left > work_width) r->right = r->left + work_width;
    if (r->bottom - r->top > work_height) r->bottom = r->top + work_height;
    if (r->right > work.right) {
        const int32_t w = r->right - r->left;
        r->right = work.right;
        r->left = work.right - w;
    }
    if (r->bottom > work.bottom) {
        const int32_t h = r->bottom - r->top;
        r->bottom = work.bottom;
        r->top = work.bottom - h;
    }
    if (r->left < work.left) {
        const int32_t w = r->right - r->left;
        r->left = work.left;
        r->right = work.left + w;
    }
    if (r->top < work.top) {
        const int32_t h = r->bottom - r->top;
        r->top = work.top;
        r->bottom = work.top + h;
    }
}

}  // namespace

ViewerRect viewer_window_placement(const ViewerPlacementInput& in) {
    int64_t width = static_cast<int64_t>(in.display_width) + in.frame_width;
    const int64_t height = static_cast<int64_t>(in.display_height) + in.frame_height;
    int64_t left = static_cast<int64_t>(in.centre_x) - in.display_width / 2 - in.frame_left;
    const int64_t top = static_cast<int64_t>(in.centre_y) - in.display_height / 2 - in.frame_top;
    if (width < in.min_window_width) {
        left -= (in.min_window_width - width) / 2;
        width = in.min_window_width;
    }
    auto clamp32 = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 29), 1 << 29));
    };
    ViewerRect r;
    r.left = clamp32(left);
    r.top = clamp32(top);
    r.right = clamp32(left + width);
    r.bottom = clamp32(top + height);
    keep_in_work_area(&r, in.work_area);
    return r;
}

ViewerRect viewer_start_placement(int32_t client_width, int32_t client_height, int32_t frame_left,
                                  int32_t frame_top, int32_t frame_width, int32_t frame_height,
                                  const ViewerRect& work_area) {
    const int32_t client_left = work_area.left + (work_area.right - work_area.left - client_width) / 2;
    const int32_t client_top = work_area.top + (work_area.bottom - work_area.top - client_height) / 2;
    ViewerRect r;
    r.left = client_left - frame_left;
    r.top = client_top - frame_top;
    r.right = r.left + client_width + frame_width;
    r.bottom = r.top + client_height + frame_height;
    keep_in_work_area(&r, work_area);
    return r;
}

std::u16string viewer_button_tooltip(const std::u16string& name, uint8_t modifiers, uint16_t key) {
    if (key == 0) return name;
    return name + u" (" + modifier_name(modifiers) + key_name(key) + u")";
}

ViewerFrameStep viewer_next_frame(int32_t current, int32_t frame_count, int32_t loops_left) {
    ViewerFrameStep step;
    step.loops_left = loops_left;
    step.frame = current + 1;
    if (step.frame < frame_count) return step;
    step.frame = 0;
    if (loops_left > 0) {
        step.loops_left = loops_left - 1;
        step.stop = loops_left == 1;
    }
    return step;
}

ViewerMoveAction viewer_move_action(const ViewerMoveState& s) {
    if (!s.active) return ViewerMoveAction::kNothing;
    if (s.bar_shown) return ViewerMoveAction::kHideBar;
    if (s.y < kViewerBarRevealRows && s.client_height > kViewerBarMinClientHeight)
        return ViewerMoveAction::kShowBar;
    if (s.cursor_shown) return ViewerMoveAction::kNothing;
    const int32_t dx = s.x > s.hidden_x ? s.x - s.hidden_x : s.hidden_x - s.x;
    const int32_t dy = s.y > s.hidden_y ? s.y - s.hidden_y : s.hidden_y - s.y;
    if (dx <= kViewerCursorStillDistance && dy <= kViewerCursorStillDistance)
        return ViewerMoveAction::kNothing;
    return ViewerMoveAction::kShowCursor;
}
