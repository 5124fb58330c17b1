#include "view/core/view_geometry.h"

#include <cstdlib>

#include "view/core/view_mapping.h"

namespace {

int32_t saturate(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int64_t clamp64(int64_t v, int64_t low, int64_t high) {
    return v < low ? low : (v > high ? high : v);
}

int32_t at_least_one(int32_t v) {
    return v < 1 ? 1 : v;
}

int32_t display_size(int32_t zoom, int32_t image_size) {
    const int64_t size = static_cast<int64_t>(zoom) * image_size / kZoomActualSize;
    return saturate(size < 1 ? 1 : size);
}

constexpr int32_t kZoomRungs[] = {1000, 2500, 5000, 10000, 20000, 40000, 100000};

void update_axis(int32_t zoom, int32_t image_size, int32_t client, int32_t display, int32_t& dest,
                 int32_t& dest_size, int32_t& src, int32_t& src_size, int32_t& centre) {
    const int32_t image = at_least_one(image_size);
    if (client < display) {
        dest = 0;
        dest_size = client;
        // A client of a few pixels at a high zoom shows less than one image pixel: still 1.
        src_size =
            saturate(clamp64(static_cast<int64_t>(client) * kZoomActualSize / at_least_one(zoom), 1, image));
        int64_t origin = static_cast<int64_t>(centre) - src_size / 2;
        if (origin < 0) origin = 0;
        if (origin > image - src_size) origin = image - src_size;
        src = saturate(origin);
    } else {
        dest_size = display;
        dest = (client - display) / 2;
        src = 0;
        src_size = image;
    }
    centre = src + src_size / 2;
}

int32_t scrolled_origin(int32_t origin, int32_t delta, int32_t image_size, int32_t src_size) {
    const int64_t highest = static_cast<int64_t>(image_size) - src_size;
    return saturate(clamp64(static_cast<int64_t>(origin) + delta, 0, highest < 0 ? 0 : highest));
}

int32_t scaled(int64_t a, int64_t b) {
    return saturate(a * b / kZoomActualSize);
}

// Where the source window stands on one axis: the index into the pan-cursor tables.
int pan_edge(int32_t max, int32_t origin) {
    if (max <= 0) return 0;  // the whole side is visible
    if (origin <= 0) return 1;
    if (origin >= max) return 2;
    return 3;
}

ViewFrame frame_of(ViewPoint a, ViewPoint b) {
    return ViewFrame{a.x, a.y, b.x, b.y};
}

bool inside_dest(const ViewGeometry& view, ViewPoint p) {
    return view.dest_width > 0 && view.dest_height > 0 && p.x >= view.dest_x &&
           static_cast<int64_t>(p.x) < static_cast<int64_t>(view.dest_x) + view.dest_width &&
           p.y >= view.dest_y &&
           static_cast<int64_t>(p.y) < static_cast<int64_t>(view.dest_y) + view.dest_height;
}

int32_t right_drag_shifted(int64_t delta, int32_t shift) {
    return saturate(shift > 0 ? delta * 2 : delta);
}

}  // namespace

void update_display_size(ViewGeometry& view) {
    view.display_width = display_size(view.zoom, view.image_width);
    view.display_height = display_size(view.zoom, view.image_height);
}

bool apply_zoom_command(ViewGeometry& view, int32_t id) {
    int32_t zoom = view.zoom;
    switch (id) {
        case kCmdZoomActualSize: zoom = kZoomActualSize; break;
        case kCmdZoom1000: zoom = 100000; break;
        case kCmdZoom400: zoom = 40000; break;
        case kCmdZoom200: zoom = 20000; break;
        case kCmdZoom50: zoom = 5000; break;
        case kCmdZoom25: zoom = 2500; break;
        case kCmdZoom10: zoom = 1000; break;
        case kCmdZoomIn:
            for (int32_t rung : kZoomRungs) {
                if (zoom < rung) {
                    zoom = rung;
                    break;
                }
            }
            break;
        case kCmdZoomOut:
            for (int i = static_cast<int>(sizeof kZoomRungs / sizeof kZoomRungs[0]) - 1; i >= 0; --i) {
                if (zoom > kZoomRungs[i]) {
                    zoom = kZoomRungs[i];
                    break;
                }
            }
            break;
        case kCmdZoomPlus10:
            if (zoom < kZoomMax)
                zoom = saturate(clamp64(static_cast<int64_t>(zoom) + 1000, kZoomMin, kZoomMax));
            break;
        case kCmdZoomMinus10:
            if (zoom > kZoomMin)
                zoom = saturate(clamp64(static_cast<int64_t>(zoom) - 1000, kZoomMin, kZoomMax));
            break;
        default: return false;
    }
    view.zoom = zoom;
    update_display_size(view);
    return true;
}

void compute_fit_zoom(ViewGeometry& view, int32_t box_width, int32_t image_height, int32_t image_width,
                      int32_t box_height) {
    const int64_t by_width =
        static_cast<int64_t>(at_least_one(box_width)) * kZoomActualSize / at_least_one(image_width);
    const int64_t by_height =
        static_cast<int64_t>(at_least_one(box_height)) * kZoomActualSize / at_least_one(image_height);
    const int64_t zoom = (by_width < by_height ? by_width : by_height) + 1;
    view.zoom = saturate(zoom > kZoomMax ? kZoomMax : zoom);
    update_display_size(view);
}

void compute_view_zoom(ViewGeometry& view, bool fit_larger, bool fit_smaller, int32_t box_width,
                       int32_t box_height, int32_t screen_width, int32_t screen_height) {
    update_display_size(view);
    const bool smaller = view.display_width < box_width && view.display_height < box_height;
    if (smaller ? fit_smaller : fit_larger)
        compute_fit_zoom(view, box_width, view.image_height, view.image_width, box_height);
    view.large_image_shift = view.image_width > screen_width || view.image_height > screen_height ? 1 : 0;
    view.centre_x = view.image_width / 2;
    view.centre_y = view.image_height / 2;
}

void update_view_rects(ViewGeometry& view) {
    if (view.client_width < 0) view.client_width = 0;
    if (view.client_height < 0) view.client_height = 0;
    update_axis(view.zoom, view.image_width, view.client_width, view.display_width, view.dest_x,
                view.dest_width, view.src_x, view.src_width, view.centre_x);
    update_axis(view.zoom, view.image_height, view.client_height, view.display_height, view.dest_y,
                view.dest_height, view.src_y, view.src_height, view.centre_y);
}

ViewStretchMode view_stretch_mode(const ViewGeometry& view, bool quality) {
    const bool one_to_one =
        view.display_width == view.image_width && view.display_height == view.image_height;
    return quality && !one_to_one ? ViewStretchMode::halftone : ViewStretchMode::color_on_color;
}

void scroll_view_source(ViewGeometry& view, int32_t dx, int32_t dy) {
    view.src_x = scrolled_origin(view.src_x, dx, view.image_width, view.src_width);
    view.src_y = scrolled_origin(view.src_y, dy, view.image_height, view.src_height);
    view.centre_x = saturate(static_cast<int64_t>(view.src_x) + view.src_width / 2);
    view.centre_y = saturate(static_cast<int64_t>(view.src_y) + view.src_height / 2);
    if (view.drag_mode == kDragPanning) view.navigator_frame = navigator_frame_for(view);
}

ViewPoint scroll_view_by_offset(ViewGeometry& view, int32_t dy, int32_t dx) {
    const int32_t old_x = view.src_x;
    const int32_t old_y = view.src_y;
    scroll_view_source(view, dx, dy);
    const int64_t moved_x = static_cast<int64_t>(scaled(old_x, view.zoom)) - scaled(view.zoom, view.src_x);
    const int64_t moved_y = static_cast<int64_t>(scaled(old_y, view.zoom)) - scaled(view.zoom, view.src_y);
    return ViewPoint{saturate(moved_x), saturate(moved_y)};
}

int32_t pan_step_pixels(const ViewGeometry& view) {
    return view.large_image_shift > 0 ? 32 : 16;
}

int32_t image_window_pan_cursor(int32_t max_y, int32_t max_x, int32_t src_y, int32_t src_x) {
    // Rows: horizontal cannot pan, at left, at right, between; columns the same vertically.
    static const int32_t kCursors[4][4] = {
        {120, 120, 121, 124},
        {123, 126, 128, 131},
        {122, 125, 127, 130},
        {129, 132, 133, 134},
    };
    return kCursors[pan_edge(max_x, src_x)][pan_edge(max_y, src_y)];
}

int32_t image_window_pan_cursor(const ViewGeometry& view) {
    return image_window_pan_cursor(saturate(static_cast<int64_t>(view.image_height) - view.src_height),
                                   saturate(static_cast<int64_t>(view.image_width) - view.src_width),
                                   view.src_y, view.src_x);
}

int32_t viewer_pan_cursor(const ViewGeometry& view) {
    static const int32_t kCursors[4][4] = {
        {0, 110, 111, 114},
        {113, 116, 118, 121},
        {112, 115, 117, 120},
        {119, 122, 123, 124},
    };
    const int32_t max_x = saturate(static_cast<int64_t>(view.image_width) - view.src_width);
    const int32_t max_y = saturate(static_cast<int64_t>(view.image_height) - view.src_height);
    return kCursors[pan_edge(max_x, view.src_x)][pan_edge(max_y, view.src_y)];
}

bool begin_zoom_rect_drag(ViewGeometry& view, ViewPoint point) {
    view.hover_point = point;
    view.drag_end = point;
    view.zoom_drag_active = inside_dest(view, point);
    return view.zoom_drag_active;
}

ZoomRectTrack track_zoom_rect_drag(ViewGeometry& view, ViewPoint point) {
    ZoomRectTrack track;
    if (!view.zoom_drag_active) return track;
    clamp_point_to_view(view, point.x, point.y);
    track.redraw = true;
    track.erase = frame_of(view.hover_point, view.drag_end);
    view.drag_end = point;
    track.draw = frame_of(view.hover_point, view.drag_end);
    return track;
}

ZoomRectEnd end_zoom_rect_drag(ViewGeometry& view, int32_t box_width, int32_t box_height) {
    ZoomRectEnd end;
    // A drag that never began has no frame on screen, and stale corners must not zoom.
    end.was_active = view.zoom_drag_active;
    view.zoom_drag_active = false;
    if (!end.was_active) return end;
    end.erase = frame_of(view.hover_point, view.drag_end);
    const int64_t width = std::llabs(static_cast<int64_t>(view.drag_end.x) - view.hover_point.x);
    const int64_t height = std::llabs(static_cast<int64_t>(view.drag_end.y) - view.hover_point.y);
    if (width < kZoomRectMinSide || height < kZoomRectMinSide) return end;
    const int32_t bias_x = saturate((static_cast<int64_t>(view.dest_width) - view.src_width) / 2);
    const int32_t bias_y = saturate((static_cast<int64_t>(view.dest_height) - view.src_height) / 2);
    const int32_t x1 = window_to_image_x_clamped(view, view.hover_point.x, bias_x);
    const int32_t x2 = window_to_image_x_clamped(view, view.drag_end.x, bias_x);
    const int32_t y1 = window_to_image_y_clamped(view, view.hover_point.y, bias_y);
    const int32_t y2 = window_to_image_y_clamped(view, view.drag_end.y, bias_y);
    compute_fit_zoom(view, box_width, std::abs(y2 - y1), std::abs(x2 - x1), box_height);
    view.centre_x = saturate((static_cast<int64_t>(x1) + x2) / 2);
    view.centre_y = saturate((static_cast<int64_t>(y1) + y2) / 2);
    end.zoomed = true;
    return end;
}

void begin_right_drag(ViewGeometry& view, ViewPoint point) {
    view.drag_mode = kDragPressed;
    view.hover_point = point;
}

int32_t end_right_drag(ViewGeometry& view) {
    const int32_t mode = view.drag_mode;
    view.drag_mode = kDragNone;
    return mode;
}

RightDragStep track_right_drag(ViewGeometry& view, ViewPoint point, bool has_image) {
    RightDragStep step;
    const int64_t dx = static_cast<int64_t>(view.hover_point.x) - point.x;
    const int64_t dy = static_cast<int64_t>(view.hover_point.y) - point.y;
    switch (view.drag_mode) {
        case kDragPressed:
            if (std::llabs(dx) + std::llabs(dy) < kRightDragThreshold) return step;
            view.hover_point = point;
            if (!has_image ||
                (view.client_width >= view.display_width && view.client_height >= view.display_height)) {
                view.drag_mode = kDragRefused;
                return step;
            }
            view.drag_mode = kDragPanning;
            if (view.client_width > kNavigatorMinClient && view.client_height > kNavigatorMinClient) {
                layout_navigator(view);
                step.show_navigator = true;
            }
            return step;
        case kDragPanning:
            view.hover_point = point;
            step.dx = right_drag_shifted(dx, view.large_image_shift);
            step.dy = right_drag_shifted(dy, view.large_image_shift);
            return step;
        case kDragRefused: view.hover_point = point; return step;
        default: return step;
    }
}

void layout_navigator(ViewGeometry& view) {
    const int32_t width = at_least_one(view.image_width);
    const int32_t height = at_least_one(view.image_height);
    constexpr int64_t kSideScaled = static_cast<int64_t>(kNavigatorSide) * kZoomActualSize;
    if (height < width) {
        view.navigator_scale = saturate(kSideScaled / width);
        view.navigator_width = kNavigatorSide;
        view.navigator_height = at_least_one(scaled(height, view.navigator_scale));
    } else {
        view.navigator_scale = saturate(kSideScaled / height);
        view.navigator_height = kNavigatorSide;
        view.navigator_width = at_least_one(scaled(width, view.navigator_scale));
    }
    view.navigator_frame = navigator_frame_for(view);
}

ViewFrame navigator_frame_for(const ViewGeometry& view) {
    const int64_t scale = view.navigator_scale;
    const int64_t frame_width = scaled(scale, view.src_width);
    const int64_t frame_height = scaled(scale, view.src_height);
    // The frame's far edge must land on the navigator's last pixel, not one past it.
    int64_t left = scaled(scale, view.src_x);
    if (left > view.navigator_width - frame_width - 1) left = view.navigator_width - frame_width - 1;
    int64_t top = scaled(scale, view.src_y);
    if (top > view.navigator_height - frame_height - 1) top = view.navigator_height - frame_height - 1;
    return ViewFrame{saturate(left), saturate(top), saturate(left + frame_width),
                     saturate(top + frame_height)};
}

ViewFrame navigator_window_rect(const ViewGeometry& view, const ViewFrame& image_window,
                                const ViewFrame& work_area) {
    const int64_t outer_width = static_cast<int64_t>(view.navigator_width) + kNavigatorBorder;
    const int64_t outer_height = static_cast<int64_t>(view.navigator_height) + kNavigatorBorder;
    const int64_t by_work_area = work_area.right - outer_width;
    const int64_t x = image_window.right < by_work_area ? image_window.right : by_work_area;
    const int64_t y = image_window.top < 0 ? 0 : image_window.top;
    return ViewFrame{saturate(x), saturate(y), saturate(x + outer_width), saturate(y + outer_height)};
}

int32_t wheel_command(const ViewGeometry& view, uint32_t key_state_and_delta, const WheelRules& rules) {
    if (!rules.has_image || view.drag_mode != kDragNone) return 0;
    const uint32_t key_state = key_state_and_delta & 0xFFFFu;
    const int16_t delta = static_cast<int16_t>(static_cast<uint16_t>(key_state_and_delta >> 16));
    if (delta == 0) return 0;
    const bool ctrl = key_state == kMkControl;
    const bool switch_files = rules.wheel_mode == 1 ? !ctrl : ctrl;
    if (switch_files) {
        if (rules.file_switch_refused) return 0;
        return delta < 0 ? kCmdNextFile : kCmdPreviousFile;
    }
    return (delta < 0) != rules.wheel_reversed ? kCmdZoomPlus10 : kCmdZoomMinus10;
}

int32_t middle_click_command(ViewGeometry& view, ViewPoint point, bool has_image) {
    if (!has_image || view.drag_mode != kDragNone) return 0;
    if (view.zoom == kZoomActualSize) return kCmdZoomFit;
    const int32_t bias_x = saturate((static_cast<int64_t>(view.dest_width) - view.src_width) / 2);
    const int32_t bias_y = saturate((static_cast<int64_t>(view.dest_height) - view.src_height) / 2);
    view.centre_x = window_to_image_x_clamped(view, point.x, bias_x);
    view.centre_y = window_to_image_y_clamped(view, point.y, bias_y);
    return kCmdZoomActualSize;
}
