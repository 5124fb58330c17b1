#include "shell/core/preview_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(PreviewRulesTest, LargestSizeFitsTheWorkAreaBothWays) {
    struct Case {
        int32_t work_width, work_height, frame_width, frame_height, expected;
    } cases[] = {
        {1280, 994, 6, 6, 988},    // wide screen: the height binds
        {768, 1024, 6, 6, 762},    // tall screen: the width binds
        {1000, 1001, 4, 30, 971},  // narrower than high, yet the frame's height binds
        {1001, 1000, 30, 4, 971},
        {150, 120, 6, 30, 100},  // a screen too small still gets the smallest preview
    };
    for (const Case& c : cases)
        EXPECT_EQ(largest_preview_size(c.work_width, c.work_height, c.frame_width, c.frame_height),
                  c.expected)
            << c.work_width << "x" << c.work_height;
}

TEST(PreviewRulesTest, HiddenPreviewKeepsItsLongerSideWithinLimits) {
    struct Case {
        int32_t client_width, client_height, largest, expected;
    } cases[] = {
        {640, 480, 988, 640}, {640, 480, 500, 500}, {300, 700, 988, 700},
        {50, 60, 988, 100},   {640, 480, 40, 100},
    };
    for (const Case& c : cases)
        EXPECT_EQ(preview_size_after_resize(c.client_width, c.client_height, c.largest), c.expected)
            << c.client_width << "x" << c.client_height << " largest " << c.largest;
}

TEST(PreviewRulesTest, PlacementCentresOverTheCellWithinTheBounds) {
    const PreviewBounds desk{50, 180, ScreenRect{0, 0, 1280, 994}};
    const PreviewBounds loose{0, 0, ScreenRect{0, 0, 1280, 994}};
    struct Case {
        const char* what;
        ScreenRect cell;
        int32_t width, height;
        PreviewBounds bounds;
        int32_t x, y;
    } cases[] = {
        {"centred", {500, 400, 644, 508}, 406, 306, desk, 369, 301},
        {"below the client top, right of the tree", {100, 100, 244, 208}, 406, 306, desk, 180, 50},
        {"touches the work area's right edge", {1200, 500, 1344, 608}, 406, 306, desk, 874, 401},
        {"touches the work area's bottom", {400, 900, 544, 1008}, 406, 306, desk, 269, 688},
        // Smaller than the cell: -43 >> 1 is -22, not -21.
        {"arithmetic shift", {100, 100, 244, 208}, 101, 107, loose, 122, 101},
        {"taller than the work area", {400, 400, 544, 508}, 406, 1200, desk, 269, 0},
        {"left of the origin",
         {-600, 100, -456, 208},
         406,
         306,
         PreviewBounds{50, -2000, ScreenRect{-1280, 0, 0, 994}},
         0,
         50},
    };
    for (const Case& c : cases) {
        const PreviewPoint p = place_preview(c.cell, c.width, c.height, c.bounds);
        EXPECT_EQ(p.x, c.x) << c.what;
        EXPECT_EQ(p.y, c.y) << c.what;
    }
}

// 400 x 300 and 300 x 400 images with a 6-pixel frame each way and a largest size of 700:
// landscape L1..L4 = 106, 81, 706, 531; portrait 81, 106, 531, 706.
constexpr PreviewFrameLimits kLandscape{106, 81, 706, 531, 6, 6, 400, 300};
constexpr PreviewFrameLimits kPortrait{81, 106, 531, 706, 6, 6, 300, 400};
// 1000 x 14: L2 = 6 + round(1.4) = 7, and a 7-pixel window leaves a client 71 wide, below L1.
constexpr PreviewFrameLimits kStrip{106, 7, 706, 16, 6, 6, 1000, 14};

TEST(PreviewRulesTest, FrameKeepsTheImageAspect) {
    using E = SizingEdge;
    struct Case {
        const char* what;
        E edge;
        PreviewFrameLimits limits;
        ScreenRect proposed, expected;
    } cases[] = {
        {"right edge below L1 stops at L1", E::right, kLandscape, {100, 100, 150, 400}, {100, 210, 206, 291}},
        {"left edge beyond L3 stops at L3",
         E::left,
         kLandscape,
         {-1000, 100, 500, 400},
         {-206, -15, 500, 516}},
        // client 102 wide: 300 x 102 / 400 = 76.5 rounds to 77
        {"half rounds away from zero", E::right, kLandscape, {0, 0, 108, 100}, {0, 9, 108, 92}},
        {"centre of a negative span shifts down", E::right, kLandscape, {0, -101, 108, 0}, {0, -92, 108, -9}},
        {"top edge beyond L4 stops at L4", E::top, kPortrait, {100, -1000, 400, 400}, {-15, -306, 516, 400}},
        {"bottom edge below L2 stops at L2",
         E::bottom,
         kPortrait,
         {100, 100, 400, 120},
         {210, 100, 291, 206}},
        {"width below L1 is brought to L1", E::bottom, kStrip, {0, 0, 300, 7}, {97, 0, 203, 7}},
        {"corner below L2 takes L1 x L2", E::bottom_right, kLandscape, {10, 20, 30, 40}, {10, 20, 116, 101}},
        {"corner beyond L4 takes L3 x L4",
         E::top_left,
         kLandscape,
         {-900, -900, 800, 700},
         {94, 169, 800, 700}},
        {"corner: the height leads", E::bottom_left, kLandscape, {0, 0, 1000, 306}, {594, 0, 1000, 306}},
        {"corner: opposite corner stays", E::top_right, kPortrait, {50, 100, 60, 506}, {50, 100, 356, 506}},
    };
    for (const Case& c : cases) {
        ScreenRect r = c.proposed;
        size_preview_keeping_aspect(c.edge, c.limits, &r);
        EXPECT_EQ(r.left, c.expected.left) << c.what;
        EXPECT_EQ(r.top, c.expected.top) << c.what;
        EXPECT_EQ(r.right, c.expected.right) << c.what;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.what;
    }
}

TEST(PreviewRulesTest, DraggedSidesKeepTheClientAspectAcrossTheRange) {
    // Every width from L1 to L3 gives a client area whose aspect is the image's to within the
    // rounding of one pixel.
    for (int32_t w = kLandscape.min_width; w <= kLandscape.max_width; ++w) {
        ScreenRect r{0, 0, w, 10};
        size_preview_keeping_aspect(SizingEdge::right, kLandscape, &r);
        const double client_w = r.right - r.left - kLandscape.frame_width;
        const double client_h = r.bottom - r.top - kLandscape.frame_height;
        EXPECT_NEAR(client_h, client_w * 300 / 400, 0.5) << w;
    }
}

}  // namespace
