// The main program under Wine: real windows and threads, settings in a scratch folder, boxes
// answered through the message-box hook.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <process.h>
#include <shlwapi.h>
// clang-format on
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "loading/reader_display_options.h"
#include "shell/core/settings_store.h"
#include "shell/folder_tree.h"
#include "shell/main_menus.h"
#include "shell/main_window.h"
#include "shell/settings_win.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/thumbnail_view.h"
#include "tests/codecs/png_fixtures.h"
#include "tests/shell/settings_file_builder.h"
#include "tests/shell/stand_in_subsystems.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

struct Box {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
};

std::vector<Box> g_boxes;
int g_box_answer = IDOK;

int record_box(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    g_boxes.push_back(Box{owner, text, caption, style});
    return g_box_answer;
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout_ms - elapsed < 50 ? timeout_ms - elapsed : 50,
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

std::wstring to_wide(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

std::wstring make_scratch_folder(const char* name) {
    const std::wstring folder = to_wide(unique_scratch_path(name));
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

class ShellAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_boxes.clear();
        g_box_answer = IDOK;
        previous_hook_ = set_message_box_hook(record_box);
        appdata_ = make_scratch_folder("appdata");
        lstrcpynW(g_shell.appdata_folder, appdata_.c_str(), MAX_PATH);
        settings_folder_ = appdata_ + L"\\Pexaron";
        settings_file_ = settings_folder_ + L"\\Pexaron.ini";
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.os_class = detect_os_version();
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        stand_in::install();
    }

    void TearDown() override {
        stand_in::set_image_window_refuses_close(false);
        stand_in::set_image_window_modal(false);
        stand_in::set_batch_state(nullptr, false);
        g_shell.view_busy[0] = g_shell.view_busy[1] = 0;
        if (g_shell.main_window) close_app();
        set_message_box_hook(previous_hook_);
        g_shell.appdata_folder[0] = 0;
        set_startup_command_line(nullptr);
        set_settings_file_ops(nullptr);
        g_shell.settings_read.single_view = false;
        g_shell.settings_read.conversion = false;
        CoUninitialize();
    }

    void store_settings(SettingsFileBuilder& b) {
        CreateDirectoryW(settings_folder_.c_str(), nullptr);
        ASSERT_TRUE(write_bytes(std::u16string(settings_file_.begin(), settings_file_.end()), b.bytes()));
    }

    std::vector<uint8_t> stored_bytes() {
        std::vector<uint8_t> bytes;
        read_bytes(std::u16string(settings_file_.begin(), settings_file_.end()), &bytes);
        return bytes;
    }

    SettingsReader stored() {
        const std::vector<uint8_t> bytes = stored_bytes();
        return settings_parse(bytes.data(), bytes.size());
    }

    void start_app(const wchar_t* command_line = L"Pexaron.exe") {
        ASSERT_TRUE(start_single_instance(SW_SHOWNORMAL, command_line));
        ASSERT_NE(g_shell.main_window, nullptr);
        ASSERT_TRUE(pump_until([] { return startup_tail_done(); }));
    }

    bool close_app() {
        PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
        return pump_until([] { return g_shell.main_window == nullptr; }, 15000);
    }

    RECT window_rect(HWND w) {
        RECT r = {};
        GetWindowRect(w, &r);
        return r;
    }

    MessageBoxHook previous_hook_ = nullptr;
    std::wstring appdata_;
    std::wstring settings_folder_;
    std::wstring settings_file_;
};

// The browser's image load (thumbnails, preview; the image windows use the same PNG reader set-up)
// takes gamma, transparency and background colour from slots 28-32 of the settings file. A
// display gamma under 1.0 is a setting like any other: the image gets darker, it is not raised
// to 1.0. The file: gamma 1.0 (gAMA 100000), a blue background (bKGD), an opaque grey pixel and
// a wholly transparent one.
TEST_F(ShellAppTest, PngDisplayOptionsComeFromTheSettingsFile) {
    PngFile png;
    png.ihdr(2, 1, 8, 6);
    Bytes gamma;
    append_be32(gamma, 100000);
    png.chunk("gAMA", gamma);
    png.chunk("bKGD", Bytes{0, 0, 0, 0, 0, 255});
    png.idat(Bytes{0, 128, 128, 128, 255, 10, 20, 30, 0}).end();
    const std::wstring path = make_scratch_folder("png-display") + L"\\clear.png";
    ASSERT_TRUE(write_bytes(std::u16string(path.begin(), path.end()), png.bytes));

    struct Case {
        const char* what;
        int32_t gamma_on, gamma, transparency, file_background, colour;
        uint8_t grey;      // what 128 becomes
        uint8_t clear[3];  // the transparent pixel, red, green, blue
    } const cases[] = {
        // 255 x (128 / 255)^2 = 64.25 with a display gamma of 0.5.
        {"gamma 0.5, configured green", 1, 500, 1, 0, 0x00FF00, 64, {0, 255, 0}},
        {"gamma 2.2, the file's blue", 1, 2200, 1, 1, 0x00FF00, 186, {0, 0, 255}},
        {"gamma 0 is raised to 0.001", 1, 0, 1, 0, 0x0000FF, 0, {255, 0, 0}},
        {"gamma off, transparency off", 0, 500, 0, 0, 0x00FF00, 128, {10, 20, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsFileBuilder b;
        b.integer(28, c.gamma_on).integer(29, c.gamma).integer(30, c.transparency);
        b.integer(31, c.file_background).integer(32, c.colour);
        store_settings(b);
        start_app();
        uint8_t bgr[6] = {};
        {
            ProcessLockGuard hold;
            int32_t loaded = 0;
            LoadedImage* image = load_image_24(nullptr, 0, std::u16string(path.begin(), path.end()), &loaded);
            ASSERT_NE(image, nullptr);
            ASSERT_EQ(image->info.bit_count, 24);
            std::memcpy(bgr, image->pixels, 6);
            release_load_result();
        }
        EXPECT_EQ(bgr[0], c.grey);
        EXPECT_EQ(bgr[1], c.grey);
        EXPECT_EQ(bgr[2], c.grey);
        EXPECT_EQ(bgr[5], c.clear[0]);
        EXPECT_EQ(bgr[4], c.clear[1]);
        EXPECT_EQ(bgr[3], c.clear[2]);
        ASSERT_TRUE(close_app());
    }
    set_browser_display_options(ReaderDisplayOptions{});
}

TEST_F(ShellAppTest, MainWindowTakesTitleAndPlaceAndLayoutFromTheSettings) {
    struct Case {
        int layout;
        bool view1_shown, view2_shown;
        const wchar_t* title;
    } cases[] = {
        {0, true, true, L"-1- Pexaron"}, {1, true, false, L"-1- Pexaron"}, {2, false, true, L"-2- Pexaron"}};
    for (const Case& c : cases) {
        SettingsFileBuilder b;
        b.integer(1, 100).integer(2, 80).integer(3, 700).integer(4, 500).integer(6, 200).integer(16,
                                                                                                 c.layout);
        store_settings(b);
        start_app();
        HWND main = g_shell.main_window;
        wchar_t title[128];
        GetWindowTextW(main, title, 128);
        EXPECT_STREQ(title, c.title);
        const RECT r = window_rect(main);
        EXPECT_EQ(r.left, 100);
        EXPECT_EQ(r.top, 80);
        EXPECT_EQ(r.right - r.left, 700);
        EXPECT_EQ(r.bottom - r.top, 500);
        wchar_t name[64];
        GetClassNameW(main, name, 64);
        EXPECT_STREQ(name, L"Pexaron_main_class");
        EXPECT_EQ(IsWindowVisible(g_shell.view_frame[0]) != FALSE, c.view1_shown) << c.layout;
        EXPECT_EQ(IsWindowVisible(g_shell.view_frame[1]) != FALSE, c.view2_shown) << c.layout;
        EXPECT_TRUE(IsWindowVisible(g_shell.tree_pane));
        // The views start at the tree pane's right edge and split the rest of the client.
        const RECT tree = window_rect(g_shell.tree_pane);
        const RECT v1 = window_rect(g_shell.view_frame[c.layout == 2 ? 1 : 0]);
        EXPECT_EQ(v1.left, tree.right);
        RECT client;
        GetClientRect(g_shell.client_window, &client);
        if (c.layout == 0) {
            const RECT v2 = window_rect(g_shell.view_frame[1]);
            EXPECT_EQ(v1.right - v1.left, v2.right - v2.left);
            EXPECT_LT(v1.right, v2.left);
        } else {
            POINT origin = {client.right, 0};
            ClientToScreen(g_shell.client_window, &origin);
            EXPECT_EQ(v1.right, origin.x);
        }
        EXPECT_EQ(GetDlgCtrlID(g_shell.client_window), 300);
        EXPECT_EQ(GetDlgCtrlID(g_shell.view_frame[0]), 500);
        EXPECT_EQ(GetDlgCtrlID(g_shell.view_frame[1]), 600);
        ASSERT_TRUE(close_app());
    }
}

TEST_F(ShellAppTest, OffScreenRectangleIsMovedOntoTheWorkArea) {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    struct Case {
        int left, top, width, height;
    } cases[] = {{5000, 4000, 640, 480}, {-3000, -3000, 640, 480}, {0, 0, 10000, 20}};
    for (const Case& c : cases) {
        SettingsFileBuilder b;
        b.integer(1, c.left).integer(2, c.top).integer(3, c.width).integer(4, c.height);
        store_settings(b);
        start_app();
        const RECT r = window_rect(g_shell.main_window);
        EXPECT_GE(r.left, work.left);
        EXPECT_GE(r.top, work.top);
        EXPECT_LE(r.right, work.right);
        EXPECT_LE(r.bottom, work.bottom);
        EXPECT_EQ(r.right - r.left, c.width < work.right - work.left ? c.width : work.right - work.left);
        ASSERT_TRUE(close_app());
    }
}

TEST_F(ShellAppTest, CommandLinePathOpensAtStartAndASecondStartForwardsItsArgument) {
    const std::wstring first = make_scratch_folder("first");
    const std::wstring second = make_scratch_folder("second");
    start_app((L"Pexaron.exe \"" + first + L"\"").c_str());
    wchar_t expected[MAX_PATH];
    GetLongPathNameW(first.c_str(), expected, MAX_PATH);
    EXPECT_STREQ(last_opened_folder(), expected);
    ASSERT_TRUE(pump_until([&] {
        wchar_t title[MAX_PATH + 8];
        GetWindowTextW(g_shell.main_window, title, MAX_PATH + 8);
        return std::wstring(title) == std::wstring(L"-1- ") + expected;
    }));

    // Another start in this process finds the window and hands over its argument.
    ShowWindow(g_shell.main_window, SW_MINIMIZE);
    EXPECT_FALSE(start_single_instance(SW_SHOWNORMAL, (L"Pexaron.exe \"" + second + L"\" ignored").c_str()));
    GetLongPathNameW(second.c_str(), expected, MAX_PATH);
    EXPECT_STREQ(last_opened_folder(), expected);
    ASSERT_TRUE(pump_until([] { return !IsIconic(g_shell.main_window); }));

    // Without an argument nothing is sent, nor with one too long to arrive whole.
    EXPECT_FALSE(start_single_instance(SW_SHOWNORMAL, L"Pexaron.exe"));
    EXPECT_STREQ(last_opened_folder(), expected);
    const std::wstring long_argument = L"Pexaron.exe C:\\" + std::wstring(300, L'a');
    EXPECT_FALSE(start_single_instance(SW_SHOWNORMAL, long_argument.c_str()));
    EXPECT_STREQ(last_opened_folder(), expected);
}

// Run as a second process by the test below: it must find the first one's window and forward.
TEST(SecondInstanceChild, DISABLED_ForwardsAndExits) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t appdata[MAX_PATH] = {};
    GetEnvironmentVariableW(L"PX_FORWARD_PATH", folder, MAX_PATH);
    GetEnvironmentVariableW(L"PX_FORWARD_APPDATA", appdata, MAX_PATH);
    lstrcpynW(g_shell.appdata_folder, appdata, MAX_PATH);
    g_shell.os_class = detect_os_version();
    const std::wstring line = std::wstring(L"Pexaron.exe \"") + folder + L"\"";
    EXPECT_FALSE(start_single_instance(SW_SHOWNORMAL, line.c_str()));
    EXPECT_EQ(g_shell.main_window, nullptr);
}

TEST_F(ShellAppTest, SecondProcessForwardsToTheFirst) {
    start_app();
    const std::wstring folder = make_scratch_folder("from-child");
    SetEnvironmentVariableW(L"PX_FORWARD_PATH", folder.c_str());
    SetEnvironmentVariableW(L"PX_FORWARD_APPDATA", appdata_.c_str());
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = std::wstring(L"\"") + exe +
                           L"\" --gtest_also_run_disabled_tests --gtest_filter=SecondInstanceChild.*";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    const bool ended =
        pump_until([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 30000);
    DWORD exit_code = 1;
    GetExitCodeProcess(pi.hProcess, &exit_code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_TRUE(ended);
    EXPECT_EQ(exit_code, 0u);
    wchar_t expected[MAX_PATH];
    GetLongPathNameW(folder.c_str(), expected, MAX_PATH);
    EXPECT_STREQ(last_opened_folder(), expected);
}

TEST_F(ShellAppTest, MalformedCopyDataIsIgnored) {
    start_app();
    const std::wstring good = make_scratch_folder("good");
    const std::wstring before = make_scratch_folder("before");
    struct Case {
        const char* name;
        ULONG_PTR data_word;
        std::vector<wchar_t> text;
        DWORD bytes;  // 0xFFFFFFFF: the text's own size
        bool null_data;
    };
    auto chars = [](const std::wstring& s, bool terminate) {
        std::vector<wchar_t> v(s.begin(), s.end());
        if (terminate) v.push_back(0);
        return v;
    };
    const Case cases[] = {
        {"no terminator", 0, chars(good, false), 0xFFFFFFFF, false},
        {"odd size", 0, chars(good, true), static_cast<DWORD>(2 * good.size() + 1), false},
        {"embedded zero", 0, chars(std::wstring(L"C:\\") + L'\0' + L"x", true), 0xFFFFFFFF, false},
        {"too long", 0, chars(std::wstring(300, L'a'), true), 0xFFFFFFFF, false},
        {"size beyond 260 characters", 0, chars(good, true), 2 * 400, false},
        {"data word", 1, chars(good, true), 0xFFFFFFFF, false},
        {"no data", 0, chars(good, true), 0xFFFFFFFF, true},
        {"empty", 0, chars(L"", true), 0xFFFFFFFF, false},
        {"zero size", 0, chars(good, true), 0, false},
    };
    for (const Case& c : cases) {
        open_path_in_folder_tree(before.c_str());
        std::vector<wchar_t> buffer = c.text;
        buffer.resize(buffer.size() + 512, L'x');  // the sender's memory goes on past the count
        COPYDATASTRUCT data = {};
        data.dwData = c.data_word;
        data.cbData = c.bytes == 0xFFFFFFFF ? static_cast<DWORD>(c.text.size() * 2) : c.bytes;
        data.lpData = c.null_data ? nullptr : buffer.data();
        SendMessageW(g_shell.main_window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        EXPECT_STREQ(last_opened_folder(), before.c_str()) << c.name;
    }
    // A well-formed path while a view is busy is dropped too; once idle it is taken.
    std::vector<wchar_t> text = chars(good, true);
    COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() * 2), text.data()};
    g_shell.view_busy[1] = 1;
    SendMessageW(g_shell.main_window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    EXPECT_STREQ(last_opened_folder(), before.c_str());
    g_shell.view_busy[1] = 0;
    SendMessageW(g_shell.main_window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    EXPECT_STREQ(last_opened_folder(), good.c_str());
}

TEST_F(ShellAppTest, PostedErrorCodesShowTheirBoxes) {
    static const wchar_t* const kTexts[] = {
        L"メモリ確保に失敗しました。",
        L"データ読み取りに失敗しました。",
        L"フォルダが無効です。",
        L"クリップボードをオープンに失敗しました。",
        L"一時ファイル作成に失敗しました。",
        L"一時ファイル削除に失敗しました。",
        L"ファイル削除に失敗しました。",
        L"ファイル作成に失敗しました。",
        L"ファイル実行に失敗しました。",
        L"ごみ箱のファイルです。",
        L"フォルダ作成に失敗しました。",
        L"キャッシュファイルアクセスに失敗しました。",
        L"キャッシュ情報がありません。",
        L"画像の表示に失敗しました。",
        L"ファイルが変更されています。\nこのコマンドは実行できません。",
        L"コマンドを実行できません。",
        L"印刷プレビューに失敗しました。",
        L"印刷実行に失敗しました。",
        L"履歴の保存に失敗しました。",
        L"履歴の実行に失敗しました。",
        L"ファイル変換に失敗しました。",
        L"変換処理中につき実行できません。",
        L"入力フォルダが無効です。",
        L"出力フォルダが無効です。",
        L"対象ファイルがありません。",
        L"入力フォルダの内容が変更されました。\n入力設定を確認してください。",
        L"HTMLタグ書き込みに失敗しました。",
    };
    start_app();
    const LPARAM codes[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,   14,
                            15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 1000, -1};
    for (LPARAM code : codes) {
        g_boxes.clear();
        PostMessageW(g_shell.main_window, kAppMessage, kMainShowError, code);
        ASSERT_TRUE(pump_until([] { return !g_boxes.empty(); })) << code;
        ASSERT_EQ(g_boxes.size(), 1u);
        const Box& box = g_boxes[0];
        EXPECT_EQ(box.owner, g_shell.main_window);
        if (code >= 0 && code <= 24) {
            EXPECT_EQ(box.text, kTexts[code]) << code;
            EXPECT_EQ(box.caption, L"Error");
            EXPECT_EQ(box.style, 0x10010u);
        } else if (code == 25 || code == 26) {
            EXPECT_EQ(box.text, kTexts[code]) << code;
            EXPECT_EQ(box.caption, L"Pexaron");
            EXPECT_EQ(box.style, 0x10030u);
        } else {
            EXPECT_EQ(box.text, L"Error") << code;
            EXPECT_EQ(box.caption, L"Error");
            EXPECT_EQ(box.style, 0x10010u);
        }
    }
}

TEST_F(ShellAppTest, SettingsWrittenAtExitReadBackOnTheNextStart) {
    SettingsFileBuilder b;
    b.integer(11, 250).text(140, u"C:\\tool.exe").integer(300, 77).text(450, u"an edit tool's text");
    store_settings(b);
    start_app();
    EXPECT_EQ(g_shell.main_settings.thumb_width, 250);
    SetWindowPos(g_shell.main_window, nullptr, 120, 90, 640, 480, SWP_NOZORDER);
    g_shell.main_settings.view_layout = 2;
    ASSERT_TRUE(load_single_view_settings_group());
    g_shell.single_view.slide_interval = 7;
    ASSERT_TRUE(load_conversion_settings_group());
    g_shell.conversion.prefix = u"pre";
    ASSERT_TRUE(close_app());
    EXPECT_TRUE(g_boxes.empty());

    SettingsReader r = stored();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(settings_int(r, 1, 0), 120);
    EXPECT_EQ(settings_int(r, 2, 0), 90);
    EXPECT_EQ(settings_int(r, 3, 0), 640);
    EXPECT_EQ(settings_int(r, 4, 0), 480);
    EXPECT_EQ(settings_int(r, 11, 0), 250);
    EXPECT_EQ(settings_int(r, 16, 0), 2);
    EXPECT_EQ(settings_int(r, 66, 0), 7);
    EXPECT_EQ(settings_string(r, 110), u"pre");
    EXPECT_EQ(settings_string(r, 140), u"C:\\tool.exe");
    EXPECT_EQ(settings_entry(r, 137).size, 360);
    EXPECT_EQ(settings_entry(r, 138).size, 540);
    // Slots of other parts of the program survive the pass.
    EXPECT_EQ(settings_int(r, 300, 0), 77);
    EXPECT_EQ(settings_string(r, 450), u"an edit tool's text");

    g_shell.settings_read.single_view = false;
    start_app();
    EXPECT_EQ(g_shell.active_view, 1);
    const RECT rect = window_rect(g_shell.main_window);
    EXPECT_EQ(rect.left, 120);
    EXPECT_EQ(rect.right - rect.left, 640);
    ASSERT_TRUE(load_single_view_settings_group());
    EXPECT_EQ(g_shell.single_view.slide_interval, 7);
}

TEST_F(ShellAppTest, KeyTablesLoadDefaultsAndStoredChangesIntoAcceleratorTables) {
    const KeyEntry main_changes[] = {{0x19, 0x175, 7150}, {0x01, 'Q', 7021}};
    const KeyEntry view_changes[] = {{0x09, 'Q', 8031}};
    std::vector<uint8_t> main_bytes(12), view_bytes(6);
    encode_key_entries(main_changes, 2, main_bytes.data());
    encode_key_entries(view_changes, 1, view_bytes.data());
    SettingsFileBuilder b;
    b.data(137, main_bytes).data(138, view_bytes);
    store_settings(b);
    start_app();
    ACCEL live[70];
    ASSERT_EQ(CopyAcceleratorTableW(g_shell.main_accelerators.get(), nullptr, 0), 60);
    ASSERT_EQ(CopyAcceleratorTableW(g_shell.main_accelerators.get(), live, 70), 60);
    EXPECT_EQ(live[16].cmd, 7150);
    EXPECT_EQ(live[16].fVirt, 0x09);  // Alt dropped
    EXPECT_EQ(live[16].key, 0x75);    // high byte dropped
    EXPECT_EQ(live[2].key, 'Q');
    EXPECT_EQ(live[3].cmd, 7040);  // untouched default
    EXPECT_EQ(live[3].fVirt, 0x09);
    EXPECT_EQ(live[3].key, 'A');

    ASSERT_TRUE(load_single_view_settings_group());
    ACCEL view[100];
    ASSERT_EQ(CopyAcceleratorTableW(g_shell.view_accelerators.get(), view, 100), 98);
    EXPECT_EQ(view[7].cmd, 8031);
    EXPECT_EQ(view[7].key, 'Q');
    EXPECT_EQ(view[53].cmd, 8401);
    EXPECT_EQ(view[53].key, 'Z');
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(view[90 + i].cmd, 7311 + i);
        EXPECT_EQ(view[90 + i].key, '1' + i);
    }
    ASSERT_TRUE(close_app());
    SettingsReader r = stored();
    uint8_t stored_main[360];
    ASSERT_TRUE(settings_read_blob(r, 137, stored_main, sizeof stored_main));
    KeyEntry entries[60];
    decode_key_entries(stored_main, 60, entries);
    EXPECT_EQ(entries[16].key, 0x75);
    EXPECT_EQ(entries[16].fVirt, 0x09);
}

TEST_F(ShellAppTest, BusyLazyGroupIsRetriedAndNeverWrittenOverTheStoredValues) {
    SettingsFileBuilder b;
    b.integer(66, 9).integer(96, 40);
    store_settings(b);
    start_app();
    {
        HANDLE held = CreateFileW(settings_file_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(load_single_view_settings_group());
        EXPECT_FALSE(load_conversion_settings_group());
        EXPECT_FALSE(g_shell.settings_read.single_view);
        CloseHandle(held);
    }
    g_shell.single_view.slide_interval = 1;
    // Not read: the exit pass leaves the stored group alone.
    ASSERT_TRUE(close_app());
    SettingsReader r = stored();
    EXPECT_EQ(settings_int(r, 66, 0), 9);
    EXPECT_EQ(settings_int(r, 96, 0), 40);
    EXPECT_EQ(settings_entry(r, 138).offset, 0);

    start_app();
    ASSERT_TRUE(load_single_view_settings_group());
    EXPECT_EQ(g_shell.single_view.slide_interval, 9);
    ASSERT_TRUE(load_conversion_settings_group());
    EXPECT_EQ(g_shell.conversion.at(96), 40);
}

TEST_F(ShellAppTest, FailedSettingsWriteAtExitIsReportedAndKeepsTheOldFile) {
    SettingsFileBuilder b;
    b.integer(11, 300);
    store_settings(b);
    start_app();
    // A folder where the temporary file would go makes the write fail.
    CreateDirectoryW((settings_file_ + L".tmp").c_str(), nullptr);
    g_shell.main_settings.thumb_width = 400;
    ASSERT_TRUE(close_app());
    RemoveDirectoryW((settings_file_ + L".tmp").c_str());
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, L"ファイル作成に失敗しました。");
    EXPECT_EQ(stored_bytes(), b.bytes());
}

TEST_F(ShellAppTest, ReadOnlyProfileStartsAndReportsTheFailedWriteAtExit) {
    // A file where the folder should be: the folder cannot be made.
    const std::u16string blocker = unique_scratch_path("blocker");
    ASSERT_TRUE(write_bytes(blocker + u"", {1}));
    const std::wstring parent(blocker.begin(), blocker.end());
    lstrcpynW(g_shell.appdata_folder, parent.c_str(), MAX_PATH);
    start_app();
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(g_shell.main_settings.thumb_width, 144);
    ASSERT_TRUE(close_app());
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, L"ファイル作成に失敗しました。");
    EXPECT_EQ(g_boxes[0].caption, L"Error");
    EXPECT_EQ(g_boxes[0].style, static_cast<UINT>(MB_ICONERROR | MB_SETFOREGROUND));
}

TEST_F(ShellAppTest, MainGroupBusyAtStartIsNotWrittenOverAtExit) {
    SettingsFileBuilder b;
    b.integer(11, 250).text(140, u"C:\\tool.exe").text(196, u"C:\\photos");
    store_settings(b);
    HANDLE held = CreateFileW(settings_file_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    start_app();
    CloseHandle(held);
    EXPECT_FALSE(g_shell.settings_read.main);
    EXPECT_EQ(g_shell.main_settings.thumb_width, 144);
    ASSERT_TRUE(close_app());
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(stored_bytes(), b.bytes());
}

TEST_F(ShellAppTest, ImageWindowKeptOpenByItsUserKeepsTheProgramOpen) {
    start_app();
    PostMessageW(g_shell.main_window, kAppMessage, kMainOpenEditWindow, 0);
    ASSERT_TRUE(pump_until([] { return stand_in::current_image_window() != nullptr; }));
    stand_in::set_image_window_refuses_close(true);
    PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
    pump_until([] { return false; }, 300);
    ASSERT_NE(g_shell.main_window, nullptr);
    EXPECT_NE(stand_in::current_image_window(), nullptr);
    EXPECT_TRUE(g_shell.image_thread.valid());
    stand_in::set_image_window_refuses_close(false);
    ASSERT_TRUE(close_app());
    EXPECT_FALSE(g_shell.image_thread.valid());
    EXPECT_EQ(stand_in::current_image_window(), nullptr);
}

TEST_F(ShellAppTest, CloseIsRefusedWhileTheImageWindowRunsAModalLoop) {
    start_app();
    PostMessageW(g_shell.main_window, kAppMessage, kMainOpenEditWindow, 0);
    ASSERT_TRUE(pump_until([] { return stand_in::current_image_window() != nullptr; }));
    stand_in::set_image_window_modal(true);
    const LONG closes = stand_in::g_close_count;
    PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
    pump_until([] { return false; }, 300);
    ASSERT_NE(g_shell.main_window, nullptr);
    EXPECT_NE(stand_in::current_image_window(), nullptr);
    // Not even asked: a close sent into its loop would wait there and end the window later.
    EXPECT_EQ(stand_in::g_close_count, closes);
    stand_in::set_image_window_modal(false);
    ASSERT_TRUE(close_app());
    EXPECT_FALSE(g_shell.image_thread.valid());
}

TEST_F(ShellAppTest, ImageWindowEndingByItselfIsReapedByCode170) {
    start_app();
    PostMessageW(g_shell.main_window, kAppMessage, kMainOpenEditWindow, 0);
    ASSERT_TRUE(pump_until([] { return stand_in::current_image_window() != nullptr; }));
    PostMessageW(stand_in::current_image_window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(pump_until([] { return !g_shell.image_thread.valid(); }));
}

unsigned __stdcall wait_for_release(void* release) {
    WaitForSingleObject(static_cast<HANDLE>(release), INFINITE);
    return 0;
}

// Thread procedures for the wait rule.
HANDLE g_release = nullptr;

unsigned __stdcall hold_lock_forever(void* ready) {
    process_lock_enter();
    SetEvent(static_cast<HANDLE>(ready));
    WaitForSingleObject(g_release, INFINITE);
    process_lock_leave();
    return 0;
}

// A stand-in batch window that records what it is posted.
std::vector<WPARAM> g_batch_posted;

LRESULT CALLBACK batch_stand_in_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kAppMessage) g_batch_posted.push_back(wp);
    return DefWindowProcW(w, m, wp, lp);
}

TEST_F(ShellAppTest, CloseIsRefusedWhileAViewBuildsOrAConversionRuns) {
    start_app();
    g_shell.view_busy[1] = 1;
    PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
    pump_until([] { return false; }, 200);
    ASSERT_NE(g_shell.main_window, nullptr);
    g_shell.view_busy[1] = 0;

    std::vector<WPARAM>& posted = g_batch_posted;
    posted.clear();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = batch_stand_in_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"test_batch_class";
    RegisterClassW(&wc);
    HWND batch = CreateWindowW(L"test_batch_class", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    stand_in::set_batch_state(batch, true);
    // The conversion step is keyed on the conversion thread.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_shell.batch_thread.reset(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, wait_for_release, release, 0, nullptr)));
    for (int answer : {IDNO, IDYES}) {
        g_boxes.clear();
        g_box_answer = answer;
        PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
        ASSERT_TRUE(pump_until([] { return !g_boxes.empty(); }));
        pump_until([] { return false; }, 100);
        ASSERT_NE(g_shell.main_window, nullptr);
        EXPECT_EQ(g_boxes[0].text, L"変換処理を中止しますか？");
        EXPECT_EQ(g_boxes[0].caption, L"一括変換");
        EXPECT_EQ(g_boxes[0].owner, batch);
        EXPECT_EQ(g_boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND));
        EXPECT_EQ(posted.size(), answer == IDYES ? 1u : 0u);
    }
    EXPECT_EQ(posted[0], 0u);
    stand_in::set_batch_state(nullptr, false);
    DestroyWindow(batch);
    SetEvent(release);
    WaitForSingleObject(g_shell.batch_thread.get(), 5000);
    g_shell.batch_thread.reset();
    CloseHandle(release);
}

TEST_F(ShellAppTest, ConversionThreadWithoutAWindowIsWaitedForAtClose) {
    start_app();
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_shell.batch_thread.reset(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, wait_for_release, release, 0, nullptr)));
    ASSERT_TRUE(g_shell.batch_thread.valid());
    SetEvent(release);
    ASSERT_TRUE(close_app());
    EXPECT_FALSE(g_shell.batch_thread.valid());
    CloseHandle(release);
}

// A conversion thread stuck inside the lock: the close goes on without it, writes the settings and
// skips every step that would need the lock.
TEST_F(ShellAppTest, ConversionThreadLeftRunningInsideTheLockDoesNotBlockTheClose) {
    start_app();
    g_shell.main_settings.thumb_width = 222;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, hold_lock_forever, ready, 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(ready, 5000), WAIT_OBJECT_0);
    g_shell.batch_thread.reset(thread);
    ASSERT_TRUE(close_app());
    EXPECT_EQ(g_shell.batch_thread.get(), thread);
    EXPECT_TRUE(process_lock_exists());
    EXPECT_EQ(settings_int(stored(), 11, 0), 222);
    EXPECT_TRUE(g_boxes.empty());
    SetEvent(g_release);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    g_shell.batch_thread.reset();
    process_lock_delete();
    destroy_codec_contexts();
    CloseHandle(g_release);
    CloseHandle(ready);
}

TEST_F(ShellAppTest, AltModeKeysDriveTheMenuBar) {
    start_app();
    SendMessageW(g_shell.main_window, WM_ACTIVATE, WA_ACTIVE, 0);
    ASSERT_EQ(g_shell.main_active, 1);
    constexpr LPARAM kUp = static_cast<LPARAM>(0xC0000000u);
    EXPECT_EQ(main_keyboard_hook(HC_ACTION, 'V', 0), 0);  // outside the mode keys pass on
    EXPECT_EQ(main_keyboard_hook(HC_ACTION, VK_MENU, 0), 1);
    EXPECT_TRUE(g_shell.menu_keyboard_mode);
    main_keyboard_hook(HC_ACTION, VK_MENU, kUp);
    EXPECT_EQ(menu_bar_hot(), 0);
    // The letters open their popups; the menus' own tests drive those.
    struct Step {
        WPARAM key;
        int hot;
    } steps[] = {{VK_RIGHT, 1}, {VK_RIGHT, 2}, {VK_LEFT, 1}, {VK_LEFT, 0}, {VK_LEFT, 4}, {VK_RIGHT, 0}};
    for (const Step& st : steps) {
        EXPECT_EQ(main_keyboard_hook(HC_ACTION, st.key, 0), 1);
        EXPECT_EQ(main_keyboard_hook(HC_ACTION, st.key, kUp), 1);
        ASSERT_TRUE(pump_until([&] { return menu_bar_hot() == st.hot; }, 2000)) << st.key;
    }
    EXPECT_EQ(main_keyboard_hook(HC_ACTION, VK_ESCAPE, 0), 1);
    EXPECT_FALSE(g_shell.menu_keyboard_mode);
    EXPECT_EQ(menu_bar_hot(), -1);
    // Alt pressed twice leaves the mode; deactivation leaves it too.
    main_keyboard_hook(HC_ACTION, VK_MENU, 0);
    main_keyboard_hook(HC_ACTION, VK_MENU, 0);
    EXPECT_FALSE(g_shell.menu_keyboard_mode);
    main_keyboard_hook(HC_ACTION, VK_MENU, 0);
    SendMessageW(g_shell.main_window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(g_shell.main_active, 0);
    EXPECT_FALSE(g_shell.menu_keyboard_mode);
    EXPECT_EQ(main_keyboard_hook(HC_ACTION, VK_MENU, 0), 0);
}

TEST_F(ShellAppTest, ActivatingAViewPutsItsFolderInTheTitle) {
    start_app();
    const std::wstring folder = make_scratch_folder("view2");
    open_folder_in_view(1, folder.c_str());
    PostMessageW(g_shell.view_frame[1], kAppMessage, kViewActivate, 0);
    const std::wstring expected = L"-2- " + folder;
    EXPECT_TRUE(pump_until([&] {
        wchar_t title[MAX_PATH + 8];
        GetWindowTextW(g_shell.main_window, title, MAX_PATH + 8);
        return expected == title;
    }));
    EXPECT_EQ(g_shell.active_view, 1);
}

TEST_F(ShellAppTest, MaximisedStateIsSavedAndRestored) {
    start_app();
    ShowWindow(g_shell.main_window, SW_MAXIMIZE);
    ASSERT_TRUE(pump_until([] { return g_shell.main_settings.maximised == 1; }));
    ASSERT_TRUE(close_app());
    EXPECT_EQ(settings_int(stored(), 0, -1), 1);
    start_app();
    EXPECT_TRUE(IsZoomed(g_shell.main_window));
}

unsigned __stdcall sleep_forever(void* ready) {
    SetEvent(static_cast<HANDLE>(ready));
    Sleep(INFINITE);
    return 0;
}

unsigned __stdcall end_at_once(void*) {
    return 0;
}

int g_hooks_removed = 0;
void count_hook_removal() {
    ++g_hooks_removed;
}

TEST(WaitRuleTest, NeverEndsAThreadThatMayHoldTheLock) {
    process_lock_init();
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    struct Case {
        const char* name;
        unsigned(__stdcall* proc)(void*);
        ThreadWait expected;
        int hooks_removed;
    } cases[] = {{"ended", end_at_once, ThreadWait::ended, 0},
                 {"idle", sleep_forever, ThreadWait::terminated, 1},
                 {"holding the lock", hold_lock_forever, ThreadWait::left_running, 0}};
    std::vector<HANDLE> left;
    for (const Case& c : cases) {
        g_hooks_removed = 0;
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, c.proc, ready, 0, nullptr));
        if (c.proc != end_at_once)
            WaitForSingleObject(ready, 5000);
        else
            WaitForSingleObject(thread, 5000);
        EXPECT_EQ(static_cast<int>(wait_for_thread(thread, 100, count_hook_removal)),
                  static_cast<int>(c.expected))
            << c.name;
        EXPECT_EQ(g_hooks_removed, c.hooks_removed) << c.name;
        if (c.expected == ThreadWait::left_running)
            left.push_back(thread);
        else
            CloseHandle(thread);
        CloseHandle(ready);
    }
    EXPECT_TRUE(process_lock_held());
    SetEvent(g_release);
    for (HANDLE h : left) {
        EXPECT_EQ(wait_for_thread(h, 5000, nullptr), ThreadWait::ended);
        CloseHandle(h);
    }
    EXPECT_FALSE(process_lock_held());
    CloseHandle(g_release);
    process_lock_delete();
}

}  // namespace
