// Paths handed to the running program (a command line at start, a second start's argument, files
// dropped on the main window) arrive in the folder tree: registered, selected and opened in the
// active view.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "shell/folder_tree.h"
#include "shell/main_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/thumbnail_view.h"
#include "tests/shell/stand_in_subsystems.h"
#include "tests/shell/unique_scratch.h"

namespace {

int answer_ok(HWND, const wchar_t*, const wchar_t*, UINT) {
    return IDOK;
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

std::wstring wide_of(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

std::wstring long_form(const std::wstring& path) {
    wchar_t out[MAX_PATH] = {};
    const DWORD n = GetLongPathNameW(path.c_str(), out, MAX_PATH);
    return n && n < MAX_PATH ? std::wstring(out) : path;
}

HDROP make_drop(const std::wstring& path) {
    const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), path.c_str(),
                path.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring shown_in(int view) {
    wchar_t folder[MAX_PATH] = {};
    view_folder(view, folder);
    return folder;
}

std::wstring selected_folder() {
    wchar_t path[MAX_PATH] = {};
    HTREEITEM item = TreeView_GetSelection(g_shell.tree);
    if (!item || !tree_item_stored_path(item, path)) return L"";
    return path;
}

bool registered(const std::wstring& path) {
    for (const std::u16string& f : g_shell.main_settings.folders)
        if (wide_of(f) == path) return true;
    return false;
}

class TreePathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_hook_ = set_message_box_hook(answer_ok);
        appdata_ = scratch(L"appdata");
        lstrcpynW(g_shell.appdata_folder, appdata_.c_str(), MAX_PATH);
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.os_class = detect_os_version();
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        stand_in::install();
    }

    void TearDown() override {
        if (g_shell.main_window) {
            PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
            pump_until([] { return g_shell.main_window == nullptr; }, 15000);
        }
        set_message_box_hook(previous_hook_);
        g_shell.appdata_folder[0] = 0;
        set_startup_command_line(nullptr);
        CoUninitialize();
    }

    static std::wstring scratch(const wchar_t* name) {
        const std::wstring path = wide_of(unique_scratch_path("paths")) + L"-" + name;
        CreateDirectoryW(path.c_str(), nullptr);
        return long_form(path);
    }

    // The folder is registered, the tree's selection and the active view's folder.
    static void expect_arrived(const std::wstring& folder) {
        EXPECT_TRUE(registered(folder)) << folder.c_str();
        EXPECT_EQ(selected_folder(), folder);
        EXPECT_TRUE(pump_until([&] { return shown_in(g_shell.active_view) == folder; }));
    }

    MessageBoxHook previous_hook_ = nullptr;
    std::wstring appdata_;
};

TEST_F(TreePathsTest, CommandLineForwardedAndDroppedPathsArriveInTheTree) {
    const std::wstring at_start = scratch(L"start");
    const std::wstring forwarded = scratch(L"forwarded");
    const std::wstring dropped = scratch(L"dropped");
    HANDLE file =
        CreateFileW((dropped + L"\\pic.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    ASSERT_TRUE(start_single_instance(SW_SHOWNORMAL, (L"Pexaron.exe \"" + at_start + L"\"").c_str()));
    ASSERT_TRUE(pump_until([] { return startup_tail_done(); }));
    ASSERT_NE(g_shell.tree, nullptr);
    expect_arrived(at_start);

    // A second start hands its argument over; the first window takes it in its active view.
    g_shell.active_view = 1;
    EXPECT_FALSE(start_single_instance(SW_SHOWNORMAL, (L"Pexaron.exe \"" + forwarded + L"\"").c_str()));
    pump_until([] { return false; }, 200);
    expect_arrived(forwarded);
    EXPECT_EQ(shown_in(0), at_start);

    // A file dropped on the main window opens its folder.
    g_shell.active_view = 0;
    PostMessageW(g_shell.main_window, kAppMessage, kMainFilesDropped,
                 reinterpret_cast<LPARAM>(make_drop(dropped + L"\\pic.jpg")));
    pump_until([] { return false; }, 200);
    expect_arrived(dropped);
    EXPECT_EQ(shown_in(1), forwarded);
}

}  // namespace
