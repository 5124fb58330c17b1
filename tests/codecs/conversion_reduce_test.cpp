// The reducing branches of convert_pixel_depth: 8 to 2 and 4 bits, 24 to 2, 4 and 8 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "codecs/conversion.h"

namespace {

ConversionContext context_for(int32_t w, int32_t h, int source_bits, int target_bits, int dither) {
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

int packed_index(const std::vector<uint8_t>& rows, int32_t stride, int bits, int32_t x, int32_t y) {
    const int per_byte = 8 / bits;
    const int shift = 8 - bits * (x % per_byte + 1);
    return (rows[y * stride + x / per_byte] >> shift) & ((1 << bits) - 1);
}

// An 8-bit image using `used` of its 256 entries reduces without loss to 2 or 4 bits.
TEST(ConversionReduce, EightBitSourceFitsLosslessly) {
    struct Case {
        int bits;
        int used;
        int32_t width, height;
    };
    for (const Case& k : {Case{2, 4, 5, 3}, Case{2, 2, 1, 4}, Case{4, 16, 7, 5}, Case{4, 11, 3, 1}}) {
        SCOPED_TRACE(testing::Message() << k.bits << " bits, width " << k.width);
        RgbQuad src_pal[256];
        for (int i = 0; i < 256; ++i)
            src_pal[i] = {static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3),
                          static_cast<uint8_t>(i * 5), 0};
        const int64_t src_stride = stride_for_depth(k.width, 8);
        std::vector<uint8_t> src(src_stride * k.height);
        for (int32_t y = 0; y < k.height; ++y)
            for (int32_t x = 0; x < k.width; ++x)
                src[y * src_stride + x] = static_cast<uint8_t>(17 * ((x * 3 + y) % k.used) + 4);
        ConversionContext c = context_for(k.width, k.height, 8, k.bits, kDitherDiv16);
        std::vector<uint8_t> out(c.image_bytes);
        RgbQuad pal[256] = {};
        ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, src_pal, src.data()));
        for (int32_t y = 0; y < k.height; ++y) {
            for (int32_t x = 0; x < k.width; ++x) {
                const RgbQuad& want = src_pal[src[y * src_stride + x]];
                const RgbQuad& got = pal[packed_index(out, c.stride, k.bits, x, y)];
                EXPECT_EQ(got.blue, want.blue);
                EXPECT_EQ(got.green, want.green);
                EXPECT_EQ(got.red, want.red);
            }
        }
        EXPECT_EQ(c.work_pixels, nullptr);
        EXPECT_EQ(c.work_buffer, nullptr);
    }
}

// Plain Floyd-Steinberg as the position table gives it, with the weight shares of modes 0
// (shift by 4) and 1 (truncating division by 24), nearest entry by squared distance, first
// smallest winning.
std::vector<int> simulate(std::vector<int> px, int32_t w, int32_t h, const RgbQuad* pal, int n, int mode) {
    auto share = [mode](int weight, int e) {
        return mode == kDitherDiv16 ? (weight * e) >> 4 : weight * e / 24;
    };
    auto add = [&](int32_t x, int32_t y, int c, int v) {
        int& q = px[(y * w + x) * 3 + c];
        q = std::min(255, std::max(0, q + v));
    };
    std::vector<int> out;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const int* p = &px[(y * w + x) * 3];
            int best = 1 << 30, index = 0;
            for (int i = 0; i < n; ++i) {
                const int d = (p[0] - pal[i].blue) * (p[0] - pal[i].blue) +
                              (p[1] - pal[i].green) * (p[1] - pal[i].green) +
                              (p[2] - pal[i].red) * (p[2] - pal[i].red);
                if (d < best) best = d, index = i;
            }
            out.push_back(index);
            const int err[3] = {p[0] - pal[index].blue, p[1] - pal[index].green, p[2] - pal[index].red};
            for (int c = 0; c < 3; ++c) {
                const int e = err[c];
                if (x + 1 < w) add(x + 1, y, c, share(7, e));
                if (y + 1 < h) {
                    add(x, y + 1, c, share(5, e));
                    if (x + 1 < w) add(x + 1, y + 1, c, share(1, e));
                    if (x > 0) add(x - 1, y + 1, c, share(3, e));
                }
            }
        }
    return out;
}

// Images with more colours than the target: every index is in range and equals what plain
// error diffusion over the chosen palette gives.
TEST(ConversionReduce, HistogramPathDiffusesOverItsPalette) {
    struct Case {
        int source_bits, bits, mode;
        int32_t width, height;
    };
    for (const Case& k :
         {Case{24, 2, kDitherDiv16, 7, 5}, Case{24, 4, kDitherDiv24, 9, 6}, Case{24, 8, kDitherDiv16, 31, 17},
          Case{8, 2, kDitherDiv24, 1, 9}, Case{8, 4, kDitherDiv16, 19, 1}}) {
        SCOPED_TRACE(testing::Message()
                     << k.source_bits << " to " << k.bits << ", " << k.width << "x" << k.height);
        RgbQuad src_pal[256];
        for (int i = 0; i < 256; ++i)
            src_pal[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                          static_cast<uint8_t>((i * 7) & 255), 0};
        const int64_t stride = stride_for_depth(k.width, k.source_bits);
        std::vector<uint8_t> src(stride * k.height);
        std::vector<int> plain;
        for (int32_t y = 0; y < k.height; ++y)
            for (int32_t x = 0; x < k.width; ++x) {
                if (k.source_bits == 8) {
                    const uint8_t v = static_cast<uint8_t>(x * 23 + y * 29);
                    src[y * stride + x] = v;
                    plain.insert(plain.end(), {src_pal[v].blue, src_pal[v].green, src_pal[v].red});
                } else {
                    uint8_t* p = &src[y * stride + 3 * x];
                    p[0] = static_cast<uint8_t>(x * 8);
                    p[1] = static_cast<uint8_t>(y * 15);
                    p[2] = static_cast<uint8_t>((x * y * 5) & 255);
                    plain.insert(plain.end(), {p[0], p[1], p[2]});
                }
            }
        ConversionContext c = context_for(k.width, k.height, k.source_bits, k.bits, k.mode);
        std::vector<uint8_t> out(c.image_bytes);
        RgbQuad pal[256] = {};
        ASSERT_TRUE(convert_pixel_depth(pal, out.data(), &c, src_pal, src.data()));
        const std::vector<int> want = simulate(plain, k.width, k.height, pal, 1 << k.bits, k.mode);
        for (int32_t y = 0; y < k.height; ++y)
            for (int32_t x = 0; x < k.width; ++x)
                ASSERT_EQ(packed_index(out, c.stride, k.bits, x, y), want[y * k.width + x]) << x << "," << y;
    }
}

TEST(ConversionReduce, RefusedPairsAndBadSizes) {
    std::vector<uint8_t> src(64), out(64);
    RgbQuad pal[256] = {};
    // 8 to 8 is a copy, not a reduction; 4 to 2 is not in the table.
    ConversionContext four = context_for(3, 3, 4, 2, 0);
    EXPECT_FALSE(convert_pixel_depth(pal, out.data(), &four, pal, src.data()));
    ConversionContext overflow = context_for(0x7FFFFFF, 0x7FFFFFF, 24, 4, 0);
    EXPECT_TRUE(overflow.size_overflow);
    EXPECT_FALSE(convert_pixel_depth(pal, out.data(), &overflow, pal, src.data()));
}

}  // namespace
