#include "kernels/lookup_tables.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/kernels/naive_kernels.h"

namespace {

TEST(BlendTable, EdgesAndSymmetry) {
    std::vector<uint8_t> t(kBlendTableSize);
    ASSERT_EQ(build_blend_table(t.data()), t.data());
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v < 256; ++v) ASSERT_EQ(t[256 * a + v], naive::blend(a, v)) << a << "," << v;
    }
    EXPECT_EQ(t[256 * 128 + 254], 127);
    EXPECT_EQ(t[256 * 127 + 254], 127);
    EXPECT_EQ(t[256 * 255 + 255], 255);
}

TEST(SmallTables, FollowTheirRules) {
    uint8_t percent[kPercentTableSize];
    build_percent_table(percent);
    EXPECT_EQ(percent[50], 128);
    EXPECT_EQ(percent[100], 255);
    EXPECT_EQ(percent[1], 3);

    std::vector<int32_t> squares(kSquaresTableSize);
    const int32_t* sq = build_squares_table(squares.data());
    for (int i = -255; i <= 255; ++i) ASSERT_EQ(sq[i], i * i);

    uint8_t clamp[kClampTableSize];
    const uint8_t* c = build_clamp_table(clamp);
    for (int i = -255; i <= 510; ++i) ASSERT_EQ(c[i], naive::clampi(i, 0, 255));

    std::vector<uint8_t> d25(kDiv25TableSize), d9(kDiv9TableSize), brush_d9(kDiv9TableSize);
    build_div25_table(d25.data());
    build_div9_table(d9.data());
    brush_build_div9_table(brush_d9.data());
    EXPECT_EQ(d25[0], 0);
    EXPECT_EQ(d9[0], 0);
    for (int i = 1; i < kDiv25TableSize; ++i) ASSERT_EQ(d25[i], naive::div_by_multiply(i, 2621)) << i;
    for (int i = 1; i < kDiv9TableSize; ++i) ASSERT_EQ(d9[i], naive::div_by_multiply(i, 7281)) << i;
    EXPECT_EQ(brush_d9, d9);
    // 2621 / 65536 is a little under 1 / 25: from 2988 on, some entries a rounded i / 25
    // would put one higher stay one lower, 136 in all.
    int below_rounded = 0;
    for (int i = 0; i < kDiv25TableSize; ++i) below_rounded += d25[i] != naive::rounded(i / 25.0);
    EXPECT_EQ(below_rounded, 136);
    EXPECT_EQ(d25[2987], 119);
    EXPECT_EQ(d25[2988], 119);
    EXPECT_EQ(d25[6363], 254);
    EXPECT_EQ(d25[6375], 255);
    EXPECT_EQ(d9[2295], 255);

    std::vector<int16_t> rows(kUnsharpRowsSize);
    std::vector<uint8_t> uclamp(kUnsharpClampSize);
    const uint8_t* uc = build_unsharp_tables(rows.data(), uclamp.data());
    EXPECT_EQ(uc[-1600], 0);
    EXPECT_EQ(uc[128], 128);
    EXPECT_EQ(uc[1842], 255);
    EXPECT_EQ(rows[256 * 3 + 0], -48);       // floor(-128 * 3 / 8)
    EXPECT_EQ(rows[256 * 3 + 127], -1);      // floor(-1 * 3 / 8)
    EXPECT_EQ(rows[256 * 100 + 255], 1587);  // floor(127 * 100 / 8)

    std::vector<int32_t> coef(kCoefficientTablesSize);
    const int32_t* k0 = build_coefficient_tables(coef.data());
    EXPECT_EQ(k0[-32 * 256 + 255], -32 * 255);
    EXPECT_EQ(k0[7 * 256 + 3], 21);

    int32_t luma[kLumaTables1024Size];
    build_luma_tables_1024(luma);
    EXPECT_EQ((luma[255] + luma[256 + 255] + luma[512 + 255]) >> 10, 255);
    uint8_t grey[kGreyTables256Size];
    build_luma_tables_256(grey);
    EXPECT_EQ(grey[255] + grey[256 + 255] + grey[512 + 255], 255);
}

TEST(LevelsStretch, RowsStretchTheirSpan) {
    std::vector<uint8_t> t(kLevelsStretchTableSize);
    build_levels_stretch_table(t.data());
    for (int w = 0; w < 256; ++w) {
        const uint8_t* row = t.data() + kLevelsRowBytes * w + kLevelsRowCentre;
        for (int v = -254; v <= 255; ++v) ASSERT_EQ(row[v], naive::levels_value(w, 0, v)) << w << "," << v;
    }
    const uint8_t* r255 = t.data() + kLevelsRowBytes * 255 + kLevelsRowCentre;
    for (int v = 1; v < 256; ++v) EXPECT_EQ(r255[v], v);
}

TEST(GammaCurves, CurvesAndTheirNamedPoints) {
    std::vector<uint8_t> t(kGammaCurvesSize);
    const uint8_t* c100 = build_gamma_curves(t.data());
    ASSERT_EQ(c100, t.data() + 256 * 100);
    for (int k = -100; k <= 100; ++k) {
        for (int j = 0; j < 256; ++j)
            ASSERT_EQ(c100[256 * k + j], naive::gamma_value(100 + k, j)) << k << "," << j;
    }
    for (int j = 0; j < 256; ++j) EXPECT_EQ(c100[j], j);
    EXPECT_EQ(0, std::memcmp(t.data(), t.data() + 256, 256));
    EXPECT_EQ(0, std::memcmp(t.data(), t.data() + 512, 256));
    EXPECT_EQ(t[128], 0);
    EXPECT_EQ(t[256 * 200 + 128], 240);
}

TEST(ContrastTables, IdentityAtZeroAndPivotFixed) {
    std::vector<uint8_t> t(kContrastTablesSize);
    for (int pivot : {0, 77, 128, 255}) {
        const uint8_t* c = build_contrast_tables(t.data(), pivot);
        for (int k = -100; k <= 100; ++k) {
            EXPECT_EQ(c[256 * k + pivot], pivot);
            for (int v = 0; v < 256; ++v) ASSERT_EQ(c[256 * k + v], naive::contrast_value(k, pivot, v));
        }
        for (int v = 0; v < 256; ++v) EXPECT_EQ(c[v], v);
    }
}

TEST(HslTables, SubTablesFollowTheirRules) {
    auto t = std::make_unique<HslTables>();
    build_hsl_tables(t.get());
    const HslAddresses a = hsl_addresses(t.get());
    for (int c = -255; c <= 255; ++c) {
        for (int d = 1; d < 256; ++d) {
            if (std::abs(c) <= d) {
                ASSERT_EQ(a.numerators[256 * c + d], 60 * c / d);
            }
        }
    }
    for (int l = 1; l < 510; ++l) {
        for (int d = 1; d <= std::min(l, 510 - l) && d < 256; ++d) {
            ASSERT_EQ(a.saturations[256 * l + d], l <= 255 ? 255 * d / l : 255 * d / (510 - l));
        }
    }
    for (int h = 0; h < 360; ++h) {
        for (int d = 0; d < 256; ++d) ASSERT_EQ(a.ramps[256 * h + d], naive::ramp(h, d));
    }
    for (int i = -300; i <= 659; ++i) ASSERT_EQ(a.hue_wrap[i], naive::wrap(i));
    for (int i = -255; i <= 510; ++i) ASSERT_EQ(a.clamp[i], naive::clampi(i, 0, 255));
    EXPECT_EQ(a.top_values[256 * 127 + 255], 254);
    EXPECT_EQ(a.top_values[256 * 200 + 100], 200 + 100 - 200 * 100 / 255);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(a.hue_wrap) - reinterpret_cast<const uint8_t*>(t.get()),
              549888 + 600);
}

TEST(LuminanceTables, WeightsInversesAndShares) {
    auto t = std::make_unique<LuminanceTables>();
    build_luminance_tables(t.get());
    EXPECT_EQ(t->gw[255], 1313);
    EXPECT_EQ(t->rw[255], 668);
    EXPECT_EQ(t->inverse_green[1313], 255);
    EXPECT_EQ(t->inverse_red[668], 255);
    for (int v = 0; v < 256; ++v) {
        EXPECT_LE(std::abs(t->inverse_green[t->gw[v]] - v), 1) << v;
        EXPECT_LE(std::abs(t->inverse_red[t->rw[v]] - v), 1) << v;
    }
    for (int d : {-2236, -1000, -1, 0, 1, 57, 2236}) {
        EXPECT_EQ(t->share_blue_centre[d], naive::sgn_share(468, d));
        EXPECT_EQ(t->share_green_centre[d], naive::sgn_share(2406, d));
        EXPECT_EQ(t->share_red_centre[d], naive::sgn_share(1224, d));
    }
}

TEST(MeanLuma, PerRowShiftAnd64BitSums) {
    naive::Rng rng(51);
    for (int w : {1, 2, 3, 5, 7}) {
        const naive::Image img = naive::random_image(w, 3, 24, rng);
        EXPECT_EQ(mean_luma_rgb(img.pixels.data(), w, 3, img.stride), naive::mean_luma(img, nullptr));
        const naive::Image idx = naive::random_image(w, 3, 8, rng);
        std::vector<uint8_t> pal(1024);
        for (auto& b : pal) b = rng.byte();
        EXPECT_EQ(mean_luma_palette(idx.pixels.data(), pal.data(), w, 3, idx.stride),
                  naive::mean_luma(idx, pal.data()));
    }
    // A white row of 30,000 pixels: 601 * 255 per pixel overflows a 32-bit green sum.
    naive::Image wide(30000, 1, 24, 255);
    EXPECT_EQ(mean_luma_rgb(wide.pixels.data(), 30000, 1, wide.stride), naive::mean_luma(wide, nullptr));
    EXPECT_GE(mean_luma_rgb(wide.pixels.data(), 30000, 1, wide.stride), 254);
    // 18 megapixels of white: the image total passes 2^32.
    naive::Image big(6000, 3000, 24, 255);
    EXPECT_EQ(mean_luma_rgb(big.pixels.data(), 6000, 3000, big.stride), 254);
}

}  // namespace
