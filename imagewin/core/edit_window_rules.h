// The edit window's pure rules: where its two panes go, which scroll bars a view needs, how a
// scroll code moves the view, the zoom trackbar's scale, what the save bar shows per format,
// the fixed properties of every edit tool, and the one table that decides both a command's
// menu or button state and whether the command runs at all, so that a key cannot run what the
// menu greys.
#pragma once

#include <cstdint>

#include "imagewin/core/save_settings.h"

// ---- Panes ----

constexpr int32_t kEditPaneBoth = 0;
constexpr int32_t kEditPaneFirstOnly = 1;
constexpr int32_t kEditPaneEditedOnly = 2;

struct EditPaneRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool shown = false;
};

struct EditPaneLayout {
    EditPaneRect first;   // pane 710, the current image
    EditPaneRect edited;  // pane 711, the open tool's result
};

// The panes below the bars (`top`, the rebar's bottom) in a frame client of cx x cy. Side by
// side each pane is (cx / 2) - 1 wide, the edited one flush right. Sizes never go negative.
EditPaneLayout edit_pane_layout(int32_t mode, int32_t cx, int32_t cy, int32_t top);

// ---- Scroll bars ----

struct EditScrollBars {
    bool vertical = false;
    bool horizontal = false;
    int32_t client_width = 0;  // the view client: the full client less the bars shown
    int32_t client_height = 0;
};

// Which bars a full client of width x height needs for a displayed image of dw x dh, with a
// vertical bar `bar_width` wide and a horizontal bar `bar_height` high.
EditScrollBars edit_scroll_bars(int32_t width, int32_t height, int32_t display_width, int32_t display_height,
                                int32_t bar_width, int32_t bar_height);

struct EditScrollInfo {
    int32_t position = 0;
    int32_t page = 0;
    int32_t maximum = 0;
    int32_t track = 0;
};

// The move one SB_ code asks for (image pixels): 0 for SB_THUMBPOSITION, SB_ENDSCROLL and codes
// outside 0-7, and 0 when the clamped position would not change. `image_size` and
// `source_size` bound the new position to 0 .. image_size - source_size.
int32_t edit_scroll_delta(uint32_t code, const EditScrollInfo& info, int32_t image_size, int32_t source_size);

// ---- Zoom trackbar ----

constexpr int32_t kZoomTrackMax = 180;
constexpr int32_t kZoomPercentMin = 10;
constexpr int32_t kZoomPercentMax = 1000;

// Position 0-180 to a zoom percent 10-1000 (quadratic, so that small zooms get most of the track).
int32_t zoom_track_to_percent(int32_t position);
// A zoom percent to the nearest track position, clamped to 0-180.
int32_t zoom_percent_to_track(int32_t percent);
// The zoom edit's text value clamped to what the view takes.
int32_t clamp_zoom_percent(int32_t percent);

// ---- Tool-group buttons ----

// The four drop-down buttons of the tool-tab toolbar, in bar order: 8400, 8410, 8420, 8440.
constexpr int32_t kToolGroupCount = 4;
constexpr int32_t kToolGroupIds[kToolGroupCount] = {8400, 8410, 8420, 8440};

struct ToolGroupRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;  // exclusive, as TB_GETRECT gives it
    int32_t bottom = 0;
};

// The tool-group button under toolbar point (x, y), skipping `except` (the button whose popup is
// open, or -1); 0 when none. The rows above and below the buttons belong to none of them.
int32_t tool_group_at(const ToolGroupRect (&rects)[kToolGroupCount], int32_t x, int32_t y, int32_t except);

// ---- Save bar ----

// TB_SETSTATE values.
constexpr uint8_t kButtonEnabled = 4;
constexpr uint8_t kButtonChecked = 5;
constexpr uint8_t kButtonHidden = 8;
constexpr uint8_t kButtonGreyed = 16;

struct SaveBarInput {
    SaveFormat format = kSaveBmp;
    bool has_image = false;
    int32_t target_bits = 24;
    int32_t greyscale = 0;
    int32_t source_bits = 24;  // of the loaded image
    int32_t dither_mode = 0;
    int32_t transparent = 0;
    int32_t interlace = 0;
    int32_t write_gamma = 0;
    int32_t progressive = 0;
    int32_t jpeg_sampling = 0;
    int32_t jpeg_markers = 0;
    int32_t jpeg_trim = 0;
    int32_t comment = 0;
    int32_t size_limit = 0;
};

// Which of the save bar's buttons and controls show, and how.
constexpr int32_t kSaveBarButtonCount = 14;
constexpr uint16_t kSaveBarButtons[kSaveBarButtonCount] = {8600, 8330, 8610, 8630, 8620, 8640, 8641,
                                                           8642, 8650, 8651, 8652, 8631, 8670, 8660};

struct SaveBarLayout {
    // TB state of each button, in the order of kSaveBarButtons.
    uint8_t buttons[kSaveBarButtonCount] = {};
    bool png_controls = false;       // 742, 743, 744
    bool filter_enabled = false;     // 744
    bool quality_controls = false;   // 745, 746
    bool size_controls = false;      // 747-750
    bool quality_enabled = false;    // 745, 746 (size limit off)
    bool size_enabled = false;       // 748-750 (size limit on)
    bool colour_box = false;         // 751
    bool colour_box_before = false;  // GIF: in front of the PNG controls' place
    bool gamma_edit = false;         // 752
    bool bit_depth_enabled = true;   // 741
};

SaveBarLayout save_bar_layout(const SaveBarInput& in);

// ---- Edit tools ----

constexpr int32_t kToolNone = 0;
constexpr int32_t kEditToolKindCount = 24;  // kinds 1-24
constexpr int32_t kToolSelection = 1;
constexpr int32_t kToolPaint = 2;
constexpr int32_t kToolPartialCorrection = 3;
constexpr int32_t kToolText = 4;
constexpr int32_t kToolTrimming = 5;
constexpr int32_t kToolResize = 6;
constexpr int32_t kToolRotation = 7;
constexpr int32_t kToolHueSaturation = 14;
constexpr int32_t kToolColourReplace = 15;
constexpr int32_t kToolColourFilter = 20;

// The trimming tool's sub-state in which a finished rectangle is adjusted; in any other the
// window refuses what would move the view under the rectangle being drawn.
constexpr int32_t kTrimmingAdjusting = 3;

struct EditToolTraits {
    int32_t kind;
    uint16_t command;  // the menu command that opens it
    const char16_t* label;
    int32_t pane_mode;      // set when it opens
    int32_t start_arg;      // the tone tools' 0 gamma, 1 brightness, 2 contrast
    bool resets_zoom;       // an applied result may change the size
    bool finish_on_cancel;  // false: cancelling never runs finish
    bool overlay;           // the edited pane calls its overlay routine after painting
    bool mouse;             // takes the edited pane's mouse
    bool stroke_history;    // 8401/8402 undo and redo its strokes
    bool colour_pick;       // picks a colour from the first view
};

// The traits of kinds 1-24; null for any other kind.
const EditToolTraits* edit_tool_traits(int32_t kind);
// The kind a menu command opens, 0 for any other command.
int32_t edit_tool_for_command(int32_t id);
// The kind whose panel owns control `id`, 0 when none does; `live` tells the ids passed only
// while the program is not writing its own fields.
int32_t edit_panel_command_tool(int32_t id, bool* live);
// Tone tools 10-12 share one context and one panel.
bool edit_tool_panel_matches(int32_t open_kind, int32_t owner_kind);

// ---- Command states ----

struct EditCommandContext {
    int32_t tool_kind = 0;
    int32_t trimming_state = 0;
    int32_t drag_mode = 0;  // a right drag in progress refuses every command
    bool has_image = false;
    bool named = false;     // the current file name is not empty
    bool has_path = false;  // the current full path is not empty
    bool jpeg_source = false;
    bool png_source = false;
    bool flag_comment = false;   // the image carries a comment
    bool flag_metadata = false;  // the image carries Exif or PNG text data
    bool clipboard_dib = false;  // the clipboard offers CF_DIB
    bool selection_mask = false;
    bool folder_in_batch = false;  // a batch conversion reads or writes the image's folder
    int32_t history_count = 0;
    int32_t history_current = -1;
    bool selection_copy = false;  // a selection display copy exists
    bool selection_display = false;
    int32_t background_index = 0;
    int32_t pane_mode = kEditPaneFirstOnly;
    bool scroll_bars = false;
    bool dither = false;  // dither mode 0
    // The displayed image beyond the view client (the pan commands need room).
    bool wider_than_view = false;
    bool taller_than_view = false;
    // Bit k: tool kind k has no operations; bit i: one-shot command i (edit_one_shot_index) has
    // no routine. Either greys what would run it.
    uint32_t missing_kinds = 0;
    uint32_t missing_one_shots = 0;
};

struct EditCommandState {
    bool enabled = true;
    bool checked = false;
};

// The state of a popup item or bar button; commands outside the table are enabled.
EditCommandState edit_command_state(int32_t id, const EditCommandContext& context);
// Whether the command runs: its state is enabled and no right drag is in progress. The single
// view's own commands never run here.
bool edit_command_allowed(int32_t id, const EditCommandContext& context);

// ---- One-shot commands ----

// The commands of the tool menus that run at once instead of opening a tool: the luminance
// histogram, the fixed rotations and flips, equalize, invert, edge extraction, painting style.
constexpr int32_t kEditOneShotCount = 10;
constexpr int32_t kEditOneShotCommands[kEditOneShotCount] = {8310, 8414, 8415, 8416, 8417,
                                                             8418, 8422, 8430, 8445, 8447};

// The command's place in kEditOneShotCommands, -1 for any other command.
constexpr int32_t edit_one_shot_index(int32_t command) {
    for (int32_t i = 0; i < kEditOneShotCount; ++i)
        if (kEditOneShotCommands[i] == command) return i;
    return -1;
}
