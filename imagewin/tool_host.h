// What an edit tool sees of the edit window that hosts it: the table of operations a tool kind
// (and each one-shot command) provides, the host's tool state, and the services a tool may
// call. A tool includes this header and nothing else of the image windows.
//
// The contract, in the order the host runs it: create (the tool arms the hook, reads its
// settings, greys the tool-group buttons), start (false when it cannot run, after its own box;
// otherwise its panel goes into the option bar, its result into the work DC with the
// result-present flag set, its worker starts), then panel commands, notifications, pane mouse
// and colour picks, then finish(apply) (true exactly when the image changed; a result goes in
// through commit_tool_result only), then destroy. Whatever a tool leaves armed is disarmed by
// the host after destroy: the work DC's flag, the hook, the trackbar routines, the worker slot.
#pragma once

#include <windows.h>

#include <cstdint>

#include "codecs/codec_context.h"
#include "imagewin/core/edit_window_rules.h"
#include "imagewin/edit_state.h"

// A trackbar or up-down of the panel scrolled: the option bar's WM_HSCROLL or WM_VSCROLL, with
// the open tool's context.
using ToolTrackbarRoutine = void (*)(void* context, WPARAM wparam, LPARAM lparam);

// The operations of one tool kind. A kind is available when the first four are set.
struct EditToolOps {
    // Constructs the tool's context in memory of its own; null when that memory is short (the
    // host then shows the memory box).
    void* (*create)() = nullptr;
    // False when the tool cannot run (it has shown its own message). The tone tools take
    // 0 gamma, 1 brightness, 2 contrast.
    bool (*start)(void* context, int32_t argument) = nullptr;
    // Stops the preview, gives the work DC back and, when applying, commits the result with
    // one undo step; true exactly when the image changed.
    bool (*finish)(void* context, bool apply) = nullptr;
    // Writes the settings back, removes the panel and frees the context.
    void (*destroy)(void* context) = nullptr;
    // A panel control's WM_COMMAND.
    void (*command)(void* context, WPARAM wparam, HWND control) = nullptr;
    // A panel control's WM_NOTIFY; its result is the message's.
    LRESULT (*notify)(void* context, const NMHDR* header) = nullptr;

    // Pane services of the edited view. The host routes them by kind: presses, releases and
    // moves to the selection, paint, partial correction, text, trimming and rotation tools
    // (the text tool's moves only with the left button down), leaves to the selection and the
    // two brushes; never moves with only the right button, with Ctrl and the left button, or
    // during a view drag. The point is the message's packed client coordinates.
    void (*mouse_down)(void* context, LPARAM point, WPARAM keys) = nullptr;
    void (*mouse_up)(void* context, LPARAM point, WPARAM keys) = nullptr;
    void (*mouse_move)(void* context, LPARAM point, WPARAM keys) = nullptr;
    void (*mouse_leave)(void* context) = nullptr;
    // True when the tool set the cursor; false lets the pane use its own.
    bool (*set_cursor)(void* context) = nullptr;
    // Draws on the edited pane's DC (R2_NOT) after the result was painted.
    void (*draw_overlay)(void* context, HDC pane_dc) = nullptr;
    // Moves the brush square to an image point (out of view while the view scrolls).
    void (*place_brush)(void* context, int32_t x, int32_t y) = nullptr;
    // Ends a colour pick started with start_tool_colour_pick: `take` when the left button was
    // pressed inside the shown image; the picked colour is in g_edit_tool.picked.
    void (*end_colour_pick)(void* context, bool take) = nullptr;
    // The colour box repainted while the pick tracks the mouse; 0 for the kind's usual box.
    int32_t (*pick_box)(void* context) = nullptr;
    // The colour shown by one of the panel's colour boxes, and the box's click: true when a
    // new colour was chosen.
    COLORREF (*colour_box)(void* context, int32_t box_id) = nullptr;
    bool (*choose_colour)(void* context, HWND box) = nullptr;
    // After a range colour was chosen in the dialog (hue/saturation, colour replace): rebuild
    // the range and ask for a preview.
    void (*apply_range_colour)(void* context) = nullptr;
    void (*stroke_undo)(void* context) = nullptr;
    void (*stroke_redo)(void* context) = nullptr;
    // The trimming rectangle again in view coordinates after a zoom, scroll or layout change.
    void (*rect_to_view)(void* context) = nullptr;
};

// A command that runs at once (no tool opens): true when the image changed. It shows its own
// boxes (the memory box when its temporary context cannot be had).
using EditOneShotRoutine = bool (*)(int32_t command);

// The tools of the program, one table filled where the program is put together: the
// operations of kinds 1-24 (index 0 unused) and the routines of the one-shot commands in the
// order of kEditOneShotCommands. An empty entry greys its menu item and button.
struct EditToolTable {
    EditToolOps kinds[kEditToolKindCount + 1] = {};
    EditOneShotRoutine one_shots[kEditOneShotCount] = {};
    // The selection tool's view of the selection: the 24-bit rows of the image (height rows of
    // width x 3 bytes, each rounded up to 4) with the pixels outside `mask` greyed. Without a
    // selection tool no mask is ever made, so nothing asks for it.
    void (*render_selection_overlay)(const uint8_t* mask, uint8_t* out_rows,
                                     const uint8_t* image_rows) = nullptr;
};

// Takes the tools of `table` (copied; null leaves none).
void install_edit_tool_table(const EditToolTable* table);
// Registers the operations of one kind (1-24); empty operations take the kind away again.
void register_edit_tool(int32_t kind, const EditToolOps& ops);
// Registers the routine of a one-shot command; null takes it away.
void register_edit_one_shot(int32_t command, EditOneShotRoutine routine);
// The operations of an available kind, or null; the routine of a one-shot command, or null.
const EditToolOps* edit_tool_ops(int32_t kind);
EditOneShotRoutine edit_one_shot(int32_t command);
// The kinds and one-shot commands without operations, as EditCommandContext takes them.
uint32_t missing_edit_tool_kinds();
uint32_t missing_edit_one_shots();

// The edit window's tool state: what the tools read and write besides EditState.
struct EditToolHost {
    int32_t kind = 0;  // EditToolKind, 0 when no tool is open
    void* context = nullptr;
    int32_t trimming_state = 0;           // the trimming tool's sub-state 0-4
    bool hook_armed = false;              // the keyboard hook may act on Enter and Esc (tool busy)
    bool accelerators_suspended = false;  // text entry: accelerators and the wheel rest
    bool controls_live = true;            // false while the program writes into its own fields
    bool pick_mode = false;               // a colour is being picked from the first view
    uint8_t picked[3] = {};               // R, G, B under the cursor
    bool panel_ready = false;
    HDC work_dc = nullptr;  // the open tool's result, stretched onto the edited pane
    bool result_present = false;
    HWND worker_window = nullptr;  // the preview worker takes WM_APP 500 there
    ToolTrackbarRoutine horizontal_trackbar = nullptr;
    ToolTrackbarRoutine vertical_trackbar = nullptr;
    int32_t pane_mode = kEditPaneFirstOnly;
    int32_t pick_return_mode = kEditPaneFirstOnly;  // the pane mode a tool's pick gives back
    bool mouse_tracked = false;                     // TrackMouseEvent asked for the leave
    RECT brush_outline = {};  // the brush tools' brush square in edited-pane coordinates
};

extern EditToolHost g_edit_tool;

// ---- Services a tool calls ----

// The option bar (band 723) with 9000 "確定" and 9001: the parent of the panel's controls.
void create_tool_option_bar();
HWND tool_option_bar();
// The save-settings bar back in the band; the option bar and every panel control destroyed.
void close_tool_option_bar();
void set_tool_band_child(HWND window, const wchar_t* caption);
// 16 greys, 4 enables the tool-group buttons 8400, 8410, 8420 and 8440.
void set_tool_group_buttons_state(int32_t state);
// The edit window's main toolbar as a whole.
void enable_edit_main_toolbar(bool enable);
void set_tool_trackbar_routines(ToolTrackbarRoutine horizontal, ToolTrackbarRoutine vertical);

// Pane mode 0 both, 1 first view only, 2 edited view only.
void set_edit_pane_mode(int32_t mode);
HWND edited_view_pane();
HWND first_view_pane();
// The edited pane painted again now (after a preview or a dab).
void repaint_edited_pane();
// The edited pane's own DC (R2_NOT) for drawing an overlay outside WM_PAINT.
HDC edited_pane_overlay_dc();
// The ellipse in g_edit_tool.brush_outline on that DC: drawn twice, it is gone again.
void draw_brush_outline();
// The same on any DC.
void draw_brush_outline_on(HDC dc);
// The selection's view through the selection tool (see EditToolTable); without one the image
// rows are copied unchanged.
void render_selection_overlay(const uint8_t* mask, uint8_t* out_rows, const uint8_t* image_rows);

// The work DC shows `result` and the pane paints it; the bitmap it held is returned.
HGDIOBJ show_tool_result(HBITMAP result);
// The work DC gets `previous` back and the pane paints the result no more.
void hide_tool_result(HGDIOBJ previous);
void set_tool_worker_window(HWND window);

// The current selection mask (width x height bytes, 0 selected, 255 outside) or null.
const uint8_t* edit_selection_mask();
// Makes `mask` (std::malloc'd, width x height bytes) the selection, taking it over, and draws
// its display copy; the old mask goes. False (after the memory box) when the copy cannot be
// made: the mask is then freed and no selection remains.
bool install_edit_selection(uint8_t* mask);
// Deletes the selection mask and its display copy (command 8405 and results of a new size).
void drop_edit_selection();

// Commits a tool's result: `result` must describe a DIB section of the current depth; its
// format code and file size are set here (1, BMP: 54 + pixel bytes, + 1024 for 8 bits). When
// the history is empty the image before it is stored first as "元の画像"; when that step
// cannot be stored the box is shown, NOTHING is installed and false is returned (the bitmap
// stays the caller's to delete). Otherwise the result becomes the current image, the lossless
// save falls back to JPEG, the transparency choice is cleared when `reset_transparency`, and a
// step named `step_name` (copied) is pushed; true.
bool commit_tool_result(LoadedImage& result, bool drop_selection, const char16_t* step_name,
                        bool reset_transparency = false);

// Starts picking a colour from the first view for the open tool (kinds 2, 14, 15): the plain
// image in the first view, pane mode 1, the mouse captured, the picker cursor. The pick ends
// on the left button's press (taken inside the image), Esc, a right click, deactivation or
// capture loss, through the tool's end_colour_pick; the pane mode is given back afterwards.
bool start_tool_colour_pick();
// Ends the pick now, as those events do.
void end_tool_colour_pick(bool take);

// After a tool or a history step replaced the image.
void refresh_after_image_change(bool size_changed);
void update_image_window_title();
void end_save_preview();
void set_zoom_controls_enabled(bool enable, UINT scroll_arrow_flags);
int show_view_error(HWND owner, int code);
