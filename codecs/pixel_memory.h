// The one allocation interface for pixel rows: zeroed virtual memory, or a DIB section on
// Windows. Natively a plain zeroed allocation stands in for the section, so both modes run
// in the native tests.
#pragma once

#include <cstdint>

#include "common/win_types.h"

// Zeroed memory for pixel rows; null when the size is out of range or memory is short.
uint8_t* alloc_pixels(int64_t bytes);
void free_pixels(void* block);

// A DIB section for the header and palette (palette only for depths up to 8); the bits are
// returned through `bits`. The handle is 0 on failure.
OsHandle create_dib_section(const BitmapInfoHeader& header, const RgbQuad* palette, uint8_t** bits);
void delete_bitmap(OsHandle bitmap);
