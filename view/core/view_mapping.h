// Conversions between client coordinates and image pixels through the view geometry: the
// destination rectangle (dest_x, dest_width) shows the source rectangle (src_x, src_width).
//
// Each routine takes a bias b. Client-to-image callers pass window_to_image_bias_* (half the
// difference of the displayed and source sizes); image-to-client callers pass 0, or 1 for the
// far edge of a pixel. Rounding is half away from zero over a floating-point division of an
// integer product; the products are exact (64-bit, or doubles below 2^53 for any size the
// readers accept) and results beyond 32 bits saturate instead of wrapping. A source or
// destination size below 1 divides as 1.
#pragma once

#include <cstdint>

#include "view/core/view_geometry.h"

// v rounded half away from zero: -0.5 gives -1; saturated to the 32-bit range.
int32_t round_half_away(double v);

// (displayed size - source size) >> 1 on each axis.
int32_t window_to_image_bias_x(const ViewGeometry& view);
int32_t window_to_image_bias_y(const ViewGeometry& view);

// round(((x - dest_x) x src_width - b) / dest_width) + src_x; the clamped forms keep the
// result within 0..image size - 1.
int32_t window_to_image_x(const ViewGeometry& view, int32_t x, int32_t b);
int32_t window_to_image_y(const ViewGeometry& view, int32_t y, int32_t b);
int32_t window_to_image_x_clamped(const ViewGeometry& view, int32_t x, int32_t b);
int32_t window_to_image_y_clamped(const ViewGeometry& view, int32_t y, int32_t b);

// round((x + b - src_x) x dest_width / src_width) + dest_x - b; the clamped forms keep the
// result on the destination rectangle's first to last pixel.
int32_t image_to_window_x(const ViewGeometry& view, int32_t x, int32_t b);
int32_t image_to_window_y(const ViewGeometry& view, int32_t y, int32_t b);
int32_t image_to_window_x_clamped(const ViewGeometry& view, int32_t x, int32_t b);
int32_t image_to_window_y_clamped(const ViewGeometry& view, int32_t y, int32_t b);

// Moves the point onto the destination rectangle (its first to last pixel; an empty rectangle
// holds only its origin); true when either coordinate moved.
bool clamp_point_to_view(const ViewGeometry& view, int32_t& x, int32_t& y);
