// Geometry transforms of bottom-up 8- and 24-bit bitmaps whose rows are padded to 4 bytes.
// The caller allocates the destination with the size of the result; the palette of an
// 8-bit image is the caller's to copy.
#pragma once

#include <cstdint>

struct DibPair {
    int32_t width = 0;   // of the source, pixels
    int32_t height = 0;  // of the source, rows
    const uint8_t* source = nullptr;
    uint8_t* destination = nullptr;
};

enum RotateFlipType : int {
    kRotate90 = 1,  // clockwise
    kRotate180 = 2,
    kRotate270 = 3,   // clockwise, that is 90 counter-clockwise
    kMirrorRows = 4,  // left-right
    kFlipRows = 5,    // top-bottom
};

// Types 1 and 3 give height x width, the others width x height. False for another type or
// depth, with nothing written.
[[nodiscard]] bool rotate_flip_pixels(const DibPair& pair, int type, int bits);
void rotate90_8(const DibPair& pair);
void rotate90_24(const DibPair& pair);
void rotate180_8(const DibPair& pair);
void rotate180_24(const DibPair& pair);
void rotate270_8(const DibPair& pair);
void rotate270_24(const DibPair& pair);
void mirror_rows_8(const DibPair& pair);
void mirror_rows_24(const DibPair& pair);
void flip_rows_8(const DibPair& pair);
void flip_rows_24(const DibPair& pair);

// Copies the inclusive rectangle (rows counted from the top) into a destination of
// (right - left + 1) x (bottom - top + 1) pixels. An empty or inverted rectangle copies
// nothing and succeeds. False, with nothing written, for a depth other than 8 or 24 and for
// a rectangle reaching past the image: the caller keeps it inside.
[[nodiscard]] bool crop_pixels(const DibPair& pair, int bits, int left, int top, int right, int bottom);
[[nodiscard]] bool crop_pixels_8(const DibPair& pair, int left, int top, int right, int bottom);
[[nodiscard]] bool crop_pixels_24(const DibPair& pair, int left, int top, int right, int bottom);

// Arbitrary rotation of a 24-bit image about its centre; angle in tenths of a degree, a
// positive angle turning the picture clockwise. background is red, green, blue.
// Nearest: the destination has the source's size.
void rotate_pixels_nearest(const DibPair& pair, int angle, const uint8_t* background);
// Smooth: bilinear, fading into the background at the edges.
void rotate_pixels_smooth(const DibPair& pair, int angle, const uint8_t* background, int destination_width,
                          int destination_height);

// Resizes a 24-bit image: area averaging when shrinking, linear interpolation when enlarging
// up to twice. Fails for sizes outside 1..25,000, for no change, for an enlargement beyond
// twice in one axis and when memory is short. The record is left as the caller filled it.
constexpr int32_t kMaxResizeDimension = 25000;
[[nodiscard]] bool resize_pixels(DibPair& pair, int32_t new_width, int32_t new_height);

// Bytes of the area-averaging table for shrinking n values to m: bounded by the largest sum
// one output can see, not by the 32,768-per-value window.
int64_t resize_shrink_table_bytes(int32_t n, int32_t m);
