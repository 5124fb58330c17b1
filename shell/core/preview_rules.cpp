#include "shell/core/preview_rules.h"

namespace {

int32_t clamp(int32_t v, int32_t low, int32_t high) {
    return v < low ? low : (v > high ? high : v);
}

// round(num / den) half away from zero, exact in integers; den > 0.
int32_t round_ratio(int64_t num, int64_t den) {
    const int64_t half_up = (2 * (num < 0 ? -num : num) + den) / (2 * den);
    return static_cast<int32_t>(num < 0 ? -half_up : half_up);
}

// A zero or negative image side would divide by zero; such an image is never shown.
int64_t side(int32_t v) {
    return v > 0 ? v : 1;
}

// Height of the window whose client area is `width` - M1 wide, brought within L2..L4.
int32_t height_for_width(const PreviewFrameLimits& l, int32_t width) {
    const int32_t h =
        l.frame_height + round_ratio(side(l.image_height) * (width - l.frame_width), side(l.image_width));
    return h < l.min_height ? l.min_height : (h > l.max_height ? l.max_height : h);
}

int32_t width_for_height(const PreviewFrameLimits& l, int32_t height) {
    return l.frame_width + round_ratio(side(l.image_width) * (height - l.frame_height), side(l.image_height));
}

}  // namespace

int32_t largest_preview_size(int32_t work_width, int32_t work_height, int32_t frame_width,
                             int32_t frame_height) {
    // The smaller of the two fits both ways: a window as high as the client is wide, plus its
    // frame, must not be taller than the work area.
    const int32_t w = work_width - frame_width;
    const int32_t h = work_height - frame_height;
    const int32_t largest = w < h ? w : h;
    return largest < kPreviewSmallest ? kPreviewSmallest : largest;
}

int32_t preview_size_after_resize(int32_t client_width, int32_t client_height, int32_t largest) {
    const int32_t longer = client_width > client_height ? client_width : client_height;
    return clamp(longer, kPreviewSmallest, largest < kPreviewSmallest ? kPreviewSmallest : largest);
}

PreviewPoint place_preview(const ScreenRect& cell, int32_t width, int32_t height,
                           const PreviewBounds& bounds) {
    // 64 bits: the sums of screen coordinates and sizes must not wrap before the shift.
    int64_t x = cell.left - ((int64_t(cell.left) + width - cell.right) >> 1);
    int64_t y = cell.top - ((int64_t(cell.top) + height - cell.bottom) >> 1);
    if (y < bounds.top) y = bounds.top;
    if (x < bounds.left) x = bounds.left;
    if (x > int64_t(bounds.work.right) - width) x = int64_t(bounds.work.right) - width;
    if (y > int64_t(bounds.work.bottom) - height) y = int64_t(bounds.work.bottom) - height;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    return PreviewPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

void size_preview_keeping_aspect(SizingEdge edge, const PreviewFrameLimits& l, ScreenRect* r) {
    const bool drags_left =
        edge == SizingEdge::left || edge == SizingEdge::top_left || edge == SizingEdge::bottom_left;
    const bool drags_top =
        edge == SizingEdge::top || edge == SizingEdge::top_left || edge == SizingEdge::top_right;
    const int32_t w = r->right - r->left;
    const int32_t h = r->bottom - r->top;
    switch (edge) {
        case SizingEdge::left:
        case SizingEdge::right: {
            const int32_t width = clamp(w, l.min_width, l.max_width);
            if (drags_left)
                r->left = r->right - width;
            else
                r->right = r->left + width;
            const int32_t height = height_for_width(l, width);
            r->top = ((r->top + r->bottom) >> 1) - height / 2;
            r->bottom = r->top + height;
            return;
        }
        case SizingEdge::top:
        case SizingEdge::bottom: {
            const int32_t height = clamp(h, l.min_height, l.max_height);
            if (drags_top)
                r->top = r->bottom - height;
            else
                r->bottom = r->top + height;
            int32_t width = width_for_height(l, height);
            width = width < l.min_width ? l.min_width : (width > l.max_width ? l.max_width : width);
            r->left = ((r->left + r->right) >> 1) - width / 2;
            r->right = r->left + width;
            return;
        }
        case SizingEdge::top_left:
        case SizingEdge::top_right:
        case SizingEdge::bottom_left:
        case SizingEdge::bottom_right: {
            int32_t height = h;
            int32_t width;
            if (h < l.min_height) {
                height = l.min_height;
                width = l.min_width;
            } else if (h > l.max_height) {
                height = l.max_height;
                width = l.max_width;
            } else {
                width = width_for_height(l, h);
            }
            if (drags_top)
                r->top = r->bottom - height;
            else
                r->bottom = r->top + height;
            if (drags_left)
                r->left = r->right - width;
            else
                r->right = r->left + width;
            return;
        }
    }
}
