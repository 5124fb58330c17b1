// Stands in for what the image windows use of the edit tools until the tools exist.
#pragma once

#include <cstdint>

// Builds the 24-bit view of the selection into `out_rows` (the current image's height rows of
// width x 3 bytes, each rounded up to 4) from the 24-bit image rows and the mask.
void render_selection_overlay(const uint8_t* mask, uint8_t* out_rows, const uint8_t* image_rows);
