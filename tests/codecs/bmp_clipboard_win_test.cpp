#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "codecs/bmp/win/clipboard_dib.h"

namespace {

struct Image {
    int32_t width, height;
    int bits;
    RgbQuad palette[256];
    std::vector<uint8_t> rows;
};

Image make_image(int bits, int32_t w, int32_t h) {
    Image img{w, h, bits, {}, {}};
    for (int i = 0; i < 256; ++i)
        img.palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 5), static_cast<uint8_t>(255 - i),
                          0};
    img.rows.resize(stride_for_depth(w, bits) * h);
    for (size_t i = 0; i < img.rows.size(); ++i) img.rows[i] = static_cast<uint8_t>(i * 29 + 3);
    return img;
}

bool copy(const Image& img) {
    BmpContext c;
    init_bmp_context(&c, 0);
    c.conversion.width = img.width;
    c.conversion.height = img.height;
    c.conversion.source_bits = img.bits;
    if (!OpenClipboard(nullptr)) return false;
    return copy_dib_to_clipboard(&c, img.palette, img.rows.data());
}

TEST(BmpClipboard, CopyAndPasteGiveTheSameImage) {
    for (int bits : {8, 24}) {
        for (int32_t w : {1, 3, 5}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, width " << w);
            const Image img = make_image(bits, w, 3);
            ASSERT_TRUE(copy(img));
            BmpContext r;
            init_bmp_context(&r, 0);
            bmp_reader_reset(&r);
            r.in_memory = 1;  // the clipboard path makes a DIB section regardless
            LoadedImage* image = read_clipboard_dib(&r);
            ASSERT_NE(image, nullptr) << r.error;
            EXPECT_NE(image->bitmap, 0);
            EXPECT_EQ(image->info.width, w);
            EXPECT_EQ(image->info.height, 3);
            EXPECT_EQ(image->info.bit_count, bits);
            EXPECT_EQ(image->format, 1);
            EXPECT_EQ(image->file_size, 54 + (bits == 8 ? 1024u : 0u) + img.rows.size());
            EXPECT_EQ(std::memcmp(image->pixels, img.rows.data(), img.rows.size()), 0);
            if (bits == 8) {
                EXPECT_EQ(std::memcmp(image->palette, img.palette, sizeof(img.palette)), 0);
            }
            LoadedImage kept = *image;
            bmp_release(&r);
            free_loaded_image(&kept);
            // The release closed the clipboard.
            ASSERT_TRUE(OpenClipboard(nullptr));
            CloseClipboard();
        }
    }
}

TEST(BmpClipboard, TooSmallBlockIsRefused) {
    // A header for 100 x 100 at 24 bits in a block with room for only a few rows.
    const SIZE_T size = 40 + 3 * 300;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    ASSERT_NE(memory, nullptr);
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
    header->biSize = 40;
    header->biWidth = 100;
    header->biHeight = 100;
    header->biPlanes = 1;
    header->biBitCount = 24;
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    ASSERT_NE(SetClipboardData(CF_DIB, memory), nullptr);
    CloseClipboard();

    BmpContext r;
    init_bmp_context(&r, 0);
    bmp_reader_reset(&r);
    EXPECT_EQ(read_clipboard_dib(&r), nullptr);
    EXPECT_EQ(r.error, kCodecBadData);
    bmp_release(&r);
    ASSERT_TRUE(OpenClipboard(nullptr));
    CloseClipboard();
}

TEST(BmpClipboard, NothingToPaste) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    BmpContext r;
    init_bmp_context(&r, 0);
    bmp_reader_reset(&r);
    EXPECT_EQ(read_clipboard_dib(&r), nullptr);
    bmp_release(&r);
    // Depths other than 8 and 24 are not copied; the clipboard is closed anyway.
    Image four = make_image(4, 3, 2);
    EXPECT_FALSE(copy(four));
    ASSERT_TRUE(OpenClipboard(nullptr));
    CloseClipboard();
}

}  // namespace
