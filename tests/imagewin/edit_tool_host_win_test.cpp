// The edit window's tool contract under Wine with tools of the test's own: a colour tool that
// inverts the image into a result DIB and commits it on apply, a mouse tool that records what
// the window hands it and draws an overlay, and a trimming tool whose sub-state the test sets.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_commands.h"
#include "imagewin/edit_tool_host.h"
#include "imagewin/edit_window.h"
#include "imagewin/image_windows.h"

namespace {

std::vector<std::wstring> g_boxes;

int recording_box(HWND, const wchar_t* text, const wchar_t*, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

int64_t stride_of(int32_t width, int32_t bits) {
    return (int64_t(width) * bits / 8 + 3) / 4 * 4;
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

LoadedImage make_image(int32_t width, int32_t height) {
    LoadedImage image = {};
    image.info.size = 40;
    image.info.width = width;
    image.info.height = height;
    image.info.planes = 1;
    image.info.bit_count = 24;
    image.format = 2;
    image.source_bits = 24;
    HBITMAP bitmap = make_dib(width, height, &image.pixels);
    image.bitmap = reinterpret_cast<OsHandle>(bitmap);
    for (int64_t i = 0; i < stride_of(width, 24) * height; ++i) image.pixels[i] = uint8_t(i * 7 + 1);
    return image;
}

std::vector<uint8_t> shown_rows() {
    const EditState& s = g_edit_state;
    return std::vector<uint8_t>(s.bits, s.bits + stride_of(s.image.width, 24) * s.image.height);
}

// What the test tools were asked to do, in order.
std::vector<std::string> g_calls;

// ---- The colour tool: inverts into its own result, commits on apply ----

struct InvertContext {
    HBITMAP result = nullptr;
    uint8_t* result_bits = nullptr;
    HGDIOBJ old_bitmap = nullptr;
};

bool g_refuse_start = false;
bool g_out_of_memory = false;

void* invert_create() {
    g_calls.push_back("create");
    if (g_out_of_memory) return nullptr;
    g_edit_tool.hook_armed = true;
    return new InvertContext;
}

bool invert_start(void* context, int32_t) {
    g_calls.push_back("start");
    if (g_refuse_start) return false;
    auto* c = static_cast<InvertContext*>(context);
    const EditState& s = g_edit_state;
    c->result = make_dib(s.image.width, s.image.height, &c->result_bits);
    const int64_t bytes = stride_of(s.image.width, 24) * s.image.height;
    for (int64_t i = 0; i < bytes; ++i) c->result_bits[i] = uint8_t(255 - s.bits[i]);
    c->old_bitmap = SelectObject(g_edit_tool.work_dc, c->result);
    g_edit_tool.result_present = true;
    return true;
}

bool invert_finish(void* context, bool apply) {
    g_calls.push_back(apply ? "finish apply" : "finish cancel");
    auto* c = static_cast<InvertContext*>(context);
    SelectObject(g_edit_tool.work_dc, c->old_bitmap);
    g_edit_tool.result_present = false;
    if (!apply) return false;
    LoadedImage result = {};
    result.info.size = 40;
    result.info.width = g_edit_state.image.width;
    result.info.height = g_edit_state.image.height;
    result.info.planes = 1;
    result.info.bit_count = 24;
    result.source_bits = 24;
    result.pixels = c->result_bits;
    result.bitmap = reinterpret_cast<OsHandle>(c->result);
    c->result = nullptr;
    if (install_edit_image(result, true, false) != UndoResult::ok) return false;
    (void)set_current_image_info(result, nullptr, kHistoryPush, u"反転");
    return true;
}

void invert_destroy(void* context) {
    g_calls.push_back("destroy");
    auto* c = static_cast<InvertContext*>(context);
    if (c->result) DeleteObject(c->result);
    delete c;
    g_edit_tool.hook_armed = false;
}

void invert_command(void*, WPARAM wparam, HWND) {
    g_calls.push_back("command " + std::to_string(LOWORD(wparam)));
}

// ---- The mouse tool: records the pane services ----

int g_tool_memory = 0;

void* mouse_create() {
    g_calls.push_back("create");
    g_edit_tool.hook_armed = true;
    return &g_tool_memory;
}
bool mouse_start(void*, int32_t) {
    g_calls.push_back("start");
    return true;
}
bool mouse_finish(void*, bool apply) {
    g_calls.push_back(apply ? "finish apply" : "finish cancel");
    return false;
}
void mouse_destroy(void*) {
    g_calls.push_back("destroy");
}
void mouse_overlay(void*, HDC dc) {
    g_calls.push_back("overlay");
    Rectangle(dc, 1, 1, 5, 5);
}
void mouse_place_brush(void*, int32_t x, int32_t y) {
    g_calls.push_back("brush " + std::to_string(x) + "," + std::to_string(y));
}
void mouse_end_pick(void*, bool take) {
    g_calls.push_back(take ? "pick taken" : "pick dropped");
}
void mouse_stroke_undo(void*) {
    g_calls.push_back("stroke undo");
}
void mouse_stroke_redo(void*) {
    g_calls.push_back("stroke redo");
}

EditToolOps invert_ops() {
    EditToolOps ops;
    ops.create = invert_create;
    ops.start = invert_start;
    ops.finish = invert_finish;
    ops.destroy = invert_destroy;
    ops.command = invert_command;
    return ops;
}

EditToolOps mouse_ops() {
    EditToolOps ops;
    ops.create = mouse_create;
    ops.start = mouse_start;
    ops.finish = mouse_finish;
    ops.destroy = mouse_destroy;
    ops.command = invert_command;
    ops.draw_overlay = mouse_overlay;
    ops.place_brush = mouse_place_brush;
    ops.end_colour_pick = mouse_end_pick;
    ops.stroke_undo = mouse_stroke_undo;
    ops.stroke_redo = mouse_stroke_redo;
    return ops;
}

class EditToolHostWin : public ::testing::Test {
protected:
    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        previous_ops_ = set_undo_file_ops(&system_undo_file_ops());
        previous_hook_ = set_message_box_hook(recording_box);
        g_boxes.clear();
        g_calls.clear();
        g_refuse_start = false;
        g_out_of_memory = false;
        g_edit_tool = EditToolHost{};
        g_edit_tool.work_dc = CreateCompatibleDC(nullptr);
        g_edit_state.window_kind = 1;
        g_edit_state.memory_dc = CreateCompatibleDC(nullptr);
        register_edit_tool(13, invert_ops());  // colour balance
        for (int32_t kind : {1, 2, 5, 6}) register_edit_tool(kind, mouse_ops());
    }
    void TearDown() override {
        if (g_edit_tool.kind) close_edit_tool(false);
        for (int32_t kind = 1; kind <= kEditToolKindCount; ++kind) register_edit_tool(kind, EditToolOps{});
        history_clear();
        release_current_image();
        DeleteDC(g_edit_state.memory_dc);
        DeleteDC(g_edit_tool.work_dc);
        g_edit_state = EditState{};
        g_edit_tool = EditToolHost{};
        set_message_box_hook(previous_hook_);
        set_undo_file_ops(previous_ops_);
    }

    void load() {
        LoadedImage image = make_image(5, 3);
        (void)install_edit_image(image, false, true);
        (void)set_current_image_info(image, u"C:\\pics\\image.png", kHistoryClear);
    }

    static void command(int32_t id) { edit_window_command(nullptr, id); }

    UndoFileOps* previous_ops_ = nullptr;
    MessageBoxHook previous_hook_ = nullptr;
};

TEST_F(EditToolHostWin, ApplyCommitsTheResultWithOneStepAndCancelLeavesAll) {
    load();
    const std::vector<uint8_t> before = shown_rows();

    command(8427);
    ASSERT_EQ(g_edit_tool.kind, 13);
    EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneEditedOnly);
    EXPECT_TRUE(g_edit_tool.result_present);
    EXPECT_TRUE(g_edit_tool.hook_armed);
    // The preview is in the work DC; the image on show is untouched.
    EXPECT_EQ(shown_rows(), before);
    uint8_t* preview = nullptr;
    BITMAP shown = {};
    ASSERT_NE(GetObjectW(GetCurrentObject(g_edit_tool.work_dc, OBJ_BITMAP), sizeof shown, &shown), 0);
    preview = static_cast<uint8_t*>(shown.bmBits);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview[0], uint8_t(255 - before[0]));

    command(9001);
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_EQ(shown_rows(), before);
    EXPECT_EQ(g_edit_state.history.step_count(), 0);
    EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneFirstOnly);
    EXPECT_FALSE(g_edit_tool.hook_armed);

    command(8427);
    command(9000);
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_FALSE(g_edit_tool.result_present);
    const std::vector<uint8_t> after = shown_rows();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(after[i], uint8_t(255 - before[i])) << i;
    // The image before and the result: two steps, the result current.
    EXPECT_EQ(g_edit_state.history.step_count(), 2);
    EXPECT_EQ(g_edit_state.history.current_step, 1);

    const std::vector<std::string> want = {"create", "start", "finish cancel", "destroy",
                                           "create", "start", "finish apply",  "destroy"};
    EXPECT_EQ(g_calls, want);

    // Undo through the command goes to the history now that no tool is open.
    command(8401);
    EXPECT_EQ(shown_rows(), before);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(EditToolHostWin, OpeningIsRefusedWithoutImageToolOrOperations) {
    command(8427);  // no image
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_TRUE(g_calls.empty());

    load();
    command(8432);  // blur has no operations yet: refused without a word
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(g_boxes.empty());

    command(8427);
    ASSERT_EQ(g_edit_tool.kind, 13);
    g_calls.clear();
    command(8404);  // another tool while one is open
    EXPECT_EQ(g_edit_tool.kind, 13);
    EXPECT_TRUE(g_calls.empty());
    command(9001);

    // A start that refuses is destroyed at once; no tool opens and the hook is not left armed.
    g_calls.clear();
    g_refuse_start = true;
    command(8427);
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_FALSE(g_edit_tool.hook_armed);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"create", "start", "destroy"}));

    // No memory for the context: the memory box, nothing else.
    g_calls.clear();
    g_refuse_start = false;
    g_out_of_memory = true;
    command(8427);
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_EQ(g_calls, std::vector<std::string>{"create"});
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], L"メモリ確保に失敗しました。");
}

TEST_F(EditToolHostWin, PanelCommandsReachOnlyTheToolThatOwnsThem) {
    load();
    command(8406);  // the paint slot holds the mouse tool
    ASSERT_EQ(g_edit_tool.kind, 2);
    g_calls.clear();
    command(2101);  // paint's own
    command(2301);  // the selection tool's: not open
    command(1421);  // the tone tools'
    EXPECT_EQ(g_calls, std::vector<std::string>{"command 2101"});

    command(9001);
    command(8427);
    g_calls.clear();
    command(2921);  // colour balance, live: passed while the program writes nothing
    g_edit_tool.controls_live = false;
    command(2922);
    EXPECT_EQ(g_calls, std::vector<std::string>{"command 2921"});
}

TEST_F(EditToolHostWin, BrushToolTakesStrokeUndoAndPicksEndOnCaptureLoss) {
    load();
    command(8406);
    ASSERT_EQ(g_edit_tool.kind, 2);
    g_calls.clear();
    command(8401);
    command(8402);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"stroke undo", "stroke redo"}));
    EXPECT_EQ(g_edit_state.history.step_count(), 0);

    // The overlay comes after the result for the tools that have one.
    g_calls.clear();
    HDC dc = CreateCompatibleDC(nullptr);
    draw_edit_tool_overlay(dc);
    EXPECT_EQ(g_calls, std::vector<std::string>{"overlay"});

    // A right press moves the brush out of view.
    g_edit_state.view.src_x = 10;
    g_edit_state.view.src_width = 50;
    g_edit_state.view.src_y = 0;
    g_edit_state.view.src_height = 20;
    g_calls.clear();
    EXPECT_TRUE(edit_tool_right_press());
    EXPECT_EQ(g_calls, std::vector<std::string>{"brush 188,148"});

    g_calls.clear();
    g_edit_tool.pick_mode = true;
    edit_tool_capture_lost();
    EXPECT_FALSE(g_edit_tool.pick_mode);
    EXPECT_EQ(g_calls, std::vector<std::string>{"pick dropped"});
    EXPECT_EQ(g_edit_tool.kind, 2);
    DeleteDC(dc);

    // A colour tool draws no overlay.
    command(9001);
    command(8427);
    g_calls.clear();
    HDC dc2 = CreateCompatibleDC(nullptr);
    draw_edit_tool_overlay(dc2);
    DeleteDC(dc2);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(EditToolHostWin, TrimmingRefusesWhatMovesTheViewWhileItDraws) {
    load();
    command(8411);
    ASSERT_EQ(g_edit_tool.kind, kToolTrimming);
    for (int32_t state : {0, 1, 2, 4}) {
        g_edit_tool.trimming_state = state;
        EXPECT_TRUE(edit_tool_holds_view()) << state;
        EXPECT_EQ(edit_hook_key(VK_RETURN, 0, false, false), EditHookKey::eat) << state;
        command(8230);
        EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneEditedOnly) << state;
    }
    // Adjusting a finished rectangle: the view may change, Enter applies, a right press scrolls.
    g_edit_tool.trimming_state = kTrimmingAdjusting;
    EXPECT_FALSE(edit_tool_holds_view());
    EXPECT_EQ(edit_hook_key(VK_RETURN, 0, false, false), EditHookKey::apply);
    command(8231);
    EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneFirstOnly);
    EXPECT_TRUE(edit_tool_right_press());
    EXPECT_EQ(g_edit_tool.kind, kToolTrimming);
    // Sub-state 4 swallows the press without cancelling.
    g_edit_tool.trimming_state = 4;
    EXPECT_FALSE(edit_tool_right_press());
    EXPECT_EQ(g_edit_tool.kind, kToolTrimming);

    // A right press while the rectangle is drawn cancels the tool.
    g_edit_tool.trimming_state = 1;
    g_calls.clear();
    EXPECT_FALSE(edit_tool_right_press());
    EXPECT_EQ(g_edit_tool.kind, 0);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"finish cancel", "destroy"}));
    EXPECT_EQ(g_edit_tool.trimming_state, 0);
}

// A tool with a preview worker: the colour its box's dialog returns asks the worker for a new
// preview, a dialog left without a colour asks nothing.
bool g_colour_chosen = true;
std::vector<bool> g_colour_dialog_modal;
bool choose_tool_colour(void*, HWND) {
    g_colour_dialog_modal.push_back(edit_window_modal());
    return g_colour_chosen;
}
std::vector<WPARAM> g_worker_requests;
LRESULT CALLBACK worker_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_APP) g_worker_requests.push_back(wparam);
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(EditToolHostWin, AColourChosenForAPreviewingToolAsksItsWorkerForAPreview) {
    load();
    EditToolOps ops = invert_ops();
    ops.choose_colour = choose_tool_colour;
    register_edit_tool(kToolColourFilter, ops);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = worker_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tool_worker_test";
    RegisterClassW(&wc);
    HWND worker =
        CreateWindowW(L"tool_worker_test", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    HWND box = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 18, 18, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(box, nullptr);
    SetWindowLongPtrW(box, GWLP_ID, 2830);  // a colour filter preset
    SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(colour_box_proc));
    command(8441);
    ASSERT_EQ(g_edit_tool.kind, kToolColourFilter);
    g_edit_tool.worker_window = worker;
    for (bool chosen : {true, false}) {
        SCOPED_TRACE(chosen);
        g_colour_chosen = chosen;
        g_worker_requests.clear();
        g_colour_dialog_modal.clear();
        SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        MSG msg;
        while (PeekMessageW(&msg, worker, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        EXPECT_EQ(g_colour_dialog_modal, std::vector<bool>{true});
        EXPECT_EQ(g_worker_requests, chosen ? std::vector<WPARAM>{500} : std::vector<WPARAM>{});
        EXPECT_TRUE(g_edit_tool.hook_armed);
    }
    command(9001);
    DestroyWindow(box);
    DestroyWindow(worker);
}

TEST_F(EditToolHostWin, CancellingResizeNeverRunsItsFinish) {
    load();
    command(8412);
    ASSERT_EQ(g_edit_tool.kind, kToolResize);
    EXPECT_EQ(g_edit_tool.pane_mode, kEditPaneFirstOnly);
    g_calls.clear();
    command(9001);
    EXPECT_EQ(g_calls, std::vector<std::string>{"destroy"});
    command(8412);
    g_calls.clear();
    command(9000);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"finish apply", "destroy"}));
}

TEST_F(EditToolHostWin, CommandsWaitForARightDragToEnd) {
    load();
    command(8427);
    g_edit_state.view.drag_mode = kDragPanning;
    command(9000);
    command(9001);
    EXPECT_EQ(g_edit_tool.kind, 13);
    g_edit_state.view.drag_mode = kDragNone;
    command(9001);
    EXPECT_EQ(g_edit_tool.kind, 0);
}

TEST_F(EditToolHostWin, HookKeysByState) {
    const struct {
        int32_t kind;
        bool pick;
        UINT key;
        int32_t focus;
        bool capture, history;
        EditHookKey want;
    } cases[] = {
        {0, false, VK_RETURN, 745, false, false, EditHookKey::save_preview},
        {0, false, VK_RETURN, 752, false, false, EditHookKey::save_preview},
        {0, false, VK_RETURN, 740, false, false, EditHookKey::pass},
        {0, false, VK_RETURN, 745, false, true, EditHookKey::pass},
        {0, false, VK_ESCAPE, 0, false, true, EditHookKey::close_history},
        {0, false, VK_ESCAPE, 0, false, false, EditHookKey::pass},
        {0, true, VK_ESCAPE, 0, true, false, EditHookKey::end_pick},
        {0, true, VK_RETURN, 0, true, false, EditHookKey::pass},
        {2, true, VK_ESCAPE, 0, true, false, EditHookKey::end_pick},
        {14, true, VK_ESCAPE, 0, true, false, EditHookKey::end_pick},
        {13, true, VK_ESCAPE, 0, true, false, EditHookKey::pass},
        {13, false, VK_RETURN, 0, false, false, EditHookKey::apply},
        {13, false, VK_ESCAPE, 0, false, false, EditHookKey::cancel},
        {7, false, VK_RETURN, 0, true, false, EditHookKey::eat},
        {7, false, VK_ESCAPE, 0, true, false, EditHookKey::eat},
        {7, false, VK_ESCAPE, 0, false, false, EditHookKey::cancel},
        {13, false, VK_SPACE, 0, false, false, EditHookKey::pass},
    };
    for (const auto& c : cases) {
        g_edit_tool.kind = c.kind;
        g_edit_tool.pick_mode = c.pick;
        EXPECT_EQ(edit_hook_key(c.key, c.focus, c.capture, c.history), c.want)
            << "kind " << c.kind << " key " << c.key << " focus " << c.focus;
    }
    g_edit_tool.kind = 0;
    g_edit_tool.pick_mode = false;
}

}  // namespace
