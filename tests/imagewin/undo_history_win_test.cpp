// The history's step files through the system under Wine, with failing writes and reads put
// in between, and the steps shown back in the image window's state.
#include "imagewin/undo_history_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_state.h"

namespace {

const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::vector<std::wstring> g_boxes;

int recording_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

int64_t stride_of(int32_t width, int32_t bits) {
    return (int64_t(width) * bits / 8 + 3) / 4 * 4;
}

LoadedImage make_image(int32_t width, int32_t height, int32_t bits, int seed) {
    LoadedImage image = {};
    image.info.size = 40;
    image.info.width = width;
    image.info.height = height;
    image.info.planes = 1;
    image.info.bit_count = uint16_t(bits);
    image.format = 3;
    image.source_bits = bits;
    for (int i = 0; i < 256; ++i)
        image.palette[i] = RgbQuad{uint8_t(i), uint8_t(i * seed), uint8_t(255 - i), 0};
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info = {};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = WORD(bits);
    std::memcpy(info.colours, image.palette, sizeof info.colours);
    void* pixels = nullptr;
    HBITMAP bitmap =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &pixels, nullptr, 0);
    image.bitmap = reinterpret_cast<OsHandle>(bitmap);
    image.pixels = static_cast<uint8_t*>(pixels);
    const int64_t bytes = stride_of(width, bits) * height;
    for (int64_t i = 0; i < bytes; ++i) image.pixels[i] = uint8_t(i * 13 + seed);
    return image;
}

std::vector<uint8_t> shown_rows() {
    const EditState& s = g_edit_state;
    return std::vector<uint8_t>(s.bits,
                                s.bits + stride_of(s.image.width, s.image.bit_count) * s.image.height);
}

// The system's operations, with a write or a read that fails on purpose, remembering every
// file it was asked to create.
class FailingOps : public UndoFileOps {
public:
    bool fail_write = false;
    bool short_read = false;
    std::vector<std::u16string> created;

    bool create_temp_file(std::u16string* path) override {
        if (!system().create_temp_file(path)) return false;
        created.push_back(*path);
        return true;
    }
    OsHandle open_write(const std::u16string& path) override { return system().open_write(path); }
    bool write(OsHandle file, const void* data, uint32_t size) override {
        return !fail_write && system().write(file, data, size);
    }
    OsHandle open_read(const std::u16string& path) override { return system().open_read(path); }
    bool size(OsHandle file, uint64_t* size) override { return system().size(file, size); }
    bool read(OsHandle file, void* buffer, uint32_t size, uint32_t* got) override {
        const bool ok = system().read(file, buffer, size, got);
        if (short_read && *got > 0) --*got;
        return ok;
    }
    void close(OsHandle file) override { system().close(file); }
    void delete_file(const std::u16string& path) override { system().delete_file(path); }

private:
    static UndoFileOps& system() { return system_undo_file_ops(); }
};

class UndoHistoryWin : public ::testing::Test {
protected:
    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        previous_ops_ = set_undo_file_ops(&ops_);
        previous_hook_ = set_message_box_hook(recording_box);
        g_boxes.clear();
        g_edit_state.window_kind = 1;
        g_edit_state.memory_dc = CreateCompatibleDC(nullptr);
    }
    void TearDown() override {
        history_clear();
        release_current_image();
        std::free(g_edit_state.selection.selection_mask);
        if (g_edit_state.memory_dc) DeleteDC(g_edit_state.memory_dc);
        g_edit_state = EditState{};
        set_message_box_hook(previous_hook_);
        set_undo_file_ops(previous_ops_);
    }

    // Loads `image` as a file of `format` would be: a fresh history.
    void load(const LoadedImage& image, int32_t format) {
        LoadedImage loaded = image;
        loaded.format = format;
        (void)install_edit_image(loaded, false, true);
        (void)set_current_image_info(loaded, u"C:\\pics\\image.jpg", kHistoryClear);
    }

    // A tool's result: the first step holds the image before it, then the result's own.
    void edit(const LoadedImage& result) {
        ASSERT_EQ(install_edit_image(result, true, false), UndoResult::ok);
        ASSERT_EQ(set_current_image_info(result, nullptr, kHistoryPush, u"edit"), UndoResult::ok);
    }

    FailingOps ops_;
    UndoFileOps* previous_ops_ = nullptr;
    MessageBoxHook previous_hook_ = nullptr;
};

TEST_F(UndoHistoryWin, StepFilesAreSystemTemporaryFilesOfTheExactLength) {
    for (int bits : {8, 24}) {
        for (int32_t width : {1, 3, 5}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, width " << width);
            load(make_image(width, 2, bits, 1), 3);
            ASSERT_TRUE(history_push_step(u"元の画像"));
            const std::u16string& path = g_edit_state.history.steps.back().path;
            wchar_t folder[MAX_PATH + 1] = {};
            GetTempPathW(MAX_PATH, folder);
            EXPECT_EQ(std::wstring(wide(path)).rfind(std::wstring(folder) + L"tmp", 0), 0u) << wide(path);
            // Wine keeps no temporary attribute on its files: only the file itself is checked.
            ASSERT_NE(GetFileAttributesW(wide(path)), INVALID_FILE_ATTRIBUTES);
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            ASSERT_TRUE(GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data));
            EXPECT_EQ(int64_t(data.nFileSizeLow), 12 + (bits == 8 ? 1024 : 0) + stride_of(width, bits) * 2);
            history_clear();
            EXPECT_EQ(GetFileAttributesW(wide(path)), INVALID_FILE_ATTRIBUTES);
        }
    }
}

TEST_F(UndoHistoryWin, UndoAndRedoShowTheStepsAndTheLoadedFormatAtTheFirst) {
    for (int bits : {8, 24}) {
        SCOPED_TRACE(bits);
        const LoadedImage first = make_image(3, 4, bits, 2);
        load(first, 3);
        const std::vector<uint8_t> first_rows = shown_rows();
        edit(make_image(3, 4, bits, 7));
        const std::vector<uint8_t> second_rows = shown_rows();
        ASSERT_EQ(g_edit_state.history.step_count(), 2);
        EXPECT_TRUE(history_unsaved(g_edit_state.history));

        bool size_changed = true;
        ASSERT_TRUE(history_move(-1, &size_changed));
        EXPECT_FALSE(size_changed);
        EXPECT_EQ(shown_rows(), first_rows);
        EXPECT_EQ(g_edit_state.image.source_format, 3);  // the JPEG as loaded: lossless save again
        EXPECT_FALSE(history_unsaved(g_edit_state.history));
        if (bits == 8) {
            EXPECT_EQ(std::memcmp(g_edit_state.image.palette, first.palette, sizeof first.palette), 0);
        }

        EXPECT_FALSE(history_move(-1, &size_changed));  // nothing before the first step
        ASSERT_TRUE(history_move(+1, &size_changed));
        EXPECT_EQ(shown_rows(), second_rows);
        EXPECT_EQ(g_edit_state.image.source_format, 1);
        EXPECT_FALSE(history_move(+1, &size_changed));
        EXPECT_TRUE(g_boxes.empty());
        history_clear();
    }
}

TEST_F(UndoHistoryWin, FailedWriteReportsLeavesNoFileAndCountsAsChanged) {
    load(make_image(5, 3, 24, 1), 3);
    ops_.fail_write = true;
    EXPECT_FALSE(history_push_step(u"元の画像"));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], L"履歴の保存に失敗しました。");
    EXPECT_EQ(g_edit_state.history.step_count(), 0);
    EXPECT_TRUE(history_unsaved(g_edit_state.history));
    ASSERT_EQ(ops_.created.size(), 1u);
    EXPECT_EQ(GetFileAttributesW(wide(ops_.created[0])), INVALID_FILE_ATTRIBUTES);
}

TEST_F(UndoHistoryWin, StepThatDoesNotReadBackLeavesTheImageAsItIs) {
    enum Fault { short_read, truncated, wrong_depth, deleted };
    for (Fault fault : {short_read, truncated, wrong_depth, deleted}) {
        SCOPED_TRACE(int(fault));
        load(make_image(3, 3, 24, 1), 3);
        edit(make_image(3, 3, 24, 9));
        const HBITMAP shown = g_edit_state.bitmap;
        const std::vector<uint8_t> rows = shown_rows();
        const std::u16string first = g_edit_state.history.steps[0].path;
        if (fault == truncated || fault == wrong_depth) {
            HANDLE file = CreateFileW(wide(first), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            DWORD written = 0;
            if (fault == truncated) {
                SetFilePointer(file, -1, nullptr, FILE_END);
                SetEndOfFile(file);
            } else {
                const int32_t depth = 16;
                SetFilePointer(file, 8, nullptr, FILE_BEGIN);
                WriteFile(file, &depth, 4, &written, nullptr);
            }
            CloseHandle(file);
        }
        if (fault == deleted) DeleteFileW(wide(first));
        ops_.short_read = fault == short_read;
        g_boxes.clear();
        bool size_changed = false;
        EXPECT_FALSE(history_move(-1, &size_changed));
        ops_.short_read = false;
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0], L"履歴の実行に失敗しました。");
        EXPECT_EQ(g_edit_state.bitmap, shown);
        EXPECT_EQ(shown_rows(), rows);
        EXPECT_EQ(g_edit_state.history.current_step, 1);
        history_clear();
    }
}

TEST_F(UndoHistoryWin, SelectionSurvivesOnlyAStepOfTheSameSizeAndDepth) {
    const struct {
        int32_t width;
        int32_t bits;
        bool kept;
        bool size_changed;
    } cases[] = {{4, 24, true, false}, {4, 8, false, false}, {5, 24, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.bits);
        load(make_image(c.width, 3, c.bits, 1), 3);
        edit(make_image(4, 3, 24, 5));
        g_edit_state.selection.selection_mask = static_cast<uint8_t*>(std::calloc(12, 1));
        bool size_changed = false;
        ASSERT_TRUE(history_move(-1, &size_changed));
        EXPECT_EQ(size_changed, c.size_changed);
        EXPECT_EQ(g_edit_state.selection.selection_mask != nullptr, c.kept);
        std::free(g_edit_state.selection.selection_mask);
        g_edit_state.selection.selection_mask = nullptr;
        history_clear();
    }
}

}  // namespace
