#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/codecs/png_fixtures.h"

namespace {

TEST(PngRows, PaethPredictorPicksNearestWithTiesInOrderABC) {
    struct Case {
        uint8_t a, b, c, want;
    } cases[] = {
        {0, 0, 0, 0},     {10, 20, 10, 20}, {20, 10, 10, 20},     {10, 10, 20, 10},
        {5, 9, 7, 7},  // p = 7: c is exact
        {255, 0, 0, 255}, {0, 255, 255, 0}, {100, 100, 100, 100}, {3, 5, 4, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(paeth_predictor(c.a, c.b, c.c), c.want) << int(c.a) << " " << int(c.b) << " " << int(c.c);
}

TEST(PngRows, RowBytesByDepth) {
    struct Case {
        int depth, colour_type;
        int64_t pixels, want;
    } cases[] = {{1, 0, 9, 3},  {1, 0, 8, 2}, {2, 0, 5, 3},  {4, 3, 3, 3},  {8, 0, 7, 8},
                 {8, 2, 3, 10}, {8, 6, 2, 9}, {16, 0, 3, 7}, {16, 6, 1, 9}, {8, 4, 5, 11}};
    for (const Case& c : cases) {
        PngContext ctx;
        ctx.state.bit_depth = c.depth;
        ctx.state.colour_type = c.colour_type;
        ctx.conversion.width = 1;
        ASSERT_TRUE(png_choose_converters(&ctx));
        EXPECT_EQ(png_row_bytes(&ctx, c.pixels), c.want) << c.depth << "/" << c.colour_type;
    }
}

TEST(PngRows, Adam7PassSizes) {
    PngContext ctx;
    ctx.state.bit_depth = 8;
    ctx.state.colour_type = 0;
    ctx.conversion.width = 3;
    ASSERT_TRUE(png_choose_converters(&ctx));
    const PngPassSizes one = png_adam7_pass_sizes(&ctx, 1, 1);
    EXPECT_EQ(one.row_bytes[0], 2);
    for (int p = 1; p < 7; ++p) EXPECT_EQ(one.row_bytes[p], 0) << p;
    const PngPassSizes three = png_adam7_pass_sizes(&ctx, 3, 8);
    const int32_t columns[7] = {1, 0, 1, 1, 2, 1, 3};
    const int32_t rows[7] = {1, 1, 1, 2, 2, 4, 4};
    for (int p = 0; p < 7; ++p) {
        EXPECT_EQ(three.columns[p], columns[p]) << p;
        EXPECT_EQ(three.rows[p], rows[p]) << p;
        EXPECT_EQ(three.row_bytes[p], columns[p] ? columns[p] + 1 : 0) << p;
    }
}

TEST(PngRows, FilterTypeAboveFourIsNone) {
    Decoded d;
    decode_bytes(&d, PngFile().ihdr(3, 2, 8, 0).idat({7, 5, 6, 7, 9, 1, 1, 1}).end().bytes);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.index(0, 0), 5);
    EXPECT_EQ(d.index(2, 0), 7);
    EXPECT_EQ(d.index(0, 1), 1);
}

TEST(PngRows, EachFilterTypeUndone) {
    // Two rows of 8-bit RGB, width 2; the second row filtered with each type by hand against
    // the first row (10,20,30, 40,50,60).
    const Bytes first{0, 10, 20, 30, 40, 50, 60};
    const uint8_t want[6] = {15, 25, 35, 45, 55, 65};
    struct Case {
        uint8_t type;
        Bytes data;
    } cases[] = {
        {0, {15, 25, 35, 45, 55, 65}},
        {1, {15, 25, 35, 30, 30, 30}},
        {2, {5, 5, 5, 5, 5, 5}},
        // Average: first pixel (0 + b) / 2, second (a + b) / 2.
        {3, {10, 15, 20, 45 - 27, 55 - 37, 65 - 47}},
        // Paeth: first pixel predicts b; second pixel: a=15,b=40,c=10 -> p=45, b nearest.
        {4, {5, 5, 5, 5, 5, 5}},
    };
    for (const Case& c : cases) {
        Bytes rows = first;
        rows.push_back(c.type);
        rows.insert(rows.end(), c.data.begin(), c.data.end());
        Decoded d;
        decode_bytes(&d, PngFile().ihdr(2, 2, 8, 2).idat(rows).end().bytes);
        ASSERT_TRUE(d.ok);
        for (int x = 0; x < 2; ++x) {
            const RgbQuad p = d.at(x, 1);
            EXPECT_EQ(p.red, want[3 * x]) << int(c.type);
            EXPECT_EQ(p.green, want[3 * x + 1]) << int(c.type);
            EXPECT_EQ(p.blue, want[3 * x + 2]) << int(c.type);
        }
    }
}

TEST(PngRows, OneBitWidthNineUsesOnePixelOfTheLastByte) {
    Decoded d;
    decode_bytes(&d, PngFile().ihdr(9, 1, 1, 0).idat({0, 0xA5, 0xFF}).end().bytes);
    ASSERT_TRUE(d.ok);
    const uint8_t want[9] = {1, 0, 1, 0, 0, 1, 0, 1, 1};
    for (int x = 0; x < 9; ++x) EXPECT_EQ(d.index(x, 0), want[x]) << x;
    EXPECT_EQ(d.pixels[9], 0);  // row padding untouched
    EXPECT_EQ(d.palette[1].red, 255);
}

TEST(PngRows, PackedDepthsUnpackFromTheHighBits) {
    struct Case {
        uint8_t depth, colour_type;
        int32_t width;
        Bytes data;
        std::vector<uint8_t> want;
    } cases[] = {
        {2, 0, 5, {0x1B, 0xC0}, {0, 1, 2, 3, 3}},
        {4, 3, 3, {0x12, 0xF0}, {1, 2, 15}},
        {2, 3, 3, {0xE4}, {3, 2, 1}},
    };
    for (const Case& c : cases) {
        PngFile f;
        f.ihdr(static_cast<uint32_t>(c.width), 1, c.depth, c.colour_type);
        if (c.colour_type == 3) f.chunk("PLTE", Bytes(48, 7));
        Bytes rows{1};  // Sub: distance one byte
        uint8_t prev = 0;
        for (uint8_t b : c.data) {
            rows.push_back(static_cast<uint8_t>(b - prev));
            prev = b;
        }
        Decoded d;
        decode_bytes(&d, f.idat(rows).end().bytes);
        ASSERT_TRUE(d.ok) << int(c.depth);
        for (int x = 0; x < c.width; ++x) EXPECT_EQ(d.index(x, 0), c.want[x]) << int(c.depth) << " " << x;
    }
    Decoded grey4;
    decode_bytes(&grey4, PngFile().ihdr(2, 1, 4, 0).idat({0, 0x5F}).end().bytes);
    ASSERT_TRUE(grey4.ok);
    EXPECT_EQ(grey4.at(0, 0).red, 85);
    EXPECT_EQ(grey4.at(1, 0).red, 255);
}

// Paeth-filters rows of `bpp`-byte pixels (test-side encoder).
Bytes paeth_rows(const std::vector<Bytes>& raw, int bpp) {
    Bytes out;
    Bytes prev(raw[0].size(), 0);
    for (const Bytes& r : raw) {
        out.push_back(4);
        for (size_t i = 0; i < r.size(); ++i) {
            const int a = i >= static_cast<size_t>(bpp) ? r[i - bpp] : 0;
            const int b = prev[i];
            const int c = i >= static_cast<size_t>(bpp) ? prev[i - bpp] : 0;
            const int p = a + b - c;
            const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            out.push_back(static_cast<uint8_t>(r[i] - pred));
        }
        prev = r;
    }
    return out;
}

TEST(PngRows, SixteenBitPaethMatchesEightBitHighBytes) {
    for (int colour_type : {0, 2, 4, 6}) {
        const int channels = colour_type == 0 ? 1 : colour_type == 2 ? 3 : colour_type == 4 ? 2 : 4;
        const int width = 5, height = 4;
        std::vector<Bytes> wide, narrow;
        uint32_t seed = 12345;
        for (int y = 0; y < height; ++y) {
            Bytes w16, w8;
            for (int i = 0; i < width * channels; ++i) {
                seed = seed * 1103515245u + 12345u;
                const uint8_t hi = static_cast<uint8_t>(seed >> 16), lo = static_cast<uint8_t>(seed >> 24);
                w16.push_back(hi);
                w16.push_back(lo);
                w8.push_back(hi);
            }
            wide.push_back(w16);
            narrow.push_back(w8);
        }
        Decoded d16, d8;
        DecodeOptions o;
        o.transparency = 0;
        decode_bytes(&d16,
                     PngFile()
                         .ihdr(width, height, 16, static_cast<uint8_t>(colour_type))
                         .idat(paeth_rows(wide, 2 * channels))
                         .end()
                         .bytes,
                     o);
        decode_bytes(&d8,
                     PngFile()
                         .ihdr(width, height, 8, static_cast<uint8_t>(colour_type))
                         .idat(paeth_rows(narrow, channels))
                         .end()
                         .bytes,
                     o);
        ASSERT_TRUE(d16.ok && d8.ok) << colour_type;
        EXPECT_EQ(d16.pixels, d8.pixels) << colour_type;
        EXPECT_EQ(d16.context.loaded.source_bits, colour_type == 2 || colour_type == 6 ? 48 : 16);
    }
}

TEST(PngRows, InterlacedOneByOneAndOddSizesMatchProgressive) {
    // Adam7 layout written by hand for a 3 x 3 grey image whose pixel is 10 * y + x.
    auto value = [](int x, int y) { return static_cast<uint8_t>(10 * y + x); };
    Bytes rows;
    const PngContext* none = nullptr;
    (void)none;
    for (int p = 0; p < 7; ++p) {
        for (int y = kAdam7RowStart[p]; y < 3; y += kAdam7RowStep[p]) {
            Bytes row;
            for (int x = kAdam7ColumnStart[p]; x < 3; x += kAdam7ColumnStep[p]) row.push_back(value(x, y));
            if (row.empty()) continue;
            rows.push_back(0);
            rows.insert(rows.end(), row.begin(), row.end());
        }
    }
    Decoded d;
    decode_bytes(&d, PngFile().ihdr(3, 3, 8, 0, 1).idat(rows).end().bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.error, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(d.index(x, y), value(x, y)) << x << "," << y;

    Decoded single;
    decode_bytes(&single, PngFile().ihdr(1, 1, 8, 2, 1).idat({0, 1, 2, 3}).end().bytes);
    ASSERT_TRUE(single.ok);
    EXPECT_EQ(single.error, 0);
    EXPECT_EQ(single.at(0, 0).red, 1);
    EXPECT_EQ(single.at(0, 0).blue, 3);
}

TEST(PngRows, StreamEndingHalfwayKeepsTheUpperRows) {
    Bytes rows;
    for (int y = 0; y < 4; ++y) {
        rows.push_back(0);
        for (int x = 0; x < 4; ++x) rows.push_back(200);
    }
    Bytes z = zlib_bytes(rows);
    // A stream cut in its middle: inflate runs dry after some rows.
    Bytes half = zlib_bytes(Bytes(rows.begin(), rows.begin() + 10));
    half.resize(half.size() - 4);  // drop the checksum so the stream never ends
    Decoded d;
    decode_bytes(&d, PngFile().ihdr(4, 4, 8, 0).chunk("IDAT", half).end().bytes);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.error, kCodecInflateFailed);
    EXPECT_EQ(d.index(0, 0), 200);
    EXPECT_EQ(d.index(3, 0), 200);
    EXPECT_EQ(d.index(0, 2), 0);
    EXPECT_EQ(d.index(3, 3), 0);

    Decoded garbage;
    decode_bytes(&garbage, PngFile().ihdr(4, 4, 8, 0).chunk("IDAT", {1, 2, 3, 4}).end().bytes);
    ASSERT_TRUE(garbage.ok);
    EXPECT_EQ(garbage.error, kCodecInflateFailed);
}

}  // namespace

namespace {

TEST(PngCrc, ChunkCrcEqualsZlibForEveryTailLength) {
    PngContext c;
    png_build_crc_table(&c);
    Bytes data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + 7);
    const uint8_t type[4] = {'I', 'D', 'A', 'T'};
    for (uint32_t n : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 1000u}) {
        Bytes whole(type, type + 4);
        whole.insert(whole.end(), data.begin(), data.begin() + n);
        const uint32_t want = static_cast<uint32_t>(crc32(0, whole.data(), static_cast<uInt>(whole.size())));
        EXPECT_EQ(png_chunk_crc(&c, type, n, data.data()), want) << n;
    }
}

}  // namespace
