// The plug-in loader against real libraries (tests/plugins) under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "common/utf16.h"
#include "loading/plugin.h"
#include "tests/codecs/plugin_test_format.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

// A fresh folder holding copies of the named test plug-ins.
std::u16string plugin_folder(std::initializer_list<const char*> variants) {
    const std::u16string folder = scratch_path("plugins");
    // Wine reuses process ids, so the scratch folder may be left from an earlier run.
    EXPECT_TRUE(CreateDirectoryW(wide(folder), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    for (const char* v : variants) {
        const std::u16string name = utf8_to_utf16(std::string(v) + ".spi");
        const std::u16string from = utf8_to_utf16(PX_TEST_PLUGIN_DIR "/") + name;
        EXPECT_TRUE(CopyFileW(wide(from), wide(folder + u"\\" + name), FALSE)) << v;
    }
    return folder;
}

std::vector<std::u16string> sorted(std::vector<std::u16string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(PluginWin, PatternsAreLowerCaseUniqueAndNeverBuiltIn) {
    const std::u16string folder = plugin_folder({"raw", "off128", "notfilter", "fail"});
    // A file that is not a library at all is skipped silently.
    ASSERT_TRUE(write_bytes(folder + u"\\broken.spi", {'n', 'o', 't', ' ', 'a', ' ', 'd', 'l', 'l'}));
    PluginContext record;
    std::vector<std::u16string> patterns;
    plugin_scan_folder(&patterns, &record, folder, true);
    EXPECT_EQ(sorted(patterns), (std::vector<std::u16string>{u"*.px128", u"*.pxf", u"*.pxr", u"*.xyz"}));
    EXPECT_EQ(record.module, 0);

    std::vector<std::u16string> names;
    plugin_scan_folder(&names, &record, folder, false);
    EXPECT_EQ(sorted(names), (std::vector<std::u16string>{u"fail.spi", u"off128.spi", u"raw.spi"}));
}

TEST(PluginWin, DescribeJoinsPatternsAndDescriptions) {
    const std::u16string folder = plugin_folder({"raw"});
    std::u16string patterns = u"untouched";
    std::u16string description = u"untouched";
    plugin_describe(&patterns, &description, folder + u"\\raw.spi");
    EXPECT_EQ(patterns, u"*.pxr;*.JPG;;*.PXR;*.XYZ");
    EXPECT_EQ(description, u"Raw test/Xyz test");
}

TEST(PluginWin, ConfigurationDialogIsReached) {
    const std::u16string folder = plugin_folder({"raw", "off128"});
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    EXPECT_TRUE(plugin_open_configuration(folder + u"\\raw.spi", reinterpret_cast<OsHandle>(window)));
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    EXPECT_STREQ(text, L"configured 1");
    SetWindowTextW(window, L"");
    EXPECT_FALSE(plugin_open_configuration(folder + u"\\off128.spi", reinterpret_cast<OsHandle>(window)));
    GetWindowTextW(window, text, 64);
    EXPECT_STREQ(text, L"");
    DestroyWindow(window);
}

class PluginDecode : public ::testing::TestWithParam<PluginDecodeCaseData> {};

TEST_P(PluginDecode, ReadsThroughTheChosenPlugin) {
    const PluginDecodeCaseData& c = GetParam();
    static const std::u16string folder = plugin_folder({"raw", "off128", "fail", "notfilter"});
    const std::u16string path = scratch_path(std::string(c.name) + ".bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(c.picture)));

    for (uint8_t in_memory : {1, 0}) {
        PluginContext record;
        init_codec_context(&record, 0);
        record.in_memory = in_memory;
        LoadedImage* image = read_plugin_image(path, folder, &record);
        if (!c.accepted) {
            EXPECT_EQ(image, nullptr) << c.name;
        } else {
            ASSERT_NE(image, nullptr) << c.name;
            expect_matches_test_picture(*image, c.picture);
            EXPECT_EQ(record.head_offset, c.picture.prefix_128 ? 128 : 0);
            EXPECT_EQ(in_memory != 0, image->bitmap == 0);
            free_loaded_image(image);
        }
        EXPECT_EQ(record.error, kCodecOk);
        plugin_release_handles(&record);
        EXPECT_EQ(record.module, 0);
        EXPECT_EQ(record.info_memory, 0);
        EXPECT_EQ(record.pixel_memory, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PluginDecode, ::testing::ValuesIn(plugin_decode_cases()),
                         [](const ::testing::TestParamInfo<PluginDecodeCaseData>& p) {
                             return std::string(p.param.name);
                         });

// Plug-ins take names in the system code page; a name it cannot spell reaches them in its
// short form.
TEST(PluginWin, NameOutsideTheCodePageReachesThePlugin) {
    const std::u16string folder = plugin_folder({"raw"});
    const TestPicture picture = make_test_picture(4, 3, 24);
    for (const char16_t* name : {u"\u753b\u50cf.pxr", u"\ud55c\uae00.pxr"}) {
        const std::u16string path = scratch_path("") + name;
        ASSERT_TRUE(write_bytes(path, encode_test_picture(picture)));
        PluginContext record;
        init_codec_context(&record, 0);
        record.in_memory = 1;
        LoadedImage* image = read_plugin_image(path, folder, &record);
        ASSERT_NE(image, nullptr);
        expect_matches_test_picture(*image, picture);
        free_loaded_image(image);
        plugin_release_handles(&record);
    }
}

TEST(PluginWin, FailingPluginLeavesItsBlocksForTheRelease) {
    const std::u16string folder = plugin_folder({"fail"});
    TestPicture picture = make_test_picture(3, 2, 24);
    picture.magic = "PXFL";
    const std::u16string path = scratch_path("fail.bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(picture)));
    PluginContext record;
    init_codec_context(&record, 0);
    record.in_memory = 1;
    EXPECT_EQ(read_plugin_image(path, folder, &record), nullptr);
    EXPECT_NE(record.module, 0);
    EXPECT_NE(record.info_memory, 0);
    EXPECT_NE(record.pixel_memory, 0);
    plugin_release_handles(&record);
    EXPECT_EQ(record.module, 0);
    EXPECT_EQ(record.info_memory, 0);
    EXPECT_EQ(record.pixel_memory, 0);
}

TEST(PluginWin, NothingChosenForUnknownFilesEmptyFilesOrMissingFolders) {
    const std::u16string folder = plugin_folder({"raw", "off128"});
    const std::u16string unknown = scratch_path("unknown.bin");
    ASSERT_TRUE(write_bytes(unknown, std::vector<uint8_t>(300, 'q')));
    const std::u16string empty = scratch_path("empty.bin");
    ASSERT_TRUE(write_bytes(empty, {}));
    const std::u16string good = scratch_path("good.bin");
    ASSERT_TRUE(write_bytes(good, encode_test_picture(make_test_picture(2, 2, 24))));
    struct {
        std::u16string path, folder;
    } cases[] = {
        {unknown, folder}, {empty, folder}, {good, folder + u"\\missing"}, {scratch_path("none"), folder}};
    for (auto& c : cases) {
        PluginContext record;
        init_codec_context(&record, 0);
        EXPECT_EQ(read_plugin_image(c.path, c.folder, &record), nullptr);
        EXPECT_EQ(record.module, 0);
    }
}

}  // namespace
