#include "kernels/colour_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/kernels/naive_kernels.h"

namespace {

using naive::Image;

const uint8_t kPicked[3] = {200, 60, 30};  // red, green, blue
const uint8_t kTarget[3] = {10, 220, 90};

struct ModelCase {
    const char* name;
    int tolerance;
    std::function<void(AdjustContext*, const LuminanceTables*)> run_rgb;
    std::function<void(AdjustContext*, const LuminanceTables*)> run_palette;
    std::function<void(const uint8_t* s, uint8_t* e)> effect;
};

void hsl_in_range(int tolerance, const uint8_t* s, uint8_t* e, int shift, int dl, int ds) {
    const int dist = naive::sq_distance(s, kPicked);
    if (dist > 3 * tolerance * tolerance) return;
    const int w = naive::falloff(tolerance, dist);
    uint8_t h[3] = {s[0], s[1], s[2]};
    naive::hsl(h, shift, dl, ds);
    for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(naive::mix(w, h[ch], s[ch]));
}

std::vector<ModelCase> model_cases() {
    return {
        {"hue_saturation", 127,
         [](AdjustContext* c, const LuminanceTables*) { apply_hue_saturation_rgb(c, 77, -30, 45); },
         [](AdjustContext* c, const LuminanceTables*) { apply_hue_saturation_palette(c, 77, -30, 45); },
         [](const uint8_t*, uint8_t* e) { naive::hsl(e, 77, -30, 45); }},
        {"hue_saturation_extremes", 127,
         [](AdjustContext* c, const LuminanceTables*) { apply_hue_saturation_rgb(c, -180, 255, -255); },
         [](AdjustContext* c, const LuminanceTables*) { apply_hue_saturation_palette(c, -180, 255, -255); },
         [](const uint8_t*, uint8_t* e) { naive::hsl(e, -180, 255, -255); }},
        {"hue_saturation_clamped", 127,
         [](AdjustContext* c, const LuminanceTables*) { apply_hue_saturation_rgb(c, 4000, -4000, 4000); },
         [](AdjustContext* c, const LuminanceTables*) { apply_hue_saturation_palette(c, 4000, -4000, 4000); },
         [](const uint8_t*, uint8_t* e) { naive::hsl(e, 40, -255, 255); }},
        {"in_range", 90,
         [](AdjustContext* c, const LuminanceTables*) {
             apply_hue_saturation_in_range_rgb(c, 120, 20, -40, kPicked);
         },
         [](AdjustContext* c, const LuminanceTables*) {
             apply_hue_saturation_in_range_palette(c, 120, 20, -40, kPicked);
         },
         [](const uint8_t* s, uint8_t* e) { hsl_in_range(90, s, e, 120, 20, -40); }},
        {"replace", 150,
         [](AdjustContext* c, const LuminanceTables*) { replace_colour_rgb(c, 180, kPicked, kTarget); },
         [](AdjustContext* c, const LuminanceTables*) { replace_colour_palette(c, 180, kPicked, kTarget); },
         [](const uint8_t* s, uint8_t* e) {
             const int dist = naive::sq_distance(s, kPicked);
             if (dist > 3 * 150 * 150) return;
             const int w = naive::blend(180, naive::falloff(150, dist));
             for (int ch = 0; ch < 3; ++ch)
                 e[ch] = static_cast<uint8_t>(naive::mix(w, kTarget[2 - ch], s[ch]));
         }},
        {"shadow_highlight", 127,
         [](AdjustContext* c, const LuminanceTables*) { apply_shadow_highlight_rgb(c, 40, 25); },
         [](AdjustContext* c, const LuminanceTables*) { apply_shadow_highlight_palette(c, 40, 25); },
         [](const uint8_t* s, uint8_t* e) {
             const int d0 = s[0] * s[0] + s[1] * s[1] + s[2] * s[2];
             const int d1 =
                 (s[0] - 255) * (s[0] - 255) + (s[1] - 255) * (s[1] - 255) + (s[2] - 255) * (s[2] - 255);
             int curve, w;
             if (d0 <= 48387) {
                 curve = 140;
                 w = naive::falloff(127, d0);
             } else if (d1 <= 48387) {
                 curve = 75;
                 w = naive::falloff(127, d1);
             } else {
                 return;
             }
             for (int ch = 0; ch < 3; ++ch) {
                 e[ch] = static_cast<uint8_t>(naive::mix(w, naive::gamma_value(curve, s[ch]), s[ch]));
             }
         }},
        {"colour_filter", 127,
         [](AdjustContext* c, const LuminanceTables* t) { apply_colour_filter_rgb(c, t, 170, kTarget); },
         [](AdjustContext* c, const LuminanceTables* t) { apply_colour_filter_palette(c, t, 170, kTarget); },
         [](const uint8_t* s, uint8_t* e) {
             for (int ch = 0; ch < 3; ++ch)
                 e[ch] = static_cast<uint8_t>(naive::mix(170, kTarget[2 - ch], s[ch]));
             naive::restore_luminance(s, e);
         }},
        {"colour_balance", 127,
         [](AdjustContext* c, const LuminanceTables* t) { apply_colour_balance_rgb(c, t, 255, -60, 13); },
         [](AdjustContext* c, const LuminanceTables* t) { apply_colour_balance_palette(c, t, 255, -60, 13); },
         [](const uint8_t* s, uint8_t* e) {
             const int off[3] = {255, -60, 13};
             for (int ch = 0; ch < 3; ++ch)
                 e[ch] = static_cast<uint8_t>(naive::clampi(s[ch] + off[ch], 0, 255));
             naive::restore_luminance(s, e);
         }},
    };
}

TEST(ColourModelKernels, MatchFormulaOnOddWidthsWithAndWithoutMask) {
    naive::Tables tables;
    naive::Rng rng(21);
    for (const ModelCase& mc : model_cases()) {
        set_range_falloff(mc.tolerance, tables.ctx.get());
        for (int w : {1, 2, 3, 5, 7}) {
            for (int h : {1, 3}) {
                for (bool with_mask : {false, true}) {
                    SCOPED_TRACE(std::string(mc.name) + " w=" + std::to_string(w) +
                                 " h=" + std::to_string(h) + (with_mask ? " masked" : ""));
                    Image src = naive::random_image(w, h, 24, rng);
                    // Seed colours near the picked one so the range paths are taken.
                    for (int i = 0; i + 3 <= 3 * w; i += 6) {
                        src.pixels[i] = static_cast<uint8_t>(kPicked[2] + rng.range(0, 20));
                        src.pixels[i + 1] = static_cast<uint8_t>(kPicked[1] + rng.range(0, 20));
                        src.pixels[i + 2] = static_cast<uint8_t>(kPicked[0] + rng.range(0, 20));
                    }
                    const auto mask = naive::random_mask(w, h, rng);
                    const uint8_t* m = with_mask ? mask.data() : nullptr;
                    Image dst;
                    tables.bind(src, &dst, m);
                    mc.run_rgb(tables.ctx.get(), tables.lum_t.get());
                    ASSERT_EQ(dst.pixels, naive::apply_masked(src, m, mc.effect).pixels);
                }
            }
        }
    }
}

TEST(ColourModelKernels, PaletteTwinsMatchFormulaForEveryEntry) {
    naive::Tables tables;
    naive::Rng rng(22);
    for (const ModelCase& mc : model_cases()) {
        SCOPED_TRACE(mc.name);
        set_range_falloff(mc.tolerance, tables.ctx.get());
        Image src = naive::random_image(3, 2, 8, rng);
        std::vector<uint8_t> src_pal(1024), dst_pal(1024, 0x5A);
        for (auto& b : src_pal) b = rng.byte();
        Image dst;
        tables.bind(src, &dst, nullptr, src_pal.data(), dst_pal.data());
        mc.run_palette(tables.ctx.get(), tables.lum_t.get());
        for (int i = 0; i < 256; ++i) {
            uint8_t e[3] = {src_pal[4 * i], src_pal[4 * i + 1], src_pal[4 * i + 2]};
            mc.effect(src_pal.data() + 4 * i, e);
            for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(dst_pal[4 * i + ch], e[ch]) << "entry " << i;
            ASSERT_EQ(dst_pal[4 * i + 3], 0x5A);
        }
    }
}

struct HslCase {
    uint8_t in[3];  // blue, green, red
    int shift, dl, ds;
    uint8_t out[3];
};

TEST(ColourModelKernels, HslTurnsAndGreys) {
    naive::Tables tables;
    const HslCase cases[] = {
        // The integer model tops out at 254 for lightness 127: red turns green, not 255.
        {{0, 0, 255}, 120, 0, 0, {0, 254, 0}},
        {{0, 0, 255}, 240, 0, 0, {254, 0, 0}},
        {{0, 0, 255}, 600, 0, 0, {254, 0, 0}},  // a shift is circular
        {{0, 0, 255}, -120, 0, 0, {254, 0, 0}},
        {{90, 90, 90}, 77, 20, 0, {110, 110, 110}},  // a grey only moves in lightness
        {{128, 128, 128}, 0, 0, 255, {1, 1, 255}},   // a grey counts as hue 0: red
    };
    for (const HslCase& hc : cases) {
        uint8_t b = hc.in[0], g = hc.in[1], r = hc.in[2];
        adjust_pixel_hsl(tables.ctx->hsl, b, g, r, hc.shift, hc.dl, hc.ds);
        EXPECT_EQ(b, hc.out[0]);
        EXPECT_EQ(g, hc.out[1]);
        EXPECT_EQ(r, hc.out[2]);
    }
}

TEST(ColourModelKernels, RangeEdgesAndReplaceStrengths) {
    naive::Tables tables;
    set_range_falloff(10, tables.ctx.get());  // threshold 300
    const uint8_t picked[3] = {100, 100, 100};
    Image src(3, 1, 24);
    const uint8_t px[9] = {100, 100, 100, 110, 110, 100, 111, 110, 110};  // distance 0, 200, 321
    std::memcpy(src.pixels.data(), px, 9);
    Image dst;
    tables.bind(src, &dst, nullptr);
    const uint8_t target[3] = {255, 0, 0};
    replace_colour_rgb(tables.ctx.get(), 255, picked, target);
    EXPECT_EQ(dst.pixels[0], 0);  // the picked colour itself becomes the target
    EXPECT_EQ(dst.pixels[2], 255);
    EXPECT_EQ(dst.pixels[6], 111);  // beyond the threshold: untouched
    replace_colour_rgb(tables.ctx.get(), 0, picked, target);
    EXPECT_EQ(dst.pixels, src.pixels);
}

TEST(ColourModelKernels, ShadowHighlightEnds) {
    naive::Tables tables;
    Image src(3, 1, 24);
    const uint8_t px[9] = {0, 0, 0, 255, 255, 255, 128, 128, 128};
    std::memcpy(src.pixels.data(), px, 9);
    Image dst;
    tables.bind(src, &dst, nullptr);
    apply_shadow_highlight_rgb(tables.ctx.get(), 0, 100);  // full highlight curve: curve 0 on white
    EXPECT_EQ(dst.pixels[3], naive::gamma_value(0, 255));
    EXPECT_EQ(dst.pixels[6], 128);  // mid-grey: weight 0 at the threshold
    EXPECT_EQ(dst.pixels[7], 128);
}

TEST(Equalize, TwoLumasMoveToTheEnds) {
    naive::Tables tables;
    Image src(3, 2, 24);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = src.at(x, y);
            p[0] = p[1] = p[2] = (x + y) % 2 ? 200 : 60;
        }
    }
    Image dst;
    tables.bind(src, &dst, nullptr);
    equalize_rgb(tables.ctx.get());
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            uint8_t want[3] = {src.at(x, y)[0], src.at(x, y)[1], src.at(x, y)[2]};
            const int luma = naive::luma_rounded(want);
            naive::hsl(want, 0, ((luma == 60 ? 0 : 255) - luma) >> 1, 0);
            for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(dst.at(x, y)[ch], want[ch]);
        }
    }
}

TEST(Equalize, MatchesFormulaWithMask) {
    naive::Tables tables;
    naive::Rng rng(23);
    for (int w : {1, 2, 5, 7}) {
        Image src = naive::random_image(w, 3, 24, rng);
        const auto mask = naive::random_mask(w, 3, rng);
        Image dst;
        tables.bind(src, &dst, mask.data());
        equalize_rgb(tables.ctx.get());
        int64_t bins[256] = {};
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < w; ++x) ++bins[naive::luma_rounded(src.at(x, y))];
        }
        int64_t cdf[256], run = 0, c0 = 0;
        for (int j = 0; j < 256; ++j) {
            run += bins[j];
            cdf[j] = run;
            if (!c0) c0 = run;
        }
        const int64_t n = 3 * w;
        const Image want = naive::apply_masked(src, mask.data(), [&](const uint8_t* s, uint8_t* e) {
            const int y = naive::luma_rounded(s);
            if (n == c0) return;
            const int eq =
                static_cast<int>(static_cast<double>(cdf[y] - c0) / static_cast<double>(n - c0) * 255.0);
            naive::hsl(e, 0, (eq - y) >> 1, 0);
        });
        ASSERT_EQ(dst.pixels, want.pixels) << w;
    }
}

// All pixels of one luma: nothing to spread, and no division by zero.
TEST(Equalize, OneLumaLeavesTheImageUnchanged) {
    naive::Tables tables;
    for (int w : {1, 3, 5}) {
        Image src(w, 2, 24);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < w; ++x) {
                src.at(x, y)[0] = static_cast<uint8_t>(x % 2 ? 0 : 0);
                src.at(x, y)[1] = 100;
                src.at(x, y)[2] = 50;
            }
        }
        Image dst;
        tables.bind(src, &dst, nullptr);
        std::fill(dst.pixels.begin(), dst.pixels.end(), 1);
        equalize_rgb(tables.ctx.get());
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3 * w; ++x)
                ASSERT_EQ(dst.pixels[y * dst.stride + x], src.pixels[y * src.stride + x]);
        }
    }
}

// Two jobs (a batch conversion and an open tool) each reach their own tables: freeing one
// set leaves the other context working. The address sanitizer catches any shared pointer.
TEST(AdjustContextTables, HslTablesArePerContext) {
    naive::Tables tool;
    auto batch_ctx = std::make_unique<AdjustContext>();
    *batch_ctx = *tool.ctx;
    {
        auto batch_hsl = std::make_unique<HslTables>();
        install_hsl_tables_for_adjust(batch_hsl.get(), batch_ctx.get());
        EXPECT_NE(batch_ctx->hsl.ramps, tool.ctx->hsl.ramps);
    }
    Image src(2, 1, 24);
    src.pixels[2] = 255;
    Image dst;
    tool.bind(src, &dst, nullptr);
    apply_hue_saturation_rgb(tool.ctx.get(), 120, 0, 0);
    EXPECT_EQ(dst.pixels[1], 254);
    EXPECT_EQ(dst.pixels[2], 0);
}

TEST(Falloff, ToleranceIsClampedToTheWeightArray) {
    naive::Tables tables;
    set_range_falloff(0, tables.ctx.get());
    EXPECT_EQ(tables.ctx->range_threshold, 0);
    EXPECT_EQ(tables.ctx->falloff[0], 255);
    set_range_falloff(100000, tables.ctx.get());
    EXPECT_EQ(tables.ctx->range_threshold, 67500);
    EXPECT_EQ(tables.ctx->falloff[67500], 0);
    set_default_range_falloff(tables.ctx.get());
    EXPECT_EQ(tables.ctx->range_threshold, 48387);
    for (int i : {0, 1, 1000, 48386, 48387}) EXPECT_EQ(tables.ctx->falloff[i], naive::falloff(127, i)) << i;
}

}  // namespace
