// Run-length (RLE4, RLE8) and top-down bitmaps are refused with error 2, from files and from
// the clipboard: streams using every escape, hostile runs and deltas, cut-short files and
// top-down rows of every depth never load, allocate or read past their bytes.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "codecs/bmp/bmp.h"

namespace {

using Bytes = std::vector<uint8_t>;

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

// The refusal happens before any pixel is allocated: nothing is left to free.
void expect_refused(const Bytes& file, int32_t error = kCodecUnsupported) {
    for (uint8_t in_memory : {1, 0}) {
        Decoded d;
        decode(file, &d, in_memory);
        EXPECT_FALSE(d.ok) << "in-memory " << int{in_memory};
        EXPECT_EQ(d.error, error) << "in-memory " << int{in_memory};
        EXPECT_EQ(d.image.pixels, nullptr);
        EXPECT_EQ(d.image.bitmap, 0);
    }
}

struct StreamCase {
    const char* name;
    int bits;
    int32_t width;
    int32_t height;
    Bytes stream;
};

// Streams with each escape, padding rule and clipping case a decoder would meet.
// clang-format off
const StreamCase kStreams[] = {
    {"RLE8 runs, end of line, end of bitmap", 8, 3, 2, {2, 7, 1, 9, 0, 0, 3, 4, 0, 0, 0, 1}},
    {"RLE8 odd absolute run", 8, 5, 1, {0, 3, 10, 11, 12, 0xEE, 2, 5, 0, 1}},
    {"RLE8 even absolute run", 8, 5, 1, {0, 4, 1, 2, 3, 4, 1, 6, 0, 1}},
    {"RLE8 delta right and up", 8, 4, 3, {1, 5, 0, 2, 2, 1, 1, 6, 0, 0, 2, 8, 0, 1}},
    {"RLE8 early end of bitmap", 8, 2, 3, {2, 9, 0, 1, 2, 9}},
    {"RLE8 missing end of bitmap", 8, 2, 2, {2, 1, 0, 0, 1, 2}},
    {"RLE8 run longer than the row", 8, 3, 2, {5, 1, 4, 2, 0, 0, 1, 3, 0, 1}},
    {"RLE8 delta past the right edge", 8, 3, 2, {1, 1, 0, 2, 200, 0, 2, 7, 0, 0, 1, 2, 0, 1}},
    {"RLE8 delta past the top", 8, 2, 2, {1, 1, 0, 2, 0, 200, 2, 5, 0, 1}},
    {"RLE8 width 1", 8, 1, 3, {1, 4, 0, 0, 9, 5, 0, 0, 0, 3, 1, 2, 3, 0}},
    {"RLE4 runs", 4, 5, 2, {5, 0x12, 0, 0, 2, 0x3F, 0, 1}},
    {"RLE4 absolute runs", 4, 9, 1, {0, 3, 0x12, 0x30, 0, 5, 0x45, 0x67, 0x8F, 0xEE, 1, 0xAB, 0, 1}},
    {"RLE4 run longer than the row", 4, 3, 2, {9, 0x45, 0, 0, 0, 3, 0x78, 0x90, 0, 1}},
    {"RLE4 width 1", 4, 1, 2, {1, 0xF0, 0, 0, 3, 0x21, 0, 1}},
};
// clang-format on

TEST(BmpRle, EveryStreamIsRefused) {
    for (const StreamCase& k : kStreams) {
        SCOPED_TRACE(k.name);
        expect_refused(make_rle(k.bits, k.width, k.height, k.stream));
    }
}

// The refusal does not depend on the colour table: full, short or absent.
TEST(BmpRle, RefusedWhateverThePalette) {
    for (int bits : {4, 8}) {
        for (int32_t colours : {-1, 0, 3}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << colours << " colours");
            expect_refused(make_rle(bits, 2, 1, {2, 0x11, 0, 1}, colours));
        }
    }
}

// Streams that would write outside the rows of a decoder are refused before any row exists.
TEST(BmpRle, HostileStreamsAreRefused) {
    Bytes storm;
    for (int i = 0; i < 40; ++i) {
        const uint8_t v = static_cast<uint8_t>(i * 37 + 1);
        const Bytes step = {255, v, 0, 2, 255, 0, 0, 255, v, v, v, v, v, v, 0, 2, 3, 1, 0, 0};
        storm.insert(storm.end(), step.begin(), step.end());
    }
    for (int bits : {4, 8})
        for (int32_t width : {1, 3})
            for (int32_t height : {1, 511}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, " << width << "x" << height);
                expect_refused(make_rle(bits, width, height, storm));
            }
}

// A run-length file cut at every length: a cut in the 54 header bytes is malformed data (6),
// anything longer is refused for its compression (2).
TEST(BmpRle, TruncationSweep) {
    const Bytes streams[2] = {
        {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 2, 1, 0, 2, 0xC, 0, 0, 0, 4, 1, 2, 3, 4, 0, 0, 4, 9, 0, 1},
        {3, 0x7A, 0, 3, 0x12, 0x30, 0, 0, 0, 2, 1, 0, 2, 0xCD, 0, 0, 0, 4, 0x12, 0x34, 0, 0, 4, 0x9F, 0, 1},
    };
    int bits = 8;
    for (const Bytes& stream : streams) {
        const Bytes file = make_rle(bits, 5, 4, stream);
        for (size_t n = 0; n <= file.size(); ++n) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << n << " bytes");
            Decoded d;
            decode(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)), &d);
            EXPECT_FALSE(d.ok);
            EXPECT_EQ(d.error, n < 54 ? kCodecBadData : kCodecUnsupported);
        }
        bits = 4;
    }
}

TEST(BmpRle, Refusals) {
    struct Case {
        const char* name;
        Bytes file;
    };
    const Bytes stream = {2, 1, 0, 1};
    Bytes offset_at_end = make_rle(8, 2, 1, stream);
    offset_at_end.resize(offset_at_end.size() - stream.size());
    Bytes offset_past_end = make_rle(8, 2, 1, stream);
    put32(offset_past_end, 10, static_cast<uint32_t>(offset_past_end.size() + 10));
    const Case cases[] = {
        {"RLE8 top-down", make_rle(8, 2, -1, stream)},
        {"RLE4 top-down", make_rle(4, 2, -1, stream)},
        {"RLE8 on a 4-bit file", make_file(4, 2, 1, kBiRle8, stream, 16)},
        {"RLE4 on an 8-bit file", make_file(8, 2, 1, kBiRle4, stream, 256)},
        {"RLE8 on a 1-bit file", make_file(1, 2, 1, kBiRle8, stream, 2)},
        {"RLE8 on a 24-bit file", make_file(24, 2, 1, kBiRle8, stream, 0)},
        {"RLE8 height 0", make_rle(8, 2, 0, stream)},
        {"RLE8 width 25001", make_rle(8, 25001, 1, stream)},
        {"no data after the palette", offset_at_end},
        {"pixel offset past the end", offset_past_end},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        expect_refused(k.file);
    }
}

// The clipboard takes uncompressed bottom-up blocks only.
TEST(BmpRle, PackedBlocksStayUncompressedAndBottomUp) {
    for (auto [bits, compression, height] : {std::tuple<int, uint32_t, int32_t>{8, kBiRle8, 1},
                                             {4, kBiRle4, 1},
                                             {8, kBiRgb, -1},
                                             {4, kBiRgb, -1},
                                             {1, kBiRgb, -1},
                                             {24, kBiRgb, -1},
                                             {16, kBiRgb, -1},
                                             {32, kBiRgb, -1}}) {
        Bytes block(40 + 1024 + 64, 0);
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
        EXPECT_EQ(c.loaded.pixels, nullptr);
        bmp_reader_release(&c);
    }
}

// An uncompressed file whose rows are stored top first (negative height).
Bytes make_top_down(int bits, int32_t width, int32_t height) {
    const int64_t stride = ((static_cast<int64_t>(width) * bits + 31) / 32) * 4;
    Bytes body(static_cast<size_t>(stride * height));
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 13 + 3);
    return make_file(bits, width, -height, kBiRgb, body, bits <= 8 ? (1u << bits) : 0);
}

TEST(BmpTopDown, RefusedAtEveryDepth) {
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (int32_t width : {1, 3})
            for (int32_t height : {1, 2, 25000}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, " << width << "x-" << height);
                expect_refused(make_top_down(bits, width, height));
            }
}

TEST(BmpTopDown, EveryNegativeHeightIsRefused) {
    for (uint32_t height : {0xFFFFFFFFu /* -1 */, 0xFFFF9E58u /* -25000 */, 0xFFFF9E57u /* -25001 */,
                            0x80000000u /* INT32_MIN */}) {
        Bytes file = make_top_down(24, 2, 1);
        put32(file, 22, height);
        SCOPED_TRACE(height);
        expect_refused(file);
    }
}

// A top-down file cut anywhere after its header is still refused for its row order, never
// loaded with zero rows as a cut bottom-up file is.
TEST(BmpTopDown, TruncationSweep) {
    for (int bits : {4, 24}) {
        const Bytes file = make_top_down(bits, 3, 3);
        for (size_t n = 0; n <= file.size(); ++n) {
            Decoded d;
            decode(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)), &d);
            EXPECT_FALSE(d.ok) << bits << " bits, " << n << " bytes";
            EXPECT_EQ(d.error, n < 54 ? kCodecBadData : kCodecUnsupported)
                << bits << " bits, " << n << " bytes";
        }
    }
}

}  // namespace
