#include <gtest/gtest.h>

#include "kernels/filters.h"
#include "tests/kernels/filter_expect.h"

namespace {

using naive::FilterCase;
using naive::Image;

// A block buffer of exactly ceil(height / H) x width x 3 bytes between guard bytes.
struct Blocks {
    std::vector<uint8_t> bytes;
    size_t size;
    Blocks(int width, int height, int cell_height) {
        const int h = naive::clampi(cell_height, 2, 100);
        size = static_cast<size_t>((height + h - 1) / h) * width * 3;
        bytes.assign(size + 64, 0xCD);
    }
    uint8_t* data() { return bytes.data() + 32; }
    bool guards_intact() const {
        for (size_t i = 0; i < 32; ++i)
            if (bytes[i] != 0xCD || bytes[32 + size + i] != 0xCD) return false;
        return true;
    }
};

TEST(Mosaic, MatchesTheReferenceForEveryCellShape) {
    const int shapes[][2] = {{2, 2}, {3, 2}, {2, 5}, {4, 4}, {5, 3}, {10, 10}, {11, 19}, {1, 1}, {150, 2}};
    int seed = 71;
    for (const auto& cell : shapes)
        for (bool shift : {false, true})
            for (bool tile : {false, true}) {
                const int cw = naive::clampi(cell[0], 2, 100), ch = naive::clampi(cell[1], 2, 100);
                naive::expect_filter_matches(
                    ++seed,
                    [&](FilterWork* w, const FilterCase& c) {
                        Blocks blocks(c.width, c.height, cell[1]);
                        apply_mosaic(w, blocks.data(), cell[0], cell[1], shift, tile);
                        ASSERT_TRUE(blocks.guards_intact()) << naive::describe(c, w->threads);
                    },
                    [&](const FilterCase& c) { return naive::mosaic(c.src, c.mask(), cw, ch, shift, tile); });
            }
}

// The cell a pixel of row y lies in, by comparing colours of a picture whose columns differ.
TEST(Mosaic, ShiftedRowOfWidthEightHasThreeCells) {
    naive::FilterTables tables;
    // 8 x 8 with cells 4 x 4: cell row 0 (top, memory rows 4..7) unshifted, cell row 1 shifted.
    Image src(8, 8, 24, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) std::fill(src.at(x, y), src.at(x, y) + 3, static_cast<uint8_t>(16 * x));
    Image dst = naive::sentinel_like(src);
    Blocks blocks(8, 8, 4);
    apply_mosaic(tables.bind(src, &dst, nullptr), blocks.data(), 4, 4, true, false);
    const int top[8] = {24, 24, 24, 24, 88, 88, 88, 88};      // means of 0,16,32,48 and 64..112
    const int shifted[8] = {8, 8, 56, 56, 56, 56, 104, 104};  // cells 0-1, 2-5, 6-7
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(dst.at(x, 7)[0], top[x]) << x;
        EXPECT_EQ(dst.at(x, 0)[0], shifted[x]) << x;
    }
}

TEST(Mosaic, BottomCellRowMayBeShorter) {
    naive::FilterTables tables;
    // Height 25, H = 10: the top two cell rows have 10 rows, the bottom one 5 (memory rows 0..4).
    Image src(4, 25, 24, 0);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 4; ++x) std::fill(src.at(x, y), src.at(x, y) + 3, static_cast<uint8_t>(y * 10));
    Image dst = naive::sentinel_like(src);
    Blocks blocks(4, 25, 10);
    apply_mosaic(tables.bind(src, &dst, nullptr), blocks.data(), 10, 10, true, false);
    EXPECT_EQ(dst.at(0, 0)[0], 20);    // rows 0..4: 0..40, mean 20
    EXPECT_EQ(dst.at(0, 5)[0], 95);    // rows 5..14
    EXPECT_EQ(dst.at(0, 24)[0], 195);  // rows 15..24
    EXPECT_TRUE(blocks.guards_intact());
}

TEST(Mosaic, TileBandsLightenTopLeftAndDarkenBottomRight) {
    naive::FilterTables tables;
    Image src(10, 10, 24, 100);
    Image dst = naive::sentinel_like(src);
    Blocks blocks(10, 10, 10);
    apply_mosaic(tables.bind(src, &dst, nullptr), blocks.data(), 10, 10, false, true);
    // Memory row 9 is the top row of the picture.
    EXPECT_EQ(dst.at(4, 9)[0], 120);  // top row
    EXPECT_EQ(dst.at(0, 4)[0], 120);  // left column
    EXPECT_EQ(dst.at(4, 0)[0], 80);   // bottom row
    EXPECT_EQ(dst.at(9, 4)[0], 80);   // right column
    EXPECT_EQ(dst.at(9, 9)[0], 80);   // top-right corner
    EXPECT_EQ(dst.at(0, 0)[0], 80);   // bottom-left corner
    EXPECT_EQ(dst.at(0, 9)[0], 120);  // top-left corner
    EXPECT_EQ(dst.at(4, 4)[0], 100);
    // 2 x 2 cells have no bands.
    Blocks small_cells(10, 10, 2);
    apply_mosaic(tables.bind(src, &dst, nullptr), small_cells.data(), 2, 2, false, true);
    EXPECT_EQ(dst.at(0, 0)[0], 100);
}

TEST(Mosaic, OnePixelWideImageStaysInsideTheBlockBuffer) {
    naive::FilterTables tables;
    naive::Rng rng(9);
    for (int height : {1, 2, 3, 7, 40}) {
        const Image src = naive::random_image(1, height, 24, rng);
        Image dst = naive::sentinel_like(src);
        Blocks blocks(1, height, 2);
        apply_mosaic(tables.bind(src, &dst, nullptr), blocks.data(), 2, 2, true, true);
        EXPECT_TRUE(blocks.guards_intact()) << height;
        EXPECT_EQ(dst.pixels, naive::mosaic(src, nullptr, 2, 2, true, true).pixels) << height;
    }
}

}  // namespace
