// The thumbnail views under Wine: the real program's windows and view threads, with entries
// published into a view the way its refresh publishes them.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "loading/browser_load.h"
#include "shell/core/cell_selection.h"
#include "shell/core/settings_store.h"
#include "shell/entry_points.h"
#include "shell/main_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/thumbnail_cache.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_parts.h"
#include "shell/thumbnail_view_windows.h"
#include "tests/codecs/plugin_test_format.h"
#include "tests/shell/settings_file_builder.h"
#include "tests/shell/stand_in_subsystems.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

constexpr UINT kRunOnViewThread = WM_APP + 77;
constexpr UINT kProbe = WM_APP + 78;
// What the probe saw each time the view served it.
std::vector<bool> g_probe_saw_lock;

int answer_box(HWND, const wchar_t*, const wchar_t*, UINT) {
    return IDOK;
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

void pump_a_while(DWORD ms) {
    const DWORD start = GetTickCount();
    pump_until([&] { return GetTickCount() - start >= ms; }, ms + 100);
}

// What the views posted to the main window; the codes that would open menus or start actions
// are kept from it.
struct Posted {
    WPARAM code;
    LPARAM value;
};
std::vector<Posted> g_posted;
WNDPROC g_main_proc = nullptr;
WNDPROC g_frame_proc = nullptr;

LRESULT CALLBACK recording_main_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kAppMessage && wparam >= kMainThumbMenu && wparam <= kMainShowError) {
        g_posted.push_back(Posted{wparam, lparam});
        if (wparam != kMainInfo1 && wparam != kMainInfo2 && wparam != kMainActiveView) return 0;
    }
    return CallWindowProcW(g_main_proc, window, message, wparam, lparam);
}

// Lets the test run code on a view's own thread, where its windows must be made.
LRESULT CALLBACK running_frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRunOnViewThread) {
        (*reinterpret_cast<std::function<void()>*>(lparam))();
        return 0;
    }
    if (message == kProbe) {
        g_probe_saw_lock.push_back(process_lock_held());
        return 0;
    }
    return CallWindowProcW(g_frame_proc, window, message, wparam, lparam);
}

BOOL CALLBACK count_window(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

class ThumbnailViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_posted.clear();
        previous_hook_ = set_message_box_hook(answer_box);
        const std::u16string scratch = unique_scratch_path("views");
        appdata_ = std::wstring(scratch.begin(), scratch.end());
        CreateDirectoryW(appdata_.c_str(), nullptr);
        lstrcpynW(g_shell.appdata_folder, appdata_.c_str(), MAX_PATH);
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.os_class = detect_os_version();
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        stand_in::install();
        // One view, wide and high enough for several rows of the default 144 x 108 box.
        const std::wstring folder = appdata_ + L"\\Pexaron";
        CreateDirectoryW(folder.c_str(), nullptr);
        SettingsFileBuilder b;
        b.integer(1, 0).integer(2, 0).integer(3, 900).integer(4, 700).integer(16, 1);
        more_settings(b);
        const std::wstring file = folder + L"\\Pexaron.ini";
        ASSERT_TRUE(write_bytes(std::u16string(file.begin(), file.end()), b.bytes()));
        ASSERT_TRUE(start_single_instance(SW_SHOWNORMAL, L"Pexaron.exe"));
        ASSERT_TRUE(pump_until([] { return startup_tail_done(); }));
        ASSERT_TRUE(pump_until([] {
            RECT rc = {};
            GetClientRect(view_base_window(0), &rc);
            return rc.bottom > 300 && rc.right > 400;
        }));
        g_main_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            g_shell.main_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recording_main_proc)));
        g_frame_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            view_frame_window(0), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(running_frame_proc)));
    }

    void TearDown() override {
        view_state(1).busy = 0;
        g_shell.main_active = 0;
        if (g_shell.main_window) {
            PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
            pump_until([] { return g_shell.main_window == nullptr; }, 15000);
        }
        view_state(0).folder[0] = 0;
        set_message_box_hook(previous_hook_);
        g_shell.appdata_folder[0] = 0;
        CoUninitialize();
    }

    virtual void more_settings(SettingsFileBuilder&) {}

    void on_view(std::function<void()> work) {
        SendMessageW(view_frame_window(0), kRunOnViewThread, 0, reinterpret_cast<LPARAM>(&work));
    }

    // `count` entries named f00000.jpg ... with a small thumbnail each, published and laid out
    // on the view's thread as its refresh does.
    void publish(int count) {
        on_view([count] {
            clear_view(0);
            ViewState& state = view_state(0);
            lstrcpyW(reinterpret_cast<wchar_t*>(state.folder), L"C:\\pictures");
            auto* entries = static_cast<FileEntry*>(
                VirtualAlloc(nullptr, sizeof(FileEntry) * count, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
            for (int i = 0; i < count; ++i) {
                FileEntry& e = entries[i];
                wsprintfW(reinterpret_cast<wchar_t*>(e.name), L"f%05d.jpg", i);
                e.thumbnail_header.size = 40;
                e.thumbnail_header.width = 4;
                e.thumbnail_header.height = 3;
                e.thumbnail_header.planes = 1;
                e.thumbnail_header.bit_count = 24;
                e.thumbnail_bits = alloc_thumbnail_bits(12 * 3);
                e.thumbnail_width = 4;
                e.thumbnail_height = 3;
                e.display_width = 144;
                e.display_height = 108;
                e.load_info.width = 400;
                e.load_info.height = 300;
                e.load_info.format = 3;
                e.load_info.bit_depth = 24;
            }
            state.entries = entries;
            state.count = count;
            create_view_cells(0);
            update_view_status_text(0);
        });
    }

    HWND base() { return view_base_window(0); }

    static void unmark_all_for_test() {
        ViewState& state = view_state(0);
        for (int i = 0; i < state.count; ++i) state.entries[i].marked = kEntryUnmarked;
        state.marked_count = 0;
    }

    HWND shown_cell(int index) {
        HWND cell = GetDlgItem(base(), kFirstCellControlId + index);
        return cell && IsWindowVisible(cell) ? cell : nullptr;
    }

    std::wstring status_part(int part) {
        HWND status = GetDlgItem(view_frame_window(0), 502);
        wchar_t text[64] = {};
        SendMessageW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
        return text;
    }

    std::string marks() {
        std::string out;
        const ViewState& state = view_state(0);
        for (int i = 0; i < state.count; ++i) out += state.entries[i].marked == kEntryMarked ? 'x' : '.';
        return out;
    }

    int descendant_windows(HWND parent) {
        int count = 0;
        EnumChildWindows(parent, count_window, reinterpret_cast<LPARAM>(&count));
        return count;
    }

    const Posted* last_posted(WPARAM code) {
        for (auto it = g_posted.rbegin(); it != g_posted.rend(); ++it)
            if (it->code == code) return &*it;
        return nullptr;
    }

    void scroll(WPARAM code) {
        SendMessageW(view_frame_window(0), kAppMessage, kViewScroll, static_cast<LPARAM>(code));
    }

    MessageBoxHook previous_hook_ = nullptr;
    std::wstring appdata_;
};

TEST_F(ThumbnailViewTest, ClicksMarkAndTheStatusCounts) {
    publish(10);
    EXPECT_EQ(status_part(2), L"0/10");
    struct Step {
        const char* what;
        UINT message;
        WPARAM keys;
        int index;
        bool on_caption;
        const char* marks;
        const wchar_t* status;
        int selected;  // the entry the last 153 names; -1 for 0, -2 when none was posted
    } const steps[] = {
        {"left", WM_LBUTTONDOWN, MK_LBUTTON, 3, false, "...x......", L"1/10", 3},
        {"shift", WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 6, false, "...xxxx...", L"4/10", -2},
        {"ctrl off", WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 4, false, "...x.xx...", L"3/10", -2},
        {"ctrl off again", WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 3, false, ".....xx...", L"2/10", -2},
        {"ctrl to one", WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 6, false, ".....x....", L"1/10", 5},
        {"right", WM_RBUTTONDOWN, MK_RBUTTON, 0, false, "x.........", L"1/10", 0},
        {"middle toggles", WM_MBUTTONDOWN, MK_MBUTTON, 9, false, "x........x", L"2/10", -2},
        {"caption", WM_LBUTTONDOWN, MK_LBUTTON, 2, true, "..x.......", L"1/10", 2},
        {"shift from the anchor", WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 0, true, "xxx.......", L"3/10", -2},
    };
    for (const Step& s : steps) {
        HWND cell = shown_cell(s.index);
        ASSERT_NE(cell, nullptr) << s.what;
        HWND target = s.on_caption ? GetWindow(cell, GW_CHILD) : cell;
        ASSERT_EQ(GetDlgCtrlID(target), kFirstCellControlId + s.index);
        g_posted.clear();
        SendMessageW(target, s.message, s.keys, MAKELPARAM(5, 5));
        SendMessageW(target, s.message == WM_RBUTTONDOWN ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        pump_a_while(30);
        EXPECT_EQ(marks(), s.marks) << s.what;
        EXPECT_EQ(status_part(2), s.status) << s.what;
        const Posted* p = last_posted(kMainInfo1);
        if (s.selected == -2) {
            EXPECT_EQ(p, nullptr) << s.what;
        } else {
            ASSERT_NE(p, nullptr) << s.what;
            EXPECT_EQ(entry_of_selection_message(0, p->value), &view_state(0).entries[s.selected]) << s.what;
        }
        EXPECT_EQ(g_shell.active_view, 0);
    }
    // The right click on a marked entry asked for the context menu at the screen point.
    g_posted.clear();
    HWND marked = shown_cell(1);
    SendMessageW(marked, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(7, 9));
    SendMessageW(marked, WM_RBUTTONUP, 0, MAKELPARAM(7, 9));
    pump_a_while(30);
    const Posted* menu = last_posted(kMainThumbMenu);
    ASSERT_NE(menu, nullptr);
    POINT expected = {7, 9};
    ClientToScreen(marked, &expected);
    EXPECT_EQ(static_cast<short>(LOWORD(menu->value)), expected.x);
    EXPECT_EQ(static_cast<short>(HIWORD(menu->value)), expected.y);

    // While another view is busy, Shift and Ctrl are refused and a plain click still marks.
    view_state(1).busy = 1;
    SendMessageW(shown_cell(7), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 0);
    SendMessageW(shown_cell(8), WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 0);
    EXPECT_EQ(marks(), "xxx.......");
    SendMessageW(shown_cell(8), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(marks(), "........x.");
    view_state(1).busy = 0;
}

TEST_F(ThumbnailViewTest, ASelectionMessageOutlivingItsListNamesNothing) {
    publish(4);
    SendMessageW(shown_cell(2), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    pump_a_while(30);
    const Posted* p = last_posted(kMainInfo1);
    ASSERT_NE(p, nullptr);
    const LPARAM stale = p->value;
    EXPECT_EQ(entry_of_selection_message(0, stale), &view_state(0).entries[2]);
    publish(4);  // cleared and listed again: same indexes, new list
    EXPECT_EQ(entry_of_selection_message(0, stale), nullptr);
    EXPECT_EQ(entry_of_selection_message(0, 0), nullptr);
}

TEST_F(ThumbnailViewTest, WindowCountDoesNotGrowWithTheEntriesAndScrollingShowsTheRightCells) {
    publish(2000);
    const int windows_for_2000 = descendant_windows(base());
    publish(50000);  // the most a view lists
    EXPECT_EQ(descendant_windows(base()), windows_for_2000);
    scroll(SB_BOTTOM);
    EXPECT_NE(shown_cell(49999), nullptr);
    publish(20000);
    const int windows_for_20000 = descendant_windows(base());
    EXPECT_EQ(windows_for_20000, windows_for_2000);
    EXPECT_LT(windows_for_20000, 200);
    EXPECT_EQ(status_part(2), L"0/20000");

    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(base(), SB_VERT, &si));
    HWND first = shown_cell(0);
    ASSERT_NE(first, nullptr);
    RECT cell = {};
    GetWindowRect(first, &cell);
    const int cell_height = cell.bottom - cell.top;
    RECT client = {};
    GetClientRect(base(), &client);
    const int columns = client.right / (cell.right - cell.left);
    const int rows = client.bottom / cell_height;
    EXPECT_EQ(si.nMax, cell_height * ((20000 + columns - 1) / columns) - 1);
    EXPECT_GT(si.nMax, 65535);
    EXPECT_EQ(static_cast<int>(si.nPage), cell_height * rows);
    // Every partly visible row and one more, a thumbnail and a caption window each.
    const int pool_windows = 2 * columns * ((client.bottom + cell_height - 1) / cell_height + 1);

    struct Step {
        WPARAM code;
        int first_row;  // -1: the last page
    } const steps[] = {
        {SB_PAGEDOWN, rows}, {SB_LINEDOWN, rows + 1}, {SB_LINEUP, rows}, {SB_BOTTOM, -1}, {SB_TOP, 0}};
    const int last_row_top = (si.nMax - static_cast<int>(si.nPage) + 1) / cell_height;
    for (const Step& s : steps) {
        scroll(s.code);
        const int row = s.first_row < 0 ? last_row_top : s.first_row;
        const int index = row * columns;
        EXPECT_EQ(view_state(0).first_visible, index) << s.code;
        HWND top_left = shown_cell(index);
        ASSERT_NE(top_left, nullptr) << s.code;
        RECT r = {};
        GetWindowRect(top_left, &r);
        POINT origin = {0, 0};
        ClientToScreen(base(), &origin);
        EXPECT_EQ(r.left, origin.x) << s.code;
        EXPECT_EQ(r.top, origin.y) << s.code;
        EXPECT_EQ(view_state(0).entries[index].shown, kEntryShown);
        if (index > 0) {
            EXPECT_EQ(shown_cell(index - 1), nullptr) << s.code;
            EXPECT_EQ(view_state(0).entries[index - 1].shown, 0u) << s.code;
        }
        EXPECT_LE(descendant_windows(base()), pool_windows) << s.code;
    }
    scroll(SB_BOTTOM);
    EXPECT_NE(shown_cell(19999), nullptr);
}

TEST_F(ThumbnailViewTest, RemovingMarkedEntriesKeepsTheOthersUnderTheirNewIds) {
    publish(3);
    SendMessageW(shown_cell(0), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(shown_cell(2), WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 0);
    ASSERT_EQ(marks(), "x.x");
    SendMessageW(view_frame_window(0), kAppMessage, kViewRemoveMarked, 0);
    ASSERT_EQ(view_state(0).count, 1);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(view_state(0).entries[0].name), L"f00001.jpg");
    EXPECT_NE(shown_cell(0), nullptr);
    EXPECT_EQ(shown_cell(1), nullptr);
    EXPECT_EQ(status_part(2), L"0/1");

    // 301 marks all, then unmarks all.
    SendMessageW(view_frame_window(0), kAppMessage, kViewToggleMarks, 0);
    EXPECT_EQ(status_part(2), L"1/1");
    SendMessageW(view_frame_window(0), kAppMessage, kViewToggleMarks, 0);
    EXPECT_EQ(status_part(2), L"0/1");

    // Every entry marked: the view is cleared.
    SendMessageW(view_frame_window(0), kAppMessage, kViewToggleMarks, 0);
    SendMessageW(view_frame_window(0), kAppMessage, kViewRemoveMarked, 0);
    EXPECT_EQ(view_state(0).count, 0);
    EXPECT_EQ(view_state(0).entries, nullptr);
    EXPECT_EQ(status_part(2), L"");
}

TEST_F(ThumbnailViewTest, StatusPartOneClearsTheView) {
    publish(5);
    NMMOUSE click = {};
    click.hdr.hwndFrom = GetDlgItem(view_frame_window(0), 502);
    click.hdr.idFrom = 502;
    click.hdr.code = NM_CLICK;
    click.dwItemSpec = 1;
    SendMessageW(view_frame_window(0), WM_NOTIFY, 502, reinterpret_cast<LPARAM>(&click));
    ASSERT_TRUE(pump_until([] { return view_state(0).count == 0; }));
    EXPECT_EQ(descendant_windows(base()), 0);
    EXPECT_EQ(status_part(0), L" 更新  ");
}

HDROP make_drop(const wchar_t* path) {
    const size_t chars = lstrlenW(path) + 2;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    lstrcpyW(reinterpret_cast<wchar_t*>(files + 1), path);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(ThumbnailViewTest, DropsGoToTheMainWindowUnlessAViewIsBusy) {
    HDROP drop = make_drop(L"C:\\dropped");
    SendMessageW(base(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    pump_a_while(30);
    const Posted* p = last_posted(kMainFilesDropped);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->value, reinterpret_cast<LPARAM>(drop));
    DragFinish(drop);

    // Refused while busy, and finished here: nobody else would free it.
    g_posted.clear();
    view_state(1).busy = 1;
    drop = make_drop(L"C:\\dropped");
    SendMessageW(base(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    pump_a_while(30);
    EXPECT_EQ(last_posted(kMainFilesDropped), nullptr);
    EXPECT_EQ(GlobalFlags(drop), static_cast<UINT>(GMEM_INVALID_HANDLE));
}

std::vector<OsHandle> g_recycle_owners;
bool delete_instead_of_recycling(const std::u16string& path, OsHandle owner) {
    g_recycle_owners.push_back(owner);
    return DeleteFileW(reinterpret_cast<const wchar_t*>(path.c_str())) != 0;
}

FileTime last_write_of(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return FileTime{data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime};
}

// A folder of every format, each readable once and damaged once, opened as the user opens it:
// the readable files alone are shown, in order, captioned with what their files hold, and the
// status counts them.
TEST_F(ThumbnailViewTest, AFolderOfEveryFormatShowsItsReadableFilesWithTheirCaptions) {
    const std::wstring folder = appdata_ + L"\\formats";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::string source = std::string(PX_TEST_SOURCE_DIR) + "/tests/data/shell/formats/";
    const std::wstring source_folder(source.begin(), source.end());
    const wchar_t* const files[] = {L"a.bmp", L"b.png", L"c.jpg", L"d.tif", L"e.gif", L"f.bmp",
                                    L"g.png", L"h.jpg", L"i.tif", L"j.gif", L"k.txt"};
    // Each copy is dated noon on 6 May 2024, a date no time zone moves out of its year.
    SYSTEMTIME noon = {};
    noon.wYear = 2024;
    noon.wMonth = 5;
    noon.wDay = 6;
    noon.wHour = 12;
    FILETIME dated = {};
    ASSERT_TRUE(SystemTimeToFileTime(&noon, &dated));
    for (const wchar_t* f : files) {
        const std::wstring copy = folder + L"\\" + f;
        ASSERT_TRUE(CopyFileW((source_folder + f).c_str(), copy.c_str(), FALSE)) << f;
        HANDLE file = CreateFileW(copy.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &dated));
        CloseHandle(file);
    }
    for (int i = 0; i < 4; ++i) g_shell.main_settings.caption_lines[i] = 1;

    open_folder_in_view(0, folder.c_str());
    // The view starts empty: entries and an idle view together mean the folder is read. (A
    // poll may never see the busy state between: a loaded machine passes through it.)
    ASSERT_TRUE(pump_until([] { return view_state(0).count > 0 && view_state(0).busy == 0; }));

    // Made by a tool of nobody here: a BMP of 16 colours; an interlaced RGBA PNG with a text
    // chunk, whose rows the reader gives blended at 24 bits; a progressive JPEG with a comment;
    // an uncompressed RGB TIFF; an interlaced GIF with a table of 8 colours, whose interlace
    // flag the reader leaves clear once read. Every picture is 40 x 30.
    struct Shown {
        const wchar_t* name;
        int32_t format;
        const wchar_t* depth;
    } const want[] = {{L"a.bmp", 1, L"4bit"},
                      {L"b.png", 2, L"24bit  A  I  Text"},
                      {L"c.jpg", 3, L"24bit  P  C"},
                      {L"d.tif", 4, L"24bit"},
                      {L"e.gif", 5, L"3bit"}};
    const ViewState& state = view_state(0);
    ASSERT_EQ(state.count, 5);
    for (int i = 0; i < 5; ++i) {
        const FileEntry& e = state.entries[i];
        const Shown& w = want[i];
        SCOPED_TRACE(std::string(w.name, w.name + lstrlenW(w.name)));
        EXPECT_EQ(caption_line(e, 0), w.name);
        EXPECT_EQ(e.load_info.format, w.format);
        EXPECT_NE(e.thumbnail_bits, nullptr);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(GetFileAttributesExW((folder + L"\\" + w.name).c_str(), GetFileExInfoStandard, &data));
        const std::u16string size = caption_size_text(40, 30, data.nFileSizeLow);
        EXPECT_EQ(caption_line(e, 1), std::wstring(size.begin(), size.end()));
        EXPECT_EQ(caption_line(e, 2), w.depth);
        EXPECT_NE(caption_line(e, 3).find(L"2024"), std::wstring::npos) << caption_line(e, 3);
        ASSERT_NE(shown_cell(i), nullptr);
    }
    EXPECT_EQ(status_part(2), L"0/5");
    EXPECT_EQ(status_part(3), folder);
}

// 313 turns the marked JPEG files only, renews their thumbnails and sizes, and serves the
// view's messages between files without holding the lock.
TEST_F(ThumbnailViewTest, TransformTurnsMarkedJpegFilesOneAtATime) {
    const std::wstring folder = appdata_ + L"\\photos";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::string source = std::string(PX_TEST_SOURCE_DIR) + "/tests/codecs/browser_fixtures/rot_420.jpg";
    const std::wstring source_path(source.begin(), source.end());
    struct File {
        const wchar_t* name;
        int32_t format;
        bool marked;
        bool turned;
    } const files[] = {{L"a.jpg", 3, true, true},
                       {L"b.jpg", 3, false, false},
                       {L"c.png", 2, true, false},  // marked, but not listed as a JPEG
                       {L"d.jpg", 3, true, true}};
    for (const File& f : files)
        ASSERT_TRUE(CopyFileW(source_path.c_str(), (folder + L"\\" + f.name).c_str(), FALSE));
    publish(4);
    on_view([&] {
        ViewState& state = view_state(0);
        lstrcpyW(reinterpret_cast<wchar_t*>(state.folder), folder.c_str());
        state.marked_count = 0;
        for (int i = 0; i < 4; ++i) {
            FileEntry& e = state.entries[i];
            lstrcpyW(reinterpret_cast<wchar_t*>(e.name), files[i].name);
            e.load_info.format = files[i].format;
            e.load_info.width = 100;
            e.load_info.height = 75;
            e.load_info.last_write = last_write_of(folder + L"\\" + files[i].name);
            e.marked = files[i].marked ? kEntryMarked : kEntryUnmarked;
            state.marked_count += files[i].marked;
        }
    });
    const InPlaceTransformSteps saved = g_in_place_transform_steps;
    g_in_place_transform_steps.recycle = delete_instead_of_recycling;
    g_recycle_owners.clear();
    // The open image window owns the recycle bin's windows.
    HWND image_window =
        CreateWindowExW(0, L"STATIC", L"image", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    stand_in::g_image_window = image_window;
    g_probe_saw_lock.clear();
    PostMessageW(view_frame_window(0), kProbe, 0, 0);
    SendMessageW(view_frame_window(0), kAppMessage, kViewTransform, 3);  // a quarter turn left
    g_in_place_transform_steps = saved;
    stand_in::g_image_window = nullptr;
    DestroyWindow(image_window);
    const OsHandle owner = reinterpret_cast<OsHandle>(image_window);
    EXPECT_EQ(g_recycle_owners, (std::vector<OsHandle>{owner, owner}));

    ASSERT_FALSE(g_probe_saw_lock.empty());
    for (bool held : g_probe_saw_lock) EXPECT_FALSE(held);
    EXPECT_FALSE(process_lock_held());
    for (int i = 0; i < 4; ++i) {
        const FileEntry& e = view_state(0).entries[i];
        const File& f = files[i];
        EXPECT_EQ(e.load_info.width, f.turned ? 75 : 100) << i;
        EXPECT_EQ(e.load_info.height, f.turned ? 96 : 75) << i;
        EXPECT_NE(e.thumbnail_bits, nullptr) << i;
        if (f.turned) {
            EXPECT_EQ(e.thumbnail_width, 75) << i;
            EXPECT_EQ(e.thumbnail_height, 96) << i;
        }
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(GetFileAttributesExW((folder + L"\\" + f.name).c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(data.nFileSizeLow == 4708, !f.turned) << i;
    }
}

// Double-clicks and both-button chords mark the entry alone and ask the main window for the
// action with the entry's index; a double-click on a thumbnail whose larger preview the click
// already showed asks for nothing.
TEST_F(ThumbnailViewTest, DoubleClicksAndChordsPostTheirActions) {
    publish(6);
    g_shell.main_settings.preview_enabled = 1;
    g_shell.main_settings.preview_max = 400;
    struct Step {
        const char* what;
        int index;
        bool on_caption;
        bool chord;            // else a double-click
        WPARAM expected_code;  // 0: nothing posted
        const char* marks;
    } const steps[] = {
        {"double on thumbnail, preview shows it", 1, false, false, 0, "......"},
        {"double on caption", 2, true, false, kMainActionInfo1, "..x..."},
        {"chord on thumbnail", 4, false, true, kMainBothImage1, "....x."},
        {"chord on caption", 4, true, true, kMainBothInfo1, "....x."},
    };
    for (const Step& s : steps) {
        HWND cell = shown_cell(s.index);
        ASSERT_NE(cell, nullptr);
        HWND target = s.on_caption ? GetWindow(cell, GW_CHILD) : cell;
        g_posted.clear();
        if (s.chord) {
            // The left button goes down first (the cell becomes the pressed one), then the right
            // button comes up while the left is held.
            on_view([&] { unmark_all_for_test(); });
            SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 0);
            on_view([&] { unmark_all_for_test(); });
            SendMessageW(target, WM_RBUTTONUP, MK_LBUTTON, 0);
        } else {
            SendMessageW(target, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        }
        pump_a_while(30);
        const Posted* p = s.expected_code ? last_posted(s.expected_code) : nullptr;
        if (s.expected_code) {
            ASSERT_NE(p, nullptr) << s.what;
            EXPECT_EQ(p->value, s.index) << s.what;
        } else {
            for (WPARAM code = kMainActionImage1; code <= kMainBothInfo2; ++code)
                EXPECT_EQ(last_posted(code), nullptr) << s.what;
        }
        EXPECT_EQ(marks(), s.marks) << s.what;
    }
    // With click preview off the thumbnail's double-click acts too.
    g_shell.main_settings.preview_enabled = 0;
    g_posted.clear();
    SendMessageW(shown_cell(1), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    pump_a_while(30);
    ASSERT_NE(last_posted(kMainActionImage1), nullptr);
    EXPECT_EQ(marks(), ".x....");
    g_shell.main_settings.preview_enabled = 1;
}

void send_mouse(DWORD flags, POINT screen) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = (screen.x * 65536 + w / 2) / w;
    input.mi.dy = (screen.y * 65536 + h / 2) / h;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

// Dragging the thumb far down a 20,000-entry view, past the 65,535 a scroll message's word can
// carry, lands on the row under the thumb.
TEST_F(ThumbnailViewTest, ThumbDragReachesRowsBeyondSixteenBits) {
    publish(20000);
    SetForegroundWindow(g_shell.main_window);
    SCROLLBARINFO bar = {};
    bar.cbSize = sizeof bar;
    ASSERT_TRUE(GetScrollBarInfo(base(), OBJID_VSCROLL, &bar));
    const POINT thumb = {(bar.rcScrollBar.left + bar.rcScrollBar.right) / 2,
                         bar.rcScrollBar.top + (bar.xyThumbTop + bar.xyThumbBottom) / 2};
    const int track = bar.rcScrollBar.bottom - bar.rcScrollBar.top - 2 * (bar.dxyLineButton);
    const POINT far_down = {thumb.x, thumb.y + track * 3 / 4};
    send_mouse(0, thumb);
    pump_a_while(50);
    send_mouse(MOUSEEVENTF_LEFTDOWN, thumb);
    pump_a_while(50);
    send_mouse(0, POINT{thumb.x, thumb.y + track / 2});
    pump_a_while(50);
    send_mouse(0, far_down);
    pump_a_while(50);
    send_mouse(MOUSEEVENTF_LEFTUP, far_down);
    pump_a_while(200);

    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(base(), SB_VERT, &si));
    EXPECT_GT(si.nPos, 65535);
    HWND first = shown_cell(view_state(0).first_visible);
    ASSERT_NE(first, nullptr);
    RECT cell = {};
    GetWindowRect(first, &cell);
    const int cell_height = cell.bottom - cell.top;
    EXPECT_EQ(si.nPos % cell_height, 0);
    RECT client = {};
    GetClientRect(base(), &client);
    const int columns = client.right / (cell.right - cell.left);
    EXPECT_EQ(view_state(0).first_visible, si.nPos / cell_height * columns);
}

// A move of more than 4 pixels with a button down on a cell hands the pointer to the folder
// tree and tells the main window a drag starts; not while a view is busy.
TEST_F(ThumbnailViewTest, DragStartsPastTheThresholdUnlessAViewIsBusy) {
    publish(3);
    struct Step {
        const char* what;
        int x, y;
        bool busy;
        bool starts;
    } const steps[] = {
        {"two pixels each way", 7, 7, false, false},
        {"busy", 20, 20, true, false},
        {"three and two", 8, 7, false, true},
    };
    for (const Step& s : steps) {
        HWND cell = shown_cell(1);
        SendMessageW(cell, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        view_state(1).busy = s.busy ? 1 : 0;
        g_posted.clear();
        SendMessageW(cell, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(s.x, s.y));
        pump_a_while(30);
        EXPECT_EQ(last_posted(kMainDragStarts) != nullptr, s.starts) << s.what;
        EXPECT_EQ(GetCapture() == g_shell.tree, s.starts) << s.what;
        view_state(1).busy = 0;
        SendMessageW(cell, WM_LBUTTONUP, 0, MAKELPARAM(s.x, s.y));
        ReleaseCapture();
    }
}

class AutoTreeViewTest : public ThumbnailViewTest {
protected:
    void more_settings(SettingsFileBuilder& b) override { b.integer(7, 1); }
};

// With the tree set to hide itself, the pointer at the view's left edge shows it, and any move
// over the view while it is shown hides it again; only while the main window is active.
TEST_F(AutoTreeViewTest, PointerNearTheLeftEdgeShowsTheHiddenTree) {
    ASSERT_FALSE(IsWindowVisible(g_shell.tree_pane));
    POINT origin = {0, 0};
    ClientToScreen(base(), &origin);
    POINT client_origin = {0, 0};
    ClientToScreen(g_shell.client_window, &client_origin);
    const int edge = client_origin.x - origin.x + 15;  // base x that lies at client x 15
    struct Step {
        const char* what;
        bool main_active;
        bool tree_shown;
        int x;
        LPARAM posted;  // -1: nothing
    } const steps[] = {
        {"at the edge", true, false, edge, 1},
        {"one pixel further", true, false, edge + 1, -1},
        {"tree shown", true, true, edge + 200, 0},
        {"main window inactive", false, false, edge, -1},
    };
    for (const Step& s : steps) {
        g_shell.main_active = s.main_active ? 1 : 0;
        ShowWindow(g_shell.tree_pane, s.tree_shown ? SW_SHOWNA : SW_HIDE);
        g_posted.clear();
        SendMessageW(base(), WM_MOUSEMOVE, 0, MAKELPARAM(s.x, 40));
        const Posted* p = last_posted(kMainAutoTree);
        if (s.posted < 0) {
            EXPECT_EQ(p, nullptr) << s.what;
        } else {
            ASSERT_NE(p, nullptr) << s.what;
            EXPECT_EQ(p->value, s.posted) << s.what;
        }
    }
}

const wchar_t* g_conversion_output = L"";
void conversion_input(wchar_t* folder) {
    lstrcpyW(folder, L"C:\\elsewhere");
}
void conversion_output(wchar_t* folder) {
    lstrcpyW(folder, g_conversion_output);
}

// A click on status part 0 refreshes the view, unless a batch conversion writes into its folder.
TEST_F(ThumbnailViewTest, StatusPartZeroWaitsForAConversionIntoTheFolder) {
    ShellEntryPoints table = shell_entry_points();
    table.batch_input_folder = conversion_input;
    table.batch_output_folder = conversion_output;
    install_shell_entry_points(table);
    stand_in::set_batch_state(nullptr, true);
    NMMOUSE click = {};
    click.hdr.hwndFrom = GetDlgItem(view_frame_window(0), 502);
    click.hdr.idFrom = 502;
    click.hdr.code = NM_CLICK;
    click.dwItemSpec = 0;
    for (const wchar_t* output : {L"C:\\pictures", L"C:\\pictures\\sub", L"c:\\PICTURES"}) {
        g_conversion_output = output;
        publish(5);
        SendMessageW(view_frame_window(0), WM_NOTIFY, 502, reinterpret_cast<LPARAM>(&click));
        pump_a_while(100);
        // Only the very folder is guarded, however its letters are cased.
        const bool guarded = lstrcmpiW(output, L"C:\\pictures") == 0;
        EXPECT_EQ(view_state(0).count, guarded ? 5 : 0);
    }
    stand_in::set_batch_state(nullptr, false);
    stand_in::install();
}

// A right click on the empty base asks for the context menu, except while the preview is shown;
// a keyboard-raised menu opens at the base's corner.
TEST_F(ThumbnailViewTest, BaseContextMenuUnlessThePreviewIsShown) {
    publish(2);
    ASSERT_TRUE(pump_until([] { return g_shell.preview_window != nullptr; }));
    for (bool preview_shown : {false, true}) {
        ShowWindow(g_shell.preview_window, preview_shown ? SW_SHOWNA : SW_HIDE);
        g_posted.clear();
        SendMessageW(base(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(400, 500));
        SendMessageW(base(), WM_RBUTTONUP, 0, MAKELPARAM(400, 500));
        pump_a_while(30);
        EXPECT_EQ(last_posted(kMainThumbMenu) != nullptr, !preview_shown) << preview_shown;
    }
    ShowWindow(g_shell.preview_window, SW_HIDE);
    g_posted.clear();
    SendMessageW(base(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(base()), -1);
    pump_a_while(30);
    const Posted* p = last_posted(kMainThumbMenu);
    ASSERT_NE(p, nullptr);
    POINT corner = {0, 0};
    ClientToScreen(base(), &corner);
    EXPECT_EQ(static_cast<short>(LOWORD(p->value)), corner.x);
    EXPECT_EQ(static_cast<short>(HIWORD(p->value)), corner.y);
}

// A 24-bit BMP file of width x height grey pixels.
std::vector<uint8_t> plain_bmp(int32_t width, int32_t height) {
    const uint32_t stride = (3 * static_cast<uint32_t>(width) + 3) & ~3u;
    const uint32_t image = stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> out = {'B', 'M'};
    auto le = [&out](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    le(54 + image, 4);
    le(0, 4);
    le(54, 4);
    le(40, 4);
    le(static_cast<uint32_t>(width), 4);
    le(static_cast<uint32_t>(height), 4);
    le(1, 2);
    le(24, 2);
    for (int i = 0; i < 6; ++i) le(0, 4);
    out.resize(out.size() + image, 0x80);
    return out;
}

// The thumbnail box and the plug-in folder as a settings file stores them.
class StoredBoxViewTest : public ThumbnailViewTest {
protected:
    void more_settings(SettingsFileBuilder& b) override {
        plugins_ = appdata_ + L"\\plugins";
        CreateDirectoryW(plugins_.c_str(), nullptr);
        const std::string from = "Z:" PX_TEST_BINARY_DIR "/test_plugins/raw.spi";
        ASSERT_TRUE(CopyFileW(std::wstring(from.begin(), from.end()).c_str(),
                              (plugins_ + L"\\raw.spi").c_str(), FALSE));
        b.integer(11, 60).integer(12, 40).text(139, std::u16string(plugins_.begin(), plugins_.end()));
    }
    std::wstring plugins_;
};

// The build fits every thumbnail into the stored 60 x 40 box, not the default 144 x 108, and
// the cache keeps them at that size; a file that only a plug-in of the stored folder reads is
// listed and shown.
TEST_F(StoredBoxViewTest, ThumbnailsAreBuiltAndCachedInTheStoredBox) {
    const std::wstring folder = appdata_ + L"\\boxed";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::vector<uint8_t> bmp = plain_bmp(300, 100);
    ASSERT_TRUE(write_bytes(std::u16string(folder.begin(), folder.end()) + u"\\a.bmp", bmp));
    const std::vector<uint8_t> raw = encode_test_picture(make_test_picture(200, 50, 24));
    ASSERT_TRUE(write_bytes(std::u16string(folder.begin(), folder.end()) + u"\\b.pxr", raw));

    open_folder_in_view(0, folder.c_str());
    bool saw_busy = false;
    ASSERT_TRUE(pump_until([&] {
        if (view_state(0).busy) saw_busy = true;
        return saw_busy && view_state(0).busy == 0;
    }));

    // 300 x 100 fits to 60 x 20 and 200 x 50 to 60 x 15 (the default box would give 144 x 48 and
    // 144 x 36).
    struct Fit {
        const wchar_t* name;
        int32_t width, height;
    } const fits[] = {{L"a.bmp", 60, 20}, {L"b.pxr", 60, 15}};
    const ViewState& state = view_state(0);
    ASSERT_EQ(state.count, 2);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const FileEntry& e = state.entries[i];
        EXPECT_STREQ(reinterpret_cast<const wchar_t*>(e.name), fits[i].name);
        EXPECT_EQ(e.thumbnail_width, fits[i].width);
        EXPECT_EQ(e.thumbnail_height, fits[i].height);
        EXPECT_NE(e.thumbnail_bits, nullptr);
    }
    CacheFolderData cache;
    {
        ProcessLockGuard hold;
        ASSERT_TRUE(read_cache_folder(std::u16string(folder.begin(), folder.end()), &cache));
    }
    ASSERT_EQ(cache.entries.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cache.entries[i].header.thumbnail_width, fits[i].width);
        EXPECT_EQ(cache.entries[i].header.thumbnail_height, fits[i].height);
    }
}

}  // namespace
