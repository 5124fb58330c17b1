#include "codecs/gif/gif.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "codecs/file_io.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The 10 x 10 four-colour example image that circulates with descriptions of the format
// (white, red, blue, black), with its LZW data as published.
const Bytes kSample = {'G',  'I',  'F',  '8',  '9',  'a',  0x0A, 0x00, 0x0A, 0x00, 0x91, 0x00, 0x00, 0xFF,
                       0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04,
                       0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x0A, 0x00,
                       0x00, 0x02, 0x16, 0x8C, 0x2D, 0x99, 0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x75,
                       0xEC, 0x95, 0xFA, 0xA8, 0xDE, 0x60, 0x8C, 0x04, 0x91, 0x4C, 0x01, 0x00, 0x3B};

const char* const kSampleRows[10] = {"1111122222", "1111122222", "1111122222", "1110000222", "1110000222",
                                     "2220000111", "2220000111", "2222211111", "2222211111", "2222211111"};

void put16(Bytes* b, int v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}

// LZW data of the pixels in sub-blocks, with the minimum code size byte and the terminator.
Bytes image_data(const Bytes& pixels, int min_code_size, size_t keep_bytes = SIZE_MAX) {
    auto encoder = std::make_unique<GifLzwEncoder>();
    const int64_t bound = gif_lzw_bound(static_cast<int64_t>(pixels.size()));
    Bytes lzw(static_cast<size_t>(bound));
    const int64_t n = gif_encode_lzw(encoder.get(), min_code_size, pixels.data(),
                                     static_cast<int64_t>(pixels.size()), lzw.data(), bound);
    lzw.resize(std::min(static_cast<size_t>(n), keep_bytes));
    Bytes out = {static_cast<uint8_t>(min_code_size)};
    for (size_t i = 0; i < lzw.size(); i += 255) {
        const size_t len = std::min<size_t>(255, lzw.size() - i);
        out.push_back(static_cast<uint8_t>(len));
        out.insert(out.end(), lzw.begin() + static_cast<long>(i), lzw.begin() + static_cast<long>(i + len));
    }
    out.push_back(0);
    return out;
}

// Builds GIF files piece by piece.
struct GifBuilder {
    Bytes b;

    GifBuilder(int width, int height, int global_bits, int background = 0, const char* version = "89a") {
        b = {'G', 'I', 'F'};
        b.insert(b.end(), version, version + 3);
        put16(&b, width);
        put16(&b, height);
        b.push_back(static_cast<uint8_t>(global_bits ? 0x80 | (global_bits - 1) : 0));
        b.push_back(static_cast<uint8_t>(background));
        b.push_back(0);
        // Entry i is (i, 255 - i, 16 * i) so every index has its own colour.
        for (int i = 0; global_bits && i < (1 << global_bits); ++i) {
            b.push_back(static_cast<uint8_t>(i));
            b.push_back(static_cast<uint8_t>(255 - i));
            b.push_back(static_cast<uint8_t>(16 * i));
        }
    }
    GifBuilder& looping(int loops) {
        const char id[] = "NETSCAPE2.0";
        b.insert(b.end(), {0x21, 0xFF, 11});
        b.insert(b.end(), id, id + 11);
        b.insert(b.end(), {3, 1});
        put16(&b, loops);
        b.push_back(0);
        return *this;
    }
    GifBuilder& control(int disposal, int delay, int transparent = -1) {
        b.insert(b.end(), {0x21, 0xF9, 4});
        b.push_back(static_cast<uint8_t>((disposal << 2) | (transparent >= 0 ? 1 : 0)));
        put16(&b, delay);
        b.push_back(static_cast<uint8_t>(transparent >= 0 ? transparent : 0));
        b.push_back(0);
        return *this;
    }
    GifBuilder& comment(const char* text) {
        b.insert(b.end(), {0x21, 0xFE, static_cast<uint8_t>(std::strlen(text))});
        b.insert(b.end(), text, text + std::strlen(text));
        b.push_back(0);
        return *this;
    }
    // `local` holds red, green, blue triples of a local table (size a power of two).
    GifBuilder& image(int left, int top, int width, int height, const Bytes& pixels, int min_code_size = 8,
                      const Bytes& local = {}, bool interlaced = false) {
        b.push_back(0x2C);
        put16(&b, left);
        put16(&b, top);
        put16(&b, width);
        put16(&b, height);
        int bits = 0;
        while (!local.empty() && (3 << bits) < static_cast<int>(local.size())) ++bits;
        b.push_back(static_cast<uint8_t>((local.empty() ? 0 : 0x80 | (bits - 1)) | (interlaced ? 0x40 : 0)));
        b.insert(b.end(), local.begin(), local.end());
        Bytes stored = pixels;
        if (interlaced) {
            stored.clear();
            const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
            for (int p = 0; p < 4; ++p)
                for (int r = starts[p]; r < height; r += steps[p])
                    stored.insert(stored.end(), pixels.begin() + r * width, pixels.begin() + (r + 1) * width);
        }
        const Bytes data = image_data(stored, min_code_size);
        b.insert(b.end(), data.begin(), data.end());
        return *this;
    }
    GifBuilder& trailer() {
        b.push_back(0x3B);
        return *this;
    }
};

struct Decoded {
    std::unique_ptr<GifContext> context = std::make_unique<GifContext>();
    LoadedImage* image = nullptr;
    int32_t error = 0;

    // Pixel at (x, y) from the top of a frame's bottom-up rows.
    static uint8_t at(const uint8_t* rows, int width, int height, int x, int y) {
        const int stride = (width + 3) & ~3;
        return rows[static_cast<size_t>(height - 1 - y) * stride + x];
    }
    uint8_t pixel(int x, int y) const {
        return at(image->pixels, image->info.width, image->info.height, x, y);
    }

    ~Decoded() {
        if (image) free_loaded_image(image);
        gif_reader_release(context.get());
    }
};

void decode(const Bytes& file, Decoded* d, bool animation = false, bool in_memory = false) {
    init_codec_context(d->context.get(), 0);
    gif_reader_reset(d->context.get());
    d->context->in_memory = in_memory;
    d->context->options.animation_wanted = animation;
    d->context->input = ByteCursor(file.data(), file.size());
    d->image = read_gif_image(d->context.get());
    d->error = d->context->error;
}

TEST(GifReader, PublishedSampleDecodesToItsPixelsAndPalette) {
    Decoded d;
    decode(kSample, &d);
    ASSERT_NE(d.image, nullptr) << d.error;
    EXPECT_EQ(d.image->info.width, 10);
    EXPECT_EQ(d.image->info.height, 10);
    EXPECT_EQ(d.image->info.bit_count, 8);
    EXPECT_EQ(d.image->source_bits, 2);
    EXPECT_EQ(d.image->format, 5);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(d.pixel(x, y), kSampleRows[y][x] - '0') << x << "," << y;
    const RgbQuad& red = d.image->palette[1];
    EXPECT_EQ(red.red, 255);
    EXPECT_EQ(red.green, 0);
    EXPECT_EQ(red.blue, 0);
    EXPECT_EQ(d.image->palette[2].blue, 255);
}

struct ErrorCase {
    const char* name;
    Bytes file;
    int32_t error;
};

Bytes with(Bytes b, size_t at, uint8_t value) {
    b[at] = value;
    return b;
}

std::vector<ErrorCase> error_cases() {
    const Bytes pixels(4, 1);
    std::vector<ErrorCase> cases = {
        {"version_88a", GifBuilder(2, 2, 2, 0, "88a").image(0, 0, 2, 2, pixels, 2).trailer().b,
         kCodecBadData},
        {"screen_width_0", GifBuilder(0, 10, 2).image(0, 0, 0, 0, {}, 2).trailer().b, kCodecUnsupported},
        {"screen_height_25001", GifBuilder(1, 25001, 2).trailer().b, kCodecUnsupported},
        {"short_header", Bytes(kSample.begin(), kSample.begin() + 12), kCodecBadData},
        {"unknown_extension", GifBuilder(2, 2, 2).b, kCodecReadFailed},
        {"unknown_block", GifBuilder(2, 2, 2).b, kCodecReadFailed},
        {"trailer_first", GifBuilder(2, 2, 2).trailer().b, kCodecBadData},
        {"image_outside_screen", GifBuilder(2, 2, 2).image(1, 0, 2, 2, pixels, 2).trailer().b, kCodecBadData},
        {"no_colour_table", GifBuilder(2, 2, 0).image(0, 0, 2, 2, pixels, 2).trailer().b, kCodecBadData},
        {"min_code_size_1", with(kSample, 43, 1), kCodecBadData},
        {"min_code_size_9", with(kSample, 43, 9), kCodecBadData},
        {"empty_image_data", with(kSample, 44, 0), kCodecBadData},
        {"sub_block_past_end", with(kSample, 44, 0x40), kCodecBadData},
        {"global_table_truncated", Bytes(kSample.begin(), kSample.begin() + 20), kCodecBadData},
    };
    cases[4].file.insert(cases[4].file.end(), {0x21, 0x02, 0x00});
    cases[5].file.push_back(0x00);
    return cases;
}

TEST(GifReader, RefusesMalformedFilesWithTheirCodes) {
    for (const ErrorCase& c : error_cases()) {
        Decoded d;
        decode(c.file, &d);
        EXPECT_EQ(d.image, nullptr) << c.name;
        EXPECT_EQ(d.error, c.error) << c.name;
    }
}

TEST(GifReader, EveryPrefixOfAnAnimationFailsCleanly) {
    Bytes frame(6 * 5);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i % 7);
    const Bytes file = GifBuilder(6, 5, 3)
                           .looping(0)
                           .comment("hi")
                           .control(1, 10)
                           .image(0, 0, 6, 5, frame, 3)
                           .control(2, 20, 3)
                           .image(1, 1, 3, 2, Bytes(6, 3), 3, {}, true)
                           .trailer()
                           .b;
    for (size_t n = 0; n < file.size(); ++n) {
        Decoded d;
        decode(Bytes(file.begin(), file.begin() + static_cast<long>(n)), &d, true);
        EXPECT_EQ(d.image, nullptr) << n;
        EXPECT_NE(d.error, 0) << n;
    }
    Decoded whole;
    decode(file, &whole, true);
    EXPECT_NE(whole.image, nullptr);
}

TEST(GifReader, DataEndingEarlyLeavesTheRemainingPixelsAtZero) {
    std::mt19937 random(7);
    Bytes pixels(100);
    for (uint8_t& p : pixels) p = static_cast<uint8_t>(1 + random() % 15);
    GifBuilder g(10, 10, 4);
    g.b.insert(g.b.end(), {0x2C, 0, 0, 0, 0, 10, 0, 10, 0, 0});
    const Bytes data = image_data(pixels, 4, 30);  // about half of the codes
    g.b.insert(g.b.end(), data.begin(), data.end());
    g.trailer();
    Decoded d;
    decode(g.b, &d);
    ASSERT_NE(d.image, nullptr) << d.error;
    int decoded = 0;
    while (decoded < 100 && d.pixel(decoded % 10, decoded / 10) != 0) ++decoded;
    EXPECT_GT(decoded, 20);
    EXPECT_LT(decoded, 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(d.pixel(i % 10, i / 10), i < decoded ? pixels[static_cast<size_t>(i)] : 0) << i;
}

TEST(GifReader, FirstLocalTableGivesTheColourBitsAndThePalette) {
    Bytes local;
    for (int i = 0; i < 16; ++i) local.insert(local.end(), {static_cast<uint8_t>(200 + i), 1, 2});
    const Bytes file = GifBuilder(3, 1, 8).image(0, 0, 3, 1, {0, 5, 15}, 4, local).trailer().b;
    Decoded d;
    decode(file, &d);
    ASSERT_NE(d.image, nullptr) << d.error;
    EXPECT_EQ(d.image->source_bits, 4);
    EXPECT_EQ(d.image->palette[15].red, 215);
    EXPECT_EQ(d.pixel(1, 0), 5);
}

TEST(GifReader, ImageSmallerThanTheScreenSitsOnTheBackground) {
    const Bytes file = GifBuilder(4, 3, 2, 3).image(1, 1, 2, 1, {1, 2}, 2).trailer().b;
    Decoded d;
    decode(file, &d);
    ASSERT_NE(d.image, nullptr) << d.error;
    const char* rows[3] = {"3333", "3123", "3333"};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(d.pixel(x, y), rows[y][x] - '0') << x << "," << y;
}

TEST(GifReader, InterlacedRowsLandInPlaceForOddHeights) {
    for (int height : {1, 2, 3, 4, 5, 7, 8, 9, 13, 17}) {
        const int width = 3;
        Bytes pixels(static_cast<size_t>(width * height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y * width + x)] = static_cast<uint8_t>(y * 3 + x);
        const Bytes file =
            GifBuilder(width, height, 8).image(0, 0, width, height, pixels, 8, {}, true).trailer().b;
        Decoded d;
        decode(file, &d);
        ASSERT_NE(d.image, nullptr) << height;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(d.pixel(x, y), pixels[static_cast<size_t>(y * width + x)])
                    << height << ":" << x << "," << y;
    }
}

TEST(GifReader, TransparentEntryIsReplacedOnlyInTheShownPalette) {
    struct Case {
        const char* name;
        int global_bits;
        uint8_t use_configured;
        RgbQuad expected;
    };
    // Global entry 2 (the background) is (2, 253, 32).
    const Case cases[] = {
        {"global_background", 2, 0, {32, 253, 2, 0}},
        {"configured_colour", 2, 1, {30, 20, 10, 0}},
        {"no_global_table", 0, 0, {30, 20, 10, 0}},
    };
    for (const Case& c : cases) {
        const Bytes local = {1, 1, 1, 9, 9, 9, 7, 7, 7, 8, 8, 8};
        GifBuilder g(2, 1, c.global_bits, 2);
        g.control(0, 0, 1).image(0, 0, 2, 1, {0, 1}, 2, c.global_bits ? Bytes{} : local).trailer();
        Decoded d;
        init_codec_context(d.context.get(), 0);
        gif_reader_reset(d.context.get());
        d.context->options.use_configured_colour = c.use_configured;
        d.context->options.configured_colour[0] = 10;
        d.context->options.configured_colour[1] = 20;
        d.context->options.configured_colour[2] = 30;
        d.context->input = ByteCursor(g.b.data(), g.b.size());
        d.image = read_gif_image(d.context.get());
        ASSERT_NE(d.image, nullptr) << c.name;
        const RgbQuad& e = d.image->palette[1];
        EXPECT_EQ(e.blue, c.expected.blue) << c.name;
        EXPECT_EQ(e.green, c.expected.green) << c.name;
        EXPECT_EQ(e.red, c.expected.red) << c.name;
    }
}

// Colour (red, green, blue) of a frame's pixel, from the top-left.
struct Colour {
    int red, green, blue;
    bool operator==(const Colour& o) const { return red == o.red && green == o.green && blue == o.blue; }
};

std::ostream& operator<<(std::ostream& os, const Colour& c) {
    return os << "(" << c.red << "," << c.green << "," << c.blue << ")";
}

Colour frame_colour(const GifAnimationInfo& info, int frame, int width, int height, int x, int y) {
    const uint8_t v = Decoded::at(info.frame_pixels[frame], width, height, x, y);
    const RgbQuad& e = info.frame_palettes[frame][v];
    return {e.red, e.green, e.blue};
}

Colour global(int i) {
    return {i, 255 - i, 16 * i};
}

class GifAnimation : public ::testing::TestWithParam<bool> {};

TEST_P(GifAnimation, FramesComposeWithTheirOwnDisposalAndTables) {
    // Frame 0: the whole 4 x 2 screen in index 1, asks to be restored to the background
    // (index 2) after it. Frame 1: (1,0)-(2,0) in index 3 with 0 transparent, asks to be
    // restored to what was before it. Frame 2: pixel (0,1) through a local table.
    // Frame 3: one transparent pixel, so it shows what disposal left.
    const Bytes local = {100, 101, 102, 110, 111, 112};
    const Bytes file = GifBuilder(4, 2, 2, 2)
                           .looping(5)
                           .control(2, 10)
                           .image(0, 0, 4, 2, Bytes(8, 1), 2)
                           .control(3, 20, 0)
                           .image(1, 0, 2, 1, {3, 0}, 2)
                           .control(0, 30)
                           .image(0, 1, 1, 1, {1}, 2, local)
                           .control(1, 40, 0)
                           .image(3, 1, 1, 1, {0}, 2)
                           .trailer()
                           .b;
    Decoded d;
    decode(file, &d, true, GetParam());
    ASSERT_NE(d.image, nullptr) << d.error;
    auto info = std::make_unique<GifAnimationInfo>();
    ASSERT_TRUE(gif_get_animation_info(d.context.get(), info.get()));
    EXPECT_EQ(info->frame_count, 4);
    EXPECT_EQ(info->loop_count, 5);
    const int delays[4] = {10, 20, 30, 40};
    const int disposals[4] = {2, 3, 0, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(info->delays[i], delays[i]);
        EXPECT_EQ(info->disposals[i], disposals[i]);
    }
    EXPECT_EQ(info->frame_pixels[0], d.image->pixels);
    const Colour bg = global(2), one = global(1), three = global(3);
    const Colour lc = {110, 111, 112};
    const Colour expected[4][2][4] = {
        {{one, one, one, one}, {one, one, one, one}},
        // Frame 0 disposed to the background everywhere; (2,0) is transparent.
        {{bg, three, bg, bg}, {bg, bg, bg, bg}},
        // Frame 1 restored to what was under it.
        {{bg, bg, bg, bg}, {lc, bg, bg, bg}},
        {{bg, bg, bg, bg}, {lc, bg, bg, bg}},
    };
    for (int f = 0; f < 4; ++f)
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(frame_colour(*info, f, 4, 2, x, y), expected[f][y][x]) << f << ":" << x << "," << y;
    gif_free_animation_frames(info.get());
}

INSTANTIATE_TEST_SUITE_P(Modes, GifAnimation, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "InMemory" : "DibSection";
                         });

TEST(GifReader, KeptColoursMissingFromAFullLocalTableTakeTheNearestEntry) {
    Bytes ramp;
    for (int i = 0; i < 256; ++i)
        ramp.insert(ramp.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)});
    const Bytes file = GifBuilder(2, 1, 1)
                           .looping(0)
                           .image(0, 0, 2, 1, {0, 1}, 2)
                           .image(0, 0, 1, 1, {5}, 8, ramp)
                           .trailer()
                           .b;
    Decoded d;
    decode(file, &d, true);
    ASSERT_NE(d.image, nullptr) << d.error;
    auto info = std::make_unique<GifAnimationInfo>();
    ASSERT_TRUE(gif_get_animation_info(d.context.get(), info.get()));
    ASSERT_EQ(info->frame_count, 2);
    EXPECT_EQ(frame_colour(*info, 1, 2, 1, 0, 0), (Colour{5, 5, 5}));
    // Global entry 1 is (1, 254, 16); the nearest grey is 90.
    EXPECT_EQ(frame_colour(*info, 1, 2, 1, 1, 0), (Colour{90, 90, 90}));
    gif_free_animation_frames(info.get());
}

TEST(GifReader, AnimationNeedsTheLoopingExtensionAndTheWish) {
    struct Case {
        const char* name;
        bool looping;
        bool wanted;
        int frames;
    };
    const Case cases[] = {
        {"no_extension", false, true, 1}, {"not_wanted", true, false, 1}, {"both", true, true, 3}};
    for (const Case& c : cases) {
        GifBuilder g(2, 2, 2);
        if (c.looping) g.looping(0);
        for (int i = 0; i < 3; ++i) g.control(1, 5).image(0, 0, 2, 2, Bytes(4, static_cast<uint8_t>(i)), 2);
        g.trailer();
        Decoded d;
        decode(g.b, &d, c.wanted);
        ASSERT_NE(d.image, nullptr) << c.name;
        auto info = std::make_unique<GifAnimationInfo>();
        const bool animated = gif_get_animation_info(d.context.get(), info.get());
        EXPECT_EQ(animated, c.frames > 1) << c.name;
        EXPECT_EQ(d.context->state.frame_count, c.frames) << c.name;
        if (animated) gif_free_animation_frames(info.get());
    }
}

TEST(GifReader, AnimationStopsAt256FramesAndNeedsItsTrailer) {
    GifBuilder g(1, 1, 1);
    g.looping(0);
    for (int i = 0; i < 260; ++i) g.control(0, i).image(0, 0, 1, 1, {static_cast<uint8_t>(i & 1)}, 2);
    Decoded d;
    decode(g.b, &d, true);  // no trailer, but frame 257 onwards is never reached
    ASSERT_NE(d.image, nullptr) << d.error;
    auto info = std::make_unique<GifAnimationInfo>();
    ASSERT_TRUE(gif_get_animation_info(d.context.get(), info.get()));
    EXPECT_EQ(info->frame_count, 256);
    EXPECT_EQ(info->delays[255], 255);
    EXPECT_EQ(Decoded::at(info->frame_pixels[255], 1, 1, 0, 0), 1);
    gif_free_animation_frames(info.get());

    GifBuilder short_one(1, 1, 1);
    short_one.looping(0).image(0, 0, 1, 1, {1}, 2).image(0, 0, 1, 1, {0}, 2);
    Decoded e;
    decode(short_one.b, &e, true);
    EXPECT_EQ(e.image, nullptr);
    EXPECT_EQ(e.error, kCodecBadData);
}

TEST(GifReader, FramesNotTakenAreFreedByTheRelease) {
    // Runs under the leak checker: the frames after the first stay with the context.
    GifBuilder g(2, 1, 1);
    g.looping(0).image(0, 0, 2, 1, {0, 1}, 2).image(0, 0, 2, 1, {1, 0}, 2).trailer();
    Decoded d;
    decode(g.b, &d, true);
    ASSERT_NE(d.image, nullptr);
    EXPECT_EQ(d.context->state.frame_count, 2);
}

// Reads codes of growing width from LZW data, independently of the decoder.
std::vector<int> pack_check_codes(const Bytes& data, int min_code_size, int* clears) {
    std::vector<int> codes;
    const int clear = 1 << min_code_size;
    int width = min_code_size + 1, next = clear + 2;
    bool first = true;
    uint32_t bits = 0;
    int count = 0;
    size_t pos = 0;
    *clears = 0;
    for (;;) {
        while (count < width && pos < data.size()) {
            bits |= static_cast<uint32_t>(data[pos++]) << count;
            count += 8;
        }
        if (count < width) break;
        const int code = static_cast<int>(bits & ((1u << width) - 1));
        bits >>= width;
        count -= width;
        codes.push_back(code);
        if (code == clear) {
            ++*clears;
            width = min_code_size + 1;
            next = clear + 2;
            first = true;
            continue;
        }
        if (code == clear + 1) break;
        if (!first && next < 4096) {
            ++next;
            if (next > (1 << width) - 1 && width < 12) ++width;
        }
        first = false;
    }
    return codes;
}

TEST(GifLzw, DecodesAHandWrittenStreamWithAClearInTheMiddle) {
    // min 2: clear 4, end 5; codes 4 1 1 4 2 6 5 at 3 bits, packed from the low bit. After
    // the clear, 6 is the first free code again and stands for "2 2".
    const int codes[] = {4, 1, 1, 4, 2, 6, 5};
    Bytes data;
    uint32_t acc = 0;
    int n = 0;
    for (int c : codes) {
        acc |= static_cast<uint32_t>(c) << n;
        n += 3;
        while (n >= 8) {
            data.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    data.push_back(static_cast<uint8_t>(acc));
    auto decoder = std::make_unique<GifLzwDecoder>();
    uint8_t out[8] = {};
    EXPECT_EQ(gif_decode_lzw(decoder.get(), 2, data.data(), static_cast<int64_t>(data.size()), out, 8), 5);
    const uint8_t expected[8] = {1, 1, 2, 2, 2, 0, 0, 0};
    EXPECT_EQ(std::memcmp(out, expected, 8), 0);
}

// A code past the next free one is not yet in the table: it stands for the previous string
// followed by that string's first byte, and becomes the table's next entry, from which the
// following codes build. min 2 (clear 4, end 5, first free 6): codes 4 2 7 1 at 3 bits, then
// 7 5 at 4 bits (the table reaches 8 after the 1). 7 arrives while 6 is the next free code:
// "2 2", entered as 6. Then 1 enters 7 = "2 2 1", which the second 7 outputs.
TEST(GifLzw, CodeNotYetInTheTableIsThePreviousStringAndItsFirstByte) {
    const std::pair<int, int> codes[] = {{4, 3}, {2, 3}, {7, 3}, {1, 3}, {7, 4}, {5, 4}};
    Bytes data;
    uint32_t acc = 0;
    int n = 0;
    for (auto [code, width] : codes) {
        acc |= static_cast<uint32_t>(code) << n;
        n += width;
        while (n >= 8) {
            data.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    data.push_back(static_cast<uint8_t>(acc));
    auto decoder = std::make_unique<GifLzwDecoder>();
    uint8_t out[10] = {};
    EXPECT_EQ(gif_decode_lzw(decoder.get(), 2, data.data(), static_cast<int64_t>(data.size()), out, 10), 7);
    const uint8_t expected[10] = {2, 2, 2, 1, 2, 2, 1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(out, expected, 10), 0);
}

TEST(GifLzw, RoundTripsAndRestartsAfterEachClear) {
    struct Case {
        const char* name;
        int min_code_size;
        int count;
        bool noise;
    };
    const Case cases[] = {
        {"one_pixel", 2, 1, false},  {"flat", 8, 100000, false},      {"noise_2", 2, 70000, true},
        {"noise_4", 4, 50000, true}, {"noise_8", 8, 300 * 301, true}, {"stripes_5", 5, 4097, false},
    };
    std::mt19937 random(11);
    for (const Case& c : cases) {
        Bytes pixels(static_cast<size_t>(c.count));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>((c.noise ? random() : i / 3) & ((1u << c.min_code_size) - 1));
        auto encoder = std::make_unique<GifLzwEncoder>();
        const int64_t bound = gif_lzw_bound(c.count);
        Bytes data(static_cast<size_t>(bound));
        const int64_t size =
            gif_encode_lzw(encoder.get(), c.min_code_size, pixels.data(), c.count, data.data(), bound);
        ASSERT_GT(size, 0) << c.name;
        data.resize(static_cast<size_t>(size));
        // Streamed through a small chunk, the output is the same bytes.
        Bytes streamed;
        uint8_t chunk[7];
        const int64_t streamed_size = gif_encode_lzw_stream(
            encoder.get(), c.min_code_size, pixels.data(), c.count, chunk, sizeof chunk,
            [](void* user, const uint8_t* p, int64_t n) {
                static_cast<Bytes*>(user)->insert(static_cast<Bytes*>(user)->end(), p, p + n);
                return true;
            },
            &streamed);
        EXPECT_EQ(streamed_size, size) << c.name;
        EXPECT_EQ(streamed, data) << c.name;
        auto decoder = std::make_unique<GifLzwDecoder>();
        Bytes out(pixels.size());
        EXPECT_EQ(gif_decode_lzw(decoder.get(), c.min_code_size, data.data(), size, out.data(), c.count),
                  c.count)
            << c.name;
        EXPECT_EQ(out, pixels) << c.name;
        int clears = 0;
        const std::vector<int> codes = pack_check_codes(data, c.min_code_size, &clears);
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.front(), 1 << c.min_code_size) << c.name;
        EXPECT_EQ(codes.back(), (1 << c.min_code_size) + 1) << c.name;
        if (c.noise) {
            EXPECT_GT(clears, 1) << c.name;
        }
    }
}

TEST(GifLzw, EncodesThePublishedSampleToItsPublishedData) {
    Bytes pixels;
    for (const char* row : kSampleRows)
        for (int x = 0; x < 10; ++x) pixels.push_back(static_cast<uint8_t>(row[x] - '0'));
    auto encoder = std::make_unique<GifLzwEncoder>();
    Bytes data(static_cast<size_t>(gif_lzw_bound(100)));
    const int64_t size =
        gif_encode_lzw(encoder.get(), 2, pixels.data(), 100, data.data(), static_cast<int64_t>(data.size()));
    ASSERT_GE(size, 22);
    // The published data is 22 bytes; we append the byte of remaining bits even when empty.
    EXPECT_TRUE(std::equal(kSample.begin() + 45, kSample.begin() + 45 + 22, data.begin()));
}

// Writer.

struct Written {
    Bytes file;
    bool ok = false;
    int32_t error = 0;
};

Written write_indexed(int width, int height, int bits, const Bytes& top_down, bool interlace = false,
                      const uint8_t* transparent = nullptr, const RgbQuad* palette = nullptr) {
    GifWriterContext c;
    init_codec_context(&c, 0);
    c.conversion.width = width;
    c.conversion.height = height;
    c.conversion.target_bits = bits;
    c.interlace = interlace;
    c.transparency = transparent != nullptr;
    c.transparent_colour = transparent;
    RgbQuad own[256];
    for (int i = 0; i < 256; ++i)
        own[i] =
            RgbQuad{static_cast<uint8_t>(i), static_cast<uint8_t>(i / 2), static_cast<uint8_t>(255 - i), 0};
    Bytes bottom_up(top_down.size());
    for (int y = 0; y < height; ++y)
        std::memcpy(&bottom_up[static_cast<size_t>((height - 1 - y) * width)],
                    &top_down[static_cast<size_t>(y * width)], static_cast<size_t>(width));
    const std::u16string path = scratch_path("w.gif");
    (void)c.output_file.create(path);
    Written w;
    w.ok = gif_write_indexed(&c, palette ? palette : own, bottom_up.data());
    w.error = c.error;
    gif_writer_release(&c);
    read_bytes(path, &w.file);
    return w;
}

TEST(GifWriter, HeaderFollowsTheTargetDepth) {
    struct Case {
        int bits;
        uint8_t packed;
        int min_code_size;
    };
    const Case cases[] = {{1, 0x80, 2}, {2, 0x91, 2}, {4, 0xB3, 4}, {8, 0xF7, 8}};
    for (const Case& c : cases) {
        const Written w = write_indexed(3, 2, c.bits, {0, 1, 1, 0, 1, 0});
        ASSERT_TRUE(w.ok) << c.bits;
        EXPECT_EQ(std::string(w.file.begin(), w.file.begin() + 6), "GIF89a");
        EXPECT_EQ(w.file[10], c.packed) << c.bits;
        const size_t table = 3u << c.bits;
        EXPECT_EQ(w.file[13 + table], 0x2C) << c.bits;
        EXPECT_EQ(w.file[13 + table + 10], c.min_code_size) << c.bits;
        EXPECT_EQ(w.file.back(), 0x3B);
    }
}

TEST(GifWriter, RoundTripsThroughTheReader) {
    std::mt19937 random(3);
    for (int bits : {1, 3, 8}) {
        for (int width : {1, 2, 3, 5}) {
            for (int height : {1, 2, 7}) {
                for (bool interlace : {false, true}) {
                    Bytes pixels(static_cast<size_t>(width * height));
                    for (uint8_t& p : pixels) p = static_cast<uint8_t>(random() % (1u << bits));
                    const Written w = write_indexed(width, height, bits, pixels, interlace);
                    ASSERT_TRUE(w.ok);
                    Decoded d;
                    decode(w.file, &d);
                    ASSERT_NE(d.image, nullptr) << d.error;
                    EXPECT_EQ(d.image->source_bits, bits);
                    for (int y = 0; y < height; ++y)
                        for (int x = 0; x < width; ++x)
                            ASSERT_EQ(d.pixel(x, y), pixels[static_cast<size_t>(y * width + x)])
                                << bits << " " << width << "x" << height << " " << interlace;
                    EXPECT_EQ(d.image->palette[1].red, 255 - 1);
                    EXPECT_EQ(d.image->palette[1].blue, 1);
                }
            }
        }
    }
}

TEST(GifWriter, InterlacedRowsAreStoredByPass) {
    const Bytes pixels = {0, 1, 2, 3, 4};  // one pixel per row, valued by its row
    const Written w = write_indexed(1, 5, 4, pixels, true);
    ASSERT_TRUE(w.ok);
    const size_t data = 13 + 48 + 10;
    EXPECT_EQ(w.file[data - 1], 0x40);
    const Bytes lzw(w.file.begin() + static_cast<long>(data) + 2,
                    w.file.begin() + static_cast<long>(data) + 2 + w.file[data + 1]);
    auto decoder = std::make_unique<GifLzwDecoder>();
    uint8_t out[5];
    ASSERT_EQ(gif_decode_lzw(decoder.get(), 4, lzw.data(), static_cast<int64_t>(lzw.size()), out, 5), 5);
    const uint8_t expected[5] = {0, 4, 2, 1, 3};
    EXPECT_EQ(std::memcmp(out, expected, 5), 0);
}

TEST(GifWriter, TransparentColourPicksTheHighestExactOrFirstNearestEntry) {
    RgbQuad palette[4] = {{10, 20, 30, 0}, {0, 0, 0, 0}, {10, 20, 30, 0}, {12, 20, 30, 0}};
    struct Case {
        const char* name;
        uint8_t colour[3];  // red, green, blue
        int index;
    };
    const Case cases[] = {
        {"exact_twice", {30, 20, 10}, 2},
        {"nearest_tie_lower", {30, 20, 11}, 0},  // 1 from entries 0 and 2, 1 from entry 3
        {"nearest", {30, 20, 13}, 3},
        {"black", {1, 1, 1}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gif_find_transparent_index(palette, 4, c.colour), c.index) << c.name;
        const Written w = write_indexed(2, 1, 2, {0, 1}, false, c.colour, palette);
        ASSERT_TRUE(w.ok);
        EXPECT_EQ(w.file[11], c.index) << c.name;  // background index
        const Bytes control = {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, static_cast<uint8_t>(c.index), 0x00};
        EXPECT_TRUE(std::equal(control.begin(), control.end(), w.file.begin() + 13 + 12)) << c.name;
    }
}

TEST(GifWriter, ReducesTrueColourAndKeepsEveryColourThatFits) {
    // 3 x 2, 24 bits, bottom-up rows padded to 12 bytes; three colours fit a 2-bit table.
    const uint8_t blue[3] = {255, 0, 0}, red[3] = {0, 0, 255}, grey[3] = {90, 90, 90};
    const uint8_t* top[3] = {blue, red, grey};
    const uint8_t* bottom[3] = {grey, grey, blue};
    uint8_t source[24] = {};
    for (int x = 0; x < 3; ++x) {
        std::memcpy(source + 3 * x, bottom[x], 3);
        std::memcpy(source + 12 + 3 * x, top[x], 3);
    }
    for (bool interlace : {false, true}) {
        GifWriterContext c;
        init_codec_context(&c, 0);
        c.conversion.width = 3;
        c.conversion.height = 2;
        c.conversion.source_bits = 24;
        c.conversion.target_bits = 2;
        c.conversion.dither_mode = kDitherNone;
        c.interlace = interlace;
        compute_row_sizes(&c.conversion);
        const std::u16string path = scratch_path("reduced.gif");
        ASSERT_TRUE(write_gif_file(path, &c, nullptr, source)) << c.error;
        gif_writer_release(&c);
        Bytes file;
        ASSERT_TRUE(read_bytes(path, &file));
        EXPECT_EQ(file[10], 0x91);
        Decoded d;
        decode(file, &d);
        ASSERT_NE(d.image, nullptr) << d.error;
        for (int x = 0; x < 3; ++x) {
            for (int y = 0; y < 2; ++y) {
                const RgbQuad& e = d.image->palette[d.pixel(x, y)];
                const uint8_t* want = y == 0 ? top[x] : bottom[x];
                EXPECT_EQ(e.blue, want[0]) << x << "," << y;
                EXPECT_EQ(e.green, want[1]) << x << "," << y;
                EXPECT_EQ(e.red, want[2]) << x << "," << y;
            }
        }
    }
}

TEST(GifWriter, FailedOutputIsReportedAsFailure) {
    GifWriterContext c;
    init_codec_context(&c, 0);
    c.conversion.width = 2;
    c.conversion.height = 2;
    c.conversion.target_bits = 8;
    RgbQuad palette[256] = {};
    const uint8_t pixels[4] = {1, 2, 3, 4};
    EXPECT_FALSE(gif_write_indexed(&c, palette, pixels));  // no output file open
    EXPECT_EQ(c.error, kCodecSaveFailed);
    gif_writer_release(&c);

    GifWriterContext d;
    init_codec_context(&d, 0);
    d.conversion.width = 2;
    d.conversion.height = 2;
    d.conversion.target_bits = 8;
    d.conversion.source_bits = 8;
    EXPECT_FALSE(write_gif_file(scratch_path("missing-folder/x.gif"), &d, palette, pixels));
    EXPECT_EQ(d.error, kCodecCreateFailed);
    gif_writer_release(&d);
}

TEST(GifWriter, BuffersComeFromTheImageNotTheCallersSizes) {
    // A caller that left the 8-bit image size at zero (or too small) must not make the writer
    // overrun its buffers.
    std::mt19937 random(5);
    Bytes pixels(64 * 64);
    for (uint8_t& p : pixels) p = static_cast<uint8_t>(random());
    GifWriterContext c;
    init_codec_context(&c, 0);
    c.conversion.width = 64;
    c.conversion.height = 64;
    c.conversion.target_bits = 8;
    c.conversion.image_bytes = 4;
    RgbQuad palette[256] = {};
    const std::u16string path = scratch_path("noise.gif");
    (void)c.output_file.create(path);
    EXPECT_TRUE(gif_write_indexed(&c, palette, pixels.data()));
    gif_writer_release(&c);
    Bytes file;
    ASSERT_TRUE(read_bytes(path, &file));
    Decoded d;
    decode(file, &d);
    ASSERT_NE(d.image, nullptr);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(d.pixel(x, y), pixels[static_cast<size_t>((63 - y) * 64 + x)]);
}

}  // namespace
