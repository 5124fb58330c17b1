// Native build only: stand-ins for the display and shell services of the browser loader, so
// that its rules run in the native tests.
#ifndef _WIN32

#include "codecs/browser_load.h"
#include "codecs/file_io.h"
#include "codecs/pixel_memory.h"

// An area average stands in for the display's halftone stretch.
uint8_t* browser_resample_24(const uint8_t* rows, int32_t width, int32_t height, int32_t fitted_width,
                             int32_t fitted_height) {
    const int64_t in_stride = (3 * int64_t(width) + 3) & ~int64_t(3);
    const int64_t out_stride = (3 * int64_t(fitted_width) + 3) & ~int64_t(3);
    uint8_t* out = alloc_pixels(out_stride * fitted_height);
    if (!out) return nullptr;
    for (int32_t y = 0; y < fitted_height; ++y) {
        const int64_t y0 = int64_t(y) * height / fitted_height;
        int64_t y1 = int64_t(y + 1) * height / fitted_height;
        if (y1 <= y0) y1 = y0 + 1;
        for (int32_t x = 0; x < fitted_width; ++x) {
            const int64_t x0 = int64_t(x) * width / fitted_width;
            int64_t x1 = int64_t(x + 1) * width / fitted_width;
            if (x1 <= x0) x1 = x0 + 1;
            uint64_t sum[3] = {0, 0, 0};
            for (int64_t sy = y0; sy < y1; ++sy) {
                const uint8_t* p = rows + sy * in_stride + 3 * x0;
                for (int64_t sx = x0; sx < x1; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const uint64_t n = uint64_t((y1 - y0) * (x1 - x0));
            uint8_t* d = out + y * out_stride + 3 * x;
            for (int c = 0; c < 3; ++c) d[c] = uint8_t((sum[c] + n / 2) / n);
        }
    }
    return out;
}

// No recycle bin here: the file is removed.
bool browser_recycle_file(const std::u16string& path) {
    return file_delete(path);
}

void browser_show_wait_cursor(bool) {}

#endif
