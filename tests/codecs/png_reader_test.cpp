#include <gtest/gtest.h>

#include "tests/codecs/png_fixtures.h"

namespace {

// One 8-bit grey row per byte of `values`, filter None.
Bytes grey_rows(int32_t width, int32_t height, uint8_t base = 0) {
    Bytes rows;
    for (int32_t y = 0; y < height; ++y) {
        rows.push_back(0);
        for (int32_t x = 0; x < width; ++x) rows.push_back(static_cast<uint8_t>(base + 16 * y + x));
    }
    return rows;
}

Bytes minimal_grey() {
    return PngFile().ihdr(2, 2, 8, 0).idat(grey_rows(2, 2)).end().bytes;
}

Bytes with_ihdr_byte(size_t offset, uint8_t value) {
    // Rebuilds the IHDR with one byte changed so that its CRC still holds.
    const Bytes file = minimal_grey();
    Bytes data(file.begin() + 16, file.begin() + 29);
    data[offset] = value;
    PngFile f;
    f.chunk("IHDR", data);
    return f.idat(grey_rows(2, 2)).end().bytes;
}

struct ErrorCase {
    const char* name;
    Bytes bytes;
    int32_t code;
};

class PngReaderErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(PngReaderErrors, RefusedWithItsCode) {
    Decoded d;
    decode_bytes(&d, GetParam().bytes);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.error, GetParam().code);
}

Bytes palette_with(const std::vector<std::string>& order) {
    PngFile f;
    f.ihdr(2, 1, 8, 3);
    for (const std::string& c : order) {
        if (c == "PLTE") f.chunk("PLTE", {0, 0, 0, 255, 255, 255});
        if (c == "IDAT") f.idat({0, 0, 1});
        if (c == "tEXt") f.text("Title", "x");
    }
    return f.end().bytes;
}

Bytes with_idat_crc(int bad_index) {
    const Bytes z = zlib_bytes(grey_rows(4, 4));
    PngFile f;
    f.ihdr(4, 4, 8, 0);
    const size_t third = z.size() / 3;
    f.chunk("IDAT", Bytes(z.begin(), z.begin() + third), bad_index == 0);
    f.chunk("IDAT", Bytes(z.begin() + third, z.begin() + 2 * third), bad_index == 1);
    f.chunk("IDAT", Bytes(z.begin() + 2 * third, z.end()), bad_index == 2);
    return f.end().bytes;
}

const ErrorCase kErrorCases[] = {
    {"only_signature_and_ihdr", PngFile().ihdr(2, 2, 8, 0).bytes, kCodecBadData},
    {"bad_signature",
     [] {
         Bytes b = minimal_grey();
         b[1] = 'X';
         return b;
     }(),
     kCodecBadData},
    {"short_file",
     [] {
         Bytes b = minimal_grey();
         b.resize(32);
         return b;
     }(),
     kCodecBadData},
    {"ihdr_length",
     [] {
         Bytes b = minimal_grey();
         b[11] = 12;
         return b;
     }(),
     kCodecPngIhdrLength},
    {"ihdr_type",
     [] {
         Bytes b = minimal_grey();
         b[12] = 'J';
         return b;
     }(),
     kCodecPngIhdrType},
    {"ihdr_crc",
     [] {
         Bytes b = minimal_grey();
         b[29] ^= 1;
         return b;
     }(),
     kCodecPngCrc},
    {"width_zero", with_ihdr_byte(3, 0), kCodecUnsupported},
    {"width_25001", PngFile().ihdr(25001, 1, 8, 0).idat({0}).end().bytes, kCodecUnsupported},
    {"height_25001", PngFile().ihdr(1, 25001, 8, 0).idat({0}).end().bytes, kCodecUnsupported},
    {"compression", PngFile().ihdr(2, 2, 8, 0, 0, 1).idat(grey_rows(2, 2)).end().bytes,
     kCodecPngIhdrCompression},
    {"filter_method", PngFile().ihdr(2, 2, 8, 0, 0, 0, 1).idat(grey_rows(2, 2)).end().bytes,
     kCodecPngIhdrFilter},
    {"interlace_method", PngFile().ihdr(2, 2, 8, 0, 2).idat(grey_rows(2, 2)).end().bytes,
     kCodecPngIhdrInterlace},
    {"bit_depth_3", PngFile().ihdr(2, 2, 3, 0).end().bytes, kCodecPngIhdrBitDepth},
    {"palette_16_bit", PngFile().ihdr(2, 2, 16, 3).end().bytes, kCodecPngIhdrColourType},
    {"rgb_4_bit", PngFile().ihdr(2, 2, 4, 2).end().bytes, kCodecPngIhdrColourType},
    {"colour_type_5", PngFile().ihdr(2, 2, 8, 5).end().bytes, kCodecPngIhdrColourType},
    {"chunk_length_2g",
     [] {
         PngFile f;
         f.ihdr(2, 2, 8, 0);
         append_be32(f.bytes, 0x80000000u);
         f.bytes.insert(f.bytes.end(), {'a', 'b', 'c', 'd', 0, 0, 0, 0});
         return f.bytes;
     }(),
     kCodecPngChunkLength},
    {"chunk_past_end",
     [] {
         Bytes b = minimal_grey();
         b.resize(b.size() - 1);
         return b;
     }(),
     kCodecBadData},
    {"no_iend",
     [] {
         Bytes b = minimal_grey();
         b.resize(b.size() - 12);
         return b;
     }(),
     kCodecBadData},
    {"second_ihdr", PngFile().ihdr(2, 2, 8, 0).ihdr(2, 2, 8, 0).idat(grey_rows(2, 2)).end().bytes,
     kCodecPngChunkOrder},
    {"plte_after_idat", palette_with({"PLTE", "IDAT", "PLTE"}), kCodecPngChunkOrder},
    {"plte_twice", palette_with({"PLTE", "PLTE", "IDAT"}), kCodecPngChunkOrder},
    {"plte_only_after_idat", palette_with({"IDAT", "PLTE"}), kCodecPngChunkOrder},
    {"idat_text_idat", palette_with({"PLTE", "IDAT", "tEXt", "IDAT"}), kCodecPngChunkOrder},
    {"palette_without_plte", palette_with({"IDAT"}), kCodecPngCriticalChunks},
    {"no_idat", PngFile().ihdr(2, 2, 8, 0).end().bytes, kCodecPngCriticalChunks},
    {"plte_crc",
     [] {
         PngFile f;
         f.ihdr(2, 1, 8, 3).chunk("PLTE", {0, 0, 0}, true).idat({0, 0, 0});
         return f.end().bytes;
     }(),
     kCodecPngCrc},
    {"first_idat_crc", with_idat_crc(0), kCodecPngCrc},
    {"second_idat_crc", with_idat_crc(1), kCodecPngIdatLength},
    {"iend_crc",
     [] {
         PngFile f;
         f.ihdr(2, 2, 8, 0).idat(grey_rows(2, 2)).chunk("IEND", {}, true);
         return f.bytes;
     }(),
     kCodecPngCrc},
};

INSTANTIATE_TEST_SUITE_P(Cases, PngReaderErrors, ::testing::ValuesIn(kErrorCases),
                         [](const ::testing::TestParamInfo<ErrorCase>& p) {
                             return std::string(p.param.name);
                         });

TEST(PngReader, LargestWidthIsAccepted) {
    Bytes rows(1 + 25000, 0);
    Decoded d;
    decode_bytes(&d, PngFile().ihdr(25000, 1, 8, 0).idat(rows).end().bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.width, 25000);
}

TEST(PngReader, SplitIdatRunDecodesLikeOne) {
    Decoded one, three;
    decode_bytes(&one, PngFile().ihdr(4, 4, 8, 0).idat(grey_rows(4, 4)).end().bytes);
    decode_bytes(&three, with_idat_crc(-1));
    ASSERT_TRUE(one.ok && three.ok);
    EXPECT_EQ(one.pixels, three.pixels);
    EXPECT_EQ(three.index(3, 3), 16 * 3 + 3);
}

TEST(PngReader, UnknownChunksAreSkippedCriticalOrNot) {
    PngFile f;
    f.ihdr(2, 2, 8, 0).chunk("ABCD", {1, 2, 3}).chunk("abcd", {}).idat(grey_rows(2, 2)).chunk("ZZZZ", {9});
    Decoded d;
    decode_bytes(&d, f.end().bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.index(1, 1), 17);
}

TEST(PngReader, PaletteIgnoredInColourImage) {
    PngFile f;
    f.ihdr(1, 1, 8, 2).chunk("PLTE", {1, 2, 3}).idat({0, 10, 20, 30}).chunk("PLTE", {1, 2, 3});
    Decoded d;
    decode_bytes(&d, f.end().bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.bits, 24);
    const RgbQuad p = d.at(0, 0);
    EXPECT_EQ(p.red, 10);
    EXPECT_EQ(p.green, 20);
    EXPECT_EQ(p.blue, 30);
}

struct GammaCase {
    const char* name;
    int colour_type;
    std::vector<std::string> order;
    uint32_t value;
    bool accepted;
};

TEST(PngReader, GammaChunkAcceptance) {
    const GammaCase cases[] = {
        {"palette_gama_after_plte", 3, {"PLTE", "gAMA"}, 45455, false},
        {"palette_gama_before_plte", 3, {"gAMA", "PLTE"}, 45455, true},
        {"colour_plte_then_gama", 2, {"PLTE", "gAMA"}, 45455, true},
        {"gama_zero", 2, {"gAMA"}, 0, false},
        {"gama_2g", 2, {"gAMA"}, 0x80000000u, false},
    };
    for (const GammaCase& c : cases) {
        PngFile f;
        f.ihdr(1, 1, 8, static_cast<uint8_t>(c.colour_type));
        for (const std::string& name : c.order) {
            if (name == "PLTE") f.chunk("PLTE", {0, 0, 0});
            if (name == "gAMA") {
                Bytes g;
                append_be32(g, c.value);
                f.chunk("gAMA", g);
            }
        }
        f.idat(c.colour_type == 3 ? Bytes{0, 0} : Bytes{0, 1, 2, 3});
        Decoded d;
        decode_bytes(&d, f.end().bytes);
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.context.state.gama_seen != 0, c.accepted) << c.name;
    }
}

TEST(PngReader, MatchingGammaLeavesPixelsUnchanged) {
    Bytes g;
    append_be32(g, 45455);
    Bytes rows{0};
    for (int v = 0; v < 256; ++v) rows.push_back(static_cast<uint8_t>(v));
    Decoded d;
    DecodeOptions o;
    o.display_gamma = 2200;
    decode_bytes(&d, PngFile().ihdr(256, 1, 8, 0).chunk("gAMA", g).idat(rows).end().bytes, o);
    ASSERT_TRUE(d.ok);
    for (int v = 0; v < 256; ++v) EXPECT_EQ(d.at(v, 0).red, v);
}

struct GreyKeyCase {
    const char* name;
    uint8_t depth;
    uint16_t key;
    int entry;
};

TEST(PngReader, GreyKeySelectsThePaletteEntryThatBecomesBackground) {
    const GreyKeyCase cases[] = {
        {"16_bit", 16, 0x1234, 0x12},
        {"8_bit", 8, 0x0034, 0x34},
        {"2_bit", 2, 2, 2},
    };
    for (const GreyKeyCase& c : cases) {
        Bytes key{static_cast<uint8_t>(c.key >> 8), static_cast<uint8_t>(c.key)};
        Bytes rows(1 + (c.depth == 16 ? 2 : 1), 0);
        PngFile f;
        f.ihdr(1, 1, c.depth, 0)
            .chunk("bKGD", c.depth == 16 ? Bytes{0x40, 0} : Bytes{0, 1})
            .chunk("tRNS", key);
        Decoded d;
        decode_bytes(&d, f.idat(rows).end().bytes);
        ASSERT_TRUE(d.ok) << c.name;
        const uint8_t bg = c.depth == 16 ? 0x40 : (c.depth == 2 ? 85 : 1);
        EXPECT_EQ(d.palette[c.entry].red, bg) << c.name;
        EXPECT_EQ(d.palette[c.entry].blue, bg) << c.name;
        if (c.entry != 0) {
            EXPECT_EQ(d.palette[0].red, 0) << c.name;
        }
    }
}

// A key names stored samples: with gamma correction on, the keyed pixel still shows the
// background, and a pixel that the correction moves onto the key's values stays visible. File
// gamma 1.0 against display gamma 0.5 squares: 128 -> 64, 181 -> 128, 226 -> 200, 100 -> 39.
// Pixels: the key, the one corrected onto the key, an ordinary one. 16-bit samples carry low
// bytes that the key ignores.
TEST(PngReader, ColourKeyIsMatchedBeforeGammaCorrection) {
    struct Rgb {
        uint8_t r, g, b;
    };
    struct Case {
        const char* name;
        uint8_t colour_type, depth;
        uint32_t display_gamma;
        bool file_background;
        Rgb want[3];
    };
    const Rgb file_bg_plain{100, 50, 200}, file_bg_corrected{39, 10, 157}, configured{30, 60, 90};
    const Rgb grey_file_plain{100, 100, 100}, grey_file_corrected{39, 39, 39};
    const Case cases[] = {
        {"rgb8 gamma file bg", 2, 8, 500, true, {file_bg_corrected, {200, 128, 64}, {0, 2, 4}}},
        {"rgb8 gamma configured", 2, 8, 500, false, {configured, {200, 128, 64}, {0, 2, 4}}},
        {"rgb8 no gamma", 2, 8, 0, true, {file_bg_plain, {226, 181, 128}, {10, 20, 30}}},
        {"rgb16 gamma file bg", 2, 16, 500, true, {file_bg_corrected, {200, 128, 64}, {0, 2, 4}}},
        {"rgb16 gamma configured", 2, 16, 500, false, {configured, {200, 128, 64}, {0, 2, 4}}},
        {"rgb16 no gamma", 2, 16, 0, false, {configured, {226, 181, 128}, {10, 20, 30}}},
        {"grey8 gamma file bg", 0, 8, 500, true, {grey_file_corrected, {128, 128, 128}, {4, 4, 4}}},
        {"grey8 gamma configured", 0, 8, 500, false, {configured, {128, 128, 128}, {4, 4, 4}}},
        {"grey16 gamma file bg", 0, 16, 500, true, {grey_file_corrected, {128, 128, 128}, {4, 4, 4}}},
        {"grey16 no gamma", 0, 16, 0, true, {grey_file_plain, {181, 181, 181}, {30, 30, 30}}},
    };
    const uint8_t rgb_pixels[3][3] = {{200, 128, 64}, {226, 181, 128}, {10, 20, 30}};
    const uint8_t grey_pixels[3] = {128, 181, 30};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool colour = c.colour_type == 2;
        const int samples = colour ? 3 : 1;
        auto put = [&](Bytes& out, uint8_t high) {
            out.push_back(high);
            if (c.depth == 16) out.push_back(0x5A);
        };
        Bytes rows{0};
        for (int x = 0; x < 3; ++x)
            for (int i = 0; i < samples; ++i) put(rows, colour ? rgb_pixels[x][i] : grey_pixels[x]);
        Bytes key, background;
        for (int i = 0; i < samples; ++i) {
            // Both halves of each 16-bit value, so that a key read from the wrong byte misses.
            key.push_back(colour ? rgb_pixels[0][i] : (c.depth == 16 ? grey_pixels[0] : 0));
            key.push_back(c.depth == 16 ? 0x33 : (colour ? rgb_pixels[0][i] : grey_pixels[0]));
            const uint8_t b = colour ? (i == 0 ? 100 : (i == 1 ? 50 : 200)) : 100;
            background.push_back(c.depth == 16 ? b : 0);
            background.push_back(c.depth == 16 ? 0x44 : b);
        }
        Bytes file_gamma;
        append_be32(file_gamma, 100000);
        PngFile f;
        f.ihdr(3, 1, c.depth, c.colour_type)
            .chunk("gAMA", file_gamma)
            .chunk("bKGD", background)
            .chunk("tRNS", key);
        DecodeOptions o;
        o.display_gamma = c.display_gamma;
        o.ignore_bkgd = c.file_background ? 0 : 1;
        o.configured_rgb[0] = configured.r;
        o.configured_rgb[1] = configured.g;
        o.configured_rgb[2] = configured.b;
        Decoded d;
        decode_bytes(&d, f.idat(rows).end().bytes, o);
        ASSERT_TRUE(d.ok);
        for (int x = 0; x < 3; ++x) {
            const RgbQuad got = d.at(x, 0);
            EXPECT_EQ(got.red, c.want[x].r) << x;
            EXPECT_EQ(got.green, c.want[x].g) << x;
            EXPECT_EQ(got.blue, c.want[x].b) << x;
        }
    }
}

TEST(PngReader, PaletteTransparencyLongerThanPaletteIsIgnored) {
    PngFile f;
    f.ihdr(1, 1, 8, 3).chunk("PLTE", {10, 20, 30}).chunk("tRNS", {0, 0}).idat({0, 0});
    Decoded d;
    decode_bytes(&d, f.end().bytes);
    ASSERT_TRUE(d.ok);
    EXPECT_FALSE(d.context.state.trns_seen);
    EXPECT_EQ(d.palette[0].red, 10);
}

TEST(PngReader, PaletteAlphaMixesWithBackground) {
    PngFile f;
    f.ihdr(2, 1, 8, 3).chunk("PLTE", {200, 100, 0, 10, 20, 30}).chunk("tRNS", {0}).idat({0, 0, 1});
    Decoded d;
    decode_bytes(&d, f.end().bytes);
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(d.context.state.trns_seen);
    // Entry 0 is fully transparent over the white default; entry 1 keeps alpha 255.
    EXPECT_EQ(d.palette[0].red, 255);
    EXPECT_EQ(d.palette[0].blue, 255);
    EXPECT_EQ(d.palette[1].red, 10);
    EXPECT_EQ(d.palette[1].blue, 30);
}

TEST(PngReader, AlphaFlatteningFollowsTheOption) {
    // RGBA pixel (100, 150, 200) with alpha 0 over a black bKGD.
    PngFile f;
    f.ihdr(1, 1, 8, 6).chunk("bKGD", {0, 0, 0, 0, 0, 0}).idat({0, 100, 150, 200, 0});
    const Bytes file = f.end().bytes;
    Decoded on, off, ignored;
    decode_bytes(&on, file);
    DecodeOptions o;
    o.transparency = 0;
    decode_bytes(&off, file, o);
    DecodeOptions i;
    i.ignore_bkgd = 1;
    decode_bytes(&ignored, file, i);
    ASSERT_TRUE(on.ok && off.ok && ignored.ok);
    EXPECT_EQ(on.at(0, 0).red, 0);
    EXPECT_EQ(off.at(0, 0).red, 100);
    EXPECT_EQ(off.at(0, 0).blue, 200);
    EXPECT_EQ(ignored.at(0, 0).green, 255);
}

TEST(PngReader, TextChunksAreCounted) {
    PngFile f;
    f.ihdr(2, 2, 8, 0).text("Comment", std::string(500, 'c')).text("Title", "t");
    f.chunk("tEXt", {0, 'x'}).text("Comment", "bad");
    f.chunk("tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'y'}, true);
    Decoded d;
    decode_bytes(&d, f.idat(grey_rows(2, 2)).end().bytes);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.context.state.text_chunks, 3);
    EXPECT_EQ(d.context.state.comment_chunks, 2);
}

TEST(PngReader, ResolutionFromPhysInMetres) {
    Bytes metres, inches;
    append_be32(metres, 2835);
    append_be32(metres, 3780);
    inches = metres;
    metres.push_back(1);
    inches.push_back(0);
    Decoded m, i;
    decode_bytes(&m, PngFile().ihdr(2, 2, 8, 0).chunk("pHYs", metres).idat(grey_rows(2, 2)).end().bytes);
    decode_bytes(&i, PngFile().ihdr(2, 2, 8, 0).chunk("pHYs", inches).idat(grey_rows(2, 2)).end().bytes);
    ASSERT_TRUE(m.ok && i.ok);
    EXPECT_EQ(m.context.loaded.info.x_pels_per_meter, 2835);
    EXPECT_EQ(m.context.loaded.info.y_pels_per_meter, 3780);
    EXPECT_EQ(i.context.loaded.info.x_pels_per_meter, 0);
}

TEST(PngReader, DibSectionModeGivesTheSamePixels) {
    const Bytes file = PngFile()
                           .ihdr(3, 3, 8, 2)
                           .idat([] {
                               Bytes r;
                               for (int y = 0; y < 3; ++y) {
                                   r.push_back(0);
                                   for (int i = 0; i < 9; ++i) r.push_back(static_cast<uint8_t>(y * 9 + i));
                               }
                               return r;
                           }())
                           .end()
                           .bytes;
    Decoded memory, dib;
    decode_bytes(&memory, file);
    DecodeOptions o;
    o.in_memory = 0;
    decode_bytes(&dib, file, o);
    ASSERT_TRUE(memory.ok && dib.ok);
    EXPECT_EQ(memory.pixels, dib.pixels);
    EXPECT_EQ(memory.context.loaded.source_bits, 24);
}

TEST(PngReader, EveryPrefixOfAValidFileFailsCleanly) {
    PngFile f;
    f.ihdr(3, 3, 8, 6, 1).chunk("gAMA", {0, 0, 0xB1, 0x8F}).text("Comment", "hi");
    Bytes rows;
    for (int i = 0; i < 3 * (1 + 3 * 4); ++i) rows.push_back(static_cast<uint8_t>(i * 7));
    const Bytes full = f.idat(rows).end().bytes;
    Decoded whole;
    decode_bytes(&whole, full);
    ASSERT_TRUE(whole.ok);
    for (size_t n = 0; n < full.size(); ++n) {
        Decoded d;
        decode_bytes(&d, Bytes(full.begin(), full.begin() + n));
        EXPECT_FALSE(d.ok) << n;
        EXPECT_NE(d.error, 0) << n;
    }
}

}  // namespace
