// The view geometry shared by the single view, the edit window and the stand-alone viewer: one
// zoom model, the source and destination rectangles it gives, and the pure rules of zooming,
// fitting, scrolling, the zoom rectangle, the right-button pan with its navigator, and the
// wheel and middle-button commands. The Win32 windows keep their handles and DCs elsewhere and
// draw what these routines compute.
//
// Every product of a zoom or scale with a size or coordinate is taken in 64 bits: the program
// is 32-bit, and a side of 25,000 pixels at 1000 % gives 2,500,000,000 before the division.
// Degenerate sizes (a client of 0 pixels, an absent image, a zoom of 0 in a fresh record) never
// reach a division or give a negative size: client sizes count from 0, source sizes stay within
// 1..image size, display and navigator sizes are at least 1.
#pragma once

#include <cstdint>

constexpr int32_t kZoomActualSize = 10000;  // hundredths of a percent: 10000 = 100 %
constexpr int32_t kZoomMin = 1000;
constexpr int32_t kZoomMax = 100000;

constexpr int32_t kCmdPreviousFile = 8012;
constexpr int32_t kCmdNextFile = 8013;
constexpr int32_t kCmdZoomFit = 8111;
constexpr int32_t kCmdZoomActualSize = 8112;
constexpr int32_t kCmdZoom1000 = 8120;
constexpr int32_t kCmdZoom400 = 8121;
constexpr int32_t kCmdZoom200 = 8122;
constexpr int32_t kCmdZoom50 = 8123;
constexpr int32_t kCmdZoom25 = 8124;
constexpr int32_t kCmdZoom10 = 8125;
constexpr int32_t kCmdZoomIn = 8130;
constexpr int32_t kCmdZoomOut = 8131;
constexpr int32_t kCmdZoomPlus10 = 8140;
constexpr int32_t kCmdZoomMinus10 = 8141;

// `drag_mode` of the right-button drag.
constexpr int32_t kDragNone = 0;
constexpr int32_t kDragPressed = 1;
constexpr int32_t kDragPanning = 2;
constexpr int32_t kDragRefused = 3;  // the whole image is visible

// A right drag pans only after this much movement (|dx| + |dy|).
constexpr int32_t kRightDragThreshold = 3;
// The navigator appears only over a client larger than this both ways.
constexpr int32_t kNavigatorMinClient = 304;
constexpr int32_t kNavigatorSide = 150;  // the image's longer side in the navigator
constexpr int32_t kNavigatorBorder = 4;  // added to the navigator's image size for its window
// A zoom rectangle narrower or lower than this, in window pixels, is dropped.
constexpr int32_t kZoomRectMinSide = 9;

struct ViewPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct ViewFrame {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Zero like the rest of the image windows' state at program start.
struct ViewGeometry {
    int32_t zoom = 0;
    int32_t image_width = 0;
    int32_t image_height = 0;
    int32_t client_width = 0;
    int32_t client_height = 0;
    int32_t display_width = 0;
    int32_t display_height = 0;
    int32_t dest_x = 0;
    int32_t dest_y = 0;
    int32_t dest_width = 0;
    int32_t dest_height = 0;
    int32_t src_x = 0;
    int32_t src_y = 0;
    int32_t src_width = 0;
    int32_t src_height = 0;
    int32_t centre_x = 0;
    int32_t centre_y = 0;
    int32_t large_image_shift = 0;
    int32_t drag_mode = kDragNone;
    bool zoom_drag_active = false;
    // Start corner of the zoom rectangle; also the remembered pointer of a right drag and of
    // the single view's cursor hiding.
    ViewPoint hover_point;
    ViewPoint drag_end;
    int32_t navigator_scale = 0;  // navigator pixels per image pixel, in 1/10000
    int32_t navigator_width = 0;
    int32_t navigator_height = 0;
    ViewFrame navigator_frame;
};

// `zoom` x image size / 10000 on each axis, at least 1.
void update_display_size(ViewGeometry& view);

// Sets `zoom` for a zoom command and recomputes the display size; false (nothing changed) for
// an id that is not a zoom command. 8111 (fit) needs a box and is the caller's.
bool apply_zoom_command(ViewGeometry& view, int32_t id);

// The zoom that fits an image of image_width x image_height into the box (sizes of 0 or less
// count as 1): the smaller ratio plus 1, at most kZoomMax, no lower limit. The display size
// follows from the view's own image size: the zoom rectangle fits a part of the image.
void compute_fit_zoom(ViewGeometry& view, int32_t box_width, int32_t image_height, int32_t image_width,
                      int32_t box_height);

// The single view's zoom for a new image at the present zoom: an image smaller than the box
// both ways is fitted when `fit_smaller` is set, any other when `fit_larger` is. Also sets
// `large_image_shift` against the screen size and centres the view on the image. The caller
// chooses the stretch mode afterwards (view_stretch_mode).
void compute_view_zoom(ViewGeometry& view, bool fit_larger, bool fit_smaller, int32_t box_width,
                       int32_t box_height, int32_t screen_width, int32_t screen_height);

// Source and destination rectangles from the zoom, the client size and the centre: an image
// smaller than the client is centred and shown whole, otherwise the source window around the
// centre is kept inside the image.
void update_view_rects(ViewGeometry& view);

enum class ViewStretchMode {
    color_on_color,
    halftone,  // with brush origin 0,0
};

// Halftone only when the image is scaled and the stretch-quality setting asks for quality.
ViewStretchMode view_stretch_mode(const ViewGeometry& view, bool quality);

// Moves the source origin, kept within 0..(image size - source size), and the centre with it.
// While panning (drag mode 2) the navigator frame is recomputed; the caller redraws it (the old
// frame is the one it held before the call) and sets the pan cursor.
void scroll_view_source(ViewGeometry& view, int32_t dx, int32_t dy);

// scroll_view_source, then the client distance the shown pixels moved, for ScrollWindowEx:
// x = old src_x x zoom / 10000 - zoom x new src_x / 10000, y likewise.
ViewPoint scroll_view_by_offset(ViewGeometry& view, int32_t dy, int32_t dx);

// Pan step of the scroll commands, in image pixels: 16 << large_image_shift.
int32_t pan_step_pixels(const ViewGeometry& view);

// The pan cursor resource of the image windows (120-134) by where the source window stands.
// max_x, max_y: image size - source size (0 or less: that axis cannot pan).
int32_t image_window_pan_cursor(int32_t max_y, int32_t max_x, int32_t src_y, int32_t src_x);
int32_t image_window_pan_cursor(const ViewGeometry& view);
// The stand-alone viewer's own set (110-124); 0 when neither axis can pan (no pan cursor).
int32_t viewer_pan_cursor(const ViewGeometry& view);

// Zoom rectangle with the left button. Begin: both corners at the point; active (the caller
// captures the mouse) only when the point lies on the destination rectangle.
bool begin_zoom_rect_drag(ViewGeometry& view, ViewPoint point);

struct ZoomRectTrack {
    bool redraw = false;  // false when no zoom rectangle is active
    ViewFrame erase;      // the previous frame, drawn again in R2_NOT
    ViewFrame draw;       // the new frame
};
// The point is held on the destination rectangle; `drag_end` follows it.
ZoomRectTrack track_zoom_rect_drag(ViewGeometry& view, ViewPoint point);

struct ZoomRectEnd {
    bool was_active = false;  // only then is there a frame to erase and a capture to release
    ViewFrame erase;
    bool zoomed = false;  // zoom and centre changed: the caller updates rectangles and window
};
// A rectangle of at least kZoomRectMinSide both ways is mapped to image pixels and fitted into
// the box; the centre moves to its middle.
ZoomRectEnd end_zoom_rect_drag(ViewGeometry& view, int32_t box_width, int32_t box_height);

// Right button down: drag mode 1 at the point.
void begin_right_drag(ViewGeometry& view, ViewPoint point);
// Right button up: drag mode 0; returns the mode the drag ended in.
int32_t end_right_drag(ViewGeometry& view);

struct RightDragStep {
    int32_t dx = 0;  // pan delta in mode 2: previous - new, shifted left by large_image_shift
    int32_t dy = 0;
    bool show_navigator = false;  // panning has just begun over a client large enough for it
};
// One pointer move with the right button down (see kDrag*). In mode 1 the distance counts from
// the press point, so a slow drag of 1-pixel moves still starts panning.
RightDragStep track_right_drag(ViewGeometry& view, ViewPoint point, bool has_image);

// The image's longer side becomes kNavigatorSide pixels; then the frame of the visible part.
void layout_navigator(ViewGeometry& view);
// The frame of the visible part at the present scale and source rectangle.
ViewFrame navigator_frame_for(const ViewGeometry& view);
// The navigator window's rectangle beside the image window (screen coordinates): at the image
// window's right edge but inside the work area, at its top edge but not above 0.
ViewFrame navigator_window_rect(const ViewGeometry& view, const ViewFrame& image_window,
                                const ViewFrame& work_area);

struct WheelRules {
    bool has_image = false;
    int32_t wheel_mode = 0;            // 0: the wheel zooms and Ctrl+wheel switches files; 1: reversed
    bool wheel_reversed = false;       // the wheel-direction setting
    bool file_switch_refused = false;  // the edit window with a tool open
};
constexpr uint32_t kMkControl = 0x0008;

// The command of a WM_MOUSEWHEEL word parameter (key state low, signed delta high), or 0.
int32_t wheel_command(const ViewGeometry& view, uint32_t key_state_and_delta, const WheelRules& rules);

// 8111 (fit) at 100 %; else the clicked point becomes the centre and 8112 (100 %); 0 without
// an image or during a right drag.
int32_t middle_click_command(ViewGeometry& view, ViewPoint point, bool has_image);
