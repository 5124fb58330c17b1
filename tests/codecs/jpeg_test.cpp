#include "codecs/jpeg/jpeg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "codecs/file_io.h"
#include "tests/codecs/jpeg_test_util.h"
#include "tests/support/test_support.h"

using namespace jpeg_test;

namespace {

int max_difference(const uint8_t* a, const uint8_t* b, size_t n) {
    int worst = 0;
    for (size_t i = 0; i < n; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

// ---- scale choice ----

struct ScaleCase {
    uint32_t width, height, box_width, box_height;
    int32_t denominator;
};

TEST(JpegChooseScale, SmallerRatioDecidesAndKeepsTheBoxCovered) {
    const ScaleCase cases[] = {
        {4000, 3000, 160, 120, 8},                                 // n = 25
        {4000, 3000, 1000, 1000, 2},                               // n = min(4, 3)
        {3000, 3000, 3000, 3000, 1}, {3000, 3000, 4000, 4000, 1},  // n = 0
        {800, 800, 100, 100, 8},     {799, 800, 100, 100, 4},      // n = 7
        {400, 400, 100, 100, 4},     {399, 400, 100, 100, 2},
        {200, 200, 100, 100, 2},     {199, 200, 100, 100, 1},
    };
    for (const ScaleCase& c : cases)
        EXPECT_EQ(jpeg_scale_for_box(c.width, c.height, c.box_width, c.box_height), c.denominator)
            << c.width << "x" << c.height << " in " << c.box_width << "x" << c.box_height;
}

TEST(JpegReader, ScaledDecodeByBoxStaysAtLeastAsLargeAsTheBox) {
    const std::vector<uint8_t> jpeg = encode(make_picture(64, 48));
    Decoded d;
    decode(jpeg, &d, 0, 16, 16);  // n = min(4, 3): half size
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.info.width, 32);
    EXPECT_EQ(d.image.info.height, 24);
    EXPECT_EQ(d.info.state.source_width, 64);
    EXPECT_EQ(d.info.state.source_height, 48);
}

// ---- decoding ----

TEST(JpegReader, RoundTripKeepsColourOrderAndOrientationAtOddWidths) {
    for (int32_t width : {1, 2, 3, 5, 17}) {
        for (int32_t height : {1, 3, 9}) {
            Bgr picture = make_picture(width, height);
            EncodeOptions options;
            options.quality = 100;
            options.sampling = 2;  // 1x1: no chroma smoothing at tiny sizes
            Decoded d;
            decode(encode(picture, options), &d);
            ASSERT_TRUE(d.ok) << width << "x" << height;
            EXPECT_EQ(d.image.info.bit_count, 24);
            EXPECT_EQ(d.image.source_bits, 24);
            EXPECT_EQ(d.image.format, 3);
            EXPECT_EQ(d.info.state.grey_output, 0);
            ASSERT_EQ(d.image.info.width, width);
            ASSERT_EQ(d.image.info.height, height);
            for (int32_t y = 0; y < height; ++y)
                EXPECT_LE(max_difference(d.image.pixels + y * picture.stride, picture.pixel(0, y),
                                         static_cast<size_t>(width) * 3),
                          3)
                    << width << "x" << height << " row " << y;
        }
    }
}

TEST(JpegReader, GreyFileGivesEightBitsWithGreyPalette) {
    EncodeOptions options;
    options.grey = true;
    Decoded d;
    decode(encode(make_picture(7, 5), options), &d);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.image.info.bit_count, 8);
    EXPECT_EQ(d.image.source_bits, 8);
    EXPECT_EQ(d.info.state.grey_output, 1);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(d.image.palette[i].blue, i);
        EXPECT_EQ(d.image.palette[i].green, i);
        EXPECT_EQ(d.image.palette[i].red, i);
    }
}

TEST(JpegReader, CmykMixesEachChannelWithBlack) {
    const uint8_t cmyk[4] = {200, 100, 30, 180};
    Decoded d;
    decode(encode_cmyk(16, 8, cmyk), &d);
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.image.info.bit_count, 24);
    const uint8_t* p = d.image.pixels;
    // Quality 100 keeps flat samples within one step.
    EXPECT_NEAR(p[0], 30 * 180 / 255, 1);
    EXPECT_NEAR(p[1], 100 * 180 / 255, 1);
    EXPECT_NEAR(p[2], 200 * 180 / 255, 1);
}

TEST(JpegReader, ProgressiveFlagAndDensity) {
    EncodeOptions options;
    options.progressive = true;
    options.dpi = 72;
    Decoded d;
    decode(encode(make_picture(9, 9), options), &d);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.state.progressive, 1);
    EXPECT_EQ(d.image.info.x_pels_per_meter, 2835);
    EXPECT_EQ(d.image.info.y_pels_per_meter, 2835);

    // Dots per centimetre: patch the JFIF unit and densities.
    std::vector<uint8_t> jpeg = encode(make_picture(9, 9));
    ASSERT_EQ(std::memcmp(&jpeg[6], "JFIF", 5), 0);
    jpeg[13] = 2;
    jpeg[14] = 0;
    jpeg[15] = 28;
    jpeg[16] = 0;
    jpeg[17] = 28;
    Decoded c;
    decode(jpeg, &c);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.info.state.progressive, 0);
    EXPECT_EQ(c.image.info.x_pels_per_meter, 2800);
    jpeg[13] = 0;
    Decoded n;
    decode(jpeg, &n);
    EXPECT_EQ(n.image.info.x_pels_per_meter, 0);
}

TEST(JpegReader, CountsCommentsAndNotesApp1) {
    EncodeOptions options;
    options.comment = "one";
    std::vector<uint8_t> jpeg = encode(make_picture(8, 8), options);
    Decoded one;
    decode(jpeg, &one);
    EXPECT_EQ(one.info.state.comment_count, 1);
    EXPECT_EQ(one.info.state.app1_seen, 0);
    jpeg = insert_after_soi(jpeg, {0xFF, 0xFE, 0x00, 0x04, 'a', 'b'});
    jpeg = insert_after_soi(jpeg, {0xFF, 0xE1, 0x00, 0x05, 'x', 'y', 'z'});
    Decoded two;
    decode(jpeg, &two);
    ASSERT_TRUE(two.ok);
    EXPECT_EQ(two.info.state.comment_count, 2);
    EXPECT_EQ(two.info.state.app1_seen, 1);
}

TEST(JpegReader, SizeLimitRefusesWithUnsupportedBeforeAllocating) {
    const std::vector<uint8_t> jpeg = encode(make_picture(16, 8));
    const int64_t sof = find_marker(jpeg, 0xC0);
    ASSERT_GT(sof, 0);
    struct Case {
        uint16_t width;
        bool ok;
    };
    for (const Case c : {Case{25000, true}, Case{25001, false}, Case{65000, false}}) {
        std::vector<uint8_t> patched = jpeg;
        patched[sof + 7] = static_cast<uint8_t>(c.width >> 8);
        patched[sof + 8] = static_cast<uint8_t>(c.width);
        Decoded d;
        decode(patched, &d);
        EXPECT_EQ(d.ok, c.ok) << c.width;
        if (!c.ok) {
            EXPECT_EQ(d.error, kCodecUnsupported);
            EXPECT_EQ(d.image.pixels, nullptr);
        }
    }
}

TEST(JpegReader, TruncatedScanDecodesAndEveryPrefixEndsCleanly) {
    const std::vector<uint8_t> jpeg = encode(make_picture(24, 16));
    const int64_t sos = find_marker(jpeg, 0xDA);
    ASSERT_GT(sos, 0);
    for (size_t n = 0; n < jpeg.size(); ++n) {
        const std::vector<uint8_t> prefix(jpeg.begin(), jpeg.begin() + static_cast<int64_t>(n));
        Decoded d;
        decode(prefix, &d);
        if (d.ok) {
            EXPECT_EQ(d.image.info.width, 24);
            EXPECT_NE(d.image.pixels, nullptr);
        } else {
            EXPECT_NE(d.error, kCodecOk) << n;
            EXPECT_EQ(d.image.pixels, nullptr);
        }
        // Once the scan has started, the rest is treated as an early end of the image.
        if (static_cast<int64_t>(n) > sos + 20) {
            EXPECT_TRUE(d.ok) << n;
        }
    }
}

// Damage inside the entropy data still gives an image; only the library's warnings tell it
// from a sound one.
TEST(JpegReader, DamagedScanDecodesWithItsWarningsCounted) {
    const std::vector<uint8_t> jpeg = encode(make_picture(48, 32));
    const int64_t sos = find_marker(jpeg, 0xDA);
    ASSERT_GT(sos, 0);
    const size_t scan = static_cast<size_t>(sos) + 2 + ((jpeg[sos + 2] << 8) | jpeg[sos + 3]);
    const size_t middle = (scan + jpeg.size() - 2) / 2;
    std::vector<uint8_t> early_end = jpeg;  // an end marker in the middle of the scan
    early_end[middle] = 0xFF;
    early_end[middle + 1] = 0xD9;
    std::vector<uint8_t> restart = jpeg;  // a restart marker the frame has no interval for
    restart[middle] = 0xFF;
    restart[middle + 1] = 0xD3;
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<int64_t>(middle));
    struct Case {
        const char* name;
        const std::vector<uint8_t>* bytes;
        bool warned;
    };
    const Case cases[] = {{"sound", &jpeg, false},
                          {"early end", &early_end, true},
                          {"restart", &restart, true},
                          {"cut", &cut, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d;
        decode(*c.bytes, &d);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.image.info.width, 48);
        EXPECT_EQ(d.info.state.warning_count != 0, c.warned);
    }
}

TEST(JpegReader, LibraryErrorKeepsItsMessage) {
    Decoded d;
    decode({0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02, 0xFF, 0xD9}, &d);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.error, kCodecBadData);
    EXPECT_NE(g_jpeg_error_text[0], 0);
    Decoded text;
    decode({'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}, &text);
    EXPECT_FALSE(text.ok);
    EXPECT_EQ(std::u16string(g_jpeg_error_text).substr(0, 10), u"Not a JPEG");
}

TEST(JpegReader, FileModeMapsTheFileAndMissingFileIsReadError) {
    const std::vector<uint8_t> jpeg = encode(make_picture(5, 4));
    const std::u16string path = scratch_path("read.jpg");
    ASSERT_TRUE(write_bytes(path, jpeg));
    JpegReaderContext context;
    init_codec_context(&context, 0);
    jpeg_reader_reset(&context);
    context.in_memory = 1;
    LoadedImage* image = read_jpeg_image(&context, path, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->file_size, jpeg.size());
    EXPECT_EQ(image->info.width, 5);
    free_loaded_image(image);
    jpeg_reader_release(&context);
    jpeg_reader_release(&context);  // idempotent

    jpeg_reader_reset(&context);
    EXPECT_EQ(read_jpeg_image(&context, scratch_path("missing.jpg"), nullptr), nullptr);
    EXPECT_EQ(context.error, kCodecReadFailed);
    jpeg_reader_release(&context);
}

// ---- writing ----

TEST(JpegWriter, SaveOptions) {
    struct Case {
        int32_t quality, sampling, want_quality, want_h, want_v;
    };
    const Case cases[] = {
        {150, 1, 75, 2, 1}, {101, 2, 75, 1, 1}, {100, 0, 100, 2, 2},
        {1, 3, 1, 2, 2},    {0, -1, 0, 2, 2},   {-5, 2, -5, 1, 1},
    };
    for (const Case& c : cases) {
        JpegWriterContext context;
        jpeg_writer_reset(&context);
        jpeg_set_save_options(&context, c.quality, 1, 0, c.sampling);
        EXPECT_EQ(context.state.quality, c.want_quality);
        EXPECT_EQ(context.state.horizontal_sampling, c.want_h);
        EXPECT_EQ(context.state.vertical_sampling, c.want_v);
        EXPECT_EQ(context.state.progressive, 1);
        EXPECT_EQ(context.state.grey_output, 0);
    }
}

TEST(JpegWriter, CommentIsCutAtTenThousandBytesAndFollowsTheJfifHeader) {
    const std::string text(12000, 'c');
    EncodeOptions options;
    options.comment = text.c_str();
    const std::vector<uint8_t> jpeg = encode(make_picture(4, 4), options);
    const std::vector<uint8_t> markers = marker_list(jpeg);
    ASSERT_GE(markers.size(), 2u);
    EXPECT_EQ(markers[0], 0xE0);
    EXPECT_EQ(markers[1], 0xFE);
    const int64_t com = find_marker(jpeg, 0xFE);
    EXPECT_EQ((jpeg[com + 2] << 8) | jpeg[com + 3], 10002);
}

TEST(JpegWriter, SamplingAndGreyReachTheFrameHeader) {
    struct Case {
        int32_t sampling;
        bool grey;
        int components;
        uint8_t first_factors;
    };
    for (const Case c : {Case{0, false, 3, 0x22}, Case{1, false, 3, 0x21}, Case{2, false, 3, 0x11},
                         Case{0, true, 1, 0x11}}) {
        EncodeOptions options;
        options.sampling = c.sampling;
        options.grey = c.grey;
        const std::vector<uint8_t> jpeg = encode(make_picture(6, 6), options);
        const int64_t sof = find_marker(jpeg, 0xC0);
        ASSERT_GT(sof, 0);
        EXPECT_EQ(jpeg[sof + 9], c.components);
        EXPECT_EQ(jpeg[sof + 11], c.first_factors);
        EXPECT_EQ(find_marker(jpeg, 0xEE), -1);  // no Adobe marker
    }
}

TEST(JpegWriter, EightBitSourceGoesThroughItsPalette) {
    const int32_t width = 5;
    const int32_t height = 3;
    const int32_t stride = 8;
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * height, 1);
    RgbQuad palette[256] = {};
    palette[1] = RgbQuad{200, 50, 10, 0};
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = width;
    context.conversion.height = height;
    context.conversion.source_bits = 8;
    jpeg_set_save_options(&context, 100, 0, 0, 2);
    const std::u16string path = scratch_path("palette.jpg");
    ASSERT_TRUE(write_jpeg_image(&context, path, palette, bits.data()));
    jpeg_writer_release(&context);
    EXPECT_EQ(context.state.conversion_buffer, nullptr);
    EXPECT_FALSE(context.output_file.is_open());
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(read_bytes(path, &jpeg));
    Decoded d;
    decode(jpeg, &d);
    ASSERT_TRUE(d.ok);
    EXPECT_NEAR(d.image.pixels[0], 200, 3);
    EXPECT_NEAR(d.image.pixels[1], 50, 3);
    EXPECT_NEAR(d.image.pixels[2], 10, 3);
}

TEST(JpegWriter, MemoryDestinationNeverWritesPastItsCapacity) {
    const Bgr picture = make_picture(32, 32);
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = picture.width;
    context.conversion.height = picture.height;
    context.conversion.source_bits = 24;
    std::vector<uint8_t> big(100000);
    uint32_t count = static_cast<uint32_t>(big.size());
    ASSERT_TRUE(write_jpeg_image_to_memory(&context, big.data(), &count, picture.bits.data()));
    ASSERT_GT(count, 300u);
    // A buffer one byte short of the encode, followed by a guard that must stay untouched.
    std::vector<uint8_t> small(count - 1 + 64, 0xA5);
    uint32_t capacity = count - 1;
    EXPECT_FALSE(write_jpeg_image_to_memory(&context, small.data(), &capacity, picture.bits.data()));
    for (size_t i = count - 1; i < small.size(); ++i) ASSERT_EQ(small[i], 0xA5);
    EXPECT_NE(g_jpeg_error_text[0], 0);
    // Memory mode takes 24-bit rows only.
    context.conversion.source_bits = 8;
    capacity = static_cast<uint32_t>(big.size());
    EXPECT_FALSE(write_jpeg_image_to_memory(&context, big.data(), &capacity, picture.bits.data()));
}

TEST(JpegWriter, CreateAndWriteFailuresAreReported) {
    const Bgr picture = make_picture(8, 8);
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = picture.width;
    context.conversion.height = picture.height;
    context.conversion.source_bits = 24;
    EXPECT_FALSE(
        write_jpeg_image(&context, scratch_path("no-such-folder/x.jpg"), nullptr, picture.bits.data()));
    EXPECT_EQ(context.error, kCodecCreateFailed);
    jpeg_writer_release(&context);
#ifndef _WIN32
    // Every write to /dev/full fails: the save must not report success.
    jpeg_writer_reset(&context);
    EXPECT_FALSE(write_jpeg_image(&context, u"/dev/full", nullptr, picture.bits.data()));
    EXPECT_EQ(context.error, kCodecSaveFailed);
    jpeg_writer_release(&context);
    jpeg_writer_reset(&context);
    EXPECT_FALSE(write_jpeg_file_size_limited(&context, u"/dev/full", nullptr, picture.bits.data(), 100));
    EXPECT_EQ(context.error, kCodecSaveFailed);
    jpeg_writer_release(&context);
#endif
}

// ---- size-limited save ----

std::vector<uint8_t> encode_at(const Bgr& picture, int32_t quality) {
    EncodeOptions options;
    options.quality = quality;
    options.sampling = 3;  // the context default, 2x2
    return encode(picture, options);
}

TEST(JpegWriter, SizeLimitedSaveWritesTheBestEncodeThatFits) {
    // A noisy picture, so that sizes grow steadily with the quality.
    Bgr picture = make_picture(40, 30);
    uint32_t seed = 1;
    for (uint8_t& b : picture.bits) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(b / 2 + ((seed >> 16) & 0x7F));
    }
    std::vector<size_t> size_at(101);
    for (int q = 1; q <= 100; ++q) size_at[q] = encode_at(picture, q).size();

    for (uint32_t limit_kb : {1u, 2u, 3u, 4u, 5u, 100u}) {
        const size_t limit = limit_kb * 1024;
        JpegWriterContext context;
        init_codec_context(&context, 0);
        jpeg_writer_reset(&context);
        context.conversion.width = picture.width;
        context.conversion.height = picture.height;
        context.conversion.source_bits = 24;
        const std::u16string path = scratch_path("limited.jpg");
        const bool ok = write_jpeg_file_size_limited(&context, path, nullptr, picture.bits.data(), limit_kb);
        jpeg_writer_release(&context);
        std::vector<uint8_t> written;
        const bool exists = read_bytes(path, &written);
        if (size_at[1] > limit) {
            EXPECT_FALSE(ok) << limit_kb;
            EXPECT_EQ(context.error, kCodecSaveFailed);
            EXPECT_FALSE(exists) << limit_kb;
            continue;
        }
        ASSERT_TRUE(ok) << limit_kb;
        ASSERT_TRUE(exists);
        EXPECT_LE(written.size(), limit) << limit_kb;
        // It is one of the encodes, and the next quality up is too large (or it is 100).
        int q = 100;
        while (q > 0 && encode_at(picture, q) != written) --q;
        ASSERT_GT(q, 0) << limit_kb;
        if (q < 100) {
            EXPECT_GT(size_at[q + 1], limit) << limit_kb;
        }
        EXPECT_EQ(context.state.quality, q);
    }
}

// 1 KB cannot hold even the quality-1 encode of a 640 x 480 noise picture (checked first, so
// the branch surely runs): nothing is written and the save fails with error 7.
TEST(JpegWriter, SizeLimitedSaveThatNothingFitsWritesNoFile) {
    Bgr picture = make_picture(640, 480);
    uint32_t seed = 7;
    for (uint8_t& b : picture.bits) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    ASSERT_GT(encode_at(picture, 1).size(), 1024u);
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = picture.width;
    context.conversion.height = picture.height;
    context.conversion.source_bits = 24;
    const std::u16string path = scratch_path("nothing_fits.jpg");
    file_delete(path);
    EXPECT_FALSE(write_jpeg_file_size_limited(&context, path, nullptr, picture.bits.data(), 1));
    EXPECT_EQ(context.error, kCodecSaveFailed);
    jpeg_writer_release(&context);
    std::vector<uint8_t> written;
    EXPECT_FALSE(read_bytes(path, &written));
}

TEST(JpegWriter, SizeLimitedSaveOfATinyImage) {
    // Headers alone are larger than the raw pixels of a 1x1 image.
    const Bgr picture = make_picture(1, 1);
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = 1;
    context.conversion.height = 1;
    context.conversion.source_bits = 24;
    const std::u16string path = scratch_path("tiny.jpg");
    ASSERT_TRUE(write_jpeg_file_size_limited(&context, path, nullptr, picture.bits.data(), 64));
    jpeg_writer_release(&context);
    std::vector<uint8_t> written;
    ASSERT_TRUE(read_bytes(path, &written));
    EXPECT_EQ(written, encode_at(picture, 100));
}

}  // namespace
