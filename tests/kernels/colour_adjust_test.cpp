#include "kernels/colour_adjust.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/kernels/naive_kernels.h"

namespace {

using naive::Image;

struct ChannelCase {
    const char* name;
    std::function<void(AdjustContext*)> run_rgb;
    std::function<void(AdjustContext*)> run_palette;
    // The effect on one channel value, ch = 0 blue, 1 green, 2 red; pivot is the mean luma.
    std::function<int(int ch, int v, int pivot)> effect;
};

std::vector<ChannelCase> channel_cases() {
    static uint8_t poster[256];
    return {
        {"levels_all", [](AdjustContext* c) { apply_levels_rgb(c, 200, 37, 3); },
         [](AdjustContext* c) { apply_levels_palette(c, 200, 37, 3); },
         [](int, int v, int) { return naive::levels_value(200, 37, v); }},
        {"levels_narrow", [](AdjustContext* c) { apply_levels_rgb(c, 101, 100, 3); },
         [](AdjustContext* c) { apply_levels_palette(c, 101, 100, 3); },
         [](int, int v, int) { return v > 100 ? 255 : 0; }},
        {"gamma", [](AdjustContext* c) { apply_gamma_rgb(c, -100, 37, 100); },
         [](AdjustContext* c) { apply_gamma_palette(c, -100, 37, 100); },
         [](int ch, int v, int) {
             return naive::gamma_value(100 + (ch == 0 ? -100 : ch == 1 ? 37 : 100), v);
         }},
        {"brightness", [](AdjustContext* c) { apply_brightness_rgb(c, -255, 40, 255); },
         [](AdjustContext* c) { apply_brightness_palette(c, -255, 40, 255); },
         [](int ch, int v, int) {
             return naive::clampi(v + (ch == 0 ? -255 : ch == 1 ? 40 : 255), 0, 255);
         }},
        {"contrast", [](AdjustContext* c) { apply_contrast_rgb(c, -100, 1, 100); },
         [](AdjustContext* c) { apply_contrast_palette(c, -100, 1, 100); },
         [](int ch, int v, int pivot) {
             return naive::contrast_value(ch == 0 ? -100 : ch == 1 ? 1 : 100, pivot, v);
         }},
        {"invert", [](AdjustContext* c) { invert_colours_rgb(c); },
         [](AdjustContext* c) { invert_colours_palette(c); }, [](int, int v, int) { return 255 - v; }},
        {"posterize5", [](AdjustContext* c) { apply_posterize_rgb(c, 5, poster); },
         [](AdjustContext* c) { apply_posterize_palette(c, 5, poster); },
         [](int, int v, int) { return naive::posterize_value(5, v); }},
        // Out-of-range arguments as a damaged settings file may hold them: clamped.
        {"gamma_clamped", [](AdjustContext* c) { apply_gamma_rgb(c, -5000, 5000, 0); },
         [](AdjustContext* c) { apply_gamma_palette(c, -5000, 5000, 0); },
         [](int ch, int v, int) {
             return naive::gamma_value(ch == 0 ? 0 : ch == 1 ? 200 : 100, v);
         }},
        {"brightness_clamped", [](AdjustContext* c) { apply_brightness_rgb(c, -900, 900, 0); },
         [](AdjustContext* c) { apply_brightness_palette(c, -900, 900, 0); },
         [](int ch, int v, int) { return ch == 0   ? 0
                                         : ch == 1 ? 255
                                                   : v; }},
        {"posterize_clamped", [](AdjustContext* c) { apply_posterize_rgb(c, 100000, poster); },
         [](AdjustContext* c) { apply_posterize_palette(c, 1, poster); }, nullptr},
    };
}

// Every channel kernel against the formula, on odd widths, with and without a mask; the whole
// buffer is compared, so a write into the row padding or past the end shows as well.
TEST(ChannelKernels, MatchFormulaOnOddWidthsWithAndWithoutMask) {
    naive::Tables tables;
    naive::Rng rng(11);
    for (const ChannelCase& kc : channel_cases()) {
        if (!kc.effect) continue;
        for (int w : {1, 2, 3, 5, 7}) {
            for (int h : {1, 2, 3}) {
                for (bool with_mask : {false, true}) {
                    SCOPED_TRACE(std::string(kc.name) + " w=" + std::to_string(w) +
                                 " h=" + std::to_string(h) + (with_mask ? " masked" : ""));
                    Image src = naive::random_image(w, h, 24, rng);
                    const auto mask = naive::random_mask(w, h, rng);
                    const uint8_t* m = with_mask ? mask.data() : nullptr;
                    Image dst;
                    tables.bind(src, &dst, m);
                    const int pivot = naive::mean_luma(src, nullptr);
                    prepare_contrast_tables(tables.ctx.get(), tables.luma_t.data(), tables.contrast_t.data());
                    kc.run_rgb(tables.ctx.get());
                    const Image want = naive::apply_masked(src, m, [&](const uint8_t* s, uint8_t* e) {
                        for (int ch = 0; ch < 3; ++ch)
                            e[ch] = static_cast<uint8_t>(kc.effect(ch, s[ch], pivot));
                    });
                    ASSERT_EQ(dst.pixels, want.pixels);
                }
            }
        }
    }
}

// The 8-bit twins map the palette (bytes 0-2, byte 3 untouched) and leave the indices alone.
TEST(ChannelKernels, PaletteTwinsMapEveryEntryAndKeepTheReservedByte) {
    naive::Tables tables;
    naive::Rng rng(12);
    for (const ChannelCase& kc : channel_cases()) {
        if (!kc.effect) continue;
        SCOPED_TRACE(kc.name);
        Image src = naive::random_image(5, 3, 8, rng);
        std::vector<uint8_t> src_pal(1024), dst_pal(1024, 0xA5);
        for (auto& b : src_pal) b = rng.byte();
        Image dst;
        tables.bind(src, &dst, nullptr, src_pal.data(), dst_pal.data());
        prepare_contrast_tables(tables.ctx.get(), tables.luma_t.data(), tables.contrast_t.data());
        const int pivot = naive::mean_luma(src, src_pal.data());
        kc.run_palette(tables.ctx.get());
        for (int i = 0; i < 256; ++i) {
            for (int ch = 0; ch < 3; ++ch)
                ASSERT_EQ(dst_pal[4 * i + ch], kc.effect(ch, src_pal[4 * i + ch], pivot)) << i;
            ASSERT_EQ(dst_pal[4 * i + 3], 0xA5);
        }
        EXPECT_EQ(dst.pixels, src.pixels);
    }
}

TEST(ChannelKernels, OutOfRangeArgumentsStayInsideTheTables) {
    naive::Tables tables;
    naive::Rng rng(13);
    Image src = naive::random_image(7, 3, 24, rng);
    Image dst;
    tables.bind(src, &dst, nullptr);
    prepare_contrast_tables(tables.ctx.get(), tables.luma_t.data(), tables.contrast_t.data());
    uint8_t poster[256];
    // Run under the address sanitizer: any table read out of bounds fails the run.
    apply_contrast_rgb(tables.ctx.get(), -1000, 1000, 101);
    apply_levels_rgb(tables.ctx.get(), 9999, -9999, 77);
    apply_levels_rgb(tables.ctx.get(), 10, 200, 3);
    apply_posterize_rgb(tables.ctx.get(), 0, poster);
    EXPECT_EQ(poster[0], 0);
    EXPECT_EQ(poster[255], 255);
    EXPECT_EQ(poster[127], 0);  // n clamped to 2
    EXPECT_EQ(poster[128], 255);
}

// Levels with black = white: a span of 0 maps everything to 0, and at black = 255 no read
// lands one byte before the table's row.
TEST(ChannelKernels, LevelsWithEqualBlackAndWhiteMapsToZero) {
    naive::Tables tables;
    for (int black : {0, 100, 255}) {
        Image src(3, 1, 24);
        for (int i = 0; i < 9; ++i) src.pixels[i] = static_cast<uint8_t>(i * 31);
        Image dst;
        tables.bind(src, &dst, nullptr);
        apply_levels_rgb(tables.ctx.get(), black, black, 3);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(dst.pixels[i], 0) << black;
    }
}

TEST(ChannelKernels, LevelsOneChannelWritesOnlyThatByte) {
    naive::Tables tables;
    naive::Rng rng(14);
    for (int channel : {0, 1, 2}) {
        Image src = naive::random_image(5, 2, 24, rng);
        const auto mask = naive::random_mask(5, 2, rng);
        Image dst;
        tables.bind(src, &dst, mask.data());
        for (auto& b : dst.pixels) b = 7;  // the caller's destination: only channel bytes change
        apply_levels_rgb(tables.ctx.get(), 180, 20, channel);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 5; ++x) {
                for (int ch = 0; ch < 3; ++ch) {
                    const int s = src.at(x, y)[ch];
                    const int want = ch == channel
                                         ? naive::masked(mask[y * 5 + x], s, naive::levels_value(180, 20, s))
                                         : 7;
                    ASSERT_EQ(dst.at(x, y)[ch], want) << x << "," << y << " ch " << ch;
                }
            }
        }
        // The palette twin likewise writes only that byte of each entry.
        Image indices = naive::random_image(5, 2, 8, rng);
        std::vector<uint8_t> src_pal(1024), dst_pal(1024, 7);
        for (auto& b : src_pal) b = rng.byte();
        Image unused;
        tables.bind(indices, &unused, nullptr, src_pal.data(), dst_pal.data());
        apply_levels_palette(tables.ctx.get(), 180, 20, channel);
        for (int i = 0; i < 1024; ++i) {
            const int want = i % 4 == channel ? naive::levels_value(180, 20, src_pal[i]) : 7;
            ASSERT_EQ(dst_pal[i], want) << "entry " << i / 4 << " byte " << i % 4;
        }
    }
}

TEST(ChannelKernels, PosterizeBandsOfFourLevels) {
    uint8_t p[256];
    build_posterize_table(4, p);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[63], 0);
    EXPECT_EQ(p[64], 96);
    EXPECT_EQ(p[127], 96);
    EXPECT_EQ(p[128], 160);
    EXPECT_EQ(p[191], 160);
    EXPECT_EQ(p[192], 255);
    build_posterize_table(256, p);
    for (int v = 0; v < 256; ++v) ASSERT_EQ(p[v], v);
}

TEST(Histograms, CountersMatchAPlainCount) {
    naive::Tables tables;
    naive::Rng rng(15);
    Image src = naive::random_image(7, 5, 24, rng);
    const auto mask = naive::random_mask(7, 5, rng);
    Image dst;
    tables.bind(src, &dst, mask.data());
    int32_t b[256] = {}, g[256] = {}, r[256] = {}, luma[256] = {};
    count_channel_histograms_rgb(tables.ctx.get(), b, g, r);
    count_luma_histogram_rgb(tables.ctx.get(), luma);
    int32_t wb[256] = {}, wg[256] = {}, wr[256] = {}, wl[256] = {};
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            const uint8_t* p = src.at(x, y);
            ++wl[naive::luma_rounded(p)];  // every pixel, mask or not
            if (mask[y * 7 + x] == 255) continue;
            ++wb[p[0]];
            ++wg[p[1]];
            ++wr[p[2]];
        }
    }
    EXPECT_EQ(0, std::memcmp(b, wb, sizeof b));
    EXPECT_EQ(0, std::memcmp(g, wg, sizeof g));
    EXPECT_EQ(0, std::memcmp(r, wr, sizeof r));
    EXPECT_EQ(0, std::memcmp(luma, wl, sizeof luma));

    // 8-bit: through the palette, every pixel counted, the mask not consulted.
    Image idx = naive::random_image(5, 3, 8, rng);
    std::vector<uint8_t> pal(1024);
    for (auto& v : pal) v = rng.byte();
    tables.bind(idx, &dst, mask.data(), pal.data(), nullptr);
    int32_t pb[256] = {}, pg[256] = {}, pr[256] = {}, pl[256] = {};
    count_channel_histograms_palette(tables.ctx.get(), pb, pg, pr);
    count_luma_histogram_palette(tables.ctx.get(), pl);
    int32_t total = 0, total_luma = 0;
    for (int i = 0; i < 256; ++i) {
        total += pb[i];
        total_luma += pl[i];
    }
    EXPECT_EQ(total, 15);
    EXPECT_EQ(total_luma, 15);
    const uint8_t* e = pal.data() + 4 * *idx.at(4, 2);
    EXPECT_GE(pg[e[1]], 1);
    EXPECT_GE(pl[naive::luma_rounded(e)], 1);
}

TEST(Histograms, WhiteHasItsWholeLumaCountInBin255) {
    naive::Tables tables;
    Image src(3, 2, 24, 255);
    Image dst;
    tables.bind(src, &dst, nullptr);
    int32_t luma[256] = {};
    count_luma_histogram_rgb(tables.ctx.get(), luma);
    EXPECT_EQ(luma[255], 6);
}

// The 8-bit stride is the 4-byte padded row, not three bytes a pixel.
TEST(AdjustContextLayout, StrideIsThePaddedRowAtEitherDepth) {
    AdjustContext c;
    set_adjust_image(&c, 5, 2, 8, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(c.stride, 8);
    set_adjust_image(&c, 5, 2, 24, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(c.stride, 16);
    set_adjust_image(&c, 1, 2, 8, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(c.stride, 4);
}

}  // namespace
