// The main window's commands and launchers under Wine: the real main window, commands sent as
// WM_COMMAND, the views' frames replaced by windows that record what they are posted, dialogs
// and the other subsystems recorded through the shell's entry points, boxes answered through
// the message-box hook, and a stand-in program that logs the command lines it is started with.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <process.h>
// clang-format on
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "shell/core/command_rules.h"
#include "shell/entry_points.h"
#include "shell/launch.h"
#include "shell/main_commands.h"
#include "shell/main_menus.h"
#include "shell/main_window.h"
#include "shell/settings_win.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/thumbnail_view_parts.h"
#include "tests/shell/stand_in_subsystems.h"
#include "tests/shell/test_views.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_double_dialog.h"

namespace {

struct Posted {
    int view;
    WPARAM code;
    LPARAM value;
    bool operator==(const Posted& o) const { return view == o.view && code == o.code && value == o.value; }
};

struct DialogCall {
    int id;
    DLGPROC procedure;
    LPARAM parameter;
};

std::vector<Posted> g_posted;
std::vector<DialogCall> g_dialogs;
INT_PTR g_dialog_result = 1;
std::vector<std::wstring> g_boxes;
int g_wallpaper_calls = 0;
std::vector<void*> g_batch_arguments;
std::vector<int> g_view_window_modes;
std::vector<std::wstring> g_paths_at_start;
HWND g_recorder[2] = {};
std::wstring g_batch_input;

void batch_input_folder(wchar_t* folder) {
    lstrcpynW(folder, g_batch_input.c_str(), MAX_PATH);
}

// Distinct procedures, so that a test can tell which dialog the command chose.
template <int N>
INT_PTR CALLBACK dialog_proc(HWND, UINT, WPARAM, LPARAM) noexcept {
    return FALSE;
}

INT_PTR record_dialog(HWND, int id, DLGPROC procedure, LPARAM parameter) {
    g_dialogs.push_back(DialogCall{id, procedure, parameter});
    return g_dialog_result;
}

int record_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

LRESULT CALLBACK recorder_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == kAppMessage) {
        g_posted.push_back(Posted{window == g_recorder[1] ? 1 : 0, wparam, lparam});
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void record_wallpaper() {
    ++g_wallpaper_calls;
}

unsigned __stdcall record_batch(void* view) noexcept {
    g_batch_arguments.push_back(view);
    PostMessageW(g_shell.main_window, kAppMessage, kMainThreadEnded,
                 reinterpret_cast<LPARAM>(&g_shell.batch_thread));
    return 0;
}

// A single view that ends as soon as it is told to, posting 170 and, when asked to continue in
// the edit window, 180.
HANDLE g_view_may_end = nullptr;
volatile LONG g_view_wants_edit = 0;

unsigned __stdcall view_window_thread(void*) noexcept {
    WaitForSingleObject(g_view_may_end, 10000);
    PostMessageW(g_shell.main_window, kAppMessage, kMainThreadEnded,
                 reinterpret_cast<LPARAM>(&g_shell.image_thread));
    if (g_view_wants_edit) PostMessageW(g_shell.main_window, kAppMessage, kMainOpenEditWindow, 0);
    return 0;
}

HANDLE start_view_window(int mode, unsigned* id) {
    g_view_window_modes.push_back(mode);
    g_paths_at_start.push_back(handover_path());
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, view_window_thread, nullptr, 0, id));
}

int g_edit_starts = 0;
HANDLE start_edit_window(unsigned* id) {
    ++g_edit_starts;
    g_paths_at_start.push_back(handover_path());
    return stand_in::start_edit_window_thread(id);
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout_ms) return false;
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

// What is already queued on this thread, and nothing more.
void drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring to_wide(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}
std::u16string to_u16(const std::wstring& s) {
    return std::u16string(s.begin(), s.end());
}

std::wstring make_folder(const char* name) {
    const std::wstring folder = to_wide(unique_scratch_path(name));
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void touch(const std::wstring& path) {
    HANDLE f =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_posted.clear();
        g_dialogs.clear();
        g_boxes.clear();
        g_dialog_result = 1;
        g_wallpaper_calls = 0;
        g_batch_arguments.clear();
        g_view_window_modes.clear();
        g_paths_at_start.clear();
        g_edit_starts = 0;
        g_view_wants_edit = 0;
        g_view_may_end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        previous_box_ = set_message_box_hook(record_box);
        previous_runner_ = set_modal_dialog_runner(record_dialog);
        appdata_ = make_folder("appdata");
        lstrcpynW(g_shell.appdata_folder, appdata_.c_str(), MAX_PATH);
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.os_class = detect_os_version();
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

        stand_in::install();
        ShellEntryPoints table = shell_entry_points();
        table.start_view_window_thread = start_view_window;
        table.start_edit_window_thread = start_edit_window;
        table.options_dialog_proc = dialog_proc<3500>;
        table.batch_rename_dialog_proc = dialog_proc<5000>;
        table.comment_dialog_proc = dialog_proc<5200>;
        table.rename_dialog_proc = dialog_proc<5500>;
        table.display_info_dialog_proc = dialog_proc<5800>;
        table.thumbnail_print_dialog_proc = dialog_proc<6300>;
        table.mouse_help_dialog_proc = dialog_proc<6700>;
        table.view_help_dialog_proc = dialog_proc<6750>;
        table.edit_help_dialog_proc = dialog_proc<6770>;
        table.slide_show_help_dialog_proc = dialog_proc<6780>;
        table.batch_help_dialog_proc = dialog_proc<6790>;
        table.set_wallpaper_from_selection = record_wallpaper;
        table.batch_conversion_thread = record_batch;
        table.batch_input_folder = batch_input_folder;
        table.create_version_window = [](HWND) -> HWND { return nullptr; };
        install_shell_entry_points(table);

        ASSERT_TRUE(start_single_instance(SW_SHOWNORMAL, L"Pexaron.exe"));
        ASSERT_TRUE(pump_until([] { return startup_tail_done(); }));
        g_dialogs.clear();  // the operations help of the start

        WNDCLASSW wc = {};
        wc.lpfnWndProc = recorder_proc;
        wc.hInstance = g_shell.instance;
        wc.lpszClassName = L"px_test_view_recorder";
        RegisterClassW(&wc);
        for (int i = 0; i < 2; ++i) {
            saved_frame_[i] = g_shell.view_frame[i];
            g_recorder[i] = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 600, 400, nullptr,
                                            nullptr, g_shell.instance, nullptr);
            g_shell.view_frame[i] = g_recorder[i];
        }
        g_shell.active_view = 0;
        folder_[0] = make_folder("view one");
        folder_[1] = make_folder("view2");
        set_view(0, {u"a.jpg", u"b.png", u"c.bmp"});
        set_view(1, {u"d.jpg", u"e.gif"});
        drain();
        g_posted.clear();
    }

    void TearDown() override {
        SetEvent(g_view_may_end);
        stand_in::set_image_window_refuses_close(false);
        for (int i = 0; i < 2; ++i) {
            view_state(i) = ViewState{};
            if (g_shell.main_window) g_shell.view_frame[i] = saved_frame_[i];
            if (g_recorder[i]) DestroyWindow(g_recorder[i]);
            g_recorder[i] = nullptr;
        }
        if (g_shell.main_window) {
            PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(pump_until([] { return g_shell.main_window == nullptr; }, 15000));
        }
        set_viewer_folder(nullptr);
        set_modal_dialog_runner(previous_runner_);
        set_message_box_hook(previous_box_);
        g_shell.appdata_folder[0] = 0;
        g_shell.settings_read.single_view = false;
        g_shell.settings_read.conversion = false;
        CloseHandle(g_view_may_end);
        CoUninitialize();
    }

    // Names as TestView takes them ('*' marks); the view's state points at this fixture's copy.
    void set_view(int v, const std::vector<std::u16string>& names) {
        views_[v].set(to_u16(folder_[v]), names);
        view_state(v) = views_[v].state;
    }

    void command(int id, int notification = 0, LPARAM control = 0) {
        SendMessageW(g_shell.main_window, WM_COMMAND, MAKEWPARAM(id, notification), control);
        drain();
    }

    std::wstring appdata_;
    std::wstring folder_[2];
    TestView views_[2];
    HWND saved_frame_[2] = {};
    MessageBoxHook previous_box_ = nullptr;
    ModalDialogRunner previous_runner_ = nullptr;
};

TEST_F(CommandsTest, CommandsPostToTheViewsAndChangeTheSettings) {
    MainSettings& s = g_shell.main_settings;
    struct Case {
        const char* what;
        int id;
        std::function<void()> before;
        std::vector<Posted> posted;
        std::function<bool()> after;
    } cases[] = {
        {"mark all", kCommandSelectAll, [] {}, {{0, kViewToggleMarks, 0}}, nullptr},
        {"mark all on a busy view",
         kCommandSelectAll,
         [] { view_state(0).busy = kViewBuilding; },
         {},
         nullptr},
        {"clear both", kCommandClearViews, [] {}, {{0, kViewClear, 0}, {1, kViewClear, 0}}, nullptr},
        {"refresh: active view first",
         kCommandRefresh,
         [] { g_shell.active_view = 1; },
         {{1, kViewClear, 0}, {1, kViewRefresh, 0}, {0, kViewClear, 0}, {0, kViewRefresh, 0}},
         nullptr},
        {"scroll to the top", 7810, [] {}, {{0, kViewScroll, 6}}, nullptr},
        {"scroll down a line", 7815, [] { g_shell.active_view = 1; }, {{1, kViewScroll, 1}}, nullptr},
        {"rotate right",
         kCommandRotateRight,
         [this] { set_view(0, {u"*a.jpg"}); },
         {{0, kViewTransform, 1}},
         nullptr},
        {"rotate left",
         kCommandRotateLeft,
         [this] { set_view(0, {u"*a.jpg"}); },
         {{0, kViewTransform, 3}},
         nullptr},
        {"rotate with nothing marked", kCommandRotateRight, [] {}, {}, nullptr},
        {"rotate in a folder under conversion",
         kCommandRotateRight,
         [this] {
             set_view(0, {u"*a.jpg"});
             g_batch_input = folder_[0];
             stand_in::set_batch_state(nullptr, true);
         },
         {},
         nullptr},
        {"rotate in a folder under conversion, named in capitals",
         kCommandRotateRight,
         [this] {
             set_view(0, {u"*a.jpg"});
             g_batch_input = folder_[0];
             CharUpperW(&g_batch_input[0]);
             stand_in::set_batch_state(nullptr, true);
         },
         {},
         nullptr},
        {"rotate while converting another folder",
         kCommandRotateRight,
         [this] {
             set_view(0, {u"*a.jpg"});
             g_batch_input = folder_[1];
             stand_in::set_batch_state(nullptr, true);
         },
         {{0, kViewTransform, 1}},
         nullptr},
        {"view 1 only",
         kCommandLayoutOnlyView1,
         [&] { s.view_layout = 0; },
         {{0, kViewActivate, 0}},
         [&] { return s.view_layout == 1; }},
        {"view 2 only",
         kCommandLayoutOnlyView2,
         [&] { s.view_layout = 0; },
         {{1, kViewActivate, 0}},
         [&] { return s.view_layout == 2; }},
        {"the same layout again", kCommandLayoutOnlyView2, [&] { s.view_layout = 2; }, {}, nullptr},
        {"switch to the other view",
         kCommandSwitchView,
         [&] { s.view_layout = 1; },
         {{1, kViewActivate, 0}},
         [&] { return s.view_layout == 0; }},
        {"preview off",
         kCommandPreview,
         [&] { s.preview_enabled = 1; },
         {},
         [&] { return s.preview_enabled == 0; }},
        {"captions off",
         kCommandCaptions,
         [&] { s.captions_shown = 1; },
         {{0, kViewRelayout, 0}, {1, kViewRelayout, 0}},
         [&] { return s.captions_shown == 0 && view_caption_height() == 0; }},
        {"hidden files shown",
         kCommandHiddenFiles,
         [&] { s.hidden_mask = 2; },
         {},
         [&] { return s.hidden_mask == 0; }},
        {"hidden files while a view builds",
         kCommandHiddenFiles,
         [&] {
             s.hidden_mask = 2;
             view_state(1).busy = kViewBuilding;
         },
         {},
         [&] { return s.hidden_mask == 2; }},
        {"tree auto-show on",
         kCommandTreeAutoShow,
         [&] { s.tree_auto_show = 0; },
         {},
         [&] { return s.tree_auto_show == 1 && !IsWindowVisible(g_shell.tree_pane); }},
        {"information list off",
         kCommandInfoList,
         [&] { s.info_list_shown = 1; },
         {},
         [&] { return s.info_list_shown == 0; }},
        {"filter PNG",
         7802,
         [this] { g_shell.filter_index = 0; },
         {{0, kViewClear, 1}, {0, kViewRefresh, 1}},
         [] { return g_shell.filter_index == 2; }},
        {"filter already current", 7800, [] { g_shell.filter_index = 0; }, {}, nullptr},
        {"columns: 2 on a wide body",
         7512,
         [&] {
             s.thumb_width = 160;
             s.thumb_height = 120;
             // The view's body is what the columns are measured on.
             SetWindowPos(view_base_window(0), nullptr, 0, 0, 2000, 300, SWP_NOZORDER | SWP_NOACTIVATE);
         },
         {{0, kViewClear, 0}, {0, kViewRefresh, 0}, {1, kViewClear, 0}, {1, kViewRefresh, 0}},
         [&] { return s.thumb_width == 800 && s.thumb_height == 600; }},
        {"columns giving the current box",
         7512,
         [&] {
             s.thumb_width = 32;
             s.thumb_height = 32;
             SetWindowPos(view_base_window(0), nullptr, 0, 0, 60, 300, SWP_NOZORDER | SWP_NOACTIVATE);
         },
         {},
         nullptr},
    };
    for (const Case& c : cases) {
        set_view(0, {u"a.jpg", u"b.png", u"c.bmp"});
        set_view(1, {u"d.jpg", u"e.gif"});
        g_shell.active_view = 0;
        stand_in::set_batch_state(nullptr, false);
        g_batch_input.clear();
        c.before();
        g_posted.clear();
        command(c.id);
        EXPECT_EQ(g_posted, c.posted) << c.what;
        if (c.after) {
            EXPECT_TRUE(c.after()) << c.what;
        }
    }
    stand_in::set_batch_state(nullptr, false);
    s.tree_auto_show = 0;
}

TEST_F(CommandsTest, TypeFilterListReloadsOnlyOnAChange) {
    HWND list = CreateWindowExW(0, L"COMBOBOX", L"", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 60, 200, nullptr,
                                nullptr, g_shell.instance, nullptr);
    for (const wchar_t* t : {L"ALL", L"BMP", L"PNG", L"JPEG", L"TIFF", L"GIF"})
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
    g_shell.filter_index = 0;
    g_shell.active_view = 1;
    SendMessageW(list, CB_SETCURSEL, 3, 0);
    command(kCommandFilterList, CBN_SELCHANGE, reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(g_shell.filter_index, 3);
    EXPECT_EQ(g_posted, (std::vector<Posted>{{1, kViewClear, 1}, {1, kViewRefresh, 1}}));
    g_posted.clear();
    command(kCommandFilterList, CBN_CLOSEUP, reinterpret_cast<LPARAM>(list));
    EXPECT_TRUE(g_posted.empty());
    DestroyWindow(list);
    g_shell.filter_index = 0;
}

TEST_F(CommandsTest, DialogsOpenThroughTheirEntryPoints) {
    const std::wstring jpeg = folder_[0] + L"\\a.jpg";
    touch(jpeg);
    struct Case {
        const char* what;
        int id;
        std::function<void()> before;
        INT_PTR result;
        int dialog;  // 0: none opened
        DLGPROC procedure;
        LPARAM parameter;
        std::vector<Posted> posted;
        const wchar_t* box;
    } cases[] = {
        {"rename", kCommandRename, [] {}, 1, 5500, dialog_proc<5500>, 7021, {}, nullptr},
        {"rename from view 2",
         kCommandRename,
         [] { g_shell.active_view = 1; },
         1,
         5500,
         dialog_proc<5500>,
         0x10000 + 7021,
         {},
         nullptr},
        {"batch rename",
         kCommandBatchRename,
         [] { g_shell.active_view = 1; },
         1,
         5000,
         dialog_proc<5000>,
         1,
         {},
         nullptr},
        {"batch rename on a busy view",
         kCommandBatchRename,
         [] { view_state(0).busy = 1; },
         1,
         0,
         nullptr,
         0,
         {},
         nullptr},
        {"print", kCommandPrintThumbnails, [] {}, 1, 6300, dialog_proc<6300>, 0, {}, nullptr},
        {"print preview fails",
         kCommandPrintThumbnails,
         [] {},
         -1,
         6300,
         dialog_proc<6300>,
         0,
         {},
         L"印刷プレビューに失敗しました。"},
        {"caption settings confirmed",
         kCommandCaptionSettings,
         [] {},
         1,
         5800,
         dialog_proc<5800>,
         0,
         {{0, kViewRelayout, 1}, {1, kViewRelayout, 1}},
         nullptr},
        {"caption settings cancelled",
         kCommandCaptionSettings,
         [] {},
         2,
         5800,
         dialog_proc<5800>,
         0,
         {},
         nullptr},
        {"tools page", kCommandRegisterTools, [] {}, 1, 3500, dialog_proc<3500>, 4, {}, nullptr},
        {"options on the last page",
         kCommandOptions,
         [] { g_shell.main_settings.options_page = 2; },
         1,
         3500,
         dialog_proc<3500>,
         2,
         {},
         nullptr},
        {"options while the other view builds",
         kCommandOptions,
         [] { view_state(1).busy = 2; },
         1,
         0,
         nullptr,
         0,
         {},
         nullptr},
        {"options while a conversion runs",
         kCommandOptions,
         [] { stand_in::set_batch_state(nullptr, true); },
         1,
         0,
         nullptr,
         0,
         {},
         nullptr},
        {"main window help", 7411, [] {}, 1, 6700, dialog_proc<6700>, 0, {}, nullptr},
        {"single view help", 7412, [] {}, 1, 6750, dialog_proc<6750>, 0, {}, nullptr},
        {"edit window help", 7413, [] {}, 1, 6770, dialog_proc<6770>, 0, {}, nullptr},
        {"slide show help", 7414, [] {}, 1, 6780, dialog_proc<6780>, 0, {}, nullptr},
        {"batch conversion help", 7415, [] {}, 1, 6790, dialog_proc<6790>, 0, {}, nullptr},
        {"comment of a JPEG",
         kCommandComment,
         [this] {
             set_view(0, {u"*a.jpg", u"b.png"});
         },
         1,
         5200,
         dialog_proc<5200>,
         0,
         {},
         nullptr},
        {"comment of a missing PNG",
         kCommandComment,
         [this] {
             set_view(0, {u"a.jpg", u"*b.png"});
         },
         1,
         0,
         nullptr,
         0,
         {},
         L"データ読み取りに失敗しました。"},
        {"comment of a BMP",
         kCommandComment,
         [this] { set_view(0, {u"*c.bmp"}); },
         1,
         0,
         nullptr,
         0,
         {},
         nullptr},
        {"help file missing", kCommandHelpFile, [] {}, 1, 0, nullptr, 0, {}, nullptr},
        {"rename as the information-area action of view 2",
         0,
         [] {
             g_shell.main_settings.action_info_double = 3;
             PostMessageW(g_shell.main_window, kAppMessage, kMainActionInfo2, 1);
         },
         1,
         5500,
         dialog_proc<5500>,
         0x10000 + 7021,
         {},
         nullptr},
        {"version window that cannot be made",
         kCommandVersion,
         [] {},
         1,
         0,
         nullptr,
         0,
         {},
         L"メモリ確保に失敗しました。"},
    };
    for (const Case& c : cases) {
        set_view(0, {u"a.jpg", u"b.png", u"c.bmp"});
        set_view(1, {u"d.jpg", u"e.gif"});
        g_shell.active_view = 0;
        stand_in::set_batch_state(nullptr, false);
        c.before();
        g_dialogs.clear();
        g_posted.clear();
        g_boxes.clear();
        g_dialog_result = c.result;
        command(c.id);
        if (c.dialog) {
            ASSERT_EQ(g_dialogs.size(), 1u) << c.what;
            EXPECT_EQ(g_dialogs[0].id, c.dialog) << c.what;
            EXPECT_EQ(g_dialogs[0].procedure, c.procedure) << c.what;
            EXPECT_EQ(g_dialogs[0].parameter, c.parameter) << c.what;
        } else {
            EXPECT_TRUE(g_dialogs.empty()) << c.what;
        }
        EXPECT_EQ(g_posted, c.posted) << c.what;
        if (c.box) {
            ASSERT_EQ(g_boxes.size(), 1u) << c.what;
            EXPECT_EQ(g_boxes[0], c.box) << c.what;
        } else {
            EXPECT_TRUE(g_boxes.empty()) << c.what;
        }
    }
    stand_in::set_batch_state(nullptr, false);

    command(kCommandWallpaper);
    EXPECT_EQ(g_wallpaper_calls, 1);
}

TEST_F(CommandsTest, AcceleratorHidesThePreviewFirst) {
    HWND preview = g_shell.preview_window;
    g_shell.preview_window = g_recorder[1];
    command(kCommandSelectAll, 1);
    EXPECT_EQ(g_posted, (std::vector<Posted>{{1, kPreviewHide, 0}, {0, kViewToggleMarks, 0}}));
    g_posted.clear();
    command(kCommandSelectAll, 0);
    EXPECT_EQ(g_posted, (std::vector<Posted>{{0, kViewToggleMarks, 0}}));
    g_shell.preview_window = preview;
}

TEST_F(CommandsTest, DeletedFilesLeaveTheViewsAndTheOtherViewOfTheFolderReloads) {
    for (const wchar_t* name : {L"a.jpg", L"b.png", L"c.bmp"}) touch(folder_[0] + L"\\" + name);
    g_shell.main_settings.delete_silently = 1;
    set_view(0, {u"*a.jpg", u"b.png", u"*c.bmp"});
    views_[1].set(to_u16(folder_[0]), {u"a.jpg", u"b.png", u"c.bmp"});
    view_state(1) = views_[1].state;
    command(kCommandDelete);
    EXPECT_EQ(GetFileAttributesW((folder_[0] + L"\\a.jpg").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW((folder_[0] + L"\\c.bmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW((folder_[0] + L"\\b.png").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(g_posted,
              (std::vector<Posted>{{0, kViewRemoveMarked, 0}, {1, kViewClear, 0}, {1, kViewRefresh, 0}}));

    // While the other view builds the same folder nothing is deleted.
    g_posted.clear();
    set_view(0, {u"a.jpg", u"*b.png"});
    view_state(1).busy = kViewBuilding;
    command(kCommandDelete);
    EXPECT_NE(GetFileAttributesW((folder_[0] + L"\\b.png").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(g_posted.empty());
    g_shell.main_settings.delete_silently = 0;
}

// The shell's own boxes (its confirmations) are answered in turn from this list; each box is
// answered once.
std::vector<int> g_shell_box_answers;
std::vector<HWND> g_answered_boxes;

BOOL CALLBACK answer_one_box(HWND window, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    if (std::find(g_answered_boxes.begin(), g_answered_boxes.end(), window) != g_answered_boxes.end())
        return TRUE;
    if (g_shell_box_answers.empty()) return FALSE;
    g_answered_boxes.push_back(window);
    PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(g_shell_box_answers.front()), 0);
    g_shell_box_answers.erase(g_shell_box_answers.begin());
    return FALSE;
}

void CALLBACK answer_shell_boxes(HWND, UINT, UINT_PTR, DWORD) noexcept {
    EnumThreadWindows(GetCurrentThreadId(), answer_one_box, 0);
}

// A delete that stops half-way, because the shell cannot bin a file (it is open elsewhere) and
// either gives up (failure) or asks and is told no (cancel), has binned the files before it:
// the view must not go on showing those. One that is cancelled before anything went changes
// nothing. The other view of the folder reloads whenever a file went.
TEST_F(CommandsTest, AStoppedDeleteLeavesTheViewsShowingWhatIsLeft) {
    struct Case {
        const char* what;
        int silently;
        std::vector<int> answers;  // to the shell's boxes, in turn
        bool a_goes;
        std::vector<Posted> posted;
    } const cases[] = {
        {"the shell fails on the open file",
         1,
         {},
         true,
         {{0, kViewClear, 0}, {0, kViewRefresh, 0}, {1, kViewClear, 0}, {1, kViewRefresh, 0}}},
        {"the user declines deleting the open file for good",
         0,
         {IDYES, IDNO},
         true,
         {{0, kViewClear, 0}, {0, kViewRefresh, 0}, {1, kViewClear, 0}, {1, kViewRefresh, 0}}},
        {"the user cancels at once", 0, {IDNO}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring folder = make_folder("stopped delete");
        for (const wchar_t* name : {L"a.jpg", L"b.png", L"c.bmp"}) touch(folder + L"\\" + name);
        views_[0].set(to_u16(folder), {u"*a.jpg", u"*b.png", u"*c.bmp"});
        view_state(0) = views_[0].state;
        views_[1].set(to_u16(folder), {u"a.jpg", u"b.png", u"c.bmp"});
        view_state(1) = views_[1].state;
        g_shell.main_settings.delete_silently = c.silently;
        // Open without sharing: nothing can move or delete it meanwhile.
        HANDLE held = CreateFileW((folder + L"\\b.png").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        g_shell_box_answers = c.answers;
        g_answered_boxes.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, answer_shell_boxes);
        g_posted.clear();
        command(kCommandDelete);
        KillTimer(nullptr, timer);
        CloseHandle(held);
        EXPECT_TRUE(g_shell_box_answers.empty());
        EXPECT_EQ(GetFileAttributesW((folder + L"\\a.jpg").c_str()) == INVALID_FILE_ATTRIBUTES, c.a_goes);
        EXPECT_NE(GetFileAttributesW((folder + L"\\b.png").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(g_posted, c.posted);
    }
    g_shell.main_settings.delete_silently = 0;
}

TEST_F(CommandsTest, BatchConversionStartsOnceWithTheViewsFolder) {
    g_shell.active_view = 1;
    command(kCommandBatchConversion);
    ASSERT_TRUE(pump_until([] { return !g_batch_arguments.empty() && !g_shell.batch_thread.valid(); }));
    EXPECT_EQ(g_batch_arguments[0], reinterpret_cast<void*>(1));
    EXPECT_EQ(std::wstring(handover_path()), folder_[1]);
    // Refused while a view builds: the pending path is left alone.
    handover_path()[0] = 0;
    view_state(0).busy = kViewBuilding;
    command(kCommandBatchConversion);
    EXPECT_EQ(g_batch_arguments.size(), 1u);
    EXPECT_EQ(handover_path()[0], 0);
}

TEST_F(CommandsTest, OneImageWindowAtATimeAlsoAcrossTheEditRequest) {
    set_view(0, {u"a.jpg", u"*b.png", u"*c.bmp"});
    command(kCommandSingleViewFullScreen);
    ASSERT_EQ(g_view_window_modes, std::vector<int>{1});
    EXPECT_EQ(g_paths_at_start[0], folder_[0] + L"\\b.png");
    EXPECT_TRUE(image_window_running());
    // Every other launcher of an image window does nothing meanwhile.
    g_shell.main_settings.action_image_double = 2;
    PostMessageW(g_shell.main_window, kAppMessage, kMainActionImage1, 2);
    command(kCommandEditWindow);
    command(kCommandSlideShow);
    PostMessageW(g_shell.main_window, kAppMessage, kMainOpenEditWindow, 0);
    drain();
    EXPECT_EQ(g_edit_starts, 0);
    EXPECT_EQ(g_view_window_modes.size(), 1u);

    // The single view ends asking for the edit window: 170 reaps it, 180 opens the editor.
    g_view_wants_edit = 1;
    SetEvent(g_view_may_end);
    ASSERT_TRUE(pump_until([] { return g_edit_starts == 1; }));
    EXPECT_TRUE(image_window_running());
    // A second edit request while the editor runs starts nothing.
    PostMessageW(g_shell.main_window, kAppMessage, kMainOpenEditWindow, 0);
    drain();
    EXPECT_EQ(g_edit_starts, 1);
    SendMessageW(stand_in::current_image_window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(pump_until([] { return !image_window_running(); }));

    // The slide show starts at entry 0, whatever is marked.
    g_view_wants_edit = 0;
    command(kCommandSlideShow);
    ASSERT_EQ(g_view_window_modes, (std::vector<int>{1, 2}));
    EXPECT_EQ(g_paths_at_start.back(), folder_[0] + L"\\a.jpg");
    ASSERT_TRUE(pump_until([] { return !image_window_running(); }));

    // The mouse action opens the entry the view reported.
    PostMessageW(g_shell.main_window, kAppMessage, kMainActionImage1, 2);
    ASSERT_TRUE(pump_until([] { return g_edit_starts == 2; }));
    EXPECT_EQ(g_paths_at_start.back(), folder_[0] + L"\\c.bmp");
    SendMessageW(stand_in::current_image_window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(pump_until([] { return !image_window_running(); }));
}

class LaunchTest : public CommandsTest {
protected:
    void SetUp() override {
        CommandsTest::SetUp();
        log_ = to_wide(unique_scratch_path("launch.log"));
        SetEnvironmentVariableW(L"PX_STAND_IN_LOG", log_.c_str());
        set_viewer_folder(viewer_folder().c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"PX_STAND_IN_LOG", nullptr);
        CommandsTest::TearDown();
    }

    static std::wstring viewer_folder() {
        const std::string dir = PX_STAND_IN_VIEWER_DIR;
        std::wstring out(dir.begin(), dir.end());
        std::replace(out.begin(), out.end(), L'/', L'\\');
        return out;
    }

    // The logged command lines, in the order the processes were created.
    std::vector<std::string> logged(size_t expected) {
        std::vector<std::pair<std::string, std::string>> lines;
        pump_until([&] {
            lines.clear();
            std::ifstream in(std::string(log_.begin(), log_.end()).c_str(), std::ios::binary);
            std::string line;
            while (std::getline(in, line)) {
                const size_t tab = line.find('\t');
                if (tab != std::string::npos) lines.emplace_back(line.substr(0, tab), line.substr(tab + 1));
            }
            return lines.size() >= expected;
        });
        Sleep(300);  // anything beyond the expected lines
        lines.clear();
        std::ifstream in(std::string(log_.begin(), log_.end()).c_str(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            const size_t tab = line.find('\t');
            if (tab != std::string::npos) lines.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        }
        std::stable_sort(lines.begin(), lines.end());
        std::vector<std::string> out;
        for (const auto& l : lines) out.push_back(l.second);
        return out;
    }

    // The parameters after the program's own quoted path.
    static std::string parameters(const std::string& command_line) {
        size_t start = 0;
        if (!command_line.empty() && command_line[0] == '"') {
            start = command_line.find('"', 1) + 1;
        } else {
            start = command_line.find(' ');
        }
        while (start < command_line.size() && command_line[start] == ' ') ++start;
        return start < command_line.size() ? command_line.substr(start) : std::string();
    }

    std::string narrow(const std::wstring& s) {
        char buffer[2048];
        const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
        return n > 0 ? std::string(buffer, n - 1) : std::string();
    }

    std::wstring log_;
};

TEST_F(LaunchTest, ViewerProcessesFollowTheLimitOrderAndQuoting) {
    g_shell.main_settings.viewer_limit = 4;
    set_view(0, {u"*a.jpg", u"*b c.png", u"d.bmp", u"*e.gif"});
    set_view(1, {u"*f.jpg", u"g.jpg", u"*h.jpg"});
    command(kCommandViewer);
    const std::vector<std::string> lines = logged(4);
    ASSERT_EQ(lines.size(), 4u);
    const std::string one = narrow(folder_[0]);
    const std::string two = narrow(folder_[1]);
    EXPECT_EQ(parameters(lines[0]), "\"" + one + "\\a.jpg\"");
    EXPECT_EQ(parameters(lines[1]), "\"" + one + "\\b c.png\"");
    EXPECT_EQ(parameters(lines[2]), "\"" + one + "\\e.gif\"");
    EXPECT_EQ(parameters(lines[3]), "\"" + two + "\\f.jpg\"");
}

TEST_F(LaunchTest, ViewerWithoutMarksOpensEntryZeroOfTheOtherViewWhenThisOneIsEmpty) {
    set_view(0, {});
    set_view(1, {u"f.jpg", u"g.jpg"});
    // The views' own action code 13 is the viewer.
    g_shell.main_settings.action_info_double = 13;
    PostMessageW(g_shell.main_window, kAppMessage, kMainActionInfo1, 0);
    drain();
    const std::vector<std::string> lines = logged(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(parameters(lines[0]), "\"" + narrow(folder_[1]) + "\\f.jpg\"");
}

TEST_F(LaunchTest, ExternalToolGetsItsParametersAndTheMarkedFiles) {
    MainSettings& s = g_shell.main_settings;
    const std::wstring program = viewer_folder() + L"\\Qelvo.exe";
    s.tool_path[2] = to_u16(program);
    s.tool_params[2] = u"-a";
    set_view(1, {u"*f.jpg", u"g.jpg", u"*h i.jpg"});
    g_shell.active_view = 1;
    command(kCommandToolFirst + 2);
    std::vector<std::string> lines = logged(1);
    ASSERT_EQ(lines.size(), 1u);
    const std::string two = narrow(folder_[1]);
    EXPECT_EQ(parameters(lines[0]), "-a \"" + two + "\\f.jpg\" \"" + two + "\\h i.jpg\"");
    EXPECT_TRUE(g_boxes.empty());

    // A marked path too long for a path buffer: nothing starts, the failure is shown.
    DeleteFileW(log_.c_str());
    set_view(1, {u"*f.jpg", u"*" + std::u16string(250, u'x') + u".jpg"});
    command(kCommandToolFirst + 2);
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{L"ファイル実行に失敗しました。"});
    EXPECT_TRUE(logged(0).empty());

    // An empty program path does nothing.
    g_boxes.clear();
    s.tool_path[3].clear();
    command(kCommandToolFirst + 3);
    EXPECT_TRUE(g_boxes.empty());
    s.tool_path[2].clear();
    s.tool_params[2].clear();
}

TEST_F(LaunchTest, AssociatedProgramFailureIsShownAndTheMarksStay) {
    set_view(0, {u"*missing.pxq", u"*b.png", u"*c.bmp"});
    command(kCommandAssociatedProgram);
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{L"ファイル実行に失敗しました。"});
    EXPECT_EQ(view_state(0).marked_count, 3);
}

TEST_F(CommandsTest, ExitClosesTheMainWindow) {
    for (int i = 0; i < 2; ++i) {
        view_state(i) = ViewState{};
        g_shell.view_frame[i] = saved_frame_[i];
    }
    command(kCommandExitProgram);
    EXPECT_TRUE(pump_until([] { return g_shell.main_window == nullptr; }, 15000));
}

}  // namespace

namespace {

bool item_greyed(int popup_position, int id) {
    HMENU popup = main_menu_popup(popup_position);
    SendMessageW(g_shell.main_window, WM_INITMENUPOPUP, WPARAM(popup), popup_position);
    return (GetMenuState(popup, UINT(id), MF_BYCOMMAND) & MF_GRAYED) != 0;
}

}  // namespace

// The dialog comes from the program's table through the modal-dialog routine and hands its
// result back; without its entry the command is greyed in the real popup and, posted anyway,
// shows and changes nothing.
TEST_F(CommandsTest, RegisteredDialogOpensWithItsParameterAndAnEmptyEntryGreysItsCommand) {
    const ShellEntryPoints saved_table = shell_entry_points();
    const ModalDialogRunner previous = test_double_dialog::reset();
    ShellEntryPoints table = saved_table;
    test_double_dialog::fill_entry_points(&table);
    table.create_version_window = nullptr;
    install_shell_entry_points(table);
    EXPECT_FALSE(item_greyed(1, kCommandCaptionSettings));
    for (INT_PTR result : {INT_PTR(1), INT_PTR(2)}) {
        SCOPED_TRACE(result);
        test_double_dialog::g_openings.clear();
        test_double_dialog::g_result = result;
        g_posted.clear();
        SendMessageW(g_shell.main_window, WM_COMMAND, kCommandCaptionSettings, 0);
        drain();
        ASSERT_EQ(test_double_dialog::g_openings.size(), 1u);
        EXPECT_EQ(test_double_dialog::g_openings[0].dialog_id, 5800);
        EXPECT_EQ(test_double_dialog::g_openings[0].parameter, 0);
        const bool relaid = std::any_of(g_posted.begin(), g_posted.end(), [](const Posted& p) {
            return p.code == kViewRelayout && p.value == 1;
        });
        EXPECT_EQ(relaid, result == 1);
    }

    table.display_info_dialog_proc = nullptr;
    install_shell_entry_points(table);
    EXPECT_TRUE(item_greyed(1, kCommandCaptionSettings));
    EXPECT_TRUE(item_greyed(4, kCommandVersion));
    test_double_dialog::g_openings.clear();
    g_posted.clear();
    g_boxes.clear();
    PostMessageW(g_shell.main_window, WM_COMMAND, kCommandCaptionSettings, 0);
    PostMessageW(g_shell.main_window, WM_COMMAND, kCommandVersion, 0);
    drain();
    EXPECT_TRUE(test_double_dialog::g_openings.empty());
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_TRUE(g_posted.empty());
    EXPECT_FALSE(on_main_command(g_shell.main_window, kCommandVersion, 0));

    set_modal_dialog_runner(previous);
    install_shell_entry_points(saved_table);
}
