// The single view's pure rules: where its window goes and how the user may size it, the slide
// show's and the GIF playback's steps, when the button bar drops down, the full-screen bar
// layout, and the one table that decides both a command's menu state and whether the command
// runs at all, so that a key cannot run what the menu greys.
#pragma once

#include <cstdint>

#include "imagewin/core/image_window_ids.h"
#include "view/core/view_geometry.h"

constexpr uint32_t kSlideShowTimerId = 200000;
// The bar drops down when the pointer is this close to the client top ...
constexpr int32_t kBarHoverBand = 10;
// ... over a client higher than this.
constexpr int32_t kBarMinClientHeight = 48;
// Outside a slide show a hidden cursor comes back after a move of more than this on one axis.
constexpr int32_t kCursorWakeDistance = 16;
// A left drag of more than this (|dx| + |dy|) moves the window by its caption.
constexpr int32_t kWindowMoveThreshold = 2;

// ---- Window placement ----

// What AdjustWindowRectEx adds around the client: the client's offset from the window's
// top-left corner and the total extra width and height.
struct WindowFrameSize {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The window rectangle that shows display_width x display_height with the client's centre kept
// at `client_centre` (screen coordinates): at least `min_width` wide (moved left by half of what
// was added), never larger than the work area and inside it where it fits.
ViewFrame place_view_window_rect(ViewPoint client_centre, int32_t display_width, int32_t display_height,
                                 const WindowFrameSize& frame, int32_t min_width, const ViewFrame& work_area);

constexpr int32_t kSizingNone = 0;
constexpr int32_t kSizingEdge = 1;
constexpr int32_t kSizingCorner = 2;

struct SizingLimits {
    int32_t window_width = 0;  // the size last given by placement: an edge drag cannot exceed it
    int32_t window_height = 0;
    int32_t image_width = 0;
    int32_t image_height = 0;
    WindowFrameSize frame;
    int32_t min_width = 0;
};

// WM_SIZING: `edge` is the WMSZ_ code (1 left .. 8 bottom right); the rectangle is adjusted in
// place. Returns the sizing mode it begins.
int32_t apply_view_sizing(int32_t edge, ViewFrame& rect, const SizingLimits& limits);

// ---- Slide show ----

// A show needs a second file, and without looping a file after the current one.
bool slide_show_can_start(int32_t file_count, int32_t current, bool loop);
// The file the next tick loads, or -1 when the show is over.
int32_t slide_show_next_index(int32_t file_count, int32_t current, bool loop);
// After `loaded` was shown: whether the timer starts again.
bool slide_show_goes_on(int32_t file_count, int32_t loaded, bool loop);

// ---- GIF playback ----

struct AnimationTick {
    int32_t frame = 0;       // the frame to show next
    int32_t loop_count = 0;  // plays left (0 endless)
    bool ended = false;      // the last play is over: show the image's own bitmap and stop
    uint32_t delay_ms = 0;   // the timer's next interval
};

// One tick of the frame timer. A table of no frames ends at once.
AnimationTick step_animation(int32_t frame_count, int32_t current_frame, int32_t loop_count,
                             const int32_t* frame_delays);
// A frame delay in hundredths of a second as a timer interval; 0 or less gives the shortest.
uint32_t animation_delay_ms(int32_t delay);

// ---- Pointer moves without a button ----

enum class HoverAction : uint8_t { none, hide_bar, show_bar, show_cursor };

struct HoverInput {
    bool app_active = false;
    bool bar_shown = false;
    bool slide_show = false;
    bool cursor_visible = true;
    int32_t client_height = 0;
    ViewPoint point;
    ViewPoint hover_point;
};
HoverAction view_hover_action(const HoverInput& in);

// ---- Full-screen bar layout ----

struct FullScreenBarLayout {
    int32_t spacer_width = 0;  // of separator 9912
    int32_t title_width = 0;   // of the title field 702
};
// `right_edge` and `button_width` from the rectangle of button 8201, `separator_width` from
// separator 9911. Narrow monitors give 0, never a negative size.
FullScreenBarLayout full_screen_bar_layout(int32_t monitor_width, int32_t right_edge, int32_t button_width,
                                           int32_t separator_width);

// ---- Command states ----

struct ViewCommandContext {
    bool has_image = false;
    bool slide_show = false;
    bool folder_in_batch = false;  // a batch conversion reads or writes the image's folder
    int32_t source_format = 0;     // FileTypeCode
    int32_t flag_comment = 0;
    int32_t flag_metadata = 0;
    int32_t background_index = 0;
};

struct CommandState {
    bool enabled = true;
    bool checked = false;
};

// The state of a popup item or bar button; commands outside the table are enabled.
CommandState view_command_state(int32_t id, const ViewCommandContext& context);
// A command runs only when its state is enabled.
inline bool view_command_allowed(int32_t id, const ViewCommandContext& context) {
    return view_command_state(id, context).enabled;
}

// The bar buttons greyed without an image or during a slide show.
constexpr uint16_t kViewBarStateCommands[] = {8000, 8100, 8101, 8111, 8112, 8130,
                                              8131, 8010, 8012, 8013, 8011};
