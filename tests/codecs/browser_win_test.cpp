// The browser loader under Wine: real plug-in libraries, the display's halftone resample and
// the shell's recycle bin.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "codecs/file_io.h"
#include "codecs/pixel_memory.h"
#include "common/utf16.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "tests/codecs/browser_test_support.h"
#include "tests/codecs/plugin_test_format.h"

namespace {

const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

class BrowserWin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(create_codec_contexts());
        saved_ = g_browser_options;
        folder_ = scratch_path("plugins");
        ASSERT_TRUE(CreateDirectoryW(wide(folder_), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        for (const char* v : {"raw", "off128", "fail", "notfilter"}) {
            const std::u16string name = utf8_to_utf16(std::string(v) + ".spi");
            ASSERT_TRUE(CopyFileW(wide(utf8_to_utf16(PX_TEST_PLUGIN_DIR "/") + name),
                                  wide(folder_ + u"\\" + name), FALSE));
        }
        g_browser_options.plugin_folder = folder_;
    }
    void TearDown() override {
        release_load_result();
        release_preview_image();
        g_browser_options = saved_;
        g_in_place_transform_steps = default_in_place_transform_steps();
        destroy_codec_contexts();
    }
    std::u16string folder_;
    BrowserOptions saved_;
};

TEST_F(BrowserWin, TestFormatThroughThePluginAt24Bits) {
    for (const PluginDecodeCaseData& c : plugin_decode_cases()) {
        const std::u16string path = scratch_path(std::string(c.name) + ".pxr");
        ASSERT_TRUE(write_bytes(path, encode_test_picture(c.picture)));
        int32_t loaded = 0;
        LoadedImage* image = load_image_24(nullptr, 0, path, &loaded);
        if (!c.accepted) {
            EXPECT_EQ(image, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(image, nullptr) << c.name;
        EXPECT_EQ(loaded, 1);
        EXPECT_EQ(g_load_result.format, 0);
        EXPECT_EQ(g_load_result.source_bits, c.picture.depth ? c.picture.depth : c.picture.bits);
        EXPECT_EQ(g_load_result.header.bit_count, 24);
        EXPECT_TRUE(same_24_pixels(image->pixels, test_picture_as_24(c.picture), int32_t(c.picture.width),
                                   c.picture.height))
            << c.name;
        // The loaded image's time is the file's own.
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data));
        EXPECT_EQ(g_load_result.time_low, data.ftLastWriteTime.dwLowDateTime);
        EXPECT_EQ(g_load_result.time_high, data.ftLastWriteTime.dwHighDateTime);
        release_load_result();
    }
}

TEST_F(BrowserWin, RefusedJpegIsRetriedThroughThePlugins) {
    const TestPicture picture = make_test_picture(6, 4, 8, 5);
    const std::u16string path = scratch_path("not_really.jpg");
    ASSERT_TRUE(write_bytes(path, fake_jpeg_for_plugin(picture)));
    LoadedImage* image = load_image_24(nullptr, 0, path, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(g_load_result.format, 0);
    EXPECT_TRUE(same_24_pixels(image->pixels, test_picture_as_24(picture), 6, 4));
}

TEST_F(BrowserWin, ThumbnailAndPreviewFitTheirBoxes) {
    const std::u16string path = scratch_path("wide.pxr");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(make_test_picture(301, 17, 4, 16))));
    g_browser_options.box_width = 100;
    g_browser_options.box_height = 50;
    ASSERT_NE(load_thumbnail_image_24(nullptr, 0, path, nullptr), nullptr);
    int32_t size[2];
    ASSERT_TRUE(shrink_loaded_image_to_box(size, false));
    EXPECT_EQ(size[0], 100);
    EXPECT_EQ(size[1], 5);
    ThumbnailTarget entry;
    store_thumbnail_in_entry(&entry);
    ASSERT_NE(entry.bits, nullptr);
    EXPECT_EQ(entry.load_info[6], 4u);
    free_thumbnail_bits(entry.bits);

    g_browser_options.preview_size = 150;
    ASSERT_TRUE(load_preview_image(path, nullptr, 0));
    EXPECT_EQ(g_preview.header.width, 150);
    EXPECT_EQ(g_preview.header.height, 8);
    ASSERT_NE(g_preview.pixels, nullptr);
}

// Stands in for the lossless transform with jpegtran's result for the same file and kind.
bool reference_transform(const std::u16string&, const std::u16string& target, int32_t kind) {
    std::vector<uint8_t> bytes;
    return read_bytes(browser_fixture("rot_420_kind" + std::to_string(kind) + ".jpg"), &bytes) &&
           write_bytes(target, bytes);
}
bool failing_replace(const std::u16string&, const std::u16string&) {
    return false;
}

FileTime listed_time(const std::u16string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    EXPECT_TRUE(GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data));
    return FileTime{data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime};
}

TEST_F(BrowserWin, InPlaceRotationSwapsFilesThroughTheRecycleBin) {
    std::vector<uint8_t> original, expected, now;
    ASSERT_TRUE(read_bytes(browser_fixture("rot_420.jpg"), &original));
    ASSERT_TRUE(read_bytes(browser_fixture("rot_420_kind3.jpg"), &expected));
    g_in_place_transform_steps.transform = reference_transform;

    const std::u16string path = scratch_path("photo.jpg");
    ASSERT_TRUE(write_bytes(path, original));
    ASSERT_TRUE(transform_jpeg_file_in_place(path, listed_time(path), 3, 0));
    ASSERT_TRUE(read_bytes(path, &now));
    EXPECT_EQ(now, expected);
    EXPECT_EQ(GetFileAttributesW(wide(path + u".bak0")), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(wide(path + u".rot0")), INVALID_FILE_ATTRIBUTES);

    g_in_place_transform_steps.replace = failing_replace;
    const std::u16string kept = scratch_path("kept.jpg");
    ASSERT_TRUE(write_bytes(kept, original));
    EXPECT_FALSE(transform_jpeg_file_in_place(kept, listed_time(kept), 1, 0));
    ASSERT_TRUE(read_bytes(kept, &now));
    EXPECT_EQ(now, original);
    EXPECT_EQ(GetFileAttributesW(wide(kept + u".bak0")), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(wide(kept + u".rot0")), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
