// The plug-in rules natively, against in-process plug-ins registered with the native loader,
// so that every path runs under the sanitizers and every block and module is counted.
#ifndef _WIN32

#include "loading/plugin.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/utf16.h"
#include "loading/native/plugin_native.h"
#include "tests/codecs/plugin_native_fake.h"
#include "tests/codecs/plugin_test_format.h"
#include "tests/support/test_support.h"

namespace {

// Answers every info number with the same pattern and fills the buffer without a zero.
int32_t endless_info(int32_t n, char* buffer, int32_t length) {
    if (n == 0) {
        std::memcpy(buffer, "00IN", 4);
        return 4;
    }
    std::memset(buffer, 'x', size_t(length));
    std::memcpy(buffer, "*.end;", 6);
    return length;
}

class PluginNative : public ::testing::Test {
protected:
    void SetUp() override {
        plugin_native_clear_registry();
        register_fake_test_plugins();
        folder_ = scratch_path("plugins");
        mkdir(utf16_to_utf8(folder_).c_str(), 0700);
        for (const char* name : {"raw.spi", "off128.spi", "fail.spi", "unregistered.spi", "readme.txt"}) {
            ASSERT_TRUE(write_bytes(folder_ + u"/" + utf8_to_utf16(name), {'x'}));
        }
        blocks_before_ = plugin_native_live_blocks();
    }
    void TearDown() override {
        EXPECT_EQ(plugin_native_live_blocks(), blocks_before_);
        EXPECT_EQ(plugin_native_loaded_modules(), 0);
        plugin_native_clear_registry();
    }
    std::u16string folder_;
    int blocks_before_ = 0;
};

class PluginNativeDecode : public PluginNative, public ::testing::WithParamInterface<PluginDecodeCaseData> {};

TEST_P(PluginNativeDecode, DecodesClipsAndReleasesEverything) {
    const PluginDecodeCaseData& c = GetParam();
    const std::u16string path = scratch_path(std::string(c.name) + ".bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(c.picture)));
    for (uint8_t in_memory : {1, 0}) {
        PluginContext record;
        init_codec_context(&record, 0);
        record.in_memory = in_memory;
        LoadedImage* image = read_plugin_image(path, folder_, &record);
        if (c.accepted) {
            ASSERT_NE(image, nullptr);
            expect_matches_test_picture(*image, c.picture);
            EXPECT_EQ(record.head_offset, c.picture.prefix_128 ? 128 : 0);
            free_loaded_image(image);
        } else {
            EXPECT_EQ(image, nullptr);
        }
        EXPECT_EQ(record.error, kCodecOk);
        plugin_release_handles(&record);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PluginNativeDecode, ::testing::ValuesIn(plugin_decode_cases()),
                         [](const ::testing::TestParamInfo<PluginDecodeCaseData>& p) {
                             return std::string(p.param.name);
                         });

// A plug-in whose blocks are cut short: every information block shorter than the header is
// refused without a read past its end, and a pixel block of any length is taken as far as it goes.
std::vector<uint8_t> g_cut_info;
std::vector<uint8_t> g_cut_pixels;
int32_t cut_picture(const char*, intptr_t, uint32_t, OsHandle* info_out, OsHandle* pixels_out,
                    PluginProgressFn, intptr_t) {
    *info_out = plugin_native_alloc(g_cut_info.data(), g_cut_info.size());
    *pixels_out = plugin_native_alloc(g_cut_pixels.data(), g_cut_pixels.size());
    return 0;
}

TEST_F(PluginNative, TruncatedBlocksAreRefusedOrClipped) {
    PluginExports e = fake_plugins::Fake<'R', 'W', 0, false>::exports();
    e.get_picture = cut_picture;
    e.get_picture_info = nullptr;
    plugin_native_clear_registry();
    plugin_native_register(u"raw.spi", e);
    const TestPicture picture = make_test_picture(3, 2, 24);
    const std::u16string path = scratch_path("cut.bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(picture)));
    std::vector<uint8_t> header(40, 0);
    const uint32_t fields[] = {40, 3, 2};
    std::memcpy(header.data(), fields, sizeof fields);
    header[12] = 1;
    header[14] = 24;
    for (size_t info_size = 0; info_size <= header.size(); ++info_size) {
        for (size_t pixel_size :
             {size_t(0), size_t(1), size_t(11), picture.rows.size(), picture.rows.size() + 9}) {
            g_cut_info.assign(header.begin(), header.begin() + long(info_size));
            g_cut_pixels.assign(pixel_size, 0x5A);
            PluginContext record;
            init_codec_context(&record, 0);
            record.in_memory = 1;
            LoadedImage* image = read_plugin_image(path, folder_, &record);
            const bool want = info_size == header.size() && pixel_size > 0;
            EXPECT_EQ(image != nullptr, want) << info_size << " " << pixel_size;
            if (image) {
                const size_t copied = std::min(pixel_size, picture.rows.size());
                for (size_t i = 0; i < picture.rows.size(); ++i) {
                    ASSERT_EQ(image->pixels[i], i < copied ? 0x5A : 0) << i;
                }
                free_loaded_image(image);
            }
            plugin_release_handles(&record);
        }
    }
}

TEST_F(PluginNative, FailedDecodeKeepsBlocksUntilTheRelease) {
    TestPicture picture = make_test_picture(4, 4, 24);
    picture.magic = "PXFL";
    const std::u16string path = scratch_path("fail.bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(picture)));
    PluginContext record;
    init_codec_context(&record, 0);
    record.in_memory = 1;
    EXPECT_EQ(read_plugin_image(path, folder_, &record), nullptr);
    EXPECT_EQ(plugin_native_live_blocks(), blocks_before_ + 2);
    EXPECT_EQ(plugin_native_loaded_modules(), 1);
    // The destruction of a context that owns its files releases what the plug-in left.
    record.free_format_buffers();
}

TEST_F(PluginNative, PatternsSkipBuiltInTypesAndRepeats) {
    std::vector<std::u16string> list;
    PluginContext record;
    plugin_scan_folder(&list, &record, folder_, true);
    // Three plug-ins give the same patterns: one entry each.
    EXPECT_EQ(list, (std::vector<std::u16string>{u"*.pxr", u"*.xyz"}));

    std::vector<std::u16string> names;
    plugin_scan_folder(&names, &record, folder_, false);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"fail.spi", u"off128.spi", u"raw.spi"}));
}

TEST_F(PluginNative, PatternListStopsAtOneHundred) {
    std::vector<std::u16string> list;
    std::string text;
    for (int i = 0; i < 150; ++i) text += "*.e" + std::to_string(i) + ";*.JPEG;";
    EXPECT_FALSE(plugin_add_patterns(text.c_str(), &list));
    ASSERT_EQ(list.size(), 100u);
    EXPECT_EQ(list.front(), u"*.e0");
    EXPECT_EQ(list.back(), u"*.e99");
}

TEST_F(PluginNative, EndlessPluginInfoEnds) {
    PluginExports e;
    e.get_plugin_info = endless_info;
    plugin_native_register(u"endless.spi", e);
    ASSERT_TRUE(write_bytes(folder_ + u"/endless.spi", {'x'}));
    std::vector<std::u16string> list;
    PluginContext record;
    plugin_scan_folder(&list, &record, folder_, true);
    EXPECT_NE(std::find(list.begin(), list.end(), u"*.end"), list.end());
    std::u16string patterns, description;
    plugin_describe(&patterns, &description, folder_ + u"/endless.spi");
    EXPECT_LE(patterns.size(), 259u);
    EXPECT_LE(description.size(), 259u);
}

TEST_F(PluginNative, NoPluginFolderOrFileMeansNoCall) {
    const std::u16string path = scratch_path("good.bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(make_test_picture(2, 2, 24))));
    PluginContext record;
    init_codec_context(&record, 0);
    EXPECT_EQ(read_plugin_image(path, folder_ + u"/missing", &record), nullptr);
    EXPECT_EQ(read_plugin_image(scratch_path("absent.bin"), folder_, &record), nullptr);
    const std::u16string empty = scratch_path("empty.bin");
    ASSERT_TRUE(write_bytes(empty, {}));
    EXPECT_EQ(read_plugin_image(empty, folder_, &record), nullptr);
    EXPECT_EQ(record.module, 0);
}

}  // namespace

#endif
