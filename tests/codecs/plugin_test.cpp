// The plug-in rules natively, against in-process plug-ins registered with the native loader,
// so that every path runs under the sanitizers and every block and module is counted.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "codecs/plugin.h"
#include "codecs/plugin_native.h"
#include "common/utf16.h"
#include "tests/codecs/plugin_test_format.h"
#include "tests/support/test_support.h"

namespace {

std::vector<uint8_t> file_bytes(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// The same behaviour as the Windows test plug-ins, one per template argument.
template <char M3, char M4, int kOffset, bool kFails>
struct Fake {
    static bool magic(const uint8_t* p) { return p[0] == 'P' && p[1] == 'X' && p[2] == M3 && p[3] == M4; }
    static int32_t info(int32_t n, char* buffer, int32_t length) {
        static const char* const texts[] = {"00IN", "fake", "*.pxr;*.JPG;;*.PXR", "Raw", "*.XYZ", "Xyz", nullptr};
        for (int i = 0; texts[i]; ++i) {
            if (i == n) {
                std::strncpy(buffer, texts[i], size_t(length));
                return int32_t(std::strlen(texts[i]));
            }
        }
        return 0;
    }
    static int32_t supported(const char*, uintptr_t data) { return magic(reinterpret_cast<const uint8_t*>(data)); }
    static int32_t picture_info(const char* name, intptr_t offset, uint32_t, uint8_t* record) {
        if (offset != kOffset) return 2;
        const std::vector<uint8_t> d = file_bytes(name);
        if (d.size() < size_t(offset) + 24) return 1;
        std::memcpy(record + 8, &d[size_t(offset) + 4], 8);
        std::memcpy(record + kPictureInfoDepthOffset, &d[size_t(offset) + 20], 2);
        const uint32_t text = uint32_t(plugin_native_global_alloc(16));
        std::memcpy(record + kPictureInfoTextOffset, &text, 4);
        return 0;
    }
    static int32_t picture(const char* name, intptr_t offset, uint32_t, OsHandle* info_out, OsHandle* pixels_out,
                           PluginProgressFn progress, intptr_t) {
        if (offset != kOffset || progress(0, 1, 0) != 0) return 2;
        const std::vector<uint8_t> d = file_bytes(name);
        if (d.size() < size_t(offset) + 24 || !magic(&d[size_t(offset)])) return 1;
        const uint8_t* p = &d[size_t(offset)];
        const uint32_t width = le32(p + 4);
        const int32_t height = int32_t(le32(p + 8));
        const uint16_t bits = uint16_t(p[12] | p[13] << 8);
        const uint16_t entries = uint16_t(p[14] | p[15] << 8);
        const int32_t adjust = int32_t(le32(p + 16));
        const uint16_t flags = uint16_t(p[22] | p[23] << 8);
        std::vector<uint8_t> info(40 + 4 * entries);
        auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&info[at], &v, 4); };
        put32(0, 40);
        put32(4, width);
        put32(8, uint32_t(height));
        info[12] = 1;
        info[14] = uint8_t(bits);
        put32(16, flags & 1);
        put32(32, entries);
        std::memcpy(&info[40], p + 24, 4 * entries);
        const int64_t stride = ((int64_t(width) * bits + 31) / 32) * 4;
        int64_t bytes = stride * std::abs(int64_t(height)) + adjust;
        if (bytes < 1) bytes = 1;
        std::vector<uint8_t> pixels(size_t(bytes), 0);
        const size_t start = size_t(offset) + 24 + 4 * entries;
        const size_t available = d.size() > start ? d.size() - start : 0;
        std::copy_n(d.begin() + long(start), std::min(available, pixels.size()), pixels.begin());
        *info_out = plugin_native_alloc(info.data(), info.size());
        *pixels_out = plugin_native_alloc(pixels.data(), pixels.size());
        return kFails ? 1 : 0;
    }
    static PluginExports exports() {
        PluginExports e;
        e.get_plugin_info = info;
        e.is_supported = supported;
        e.get_picture_info = picture_info;
        e.get_picture = picture;
        return e;
    }
};

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
        plugin_native_register(u"raw.spi", Fake<'R', 'W', 0, false>::exports());
        plugin_native_register(u"off128.spi", Fake<'2', '8', 128, false>::exports());
        plugin_native_register(u"fail.spi", Fake<'F', 'L', 0, true>::exports());
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
                         [](const ::testing::TestParamInfo<PluginDecodeCaseData>& p) { return std::string(p.param.name); });

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
