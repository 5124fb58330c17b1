// The one allocation interface for pixel rows: zeroed virtual memory, or a DIB section on
// Windows. Natively a plain zeroed allocation stands in for the section, so both modes run
// in the native tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "common/win_types.h"

// Zeroed memory for pixel rows; null when the size is out of range or memory is short.
uint8_t* alloc_pixels(int64_t bytes);
void free_pixels(void* block);

// A DIB section for the header and palette (palette only for depths up to 8); the bits are
// returned through `bits`. The handle is 0 on failure.
OsHandle create_dib_section(const BitmapInfoHeader& header, const RgbQuad* palette, uint8_t** bits);
void delete_bitmap(OsHandle bitmap);

// Owner of a block from std::malloc or std::calloc (zlib's and the writers' work buffers).
struct FreeHeapBlock {
    void operator()(void* block) const { std::free(block); }
};
using HeapBuffer = std::unique_ptr<uint8_t[], FreeHeapBlock>;

// Owner of a block from alloc_pixels.
struct FreePixelBlock {
    void operator()(uint8_t* block) const { free_pixels(block); }
};
using PixelBuffer = std::unique_ptr<uint8_t[], FreePixelBlock>;

// Owner of an image's rows: plain memory from alloc_pixels, or a DIB section whose bits they
// are. Move-only; the empty value holds neither.
class PixelRows {
public:
    PixelRows() = default;
    PixelRows(uint8_t* pixels, OsHandle bitmap) : pixels_(pixels), bitmap_(bitmap) {}
    ~PixelRows() { reset(); }
    PixelRows(PixelRows&& other) noexcept : pixels_(other.pixels_), bitmap_(other.bitmap_) {
        other.pixels_ = nullptr;
        other.bitmap_ = 0;
    }
    PixelRows& operator=(PixelRows&& other) noexcept {
        if (this != &other) {
            reset();
            pixels_ = other.pixels_;
            bitmap_ = other.bitmap_;
            other.pixels_ = nullptr;
            other.bitmap_ = 0;
        }
        return *this;
    }
    PixelRows(const PixelRows&) = delete;
    PixelRows& operator=(const PixelRows&) = delete;

    uint8_t* pixels() const { return pixels_; }
    OsHandle bitmap() const { return bitmap_; }

    // Deletes the section (its bits go with it) or frees the plain rows.
    void reset() {
        if (bitmap_) {
            delete_bitmap(bitmap_);
        } else if (pixels_) {
            free_pixels(pixels_);
        }
        pixels_ = nullptr;
        bitmap_ = 0;
    }

private:
    uint8_t* pixels_ = nullptr;
    OsHandle bitmap_ = 0;
};
