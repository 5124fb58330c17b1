#include "imagewin/core/single_view_rules.h"

#include <algorithm>

#include "codecs/file_type.h"

namespace {

int32_t clamp_to_i32(int64_t value) {
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// One axis of the placement: the wanted start unless it lies before the area, pulled back so
// that the window ends inside the area.
int32_t place_axis(int64_t wanted, int32_t size, int32_t area_start, int32_t area_end) {
    if (wanted < area_start) return area_start;
    return clamp_to_i32(std::min<int64_t>(wanted, int64_t(area_end) - size));
}

enum class Need : uint8_t {
    image,             // an image is shown
    usable,            // an image is shown and its folder is not in a batch conversion
    usable_jpeg,       // usable, from a JPEG file
    usable_commented,  // usable, from a JPEG or PNG file (the comment dialog)
    metadata,          // an image with text data
    image_no_show,     // an image and no slide show running
    background,        // always; checked by the background index
};

struct CommandRule {
    int32_t id;
    Need need;
};

constexpr CommandRule kCommandRules[] = {
    {kCmdRotateSaveRight, Need::usable_jpeg},
    {kCmdRotateSaveLeft, Need::usable_jpeg},
    {kCmdComment, Need::usable_commented},
    {kCmdDeleteFile, Need::usable},
    {kCmdPrintPreview, Need::usable},
    {kCmdTextData, Need::metadata},
    {kCmdCopyImage, Need::image},
    {kCmdHistogram, Need::image},
    {kCmdColourCount, Need::image},
    {kCmdFileList, Need::image_no_show},
    {kCmdTurnLeft, Need::image_no_show},
    {kCmdTurnRight, Need::image_no_show},
    {kCmdZoomFit, Need::image_no_show},
    {kCmdZoomActualSize, Need::image_no_show},
    {kCmdZoomIn, Need::image_no_show},
    {kCmdZoomOut, Need::image_no_show},
    {kCmdFirstFile, Need::image_no_show},
    {kCmdLastFile, Need::image_no_show},
    {kCmdPreviousFile, Need::image_no_show},
    {kCmdNextFile, Need::image_no_show},
    {kCmdZoomToggle, Need::image},
    {kCmdZoom1000, Need::image},
    {kCmdZoom400, Need::image},
    {kCmdZoom200, Need::image},
    {kCmdZoom50, Need::image},
    {kCmdZoom25, Need::image},
    {kCmdZoom10, Need::image},
    {kCmdZoomPlus10, Need::image},
    {kCmdZoomMinus10, Need::image},
    {kCmdPanLeft, Need::image},
    {kCmdPanRight, Need::image},
    {kCmdPanUp, Need::image},
    {kCmdPanDown, Need::image},
    {kCmdBackgroundWhite, Need::background},
    {kCmdBackgroundWhite + 1, Need::background},
    {kCmdBackgroundWhite + 2, Need::background},
    {kCmdBackgroundWhite + 3, Need::background},
    {kCmdBackgroundBlack, Need::background},
};

}  // namespace

ViewFrame place_view_window_rect(ViewPoint client_centre, int32_t display_width, int32_t display_height,
                                 const WindowFrameSize& frame, int32_t min_width,
                                 const ViewFrame& work_area) {
    const int64_t display_w = std::max(display_width, 0);
    const int64_t display_h = std::max(display_height, 0);
    int64_t left = int64_t(client_centre.x) - display_w / 2 - frame.left;
    const int64_t top = int64_t(client_centre.y) - display_h / 2 - frame.top;
    int64_t width = display_w + frame.width;
    if (width < min_width) {
        left -= (min_width - width) / 2;
        width = min_width;
    }
    int64_t height = display_h + frame.height;
    const int64_t area_width = std::max<int64_t>(int64_t(work_area.right) - work_area.left, 0);
    const int64_t area_height = std::max<int64_t>(int64_t(work_area.bottom) - work_area.top, 0);
    width = std::min(width, area_width);
    height = std::min(height, area_height);
    ViewFrame out;
    out.left = place_axis(left, int32_t(width), work_area.left, work_area.right);
    out.top = place_axis(top, int32_t(height), work_area.top, work_area.bottom);
    out.right = clamp_to_i32(int64_t(out.left) + width);
    out.bottom = clamp_to_i32(int64_t(out.top) + height);
    return out;
}

int32_t apply_view_sizing(int32_t edge, ViewFrame& rect, const SizingLimits& limits) {
    constexpr int32_t kLeft = 1, kRight = 2, kTop = 3, kTopLeft = 4, kTopRight = 5, kBottom = 6,
                      kBottomLeft = 7, kBottomRight = 8;
    switch (edge) {
        case kLeft:
        case kRight:
            if (int64_t(rect.right) - rect.left > limits.window_width) {
                if (edge == kLeft)
                    rect.left = clamp_to_i32(int64_t(rect.right) - limits.window_width);
                else
                    rect.right = clamp_to_i32(int64_t(rect.left) + limits.window_width);
            }
            return kSizingEdge;
        case kTop:
        case kBottom:
            if (int64_t(rect.bottom) - rect.top > limits.window_height) {
                if (edge == kTop)
                    rect.top = clamp_to_i32(int64_t(rect.bottom) - limits.window_height);
                else
                    rect.bottom = clamp_to_i32(int64_t(rect.top) + limits.window_height);
            }
            return kSizingEdge;
        case kTopLeft:
        case kTopRight:
        case kBottomLeft:
        case kBottomRight: {
            if (limits.image_width <= 0 || limits.image_height <= 0) return kSizingNone;
            const int64_t client_height =
                std::max<int64_t>(int64_t(rect.bottom) - rect.top - limits.frame.height, 0);
            int64_t width = client_height * limits.image_width / limits.image_height + limits.frame.width;
            width = std::max<int64_t>(width, limits.min_width);
            if (edge == kTopLeft || edge == kBottomLeft)
                rect.left = clamp_to_i32(int64_t(rect.right) - width);
            else
                rect.right = clamp_to_i32(int64_t(rect.left) + width);
            return kSizingCorner;
        }
        default: return kSizingNone;
    }
}

bool slide_show_can_start(int32_t file_count, int32_t current, bool loop) {
    if (file_count < 2) return false;
    return loop || current < file_count - 1;
}

int32_t slide_show_next_index(int32_t file_count, int32_t current, bool loop) {
    if (file_count <= 0) return -1;
    const int32_t next = current < 0 ? 0 : current + 1;
    if (next < file_count) return next;
    return loop ? 0 : -1;
}

bool slide_show_goes_on(int32_t file_count, int32_t loaded, bool loop) {
    return loop || loaded < file_count - 1;
}

uint32_t animation_delay_ms(int32_t delay) {
    // SetTimer raises anything shorter to its own minimum (10 ms).
    if (delay <= 0) return 10;
    return uint32_t(delay) * 10u;
}

AnimationTick step_animation(int32_t frame_count, int32_t current_frame, int32_t loop_count,
                             const int32_t* frame_delays) {
    AnimationTick tick;
    tick.loop_count = loop_count;
    if (frame_count <= 0 || !frame_delays) {
        tick.ended = true;
        return tick;
    }
    int32_t next = current_frame + 1;
    if (next >= frame_count || next < 0) {
        next = 0;
        if (loop_count > 0) {
            tick.loop_count = loop_count - 1;
            if (loop_count == 1) {
                tick.ended = true;
                return tick;
            }
        }
    }
    tick.frame = next;
    tick.delay_ms = animation_delay_ms(frame_delays[next]);
    return tick;
}

HoverAction view_hover_action(const HoverInput& in) {
    if (!in.app_active) return HoverAction::none;
    if (in.bar_shown) return HoverAction::hide_bar;
    if (in.point.y < kBarHoverBand && in.client_height > kBarMinClientHeight) return HoverAction::show_bar;
    if (in.slide_show || in.cursor_visible) return HoverAction::none;
    const int64_t dx = int64_t(in.point.x) - in.hover_point.x;
    const int64_t dy = int64_t(in.point.y) - in.hover_point.y;
    if (dx > kCursorWakeDistance || -dx > kCursorWakeDistance || dy > kCursorWakeDistance ||
        -dy > kCursorWakeDistance)
        return HoverAction::show_cursor;
    return HoverAction::none;
}

FullScreenBarLayout full_screen_bar_layout(int32_t monitor_width, int32_t right_edge, int32_t button_width,
                                           int32_t separator_width) {
    const int64_t spacer =
        int64_t(monitor_width) - 4 - right_edge - 3 * int64_t(button_width) - separator_width + 1;
    FullScreenBarLayout out;
    out.spacer_width = clamp_to_i32(std::max<int64_t>(spacer, 0));
    out.title_width = clamp_to_i32(std::max<int64_t>(spacer - 1 - separator_width, 0));
    return out;
}

CommandState view_command_state(int32_t id, const ViewCommandContext& c) {
    const CommandRule* rule = nullptr;
    for (const CommandRule& r : kCommandRules)
        if (r.id == id) rule = &r;
    CommandState state;
    if (!rule) return state;
    const bool usable = c.has_image && !c.folder_in_batch;
    switch (rule->need) {
        case Need::image: state.enabled = c.has_image; break;
        case Need::usable: state.enabled = usable; break;
        case Need::usable_jpeg: state.enabled = usable && c.source_format == kFileJpeg; break;
        case Need::usable_commented:
            state.enabled = usable && (c.source_format == kFileJpeg || c.source_format == kFilePng);
            state.checked = state.enabled && c.flag_comment != 0;
            break;
        case Need::metadata: state.enabled = c.has_image && c.flag_metadata != 0; break;
        case Need::image_no_show: state.enabled = c.has_image && !c.slide_show; break;
        case Need::background: state.checked = id - kCmdBackgroundWhite == c.background_index; break;
    }
    return state;
}
