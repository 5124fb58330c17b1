#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/win/jpeg_error_box.h"
#include "common/win/message_box.h"
#include "tests/codecs/jpeg_test_util.h"
#include "tests/support/test_support.h"

namespace {

struct Box {
    std::wstring text, caption;
    UINT style;
};
std::vector<Box> g_jpeg_boxes;

int record_jpeg_box(HWND, const wchar_t* text, const wchar_t* caption, UINT style) {
    g_jpeg_boxes.push_back({text, caption, style});
    return IDOK;
}

struct ErrorCase {
    int32_t code;
    const char16_t* library_text;
    const wchar_t* shown;  // null: no box
    const wchar_t* caption;
};

TEST(JpegErrorBox, CodecTextsLibraryTextOrNothing) {
    const ErrorCase cases[] = {
        {0, u"", nullptr, nullptr},
        {0, u"Not a JPEG file", L"Not a JPEG file", L"JPEG Library Error"},
        {6, u"Bogus marker length", L"Bogus marker length", L"JPEG Library Error"},
        {4, u"ignored", L"ファイルから読み取りに失敗しました。", L"Error"},
        {7, u"", L"画像の保存に失敗しました。", L"Error"},
        // A file refused for its size has no library message and still says why.
        {2, u"", L"未対応の形式です。", L"Error"},
        {2, u"Unsupported color conversion request", L"Unsupported color conversion request",
         L"JPEG Library Error"},
        {9, u"", nullptr, nullptr},
    };
    MessageBoxHook old = set_message_box_hook(record_jpeg_box);
    for (const ErrorCase& c : cases) {
        g_jpeg_boxes.clear();
        std::u16string text = c.library_text;
        text.copy(g_jpeg_error_text, text.size());
        g_jpeg_error_text[text.size()] = 0;
        CodecContext context;
        context.error = c.code;
        show_jpeg_error(nullptr, &context);
        if (!c.shown) {
            EXPECT_TRUE(g_jpeg_boxes.empty()) << c.code;
            continue;
        }
        ASSERT_EQ(g_jpeg_boxes.size(), 1u) << c.code;
        EXPECT_EQ(g_jpeg_boxes[0].text, c.shown);
        EXPECT_EQ(g_jpeg_boxes[0].caption, c.caption);
        EXPECT_NE(g_jpeg_boxes[0].style & MB_ICONERROR, 0u);
    }
    set_message_box_hook(old);
    clear_jpeg_error_text();
}

TEST(JpegReaderWin, DibSectionModeHoldsTheRowsInABitmap) {
    const std::vector<uint8_t> jpeg = jpeg_test::encode(jpeg_test::make_picture(13, 7));
    const std::u16string path = scratch_path("dib.jpg");
    ASSERT_TRUE(write_bytes(path, jpeg));
    JpegReaderContext context;
    init_codec_context(&context, 0);
    jpeg_reader_reset(&context);
    context.in_memory = 0;
    LoadedImage* image = read_jpeg_image(&context, path, nullptr);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->bitmap, 0);
    DIBSECTION section = {};
    ASSERT_EQ(GetObjectW(reinterpret_cast<HBITMAP>(image->bitmap), sizeof section, &section),
              static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBm.bmBits, image->pixels);
    EXPECT_EQ(section.dsBmih.biWidth, 13);
    EXPECT_EQ(section.dsBmih.biHeight, 7);
    EXPECT_EQ(section.dsBmih.biBitCount, 24);
    const HBITMAP bitmap = reinterpret_cast<HBITMAP>(image->bitmap);
    free_loaded_image(image);
    EXPECT_EQ(GetObjectW(bitmap, sizeof section, &section), 0);  // the section is gone
    jpeg_reader_release(&context);
}

}  // namespace
