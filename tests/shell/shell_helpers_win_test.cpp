// The shell and window helpers against the real shell under Wine.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
// clang-format on
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "shell/main_menus.h"
#include "shell/main_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

std::wstring scratch_folder(const char* name) {
    const std::u16string p = unique_scratch_path(name);
    const std::wstring folder(p.begin(), p.end());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void touch(const std::wstring& path) {
    HANDLE h =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    WriteFile(h, "x", 1, &n, nullptr);
    CloseHandle(h);
}

TEST(ShellHelpersTest, CountFilesSkipsFoldersAndMissingFoldersCountZero) {
    const std::wstring folder = scratch_folder("count");
    EXPECT_EQ(count_files_in_folder(folder.c_str()), 0);
    touch(folder + L"\\a.jpg");
    touch(folder + L"\\b.txt");
    CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    touch(folder + L"\\sub\\c.png");
    EXPECT_EQ(count_files_in_folder(folder.c_str()), 2);
    EXPECT_EQ(count_files_in_folder((folder + L"\\missing").c_str()), 0);
}

TEST(ShellHelpersTest, LastWriteTimeLeavesTheOutputAloneWhenNothingMatches) {
    const std::wstring folder = scratch_folder("times");
    touch(folder + L"\\f.bmp");
    FILETIME t = {0x1234, 0x5678};
    get_last_write_time((folder + L"\\missing.bmp").c_str(), &t);
    EXPECT_EQ(t.dwLowDateTime, 0x1234u);
    EXPECT_EQ(t.dwHighDateTime, 0x5678u);
    get_last_write_time((folder + L"\\f.bmp").c_str(), &t);
    EXPECT_NE(t.dwHighDateTime, 0x5678u);
}

TEST(ShellHelpersTest, RecycleRefusesAListWithoutItsDoubleTerminator) {
    const std::wstring folder = scratch_folder("recycle");
    const std::wstring file = folder + L"\\keep.jpg";
    touch(file);
    std::wstring single = file;
    single.push_back(L'\0');  // one terminator only
    EXPECT_EQ(recycle_files(single.c_str(), single.size(), nullptr), 1);
    FILEOP_FLAGS flags = 0;
    EXPECT_EQ(recycle_files_ex(single.c_str(), single.size(), nullptr, &flags), 1);
    EXPECT_EQ(recycle_files(L"\0", 1, nullptr), 1);
    EXPECT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ShellHelpersTest, NamesCompareWithoutCase) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int sign;
    } cases[] = {{L"Photo.JPG", L"photo.jpg", 0},
                 {L"a.bmp", L"b.bmp", -1},
                 {L"b.bmp", L"A.bmp", 1},
                 {L"img2.png", L"img10.png", 1}};
    for (const Case& c : cases) {
        const int r = compare_names(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " " << c.b;
    }
}

TEST(ShellHelpersTest, MonitorRectsOfTheNearestMonitor) {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 10, 10, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    RECT work = {}, monitor = {};
    get_monitor_rects(window, &work, &monitor);
    EXPECT_GT(monitor.right - monitor.left, 0);
    EXPECT_GT(monitor.bottom - monitor.top, 0);
    // The work area lies inside the monitor.
    EXPECT_GE(work.left, monitor.left);
    EXPECT_GE(work.top, monitor.top);
    EXPECT_LE(work.right, monitor.right);
    EXPECT_LE(work.bottom, monitor.bottom);
    EXPECT_GT(work.right - work.left, 0);
    // Either output may be left out.
    RECT only = {};
    get_monitor_rects(window, nullptr, &only);
    EXPECT_TRUE(EqualRect(&only, &monitor));
    get_monitor_rects(window, &only, nullptr);
    EXPECT_TRUE(EqualRect(&only, &work));
    DestroyWindow(window);
}

TEST(ShellHelpersTest, ThousandsSeparatorsInPlace) {
    wchar_t digits[256] = L"1234567";
    insert_thousands_separators(digits);
    EXPECT_STREQ(digits, L"1,234,567");
    wchar_t small[256] = L"999";
    insert_thousands_separators(small);
    EXPECT_STREQ(small, L"999");
}

TEST(ShellHelpersTest, ShortcutRoundTrip) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring folder = scratch_folder("links");
    const std::wstring target = folder + L"\\画像.jpg";
    touch(target);
    const std::wstring link = folder + L"\\link.lnk";
    ASSERT_TRUE(create_shortcut(target.c_str(), link.c_str()));
    EXPECT_TRUE(is_shortcut(link.c_str()));
    EXPECT_FALSE(is_shortcut(target.c_str()));
    wchar_t path[MAX_PATH];
    lstrcpynW(path, link.c_str(), MAX_PATH);
    ASSERT_TRUE(resolve_shortcut(path));
    EXPECT_EQ(CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, path, -1, target.c_str(), -1),
              CSTR_EQUAL)
        << path;
    lstrcpynW(path, target.c_str(), MAX_PATH);
    EXPECT_FALSE(resolve_shortcut(path));
    CoUninitialize();
}

TEST(ShellHelpersTest, SettingsFolderPathFor) {
    const int saved_class = g_shell.os_class;
    wchar_t saved_path[MAX_PATH];
    lstrcpynW(saved_path, g_shell.settings_path, MAX_PATH);
    lstrcpynW(g_shell.settings_path, L"C:\\data\\Pexaron\\Pexaron.ini", MAX_PATH);
    g_shell.os_class = 2;
    wchar_t name[MAX_PATH] = L"save_wp.bmp";
    settings_folder_path_for(name);
    EXPECT_STREQ(name, L"C:\\data\\Pexaron\\save_wp.bmp");
    g_shell.os_class = 0;
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    lstrcpynW(name, L"save_wp.bmp", MAX_PATH);
    settings_folder_path_for(name);
    EXPECT_EQ(std::wstring(name), std::wstring(windows) + L"\\save_wp.bmp");
    g_shell.os_class = saved_class;
    lstrcpynW(g_shell.settings_path, saved_path, MAX_PATH);
}

// Records what the browse callback sends to its dialog.
std::vector<std::pair<UINT, std::wstring>> g_sent;

LRESULT CALLBACK recording_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == BFFM_SETSELECTIONW && wp == TRUE) g_sent.emplace_back(m, reinterpret_cast<const wchar_t*>(lp));
    return DefWindowProcW(w, m, wp, lp);
}

TEST(ShellCallbacksTest, BrowseCallbackPreselectsOnlyANonEmptyFolder) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = recording_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"test_browse_class";
    RegisterClassW(&wc);
    HWND dialog = CreateWindowW(L"test_browse_class", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                wc.hInstance, nullptr);
    g_sent.clear();
    EXPECT_EQ(browse_folder_callback(dialog, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(L"")), 1);
    EXPECT_EQ(browse_folder_callback(dialog, BFFM_SELCHANGED, 0, reinterpret_cast<LPARAM>(L"C:\\x")), 1);
    EXPECT_TRUE(g_sent.empty());
    EXPECT_EQ(browse_folder_callback(dialog, BFFM_INITIALIZED, 0, reinterpret_cast<LPARAM>(L"C:\\写真")), 1);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].second, L"C:\\写真");
    DestroyWindow(dialog);
}

TEST(ShellCallbacksTest, ListRowsSortByTextWithoutCase) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND list = CreateWindowW(WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 80;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    const wchar_t* rows[] = {L"beta", L"Alpha", L"ALPHA"};
    for (int i = 0; i < 3; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(rows[i]);
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    const LPARAM l = reinterpret_cast<LPARAM>(list);
    EXPECT_EQ(compare_list_items_text(1, 2, l), 0);
    EXPECT_LT(compare_list_items_text(1, 0, l), 0);
    EXPECT_GT(compare_list_items_text(0, 2, l), 0);
    DestroyWindow(list);
}

}  // namespace
