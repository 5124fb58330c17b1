// The image windows started as the main window starts them, with their settings read from a
// settings file on disk by the shell's own loader and written back by its exit pass: the save
// bar and the saves, the edit window's own view options, the file list's excluded attributes,
// and the file time after the program's own writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_bars.h"
#include "imagewin/edit_state.h"
#include "imagewin/edit_window.h"
#include "imagewin/image_commands_win.h"
#include "imagewin/save_dialog.h"
#include "imagewin/save_edit_image.h"
#include "imagewin/single_view.h"
#include "loading/codec_set.h"
#include "shell/core/settings_store.h"
#include "shell/launch.h"
#include "shell/main_window.h"
#include "shell/settings_win.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view_parts.h"
#include "tests/shell/settings_file_builder.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_double_dialog.h"
#include "tests/support/test_support.h"
#include "view/core/view_geometry.h"

namespace {

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string u16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

LRESULT CALLBACK main_codes_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == kAppMessage) {
        main_app_message(wparam, lparam);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Boxes are asked on the image window's thread and read on the test's.
struct Box {
    std::wstring text;
    bool inside_sent_message;  // asked while another thread's sent message was being handled
};
std::mutex g_box_lock;
std::vector<Box> g_boxes;

int answering_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    std::lock_guard<std::mutex> hold(g_box_lock);
    g_boxes.push_back({text, InSendMessage() != FALSE});
    return IDNO;
}

std::vector<Box> boxes() {
    std::lock_guard<std::mutex> hold(g_box_lock);
    return g_boxes;
}

std::wstring g_save_as_path;
DWORD g_save_as_type = 0;

BOOL answering_save_dialog(OPENFILENAMEW* request) {
    lstrcpynW(request->lpstrFile, g_save_as_path.c_str(), int(request->nMaxFile));
    request->nFilterIndex = g_save_as_type;
    return TRUE;
}

// Replaced files go to a scratch folder, not the user's recycle bin.
struct ScratchBinOps : SaveFileOps {
    bool recycle_file(const std::u16string& path) override {
        return MoveFileExW(wide(path), wide(unique_scratch_path("recycled")), MOVEFILE_REPLACE_EXISTING) !=
               FALSE;
    }
};

// A 24-bit BMP of one grey.
std::vector<uint8_t> grey_bmp(int width, int height) {
    const uint32_t stride = uint32_t((width * 3 + 3) & ~3);
    const uint32_t size = 54 + stride * uint32_t(height);
    std::vector<uint8_t> b(size, 0x80);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    std::fill(b.begin(), b.begin() + 54, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    b[26] = 1;
    b[28] = 24;
    return b;
}

std::vector<uint8_t> file_bytes(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    if (!read_bytes(u16(path), &bytes)) bytes.clear();
    return bytes;
}

// What a JPEG file says of itself: the first quantisation table's DC entry (the IJG scaling of
// the standard table's 16 gives 8 at quality 75, 5 at 85, 13 at 60, 255 at 1) and the number
// of components of its frame.
struct JpegFacts {
    int first_quantiser = -1;
    int components = -1;
};

JpegFacts jpeg_facts(const std::vector<uint8_t>& b) {
    JpegFacts facts;
    if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return facts;
    size_t at = 2;
    while (at + 4 <= b.size() && b[at] == 0xFF) {
        const uint8_t marker = b[at + 1];
        const size_t length = size_t(b[at + 2]) << 8 | b[at + 3];
        if (marker == 0xDB && facts.first_quantiser < 0 && at + 5 < b.size())
            facts.first_quantiser = b[at + 5];
        if ((marker == 0xC0 || marker == 0xC1 || marker == 0xC2) && at + 9 < b.size())
            facts.components = b[at + 9];
        if (marker == 0xDA) break;
        at += 2 + length;
    }
    return facts;
}

std::wstring class_of(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring combo_text(int id) {
    HWND combo = edit_bar_control(id);
    const LRESULT item = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    wchar_t text[64] = {};
    if (item >= 0) SendMessageW(combo, CB_GETLBTEXT, WPARAM(item), LPARAM(text));
    return text;
}

std::wstring window_text(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

// As the combo box tells its parent about the user's choice.
void choose(int id, int item) {
    HWND combo = edit_bar_control(id);
    SendMessageW(combo, CB_SETCURSEL, WPARAM(item), 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(combo));
}

// Typed into a field of the save bar, then the focus leaves it.
void type_into(int id, const wchar_t* text) {
    HWND field = edit_bar_control(id);
    SendMessageW(GetParent(field), WM_COMMAND, MAKEWPARAM(id, EN_SETFOCUS), LPARAM(field));
    SetWindowTextW(field, text);
    SendMessageW(GetParent(field), WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), LPARAM(field));
}

std::vector<std::wstring> file_list_names() {
    std::vector<std::wstring> names;
    HWND box = g_edit_state.file_list_window ? GetDlgItem(g_edit_state.file_list_window, 703) : nullptr;
    const int count = box ? int(SendMessageW(box, LB_GETCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[MAX_PATH] = {};
        SendMessageW(box, LB_GETTEXT, WPARAM(i), LPARAM(text));
        names.push_back(text);
    }
    return names;
}

class ImageWindowSettingsWin : public ::testing::Test {
protected:
    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        ASSERT_TRUE(create_codec_contexts());
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        g_shell.instance = instance;
        ASSERT_TRUE(register_single_view_classes(instance));
        const struct {
            const wchar_t* name;
            WNDPROC procedure;
        } classes[] = {{L"Pexaron_swin_class", edit_window_proc},
                       {L"Pexaron_sch1_class", DefWindowProcW},
                       {L"Pexaron_sch2_class", DefWindowProcW},
                       {L"image_window_settings_main", main_codes_proc}};
        for (const auto& c : classes) {
            WNDCLASSEXW wc = {};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = c.procedure;
            wc.hInstance = instance;
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = c.name;
            RegisterClassExW(&wc);
        }
        ShellEntryPoints table;
        fill_image_window_entry_points(&table);
        fill_single_view_entry_points(&table);
        test_double_dialog::fill_entry_points(&table);
        install_shell_entry_points(table);
        g_shell.main_window = CreateWindowExW(0, L"image_window_settings_main", nullptr, WS_POPUP, 0, 0, 10,
                                              10, nullptr, nullptr, instance, nullptr);
        ASSERT_NE(g_shell.main_window, nullptr);
        {
            std::lock_guard<std::mutex> hold(g_box_lock);
            g_boxes.clear();
        }
        previous_hook_ = set_message_box_hook(answering_box);
        previous_dialog_ = set_save_file_dialog_routine(answering_save_dialog);
        previous_ops_ = set_save_file_ops(&bin_);

        const std::u16string appdata = unique_scratch_path("appdata");
        appdata_.assign(appdata.begin(), appdata.end());
        CreateDirectoryW(appdata_.c_str(), nullptr);
        lstrcpynW(g_shell.appdata_folder, appdata_.c_str(), MAX_PATH);
        ASSERT_TRUE(build_settings_path());
        install_windows_settings_file_ops();
        const std::u16string folder = unique_scratch_path("pictures");
        folder_.assign(folder.begin(), folder.end());
        CreateDirectoryW(folder_.c_str(), nullptr);
    }

    void TearDown() override {
        if (HWND image = shell_entry_points().current_image_window()) PostMessageW(image, WM_CLOSE, 0, 0);
        EXPECT_TRUE(pump_until([] { return !g_shell.image_thread.valid(); }));
        view_state(0) = ViewState{};
        DestroyWindow(g_shell.main_window);
        g_shell.main_window = nullptr;
        install_shell_entry_points(ShellEntryPoints{});
        set_message_box_hook(previous_hook_);
        set_save_file_dialog_routine(previous_dialog_);
        set_save_file_ops(previous_ops_);
        set_image_dialog_runner(nullptr);
        set_settings_file_ops(nullptr);
        g_edit_state = EditState{};
        g_shell.single_view = SingleViewSettings{};
        g_shell.main_settings = MainSettings{};
        g_shell.settings_read = SettingsGroupsRead{};
        g_shell.settings_path[0] = 0;
        g_shell.appdata_folder[0] = 0;
        handover_path()[0] = 0;
        destroy_codec_contexts();
    }

    // The settings file as the user left it; the help at start is off, as most users leave it.
    void store_settings(SettingsFileBuilder& settings) {
        for (int slot = 42; slot <= 46; ++slot) settings.integer(slot, 0);
        ASSERT_TRUE(write_bytes(u16(g_shell.settings_path), settings.bytes()));
    }

    // The program's start and its exit pass, as far as these groups go.
    static void start_program() {
        g_shell.settings_read = SettingsGroupsRead{};
        load_main_settings_group();
    }
    static bool exit_program() { return save_settings_groups(); }

    static int32_t stored_int(int slot) {
        SettingsReader reader = settings_open_read(u16(g_shell.settings_path));
        const int32_t value = settings_int(reader, slot, -1);
        settings_close_read(reader);
        return value;
    }

    std::wstring put_file(const std::wstring& name, const std::vector<uint8_t>& bytes) {
        const std::wstring path = folder_ + L"\\" + name;
        EXPECT_TRUE(write_bytes(u16(path), bytes));
        return path;
    }
    std::wstring put_fixture(const std::wstring& name, const char* fixture) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(read_bytes(
            u16(L"" PX_TEST_SOURCE_DIR "/" + std::wstring(fixture, fixture + strlen(fixture))), &bytes));
        return put_file(name, bytes);
    }

    // Double-click action 2 (the edit window) on entry `index` of view 0 showing these names.
    HWND open_edit_window(const std::vector<std::wstring>& names, int index) {
        entries_.assign(names.size(), FileEntry{});
        for (size_t i = 0; i < names.size(); ++i)
            lstrcpynW(reinterpret_cast<wchar_t*>(entries_[i].name), names[i].c_str(), kViewPathChars);
        ViewState& view = view_state(0);
        view = ViewState{};
        view.entries = entries_.data();
        view.count = int32_t(entries_.size());
        lstrcpynW(reinterpret_cast<wchar_t*>(view.folder), folder_.c_str(), kViewPathChars);
        run_mouse_action(2, 0, index);
        HWND window = shell_entry_points().current_image_window();
        if (!window || class_of(window) != L"Pexaron_swin_class") return nullptr;
        SendMessageW(window, WM_NULL, 0, 0);  // the first load is over once the window answers
        return window;
    }

    // Closes the image window and waits for the main window to reap its thread.
    static bool close_image_window(HWND window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return pump_until([] { return !g_shell.image_thread.valid(); });
    }

    static std::vector<std::wstring> box_texts() {
        std::vector<std::wstring> texts;
        for (const Box& b : boxes()) texts.push_back(b.text);
        return texts;
    }

    std::wstring appdata_;
    std::wstring folder_;
    std::vector<FileEntry> entries_;
    ScratchBinOps bin_;
    MessageBoxHook previous_hook_ = nullptr;
    SaveFileDialogRoutine previous_dialog_ = nullptr;
    SaveFileOps* previous_ops_ = nullptr;
};

TEST_F(ImageWindowSettingsWin, ANewUsersSaveBarAndSavesUseTheDefaults) {
    SettingsFileBuilder settings;
    store_settings(settings);
    start_program();
    const std::wstring photo = put_fixture(L"photo.jpg", "tests/codecs/browser_fixtures/jpeg_420.jpg");
    HWND window = open_edit_window({L"photo.jpg"}, 0);
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(combo_text(kFormatComboId), L"JPEG");
    EXPECT_EQ(combo_text(kBitDepthComboId), L"24bit(ﾌﾙｶﾗｰ)");
    EXPECT_EQ(window_text(edit_bar_control(kJpegQualityId)), L"75");
    // The depth follows the image and the format: a 24-bit image offered as BMP stays 24-bit.
    choose(kFormatComboId, 0);
    EXPECT_EQ(combo_text(kBitDepthComboId), L"24bit(ﾌﾙｶﾗｰ)");
    choose(kFormatComboId, 2);

    // The overwrite keeps the file a full-colour JPEG, at quality 75.
    SendMessageW(window, WM_COMMAND, 8032, 0);
    JpegFacts facts = jpeg_facts(file_bytes(photo));
    EXPECT_EQ(facts.first_quantiser, 8);
    EXPECT_EQ(facts.components, 3);

    // So does a save under another name with the JPEG type.
    g_save_as_path = folder_ + L"\\copy.jpg";
    g_save_as_type = 3;
    SendMessageW(window, WM_COMMAND, 8031, 0);
    facts = jpeg_facts(file_bytes(g_save_as_path));
    EXPECT_EQ(facts.first_quantiser, 8);
    EXPECT_EQ(facts.components, 3);
    EXPECT_TRUE(box_texts().empty());
}

TEST_F(ImageWindowSettingsWin, SaveSettingsComeFromTheFileAndGoBackAtExit) {
    SettingsFileBuilder settings;
    settings.integer(77, 2).integer(78, 24).integer(87, 85);
    store_settings(settings);
    start_program();
    const std::wstring photo = put_fixture(L"photo.jpg", "tests/codecs/browser_fixtures/jpeg_420.jpg");
    HWND window = open_edit_window({L"photo.jpg"}, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window_text(edit_bar_control(kJpegQualityId)), L"85");
    SendMessageW(window, WM_COMMAND, 8032, 0);
    EXPECT_EQ(jpeg_facts(file_bytes(photo)).first_quantiser, 5);

    // The user's choices last beyond the window and the program.
    type_into(kJpegQualityId, L"60");
    choose(kFormatComboId, 1);  // PNG
    ASSERT_TRUE(close_image_window(window));
    ASSERT_TRUE(exit_program());
    EXPECT_EQ(stored_int(87), 60);
    EXPECT_EQ(stored_int(77), 1);

    start_program();
    window = open_edit_window({L"photo.jpg"}, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(combo_text(kFormatComboId), L"PNG");
    choose(kFormatComboId, 2);
    EXPECT_EQ(window_text(edit_bar_control(kJpegQualityId)), L"60");
    SendMessageW(window, WM_COMMAND, 8032, 0);
    EXPECT_EQ(jpeg_facts(file_bytes(photo)).first_quantiser, 13);
    EXPECT_TRUE(box_texts().empty());
}

// The single view takes the stored values and gives them back when it closes.
TEST_F(ImageWindowSettingsWin, TheSingleViewKeepsTheStoredSaveSettings) {
    SettingsFileBuilder settings;
    settings.integer(87, 42).integer(77, 3);
    store_settings(settings);
    start_program();
    put_fixture(L"photo.jpg", "tests/codecs/browser_fixtures/jpeg_420.jpg");
    ViewState& view = view_state(0);
    entries_.assign(1, FileEntry{});
    lstrcpynW(reinterpret_cast<wchar_t*>(entries_[0].name), L"photo.jpg", kViewPathChars);
    view = ViewState{};
    view.entries = entries_.data();
    view.count = 1;
    lstrcpynW(reinterpret_cast<wchar_t*>(view.folder), folder_.c_str(), kViewPathChars);
    run_mouse_action(0, 0, 0);
    HWND single = shell_entry_points().current_image_window();
    ASSERT_NE(single, nullptr);
    SendMessageW(single, WM_NULL, 0, 0);
    EXPECT_EQ(g_edit_state.save.jpeg_quality, 42);
    EXPECT_EQ(g_edit_state.save.save_format, 3);
    ASSERT_TRUE(close_image_window(single));
    ASSERT_TRUE(exit_program());
    EXPECT_EQ(stored_int(87), 42);
    EXPECT_EQ(stored_int(77), 3);
}

// Slots 51, 54, 59 and 60 are the edit window's; 50, 53, 57 and 58 belong to the full-screen
// single view and are left at values that would show the opposite.
TEST_F(ImageWindowSettingsWin, TheEditWindowFollowsItsOwnViewOptions) {
    put_file(L"large.bmp", grey_bmp(2400, 1800));
    put_file(L"small.bmp", grey_bmp(12, 10));
    const struct {
        const char* name;
        int slot;
        int value;
        const wchar_t* file;
        int compare;  // sign of zoom - 100 %
    } cases[] = {
        {"fit off", 59, 0, L"large.bmp", 0},
        {"enlarge on", 60, 1, L"small.bmp", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFileBuilder settings;
        settings.integer(57, 1).integer(58, 0).integer(c.slot, c.value);
        store_settings(settings);
        start_program();
        HWND window =
            open_edit_window({L"large.bmp", L"small.bmp"}, c.file == std::wstring(L"large.bmp") ? 0 : 1);
        ASSERT_NE(window, nullptr);
        const int32_t zoom = g_edit_state.view.zoom;
        EXPECT_EQ((zoom > kZoomActualSize) - (zoom < kZoomActualSize), c.compare) << zoom;
        ASSERT_TRUE(close_image_window(window));
    }

    // The wheel switches files in the edit window (51) while it zooms full screen (50).
    SettingsFileBuilder settings;
    settings.integer(50, 0).integer(51, 1);
    store_settings(settings);
    start_program();
    HWND window = open_edit_window({L"large.bmp", L"small.bmp"}, 0);
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), 0);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(g_edit_state.image.file_name), L"small.bmp");
}

TEST_F(ImageWindowSettingsWin, TheFileListLeavesOutTheExcludedAttributes) {
    put_file(L"a.bmp", grey_bmp(4, 4));
    // The system counts a dot-file as hidden.
    const std::wstring hidden = put_file(L".b.bmp", grey_bmp(4, 4));
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_NE(GetFileAttributesW(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    const struct {
        const char* name;
        bool stored;
        int32_t mask;
        std::vector<std::wstring> listed;
    } cases[] = {
        {"hidden shown", true, 0, {L".b.bmp", L"a.bmp"}},
        {"hidden left out", true, FILE_ATTRIBUTE_HIDDEN, {L"a.bmp"}},
        {"default", false, 0, {L"a.bmp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFileBuilder settings;
        if (c.stored) settings.integer(5, c.mask);
        store_settings(settings);
        start_program();
        HWND window = open_edit_window({L"a.bmp"}, 0);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(file_list_names(), c.listed);
        ASSERT_TRUE(close_image_window(window));
    }
}

TEST_F(ImageWindowSettingsWin, ALosslessOverwriteIsTheProgramsOwnWrite) {
    SettingsFileBuilder settings;
    store_settings(settings);
    start_program();
    const std::wstring photo = put_fixture(L"photo.jpg", "tests/codecs/browser_fixtures/jpeg_420.jpg");
    HWND window = open_edit_window({L"photo.jpg"}, 0);
    ASSERT_NE(window, nullptr);
    choose(kFormatComboId, 5);  // JPEG/TRANS
    SendMessageW(window, WM_COMMAND, 8032, 0);
    ASSERT_TRUE(box_texts().empty());
    const std::vector<uint8_t> written = file_bytes(photo);
    EXPECT_EQ(jpeg_facts(written).components, 3);

    // The file was transformed but the image on show was not: another transform waits for a
    // reload.
    SendMessageW(window, WM_COMMAND, 8032, 0);
    EXPECT_EQ(box_texts(),
              std::vector<std::wstring>{L"ファイルが変更されています。\nこのコマンドは実行できません。"});
    EXPECT_EQ(file_bytes(photo), written);
    SendMessageW(window, WM_COMMAND, 8030, 0);
    SendMessageW(window, WM_COMMAND, 8032, 0);
    EXPECT_EQ(box_texts().size(), 1u);

    // Coming back to the window after the program's own write asks nothing. A question would
    // be queued ahead of the close.
    SendMessageW(window, WM_ACTIVATEAPP, TRUE, 0);
    ASSERT_TRUE(close_image_window(window));
    EXPECT_EQ(box_texts().size(), 1u);
}

std::wstring g_comment_file;

void touch(const std::wstring& path, DWORD high) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME time = {0x10000000, high};
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

// Dialog 5200 saving its comment rewrites the file.
INT_PTR comment_saving_runner(int32_t dialog_id, HWND, LPARAM) {
    if (dialog_id != 5200) return 0;
    const std::vector<uint8_t> bytes = file_bytes(g_comment_file);
    (void)write_bytes(u16(g_comment_file), bytes);
    touch(g_comment_file, 0x01E20000);
    return 1;
}

TEST_F(ImageWindowSettingsWin, TheCommentDialogsWriteIsTheProgramsOwn) {
    SettingsFileBuilder settings;
    store_settings(settings);
    start_program();
    g_comment_file = put_fixture(L"photo.jpg", "tests/codecs/browser_fixtures/jpeg_420.jpg");
    set_image_dialog_runner(comment_saving_runner);
    for (bool outside : {false, true}) {
        SCOPED_TRACE(outside ? "changed outside first" : "only the dialog wrote");
        {
            std::lock_guard<std::mutex> hold(g_box_lock);
            g_boxes.clear();
        }
        touch(g_comment_file, 0x01D00000);
        HWND window = open_edit_window({L"photo.jpg"}, 0);
        ASSERT_NE(window, nullptr);
        if (outside) touch(g_comment_file, 0x01E10000);
        SendMessageW(window, WM_COMMAND, 8060, 0);
        SendMessageW(window, WM_ACTIVATEAPP, TRUE, 0);
        ASSERT_TRUE(close_image_window(window));
        const std::vector<Box> asked = boxes();
        if (!outside) {
            EXPECT_TRUE(asked.empty());
        } else {
            ASSERT_EQ(asked.size(), 1u);
            EXPECT_EQ(asked[0].text, L"photo.jpg は変更されています。開き直しますか?");
            EXPECT_FALSE(asked[0].inside_sent_message);
        }
    }
}

}  // namespace
