// Pure rules of the preview window: its largest size, where it lands over the clicked cell,
// how its frame keeps the image's aspect ratio, and the size it leaves behind when hidden.
#pragma once

#include <cstdint>

#include "shell/core/settings_slots.h"

// The smallest preview size, and the smallest largest one on a screen too small for more.
constexpr int32_t kPreviewSmallest = 100;

// The largest square client area a preview window with this frame can have in the work area.
int32_t largest_preview_size(int32_t work_width, int32_t work_height, int32_t frame_width,
                             int32_t frame_height);

// The preview size S kept when a resized preview is hidden: the longer side of its client
// area, within kPreviewSmallest..largest.
int32_t preview_size_after_resize(int32_t client_width, int32_t client_height, int32_t largest);

// What bounds the preview's top-left corner, in screen coordinates.
struct PreviewBounds {
    int32_t top = 0;   // top of the main window's client window
    int32_t left = 0;  // right edge of the tree pane, or the client window's left edge
    ScreenRect work;   // work area of the monitor nearest the cell
};

struct PreviewPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// Top-left corner of a window of `width` x `height` centred over `cell`, then kept below the
// client window's top, right of the tree, inside the work area's right and bottom edges and
// off negative coordinates, in that order (the later bounds win).
PreviewPoint place_preview(const ScreenRect& cell, int32_t width, int32_t height,
                           const PreviewBounds& bounds);

// Limits of the preview window while its frame is dragged, for an image of image_width x
// image_height shown in the client area.
struct PreviewFrameLimits {
    int32_t min_width = 0;  // L1..L4
    int32_t min_height = 0;
    int32_t max_width = 0;
    int32_t max_height = 0;
    int32_t frame_width = 0;  // M1, M2
    int32_t frame_height = 0;
    int32_t image_width = 0;
    int32_t image_height = 0;
};

// The edge being dragged, numbered as the system numbers them for WM_SIZING.
enum class SizingEdge : int32_t {
    left = 1,
    right = 2,
    top = 3,
    top_left = 4,
    top_right = 5,
    bottom = 6,
    bottom_left = 7,
    bottom_right = 8,
};

// Adjusts the proposed window rectangle so that the client area keeps the image's aspect ratio
// within the limits. A side edge sets the width and the other side follows, centred on the old
// centre; a corner lets the height lead and keeps the opposite corner in place.
void size_preview_keeping_aspect(SizingEdge edge, const PreviewFrameLimits& limits, ScreenRect* rect);
