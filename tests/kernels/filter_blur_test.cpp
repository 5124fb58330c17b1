#include <gtest/gtest.h>

#include "kernels/filters.h"
#include "tests/kernels/filter_expect.h"

namespace {

using naive::FilterCase;
using naive::Image;

TEST(FilterWork, StrideIsComputedFromTheWidth) {
    FilterWork w;
    uint8_t px[4] = {};
    for (auto [width, stride] : {std::pair<int, int>{5, 16}, {4, 12}, {1, 4}, {2, 8}, {3, 12}, {7, 24}}) {
        w.stride = -1;
        set_filter_image(&w, width, 3, px, px + 1, px + 2);
        EXPECT_EQ(w.stride, stride) << width;
        EXPECT_EQ(w.width, width);
        EXPECT_EQ(w.height, 3);
        EXPECT_EQ(w.source, px);
        EXPECT_EQ(w.destination, px + 1);
        EXPECT_EQ(w.mask, px + 2);
    }
}

TEST(FilterWork, DivideTablesAreStoredInTheRecord) {
    FilterWork w;
    std::vector<uint8_t> d9(kDiv9TableSize), d25(kDiv25TableSize);
    EXPECT_EQ(filter_build_div9_table(d9.data(), &w), d9.data());
    EXPECT_EQ(filter_build_div25_table(d25.data(), &w), d25.data());
    EXPECT_EQ(w.div9, d9.data());
    EXPECT_EQ(w.div25, d25.data());
    for (int i = 0; i < kDiv9TableSize; ++i) ASSERT_EQ(d9[i], naive::div9(i)) << i;
    for (int i = 0; i < kDiv25TableSize; ++i) ASSERT_EQ(d25[i], naive::div25(i)) << i;
    // The means of nine and 25 white values, and of one white value among black ones.
    EXPECT_EQ(d9[9 * 255], 255);
    EXPECT_EQ(d25[25 * 255], 255);
    EXPECT_EQ(d9[255], 28);
}

TEST(BoxBlur, MatchesTheReferenceAtEveryStrength) {
    // Strengths beyond 0..255 are taken as the nearest end.
    for (int strength : {0, 26, 128, 255, 300, -4}) {
        const int a = naive::clampi(strength, 0, 255);
        naive::expect_filter_matches(
            11 + strength, [&](FilterWork* w, const FilterCase&) { blur_box3(w, strength); },
            [&](const FilterCase& c) { return naive::box_blur(c.src, c.mask(), 1, a); });
        naive::expect_filter_matches(
            12 + strength, [&](FilterWork* w, const FilterCase&) { blur_box5(w, strength); },
            [&](const FilterCase& c) { return naive::box_blur(c.src, c.mask(), 2, a); });
    }
}

TEST(BoxBlur, SingleWhitePixelSpreadsToItsNeighbours) {
    naive::FilterTables tables;
    Image src(7, 7, 24, 0);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) std::fill(src.at(x, y), src.at(x, y) + 3, 0);
    std::fill(src.at(3, 3), src.at(3, 3) + 3, 255);
    Image dst = naive::sentinel_like(src);
    blur_box3(tables.bind(src, &dst, nullptr), 255);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) {
            const int expected = std::abs(x - 3) <= 1 && std::abs(y - 3) <= 1 ? 28 : 0;
            for (int c = 0; c < 3; ++c) ASSERT_EQ(dst.at(x, y)[c], expected) << x << "," << y;
        }
}

TEST(BoxBlur, FlatAreaLosesOneLevelOnlyThroughThePartialMix) {
    naive::FilterTables tables;
    Image src(6, 5, 24, 152);
    for (auto kernel : {blur_box3, blur_box5}) {
        Image dst = naive::sentinel_like(src);
        kernel(tables.bind(src, &dst, nullptr), 255);
        EXPECT_EQ(dst.at(2, 2)[0], 152);
        kernel(tables.bind(src, &dst, nullptr), 26);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) ASSERT_EQ(dst.at(x, y)[1], 151);
    }
}

// The blurred copy stands in as the inverted source: it differs from the source everywhere.
Image inverted(const Image& src) {
    Image out = src;
    for (auto& b : out.pixels) b = static_cast<uint8_t>(255 - b);
    return out;
}

TEST(SoftFocus, MatchesTheReference) {
    for (int strength : {0, 100, 200, 255, 999}) {
        naive::expect_filter_matches(
            21 + strength,
            [&](FilterWork* w, const FilterCase& c) {
                soft_focus_blend(w, strength, inverted(c.src).pixels.data());
            },
            [&](const FilterCase& c) {
                return naive::soft_focus(c.src, inverted(c.src), c.mask(), naive::clampi(strength, 0, 255));
            });
    }
}

TEST(Unsharp, DifferenceAndApplyMatchTheReference) {
    for (auto [amount, threshold] :
         {std::pair<int, int>{3, 20}, {0, 0}, {8, 0}, {100, 5}, {250, -3}, {50, 1000}}) {
        naive::FilterTables tables;
        for (const FilterCase& c : naive::filter_cases(31 + amount)) {
            Image blurred;
            const std::vector<int8_t> diff = naive::unsharp_difference(c.src, c.mask(), &blurred);
            const Image expected = naive::unsharp_apply(c.src, diff, c.mask(), naive::clampi(amount, 0, 100),
                                                        std::max(threshold, 0));
            for (int threads : {1, 3}) {
                Image dst = naive::sentinel_like(c.src);
                std::vector<int8_t> got(c.src.pixels.size(), 0);
                FilterWork* w = tables.bind(c.src, &dst, c.mask(), threads);
                w->difference = got.data();
                unsharp_difference(w);
                ASSERT_EQ(got, diff) << naive::describe(c, threads);
                ASSERT_EQ(dst.pixels, blurred.pixels) << naive::describe(c, threads);
                unsharp_apply(w, amount, threshold);
                ASSERT_EQ(dst.pixels, expected.pixels) << naive::describe(c, threads);
            }
        }
    }
}

TEST(Unsharp, ExtremeDifferencesAreLimitedAndClamped) {
    naive::FilterTables tables;
    // A bright dot on black gives the dot a large positive difference and its ring negative
    // ones; a difference below -128 is stored as -128.
    Image src(9, 9, 24, 0);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) std::fill(src.at(x, y), src.at(x, y) + 3, 230);
    std::fill(src.at(4, 4), src.at(4, 4) + 3, 0);
    Image dst = naive::sentinel_like(src);
    std::vector<int8_t> diff(src.pixels.size(), 0);
    FilterWork* w = tables.bind(src, &dst, nullptr);
    w->difference = diff.data();
    unsharp_difference(w);
    // 0 against a mean of 221: -221, stored as -128; the ring at 230 against 221: +9.
    EXPECT_EQ(diff[4 * src.stride + 12], -128);
    EXPECT_EQ(diff[4 * src.stride + 15], 230 - naive::div25(24 * 230));
    unsharp_apply(w, 100, 0);
    EXPECT_EQ(dst.at(4, 4)[0], 0);
    EXPECT_EQ(dst.at(5, 4)[0], 255);
    EXPECT_EQ(dst.at(0, 0)[0], 230);
}

}  // namespace
