// Loading files into the image window's state under Wine: the real readers in DIB-section mode,
// real plug-in libraries, GDI handles counted by the system.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "codecs/gif/gif.h"
#include "common/utf16.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_state.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "loading/plugin.h"
#include "tests/codecs/plugin_test_format.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::u16string browser_fixture_path(const std::string& name) {
    return utf8_to_utf16(PX_TEST_SOURCE_DIR "/tests/codecs/browser_fixtures/" + name);
}

// A binary PPM (P6, maxval 255) as top-down RGB triples.
struct Ppm {
    int width = 0;
    int height = 0;
    Bytes rgb;
};

bool read_ppm(const std::u16string& path, Ppm* out) {
    Bytes bytes;
    if (!read_bytes(path, &bytes)) return false;
    size_t pos = 0;
    auto token = [&]() {
        while (pos < bytes.size() && (isspace(bytes[pos]) || bytes[pos] == '#')) {
            if (bytes[pos] == '#')
                while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
            else
                ++pos;
        }
        std::string t;
        while (pos < bytes.size() && !isspace(bytes[pos])) t += char(bytes[pos++]);
        return t;
    };
    if (token() != "P6") return false;
    out->width = std::stoi(token());
    out->height = std::stoi(token());
    if (token() != "255") return false;
    ++pos;
    out->rgb.assign(bytes.begin() + long(pos), bytes.end());
    return out->rgb.size() == size_t(out->width) * out->height * 3;
}

// The current image's pixel (x, y from the top) as RGB, through the palette for 8 bits.
void shown_pixel(int x, int y, uint8_t rgb[3]) {
    const EditImageDescription& d = g_edit_state.image;
    const int64_t stride = (int64_t(d.width) * d.bit_count / 8 + 3) / 4 * 4;
    const uint8_t* row = g_edit_state.bits + (d.height - 1 - y) * stride;
    if (d.bit_count == 8) {
        const RgbQuad& q = d.palette[row[x]];
        rgb[0] = q.red;
        rgb[1] = q.green;
        rgb[2] = q.blue;
    } else {
        rgb[0] = row[x * 3 + 2];
        rgb[1] = row[x * 3 + 1];
        rgb[2] = row[x * 3];
    }
}

struct BoxCall {
    std::wstring text;
    std::wstring caption;
    UINT style;
    bool lock_held;
};
std::vector<BoxCall> g_boxes;

int recording_box(HWND, const wchar_t* text, const wchar_t* caption, UINT style) {
    g_boxes.push_back({text, caption, style, process_lock_held()});
    return IDOK;
}

void put16(Bytes* b, int v) {
    b->push_back(uint8_t(v));
    b->push_back(uint8_t(v >> 8));
}

// An animated GIF of `delays.size()` frames, each a 3 x 2 picture of one palette index (the
// frame's number), looping `loops` times.
Bytes animated_gif(const std::vector<int>& delays, int loops) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    put16(&b, 3);
    put16(&b, 2);
    b.insert(b.end(), {0x82, 0, 0});  // global table of 8 entries
    for (int i = 0; i < 8; ++i) b.insert(b.end(), {uint8_t(30 * i), uint8_t(255 - 30 * i), uint8_t(10 * i)});
    const char id[] = "NETSCAPE2.0";
    b.insert(b.end(), {0x21, 0xFF, 11});
    b.insert(b.end(), id, id + 11);
    b.insert(b.end(), {3, 1});
    put16(&b, loops);
    b.push_back(0);
    for (size_t f = 0; f < delays.size(); ++f) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0x04});  // disposal 1: keep
        put16(&b, delays[f]);
        b.insert(b.end(), {0, 0});
        b.push_back(0x2C);
        put16(&b, 0);
        put16(&b, 0);
        put16(&b, 3);
        put16(&b, 2);
        b.push_back(0);
        const Bytes pixels(6, uint8_t(f));
        auto encoder = std::make_unique<GifLzwEncoder>();
        const int64_t bound = gif_lzw_bound(6);
        Bytes lzw(size_t(bound), 0);
        const int64_t n = gif_encode_lzw(encoder.get(), 3, pixels.data(), 6, lzw.data(), bound);
        b.push_back(3);
        b.push_back(uint8_t(n));
        b.insert(b.end(), lzw.begin(), lzw.begin() + n);
        b.push_back(0);
    }
    b.push_back(0x3B);
    return b;
}

void expect_same_description(const EditImageDescription& a, const EditImageDescription& b) {
    EXPECT_EQ(std::memcmp(a.palette, b.palette, sizeof a.palette), 0);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.source_format, b.source_format);
    EXPECT_EQ(a.bit_count, b.bit_count);
    EXPECT_EQ(a.source_bits, b.source_bits);
    EXPECT_EQ(a.file_size, b.file_size);
    EXPECT_EQ(a.file_time.low, b.file_time.low);
    EXPECT_EQ(a.file_time.high, b.file_time.high);
    EXPECT_EQ(std::u16string(a.path), std::u16string(b.path));
    EXPECT_EQ(std::u16string(a.file_name), std::u16string(b.file_name));
    EXPECT_EQ(a.flag_interlaced, b.flag_interlaced);
    EXPECT_EQ(a.flag_alpha_or_transparent, b.flag_alpha_or_transparent);
    EXPECT_EQ(a.flag_metadata, b.flag_metadata);
    EXPECT_EQ(a.flag_comment, b.flag_comment);
}

DWORD gdi_objects() {
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}

class EditStateWin : public ::testing::Test {
protected:
    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        ASSERT_TRUE(create_codec_contexts());
        saved_options_ = g_browser_options;
        // The references are plain 24-bit decodes: no blending, no gamma.
        g_browser_options.apply_transparency = 0;
        g_browser_options.gamma_enabled = 0;
        g_browser_options.plugin_folder.clear();
        g_edit_state.memory_dc = CreateCompatibleDC(nullptr);
        g_edit_state.window_kind = 1;
        g_boxes.clear();
        previous_hook_ = set_message_box_hook(recording_box);
    }
    void TearDown() override {
        release_current_image();
        history_clear(g_edit_state.history, 0);
        if (g_edit_state.memory_dc) DeleteDC(g_edit_state.memory_dc);
        g_edit_state = EditState{};
        set_message_box_hook(previous_hook_);
        g_browser_options = saved_options_;
        destroy_codec_contexts();
    }

    void use_plugins() {
        const std::u16string folder = scratch_path("edit_plugins");
        ASSERT_TRUE(CreateDirectoryW(wide(folder), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        for (const char* v : {"raw", "off128"}) {
            const std::u16string name = utf8_to_utf16(std::string(v) + ".spi");
            ASSERT_TRUE(CopyFileW(wide(utf8_to_utf16("Z:" PX_TEST_BINARY_DIR "/test_plugins/") + name),
                                  wide(folder + u"\\" + name), FALSE));
        }
        g_browser_options.plugin_folder = folder;
    }

    BrowserOptions saved_options_;
    MessageBoxHook previous_hook_ = nullptr;
};

struct FixtureCase {
    const char* name;
    int32_t format;
    int32_t bit_count;
    int32_t source_bits;
    uint8_t interlaced;
    uint8_t alpha;
    int32_t metadata;
    int32_t comment;
};

const FixtureCase kFixtures[] = {
    {"bmp_1.bmp", 1, 8, 1, 0, 0, 0, 0},          {"bmp_4.bmp", 1, 8, 4, 0, 0, 0, 0},
    {"bmp_8.bmp", 1, 8, 8, 0, 0, 0, 0},          {"bmp_16.bmp", 1, 24, 16, 0, 0, 0, 0},
    {"bmp_24.bmp", 1, 24, 24, 0, 0, 0, 0},       {"bmp_32.bmp", 1, 24, 32, 0, 0, 0, 0},
    {"png_1.png", 2, 8, 1, 0, 0, 0, 0},          {"png_pal2.png", 2, 8, 2, 0, 0, 0, 0},
    {"png_pal4.png", 2, 8, 4, 0, 0, 0, 0},       {"png_grey.png", 2, 8, 8, 0, 0, 0, 0},
    {"png_grey16.png", 2, 8, 16, 0, 0, 0, 0},    {"png_rgb.png", 2, 24, 24, 0, 0, 0, 0},
    {"png_rgba.png", 2, 24, 24, 0, 1, 0, 0},     {"png_48.png", 2, 24, 48, 0, 0, 0, 0},
    {"png_interlaced.png", 2, 8, 8, 1, 0, 2, 0}, {"png_text.png", 2, 24, 24, 0, 0, 2, 1},
    {"jpeg_420.jpg", 3, 24, 24, 0, 0, 0, 0},     {"jpeg_grey.jpg", 3, 8, 8, 0, 0, 0, 0},
    {"jpeg_prog.jpg", 3, 24, 24, 1, 0, 1, 2},    {"tiff_1.tif", 4, 8, 1, 0, 0, 0, 0},
    {"tiff_4.tif", 4, 8, 4, 0, 0, 0, 0},         {"tiff_grey.tif", 4, 8, 8, 0, 0, 0, 0},
    {"tiff_pal.tif", 4, 8, 8, 0, 0, 0, 0},       {"tiff_24.tif", 4, 24, 24, 0, 0, 0, 0},
    {"gif_2.gif", 5, 8, 8, 0, 0, 0, 0},          {"gif_8.gif", 5, 8, 8, 0, 0, 0, 0},
    {"gif_interlaced.gif", 5, 8, 4, 0, 0, 0, 0},
};

TEST_F(EditStateWin, EveryFixtureLoadsWithItsFieldsFlagsAndPixels) {
    for (const FixtureCase& c : kFixtures) {
        SCOPED_TRACE(c.name);
        const std::string stem = std::string(c.name).substr(0, std::string(c.name).rfind('.'));
        Ppm reference;
        ASSERT_TRUE(read_ppm(browser_fixture_path(stem + ".ppm"), &reference));
        const std::u16string path = browser_fixture_path(c.name);
        ASSERT_TRUE(load_image_into_edit_state(path));
        const EditState& s = g_edit_state;
        const EditImageDescription& d = s.image;
        ASSERT_TRUE(edit_image_loaded());
        EXPECT_EQ(GetObjectType(s.bitmap), DWORD(OBJ_BITMAP));
        DIBSECTION dib = {};
        ASSERT_EQ(GetObject(s.bitmap, sizeof dib, &dib), int(sizeof dib));
        EXPECT_EQ(dib.dsBm.bmBits, s.bits);
        EXPECT_EQ(dib.dsBmih.biBitCount, d.bit_count);
        EXPECT_EQ(GetCurrentObject(s.memory_dc, OBJ_BITMAP), s.bitmap);
        EXPECT_EQ(d.width, reference.width);
        EXPECT_EQ(d.height, reference.height);
        EXPECT_EQ(d.source_format, c.format);
        EXPECT_EQ(d.bit_count, c.bit_count);
        EXPECT_EQ(d.source_bits, c.source_bits);
        EXPECT_EQ(std::u16string(d.path), path);
        EXPECT_EQ(std::u16string(d.file_name), utf8_to_utf16(c.name));
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data));
        EXPECT_EQ(uint32_t(d.file_size), data.nFileSizeLow);
        EXPECT_EQ(d.file_time.low, data.ftLastWriteTime.dwLowDateTime);
        EXPECT_EQ(d.file_time.high, data.ftLastWriteTime.dwHighDateTime);
        EXPECT_GE(d.x_resolution, 0);
        EXPECT_GE(d.y_resolution, 0);
        EXPECT_EQ(d.flag_interlaced, c.interlaced);
        EXPECT_EQ(d.flag_alpha_or_transparent, c.alpha);
        EXPECT_EQ(d.flag_metadata, c.metadata);
        EXPECT_EQ(d.flag_comment, c.comment);
        EXPECT_EQ(s.animation.animated, 0);
        EXPECT_EQ(s.history.step_count(), 0);
        EXPECT_EQ(s.history.start_format, c.format);
        int wrong = 0;
        for (int y = 0; y < reference.height; ++y)
            for (int x = 0; x < reference.width; ++x) {
                uint8_t rgb[3];
                shown_pixel(x, y, rgb);
                wrong += std::memcmp(rgb, &reference.rgb[(size_t(y) * reference.width + x) * 3], 3) != 0;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(EditStateWin, PngTheReaderRefusesIsOfferedToThePlugins) {
    use_plugins();
    const TestPicture picture = make_test_picture(6, 4, 24);
    TestPicture prefixed = picture;
    prefixed.prefix_128 = true;
    prefixed.magic = "PX28";
    Bytes bytes = encode_test_picture(prefixed);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::memcpy(bytes.data(), signature, 8);
    const std::u16string path = scratch_path("not_really.png");
    ASSERT_TRUE(write_bytes(path, bytes));
    ASSERT_TRUE(load_image_into_edit_state(path));
    const EditImageDescription& d = g_edit_state.image;
    EXPECT_EQ(d.source_format, 0);
    EXPECT_EQ(d.width, 6);
    EXPECT_EQ(d.height, 4);
    EXPECT_EQ(d.bit_count, 24);
    EXPECT_EQ(GetObjectType(g_edit_state.bitmap), DWORD(OBJ_BITMAP));
    EXPECT_TRUE(same_24_pixels(g_edit_state.bits, test_picture_as_24(picture), 6, 4));
    // The plug-in that decoded it is not kept loaded.
    EXPECT_EQ(g_codecs.plugin->module, 0);

    // Without a plug-in folder the same file fails.
    g_browser_options.plugin_folder.clear();
    release_current_image();
    EXPECT_FALSE(load_image_into_edit_state(path));
}

TEST_F(EditStateWin, FailedLoadLeavesTheStateAsItWas) {
    use_plugins();
    ASSERT_TRUE(load_image_into_edit_state(browser_fixture_path("jpeg_prog.jpg")));
    EditState& s = g_edit_state;
    s.save.save_format = kSaveFormatLosslessJpeg;
    ASSERT_EQ(s.history.step_count(), 0);
    const EditImageDescription before = s.image;
    const HBITMAP bitmap = s.bitmap;
    const uint8_t* bits = s.bits;

    Bytes broken_png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0,
                        0,    13,  'I', 'H', 'D',  'R',  1,    2,    3};
    const std::u16string broken = scratch_path("broken.png");
    ASSERT_TRUE(write_bytes(broken, broken_png));
    const std::u16string short_file = scratch_path("short.bmp");
    ASSERT_TRUE(write_bytes(short_file, {'B'}));
    const std::u16string unknown = scratch_path("unknown.xyz");
    ASSERT_TRUE(write_bytes(unknown, Bytes(64, 'z')));
    // A BMP whose header size is 0.
    Bytes bad_bmp(64, 0);
    bad_bmp[0] = 'B';
    bad_bmp[1] = 'M';
    const std::u16string half_bmp = scratch_path("bad_header.bmp");
    ASSERT_TRUE(write_bytes(half_bmp, bad_bmp));
    const std::u16string too_long = u"C:\\" + std::u16string(300, u'a') + u".bmp";

    for (const std::u16string& path :
         {broken, short_file, unknown, half_bmp, too_long, scratch_path("missing.png")}) {
        SCOPED_TRACE(utf16_to_utf8(path));
        EXPECT_FALSE(load_image_into_edit_state(path));
        EXPECT_EQ(s.bitmap, bitmap);
        EXPECT_EQ(s.bits, bits);
        EXPECT_EQ(GetObjectType(bitmap), DWORD(OBJ_BITMAP));
        EXPECT_EQ(GetCurrentObject(s.memory_dc, OBJ_BITMAP), bitmap);
        expect_same_description(s.image, before);
        EXPECT_EQ(s.save.save_format, kSaveFormatLosslessJpeg);
        EXPECT_EQ(s.history.step_count(), 0);
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(EditStateWin, OnlyAJpegKeepsTheLosslessSaveFormat) {
    struct Case {
        const char* file;
        int32_t save_format_after;
    } cases[] = {{"jpeg_420.jpg", kSaveFormatLosslessJpeg},
                 {"png_rgb.png", kSaveFormatJpeg},
                 {"bmp_8.bmp", kSaveFormatJpeg}};
    for (const Case& c : cases) {
        g_edit_state.save.save_format = kSaveFormatLosslessJpeg;
        g_edit_state.save_choices = EditSaveChoices{3, 1};
        ASSERT_TRUE(load_image_into_edit_state(browser_fixture_path(c.file)));
        EXPECT_EQ(g_edit_state.save.save_format, c.save_format_after) << c.file;
        EXPECT_EQ(g_edit_state.save_choices.lossless_operation, 0);
        EXPECT_EQ(g_edit_state.save_choices.insert_comment, 0);
    }
}

TEST_F(EditStateWin, AnimatedGifFramesDelaysAndLoops) {
    const std::u16string path = scratch_path("anim.gif");
    ASSERT_TRUE(write_bytes(path, animated_gif({10, 20, 0}, 2)));
    ASSERT_TRUE(load_image_into_edit_state(path));
    const EditAnimation& a = g_edit_state.animation;
    ASSERT_EQ(a.animated, 1);
    EXPECT_EQ(a.frame_count, 3);
    EXPECT_EQ(a.loop_count, 2);
    EXPECT_EQ(a.current_frame, 0);
    EXPECT_EQ(a.frame_delays[0], 10);
    EXPECT_EQ(a.frame_delays[1], 20);
    EXPECT_EQ(a.frame_delays[2], 0);
    EXPECT_EQ(g_edit_state.image.width, 3);
    EXPECT_EQ(g_edit_state.image.height, 2);
    for (int f = 0; f < 3; ++f) {
        SCOPED_TRACE(f);
        ASSERT_EQ(GetObjectType(a.frame_bitmaps[f]), DWORD(OBJ_BITMAP));
        DIBSECTION dib = {};
        ASSERT_EQ(GetObject(a.frame_bitmaps[f], sizeof dib, &dib), int(sizeof dib));
        ASSERT_EQ(dib.dsBmih.biBitCount, 8);
        EXPECT_EQ(static_cast<const uint8_t*>(dib.dsBm.bmBits)[0], f);
    }
    EXPECT_EQ(a.frame_bitmaps[3], nullptr);

    // Every distinct bitmap is deleted exactly once, whatever the frame table shares with the
    // image's own bitmap.
    std::set<HBITMAP> handles = {g_edit_state.bitmap, a.frame_bitmaps[0], a.frame_bitmaps[1],
                                 a.frame_bitmaps[2]};
    release_current_image();
    EXPECT_EQ(g_edit_state.bitmap, nullptr);
    EXPECT_EQ(g_edit_state.bits, nullptr);
    EXPECT_EQ(a.animated, 0);
    EXPECT_EQ(a.frame_count, 0);
    for (HBITMAP h : handles) EXPECT_EQ(GetObjectType(h), 0u);
    EXPECT_FALSE(edit_image_loaded());
}

TEST_F(EditStateWin, HundredLoadsAndReleasesLeakNoGdiObject) {
    const std::u16string anim = scratch_path("leak_anim.gif");
    ASSERT_TRUE(write_bytes(anim, animated_gif({5, 5, 5, 5}, 0)));
    const std::u16string files[] = {browser_fixture_path("bmp_8.bmp"), browser_fixture_path("png_rgba.png"),
                                    browser_fixture_path("jpeg_420.jpg"), browser_fixture_path("tiff_24.tif"),
                                    anim};
    // One warm-up round: the system makes some objects once per process.
    for (const auto& f : files) ASSERT_TRUE(load_image_into_edit_state(f));
    release_current_image();
    // Wine answers 0 for the count; there the handles the loads made are checked one by one.
    const DWORD before = gdi_objects();
    std::vector<HBITMAP> made;
    for (int i = 0; i < 100; ++i) {
        // Loading over the current image releases it as well.
        ASSERT_TRUE(load_image_into_edit_state(files[i % 5]));
        made.push_back(g_edit_state.bitmap);
        ASSERT_TRUE(load_image_into_edit_state(files[(i + 1) % 5]));
        made.push_back(g_edit_state.bitmap);
        for (HBITMAP frame : g_edit_state.animation.frame_bitmaps)
            if (frame) made.push_back(frame);
        release_current_image();
        for (HBITMAP h : made) ASSERT_EQ(GetObjectType(h), 0u);
        made.clear();
    }
    EXPECT_EQ(gdi_objects(), before);
}

TEST_F(EditStateWin, InstallPushesTheOriginalImageOnlyIntoAnEmptyHistory) {
    ASSERT_TRUE(load_image_into_edit_state(browser_fixture_path("bmp_24.bmp")));
    auto other = [](int32_t width) {
        LoadedImage image = {};
        image.info.size = 40;
        image.info.width = width;
        image.info.height = 3;
        image.info.planes = 1;
        image.info.bit_count = 24;
        BITMAPINFO info = {};
        std::memcpy(&info.bmiHeader, &image.info, sizeof image.info);
        void* bits = nullptr;
        image.bitmap =
            reinterpret_cast<OsHandle>(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        image.pixels = static_cast<uint8_t*>(bits);
        image.format = 1;
        return image;
    };
    const LoadedImage first = other(4);
    EXPECT_EQ(install_edit_image(first, true, false), UndoResult::ok);
    ASSERT_EQ(g_edit_state.history.step_count(), 1);
    EXPECT_EQ(std::u16string(g_edit_state.history.steps[0].name), u"元の画像");
    EXPECT_EQ(g_edit_state.image.width, 4);
    EXPECT_EQ(g_edit_state.bits, first.pixels);
    const LoadedImage second = other(5);
    EXPECT_EQ(install_edit_image(second, true, false), UndoResult::ok);
    EXPECT_EQ(g_edit_state.history.step_count(), 1);
    EXPECT_EQ(GetObjectType(reinterpret_cast<HBITMAP>(first.bitmap)), 0u);
    EXPECT_EQ(GetCurrentObject(g_edit_state.memory_dc, OBJ_BITMAP), reinterpret_cast<HBITMAP>(second.bitmap));
    EXPECT_EQ(set_current_image_info(second, nullptr, kHistoryPush, u"test"), UndoResult::ok);
    EXPECT_EQ(g_edit_state.history.step_count(), 2);
    // Without a path the file's name and time stay those of the loaded file.
    EXPECT_EQ(std::u16string(g_edit_state.image.file_name), u"bmp_24.bmp");
}

TEST_F(EditStateWin, LoadingDropsTheSelectionAndShowsTheImage) {
    ASSERT_TRUE(load_image_into_edit_state(browser_fixture_path("bmp_24.bmp")));
    EditSelection& selection = g_edit_state.selection;
    selection.selection_mask = static_cast<uint8_t*>(std::calloc(size_t(7) * 5, 1));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 7, 5, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* overlay_bits = nullptr;
    selection.selection_overlay = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &overlay_bits, nullptr, 0);
    const HBITMAP overlay = selection.selection_overlay;
    selection.show_selection = true;
    ASSERT_TRUE(load_image_into_edit_state(browser_fixture_path("png_rgb.png")));
    EXPECT_EQ(selection.selection_mask, nullptr);
    EXPECT_EQ(selection.selection_overlay, nullptr);
    EXPECT_EQ(GetObjectType(overlay), 0u);
    EXPECT_EQ(GetCurrentObject(g_edit_state.memory_dc, OBJ_BITMAP), g_edit_state.bitmap);
    selection.show_selection = false;
}

TEST_F(EditStateWin, BoxesWaitUntilTheLockIsLeft) {
    {
        EditLockScope lock;
        report_view_error(nullptr, 0);
        report_view_error(nullptr, 13);
        EXPECT_TRUE(g_boxes.empty());
    }
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_FALSE(g_boxes[0].lock_held);
    EXPECT_EQ(g_boxes[0].text, L"メモリ確保に失敗しました。");
    g_boxes.clear();
    report_view_error(nullptr, 13);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, L"画像の表示に失敗しました。");
}

TEST_F(EditStateWin, ViewErrorBoxTextsCaptionsAndFileList) {
    HWND list = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    g_edit_state.file_list_window = list;
    static bool list_enabled_during_box;
    static HWND list_window;
    list_window = list;
    set_message_box_hook([](HWND, const wchar_t* text, const wchar_t* caption, UINT style) {
        list_enabled_during_box = IsWindowEnabled(list_window) != 0;
        g_boxes.push_back({text, caption, style, false});
        return IDOK;
    });
    struct Case {
        int code;
        const wchar_t* text;
        const wchar_t* caption;
        UINT style;
    } cases[] = {{0, L"メモリ確保に失敗しました。", L"Error", MB_ICONERROR | MB_SETFOREGROUND},
                 {13, L"画像の表示に失敗しました。", L"Error", MB_ICONERROR | MB_SETFOREGROUND},
                 {21, L"Error", L"Error", MB_ICONERROR | MB_SETFOREGROUND},
                 {27, L"Error", L"Error", MB_ICONERROR | MB_SETFOREGROUND},
                 {-1, L"Error", L"Error", MB_ICONERROR | MB_SETFOREGROUND},
                 {25, nullptr, L"Pexaron", MB_ICONWARNING | MB_SETFOREGROUND}};
    for (const Case& c : cases) {
        g_boxes.clear();
        list_enabled_during_box = true;
        show_view_error(nullptr, c.code);
        ASSERT_EQ(g_boxes.size(), 1u);
        if (c.text) {
            EXPECT_EQ(g_boxes[0].text, c.text) << c.code;
        }
        EXPECT_EQ(g_boxes[0].caption, c.caption) << c.code;
        EXPECT_EQ(g_boxes[0].style, c.style) << c.code;
        EXPECT_FALSE(list_enabled_during_box) << c.code;
        EXPECT_TRUE(IsWindowEnabled(list));
    }
    DestroyWindow(list);
}

TEST_F(EditStateWin, FileTimeFollowsTheFile) {
    const std::u16string path = scratch_path("timed.bmp");
    Bytes bytes;
    ASSERT_TRUE(read_bytes(browser_fixture_path("bmp_24.bmp"), &bytes));
    ASSERT_TRUE(write_bytes(path, bytes));
    ASSERT_TRUE(load_image_into_edit_state(path));
    EXPECT_EQ(file_time_changed(false), 0);
    HANDLE file =
        CreateFileW(wide(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME later = {0x12345678, 0x01D00000};
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &later));
    CloseHandle(file);
    EXPECT_EQ(file_time_changed(false), 1);
    EXPECT_EQ(file_time_changed(true), 1);
    EXPECT_EQ(g_edit_state.image.file_time.low, later.dwLowDateTime);
    EXPECT_EQ(file_time_changed(false), 0);
    g_edit_state.image.file_time = FileTime{};
    refresh_file_time();
    EXPECT_EQ(g_edit_state.image.file_time.high, later.dwHighDateTime);
    ASSERT_TRUE(DeleteFileW(wide(path)));
    EXPECT_EQ(file_time_changed(true), -1);
}

}  // namespace
