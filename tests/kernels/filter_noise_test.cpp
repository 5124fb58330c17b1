#include <gtest/gtest.h>

#include "kernels/filters.h"
#include "tests/kernels/filter_expect.h"

namespace {

using naive::FilterCase;
using naive::Image;

TEST(RemoveNoise, MatchesTheReferenceAtEveryStrength) {
    for (int strength : {0, 100, 200, 240, 255, 400, -1}) {
        naive::expect_filter_matches(
            51 + strength, [&](FilterWork* w, const FilterCase&) { filter_remove_noise(w, strength); },
            [&](const FilterCase& c) {
                return naive::remove_noise(c.src, c.mask(), naive::clampi(strength, 0, 255));
            });
    }
}

void paint(Image* img, int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    img->at(x, y)[0] = b;
    img->at(x, y)[1] = g;
    img->at(x, y)[2] = r;
}

TEST(RemoveNoise, SingleWhitePixelBecomesBlack) {
    naive::FilterTables tables;
    Image src(5, 5, 24, 0);
    paint(&src, 2, 2, 255, 255, 255);
    Image dst = naive::sentinel_like(src);
    filter_remove_noise(tables.bind(src, &dst, nullptr), 255);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(dst.at(x, y)[0], 0) << x << "," << y;
    filter_remove_noise(tables.bind(src, &dst, nullptr), 0);
    EXPECT_EQ(dst.at(2, 2)[1], 255);
}

TEST(RemoveNoise, EqualGreysGoToTheEarlierCandidate) {
    naive::FilterTables tables;
    // Corner (0, 0) of a 3 x 3: candidates are itself, its right neighbour, the one above
    // (the row after in memory) and the diagonal. Grey 72 in two colours and white: after one
    // exchange the earlier of the two grey-72 colours in candidate order is taken.
    Image src(3, 3, 24, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) paint(&src, x, y, 255, 255, 255);
    paint(&src, 0, 0, 0, 0, 0);      // the pixel: grey 0, stands out from white
    paint(&src, 1, 0, 10, 90, 60);   // right: grey 72
    paint(&src, 0, 1, 60, 50, 120);  // row after: grey 72
    Image dst = naive::sentinel_like(src);
    filter_remove_noise(tables.bind(src, &dst, nullptr), 255);
    EXPECT_EQ(dst.at(0, 0)[1], 90);
    EXPECT_EQ(dst.pixels, naive::remove_noise(src, nullptr, 255).pixels);
}

TEST(RemoveNoise, RowBeforeIsTheLowerRowInMemory) {
    naive::FilterTables tables;
    // The white middle pixel of a 3 x 3 whose lower memory row holds one grey-72 colour and
    // whose upper row another. Candidates run: the pixel's row, the row before (lower in
    // memory), the row after. The exchanges move the three of the row before to the front and
    // one of the row after behind them, so the median comes from the row after; with the rows
    // the other way round it would come from the lower row.
    Image src(3, 3, 24, 0);
    const uint8_t grey72a[3] = {10, 90, 60}, grey72b[3] = {60, 50, 120};
    for (int x = 0; x < 3; ++x) {
        paint(&src, x, 0, grey72a[0], grey72a[1], grey72a[2]);
        paint(&src, x, 2, grey72b[0], grey72b[1], grey72b[2]);
        paint(&src, x, 1, 255, 255, 255);
    }
    Image dst = naive::sentinel_like(src);
    filter_remove_noise(tables.bind(src, &dst, nullptr), 255);
    EXPECT_EQ(dst.pixels, naive::remove_noise(src, nullptr, 255).pixels);
    EXPECT_EQ(dst.at(1, 1)[1], 50);
}

}  // namespace
