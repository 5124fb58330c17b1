// One tool of the test's own, written against tool_host.h only and installed through the table
// the program fills, driven through the real edit window: opening, the preview in the work DC,
// apply with its undo step, cancel, a first step that cannot be stored, the pane mouse with
// real input, a colour pick, a panel notification, and the one-shot commands with the menu
// state of one that nobody registered.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_bars.h"
#include "imagewin/edit_menus.h"
#include "imagewin/edit_window.h"
#include "imagewin/image_windows.h"
#include "imagewin/tool_host.h"
#include "shell/shell_state.h"

namespace {

std::vector<std::wstring> g_boxes;
std::vector<std::string> g_calls;

int recording_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

void note(const std::string& call) {
    g_calls.push_back(call);
}

bool called(const std::string& call) {
    for (const std::string& c : g_calls)
        if (c == call) return true;
    return false;
}

int64_t stride_of(int32_t width) {
    return (int64_t(width) * 3 + 3) / 4 * 4;
}

HBITMAP make_dib(int32_t width, int32_t height, uint8_t** bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = static_cast<uint8_t*>(pixels);
    return bitmap;
}

std::vector<uint8_t> shown_rows() {
    const EditState& s = g_edit_state;
    return std::vector<uint8_t>(s.bits, s.bits + stride_of(s.image.width) * s.image.height);
}

// The current image inverted into a new DIB described as a tool's result.
LoadedImage inverted_copy(HBITMAP* bitmap_out) {
    const EditState& s = g_edit_state;
    LoadedImage result = {};
    result.info.size = 40;
    result.info.width = s.image.width;
    result.info.height = s.image.height;
    result.info.planes = 1;
    result.info.bit_count = 24;
    result.source_bits = 24;
    HBITMAP bitmap = make_dib(s.image.width, s.image.height, &result.pixels);
    for (int64_t i = 0; i < stride_of(s.image.width) * s.image.height; ++i)
        result.pixels[i] = uint8_t(255 - s.bits[i]);
    result.bitmap = reinterpret_cast<OsHandle>(bitmap);
    *bitmap_out = bitmap;
    return result;
}

// ---- The tool ----

struct DoubleTool {
    HBITMAP result = nullptr;
    LoadedImage image = {};
    HGDIOBJ previous = nullptr;
    HWND box = nullptr;
    COLORREF range = 0;
};

constexpr int32_t kPickButton = 1530;  // the hue/saturation panel's "Pic"
constexpr int32_t kRangeBox = 1531;
bool g_colour_chosen = true;

void trackbar(void* context, WPARAM wparam, LPARAM) {
    note(context ? "hscroll " + std::to_string(LOWORD(wparam)) : "hscroll without context");
}

void* double_create() {
    note("create");
    g_edit_tool.hook_armed = true;
    set_tool_group_buttons_state(16);
    set_tool_trackbar_routines(trackbar, nullptr);
    return new DoubleTool;
}

bool double_start(void* context, int32_t) {
    note("start");
    auto* tool = static_cast<DoubleTool*>(context);
    create_tool_option_bar();
    HWND bar = tool_option_bar();
    if (!bar) return false;
    tool->box = CreateWindowExW(0, L"Pexaron_cbox_class", L"", WS_CHILD | WS_VISIBLE, 58, 3, 18, 18, bar,
                                reinterpret_cast<HMENU>(kRangeBox), GetModuleHandleW(nullptr), nullptr);
    set_tool_band_child(bar, L"double");
    tool->image = inverted_copy(&tool->result);
    tool->previous = show_tool_result(tool->result);
    return true;
}

bool double_finish(void* context, bool apply) {
    note(apply ? "finish apply" : "finish cancel");
    auto* tool = static_cast<DoubleTool*>(context);
    hide_tool_result(tool->previous);
    if (!apply) return false;
    // The step's name is built here and gone when the history lists it.
    std::u16string name = u"ダブル";
    if (!commit_tool_result(tool->image, false, name.c_str())) return false;
    name.assign(u"xxxxxx");
    tool->result = nullptr;  // the window's now
    return true;
}

void double_destroy(void* context) {
    note("destroy");
    auto* tool = static_cast<DoubleTool*>(context);
    if (tool->result) DeleteObject(tool->result);
    close_tool_option_bar();
    set_tool_group_buttons_state(4);
    delete tool;
    g_edit_tool.hook_armed = false;
}

void double_command(void*, WPARAM wparam, HWND) {
    note("command " + std::to_string(LOWORD(wparam)));
    if (LOWORD(wparam) == kPickButton) (void)start_tool_colour_pick();
}

LRESULT double_notify(void*, const NMHDR* header) {
    note("notify " + std::to_string(header->idFrom) + " " + std::to_string(int(header->code)));
    return 77;
}

void double_down(void*, LPARAM, WPARAM) {
    note("down");
}
void double_up(void*, LPARAM, WPARAM) {
    note("up");
}
void double_move(void*, LPARAM, WPARAM keys) {
    note("move " + std::to_string(keys));
}
void double_leave(void*) {
    note("leave");
}
void double_end_pick(void* context, bool take) {
    auto* tool = static_cast<DoubleTool*>(context);
    if (take) tool->range = RGB(g_edit_tool.picked[0], g_edit_tool.picked[1], g_edit_tool.picked[2]);
    note(take ? "pick taken" : "pick dropped");
}
COLORREF double_box(void* context, int32_t) {
    return static_cast<DoubleTool*>(context)->range;
}
bool double_choose(void*, HWND) {
    note("colour dialog");
    return g_colour_chosen;
}
void double_range(void*) {
    note("range colour");
}

EditToolOps double_ops() {
    EditToolOps ops;
    ops.create = double_create;
    ops.start = double_start;
    ops.finish = double_finish;
    ops.destroy = double_destroy;
    ops.command = double_command;
    ops.notify = double_notify;
    ops.mouse_down = double_down;
    ops.mouse_up = double_up;
    ops.mouse_move = double_move;
    ops.mouse_leave = double_leave;
    ops.end_colour_pick = double_end_pick;
    ops.colour_box = double_box;
    ops.choose_colour = double_choose;
    ops.apply_range_colour = double_range;
    return ops;
}

// Invert tones at once, as the one-shot commands commit their results.
bool invert_at_once(int32_t command) {
    note("one-shot " + std::to_string(command));
    HBITMAP bitmap = nullptr;
    LoadedImage result = inverted_copy(&bitmap);
    if (!commit_tool_result(result, false, u"階調反転")) {
        DeleteObject(bitmap);
        return false;
    }
    return true;
}

// Pixels outside the mask go black; selected ones are copied.
void black_outside(const uint8_t* mask, uint8_t* out_rows, const uint8_t* image_rows) {
    const int32_t width = g_edit_state.image.width;
    const int64_t stride = stride_of(width);
    for (int32_t y = 0; y < g_edit_state.image.height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int64_t at = y * stride + x * 3 + c;
                out_rows[at] = mask[int64_t(y) * width + x] == 0 ? image_rows[at] : 0;
            }
}

EditToolTable make_table() {
    EditToolTable table;
    table.render_selection_overlay = black_outside;
    // The paint slot for the mouse, hue/saturation for the pick and the range colour,
    // trimming for the zoom controls.
    for (int32_t kind : {kToolPaint, kToolText, kToolTrimming, kToolHueSaturation, 13})
        table.kinds[kind] = double_ops();
    table.one_shots[edit_one_shot_index(8430)] = invert_at_once;
    return table;
}

// History files that cannot be made.
class FailingUndoFiles : public UndoFileOps {
public:
    bool create_temp_file(std::u16string*) override { return false; }
    OsHandle open_write(const std::u16string&) override { return kClosedFile; }
    bool write(OsHandle, const void*, uint32_t) override { return false; }
    OsHandle open_read(const std::u16string&) override { return kClosedFile; }
    bool size(OsHandle, uint64_t*) override { return false; }
    bool read(OsHandle, void*, uint32_t, uint32_t*) override { return false; }
    void close(OsHandle) override {}
    void delete_file(const std::u16string&) override {}
};

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps until `done` or 5 s have passed.
template <typename Done>
bool pump_until(Done done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 5000) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pump();
    }
    return true;
}

void move_mouse_to(POINT screen) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx =
        LONG((screen.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1));
    input.mi.dy =
        LONG((screen.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

POINT pane_centre_on_screen(HWND pane) {
    RECT r;
    GetClientRect(pane, &r);
    POINT p = {r.right / 2, r.bottom / 2};
    ClientToScreen(pane, &p);
    return p;
}

void register_classes() {
    const struct {
        const wchar_t* name;
        WNDPROC procedure;
    } classes[] = {{L"Pexaron_swin_class", edit_window_proc},
                   {L"Pexaron_sch1_class", DefWindowProcW},
                   {L"Pexaron_sch2_class", DefWindowProcW},
                   {L"Pexaron_cbox_class", colour_box_proc}};
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

class ToolHostDouble : public ::testing::Test {
protected:
    static void SetUpTestSuite() { register_classes(); }

    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        previous_ops_ = set_undo_file_ops(&system_undo_file_ops());
        previous_hook_ = set_message_box_hook(recording_box);
        g_boxes.clear();
        g_calls.clear();
        g_colour_chosen = true;
        g_shell.instance = GetModuleHandleW(nullptr);
        g_edit_tool = EditToolHost{};
        const EditToolTable table = make_table();
        install_edit_tool_table(&table);
        build_edit_menus();
        frame_ = CreateWindowExW(0, L"Pexaron_swin_class", nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(frame_, nullptr);
        SetForegroundWindow(frame_);
        pump();
        HBITMAP bitmap = nullptr;
        LoadedImage image = {};
        image.info.size = 40;
        image.info.width = 40;
        image.info.height = 30;
        image.info.planes = 1;
        image.info.bit_count = 24;
        image.format = 2;
        image.source_bits = 24;
        bitmap = make_dib(40, 30, &image.pixels);
        image.bitmap = reinterpret_cast<OsHandle>(bitmap);
        for (int64_t i = 0; i < stride_of(40) * 30; ++i) image.pixels[i] = uint8_t(i * 7 + 1);
        (void)install_edit_image(image, false, true);
        (void)set_current_image_info(image, u"C:\\pics\\image.png", kHistoryClear);
        refresh_after_image_change(true);
        pump();
    }

    void TearDown() override {
        if (g_edit_tool.kind) command(9001);
        set_undo_file_ops(&system_undo_file_ops());
        history_clear();
        if (IsWindow(frame_)) DestroyWindow(frame_);
        pump();
        destroy_edit_menus();
        install_edit_tool_table(nullptr);
        release_current_image();
        if (g_edit_state.memory_dc) DeleteDC(g_edit_state.memory_dc);
        g_edit_state = EditState{};
        g_edit_tool = EditToolHost{};
        set_message_box_hook(previous_hook_);
        set_undo_file_ops(previous_ops_);
    }

    void command(int32_t id) { SendMessageW(frame_, WM_COMMAND, WPARAM(id), 0); }

    HWND frame_ = nullptr;
    UndoFileOps* previous_ops_ = nullptr;
    MessageBoxHook previous_hook_ = nullptr;
};

TEST_F(ToolHostDouble, OpenPreviewApplyAndCancel) {
    const std::vector<uint8_t> before = shown_rows();
    command(8427);  // colour balance, in the slot of the double
    ASSERT_EQ(g_edit_tool.kind, 13);
    EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneEditedOnly);
    ASSERT_TRUE(g_edit_tool.result_present);
    BITMAP shown = {};
    ASSERT_NE(GetObjectW(GetCurrentObject(g_edit_tool.work_dc, OBJ_BITMAP), sizeof shown, &shown), 0);
    ASSERT_NE(shown.bmBits, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(shown.bmBits)[0], uint8_t(255 - before[0]));
    EXPECT_EQ(shown_rows(), before);

    // The panel's trackbar scroll reaches the tool with its context.
    SendMessageW(tool_option_bar(), WM_HSCROLL, TB_THUMBTRACK, 0);
    EXPECT_TRUE(called("hscroll " + std::to_string(TB_THUMBTRACK)));

    command(9001);
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_EQ(shown_rows(), before);
    EXPECT_EQ(g_edit_state.history.step_count(), 0);
    EXPECT_EQ(tool_option_bar(), nullptr);

    command(8427);
    command(9000);
    EXPECT_EQ(g_edit_tool.kind, 0);
    const std::vector<uint8_t> after = shown_rows();
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(after[i], uint8_t(255 - before[i])) << i;
    ASSERT_EQ(g_edit_state.history.step_count(), 2);
    EXPECT_EQ(g_edit_state.history.steps[0].name, std::u16string(u"元の画像"));
    // The name outlives the text the tool built it from.
    EXPECT_EQ(g_edit_state.history.steps[1].name, std::u16string(u"ダブル"));
    // A tool's result is described as a BMP of its pixel bytes.
    EXPECT_EQ(g_edit_state.image.source_format, 1);
    EXPECT_EQ(g_edit_state.image.file_size, 54 + stride_of(40) * 30);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ToolHostDouble, AFirstStepThatCannotBeStoredInstallsNothing) {
    const std::vector<uint8_t> before = shown_rows();
    const HBITMAP bitmap = g_edit_state.bitmap;
    FailingUndoFiles failing;
    set_undo_file_ops(&failing);
    command(8427);
    ASSERT_EQ(g_edit_tool.kind, 13);
    command(9000);
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_EQ(g_edit_state.bitmap, bitmap);
    EXPECT_EQ(shown_rows(), before);
    EXPECT_EQ(g_edit_state.history.step_count(), 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], L"履歴の保存に失敗しました。");
    EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneFirstOnly);

    // The one-shot commands follow the same contract.
    g_boxes.clear();
    command(8430);
    EXPECT_EQ(g_edit_state.bitmap, bitmap);
    EXPECT_EQ(shown_rows(), before);
    EXPECT_EQ(g_boxes.size(), 1u);
}

TEST_F(ToolHostDouble, RealMouseReachesTheToolAndLeavingIsTold) {
    command(8406);  // paint
    ASSERT_EQ(g_edit_tool.kind, kToolPaint);
    HWND pane = edited_view_pane();
    ASSERT_TRUE(IsWindowVisible(pane));
    move_mouse_to(pane_centre_on_screen(pane));
    ASSERT_TRUE(pump_until([] { return called("move 0"); }));
    RECT frame_rect;
    GetWindowRect(frame_, &frame_rect);
    move_mouse_to({frame_rect.right + 40, frame_rect.bottom + 40});
    EXPECT_TRUE(pump_until([] { return called("leave"); }));

    // Moves with only the right button or with Ctrl and the left one are the view's.
    g_calls.clear();
    SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, MAKELPARAM(5, 5));
    SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"down", "up"}));
    command(9001);

    // The text tool takes moves only with the left button down.
    command(8408);
    ASSERT_EQ(g_edit_tool.kind, kToolText);
    g_calls.clear();
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
    SendMessageW(pane, WM_MOUSELEAVE, 0, 0);
    SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(7, 7));
    EXPECT_EQ(g_calls, std::vector<std::string>{"move " + std::to_string(MK_LBUTTON)});
    command(9001);

    // A colour tool has no pane services.
    command(8427);
    g_calls.clear();
    SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(ToolHostDouble, AColourPickTracksTheBoxAndEndsOnThePress) {
    command(8428);  // hue/saturation
    ASSERT_EQ(g_edit_tool.kind, kToolHueSaturation);
    HWND bar = tool_option_bar();
    HWND box = GetDlgItem(bar, kRangeBox);
    ASSERT_NE(box, nullptr);
    SendMessageW(frame_, WM_COMMAND, MAKEWPARAM(kPickButton, BN_CLICKED), LPARAM(bar));
    ASSERT_TRUE(g_edit_tool.pick_mode);
    EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneFirstOnly);
    HWND first = first_view_pane();
    EXPECT_EQ(GetCapture(), first);
    const ViewGeometry& v = g_edit_state.view;
    const LPARAM inside = MAKELPARAM(v.dest_x + 1, v.dest_y + 1);

    UpdateWindow(box);
    SendMessageW(first, WM_MOUSEMOVE, 0, inside);
    RECT dirty;
    EXPECT_TRUE(GetUpdateRect(box, &dirty, FALSE));
    wchar_t title[64] = {};
    GetWindowTextW(frame_, title, 64);
    EXPECT_EQ(std::wstring(title).substr(0, 2), L"r:");
    EXPECT_NE(std::wstring(title), L"r:-  g:-  b:-");

    SendMessageW(first, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    EXPECT_TRUE(called("pick taken"));
    EXPECT_FALSE(g_edit_tool.pick_mode);
    EXPECT_NE(GetCapture(), first);
    EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneEditedOnly);
    EXPECT_EQ(g_edit_tool.kind, kToolHueSaturation);

    // The range colour from the dialog rebuilds the tool's range; a dialog left without a
    // colour does not.
    for (bool chosen : {true, false}) {
        g_calls.clear();
        g_colour_chosen = chosen;
        SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        EXPECT_EQ(called("range colour"), chosen);
        EXPECT_TRUE(g_edit_tool.hook_armed);
    }
}

TEST_F(ToolHostDouble, PanelNotificationsReachTheTool) {
    command(8427);
    ASSERT_EQ(g_edit_tool.kind, 13);
    HWND bar = tool_option_bar();
    NMHDR header = {};
    header.hwndFrom = GetDlgItem(bar, kRangeBox);
    header.idFrom = kRangeBox;
    header.code = UINT(NM_CLICK);
    EXPECT_EQ(SendMessageW(bar, WM_NOTIFY, kRangeBox, LPARAM(&header)), 77);
    EXPECT_TRUE(called("notify 1531 " + std::to_string(int(NM_CLICK))));
}

TEST_F(ToolHostDouble, OneShotCommandsRunAndTheUnregisteredOnesAreGrey) {
    const std::vector<uint8_t> before = shown_rows();
    HMENU correct = edit_menu(kEditMenuCorrect);
    SendMessageW(frame_, WM_INITMENU, WPARAM(correct), 0);
    EXPECT_EQ(GetMenuState(correct, 8430, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_NE(GetMenuState(correct, 8422, MF_BYCOMMAND) & MF_GRAYED, 0u);  // equalize: no routine
    EXPECT_NE(GetMenuState(correct, 8432, MF_BYCOMMAND) & MF_GRAYED, 0u);  // blur: no tool
    HMENU transform = edit_menu(kEditMenuTransform);
    SendMessageW(frame_, WM_INITMENU, WPARAM(transform), 0);
    EXPECT_NE(GetMenuState(transform, 8414, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_EQ(GetMenuState(transform, 8411, MF_BYCOMMAND) & MF_GRAYED, 0u);

    command(8422);
    EXPECT_EQ(shown_rows(), before);
    command(8430);
    EXPECT_TRUE(called("one-shot 8430"));
    const std::vector<uint8_t> after = shown_rows();
    EXPECT_EQ(after[0], uint8_t(255 - before[0]));
    EXPECT_EQ(g_edit_state.history.step_count(), 2);

    // Refused while a tool is open.
    command(8427);
    g_calls.clear();
    command(8430);
    EXPECT_FALSE(called("one-shot 8430"));
}

TEST_F(ToolHostDouble, TrimmingGivesTheZoomControlsBack) {
    command(8411);
    ASSERT_EQ(g_edit_tool.kind, kToolTrimming);
    HWND zoom = edit_bar_control(kZoomTrackId);
    ASSERT_NE(zoom, nullptr);
    EXPECT_FALSE(IsWindowEnabled(zoom));
    command(9001);
    EXPECT_TRUE(IsWindowEnabled(zoom));
}

TEST_F(ToolHostDouble, ToolResultsKeepTheSaveChoicesUnlessAsked) {
    g_edit_state.save_choices.transparent = 1;
    g_edit_state.save_choices.insert_comment = 1;
    g_edit_state.save_choices.lossless_operation = 2;
    command(8427);
    command(9000);
    EXPECT_EQ(g_edit_state.save_choices.transparent, 1);
    EXPECT_EQ(g_edit_state.save_choices.insert_comment, 1);
    EXPECT_EQ(g_edit_state.save_choices.lossless_operation, 2);

    HBITMAP bitmap = nullptr;
    LoadedImage result = inverted_copy(&bitmap);
    ASSERT_TRUE(commit_tool_result(result, false, u"x", true));
    EXPECT_EQ(g_edit_state.save_choices.transparent, 0);
    EXPECT_EQ(g_edit_state.save_choices.insert_comment, 1);
}

TEST_F(ToolHostDouble, TheSelectionViewComesFromTheRegisteredRenderer) {
    const int32_t width = g_edit_state.image.width;
    const int32_t height = g_edit_state.image.height;
    auto* mask = static_cast<uint8_t*>(std::malloc(size_t(width) * height));
    ASSERT_NE(mask, nullptr);
    // The left half selected.
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) mask[y * width + x] = x < width / 2 ? 0 : 255;
    ASSERT_TRUE(install_edit_selection(mask));
    ASSERT_NE(g_edit_state.selection.selection_overlay, nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<uint8_t> rows(size_t(stride_of(width) * height));
    HDC dc = GetDC(nullptr);
    ASSERT_EQ(GetDIBits(dc, g_edit_state.selection.selection_overlay, 0, UINT(height), rows.data(), &info,
                        DIB_RGB_COLORS),
              height);
    ReleaseDC(nullptr, dc);
    const int64_t stride = stride_of(width);
    for (int32_t y : {0, height - 1}) {
        EXPECT_EQ(rows[size_t(y * stride + (width - 1) * 3)], 0) << y;
        EXPECT_EQ(rows[size_t(y * stride)], g_edit_state.bits[y * stride]) << y;
    }
}

TEST_F(ToolHostDouble, TheBrushOutlineIsAHollowEllipseGoneWhenDrawnAgain) {
    // Drawn on a bitmap of its own: a pane's pixels read back only while it is on top.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 64, 64);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(canvas, nullptr);
    const HGDIOBJ previous = SelectObject(dc, canvas);
    RECT all = {0, 0, 64, 64};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    g_edit_tool.brush_outline = {10, 10, 31, 31};
    draw_brush_outline_on(dc);
    EXPECT_EQ(GetPixel(dc, 20, 10), RGB(0, 0, 0));        // on the ellipse
    EXPECT_EQ(GetPixel(dc, 20, 20), RGB(255, 255, 255));  // hollow
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(255, 255, 255));  // the square's corner is outside it
    draw_brush_outline_on(dc);
    EXPECT_EQ(GetPixel(dc, 20, 10), RGB(255, 255, 255));
    // An empty square draws nothing.
    g_edit_tool.brush_outline = {};
    draw_brush_outline_on(dc);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    SelectObject(dc, previous);
    DeleteObject(canvas);
    DeleteDC(dc);
    // On the edited pane itself it is drawn without harm when the pane has a DC.
    set_edit_pane_mode(kEditPaneBoth);
    pump();
    g_edit_tool.brush_outline = {10, 10, 31, 31};
    draw_brush_outline();
    draw_brush_outline();
}

TEST_F(ToolHostDouble, DeselectDropsTheMaskAndItsCopy) {
    const size_t bytes = size_t(g_edit_state.image.width) * g_edit_state.image.height;
    auto* mask = static_cast<uint8_t*>(std::malloc(bytes));
    ASSERT_NE(mask, nullptr);
    std::memset(mask, 0, bytes);
    ASSERT_TRUE(install_edit_selection(mask));
    EXPECT_EQ(edit_selection_mask(), mask);
    EXPECT_NE(g_edit_state.selection.selection_overlay, nullptr);
    command(8405);
    EXPECT_EQ(edit_selection_mask(), nullptr);
    EXPECT_EQ(g_edit_state.selection.selection_overlay, nullptr);
}

}  // namespace
