// How the edit window hosts one modeless edit tool at a time: the operations every tool kind
// provides (filled in as the tools are registered), the window's state that the tools read and
// write, and the opening, closing and routing that the frame, the panes and the bars use.
// A kind without operations is not available: opening it is refused as without an image.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imagewin/core/edit_window_rules.h"

struct EditToolOps {
    // Constructs the tool's context in memory of its own; null when that memory is short.
    void* (*create)() = nullptr;
    // False when the tool cannot run (it has shown its own message). The tone tools take
    // 0 gamma, 1 brightness, 2 contrast.
    bool (*start)(void* context, int32_t argument) = nullptr;
    // Stops the preview, gives the work DC back and, when applying, installs the result with
    // one undo step; true exactly when the image changed.
    bool (*finish)(void* context, bool apply) = nullptr;
    // Writes the settings back, removes the panel and frees the context.
    void (*destroy)(void* context) = nullptr;
    // A panel control's WM_COMMAND.
    void (*command)(void* context, WPARAM wparam, HWND control) = nullptr;

    // Optional pane services of the edited view: the point is the message's packed client
    // coordinates, `keys` its key state.
    void (*mouse_down)(void* context, LPARAM point, WPARAM keys) = nullptr;
    void (*mouse_up)(void* context, LPARAM point, WPARAM keys) = nullptr;
    void (*mouse_move)(void* context, LPARAM point, WPARAM keys) = nullptr;
    void (*mouse_leave)(void* context) = nullptr;
    // True when the tool set the cursor; false lets the pane use its own.
    bool (*set_cursor)(void* context) = nullptr;
    // Draws on the edited pane's DC after the result was painted.
    void (*draw_overlay)(void* context, HDC pane_dc) = nullptr;
    // Moves the brush square to an image point (out of view while the view scrolls).
    void (*place_brush)(void* context, int32_t x, int32_t y) = nullptr;
    // Ends a colour pick from the first view, taking the colour or not.
    void (*end_colour_pick)(void* context, bool take) = nullptr;
    // The colour shown by one of the panel's colour boxes, and the box's click: true when a
    // new colour was chosen.
    COLORREF (*colour_box)(void* context, int32_t box_id) = nullptr;
    bool (*choose_colour)(void* context, HWND box) = nullptr;
    void (*stroke_undo)(void* context) = nullptr;
    void (*stroke_redo)(void* context) = nullptr;
    // The trimming rectangle again in view coordinates after a zoom, scroll or layout change.
    void (*rect_to_view)(void* context) = nullptr;
};

using ToolTrackbarRoutine = void (*)(WPARAM wparam, LPARAM lparam);

// The edit window's tool state: what the tools read and write besides EditState.
struct EditToolHost {
    int32_t kind = 0;  // EditToolKind, 0 when no tool is open
    void* context = nullptr;
    int32_t trimming_state = 0;  // the trimming tool's sub-state 0-4
    bool hook_armed = false;     // the keyboard hook may act on Enter and Esc
    bool accelerators_suspended = false;
    bool controls_live = true;  // false while the program writes into its own fields
    bool pick_mode = false;     // a colour is being picked from the first view
    uint8_t picked[3] = {};     // R, G, B under the cursor
    bool panel_ready = false;
    HDC work_dc = nullptr;  // the open tool's result, stretched onto the edited pane
    bool result_present = false;
    HWND worker_window = nullptr;  // the preview worker takes WM_APP 500 there
    ToolTrackbarRoutine horizontal_trackbar = nullptr;
    ToolTrackbarRoutine vertical_trackbar = nullptr;
    int32_t pane_mode = kEditPaneFirstOnly;
};

extern EditToolHost g_edit_tool;

// The kind of the open tool; 0 when none is.
int32_t open_edit_tool_kind();

// Registers the operations of `kind` (1-24); empty operations take the kind away again.
void register_edit_tool(int32_t kind, const EditToolOps& ops);
// The operations of an available kind, or null.
const EditToolOps* edit_tool_ops(int32_t kind);

// Opens the tool of `kind`: refused without an image, with a tool open or when the kind is not
// available. Returns whether it opened.
bool open_edit_tool_checked(int32_t kind);
// Closes the open tool, applying its result or not; true when the image changed.
bool close_edit_tool(bool apply);

// A panel control's command for the open tool; false when no open tool owns `id`.
bool route_edit_tool_command(int32_t id, WPARAM wparam, HWND control);

// The trimming tool draws its rectangle: what would move the view under it is refused
// (maximising, the pane modes, dragging a band).
bool edit_tool_holds_view();

enum class EditHookKey : uint8_t { pass, eat, apply, cancel, end_pick, save_preview, close_history };

// What the keyboard hook does with the first press of Enter or Esc. `focus_id` is the control
// id of the focus window; `capture` whether the mouse is captured; `history_open` whether the
// change-history window is up.
EditHookKey edit_hook_key(UINT key, int32_t focus_id, bool capture, bool history_open);

// A right press on a pane or the frame: the brush tools hide their square, the trimming tool
// is cancelled while it draws. False when the press must go no further.
bool edit_tool_right_press();
// The mouse capture went elsewhere: a colour pick ends without its colour.
void edit_tool_capture_lost();
// Ends the open tool's colour pick (kinds 2, 14 and 15).
void end_tool_colour_pick(bool take);
// Paints the open tool's overlay on the edited pane (kinds 1, 2, 3, 5 and 7).
void draw_edit_tool_overlay(HDC pane_dc);
