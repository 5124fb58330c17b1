#include "kernels/lookup_tables.h"

#include <cmath>
#include <new>

#include "common/stride.h"
#include "kernels/adjust_context.h"

namespace {

// floor(x + 0.5) in double precision; every value rounded here is non-negative.
int rounded(double x) {
    return static_cast<int>(std::floor(x + 0.5));
}

uint8_t clamp_byte(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The 766-byte clamp shared by ClampTable and the HSL block: -255..510.
uint8_t* fill_clamp_766(uint8_t* table) {
    for (int i = -255; i <= 510; ++i) table[i + 255] = clamp_byte(i);
    return table + 255;
}

constexpr double kPi = 3.1415926535;

}  // namespace

AdjustContext* g_batch_adjust_context = nullptr;

uint8_t* build_percent_table(uint8_t* table) {
    for (int i = 0; i <= 100; ++i) table[i] = static_cast<uint8_t>(rounded(i * 255 / 100.0));
    return table;
}

uint8_t* build_blend_table(uint8_t* t) {
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v < 256; ++v) {
            uint8_t value;
            if (a == 0 || v == 0) {
                value = 0;
            } else if (a == 255) {
                value = static_cast<uint8_t>(v);
            } else if (v == 255) {
                value = static_cast<uint8_t>(a);
            } else {
                const uint32_t lo = a < v ? a : v;
                const uint32_t hi = a < v ? v : a;
                const uint32_t f = lo * 65536u / 255u;
                value = static_cast<uint8_t>((f * hi + 0x8000u) >> 16);
            }
            t[256 * a + v] = value;
        }
    }
    return t;
}

const int32_t* build_squares_table(int32_t* table) {
    for (int i = -255; i <= 255; ++i) table[i + 255] = i * i;
    return table + 255;
}

uint8_t* build_levels_stretch_table(uint8_t* table) {
    for (int w = 0; w < 256; ++w) {
        uint8_t* row = table + kLevelsRowBytes * w + kLevelsRowCentre;
        for (int v = -kLevelsRowCentre; v <= 0; ++v) row[v] = 0;
        if (w == 0) {
            for (int v = 1; v <= 255; ++v) row[v] = 0;
            continue;
        }
        const int64_t s = 16711680 / w;
        bool saturated = false;
        for (int v = 1; v <= 255; ++v) {
            const int64_t p = v * s;
            if (p > 0xFFFFFF) saturated = true;
            row[v] = saturated ? 255 : static_cast<uint8_t>(p >> 16);
        }
    }
    return table;
}

uint8_t* build_gamma_curves(uint8_t* table) {
    for (int i = 0; i <= 200; ++i) {
        const double angle = (5 + (2 * i) / 5) * kPi / 180.0;
        const double e = std::cos(angle) / std::sin(angle);
        uint8_t* curve = table + 256 * i;
        curve[0] = 0;
        for (int j = 1; j < 256; ++j) curve[j] = clamp_byte(rounded(255.0 * std::pow(j / 255.0, e)));
    }
    return table + 256 * 100;
}

uint8_t* build_clamp_table(uint8_t* table) {
    return fill_clamp_766(table);
}

uint8_t* build_contrast_tables(uint8_t* table, int pivot) {
    uint8_t* centre = table + 256 * 100;
    for (int k = -100; k <= 100; ++k) {
        const int scale = k <= 0 ? 512 : 2048;
        for (int v = 0; v < 256; ++v) {
            const int32_t product = k * scale * (v - pivot);
            centre[256 * k + v] = clamp_byte(v + (product >> 16));
        }
    }
    return centre;
}

uint8_t* build_div25_table(uint8_t* table) {
    table[0] = 0;
    for (int i = 1; i < kDiv25TableSize; ++i) table[i] = static_cast<uint8_t>((32768 + 2621 * i) >> 16);
    return table;
}

uint8_t* build_div9_table(uint8_t* table) {
    table[0] = 0;
    for (int i = 1; i < kDiv9TableSize; ++i) table[i] = static_cast<uint8_t>((32768 + 7281 * i) >> 16);
    return table;
}

uint8_t* build_unsharp_tables(int16_t* rows, uint8_t* clamp) {
    for (int k = 0; k <= 100; ++k) {
        for (int d = -128; d <= 127; ++d) {
            const int p = d * k;
            // floor division: the arithmetic shift of a signed product by 3
            rows[256 * k + d + 128] = static_cast<int16_t>(p >> 3);
        }
    }
    for (int i = -kUnsharpClampCentre; i < kUnsharpClampSize - kUnsharpClampCentre; ++i) {
        clamp[i + kUnsharpClampCentre] = clamp_byte(i);
    }
    return clamp + kUnsharpClampCentre;
}

int32_t* build_coefficient_tables(int32_t* table) {
    for (int k = -32; k <= 32; ++k) {
        for (int v = 0; v < 256; ++v) table[256 * (k + 32) + v] = k * v;
    }
    return table + 256 * 32;
}

int32_t* build_luma_tables_1024(int32_t* table) {
    for (int v = 0; v < 256; ++v) {
        table[v] = 117 * v;
        table[256 + v] = 601 * v;
        table[512 + v] = 306 * v;
    }
    return table;
}

uint8_t* build_luma_tables_256(uint8_t* table) {
    for (int v = 0; v < 256; ++v) {
        table[v] = static_cast<uint8_t>((30 * v) >> 8);
        table[256 + v] = static_cast<uint8_t>((151 * v) >> 8);
        table[512 + v] = static_cast<uint8_t>((77 * v) >> 8);
    }
    return table;
}

HslTables* build_hsl_tables(HslTables* t) {
    for (int c = -255; c <= 255; ++c) {
        int16_t* row = t->numerators + 256 * (c + 255);
        row[0] = 0;
        for (int d = 1; d < 256; ++d) {
            const int ac = c < 0 ? -c : c;
            row[d] = static_cast<int16_t>(ac <= d ? (60 * c) / d : 0);
        }
    }
    for (int l = 0; l < 510; ++l) {
        uint8_t* row = t->saturations + 256 * l;
        for (int d = 0; d < 256; ++d) {
            int value = 0;
            if (l != 0 && d != 0) value = l <= 255 ? 255 * d / l : 255 * d / (510 - l);
            row[d] = clamp_byte(value);
        }
    }
    for (int L = 0; L < 256; ++L) {
        uint8_t* row = t->top_values + 256 * L;
        row[0] = 0;
        for (int S = 1; S < 256; ++S) {
            const int value = L <= 127 ? L * (255 + S) / 255 : L + S - L * S / 255;
            row[S] = clamp_byte(value);
        }
    }
    for (int h = 0; h < 360; ++h) {
        uint8_t* row = t->ramps + 256 * h;
        row[0] = 0;
        for (int d = 1; d < 256; ++d) {
            int value = 0;
            if (h < 60) {
                value = h * d / 60;
            } else if (h < 180) {
                value = d;
            } else if (h < 240) {
                value = (240 - h) * d / 60;
            }
            row[d] = static_cast<uint8_t>(value);
        }
    }
    for (int i = -300; i <= 659; ++i) {
        t->hue_wrap[i + 300] = static_cast<int16_t>(i < 0 ? i + 360 : (i >= 360 ? i - 360 : i));
    }
    fill_clamp_766(t->clamp);
    return t;
}

HslAddresses hsl_addresses(const HslTables* t) {
    HslAddresses a;
    a.numerators = t->numerators + 256 * 255;
    a.saturations = t->saturations;
    a.clamp = t->clamp + 255;
    a.top_values = t->top_values;
    a.ramps = t->ramps;
    a.hue_wrap = t->hue_wrap + 300;
    return a;
}

HslTables* install_hsl_tables_for_adjust(HslTables* storage, AdjustContext* context) {
    build_hsl_tables(storage);
    context->hsl = hsl_addresses(storage);
    return storage;
}

LuminanceTables* build_luminance_tables(LuminanceTables* t) {
    for (int v = 0; v < 256; ++v) {
        t->bw[v] = static_cast<int16_t>(v);
        t->gw[v] = static_cast<int16_t>(587 * v / 114);
        t->rw[v] = static_cast<int16_t>(299 * v / 114);
        t->inverse_blue[v] = static_cast<uint8_t>(v);
    }
    for (int i = 0; i < 1314; ++i) t->inverse_green[i] = static_cast<uint8_t>((398 * i) >> 11);
    for (int i = 0; i < 669; ++i) t->inverse_red[i] = static_cast<uint8_t>((391 * i) >> 10);
    for (int d = -kLuminanceSpan; d <= kLuminanceSpan; ++d) {
        const int sign = d < 0 ? -1 : 1;
        const int a = d < 0 ? -d : d;
        t->share_blue[d + kLuminanceSpan] = static_cast<int16_t>(sign * ((468 * a) >> 12));
        t->share_green[d + kLuminanceSpan] = static_cast<int16_t>(sign * ((2406 * a) >> 12));
        t->share_red[d + kLuminanceSpan] = static_cast<int16_t>(sign * ((1224 * a) >> 12));
    }
    t->share_blue_centre = t->share_blue + kLuminanceSpan;
    t->share_green_centre = t->share_green + kLuminanceSpan;
    t->share_red_centre = t->share_red + kLuminanceSpan;
    return t;
}

uint8_t* build_brush_tips(uint8_t** pointers) {
    uint8_t* block = new (std::nothrow) uint8_t[kBrushTipsBlockSize];
    if (!block) return nullptr;
    uint8_t* tip = block;
    for (int d = kBrushTipMinDiameter; d <= kBrushTipMaxDiameter; ++d) {
        pointers[d - kBrushTipMinDiameter] = tip;
        const bool odd = (d & 1) != 0;
        const double radius = odd ? (d + 1) / 2 : d / 2;
        for (int row = 0; row < d; ++row) {
            for (int col = 0; col < d; ++col) {
                double dx, dy;
                if (odd) {
                    dx = col - (d - 1) / 2;
                    dy = row - (d - 1) / 2;
                } else {
                    const int half = d / 2;
                    dx = (col >= half ? col - half : half - 1 - col) + 0.25;
                    dy = (row >= half ? row - half : half - 1 - row) + 0.25;
                }
                const double r = std::sqrt(dx * dx + dy * dy);
                const int scaled = rounded(r * 255.0 / radius);
                tip[row * d + col] = static_cast<uint8_t>(255 - (scaled < 255 ? scaled : 255));
            }
        }
        tip += d * d;
    }
    return block;
}

void free_brush_tips(uint8_t* block) {
    delete[] block;
}

const int32_t* build_context_squares_table(int32_t* storage, AdjustContext* context) {
    context->squares = build_squares_table(storage);
    return context->squares;
}

void set_range_falloff(int tolerance, AdjustContext* context) {
    // The tolerance comes from the settings file: beyond 150 the weights would run past the
    // context's array.
    const int t = tolerance < 0 ? 0 : (tolerance > kMaxTolerance ? kMaxTolerance : tolerance);
    const int32_t threshold = 3 * (context->squares ? context->squares[t] : t * t);
    context->range_threshold = threshold;
    if (threshold == 0) {
        context->falloff[0] = 255;
        return;
    }
    for (int32_t i = 0; i <= threshold; ++i) {
        context->falloff[i] = 255 - static_cast<int32_t>(255 * static_cast<int64_t>(i) / threshold);
    }
}

void set_default_range_falloff(AdjustContext* context) {
    set_range_falloff(kDefaultTolerance, context);
}

// Row sums are 64-bit: a row wider than about 14,000 white pixels overflows 32 bits.
int mean_luma_rgb(const uint8_t* pixels, int width, int height, int stride) {
    if (width <= 0 || height <= 0) return 128;
    uint64_t total = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = pixels + static_cast<int64_t>(y) * stride;
        uint64_t sb = 0, sg = 0, sr = 0;
        for (int x = 0; x < width; ++x, p += 3) {
            sb += 117u * p[0];
            sg += 601u * p[1];
            sr += 306u * p[2];
        }
        total += (sb >> 10) + (sg >> 10) + (sr >> 10);
    }
    return static_cast<int>(total / (static_cast<uint64_t>(width) * static_cast<uint64_t>(height)));
}

int mean_luma_palette(const uint8_t* pixels, const uint8_t* palette, int width, int height, int stride) {
    if (width <= 0 || height <= 0) return 128;
    uint64_t total = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = pixels + static_cast<int64_t>(y) * stride;
        uint64_t sb = 0, sg = 0, sr = 0;
        for (int x = 0; x < width; ++x) {
            const uint8_t* e = palette + 4 * p[x];
            sb += 117u * e[0];
            sg += 601u * e[1];
            sr += 306u * e[2];
        }
        total += (sb >> 10) + (sg >> 10) + (sr >> 10);
    }
    return static_cast<int>(total / (static_cast<uint64_t>(width) * static_cast<uint64_t>(height)));
}

int context_mean_luma(const AdjustContext* c) {
    if (c->bits == 24) return mean_luma_rgb(c->source_pixels, c->width, c->height, c->stride);
    if (c->bits == 8) {
        return mean_luma_palette(c->source_pixels, c->source_palette, c->width, c->height, c->stride);
    }
    return 128;
}

uint8_t* prepare_contrast_tables(AdjustContext* context, int32_t* luma_storage, uint8_t* contrast_storage) {
    build_luma_tables_1024(luma_storage);
    uint8_t* centre = build_contrast_tables(contrast_storage, context_mean_luma(context));
    context->contrast = centre;
    return centre;
}

uint8_t* prepare_batch_contrast_tables(int32_t* luma_storage, uint8_t* contrast_storage) {
    if (!g_batch_adjust_context) return nullptr;
    return prepare_contrast_tables(g_batch_adjust_context, luma_storage, contrast_storage);
}

void set_adjust_image(AdjustContext* c, int32_t width, int32_t height, int32_t bits,
                      const uint8_t* source_pixels, uint8_t* destination_pixels, const uint8_t* mask,
                      const uint8_t* source_palette, uint8_t* destination_palette) {
    c->width = width;
    c->height = height;
    c->bits = bits;
    c->stride = static_cast<int32_t>(row_stride_bytes(width, bits));
    c->source_pixels = source_pixels;
    c->destination_pixels = destination_pixels;
    c->mask = mask;
    c->source_palette = source_palette;
    c->destination_palette = destination_palette;
}
