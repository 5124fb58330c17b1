#include <gtest/gtest.h>

#include <cstdio>

#include "codecs/file_io.h"
#include "tests/codecs/png_fixtures.h"

namespace {

// A bottom-up source image with its palette.
struct Source {
    int32_t width = 0, height = 0, bits = 0;
    Bytes pixels;
    RgbQuad palette[256] = {};

    int64_t stride() const { return stride_for_depth(width, bits); }
    RgbQuad at(int32_t x, int32_t y) const {  // y from the top
        const uint8_t* row = pixels.data() + (height - 1 - y) * stride();
        if (bits == 8) return palette[row[x]];
        if (bits == 1) return palette[(row[x / 8] >> (7 - x % 8)) & 1];
        return RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
    }
};

Source colour_source(int32_t w, int32_t h) {
    Source s;
    s.width = w;
    s.height = h;
    s.bits = 24;
    s.pixels.assign(static_cast<size_t>(s.stride() * h), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = s.pixels.data() + y * s.stride() + 3 * x;
            p[0] = static_cast<uint8_t>(x * 37 + y * 11);
            p[1] = static_cast<uint8_t>(x * 5 + y * 70);
            p[2] = static_cast<uint8_t>(200 - x * 3 - y);
        }
    return s;
}

Source palette_source(int32_t w, int32_t h, int colours) {
    Source s;
    s.width = w;
    s.height = h;
    s.bits = 8;
    s.pixels.assign(static_cast<size_t>(s.stride() * h), 0);
    for (int i = 0; i < colours; ++i)
        s.palette[i] = RgbQuad{static_cast<uint8_t>(i * 40), static_cast<uint8_t>(255 - i * 30),
                               static_cast<uint8_t>(i * 9 + 1), 0};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            s.pixels[y * s.stride() + x] = static_cast<uint8_t>((x + 2 * y) % colours);
    return s;
}

struct WriteOptions {
    int32_t target_bits = 24;
    uint8_t grey = 0;
    uint8_t interlace = 0;
    int32_t filter_mode = 0;
    int32_t level = 9;
    uint32_t gamma = 0;
    const uint8_t* transparent = nullptr;
    int32_t x_res = 0, y_res = 0;
    const char* comment = nullptr;
};

struct Written {
    bool ok = false;
    int32_t error = 0;
    std::u16string path;
    Bytes bytes;
    Bytes filter_types;  // of every filtered row, from the writer's buffer
};

Written write_source(Source& s, const WriteOptions& o, const std::u16string& target = u"") {
    static int serial = 0;
    Written w;
    w.path = target.empty() ? scratch_path("pngw_" + std::to_string(++serial) + ".png") : target;
    PngWriterContext c;
    init_codec_context(&c, 0);
    png_build_crc_table(&c);
    png_writer_reset(&c);
    c.conversion.width = s.width;
    c.conversion.height = s.height;
    c.conversion.source_bits = s.bits;
    c.conversion.target_bits = o.target_bits;
    c.conversion.dither_mode = kDitherNone;
    compute_row_sizes(&c.conversion);
    c.state.grey = o.grey;
    c.state.interlace = o.interlace;
    c.settings.filter_mode = o.filter_mode;
    c.settings.level = o.level;
    c.settings.gamma = o.gamma;
    c.settings.transparent = o.transparent ? 1 : 0;
    c.transparent_colour = o.transparent;
    c.settings.horizontal_resolution = o.x_res;
    c.settings.vertical_resolution = o.y_res;
    c.settings.comment = o.comment;
    w.ok = write_png_file(w.path, &c, s.palette, s.pixels.data());
    w.error = c.error;
    if (w.ok && c.filtered_data) {
        // Walk the filtered rows to collect their type bytes.
        uint64_t offset = 0;
        auto take_rows = [&](int32_t row_bytes, int32_t rows) {
            for (int32_t r = 0; r < rows; ++r, offset += row_bytes)
                w.filter_types.push_back(c.filtered_data[offset]);
        };
        if (!o.interlace) {
            take_rows(static_cast<int32_t>(png_row_bytes(&c, s.width)), s.height);
        } else {
            for (int p = 0; p < 7; ++p)
                if (c.pass_row_bytes[p]) take_rows(c.pass_row_bytes[p], c.pass_rows[p]);
        }
    }
    png_writer_release(&c);
    if (w.path != u"/dev/full") read_bytes(w.path, &w.bytes);
    return w;
}

// The data of the first chunk of a type, or empty with found false.
Bytes chunk_data(const Bytes& file, const char* type, bool* found = nullptr) {
    size_t pos = 8;
    while (pos + 12 <= file.size()) {
        const uint32_t n = (uint32_t(file[pos]) << 24) | (uint32_t(file[pos + 1]) << 16) |
                           (uint32_t(file[pos + 2]) << 8) | file[pos + 3];
        if (std::memcmp(&file[pos + 4], type, 4) == 0) {
            if (found) *found = true;
            return Bytes(file.begin() + pos + 8, file.begin() + pos + 8 + n);
        }
        pos += 12 + n;
    }
    if (found) *found = false;
    return {};
}

int count_chunks(const Bytes& file, const char* type) {
    int n = 0;
    size_t pos = 8;
    while (pos + 12 <= file.size()) {
        const uint32_t len = (uint32_t(file[pos]) << 24) | (uint32_t(file[pos + 1]) << 16) |
                             (uint32_t(file[pos + 2]) << 8) | file[pos + 3];
        if (std::memcmp(&file[pos + 4], type, 4) == 0) ++n;
        pos += 12 + len;
    }
    return n;
}

struct RoundTrip {
    const char* name;
    int source_bits;
    int target_bits;
    uint8_t grey;
};

TEST(PngWriter, RoundTripsEveryLayoutInterlaceAndFilter) {
    const RoundTrip kinds[] = {
        {"rgb", 24, 24, 0},    {"palette8", 8, 8, 0},           {"palette4", 8, 4, 0},
        {"palette2", 8, 2, 0}, {"palette8_from_rgb", 24, 8, 0}, {"grey8", 24, 8, 1},
    };
    const int32_t sizes[][2] = {{1, 1}, {2, 3}, {3, 7}, {5, 2}, {9, 9}};
    for (const RoundTrip& k : kinds) {
        for (const auto& size : sizes) {
            for (uint8_t interlace = 0; interlace < 2; ++interlace) {
                for (int filter = 0; filter <= 5; ++filter) {
                    Source s = k.source_bits == 24
                                   ? colour_source(size[0], size[1])
                                   : palette_source(size[0], size[1], k.target_bits == 2 ? 4 : 5);
                    if (k.source_bits == 24 && k.target_bits == 8 && !k.grey) {
                        // Few enough colours for an exact palette.
                        for (size_t i = 0; i < s.pixels.size(); ++i) s.pixels[i] &= 0xC0;
                    }
                    WriteOptions o;
                    o.target_bits = k.target_bits;
                    o.grey = k.grey;
                    o.interlace = interlace;
                    o.filter_mode = filter;
                    const Written w = write_source(s, o);
                    const std::string where = std::string(k.name) + " " + std::to_string(size[0]) + "x" +
                                              std::to_string(size[1]) + " i" + std::to_string(interlace) +
                                              " f" + std::to_string(filter);
                    ASSERT_TRUE(w.ok) << where << " error " << w.error;
                    Decoded d;
                    decode_into(&d, w.path);
                    ASSERT_TRUE(d.ok) << where;
                    EXPECT_EQ(d.error, 0) << where;
                    for (int32_t y = 0; y < s.height; ++y) {
                        for (int32_t x = 0; x < s.width; ++x) {
                            const RgbQuad a = s.at(x, y), b = d.at(x, y);
                            if (k.grey) {
                                EXPECT_EQ(b.red, grey_of_bgr(a.blue, a.green, a.red)) << where;
                            } else {
                                EXPECT_TRUE(a.red == b.red && a.green == b.green && a.blue == b.blue)
                                    << where << " at " << x << "," << y;
                            }
                        }
                    }
                    if (k.grey || k.target_bits == 24) {
                        if (filter >= 1) {
                            for (uint8_t t : w.filter_types) EXPECT_EQ(t, filter - 1) << where;
                        }
                    } else {
                        for (uint8_t t : w.filter_types) EXPECT_EQ(t, 0) << where;
                    }
                }
            }
        }
    }
}

TEST(PngWriter, OneBitTargetKeepsBothEntries) {
    Source s = palette_source(5, 3, 2);
    s.palette[0] = RgbQuad{0, 0, 0, 0};
    s.palette[1] = RgbQuad{255, 255, 255, 0};
    WriteOptions o;
    o.target_bits = 1;
    for (uint8_t interlace = 0; interlace < 2; ++interlace) {
        o.interlace = interlace;
        const Written w = write_source(s, o);
        ASSERT_TRUE(w.ok) << w.error;
        EXPECT_EQ(chunk_data(w.bytes, "PLTE").size(), 6u);
        Decoded d;
        decode_into(&d, w.path);
        ASSERT_TRUE(d.ok);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(d.at(x, y).red, s.at(x, y).red) << x << "," << y;
    }
    // Both entries equal: still two.
    s.palette[1] = s.palette[0];
    const Written same = write_source(s, o);
    ASSERT_TRUE(same.ok);
    EXPECT_EQ(chunk_data(same.bytes, "PLTE").size(), 6u);
}

TEST(PngWriter, AllZeroRowsChooseNoneAdaptively) {
    Source s = colour_source(7, 4);
    std::fill(s.pixels.begin(), s.pixels.end(), 0);
    const Written w = write_source(s, WriteOptions());
    ASSERT_TRUE(w.ok);
    ASSERT_EQ(w.filter_types.size(), 4u);
    for (uint8_t t : w.filter_types) EXPECT_EQ(t, 0);
    EXPECT_EQ(count_chunks(w.bytes, "IDAT"), 1);
}

TEST(PngWriter, AdaptiveChoiceMixesFilters) {
    Source s = colour_source(16, 16);
    const Written w = write_source(s, WriteOptions());
    ASSERT_TRUE(w.ok);
    bool mixed = false;
    for (uint8_t t : w.filter_types) mixed = mixed || t != w.filter_types[0];
    EXPECT_TRUE(mixed);
}

TEST(PngWriter, AdaptiveScoreCountsRunsOfNearZeroBytes) {
    struct Case {
        Bytes row;
        int score;
    } cases[] = {
        {{0, 0, 0, 0}, 3},  // the type byte counts as the left neighbour
        {{1, 1, 1, 5}, 2},     {{2, 254, 254, 254}, 2}, {{0, 4, 4, 4}, 0},  // 4 is not a near-zero value
        {{0, 255, 0, 255}, 0}, {{3, 3, 252, 252}, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(png_adaptive_score(c.row.data(), static_cast<int32_t>(c.row.size())), c.score);
}

TEST(PngWriter, PaletteIsCompactedToDistinctColours) {
    Source s = palette_source(4, 2, 3);
    for (int i = 3; i < 203; ++i) s.palette[i] = RgbQuad{0, 0, 0, 0};
    s.palette[1] = RgbQuad{0, 0, 0, 0};
    WriteOptions o;
    o.target_bits = 8;
    const Written w = write_source(s, o);
    ASSERT_TRUE(w.ok);
    const Bytes plte = chunk_data(w.bytes, "PLTE");
    // Entry 0 (40.. colour), black, entry 2, then the 53 untouched zero entries beyond 202
    // are black too: three distinct colours in all.
    EXPECT_EQ(plte.size(), 9u);
    Decoded d;
    decode_into(&d, w.path);
    ASSERT_TRUE(d.ok);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(d.at(x, y).blue, s.at(x, y).blue);
}

TEST(PngWriter, AncillaryChunks) {
    Source s = colour_source(3, 2);
    WriteOptions o;
    o.gamma = 2200;
    o.x_res = 2835;
    o.y_res = 2835;
    const Written w = write_source(s, o);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(chunk_data(w.bytes, "gAMA"), (Bytes{0, 0, 0xB1, 0x8F}));  // 45455
    EXPECT_EQ(chunk_data(w.bytes, "pHYs"), (Bytes{0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x13, 1}));
    WriteOptions none;
    none.x_res = 2835;
    const Written plain = write_source(s, none);
    ASSERT_TRUE(plain.ok);
    bool found = true;
    chunk_data(plain.bytes, "gAMA", &found);
    EXPECT_FALSE(found);
    chunk_data(plain.bytes, "pHYs", &found);
    EXPECT_FALSE(found);
}

TEST(PngWriter, TransparentColourNotInPaletteMarksTheNearestEntry) {
    Source s = palette_source(3, 3, 5);
    const RgbQuad near = s.palette[2];
    const uint8_t colour[3] = {static_cast<uint8_t>(near.red + 2), near.green,
                               static_cast<uint8_t>(near.blue - 1)};
    WriteOptions o;
    o.target_bits = 8;
    o.transparent = colour;
    const Written w = write_source(s, o);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(chunk_data(w.bytes, "tRNS"), (Bytes{255, 255, 0}));
    EXPECT_EQ(chunk_data(w.bytes, "bKGD"), (Bytes{2}));
}

TEST(PngWriter, GreyTransparencyKeyMatchesItsOwnPixels) {
    // The key must be the grey level the chosen colour is written as, or nothing becomes
    // transparent. Pure green is 150 by the pixels' grey rule but 149 by 299/587/114 weights.
    Source s = colour_source(4, 3);
    uint8_t* p = s.pixels.data() + (s.height - 1 - 1) * s.stride() + 3 * 1;
    p[0] = 0;
    p[1] = 255;
    p[2] = 0;
    const uint8_t colour[3] = {0, 255, 0};
    WriteOptions o;
    o.target_bits = 8;
    o.grey = 1;
    o.transparent = colour;
    const Written w = write_source(s, o);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(chunk_data(w.bytes, "tRNS"), (Bytes{0, 150}));
    EXPECT_EQ(chunk_data(w.bytes, "bKGD"), (Bytes{0, 150}));
    // Read over a white background instead of the file's own: only the chosen pixel turns white.
    Decoded d;
    DecodeOptions options;
    options.ignore_bkgd = 1;
    decode_into(&d, w.path, options);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.index(1, 1), 150);
    EXPECT_EQ(d.at(1, 1).red, 255);
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x)
            if (x != 1 || y != 1) {
                EXPECT_NE(d.index(x, y), 150) << x << "," << y;
            }
}

// An 8-bit source's pixels go grey through its palette entries, (117B + 603G + 306R) >> 10:
// grey 128 stays 128. The key must follow that rule, not the 24-bit one with each product
// shifted apart, which makes 127 of it and leaves nothing transparent.
TEST(PngWriter, GreyTransparencyKeyOfAnEightBitSourceMatchesItsPixels) {
    Source s;
    s.width = 3;
    s.height = 2;
    s.bits = 8;
    s.pixels.assign(static_cast<size_t>(s.stride() * s.height), 0);
    for (int i = 0; i < 256; ++i)
        s.palette[i] = RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    const uint8_t values[2][3] = {{10, 127, 200}, {128, 129, 255}};  // top row first
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) s.pixels[(s.height - 1 - y) * s.stride() + x] = values[y][x];
    const uint8_t colour[3] = {128, 128, 128};
    WriteOptions o;
    o.target_bits = 8;
    o.grey = 1;
    o.transparent = colour;
    const Written w = write_source(s, o);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(chunk_data(w.bytes, "tRNS"), (Bytes{0, 128}));
    EXPECT_EQ(chunk_data(w.bytes, "bKGD"), (Bytes{0, 128}));
    Decoded d;
    DecodeOptions options;
    options.ignore_bkgd = 1;
    decode_into(&d, w.path, options);
    ASSERT_TRUE(d.ok);
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) {
            EXPECT_EQ(d.index(x, y), values[y][x]) << x << "," << y;
            // Read over a white background: only the keyed pixel turns white.
            EXPECT_EQ(d.at(x, y).red, values[y][x] == 128 ? 255 : values[y][x]) << x << "," << y;
        }
}

TEST(PngWriter, RgbTransparencyAndBackgroundChunks) {
    Source s = colour_source(2, 2);
    const uint8_t colour[3] = {1, 2, 3};
    WriteOptions o;
    o.transparent = colour;
    const Written w = write_source(s, o);
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(chunk_data(w.bytes, "tRNS"), (Bytes{0, 1, 0, 2, 0, 3}));
    EXPECT_EQ(chunk_data(w.bytes, "bKGD"), (Bytes{0, 1, 0, 2, 0, 3}));
}

TEST(PngWriter, CommentDropsCarriageReturnsAndIsCut) {
    Source s = colour_source(2, 2);
    WriteOptions o;
    o.comment = "a\r\nb";
    const Written w = write_source(s, o);
    ASSERT_TRUE(w.ok);
    const Bytes text = chunk_data(w.bytes, "tEXt");
    EXPECT_EQ(std::string(text.begin(), text.end()), std::string("Comment\0a\nb", 11));
    const std::string big(12000, 'x');
    o.comment = big.c_str();
    const Written cut = write_source(s, o);
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(chunk_data(cut.bytes, "tEXt").size(), 8u + 10000u);
}

TEST(PngWriter, SixteenBitLayouts) {
    Source s;
    s.width = 2;
    s.height = 2;
    s.bits = 48;
    // Layout 0: rows top-down, big-endian red, green, blue.
    s.pixels = {0x10, 0x01, 0x20, 0x02, 0x30, 0x03, 0x40, 0, 0x50, 0, 0x60, 0,
                0x70, 0,    0x80, 0,    0x90, 0,    0xA0, 0, 0xB0, 0, 0xC0, 0};
    for (uint8_t layout = 0; layout < 2; ++layout) {
        PngWriterContext c;
        init_codec_context(&c, 0);
        png_build_crc_table(&c);
        png_writer_reset(&c);
        c.conversion.width = 2;
        c.conversion.height = 2;
        c.conversion.source_bits = 48;
        c.conversion.target_bits = 48;
        compute_row_sizes(&c.conversion);
        c.settings.layout48 = layout;
        Bytes pixels = s.pixels;
        if (layout == 1) {
            // Bottom-up rows of little-endian blue, green, red: the reverse of each 6-byte pixel.
            Bytes flipped;
            for (int row = 1; row >= 0; --row)
                for (int x = 0; x < 2; ++x)
                    for (int k = 5; k >= 0; --k) flipped.push_back(s.pixels[row * 12 + x * 6 + k]);
            pixels = flipped;
        }
        const std::u16string path = scratch_path("png48_" + std::to_string(layout) + ".png");
        ASSERT_TRUE(write_png_file(path, &c, s.palette, pixels.data())) << c.error;
        png_writer_release(&c);
        Decoded d;
        decode_into(&d, path);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.at(0, 0).red, 0x10);
        EXPECT_EQ(d.at(0, 0).blue, 0x30);
        EXPECT_EQ(d.at(1, 1).green, 0xB0);
    }
}

struct FailureCase {
    const char* name;
    int32_t target_bits;
    uint8_t grey;
    int32_t filter_mode;
    int32_t level;
    int32_t code;
};

TEST(PngWriter, FailuresCarryTheirCodeAfterCreatingTheFile) {
    const FailureCase cases[] = {
        {"grey_4_bit", 4, 1, 0, 9, kCodecSaveFailed},         {"level_10", 24, 0, 0, 10, kCodecDeflateFailed},
        {"filter_6", 24, 0, 6, 9, kCodecSaveFailed},          {"target_16", 16, 0, 0, 9, kCodecSaveFailed},
        {"target_48_from_24", 48, 0, 0, 9, kCodecSaveFailed},
    };
    for (const FailureCase& f : cases) {
        Source s = colour_source(3, 3);
        WriteOptions o;
        o.target_bits = f.target_bits;
        o.grey = f.grey;
        o.filter_mode = f.filter_mode;
        o.level = f.level;
        const Written w = write_source(s, o);
        EXPECT_FALSE(w.ok) << f.name;
        EXPECT_EQ(w.error, f.code) << f.name;
        EXPECT_FALSE(w.bytes.empty() && f.code == kCodecDeflateFailed) << f.name;
        std::vector<uint8_t> exists;
        EXPECT_TRUE(read_bytes(w.path, &exists)) << f.name;
    }
    Source s = colour_source(2, 2);
    const Written missing = write_source(s, WriteOptions(), scratch_path("no/such/folder.png"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, kCodecCreateFailed);
}

#ifndef _WIN32
TEST(PngWriter, WriteFailureIsReportedWithACode) {
    // /dev/full accepts the open and fails every write.
    Source s = colour_source(3, 3);
    WriteOptions o;
    o.comment = "c";
    const Written w = write_source(s, o, u"/dev/full");
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.error, kCodecSaveFailed);
}
#endif

}  // namespace

namespace {

struct StatusLog {
    std::u16string current = u"ready";
    std::vector<std::u16string> shown;
};

void show_status(void* window, const char16_t* text) {
    auto* log = static_cast<StatusLog*>(window);
    log->current = text;
    log->shown.push_back(text);
}
std::u16string get_status(void* window) {
    return static_cast<StatusLog*>(window)->current;
}

TEST(PngWriter, StatusTextShowsCompressionAndIsRestored) {
    for (int level : {9, 10}) {
        Source s = colour_source(3, 3);
        PngWriterContext c;
        init_codec_context(&c, 0);
        png_build_crc_table(&c);
        png_writer_reset(&c);
        c.conversion.width = 3;
        c.conversion.height = 3;
        c.conversion.source_bits = 24;
        c.conversion.target_bits = 24;
        compute_row_sizes(&c.conversion);
        c.settings.level = level;
        StatusLog log;
        c.settings.status_window = &log;
        c.status_text = show_status;
        c.status_get = get_status;
        const bool ok = write_png_file(scratch_path("status.png"), &c, s.palette, s.pixels.data());
        png_writer_release(&c);
        EXPECT_EQ(ok, level == 9);
        ASSERT_EQ(log.shown.size(), 2u);
        EXPECT_EQ(log.shown[0], u"compress...");
        EXPECT_EQ(log.current, u"ready");
    }
}

}  // namespace
