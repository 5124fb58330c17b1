// The viewer started inside the test as its process starts it (settings read from a file on
// disk, the command line split, the windows set up), its messages pumped through its own key
// table, and driven by real key presses and mouse moves. Its message boxes go to the test.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <process.h>
#include <shellapi.h>
#include <shlobj.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/win/message_box.h"
#include "kernels/lookup_tables.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "tests/shell/settings_file_builder.h"
#include "tests/shell/unique_scratch.h"
#include "viewer/viewer_app.h"

namespace {

std::wstring to_wide(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

std::vector<uint8_t> bmp24(int width, int height, uint8_t shade) {
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t size = 54 + static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> b(size, shade);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, size);
    put32(6, 0);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    b[26] = 1;
    b[27] = 0;
    b[28] = 24;
    b[29] = 0;
    for (size_t i = 30; i < 54; ++i) b[i] = 0;
    return b;
}

// A file of any length of path: the long ones are written through the prefix that lifts the
// path limit.
bool write_file(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    const std::wstring full = path.size() >= MAX_PATH ? L"\\\\?\\" + path : path;
    HANDLE f = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> g_boxes;

int record_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

// Offers every message to the viewer's key table first, as its message loop does.
void pump_once() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        if (viewer_accelerator(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

template <typename Done>
bool pump_until(Done done, DWORD timeout_ms = 10000) {
    const DWORD start = GetTickCount();
    for (;;) {
        pump_once();
        if (done()) return true;
        const DWORD waited = GetTickCount() - start;
        if (waited >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(50, timeout_ms - waited), QS_ALLINPUT);
    }
}

void send_key(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

void press(WORD key) {
    send_key(key, false);
    send_key(key, true);
}

void mouse(LONG x, LONG y, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((x * 65536 + 65535) / GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = static_cast<LONG>((y * 65536 + 65535) / GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &input, sizeof input);
}

std::wstring title() {
    wchar_t text[512] = {};
    GetWindowTextW(g_viewer.frame, text, 512);
    return text;
}

bool title_starts(const wchar_t* name) {
    return title().rfind(name, 0) == 0;
}

std::vector<std::wstring> listed() {
    std::vector<std::wstring> names;
    const LRESULT count = SendMessageW(g_viewer.list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring name(static_cast<size_t>(SendMessageW(g_viewer.list, LB_GETTEXTLEN, i, 0)), L'\0');
        SendMessageW(g_viewer.list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(name.data()));
        names.push_back(name);
    }
    return names;
}

std::wstring selected() {
    const LRESULT i = SendMessageW(g_viewer.list, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR) return L"";
    const std::vector<std::wstring> names = listed();
    return names[static_cast<size_t>(i)];
}

class ViewerRun : public ::testing::Test {
protected:
    void SetUp() override {
        g_viewer = ViewerApp{};
        g_boxes.clear();
        previous_hook_ = set_message_box_hook(record_box);
        build_blend_table(g_viewer_blend_table);
        ViewerApp& v = g_viewer;
        v.instance = GetModuleHandleW(nullptr);
        v.os_class = detect_os_version();
        g_shell.instance = v.instance;
        if (!g_shell.ui_font.valid()) create_ui_font();
        v.ui_font = g_shell.ui_font.get();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const std::wstring appdata = to_wide(unique_scratch_path("viewer-appdata"));
        CreateDirectoryW(appdata.c_str(), nullptr);
        settings_folder_ = appdata + L"\\Pexaron";
        lstrcpynW(v.appdata_folder, appdata.c_str(), MAX_PATH);
        folder_ = to_wide(unique_scratch_path("viewer-keys"));
        CreateDirectoryW(folder_.c_str(), nullptr);
    }

    void TearDown() override {
        ViewerApp& v = g_viewer;
        if (v.frame && IsWindow(v.frame)) SendMessageW(v.frame, WM_CLOSE, 0, 0);
        pump_once();
        if (v.accelerators) DestroyAcceleratorTable(v.accelerators);
        for (const wchar_t* name : {kViewerFrameClass, kViewerBarClass, kViewerNavigatorClass})
            UnregisterClassW(name, v.instance);
        set_message_box_hook(previous_hook_);
        CoUninitialize();
    }

    void store_settings(SettingsFileBuilder& settings) {
        CreateDirectoryW(settings_folder_.c_str(), nullptr);
        ASSERT_TRUE(write_file(settings_folder_ + L"\\Pexaron.ini", settings.bytes()));
    }

    std::wstring path(const std::wstring& name) const { return folder_ + L"\\" + name; }

    // A name that, joined to the folder, makes a path of exactly `length` characters.
    std::wstring name_for_length(wchar_t first, size_t length) const {
        const size_t name_length = length - folder_.size() - 1;
        return std::wstring(1, first) + std::wstring(name_length - 5, L'x') + L".bmp";
    }

    // Starts the viewer with the argument and brings it to the front, where the keys go.
    void start(const std::wstring& argument) {
        const std::wstring line =
            argument.empty() ? std::wstring(L"Qelvo.exe") : L"Qelvo.exe \"" + argument + L"\"";
        ASSERT_TRUE(viewer_start(SW_SHOWNORMAL, line.c_str()));
        ASSERT_NE(g_viewer.frame, nullptr);
        SetWindowPos(g_viewer.frame, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        bring_to_front();
    }

    static void bring_to_front() {
        HWND frame = g_viewer.frame;
        // Without a window manager activation is not always honoured at once: asked again.
        ASSERT_TRUE(pump_until([&] {
            if (GetForegroundWindow() != frame || GetFocus() != frame) {
                SetForegroundWindow(frame);
                SetFocus(frame);
            }
            return GetForegroundWindow() == frame && GetFocus() == frame;
        }));
        SendMessageW(frame, WM_ACTIVATEAPP, TRUE, 0);
        pump_once();
    }

    MessageBoxHook previous_hook_ = nullptr;
    std::wstring settings_folder_;
    std::wstring folder_;
};

const wchar_t kFailed[] = L"画像の表示に失敗しました。";

TEST_F(ViewerRun, KeysStepOverAFileThatFailsToLoadAndDropIt) {
    std::vector<uint8_t> bad = bmp24(8, 8, 0);
    bad[14] = 7;  // an info header size no reader knows
    ASSERT_TRUE(write_file(path(L"a.bmp"), bmp24(64, 48, 0x40)));
    ASSERT_TRUE(write_file(path(L"b.bmp"), bad));
    ASSERT_TRUE(write_file(path(L"c.bmp"), bmp24(30, 90, 0xC0)));
    start(path(L"a.bmp"));
    ASSERT_TRUE(title_starts(L"a.bmp  (")) << title();
    ASSERT_EQ(listed(), (std::vector<std::wstring>{L"a.bmp", L"b.bmp", L"c.bmp"}));

    press(VK_DOWN);
    ASSERT_TRUE(pump_until([] { return !g_boxes.empty(); })) << title();
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{kFailed});
    EXPECT_TRUE(title_starts(L"a.bmp  (")) << title();
    EXPECT_EQ(listed(), (std::vector<std::wstring>{L"a.bmp", L"c.bmp"}));
    EXPECT_EQ(selected(), L"a.bmp");

    press(VK_DOWN);
    EXPECT_TRUE(pump_until([] { return title_starts(L"c.bmp  ("); })) << title();
    EXPECT_EQ(g_boxes.size(), 1u);
    // Back up past the gap: the dropped file is not tried again.
    press(VK_UP);
    EXPECT_TRUE(pump_until([] { return title_starts(L"a.bmp  ("); })) << title();
    EXPECT_EQ(g_boxes.size(), 1u);
}

TEST_F(ViewerRun, AnEntryTooLongForAPathFailsLikeAFileThatDoesNotLoad) {
    const std::wstring long_name = name_for_length(L'c', MAX_PATH + 2);
    ASSERT_LT(long_name.size(), static_cast<size_t>(MAX_PATH));
    for (const std::wstring& name :
         {std::wstring(L"a.bmp"), std::wstring(L"b.bmp"), long_name, std::wstring(L"d.bmp")})
        ASSERT_TRUE(write_file(path(name), bmp24(20, 10, 0x50)));
    start(path(L"b.bmp"));
    ASSERT_TRUE(title_starts(L"b.bmp  (")) << title();
    ASSERT_EQ(listed().size(), 4u);

    press(VK_DOWN);
    ASSERT_TRUE(pump_until([] { return !g_boxes.empty(); })) << title();
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{kFailed});
    EXPECT_TRUE(title_starts(L"b.bmp  (")) << title();
    EXPECT_EQ(listed(), (std::vector<std::wstring>{L"a.bmp", L"b.bmp", L"d.bmp"}));

    // The next step goes on past it instead of stopping at it again.
    press(VK_DOWN);
    EXPECT_TRUE(pump_until([] { return title_starts(L"d.bmp  ("); })) << title();
    EXPECT_EQ(g_boxes.size(), 1u);
}

TEST_F(ViewerRun, DeletingBeforeAnEntryTooLongForAPathKeepsTheOtherFiles) {
    // Asked from the settings file: delete without the system's question.
    SettingsFileBuilder settings;
    settings.integer(33, 1);
    store_settings(settings);
    const std::wstring long_name = name_for_length(L'c', MAX_PATH + 2);
    for (const std::wstring& name :
         {std::wstring(L"a.bmp"), std::wstring(L"b.bmp"), long_name, std::wstring(L"d.bmp")})
        ASSERT_TRUE(write_file(path(name), bmp24(20, 10, 0x50)));
    start(path(L"b.bmp"));
    ASSERT_TRUE(title_starts(L"b.bmp  (")) << title();

    press(VK_DELETE);
    ASSERT_TRUE(pump_until([] { return !g_boxes.empty(); })) << title();
    EXPECT_FALSE(exists(path(L"b.bmp")));
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{kFailed});
    // Files remain: the view is not emptied, and the deleted file's image stays until a step.
    EXPECT_TRUE(title_starts(L"b.bmp  (")) << title();
    EXPECT_EQ(listed(), (std::vector<std::wstring>{L"a.bmp", L"d.bmp"}));
    press(VK_DOWN);
    EXPECT_TRUE(pump_until([] { return title_starts(L"d.bmp  ("); })) << title();
    EXPECT_EQ(g_boxes.size(), 1u);
}

struct Confirmation {
    DWORD pid = 0;
    WPARAM answer = 0;
    volatile LONG answered = 0;
};

BOOL CALLBACK find_dialog(HWND window, LPARAM data) {
    HWND* found = reinterpret_cast<HWND*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (pid == GetCurrentProcessId() && lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window)) {
        *found = window;
        return FALSE;
    }
    return TRUE;
}

// Answers the system's question once it shows, from another thread while the viewer's thread
// waits in it.
unsigned __stdcall answer_confirmation(void* arg) noexcept {
    Confirmation& c = *static_cast<Confirmation*>(arg);
    for (int waited = 0; waited < 20000; waited += 20) {
        HWND box = nullptr;
        EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&box));
        if (box) {
            PostMessageW(box, WM_COMMAND, c.answer, 0);
            InterlockedExchange(&c.answered, 1);
            return 0;
        }
        Sleep(20);
    }
    return 0;
}

TEST_F(ViewerRun, ACancelledDeleteLeavesTheFileTheListAndTheView) {
    for (const wchar_t* name : {L"a.bmp", L"b.bmp", L"c.bmp"})
        ASSERT_TRUE(write_file(path(name), bmp24(20, 10, 0x50)));
    start(path(L"b.bmp"));
    const std::wstring before = title();
    ASSERT_TRUE(title_starts(L"b.bmp  (")) << before;

    Confirmation confirmation;
    confirmation.answer = IDNO;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, answer_confirmation, &confirmation, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    press(VK_DELETE);
    // The question is answered; then a step shows that the delete ended without a change.
    EXPECT_TRUE(pump_until([&] { return confirmation.answered != 0; }, 30000));
    EXPECT_TRUE(pump_until([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    CloseHandle(thread);
    EXPECT_TRUE(exists(path(L"b.bmp")));
    EXPECT_EQ(title(), before);
    EXPECT_EQ(listed(), (std::vector<std::wstring>{L"a.bmp", L"b.bmp", L"c.bmp"}));
    EXPECT_EQ(selected(), L"b.bmp");
    EXPECT_TRUE(g_boxes.empty());
    bring_to_front();
    press(VK_DOWN);
    EXPECT_TRUE(pump_until([] { return title_starts(L"c.bmp  ("); })) << title();
}

TEST_F(ViewerRun, AnArgumentTooLongForAPathFailsThatOpen) {
    // The first 259 characters of the argument name a file that exists: cut short, the argument
    // would open it.
    const std::wstring shorter = path(name_for_length(L'a', MAX_PATH - 1));
    ASSERT_TRUE(write_file(shorter, bmp24(20, 10, 0x50)));
    start(shorter + L"x");
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{kFailed});
    EXPECT_EQ(title(), L"Qelvo");
    EXPECT_FALSE(g_viewer.has_image);
}

// A drop of one path, as the shell hands it over.
HDROP drop_of(const std::wstring& path) {
    const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<uint8_t*>(files) + sizeof(DROPFILES), path.c_str(),
                path.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(ViewerRun, ADroppedPathTooLongForAPathFailsThatOpen) {
    const std::wstring shorter = path(name_for_length(L'a', MAX_PATH - 1));
    ASSERT_TRUE(write_file(shorter, bmp24(20, 10, 0x50)));
    start(L"");
    ASSERT_EQ(title(), L"Qelvo");
    PostMessageW(g_viewer.frame, WM_DROPFILES, reinterpret_cast<WPARAM>(drop_of(shorter + L"x.bmp")), 0);
    ASSERT_TRUE(pump_until([] { return !g_boxes.empty(); }));
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{kFailed});
    EXPECT_EQ(title(), L"Qelvo");
    // The same file dropped under its own path opens.
    PostMessageW(g_viewer.frame, WM_DROPFILES, reinterpret_cast<WPARAM>(drop_of(shorter)), 0);
    EXPECT_TRUE(pump_until([] { return title_starts(L"a"); })) << title();
}

// The client's centre on the screen: zooming keeps it, moving the window does not.
POINT client_centre() {
    RECT client = {};
    GetClientRect(g_viewer.frame, &client);
    POINT centre = {client.right / 2, client.bottom / 2};
    ClientToScreen(g_viewer.frame, &centre);
    return centre;
}

struct DragRun {
    POINT from = {};
    DWORD viewer_thread = 0;
};

bool in_move_loop(DWORD thread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE);
}

// A plain left drag over the view by (40, 32), then PageUp, typed from another thread while the
// viewer's thread runs its messages (and the system's move loop when the drag moves the window).
// The rest of the drag waits for that loop (for at most a second, as when there is none), so
// that a loaded machine cannot merge it into the move that starts the loop; once the zoom has
// changed, every earlier input has been handled.
unsigned __stdcall drag_then_zoom_keys(void* arg) noexcept {
    const DragRun& run = *static_cast<const DragRun*>(arg);
    const POINT from = run.from;
    mouse(from.x, from.y, 0);
    mouse(from.x, from.y, MOUSEEVENTF_LEFTDOWN);
    mouse(from.x + 4, from.y + 3, 0);
    for (int waited = 0; waited < 1000 && !in_move_loop(run.viewer_thread); waited += 20) Sleep(20);
    for (int step = 5; step <= 40; ++step) {
        mouse(from.x + step, from.y + step * 4 / 5, 0);
        Sleep(10);
    }
    mouse(from.x + 40, from.y + 32, MOUSEEVENTF_LEFTUP);
    press(VK_PRIOR);
    return 0;
}

void drag_then_zoom() {
    DragRun run;
    run.from = client_centre();
    run.viewer_thread = GetCurrentThreadId();
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, drag_then_zoom_keys, &run, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(pump_until([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    CloseHandle(thread);
    EXPECT_TRUE(pump_until([] { return g_viewer.view.zoom == 20000; }));
}

TEST_F(ViewerRun, APlainLeftDragMovesTheWindowOnlyWithTheSettingOn) {
    struct Case {
        bool stored;  // slot 61 written to the settings file
        int32_t value;
        bool moves;
    };
    for (const Case& c : {Case{false, 0, true}, Case{true, 0, false}, Case{true, 1, true}}) {
        SCOPED_TRACE(::testing::Message() << "stored " << c.stored << " value " << c.value);
        SettingsFileBuilder settings;
        if (c.stored) settings.integer(61, c.value);
        store_settings(settings);
        ASSERT_TRUE(write_file(path(L"a.bmp"), bmp24(120, 90, 0x40)));
        start(path(L"a.bmp"));
        ASSERT_EQ(g_viewer.settings.zoom_drag_without_ctrl, !c.stored || c.value != 0);
        const POINT before = client_centre();
        drag_then_zoom();
        EXPECT_EQ(g_viewer.view.zoom, 20000);
        const POINT after = client_centre();
        const bool moved = std::abs(after.x - before.x) + std::abs(after.y - before.y) > 20;
        EXPECT_EQ(moved, c.moves) << before.x << "," << before.y << " -> " << after.x << "," << after.y;
        TearDown();
        SetUp();
    }
}

}  // namespace
