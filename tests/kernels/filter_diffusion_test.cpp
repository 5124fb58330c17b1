#include <gtest/gtest.h>

#include <thread>

#include "kernels/filter_random.h"
#include "kernels/filters.h"
#include "tests/kernels/filter_expect.h"

namespace {

using naive::FilterCase;
using naive::Image;

TEST(FilterRandom, SequenceFromStateOne) {
    // Each thread starts at 1: the classic sequence of this generator.
    std::vector<int> draws;
    std::thread([&] {
        for (int i = 0; i < 6; ++i) draws.push_back(filter_random_draw());
    }).join();
    EXPECT_EQ(draws, (std::vector<int>{41, 18467, 6334, 26500, 19169, 15724}));
}

TEST(FilterRandom, SeedAndSkipAgreeWithSingleSteps) {
    std::thread([] {
        filter_random_seed(0xDEADBEEF);
        uint32_t state = 0xDEADBEEF;
        for (uint64_t n = 0; n < 300; ++n) {
            ASSERT_EQ(filter_random_skip(0xDEADBEEF, n), state) << n;
            state = state * 214013u + 2531011u;
        }
        EXPECT_EQ(filter_random_skip(0xDEADBEEF, 300), state);
        naive::Lcg lcg{12345};
        filter_random_seed(12345);
        for (int i = 0; i < 50; ++i) ASSERT_EQ(filter_random_draw(), lcg.draw());
        EXPECT_EQ(filter_random_state(), lcg.state);
    }).join();
}

TEST(Diffusion, MatchesTheReferenceAndContinuesTheSequence) {
    for (auto [density, range] :
         {std::pair<int, int>{204, 20}, {0, 5}, {255, 0}, {128, 1}, {255, 100}, {300, 40000}, {-3, -2}}) {
        const int dc = naive::clampi(density, 0, 255), rc = naive::clampi(range, 0, 32767);
        naive::FilterTables tables;
        for (const FilterCase& c : naive::filter_cases(81 + range)) {
            for (int threads : {1, 3}) {
                // Two previews in a row on a fresh thread: the second continues the sequence.
                std::thread([&] {
                    naive::Lcg lcg{1};
                    for (int preview = 0; preview < 2; ++preview) {
                        const Image expected = naive::diffusion(c.src, c.mask(), dc, rc, &lcg);
                        Image dst = naive::sentinel_like(c.src);
                        apply_diffusion(tables.bind(c.src, &dst, c.mask(), threads), density, range);
                        ASSERT_EQ(dst.pixels, expected.pixels)
                            << preview << " " << naive::describe(c, threads);
                        ASSERT_EQ(filter_random_state(), lcg.state);
                    }
                }).join();
            }
        }
    }
}

TEST(Diffusion, UnselectedPixelsDrawNothing) {
    naive::FilterTables tables;
    naive::Rng rng(4);
    const Image src = naive::random_image(5, 5, 24, rng);
    std::vector<uint8_t> mask(25, 255);
    mask[7] = 0;
    mask[19] = 100;
    std::thread([&] {
        Image dst = naive::sentinel_like(src);
        apply_diffusion(tables.bind(src, &dst, mask.data()), 200, 6);
        EXPECT_EQ(filter_random_state(), filter_random_skip(1, 4));
    }).join();
}

TEST(Painting, MatchesTheReference) {
    naive::FilterTables tables;
    naive::expect_filter_matches(
        91, [&](FilterWork* w, const FilterCase&) { painting_effect(w, tables.squares); },
        [&](const FilterCase& c) { return naive::painting(c.src, c.mask()); });
}

TEST(Painting, CornersKeepTheirColourAndFlatAreasStayFlat) {
    naive::FilterTables tables;
    naive::Rng rng(12);
    const Image src = naive::random_image(7, 6, 24, rng);
    Image dst = naive::sentinel_like(src);
    painting_effect(tables.bind(src, &dst, nullptr), tables.squares);
    for (auto [x, y] : {std::pair<int, int>{0, 0}, {6, 0}, {0, 5}, {6, 5}})
        for (int c = 0; c < 3; ++c) EXPECT_EQ(dst.at(x, y)[c], src.at(x, y)[c]);
    Image flat(7, 6, 24, 77);
    painting_effect(tables.bind(flat, &dst, nullptr), tables.squares);
    EXPECT_EQ(dst.pixels, naive::with_pixels_of(naive::sentinel_like(flat), flat).pixels);
}

TEST(PaintingStyle, ChainMatchesTheReferencePasses) {
    naive::FilterTables tables;
    for (const FilterCase& c : naive::filter_cases(93)) {
        const Image blurred = naive::with_pixels_of(c.src, naive::box_blur(c.src, c.mask(), 1, 255));
        const Image once = naive::with_pixels_of(c.src, naive::painting(blurred, c.mask()));
        const Image expected =
            naive::with_pixels_of(naive::sentinel_like(c.src), naive::painting(once, c.mask()));
        Image result = naive::sentinel_like(c.src), scratch = naive::sentinel_like(c.src);
        FilterWork* w = tables.bind(c.src, &result, c.mask(), 2);
        run_painting_style(w, c.src.pixels.data(), result.pixels.data(), scratch.pixels.data(),
                           tables.squares);
        ASSERT_EQ(result.pixels, expected.pixels) << naive::describe(c, 2);
    }
}

}  // namespace
