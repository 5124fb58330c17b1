// Folder watching under Wine on scratch folders, without the view threads: the views' folders
// are set directly.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "shell/folder_watch.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"
#include "tests/shell/unique_scratch.h"

namespace {

std::wstring make_folder(const char* name) {
    const std::u16string path = unique_scratch_path(name);
    const std::wstring folder(path.begin(), path.end());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void create_file(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

// The notification arrives asynchronously: wait for it before polling.
void wait_for_notification(int view) {
    if (g_shell.folder_watch[view].valid()) WaitForSingleObject(g_shell.folder_watch[view].get(), 5000);
}

class FolderWatchTest : public ::testing::Test {
protected:
    void TearDown() override {
        bool ignored[2];
        poll_folder_watch(&ignored[0], &ignored[1]);
        open_folder_in_view(0, L"");
        open_folder_in_view(1, L"");
    }
};

TEST_F(FolderWatchTest, NewFileIsReportedOnceForItsViewOnly) {
    const std::wstring a = make_folder("watch-a");
    const std::wstring b = make_folder("watch-b");
    open_folder_in_view(0, a.c_str());
    open_folder_in_view(1, b.c_str());
    start_folder_watch();
    ASSERT_TRUE(g_shell.folder_watch[0].valid());
    ASSERT_TRUE(g_shell.folder_watch[1].valid());
    create_file(a + L"\\new.bmp");
    wait_for_notification(0);
    bool changed[2] = {false, true};
    poll_folder_watch(&changed[0], &changed[1]);
    EXPECT_TRUE(changed[0]);
    EXPECT_FALSE(changed[1]);
    EXPECT_FALSE(g_shell.folder_watch[0].valid());
    poll_folder_watch(&changed[0], &changed[1]);
    EXPECT_FALSE(changed[0]);
    EXPECT_FALSE(changed[1]);
}

TEST_F(FolderWatchTest, ClosedWatchesReportNothing) {
    const std::wstring a = make_folder("watch-closed");
    open_folder_in_view(0, a.c_str());
    start_folder_watch();
    ASSERT_TRUE(g_shell.folder_watch[0].valid());
    close_view_change_notifications();
    EXPECT_FALSE(g_shell.folder_watch[0].valid());
    create_file(a + L"\\late.gif");
    bool changed[2] = {true, true};
    poll_folder_watch(&changed[0], &changed[1]);
    EXPECT_FALSE(changed[0]);
    EXPECT_FALSE(changed[1]);
}

TEST_F(FolderWatchTest, UnwantedOutputEndsItsWatchUnreported) {
    const std::wstring a = make_folder("watch-unwanted");
    open_folder_in_view(0, a.c_str());
    start_folder_watch();
    create_file(a + L"\\x.png");
    wait_for_notification(0);
    bool changed2 = true;
    poll_folder_watch(nullptr, &changed2);
    EXPECT_FALSE(changed2);
    EXPECT_FALSE(g_shell.folder_watch[0].valid());
    bool changed1 = true;
    poll_folder_watch(&changed1, nullptr);
    EXPECT_FALSE(changed1);
}

TEST_F(FolderWatchTest, EmptyOrMissingFolderIsNeverReported) {
    const std::wstring missing = make_folder("watch-parent") + L"\\missing";
    open_folder_in_view(0, L"");
    open_folder_in_view(1, missing.c_str());
    start_folder_watch();
    EXPECT_FALSE(g_shell.folder_watch[0].valid());
    EXPECT_FALSE(g_shell.folder_watch[1].valid());
    CreateDirectoryW(missing.c_str(), nullptr);
    create_file(missing + L"\\late.jpg");
    bool changed[2] = {true, true};
    poll_folder_watch(&changed[0], &changed[1]);
    EXPECT_FALSE(changed[0]);
    EXPECT_FALSE(changed[1]);
}

TEST_F(FolderWatchTest, RestartDropsEarlierChanges) {
    const std::wstring a = make_folder("watch-restart");
    open_folder_in_view(0, a.c_str());
    start_folder_watch();
    create_file(a + L"\\before.gif");
    wait_for_notification(0);
    start_folder_watch();
    bool changed = true;
    poll_folder_watch(&changed, nullptr);
    EXPECT_FALSE(changed);
}

}  // namespace
