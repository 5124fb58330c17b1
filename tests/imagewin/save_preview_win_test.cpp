// The save preview under Wine: the temporary file decoded back into the preview's DC, its size
// in the title, reused only while nothing it was made with changes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/imagewin/save_win_test_support.h"

namespace {

struct Dib {
    int width = 0;
    int height = 0;
    int bits = 0;
    const uint8_t* rows = nullptr;
};

Dib preview_dib() {
    Dib out;
    DIBSECTION section = {};
    HBITMAP shown = static_cast<HBITMAP>(GetCurrentObject(g_edit_state.save_preview_dc, OBJ_BITMAP));
    if (shown != g_edit_state.save_preview_bitmap ||
        GetObjectW(shown, sizeof section, &section) != sizeof section)
        return out;
    out.width = section.dsBmih.biWidth;
    out.height = section.dsBmih.biHeight;
    out.bits = section.dsBmih.biBitCount;
    out.rows = static_cast<const uint8_t*>(section.dsBm.bmBits);
    return out;
}

// Top-down RGB of a 24-bit preview.
std::vector<uint8_t> preview_rgb(const Dib& dib) {
    std::vector<uint8_t> rgb;
    const int64_t stride = row_stride_bytes(dib.width, 24);
    for (int y = 0; y < dib.height; ++y) {
        const uint8_t* row = dib.rows + (dib.height - 1 - y) * stride;
        for (int x = 0; x < dib.width; ++x)
            rgb.insert(rgb.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
    }
    return rgb;
}

std::wstring window_title(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

struct NoDelete : FailingOps {
    NoDelete() : FailingOps(Step::none) {}
    bool delete_file(const std::u16string&) override { return false; }
};

class SavePreviewWin : public SaveWin {
protected:
    void SetUp() override {
        SaveWin::SetUp();
        window_ =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
        g_edit_state.image_window = window_;
        original_dc_bitmap_ = GetCurrentObject(g_edit_state.save_preview_dc, OBJ_BITMAP);
    }
    void TearDown() override {
        SaveWin::TearDown();
        DestroyWindow(window_);
    }
    HWND window_ = nullptr;
    HGDIOBJ original_dc_bitmap_ = nullptr;
};

TEST_F(SavePreviewWin, ShowsTheFileAsWrittenWithItsSizeInTheTitle) {
    load_source();
    EditState& s = g_edit_state;
    s.save.save_format = kSaveJpeg;
    s.save.jpeg_quality = 30;
    ASSERT_TRUE(show_save_preview());
    EXPECT_TRUE(g_boxes.empty());
    ASSERT_TRUE(s.save_preview_shown);
    const std::u16string file(s.save_preview_temp_path);
    const std::vector<uint8_t> bytes = file_bytes(file);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(s.save_preview_file_size, bytes.size());

    const Dib dib = preview_dib();
    ASSERT_EQ(dib.width, 18);
    ASSERT_EQ(dib.height, 16);
    ASSERT_EQ(dib.bits, 24);
    Reference ref;
    ASSERT_TRUE(reference_decode(file, &ref));
    EXPECT_LE(max_difference(preview_rgb(dib), ref.rgb), 2) << "the preview is the written file";
    EXPECT_GT(max_difference(preview_rgb(dib), source_rgb()), 0) << "not the image itself";

    const std::wstring title = window_title(window_);
    const size_t dots = title.find(L" .... ");
    ASSERT_NE(dots, std::wstring::npos) << std::string(title.begin(), title.end());
    const uint32_t kb10 = uint32_t(bytes.size() * 10 / 1024);
    EXPECT_EQ(title.substr(dots + 6), std::to_wstring(kb10 / 10) + L"." + std::to_wstring(kb10 % 10) + L"KB");

    discard_save_preview();
    EXPECT_FALSE(s.save_preview_shown);
    EXPECT_EQ(GetCurrentObject(s.save_preview_dc, OBJ_BITMAP), original_dc_bitmap_);
    EXPECT_EQ(GetFileAttributesW(wide(file)), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(temp_files_left(), 0);
}

TEST_F(SavePreviewWin, ReusedOnlyWhileTheSettingsAreUnchanged) {
    load_source();
    EditState& s = g_edit_state;
    s.save.save_format = kSavePng;
    s.save.target_bits = 4;
    ASSERT_TRUE(show_save_preview());
    const std::u16string first(s.save_preview_temp_path);
    const std::vector<uint8_t> previewed = file_bytes(first);

    // The comment text is not part of what the preview was made with.
    s.save_record.comment = u"後から書いたコメント";
    EXPECT_TRUE(save_preview_is_current());
    ASSERT_TRUE(show_save_preview());
    EXPECT_EQ(std::u16string(s.save_preview_temp_path), first) << "nothing written again";

    // A save meanwhile writes exactly the previewed file and keeps the preview.
    const std::u16string target = scratch_path("from_preview.png");
    ASSERT_TRUE(save_edit_image_to(target));
    EXPECT_EQ(file_bytes(target), previewed);
    EXPECT_TRUE(s.save_preview_shown);
    EXPECT_EQ(file_bytes(first), previewed);

    // A display option the PNG reader uses counts as much as a save option.
    g_browser_options.background_colour = 0x123456;
    EXPECT_FALSE(save_preview_is_current());
    g_browser_options.background_colour = s.save_record.preview_settings.display.background_colour;
    s.save.target_bits = 8;
    EXPECT_FALSE(save_preview_is_current());
    ASSERT_TRUE(show_save_preview());
    EXPECT_NE(std::u16string(s.save_preview_temp_path), first);
    EXPECT_EQ(GetFileAttributesW(wide(first)), INVALID_FILE_ATTRIBUTES) << "the old preview's file is gone";
    Reference ref;
    ASSERT_TRUE(reference_decode(std::u16string(s.save_preview_temp_path), &ref));
    EXPECT_EQ(ref.fact("bits"), "8");
    discard_save_preview();
    EXPECT_EQ(temp_files_left(), 0);
}

// A quarter turn of a picture that is not square decodes wider than tall the other way round:
// the canvas keeps the image's size, the picture sits at its right end, nothing spills.
TEST_F(SavePreviewWin, ATurnedPictureIsFittedToTheImageSize) {
    make_jpeg_source();
    EditState& s = g_edit_state;
    s.save.save_format = kSaveJpegLossless;
    s.save_choices.lossless_operation = 1;
    s.save.jpeg_trim = 0;
    ASSERT_TRUE(show_save_preview());
    const Dib dib = preview_dib();
    ASSERT_EQ(dib.width, 18);
    ASSERT_EQ(dib.height, 16);
    Reference turned;
    ASSERT_TRUE(reference_decode(std::u16string(s.save_preview_temp_path), &turned));
    ASSERT_EQ(turned.fact("size"), "16,18");
    const std::vector<uint8_t> shown = preview_rgb(dib);
    // Stored rows run bottom-up: the canvas's bottom row holds the decoded bottom row.
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 18; ++x) {
            const uint8_t* got = &shown[(size_t(15 - y) * 18 + x) * 3];
            if (x < 2) {
                EXPECT_EQ(got[0] | got[1] | got[2], 0) << x << "," << y;
                continue;
            }
            const uint8_t* want = &turned.rgb[(size_t(17 - y) * 16 + (x - 2)) * 3];
            EXPECT_LE(std::abs(int(got[0]) - want[0]), 2) << x << "," << y;
        }
    }
}

TEST_F(SavePreviewWin, AnUndeletableFileIsReported) {
    load_source();
    ASSERT_TRUE(show_save_preview());
    const std::u16string file(g_edit_state.save_preview_temp_path);
    NoDelete ops;
    SaveFileOps* previous = set_save_file_ops(&ops);
    discard_save_preview();
    set_save_file_ops(previous);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, L"一時ファイル削除に失敗しました。");
    EXPECT_TRUE(DeleteFileW(wide(file)));
}

}  // namespace
