#include "view/core/view_mapping.h"

#include <cmath>

namespace {

int32_t saturate(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

int64_t at_least_one(int32_t size) {
    return size < 1 ? 1 : size;
}

int32_t to_image(int32_t c, int32_t b, int32_t view_origin, int32_t displayed, int32_t source_origin,
                 int32_t source) {
    const double numerator = static_cast<double>(static_cast<int64_t>(c) - view_origin) * source - b;
    const int32_t i = round_half_away(numerator / static_cast<double>(at_least_one(displayed)));
    return saturate(static_cast<int64_t>(i) + source_origin);
}

int32_t clamp_to_image(int32_t i, int32_t image_size) {
    if (i < 0) return 0;
    if (i >= image_size) return image_size < 1 ? 0 : image_size - 1;
    return i;
}

int32_t to_window(int32_t i, int32_t b, int32_t view_origin, int32_t displayed, int32_t source_origin,
                  int32_t source) {
    const double numerator =
        static_cast<double>(static_cast<int64_t>(i) + b - source_origin) * (displayed < 0 ? 0 : displayed);
    const int32_t c = round_half_away(numerator / static_cast<double>(at_least_one(source)));
    return saturate(static_cast<int64_t>(c) + view_origin - b);
}

// An empty destination rectangle holds only its origin, never a last pixel before its first.
int32_t last_pixel(int32_t origin, int32_t size) {
    return saturate(static_cast<int64_t>(origin) + (size < 1 ? 0 : size - 1));
}

int32_t clamp_to_window(int32_t c, int32_t origin, int32_t size) {
    if (c < origin) return origin;
    const int32_t last = last_pixel(origin, size);
    return c > last ? last : c;
}

}  // namespace

int32_t round_half_away(double v) {
    const double r = v >= 0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5);
    if (r >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (r <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<int32_t>(r);
}

int32_t window_to_image_bias_x(const ViewGeometry& view) {
    return saturate((static_cast<int64_t>(view.dest_width) - view.src_width) >> 1);
}

int32_t window_to_image_bias_y(const ViewGeometry& view) {
    return saturate((static_cast<int64_t>(view.dest_height) - view.src_height) >> 1);
}

int32_t window_to_image_x(const ViewGeometry& view, int32_t x, int32_t b) {
    return to_image(x, b, view.dest_x, view.dest_width, view.src_x, view.src_width);
}

int32_t window_to_image_y(const ViewGeometry& view, int32_t y, int32_t b) {
    return to_image(y, b, view.dest_y, view.dest_height, view.src_y, view.src_height);
}

int32_t window_to_image_x_clamped(const ViewGeometry& view, int32_t x, int32_t b) {
    return clamp_to_image(window_to_image_x(view, x, b), view.image_width);
}

int32_t window_to_image_y_clamped(const ViewGeometry& view, int32_t y, int32_t b) {
    return clamp_to_image(window_to_image_y(view, y, b), view.image_height);
}

int32_t image_to_window_x(const ViewGeometry& view, int32_t x, int32_t b) {
    return to_window(x, b, view.dest_x, view.dest_width, view.src_x, view.src_width);
}

int32_t image_to_window_y(const ViewGeometry& view, int32_t y, int32_t b) {
    return to_window(y, b, view.dest_y, view.dest_height, view.src_y, view.src_height);
}

int32_t image_to_window_x_clamped(const ViewGeometry& view, int32_t x, int32_t b) {
    return clamp_to_window(image_to_window_x(view, x, b), view.dest_x, view.dest_width);
}

int32_t image_to_window_y_clamped(const ViewGeometry& view, int32_t y, int32_t b) {
    return clamp_to_window(image_to_window_y(view, y, b), view.dest_y, view.dest_height);
}

bool clamp_point_to_view(const ViewGeometry& view, int32_t& x, int32_t& y) {
    const int32_t new_x = clamp_to_window(x, view.dest_x, view.dest_width);
    const int32_t new_y = clamp_to_window(y, view.dest_y, view.dest_height);
    const bool moved = new_x != x || new_y != y;
    x = new_x;
    y = new_y;
    return moved;
}
