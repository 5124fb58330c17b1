#include "imagewin/core/save_settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/stride.h"

namespace {

SavePreviewSettings typical_settings() {
    SavePreviewSettings s;
    s.stored.save_format = kSavePng;
    s.stored.target_bits = 24;
    s.stored.png_compression = 9;
    s.stored.gamma = 2200;
    s.stored.transparent_colour = 0xFFFFFF;
    s.stored.jpeg_quality = 75;
    s.stored.jpeg_markers = 2;
    s.stored.jpeg_trim = 1;
    s.stored.jpeg_size_limit_kb = 100;
    s.display = {1, 1, 0xFFFFFF, 1, 2200};
    return s;
}

TEST(SaveSettingsTest, PreviewStaysCurrentOnlyWhileNothingItWasMadeWithChanges) {
    const SavePreviewSettings taken = typical_settings();
    EXPECT_TRUE(preview_is_current(true, taken, taken));
    EXPECT_FALSE(preview_is_current(false, taken, taken));

    using Change = std::function<void(SavePreviewSettings&)>;
    const std::vector<std::pair<const char*, Change>> changes = {
        {"save_format", [](auto& s) { s.stored.save_format = kSaveJpeg; }},
        {"target_bits", [](auto& s) { s.stored.target_bits = 8; }},
        {"greyscale", [](auto& s) { s.stored.greyscale = 1; }},
        {"dither_mode", [](auto& s) { s.stored.dither_mode = 3; }},
        {"interlace", [](auto& s) { s.stored.interlace = 1; }},
        {"png_compression", [](auto& s) { s.stored.png_compression = 3; }},
        {"write_gamma", [](auto& s) { s.stored.write_gamma = 1; }},
        {"gamma", [](auto& s) { s.stored.gamma = 1000; }},
        {"transparent_colour", [](auto& s) { s.stored.transparent_colour = 0xFF; }},
        {"png_filter", [](auto& s) { s.stored.png_filter = 4; }},
        {"jpeg_quality", [](auto& s) { s.stored.jpeg_quality = 74; }},
        {"jpeg_sampling", [](auto& s) { s.stored.jpeg_sampling = 2; }},
        {"progressive", [](auto& s) { s.stored.progressive = 1; }},
        {"jpeg_markers", [](auto& s) { s.stored.jpeg_markers = 0; }},
        {"jpeg_trim", [](auto& s) { s.stored.jpeg_trim = 0; }},
        {"jpeg_size_limit_on", [](auto& s) { s.stored.jpeg_size_limit_on = 1; }},
        {"jpeg_size_limit_kb", [](auto& s) { s.stored.jpeg_size_limit_kb = 99; }},
        {"transparent", [](auto& s) { s.transparent = 1; }},
        {"insert_comment", [](auto& s) { s.insert_comment = 1; }},
        {"lossless_operation", [](auto& s) { s.lossless_operation = 1; }},
        {"apply_transparency", [](auto& s) { s.display.apply_transparency = 0; }},
        {"use_file_background", [](auto& s) { s.display.use_file_background = 0; }},
        {"background_colour", [](auto& s) { s.display.background_colour = 0x808080; }},
        {"gamma_enabled", [](auto& s) { s.display.gamma_enabled = 0; }},
        {"display_gamma", [](auto& s) { s.display.display_gamma_x1000 = 1800; }},
    };
    for (const auto& [name, change] : changes) {
        SavePreviewSettings now = taken;
        change(now);
        EXPECT_FALSE(preview_is_current(true, now, taken)) << name;
        EXPECT_FALSE(preview_is_current(true, taken, now)) << name;
    }
}

TEST(SaveSettingsTest, FieldCommitsClampAndWriteBack) {
    struct Case {
        int32_t typed, level, quality, size_kb;
    } cases[] = {{-5, 0, 1, 1},   {0, 0, 1, 1},       {1, 1, 1, 1},       {9, 9, 9, 9},
                 {12, 9, 12, 12}, {100, 9, 100, 100}, {101, 9, 100, 101}, {40000, 9, 100, 40000}};
    for (const Case& c : cases) {
        EXPECT_EQ(commit_png_level(c.typed), c.level) << c.typed;
        EXPECT_EQ(commit_jpeg_quality(c.typed), c.quality) << c.typed;
        EXPECT_EQ(commit_size_limit(c.typed), c.size_kb) << c.typed;
    }
}

TEST(SaveSettingsTest, GammaFieldReadsThousandthsExactly) {
    struct Case {
        const char16_t* text;
        int32_t gamma;
        bool replaced;
        const char16_t* written;
    } cases[] = {
        {u"", 2200, true, u"2.200"},
        {u"2.2", 2200, false, u""},
        {u"1.001", 1001, false, u""},
        {u"0.3", 300, false, u""},
        {u"1.2345", 1234, false, u""},
        {u"2", 2000, false, u""},
        {u".5", 500, false, u""},
        {u"0.001", 1, false, u""},
        {u"0.0009", 1, true, u"0.001"},
        {u"0", 1, true, u"0.001"},
        {u"-2.2", 1, true, u"0.001"},
        {u"abc", 1, true, u"0.001"},
        {u"9999999", INT32_MAX, false, u""},
        {u" 1.5x", 1500, false, u""},
    };
    for (const Case& c : cases) {
        const GammaCommit got = commit_gamma(c.text);
        EXPECT_EQ(got.gamma, c.gamma);
        EXPECT_EQ(got.replaced, c.replaced);
        if (c.replaced) {
            EXPECT_EQ(got.text, c.written);
        }
    }
    EXPECT_EQ(gamma_text(2200), u"2.200");
    EXPECT_EQ(gamma_text(45), u"0.045");
    EXPECT_EQ(gamma_text(-1500), u"-1.500");
}

TEST(SaveSettingsTest, ValuesAsTheWritersTakeThem) {
    EXPECT_EQ(png_level_to_write(12), 9);
    EXPECT_EQ(png_level_to_write(6), 6);
    EXPECT_EQ(png_level_to_write(-1), 0);
    struct Case {
        int32_t write_gamma, gamma;
        uint32_t written;
    } cases[] = {{0, 2200, 0}, {1, 2200, 2200}, {1, 0, 0}, {1, -40, 1}, {1, 1, 1}};
    for (const Case& c : cases) EXPECT_EQ(png_gamma_to_write(c.write_gamma, c.gamma), c.written) << c.gamma;
    uint8_t rgb[3];
    transparent_colour_bytes(0x00332211, rgb);
    EXPECT_EQ(rgb[0], 0x11);
    EXPECT_EQ(rgb[1], 0x22);
    EXPECT_EQ(rgb[2], 0x33);
}

TEST(SaveSettingsTest, BitDepthListFollowsTheFormat) {
    struct Case {
        const char* name;
        SaveFormat format;
        int32_t bits, greyscale, source_bits;
        BitDepthState want;
    } cases[] = {
        {"BMP 24", kSaveBmp, 24, 0, 24, {0, 24, 0}},
        {"BMP from GIF 7", kSaveBmp, 7, 0, 24, {1, 8, 0}},
        {"BMP 3", kSaveBmp, 3, 0, 24, {2, 4, 0}},
        {"BMP 2", kSaveBmp, 2, 0, 24, {3, 1, 0}},
        {"BMP drops grey", kSaveBmp, 8, 1, 24, {1, 8, 0}},
        {"PNG from GIF 7", kSavePng, 7, 0, 24, {1, 8, 0}},
        {"PNG 3", kSavePng, 3, 0, 24, {2, 4, 0}},
        {"PNG 2", kSavePng, 2, 0, 24, {3, 2, 0}},
        {"PNG 1", kSavePng, 1, 0, 24, {4, 1, 0}},
        {"PNG grey", kSavePng, 24, 1, 24, {5, 8, 1}},
        {"JPEG keeps the depth", kSaveJpeg, 4, 0, 24, {0, 4, 0}},
        {"JPEG grey", kSaveJpeg, 24, 1, 24, {1, 24, 1}},
        {"TIFF grey", kSaveTiff, 4, 1, 24, {4, 8, 1}},
        {"TIFF 6", kSaveTiff, 6, 0, 24, {1, 8, 0}},
        {"GIF from 24", kSaveGif, 24, 0, 24, {0, 8, 0}},
        {"GIF 5", kSaveGif, 5, 1, 24, {3, 5, 0}},
        {"TRANS colour file", kSaveJpegLossless, 24, 1, 24, {0, 24, 0}},
        {"TRANS grey file", kSaveJpegLossless, 24, 0, 8, {1, 24, 1}},
        {"TRANS without image", kSaveJpegLossless, 8, 0, 0, {0, 8, 0}},
    };
    for (const Case& c : cases) {
        const BitDepthState got = rebuild_bit_depth(c.format, c.bits, c.greyscale, c.source_bits);
        EXPECT_EQ(got.selection, c.want.selection) << c.name;
        EXPECT_EQ(got.target_bits, c.want.target_bits) << c.name;
        EXPECT_EQ(got.greyscale, c.want.greyscale) << c.name;
    }
}

// Choosing any item and rebuilding the list shows that item again, with its label's depth.
TEST(SaveSettingsTest, ChosenItemSurvivesARebuild) {
    for (SaveFormat format = kSaveBmp; format <= kSaveGif; ++format) {
        int32_t count = 0;
        const BitDepthItem* items = bit_depth_items(format, &count);
        ASSERT_NE(items, nullptr);
        for (int32_t i = 0; i < count; ++i) {
            int32_t bits = 0, grey = 0;
            ASSERT_TRUE(choose_bit_depth(format, i, &bits, &grey));
            const BitDepthState again = rebuild_bit_depth(format, bits, grey, 24);
            EXPECT_EQ(again.selection, i) << format << " " << i;
            const std::u16string label = items[i].label;
            std::u16string depth;
            for (char ch : std::to_string(bits)) depth += char16_t(ch);
            EXPECT_EQ(label.substr(0, label.find(u'b')), depth) << format << " " << i;
        }
        int32_t bits = 0, grey = 0;
        EXPECT_FALSE(choose_bit_depth(format, count, &bits, &grey));
        EXPECT_FALSE(choose_bit_depth(format, -1, &bits, &grey));
    }
    int32_t count = 0;
    EXPECT_EQ(bit_depth_items(kSaveGif, &count)[1].label, std::u16string(u"7bit(128色)"));
    EXPECT_EQ(bit_depth_items(6, &count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST(SaveSettingsTest, FormatListAndDialogTypes) {
    EXPECT_EQ(save_format_item_count(true, false), 5);
    EXPECT_EQ(save_format_item_count(true, true), 6);
    EXPECT_EQ(save_format_item_count(false, false), 6);
    EXPECT_EQ(std::u16string(save_format_label(kSaveJpegLossless)), u"JPEG/TRANS");

    auto split = [](const std::u16string& filter) {
        std::vector<std::u16string> parts;
        size_t start = 0;
        while (start < filter.size() && filter[start] != 0) {
            const size_t end = filter.find(u'\0', start);
            parts.push_back(filter.substr(start, end - start));
            start = end + 1;
        }
        EXPECT_EQ(start + 1, filter.size()) << "the list ends with a second zero";
        return parts;
    };
    const std::vector<std::u16string> five = split(save_dialog_filter(false));
    const std::vector<std::u16string> six = split(save_dialog_filter(true));
    ASSERT_EQ(five.size(), 10u);
    ASSERT_EQ(six.size(), 12u);
    EXPECT_EQ(five[0], u"BMP ファイル (*.bmp)");
    EXPECT_EQ(five[7], u"*.tif;*.tiff");
    EXPECT_EQ(six[10], u"JPEG/TRANS (*.jpg;*.jpeg;*.jpe)");
    EXPECT_EQ(six[11], u"*.jpg;*.jpeg;*.jpe");
    const char16_t* extensions[] = {u".bmp", u".png", u".jpg", u".tif", u".gif", u".jpg"};
    for (SaveFormat f = 0; f < kSaveFormatCount; ++f)
        EXPECT_EQ(std::u16string(save_default_extension(f)), extensions[f]);

    struct Name {
        const char16_t* in;
        const char16_t* out;
    } names[] = {{u"photo.jpg", u"photo"},
                 {u"a.tar.gz", u"a.tar"},
                 {u"noext", u"noext"},
                 {u"dir.d\\file", u"dir.d\\file"},
                 {u".hidden", u""}};
    for (const Name& n : names) EXPECT_EQ(strip_extension(n.in), n.out);
}

TEST(SaveSettingsTest, CommentIsCutAtACharacterBoundary) {
    const std::string a = "\x82\xa0";                      // あ in Shift-JIS
    const std::string kana = "\xb1";                       // half-width katakana: one byte, not a lead byte
    const std::string lead_a = std::string("\x81") + "a";  // a lead byte and an ASCII trail byte
    struct Case {
        std::string text;
        size_t limit;
        std::string want;
    } cases[] = {
        {a + a + a, 5, a + a},
        {a + a + a, 6, a + a + a},
        {"x" + a + a, 4, "x" + a},
        {kana + a, 2, kana},
        {kana + kana + lead_a, 3, kana + kana},
        {kana + kana + lead_a, 4, kana + kana + lead_a},
        {"abc", 0, ""},
        {"abc", 10, "abc"},
    };
    for (const Case& c : cases) EXPECT_EQ(cut_at_character(c.text, c.limit, shift_jis_lead_byte), c.want);

    // A Japanese comment longer than the writers' limit is kept up to the last whole character.
    std::string long_text;
    for (int i = 0; i < 5000; ++i) long_text += a;
    const std::string cut = cut_at_character("z" + long_text, kSaveCommentBytes, shift_jis_lead_byte);
    EXPECT_EQ(cut.size(), kSaveCommentBytes);
    EXPECT_EQ(cut.substr(cut.size() - 2), a);
    const std::string even = cut_at_character(long_text, kSaveCommentBytes, shift_jis_lead_byte);
    EXPECT_EQ(even.size(), kSaveCommentBytes - 1);
}

// Rows bottom-up, `bpp` bytes per pixel, pixel value = its column + 10 * (row + 1).
std::vector<uint8_t> numbered_rows(int32_t width, int32_t height, int32_t bits) {
    const int64_t stride = row_stride_bytes(width, bits);
    std::vector<uint8_t> rows(size_t(stride * height), 0xEE);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int32_t b = 0; b < bits / 8; ++b)
                rows[size_t(y * stride + x * (bits / 8) + b)] = uint8_t(x + 10 * (y + 1));
    return rows;
}

TEST(SaveSettingsTest, PreviewRowsAreRightAlignedAndClipped) {
    struct Case {
        const char* name;
        int32_t sw, sh, cw, ch, bits;
    } cases[] = {{"same", 3, 2, 3, 2, 24},  {"narrower", 2, 3, 5, 3, 24}, {"shorter", 3, 1, 3, 3, 8},
                 {"wider", 5, 2, 3, 2, 24}, {"taller", 2, 4, 2, 2, 8},    {"turned", 7, 3, 3, 7, 24},
                 {"1 x 1", 1, 1, 1, 1, 8}};
    for (const Case& c : cases) {
        const std::vector<uint8_t> source = numbered_rows(c.sw, c.sh, c.bits);
        const int64_t stride = row_stride_bytes(c.cw, c.bits);
        std::vector<uint8_t> canvas(size_t(stride * c.ch), 0x55);
        place_preview_rows(source.data(), c.sw, c.sh, canvas.data(), c.cw, c.ch, c.bits);
        const int32_t bpp = c.bits / 8;
        for (int32_t y = 0; y < c.ch; ++y) {
            for (int32_t x = 0; x < c.cw; ++x) {
                const int32_t sx = x - (c.cw - c.sw);
                const bool inside = y < c.sh && sx >= 0 && sx < c.sw;
                const uint8_t want = inside ? uint8_t(sx + 10 * (y + 1)) : 0;
                for (int32_t b = 0; b < bpp; ++b)
                    ASSERT_EQ(canvas[size_t(y * stride + x * bpp + b)], want)
                        << c.name << " " << x << "," << y;
            }
        }
    }
}

}  // namespace
