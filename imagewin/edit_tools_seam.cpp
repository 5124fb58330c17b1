#include "imagewin/edit_tools_seam.h"

#include <cstring>

#include "common/stride.h"
#include "imagewin/edit_state.h"

// Without the tools every pixel shows as selected: the image rows unchanged.
void render_selection_overlay(const uint8_t*, uint8_t* out_rows, const uint8_t* image_rows) {
    const EditImageDescription& image = g_edit_state.image;
    const int64_t stride = row_stride_bytes(image.width, 24);
    std::memcpy(out_rows, image_rows, size_t(stride * image.height));
}
