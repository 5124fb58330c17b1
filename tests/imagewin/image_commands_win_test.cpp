// The image windows' clipboard, colour count, delete-and-advance and file list under Wine:
// the real clipboard, recycle bin, change notifications and readers.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/utf16.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_commands.h"
#include "imagewin/edit_window_record.h"
#include "imagewin/image_windows.h"
#include "imagewin/save_dialog.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "shell/entry_points.h"
#include "shell/shell_state.h"
#include "tests/support/test_double_dialog.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::u16string browser_fixture_path(const std::string& name) {
    return utf8_to_utf16(PX_TEST_SOURCE_DIR "/tests/codecs/browser_fixtures/" + name);
}

struct BoxCall {
    std::wstring text;
    std::wstring caption;
    UINT style;
};
std::vector<BoxCall> g_boxes;
int g_box_answer = IDOK;

int recording_box(HWND, const wchar_t* text, const wchar_t* caption, UINT style) {
    g_boxes.push_back({text, caption, style});
    return g_box_answer;
}

std::vector<int32_t> g_dialogs;
INT_PTR g_dialog_result = 1;

INT_PTR recording_dialog(int32_t id, HWND, LPARAM) {
    g_dialogs.push_back(id);
    return g_dialog_result;
}

std::wstring w(const char16_t* text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text));
}

int64_t stride_of(int32_t width, int32_t bits) {
    return (int64_t(width) * bits / 8 + 3) / 4 * 4;
}

// A DIB section of `width` x `height` at `bits` whose bytes and palette follow `seed`.
LoadedImage make_image(int32_t width, int32_t height, int32_t bits, int seed) {
    LoadedImage image = {};
    image.info.size = 40;
    image.info.width = width;
    image.info.height = height;
    image.info.planes = 1;
    image.info.bit_count = uint16_t(bits);
    image.format = 1;
    image.source_bits = bits;
    for (int i = 0; i < 256; ++i)
        image.palette[i] = RgbQuad{uint8_t(i * seed), uint8_t(255 - i), uint8_t(i ^ seed), 0};
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
    for (int64_t i = 0; i < bytes; ++i) image.pixels[i] = uint8_t(i * 7 + seed);
    return image;
}

void install(const LoadedImage& image, const std::u16string& path) {
    (void)install_edit_image(image, false, true);
    (void)set_current_image_info(image, path.c_str(), kHistoryClear);
}

class ImageCommandsWin : public ::testing::Test {
protected:
    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        ASSERT_TRUE(create_codec_contexts());
        saved_options_ = g_browser_options;
        g_browser_options.plugin_folder.clear();
        g_edit_state.window_kind = 1;
        g_edit_state.memory_dc = CreateCompatibleDC(nullptr);
        g_shell.main_settings.delete_silently = 1;
        ASSERT_NE(create_file_list_window(), nullptr);
        g_boxes.clear();
        g_box_answer = IDOK;
        previous_hook_ = set_message_box_hook(recording_box);
    }
    void TearDown() override {
        release_current_image();
        history_clear();
        if (g_edit_state.memory_dc) DeleteDC(g_edit_state.memory_dc);
        if (g_edit_state.file_list_window) DestroyWindow(g_edit_state.file_list_window);
        g_edit_window.folder_change.reset();
        g_edit_state = EditState{};
        g_shell.main_settings.delete_silently = 0;
        set_message_box_hook(previous_hook_);
        g_browser_options = saved_options_;
        destroy_codec_contexts();
    }

    // A scratch folder holding a copy of a 24-bit fixture under each name.
    std::u16string folder_of(const std::vector<std::string>& names) {
        const std::u16string folder = scratch_path("list");
        // Wine reuses process ids, so an earlier run may have left this folder behind.
        if (!CreateDirectoryW(wide(folder), nullptr)) {
            WIN32_FIND_DATAW found;
            HANDLE search = FindFirstFileW(wide(folder + u"\\*"), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do {
                    DeleteFileW(wide(folder + u"\\" + reinterpret_cast<const char16_t*>(found.cFileName)));
                } while (FindNextFileW(search, &found));
                FindClose(search);
            }
        }
        for (const std::string& name : names)
            EXPECT_TRUE(CopyFileW(wide(browser_fixture_path("bmp_24.bmp")),
                                  wide(folder + u"\\" + utf8_to_utf16(name)), FALSE));
        return folder;
    }

    // Loads `name` of `folder` and lists the folder as a load does.
    void open(const std::u16string& folder, const std::string& name) {
        ASSERT_TRUE(load_image_into_edit_state(folder + u"\\" + utf8_to_utf16(name)));
        sync_image_folder_list();
    }

    std::vector<std::string> list_box_names() {
        HWND box = GetDlgItem(g_edit_state.file_list_window, kFileListBoxId);
        std::vector<std::string> names;
        const int count = int(SendMessageW(box, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[MAX_PATH] = {};
            SendMessageW(box, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
            names.push_back(utf16_to_utf8(reinterpret_cast<const char16_t*>(text)));
        }
        return names;
    }

    int list_box_selection() {
        return int(
            SendMessageW(GetDlgItem(g_edit_state.file_list_window, kFileListBoxId), LB_GETCURSEL, 0, 0));
    }

    BrowserOptions saved_options_;
    MessageBoxHook previous_hook_ = nullptr;
};

TEST_F(ImageCommandsWin, CopyThenPasteGivesTheSameImageWithoutAFile) {
    for (int bits : {8, 24}) {
        SCOPED_TRACE(bits);
        const std::u16string folder = folder_of({"a.bmp", "b.bmp"});
        open(folder, "b.bmp");
        const LoadedImage original = make_image(3, 5, bits, 3);
        install(original, folder + u"\\b.bmp");
        const int64_t bytes = stride_of(3, bits) * 5;
        const std::vector<uint8_t> rows(original.pixels, original.pixels + bytes);
        copy_image_to_clipboard();

        install(make_image(4, 2, 24, 9), folder + u"\\b.bmp");
        ASSERT_TRUE(paste_clipboard_image());
        const EditState& s = g_edit_state;
        ASSERT_TRUE(edit_image_loaded());
        EXPECT_EQ(s.image.width, 3);
        EXPECT_EQ(s.image.height, 5);
        EXPECT_EQ(s.image.bit_count, bits);
        EXPECT_EQ(std::vector<uint8_t>(s.bits, s.bits + bytes), rows);
        if (bits == 8) {
            EXPECT_EQ(std::memcmp(s.image.palette, original.palette, sizeof original.palette), 0);
        }
        EXPECT_EQ(w(s.image.path), L"");
        EXPECT_EQ(w(s.image.file_name), L"clip");
        EXPECT_EQ(w(s.image.folder), w(folder.c_str()));
        EXPECT_EQ(s.history.step_count(), 0);
        EXPECT_FALSE(history_unsaved(s.history));
        EXPECT_EQ(image_file_list().selected, -1);
        EXPECT_EQ(list_box_selection(), LB_ERR);
        EXPECT_TRUE(g_boxes.empty());

        // Navigation from the pasted image lists from the folder, not from the empty path.
        EXPECT_EQ(navigate_file_list(kNavigateNext), kNavigateLoaded);
        EXPECT_EQ(w(s.image.path), w((folder + u"\\a.bmp").c_str()));
        EXPECT_EQ(image_file_list().selected, 0);
    }
}

TEST_F(ImageCommandsWin, PasteOverAChangedImageAsksFirst) {
    const struct {
        int answer;
        bool pasted;
    } cases[] = {{IDCANCEL, false}, {IDYES, false} /* the save dialog is cancelled */, {IDNO, true}};
    const SaveFileDialogRoutine previous =
        set_save_file_dialog_routine([](OPENFILENAMEW*) -> BOOL { return FALSE; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        install(make_image(2, 2, 24, 1), u"C:\\x\\changed.bmp");
        copy_image_to_clipboard();
        install(make_image(6, 1, 24, 5), u"C:\\x\\changed.bmp");
        ASSERT_TRUE(history_push_step(u"edit"));
        ASSERT_TRUE(history_push_step(u"edit"));
        ASSERT_TRUE(history_unsaved(g_edit_state.history));
        g_boxes.clear();
        g_box_answer = c.answer;
        EXPECT_EQ(paste_clipboard_image(), c.pasted);
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].text, L"changed.bmp への変更を保存しますか?");
        EXPECT_EQ(g_boxes[0].caption, L"Pexaron");
        EXPECT_EQ(g_boxes[0].style, UINT(MB_YESNOCANCEL | MB_ICONWARNING | MB_SETFOREGROUND));
        EXPECT_EQ(g_edit_state.image.width, c.pasted ? 2 : 6);
    }
    set_save_file_dialog_routine(previous);
}

TEST_F(ImageCommandsWin, ColourCountOfFixtures) {
    // Distinct colours as ImageMagick's identify -format %k reports them; the GIF's 16 palette
    // entries are distinct, so its indices in use count the same.
    const struct {
        const char* name;
        const wchar_t* text;
    } cases[] = {
        {"bmp_24.bmp", L"使用色数 = 35"}, {"png_rgb.png", L"使用色数 = 35"}, {"gif_8.gif", L"使用色数 = 16"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(load_image_into_edit_state(browser_fixture_path(c.name)));
        g_boxes.clear();
        show_colour_count();
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].text, c.text);
        EXPECT_EQ(g_boxes[0].caption, std::wstring(c.name, c.name + std::strlen(c.name)));
        EXPECT_EQ(g_boxes[0].style, UINT(MB_ICONINFORMATION | MB_SETFOREGROUND));
        EXPECT_TRUE(IsWindowEnabled(g_edit_state.file_list_window));
    }
}

TEST_F(ImageCommandsWin, ColourCountWithoutAnImageSaysTheDataCouldNotBeRead) {
    show_colour_count();
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, L"データ読み取りに失敗しました。");
    EXPECT_EQ(g_boxes[0].caption, L"Error");
}

TEST_F(ImageCommandsWin, DeleteMovesOnToTheFileThatTookItsPlace) {
    const struct {
        const char* deleted;
        const char* shown;
        std::vector<std::string> left;
    } cases[] = {
        {"b.bmp", "c.bmp", {"a.bmp", "c.bmp"}},  // the middle: the next one
        {"c.bmp", "a.bmp", {"a.bmp", "b.bmp"}},  // the last: the first one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.deleted);
        const std::u16string folder = folder_of({"a.bmp", "b.bmp", "c.bmp"});
        open(folder, c.deleted);
        const std::u16string deleted = folder + u"\\" + utf8_to_utf16(c.deleted);
        EXPECT_EQ(delete_current_file_and_advance(), kDeleteNextLoaded);
        EXPECT_EQ(GetFileAttributesW(wide(deleted)), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(w(g_edit_state.image.path), w((folder + u"\\" + utf8_to_utf16(c.shown)).c_str()));
        EXPECT_EQ(image_file_list().names.size(), c.left.size());
        EXPECT_EQ(list_box_names(), c.left);
        const int shown = c.left[0] == c.shown ? 0 : 1;
        EXPECT_EQ(image_file_list().selected, shown);
        EXPECT_EQ(list_box_selection(), shown);
        EXPECT_TRUE(g_boxes.empty());
    }
}

TEST_F(ImageCommandsWin, DeletingTheOnlyFileLeavesABlankImage) {
    const std::u16string folder = folder_of({"only.bmp"});
    open(folder, "only.bmp");
    ASSERT_TRUE(history_push_step(u"step"));
    EXPECT_EQ(delete_current_file_and_advance(), kDeleteFolderEmpty);
    const EditState& s = g_edit_state;
    EXPECT_FALSE(edit_image_loaded());
    EXPECT_EQ(s.bits, nullptr);
    EXPECT_EQ(s.image.width, 200);
    EXPECT_EQ(s.image.height, 150);
    EXPECT_EQ(s.view.display_width, 200);
    EXPECT_EQ(s.view.display_height, 150);
    EXPECT_EQ(w(s.image.path), L"");
    EXPECT_EQ(s.history.step_count(), 0);
    EXPECT_TRUE(list_box_names().empty());
}

TEST_F(ImageCommandsWin, OutsideRenameRebuildsTheList) {
    const std::u16string folder = folder_of({"a.bmp", "b.bmp"});
    open(folder, "b.bmp");
    EXPECT_EQ(list_box_names(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    ASSERT_TRUE(MoveFileW(wide(folder + u"\\a.bmp"), wide(folder + u"\\z.bmp")));
    // The notification is delivered by the system a moment later.
    for (int i = 0; i < 50 && WaitForSingleObject(g_edit_window.folder_change.get(), 0) != WAIT_OBJECT_0; ++i)
        Sleep(20);
    sync_image_folder_list();
    EXPECT_EQ(list_box_names(), (std::vector<std::string>{"b.bmp", "z.bmp"}));
    EXPECT_EQ(image_file_list().selected, 0);
    // Without a change only the selection is renewed.
    sync_image_folder_list();
    EXPECT_EQ(list_box_names(), (std::vector<std::string>{"b.bmp", "z.bmp"}));
}

TEST_F(ImageCommandsWin, RebuiltListSelectsTheExactNameNeverAPrefix) {
    const std::u16string folder = folder_of({"clip_art.bmp", "other.bmp"});
    open(folder, "other.bmp");
    install(make_image(2, 2, 24, 1), folder + u"\\other.bmp");
    copy_image_to_clipboard();
    ASSERT_TRUE(paste_clipboard_image());
    // The pasted image is named "clip", which begins "clip_art.bmp": that entry is not it.
    refresh_image_folder_list();
    EXPECT_EQ(list_box_names(), (std::vector<std::string>{"clip_art.bmp", "other.bmp"}));
    EXPECT_EQ(image_file_list().selected, -1);
    EXPECT_EQ(list_box_selection(), LB_ERR);
}

TEST_F(ImageCommandsWin, NavigationStopsAtTheEndsAndDropsAFileThatNoLongerLoads) {
    const std::u16string folder = folder_of({"a.bmp", "b.bmp", "c.bmp"});
    open(folder, "c.bmp");
    EXPECT_EQ(navigate_file_list(kNavigateNext), kNavigateNothing);
    EXPECT_EQ(navigate_file_list(kNavigateLast), kNavigateNothing);
    ASSERT_TRUE(write_bytes(folder + u"\\b.bmp", {'B', 'M', 1}));
    EXPECT_EQ(navigate_file_list(kNavigatePrevious), kNavigateFailed);
    EXPECT_EQ(list_box_names(), (std::vector<std::string>{"a.bmp", "c.bmp"}));
    EXPECT_EQ(w(g_edit_state.image.file_name), L"c.bmp");
    EXPECT_EQ(navigate_file_list(kNavigatePrevious), kNavigateLoaded);
    EXPECT_EQ(w(g_edit_state.image.file_name), L"a.bmp");
    EXPECT_EQ(navigate_file_list(kNavigateFirst), kNavigateNothing);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ImageCommandsWin, EditWindowNavigationToAnUnreadableFileSaysSo) {
    const std::u16string folder = folder_of({"a.bmp", "b.bmp", "c.bmp"});
    open(folder, "c.bmp");
    ASSERT_TRUE(write_bytes(folder + u"\\b.bmp", {'B', 'M', 1}));
    edit_window_command(nullptr, 8012);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, L"画像の表示に失敗しました。");
    EXPECT_EQ(g_boxes[0].caption, L"Error");
    EXPECT_EQ(g_boxes[0].style, UINT(MB_ICONERROR | MB_SETFOREGROUND));
    EXPECT_EQ(list_box_names(), (std::vector<std::string>{"a.bmp", "c.bmp"}));
    EXPECT_EQ(w(g_edit_state.image.file_name), L"c.bmp");
    g_boxes.clear();
    edit_window_command(nullptr, 8012);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(w(g_edit_state.image.file_name), L"a.bmp");
}

TEST_F(ImageCommandsWin, FileDialogsOpenOnlyForTheirFormatsAndExistingFiles) {
    const ShellEntryPoints saved_table = shell_entry_points();
    ShellEntryPoints table = saved_table;
    test_double_dialog::fill_entry_points(&table);
    install_shell_entry_points(table);
    const ImageDialogRunner previous = set_image_dialog_runner(recording_dialog);
    const struct {
        const char* fixture;
        bool delete_copy;
        int32_t comment_dialog;  // 0: none opens
        int32_t text_dialog;
        const wchar_t* box;  // shown by the comment command, or null
    } cases[] = {
        {"bmp_24.bmp", false, 0, 0, nullptr},
        {"gif_8.gif", false, 0, 0, nullptr},
        {"png_text.png", false, 5200, 5300, nullptr},
        {"jpeg_prog.jpg", false, 5200, 5400, nullptr},
        {"jpeg_420.jpg", false, 5200, 0, nullptr},  // no Exif: no text data
        {"jpeg_prog.jpg", true, 0, 0, L"データ読み取りに失敗しました。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fixture << (c.delete_copy ? " deleted" : ""));
        const std::u16string copy = scratch_path(c.fixture);
        ASSERT_TRUE(CopyFileW(wide(browser_fixture_path(c.fixture)), wide(copy), FALSE));
        ASSERT_TRUE(load_image_into_edit_state(copy));
        if (c.delete_copy) {
            ASSERT_TRUE(DeleteFileW(wide(copy)));
        }
        g_dialogs.clear();
        g_boxes.clear();
        show_comment_dialog_for_image();
        show_text_data_for_image();
        std::vector<int32_t> expected;
        if (c.comment_dialog) expected.push_back(c.comment_dialog);
        if (c.text_dialog) expected.push_back(c.text_dialog);
        EXPECT_EQ(g_dialogs, expected);
        if (c.box) {
            ASSERT_FALSE(g_boxes.empty());
            EXPECT_EQ(g_boxes[0].text, c.box);
        } else {
            EXPECT_TRUE(g_boxes.empty());
        }
    }
    set_image_dialog_runner(previous);
    install_shell_entry_points(saved_table);
}

TEST_F(ImageCommandsWin, PrintPreviewHidesTheListAndReportsADialogThatFailed) {
    const ShellEntryPoints saved_table = shell_entry_points();
    ShellEntryPoints table = saved_table;
    test_double_dialog::fill_entry_points(&table);
    install_shell_entry_points(table);
    const ImageDialogRunner previous = set_image_dialog_runner(recording_dialog);
    ASSERT_TRUE(load_image_into_edit_state(browser_fixture_path("bmp_24.bmp")));
    for (INT_PTR result : {INT_PTR(1), INT_PTR(-1)}) {
        SCOPED_TRACE(result);
        ShowWindow(g_edit_state.file_list_window, SW_SHOWNOACTIVATE);
        g_dialog_result = result;
        g_dialogs.clear();
        g_boxes.clear();
        show_print_preview_for_image();
        EXPECT_EQ(g_dialogs, std::vector<int32_t>{6400});
        EXPECT_FALSE(IsWindowVisible(g_edit_state.file_list_window));
        if (result < 0) {
            ASSERT_EQ(g_boxes.size(), 1u);
            EXPECT_EQ(g_boxes[0].text, L"印刷プレビューに失敗しました。");
        } else {
            EXPECT_TRUE(g_boxes.empty());
        }
    }
    g_dialog_result = 1;
    set_image_dialog_runner(previous);
    install_shell_entry_points(saved_table);
}

TEST_F(ImageCommandsWin, ClickInTheListOpensAnotherFileOnly) {
    const std::u16string folder = folder_of({"a.bmp", "b.bmp"});
    open(folder, "b.bmp");
    HWND box = GetDlgItem(g_edit_state.file_list_window, kFileListBoxId);
    const HBITMAP shown = g_edit_state.bitmap;
    auto click = [&](int index) {
        SendMessageW(box, LB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(g_edit_state.file_list_window, WM_COMMAND, MAKEWPARAM(kFileListBoxId, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
    };
    click(1);
    EXPECT_EQ(g_edit_state.bitmap, shown);  // the file on show is not loaded again
    click(0);
    EXPECT_EQ(w(g_edit_state.image.file_name), L"a.bmp");
    EXPECT_EQ(list_box_selection(), 0);
    EXPECT_TRUE(g_boxes.empty());
}

TEST(ImageWindowTitle, SingleViewShowsTheZoomAndTheEditWindowTheUnsavedMark) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    EditState& s = g_edit_state;
    s.image_window = window;
    std::u16string(u"photo.jpg").copy(s.image.file_name, 9);
    s.image.source_format = 3;
    s.image.flag_interlaced = 1;
    s.image.flag_metadata = 1;
    s.image.width = 640;
    s.image.height = 480;
    s.image.source_bits = 24;
    s.image.file_size = 123456;
    s.view.zoom = 10000;
    s.history.shown_serial = 2;  // a history step other than the saved one
    s.history.saved_serial = 1;
    const struct {
        int32_t kind;
        const wchar_t* title;
    } cases[] = {
        {0, L"photo.jpg  ( PE  640x480  24bit  120.5KB )  100%"},
        {1, L"photo.jpg*  ( PE  640x480  24bit  120.5KB )  "},
    };
    for (const auto& c : cases) {
        s.window_kind = c.kind;
        update_image_window_title();
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 256);
        EXPECT_EQ(std::wstring(title), c.title);
    }
    g_edit_state = EditState{};
    DestroyWindow(window);
}

}  // namespace
