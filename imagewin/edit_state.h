// The state of the one image window (single view or edit window): the current image and where
// it came from, the frames of an animated GIF, the edit window's selection, the display
// contexts and windows, and the embedded portable records (image description, view geometry,
// save settings, undo history). Owned by the image-window thread while it runs; zero when no
// image window exists.
//
// "An image is loaded" means `bitmap` is not null, everywhere: the description may still hold
// the sizes of the last image after a release.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "codecs/codec_context.h"
#include "imagewin/core/edit_image_description.h"
#include "imagewin/core/save_settings.h"
#include "imagewin/core/undo_history.h"
#include "shell/core/settings_slots.h"
#include "view/core/view_geometry.h"
#include "view/win/view_windows.h"

constexpr int32_t kEditMaxFrames = 256;
constexpr UINT_PTR kAnimationTimerId = 300000;
constexpr int32_t kSaveFormatJpeg = 2;
constexpr int32_t kSaveFormatLosslessJpeg = 5;

// `history_mode` of set_current_image_info.
constexpr int32_t kHistoryLeave = 0;
constexpr int32_t kHistoryClear = 1;
constexpr int32_t kHistoryPush = 2;

struct EditAnimation {
    uint8_t animated = 0;  // the frame tables are valid
    int32_t frame_count = 0;
    int32_t loop_count = 0;                     // plays left; 0 = endless
    int32_t frame_delays[kEditMaxFrames] = {};  // hundredths of a second
    HBITMAP frame_bitmaps[kEditMaxFrames] = {};
    int32_t current_frame = 0;
};

struct EditSelection {
    // width x height bytes: 0 selected, 255 outside, between partly selected; or null.
    uint8_t* selection_mask = nullptr;
    HBITMAP selection_overlay = nullptr;
    bool show_selection = false;
};

// The save window's choices that a newly described image resets.
struct EditSaveChoices {
    int32_t lossless_operation = 0;
    int32_t insert_comment = 0;
    int32_t transparent = 0;
};

// The single view's own state, reset when its window is created.
struct SingleViewState {
    bool full_screen = false;
    bool slide_show = false;  // the message loop translates no accelerators meanwhile
    bool cursor_visible = true;
    bool bar_shown = false;
    bool app_active = false;
    int32_t background_index = 0;  // stock brush 0-4: white .. black
    int32_t sizing_mode = 0;       // kSizing* of the single view's rules
    int32_t window_width = 0;      // as last placed
    int32_t window_height = 0;
    bool both_buttons_pending = false;
    bool left_drag_active = false;  // a left press that may move the window
    POINT left_press = {};
    HWND bar = nullptr;
    HWND toolbar = nullptr;
    HWND bar_title = nullptr;
    HWND tooltips[2] = {};
    WNDPROC toolbar_proc = nullptr;  // the toolbar's own procedure, given back at close
    HDC window_dc = nullptr;         // the window's own DC, kept for its life
};

struct EditState {
    // Current image: `bits`, the description's palette, sizes and depth describe `bitmap`.
    HBITMAP bitmap = nullptr;
    HBITMAP dc_initial_bitmap = nullptr;  // selected back before the current bitmap goes
    uint8_t* bits = nullptr;              // bottom-up rows, padded to 4 bytes
    EditImageDescription image;

    EditAnimation animation;
    EditSelection selection;

    // Display contexts and windows.
    HDC memory_dc = nullptr;  // holds the bitmap on show; every paint stretches from it
    int32_t window_kind = 0;  // 1 the edit window, 0 the single view
    HWND image_window = nullptr;
    HWND file_list_window = nullptr;
    HDC save_preview_dc = nullptr;
    HBITMAP save_preview_bitmap = nullptr;
    HBITMAP save_preview_old_bitmap = nullptr;
    bool save_preview_shown = false;
    uint32_t save_preview_file_size = 0;
    char16_t save_preview_temp_path[kEditPathChars] = {};

    ViewGeometry view;
    NavigatorWindow navigator;
    SaveSettings save;
    EditSaveChoices save_choices;
    EditSaveRecord save_record;
    // The file on show was turned by a lossless save but the image was not: another lossless
    // save would turn it again. Cleared when a file is loaded.
    bool file_turned_since_load = false;
    UndoHistory history;
    SingleViewState single;
};

extern EditState g_edit_state;

inline bool edit_image_loaded() {
    return g_edit_state.bitmap != nullptr;
}

// Holds the process-wide lock for a load. Boxes reported meanwhile (report_view_error) are
// shown once the outermost scope has left the lock.
class EditLockScope {
public:
    EditLockScope();
    ~EditLockScope();
    EditLockScope(const EditLockScope&) = delete;
    EditLockScope& operator=(const EditLockScope&) = delete;
};

// show_view_error now, or after the lock when an EditLockScope holds it.
void report_view_error(HWND owner, int code);

// Detects the file's type, decodes it under the process-wide lock (the plug-ins for what the
// built-in readers refuse) and makes it the current image with a fresh history. On failure the
// state is as it was. Shows nothing itself but a box deferred until the lock is left.
bool load_image_into_edit_state(const std::u16string& path);

// Each with `out_size` null installs the image. With `out_size` it leaves the current image
// alone, selects the decoded bitmap into `save_preview_dc` and gives the file size. Callers
// hold the process-wide lock.
bool load_bmp_into_edit_state(const std::u16string& path, uint32_t* out_size = nullptr);
bool load_png_into_edit_state(const std::u16string& path, uint32_t* out_size = nullptr);
bool load_jpeg_into_edit_state(const std::u16string& path, uint32_t* out_size = nullptr);
bool load_tiff_into_edit_state(const std::u16string& path, uint32_t* out_size = nullptr);
bool load_gif_into_edit_state(const std::u16string& path, uint32_t* out_size = nullptr);
bool load_plugin_into_edit_state(const std::u16string& path);

// Makes `image` (whose bitmap and rows the state takes over) the current image. With
// `push_first_step` and an empty history the image on show is stored first as "元の画像";
// when that fails the box is shown, nothing is installed (the bitmap stays the caller's) and
// the failure is returned.
UndoResult install_edit_image(const LoadedImage& image, bool push_first_step, bool drop_selection);

// `reset_choices` of set_current_image_info: which save choices the new image resets.
constexpr uint32_t kResetLossless = 1;
constexpr uint32_t kResetComment = 2;
constexpr uint32_t kResetTransparency = 4;
constexpr uint32_t kResetAllSaveChoices = 7;
// Every choice when a path names a newly shown file, none for an image without one.
constexpr uint32_t kResetChoicesByPath = 0x100;

// Copies the describing fields of `image` (its format code too: a tool's result is 1, BMP);
// `path` null keeps the path and time. The result is that of a history push (mode 2), else ok.
UndoResult set_current_image_info(const LoadedImage& image, const char16_t* path, int32_t history_mode,
                                  const char16_t* step_name = nullptr,
                                  uint32_t reset_choices = kResetChoicesByPath);

// Gives up the current bitmap, or every frame of an animation, each bitmap deleted once.
void release_current_image();

// Redraws `selection_overlay` from the mask and the image; false (after the box, or with the
// box deferred while a load holds the lock) when memory is short.
bool refresh_selection_overlay(const BITMAPINFOHEADER& header);

// The image windows' error box: the program's texts (code 21 and unknown codes "Error"),
// always in front; the file list window is disabled meanwhile and, in the single view, the
// cursor made visible first.
int show_view_error(HWND owner, int code);

// `file_time` from the file at `path` when it opens for reading.
void refresh_file_time();
// -1 when `path` does not open, 0 when its last-write time is `file_time`, else 1 (and with
// `update` the new time is taken).
int file_time_changed(bool update);
