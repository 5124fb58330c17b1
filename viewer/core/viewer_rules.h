// The stand-alone viewer's own rules: the settings it reads, its key table, the file-list
// stepping, the caption text, the turned image's size and the sizing of its window. The view
// geometry itself (zoom, fit, pan, wheel) is the image windows' shared view core.
#pragma once

#include <cstdint>
#include <string>

#include "imagewin/core/command_labels.h"
#include "shell/core/key_table.h"
#include "shell/core/settings_store.h"

// Settings slots the viewer reads; it never writes the settings file.
struct ViewerSettings {
    bool png_gamma = true;                       // 28
    int32_t display_gamma = 2200;                // 29, at least 1
    int32_t transparency_direct = 1;             // 30, handed on unchanged
    int32_t transparency_inverted = 1;           // 31, handed on inverted
    uint32_t transparent_background = 0xFFFFFF;  // 32, a COLORREF
    bool delete_without_asking = false;          // 33
    bool halftone = true;                        // 48 == 4
    int32_t wheel_mode_window = 0;               // 49
    int32_t wheel_mode_full_screen = 0;          // 50
    bool keep_zoom_window = true;                // 52
    bool keep_zoom_full_screen = false;          // 53
    bool fit_larger_window = true;               // 55
    bool fit_smaller_window = false;             // 56
    bool fit_larger_full_screen = true;          // 57
    bool fit_smaller_full_screen = false;        // 58
    bool zoom_drag_without_ctrl = true;          // 61
    bool double_click_closes = true;             // 63
    int32_t background_brush = 2;                // 67: stock brush 0-4 (white .. black)
    bool wheel_reversed = false;                 // 69
    std::u16string plugin_folder;                // 139, empty when absent or too long
};

// An absent slot gives its default; flags keep their lowest bit.
ViewerSettings read_viewer_settings(const SettingsReader& reader);

constexpr int kViewerKeyCount = kViewKeyCount;  // the image windows' layout, entry for entry
constexpr int kViewerKeyBytes = kViewerKeyCount * kKeyEntryBytes;

// The viewer's defaults: only its own commands have entries; the rest stay all zero.
void fill_default_viewer_keys(KeyEntry* table);
// The stored slot-138 blob read whole (a shorter one fills its first entries, the rest stay
// empty); the defaults when it is absent, not data, longer than 540 bytes or unreadable. Then
// every entry is made safe.
void load_viewer_keys(const SettingsReader& reader, KeyEntry* table);
// A modifier byte above 15 becomes FVIRTKEY alone; a key above 255 becomes 0.
void make_viewer_keys_safe(KeyEntry* table, int count);

// Commands the viewer runs.
enum ViewerCommand : int32_t {
    kViewerFirstFile = 8010,
    kViewerLastFile = 8011,
    kViewerPreviousFile = 8012,
    kViewerNextFile = 8013,
    kViewerDelete = 8050,
    kViewerTurnLeft = 8100,
    kViewerTurnRight = 8101,
    kViewerToggleFit = 8110,
    kViewerFit = 8111,
    kViewerActualSize = 8112,
    kViewerZoomIn = 8130,
    kViewerZoomOut = 8131,
    kViewerZoomPlus10 = 8140,
    kViewerZoomMinus10 = 8141,
    kViewerFullScreen = 8200,
    kViewerClose = 8202,
    kViewerScrollLeft = 8300,
    kViewerScrollRight = 8301,
    kViewerScrollUp = 8302,
    kViewerScrollDown = 8303,
    kViewerMinimize = 8500,
};

// True for the commands that do nothing without an image.
bool viewer_command_needs_image(int32_t command);

// The list index a stepping command (8010-8013) opens, or -1 when it does nothing.
int32_t viewer_step_index(int32_t command, int32_t current, int32_t count);
// After the selected entry was removed from a list that now holds `count` entries: the entry
// to open (the same index, 0 past the end), or -1 for the empty view.
int32_t viewer_index_after_delete(int32_t removed, int32_t count);

// "name  ( WxH  Dbit  K.dKB )" with the size in kilobytes to one truncated decimal.
std::u16string viewer_info_text(const std::u16string& name, int32_t width, int32_t height, int32_t bit_depth,
                                uint32_t size);
// The title: the information text and the zoom in percent, or "Qelvo" without an image.
std::u16string viewer_caption(bool has_image, const std::u16string& info, int32_t zoom);

// The size the caption shows after a quarter turn: the turned image as an uncompressed BMP
// without palette (rows padded to 4 bytes, 54 header bytes).
uint32_t turned_image_size(int32_t width, int32_t height, int32_t bit_count);

// The built-in extensions in listing order, and whether a found name's extension (with its
// dot) is exactly as long as the searched one, so that short-name matches add nothing twice.
extern const char16_t* const kViewerExtensions[8];
bool viewer_extension_length_matches(const std::u16string& name, size_t extension_length);

// Sizing the window by hand. Edges: the window may shrink but never grow past the largest size
// the image fits at its zoom. Corners keep the image's proportions from the new client height.
enum ViewerSizingEdge : int32_t {  // the WMSZ_ codes
    kSizeLeft = 1,
    kSizeRight = 2,
    kSizeTop = 3,
    kSizeTopLeft = 4,
    kSizeTopRight = 5,
    kSizeBottom = 6,
    kSizeBottomLeft = 7,
    kSizeBottomRight = 8,
};
struct ViewerRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
struct ViewerSizing {
    int32_t largest_width = 0;  // the window size the last placement gave
    int32_t largest_height = 0;
    int32_t frame_width = 0;  // window minus client
    int32_t frame_height = 0;
    int32_t min_window_width = 0;  // SM_CXMIN
    int32_t image_width = 1;
    int32_t image_height = 1;
};
// Adjusts the sizing rectangle; returns 1 for an edge, 2 for a corner, 0 for anything else.
int32_t viewer_sizing(int32_t edge, const ViewerSizing& sizing, ViewerRect* rect);

// The window the displayed image wants: its client is the displayed size, its width at least the
// system minimum (then moved left by half the difference), both capped at the work area; the
// image's centre stays where it was on screen, and the window moves inside the work area where
// it would cross the right or bottom edge, never past the left or top.
struct ViewerPlacementInput {
    int32_t display_width = 0, display_height = 0;
    int32_t centre_x = 0, centre_y = 0;     // the client's centre on the screen
    int32_t frame_left = 0, frame_top = 0;  // client origin within the window
    int32_t frame_width = 0, frame_height = 0;
    int32_t min_window_width = 0;
    ViewerRect work_area;
};
ViewerRect viewer_window_placement(const ViewerPlacementInput& in);

// A client of the given size centred in the work area, with the frame, capped and kept inside.
ViewerRect viewer_start_placement(int32_t client_width, int32_t client_height, int32_t frame_left,
                                  int32_t frame_top, int32_t frame_width, int32_t frame_height,
                                  const ViewerRect& work_area);

// A bar button's tooltip: its name, and " (modifiers key)" when its key entry has a key.
std::u16string viewer_button_tooltip(const std::u16string& name, uint8_t modifiers, uint16_t key);

// One tick of an animated GIF: the frame to show next and the loops left (0: endless). Past the
// last frame a count above 0 is lowered, and when it was 1 the first frame stays and the
// playback stops.
struct ViewerFrameStep {
    int32_t frame = 0;
    int32_t loops_left = 0;
    bool stop = false;
};
ViewerFrameStep viewer_next_frame(int32_t current, int32_t frame_count, int32_t loops_left);

// A mouse move without buttons over the view, while the process is active. The bar appears when
// the pointer reaches the top rows of a client tall enough to hold it and goes on the next move
// that reaches the view (moves over the bar itself go to the bar). A cursor hidden while stepping
// in full screen stays hidden until the pointer has moved more than a few pixels away.
enum class ViewerMoveAction : int32_t { kNothing, kHideBar, kShowBar, kShowCursor };
struct ViewerMoveState {
    bool active = false;
    bool bar_shown = false;
    bool cursor_shown = true;
    int32_t x = 0, y = 0;  // client coordinates of the move
    int32_t client_height = 0;
    int32_t hidden_x = 0, hidden_y = 0;  // where the cursor was hidden
};
constexpr int32_t kViewerBarRevealRows = 10;
constexpr int32_t kViewerBarMinClientHeight = 48;
constexpr int32_t kViewerCursorStillDistance = 16;
ViewerMoveAction viewer_move_action(const ViewerMoveState& state);
