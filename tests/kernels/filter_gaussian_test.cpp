#include <gtest/gtest.h>

#include "kernels/filters.h"
#include "tests/kernels/filter_expect.h"

namespace {

using naive::FilterCase;
using naive::Image;

TEST(GaussianWeights, MatchTheWorkedExamples) {
    struct Case {
        int radius, shift;
        std::vector<int> weights;  // w[0..r]
    };
    const Case cases[] = {
        {0, 8, {256}},
        {1, 9, {295, 109}},
        {2, 10, {411, 250, 56}},
        {3, 10, {265, 217, 119, 44}},
    };
    for (const Case& c : cases) {
        int32_t w[2 * kGaussMaxRadius + 1] = {};
        EXPECT_EQ(build_gauss_weights(c.radius, w + kGaussMaxRadius), c.shift) << c.radius;
        for (int i = 0; i <= c.radius; ++i) {
            EXPECT_EQ(w[kGaussMaxRadius + i], c.weights[i]) << c.radius << " " << i;
            EXPECT_EQ(w[kGaussMaxRadius - i], c.weights[i]) << c.radius << " " << -i;
        }
    }
}

TEST(GaussianWeights, EveryRadiusMatchesTheFormulaAndKeepsWhiteInRange) {
    for (int r = 0; r <= kGaussMaxRadius; ++r) {
        int32_t w[2 * kGaussMaxRadius + 1] = {};
        const int s = build_gauss_weights(r, w + kGaussMaxRadius);
        std::vector<int> expected;
        ASSERT_EQ(s, naive::gauss_weights(r, &expected)) << r;
        int64_t total = 0;
        for (int i = -r; i <= r; ++i) {
            ASSERT_EQ(w[kGaussMaxRadius + i], expected[std::abs(i)]) << r << " " << i;
            total += w[kGaussMaxRadius + i];
        }
        // The interior stores its shifted sums unclamped: white must not wrap past 255.
        EXPECT_LE((255 * total) >> s, 255) << r;
    }
}

TEST(GaussianBlur, MatchesTheReferenceForEveryRadius) {
    // Radii beyond the image are reduced to fit; beyond 50 they are taken as 50.
    for (int radius : {0, 1, 2, 3, 4, 6, 20, 50, 80, -2}) {
        const int r = naive::clampi(radius, 0, 50);
        naive::FilterTables tables;
        for (const FilterCase& c : naive::filter_cases(41 + radius)) {
            Image expected_mid;
            const Image expected = naive::gaussian(c.src, c.mask(), r, &expected_mid);
            for (int threads : {1, 3}) {
                Image dst = naive::sentinel_like(c.src);
                Image mid = naive::sentinel_like(c.src);
                blur_gaussian(tables.bind(c.src, &dst, c.mask(), threads), mid.pixels.data(), radius);
                ASSERT_EQ(mid.pixels, expected_mid.pixels) << radius << " " << naive::describe(c, threads);
                ASSERT_EQ(dst.pixels, expected.pixels) << radius << " " << naive::describe(c, threads);
            }
        }
    }
}

TEST(GaussianBlur, LargerImagesMatchTheReference) {
    naive::FilterTables tables;
    naive::Rng rng(3);
    const Image src = naive::random_image(47, 45, 24, rng);
    const auto mask = naive::random_mask(47, 45, rng);
    for (int radius : {5, 20, 22, 23}) {
        Image expected_mid;
        const Image expected = naive::gaussian(src, mask.data(), radius, &expected_mid);
        Image dst = naive::sentinel_like(src), mid = naive::sentinel_like(src);
        blur_gaussian(tables.bind(src, &dst, mask.data(), 4), mid.pixels.data(), radius);
        ASSERT_EQ(dst.pixels, expected.pixels) << radius;
    }
}

TEST(GaussianBlur, FlatWhiteLosesALevelPerInteriorPassAtRadiusTwo) {
    naive::FilterTables tables;
    Image src(9, 9, 24, 255);
    Image dst = naive::sentinel_like(src), mid = naive::sentinel_like(src);
    FilterWork* w = tables.bind(src, &dst, nullptr);
    for (int radius : {1, 3}) {
        blur_gaussian(w, mid.pixels.data(), radius);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) ASSERT_EQ(dst.at(x, y)[0], 255) << radius;
    }
    blur_gaussian(w, mid.pixels.data(), 2);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool col_inner = x >= 2 && x <= 6, row_inner = y >= 2 && y <= 6;
            const int expected = col_inner && row_inner ? 253 : (col_inner || row_inner ? 254 : 255);
            ASSERT_EQ(dst.at(x, y)[2], expected) << x << "," << y;
        }
    // The weights of the call stay in the record.
    EXPECT_EQ(w->gauss_weights[kGaussMaxRadius], 411);
    EXPECT_EQ(w->gauss_weights[kGaussMaxRadius - 2], 56);
}

TEST(GaussianBlur, RadiusZeroAndFullyUnselectedCopyTheSource) {
    naive::FilterTables tables;
    naive::Rng rng(8);
    const Image src = naive::random_image(7, 5, 24, rng);
    const std::vector<uint8_t> outside(35, 255);
    Image dst = naive::sentinel_like(src), mid = naive::sentinel_like(src);
    blur_gaussian(tables.bind(src, &dst, nullptr), mid.pixels.data(), 0);
    EXPECT_EQ(dst.pixels, naive::with_pixels_of(naive::sentinel_like(src), src).pixels);
    dst = naive::sentinel_like(src);
    mid = naive::sentinel_like(src);
    blur_gaussian(tables.bind(src, &dst, outside.data()), mid.pixels.data(), 3);
    EXPECT_EQ(dst.pixels, naive::with_pixels_of(naive::sentinel_like(src), src).pixels);
    EXPECT_EQ(mid.pixels, dst.pixels);
}

}  // namespace
