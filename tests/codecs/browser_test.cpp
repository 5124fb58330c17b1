#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codecs/file_io.h"
#include "codecs/pixel_memory.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "tests/codecs/browser_test_support.h"
#include "tests/codecs/plugin_test_format.h"
#include "tests/support/test_support.h"

namespace {

struct FitCase {
    int32_t box_w, box_h, w, h, want_w, want_h;
};

TEST(BrowserFit, FitsWithinTheBoxAndNeverToZero) {
    // clang-format off
    const FitCase cases[] = {
        {96, 96, 10, 2000, 1, 96},         // width would round to 0
        {800, 800, 1, 25000, 1, 800},      // products beyond 32 bits
        {800, 600, 25000, 1, 800, 1},
        {144, 108, 300, 200, 144, 96},     // width-bound
        {144, 108, 4000, 3000, 144, 108},  // the box's own shape fills it
        {100, 100, 200, 200, 100, 100},
        {2, 2, 6, 6, 2, 2},                // squares stay square
        {100, 100, 300, 300, 100, 100},
        {144, 108, 145, 108, 144, 107},
        {32, 800, 3, 7, 32, 74},
        {144, 108, 3, 2000, 1, 108},
    };
    // clang-format on
    for (const FitCase& c : cases) {
        int32_t size[2] = {c.w, c.h};
        fit_size_to_box(c.box_w, c.box_h, size);
        EXPECT_EQ(size[0], c.want_w) << c.w << "x" << c.h;
        EXPECT_EQ(size[1], c.want_h) << c.w << "x" << c.h;
    }
}

struct LayoutCase {
    int32_t w, h, s, m1, m2, o;
    PreviewLayout want;
};

TEST(BrowserPreview, LayoutValuesRoundHalfAwayFromZero) {
    const LayoutCase cases[] = {
        {400, 300, 200, 10, 20, 800, {110, 95, 810, 620, 200, 150}},
        {8, 3, 100, 0, 0, 100, {100, 38, 100, 38, 100, 38}},  // 37.5 rounds up
        {300, 400, 200, 10, 20, 800, {85, 120, 610, 820, 150, 200}},
        {50, 50, 100, 6, 8, 700, {106, 108, 706, 708, 100, 100}},  // square: height branch
        {1000, 1, 100, 4, 4, 900, {104, 4, 904, 5, 100, 1}},       // fitted height at least 1
        {1, 1000, 100, 4, 4, 900, {4, 104, 5, 904, 1, 100}},
    };
    for (const LayoutCase& c : cases) {
        const PreviewLayout l = compute_preview_layout(c.w, c.h, c.s, c.m1, c.m2, c.o);
        EXPECT_EQ(l.min_width, c.want.min_width) << c.w << "x" << c.h;
        EXPECT_EQ(l.min_height, c.want.min_height) << c.w << "x" << c.h;
        EXPECT_EQ(l.max_width, c.want.max_width) << c.w << "x" << c.h;
        EXPECT_EQ(l.max_height, c.want.max_height) << c.w << "x" << c.h;
        EXPECT_EQ(l.fitted_width, c.want.fitted_width) << c.w << "x" << c.h;
        EXPECT_EQ(l.fitted_height, c.want.fitted_height) << c.w << "x" << c.h;
    }
}

class BrowserShrink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(create_codec_contexts());
        options_ = g_browser_options;
        g_browser_options.box_width = 144;
        g_browser_options.box_height = 108;
    }
    void TearDown() override {
        release_load_result();
        g_browser_options = options_;
        destroy_codec_contexts();
    }
    // Publishes a 24-bit image of the given size as if a load had just made it.
    void publish(int32_t w, int32_t h) {
        image_ = {};
        image_.info.size = 40;
        image_.info.width = w;
        image_.info.height = h;
        image_.info.planes = 1;
        image_.info.bit_count = 24;
        image_.pixels = alloc_pixels(((3 * int64_t(w) + 3) & ~3) * h);
        g_load_result.image = &image_;
        g_load_result.full_width = w * 2;
        g_load_result.full_height = h * 2;
        g_load_result.current_width = w;
        g_load_result.current_height = h;
        g_load_result.header = image_.info;
    }
    LoadedImage image_ = {};
    BrowserOptions options_;
};

TEST_F(BrowserShrink, ExactBoxIsKeptAndOnePixelMoreIsResampled) {
    publish(144, 108);
    uint8_t* before = image_.pixels;
    int32_t size[2] = {};
    ASSERT_TRUE(shrink_loaded_image_to_box(size, false));
    EXPECT_EQ(image_.pixels, before);
    EXPECT_EQ(size[0], 144);
    EXPECT_EQ(size[1], 108);
    release_load_result();

    publish(145, 108);
    ASSERT_TRUE(shrink_loaded_image_to_box(size, false));
    EXPECT_EQ(size[0], 144);
    EXPECT_EQ(size[1], 107);
    EXPECT_EQ(g_load_result.current_width, 144);
    EXPECT_EQ(g_load_result.current_height, 107);
    EXPECT_EQ(g_load_result.header.width, 144);
    EXPECT_EQ(g_load_result.header.height, 107);
    EXPECT_EQ(g_load_result.header.bit_count, 24);
    ASSERT_NE(image_.pixels, nullptr);
    // The fitted rows are the entry's block already: the store takes them without a copy.
    uint8_t* fitted = image_.pixels;
    ThumbnailTarget entry;
    store_thumbnail_in_entry(&entry);
    EXPECT_EQ(entry.bits, fitted);
    EXPECT_EQ(g_load_result.image, nullptr);
    EXPECT_EQ(entry.thumbnail_width, 144);
    free_thumbnail_bits(entry.bits);
    // Fitted rows that no entry took are freed with the load.
    publish(300, 20);
    ASSERT_TRUE(shrink_loaded_image_to_box(size, false));
    release_load_result();
    EXPECT_EQ(g_load_result.image, nullptr);
}

// Shrinking averages areas: the four uniform 3 x 3 quarters of a 6 x 6 image become the four
// pixels of its 2 x 2 thumbnail, each in its place (rows bottom-up).
TEST_F(BrowserShrink, ThumbnailPixelsAreAreaAverages) {
    g_browser_options.box_width = 2;
    g_browser_options.box_height = 2;
    publish(6, 6);
    const uint8_t quarter[2][2][3] = {{{10, 20, 30}, {40, 50, 60}}, {{70, 80, 90}, {200, 210, 220}}};
    const int stride = 20;  // 18 bytes padded to 4
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) std::memcpy(image_.pixels + y * stride + 3 * x, quarter[y / 3][x / 3], 3);
    }
    int32_t size[2];
    ASSERT_TRUE(shrink_loaded_image_to_box(size, false));
    ASSERT_EQ(size[0], 2);
    ASSERT_EQ(size[1], 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(std::memcmp(image_.pixels + y * 8 + 3 * x, quarter[y][x], 3), 0) << x << "," << y;
        }
    }
}

TEST_F(BrowserShrink, SizeOnlyLooksAtTheFullSizeFirst) {
    publish(50, 40);  // full size 100 x 80 fits the box
    int32_t size[2] = {};
    ASSERT_TRUE(shrink_loaded_image_to_box(size, true));
    EXPECT_EQ(size[0], 100);
    EXPECT_EQ(size[1], 80);
    release_load_result();
    publish(200, 100);  // full size 400 x 200: the current size is fitted
    uint8_t* before = image_.pixels;
    ASSERT_TRUE(shrink_loaded_image_to_box(size, true));
    EXPECT_EQ(size[0], 144);
    EXPECT_EQ(size[1], 72);
    EXPECT_EQ(image_.pixels, before);
}

TEST_F(BrowserShrink, StoredRowsAreOwnBlocksFreedByTheirPair) {
    // Widths 1, 2, 3 and one that is a multiple of 4: each block holds the padded rows only.
    std::vector<ThumbnailTarget> entries(4);
    const int32_t widths[] = {1, 2, 3, 144};
    for (size_t i = 0; i < entries.size(); ++i) {
        publish(widths[i], 3);
        const int64_t bytes = ((3 * int64_t(widths[i]) + 3) & ~3) * 3;
        for (int64_t k = 0; k < bytes; ++k) image_.pixels[k] = static_cast<uint8_t>(k + i);
        const std::vector<uint8_t> want(image_.pixels, image_.pixels + bytes);
        store_thumbnail_in_entry(&entries[i]);
        ASSERT_NE(entries[i].bits, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(entries[i].bits, entries[i].bits + bytes), want) << widths[i];
    }
    // Storing over a held thumbnail frees the old block (the sanitizer reports a leak otherwise).
    publish(5, 5);
    store_thumbnail_in_entry(&entries[0]);
    EXPECT_EQ(entries[0].thumbnail_width, 5);
    for (ThumbnailTarget& e : entries) free_thumbnail_bits(e.bits);
    free_thumbnail_bits(nullptr);
}

TEST_F(BrowserShrink, StoreWithoutMemoryKeepsTheEntryAndTheLoad) {
    publish(4, 4);
    ThumbnailTarget entry;
    store_thumbnail_in_entry(&entry);
    uint8_t* held = entry.bits;
    ASSERT_NE(held, nullptr);
    publish(4, 4);
    // Rows this size cannot be had: the store must leave both sides as they were.
    g_load_result.header.width = 0x10000;
    g_load_result.header.height = 0x10000;
    g_load_result.current_width = 77;
    store_thumbnail_in_entry(&entry);
    EXPECT_EQ(entry.bits, held);
    EXPECT_EQ(entry.thumbnail_width, 4);
    EXPECT_EQ(g_load_result.image, &image_);
    EXPECT_NE(image_.pixels, nullptr);
    free_thumbnail_bits(entry.bits);
}

TEST_F(BrowserShrink, StoreTakesTheRowsAndRefreshRenewsOnlyFiveWords) {
    publish(20, 10);
    g_load_result.time_low = 1;
    g_load_result.time_high = 2;
    g_load_result.file_size = 5;
    g_load_result.format = 3;
    g_load_result.source_bits = 8;
    g_load_result.w1 = 7;
    g_load_result.w4 = 9;
    for (int i = 0; i < 60 * 10; ++i) image_.pixels[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> rows(image_.pixels, image_.pixels + 60 * 10);
    ThumbnailTarget entry;
    store_thumbnail_in_entry(&entry);
    ASSERT_NE(entry.bits, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(entry.bits, entry.bits + 60 * 10), rows);
    EXPECT_EQ(image_.pixels, nullptr);  // the loaded rows went with the copy
    EXPECT_EQ(g_load_result.image, nullptr);
    const uint32_t want[kLoadInfoWords] = {1, 2, 40, 20, 5, 3, 8, 7, 0, 0, 9};
    for (int i = 0; i < kLoadInfoWords; ++i) EXPECT_EQ(entry.load_info[i], want[i]) << i;
    EXPECT_EQ(entry.thumbnail_width, 20);
    EXPECT_EQ(entry.header.bit_count, 24);

    publish(6, 4);
    g_load_result.time_low = 11;
    g_load_result.format = 99;
    g_load_result.w1 = 99;
    refresh_thumbnail_in_entry(&entry);  // the old rows are freed, not leaked
    EXPECT_EQ(entry.load_info[0], 11u);
    EXPECT_EQ(entry.load_info[2], 12u);
    EXPECT_EQ(entry.load_info[5], 3u);
    EXPECT_EQ(entry.load_info[7], 7u);
    EXPECT_EQ(entry.thumbnail_width, 6);
    free_thumbnail_bits(entry.bits);
}

TEST(BrowserLoad, MissingEmptyAndUnknownFilesGiveNothing) {
    ASSERT_TRUE(create_codec_contexts());
    const std::u16string empty = scratch_path("empty.bin");
    ASSERT_TRUE(write_bytes(empty, {}));
    const std::u16string unknown = scratch_path("unknown.bin");
    ASSERT_TRUE(write_bytes(unknown, std::vector<uint8_t>(64, 'z')));
    const BrowserOptions saved = g_browser_options;
    g_browser_options.plugin_folder.clear();
    for (const std::u16string& path : {scratch_path("missing.bin"), empty, unknown}) {
        int32_t loaded = 0;
        EXPECT_EQ(load_image_24(nullptr, 0, path, &loaded), nullptr);
        EXPECT_EQ(loaded, 0);
    }
    g_browser_options = saved;
    destroy_codec_contexts();
}

}  // namespace

#ifndef _WIN32
// Natively the plug-ins are the in-process stand-ins of the native loader and the lossless
// transform is jpegtran's, so the loader's own rules run under the sanitizers.
#include <sys/stat.h>

#include <cstdlib>

#include "codecs/file_io.h"
#include "common/utf16.h"
#include "loading/native/plugin_native.h"
#include "tests/codecs/plugin_native_fake.h"

namespace {

class BrowserNative : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(create_codec_contexts());
        saved_ = g_browser_options;
        register_fake_test_plugins();
        folder_ = scratch_path("plugins");
        mkdir(utf16_to_utf8(folder_).c_str(), 0700);
        for (const char* name : {"raw.spi", "off128.spi", "fail.spi"}) {
            ASSERT_TRUE(write_bytes(folder_ + u"/" + utf8_to_utf16(name), {'x'}));
        }
        g_browser_options.plugin_folder = folder_;
        blocks_ = plugin_native_live_blocks();
    }
    void TearDown() override {
        release_load_result();
        release_preview_image();
        EXPECT_EQ(plugin_native_live_blocks(), blocks_);
        EXPECT_EQ(plugin_native_loaded_modules(), 0);
        plugin_native_clear_registry();
        g_browser_options = saved_;
        g_in_place_transform_steps = default_in_place_transform_steps();
        destroy_codec_contexts();
    }
    std::u16string folder_;
    BrowserOptions saved_;
    int blocks_ = 0;
};

TEST_F(BrowserNative, PluginPicturesOfEveryDepthComeOutAt24Bits) {
    for (const PluginDecodeCaseData& c : plugin_decode_cases()) {
        const std::u16string path = scratch_path(std::string(c.name) + ".bin");
        ASSERT_TRUE(write_bytes(path, encode_test_picture(c.picture)));
        int32_t loaded = 0;
        LoadedImage* image = load_image_24(nullptr, 0, path, &loaded);
        if (!c.accepted) {
            EXPECT_EQ(image, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(image, nullptr) << c.name;
        EXPECT_EQ(loaded, 1);
        const LoadResult& r = g_load_result;
        EXPECT_EQ(r.format, 0);
        EXPECT_EQ(r.source_bits, c.picture.depth ? c.picture.depth : c.picture.bits) << c.name;
        EXPECT_EQ(r.full_width, int32_t(c.picture.width));
        EXPECT_EQ(r.current_height, c.picture.height);
        EXPECT_EQ(r.header.bit_count, 24);
        EXPECT_EQ(image->info.bit_count, 24);
        const std::vector<uint8_t> want = test_picture_as_24(c.picture);
        EXPECT_TRUE(same_24_pixels(image->pixels, want, int32_t(c.picture.width), c.picture.height))
            << c.name;
        release_load_result();
    }
}

TEST_F(BrowserNative, PluginsAreAskedOnlyWithAFolderAndAFileToRead) {
    const std::u16string path = scratch_path("pic.bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(make_test_picture(3, 3, 8, 4))));
    const std::u16string empty = scratch_path("empty.bin");
    ASSERT_TRUE(write_bytes(empty, {}));
    const int before = fake_plugins::picture_calls();
    EXPECT_EQ(load_image_24(nullptr, 0, empty, nullptr), nullptr);
    g_browser_options.plugin_folder.clear();
    EXPECT_EQ(load_image_24(nullptr, 0, path, nullptr), nullptr);
    g_browser_options.plugin_folder = folder_ + u"/missing";
    EXPECT_EQ(load_image_24(nullptr, 0, path, nullptr), nullptr);
    EXPECT_EQ(fake_plugins::picture_calls(), before);
}

TEST_F(BrowserNative, RefusedJpegIsRetriedThroughThePlugins) {
    const TestPicture picture = make_test_picture(6, 4, 8, 5);
    const std::u16string path = scratch_path("not_really.jpg");
    ASSERT_TRUE(write_bytes(path, fake_jpeg_for_plugin(picture)));
    g_load_result.w1 = 5;  // left over from an earlier load
    LoadedImage* image = load_image_24(nullptr, 0, path, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(g_load_result.format, 0);
    EXPECT_EQ(g_load_result.w1, 0);
    EXPECT_TRUE(same_24_pixels(image->pixels, test_picture_as_24(picture), 6, 4));
}

TEST_F(BrowserNative, FailingPluginLeaksNothing) {
    TestPicture picture = make_test_picture(4, 4, 24);
    picture.magic = "PXFL";
    const std::u16string path = scratch_path("fail.bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(picture)));
    EXPECT_EQ(load_image_24(nullptr, 0, path, nullptr), nullptr);
}

TEST_F(BrowserNative, ThumbnailIsConvertedThenFitted) {
    const std::u16string path = scratch_path("wide.bin");
    ASSERT_TRUE(write_bytes(path, encode_test_picture(make_test_picture(300, 20, 8, 3))));
    g_browser_options.box_width = 96;
    g_browser_options.box_height = 96;
    ASSERT_NE(load_thumbnail_image_24(nullptr, 0, path, nullptr), nullptr);
    int32_t size[2];
    ASSERT_TRUE(shrink_loaded_image_to_box(size, false));
    EXPECT_EQ(size[0], 96);
    EXPECT_EQ(size[1], 6);
    ThumbnailTarget entry;
    store_thumbnail_in_entry(&entry);
    EXPECT_EQ(entry.load_info[6], 8u);  // the source depth stays 8
    EXPECT_EQ(entry.load_info[2], 300u);
    EXPECT_EQ(entry.thumbnail_width, 96);
    EXPECT_EQ(entry.header.bit_count, 24);
    free_thumbnail_bits(entry.bits);
}

TEST_F(BrowserNative, PreviewFitsTheSquareOrKeepsSmallImages) {
    g_browser_options.preview_size = 100;
    g_browser_options.preview_frame_width = 4;
    g_browser_options.preview_frame_height = 6;
    g_browser_options.preview_max_size = 500;
    g_browser_options.jpeg_box_width = 7;
    const std::u16string big = scratch_path("big.bin");
    ASSERT_TRUE(write_bytes(big, encode_test_picture(make_test_picture(400, 300, 24))));
    ASSERT_TRUE(load_preview_image(big, nullptr, 0));
    EXPECT_EQ(g_preview.header.width, 100);
    EXPECT_EQ(g_preview.header.height, 75);
    EXPECT_EQ(g_preview.layout[0], 104);
    EXPECT_EQ(g_preview.layout[1], 81);
    EXPECT_EQ(g_preview.layout[2], 504);
    EXPECT_EQ(g_preview.layout[3], 381);
    // The preview's box is its own: a later full-size load is not reduced by it.
    EXPECT_EQ(g_browser_options.jpeg_box_width, 7);

    const std::u16string small = scratch_path("small.bin");
    const TestPicture picture = make_test_picture(5, 3, 4, 16);
    ASSERT_TRUE(write_bytes(small, encode_test_picture(picture)));
    ASSERT_TRUE(load_preview_image(small, nullptr, 0));
    EXPECT_EQ(g_preview.header.width, 5);
    EXPECT_EQ(g_preview.header.height, 3);
    const std::vector<uint8_t> want = test_picture_as_24(picture);
    EXPECT_TRUE(same_24_pixels(g_preview.pixels, want, 5, 3));
}

// The transform step runs jpegtran; `extra` lets a test make it produce a wrong file.
std::string g_jpegtran_extra;
bool jpegtran_step(const std::u16string& source, const std::u16string& target, int32_t kind) {
    static const char* const ops[] = {
        "", "-rotate 90", "-rotate 180", "-rotate 270", "-flip horizontal", "-flip vertical"};
    const std::string command = "jpegtran -copy all " + g_jpegtran_extra + " " + ops[kind] + " '" +
                                utf16_to_utf8(source) + "' > '" + utf16_to_utf8(target) + "'";
    return std::system(command.c_str()) == 0;
}
bool failing_step(const std::u16string&, const std::u16string&) {
    return false;
}
bool failing_recycle(const std::u16string&, OsHandle) {
    return false;
}
bool failing_transform(const std::u16string&, const std::u16string&, int32_t) {
    return false;
}

FileTime time_of(const std::u16string& path) {
    FileTime t = {};
    OsHandle f = file_open_read(path);
    EXPECT_NE(f, kClosedFile);
    file_last_write_time(f, &t);
    file_close(f);
    return t;
}

std::u16string fresh_copy_of_fixture(const char* name) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(read_bytes(browser_fixture("rot_420.jpg"), &bytes));
    const std::u16string path = scratch_path(name);
    EXPECT_TRUE(write_bytes(path, bytes));
    return path;
}

TEST_F(BrowserNative, InPlaceRotationReplacesTheFileWithTheTrimmedRotation) {
    g_in_place_transform_steps.transform = jpegtran_step;
    g_jpegtran_extra = "-trim";
    for (int kind = 1; kind <= 5; ++kind) {
        const std::u16string path = fresh_copy_of_fixture("photo.jpg");
        ASSERT_TRUE(transform_jpeg_file_in_place(path, time_of(path), kind, 0)) << kind;
        DecodedJpeg got, want;
        ASSERT_TRUE(decode_jpeg_file(path, &got));
        ASSERT_TRUE(decode_jpeg_file(browser_fixture("rot_420_kind" + std::to_string(kind) + ".jpg"), &want));
        EXPECT_EQ(got.width, want.width) << kind;
        EXPECT_EQ(got.height, want.height) << kind;
        EXPECT_EQ(got.samples, want.samples) << kind;
        for (const char16_t* tag : {u".rot0", u".bak0"}) EXPECT_FALSE(read_bytes(path + tag, &want.samples));
    }
}

std::vector<OsHandle> g_recycle_owners;
bool recording_recycle(const std::u16string& path, OsHandle owner) {
    g_recycle_owners.push_back(owner);
    return browser_recycle_file(path, owner);
}

// The recycle bin's windows belong to the open image window's frame, and to nobody when no
// image window is open.
TEST_F(BrowserNative, InPlaceRotationHandsTheImageWindowFrameToTheRecycleBin) {
    g_in_place_transform_steps.transform = jpegtran_step;
    g_in_place_transform_steps.recycle = recording_recycle;
    g_jpegtran_extra = "-trim";
    g_recycle_owners.clear();
    const OsHandle frame = static_cast<OsHandle>(0x5A3C);
    for (OsHandle open_frame : {frame, OsHandle{0}}) {
        const std::u16string path = fresh_copy_of_fixture("photo.jpg");
        EXPECT_TRUE(transform_jpeg_file_in_place(path, time_of(path), 2, open_frame));
    }
    EXPECT_EQ(g_recycle_owners, (std::vector<OsHandle>{frame, 0}));
}

TEST_F(BrowserNative, InPlaceRotationFailuresLeaveTheOriginal) {
    std::vector<uint8_t> original;
    ASSERT_TRUE(read_bytes(browser_fixture("rot_420.jpg"), &original));
    struct Case {
        const char* name;
        bool (*transform)(const std::u16string&, const std::u16string&, int32_t);
        bool (*recycle)(const std::u16string&, OsHandle);
        bool (*replace)(const std::u16string&, const std::u16string&);
        std::string extra;
        bool stale_time;
    } cases[] = {
        {"replace_fails", jpegtran_step, browser_recycle_file, failing_step, "-trim", false},
        {"recycle_fails", jpegtran_step, failing_recycle, file_replace, "-trim", false},
        {"transform_fails", failing_transform, browser_recycle_file, file_replace, "-trim", false},
        // Without trimming the edge strip stays on the wrong side: the check refuses it.
        {"untrimmed_output", jpegtran_step, browser_recycle_file, file_replace, "", false},
        {"changed_since_listed", jpegtran_step, browser_recycle_file, file_replace, "-trim", true},
    };
    for (const Case& c : cases) {
        g_in_place_transform_steps.transform = c.transform;
        g_in_place_transform_steps.recycle = c.recycle;
        g_in_place_transform_steps.replace = c.replace;
        g_jpegtran_extra = c.extra;
        const std::u16string path = fresh_copy_of_fixture("photo.jpg");
        FileTime listed = time_of(path);
        if (c.stale_time) listed.low ^= 1;
        EXPECT_FALSE(transform_jpeg_file_in_place(path, listed, 1, 0)) << c.name;
        EXPECT_NE(g_in_place_transform_error, 0) << c.name;
        std::vector<uint8_t> now;
        ASSERT_TRUE(read_bytes(path, &now)) << c.name;
        EXPECT_EQ(now, original) << c.name;
        for (const char16_t* tag : {u".rot0", u".bak0"}) EXPECT_FALSE(read_bytes(path + tag, &now)) << c.name;
    }
}

}  // namespace
#endif

namespace {

struct FormatCase {
    const char* file;
    int32_t format;
    int32_t source_bits;  // -1: not checked
    int32_t w1, w2, w3;   // format words
};

// Each built-in reader through load_image_24, against Pillow's 24-bit decode of the same file.
TEST(BrowserFormats, EveryBuiltInReaderGivesTheReferencePixels) {
    ASSERT_TRUE(create_codec_contexts());
    const BrowserOptions saved = g_browser_options;
    g_browser_options.plugin_folder.clear();
    const FormatCase cases[] = {
        {"bmp_1.bmp", 1, 1, 0, 0, 0},
        {"bmp_4.bmp", 1, 4, 0, 0, 0},
        {"bmp_8.bmp", 1, 8, 0, 0, 0},
        {"bmp_24.bmp", 1, 24, 0, 0, 0},
        {"gif_8.gif", 5, -1, 0, 0, 0},
        {"gif_interlaced.gif", 5, -1, 0, 0, 0},
        {"tiff_1.tif", 4, 1, 0, 0, 0},
        {"tiff_grey.tif", 4, 8, 0, 0, 0},
        {"tiff_pal.tif", 4, 8, 0, 0, 0},
        {"tiff_24.tif", 4, 24, 0, 0, 0},
        {"jpeg_420.jpg", 3, 24, 0, 0, 0},
        {"jpeg_grey.jpg", 3, 8, 0, 0, 0},
        {"jpeg_prog.jpg", 3, 24, 2, 1, 1},  // two comments, an APP1, progressive
        {"png_1.png", 2, 1, 0, 0, 0},
        {"png_grey.png", 2, 8, 0, 0, 0},
        {"png_pal4.png", 2, 4, 0, 0, 0},
        {"png_rgb.png", 2, 24, 0, 0, 0},
        {"png_rgba.png", 2, -1, 0, 0, 0},
        {"png_interlaced.png", 2, 8, 0, 2, 1},  // two tEXt from ImageMagick
        {"png_text.png", 2, 24, 1, 2, 0},       // a Comment chunk among two text chunks
        {"bmp_16.bmp", 1, 16, 0, 0, 0},
        {"bmp_32.bmp", 1, 32, 0, 0, 0},
        {"gif_2.gif", 5, -1, 0, 0, 0},
        {"tiff_4.tif", 4, 4, 0, 0, 0},
        {"png_pal2.png", 2, 2, 0, 0, 0},
        {"png_grey16.png", 2, 16, 0, 0, 0},
        {"png_48.png", 2, 48, 0, 0, 0},
    };
    // Pillow's reference drops alpha and knows no display gamma.
    g_browser_options.apply_transparency = 0;
    g_browser_options.gamma_enabled = 0;
    for (const FormatCase& c : cases) {
        const std::string name = c.file;
        int width = 0, height = 0;
        std::vector<uint8_t> want;
        ASSERT_TRUE(read_ppm_as_bitmap_rows(browser_fixture(name.substr(0, name.rfind('.')) + ".ppm"), &width,
                                            &height, &want))
            << name;
        int32_t loaded = 0;
        LoadedImage* image = load_image_24(nullptr, 0, browser_fixture(name), &loaded);
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(loaded, 1);
        EXPECT_EQ(g_load_result.format, c.format) << name;
        if (c.source_bits >= 0) {
            EXPECT_EQ(g_load_result.source_bits, c.source_bits) << name;
        }
        EXPECT_EQ(g_load_result.w1, c.w1) << name;
        EXPECT_EQ(g_load_result.w2, c.w2) << name;
        EXPECT_EQ(g_load_result.w3, c.w3) << name;
        EXPECT_EQ(g_load_result.w4, name == "png_rgba.png" ? 1 : 0) << name;
        EXPECT_EQ(g_load_result.full_width, width) << name;
        EXPECT_EQ(g_load_result.full_height, height) << name;
        EXPECT_EQ(g_load_result.header.bit_count, 24) << name;
        ASSERT_EQ(image->info.width, width) << name;
        EXPECT_TRUE(same_24_pixels(image->pixels, want, width, height)) << name;
        release_load_result();
    }
    g_browser_options = saved;
    destroy_codec_contexts();
}

// A thumbnail decode of a JPEG runs at the DCT scale that fits the box: 100 x 75 for a
// 12 x 9 box decodes at 1/8, exactly as djpeg -scale 1/8 does, and the full size stays
// published.
TEST(BrowserFormats, ThumbnailJpegDecodesAtTheScaleOfTheBox) {
    ASSERT_TRUE(create_codec_contexts());
    const BrowserOptions saved = g_browser_options;
    g_browser_options.box_width = 12;
    g_browser_options.box_height = 9;
    int width = 0, height = 0;
    std::vector<uint8_t> want;
    ASSERT_TRUE(read_ppm_as_bitmap_rows(browser_fixture("jpeg_420_scale8.ppm"), &width, &height, &want));
    LoadedImage* image = load_thumbnail_image_24(nullptr, 0, browser_fixture("jpeg_420.jpg"), nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(g_load_result.full_width, 100);
    EXPECT_EQ(g_load_result.full_height, 75);
    ASSERT_EQ(g_load_result.current_width, width);
    ASSERT_EQ(g_load_result.current_height, height);
    EXPECT_TRUE(same_24_pixels(image->pixels, want, width, height));
    // The box is the thumbnail load's own: a plain load afterwards decodes at full size.
    EXPECT_EQ(g_browser_options.jpeg_box_width, saved.jpeg_box_width);
    release_load_result();

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_bytes(browser_fixture("jpeg_420.jpg"), &bytes));
    image = load_thumbnail_image_24(bytes.data(), uint32_t(bytes.size()), browser_fixture("jpeg_420.jpg"),
                                    nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(same_24_pixels(image->pixels, want, width, height));
    release_load_result();
    g_browser_options = saved;
    destroy_codec_contexts();
}

// A JPEG is read into one buffer that every load reuses, or mapped when it is larger than the
// buffer takes: both give djpeg's 1/8 decode. A file cut short after a longer one was read is
// decoded from its own bytes only, exactly as the same bytes passed in memory.
TEST(BrowserFormats, BufferedAndMappedJpegsDecodeOnlyTheirOwnBytes) {
    ASSERT_TRUE(create_codec_contexts());
    const BrowserOptions saved = g_browser_options;
    g_browser_options.box_width = 12;
    g_browser_options.box_height = 9;
    int width = 0, height = 0;
    std::vector<uint8_t> want;
    ASSERT_TRUE(read_ppm_as_bitmap_rows(browser_fixture("jpeg_420_scale8.ppm"), &width, &height, &want));
    const std::u16string whole = browser_fixture("jpeg_420.jpg");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(read_bytes(whole, &bytes));
    // Bytes after the end-of-image marker are never decoded.
    std::vector<uint8_t> padded = bytes;
    padded.resize(static_cast<size_t>(kBrowserReadBufferLimit) + 1, 0);
    const std::u16string large = scratch_path("large.jpg");
    ASSERT_TRUE(write_bytes(large, padded));
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + bytes.size() / 2);
    const std::u16string cut = scratch_path("cut.jpg");
    ASSERT_TRUE(write_bytes(cut, head));

    for (const std::u16string& path : {large, whole}) {
        LoadedImage* image = load_thumbnail_image_24(nullptr, 0, path, nullptr);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(g_load_result.file_size, path == large ? padded.size() : bytes.size());
        ASSERT_EQ(g_load_result.current_width, width);
        ASSERT_EQ(g_load_result.current_height, height);
        EXPECT_TRUE(same_24_pixels(image->pixels, want, width, height));
        release_load_result();
    }
    // The buffer still holds the whole file's bytes beyond the cut.
    LoadedImage* image = load_thumbnail_image_24(nullptr, 0, cut, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(g_load_result.file_size, head.size());
    const std::vector<uint8_t> from_file(image->pixels, image->pixels + want.size());
    release_load_result();
    image = load_thumbnail_image_24(head.data(), uint32_t(head.size()), cut, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(same_24_pixels(image->pixels, from_file, width, height));
    EXPECT_FALSE(same_24_pixels(image->pixels, want, width, height));
    release_load_result();
    g_browser_options = saved;
    destroy_codec_contexts();
}

// The in-place rotation with the program's own lossless transform gives jpegtran's result.
TEST(BrowserFormats, InPlaceRotationMatchesJpegtran) {
    for (int kind = 1; kind <= 5; ++kind) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(read_bytes(browser_fixture("rot_420.jpg"), &bytes));
        const std::u16string path = scratch_path("rotate.jpg");
        ASSERT_TRUE(write_bytes(path, bytes));
        FileTime listed = {};
        OsHandle f = file_open_read(path);
        ASSERT_NE(f, kClosedFile);
        ASSERT_TRUE(file_last_write_time(f, &listed));
        file_close(f);
        ASSERT_TRUE(transform_jpeg_file_in_place(path, listed, kind, 0)) << kind;
        DecodedJpeg got, want;
        ASSERT_TRUE(decode_jpeg_file(path, &got));
        ASSERT_TRUE(decode_jpeg_file(browser_fixture("rot_420_kind" + std::to_string(kind) + ".jpg"), &want));
        EXPECT_EQ(got.width, want.width) << kind;
        EXPECT_EQ(got.height, want.height) << kind;
        EXPECT_EQ(got.samples, want.samples) << kind;
    }
}

}  // namespace
