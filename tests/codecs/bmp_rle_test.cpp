// Run-length (RLE4, RLE8) and top-down bitmaps: hand-built streams with their pixels worked
// out by hand, hostile runs and deltas, cut-short files, and top-down rows against the same
// image stored bottom-up.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "codecs/bmp/bmp.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Rows = std::vector<Bytes>;  // bottom-up, `width` indices each

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

RgbQuad palette_entry(uint32_t i) {
    return {static_cast<uint8_t>(i), static_cast<uint8_t>(i ^ 0x55), static_cast<uint8_t>(255 - i), 0};
}

// A file with a 40-byte header, `colours` palette entries and `body` as its pixel data.
Bytes make_file(int bits, int32_t width, int32_t height, uint32_t compression, const Bytes& body,
                uint32_t colours) {
    const uint32_t pixel_at = 54 + 4 * colours;
    Bytes b(pixel_at);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(pixel_at + body.size()));
    put32(b, 10, pixel_at);
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(width));
    put32(b, 22, static_cast<uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, static_cast<uint32_t>(bits));
    put32(b, 30, compression);
    put32(b, 34, static_cast<uint32_t>(body.size()));
    put32(b, 38, 3780);
    put32(b, 42, 2835);
    put32(b, 46, colours);
    for (uint32_t i = 0; i < colours; ++i) {
        const RgbQuad q = palette_entry(i);
        b[54 + 4 * i] = q.blue;
        b[54 + 4 * i + 1] = q.green;
        b[54 + 4 * i + 2] = q.red;
    }
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes make_rle(int bits, int32_t width, int32_t height, const Bytes& stream, int32_t colours = -1) {
    return make_file(bits, width, height, bits == 8 ? kBiRle8 : kBiRle4, stream,
                     colours < 0 ? (1u << bits) : static_cast<uint32_t>(colours));
}

struct Decoded {
    bool ok = false;
    int32_t error = 0;
    LoadedImage image = {};
    ~Decoded() { free_loaded_image(&image); }
};

// Decodes an exact-size copy, so the sanitizers see any read past the file.
void decode(const Bytes& file, Decoded* d, uint8_t in_memory = 1) {
    const Bytes copy(file);
    BmpContext c;
    init_bmp_context(&c, 0);
    bmp_reader_reset(&c);
    c.in_memory = in_memory;
    c.input = ByteCursor(copy.data(), copy.size());
    LoadedImage* image = decode_bmp_input(&c);
    d->ok = image != nullptr;
    d->error = c.error;
    if (image) d->image = *image;
    EXPECT_EQ(d->ok, c.error == kCodecOk);
    bmp_reader_release(&c);
}

// The decoded rows, padding included, must be the expected indices followed by zeros.
void expect_rows(const LoadedImage& image, const Rows& want) {
    const int32_t width = image.info.width;
    const int64_t stride = stride_for_depth(width, 8);
    ASSERT_EQ(image.info.bit_count, 8);
    ASSERT_EQ(image.info.height, static_cast<int32_t>(want.size()));
    for (size_t y = 0; y < want.size(); ++y) {
        ASSERT_EQ(want[y].size(), static_cast<size_t>(width));
        for (int64_t x = 0; x < stride; ++x) {
            const uint8_t expected = x < width ? want[y][static_cast<size_t>(x)] : 0;
            EXPECT_EQ(image.pixels[static_cast<int64_t>(y) * stride + x], expected)
                << "x " << x << ", row " << y;
        }
    }
}

struct StreamCase {
    const char* name;
    int bits;
    int32_t width;
    Bytes stream;
    Rows rows;  // bottom row first
};

// Each escape, padding rule and clipping rule, with the pixels worked out by hand.
// clang-format off
const StreamCase kStreams[] = {
    {"RLE8 runs, end of line, end of bitmap", 8, 3, {2, 7, 1, 9, 0, 0, 3, 4, 0, 0, 0, 1}, {{7, 7, 9}, {4, 4, 4}}},
    {"RLE8 odd absolute run is padded", 8, 5, {0, 3, 10, 11, 12, 0xEE, 2, 5, 0, 1}, {{10, 11, 12, 5, 5}}},
    {"RLE8 even absolute run is not padded", 8, 5, {0, 4, 1, 2, 3, 4, 1, 6, 0, 1}, {{1, 2, 3, 4, 6}}},
    {"RLE8 delta skips right and up, leaving index 0", 8, 4,
     {1, 5, 0, 2, 2, 1, 1, 6, 0, 0, 2, 8, 0, 1},
     {{5, 0, 0, 0}, {0, 0, 0, 6}, {8, 8, 0, 0}}},
    {"RLE8 delta up by two from mid-row", 8, 2, {1, 3, 0, 2, 0, 2, 1, 4, 0, 1}, {{3, 0}, {0, 0}, {0, 4}}},
    {"RLE8 early end of bitmap leaves the rest at 0", 8, 2, {2, 9, 0, 1, 2, 9}, {{9, 9}, {0, 0}, {0, 0}}},
    {"RLE8 missing end of bitmap", 8, 2, {2, 1, 0, 0, 1, 2}, {{1, 1}, {2, 0}}},
    {"RLE8 run longer than the row is clipped", 8, 3, {5, 1, 4, 2, 0, 0, 1, 3, 0, 1}, {{1, 1, 1}, {3, 0, 0}}},
    {"RLE8 absolute run longer than the row is clipped, its bytes skipped", 8, 2,
     {0, 5, 1, 2, 3, 4, 5, 0xEE, 0, 0, 1, 6, 0, 1},
     {{1, 2}, {6, 0}}},
    {"RLE8 delta past the right edge drops pixels until end of line", 8, 3,
     {1, 1, 0, 2, 200, 0, 2, 7, 0, 0, 1, 2, 0, 1},
     {{1, 0, 0}, {2, 0, 0}}},
    {"RLE8 delta past the top ends the image", 8, 2, {1, 1, 0, 2, 0, 200, 2, 5, 0, 1}, {{1, 0}, {0, 0}}},
    {"RLE8 data after the last row is ignored", 8, 2, {2, 1, 0, 0, 2, 2, 0, 0, 2, 3, 0, 1}, {{1, 1}, {2, 2}}},
    {"RLE8 width 1", 8, 1, {1, 4, 0, 0, 9, 5, 0, 0, 0, 3, 1, 2, 3, 0}, {{4}, {5}, {1}}},
    {"RLE4 runs alternate high and low nibbles", 4, 5, {5, 0x12, 0, 0, 2, 0x3F, 0, 1}, {{1, 2, 1, 2, 1}, {3, 15, 0, 0, 0}}},
    {"RLE4 absolute runs with and without padding", 4, 9,
     {0, 3, 0x12, 0x30, 0, 5, 0x45, 0x67, 0x8F, 0xEE, 1, 0xAB, 0, 1},
     {{1, 2, 3, 4, 5, 6, 7, 8, 0xA}}},
    {"RLE4 absolute run of an odd byte count is padded", 4, 6, {0, 6, 0x12, 0x34, 0x56, 0xEE, 0, 1}, {{1, 2, 3, 4, 5, 6}}},
    {"RLE4 run longer than the row is clipped", 4, 3, {9, 0x45, 0, 0, 0, 3, 0x78, 0x90, 0, 1}, {{4, 5, 4}, {7, 8, 9}}},
    {"RLE4 absolute run past the row, then end of line and delta", 4, 1,
     {0, 4, 0x12, 0x34, 0, 0, 0, 2, 0, 1, 1, 0x50, 0, 1},
     {{1}, {0}, {5}}},
    {"RLE4 width 1", 4, 1, {1, 0xF0, 0, 0, 3, 0x21, 0, 1}, {{15}, {2}}},
};
// clang-format on

TEST(BmpRle, StreamsDecodeToTheirPixels) {
    for (const StreamCase& k : kStreams) {
        SCOPED_TRACE(k.name);
        const Bytes file = make_rle(k.bits, k.width, static_cast<int32_t>(k.rows.size()), k.stream);
        for (uint8_t in_memory : {1, 0}) {
            Decoded d;
            decode(file, &d, in_memory);
            ASSERT_TRUE(d.ok) << d.error;
            EXPECT_EQ(d.image.bitmap != 0, in_memory == 0);
            EXPECT_EQ(d.image.source_bits, k.bits);
            EXPECT_EQ(d.image.format, 1);
            EXPECT_EQ(d.image.info.width, k.width);
            EXPECT_EQ(d.image.info.compression, kBiRgb);
            EXPECT_EQ(d.image.info.x_pels_per_meter, 3780);
            expect_rows(d.image, k.rows);
        }
    }
}

TEST(BmpRle, PaletteAsForUncompressedFiles) {
    struct Case {
        int bits;
        int32_t colours;  // stored entries; -1 for the full table
        uint32_t meaningful;
    };
    for (const Case& k : {Case{4, -1, 16}, Case{4, 5, 5}, Case{8, -1, 256}, Case{8, 3, 3}}) {
        SCOPED_TRACE(testing::Message() << k.bits << " bits, " << k.colours << " colours");
        Decoded d;
        decode(make_rle(k.bits, 2, 1, {2, 0x11, 0, 1}, k.colours), &d);
        ASSERT_TRUE(d.ok) << d.error;
        for (uint32_t i = 0; i < 256; ++i) {
            const RgbQuad want = i < k.meaningful ? palette_entry(i) : RgbQuad{};
            EXPECT_EQ(d.image.palette[i].blue, want.blue) << i;
            EXPECT_EQ(d.image.palette[i].green, want.green) << i;
            EXPECT_EQ(d.image.palette[i].red, want.red) << i;
        }
    }
}

// Streams that try to write outside the rows: long runs and deltas on every row, runs that
// start at the right edge, and deltas that walk off the top. Sizes with padding show writes
// past the width; the exact-size allocation shows writes past the last row.
TEST(BmpRle, HostileStreamsStayInsideTheImage) {
    Bytes storm;
    for (int i = 0; i < 40; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * 37 + 1);
        const Bytes step = {255, v, 0, 2, 255, 0, 0, 255, v, v, v, v, v, v, 0, 2, 3, 1, 0, 0};
        storm.insert(storm.end(), step.begin(), step.end());
    }
    for (int bits : {4, 8}) {
        for (int32_t width : {1, 2, 3, 5}) {
            for (int32_t height : {1, 2, 7}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, " << width << "x" << height);
                Decoded d;
                decode(make_rle(bits, width, height, storm), &d);
                ASSERT_TRUE(d.ok) << d.error;
                const int64_t stride = stride_for_depth(width, 8);
                for (int32_t y = 0; y < height; ++y)
                    for (int64_t x = width; x < stride; ++x) EXPECT_EQ(d.image.pixels[y * stride + x], 0);
            }
        }
    }
}

// The same bounds through the stream decoder alone, into a buffer with guard bytes around it.
TEST(BmpRle, DecoderWritesOnlyItsRows) {
    // A clipped run, then an absolute run of 255 pixels cut short after three bytes.
    const Bytes stream = {255, 9, 0, 0, 0, 255, 1, 2, 3};
    for (int bits : {4, 8}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const int32_t width = 3, height = 2;
        const int64_t stride = 4;
        Bytes buffer(static_cast<size_t>(stride * height + 32), 0xAA);
        uint8_t* rows = buffer.data() + 16;
        std::memset(rows, 0, static_cast<size_t>(stride * height));
        const Bytes exact(stream);
        decode_bmp_rle(exact.data(), exact.data() + exact.size(), bits, width, height, rows, stride);
        for (size_t i = 0; i < 16; ++i) {
            EXPECT_EQ(buffer[i], 0xAA) << i;
            EXPECT_EQ(buffer[buffer.size() - 1 - i], 0xAA) << i;
        }
        const Bytes want = bits == 8 ? Bytes{9, 9, 9, 0, 1, 2, 3, 0} : Bytes{0, 9, 0, 0, 0, 1, 0, 0};
        EXPECT_EQ(Bytes(rows, rows + 8), want);
    }
}

// A run-length file with every escape, cut at every length: a cut in the headers or palette
// fails; once the data has begun, what was decoded is kept and everything else is index 0.
TEST(BmpRle, TruncationSweep) {
    const Bytes streams[2] = {
        {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 2, 1, 0, 2, 0xC, 0, 0, 0, 4, 1, 2, 3, 4, 0, 0, 4, 9, 0, 1},
        {3, 0x7A, 0, 3, 0x12, 0x30, 0, 0, 0, 2, 1, 0, 2, 0xCD, 0, 0, 0, 4, 0x12, 0x34, 0, 0, 4, 0x9F, 0, 1},
    };
    int bits = 8;
    for (const Bytes& stream : streams) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const Bytes file = make_rle(bits, 5, 4, stream);
        const size_t pixel_at = file.size() - stream.size();
        Decoded whole;
        decode(file, &whole);
        ASSERT_TRUE(whole.ok);
        const int64_t bytes = stride_for_depth(5, 8) * 4;
        Bytes previous(static_cast<size_t>(bytes), 0);
        for (size_t n = 0; n < file.size(); ++n) {
            Decoded d;
            decode(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)), &d);
            if (n <= pixel_at) {
                EXPECT_FALSE(d.ok) << n << " bytes";
                EXPECT_NE(d.error, kCodecOk) << n << " bytes";
                continue;
            }
            ASSERT_TRUE(d.ok) << n << " bytes: " << d.error;
            // Every pixel is the whole file's or not yet written, and a longer cut loses
            // none of what a shorter one decoded.
            for (int64_t i = 0; i < bytes; ++i) {
                const uint8_t got = d.image.pixels[i];
                EXPECT_TRUE(got == whole.image.pixels[i] || got == 0) << n << " bytes, byte " << i;
                EXPECT_TRUE(previous[static_cast<size_t>(i)] == 0 || got == previous[static_cast<size_t>(i)])
                    << n << " bytes, byte " << i;
                previous[static_cast<size_t>(i)] = got;
            }
        }
        EXPECT_EQ(std::memcmp(previous.data(), whole.image.pixels, static_cast<size_t>(bytes)), 0);
        bits = 4;
    }
}

TEST(BmpRle, Refusals) {
    struct Case {
        const char* name;
        Bytes file;
        int32_t error;
    };
    const Bytes stream = {2, 1, 0, 1};
    Bytes offset_at_end = make_rle(8, 2, 1, stream);
    offset_at_end.resize(offset_at_end.size() - stream.size());
    Bytes offset_past_end = make_rle(8, 2, 1, stream);
    put32(offset_past_end, 10, static_cast<uint32_t>(offset_past_end.size() + 10));
    const Case cases[] = {
        {"RLE8 top-down", make_rle(8, 2, -1, stream), kCodecUnsupported},
        {"RLE4 top-down", make_rle(4, 2, -1, stream), kCodecUnsupported},
        {"RLE8 on a 4-bit file", make_file(4, 2, 1, kBiRle8, stream, 16), kCodecUnsupported},
        {"RLE4 on an 8-bit file", make_file(8, 2, 1, kBiRle4, stream, 256), kCodecUnsupported},
        {"RLE8 on a 1-bit file", make_file(1, 2, 1, kBiRle8, stream, 2), kCodecUnsupported},
        {"RLE8 height 0", make_rle(8, 2, 0, stream), kCodecUnsupported},
        {"RLE8 width 25001", make_rle(8, 25001, 1, stream), kCodecUnsupported},
        {"no data after the palette", offset_at_end, kCodecBadData},
        {"pixel offset past the end", offset_past_end, kCodecBadData},
    };
    for (const Case& k : cases) {
        Decoded d;
        decode(k.file, &d);
        EXPECT_FALSE(d.ok) << k.name;
        EXPECT_EQ(d.error, k.error) << k.name;
        EXPECT_EQ(d.image.pixels, nullptr) << k.name;
    }
}

TEST(BmpRle, DeltasReachTheTopRow) {
    // Only the stream's first pixel and the last row's first pixel are written.
    const Bytes stream = {1, 3, 0, 2, 0, 255, 0, 2, 0, 255, 1, 4, 0, 1};
    Decoded d;
    decode(make_rle(8, 7, 511, stream), &d);
    ASSERT_TRUE(d.ok) << d.error;
    const int64_t stride = stride_for_depth(7, 8);
    EXPECT_EQ(d.image.pixels[0], 3);
    EXPECT_EQ(d.image.pixels[510 * stride + 1], 4);
    EXPECT_EQ(d.image.pixels[510 * stride], 0);
}

// The clipboard keeps taking uncompressed bottom-up blocks only.
TEST(BmpRle, PackedBlocksStayUncompressedAndBottomUp) {
    for (auto [bits, compression, height] : {std::tuple<int, uint32_t, int32_t>{8, kBiRle8, 1},
                                             {4, kBiRle4, 1},
                                             {8, kBiRgb, -1},
                                             {24, kBiRgb, -1}}) {
        Bytes block(40 + 1024 + 16, 0);
        put32(block, 0, 40);
        put32(block, 4, 2);
        put32(block, 8, static_cast<uint32_t>(height));
        put16(block, 12, 1);
        put16(block, 14, static_cast<uint32_t>(bits));
        put32(block, 16, compression);
        block[block.size() - 4] = 2;
        block[block.size() - 2] = 0;
        block[block.size() - 1] = 1;
        BmpContext c;
        init_bmp_context(&c, 0);
        bmp_reader_reset(&c);
        c.in_memory = 1;
        EXPECT_EQ(parse_packed_dib(&c, block.data(), block.size()), nullptr) << bits << " " << compression;
        EXPECT_EQ(c.error, kCodecUnsupported);
        bmp_reader_release(&c);
    }
}

// An uncompressed file of the same image whichever the row order: image row y (bottom 0) holds
// bytes y * 41 + i * 13 + 3.
Bytes make_uncompressed(int bits, int32_t width, int32_t height, bool top_down) {
    const int64_t stride = ((static_cast<int64_t>(width) * bits + 31) / 32) * 4;
    Bytes body(static_cast<size_t>(stride * height));
    for (int32_t r = 0; r < height; ++r) {
        const int32_t image_row = top_down ? height - 1 - r : r;
        for (int64_t i = 0; i < stride; ++i)
            body[static_cast<size_t>(r * stride + i)] = static_cast<uint8_t>(image_row * 41 + i * 13 + 3);
    }
    return make_file(bits, width, top_down ? -height : height, kBiRgb, body, bits <= 8 ? (1u << bits) : 0);
}

TEST(BmpTopDown, DecodesLikeTheSameImageBottomUp) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (int32_t width : {1, 2, 3, 5}) {
            for (int32_t height : {1, 2, 3}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, " << width << "x" << height);
                Decoded bottom_up;
                decode(make_uncompressed(bits, width, height, false), &bottom_up);
                ASSERT_TRUE(bottom_up.ok) << bottom_up.error;
                for (uint8_t in_memory : {1, 0}) {
                    Decoded top_down;
                    decode(make_uncompressed(bits, width, height, true), &top_down, in_memory);
                    ASSERT_TRUE(top_down.ok) << top_down.error;
                    EXPECT_EQ(top_down.image.info.height, height);
                    EXPECT_EQ(top_down.image.info.bit_count, bottom_up.image.info.bit_count);
                    EXPECT_EQ(top_down.image.source_bits, bits);
                    const int64_t bytes = stride_for_depth(width, bottom_up.image.info.bit_count) * height;
                    EXPECT_EQ(std::memcmp(top_down.image.pixels, bottom_up.image.pixels,
                                          static_cast<size_t>(bytes)),
                              0);
                    EXPECT_EQ(std::memcmp(top_down.image.palette, bottom_up.image.palette,
                                          sizeof(bottom_up.image.palette)),
                              0);
                }
            }
        }
    }
}

TEST(BmpTopDown, HeightLimitsApplyToTheRowCount) {
    Decoded largest;
    decode(make_uncompressed(8, 1, 25000, true), &largest);
    ASSERT_TRUE(largest.ok) << largest.error;
    EXPECT_EQ(largest.image.info.height, 25000);
    // The file's first row is the image's top: the last bottom-up row.
    EXPECT_EQ(largest.image.pixels[4 * 24999], static_cast<uint8_t>(24999 * 41 + 3));

    for (uint32_t height : {0xFFFF9E57u /* -25001 */, 0x80000000u /* INT32_MIN */}) {
        Bytes file = make_uncompressed(24, 2, 1, true);
        put32(file, 22, height);
        Decoded d;
        decode(file, &d);
        EXPECT_FALSE(d.ok) << height;
        EXPECT_EQ(d.error, kCodecUnsupported) << height;
    }
}

// A top-down file cut anywhere is refused, as a bottom-up one is: its rows are all needed.
TEST(BmpTopDown, TruncationSweep) {
    for (int bits : {4, 24}) {
        const Bytes file = make_uncompressed(bits, 3, 3, true);
        for (size_t n = 0; n < file.size(); ++n) {
            Decoded d;
            decode(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)), &d);
            EXPECT_FALSE(d.ok) << bits << " bits, " << n << " bytes";
            EXPECT_NE(d.error, kCodecOk);
        }
    }
}

}  // namespace
