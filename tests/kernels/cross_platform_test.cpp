// One digest over the tables and kernel results that involve floating point (gamma curves,
// brush tips, rotation, rounded luma weights, equalisation, Gaussian weights) and a sample of
// the rest, every effect filter among them. The
// same executable runs natively and under Wine; both must reach the recorded value, which is
// how the two builds are shown to give the same bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "kernels/brush_kernels.h"
#include "kernels/colour_adjust.h"
#include "kernels/colour_model.h"
#include "kernels/filter_random.h"
#include "kernels/filters.h"
#include "kernels/geometry.h"
#include "tests/kernels/filter_naive.h"
#include "tests/kernels/naive_kernels.h"

namespace {

struct Digest {
    uint64_t h = 1469598103934665603ull;
    void add(const void* data, size_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    }
    void add(const std::vector<uint8_t>& v) { add(v.data(), v.size()); }
};

uint64_t kernel_digest() {
    Digest dg;
    naive::Tables tables;
    dg.add(tables.gamma_t);
    dg.add(tables.levels_t);
    dg.add(tables.hsl_t.get(), sizeof(HslTables));
    uint8_t* tips[kBrushTipCount];
    uint8_t* block = build_brush_tips(tips);
    dg.add(block, static_cast<size_t>(kBrushTipsBlockSize));
    uint8_t percent[kPercentTableSize];
    dg.add(build_percent_table(percent), sizeof percent);

    naive::Rng rng(61);
    const naive::Image src = naive::random_image(37, 23, 24, rng);
    const auto mask = naive::random_mask(37, 23, rng);
    naive::Image dst;
    const uint8_t colour[3] = {200, 40, 90};
    auto run = [&](auto kernel) {
        tables.bind(src, &dst, mask.data());
        kernel(tables.ctx.get());
        dg.add(dst.pixels);
    };
    prepare_contrast_tables(tables.ctx.get(), tables.luma_t.data(), tables.contrast_t.data());
    run([](AdjustContext* c) { apply_gamma_rgb(c, -70, 15, 88); });
    run([](AdjustContext* c) { apply_contrast_rgb(c, -40, 30, 100); });
    run([](AdjustContext* c) { apply_levels_rgb(c, 230, 12, 3); });
    run([](AdjustContext* c) { apply_hue_saturation_rgb(c, 45, -20, 60); });
    run([&](AdjustContext* c) { apply_hue_saturation_in_range_rgb(c, -90, 10, 30, colour); });
    run([](AdjustContext* c) { apply_shadow_highlight_rgb(c, 35, 20); });
    run([](AdjustContext* c) { equalize_rgb(c); });
    run([&](AdjustContext* c) { apply_colour_filter_rgb(c, tables.lum_t.get(), 150, colour); });
    run([&](AdjustContext* c) { apply_colour_balance_rgb(c, tables.lum_t.get(), 30, -80, 10); });
    int32_t hist[256] = {};
    tables.bind(src, &dst, mask.data());
    count_luma_histogram_rgb(tables.ctx.get(), hist);
    dg.add(hist, sizeof hist);

    for (int angle : {1, 123, 450, -777, 1800}) {
        naive::Image out(41, 29, 24, 0);
        rotate_pixels_smooth(DibPair{37, 23, src.pixels.data(), out.pixels.data()}, angle, colour, 41, 29);
        dg.add(out.pixels);
        naive::Image near(37, 23, 24, 0);
        rotate_pixels_nearest(DibPair{37, 23, src.pixels.data(), near.pixels.data()}, angle, colour);
        dg.add(near.pixels);
    }
    for (auto [w, h] : {std::pair<int, int>{13, 9}, {60, 40}, {3, 46}, {74, 5}}) {
        naive::Image out(w, h, 24, 0);
        DibPair pair{37, 23, src.pixels.data(), out.pixels.data()};
        if (resize_pixels(pair, w, h)) dg.add(out.pixels);
    }
    naive::Image turned(23, 37, 24, 0);
    if (rotate_flip_pixels(DibPair{37, 23, src.pixels.data(), turned.pixels.data()}, 1, 24))
        dg.add(turned.pixels);

    uint8_t blend[kBlendTableSize], gamma[kGammaCurvesSize], grey[kGreyTables256Size], div9[kDiv9TableSize];
    auto hsl = std::make_unique<HslTables>();
    BrushKernelState saved = g_brush_state;
    g_brush_state.blend = build_blend_table(blend);
    g_brush_state.gamma = build_gamma_curves(gamma);
    g_brush_state.grey = build_luma_tables_256(grey);
    brush_build_div9_table(div9);
    install_hsl_tables_for_brush(hsl.get());
    g_brush_state.tips = tips;
    naive::Image canvas = src;
    set_brush_image(37, 23, src.pixels.data(), canvas.pixels.data(), mask.data());
    const DabRect dabs[] = {{-3, -2, 17, 18}, {10, 4, 22, 16}, {30, 15, 45, 30}};
    g_brush_state.level = 80;
    for (const DabRect& r : dabs) brush_tone_masked(&r);
    g_brush_state.level = -90;
    for (const DabRect& r : dabs) brush_saturation(&r);
    g_brush_state.level = 140;
    for (const DabRect& r : dabs) brush_sharpen_masked(&r);
    dg.add(canvas.pixels);
    g_brush_state = saved;
    free_brush_tips(block);

    // Every effect filter once, on one thread and on three (the same bytes either way); the
    // Gaussian weights are the floating-point part.
    for (int threads : {1, 3}) {
        naive::FilterTables filters;
        std::vector<uint8_t> scratch(src.pixels.size()), blocks(src.pixels.size());
        std::vector<int8_t> difference(src.pixels.size());
        auto filter = [&](const std::function<void(FilterWork*)>& kernel) {
            naive::Image out(37, 23, 24, 0xA5);
            FilterWork* w = filters.bind(src, &out, mask.data(), threads);
            w->difference = difference.data();
            kernel(w);
            dg.add(out.pixels);
        };
        const Kernel3x3 emboss{{-2, -1, 0, -1, 1, 1, 0, 1, 2}};
        filter([](FilterWork* w) { blur_box3(w, 200); });
        filter([](FilterWork* w) { blur_box5(w, 77); });
        filter([&](FilterWork* w) { soft_focus_blend(w, 150, scratch.data()); });
        filter([](FilterWork* w) {
            unsharp_difference(w);
            unsharp_apply(w, 37, 9);
        });
        for (int radius : {1, 4, 11, 20}) {
            filter([&](FilterWork* w) {
                blur_gaussian(w, scratch.data(), radius);
                dg.add(w->gauss_weights, sizeof w->gauss_weights);
            });
        }
        for (int r = 0; r <= kGaussMaxRadius; ++r) {
            int32_t weights[2 * kGaussMaxRadius + 1] = {};
            const int32_t shift = build_gauss_weights(r, weights + kGaussMaxRadius);
            dg.add(weights, sizeof weights);
            dg.add(&shift, sizeof shift);
        }
        filter([](FilterWork* w) { filter_remove_noise(w, 230); });
        filter([&](FilterWork* w) { emboss_convolve(w, emboss); });
        filter([&](FilterWork* w) { convolve3x3_colour(w, emboss, 3); });
        filter([&](FilterWork* w) { extract_edges(w, emboss); });
        filter([&](FilterWork* w) { apply_mosaic(w, blocks.data(), 5, 3, true, true); });
        filter([](FilterWork* w) {
            filter_random_seed(1);
            apply_diffusion(w, 180, 13);
        });
        filter([&](FilterWork* w) { painting_effect(w, filters.squares); });
        filter([&](FilterWork* w) {
            run_painting_style(w, src.pixels.data(), w->destination, scratch.data(), filters.squares);
        });
    }
    return dg.h;
}

TEST(CrossPlatform, KernelResultsMatchTheRecordedDigest) {
    const uint64_t digest = kernel_digest();
    std::printf("kernel digest %016llx\n", static_cast<unsigned long long>(digest));
    EXPECT_EQ(digest, 0x15599d289c25b43full);
}

}  // namespace
