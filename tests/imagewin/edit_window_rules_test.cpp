#include "imagewin/core/edit_window_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "imagewin/core/command_labels.h"

namespace {

struct PaneCase {
    int32_t mode, cx, cy, top;
    EditPaneRect first, edited;
};

TEST(EditPaneLayoutTest, PlacesPanesPerModeAndNeverGoesNegative) {
    const PaneCase cases[] = {
        {1, 800, 600, 60, {0, 60, 800, 540, true}, {}},
        {2, 800, 600, 60, {}, {0, 60, 800, 540, true}},
        // Side by side: (cx / 2) - 1 each, the edited pane flush right; an even width leaves 2 px.
        {0, 800, 600, 60, {0, 60, 399, 540, true}, {401, 60, 399, 540, true}},
        // An odd width leaves 3 px between the panes.
        {0, 801, 600, 60, {0, 60, 399, 540, true}, {402, 60, 399, 540, true}},
        // A frame shorter than the bars, or no width at all.
        {1, 300, 40, 60, {0, 60, 300, 0, true}, {}},
        {0, 1, 100, 10, {0, 10, 0, 90, true}, {1, 10, 0, 90, true}},
        {0, 0, 0, 0, {0, 0, 0, 0, true}, {0, 0, 0, 0, true}},
    };
    for (const PaneCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " cx " << c.cx << " cy " << c.cy);
        const EditPaneLayout layout = edit_pane_layout(c.mode, c.cx, c.cy, c.top);
        const EditPaneRect* got[] = {&layout.first, &layout.edited};
        const EditPaneRect* want[] = {&c.first, &c.edited};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(got[i]->shown, want[i]->shown);
            if (!want[i]->shown) continue;
            EXPECT_EQ(got[i]->x, want[i]->x);
            EXPECT_EQ(got[i]->y, want[i]->y);
            EXPECT_EQ(got[i]->width, want[i]->width);
            EXPECT_EQ(got[i]->height, want[i]->height);
            EXPECT_GE(got[i]->width, 0);
            EXPECT_GE(got[i]->height, 0);
        }
    }
}

struct BarCase {
    int32_t w, h, dw, dh;
    bool vertical, horizontal;
    int32_t cw, ch;
};

TEST(EditScrollBarsTest, FollowsTheTableForEveryBranch) {
    const int32_t bar = 17;
    const BarCase cases[] = {
        // Fits both ways: none.
        {500, 400, 300, 200, false, false, 500, 400},
        {500, 400, 500, 400, false, false, 500, 400},
        // Wide enough even beside a bar, too low: vertical only.
        {500, 400, 483, 401, true, false, 483, 400},
        // Wide enough only without a bar, too low: both.
        {500, 400, 484, 401, true, true, 483, 383},
        // Wide enough only without a bar, high enough: none.
        {500, 400, 484, 400, false, false, 500, 400},
        // Too wide, still high enough under a horizontal bar: horizontal only.
        {500, 400, 501, 383, false, true, 500, 383},
        // Too wide and too high under the horizontal bar: both.
        {500, 400, 501, 384, true, true, 483, 383},
        // A client smaller than the bars gives 0, never a negative size.
        {5, 5, 100, 100, true, true, 0, 0},
        {0, 0, 1, 1, true, true, 0, 0},
    };
    for (const BarCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " shows " << c.dw << "x" << c.dh);
        const EditScrollBars bars = edit_scroll_bars(c.w, c.h, c.dw, c.dh, bar, bar);
        EXPECT_EQ(bars.vertical, c.vertical);
        EXPECT_EQ(bars.horizontal, c.horizontal);
        EXPECT_EQ(bars.client_width, c.cw);
        EXPECT_EQ(bars.client_height, c.ch);
    }
}

TEST(EditScrollDeltaTest, MovesByCodeAndStopsAtTheEnds) {
    // Image 1000, source 200: positions 0..800.
    const EditScrollInfo mid{400, 200, 999, 650};
    struct Case {
        uint32_t code;
        EditScrollInfo info;
        int32_t delta;
    } cases[] = {
        {0, mid, -20},
        {1, mid, 20},
        {2, mid, -200},
        {3, mid, 200},
        {4, mid, 0},  // SB_THUMBPOSITION: the track already moved the view
        {5, mid, 250},
        {6, mid, -400},
        {7, mid, 599},  // the clamp in scroll_edit_view takes it to the end
        {8, mid, 0},    // SB_ENDSCROLL
        {99, mid, 0},
        // Already at an end: nothing.
        {0, {0, 200, 999, 0}, 0},
        {6, {0, 200, 999, 0}, 0},
        {1, {800, 200, 999, 0}, 0},
        {7, {800, 200, 999, 0}, 0},
        // A view that shows the whole image never scrolls.
        {3, {0, 1000, 999, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " at " << c.info.position);
        EXPECT_EQ(edit_scroll_delta(c.code, c.info, 1000, c.info.page), c.delta);
    }
}

TEST(ZoomTrackTest, MapsPositionsAndPercentsBothWays) {
    const struct {
        int32_t position, percent;
    } to_percent[] = {{0, 10}, {90, 258}, {180, 1000}, {54, 99}, {-5, 10}, {500, 1000}};
    for (const auto& c : to_percent) EXPECT_EQ(zoom_track_to_percent(c.position), c.percent) << c.position;

    const struct {
        int32_t percent, position;
    } to_position[] = {{100, 54}, {10, 0}, {1000, 180}, {5, 0}, {2000, 180}, {258, 90}};
    for (const auto& c : to_position) EXPECT_EQ(zoom_percent_to_track(c.percent), c.position) << c.percent;

    EXPECT_EQ(clamp_zoom_percent(5), 10);
    EXPECT_EQ(clamp_zoom_percent(2000), 1000);

    // The scale only grows; once a step of the track is worth a percent or more (from 13 on)
    // the percent a position gives leads back to that position.
    for (int32_t p = 1; p <= kZoomTrackMax; ++p) {
        EXPECT_GE(zoom_track_to_percent(p), zoom_track_to_percent(p - 1)) << p;
        if (p >= 13) {
            EXPECT_EQ(zoom_percent_to_track(zoom_track_to_percent(p)), p) << p;
        }
    }
}

uint8_t button(const SaveBarLayout& layout, uint16_t id) {
    for (int32_t i = 0; i < kSaveBarButtonCount; ++i)
        if (kSaveBarButtons[i] == id) return layout.buttons[i];
    return 0;
}

TEST(ToolGroupHoverTest, FindsTheButtonUnderThePointOtherThanTheOpenOne) {
    // Four buttons side by side in one row, as the tool-tab toolbar lays them out: 3 px of bar
    // above them, each right edge exclusive.
    const ToolGroupRect rects[kToolGroupCount] = {
        {90, 3, 130, 25}, {130, 3, 170, 25}, {170, 3, 210, 25}, {210, 3, 250, 25}};
    const struct {
        int32_t x, y, except, expected;
    } cases[] = {
        {100, 10, -1, 8400},   {129, 10, -1, 8400}, {130, 10, -1, 8410}, {249, 24, -1, 8440},
        {250, 10, -1, 0},      {89, 10, -1, 0},     {100, 2, -1, 0},     {100, 25, -1, 0},
        {100, 10, 8400, 0},  // the open popup's own button does not switch
        {175, 10, 8400, 8420}, {215, 10, 8440, 0},  {60, 10, 8410, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tool_group_at(rects, c.x, c.y, c.except), c.expected)
            << c.x << "," << c.y << " open " << c.except;
}

TEST(SaveBarLayoutTest, ShowsEachFormatsControls) {
    SaveBarInput in;
    in.has_image = true;
    const struct {
        SaveFormat format;
        std::vector<uint16_t> shown;  // the buttons beyond 8600 and 8330
        bool png, quality, colour_box, gamma;
    } cases[] = {
        {kSaveBmp, {}, false, false, false, false},
        {kSaveTiff, {}, false, false, false, false},
        {kSavePng, {8610, 8630, 8620, 8670}, true, false, true, true},
        {kSaveJpeg, {8631, 8670, 8640, 8641, 8642}, false, true, false, false},
        {kSaveGif, {8610, 8630}, false, false, true, false},
        {kSaveJpegLossless, {8631, 8650, 8651, 8652, 8660}, false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format);
        in.format = c.format;
        const SaveBarLayout layout = save_bar_layout(in);
        for (uint16_t id : kSaveBarButtons) {
            const bool want = id == 8600 || id == 8330 || std::count(c.shown.begin(), c.shown.end(), id) == 1;
            EXPECT_EQ(button(layout, id) != kButtonHidden, want) << id;
        }
        EXPECT_EQ(layout.png_controls, c.png);
        EXPECT_EQ(layout.quality_controls, c.quality);
        EXPECT_EQ(layout.size_controls, c.quality);
        EXPECT_EQ(layout.colour_box, c.colour_box);
        EXPECT_EQ(layout.gamma_edit, c.gamma);
    }
}

TEST(SaveBarLayoutTest, StatesFollowTheOptions) {
    SaveBarInput in;
    in.format = kSaveJpeg;
    in.size_limit = 1;
    in.greyscale = 1;
    in.dither_mode = 3;
    SaveBarLayout layout = save_bar_layout(in);
    EXPECT_EQ(button(layout, 8330), kButtonGreyed);  // no image
    EXPECT_EQ(button(layout, 8600), kButtonEnabled);
    EXPECT_EQ(button(layout, 8640), kButtonGreyed);  // sampling means nothing for grey
    EXPECT_FALSE(layout.quality_enabled);
    EXPECT_TRUE(layout.size_enabled);

    in.size_limit = 0;
    in.greyscale = 0;
    in.jpeg_sampling = 2;
    in.dither_mode = 0;
    layout = save_bar_layout(in);
    EXPECT_TRUE(layout.quality_enabled);
    EXPECT_FALSE(layout.size_enabled);
    EXPECT_EQ(button(layout, 8600), kButtonChecked);
    EXPECT_EQ(button(layout, 8640), kButtonEnabled);
    EXPECT_EQ(button(layout, 8642), kButtonChecked);

    in.format = kSavePng;
    in.target_bits = 8;
    EXPECT_FALSE(save_bar_layout(in).filter_enabled);
    in.greyscale = 1;
    EXPECT_TRUE(save_bar_layout(in).filter_enabled);
    in.greyscale = 0;
    in.target_bits = 24;
    EXPECT_TRUE(save_bar_layout(in).filter_enabled);

    in.format = kSaveJpegLossless;
    in.has_image = true;
    in.source_bits = 8;
    EXPECT_FALSE(save_bar_layout(in).bit_depth_enabled);
    in.source_bits = 24;
    EXPECT_TRUE(save_bar_layout(in).bit_depth_enabled);

    in.format = kSaveGif;
    EXPECT_TRUE(save_bar_layout(in).colour_box_before);
    in.format = kSavePng;
    EXPECT_FALSE(save_bar_layout(in).colour_box_before);
}

TEST(EditToolTraitsTest, EveryKindOpensFromItsCommandWithItsMenuText) {
    for (int32_t kind = 1; kind <= kEditToolKindCount; ++kind) {
        const EditToolTraits* tool = edit_tool_traits(kind);
        ASSERT_NE(tool, nullptr) << kind;
        EXPECT_EQ(tool->kind, kind);
        EXPECT_EQ(edit_tool_for_command(tool->command), kind);
        // The command labels are kept apart from this table: the two must agree.
        const char16_t* text = command_text(tool->command);
        ASSERT_NE(text, nullptr) << tool->command;
        EXPECT_EQ(std::u16string(tool->label), std::u16string(text)) << kind;
        EXPECT_EQ(tool->pane_mode, kind == kToolResize ? 1 : 2) << kind;
        EXPECT_EQ(tool->resets_zoom, kind >= 5 && kind <= 7) << kind;
        EXPECT_EQ(tool->finish_on_cancel, kind != kToolResize) << kind;
        EXPECT_EQ(tool->overlay, kind == 1 || kind == 2 || kind == 3 || kind == 5 || kind == 7) << kind;
        EXPECT_EQ(tool->stroke_history, kind == 2 || kind == 3) << kind;
        EXPECT_EQ(tool->colour_pick, kind == 2 || kind == 14 || kind == 15) << kind;
    }
    EXPECT_EQ(edit_tool_traits(0), nullptr);
    EXPECT_EQ(edit_tool_traits(25), nullptr);
    EXPECT_EQ(edit_tool_traits(10)->start_arg, 0);
    EXPECT_EQ(edit_tool_traits(11)->start_arg, 1);
    EXPECT_EQ(edit_tool_traits(12)->start_arg, 2);
    for (int32_t id : {8400, 8403, 8405, 8409, 8410, 8414, 8422, 8430, 8440, 8445, 8447, 9000})
        EXPECT_EQ(edit_tool_for_command(id), 0) << id;
}

TEST(EditToolTraitsTest, PanelIdsGoToTheirTool) {
    const struct {
        int32_t id, kind;
        bool live;
    } cases[] = {
        {1001, 5, false}, {1061, 5, false},  {1002, 0, false},  {1300, 8, false}, {1303, 8, false},
        {1304, 0, false}, {1421, 10, false}, {1651, 15, true},  {1602, 15, true}, {1601, 0, false},
        {1851, 18, true}, {2207, 3, false},  {2208, 0, false},  {2314, 1, false}, {2501, 24, true},
        {2921, 13, true}, {2923, 0, false},  {2824, 20, false}, {740, 0, false},  {9000, 0, false},
    };
    for (const auto& c : cases) {
        bool live = !c.live;
        EXPECT_EQ(edit_panel_command_tool(c.id, &live), c.kind) << c.id;
        EXPECT_EQ(live, c.live) << c.id;
    }
    // The tone tools share one panel.
    EXPECT_TRUE(edit_tool_panel_matches(12, 10));
    EXPECT_TRUE(edit_tool_panel_matches(10, 10));
    EXPECT_FALSE(edit_tool_panel_matches(13, 10));
    EXPECT_FALSE(edit_tool_panel_matches(0, 5));
    EXPECT_FALSE(edit_tool_panel_matches(6, 5));
}

EditCommandContext idle_with_image() {
    EditCommandContext c;
    c.has_image = true;
    c.named = true;
    c.has_path = true;
    c.history_count = 1;
    c.history_current = 0;
    return c;
}

TEST(EditCommandStateTest, PreconditionsPerCommand) {
    const EditCommandContext idle = idle_with_image();
    EditCommandContext no_image;
    EditCommandContext pasted = idle;  // a pasted image has neither name nor path
    pasted.named = false;
    pasted.has_path = false;
    EditCommandContext tool = idle;
    tool.tool_kind = 17;
    EditCommandContext paint = idle;
    paint.tool_kind = kToolPaint;
    EditCommandContext jpeg = idle;
    jpeg.jpeg_source = true;
    EditCommandContext jpeg_nameless_path = jpeg;
    jpeg_nameless_path.has_path = false;
    EditCommandContext batch = jpeg;
    batch.folder_in_batch = true;
    EditCommandContext after_undo = idle;
    after_undo.history_count = 3;
    after_undo.history_current = 1;
    EditCommandContext png = idle;
    png.png_source = true;
    EditCommandContext metadata = idle;
    metadata.flag_metadata = true;
    EditCommandContext metadata_tool = metadata;
    metadata_tool.tool_kind = 17;
    EditCommandContext clip_no_image;
    clip_no_image.clipboard_dib = true;
    EditCommandContext clip_tool = tool;
    clip_tool.clipboard_dib = true;

    const struct {
        int32_t id;
        const EditCommandContext* context;
        bool enabled;
    } cases[] = {
        {8000, &idle, true},       {8000, &pasted, false},        {8000, &tool, false},
        {8031, &pasted, false},    {8032, &idle, true},           {8032, &pasted, false},
        {8010, &no_image, false},  {8013, &tool, false},          {8013, &idle, true},
        {8040, &idle, false},      {8040, &jpeg, true},           {8041, &jpeg_nameless_path, false},
        {8041, &batch, false},     {8050, &idle, true},           {8050, &pasted, false},
        {8050, &batch, false},     {8050, &tool, false},          {8060, &no_image, false},
        {8060, &tool, false},      {8060, &idle, false},          {8060, &png, true},
        {8060, &jpeg, true},       {8061, &no_image, false},      {8061, &idle, false},
        {8061, &metadata, true},   {8061, &metadata_tool, false}, {8070, &no_image, false},
        {8070, &idle, true},       {8070, &tool, false},          {8110, &no_image, false},
        {8110, &tool, true},       {8125, &idle, true},           {8141, &no_image, false},
        {8321, &no_image, false},  {8321, &idle, false},          {8321, &clip_no_image, true},
        {8321, &clip_tool, false}, {8330, &tool, false},          {8401, &idle, false},
        {8401, &after_undo, true}, {8402, &idle, false},          {8402, &after_undo, true},
        {8401, &paint, true},      {8402, &paint, true},          {8401, &tool, false},
        {8403, &idle, true},       {8403, &no_image, false},      {8403, &tool, false},
        {8404, &idle, true},       {8404, &no_image, false},      {8428, &tool, false},
        {8414, &tool, false},      {8447, &idle, true},           {8405, &idle, false},
        {8610, &tool, false},      {8610, &idle, true},           {9000, &idle, false},
        {9001, &tool, true},       {8201, &idle, false},          {8100, &idle, false},
        {8202, &tool, true},       {7311, &tool, false},          {7318, &no_image, true},
        {8300, &idle, false},      {8670, &tool, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(edit_command_state(c.id, *c.context).enabled, c.enabled) << c.id;
        EXPECT_EQ(edit_command_allowed(c.id, *c.context), c.enabled) << c.id;
    }
}

TEST(EditCommandStateTest, ChecksAndRefusals) {
    EditCommandContext c = idle_with_image();
    c.background_index = 2;
    c.pane_mode = kEditPaneBoth;
    c.scroll_bars = true;
    c.selection_display = true;
    c.dither = true;
    for (int32_t id = 8211; id <= 8215; ++id) EXPECT_EQ(edit_command_state(id, c).checked, id == 8213) << id;
    for (int32_t id = 8230; id <= 8232; ++id) EXPECT_EQ(edit_command_state(id, c).checked, id == 8230) << id;
    EXPECT_TRUE(edit_command_state(8220, c).checked);
    EXPECT_TRUE(edit_command_state(8150, c).checked);
    EXPECT_TRUE(edit_command_state(8600, c).checked);

    // Area selection is checked while a selection exists; the comment item while the image has one.
    EXPECT_FALSE(edit_command_state(8404, c).checked);
    c.selection_mask = true;
    EXPECT_TRUE(edit_command_state(8404, c).checked);
    EXPECT_TRUE(edit_command_state(8404, c).enabled);
    c.flag_comment = true;
    EXPECT_FALSE(edit_command_state(8060, c).checked);  // a BMP holds no comment
    c.jpeg_source = true;
    EXPECT_TRUE(edit_command_state(8060, c).checked);
    c = idle_with_image();

    // The selection tool owns the display while open.
    c.tool_kind = kToolSelection;
    EXPECT_FALSE(edit_command_state(8150, c).enabled);

    // While the trimming rectangle is drawn the panes stay; once adjusting they may change.
    c.tool_kind = kToolTrimming;
    for (int32_t state : {0, 1, 2, 4}) {
        c.trimming_state = state;
        EXPECT_FALSE(edit_command_allowed(8230, c)) << state;
        EXPECT_FALSE(edit_command_allowed(8232, c)) << state;
    }
    c.trimming_state = kTrimmingAdjusting;
    EXPECT_TRUE(edit_command_allowed(8231, c));

    // The pan commands need a view smaller than the image on their axis.
    c = idle_with_image();
    c.wider_than_view = true;
    EXPECT_TRUE(edit_command_allowed(8300, c));
    EXPECT_TRUE(edit_command_allowed(8301, c));
    EXPECT_FALSE(edit_command_allowed(8302, c));
    c.taller_than_view = true;
    EXPECT_TRUE(edit_command_allowed(8303, c));

    // A right drag refuses every command, even those that are always enabled.
    c.drag_mode = 2;
    for (int32_t id : {8202, 8211, 8220, 8110, 8404, 9000, 12345})
        EXPECT_FALSE(edit_command_allowed(id, c)) << id;
    EXPECT_TRUE(edit_command_state(8202, c).enabled);  // the menu still shows it
}

}  // namespace
