#include "codecs/bmp/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/file_io.h"
#include "tests/support/test_support.h"

namespace {

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

struct BmpShape {
    int bits = 24;
    int32_t width = 3;
    int32_t height = 2;
    uint32_t header_size = 40;
    uint32_t compression = 0;
    uint32_t clr_used = 0;
    uint32_t palette_entries = 0;  // entries actually stored
    std::vector<uint32_t> masks;   // stored after the first 40 header bytes
};

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

int64_t file_stride(int bits, int32_t width) {
    return ((static_cast<int64_t>(width) * bits + 31) / 32) * 4;
}

// A BMP file with a palette of entry i = (i, 255 - i, i * 3) and pixel bytes from `fill`.
template <typename Fill>
std::vector<uint8_t> make_bmp(const BmpShape& s, Fill fill) {
    const uint32_t palette_at = 14 + s.header_size;
    const uint32_t pixel_at = palette_at + 4 * s.palette_entries +
                              (s.header_size == 40 ? 4 * static_cast<uint32_t>(s.masks.size()) : 0);
    const int64_t stride = file_stride(s.bits, s.width);
    std::vector<uint8_t> b(pixel_at + stride * (s.height < 0 ? -s.height : s.height));
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(b.size()));
    put32(b, 10, pixel_at);
    put32(b, 14, s.header_size);
    put32(b, 18, static_cast<uint32_t>(s.width));
    put32(b, 22, static_cast<uint32_t>(s.height));
    put16(b, 26, 1);
    put16(b, 28, static_cast<uint32_t>(s.bits));
    put32(b, 30, s.compression);
    put32(b, 38, 2835);
    put32(b, 42, 1417);
    put32(b, 46, s.clr_used);
    for (size_t i = 0; i < s.masks.size(); ++i) put32(b, 54 + 4 * i, s.masks[i]);
    const uint32_t table_at =
        s.header_size == 40 ? palette_at + 4 * static_cast<uint32_t>(s.masks.size()) : palette_at;
    for (uint32_t i = 0; i < s.palette_entries; ++i) {
        b[table_at + 4 * i] = static_cast<uint8_t>(i);
        b[table_at + 4 * i + 1] = static_cast<uint8_t>(255 - i);
        b[table_at + 4 * i + 2] = static_cast<uint8_t>(i * 3);
    }
    for (int32_t y = 0; y < (s.height < 0 ? -s.height : s.height); ++y)
        for (int64_t i = 0; i < stride; ++i) b[pixel_at + y * stride + i] = fill(y, i);
    return b;
}

std::vector<uint8_t> make_bmp(const BmpShape& s) {
    return make_bmp(s, [](int32_t y, int64_t i) { return static_cast<uint8_t>(y * 31 + i * 7 + 1); });
}

struct Decoded {
    bool ok = false;
    int32_t error = 0;
    LoadedImage image = {};
};

Decoded decode_bytes(const std::vector<uint8_t>& bytes, uint8_t in_memory = 1) {
    BmpContext c;
    init_bmp_context(&c, 0);
    bmp_reader_reset(&c);
    c.in_memory = in_memory;
    c.input = ByteCursor(bytes.data(), bytes.size());
    Decoded d;
    LoadedImage* image = decode_bmp_input(&c);
    d.ok = image != nullptr;
    d.error = c.error;
    if (image) d.image = *image;
    EXPECT_EQ(d.ok, c.error == kCodecOk);
    bmp_reader_release(&c);
    return d;
}

struct Owned {
    LoadedImage image;
    ~Owned() { free_loaded_image(&image); }
};

TEST(BmpRead, IndexedFilesExpandToEightBits) {
    struct Case {
        int bits;
        int32_t width;
        uint32_t clr_used;
        uint32_t stored;
    };
    for (const Case& k : {Case{1, 1, 0, 2}, Case{1, 9, 2, 2}, Case{4, 3, 0, 16}, Case{4, 5, 12, 12},
                          Case{8, 2, 0, 256}, Case{8, 7, 100, 100}}) {
        SCOPED_TRACE(testing::Message() << k.bits << " bits, width " << k.width);
        BmpShape s;
        s.bits = k.bits;
        s.width = k.width;
        s.height = 3;
        s.clr_used = k.clr_used;
        s.palette_entries = k.stored;
        const std::vector<uint8_t> file = make_bmp(s);
        Decoded d = decode_bytes(file);
        ASSERT_TRUE(d.ok) << d.error;
        Owned own{d.image};
        EXPECT_EQ(d.image.info.bit_count, 8);
        EXPECT_EQ(d.image.source_bits, k.bits);
        EXPECT_EQ(d.image.format, 1);
        EXPECT_EQ(d.image.info.size, 40u);
        EXPECT_EQ(d.image.info.x_pels_per_meter, 2835);
        EXPECT_EQ(d.image.info.y_pels_per_meter, 1417);
        const uint32_t meaningful = k.bits == 8 ? k.stored : (1u << k.bits);
        for (uint32_t i = 0; i < 256; ++i) {
            const bool stored = i < k.stored && i < meaningful;
            EXPECT_EQ(d.image.palette[i].blue, stored ? i : 0) << i;
            EXPECT_EQ(d.image.palette[i].red, stored ? static_cast<uint8_t>(i * 3) : 0) << i;
        }
        const int64_t src_stride = file_stride(k.bits, k.width);
        const int64_t dst_stride = stride_for_depth(k.width, 8);
        const uint8_t* rows = file.data() + (file.size() - src_stride * 3);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < k.width; ++x) {
                const int per = 8 / k.bits;
                const int v =
                    (rows[y * src_stride + x / per] >> (8 - k.bits * (x % per + 1))) & ((1 << k.bits) - 1);
                EXPECT_EQ(d.image.pixels[y * dst_stride + x], v) << x << "," << y;
            }
    }
}

TEST(BmpRead, PaletteFollowsLargerHeaders) {
    for (uint32_t header : {40u, 56u, 108u, 124u}) {
        BmpShape s;
        s.bits = 8;
        s.header_size = header;
        s.palette_entries = 256;
        Decoded d = decode_bytes(make_bmp(s));
        ASSERT_TRUE(d.ok) << header;
        Owned own{d.image};
        EXPECT_EQ(d.image.palette[5].blue, 5) << header;
        EXPECT_EQ(d.image.palette[5].green, 250) << header;
        EXPECT_EQ(d.image.palette[5].red, 15) << header;
    }
}

// One pixel value and what each channel becomes, for the file's depth and masks.
TEST(BmpRead, BitFieldsUnpackToTwentyFourBits) {
    struct Case {
        const char* name;
        int bits;
        uint32_t compression;
        std::vector<uint32_t> masks;
        uint32_t pixel;
        uint8_t blue, green, red;
    };
    const Case cases[] = {
        {"555 default", 16, 0, {}, 0x7FFF, 255, 255, 255},
        {"555 default ignores bit 15", 16, 0, {}, 0x8000 | (1 << 10) | (2 << 5) | 30, 246, 16, 8},
        {"565 read as 555 without fields", 16, 0, {}, 0xF800, 0, 0, 246},
        {"565 fields", 16, 3, {0xF800, 0x07E0, 0x001F}, (1u << 11) | (63u << 5) | 2u, 16, 255, 8},
        {"32 default", 32, 0, {}, 0xAA112233, 0x33, 0x22, 0x11},
        {"32 fields in another order",
         32,
         3,
         {0xFF000000, 0x00000FF0, 0x00FF0000},
         0x12345678,
         0x34,
         0x67,
         0x12},
        {"zero mask gives zero", 32, 3, {0, 0xFF00, 0xFF}, 0xFFFFFFFF, 255, 255, 0},
        {"31-bit channel", 32, 3, {0x7FFFFFFF, 0, 0}, 0x7FFFFFFF, 0, 0, 255},
        {"444 fields", 16, 3, {0x0F00, 0x00F0, 0x000F}, 0x0F81, 17, 136, 255},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        for (int32_t width : {1, 2, 3}) {
            BmpShape s;
            s.bits = k.bits;
            s.width = width;
            s.compression = k.compression;
            s.masks = k.masks;
            const int bytes = k.bits / 8;
            Decoded d = decode_bytes(make_bmp(s, [&](int32_t, int64_t i) {
                return i / bytes < width ? static_cast<uint8_t>(k.pixel >> (8 * (i % bytes))) : 0xEE;
            }));
            ASSERT_TRUE(d.ok) << d.error;
            Owned own{d.image};
            EXPECT_EQ(d.image.info.bit_count, 24);
            EXPECT_EQ(d.image.source_bits, k.bits);
            const int64_t stride = stride_for_depth(width, 24);
            for (int32_t y = 0; y < 2; ++y)
                for (int32_t x = 0; x < width; ++x) {
                    const uint8_t* p = d.image.pixels + y * stride + 3 * x;
                    EXPECT_EQ(p[0], k.blue);
                    EXPECT_EQ(p[1], k.green);
                    EXPECT_EQ(p[2], k.red);
                }
        }
    }
}

TEST(BmpRead, RefusesWhatItCannotRead) {
    struct Case {
        const char* name;
        BmpShape shape;
        int32_t error;
    };
    auto shape_of = [](int bits, int32_t w, int32_t h, uint32_t compression = 0) {
        BmpShape s;
        s.bits = bits;
        s.width = w;
        s.height = h;
        s.compression = compression;
        return s;
    };
    BmpShape big_palette = shape_of(8, 2, 2);
    big_palette.clr_used = 300;
    big_palette.palette_entries = 256;
    BmpShape full_mask = shape_of(32, 2, 2, 3);
    full_mask.masks = {0xFFFFFFFF, 0xFF00, 0xFF};
    BmpShape small_header = shape_of(24, 2, 2);
    small_header.header_size = 20;
    const Case cases[] = {
        {"width 0", shape_of(24, 0, 2), kCodecUnsupported},
        {"width 25001", shape_of(24, 25001, 1), kCodecUnsupported},
        {"height 25001", shape_of(8, 1, 25001), kCodecUnsupported},
        {"top-down height -25001", shape_of(24, 2, -25001), kCodecUnsupported},
        {"top-down height -2", shape_of(24, 2, -2), kCodecUnsupported},
        {"top-down 8 bits", shape_of(8, 2, -2), kCodecUnsupported},
        {"RLE8", shape_of(8, 2, 2, 1), kCodecUnsupported},
        {"RLE4", shape_of(4, 2, 2, 2), kCodecUnsupported},
        {"top-down RLE8", shape_of(8, 2, -2, 1), kCodecUnsupported},
        {"top-down RLE4", shape_of(4, 2, -2, 2), kCodecUnsupported},
        {"RLE8 at 4 bits", shape_of(4, 2, 2, 1), kCodecUnsupported},
        {"RLE4 at 8 bits", shape_of(8, 2, 2, 2), kCodecUnsupported},
        {"RLE8 at 24 bits", shape_of(24, 2, 2, 1), kCodecUnsupported},
        {"24 with fields", shape_of(24, 2, 2, 3), kCodecUnsupported},
        {"alpha fields", shape_of(32, 2, 2, 6), kCodecUnsupported},
        {"2 bits", shape_of(2, 2, 2), kCodecUnsupported},
        {"30000 bits", shape_of(30000, 2, 2), kCodecUnsupported},
        {"300 colours", big_palette, kCodecUnsupported},
        {"20-byte header", small_header, kCodecUnsupported},
        {"32-bit channel", full_mask, kCodecReadFailed},
    };
    for (const Case& k : cases) {
        Decoded d = decode_bytes(make_bmp(k.shape));
        EXPECT_FALSE(d.ok) << k.name;
        EXPECT_EQ(d.error, k.error) << k.name;
        EXPECT_EQ(d.image.pixels, nullptr) << k.name;
    }
}

TEST(BmpRead, LargestSizeIsRead) {
    for (auto [w, h] : {std::pair<int32_t, int32_t>{25000, 1}, {1, 25000}}) {
        BmpShape s;
        s.width = w;
        s.height = h;
        Decoded d = decode_bytes(make_bmp(s));
        ASSERT_TRUE(d.ok) << w << "x" << h;
        Owned own{d.image};
        EXPECT_EQ(d.image.info.width, w);
        EXPECT_EQ(d.image.info.height, h);
    }
}

// Every prefix of a valid file of each depth: a cut before the rows (headers, palette, masks)
// fails with a code and leaves nothing allocated; a cut in the rows loads as if every byte
// from the cut on were zero (no read past the cut, which the exact-size copy shows the
// sanitizers).
TEST(BmpRead, TruncationSweep) {
    std::vector<BmpShape> shapes;
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        BmpShape s;
        s.bits = bits;
        s.width = 3;
        s.height = 3;
        s.palette_entries = bits <= 8 ? (1u << bits) : 0;
        shapes.push_back(s);
    }
    BmpShape fields;
    fields.bits = 16;
    fields.compression = 3;
    fields.masks = {0xF800, 0x07E0, 0x001F};
    shapes.push_back(fields);
    BmpShape fields32;
    fields32.bits = 32;
    fields32.width = 2;
    fields32.compression = 3;
    fields32.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
    shapes.push_back(fields32);
    BmpShape v5;
    v5.bits = 8;
    v5.header_size = 124;
    v5.palette_entries = 256;
    shapes.push_back(v5);
    for (const BmpShape& s : shapes) {
        const std::vector<uint8_t> file = make_bmp(s);
        const size_t pixel_at = le32(file, 10);
        for (size_t n = 0; n < file.size(); ++n) {
            SCOPED_TRACE(testing::Message() << s.bits << " bits, " << n << " bytes");
            // A copy of exactly n bytes, so the sanitizers see any read past it.
            const std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
            Decoded d = decode_bytes(prefix);
            if (n < pixel_at) {
                ASSERT_FALSE(d.ok);
                EXPECT_NE(d.error, kCodecOk);
                EXPECT_EQ(d.image.pixels, nullptr);
                continue;
            }
            ASSERT_TRUE(d.ok) << d.error;
            Owned own{d.image};
            std::vector<uint8_t> zeroed(file);
            std::fill(zeroed.begin() + static_cast<std::ptrdiff_t>(n), zeroed.end(), 0);
            Decoded want = decode_bytes(zeroed);
            ASSERT_TRUE(want.ok);
            Owned own_want{want.image};
            const int64_t bytes = file_stride(d.image.info.bit_count, s.width) * s.height;
            EXPECT_EQ(std::memcmp(d.image.pixels, want.image.pixels, static_cast<size_t>(bytes)), 0);
        }
    }
}

// Rows a file does not hold load as zero at every depth, in both allocation modes (a DIB
// section's bits are not promised to be zero), and the rows it holds keep their bytes.
TEST(BmpRead, MissingRowsLoadAsZero) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (uint8_t in_memory : {1, 0}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, in-memory " << int{in_memory});
            BmpShape s;
            s.bits = bits;
            s.width = 5;
            s.height = 4;
            s.palette_entries = bits <= 8 ? (1u << bits) : 0;
            // Every stored byte 0xFF: each present pixel is non-zero after loading.
            std::vector<uint8_t> file = make_bmp(s, [](int32_t, int64_t) { return uint8_t{0xFF}; });
            const int64_t src_stride = file_stride(bits, s.width);
            file.resize(file.size() - static_cast<size_t>(2 * src_stride));  // the top two rows are gone
            Decoded d = decode_bytes(file, in_memory);
            ASSERT_TRUE(d.ok) << d.error;
            Owned own{d.image};
            EXPECT_EQ(d.image.info.height, 4);
            EXPECT_EQ(d.image.source_bits, bits);
            const int32_t pixel_bytes = d.image.info.bit_count / 8;
            const int64_t stride = file_stride(d.image.info.bit_count, s.width);
            for (int32_t y = 0; y < 4; ++y)
                for (int32_t i = 0; i < s.width * pixel_bytes; ++i) {
                    const uint8_t got = d.image.pixels[y * stride + i];
                    if (y < 2) {
                        EXPECT_NE(got, 0) << "row " << y << " byte " << i;
                    } else {
                        EXPECT_EQ(got, 0) << "row " << y << " byte " << i;
                    }
                }
        }
    }
    // A pixel offset past the end of the file: every row is zero.
    BmpShape s;
    s.bits = 24;
    std::vector<uint8_t> file = make_bmp(s);
    put32(file, 10, static_cast<uint32_t>(file.size() + 100));
    Decoded d = decode_bytes(file);
    ASSERT_TRUE(d.ok) << d.error;
    Owned own{d.image};
    const std::vector<uint8_t> zero(static_cast<size_t>(file_stride(24, s.width) * s.height), 0);
    EXPECT_EQ(std::memcmp(d.image.pixels, zero.data(), zero.size()), 0);
}

TEST(BmpRead, FilesThroughTheMapping) {
    BmpShape s;
    s.bits = 4;
    s.width = 5;
    s.palette_entries = 16;
    const std::vector<uint8_t> file = make_bmp(s);
    const std::u16string path = scratch_path("four.bmp");
    ASSERT_TRUE(write_bytes(path, file));
    for (uint8_t in_memory : {1, 0}) {
        BmpContext c;
        init_bmp_context(&c, 0);
        bmp_reader_reset(&c);
        c.in_memory = in_memory;
        LoadedImage* image = read_bmp_file(path, &c);
        ASSERT_NE(image, nullptr);
        Owned own{*image};
        EXPECT_EQ(image->file_size, file.size());
        EXPECT_EQ(image->bitmap != 0, in_memory == 0);
        EXPECT_NE(image->last_write_time.low | image->last_write_time.high, 0u);
        EXPECT_FALSE(c.input.has(1)) << "no cursor outlives the read's mapping";
        bmp_reader_release(&c);
    }
    EXPECT_TRUE(file_delete(path)) << "both reads closed the file";
    BmpContext missing;
    init_bmp_context(&missing, 0);
    bmp_reader_reset(&missing);
    EXPECT_EQ(read_bmp_file(scratch_path("absent.bmp"), &missing), nullptr);
    EXPECT_EQ(missing.error, kCodecReadFailed);
    bmp_reader_release(&missing);
}

// Writes an image at a target depth and reads the file back.
struct Written {
    bool ok;
    int32_t error;
    std::vector<uint8_t> bytes;
};

Written write_image(int32_t w, int32_t h, int source_bits, int target_bits, const RgbQuad* palette,
                    const std::vector<uint8_t>& pixels, const std::u16string& path) {
    BmpContext c;
    init_bmp_context(&c, 0);
    c.conversion.width = w;
    c.conversion.height = h;
    c.conversion.source_bits = source_bits;
    c.conversion.target_bits = target_bits;
    c.x_ppm = 3780;
    c.y_ppm = 3779;
    compute_row_sizes(&c.conversion);
    Written out;
    out.ok = write_bmp_file(path, &c, palette, pixels.data());
    out.error = c.error;
    bmp_writer_release(&c);
    EXPECT_FALSE(c.output_file.is_open());
    EXPECT_EQ(c.conversion_buffer, nullptr);
    if (out.ok) read_bytes(path, &out.bytes);
    return out;
}

uint32_t le32_at(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST(BmpWrite, LayoutAndRoundTrip) {
    struct Case {
        int source_bits, target_bits;
        int32_t width;
        uint32_t palette_bytes;
    };
    for (const Case& k : {Case{24, 24, 3, 0}, Case{24, 8, 5, 1024}, Case{24, 4, 3, 64}, Case{24, 1, 9, 8},
                          Case{8, 8, 2, 1024}, Case{8, 4, 7, 64}, Case{8, 1, 1, 8}}) {
        SCOPED_TRACE(testing::Message() << k.source_bits << " to " << k.target_bits << ", width " << k.width);
        const int32_t h = 3;
        RgbQuad palette[256] = {};
        for (int i = 0; i < 256; ++i)
            palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
        const int64_t stride = stride_for_depth(k.width, k.source_bits);
        std::vector<uint8_t> pixels(stride * h);
        // Black and white only, so every target depth holds the image exactly.
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < k.width; ++x) {
                const uint8_t v = (x + y) % 2 ? 255 : 0;
                if (k.source_bits == 8) {
                    pixels[y * stride + x] = v;
                } else {
                    std::memset(&pixels[y * stride + 3 * x], v, 3);
                }
            }
        const std::u16string path = scratch_path("write.bmp");
        Written out = write_image(k.width, h, k.source_bits, k.target_bits, palette, pixels, path);
        ASSERT_TRUE(out.ok) << out.error;
        const uint32_t offset = 54 + k.palette_bytes;
        const int64_t target_stride = stride_for_depth(k.width, k.target_bits);
        ASSERT_EQ(out.bytes.size(), offset + target_stride * h);
        EXPECT_EQ(out.bytes[0], 'B');
        EXPECT_EQ(le32_at(out.bytes, 2), out.bytes.size());
        EXPECT_EQ(le32_at(out.bytes, 10), offset);
        EXPECT_EQ(le32_at(out.bytes, 14), 40u);
        EXPECT_EQ(le32_at(out.bytes, 34), 0u);  // image size
        EXPECT_EQ(le32_at(out.bytes, 38), 3780u);
        EXPECT_EQ(le32_at(out.bytes, 42), 3779u);
        EXPECT_EQ(le32_at(out.bytes, 46), k.palette_bytes / 4);

        Decoded d = decode_bytes(out.bytes);
        ASSERT_TRUE(d.ok);
        Owned own{d.image};
        const int64_t dst_stride = stride_for_depth(k.width, d.image.info.bit_count);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < k.width; ++x) {
                const uint8_t want = (x + y) % 2 ? 255 : 0;
                uint8_t got;
                if (d.image.info.bit_count == 8) {
                    got = d.image.palette[d.image.pixels[y * dst_stride + x]].red;
                } else {
                    got = d.image.pixels[y * dst_stride + 3 * x];
                }
                EXPECT_EQ(got, want) << x << "," << y;
            }
    }
}

TEST(BmpWrite, Failures) {
    std::vector<uint8_t> pixels(64);
    RgbQuad palette[256] = {};
    Written no_folder = write_image(2, 2, 24, 24, palette, pixels, scratch_path("missing/x.bmp"));
    EXPECT_FALSE(no_folder.ok);
    EXPECT_EQ(no_folder.error, kCodecCreateFailed);
    Written bad_depth = write_image(2, 2, 24, 16, palette, pixels, scratch_path("depth.bmp"));
    EXPECT_FALSE(bad_depth.ok);
    EXPECT_EQ(bad_depth.error, kCodecSaveFailed);
#ifndef _WIN32
    // Every write to this device fails: the writer must say so.
    Written full = write_image(2, 2, 24, 24, palette, pixels, u"/dev/full");
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.error, kCodecSaveFailed);
#endif
}

TEST(BmpPackedDib, RoundTripAndSizeChecks) {
    for (int bits : {8, 24}) {
        for (int32_t w : {1, 3, 6}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, width " << w);
            BmpContext c;
            init_bmp_context(&c, 0);
            c.conversion.width = w;
            c.conversion.height = 2;
            c.conversion.source_bits = bits;
            c.x_ppm = 100;
            RgbQuad palette[256];
            for (int i = 0; i < 256; ++i)
                palette[i] = {static_cast<uint8_t>(i), 1, static_cast<uint8_t>(255 - i), 0};
            const int64_t stride = stride_for_depth(w, bits);
            std::vector<uint8_t> pixels(stride * 2);
            for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13 + 5);
            const uint64_t size = packed_dib_size(&c.conversion);
            ASSERT_EQ(size, 40 + (bits == 8 ? 1024u : 0u) + pixels.size());
            std::vector<uint8_t> block(size);
            fill_packed_dib(&c, palette, pixels.data(), block.data());

            BmpContext r;
            init_bmp_context(&r, 0);
            bmp_reader_reset(&r);
            r.in_memory = 1;
            LoadedImage* image = parse_packed_dib(&r, block.data(), block.size());
            ASSERT_NE(image, nullptr) << r.error;
            Owned own{*image};
            EXPECT_EQ(image->info.bit_count, bits);
            EXPECT_EQ(image->info.x_pels_per_meter, 0);
            EXPECT_EQ(image->file_size, 54 + (bits == 8 ? 1024u : 0u) + pixels.size());
            EXPECT_EQ(std::memcmp(image->pixels, pixels.data(), pixels.size()), 0);
            if (bits == 8) {
                EXPECT_EQ(image->palette[7].red, 248);
            }
            bmp_reader_release(&r);

            // Any block shorter than header, palette and rows is refused.
            for (uint64_t n : {uint64_t{0}, uint64_t{39}, uint64_t{40}, size - 1}) {
                const std::vector<uint8_t> short_block(block.begin(),
                                                       block.begin() + static_cast<std::ptrdiff_t>(n));
                BmpContext s;
                init_bmp_context(&s, 0);
                bmp_reader_reset(&s);
                EXPECT_EQ(parse_packed_dib(&s, short_block.data(), n), nullptr) << n;
                EXPECT_NE(s.error, kCodecOk);
            }
        }
    }
}

TEST(BmpPackedDib, FieldsAndColourCounts) {
    // A 16-bit 565 block: masks right after the 40-byte header, rows after the masks.
    std::vector<uint8_t> block(40 + 12 + 4);
    put32(block, 0, 40);
    put32(block, 4, 2);
    put32(block, 8, 1);
    put16(block, 12, 1);
    put16(block, 14, 16);
    put32(block, 16, 3);
    put32(block, 40, 0xF800);
    put32(block, 44, 0x07E0);
    put32(block, 48, 0x001F);
    put16(block, 52, 0xF800);
    put16(block, 54, 0x001F);
    BmpContext c;
    init_bmp_context(&c, 0);
    bmp_reader_reset(&c);
    LoadedImage* image = parse_packed_dib(&c, block.data(), block.size());
    ASSERT_NE(image, nullptr);
    Owned own{*image};
    const uint8_t want[6] = {0, 0, 255, 255, 0, 0};
    EXPECT_EQ(std::memcmp(image->pixels, want, 6), 0);
    EXPECT_EQ(image->source_bits, 16);

    // A 4-bit block with a 3-entry colour table: the rows follow the three entries.
    std::vector<uint8_t> four(40 + 12 + 4);
    put32(four, 0, 40);
    put32(four, 4, 2);
    put32(four, 8, 1);
    put16(four, 12, 1);
    put16(four, 14, 4);
    put32(four, 32, 3);
    four[40 + 8 + 2] = 200;  // entry 2 red
    four[52] = 0x21;
    BmpContext f;
    init_bmp_context(&f, 0);
    bmp_reader_reset(&f);
    LoadedImage* indexed = parse_packed_dib(&f, four.data(), four.size());
    ASSERT_NE(indexed, nullptr) << f.error;
    Owned own4{*indexed};
    EXPECT_EQ(indexed->pixels[0], 2);
    EXPECT_EQ(indexed->pixels[1], 1);
    EXPECT_EQ(indexed->palette[2].red, 200);
}

}  // namespace
