// Drives the pixel kernels with arguments taken straight from the input, as a damaged
// settings file could hand them over: every kernel must stay inside its tables and buffers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "kernels/adjust_context.h"
#include "kernels/brush_kernels.h"
#include "kernels/colour_adjust.h"
#include "kernels/colour_model.h"
#include "kernels/filter_random.h"
#include "kernels/filters.h"
#include "kernels/geometry.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    int32_t int32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
        return static_cast<int32_t>(v);
    }
};

struct Tables {
    BlendTable blend;
    SquaresTable squares;
    LevelsStretchTable levels;
    GammaCurves gamma;
    ClampTable clamp;
    ContrastTables contrast;
    LumaTables1024 luma;
    GreyTables256 grey;
    Div9Table div9;
    Div9Table filter_div9;
    Div25Table div25;
    UnsharpTables unsharp;
    CoefficientTables coefficients;
    HslTables hsl;
    HslTables brush_hsl;
    LuminanceTables luminance;
    BrushTips tips;
    AdjustContext context;
    Tables() {
        context.blend = build_blend_table(blend);
        build_context_squares_table(squares, &context);
        context.levels = build_levels_stretch_table(levels);
        context.gamma = build_gamma_curves(gamma);
        context.clamp = build_clamp_table(clamp);
        install_hsl_tables_for_adjust(&hsl, &context);
        build_luminance_tables(&luminance);
        g_brush_state.blend = blend;
        g_brush_state.gamma = context.gamma;
        g_brush_state.grey = build_luma_tables_256(grey);
        brush_build_div9_table(div9);
        install_hsl_tables_for_brush(&brush_hsl);
        tips.block = build_brush_tips(tips.tips);
        g_brush_state.tips = tips.tips;
        filter.blend = blend;
        filter_build_div9_table(filter_div9, &filter);
        filter_build_div25_table(div25, &filter);
        filter.unsharp_clamp = build_unsharp_tables(unsharp.rows, unsharp.clamp);
        filter.unsharp_rows = unsharp.rows;
        filter.grey = grey;
        filter.coefficients = build_coefficient_tables(coefficients);
    }
    FilterWork filter;
};

constexpr int kColourOps = 24;
constexpr int kFilterOps = 14;

// The effect filters with arguments straight from the input; every buffer has exactly the
// size the kernel is promised, so a read or write past it is caught.
void run_filter(Tables* t, int op, int w, int h, const uint8_t* src, uint8_t* dst, const uint8_t* mask,
                const int32_t* a, int threads) {
    FilterWork* f = &t->filter;
    set_filter_image(f, w, h, src, dst, mask);
    f->threads = threads;
    const size_t bytes = static_cast<size_t>(f->stride) * h;
    std::vector<uint8_t> extra(bytes);
    std::vector<int8_t> difference(bytes);
    f->difference = difference.data();
    Kernel3x3 kernel;
    for (int i = 0; i < 9; ++i) kernel.k[i] = static_cast<int8_t>(a[i % 6] >> (8 * (i / 6)));
    switch (op) {
        case 0: blur_box3(f, a[0]); break;
        case 1: blur_box5(f, a[0]); break;
        case 2: soft_focus_blend(f, a[0], src); break;
        case 3:
            unsharp_difference(f);
            unsharp_apply(f, a[0], a[1]);
            break;
        case 4: blur_gaussian(f, extra.data(), a[0]); break;
        case 5: filter_remove_noise(f, a[0]); break;
        case 6: emboss_convolve(f, kernel); break;
        case 7: convolve3x3_colour(f, kernel, a[1]); break;
        case 8: extract_edges(f, kernel); break;
        case 9:
        case 10: {
            // The mosaic's buffer: ceil(height / H) x width x 3 bytes for the H it will use.
            const int cell_h = a[1] < 2 ? 2 : (a[1] > 100 ? 100 : a[1]);
            std::vector<uint8_t> blocks(static_cast<size_t>((h + cell_h - 1) / cell_h) * w * 3);
            apply_mosaic(f, blocks.data(), a[0], a[1], op == 10, a[2] & 1);
            break;
        }
        case 11:
            filter_random_seed(static_cast<uint32_t>(a[2]));
            apply_diffusion(f, a[0], a[1]);
            break;
        case 12: painting_effect(f, t->context.squares); break;
        default: run_painting_style(f, src, dst, extra.data(), t->context.squares); break;
    }
}

int64_t stride_of(int w) {
    return (3 * static_cast<int64_t>(w) + 3) & ~int64_t{3};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Tables* t = new Tables;
    Input in{data, size};
    const int w = 1 + in.byte() % 16, h = 1 + in.byte() % 16;
    const int op = in.byte() % (kColourOps + kFilterOps);
    const bool masked = in.byte() & 1;
    int32_t a[6];
    for (int32_t& v : a) v = in.int32();
    std::vector<uint8_t> src(static_cast<size_t>(stride_of(w) * h)), dst(src.size());
    std::vector<uint8_t> mask(static_cast<size_t>(w) * h);
    for (auto& b : src) b = in.byte();
    for (auto& b : mask) b = in.byte();
    uint8_t src_pal[1024], dst_pal[1024], poster[256];
    for (auto& b : src_pal) b = in.byte();
    const uint8_t colour[3] = {static_cast<uint8_t>(a[3]), static_cast<uint8_t>(a[4]),
                               static_cast<uint8_t>(a[5])};

    if (op >= kColourOps) {
        run_filter(t, op - kColourOps, w, h, src.data(), dst.data(), masked ? mask.data() : nullptr, a,
                   1 + (a[5] & 3));
        return 0;
    }
    AdjustContext* c = &t->context;
    set_adjust_image(c, w, h, 24, src.data(), dst.data(), masked ? mask.data() : nullptr, src_pal, dst_pal);
    prepare_contrast_tables(c, t->luma, t->contrast);
    set_range_falloff(a[5], c);
    switch (op) {
        case 0:
            apply_levels_rgb(c, a[0], a[1], a[2]);
            apply_levels_palette(c, a[0], a[1], a[2]);
            break;
        case 1:
            apply_gamma_rgb(c, a[0], a[1], a[2]);
            apply_gamma_palette(c, a[0], a[1], a[2]);
            break;
        case 2:
            apply_brightness_rgb(c, a[0], a[1], a[2]);
            apply_brightness_palette(c, a[0], a[1], a[2]);
            break;
        case 3:
            apply_contrast_rgb(c, a[0], a[1], a[2]);
            apply_contrast_palette(c, a[0], a[1], a[2]);
            break;
        case 4:
            apply_posterize_rgb(c, a[0], poster);
            apply_posterize_palette(c, a[1], poster);
            break;
        case 5:
            apply_hue_saturation_rgb(c, a[0], a[1], a[2]);
            apply_hue_saturation_palette(c, a[0], a[1], a[2]);
            break;
        case 6:
            apply_hue_saturation_in_range_rgb(c, a[0], a[1], a[2], colour);
            apply_hue_saturation_in_range_palette(c, a[0], a[1], a[2], colour);
            break;
        case 7:
            replace_colour_rgb(c, a[0], colour, colour);
            replace_colour_palette(c, a[0], colour, colour);
            break;
        case 8:
            apply_shadow_highlight_rgb(c, a[0], a[1]);
            apply_shadow_highlight_palette(c, a[0], a[1]);
            break;
        case 9: equalize_rgb(c); break;
        case 10:
            apply_colour_filter_rgb(c, &t->luminance, a[0], colour);
            apply_colour_filter_palette(c, &t->luminance, a[0], colour);
            break;
        case 11:
            apply_colour_balance_rgb(c, &t->luminance, a[0], a[1], a[2]);
            apply_colour_balance_palette(c, &t->luminance, a[0], a[1], a[2]);
            break;
        case 12: {
            // A rectangle reaching past the image is refused, so a source-sized destination holds any
            // rectangle that is written.
            (void)crop_pixels(DibPair{w, h, src.data(), dst.data()}, 24, a[0], a[1], a[2], a[3]);
            (void)crop_pixels(DibPair{w, h, src.data(), dst.data()}, 8, a[3], a[2], a[1], a[0]);
            break;
        }
        case 13: {
            const int dw = 1 + (a[1] & 31), dh = 1 + (a[2] & 31);
            std::vector<uint8_t> out(static_cast<size_t>(stride_of(dw) * dh));
            rotate_pixels_smooth(DibPair{w, h, src.data(), out.data()}, a[0], colour, dw, dh);
            rotate_pixels_nearest(DibPair{w, h, src.data(), dst.data()}, a[0], colour);
            break;
        }
        case 14: {
            // Sizes outside 1..32 are beyond twice the source and must be refused before
            // anything is written into the smaller destination.
            const int nw = a[0] < 1 ? 1 : (a[0] > 32 ? 32 : a[0]),
                      nh = a[1] < 1 ? 1 : (a[1] > 32 ? 32 : a[1]);
            std::vector<uint8_t> out(static_cast<size_t>(stride_of(nw) * nh));
            DibPair pair{w, h, src.data(), out.data()};
            (void)resize_pixels(pair, a[0], a[1]);
            break;
        }
        case 15:
        case 16: {
            // Any type and depth; the quarter turns get a destination of the turned size.
            const int type = op == 15 ? a[0] : 1 + (a[0] & 7) % 5;
            std::vector<uint8_t> turned(static_cast<size_t>(stride_of(h)) * w);
            uint8_t* out = type == 1 || type == 3 ? turned.data() : dst.data();
            (void)rotate_flip_pixels(DibPair{w, h, src.data(), out}, type, a[1] & 1 ? 8 : 24);
            break;
        }
        default: {
            set_brush_image(w, h, src.data(), dst.data(), masked ? mask.data() : nullptr);
            g_brush_state.level = a[0];
            g_brush_state.opacity = a[1];
            g_brush_state.paint_colour = colour;
            const DabRect rect{a[2] % 64, a[3] % 64, a[2] % 64 + (a[4] & 255), a[3] % 64 + (a[5] & 255)};
            void (*const dabs[][2])(const DabRect*) = {
                {paint_dab, paint_dab_masked},
                {brush_tone, brush_tone_masked},
                {brush_saturation, brush_saturation_masked},
                {brush_sharpen, brush_sharpen_masked},
                {brush_blur, brush_blur_masked},
                {brush_denoise, brush_denoise_masked},
                {brush_red_eye, brush_red_eye_masked},
            };
            dabs[op - 17][masked ? 1 : 0](&rect);
            if (op == 17) masked ? paint_fill_masked() : paint_fill();
            break;
        }
    }
    return 0;
}
