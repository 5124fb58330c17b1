// Mosaic: cells counted from the top of the picture (the last row in memory), cell colours
// as truncated means of truncated column means, computed in the caller's block buffer.
#include <vector>

#include "kernels/filter_rows.h"
#include "kernels/filters.h"

using namespace filter_detail;

namespace {

constexpr int32_t kMinCell = 2;
constexpr int32_t kMaxCell = 100;

int32_t cell_rows_of(int32_t height, int32_t cell_height) {
    return (height + cell_height - 1) / cell_height;
}

// Bytes per row of cell colours. A row never has more cells than pixel columns, so the pitch
// is capped at width x 3: without the cap a 1-pixel-wide image would get a pitch of 6 for its
// 3-byte rows of column means and write past both them and the buffer.
int32_t cell_pitch(int32_t width, int32_t cell_width) {
    const int32_t cols = (width + cell_width - 1) / cell_width;
    return 3 * (cols + 1 < width ? cols + 1 : width);
}

}  // namespace

void average_blocks(FilterWork* w, uint8_t* blocks, int32_t pitch, int32_t cell_rows, int32_t cell_width,
                    int32_t cell_height, bool shift) {
    const int32_t width = w->width, height = w->height;
    if (width <= 0 || height <= 0) return;
    const int32_t cw = clamp_arg(cell_width, kMinCell, kMaxCell);
    const int32_t ch = clamp_arg(cell_height, kMinCell, kMaxCell);
    const int32_t rows = cell_rows_of(height, ch);
    if (cell_rows != rows || pitch < 3 || pitch > cell_pitch(width, cw)) return;
    const int64_t means_pitch = 3 * static_cast<int64_t>(width);

    // Column means: each pixel column walked from the top of the picture down, one mean per
    // cell row, stored in the row of that cell row (bottom cell row first in the buffer).
    // Columns are independent, so bands of columns run on their own threads.
    auto column_band = [&](int32_t x0, int32_t x1) {
        for (int32_t x = x0; x < x1; ++x) {
            int32_t cell_row = 0;
            uint32_t sum[3] = {0, 0, 0};
            int32_t count = 0;
            for (int32_t y = height - 1; y >= 0; --y) {
                const uint8_t* p = row_of(w->source, w->stride, y) + 3 * x;
                sum[0] += p[0];
                sum[1] += p[1];
                sum[2] += p[2];
                if (++count == ch || y == 0) {
                    uint8_t* out = blocks + (rows - 1 - cell_row) * means_pitch + 3 * x;
                    for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sum[c] / count);
                    sum[0] = sum[1] = sum[2] = 0;
                    count = 0;
                    ++cell_row;
                }
            }
        }
    };
    FilterWork by_columns = *w;
    by_columns.width = height;  // the band runner weighs work by width x rows
    run_row_bands(&by_columns, width, column_band);
    if (cancelled(w)) return;

    // Cell means, in place. Cell row k (k = 0 the bottom one) writes its colours from k x pitch
    // while its column means start at k x width x 3 >= k x pitch, and every colour is written
    // only after the columns it covers were read, so nothing unread is overwritten as long
    // as the rows go bottom first.
    for (int32_t k = 0; k < rows; ++k) {
        const int32_t cell_row = rows - 1 - k;  // counted from the top
        const bool shifted = shift && (cell_row & 1) != 0;
        const uint8_t* means = blocks + k * means_pitch;
        uint8_t* out = blocks + static_cast<int64_t>(k) * pitch;
        int32_t position = shifted ? cw / 2 : 0;
        uint32_t sum[3] = {0, 0, 0};
        int32_t count = 0;
        for (int32_t x = 0; x < width; ++x) {
            sum[0] += means[3 * x];
            sum[1] += means[3 * x + 1];
            sum[2] += means[3 * x + 2];
            ++count;
            if (++position == cw || x == width - 1) {
                for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sum[c] / count);
                out += 3;
                sum[0] = sum[1] = sum[2] = 0;
                count = 0;
                position = 0;
            }
        }
    }
}

void apply_mosaic(FilterWork* w, uint8_t* blocks, int32_t cell_width, int32_t cell_height, bool shift,
                  bool tile) {
    const int32_t width = w->width, height = w->height;
    if (width <= 0 || height <= 0) return;
    const int32_t cw = clamp_arg(cell_width, kMinCell, kMaxCell);
    const int32_t ch = clamp_arg(cell_height, kMinCell, kMaxCell);
    const int32_t rows = cell_rows_of(height, ch);
    const int32_t pitch = cell_pitch(width, cw);
    average_blocks(w, blocks, pitch, rows, cw, ch, shift);
    if (cancelled(w)) return;

    const int32_t bh = (ch + 5) >> 3, bw = (cw + 5) >> 3;
    run_row_bands(w, height, [&](int32_t y0, int32_t y1) {
        std::vector<uint8_t> effect(static_cast<size_t>(3 * width));
        for (int32_t y = y0; y < y1; ++y) {
            const int32_t from_top = height - 1 - y;
            const int32_t cell_row = from_top / ch;
            const int32_t v = from_top - cell_row * ch;
            const bool shifted = shift && (cell_row & 1) != 0;
            const uint8_t* colours = blocks + static_cast<int64_t>(rows - 1 - cell_row) * pitch;
            const int32_t offset = shifted ? cw / 2 : 0;
            const bool dark_row = v >= ch - bh, light_row = v < bh;
            for (int32_t x = 0; x < width; ++x) {
                const int32_t cell = (x + offset) / cw;
                const int32_t u = (x + offset) - cell * cw;
                const uint8_t* c = colours + 3 * cell;
                uint8_t* e = effect.data() + 3 * x;
                if (!tile) {
                    e[0] = c[0];
                    e[1] = c[1];
                    e[2] = c[2];
                } else if (dark_row || u >= cw - bw) {
                    for (int k = 0; k < 3; ++k) e[k] = static_cast<uint8_t>(c[k] < 20 ? 0 : c[k] - 20);
                } else if (light_row || u < bw) {
                    for (int k = 0; k < 3; ++k) e[k] = static_cast<uint8_t>(c[k] > 235 ? 255 : c[k] + 20);
                } else {
                    e[0] = c[0];
                    e[1] = c[1];
                    e[2] = c[2];
                }
            }
            put_row_masked(w, y, row_of(w->source, w->stride, y), effect.data(),
                           row_of(w->destination, w->stride, y));
        }
    });
}
