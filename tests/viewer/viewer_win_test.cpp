// The viewer as a user runs it: Qelvo.exe started with a file, driven by the commands its keys
// and buttons send, and read back through its window.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/shell_helpers.h"
#include "tests/shell/unique_scratch.h"
#include "viewer/core/viewer_rules.h"

namespace {

std::wstring wide(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

std::vector<uint8_t> bmp24(int width, int height, uint8_t shade) {
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t size = 54 + stride * height;
    std::vector<uint8_t> b(size, shade);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
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

void write_file(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
}

std::wstring title_of(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

struct FindData {
    DWORD pid;
    const wchar_t* class_name;
    HWND found;
};

BOOL CALLBACK find_window_of(HWND window, LPARAM data) {
    FindData* f = reinterpret_cast<FindData*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (pid == f->pid && lstrcmpW(name, f->class_name) == 0) {
        f->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND window_of(DWORD pid, const wchar_t* class_name) {
    FindData f{pid, class_name, nullptr};
    EnumWindows(find_window_of, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

template <typename Done>
bool wait_until(Done done, int milliseconds = 10000) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

class Viewer {
public:
    explicit Viewer(const std::wstring& argument, int show = -1) {
        std::wstring exe = PX_TEST_BINARY_DIR L"/bin/Qelvo.exe";
        for (wchar_t& c : exe)
            if (c == L'/') c = L'\\';
        std::wstring command = L"\"" + exe + L"\"";
        if (!argument.empty()) command += L" \"" + argument + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (show >= 0) {
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = static_cast<WORD>(show);
        }
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process_) != FALSE;
        if (started_)
            wait_until(
                [&] { return (frame_ = window_of(process_.dwProcessId, L"Qelvo_vwin_class")) != nullptr; });
    }
    ~Viewer() {
        if (!started_) return;
        if (frame_) PostMessageW(frame_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    HWND frame() const { return frame_; }
    DWORD pid() const { return process_.dwProcessId; }
    std::wstring title() const { return title_of(frame_); }
    // Posts the command and waits for the title to settle on what `expect` accepts.
    template <typename Expect>
    bool command(int id, Expect expect) {
        PostMessageW(frame_, WM_COMMAND, static_cast<WPARAM>(id), 0);
        return wait_until([&] { return expect(title()); });
    }
    void settle() {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result);
    }
    // Runs the command as a key or button would, and returns once it is done.
    void send(int id) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(frame_, WM_COMMAND, static_cast<WPARAM>(id), 0, SMTO_BLOCK, 10000, &result);
    }
    SIZE client() const {
        RECT r = {};
        GetClientRect(frame_, &r);
        return SIZE{r.right, r.bottom};
    }
    HWND toolbar() const { return GetDlgItem(GetDlgItem(frame_, 1000), 1001); }
    // Presses the key as the user does, with the viewer in front where the keys go; false when
    // it could not be brought there.
    bool press(WORD key) {
        // Without a window manager activation is not always honoured at once: asked again.
        if (!wait_until([&] {
                if (GetForegroundWindow() != frame_) SetForegroundWindow(frame_);
                return GetForegroundWindow() == frame_;
            }))
            return false;
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = key;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        return SendInput(2, input, sizeof(INPUT)) == 2;
    }
    // Presses the key and waits for the title to settle on what `expect` accepts.
    template <typename Expect>
    bool key(WORD key, Expect expect) {
        return press(key) && wait_until([&] { return expect(title()); });
    }
    bool client_is(int width, int height) const { return client().cx == width && client().cy == height; }
    // Whether the viewer's hidden file list holds the name.
    bool listed(const wchar_t* name) const {
        DWORD_PTR index = static_cast<DWORD_PTR>(LB_ERR);
        SendMessageTimeoutW(GetDlgItem(frame_, 1010), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(name), SMTO_BLOCK, 5000, &index);
        return static_cast<LRESULT>(index) != LB_ERR;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION process_ = {};
    HWND frame_ = nullptr;
};

std::wstring caption_for(const wchar_t* name, int width, int height, uint32_t size, int zoom) {
    const std::u16string n(name, name + lstrlenW(name));
    return wide(viewer_caption(true, viewer_info_text(n, width, height, 24, size), zoom));
}

class ViewerProgram : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = wide(unique_scratch_path("viewer"));
        CreateDirectoryW(folder_.c_str(), nullptr);
        write_file(path(L"a.bmp"), bmp24(64, 48, 0x40));
        write_file(path(L"b.bmp"), bmp24(80, 40, 0x80));
        write_file(path(L"c.bmp"), bmp24(30, 90, 0xC0));
    }
    std::wstring path(const wchar_t* name) const { return folder_ + L"\\" + name; }
    std::wstring folder_;
};

const int kImageButtons[] = {8050, 8100, 8101, 8111, 8112, 8130, 8131, 8010, 8012, 8013, 8011};
const int kFullScreenItems[] = {9912, 9911, 8500, 8200, 8202};

bool button_state(HWND toolbar, int id, LRESULT state) {
    return (SendMessageW(toolbar, TB_GETSTATE, static_cast<WPARAM>(id), 0) & state) != 0;
}
bool button_hidden(HWND toolbar, int id) {
    return SendMessageW(toolbar, TB_ISBUTTONHIDDEN, static_cast<WPARAM>(id), 0) != 0;
}

uint32_t bmp_size(int width, int height) {
    return 54 + static_cast<uint32_t>(((width * 3 + 3) & ~3) * height);
}

TEST_F(ViewerProgram, WithoutAFileTheWindowIsEmptyAndTheImageButtonsAreGreyed) {
    Viewer v(L"");
    ASSERT_NE(v.frame(), nullptr);
    v.settle();
    EXPECT_EQ(v.title(), L"Qelvo");
    EXPECT_EQ(v.client().cx, 400);
    EXPECT_EQ(v.client().cy, 300);
    HWND toolbar = v.toolbar();
    ASSERT_NE(toolbar, nullptr);
    for (int id : kImageButtons) {
        EXPECT_TRUE(button_state(toolbar, id, TBSTATE_INDETERMINATE)) << id;
        EXPECT_FALSE(button_state(toolbar, id, TBSTATE_ENABLED)) << id;
    }
    for (int id : kFullScreenItems) EXPECT_TRUE(button_hidden(toolbar, id)) << id;
    // Commands that need an image do nothing.
    v.send(8130);
    EXPECT_EQ(v.title(), L"Qelvo");
}

TEST_F(ViewerProgram, OpensTheFileZoomsAndSwitchesToFullScreenAndBack) {
    Viewer v(path(L"a.bmp"));
    ASSERT_NE(v.frame(), nullptr);
    const std::wstring at100 = caption_for(L"a.bmp", 64, 48, bmp_size(64, 48), 10000);
    ASSERT_TRUE(wait_until([&] { return v.title() == at100; })) << v.title();
    EXPECT_TRUE(wait_until([&] { return v.client().cy == 48; })) << v.client().cy;
    HWND toolbar = v.toolbar();
    for (int id : kImageButtons) {
        EXPECT_TRUE(button_state(toolbar, id, TBSTATE_ENABLED)) << id;
        EXPECT_FALSE(button_state(toolbar, id, TBSTATE_INDETERMINATE)) << id;
    }
    for (int id : kFullScreenItems) EXPECT_TRUE(button_hidden(toolbar, id)) << id;
    HWND caption = GetDlgItem(toolbar, 1002);
    ASSERT_NE(caption, nullptr);
    EXPECT_FALSE(IsWindowVisible(caption));

    // Zoom out a step: 50 %, and the window follows the displayed size.
    const std::wstring at50 = caption_for(L"a.bmp", 64, 48, bmp_size(64, 48), 5000);
    EXPECT_TRUE(v.command(8131, [&](const std::wstring& t) { return t == at50; })) << v.title();
    EXPECT_TRUE(wait_until([&] { return v.client().cy == 24; })) << v.client().cy;
    const std::wstring at200 = caption_for(L"a.bmp", 64, 48, bmp_size(64, 48), 20000);
    v.send(8130);  // 50 % to 100 %, then a step further
    EXPECT_TRUE(v.command(8130, [&](const std::wstring& t) { return t == at200; })) << v.title();
    EXPECT_TRUE(wait_until([&] { return v.client().cy == 96; })) << v.client().cy;

    // Full screen drops the caption and shows the window buttons and the caption text on the
    // bar; again restores both. The system may answer the size late on a loaded machine.
    v.send(8200);
    EXPECT_FALSE(GetWindowLongW(v.frame(), GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(wait_until([&] {
        return v.client_is(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    })) << v.client().cx
        << "x" << v.client().cy;
    for (int id : kFullScreenItems) EXPECT_FALSE(button_hidden(toolbar, id)) << id;
    EXPECT_TRUE(GetWindowLongW(caption, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(title_of(caption), v.title());
    RECT text = {};
    GetWindowRect(caption, &text);
    EXPECT_GT(text.right - text.left, 0);
    v.send(8200);
    EXPECT_TRUE((GetWindowLongW(v.frame(), GWL_STYLE) & WS_CAPTION) == WS_CAPTION);
    for (int id : kFullScreenItems) EXPECT_TRUE(button_hidden(toolbar, id)) << id;
    EXPECT_FALSE(GetWindowLongW(caption, GWL_STYLE) & WS_VISIBLE);
    // Full screen started the image at 100 % and the window keeps that zoom.
    EXPECT_TRUE(wait_until([&] { return v.client().cy == 48; })) << v.client().cy;
}

TEST_F(ViewerProgram, ASettingsChangePlacesTheWindowAgainAndFullScreenKeepsItsMonitor) {
    Viewer v(path(L"a.bmp"));
    ASSERT_NE(v.frame(), nullptr);
    ASSERT_TRUE(wait_until([&] { return v.title().rfind(L"a.bmp", 0) == 0; })) << v.title();
    v.settle();
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Window mode: a window pushed over the bottom-right corner comes back inside the work area
    // at the image's size.
    SetWindowPos(v.frame(), nullptr, work.right - 30, work.bottom - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageTimeoutW(v.frame(), WM_WININICHANGE, 0, 0, SMTO_BLOCK, 10000, nullptr);
    RECT r = {};
    GetWindowRect(v.frame(), &r);
    EXPECT_LE(r.right, work.right);
    EXPECT_LE(r.bottom, work.bottom);
    EXPECT_GE(r.left, work.left);
    EXPECT_GE(r.top, work.top);
    EXPECT_GE(v.client().cx, 64);
    EXPECT_TRUE(wait_until([&] { return v.client().cy == 48; })) << v.client().cy;

    // Full screen: the window goes on covering the whole monitor, without a frame.
    v.send(8200);
    const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    // Several changes in a row: more than the few late sizes full screen corrects by itself.
    for (int change = 0; change < 6; ++change) {
        SendMessageTimeoutW(v.frame(), WM_WININICHANGE, 0, 0, SMTO_BLOCK, 10000, nullptr);
        v.settle();
        EXPECT_TRUE(wait_until([&] {
            GetWindowRect(v.frame(), &r);
            return EqualRect(&r, &screen) != FALSE;
        })) << change
            << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
    EXPECT_FALSE(GetWindowLongW(v.frame(), GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(wait_until([&] { return v.client_is(screen.right, screen.bottom); }))
        << v.client().cx << "x" << v.client().cy;
    // Back in window mode the window is the image's again.
    v.send(8200);
    EXPECT_TRUE(wait_until([&] { return v.client().cx >= 64 && v.client().cy == 48; }))
        << v.client().cx << "x" << v.client().cy;
}

TEST_F(ViewerProgram, StartedMaximisedTheViewerEntersItsFullScreen) {
    Viewer v(path(L"a.bmp"), SW_SHOWMAXIMIZED);
    ASSERT_NE(v.frame(), nullptr);
    ASSERT_TRUE(wait_until([&] { return v.title().rfind(L"a.bmp", 0) == 0; })) << v.title();
    v.settle();
    EXPECT_FALSE(GetWindowLongW(v.frame(), GWL_STYLE) & WS_CAPTION);
    // On a loaded machine the system's size for the maximised start can come after the title.
    EXPECT_TRUE(wait_until([&] {
        return v.client().cx == GetSystemMetrics(SM_CXSCREEN) &&
               v.client().cy == GetSystemMetrics(SM_CYSCREEN);
    })) << v.client().cx
        << "x" << v.client().cy;
    EXPECT_FALSE(SendMessageW(v.toolbar(), TB_ISBUTTONHIDDEN, 8202, 0));
}

TEST_F(ViewerProgram, StartedWithAShortcutItShowsTheTargetAndListsItsFolder) {
    const std::wstring links = wide(unique_scratch_path("viewer-links"));
    CreateDirectoryW(links.c_str(), nullptr);
    const std::wstring link = links + L"\\to b.lnk";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool made = create_shortcut(path(L"b.bmp").c_str(), link.c_str());
    CoUninitialize();
    ASSERT_TRUE(made);
    Viewer v(link);
    ASSERT_NE(v.frame(), nullptr);
    auto starts = [](const wchar_t* name) {
        return [name](const std::wstring& t) { return t.rfind(name, 0) == 0; };
    };
    ASSERT_TRUE(wait_until([&] { return starts(L"b.bmp  (")(v.title()); })) << v.title();
    // The target's folder is the listed one.
    EXPECT_TRUE(v.command(8013, starts(L"c.bmp  ("))) << v.title();
}

TEST_F(ViewerProgram, KeysStepThroughTheFolderAndStopAtBothEnds) {
    Viewer v(path(L"b.bmp"));
    ASSERT_NE(v.frame(), nullptr);
    auto starts = [](const wchar_t* name) {
        return [name](const std::wstring& t) { return t.rfind(name, 0) == 0; };
    };
    ASSERT_TRUE(wait_until([&] { return starts(L"b.bmp")(v.title()); })) << v.title();
    // The default keys: Down next, Up previous, Left first, Right last. A step past either end
    // does nothing and shows no box; the key after it shows it was handled.
    auto no_box = [&] { return window_of(v.pid(), L"#32770") == nullptr; };
    EXPECT_TRUE(v.key(VK_DOWN, starts(L"c.bmp"))) << v.title();
    EXPECT_TRUE(v.key(VK_DOWN, starts(L"c.bmp"))) << v.title();
    EXPECT_TRUE(v.key(VK_LEFT, starts(L"a.bmp"))) << v.title();
    EXPECT_TRUE(no_box());
    EXPECT_TRUE(v.key(VK_UP, starts(L"a.bmp"))) << v.title();
    EXPECT_TRUE(v.key(VK_RIGHT, starts(L"c.bmp"))) << v.title();
    EXPECT_TRUE(no_box());
    EXPECT_TRUE(v.key(VK_UP, starts(L"b.bmp"))) << v.title();
}

TEST_F(ViewerProgram, AShownFileRenamedOutsideIsMatchedByItsWholeName) {
    Viewer v(path(L"c.bmp"));
    ASSERT_NE(v.frame(), nullptr);
    auto starts = [](const wchar_t* name) {
        return [name](const std::wstring& t) { return t.rfind(name, 0) == 0; };
    };
    ASSERT_TRUE(wait_until([&] { return starts(L"c.bmp  (")(v.title()); })) << v.title();
    v.settle();
    // Another program renames the shown file to a name that begins with the old one.
    ASSERT_TRUE(MoveFileW(path(L"c.bmp").c_str(), path(L"c.bmp.bmp").c_str()));
    ASSERT_TRUE(wait_until([&] {
        PostMessageW(v.frame(), WM_ACTIVATEAPP, TRUE, 0);
        v.settle();
        // Re-listed: "last" now reaches the new name.
        v.send(8011);
        return starts(L"c.bmp.bmp")(v.title());
    })) << v.title();
    // Show a.bmp, rename it away, and delete: the gone file selects nothing, so no other entry
    // leaves the list and the first entry is shown.
    EXPECT_TRUE(v.command(8010, starts(L"a.bmp  ("))) << v.title();
    ASSERT_TRUE(MoveFileW(path(L"a.bmp").c_str(), path(L"a.bmp.bmp").c_str()));
    // Activated until the folder's change notification has fired and the list holds the new name.
    ASSERT_TRUE(wait_until([&] {
        PostMessageW(v.frame(), WM_ACTIVATEAPP, TRUE, 0);
        v.settle();
        return v.listed(L"a.bmp.bmp");
    }));
    v.send(8050);
    EXPECT_TRUE(wait_until([&] { return starts(L"a.bmp.bmp")(v.title()); })) << v.title();
    EXPECT_NE(GetFileAttributesW(path(L"a.bmp.bmp").c_str()), INVALID_FILE_ATTRIBUTES);
    // Every other file is still listed: a.bmp.bmp, b.bmp, c.bmp.bmp.
    EXPECT_TRUE(v.command(8013, starts(L"b.bmp  ("))) << v.title();
    EXPECT_TRUE(v.command(8013, starts(L"c.bmp.bmp"))) << v.title();
}

TEST_F(ViewerProgram, TurningTheDisplayExchangesTheSidesAndLeavesTheFile) {
    Viewer v(path(L"b.bmp"));
    ASSERT_NE(v.frame(), nullptr);
    ASSERT_TRUE(wait_until([&] { return v.title().rfind(L"b.bmp", 0) == 0; }));
    const std::u16string turned_info = viewer_info_text(u"b.bmp", 40, 80, 24, turned_image_size(40, 80, 24));
    const std::wstring turned = wide(viewer_caption(true, turned_info, 10000));
    EXPECT_TRUE(v.command(8100, [&](const std::wstring& t) { return t == turned; })) << v.title();
    EXPECT_TRUE(wait_until([&] { return v.client().cy == 80; })) << v.client().cy;
    HANDLE f = CreateFileW(path(L"b.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(f, nullptr), bmp_size(80, 40));
    CloseHandle(f);
}

TEST_F(ViewerProgram, AFileChangedOutsideIsReloadedOnActivation) {
    Viewer v(path(L"a.bmp"));
    ASSERT_NE(v.frame(), nullptr);
    ASSERT_TRUE(wait_until([&] { return v.title().rfind(L"a.bmp", 0) == 0; }));
    write_file(path(L"a.bmp"), bmp24(20, 10, 0x10));
    // Make sure the time differs even on a coarse clock.
    HANDLE f =
        CreateFileW(path(L"a.bmp").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME t = {};
    GetSystemTimeAsFileTime(&t);
    t.dwHighDateTime += 1;
    SetFileTime(f, nullptr, nullptr, &t);
    CloseHandle(f);
    PostMessageW(v.frame(), WM_ACTIVATEAPP, TRUE, 0);
    const std::wstring reloaded = caption_for(L"a.bmp", 20, 10, bmp_size(20, 10), 10000);
    EXPECT_TRUE(wait_until([&] { return v.title() == reloaded; })) << v.title();
}

TEST_F(ViewerProgram, ACorruptFileShowsTheErrorAndAnEmptyWindow) {
    std::vector<uint8_t> bad = bmp24(8, 8, 0);
    bad[14] = 7;  // an info header size no reader knows
    bad[28] = 13;
    write_file(path(L"bad.bmp"), bad);
    Viewer v(path(L"bad.bmp"));
    HWND box = nullptr;
    ASSERT_TRUE(wait_until([&] {
        box = window_of(v.pid(), L"#32770");
        return box && title_of(box) == L"Error";
    }));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(wait_until([&] { return v.frame() && v.title() == L"Qelvo"; })) << v.title();
}

TEST_F(ViewerProgram, DeleteShowsTheNextFileAndTheLastDeleteEmptiesTheView) {
    Viewer v(path(L"b.bmp"));
    ASSERT_NE(v.frame(), nullptr);
    ASSERT_TRUE(wait_until([&] { return v.title().rfind(L"b.bmp", 0) == 0; }));
    auto delete_and_confirm = [&] {
        ASSERT_TRUE(v.press(VK_DELETE));
        HWND box = nullptr;
        // The system asks before the file goes to the recycle bin.
        if (wait_until([&] { return (box = window_of(v.pid(), L"#32770")) != nullptr; }, 20000))
            PostMessageW(box, WM_COMMAND, IDYES, 0);
    };
    delete_and_confirm();
    EXPECT_TRUE(wait_until([&] { return v.title().rfind(L"c.bmp", 0) == 0; })) << v.title();
    EXPECT_EQ(GetFileAttributesW(path(L"b.bmp").c_str()), INVALID_FILE_ATTRIBUTES);
    delete_and_confirm();  // the last entry: back to the first
    EXPECT_TRUE(wait_until([&] { return v.title().rfind(L"a.bmp", 0) == 0; })) << v.title();
    delete_and_confirm();  // the only file left
    EXPECT_TRUE(wait_until([&] { return v.title() == L"Qelvo"; })) << v.title();
    EXPECT_EQ(GetFileAttributesW(path(L"a.bmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(SendMessageW(v.toolbar(), TB_GETSTATE, 8050, 0) & TBSTATE_INDETERMINATE);
}

TEST_F(ViewerProgram, AnAnimatedGifAndAPngWithAlphaOpen) {
    // The frame stepping and the blending are the viewer's rules and the decoders'; here the
    // program opens both kinds and names them with their sizes.
    Viewer gif(wide(fixture_path("viewer/red_blue_once.gif")));
    ASSERT_NE(gif.frame(), nullptr);
    EXPECT_TRUE(wait_until([&] { return gif.title().rfind(L"red_blue_once.gif  ( 24x16  ", 0) == 0; }))
        << gif.title();
    Viewer png(wide(fixture_path("viewer/half_red_alpha.png")));
    ASSERT_NE(png.frame(), nullptr);
    EXPECT_TRUE(wait_until([&] { return png.title().rfind(L"half_red_alpha.png  ( 40x30  ", 0) == 0; }))
        << png.title();
}

}  // namespace
