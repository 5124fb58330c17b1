#include "view/core/view_titles.h"

#include <gtest/gtest.h>

#include "codecs/file_type.h"
#include "common/utf16.h"

namespace {

ImageInfoFields info_of(const char* name, int32_t format, int32_t width, int32_t height, int32_t bits,
                        int32_t size) {
    ImageInfoFields info;
    info.file_name = utf8_to_utf16(name);
    info.source_format = format;
    info.width = width;
    info.height = height;
    info.source_bits = bits;
    info.file_size = size;
    return info;
}

TEST(ViewTitlesTest, ProgressiveJpegWithExifAtActualSize) {
    ImageInfoFields info = info_of("photo.jpg", kFileJpeg, 640, 480, 24, 123456);
    info.flag_interlaced = true;
    info.flag_metadata = 1;
    const std::u16string text = build_image_info_text(info);
    EXPECT_EQ(utf16_to_utf8(text), "photo.jpg  ( PE  640x480  24bit  120.5KB )");
    EXPECT_EQ(utf16_to_utf8(single_view_title(text, 10000)),
              "photo.jpg  ( PE  640x480  24bit  120.5KB )  100%");
}

TEST(ViewTitlesTest, FeatureLettersByFormat) {
    struct Case {
        int32_t format;
        bool interlaced, alpha;
        int32_t metadata, comment;
        const char* letters;
    } cases[] = {
        {kFilePng, true, true, 2, 0, "IAT  "},   {kFilePng, false, false, 0, 3, ""},
        {kFileJpeg, true, false, 1, 2, "PCE  "}, {kFileJpeg, false, true, 0, 0, ""},
        {kFileTiff, true, true, 1, 1, "C  "},    {kFileGif, true, true, 0, 1, "IAC  "},
        {kFileGif, false, false, 1, 0, ""},      {kFileBmp, true, true, 1, 1, ""},
        {kFileUnknown, true, true, 1, 1, ""},
    };
    for (const Case& c : cases) {
        ImageInfoFields info = info_of("a", c.format, 1, 2, 8, 0);
        info.flag_interlaced = c.interlaced;
        info.flag_alpha_or_transparent = c.alpha;
        info.flag_metadata = c.metadata;
        info.flag_comment = c.comment;
        EXPECT_EQ(utf16_to_utf8(build_image_info_text(info)),
                  std::string("a  ( ") + c.letters + "1x2  8bit  0.0KB )")
            << c.format;
    }
}

TEST(ViewTitlesTest, SizesAndMarks) {
    struct Case {
        int32_t size;
        const char* kilobytes;
    } cases[] = {{0, "0.0KB"},    {1023, "0.9KB"}, {1024, "1.0KB"},
                 {1535, "1.4KB"}, {1536, "1.5KB"}, {INT32_MAX, "2097151.9KB"}};
    for (const Case& c : cases) {
        const ImageInfoFields info = info_of("b.bmp", kFileBmp, 25000, 1, 1, c.size);
        EXPECT_EQ(utf16_to_utf8(build_image_info_text(info)),
                  std::string("b.bmp  ( 25000x1  1bit  ") + c.kilobytes + " )");
    }
    ImageInfoFields info = info_of("\xE7\x94\xBB\xE5\x83\x8F.png", kFilePng, 3, 3, 32, 10);
    info.modified = true;
    EXPECT_EQ(utf16_to_utf8(build_image_info_text(info)),
              "\xE7\x94\xBB\xE5\x83\x8F.png*  ( 3x3  32bit  0.0KB )");
}

TEST(ViewTitlesTest, WindowTitles) {
    const std::u16string info = u"x  ( 1x1  8bit  0.0KB )";
    struct Case {
        int32_t zoom;
        const char* percent;
    } zooms[] = {{10000, "100%"},   {5001, "50%"}, {2500, "25%"},
                 {100000, "1000%"}, {1, "0%"},     {45978, "459%"}};
    for (const Case& c : zooms)
        EXPECT_EQ(utf16_to_utf8(single_view_title(info, c.zoom)),
                  "x  ( 1x1  8bit  0.0KB )  " + std::string(c.percent));
    EXPECT_EQ(utf16_to_utf8(edit_window_title(info, false, true, 12345)),
              "x  ( 1x1  8bit  0.0KB )   .... 12.0KB");
    EXPECT_EQ(utf16_to_utf8(edit_window_title(info, true, true, 12345)), "x  ( 1x1  8bit  0.0KB )  ");
    EXPECT_EQ(utf16_to_utf8(edit_window_title(info, false, false, 12345)), "x  ( 1x1  8bit  0.0KB )  ");
}

}  // namespace
