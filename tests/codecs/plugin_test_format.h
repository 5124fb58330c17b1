// The trivial picture format that the test plug-ins read (tests/plugins/CMakeLists.txt):
// building files of it, the cases every loader test runs, and the check of a decoded image.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/codec_context.h"

struct TestPicture {
    std::string magic = "PXRW";
    uint32_t width = 1;
    int32_t height = 1;
    uint16_t bits = 24;
    std::vector<RgbQuad> palette;
    int32_t adjust = 0;  // bytes added to (or taken from) the pixel block the plug-in returns
    int16_t depth = 0;   // colour depth that GetPictureInfo reports; 0: the bit count
    uint16_t flags = 0;  // 1: the plug-in declares RLE compression
    bool prefix_128 = false;
    std::vector<uint8_t> rows;  // bottom-up, padded to 4 bytes
};

inline int64_t test_picture_stride(const TestPicture& p) {
    return ((int64_t(p.width) * p.bits + 31) / 32) * 4;
}

inline TestPicture make_test_picture(uint32_t width, int32_t height, uint16_t bits, int entries = 0) {
    TestPicture p;
    p.width = width;
    p.height = height;
    p.bits = bits;
    for (int i = 0; i < entries; ++i) {
        p.palette.push_back(RgbQuad{uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 31), 0});
    }
    const int64_t size = test_picture_stride(p) * (height < 0 ? -int64_t(height) : height);
    for (int64_t i = 0; i < size; ++i) p.rows.push_back(uint8_t(i * 37 + 11));
    return p;
}

inline std::vector<uint8_t> encode_test_picture(const TestPicture& p) {
    std::vector<uint8_t> out;
    if (p.prefix_128) {
        for (int i = 0; i < 128; ++i) out.push_back(uint8_t('#'));
    }
    auto u16 = [&](uint32_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    out.insert(out.end(), p.magic.begin(), p.magic.begin() + 4);
    u32(p.width);
    u32(uint32_t(p.height));
    u16(p.bits);
    u16(uint32_t(p.palette.size()));
    u32(uint32_t(p.adjust));
    u16(uint16_t(p.depth));
    u16(p.flags);
    for (const RgbQuad& q : p.palette) out.insert(out.end(), {q.blue, q.green, q.red, q.reserved});
    out.insert(out.end(), p.rows.begin(), p.rows.end());
    return out;
}

struct PluginDecodeCaseData {
    const char* name;
    TestPicture picture;
    bool accepted;
};

// Every picture depth the interface allows, odd sizes, blocks larger and smaller than the
// image needs, and the pictures that must be refused although the plug-in decoded them.
inline std::vector<PluginDecodeCaseData> plugin_decode_cases() {
    std::vector<PluginDecodeCaseData> v;
    v.push_back({"rgb24_3x2", make_test_picture(3, 2, 24), true});
    v.push_back({"rgb24_1x5", make_test_picture(1, 5, 24), true});
    v.push_back({"pal8_5x3", make_test_picture(5, 3, 8, 7), true});
    v.push_back({"pal4_3x1", make_test_picture(3, 1, 4, 16), true});
    v.push_back({"mono1_9x2", make_test_picture(9, 2, 1, 2), true});
    TestPicture big = make_test_picture(3, 3, 24);
    big.adjust = 100;
    v.push_back({"block_larger_than_image", big, true});
    TestPicture small = make_test_picture(3, 3, 24);
    small.adjust = -5;
    small.rows.resize(small.rows.size() - 5);
    v.push_back({"block_smaller_than_image", small, true});
    TestPicture deep = make_test_picture(2, 2, 24);
    deep.depth = 32;
    v.push_back({"reported_depth_32", deep, true});
    v.push_back({"width_25000", make_test_picture(25000, 1, 8, 2), true});
    v.push_back({"width_25001", make_test_picture(25001, 1, 8, 2), false});
    TestPicture rle = make_test_picture(2, 2, 8, 2);
    rle.flags = 1;
    v.push_back({"compressed", rle, false});
    TestPicture top_down = make_test_picture(2, -2, 24);
    v.push_back({"top_down", top_down, false});
    TestPicture depth16 = make_test_picture(2, 2, 16);
    v.push_back({"depth_16", depth16, false});
    TestPicture prefixed = make_test_picture(5, 2, 24);
    prefixed.prefix_128 = true;
    prefixed.magic = "PX28";
    v.push_back({"offset_128", prefixed, true});
    return v;
}

inline void expect_matches_test_picture(const LoadedImage& image, const TestPicture& p) {
    EXPECT_EQ(image.info.width, int32_t(p.width));
    EXPECT_EQ(image.info.height, p.height);
    EXPECT_EQ(image.info.bit_count, p.bits);
    EXPECT_EQ(image.info.compression, kBiRgb);
    EXPECT_EQ(image.info.clr_used, p.palette.size());
    EXPECT_EQ(image.source_bits, p.depth ? p.depth : p.bits);
    EXPECT_EQ(image.format, 0);
    for (size_t i = 0; i < p.palette.size(); ++i) {
        EXPECT_EQ(std::memcmp(&image.palette[i], &p.palette[i], 4), 0) << "entry " << i;
    }
    const int64_t needed = test_picture_stride(p) * p.height;
    ASSERT_NE(image.pixels, nullptr);
    int64_t mismatches = 0;
    for (int64_t i = 0; i < needed; ++i) {
        const uint8_t want = i < int64_t(p.rows.size()) ? p.rows[size_t(i)] : 0;
        mismatches += image.pixels[i] != want;
    }
    EXPECT_EQ(mismatches, 0);
}

// The picture as 24-bit rows (bottom-up, padded to 4), expanded here through its palette
// independently of the codecs' own conversion; missing bytes count as zero.
inline std::vector<uint8_t> test_picture_as_24(const TestPicture& p) {
    const int64_t in_stride = test_picture_stride(p);
    const int64_t out_stride = (3 * int64_t(p.width) + 3) & ~int64_t(3);
    std::vector<uint8_t> out(size_t(out_stride * p.height), 0);
    auto byte_at = [&](int64_t i) -> uint8_t { return i < int64_t(p.rows.size()) ? p.rows[size_t(i)] : 0; };
    for (int64_t y = 0; y < p.height; ++y) {
        for (int64_t x = 0; x < p.width; ++x) {
            uint8_t* d = &out[size_t(y * out_stride + 3 * x)];
            const int64_t row = y * in_stride;
            if (p.bits == 24) {
                for (int c = 0; c < 3; ++c) d[c] = byte_at(row + 3 * x + c);
                continue;
            }
            const int per_byte = 8 / p.bits;
            const uint8_t b = byte_at(row + x / per_byte);
            const int shift = 8 - p.bits * (int(x % per_byte) + 1);
            const int index = (b >> shift) & ((1 << p.bits) - 1);
            const RgbQuad q = index < int(p.palette.size()) ? p.palette[size_t(index)] : RgbQuad{0, 0, 0, 0};
            d[0] = q.blue;
            d[1] = q.green;
            d[2] = q.red;
        }
    }
    return out;
}

// Compares 24-bit rows with the reference, pixel bytes only (padding is whatever the source had).
inline bool same_24_pixels(const uint8_t* rows, const std::vector<uint8_t>& want, int32_t width,
                           int32_t height) {
    const int64_t stride = (3 * int64_t(width) + 3) & ~int64_t(3);
    for (int64_t y = 0; y < height; ++y) {
        if (std::memcmp(rows + y * stride, &want[size_t(y * stride)], size_t(3 * width)) != 0) return false;
    }
    return true;
}

// A file that starts like a JPEG but is the test format behind a 128-byte prefix: the JPEG
// reader refuses it and the offset-128 plug-in reads it.
inline std::vector<uint8_t> fake_jpeg_for_plugin(const TestPicture& picture) {
    TestPicture p = picture;
    p.prefix_128 = true;
    p.magic = "PX28";
    std::vector<uint8_t> bytes = encode_test_picture(p);
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    return bytes;
}
