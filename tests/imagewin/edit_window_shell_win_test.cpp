// The edit window started through the main window's own paths under Wine, on fixtures: a view's
// entry opened in the edit window, the single view's hand-over (command 8201, code 180), and the
// program's close refused while a box of the edit window is up.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_state.h"
#include "imagewin/edit_window.h"
#include "imagewin/single_view.h"
#include "loading/codec_set.h"
#include "shell/launch.h"
#include "shell/main_window.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/thumbnail_view_parts.h"

namespace {

const wchar_t* const kFixtureFolder = L"" PX_TEST_SOURCE_DIR "/tests/codecs/browser_fixtures";

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
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

// The main window as far as these paths go: its private codes reach the shell's own handler.
LRESULT CALLBACK main_codes_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == kAppMessage) {
        main_app_message(wparam, lparam);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

std::vector<std::wstring> g_boxes;
HANDLE g_box_release = nullptr;  // while set, a box waits for it
volatile LONG g_box_up = 0;

int answering_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    g_boxes.push_back(text);
    if (g_box_release) {
        InterlockedExchange(&g_box_up, 1);
        WaitForSingleObject(g_box_release, 10000);
        InterlockedExchange(&g_box_up, 0);
    }
    return IDOK;
}

std::wstring class_of(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

class EditThroughShellWin : public ::testing::Test {
protected:
    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        ASSERT_TRUE(create_codec_contexts());
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        g_shell.instance = instance;
        for (int32_t& flag : g_shell.main_settings.help_at_start) flag = 0;
        ASSERT_TRUE(register_single_view_classes(instance));
        const struct {
            const wchar_t* name;
            WNDPROC procedure;
        } classes[] = {{L"Pexaron_swin_class", edit_window_proc},
                       {L"Pexaron_sch1_class", DefWindowProcW},
                       {L"Pexaron_sch2_class", DefWindowProcW},
                       {L"edit_through_shell_main", main_codes_proc}};
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
        install_shell_entry_points(table);
        g_shell.main_window = CreateWindowExW(0, L"edit_through_shell_main", nullptr, WS_POPUP, 0, 0, 10, 10,
                                              nullptr, nullptr, instance, nullptr);
        ASSERT_NE(g_shell.main_window, nullptr);
        g_boxes.clear();
        previous_hook_ = set_message_box_hook(answering_box);
    }

    void TearDown() override {
        if (HWND image = shell_entry_points().current_image_window()) PostMessageW(image, WM_CLOSE, 0, 0);
        EXPECT_TRUE(pump_until([] { return !g_shell.image_thread.valid(); }));
        view_state(0) = ViewState{};
        DestroyWindow(g_shell.main_window);
        g_shell.main_window = nullptr;
        install_shell_entry_points(ShellEntryPoints{});
        set_message_box_hook(previous_hook_);
        g_edit_state = EditState{};
        g_shell.single_view = SingleViewSettings{};
        handover_path()[0] = 0;
        destroy_codec_contexts();
    }

    // View 0 shows the fixture folder with these entries.
    void show_in_view(const std::vector<std::wstring>& names) {
        entries_.assign(names.size(), FileEntry{});
        for (size_t i = 0; i < names.size(); ++i)
            lstrcpynW(reinterpret_cast<wchar_t*>(entries_[i].name), names[i].c_str(), kViewPathChars);
        ViewState& view = view_state(0);
        view = ViewState{};
        view.entries = entries_.data();
        view.count = int32_t(entries_.size());
        lstrcpynW(reinterpret_cast<wchar_t*>(view.folder), kFixtureFolder, kViewPathChars);
    }

    // The edit window once its first load is over.
    static HWND edit_window() {
        HWND window = shell_entry_points().current_image_window();
        if (!window || class_of(window) != L"Pexaron_swin_class") return nullptr;
        SendMessageW(window, WM_NULL, 0, 0);
        return window;
    }

    static std::wstring shown_file() {
        return reinterpret_cast<const wchar_t*>(g_edit_state.image.file_name);
    }

    std::vector<FileEntry> entries_;
    MessageBoxHook previous_hook_ = nullptr;
};

TEST_F(EditThroughShellWin, AViewEntryOpensInTheEditWindow) {
    show_in_view({L"bmp_24.bmp", L"png_text.png"});
    ASSERT_TRUE(open_image_window(0, 2, 1));
    EXPECT_TRUE(image_window_running());
    EXPECT_FALSE(open_image_window(0, 2, 0)) << "one image window at a time";
    HWND window = edit_window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(shown_file(), L"png_text.png");
    EXPECT_EQ(g_edit_state.window_kind, 1);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_NE(g_edit_state.navigator.window, nullptr);

    // Closing it ends its thread, which the main window reaps on code 170.
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(pump_until([] { return !g_shell.image_thread.valid(); }));
    EXPECT_EQ(shell_entry_points().current_image_window(), nullptr);
    EXPECT_EQ(g_edit_state.navigator.window, nullptr);
}

TEST_F(EditThroughShellWin, TheSingleViewHandsItsImageOverBy8201) {
    show_in_view({L"bmp_24.bmp"});
    ASSERT_TRUE(open_image_window(0, 0, 0));
    HWND view = shell_entry_points().current_image_window();
    ASSERT_NE(view, nullptr);
    EXPECT_NE(class_of(view), L"Pexaron_swin_class");
    ASSERT_TRUE(pump_until([] { return edit_image_loaded(); }));
    PostMessageW(view, WM_COMMAND, 8201, 0);
    // Code 170 reaps the single view, then code 180 starts the edit window on the same file.
    ASSERT_TRUE(pump_until([] { return edit_window() != nullptr; }));
    EXPECT_EQ(shown_file(), L"bmp_24.bmp");
    EXPECT_EQ(g_edit_state.window_kind, 1);
    EXPECT_FALSE(IsWindow(view));
    EXPECT_EQ(handover_path()[0], L'\0');
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(EditThroughShellWin, TheProgramStaysWhileABoxOfTheEditWindowIsUp) {
    show_in_view({L"bmp_24.bmp"});
    ASSERT_TRUE(open_image_window(0, 2, 0));
    HWND window = edit_window();
    ASSERT_NE(window, nullptr);
    g_box_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    PostMessageW(window, WM_COMMAND, 8311, 0);  // the colour count's box
    ASSERT_TRUE(pump_until([] { return g_box_up != 0; }));
    EXPECT_TRUE(shell_entry_points().image_window_modal());
    EXPECT_FALSE(shutdown_main_window());
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(g_shell.image_thread.valid());
    SetEvent(g_box_release);
    EXPECT_TRUE(pump_until([] { return g_box_up == 0; }));
    SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_FALSE(shell_entry_points().image_window_modal());
    EXPECT_TRUE(IsWindow(window)) << "the refused close leaves nothing pending";
    CloseHandle(g_box_release);
    g_box_release = nullptr;
    ASSERT_EQ(g_boxes.size(), 1u);
}

}  // namespace
