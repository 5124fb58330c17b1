#include "codecs/palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>
#include <vector>

#include "codecs/conversion.h"

namespace {

using Colour = std::tuple<int, int, int>;  // blue, green, red

// A 24-bit bottom-up image with rows padded to 4 bytes.
struct Image24 {
    int32_t width, height;
    int64_t stride;
    std::vector<uint8_t> bytes;

    Image24(int32_t w, int32_t h) : width(w), height(h), stride(stride_for_depth(w, 24)), bytes(stride * h) {}
    void set(int32_t x, int32_t y, Colour c) {
        uint8_t* p = &bytes[y * stride + 3 * x];
        p[0] = static_cast<uint8_t>(std::get<0>(c));
        p[1] = static_cast<uint8_t>(std::get<1>(c));
        p[2] = static_cast<uint8_t>(std::get<2>(c));
    }
    Colour at(int32_t x, int32_t y) const {
        const uint8_t* p = &bytes[y * stride + 3 * x];
        return {p[0], p[1], p[2]};
    }
};

int sum(const RgbQuad& e) {
    return e.blue + e.green + e.red;
}
Colour colour(const RgbQuad& e) {
    return {e.blue, e.green, e.red};
}

ConversionContext make_context(int32_t w, int32_t h, int source_bits, int target_bits, int dither) {
    ConversionContext c;
    init_conversion_context(&c);
    c.width = w;
    c.height = h;
    c.source_bits = source_bits;
    c.target_bits = target_bits;
    c.dither_mode = dither;
    compute_row_sizes(&c);
    return c;
}

// Distinct colours spread over the cube, none black; `n` of them.
std::vector<Colour> spread_colours(int n) {
    std::vector<Colour> out;
    for (int i = 0; static_cast<int>(out.size()) < n; ++i)
        out.push_back({40 + (i * 37) % 200, 30 + (i * 71) % 220, 20 + (i * 113) % 230});
    return out;
}

TEST(PaletteCount, CountsDistinctColours) {
    Image24 img(3, 3);
    const std::vector<Colour> colours = {{1, 2, 3}, {3, 2, 1}, {1, 2, 3}, {0, 0, 0}, {255, 255, 255},
                                         {0, 0, 0}, {1, 2, 4}, {1, 2, 4}, {1, 2, 4}};
    for (int i = 0; i < 9; ++i) img.set(i % 3, i / 3, colours[i]);
    ConversionContext c = make_context(3, 3, 24, 24, 0);
    c.source_pixels = img.bytes.data();
    EXPECT_EQ(count_colours_24bit(&c), 5u);
}

TEST(PaletteCount, EightBitStopsAt256) {
    struct Case {
        int32_t width;
        int distinct;
        uint32_t expected;
    };
    for (const Case& k : {Case{3, 3, 3u}, Case{300, 256, 256u}, Case{5, 1, 1u}}) {
        const int64_t stride = stride_for_depth(k.width, 8);
        std::vector<uint8_t> px(stride * 2, 0xEE);  // padding bytes must not count
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < k.width; ++x)
                px[y * stride + x] = static_cast<uint8_t>((x + y) % k.distinct);
        ConversionContext c = make_context(k.width, 2, 8, 8, 0);
        c.source_pixels = px.data();
        EXPECT_EQ(count_colours_8bit(&c), k.expected) << k.width;
    }
}

// Reduction of images that fit the target: exact colours, sorted by blue + green + red, every
// pixel mapped to its own colour, at widths that are not a multiple of the pixels per byte.
TEST(PaletteReduce, ExactWhenColoursFit) {
    struct Case {
        int bits;
        int colours;
        int32_t width, height;
    };
    for (const Case& k : {Case{2, 4, 3, 2}, Case{2, 3, 5, 1}, Case{4, 16, 5, 4}, Case{4, 7, 1, 7},
                          Case{8, 256, 17, 16}, Case{8, 200, 33, 7}}) {
        SCOPED_TRACE(testing::Message()
                     << k.bits << " bits, " << k.colours << " colours, " << k.width << "x" << k.height);
        const std::vector<Colour> colours = spread_colours(k.colours);
        Image24 img(k.width, k.height);
        for (int i = 0; i < k.width * k.height; ++i)
            img.set(i % k.width, i / k.width, colours[i % k.colours]);
        ConversionContext c = make_context(k.width, k.height, 24, k.bits, kDitherDiv16);
        std::vector<uint8_t> out(c.image_bytes, 0xA5);
        RgbQuad pal[256];
        std::fill(pal, pal + 256, RgbQuad{9, 9, 9, 0});
        ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, nullptr, img.bytes.data()));
        const int used = std::min(k.colours, k.width * k.height);
        std::set<Colour> want, got;
        for (int i = 0; i < k.width * k.height; ++i) want.insert(colours[i % k.colours]);
        for (int i = 0; i < used; ++i) got.insert(colour(pal[i]));
        EXPECT_EQ(got, want);
        for (int i = 1; i < used; ++i) EXPECT_LE(sum(pal[i - 1]), sum(pal[i]));
        for (int i = used; i < (1 << k.bits); ++i)
            EXPECT_EQ(colour(pal[i]), Colour(9, 9, 9)) << "entry " << i;
        const int per_byte = 8 / k.bits;
        for (int32_t y = 0; y < k.height; ++y) {
            for (int32_t x = 0; x < k.width; ++x) {
                const int shift = 8 - k.bits * (x % per_byte + 1);
                const int index = (out[y * c.stride + x / per_byte] >> shift) & ((1 << k.bits) - 1);
                ASSERT_LT(index, used);
                EXPECT_EQ(colour(pal[index]), img.at(x, y)) << x << "," << y;
            }
            // Bits beyond the last pixel of a row are zero.
            const int tail_bits = (per_byte - k.width % per_byte) % per_byte * k.bits;
            if (tail_bits) {
                EXPECT_EQ(out[y * c.stride + c.row_bytes - 1] & ((1 << tail_bits) - 1), 0);
            }
        }
    }
}

TEST(PaletteReduce, SelectionSortKeepsSwapOrderForEqualSums) {
    // Sums 30, 30, 10: the 10 is swapped into place 0, which moves the first 30 behind the
    // second.
    Image24 img(3, 1);
    img.set(0, 0, {10, 10, 10});
    img.set(1, 0, {30, 0, 0});
    img.set(2, 0, {5, 5, 0});
    ConversionContext c = make_context(3, 1, 24, 2, kDitherDiv16);
    std::vector<uint8_t> out(c.image_bytes);
    RgbQuad pal[256] = {};
    ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, nullptr, img.bytes.data()));
    EXPECT_EQ(colour(pal[0]), Colour(5, 5, 0));
    EXPECT_EQ(colour(pal[1]), Colour(30, 0, 0));
    EXPECT_EQ(colour(pal[2]), Colour(10, 10, 10));
}

TEST(PaletteReduce, SingleColourLeavesOtherEntries) {
    Image24 img(3, 3);
    for (int i = 0; i < 9; ++i) img.set(i % 3, i / 3, {12, 34, 56});
    ConversionContext c = make_context(3, 3, 24, 2, kDitherDiv16);
    std::vector<uint8_t> out(c.image_bytes, 0xFF);
    RgbQuad pal[256];
    std::fill(pal, pal + 256, RgbQuad{1, 2, 3, 4});
    ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, nullptr, img.bytes.data()));
    EXPECT_EQ(colour(pal[0]), Colour(12, 34, 56));
    for (int i = 1; i < 4; ++i) EXPECT_EQ(colour(pal[i]), Colour(1, 2, 3));
    for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(out[y * c.stride], 0);
}

TEST(PaletteReduce, SeventeenColoursGoThroughHistogram) {
    const std::vector<Colour> colours = spread_colours(17);
    Image24 img(17, 3);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 17; ++x) img.set(x, y, colours[x]);
    ConversionContext c = make_context(17, 3, 24, 4, kDitherNone);
    std::vector<uint8_t> out(c.image_bytes);
    RgbQuad pal[256] = {};
    ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, nullptr, img.bytes.data()));
    // Without diffusion every pixel takes its nearest entry.
    const int32_t* sq = ensure_squares(&c);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 17; ++x) {
            const int index = (out[y * c.stride + x / 2] >> (x % 2 ? 0 : 4)) & 15;
            const auto [b, g, r] = img.at(x, y);
            int best = 1 << 30, best_i = -1;
            for (int i = 0; i < 16; ++i) {
                const int d = sq[b - pal[i].blue] + sq[g - pal[i].green] + sq[r - pal[i].red];
                if (d < best) best = d, best_i = i;
            }
            EXPECT_EQ(index, best_i) << x;
        }
    }
    for (int i = 1; i < 16; ++i) EXPECT_LE(sum(pal[i - 1]), sum(pal[i]));
}

// Empty histogram buckets average to black; they must never answer a seed, whatever the
// image's size.
TEST(PaletteReduce, EmptyBucketsNeverGiveBlack) {
    const std::vector<Colour> colours = spread_colours(40);
    for (int32_t w : {7, 40}) {
        Image24 img(w, 5);
        for (int i = 0; i < w * 5; ++i) img.set(i % w, i / w, colours[i % 40]);
        ConversionContext c = make_context(w, 5, 24, 4, kDitherDiv16);
        std::vector<uint8_t> out(c.image_bytes);
        RgbQuad pal[256];
        std::fill(pal, pal + 256, RgbQuad{200, 100, 50, 0});
        ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, nullptr, img.bytes.data()));
        for (int i = 0; i < 16; ++i)
            EXPECT_NE(colour(pal[i]), Colour(0, 0, 0)) << "width " << w << " entry " << i;
    }
}

// A seed is answered only by buckets holding at least 1/65,536 of the image; smaller ones
// can still come in through the fill pass, which takes the largest buckets first.
TEST(PaletteReduce, SeedThresholdFollowsImageSize) {
    struct Case {
        int white_pixels;
        bool white_expected;
    };
    for (const Case& k : {Case{3, false}, Case{4, true}}) {
        const int32_t w = 512, h = 512;  // threshold 4
        Image24 img(w, h);
        const Colour big[] = {{10, 10, 10}, {200, 200, 200}, {100, 100, 100}, {50, 60, 70}};
        for (int i = 0; i < w * h; ++i) img.set(i % w, i / w, big[i % 4]);
        for (int i = 0; i < k.white_pixels; ++i) img.set(1 + 4 * i, 7, {255, 255, 255});
        ConversionContext c = make_context(w, h, 24, 2, kDitherNone);
        std::vector<uint8_t> out(c.image_bytes);
        RgbQuad pal[256] = {};
        ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, nullptr, img.bytes.data()));
        bool white = false;
        for (int i = 0; i < 4; ++i) white = white || colour(pal[i]) == Colour(255, 255, 255);
        EXPECT_EQ(white, k.white_expected) << k.white_pixels;
    }
}

// Over 16.8 million white pixels overflow a 32-bit channel sum; white must stay white.
TEST(PaletteReduce, LargeWhiteScanKeepsWhite) {
    const int32_t w = 4200, h = 4100;
    Image24 img(w, h);
    std::fill(img.bytes.begin(), img.bytes.end(), 255);
    const Colour others[] = {{0, 0, 200}, {0, 200, 0}, {200, 0, 0}, {90, 90, 90}};
    for (int i = 0; i < 4000; ++i) img.set(i % w, 5 + i / w + (i % 4) * 100, others[i % 4]);
    ConversionContext c = make_context(w, h, 24, 2, kDitherNone);
    std::vector<uint8_t> out(c.image_bytes);
    RgbQuad pal[256] = {};
    ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, nullptr, img.bytes.data()));
    EXPECT_EQ(colour(pal[3]), Colour(255, 255, 255));
    EXPECT_EQ(out[0], 0xFF);  // the first pixels are white: index 3 in all four slots
}

TEST(PaletteIndexed, OneBytePerPixelAtEveryDepth) {
    const std::vector<Colour> colours = spread_colours(300);
    const int32_t w = 23, h = 19;
    Image24 img(w, h);
    for (int i = 0; i < w * h; ++i) img.set(i % w, i / w, colours[i % 300]);
    for (int bits = 1; bits <= 8; ++bits) {
        SCOPED_TRACE(bits);
        ConversionContext c = make_context(w, h, 24, bits, kDitherDiv24);
        std::vector<uint8_t> out(w * h + 8, 0xEE);
        RgbQuad pal[256] = {};
        ASSERT_TRUE(reduce_to_indexed(pal, &c, nullptr, img.bytes.data(), out.data()));
        for (int i = 0; i < w * h; ++i) ASSERT_LT(out[i], 1 << bits) << i;
        EXPECT_EQ(out[w * h], 0xEE);  // rows are exactly width bytes
        if (bits == 1) {
            EXPECT_EQ(colour(pal[0]), Colour(0, 0, 0));
            EXPECT_EQ(colour(pal[1]), Colour(255, 255, 255));
        } else {
            for (int i = 1; i < (1 << bits); ++i) EXPECT_LE(sum(pal[i - 1]), sum(pal[i]));
        }
    }
    ConversionContext bad = make_context(w, h, 24, 9, 0);
    std::vector<uint8_t> out(w * h);
    RgbQuad pal[256] = {};
    EXPECT_FALSE(reduce_to_indexed(pal, &bad, nullptr, img.bytes.data(), out.data()));
}

TEST(PaletteIndexed, EightBitSourceUsesColoursOfItsPixels) {
    // 200 palette entries but only three are used: the exact palette holds those three.
    const int32_t w = 5, h = 3;
    RgbQuad src_pal[256] = {};
    for (int i = 0; i < 200; ++i) src_pal[i] = {static_cast<uint8_t>(i), 7, 9, 0};
    const int64_t stride = stride_for_depth(w, 8);
    std::vector<uint8_t> px(stride * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) px[y * stride + x] = static_cast<uint8_t>(10 * ((x + y) % 3) + 50);
    ConversionContext c = make_context(w, h, 8, 3, kDitherDiv16);
    std::vector<uint8_t> out(w * h);
    RgbQuad pal[256] = {};
    ASSERT_TRUE(reduce_to_indexed(pal, &c, src_pal, px.data(), out.data()));
    EXPECT_EQ(colour(pal[0]), Colour(50, 7, 9));
    EXPECT_EQ(colour(pal[1]), Colour(60, 7, 9));
    EXPECT_EQ(colour(pal[2]), Colour(70, 7, 9));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) EXPECT_EQ(out[y * w + x], (x + y) % 3);
}

}  // namespace

namespace {

struct HandPalette {
    const char* name;
    int bits;
    std::vector<Colour> pixels;    // stored order; 256 x 256, so a seed needs 1 pixel
    std::vector<Colour> prior;     // the target palette before the reduction
    std::vector<Colour> expected;  // entries 0 to 2^bits - 1 afterwards
};

std::vector<Colour> repeat_to_picture(const std::vector<Colour>& cycle) {
    std::vector<Colour> out(65536);
    for (size_t i = 0; i < out.size(); ++i) out[i] = cycle[i % cycle.size()];
    return out;
}

// Palettes worked out by hand from the histogram rules: precision, seed pass, fill pass and
// sort each decide something the others do not.
std::vector<HandPalette> hand_palettes() {
    std::vector<HandPalette> cases;
    const std::vector<Colour> seeds15 = {{0, 0, 0},     {255, 0, 0},   {255, 128, 0},  {0, 255, 0},
                                         {128, 255, 0}, {255, 255, 0}, {255, 0, 128},  {128, 128, 128},
                                         {0, 255, 128}, {0, 0, 255},   {128, 0, 255},  {255, 0, 255},
                                         {0, 128, 255}, {0, 255, 255}, {255, 255, 255}};
    // 17 colours to 4 bits: the 15 seed colours, (40,40,40) and (16,16,16), cycled so that
    // (40,40,40) has one pixel more. Kept top 4 bits: 17 colours; top 3: 16 ((16,16,16) joins
    // black), so 4-bit buckets. Each seed takes its own colour at distance 0; the fill pass
    // takes the larger of the two left, (40,40,40); the stable sort by blue + green + red
    // keeps the seed order among equal sums (255: blue, green, red; 383: six in seed order).
    {
        std::vector<Colour> cycle = {{40, 40, 40}};
        cycle.insert(cycle.end(), seeds15.begin(), seeds15.end());
        cycle.push_back({16, 16, 16});
        cases.push_back({"17 colours to 4 bits",
                         4,
                         repeat_to_picture(cycle),
                         std::vector<Colour>(16, {9, 9, 9}),
                         {{0, 0, 0},
                          {40, 40, 40},
                          {255, 0, 0},
                          {0, 255, 0},
                          {0, 0, 255},
                          {255, 128, 0},
                          {128, 255, 0},
                          {255, 0, 128},
                          {0, 255, 128},
                          {128, 0, 255},
                          {0, 128, 255},
                          {128, 128, 128},
                          {255, 255, 0},
                          {255, 0, 255},
                          {0, 255, 255},
                          {255, 255, 255}}});
    }
    // Two dominant colours to 4 bits: 30,000 pixels each of (40+j, 170-j, 200+j) and
    // (210+j, 70+j, 30-j), j = 0..7 in turn, then a grey ramp 0..255 over the last 5,536
    // pixels (22 pixels for greys below 160, 21 above). Top 4 bits: 16 greys and 2 = 18; top
    // 3: 8 + 2 = 10, so 4-bit buckets: the greys average to 16k + 7, the two colours to
    // (43,166,203) and (213,73,26), never a pixel's own colour. Black, grey and white seeds
    // take greys 7, 135 and 247, the blue seed (213,73,26); no other seed has a bucket within
    // 16,129. The fill pass takes (43,166,203) (30,000 pixels), then the 22-pixel greys in
    // bucket order; greys 215 and 231 (21 pixels) are left out.
    {
        std::vector<Colour> pixels;
        for (int i = 0; i < 30000; ++i) pixels.push_back({40 + i % 8, 170 - i % 8, 200 + i % 8});
        for (int i = 0; i < 30000; ++i) pixels.push_back({210 + i % 8, 70 + i % 8, 30 - i % 8});
        for (int i = 0; i < 5536; ++i) pixels.push_back({i % 256, i % 256, i % 256});
        cases.push_back({"two dominant colours to 4 bits",
                         4,
                         pixels,
                         std::vector<Colour>(16, {9, 9, 9}),
                         {{7, 7, 7},
                          {23, 23, 23},
                          {39, 39, 39},
                          {55, 55, 55},
                          {71, 71, 71},
                          {87, 87, 87},
                          {103, 103, 103},
                          {213, 73, 26},
                          {119, 119, 119},
                          {135, 135, 135},
                          {43, 166, 203},
                          {151, 151, 151},
                          {167, 167, 167},
                          {183, 183, 183},
                          {199, 199, 199},
                          {247, 247, 247}}});
    }
    // Five colours to 2 bits: (100..103, 100, 100) and (200,200,200). Top 4 bits: 2 colours,
    // so 5-bit buckets, where the first four share one bucket averaging (101,100,100). The
    // black seed takes it (30,201 < 34,560), the white seed (200,200,200); the other two seeds
    // have nothing within reach and the fill pass finds no bucket left. Entries 2 and 3 keep
    // their earlier colours and are sorted with the two made.
    cases.push_back(
        {"two buckets to 2 bits",
         2,
         repeat_to_picture(
             {{100, 100, 100}, {101, 100, 100}, {102, 100, 100}, {103, 100, 100}, {200, 200, 200}}),
         {{1, 2, 250}, {9, 9, 9}, {3, 3, 3}, {250, 250, 250}},
         {{3, 3, 3}, {101, 100, 100}, {200, 200, 200}, {250, 250, 250}}});
    return cases;
}

}  // namespace

TEST(PaletteReduce, HistogramPalettesWorkedOutByHand) {
    for (const HandPalette& k : hand_palettes()) {
        SCOPED_TRACE(k.name);
        const int32_t w = 256, h = 256;
        Image24 img(w, h);
        for (int i = 0; i < w * h; ++i) img.set(i % w, i / w, k.pixels[static_cast<size_t>(i)]);
        const size_t n = size_t{1} << k.bits;
        ASSERT_EQ(k.expected.size(), n);
        auto prior = [&k](RgbQuad* pal) {
            for (size_t i = 0; i < k.prior.size(); ++i) {
                const auto [b, g, r] = k.prior[i];
                pal[i] =
                    RgbQuad{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
            }
        };
        // The writers' reduction, and the GIF writer's one-byte-per-pixel one: the same palette.
        ConversionContext c = make_context(w, h, 24, k.bits, kDitherNone);
        std::vector<uint8_t> out(static_cast<size_t>(c.image_bytes));
        RgbQuad pal[256] = {};
        prior(pal);
        ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, nullptr, img.bytes.data()));
        ConversionContext g = make_context(w, h, 24, k.bits, kDitherNone);
        std::vector<uint8_t> indices(static_cast<size_t>(w) * h);
        RgbQuad gif_pal[256] = {};
        prior(gif_pal);
        ASSERT_TRUE(reduce_to_indexed(gif_pal, &g, nullptr, img.bytes.data(), indices.data()));
        for (size_t i = 0; i < n; ++i) {
            EXPECT_EQ(colour(pal[i]), k.expected[i]) << "entry " << i;
            EXPECT_EQ(colour(gif_pal[i]), k.expected[i]) << "GIF entry " << i;
        }
    }
}
