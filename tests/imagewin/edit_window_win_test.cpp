// The edit window's frame and panes under Wine: the pane layouts, the scroll bars, the right
// drag and its capture loss, the zoom rectangle, and closing with the changes question and
// during a modal loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "codecs/file_type.h"
#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/core/edit_window_rules.h"
#include "imagewin/edit_bars.h"
#include "imagewin/edit_history_window.h"
#include "imagewin/edit_menus.h"
#include "imagewin/edit_panes.h"
#include "imagewin/edit_tool_host.h"
#include "imagewin/edit_window.h"
#include "imagewin/image_windows.h"
#include "imagewin/save_dialog.h"
#include "imagewin/save_window_seam.h"
#include "loading/codec_set.h"
#include "shell/entry_points.h"
#include "shell/launch.h"
#include "shell/shell_state.h"
#include "tests/imagewin/help_dialog_readback_win.h"
#include "tests/imagewin/menu_readback_win.h"
#include "tests/support/test_double_dialog.h"

namespace {

std::vector<std::wstring> g_boxes;
int g_answer = IDNO;
// Whether the edit window counted itself inside a modal loop, per box or dialog asked.
std::vector<bool> g_modal_seen;

int answering_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    g_boxes.push_back(text);
    g_modal_seen.push_back(edit_window_modal());
    return g_answer;
}

std::wstring g_save_path;

BOOL answering_save_dialog(OPENFILENAMEW* request) {
    g_modal_seen.push_back(edit_window_modal());
    if (g_save_path.empty()) return FALSE;
    lstrcpynW(request->lpstrFile, g_save_path.c_str(), int(request->nMaxFile));
    request->nFilterIndex = 1;  // BMP
    return TRUE;
}

LoadedImage make_image(int32_t width, int32_t height) {
    LoadedImage image = {};
    image.info.size = 40;
    image.info.width = width;
    image.info.height = height;
    image.info.planes = 1;
    image.info.bit_count = 24;
    image.format = 1;
    image.source_bits = 24;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    image.bitmap = reinterpret_cast<OsHandle>(bitmap);
    image.pixels = static_cast<uint8_t*>(pixels);
    return image;
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

RECT rect_in_frame(HWND pane, HWND frame) {
    RECT r;
    GetWindowRect(pane, &r);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LPARAM at(int x, int y) {
    return MAKELPARAM(x, y);
}

void register_edit_classes() {
    const struct {
        const wchar_t* name;
        WNDPROC procedure;
    } classes[] = {{L"Pexaron_swin_class", edit_window_proc},
                   {L"Pexaron_sch1_class", DefWindowProcW},
                   {L"Pexaron_sch2_class", DefWindowProcW},
                   {L"Pexaron_hisw_class", DefWindowProcW},
                   {L"Pexaron_cbox_class", DefWindowProcW}};
    for (const auto& c : classes) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = c.procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = c.name;
        RegisterClassExW(&wc);
    }
}

class EditWindowWin : public ::testing::Test {
protected:
    static void SetUpTestSuite() { register_edit_classes(); }

    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        previous_ops_ = set_undo_file_ops(&system_undo_file_ops());
        previous_hook_ = set_message_box_hook(answering_box);
        previous_dialog_ = set_save_file_dialog_routine(answering_save_dialog);
        g_boxes.clear();
        g_answer = IDNO;
        g_save_path.clear();
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.single_view.edit_scroll_bars = 1;
        g_edit_tool = EditToolHost{};
        // Every tool and one-shot command present, as in the whole program.
        EditToolTable tools;
        for (int32_t kind = 1; kind <= kEditToolKindCount; ++kind) {
            tools.kinds[kind].create = [] { return static_cast<void*>(nullptr); };
            tools.kinds[kind].start = [](void*, int32_t) { return false; };
            tools.kinds[kind].finish = [](void*, bool) { return false; };
            tools.kinds[kind].destroy = [](void*) {};
        }
        for (auto& routine : tools.one_shots) routine = [](int32_t) { return false; };
        install_edit_tool_table(&tools);
        frame_ = CreateWindowExW(0, L"Pexaron_swin_class", nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 800, 600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(frame_, nullptr);
        pump();
    }

    void TearDown() override {
        g_answer = IDNO;
        if (IsWindow(frame_)) {
            history_clear();
            DestroyWindow(frame_);
        }
        pump();
        history_clear();
        release_current_image();
        if (g_edit_state.memory_dc) DeleteDC(g_edit_state.memory_dc);
        g_edit_state = EditState{};
        g_edit_tool = EditToolHost{};
        install_edit_tool_table(nullptr);
        g_shell.single_view = SingleViewSettings{};
        set_save_file_dialog_routine(previous_dialog_);
        set_message_box_hook(previous_hook_);
        set_undo_file_ops(previous_ops_);
        if (!g_save_path.empty()) DeleteFileW(g_save_path.c_str());
    }

    void load(int32_t width, int32_t height) {
        LoadedImage image = make_image(width, height);
        (void)install_edit_image(image, false, true);
        (void)set_current_image_info(image, u"C:\\pics\\image.bmp", kHistoryClear);
        refresh_after_image_change(true);
    }

    // An edit the history records: the image no longer matches its file.
    void change() {
        LoadedImage image = make_image(g_edit_state.image.width, g_edit_state.image.height);
        ASSERT_EQ(install_edit_image(image, true, false), UndoResult::ok);
        ASSERT_EQ(set_current_image_info(image, nullptr, kHistoryPush, u"edit"), UndoResult::ok);
    }

    HWND frame_ = nullptr;
    UndoFileOps* previous_ops_ = nullptr;
    MessageBoxHook previous_hook_ = nullptr;
    SaveFileDialogRoutine previous_dialog_ = nullptr;
};

TEST_F(EditWindowWin, PaneLayoutsFollowTheFormula) {
    load(300, 200);
    RECT client;
    GetClientRect(frame_, &client);
    for (int32_t mode : {kEditPaneBoth, kEditPaneFirstOnly, kEditPaneEditedOnly}) {
        SCOPED_TRACE(mode);
        set_edit_pane_mode(mode);
        const RECT bars = rect_in_frame(edit_window_rebar(), frame_);
        EXPECT_GT(bars.bottom, 0);
        const EditPaneLayout want = edit_pane_layout(mode, client.right, client.bottom, bars.bottom);
        const struct {
            HWND pane;
            const EditPaneRect& rect;
        } panes[] = {{first_view_pane(), want.first}, {edited_view_pane(), want.edited}};
        for (const auto& p : panes) {
            EXPECT_EQ(IsWindowVisible(p.pane) != FALSE, p.rect.shown);
            if (!p.rect.shown) continue;
            const RECT r = rect_in_frame(p.pane, frame_);
            EXPECT_EQ(r.left, p.rect.x);
            EXPECT_EQ(r.top, p.rect.y);
            EXPECT_EQ(r.right - r.left, p.rect.width);
            EXPECT_EQ(r.bottom - r.top, p.rect.height);
        }
    }
    // Side by side the panes are (width / 2) - 1 wide with the edited one flush right.
    set_edit_pane_mode(kEditPaneBoth);
    const RECT first = rect_in_frame(first_view_pane(), frame_);
    const RECT edited = rect_in_frame(edited_view_pane(), frame_);
    EXPECT_EQ(first.right - first.left, client.right / 2 - 1);
    EXPECT_EQ(edited.right, client.right);
}

TEST_F(EditWindowWin, ScrollBarsShowWhatTheImageNeeds) {
    load(2000, 100);  // wider than the pane, not higher
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(first_view_pane(), SB_HORZ, &info));
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 1999);
    EXPECT_EQ(int32_t(info.nPage), g_edit_state.view.src_width);
    info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(first_view_pane(), SB_VERT, &info);
    EXPECT_EQ(info.nMax, 0);

    // The bar's line code moves the view by 20 image pixels.
    const int32_t before = g_edit_state.view.src_x;
    SendMessageW(first_view_pane(), WM_HSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(g_edit_state.view.src_x, before + 20);

    // A small image needs none.
    release_current_image();
    load(50, 40);
    for (int bar : {SB_HORZ, SB_VERT}) {
        info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        GetScrollInfo(first_view_pane(), bar, &info);
        EXPECT_EQ(info.nMax, 0) << bar;
    }
}

TEST_F(EditWindowWin, RightDragScrollsAndEndsOnCaptureLoss) {
    load(3000, 3000);
    HWND pane = first_view_pane();
    const int32_t x0 = g_edit_state.view.src_x;
    const int32_t y0 = g_edit_state.view.src_y;
    SendMessageW(pane, WM_RBUTTONDOWN, MK_RBUTTON, at(200, 200));
    EXPECT_EQ(g_edit_state.view.drag_mode, kDragPressed);
    SendMessageW(pane, WM_MOUSEMOVE, MK_RBUTTON, at(190, 195));
    SendMessageW(pane, WM_MOUSEMOVE, MK_RBUTTON, at(150, 170));
    EXPECT_EQ(g_edit_state.view.drag_mode, kDragPanning);
    EXPECT_GT(g_edit_state.view.src_x, x0);
    EXPECT_GT(g_edit_state.view.src_y, y0);
    SendMessageW(pane, WM_RBUTTONUP, 0, at(150, 170));
    EXPECT_EQ(g_edit_state.view.drag_mode, kDragNone);

    // Commands wait while a drag runs; a lost capture ends it.
    SendMessageW(pane, WM_RBUTTONDOWN, MK_RBUTTON, at(200, 200));
    SendMessageW(pane, WM_MOUSEMOVE, MK_RBUTTON, at(150, 150));
    ASSERT_NE(g_edit_state.view.drag_mode, kDragNone);
    ReleaseCapture();
    EXPECT_EQ(g_edit_state.view.drag_mode, kDragNone);
    const int32_t x1 = g_edit_state.view.src_x;
    SendMessageW(pane, WM_MOUSEMOVE, 0, at(100, 100));
    EXPECT_EQ(g_edit_state.view.src_x, x1);
}

TEST_F(EditWindowWin, SmallZoomRectangleIsIgnoredALargerOneFits) {
    load(3000, 3000);
    HWND pane = first_view_pane();
    const int32_t zoom = g_edit_state.view.zoom;
    const WPARAM keys = MK_LBUTTON | MK_CONTROL;
    SendMessageW(pane, WM_LBUTTONDOWN, keys, at(100, 100));
    SendMessageW(pane, WM_MOUSEMOVE, keys, at(108, 108));
    SendMessageW(pane, WM_LBUTTONUP, MK_CONTROL, at(108, 108));
    EXPECT_EQ(g_edit_state.view.zoom, zoom);
    EXPECT_FALSE(g_edit_state.view.zoom_drag_active);

    SendMessageW(pane, WM_LBUTTONDOWN, keys, at(100, 100));
    SendMessageW(pane, WM_MOUSEMOVE, keys, at(160, 140));
    SendMessageW(pane, WM_LBUTTONUP, MK_CONTROL, at(160, 140));
    EXPECT_GT(g_edit_state.view.zoom, zoom);
}

TEST_F(EditWindowWin, CloseAsksAboutChangesAndKeepsTheWindowOnCancel) {
    load(40, 30);
    change();
    g_answer = IDCANCEL;
    SendMessageW(frame_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(frame_));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find(L"への変更を保存しますか?"), std::wstring::npos);
    EXPECT_TRUE(edit_image_loaded());

    // Yes with the save dialog abandoned: the window stays too.
    g_answer = IDYES;
    SendMessageW(frame_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(frame_));

    // No: closed, the history's step files and the image gone.
    g_answer = IDNO;
    SendMessageW(frame_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(frame_));
    EXPECT_FALSE(edit_image_loaded());
    EXPECT_EQ(g_edit_state.history.step_count(), 0);
    EXPECT_EQ(g_edit_state.image_window, nullptr);
}

TEST_F(EditWindowWin, YesSavesThenCloses) {
    load(40, 30);
    change();
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    g_save_path = std::wstring(folder) + L"edit_window_close.bmp";
    g_answer = IDYES;
    SendMessageW(frame_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(frame_));
    EXPECT_NE(GetFileAttributesW(g_save_path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(EditWindowWin, CloseDuringAModalLoopWaitsForItsEnd) {
    load(40, 30);
    {
        EditModalScope modal;
        SendMessageW(frame_, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(frame_));
        EXPECT_TRUE(edit_image_loaded());
    }
    pump();
    EXPECT_FALSE(IsWindow(frame_));
}

// Dialog 5900 as the test answers it: OK stores the text it was given into the comment.
struct CommentDialogCall {
    int32_t id;
    HWND owner;
    bool modal;
};
std::vector<CommentDialogCall> g_comment_calls;
INT_PTR g_comment_result = 1;
std::u16string g_comment_typed;

INT_PTR answering_comment_dialog(int32_t id, HWND owner, LPARAM param) {
    g_comment_calls.push_back({id, owner, edit_window_modal()});
    if (g_comment_result == 1) *reinterpret_cast<std::u16string*>(param) = g_comment_typed;
    return g_comment_result;
}

bool save_bar_checked(int id) {
    return SendMessageW(edit_bar_control(kSaveBarId), TB_ISBUTTONCHECKED, WPARAM(id), 0) != 0;
}

TEST_F(EditWindowWin, CommentCreationTurnsOnWithATextAndOffWithoutAsking) {
    load(40, 30);
    g_edit_state.save.save_format = kSaveJpeg;
    update_save_bar();
    const ShellEntryPoints saved_table = shell_entry_points();
    ShellEntryPoints table = saved_table;
    test_double_dialog::fill_entry_points(&table);
    install_shell_entry_points(table);
    const ImageDialogRunner previous = set_image_dialog_runner(answering_comment_dialog);
    const struct {
        const char* name;
        int32_t on;
        std::u16string comment;
        INT_PTR result;  // the dialog's
        std::u16string typed;
        bool asks;
        int32_t on_after;
        std::u16string comment_after;
    } cases[] = {
        {"OK with a text", 0, u"", 1, u"撮影メモ ABC", true, 1, u"撮影メモ ABC"},
        {"on goes off unasked", 1, u"kept", 1, u"other", false, 0, u"kept"},
        {"OK with the text cleared", 0, u"old", 1, u"", true, 0, u""},
        {"cancel", 0, u"old", IDCANCEL, u"new", true, 0, u"old"},
        {"dialog not made", 0, u"old", -1, u"new", true, 0, u"old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_edit_state.save_choices.insert_comment = c.on;
        g_edit_state.save_record.comment = c.comment;
        update_save_bar();
        g_comment_calls.clear();
        g_comment_result = c.result;
        g_comment_typed = c.typed;
        edit_window_command(frame_, 8670);
        ASSERT_EQ(g_comment_calls.size(), c.asks ? 1u : 0u);
        if (c.asks) {
            EXPECT_EQ(g_comment_calls[0].id, 5900);
            EXPECT_EQ(g_comment_calls[0].owner, frame_);
            EXPECT_TRUE(g_comment_calls[0].modal);
        }
        EXPECT_EQ(g_edit_state.save_choices.insert_comment, c.on_after);
        EXPECT_EQ(g_edit_state.save_record.comment, c.comment_after);
        EXPECT_EQ(save_bar_checked(8670), c.on_after != 0);
    }

    // With a tool open the command is refused.
    g_edit_tool.kind = kToolTrimming;
    g_comment_calls.clear();
    g_edit_state.save_choices.insert_comment = 0;
    edit_window_command(frame_, 8670);
    EXPECT_TRUE(g_comment_calls.empty());
    g_edit_tool.kind = 0;
    EXPECT_FALSE(edit_window_modal());
    set_image_dialog_runner(previous);
    install_shell_entry_points(saved_table);
    g_comment_result = 1;
}

void type_comment(LPARAM parameter) {
    *reinterpret_cast<std::u16string*>(parameter) = u"撮影メモ";
}

// The dialog comes from the program's table through the real modal-dialog routine; without its
// entry the save bar greys the button and the posted command leaves everything as it was.
TEST_F(EditWindowWin, CommentCreationOpensTheRegisteredDialogAndAnEmptyEntryGreysIt) {
    load(40, 30);
    g_edit_state.save.save_format = kSaveJpeg;
    const ShellEntryPoints saved_table = shell_entry_points();
    const ModalDialogRunner previous = test_double_dialog::reset();
    test_double_dialog::g_on_open = type_comment;
    ShellEntryPoints table = saved_table;
    test_double_dialog::fill_entry_points(&table);
    install_shell_entry_points(table);
    g_edit_state.save_choices.insert_comment = 0;
    g_edit_state.save_record.comment.clear();
    update_save_bar();
    HWND bar = edit_bar_control(kSaveBarId);
    EXPECT_TRUE(SendMessageW(bar, TB_GETSTATE, kCmdCommentInsertion, 0) & TBSTATE_ENABLED);

    PostMessageW(frame_, WM_COMMAND, kCmdCommentInsertion, 0);
    for (int i = 0; i < 50 && g_edit_state.save_choices.insert_comment == 0; ++i) pump();
    ASSERT_EQ(test_double_dialog::g_openings.size(), 1u);
    EXPECT_EQ(test_double_dialog::g_openings[0].dialog_id, 5900);
    EXPECT_EQ(test_double_dialog::g_openings[0].parameter, LPARAM(&g_edit_state.save_record.comment));
    EXPECT_EQ(g_edit_state.save_choices.insert_comment, 1);
    EXPECT_EQ(g_edit_state.save_record.comment, u"撮影メモ");

    table.comment_create_dialog_proc = nullptr;
    install_shell_entry_points(table);
    g_edit_state.save_choices.insert_comment = 0;
    g_edit_state.save_record.comment.clear();
    update_save_bar();
    EXPECT_FALSE(SendMessageW(bar, TB_GETSTATE, kCmdCommentInsertion, 0) & TBSTATE_ENABLED);
    test_double_dialog::g_openings.clear();
    PostMessageW(frame_, WM_COMMAND, kCmdCommentInsertion, 0);
    for (int i = 0; i < 5; ++i) pump();
    EXPECT_TRUE(test_double_dialog::g_openings.empty());
    EXPECT_EQ(g_edit_state.save_choices.insert_comment, 0);
    EXPECT_FALSE(edit_window_modal());

    set_modal_dialog_runner(previous);
    install_shell_entry_points(saved_table);
}

TEST_F(EditWindowWin, BoxesAndDialogsCountAsModalLoopsForTheProgram) {
    load(40, 30);
    ShellEntryPoints table;
    fill_image_window_entry_points(&table);
    ASSERT_NE(table.image_window_modal, nullptr);
    EXPECT_FALSE(table.image_window_modal());
    g_modal_seen.clear();
    image_window_message_box(frame_, L"box", L"Pexaron", MB_OK);
    edit_window_command(frame_, 8031);  // the save dialog, abandoned
    EXPECT_EQ(g_modal_seen, (std::vector<bool>{true, true}));
    EXPECT_FALSE(table.image_window_modal());
    EXPECT_TRUE(IsWindow(frame_));
}

TEST_F(EditWindowWin, ToolbarsDrawTheirButtonsAsTheMenuBarDoes) {
    load(40, 30);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(GetDC(nullptr), 40, 40);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const struct {
        int id;
        DWORD stage;
        UINT item_state;
        LRESULT expected;
    } cases[] = {
        {kToolTabBarId, CDDS_PREPAINT, 0, CDRF_NOTIFYITEMDRAW},
        {kZoomBarId, CDDS_PREPAINT, 0, CDRF_NOTIFYITEMDRAW},
        {kSaveBarId, CDDS_PREPAINT, 0, CDRF_NOTIFYITEMDRAW},
        {kOptionBandId, CDDS_PREPAINT, 0, CDRF_NOTIFYITEMDRAW},
        {kToolTabBarId, CDDS_ITEMPREPAINT, CDIS_HOT, TBCDRF_NOBACKGROUND},
        {kZoomBarId, CDDS_ITEMPREPAINT, CDIS_CHECKED, TBCDRF_NOBACKGROUND},
        {kSaveBarId, CDDS_ITEMPREPAINT, 0, CDRF_DODEFAULT},
        {kRebarId, CDDS_PREPAINT, 0, CDRF_DODEFAULT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " stage " << c.stage);
        NMTBCUSTOMDRAW draw = {};
        draw.nmcd.hdr.idFrom = UINT_PTR(c.id);
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = c.stage;
        draw.nmcd.hdc = dc;
        draw.nmcd.rc = {0, 0, 30, 22};
        draw.nmcd.uItemState = c.item_state;
        EXPECT_EQ(SendMessageW(frame_, WM_NOTIFY, WPARAM(c.id), LPARAM(&draw)), c.expected);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

// Moves the real cursor to a screen point, as the user's mouse would.
void move_mouse_to(POINT p) {
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx =
        LONG((p.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1));
    move.mi.dy =
        LONG((p.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1));
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof move);
}

POINT group_button_centre(int id) {
    HWND bar = edit_bar_control(kToolTabBarId);
    RECT r = {};
    SendMessageW(bar, TB_GETRECT, WPARAM(id), LPARAM(&r));
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(bar, &p);
    return p;
}

TEST_F(EditWindowWin, NavigatorShowsWhilePanningAndHidesAfter) {
    ASSERT_TRUE(register_navigator_class(GetModuleHandleW(nullptr), L"Pexaron_navi_class"));
    load(3000, 2000);
    ASSERT_TRUE(create_navigator_window(g_edit_state.navigator, frame_, L"Pexaron_navi_class",
                                        GetModuleHandleW(nullptr),
                                        NavigatorSource{&g_edit_state.view, g_edit_state.memory_dc}));
    HWND navigator = g_edit_state.navigator.window;
    HWND pane = first_view_pane();
    EXPECT_FALSE(IsWindowVisible(navigator));

    SendMessageW(pane, WM_RBUTTONDOWN, MK_RBUTTON, at(300, 200));
    SendMessageW(pane, WM_MOUSEMOVE, MK_RBUTTON, at(299, 199));
    EXPECT_FALSE(IsWindowVisible(navigator)) << "no pan before 3 pixels";
    SendMessageW(pane, WM_MOUSEMOVE, MK_RBUTTON, at(290, 195));
    ASSERT_EQ(g_edit_state.view.drag_mode, kDragPanning);
    EXPECT_TRUE(IsWindowVisible(navigator));
    // The whole image at the navigator's scale, its longer side 150 pixels.
    RECT inside;
    GetClientRect(navigator, &inside);
    EXPECT_EQ(inside.right, 150);
    EXPECT_EQ(inside.bottom, 100);
    // The frame of the visible part follows the view.
    const ViewFrame before = g_edit_state.view.navigator_frame;
    SendMessageW(pane, WM_MOUSEMOVE, MK_RBUTTON, at(250, 170));
    EXPECT_GT(g_edit_state.view.navigator_frame.left, before.left);
    EXPECT_GT(g_edit_state.view.navigator_frame.top, before.top);
    SendMessageW(pane, WM_RBUTTONUP, 0, at(250, 170));
    EXPECT_FALSE(IsWindowVisible(navigator));

    // A lost capture hides it as well.
    SendMessageW(pane, WM_RBUTTONDOWN, MK_RBUTTON, at(300, 200));
    SendMessageW(pane, WM_MOUSEMOVE, MK_RBUTTON, at(280, 200));
    ASSERT_TRUE(IsWindowVisible(navigator));
    ReleaseCapture();
    EXPECT_FALSE(IsWindowVisible(navigator));

    // An image that fits the pane never pans, so no navigator shows.
    load(40, 30);
    SendMessageW(pane, WM_RBUTTONDOWN, MK_RBUTTON, at(300, 200));
    SendMessageW(pane, WM_MOUSEMOVE, MK_RBUTTON, at(250, 170));
    EXPECT_FALSE(IsWindowVisible(navigator));
    SendMessageW(pane, WM_RBUTTONUP, 0, at(250, 170));
    destroy_navigator_window(g_edit_state.navigator);
}

TEST_F(EditWindowWin, TrimmingRefusesMaximiseAndBandDragWhileItDraws) {
    load(40, 30);
    g_edit_tool.kind = kToolTrimming;
    g_edit_tool.trimming_state = 1;
    SendMessageW(frame_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_FALSE(IsZoomed(frame_));
    // Nor may a band of the rebar be dragged meanwhile.
    NMREBAR drag = {};
    drag.hdr.hwndFrom = edit_bar_control(kRebarId);
    drag.hdr.idFrom = kRebarId;
    drag.hdr.code = RBN_BEGINDRAG;
    EXPECT_EQ(SendMessageW(frame_, WM_NOTIFY, kRebarId, LPARAM(&drag)), 1);
    g_edit_tool.trimming_state = kTrimmingAdjusting;
    EXPECT_EQ(SendMessageW(frame_, WM_NOTIFY, kRebarId, LPARAM(&drag)), 0);
    g_edit_tool.trimming_state = 1;
    g_edit_tool.trimming_state = kTrimmingAdjusting;
    SendMessageW(frame_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(IsZoomed(frame_));
    g_edit_tool.kind = 0;
    ShowWindow(frame_, SW_RESTORE);
}

bool shown(int id) {
    HWND window = edit_bar_control(id);
    return window && IsWindowVisible(window);
}

bool button_hidden(int id) {
    const LRESULT state = SendMessageW(edit_bar_control(kSaveBarId), TB_GETSTATE, WPARAM(id), 0);
    return (state & TBSTATE_HIDDEN) != 0;
}

std::vector<std::wstring> combo_items(int id) {
    HWND combo = edit_bar_control(id);
    std::vector<std::wstring> items;
    const int count = int(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(text));
        items.push_back(text);
    }
    return items;
}

void choose(int id, int item) {
    HWND combo = edit_bar_control(id);
    SendMessageW(combo, CB_SETCURSEL, WPARAM(item), 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(combo));
}

TEST_F(EditWindowWin, SaveBarShowsEachFormatsControlsAndLists) {
    load(40, 30);  // a BMP source: no lossless JPEG choice
    EXPECT_EQ(combo_items(kFormatComboId),
              (std::vector<std::wstring>{L"BMP", L"PNG", L"JPEG", L"TIFF", L"GIF"}));

    choose(kFormatComboId, kSavePng);
    EXPECT_EQ(g_edit_state.save.save_format, kSavePng);
    EXPECT_TRUE(shown(kPngLevelId));
    EXPECT_TRUE(shown(kGammaEditId));
    EXPECT_FALSE(shown(kJpegQualityId));
    EXPECT_FALSE(button_hidden(8610));
    EXPECT_TRUE(button_hidden(8631));
    EXPECT_EQ(combo_items(kBitDepthComboId).size(), 6u);

    choose(kFormatComboId, kSaveJpeg);
    EXPECT_TRUE(shown(kJpegQualityId));
    EXPECT_TRUE(shown(kSizeLimitBoxId));
    EXPECT_FALSE(shown(kPngLevelId));
    EXPECT_FALSE(button_hidden(8631));
    EXPECT_TRUE(button_hidden(8610));
    EXPECT_EQ(combo_items(kBitDepthComboId), (std::vector<std::wstring>{L"24bit(ﾌﾙｶﾗｰ)", L"8bit ｸﾞﾚｲｽｹｰﾙ"}));

    // The size limit takes the quality field's place.
    HWND box = edit_bar_control(kSizeLimitBoxId);
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(kSizeLimitBoxId, BN_CLICKED), LPARAM(box));
    EXPECT_EQ(g_edit_state.save.jpeg_size_limit_on, 1);
    EXPECT_FALSE(IsWindowEnabled(edit_bar_control(kJpegQualityId)));
    EXPECT_TRUE(IsWindowEnabled(edit_bar_control(kSizeLimitEditId)));

    // GIF at 7 bits, then PNG: the depth list shows 8 bits.
    choose(kFormatComboId, kSaveGif);
    choose(kBitDepthComboId, 1);
    EXPECT_EQ(g_edit_state.save.target_bits, 7);
    choose(kFormatComboId, kSavePng);
    EXPECT_EQ(g_edit_state.save.target_bits, 8);
    EXPECT_EQ(SendMessageW(edit_bar_control(kBitDepthComboId), CB_GETCURSEL, 0, 0), 1);

    // A JPEG source offers the lossless transform.
    g_edit_state.image.source_format = 3;
    refresh_after_image_change(false);
    EXPECT_EQ(combo_items(kFormatComboId).size(), 6u);
}

RECT control_rect(int id) {
    RECT r = {};
    GetWindowRect(edit_bar_control(id), &r);
    MapWindowPoints(nullptr, edit_bar_control(kSaveBarId), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(EditWindowWin, SaveBarFieldsStayOnTheirPlacesAsTheFormatChanges) {
    load(40, 30);
    const int combos_right = control_rect(kBitDepthComboId).right;
    const struct {
        int32_t format;
        std::vector<int> shown;  // left to right, none overlapping the next
    } cases[] = {
        {kSaveJpeg, {kJpegQualityId, kSizeLimitBoxId, kSizeLimitEditId}},
        {kSavePng, {kPngLevelId, kPngFilterId, kColourBoxId, kGammaEditId}},
        {kSaveGif, {kColourBoxId}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        choose(kFormatComboId, c.format);
        int left = combos_right;
        for (int id : c.shown) {
            ASSERT_TRUE(shown(id)) << id;
            const RECT r = control_rect(id);
            EXPECT_GE(r.left, left) << id;
            EXPECT_GT(r.right, r.left) << id;
            left = r.right;
        }
    }
}

TEST_F(EditWindowWin, ToolOptionBarFillsItsBand) {
    load(40, 30);
    create_tool_option_bar();
    HWND bar = edit_bar_control(kOptionBandId);
    ASSERT_NE(bar, nullptr);
    set_tool_band_child(bar, L"テスト");
    RECT r;
    GetClientRect(bar, &r);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_GE(r.right, 100);
    EXPECT_GE(r.bottom, 20);
    EXPECT_FALSE(IsWindowVisible(edit_bar_control(kSaveBarId)));
    close_tool_option_bar();
    EXPECT_EQ(edit_bar_control(kOptionBandId), nullptr);
    EXPECT_TRUE(IsWindowVisible(edit_bar_control(kSaveBarId)));
}

// Ends the menu whose loop runs, noting whether the edit window counted it as a modal loop.
std::vector<bool> g_menu_loops;
void CALLBACK end_menu_loop(HWND, UINT, UINT_PTR, DWORD) {
    g_menu_loops.push_back(edit_window_modal());
    EndMenu();
}

TEST_F(EditWindowWin, RightClickOnTheZoomTrackShowsThePresetsOnlyWithAnImage) {
    HWND track = edit_bar_control(kZoomTrackId);
    ASSERT_NE(track, nullptr);
    for (bool image : {false, true}) {
        SCOPED_TRACE(image);
        if (image) load(40, 30);
        g_menu_loops.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, end_menu_loop);
        const LRESULT result = SendMessageW(track, WM_RBUTTONUP, 0, at(5, 5));
        KillTimer(nullptr, timer);
        EXPECT_EQ(result != 0, image);
        EXPECT_EQ(g_menu_loops, image ? std::vector<bool>{true} : std::vector<bool>{});
        EXPECT_FALSE(edit_window_modal());
    }
}

TEST_F(EditWindowWin, ZoomTrackAndFieldFollowEachOther) {
    load(3000, 3000);
    HWND track = edit_bar_control(kZoomTrackId);
    HWND field = edit_bar_control(kZoomEditId);
    ASSERT_NE(track, nullptr);
    ASSERT_NE(field, nullptr);
    // Dragging the thumb to 90 writes 258 % into the field, which zooms the view.
    SendMessageW(GetParent(track), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 90), LPARAM(track));
    wchar_t text[16] = {};
    GetWindowTextW(field, text, 16);
    EXPECT_STREQ(text, L"258");
    EXPECT_EQ(g_edit_state.view.zoom, 25800);

    // Typing beyond the range is taken as the nearest end.
    SetWindowTextW(field, L"2000");
    EXPECT_EQ(g_edit_state.view.zoom, 100000);
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), 180);
    SetWindowTextW(field, L"5");
    EXPECT_EQ(g_edit_state.view.zoom, 1000);
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), 0);

    // A zoom command writes the field without acting on it again.
    edit_window_command(frame_, 8112);
    GetWindowTextW(field, text, 16);
    EXPECT_STREQ(text, L"100");
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), 54);
}

std::vector<int> menu_ids(HMENU menu) {
    std::vector<int> ids;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID;
        GetMenuItemInfoW(menu, UINT(i), TRUE, &info);
        ids.push_back(int(info.wID));
    }
    return ids;
}

UINT item_state(HMENU menu, int id) {
    return GetMenuState(menu, UINT(id), MF_BYCOMMAND);
}

TEST_F(EditWindowWin, MenusHoldTheirItemsAndTakeTheirStatesOnInitMenu) {
    load(40, 30);
    HMENU context = edit_menu(kEditMenuContext);
    ASSERT_NE(context, nullptr);
    // No separator between paste and delete; the two submenus last.
    EXPECT_EQ(menu_ids(context),
              (std::vector<int>{8030, 8032, 9900, 8040, 8041, 9900, 8320, 8321, 8050, 9900,
                                8060, 8061, 9900, 8310, 8311, 9900, 8070, 9900, 8210, 7300}));
    EXPECT_EQ(menu_ids(edit_menu(kEditMenuZoom)),
              (std::vector<int>{8120, 8121, 8122, 9900, 8123, 8124, 8125}));
    EXPECT_EQ(menu_ids(edit_menu(kEditMenuEdit)),
              (std::vector<int>{8404, 8405, 9900, 8406, 8407, 9900, 8408, 9900, 8403}));
    EXPECT_EQ(menu_ids(edit_menu(kEditMenuProcess)),
              (std::vector<int>{8441, 9900, 8442, 8443, 9900, 8444, 8445, 9900, 8446, 8447}));
    EXPECT_EQ(GetMenuItemCount(edit_menu(kEditMenuCorrect)), 17);
    EXPECT_EQ(GetMenuItemCount(edit_menu(kEditMenuTransform)), 11);
    EXPECT_EQ(menu_ids(edit_menu(kEditMenuBackground)), (std::vector<int>{8211, 8212, 8213, 8214, 8215}));

    g_shell.single_view.edit_background = 3;
    SendMessageW(frame_, WM_INITMENU, WPARAM(context), 0);
    EXPECT_FALSE(item_state(context, 8030) & MF_GRAYED);
    EXPECT_TRUE(item_state(context, 8040) & MF_GRAYED);  // not a JPEG
    EXPECT_FALSE(item_state(context, 8050) & MF_GRAYED);
    HMENU background = edit_menu(kEditMenuBackground);
    EXPECT_TRUE(item_state(background, 8214) & MF_CHECKED);
    EXPECT_FALSE(item_state(background, 8211) & MF_CHECKED);
    HMENU edit = edit_menu(kEditMenuEdit);
    EXPECT_FALSE(item_state(edit, 8404) & MF_GRAYED);
    EXPECT_TRUE(item_state(edit, 8405) & MF_GRAYED);  // nothing selected

    // A pasted image has no file: what needs one is greyed.
    g_edit_state.image.path[0] = 0;
    g_edit_state.image.file_name[0] = 0;
    SendMessageW(frame_, WM_INITMENU, WPARAM(context), 0);
    EXPECT_TRUE(item_state(context, 8030) & MF_GRAYED);
    EXPECT_TRUE(item_state(context, 8050) & MF_GRAYED);
    EXPECT_FALSE(item_state(context, 8320) & MF_GRAYED);

    // With a tool open the tools and the one-shot operations are greyed.
    g_edit_tool.kind = 17;
    SendMessageW(frame_, WM_INITMENU, WPARAM(edit), 0);
    EXPECT_TRUE(item_state(edit, 8404) & MF_GRAYED);
    EXPECT_TRUE(item_state(edit_menu(kEditMenuTransform), 8414) & MF_GRAYED);
    g_edit_tool.kind = 0;
}

TEST_F(EditWindowWin, HistoryWindowListsTheStepsAndMovesTheHistory) {
    load(40, 30);
    const uint8_t first = g_edit_state.bits[0];
    change();
    g_edit_state.bits[0] = uint8_t(first + 1);
    change();
    ASSERT_EQ(g_edit_state.history.step_count(), 3);

    edit_window_command(frame_, 8403);
    HWND window = history_window();
    ASSERT_NE(window, nullptr);
    HWND list = GetDlgItem(window, 712);
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    wchar_t text[32] = {};
    SendMessageW(list, LB_GETTEXT, 0, LPARAM(text));
    EXPECT_STREQ(text, L"元の画像");
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 2);
    EXPECT_FALSE(IsWindowEnabled(frame_));
    EXPECT_TRUE(g_edit_tool.accelerators_suspended);

    // Choosing the first line goes back two steps at once.
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(712, LBN_SELCHANGE), LPARAM(list));
    EXPECT_EQ(g_edit_state.history.current_step, 0);
    EXPECT_EQ(g_edit_state.bits[0], first);

    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(history_window(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(frame_));
    EXPECT_FALSE(g_edit_tool.accelerators_suspended);
}

std::wstring title_of(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

TEST_F(EditWindowWin, TransparentColourPickReadsTheImageAndEndsOnCaptureLoss) {
    load(40, 30);
    // Image pixel (1, 1): the second row from the top, stored second from the end.
    const int64_t stride = (40 * 3 + 3) / 4 * 4;
    uint8_t* pixel = g_edit_state.bits + (30 - 2) * stride + 3;
    pixel[0] = 30;  // B
    pixel[1] = 20;  // G
    pixel[2] = 10;  // R
    HWND pane = first_view_pane();
    const ViewGeometry& v = g_edit_state.view;
    const int x = v.dest_x + 1 * v.dest_width / 40, y = v.dest_y + 1 * v.dest_height / 30;

    edit_window_command(frame_, 8610);
    ASSERT_TRUE(g_edit_tool.pick_mode);
    EXPECT_EQ(g_edit_state.save_choices.transparent, 1);
    EXPECT_EQ(GetCapture(), pane);
    SendMessageW(pane, WM_MOUSEMOVE, 0, at(x, y));
    EXPECT_EQ(title_of(frame_), L"r:10  g:20  b:30");
    SendMessageW(pane, WM_MOUSEMOVE, 0, at(v.dest_x + v.dest_width + 2, y));
    EXPECT_EQ(title_of(frame_), L"r:-  g:-  b:-");
    SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
    EXPECT_FALSE(g_edit_tool.pick_mode);
    EXPECT_EQ(g_edit_state.save.transparent_colour, 10 | (20 << 8) | (30 << 16));
    EXPECT_EQ(g_edit_state.save_choices.transparent, 1);

    // Again: the flag goes off without a pick.
    edit_window_command(frame_, 8610);
    EXPECT_EQ(g_edit_state.save_choices.transparent, 0);
    EXPECT_FALSE(g_edit_tool.pick_mode);

    // A pick whose capture goes elsewhere ends without its colour.
    edit_window_command(frame_, 8610);
    ASSERT_TRUE(g_edit_tool.pick_mode);
    ReleaseCapture();
    EXPECT_FALSE(g_edit_tool.pick_mode);
    EXPECT_FALSE(g_edit_tool.accelerators_suspended);
    EXPECT_EQ(g_edit_state.save_choices.transparent, 0);
}

TEST_F(EditWindowWin, ActivationAsksOnceAboutAFileChangedOutside) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    g_save_path = std::wstring(folder) + L"edit_window_outside.bmp";
    HANDLE file = CreateFileW(g_save_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "BM", 2, &written, nullptr);
    CloseHandle(file);
    LoadedImage image = make_image(10, 10);
    (void)install_edit_image(image, false, true);
    (void)set_current_image_info(image, reinterpret_cast<const char16_t*>(g_save_path.c_str()),
                                 kHistoryClear);
    refresh_file_time();

    SendMessageW(frame_, WM_ACTIVATEAPP, TRUE, 0);
    pump();
    EXPECT_TRUE(g_boxes.empty());

    file = CreateFileW(g_save_path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME later = {0x10000000, 0x01E00000};
    SetFileTime(file, nullptr, nullptr, &later);
    CloseHandle(file);
    g_answer = IDNO;
    // The question waits until the activation has been handled.
    SendMessageW(frame_, WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_TRUE(g_boxes.empty());
    pump();
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], L"edit_window_outside.bmp は変更されています。開き直しますか?");
    SendMessageW(frame_, WM_ACTIVATEAPP, TRUE, 0);
    pump();
    EXPECT_EQ(g_boxes.size(), 1u);
}

// The edit window's own thread, started as the main window starts it, on a fixture.
class EditThreadWin : public ::testing::Test {
protected:
    static LRESULT CALLBACK main_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
        if (message == kAppMessage && wparam == kMainThreadEnded) ++ended_;
        return DefWindowProcW(window, message, wparam, lparam);
    }

    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        register_edit_classes();
        ASSERT_TRUE(create_codec_contexts());
        previous_hook_ = set_message_box_hook(answering_box);
        g_boxes.clear();
        g_answer = IDOK;
        ended_ = 0;
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = main_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"edit_thread_test_main";
        RegisterClassExW(&wc);
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.main_window = CreateWindowExW(0, L"edit_thread_test_main", nullptr, WS_POPUP, 0, 0, 10, 10,
                                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        fill_image_window_entry_points(&table_);
    }

    void TearDown() override {
        DestroyWindow(g_shell.main_window);
        g_shell.main_window = nullptr;
        g_edit_state = EditState{};
        g_shell.single_view = SingleViewSettings{};
        set_message_box_hook(previous_hook_);
    }

    // Starts the thread on `path`; the window, or null when it closed itself.
    HANDLE start(const std::wstring& path) {
        lstrcpynW(handover_path(), path.c_str(), MAX_PATH);
        unsigned id = 0;
        return table_.start_edit_window_thread(&id);
    }

    void wait_for_end(HANDLE thread) {
        for (int i = 0; i < 500 && WaitForSingleObject(thread, 10) == WAIT_TIMEOUT; ++i) pump();
        pump();
        CloseHandle(thread);
    }

    static int ended_;
    ShellEntryPoints table_;
    MessageBoxHook previous_hook_ = nullptr;
};

int EditThreadWin::ended_ = 0;

TEST_F(EditThreadWin, OpensTheHandedOverFileAndReportsItsEnd) {
    const std::wstring path = L"" PX_TEST_SOURCE_DIR "/tests/codecs/browser_fixtures/bmp_24.bmp";
    HANDLE thread = start(path);
    ASSERT_NE(thread, nullptr);
    HWND window = table_.current_image_window();
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_NULL, 0, 0);  // the first load is over once the window answers
    EXPECT_TRUE(edit_image_loaded());
    EXPECT_EQ(g_edit_state.window_kind, 1);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(g_edit_state.image.file_name), L"bmp_24.bmp");
    EXPECT_EQ(handover_path()[0], L'\0');
    EXPECT_TRUE(g_boxes.empty());

    PostMessageW(window, WM_CLOSE, 0, 0);
    wait_for_end(thread);
    EXPECT_EQ(ended_, 1);
    EXPECT_FALSE(edit_image_loaded());
}

void click_mouse() {
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

bool wait_for_popup(int id, int timeout_ms = 3000) {
    for (int i = 0; i < timeout_ms / 20 && open_tool_group_popup() != id; ++i) Sleep(20);
    return open_tool_group_popup() == id;
}

TEST_F(EditThreadWin, MovingOntoAnotherToolGroupOpensItsPopup) {
    g_shell.single_view.edit_window = {0, 0, 800, 600};
    HANDLE thread = start(L"" PX_TEST_SOURCE_DIR "/tests/codecs/browser_fixtures/bmp_24.bmp");
    ASSERT_NE(thread, nullptr);
    HWND window = table_.current_image_window();
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_NULL, 0, 0);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SendMessageW(window, WM_NULL, 0, 0);

    // The user drops the edit group down, then moves along the bar onto the correction group: the
    // mouse hook of the edit window's thread ends the first popup and the frame opens the second.
    // A freshly shown window on the X server may miss the very first press: it is pressed again.
    for (int attempt = 0; attempt < 3 && open_tool_group_popup() != 8400; ++attempt) {
        move_mouse_to(group_button_centre(8400));
        Sleep(100);
        click_mouse();
        wait_for_popup(8400, 1000);
    }
    ASSERT_EQ(open_tool_group_popup(), 8400);
    move_mouse_to(group_button_centre(8420));
    EXPECT_TRUE(wait_for_popup(8420));
    // Back onto the open group's own button nothing changes.
    move_mouse_to(group_button_centre(8420));
    Sleep(100);
    EXPECT_EQ(open_tool_group_popup(), 8420);

    // A click in the panes ends the menu. The click goes where the popup does not cover the
    // pane: on one of its items it would be a press on a (greyed) command instead.
    RECT pane;
    GetWindowRect(first_view_pane(), &pane);
    RECT popup = {};
    if (HWND menu = FindWindowW(L"#32768", nullptr)) GetWindowRect(menu, &popup);
    POINT spot = {pane.right - 20, pane.bottom - 20};
    if (PtInRect(&popup, spot)) spot.x = pane.left + 20;
    move_mouse_to(spot);
    click_mouse();
    EXPECT_TRUE(wait_for_popup(-1));
    PostMessageW(window, WM_CLOSE, 0, 0);
    wait_for_end(thread);
}

TEST_F(EditThreadWin, AFileThatDoesNotLoadClosesTheWindowAfterTheBox) {
    HANDLE thread = start(L"Z:\\nowhere\\missing.bmp");
    ASSERT_NE(thread, nullptr);
    wait_for_end(thread);
    EXPECT_EQ(ended_, 1);
    ASSERT_FALSE(g_boxes.empty());
    EXPECT_EQ(g_boxes.back(), L"画像の表示に失敗しました。");
}

TEST_F(EditWindowWin, MenusAndBarTooltipsShowTheKeysFromTheSettingsFile) {
    ASSERT_TRUE(load_view_keys_from_file("edit-keys.ini", {{0x09, 'H', 8310}, {0x0D, VK_F1, 8111}}));
    // The window reads the keys in force when it opens.
    DestroyWindow(frame_);
    frame_ = CreateWindowExW(0, L"Pexaron_swin_class", nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                             600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(frame_, nullptr);

    constexpr UINT kSep = 9900;
    const struct {
        UINT id;
        std::vector<std::wstring> drawn;
    } want[] = {
        {8030, drawn_line(L"開き直す(&B)", L"BackSpace")},
        {8032, drawn_line(L"上書き保存(&S)")},
        {kSep, {}},
        {8040, drawn_line(L"右回転保存(JEPGロスレス)(&R)")},
        {8041, drawn_line(L"左回転保存(JEPGロスレス)(&L)")},
        {kSep, {}},
        {8320, drawn_line(L"コピー(クリップボード)(&C)", L"C")},
        {8321, drawn_line(L"貼り付け(クリップボード)(&V)", L"V")},
        {8050, drawn_line(L"削除(&D)", L"Delete")},
        {kSep, {}},
        {8060, drawn_line(L"コメント表示/編集(&E)...")},
        {8061, drawn_line(L"テキストデータ表示(&T)")},
        {kSep, {}},
        {8310, drawn_line(L"ヒストグラム表示(&H)", L"Ctrl+H")},
        {8311, drawn_line(L"使用色数確認(&N)")},
        {kSep, {}},
        {8070, drawn_line(L"印刷(プレビュー)(&P)...", L"Ctrl+P")},
        {kSep, {}},
        {UINT(-1), drawn_line(L"背景色")},
        {UINT(-1), drawn_line(L"ツール(&T)")},
    };
    const std::vector<DrawnMenuItem> items = draw_menu_items(frame_, edit_menu(kEditMenuContext));
    ASSERT_EQ(items.size(), std::size(want));
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        if (!items[i].submenu) EXPECT_EQ(items[i].id, want[i].id);
        if (items[i].separator) continue;
        EXPECT_GT(items[i].measured.cx, 20);
        EXPECT_EQ(items[i].drawn, want[i].drawn);
    }
    const std::vector<DrawnMenuItem> edit_group = draw_menu_items(frame_, edit_menu(kEditMenuEdit));
    ASSERT_FALSE(edit_group.empty());
    EXPECT_EQ(edit_group.front().drawn, drawn_line(L"領域選択(&S)..."));
    EXPECT_EQ(edit_group.back().drawn, drawn_line(L"変更履歴表示(&W)"));

    HWND tab = edit_bar_control(kToolTabBarId);
    HWND zoom = edit_bar_control(kZoomBarId);
    HWND tips = reinterpret_cast<HWND>(SendMessageW(tab, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(tooltip_text(tips, tab, 8031), L"名前を付けて保存 (Ctrl+S)");
    EXPECT_EQ(tooltip_text(tips, tab, 8401), L"元に戻す (Ctrl+Z)");
    EXPECT_EQ(tooltip_text(tips, tab, 8402), L"やり直し (Ctrl+Shift+Z)");
    EXPECT_EQ(tooltip_text(tips, zoom, 8111), L"画面に合わせて表示 (Ctrl+Shift+F1)");
    EXPECT_EQ(tooltip_text(tips, zoom, 8231), L"ファーストビュー(元の画像) (D)");

    fill_default_view_keys(g_shell.view_keys.entries);
    g_shell.view_accelerators.reset();
    g_shell.settings_read.single_view = false;
    g_shell.settings_path[0] = 0;
}

TEST_F(EditWindowWin, ZoomFieldAndTrackbarFollowARefitAndAZoomRectangle) {
    g_shell.single_view.fit_large[2] = 1;
    load(1600, 1200);
    HWND field = edit_bar_control(kZoomEditId);
    HWND track = edit_bar_control(kZoomTrackId);
    auto shown = [&] {
        wchar_t text[16] = {};
        GetWindowTextW(field, text, 16);
        return std::wstring(text);
    };
    const int32_t fitted = g_edit_state.view.zoom / 100;
    ASSERT_LT(fitted, 100);
    EXPECT_EQ(shown(), std::to_wstring(fitted));
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), zoom_percent_to_track(fitted));
    // Showing the value does not act on it.
    EXPECT_EQ(g_edit_state.view.zoom / 100, fitted);

    HWND pane = first_view_pane();
    const WPARAM keys = MK_LBUTTON | MK_CONTROL;
    SendMessageW(pane, WM_LBUTTONDOWN, keys, at(100, 100));
    SendMessageW(pane, WM_MOUSEMOVE, keys, at(160, 140));
    SendMessageW(pane, WM_LBUTTONUP, MK_CONTROL, at(160, 140));
    const int32_t zoomed = g_edit_state.view.zoom / 100;
    ASSERT_GT(zoomed, fitted);
    EXPECT_EQ(shown(), std::to_wstring(zoomed));
    EXPECT_EQ(SendMessageW(track, TBM_GETPOS, 0, 0), zoom_percent_to_track(zoomed));
}

TEST_F(EditWindowWin, MenuStatesFollowTheImageItsFormatAndTheClipboard) {
    // The dialogs behind 8060 and 8061 are present, as in the whole program.
    const ShellEntryPoints saved_table = shell_entry_points();
    ShellEntryPoints table = saved_table;
    test_double_dialog::fill_entry_points(&table);
    install_shell_entry_points(table);
    if (OpenClipboard(frame_)) {
        EmptyClipboard();
        CloseClipboard();
    }
    HMENU context = edit_menu(kEditMenuContext);
    HMENU edit_group = edit_menu(kEditMenuEdit);
    auto state = [&](HMENU menu, UINT id) {
        SendMessageW(frame_, WM_INITMENU, WPARAM(menu), 0);
        return GetMenuState(menu, id, MF_BYCOMMAND);
    };
    for (UINT id : {8060u, 8061u, 8070u, 8321u, 8320u}) EXPECT_TRUE(state(context, id) & MF_GRAYED) << id;

    load(40, 30);  // a BMP
    for (UINT id : {8060u, 8061u, 8321u}) EXPECT_TRUE(state(context, id) & MF_GRAYED) << id;
    for (UINT id : {8070u, 8320u, 8310u}) EXPECT_FALSE(state(context, id) & MF_GRAYED) << id;

    g_edit_state.image.source_format = kFilePng;
    g_edit_state.image.flag_comment = 1;
    g_edit_state.image.flag_metadata = 1;
    EXPECT_EQ(state(context, 8060) & (MF_GRAYED | MF_CHECKED), UINT(MF_CHECKED));
    EXPECT_FALSE(state(context, 8061) & MF_GRAYED);

    EXPECT_FALSE(state(edit_group, 8404) & MF_CHECKED);
    uint8_t mask = 0;
    g_edit_state.selection.selection_mask = &mask;
    EXPECT_TRUE(state(edit_group, 8404) & MF_CHECKED);
    g_edit_state.selection.selection_mask = nullptr;

    copy_image_to_clipboard();
    EXPECT_FALSE(state(context, 8321) & MF_GRAYED);
    if (OpenClipboard(frame_)) {
        EmptyClipboard();
        CloseClipboard();
    }
    install_shell_entry_points(saved_table);
}

TEST_F(EditWindowWin, MouseHelpShowsItsTextsUnclipped) {
    g_help_dialogs.clear();
    ASSERT_EQ(read_help_dialog(frame_, 6770, edit_help_dialog_proc, 0), IDOK);
    ASSERT_EQ(g_help_dialogs.size(), 1u);
    expect_help_dialog(g_help_dialogs[0], 6770, L"編集用ウィンドウのマウス操作",
                       {{6771, L"次回からこのヘルプを表示しない"}, {IDOK, L"OK"}});
}

}  // namespace
