#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/jpeg/jpeg.h"
#include "tests/codecs/jpeg_test_util.h"
#include "tests/support/test_support.h"

using namespace jpeg_test;

namespace {

struct Outcome {
    bool ok;
    int32_t error;
    int32_t width, height;
    std::vector<uint8_t> file;
};

Outcome transform(const std::vector<uint8_t>& source, int32_t kind, bool trim,
                  int32_t marker_copy = kJpegCopyNone, bool progressive = false, bool grey = false) {
    const std::u16string in = scratch_path("in.jpg");
    const std::u16string out = scratch_path("out.jpg");
    EXPECT_TRUE(write_bytes(in, source));
    JpegTransformContext context;
    init_codec_context(&context, 0);
    jpeg_transform_reset(&context);
    jpeg_set_transform(&context, kind, trim ? 1 : 0, marker_copy, progressive ? 1 : 0, grey ? 1 : 0);
    Outcome o;
    o.ok = jpeg_transform_file(&context, in, out);
    o.error = context.error;
    o.width = context.state.output_width;
    o.height = context.state.output_height;
    // The output is closed by the transform; the release closes the source once more safely.
    EXPECT_FALSE(context.output_file.is_open());
    jpeg_transform_release(&context);
    jpeg_transform_release(&context);
    if (o.ok) {
        EXPECT_TRUE(read_bytes(out, &o.file));
    }
    return o;
}

TEST(JpegTransform, KindsMapToCodes) {
    const int32_t want[] = {kJpegTransformNone,  kJpegRotate90,     kJpegRotate180,    kJpegRotate270,
                            kJpegFlipHorizontal, kJpegFlipVertical, kJpegTransformNone};
    for (int32_t kind = 0; kind <= 6; ++kind) {
        JpegTransformContext context;
        jpeg_set_transform(&context, kind, 0, 1, 1, 0);
        EXPECT_EQ(context.state.transform_code, want[kind]) << kind;
        EXPECT_EQ(context.state.marker_copy, 1);
        EXPECT_EQ(context.state.progressive, 1);
        EXPECT_EQ(context.state.trim, 0);
    }
    JpegTransformContext context;
    jpeg_transform_reset(&context);
    EXPECT_EQ(context.state.marker_copy, kJpegCopyAll);
    EXPECT_EQ(context.state.trim, 1);
    EXPECT_EQ(context.state.transform_code, kJpegTransformNone);
}

struct SizeCase {
    int32_t kind;
    bool trim;
    int32_t width, height;
};

TEST(JpegTransform, OutputSizesWithAndWithoutTrim) {
    // 100x75 at 4:2:0: the iMCU is 16x16, so 6 whole columns and 4 whole rows.
    const std::vector<uint8_t> source = encode(make_picture(100, 75));
    const SizeCase cases[] = {
        {1, false, 75, 100}, {1, true, 64, 100}, {2, false, 100, 75}, {2, true, 96, 64},  {3, false, 75, 100},
        {3, true, 75, 96},   {4, true, 96, 75},  {5, true, 100, 64},  {0, true, 100, 75},
    };
    for (const SizeCase& c : cases) {
        const Outcome o = transform(source, c.kind, c.trim);
        ASSERT_TRUE(o.ok) << c.kind;
        EXPECT_EQ(o.width, c.width) << c.kind << " trim " << c.trim;
        EXPECT_EQ(o.height, c.height) << c.kind << " trim " << c.trim;
        Decoded d;
        decode(o.file, &d);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.image.info.width, c.width);
        EXPECT_EQ(d.image.info.height, c.height);
    }
}

TEST(JpegTransform, RotationMovesPixelsWhereTheyBelong) {
    // 1x1 sampling and a multiple of 8: every block moves, so pixels follow exactly.
    EncodeOptions options;
    options.sampling = 2;
    options.quality = 95;
    const std::vector<uint8_t> source = encode(make_picture(32, 16), options);
    Decoded original;
    decode(source, &original);
    ASSERT_TRUE(original.ok);
    const int32_t w = 32;
    const int32_t h = 16;
    // Pixel (x, y) from the top of the source, and where each kind puts it.
    auto src = [&](int32_t x, int32_t y) { return original.image.pixels + (h - 1 - y) * 96 + x * 3; };
    struct Kind {
        int32_t kind, out_w, out_h;
    };
    for (const Kind k : {Kind{1, h, w}, Kind{2, w, h}, Kind{3, h, w}, Kind{4, w, h}, Kind{5, w, h}}) {
        const Outcome o = transform(source, k.kind, false);
        ASSERT_TRUE(o.ok);
        Decoded d;
        decode(o.file, &d);
        ASSERT_TRUE(d.ok);
        const int32_t stride = (k.out_w * 3 + 3) & ~3;
        int worst = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                int32_t ox = x;
                int32_t oy = y;
                switch (k.kind) {
                    case 1:
                        ox = h - 1 - y;
                        oy = x;
                        break;
                    case 2:
                        ox = w - 1 - x;
                        oy = h - 1 - y;
                        break;
                    case 3:
                        ox = y;
                        oy = w - 1 - x;
                        break;
                    case 4: ox = w - 1 - x; break;
                    case 5: oy = h - 1 - y; break;
                }
                const uint8_t* p = d.image.pixels + (k.out_h - 1 - oy) * stride + ox * 3;
                for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(p[c] - src(x, y)[c]));
            }
        // The IDCT rounds a mirrored block slightly differently.
        EXPECT_LE(worst, 2) << "kind " << k.kind;
    }
}

TEST(JpegTransform, NoWholeImcuLeavesPixelsAlone) {
    const std::vector<uint8_t> source = encode(make_picture(10, 10));
    Decoded original;
    decode(source, &original);
    for (bool trim : {false, true}) {
        const Outcome o = transform(source, 4, trim);
        ASSERT_TRUE(o.ok);
        EXPECT_EQ(o.width, 10);
        EXPECT_EQ(o.height, 10);
        Decoded d;
        decode(o.file, &d);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(std::vector<uint8_t>(d.image.pixels, d.image.pixels + 32 * 10),
                  std::vector<uint8_t>(original.image.pixels, original.image.pixels + 32 * 10));
    }
}

TEST(JpegTransform, Rotate90Then270IsTheIdentityOnAlignedFiles) {
    for (int32_t sampling : {0, 1, 2}) {
        const std::vector<uint8_t> source = encode(make_picture(48, 32), EncodeOptions{85, sampling});
        const Outcome turned = transform(source, 1, false);
        ASSERT_TRUE(turned.ok);
        const Outcome back = transform(turned.file, 3, false);
        const Outcome same = transform(source, 0, false);
        ASSERT_TRUE(back.ok);
        ASSERT_TRUE(same.ok);
        // Both are the source's coefficients coded with optimised tables.
        EXPECT_EQ(back.file, same.file) << sampling;
    }
}

TEST(JpegTransform, ProgressiveAndGreyOutput) {
    const std::vector<uint8_t> source = encode(make_picture(24, 24));
    const Outcome progressive = transform(source, 0, false, kJpegCopyNone, true);
    ASSERT_TRUE(progressive.ok);
    EXPECT_NE(find_marker(progressive.file, 0xC2), -1);
    Decoded p;
    decode(progressive.file, &p);
    EXPECT_EQ(p.info.state.progressive, 1);

    const Outcome grey = transform(source, 2, true, kJpegCopyNone, false, true);
    ASSERT_TRUE(grey.ok);
    const int64_t sof = find_marker(grey.file, 0xC0);
    ASSERT_GT(sof, 0);
    EXPECT_EQ(grey.file[sof + 9], 1);   // one component
    EXPECT_EQ(grey.file[sof + 12], 0);  // luminance table 0
    Decoded g;
    decode(grey.file, &g);
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(g.image.info.bit_count, 8);

    const uint8_t cmyk[4] = {1, 2, 3, 4};
    const Outcome refused = transform(encode_cmyk(16, 16, cmyk), 0, false, kJpegCopyNone, false, true);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, kCodecOk);
    EXPECT_EQ(std::u16string(g_jpeg_error_text), u"Unsupported color conversion request");
}

TEST(JpegTransform, MarkerCopyOptions) {
    EncodeOptions options;
    options.comment = "note";
    std::vector<uint8_t> source = encode(make_picture(16, 16), options);
    // An Exif-like APP1 after the JFIF header.
    const std::vector<uint8_t> app1 = {0xFF, 0xE1, 0x00, 0x08, 'E', 'x', 'i', 'f', 0, 0};
    source.insert(source.begin() + 20, app1.begin(), app1.end());
    const std::vector<uint8_t> list = marker_list(source);
    const std::vector<uint8_t> head(list.begin(), list.begin() + 3);
    ASSERT_EQ(head, (std::vector<uint8_t>{0xE0, 0xE1, 0xFE}));
    struct Case {
        int32_t copy;
        bool app1, com;
    };
    for (const Case c : {Case{kJpegCopyNone, false, false}, Case{kJpegCopyComments, false, true},
                         Case{kJpegCopyAll, true, true}}) {
        const Outcome o = transform(source, 1, true, c.copy);
        ASSERT_TRUE(o.ok);
        const std::vector<uint8_t> markers = marker_list(o.file);
        int app0 = 0;
        for (uint8_t m : markers) app0 += m == 0xE0;
        EXPECT_EQ(app0, 1) << c.copy;  // the output's own JFIF header only
        EXPECT_EQ(markers[0], 0xE0);
        EXPECT_EQ(find_marker(o.file, 0xE1) != -1, c.app1) << c.copy;
        EXPECT_EQ(find_marker(o.file, 0xFE) != -1, c.com) << c.copy;
        if (c.app1) {
            const int64_t at = find_marker(o.file, 0xE1);
            EXPECT_EQ(std::vector<uint8_t>(o.file.begin() + at, o.file.begin() + at + 10), app1);
        }
    }
}

TEST(JpegTransform, FailuresAndEveryPrefix) {
    JpegTransformContext context;
    init_codec_context(&context, 0);
    jpeg_transform_reset(&context);
    EXPECT_FALSE(jpeg_transform_file(&context, scratch_path("missing.jpg"), scratch_path("o.jpg")));
    EXPECT_EQ(context.error, kCodecReadFailed);
    jpeg_transform_release(&context);

    const std::vector<uint8_t> source = encode(make_picture(20, 12));
    const std::u16string in = scratch_path("src.jpg");
    ASSERT_TRUE(write_bytes(in, source));
    jpeg_transform_reset(&context);
    EXPECT_FALSE(jpeg_transform_file(&context, in, scratch_path("no-folder/o.jpg")));
    EXPECT_EQ(context.error, kCodecCreateFailed);
    jpeg_transform_release(&context);
#ifndef _WIN32
    jpeg_transform_reset(&context);
    EXPECT_FALSE(jpeg_transform_file(&context, in, u"/dev/full"));
    EXPECT_EQ(context.error, kCodecSaveFailed);
    EXPECT_FALSE(context.output_file.is_open());
    jpeg_transform_release(&context);
#endif
    // Every prefix transforms or fails with the library's message; nothing crashes or leaks.
    for (size_t n = 1; n < source.size(); ++n) {
        const Outcome o = transform(
            std::vector<uint8_t>(source.begin(), source.begin() + static_cast<int64_t>(n)), 1, false);
        if (!o.ok) {
            EXPECT_TRUE(o.error != kCodecOk || g_jpeg_error_text[0] != 0) << n;
        }
    }
}

}  // namespace
