#include "codecs/tiff/tiff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Tag {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;  // SHORTs go into the low bytes (the first bytes of the field in either order)
    Bytes data;      // when set, stored after the IFD and `value` becomes its offset
};

// Builds a one-IFD TIFF in either byte order: header, IFD at 8, then the tags' data blocks,
// then the pixel data (whose offset is patched into StripOffsets when it is given as ~0).
struct TiffBuilder {
    bool little;
    std::vector<Tag> tags;
    Bytes pixels;

    void put16(Bytes* b, uint32_t v) const {
        if (little) {
            b->push_back(static_cast<uint8_t>(v));
            b->push_back(static_cast<uint8_t>(v >> 8));
        } else {
            b->push_back(static_cast<uint8_t>(v >> 8));
            b->push_back(static_cast<uint8_t>(v));
        }
    }
    void put32(Bytes* b, uint32_t v) const {
        if (little) {
            put16(b, v & 0xFFFF);
            put16(b, v >> 16);
        } else {
            put16(b, v >> 16);
            put16(b, v & 0xFFFF);
        }
    }
    Bytes shorts(std::initializer_list<uint32_t> values) const {
        Bytes b;
        for (uint32_t v : values) put16(&b, v);
        return b;
    }
    Bytes longs(std::initializer_list<uint32_t> values) const {
        Bytes b;
        for (uint32_t v : values) put32(&b, v);
        return b;
    }
    Bytes build() const {
        Bytes b = little ? Bytes{'I', 'I'} : Bytes{'M', 'M'};
        put16(&b, 42);
        put32(&b, 8);
        const uint32_t ifd_size = 2 + 12 * static_cast<uint32_t>(tags.size()) + 4;
        uint32_t data_at = 8 + ifd_size;
        Bytes data;
        for (const Tag& t : tags) data_at += static_cast<uint32_t>(t.data.size());
        const uint32_t pixels_at = data_at;
        data_at = 8 + ifd_size;
        put16(&b, static_cast<uint32_t>(tags.size()));
        for (const Tag& t : tags) {
            put16(&b, t.tag);
            put16(&b, t.type);
            put32(&b, t.count);
            uint32_t value = t.value == ~0u ? pixels_at : t.value;
            if (!t.data.empty()) {
                value = data_at;
                data_at += static_cast<uint32_t>(t.data.size());
                data.insert(data.end(), t.data.begin(), t.data.end());
            }
            if (t.type == 3 && t.count <= 2 && t.data.empty()) {
                put16(&b, value & 0xFFFF);
                put16(&b, value >> 16);
            } else {
                put32(&b, value);
            }
        }
        put32(&b, 0);
        b.insert(b.end(), data.begin(), data.end());
        b.insert(b.end(), pixels.begin(), pixels.end());
        return b;
    }
};

// A minimal image: width, height, bits, photometric, one strip with the pixels.
TiffBuilder basic(bool little, uint32_t width, uint32_t height, uint32_t bits, uint32_t photometric,
                  Bytes pixels) {
    TiffBuilder t{little, {}, std::move(pixels)};
    t.tags = {{256, 3, 1, width, {}},
              {257, 4, 1, height, {}},
              {258, 3, 1, bits, {}},
              {259, 3, 1, 1, {}},
              {262, 3, 1, photometric, {}},
              {273, 4, 1, ~0u, {}},
              {279, 4, 1, static_cast<uint32_t>(t.pixels.size()), {}}};
    return t;
}

TiffBuilder rgb(bool little, uint32_t width, uint32_t height, uint32_t bits, Bytes pixels) {
    TiffBuilder t = basic(little, width, height, 8, 2, std::move(pixels));
    t.tags[2] = {258, 3, 3, 0, t.shorts({bits, bits, bits})};
    t.tags.push_back({277, 3, 1, 3, {}});
    return t;
}

struct Decoded {
    std::unique_ptr<TiffContext> context = std::make_unique<TiffContext>();
    LoadedImage* image = nullptr;
    int32_t error = 0;

    const uint8_t* row(int y) const {  // y from the top
        const int bits = image->info.bit_count;
        const int stride = ((image->info.width * bits + 31) / 32) * 4;
        return image->pixels + static_cast<size_t>(image->info.height - 1 - y) * stride;
    }
    ~Decoded() {
        if (image) free_loaded_image(image);
        tiff_reader_release(context.get());
    }
};

void decode(const Bytes& file, Decoded* d) {
    init_codec_context(d->context.get(), 0);
    tiff_reader_reset(d->context.get());
    d->context->input = ByteCursor(file.data(), file.size());
    d->image = read_tiff_image(d->context.get());
    d->error = d->context->error;
}

TEST(TiffReader, BigEndianGreyHasTheRisingRamp) {
    const Bytes file = basic(false, 3, 2, 8, 1, {0, 10, 255, 1, 2, 3}).build();
    Decoded d;
    decode(file, &d);
    ASSERT_NE(d.image, nullptr) << d.error;
    EXPECT_EQ(d.image->info.bit_count, 8);
    EXPECT_EQ(d.image->format, 4);
    EXPECT_EQ(d.image->source_bits, 8);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(d.image->palette[i].green, i);
    EXPECT_EQ(d.row(0)[1], 10);
    EXPECT_EQ(d.row(1)[2], 3);
}

TEST(TiffReader, OneAndFourBitRowsStartOnWholeBytes) {
    // 10 pixels wide: each 1-bit row takes 2 bytes, each 4-bit row 5 bytes.
    const Bytes one = {0xA5, 0x40, 0x01, 0xC0};
    Decoded a;
    decode(basic(true, 10, 2, 1, 0, one).build(), &a);
    ASSERT_NE(a.image, nullptr) << a.error;
    EXPECT_EQ(a.image->palette[0].red, 255);  // white is zero
    EXPECT_EQ(a.image->palette[1].red, 0);
    const uint8_t row0[10] = {1, 0, 1, 0, 0, 1, 0, 1, 0, 1};
    const uint8_t row1[10] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
    EXPECT_EQ(std::memcmp(a.row(0), row0, 10), 0);
    EXPECT_EQ(std::memcmp(a.row(1), row1, 10), 0);

    const Bytes four = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23};
    Decoded b;
    decode(basic(true, 9, 2, 4, 1, four).build(), &b);
    ASSERT_NE(b.image, nullptr) << b.error;
    EXPECT_EQ(b.image->palette[1].blue, 17);
    const uint8_t r0[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t r1[9] = {0xA, 0xB, 0xC, 0xD, 0xE, 0xF, 0, 1, 2};
    EXPECT_EQ(std::memcmp(b.row(0), r0, 9), 0);
    EXPECT_EQ(std::memcmp(b.row(1), r1, 9), 0);
}

TEST(TiffReader, PaletteImageTakesTheHighBytesOfItsColourMap) {
    for (bool little : {true, false}) {
        TiffBuilder t = basic(little, 2, 1, 4, 3, {0x1F, 0x00});
        Bytes map;
        for (int channel = 0; channel < 3; ++channel)
            for (int i = 0; i < 16; ++i) {
                const Bytes v = t.shorts({static_cast<uint32_t>((i * 16 + channel) << 8 | 0x7F)});
                map.insert(map.end(), v.begin(), v.end());
            }
        t.tags.push_back({320, 3, 48, 0, map});
        Decoded d;
        decode(t.build(), &d);
        ASSERT_NE(d.image, nullptr) << d.error;
        EXPECT_EQ(d.image->palette[15].red, 240);
        EXPECT_EQ(d.image->palette[15].green, 241);
        EXPECT_EQ(d.image->palette[15].blue, 242);
        EXPECT_EQ(d.row(0)[0], 1);
        EXPECT_EQ(d.row(0)[1], 15);
    }
}

TEST(TiffReader, RgbSamplesOfBothDepthsAndOrders) {
    struct Case {
        const char* name;
        bool little;
        uint32_t bits;
        Bytes pixels;
    };
    const Case cases[] = {
        {"ii_8", true, 8, {10, 20, 30}},
        {"mm_8", false, 8, {10, 20, 30}},
        {"ii_16", true, 16, {0xFF, 10, 0xEE, 20, 0xDD, 30}},
        {"mm_16", false, 16, {10, 0xFF, 20, 0xEE, 30, 0xDD}},
    };
    for (const Case& c : cases) {
        Decoded d;
        decode(rgb(c.little, 1, 1, c.bits, c.pixels).build(), &d);
        ASSERT_NE(d.image, nullptr) << c.name << " " << d.error;
        EXPECT_EQ(d.image->info.bit_count, 24) << c.name;
        EXPECT_EQ(d.image->source_bits, static_cast<int>(3 * c.bits)) << c.name;
        EXPECT_EQ(d.row(0)[0], 30) << c.name;  // blue, green, red
        EXPECT_EQ(d.row(0)[1], 20) << c.name;
        EXPECT_EQ(d.row(0)[2], 10) << c.name;
    }
}

TEST(TiffReader, RefusesWhatItDoesNotReadWithTheirCodes) {
    struct Case {
        const char* name;
        Bytes file;
        int32_t error;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, TiffBuilder t, int32_t error) {
        cases.push_back({name, t.build(), error});
    };
    TiffBuilder t = rgb(true, 1, 1, 8, {1, 2, 3});
    t.tags[2].data = t.shorts({8, 8, 16});
    add("bits_8_8_16", t, kCodecUnsupported);
    t = basic(true, 1, 1, 8, 2, {1, 2, 3, 4});
    t.tags[2] = {258, 3, 4, 0, t.shorts({8, 8, 8, 8})};
    add("rgba", t, kCodecUnsupported);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags[3].value = 5;
    add("lzw", t, kCodecUnsupported);
    t = rgb(true, 1, 1, 8, {1, 2, 3});
    t.tags.push_back({284, 3, 1, 2, {}});
    add("planar", t, kCodecUnsupported);
    t = basic(true, 1, 1, 8, 1, {1, 2});
    t.tags.push_back({277, 3, 1, 2, {}});
    add("grey_with_alpha", t, kCodecUnsupported);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags.erase(t.tags.begin() + 4);
    add("no_photometric", t, kCodecUnsupported);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags.push_back({322, 3, 1, 16, {}});
    t.tags.push_back({324, 4, 1, 8, {}});
    add("tiled", t, kCodecUnsupported);
    add("palette_without_map", basic(true, 1, 1, 8, 3, {1}), kCodecUnsupported);
    add("cmyk", basic(true, 1, 1, 8, 5, {1}), kCodecUnsupported);
    add("grey_16", basic(true, 1, 1, 16, 1, {1, 2}), kCodecUnsupported);
    add("width_0", basic(true, 0, 1, 8, 1, {1}), kCodecBadData);
    add("width_25001", basic(true, 25001, 1, 8, 1, {1}), kCodecUnsupported);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags[0].type = 5;
    add("width_rational", t, kCodecBadData);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags[6].count = 2;
    t.tags[6].data = t.longs({1, 1});
    add("unequal_strip_counts", t, kCodecBadData);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags.push_back({273, 4, 1, 8, {}});
    add("second_strip_offsets", t, kCodecBadData);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags[6].value = 2;
    add("strip_past_end", t, kCodecReadFailed);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags[5].value = 0xFFFFFFFF;
    t.tags[6].value = 2;
    add("strip_offset_wraps", t, kCodecReadFailed);
    t = basic(true, 1, 1, 8, 1, {1});
    t.tags[5].count = 0x40000000;
    add("strip_table_past_end", t, kCodecBadData);
    t = basic(true, 2, 1, 4, 3, {1});
    t.tags.push_back({320, 3, 48, 4000, {}});
    add("colour_map_past_end", t, kCodecReadFailed);
    cases.push_back({"not_tiff", {'I', 'M', 42, 0, 8, 0, 0, 0}, kCodecBadData});
    cases.push_back({"magic_43", {'I', 'I', 43, 0, 8, 0, 0, 0}, kCodecBadData});
    cases.push_back({"ifd_past_end", {'I', 'I', 42, 0, 9, 0, 0, 0}, kCodecBadData});
    cases.push_back({"ifd_truncated", {'I', 'I', 42, 0, 8, 0, 0, 0, 3, 0, 0}, kCodecBadData});
    for (const Case& c : cases) {
        Decoded d;
        decode(c.file, &d);
        EXPECT_EQ(d.image, nullptr) << c.name;
        EXPECT_EQ(d.error, c.error) << c.name;
    }
}

TEST(TiffReader, StripsAreJoinedInTableOrderAndShortOnesLeaveZeros) {
    // Two SHORT strips fit the entry's own value field.
    TiffBuilder t = basic(true, 2, 3, 8, 1, {5, 6, 1, 2, 3, 4});
    const uint32_t first = 8 + 2 + 12 * 7 + 4;
    t.tags[5] = {273, 3, 2, (first + 2) | (first << 16), {}};
    t.tags[6] = {279, 3, 2, 4 | (1 << 16), {}};
    Decoded d;
    decode(t.build(), &d);
    ASSERT_NE(d.image, nullptr) << d.error;
    const uint8_t expected[3][2] = {{1, 2}, {3, 4}, {5, 0}};
    for (int y = 0; y < 3; ++y) EXPECT_EQ(std::memcmp(d.row(y), expected[y], 2), 0) << y;
}

TEST(TiffReader, ResolutionFollowsItsUnit) {
    struct Case {
        const char* name;
        uint32_t unit;  // 0: no unit entry
        bool with_x;
        uint32_t numerator, denominator;
        int32_t expected;
    };
    const Case cases[] = {
        {"dpi_300", 0, true, 300, 1, 11811},      {"per_cm", 3, true, 120, 1, 12000},
        {"half_dpi", 2, true, 145, 2, 2854},      {"no_x", 2, false, 300, 1, 0},
        {"zero_denominator", 2, true, 300, 0, 0}, {"no_unit_kind", 1, true, 300, 1, 0},
    };
    for (const Case& c : cases) {
        TiffBuilder t = basic(true, 1, 1, 8, 1, {1});
        if (c.with_x) t.tags.push_back({282, 5, 1, 0, t.longs({c.numerator, c.denominator})});
        t.tags.push_back({283, 5, 1, 0, t.longs({c.numerator, c.denominator})});
        if (c.unit) t.tags.push_back({296, 3, 1, c.unit, {}});
        Decoded d;
        decode(t.build(), &d);
        ASSERT_NE(d.image, nullptr) << c.name;
        EXPECT_EQ(d.image->info.x_pels_per_meter, c.expected) << c.name;
        EXPECT_EQ(d.image->info.y_pels_per_meter, c.expected) << c.name;
    }
}

TEST(TiffReader, EveryPrefixFailsCleanly) {
    TiffBuilder t = rgb(false, 2, 2, 16, Bytes(24, 7));
    t.tags.push_back({282, 5, 1, 0, t.longs({72, 1})});
    t.tags.push_back({283, 5, 1, 0, t.longs({72, 1})});
    const Bytes file = t.build();
    for (size_t n = 0; n + 1 < file.size(); ++n) {
        Decoded d;
        decode(Bytes(file.begin(), file.begin() + static_cast<long>(n)), &d);
        EXPECT_EQ(d.image, nullptr) << n;
        EXPECT_NE(d.error, 0) << n;
    }
}

// Writer.

struct Written {
    Bytes file;
    bool ok = false;
    int32_t error = 0;
};

Written write(int width, int height, int source_bits, int target_bits, const Bytes& source,
              const RgbQuad* palette, bool grey = false, int ppm = 0) {
    TiffWriterContext c;
    init_codec_context(&c, 0);
    tiff_writer_reset(&c);
    c.conversion.width = width;
    c.conversion.height = height;
    c.conversion.source_bits = source_bits;
    c.conversion.target_bits = target_bits;
    c.conversion.dither_mode = kDitherNone;
    c.state.grey = grey;
    c.state.x_pixels_per_metre = ppm;
    c.state.y_pixels_per_metre = ppm;
    const std::u16string path = scratch_path("w.tif");
    Written w;
    w.ok = write_tiff_file(path, &c, const_cast<RgbQuad*>(palette), source.data());
    w.error = c.error;
    tiff_writer_release(&c);
    read_bytes(path, &w.file);
    return w;
}

uint32_t le32_at(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t le16_at(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

TEST(TiffWriter, LayoutsByTargetDepth) {
    RgbQuad palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7, 0};
    struct Case {
        const char* name;
        int source_bits, target_bits;
        bool grey;
        uint16_t entries;
        uint32_t strip, strip_size, file_size;
    };
    // 3 x 2 images; 8-bit sources have rows of 4 bytes, 24-bit ones 12.
    const Case cases[] = {
        {"grey_1", 8, 1, false, 11, 162, 2, 164},
        {"grey_8", 8, 8, true, 11, 162, 6, 168},
        {"palette_8", 8, 8, false, 12, 1710, 6, 1716},
        {"rgb_24", 24, 24, false, 12, 180, 18, 198},
    };
    for (const Case& c : cases) {
        const Bytes source(c.source_bits == 24 ? 24 : 8, 200);
        const Written w = write(3, 2, c.source_bits, c.target_bits, source, palette, c.grey);
        ASSERT_TRUE(w.ok) << c.name << " " << w.error;
        EXPECT_EQ(le16_at(w.file, 8), c.entries) << c.name;
        EXPECT_EQ(w.file.size(), c.file_size) << c.name;
        // StripOffsets is the sixth entry, StripByteCounts the eighth or ninth.
        EXPECT_EQ(le16_at(w.file, 10 + 5 * 12), 273) << c.name;
        EXPECT_EQ(le32_at(w.file, 10 + 5 * 12 + 8), c.strip) << c.name;
        const size_t counts = 10 + (c.target_bits == 24 ? 8 : 7) * 12;
        EXPECT_EQ(le16_at(w.file, counts), 279) << c.name;
        EXPECT_EQ(le32_at(w.file, counts + 8), c.strip_size) << c.name;
    }
}

TEST(TiffWriter, ResolutionIsWrittenAsDotsPerInch) {
    const Bytes source(16, 1);  // two rows of 6 bytes padded to 8
    const Written w = write(2, 2, 24, 24, source, nullptr, false, 2835);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.file.size(), 192u);
    EXPECT_EQ(le32_at(w.file, 164), 720090u);
    EXPECT_EQ(le32_at(w.file, 168), 10000u);
    EXPECT_EQ(le32_at(w.file, 172), 720090u);
}

TEST(TiffWriter, RoundTripsThroughTheReader) {
    RgbQuad palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = {static_cast<uint8_t>(3 * i), static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 0};
    for (int width : {1, 2, 3, 5, 10}) {
        const int height = 3;
        const int stride8 = (width + 3) & ~3, stride24 = (3 * width + 3) & ~3;
        Bytes eight(static_cast<size_t>(stride8 * height)), bgr(static_cast<size_t>(stride24 * height));
        for (size_t i = 0; i < eight.size(); ++i) eight[i] = static_cast<uint8_t>(i * 37);
        for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>(i * 11 + 1);
        // 24-bit
        Written w = write(width, height, 24, 24, bgr, nullptr);
        ASSERT_TRUE(w.ok);
        Decoded d;
        decode(w.file, &d);
        ASSERT_NE(d.image, nullptr);
        for (int y = 0; y < height; ++y)
            EXPECT_EQ(std::memcmp(d.row(y), &bgr[static_cast<size_t>((height - 1 - y) * stride24)],
                                  static_cast<size_t>(3 * width)),
                      0);
        // 8-bit palette
        w = write(width, height, 8, 8, eight, palette);
        ASSERT_TRUE(w.ok);
        Decoded p;
        decode(w.file, &p);
        ASSERT_NE(p.image, nullptr);
        EXPECT_EQ(p.image->palette[100].blue, 44);
        for (int y = 0; y < height; ++y)
            EXPECT_EQ(std::memcmp(p.row(y), &eight[static_cast<size_t>((height - 1 - y) * stride8)],
                                  static_cast<size_t>(width)),
                      0);
        // 1-bit from a black and white source
        RgbQuad bw[256] = {};
        bw[1] = {255, 255, 255, 0};
        Bytes mono(eight.size());
        for (size_t i = 0; i < mono.size(); ++i) mono[i] = (i * 7 / 3) & 1;
        w = write(width, height, 8, 1, mono, bw);
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(le32_at(w.file, 10 + 7 * 12 + 8), static_cast<uint32_t>((width + 7) / 8 * height));
        Decoded m;
        decode(w.file, &m);
        ASSERT_NE(m.image, nullptr);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(m.image->palette[m.row(y)[x]].red,
                          mono[static_cast<size_t>((height - 1 - y) * stride8 + x)] ? 255 : 0);
    }
}

TEST(TiffWriter, SixteenBitSamplesKeepTheirOrderAndReadBackAsHighBytes) {
    // One pixel: blue 0x1122, green 0x3344, red 0x5566, little-endian.
    const Bytes source = {0x22, 0x11, 0x44, 0x33, 0x66, 0x55, 0, 0};
    const Written w = write(1, 1, 48, 48, source, nullptr);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(le16_at(w.file, 158), 16);
    const Bytes strip(w.file.begin() + 180, w.file.end());
    EXPECT_EQ(strip, (Bytes{0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
    Decoded d;
    decode(w.file, &d);
    ASSERT_NE(d.image, nullptr);
    EXPECT_EQ(d.row(0)[0], 0x11);
    EXPECT_EQ(d.row(0)[2], 0x55);
}

TEST(TiffWriter, RefusesUnsupportedTargetsAndReportsFailedFiles) {
    const Bytes source(16, 0);
    RgbQuad palette[256] = {};
    struct Case {
        const char* name;
        int source_bits, target_bits;
        int32_t error;
    };
    const Case cases[] = {{"target_2", 8, 2, kCodecCreateFailed},
                          {"target_16", 24, 16, kCodecCreateFailed},
                          {"rgb_from_4", 4, 24, kCodecSaveFailed},
                          {"rgb48_from_24", 24, 48, kCodecSaveFailed}};
    for (const Case& c : cases) {
        const Written w = write(2, 2, c.source_bits, c.target_bits, source, palette);
        EXPECT_FALSE(w.ok) << c.name;
        EXPECT_EQ(w.error, c.error) << c.name;
    }
    TiffWriterContext ctx;
    init_codec_context(&ctx, 0);
    ctx.conversion.width = ctx.conversion.height = 1;
    ctx.conversion.source_bits = ctx.conversion.target_bits = 24;
    EXPECT_FALSE(write_tiff_file(scratch_path("missing-folder/x.tif"), &ctx, palette, source.data()));
    EXPECT_EQ(ctx.error, kCodecCreateFailed);
    tiff_writer_release(&ctx);
}

TEST(TiffWriter, BothReleasesCloseTheOutputOfASharedContext) {
    for (auto release : {&tiff_writer_release, &tiff_writer_release_global}) {
        TiffWriterContext c;
        init_codec_context(&c, 1);
        tiff_writer_reset(&c);
        c.conversion.width = c.conversion.height = 1;
        c.conversion.source_bits = c.conversion.target_bits = 24;
        const uint8_t pixel[4] = {1, 2, 3, 0};
        ASSERT_TRUE(write_tiff_file(scratch_path("shared.tif"), &c, nullptr, pixel));
        EXPECT_TRUE(c.output_file.is_open());
        release(&c);
        EXPECT_FALSE(c.output_file.is_open());
    }
}

}  // namespace
