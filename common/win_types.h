// Portable stand-ins for the Win32 records that image data is stored in, so that codecs and
// kernels build and test natively. Field order and widths match the Windows layouts.
#pragma once

#include <cstdint>

struct RgbQuad {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t reserved;
};

struct BitmapInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bit_count;
    uint32_t compression;
    uint32_t size_image;
    int32_t x_pels_per_meter;
    int32_t y_pels_per_meter;
    uint32_t clr_used;
    uint32_t clr_important;
};

struct FileTime {
    uint32_t low;
    uint32_t high;
};

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

// Kernel object handles are pointer-sized on Windows; -1 is the closed file value and null the
// closed value of everything else.
using OsHandle = intptr_t;
constexpr OsHandle kClosedFile = -1;
