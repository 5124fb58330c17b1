#include "kernels/brush_kernels.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "tests/kernels/naive_kernels.h"

namespace {

using naive::Image;

// The brush kernels' tables, built once for the whole suite.
class BrushKernels : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tables = new Tables;
        BrushKernelState& b = g_brush_state;
        b.blend = build_blend_table(s_tables->blend);
        b.gamma = build_gamma_curves(s_tables->gamma);
        b.grey = build_luma_tables_256(s_tables->grey);
        brush_build_div9_table(s_tables->div9);
        install_hsl_tables_for_brush(&s_tables->hsl);
        s_tables->tips_block = build_brush_tips(s_tables->tips);
        b.tips = s_tables->tips;
    }
    static void TearDownTestSuite() {
        free_brush_tips(s_tables->tips_block);
        delete s_tables;
        g_brush_state = BrushKernelState{};
    }
    struct Tables {
        uint8_t blend[kBlendTableSize];
        uint8_t gamma[kGammaCurvesSize];
        uint8_t grey[kGreyTables256Size];
        uint8_t div9[kDiv9TableSize];
        HslTables hsl;
        uint8_t* tips[kBrushTipCount];
        uint8_t* tips_block;
    };
    static Tables* s_tables;
};
BrushKernels::Tables* BrushKernels::s_tables = nullptr;

struct Mode {
    const char* name;
    void (*plain)(const DabRect*);
    void (*masked)(const DabRect*);
    int level;
    bool inset;  // leaves the outermost rows and columns alone
};

const Mode kModes[] = {
    {"paint", paint_dab, paint_dab_masked, 0, false},
    {"brighten", brush_tone, brush_tone_masked, 60, false},
    {"darken", brush_tone, brush_tone_masked, -100, false},
    {"vivid", brush_saturation, brush_saturation_masked, 90, false},
    {"pale", brush_saturation, brush_saturation_masked, -255, false},
    {"sharpen", brush_sharpen, brush_sharpen_masked, 200, true},
    {"blur", brush_blur, brush_blur_masked, 170, true},
    {"denoise", brush_denoise, brush_denoise_masked, 0, true},
    {"red_eye", brush_red_eye, brush_red_eye_masked, 0, false},
};

const uint8_t kColour[3] = {30, 200, 90};  // red, green, blue

TEST_F(BrushKernels, TipsFollowTheCoverageFormula) {
    ASSERT_NE(s_tables->tips_block, nullptr);
    for (int d = kBrushTipMinDiameter; d <= kBrushTipMaxDiameter; ++d) {
        const uint8_t* tip = s_tables->tips[d - 3];
        for (int row = 0; row < d; ++row) {
            for (int col = 0; col < d; ++col)
                ASSERT_EQ(tip[row * d + col], naive::tip_coverage(d, col, row)) << d;
        }
    }
    const uint8_t* t3 = s_tables->tips[0];
    EXPECT_EQ(t3[4], 255);
    EXPECT_EQ(t3[1], 127);
    EXPECT_EQ(t3[0], 75);
}

// Each mode against the formula, on odd sizes, with dabs inside, across every border and
// wholly outside, over a destination that already holds an earlier stroke.
TEST_F(BrushKernels, DabsMatchFormulaWithAndWithoutMask) {
    naive::Rng rng(41);
    g_brush_state.paint_colour = kColour;
    g_brush_state.opacity = 128;
    for (const Mode& mode : kModes) {
        g_brush_state.level = mode.level;
        for (auto [w, h] : {std::pair<int, int>{1, 1}, {2, 3}, {3, 2}, {5, 5}, {7, 4}}) {
            for (int variant = 0; variant < 3; ++variant) {
                const bool with_mask = variant == 1;
                Image src = naive::random_image(w, h, 24, rng);
                // Reddish pixels so that red-eye takes its change paths.
                for (size_t i = 0; i + 2 < src.pixels.size(); i += 9) src.pixels[i + 2] = 250;
                // Few distinct values: many equal greys, where the median's tie-breaks decide.
                const uint8_t few[3] = {0, 51, 100};
                if (variant == 2) {
                    for (auto& b : src.pixels) b = few[rng.range(0, 2)];
                }
                Image dst = naive::random_image(w, h, 24, rng);
                const auto mask = naive::random_mask(w, h, rng);
                const uint8_t* m = with_mask ? mask.data() : nullptr;
                set_brush_image(w, h, src.pixels.data(), dst.pixels.data(), m);
                Image want = dst;
                for (const DabRect& r :
                     {DabRect{-2, -1, 3, 4}, DabRect{w - 2, h - 3, w + 2, h + 1}, DabRect{0, 0, 4, 4},
                      DabRect{-1, -1, 8, 8}, DabRect{w, 0, w + 3, 3}, DabRect{-5, -5, -2, -2}}) {
                    SCOPED_TRACE(std::string(mode.name) + " " + std::to_string(w) + "x" + std::to_string(h) +
                                 (with_mask ? " masked" : "") + " at " + std::to_string(r.left) + "," +
                                 std::to_string(r.top));
                    (with_mask ? mode.masked : mode.plain)(&r);
                    naive::dab(naive::BrushMode{mode.name, mode.level, mode.inset, kColour, 128}, src, &want,
                               m, r);
                    ASSERT_EQ(dst.pixels, want.pixels);
                }
            }
        }
    }
}

TEST_F(BrushKernels, RepeatedBlurDabsConvergeToOneFullBlur) {
    naive::Rng rng(42);
    Image src = naive::random_image(9, 9, 24, rng);
    Image dst = src;
    set_brush_image(9, 9, src.pixels.data(), dst.pixels.data(), nullptr);
    g_brush_state.level = 255;
    const DabRect r{0, 0, 9, 9};
    for (int i = 0; i < 200; ++i) brush_blur(&r);
    // The centre cell has full coverage: after one dab it already holds the blur, and it stays.
    uint8_t e[3];
    naive::brush_effect(naive::BrushMode{"blur", 255, true, kColour, 128}, src, 4, 4, e);
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(dst.at(4, 4)[ch], e[ch]);
}

TEST_F(BrushKernels, RedEyeRule) {
    struct Case {
        uint8_t b, g, r;
        bool changed;
        uint8_t ob, og, orr;
    } cases[] = {
        {40, 40, 200, true, 40, 40, 52},        // dark red: pulled down to green + 12
        {200, 200, 255, false, 200, 200, 255},  // light pink: left alone
        {90, 90, 90, false, 90, 90, 90},        // grey
        {40, 200, 40, false, 40, 200, 40},      // green
    };
    for (const Case& c : cases) {
        uint8_t b = c.b, g = c.g, r = c.r;
        EXPECT_EQ(test_red_pixel(b, r, g), c.changed);
        EXPECT_EQ(b, c.ob);
        EXPECT_EQ(g, c.og);
        EXPECT_EQ(r, c.orr);
    }
}

TEST_F(BrushKernels, FillMatchesFormulaAndKeepsOutsidePixels) {
    naive::Rng rng(43);
    g_brush_state.paint_colour = kColour;
    g_brush_state.opacity = 128;
    for (bool with_mask : {false, true}) {
        Image src = naive::random_image(5, 3, 24, rng);
        Image dst(5, 3, 24, 0);
        const auto mask = naive::random_mask(5, 3, rng);
        set_brush_image(5, 3, src.pixels.data(), dst.pixels.data(), mask.data());
        with_mask ? paint_fill_masked() : paint_fill();
        const Image want =
            naive::apply_masked(src, with_mask ? mask.data() : nullptr, [](const uint8_t* s, uint8_t* e) {
                for (int ch = 0; ch < 3; ++ch)
                    e[ch] = static_cast<uint8_t>(naive::mix(128, kColour[2 - ch], s[ch]));
            });
        for (int y = 0; y < 3; ++y) ASSERT_EQ(0, std::memcmp(dst.at(0, y), want.at(0, y), 15));
    }
}

// Rectangles that are not a tip's square, or whose diameter has no tip, and levels from a
// damaged settings file: nothing is read outside the tables.
TEST_F(BrushKernels, BadRectanglesAndLevelsAreHarmless) {
    naive::Rng rng(44);
    Image src = naive::random_image(7, 7, 24, rng);
    Image dst = src;
    set_brush_image(7, 7, src.pixels.data(), dst.pixels.data(), nullptr);
    const DabRect bad[] = {{0, 0, 2, 2}, {0, 0, 200, 200}, {0, 0, 5, 3}, {3, 3, 0, 0}};
    for (const DabRect& r : bad) brush_tone(&r);
    EXPECT_EQ(dst.pixels, src.pixels);
    const DabRect r{1, 1, 6, 6};
    for (int level : {-100000, 100000}) {
        g_brush_state.level = level;
        g_brush_state.opacity = level;
        paint_dab(&r);
        brush_tone(&r);
        brush_saturation(&r);
        brush_sharpen(&r);
        brush_blur(&r);
    }
}

TEST_F(BrushKernels, StrengthZeroBrightenLeavesTheImage) {
    naive::Rng rng(45);
    Image src = naive::random_image(6, 6, 24, rng);
    Image dst = src;
    set_brush_image(6, 6, src.pixels.data(), dst.pixels.data(), nullptr);
    g_brush_state.level = 0;
    const DabRect r{0, 0, 6, 6};
    brush_tone(&r);
    EXPECT_EQ(dst.pixels, src.pixels);
}

}  // namespace

namespace {

// Nine different colours of one grey: the partial sort moves nothing, so the median is the
// fifth gathered pixel, the left neighbour in the row at the lower address.
TEST_F(BrushKernels, DenoiseTieTakesTheFifthGatheredPixel) {
    std::vector<std::array<uint8_t, 3>> colours;
    for (int g = 0; g < 256 && colours.size() < 9; g += 7) {
        for (int r = 0; r < 256 && colours.size() < 9; r += 5) {
            for (int b = 0; b < 256; ++b) {
                if (((30 * b) >> 8) + ((151 * g) >> 8) + ((77 * r) >> 8) == 60) {
                    colours.push_back(
                        {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r)});
                    break;
                }
            }
        }
    }
    ASSERT_EQ(colours.size(), 9u);
    Image src(3, 3, 24);
    for (int i = 0; i < 9; ++i) std::memcpy(src.at(i % 3, i / 3), colours[i].data(), 3);
    Image dst(3, 3, 24, 0);
    set_brush_image(3, 3, src.pixels.data(), dst.pixels.data(), nullptr);
    // A 5-wide tip centred on the middle pixel covers it fully.
    const DabRect r{-1, -1, 4, 4};
    brush_denoise(&r);
    EXPECT_EQ(0, std::memcmp(dst.at(1, 1), src.at(0, 0), 3));
}

}  // namespace
