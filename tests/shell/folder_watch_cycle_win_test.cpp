// The watching cycle through the real main window: the views' folders are watched while the
// program is inactive and the changed ones refreshed when it comes back.
#include <windows.h>

#include "shell/folder_watch.h"
#include "shell/thumbnail_view.h"
#include "tests/shell/running_app.h"

namespace {

using running_app::PostedCodes;
using running_app::pump_for;
using running_app::pump_until;

void create_file(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

class FolderWatchCycleTest : public running_app::RunningAppTest {
protected:
    void SetUp() override {
        RunningAppTest::SetUp();
        SettingsFileBuilder settings;
        start_app(settings);
        folder_[0] = running_app::make_scratch_folder("cycle-1");
        folder_[1] = running_app::make_scratch_folder("cycle-2");
        open_folder_in_view(0, folder_[0].c_str());
        open_folder_in_view(1, folder_[1].c_str());
        // The clear and refresh of opening the folders must be behind us before recording.
        pump_for(300);
    }

    void TearDown() override {
        bool ignored[2];
        poll_folder_watch(&ignored[0], &ignored[1]);
        open_folder_in_view(0, L"");
        open_folder_in_view(1, L"");
        RunningAppTest::TearDown();
    }

    // The notification is signalled asynchronously: let it arrive before returning.
    void settle_watch(int view) {
        if (g_shell.folder_watch[view].valid() && g_shell.folder_watch[view].get())
            WaitForSingleObject(g_shell.folder_watch[view].get(), 2000);
    }

    std::wstring folder_[2];
};

// Another program's thread (ids are small multiples of 4): activation passing to it sends the
// program into the background.
DWORD foreign_thread() {
    return 0x7FFFFFFC;
}

TEST_F(FolderWatchCycleTest, FolderChangedWhileInactiveIsRefreshedOnReturn) {
    enum class Away { foreign_program, own_view_thread, preview_to_foreign_program, stays_active };
    struct Case {
        const char* what;
        Away away;
        bool change_view1;
        bool disabled_on_return;  // a modal dialog is up
        bool refreshed;
    } cases[] = {
        {"changed while away", Away::foreign_program, true, false, true},
        {"nothing changed", Away::foreign_program, false, false, false},
        {"activation stayed in the program", Away::own_view_thread, true, false, false},
        {"the preview handed activation away", Away::preview_to_foreign_program, true, false, true},
        {"changed while the program was active", Away::stays_active, true, false, false},
        {"a modal dialog is up on return", Away::foreign_program, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PostedCodes posted({g_shell.view_frame[0], g_shell.view_frame[1]}, false);
        ASSERT_TRUE(posted.installed());
        switch (c.away) {
            case Away::foreign_program:
                SendMessageW(g_shell.main_window, WM_ACTIVATEAPP, FALSE, foreign_thread());
                break;
            case Away::own_view_thread:
                SendMessageW(g_shell.main_window, WM_ACTIVATEAPP, FALSE, g_shell.view_thread_id[1]);
                break;
            case Away::preview_to_foreign_program:
                SendMessageW(g_shell.preview_window, WM_ACTIVATEAPP, FALSE, foreign_thread());
                break;
            case Away::stays_active: break;
        }
        const std::wstring name = folder_[0] + L"\\" + std::to_wstring(GetTickCount()) + L".bmp";
        if (c.change_view1) create_file(name);
        settle_watch(0);
        if (c.disabled_on_return) EnableWindow(g_shell.main_window, FALSE);
        SendMessageW(g_shell.main_window, WM_ACTIVATEAPP, TRUE, foreign_thread());
        if (c.disabled_on_return) EnableWindow(g_shell.main_window, TRUE);
        if (c.refreshed) {
            EXPECT_TRUE(
                pump_until([&] { return posted.codes_for(g_shell.view_frame[0]).size() >= 2; }, 5000));
        } else {
            pump_for(300);
        }
        const std::vector<WPARAM> expected =
            c.refreshed ? std::vector<WPARAM>{kViewClear, kViewRefresh} : std::vector<WPARAM>{};
        EXPECT_EQ(posted.codes_for(g_shell.view_frame[0]), expected);
        // The scroll position is kept: the refresh does not ask for the top.
        for (const running_app::PostedCode& p : posted.codes()) EXPECT_EQ(p.value, 0);
        EXPECT_TRUE(posted.codes_for(g_shell.view_frame[1]).empty());
        // Whatever happened, the next return starts from a closed watch.
        bool ignored[2];
        poll_folder_watch(&ignored[0], &ignored[1]);
    }
}

}  // namespace
