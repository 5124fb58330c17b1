// Saving from the image windows under Wine: the real writers, files decoded again by tools
// nobody here wrote (Pillow, djpeg, jpegtran, giftext, run as Unix programs), and file steps
// that fail on purpose.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/file_type.h"
#include "common/utf16.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_state.h"
#include "imagewin/save_edit_image.h"
#include "imagewin/save_preview.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "tests/imagewin/save_win_test_support.h"
#include "tests/support/test_support.h"

namespace {

TEST_F(SaveWin, EachFormatAndOptionSetRoundTripsThroughTheReferenceDecoders) {
    struct Case {
        const char* name;
        SaveFormat format;
        int32_t bits, greyscale, interlace;
        // Facts the reference reports, each "key=value"; empty values are not checked.
        std::vector<std::string> facts;
        bool exact;  // the reference's pixels are the source's
    } cases[] = {
        {"bmp 24", kSaveBmp, 24, 0, 0, {"bits=24"}, true},
        {"bmp 8", kSaveBmp, 8, 0, 0, {"bits=8"}, false},
        {"bmp 4", kSaveBmp, 4, 0, 0, {"bits=4"}, false},
        {"bmp 1", kSaveBmp, 1, 0, 0, {"bits=1"}, false},
        {"png 24 interlaced", kSavePng, 24, 0, 1, {"bits=8", "colour_type=2", "interlace=1"}, true},
        {"png 8", kSavePng, 8, 0, 0, {"bits=8", "colour_type=3", "interlace=0"}, false},
        {"png 2", kSavePng, 2, 0, 0, {"bits=2", "colour_type=3"}, false},
        {"png grey", kSavePng, 24, 1, 0, {"bits=8", "colour_type=0"}, false},
        {"tiff 24", kSaveTiff, 24, 0, 0, {"bits=8,8,8"}, true},
        {"tiff 4", kSaveTiff, 4, 0, 0, {"bits=4"}, false},
        {"tiff 1", kSaveTiff, 1, 0, 0, {"bits=1"}, false},
        {"tiff grey", kSaveTiff, 24, 1, 0, {"bits=8", "mode=L"}, false},
        {"gif 8 interlaced", kSaveGif, 8, 0, 1, {"bits=8", "interlace=1"}, false},
        {"gif 3", kSaveGif, 3, 0, 0, {"bits=3", "interlace=0"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load_source();
        EditState& s = g_edit_state;
        s.save.save_format = c.format;
        s.save.target_bits = c.bits;
        s.save.greyscale = c.greyscale;
        s.save.interlace = c.interlace;
        const std::u16string target = scratch_path(std::string("round.") + extension_of(c.format));
        ASSERT_TRUE(save_edit_image_to(target));
        EXPECT_TRUE(g_boxes.empty());
        Reference ref;
        ASSERT_TRUE(reference_decode(target, &ref));
        EXPECT_EQ(ref.fact("size"), "18,16");
        for (const std::string& fact : c.facts) {
            const size_t eq = fact.find('=');
            EXPECT_EQ(ref.fact(fact.substr(0, eq)), fact.substr(eq + 1)) << fact;
        }
        if (c.exact) {
            EXPECT_EQ(ref.rgb, source_rgb());
        } else {
            // What the reference sees is what the program itself shows when it opens the file.
            ASSERT_TRUE(load_image_into_edit_state(target));
            EXPECT_EQ(ref.rgb, shown_rgb());
        }
        EXPECT_FALSE(std::u16string(s.save_preview_temp_path).size()) << "the temporary file is gone";
    }
}

TEST_F(SaveWin, PngOptionsReachTheFile) {
    load_source();
    EditState& s = g_edit_state;
    s.save.save_format = kSavePng;
    s.save.target_bits = 24;
    s.save.png_compression = 12;
    s.save.write_gamma = 1;
    s.save.gamma = 2200;
    s.save.transparent_colour = 0x00281EC8;  // the first block's red 200, green 30, blue 40
    s.save_choices.transparent = 1;
    s.save_choices.insert_comment = 1;
    s.save_record.comment = long_japanese_comment();
    const std::u16string target = scratch_path("options.png");
    ASSERT_TRUE(save_edit_image_to(target));
    Reference ref;
    ASSERT_TRUE(reference_decode(target, &ref));
    EXPECT_EQ(ref.fact("gamma"), "2.2");
    EXPECT_EQ(ref.fact("transparency"), "200,30,40");
    EXPECT_TRUE(ref.fact("comment") == expected_comment_hex()) << ref.fact("comment").size();
    // Level 12 reaches zlib as 9: the stream header says "maximum compression".
    EXPECT_EQ(ref.fact("zlib_level"), "3");
}

TEST_F(SaveWin, GifMarksTheChosenColourTransparent) {
    for (int32_t transparent : {0, 1}) {
        load_source();
        EditState& s = g_edit_state;
        s.save.save_format = kSaveGif;
        s.save.target_bits = 8;
        s.save.transparent_colour = 0x00F0F0F0;  // the picture's light grey block
        s.save_choices.transparent = transparent;
        const std::u16string target = scratch_path("transparent.gif");
        ASSERT_TRUE(save_edit_image_to(target));
        Reference ref;
        ASSERT_TRUE(reference_decode(target, &ref));
        EXPECT_EQ(ref.fact("transparent_rgb"), transparent ? "240,240,240" : "(none)");
    }
}

TEST_F(SaveWin, JpegOptionsReachTheFile) {
    struct Case {
        const char* name;
        int32_t quality, sampling, progressive, greyscale;
        std::string sampling_fact, mode;
    } cases[] = {{"4:1 baseline", 95, 0, 0, 0, "2x2", "RGB"},
                 {"2:1 progressive", 95, 1, 1, 0, "2x1", "RGB"},
                 {"1:1", 95, 2, 0, 0, "1x1", "RGB"},
                 {"grey", 95, 0, 0, 1, "1x1", "L"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load_source();
        EditState& s = g_edit_state;
        s.save.save_format = kSaveJpeg;
        s.save.jpeg_quality = c.quality;
        s.save.jpeg_sampling = c.sampling;
        s.save.progressive = c.progressive;
        s.save.greyscale = c.greyscale;
        s.save_choices.insert_comment = 1;
        s.save_record.comment = long_japanese_comment();
        const std::u16string target = scratch_path("options.jpg");
        ASSERT_TRUE(save_edit_image_to(target));
        Reference ref;
        ASSERT_TRUE(reference_decode(target, &ref));
        EXPECT_EQ(ref.fact("mode"), c.mode);
        EXPECT_EQ(ref.fact("sampling"), c.sampling_fact);
        EXPECT_EQ(ref.fact("progressive"), c.progressive ? "1" : "0");
        EXPECT_TRUE(ref.fact("comment") == expected_comment_hex()) << ref.fact("comment").size();
        // Halved colour resolution smears the block edges; on average the picture stays, and the
        // program shows what the reference decodes.
        if (!c.greyscale) {
            EXPECT_LE(mean_difference(ref.rgb, source_rgb()), 12.0);
        }
        ASSERT_TRUE(load_image_into_edit_state(target));
        EXPECT_LE(max_difference(ref.rgb, shown_rgb()), 2);
    }
}

TEST_F(SaveWin, JpegSizeLimitKeepsTheFileWithinIt) {
    load_source(64, 64);
    EditState& s = g_edit_state;
    s.save.save_format = kSaveJpeg;
    s.save.jpeg_size_limit_on = 1;
    s.save.jpeg_size_limit_kb = 1;
    const std::u16string target = scratch_path("limited.jpg");
    ASSERT_TRUE(save_edit_image_to(target));
    EXPECT_LE(file_bytes(target).size(), 1024u);
    Reference ref;
    ASSERT_TRUE(reference_decode(target, &ref));
    EXPECT_EQ(ref.fact("size"), "64,64");
}

TEST_F(SaveWin, WriterFailureShowsItsBoxAfterTheLockAndLeavesTheTarget) {
    load_source(400, 400, true);
    EditState& s = g_edit_state;
    const std::u16string target = scratch_path("kept.jpg");
    const std::vector<uint8_t> original = {1, 2, 3, 4};
    ASSERT_TRUE(write_bytes(target, original));
    s.save.save_format = kSaveJpeg;
    s.save.jpeg_size_limit_on = 1;
    s.save.jpeg_size_limit_kb = 1;  // noise does not fit 1 KB at any quality
    EXPECT_FALSE(save_edit_image_to(target));
    EXPECT_EQ(file_bytes(target), original);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_FALSE(g_boxes[0].lock_held);
    EXPECT_EQ(g_boxes[0].caption, L"Error");
    EXPECT_EQ(temp_files_left(), 0);
}

// Every step before the move leaves the user's file as it was; a failed move leaves the new
// file complete and names it.
TEST_F(SaveWin, ReplacingTheTargetNeverLosesBothFiles) {
    struct Case {
        const char* name;
        FailingOps::Step step;
        bool target_kept;
        const wchar_t* box;
    } cases[] = {
        {"no temporary file", FailingOps::Step::make_temp, true, L"一時ファイル作成に失敗しました。"},
        {"no temporary name beside the target", FailingOps::Step::make_beside, true,
         L"ファイル作成に失敗しました。"},
        {"copy", FailingOps::Step::copy, true, L"ファイル作成に失敗しました。"},
        {"recycle", FailingOps::Step::recycle, true, L"ファイル作成に失敗しました。"},
        {"move", FailingOps::Step::move, false, L"ファイル作成に失敗しました。"},
        {"none", FailingOps::Step::none, false, L""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load_source();
        g_edit_state.save.save_format = kSaveBmp;
        g_edit_state.save.target_bits = 24;
        g_edit_state.file_list_window = list_window_;
        const std::u16string target = scratch_path("replaced.bmp");
        const std::vector<uint8_t> original = {'B', 'M', 9, 9, 9};
        ASSERT_TRUE(write_bytes(target, original));
        FailingOps ops(c.step);
        SaveFileOps* previous = set_save_file_ops(&ops);
        g_boxes.clear();
        const bool saved = save_edit_image_to(target);
        set_save_file_ops(previous);
        EXPECT_EQ(saved, c.step == FailingOps::Step::none);
        if (c.target_kept) {
            EXPECT_EQ(file_bytes(target), original);
            EXPECT_TRUE(ops.recycled.empty());
        } else {
            ASSERT_EQ(ops.recycled.size(), 1u);
            EXPECT_EQ(file_bytes(ops.recycled[0]), original) << "the original went to the bin whole";
        }
        if (c.step == FailingOps::Step::none) {
            EXPECT_TRUE(g_boxes.empty());
            EXPECT_EQ(file_bytes(target).size(), 54u + 16u * 56u);
            continue;
        }
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].text.substr(0, std::wstring(c.box).size()), c.box);
        EXPECT_FALSE(g_boxes[0].lock_held);
        EXPECT_FALSE(g_boxes[0].list_enabled) << "the file list waits for the box";
        EXPECT_TRUE(IsWindowEnabled(list_window_)) << "and comes back after it";
        if (c.step == FailingOps::Step::move) {
            ASSERT_FALSE(ops.staged.empty());
            EXPECT_EQ(g_boxes[0].text, L"ファイル作成に失敗しました。\n" + std::wstring(wide(ops.staged)));
            EXPECT_EQ(file_bytes(ops.staged).size(), 54u + 16u * 56u) << "the new file is complete";
            EXPECT_EQ(folder_of(ops.staged), folder_of(target));
            EXPECT_TRUE(DeleteFileW(wide(ops.staged)));
        } else if (!ops.staged.empty()) {
            EXPECT_EQ(GetFileAttributesW(wide(ops.staged)), INVALID_FILE_ATTRIBUTES) << "no stray file";
        }
        EXPECT_EQ(temp_files_left(), 0);
    }
}

TEST_F(SaveWin, SavingMarksTheHistorySavedAndRefreshesTheFileTimeOfTheShownFile) {
    load_source();
    EditState& s = g_edit_state;
    const std::u16string shown(s.image.path);
    s.save.save_format = kSaveBmp;
    s.save.target_bits = 24;
    s.image.file_time = FileTime{1, 1};
    const std::u16string other = folder_of(shown) + u"\\other.bmp";
    ASSERT_TRUE(save_edit_image_to(other));
    EXPECT_EQ(std::u16string(s.image.path), shown) << "the window stays on its file";
    EXPECT_EQ(s.image.file_time.low, 1u);
    ASSERT_TRUE(save_edit_image_to(shown));
    EXPECT_EQ(file_time_changed(false), 0);
    EXPECT_FALSE(history_unsaved(s.history));
}

TEST_F(SaveWin, LosslessTransformMatchesJpegtranAndTurnsTheFileOnce) {
    const std::u16string file = make_jpeg_source();
    const std::vector<uint8_t> before = file_bytes(file);
    const std::u16string expected = scratch_path("expected.jpg");
    ASSERT_TRUE(run_unix("/usr/bin/jpegtran -copy all -rotate 90 '" + unix_path(file) + "' > '" +
                         unix_path(expected) + "'"));
    EditState& s = g_edit_state;
    s.save.save_format = kSaveJpegLossless;
    s.save_choices.lossless_operation = 1;
    s.save.jpeg_trim = 0;
    s.save.jpeg_markers = 2;
    ASSERT_TRUE(save_edit_image_to(file));
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(s.save_choices.lossless_operation, 0);
    Reference ours, theirs;
    ASSERT_TRUE(reference_decode(file, &ours));
    ASSERT_TRUE(reference_decode(expected, &theirs));
    EXPECT_EQ(ours.fact("size"), "16,18");
    EXPECT_EQ(ours.rgb, theirs.rgb);

    // Saving again, even with an operation chosen anew, never turns the file a second time.
    const std::vector<uint8_t> once = file_bytes(file);
    s.save_choices.lossless_operation = 1;
    EXPECT_FALSE(save_edit_image_to(file));
    EXPECT_EQ(file_bytes(file), once);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, L"ファイルが変更されています。\nこのコマンドは実行できません。");
    EXPECT_NE(before, once);

    // Loading the file again makes it eligible again.
    ASSERT_TRUE(load_image_into_edit_state(file));
    g_boxes.clear();
    EXPECT_TRUE(lossless_rotate_current_file(3));
    EXPECT_TRUE(g_boxes.empty());
    Reference back;
    ASSERT_TRUE(reference_decode(file, &back));
    EXPECT_EQ(back.fact("size"), "18,16");
}

TEST_F(SaveWin, LosslessTransformRefusesAFileChangedOrGoneSinceLoading) {
    struct Case {
        const char* name;
        bool remove;
        const wchar_t* text;
    } cases[] = {{"changed", false, L"ファイルが変更されています。\nこのコマンドは実行できません。"},
                 {"gone", true, L"データ読み取りに失敗しました。"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string file = make_jpeg_source();
        std::vector<uint8_t> bytes = file_bytes(file);
        if (c.remove) {
            ASSERT_TRUE(DeleteFileW(wide(file)));
        } else {
            HANDLE h = CreateFileW(wide(file), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            FILETIME later = {0x12345678, 0x01DA0000};
            SetFileTime(h, nullptr, nullptr, &later);
            CloseHandle(h);
        }
        g_boxes.clear();
        EXPECT_FALSE(lossless_rotate_current_file(1));
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].text, c.text);
        EXPECT_FALSE(g_boxes[0].lock_held);
        if (!c.remove) {
            EXPECT_EQ(file_bytes(file), bytes);
        }
        EXPECT_EQ(temp_files_left(), 0);
        EXPECT_EQ(g_edit_state.save.save_format, kSaveJpeg) << "the kept format is back";
    }
}

}  // namespace
