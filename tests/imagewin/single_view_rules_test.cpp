// The single view's placement, sizing, slide-show and GIF stepping, bar hover and command
// states, with the corner cases a user reaches: both ends of the folder, a one-file folder, the
// last play of a GIF, a window narrower than the system minimum and larger than the work area.
#include "imagewin/core/single_view_rules.h"

#include <gtest/gtest.h>

#include "codecs/file_type.h"

namespace {

// A frame like a captioned, sizable window: 8 px borders, a 31 px caption.
constexpr WindowFrameSize kFrame{8, 31, 16, 39};
constexpr ViewFrame kWork{0, 0, 1920, 1040};

TEST(SingleViewPlacement, KeepsTheCentreFitsAndStaysInside) {
    struct Case {
        const char* name;
        ViewPoint centre;
        int32_t width, height, min_width;
        ViewFrame work;
        ViewFrame expected;
    };
    const Case cases[] = {
        {"centred", {960, 520}, 400, 300, 112, kWork, {752, 339, 1168, 678}},
        // 20 + 16 < 112: widened to 112 and moved left by half of the 76 added.
        {"narrow", {960, 520}, 20, 300, 112, kWork, {904, 339, 1016, 678}},
        {"too large", {960, 520}, 3000, 2000, 112, kWork, {0, 0, 1920, 1040}},
        {"past the left", {10, 520}, 400, 300, 112, kWork, {0, 339, 416, 678}},
        {"past the right", {1900, 520}, 400, 300, 112, kWork, {1504, 339, 1920, 678}},
        {"past the bottom", {960, 1030}, 400, 300, 112, kWork, {752, 701, 1168, 1040}},
        {"second monitor", {2500, 400}, 400, 300, 112, {1920, 0, 3200, 1024}, {2292, 219, 2708, 558}},
        {"empty work area", {0, 0}, 400, 300, 112, {0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const ViewFrame r = place_view_window_rect(c.centre, c.width, c.height, kFrame, c.min_width, c.work);
        EXPECT_EQ(r.left, c.expected.left) << c.name;
        EXPECT_EQ(r.top, c.expected.top) << c.name;
        EXPECT_EQ(r.right, c.expected.right) << c.name;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.name;
    }
}

TEST(SingleViewPlacement, HugeDisplaySizesDoNotOverflow) {
    const ViewFrame r =
        place_view_window_rect({INT32_MAX - 5, INT32_MAX - 5}, INT32_MAX, INT32_MAX, kFrame, 112, kWork);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 1920);
    EXPECT_EQ(r.bottom, 1040);
}

TEST(SingleViewSizing, EdgesOnlyShrinkCornersKeepTheAspect) {
    SizingLimits limits;
    limits.window_width = 416;
    limits.window_height = 339;
    limits.image_width = 400;
    limits.image_height = 300;
    limits.frame = kFrame;
    limits.min_width = 112;
    struct Case {
        const char* name;
        int32_t edge;
        ViewFrame in;
        ViewFrame expected;
        int32_t mode;
    };
    const Case cases[] = {
        {"left outward", 1, {700, 100, 1200, 439}, {784, 100, 1200, 439}, kSizingEdge},
        {"right outward", 2, {100, 100, 900, 439}, {100, 100, 516, 439}, kSizingEdge},
        {"right inward", 2, {100, 100, 300, 439}, {100, 100, 300, 439}, kSizingEdge},
        {"top outward", 3, {100, 0, 516, 439}, {100, 100, 516, 439}, kSizingEdge},
        {"bottom outward", 6, {100, 100, 516, 900}, {100, 100, 516, 439}, kSizingEdge},
        // Client height 150 at 4:3 gives 200 + 16.
        {"bottom right", 8, {100, 100, 900, 289}, {100, 100, 316, 289}, kSizingCorner},
        {"top left", 4, {0, 100, 500, 289}, {284, 100, 500, 289}, kSizingCorner},
        {"bottom left tiny", 7, {0, 100, 500, 140}, {388, 100, 500, 140}, kSizingCorner},
        {"unknown edge", 9, {1, 2, 3, 4}, {1, 2, 3, 4}, kSizingNone},
    };
    for (const Case& c : cases) {
        ViewFrame r = c.in;
        EXPECT_EQ(apply_view_sizing(c.edge, r, limits), c.mode) << c.name;
        EXPECT_EQ(r.left, c.expected.left) << c.name;
        EXPECT_EQ(r.top, c.expected.top) << c.name;
        EXPECT_EQ(r.right, c.expected.right) << c.name;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.name;
    }
    limits.image_height = 0;
    ViewFrame r{0, 0, 100, 100};
    EXPECT_EQ(apply_view_sizing(8, r, limits), kSizingNone) << "no image: no division by its height";
}

TEST(SlideShow, StartsStepsAndEndsAtBothEnds) {
    struct Case {
        int32_t count, current;
        bool loop;
        bool starts;
        int32_t next;
    };
    const Case cases[] = {
        {0, -1, true, false, -1}, {1, 0, true, false, 0}, {1, 0, false, false, -1},
        {3, 0, false, true, 1},   {3, 1, false, true, 2}, {3, 2, false, false, -1},
        {3, 2, true, true, 0},    {3, 0, true, true, 1},  {2, -1, false, true, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(slide_show_can_start(c.count, c.current, c.loop), c.starts)
            << c.count << " files at " << c.current << " loop " << c.loop;
        EXPECT_EQ(slide_show_next_index(c.count, c.current, c.loop), c.next)
            << c.count << " files at " << c.current << " loop " << c.loop;
    }
    EXPECT_TRUE(slide_show_goes_on(3, 1, false));
    EXPECT_FALSE(slide_show_goes_on(3, 2, false)) << "the last file ends a show without loop";
    EXPECT_TRUE(slide_show_goes_on(3, 2, true));
}

TEST(SlideShow, AWholeShowWithoutLoopVisitsEachLaterFileOnce) {
    int32_t current = 1;
    int visited = 0;
    for (;;) {
        const int32_t next = slide_show_next_index(5, current, false);
        ASSERT_NE(next, -1);
        ++visited;
        current = next;
        if (!slide_show_goes_on(5, current, false)) break;
    }
    EXPECT_EQ(current, 4);
    EXPECT_EQ(visited, 3);
}

TEST(GifPlayback, FramesLoopAndTheLastPlayEnds) {
    const int32_t delays[3] = {5, 0, 12};
    struct Case {
        int32_t current, loops;
        AnimationTick expected;
    };
    const Case cases[] = {
        {0, 0, {1, 0, false, 10}},   // a delay of 0 gives the shortest interval
        {1, 0, {2, 0, false, 120}},  //
        {2, 0, {0, 0, false, 50}},   // endless: back to the first frame
        {2, 3, {0, 2, false, 50}},   // one play fewer left
        {2, 1, {0, 0, true, 0}},     // the last play ends playback
        {0, 1, {1, 1, false, 10}},   // within a play the count stays
    };
    for (const Case& c : cases) {
        const AnimationTick t = step_animation(3, c.current, c.loops, delays);
        EXPECT_EQ(t.frame, c.expected.frame) << c.current << "/" << c.loops;
        EXPECT_EQ(t.loop_count, c.expected.loop_count) << c.current << "/" << c.loops;
        EXPECT_EQ(t.ended, c.expected.ended) << c.current << "/" << c.loops;
        if (!t.ended) {
            EXPECT_EQ(t.delay_ms, c.expected.delay_ms) << c.current << "/" << c.loops;
        }
    }
    EXPECT_TRUE(step_animation(0, 0, 0, delays).ended) << "no frames";
}

TEST(GifPlayback, LoopCountTwoPlaysEveryFrameTwice) {
    const int32_t delays[2] = {1, 1};
    int32_t frame = 0, loops = 2, shown = 1;
    for (int guard = 0; guard < 100; ++guard) {
        const AnimationTick t = step_animation(2, frame, loops, delays);
        if (t.ended) break;
        frame = t.frame;
        loops = t.loop_count;
        ++shown;
    }
    EXPECT_EQ(shown, 4);
}

TEST(SingleViewHover, BarCursorAndInactiveApplication) {
    struct Case {
        const char* name;
        HoverInput in;
        HoverAction expected;
    };
    const Case cases[] = {
        {"inactive", {false, false, false, true, 150, {5, 2}, {}}, HoverAction::none},
        {"top band", {true, false, false, true, 150, {5, 9}, {}}, HoverAction::show_bar},
        {"below band", {true, false, false, true, 150, {5, 10}, {}}, HoverAction::none},
        {"low client", {true, false, false, true, 48, {5, 2}, {}}, HoverAction::none},
        {"bar goes", {true, true, false, true, 150, {5, 2}, {}}, HoverAction::hide_bar},
        {"cursor back", {true, false, false, false, 150, {100, 100}, {117, 100}}, HoverAction::show_cursor},
        {"small move", {true, false, false, false, 150, {100, 100}, {116, 84}}, HoverAction::none},
        {"in a show", {true, false, true, false, 150, {100, 100}, {300, 300}}, HoverAction::none},
    };
    for (const Case& c : cases) EXPECT_EQ(view_hover_action(c.in), c.expected) << c.name;
}

TEST(FullScreenBar, SpacerPutsTheLastButtonsAtTheRightEdge) {
    // 8201 ends at 300, buttons 23 wide, separator 8: 1920 - 4 - 300 - 69 - 8 + 1.
    const FullScreenBarLayout l = full_screen_bar_layout(1920, 300, 23, 8);
    EXPECT_EQ(l.spacer_width, 1540);
    EXPECT_EQ(l.title_width, 1531);
    const FullScreenBarLayout narrow = full_screen_bar_layout(200, 300, 23, 8);
    EXPECT_EQ(narrow.spacer_width, 0);
    EXPECT_EQ(narrow.title_width, 0);
}

TEST(SingleViewCommands, MenuStatesAndPreconditionsAgree) {
    ViewCommandContext jpeg;
    jpeg.has_image = true;
    jpeg.source_format = kFileJpeg;
    jpeg.flag_comment = 1;
    ViewCommandContext png = jpeg;
    png.source_format = kFilePng;
    png.flag_comment = 0;
    png.flag_metadata = 1;
    ViewCommandContext bmp = jpeg;
    bmp.source_format = kFileBmp;
    ViewCommandContext batch = jpeg;
    batch.folder_in_batch = true;
    ViewCommandContext show = jpeg;
    show.slide_show = true;
    const ViewCommandContext none;
    struct Case {
        const char* name;
        int32_t id;
        const ViewCommandContext* context;
        bool enabled, checked;
    };
    const Case cases[] = {
        {"rotate save jpeg", 8040, &jpeg, true, false},
        {"rotate save png", 8041, &png, false, false},
        {"rotate save batch", 8040, &batch, false, false},
        {"comment jpeg", 8060, &jpeg, true, true},
        {"comment png", 8060, &png, true, false},
        {"comment bmp", 8060, &bmp, false, false},
        {"comment batch", 8060, &batch, false, false},
        {"delete", 8050, &bmp, true, false},
        {"delete batch", 8050, &batch, false, false},
        {"delete no image", 8050, &none, false, false},
        {"print batch", 8070, &batch, false, false},
        {"text data", 8061, &png, true, false},
        {"text data none", 8061, &jpeg, false, false},
        {"copy batch", 8320, &batch, true, false},
        {"copy no image", 8320, &none, false, false},
        {"histogram", 8310, &bmp, true, false},
        {"colours no image", 8311, &none, false, false},
        {"next in a show", 8013, &show, false, false},
        {"fit in a show", 8111, &show, false, false},
        {"next", 8013, &jpeg, true, false},
        {"full screen in a show", 8200, &show, true, false},
        {"close in a show", 8202, &show, true, false},
        {"slide show key in a show", 8020, &show, true, false},
        {"zoom no image", 8121, &none, false, false},
        {"pan no image", 8303, &none, false, false},
        {"background checked", 8211, &none, true, true},
        {"background other", 8214, &none, true, false},
        {"unknown", 9999, &none, true, false},
    };
    for (const Case& c : cases) {
        const CommandState s = view_command_state(c.id, *c.context);
        EXPECT_EQ(s.enabled, c.enabled) << c.name;
        EXPECT_EQ(s.checked, c.checked) << c.name;
        EXPECT_EQ(view_command_allowed(c.id, *c.context), c.enabled) << c.name;
    }
    ViewCommandContext dark = none;
    dark.background_index = 3;
    EXPECT_TRUE(view_command_state(8214, dark).checked);
    EXPECT_FALSE(view_command_state(8211, dark).checked);
}

TEST(SingleViewCommands, BarButtonsGreyWithoutImageOrInAShow) {
    ViewCommandContext shown;
    shown.has_image = true;
    ViewCommandContext show = shown;
    show.slide_show = true;
    for (uint16_t id : kViewBarStateCommands) {
        EXPECT_TRUE(view_command_state(id, shown).enabled) << id;
        EXPECT_FALSE(view_command_state(id, show).enabled) << id;
        EXPECT_FALSE(view_command_state(id, ViewCommandContext{}).enabled) << id;
    }
}

}  // namespace
