#include "imagewin/core/edit_window_rules.h"

#include <algorithm>
#include <cmath>

namespace {

int32_t non_negative(int32_t value) {
    return value < 0 ? 0 : value;
}

}  // namespace

EditPaneLayout edit_pane_layout(int32_t mode, int32_t cx, int32_t cy, int32_t top) {
    EditPaneLayout layout;
    cx = non_negative(cx);
    const int32_t height = non_negative(cy - top);
    if (mode == kEditPaneBoth) {
        const int32_t width = non_negative(cx / 2 - 1);
        layout.first = {0, top, width, height, true};
        layout.edited = {cx - width, top, width, height, true};
    } else if (mode == kEditPaneEditedOnly) {
        layout.edited = {0, top, cx, height, true};
    } else {
        layout.first = {0, top, cx, height, true};
    }
    return layout;
}

EditScrollBars edit_scroll_bars(int32_t width, int32_t height, int32_t display_width, int32_t display_height,
                                int32_t bar_width, int32_t bar_height) {
    EditScrollBars bars;
    width = non_negative(width);
    height = non_negative(height);
    if (width >= display_width) {
        if (height < display_height) {
            // A vertical bar takes width; when the rest is too narrow the horizontal one is needed too.
            bars.vertical = true;
            bars.horizontal = width - bar_width < display_width;
        }
    } else {
        bars.horizontal = true;
        bars.vertical = height - bar_height < display_height;
    }
    bars.client_width = non_negative(width - (bars.vertical ? bar_width : 0));
    bars.client_height = non_negative(height - (bars.horizontal ? bar_height : 0));
    return bars;
}

int32_t edit_scroll_delta(uint32_t code, const EditScrollInfo& info, int32_t image_size,
                          int32_t source_size) {
    int64_t delta = 0;
    switch (code) {
        case 0:  // SB_LINEUP
            delta = -20;
            break;
        case 1:  // SB_LINEDOWN
            delta = 20;
            break;
        case 2:  // SB_PAGEUP
            delta = -int64_t(info.page);
            break;
        case 3:  // SB_PAGEDOWN
            delta = info.page;
            break;
        case 5:  // SB_THUMBTRACK
            delta = int64_t(info.track) - info.position;
            break;
        case 6:  // SB_TOP
            delta = -int64_t(info.position);
            break;
        case 7:  // SB_BOTTOM
            delta = int64_t(info.maximum) - info.position;
            break;
        default:  // SB_THUMBPOSITION, SB_ENDSCROLL and unknown codes
            return 0;
    }
    const int64_t limit = std::max<int64_t>(0, int64_t(image_size) - source_size);
    const int64_t target = std::clamp<int64_t>(int64_t(info.position) + delta, 0, limit);
    if (target == info.position) return 0;
    return int32_t(delta);
}

int32_t zoom_track_to_percent(int32_t position) {
    const int64_t p = std::clamp(position, 0, kZoomTrackMax);
    // (p / 180)^2 x 990, rounded half away from zero, in integers.
    const int64_t scale = int64_t(kZoomTrackMax) * kZoomTrackMax;
    const int64_t rounded = (p * p * 990 * 2 + scale) / (2 * scale);
    return int32_t(std::min<int64_t>(rounded + kZoomPercentMin, kZoomPercentMax));
}

int32_t zoom_percent_to_track(int32_t percent) {
    const int32_t z = clamp_zoom_percent(percent);
    const double position = std::round(std::sqrt(double(z - kZoomPercentMin) / 990.0) * kZoomTrackMax);
    return std::clamp(int32_t(position), 0, kZoomTrackMax);
}

int32_t clamp_zoom_percent(int32_t percent) {
    return std::clamp(percent, kZoomPercentMin, kZoomPercentMax);
}

int32_t tool_group_at(const ToolGroupRect (&rects)[kToolGroupCount], int32_t x, int32_t y, int32_t except) {
    for (int32_t i = 0; i < kToolGroupCount; ++i) {
        const ToolGroupRect& r = rects[i];
        if (kToolGroupIds[i] == except) continue;
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return kToolGroupIds[i];
    }
    return 0;
}

namespace {

uint8_t check_state(bool checked) {
    return checked ? kButtonChecked : kButtonEnabled;
}

void set_button(SaveBarLayout& layout, uint16_t id, uint8_t state) {
    for (int32_t i = 0; i < kSaveBarButtonCount; ++i)
        if (kSaveBarButtons[i] == id) layout.buttons[i] = state;
}

}  // namespace

SaveBarLayout save_bar_layout(const SaveBarInput& in) {
    SaveBarLayout layout;
    std::fill(std::begin(layout.buttons), std::end(layout.buttons), kButtonHidden);
    set_button(layout, 8600, check_state(in.dither_mode == 0));
    set_button(layout, 8330, in.has_image ? kButtonEnabled : kButtonGreyed);
    layout.quality_enabled = in.size_limit == 0;
    layout.size_enabled = in.size_limit != 0;
    switch (in.format) {
        case kSavePng:
            set_button(layout, 8610, check_state(in.transparent != 0));
            set_button(layout, 8630, check_state(in.interlace != 0));
            set_button(layout, 8620, check_state(in.write_gamma != 0));
            set_button(layout, 8670, check_state(in.comment != 0));
            layout.colour_box = true;
            layout.gamma_edit = true;
            layout.png_controls = true;
            layout.filter_enabled = in.target_bits == 24 || in.greyscale != 0;
            break;
        case kSaveJpeg: {
            set_button(layout, 8631, check_state(in.progressive != 0));
            set_button(layout, 8670, check_state(in.comment != 0));
            for (int32_t i = 0; i < 3; ++i)
                set_button(layout, uint16_t(8640 + i),
                           in.greyscale != 0 ? kButtonGreyed : check_state(in.jpeg_sampling == i));
            layout.quality_controls = true;
            layout.size_controls = true;
            break;
        }
        case kSaveGif:
            set_button(layout, 8610, check_state(in.transparent != 0));
            set_button(layout, 8630, check_state(in.interlace != 0));
            layout.colour_box = true;
            layout.colour_box_before = true;
            break;
        case kSaveJpegLossless:
            set_button(layout, 8631, check_state(in.progressive != 0));
            for (int32_t i = 0; i < 3; ++i)
                set_button(layout, uint16_t(8650 + i), check_state(in.jpeg_markers == i));
            set_button(layout, 8660, check_state(in.jpeg_trim != 0));
            layout.bit_depth_enabled = !(in.has_image && in.source_bits == 8);
            break;
        default:  // BMP, TIFF
            break;
    }
    return layout;
}

namespace {

// clang-format off
constexpr EditToolTraits kTools[kEditToolKindCount] = {
    // kind cmd   label                              mode arg  reset  cancel overlay mouse  stroke pick
    {1,  8404, u"領域選択(&S)...",                 2, 0, false, true,  true,  true,  false, false},
    {2,  8406, u"ペイント(&P)...",                 2, 0, false, true,  true,  true,  true,  true},
    {3,  8407, u"部分補正(&C)...",                 2, 0, false, true,  true,  true,  true,  false},
    {4,  8408, u"テキスト挿入(&T)...",             2, 0, false, true,  false, true,  false, false},
    {5,  8411, u"トリミング(&T)...",               2, 0, true,  true,  true,  true,  false, false},
    {6,  8412, u"リサイズ(&Z)...",                 1, 0, true,  false, false, false, false, false},
    {7,  8413, u"任意角度回転(&O)...",             2, 0, true,  true,  true,  true,  false, false},
    {8,  8421, u"ヒストグラム補正(&H)...",         2, 0, false, true,  false, false, false, false},
    {9,  8423, u"明暗域補正(&A)...",               2, 0, false, true,  false, false, false, false},
    {10, 8424, u"ガンマ補正(&G)...",               2, 0, false, true,  false, false, false, false},
    {11, 8425, u"明るさ補正(&L)...",               2, 1, false, true,  false, false, false, false},
    {12, 8426, u"コントラスト(&C)...",             2, 2, false, true,  false, false, false, false},
    {13, 8427, u"カラーバランス(&B)...",           2, 0, false, true,  false, false, false, false},
    {14, 8428, u"色相/彩度(&V)...",                2, 0, false, true,  false, false, false, true},
    {15, 8429, u"色の置き換え(&R)...",             2, 0, false, true,  false, false, false, true},
    {16, 8431, u"アンシャープマスク(&U)...",       2, 0, false, true,  false, false, false, false},
    {17, 8432, u"ぼかし(&S)...",                   2, 0, false, true,  false, false, false, false},
    {18, 8433, u"ソフトフォーカス(&F)...",         2, 0, false, true,  false, false, false, false},
    {19, 8434, u"ノイズ除去(&D)...",               2, 0, false, true,  false, false, false, false},
    {20, 8441, u"カラーフィルタ(&L)...",           2, 0, false, true,  false, false, false, false},
    {21, 8442, u"モザイク(&M)...",                 2, 0, false, true,  false, false, false, false},
    {22, 8443, u"拡散(&J)...",                     2, 0, false, true,  false, false, false, false},
    {23, 8444, u"エンボス(浮き彫り)(&E)...",       2, 0, false, true,  false, false, false, false},
    {24, 8446, u"ポスタリゼーション(&P)...",       2, 0, false, true,  false, false, false, false},
};
// clang-format on

struct PanelRange {
    uint16_t first;
    uint16_t last;
    int32_t kind;
    bool live;
};

constexpr PanelRange kPanelIds[] = {
    {1001, 1001, 5, false},  {1011, 1011, 5, false},  {1021, 1021, 5, false},  {1031, 1031, 5, false},
    {1061, 1061, 5, false},  {1111, 1111, 6, false},  {1121, 1121, 6, false},  {1130, 1130, 6, false},
    {1140, 1140, 6, false},  {1202, 1202, 7, false},  {1210, 1210, 7, false},  {1220, 1221, 7, false},
    {1300, 1303, 8, false},  {1321, 1321, 8, false},  {1331, 1331, 8, false},  {1340, 1340, 8, false},
    {1350, 1350, 8, false},  {1420, 1422, 10, false}, {1440, 1440, 10, false}, {1500, 1502, 14, false},
    {1521, 1521, 14, false}, {1530, 1530, 14, false}, {1532, 1533, 14, false}, {1602, 1602, 15, true},
    {1621, 1621, 15, true},  {1632, 1632, 15, true},  {1651, 1651, 15, true},  {1711, 1711, 16, true},
    {1731, 1731, 16, true},  {1800, 1802, 17, false}, {1811, 1811, 17, false}, {1851, 1851, 18, true},
    {1901, 1901, 19, true},  {2000, 2000, 4, false},  {2020, 2021, 4, false},  {2101, 2101, 2, false},
    {2112, 2112, 2, false},  {2121, 2121, 2, false},  {2130, 2130, 2, false},  {2200, 2207, 3, false},
    {2211, 2211, 3, false},  {2221, 2221, 3, false},  {2301, 2301, 1, false},  {2310, 2314, 1, false},
    {2331, 2331, 1, false},  {2333, 2333, 1, false},  {2340, 2340, 1, false},  {2350, 2350, 1, false},
    {2402, 2402, 9, true},   {2412, 2412, 9, true},   {2501, 2501, 24, true},  {2551, 2551, 23, false},
    {2562, 2562, 23, false}, {2570, 2570, 23, false}, {2600, 2600, 21, false}, {2612, 2612, 21, false},
    {2622, 2622, 21, false}, {2630, 2631, 21, false}, {2702, 2702, 22, true},  {2712, 2712, 22, true},
    {2801, 2801, 20, false}, {2820, 2824, 20, false}, {2920, 2922, 13, true},
};

bool is_tone_kind(int32_t kind) {
    return kind >= 10 && kind <= 12;
}

}  // namespace

const EditToolTraits* edit_tool_traits(int32_t kind) {
    if (kind < 1 || kind > kEditToolKindCount) return nullptr;
    return &kTools[kind - 1];
}

int32_t edit_tool_for_command(int32_t id) {
    for (const EditToolTraits& tool : kTools)
        if (tool.command == id) return tool.kind;
    return 0;
}

int32_t edit_panel_command_tool(int32_t id, bool* live) {
    for (const PanelRange& range : kPanelIds) {
        if (id >= range.first && id <= range.last) {
            if (live) *live = range.live;
            return range.kind;
        }
    }
    if (live) *live = false;
    return 0;
}

bool edit_tool_panel_matches(int32_t open_kind, int32_t owner_kind) {
    if (is_tone_kind(owner_kind)) return is_tone_kind(open_kind);
    return open_kind != 0 && open_kind == owner_kind;
}

EditCommandState edit_command_state(int32_t id, const EditCommandContext& c) {
    const bool no_tool = c.tool_kind == kToolNone;
    const bool image = c.has_image;
    const bool file = no_tool && image && c.named;
    const bool trimming_drawing = c.tool_kind == kToolTrimming && c.trimming_state != kTrimmingAdjusting;
    const bool brush_tool = c.tool_kind == kToolPaint || c.tool_kind == kToolPartialCorrection;
    EditCommandState state;
    const int32_t one_shot = edit_one_shot_index(id);
    if (one_shot >= 0 && (c.missing_one_shots >> one_shot) & 1u) {
        state.enabled = false;
        return state;
    }
    if (const int32_t kind = edit_tool_for_command(id)) {
        state.enabled = no_tool && image && !((c.missing_kinds >> kind) & 1u);
        state.checked = id == 8404 && c.selection_mask;
        return state;
    }
    if (id >= 7311 && id <= 7318) {
        state.enabled = no_tool;
        return state;
    }
    if (id >= 8010 && id <= 8013) {
        state.enabled = no_tool && image;
        return state;
    }
    if ((id >= 8110 && id <= 8112) || (id >= 8120 && id <= 8125) || id == 8130 || id == 8131 || id == 8140 ||
        id == 8141) {
        state.enabled = image;
        return state;
    }
    if (id >= 8211 && id <= 8215) {
        state.checked = c.background_index == id - 8211;
        return state;
    }
    if (id >= 8230 && id <= 8232) {
        state.enabled = !trimming_drawing;
        state.checked = c.pane_mode == id - 8230;
        return state;
    }
    switch (id) {
        case 8000:
        case 8031: state.enabled = file; break;
        case 8030:
        case 8032: state.enabled = file && c.has_path; break;
        case 8040:
        case 8041:
            // The transform rewrites the file in place: it needs the file and a folder no batch uses.
            state.enabled = file && c.has_path && c.jpeg_source && !c.folder_in_batch;
            break;
        case 8050: state.enabled = file && c.has_path && !c.folder_in_batch; break;
        case 8060:
            // Only JPEG and PNG files hold a comment the dialog can show.
            state.enabled = no_tool && image && (c.jpeg_source || c.png_source);
            state.checked = state.enabled && c.flag_comment;
            break;
        case 8061: state.enabled = no_tool && image && c.flag_metadata; break;
        case 8321: state.enabled = no_tool && c.clipboard_dib; break;
        case 8670: state.enabled = no_tool; break;
        case 8070:
        case 8310:
        case 8311:
        case 8320:
        case 8330:
        case 8414:
        case 8415:
        case 8416:
        case 8417:
        case 8418:
        case 8422:
        case 8430:
        case 8445:
        case 8447:
        case 8610: state.enabled = no_tool && image; break;
        case 8150:
            state.enabled = c.tool_kind != kToolSelection;
            state.checked = state.enabled && c.selection_display;
            break;
        case 8220: state.checked = c.scroll_bars; break;
        case 8300:
        case 8301: state.enabled = image && c.wider_than_view; break;
        case 8302:
        case 8303: state.enabled = image && c.taller_than_view; break;
        case 8401: state.enabled = brush_tool || (no_tool && image && c.history_current > 0); break;
        case 8402:
            state.enabled = brush_tool || (no_tool && image && c.history_current + 1 < c.history_count);
            break;
        case 8403:
            // Moving the history under an open tool would swap the image the tool works on.
            state.enabled = no_tool && image && c.history_count > 0;
            break;
        case 8405: state.enabled = c.selection_copy; break;
        case 8600: state.checked = c.dither; break;
        case 9000:
        case 9001: state.enabled = !no_tool; break;
        case 8020:
        case 8100:
        case 8101:
        case 8200:
        case 8201:
        case 8203:
            state.enabled = false;  // the single view's
            break;
        default: break;
    }
    return state;
}

bool edit_command_allowed(int32_t id, const EditCommandContext& context) {
    if (context.drag_mode != 0) return false;
    return edit_command_state(id, context).enabled;
}
