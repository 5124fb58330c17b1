#include "view/core/view_geometry.h"

#include <gtest/gtest.h>

#include "view/core/view_mapping.h"

namespace {

ViewGeometry view_of(int32_t image_width, int32_t image_height, int32_t zoom, int32_t client_width,
                     int32_t client_height) {
    ViewGeometry view;
    view.image_width = image_width;
    view.image_height = image_height;
    view.zoom = zoom;
    view.client_width = client_width;
    view.client_height = client_height;
    view.centre_x = image_width / 2;
    view.centre_y = image_height / 2;
    update_display_size(view);
    update_view_rects(view);
    return view;
}

// Every rectangle stays inside the image and the client, whatever the sizes.
void expect_sound(const ViewGeometry& view) {
    EXPECT_GE(view.display_width, 1);
    EXPECT_GE(view.display_height, 1);
    EXPECT_GE(view.src_width, 1);
    EXPECT_GE(view.src_height, 1);
    EXPECT_LE(view.src_width, view.image_width < 1 ? 1 : view.image_width);
    EXPECT_LE(view.src_height, view.image_height < 1 ? 1 : view.image_height);
    EXPECT_GE(view.src_x, 0);
    EXPECT_GE(view.src_y, 0);
    EXPECT_LE(static_cast<int64_t>(view.src_x) + view.src_width, view.image_width < 1 ? 1 : view.image_width);
    EXPECT_LE(static_cast<int64_t>(view.src_y) + view.src_height,
              view.image_height < 1 ? 1 : view.image_height);
    EXPECT_GE(view.dest_width, 0);
    EXPECT_GE(view.dest_height, 0);
    EXPECT_GE(view.dest_x, 0);
    EXPECT_GE(view.dest_y, 0);
    EXPECT_LE(static_cast<int64_t>(view.dest_x) + view.dest_width, view.client_width);
    EXPECT_LE(static_cast<int64_t>(view.dest_y) + view.dest_height, view.client_height);
}

TEST(ViewGeometryTest, ZoomCommands) {
    struct Case {
        int32_t zoom, id, expected;
    } cases[] = {
        {2500, kCmdZoomIn, 5000},          {2500, kCmdZoomOut, 1000},
        {500, kCmdZoomIn, 1000},           {999, kCmdZoomIn, 1000},
        {1000, kCmdZoomIn, 2500},          {5001, kCmdZoomIn, 10000},
        {40000, kCmdZoomIn, 100000},       {99999, kCmdZoomIn, 100000},
        {100000, kCmdZoomIn, 100000},      {150000, kCmdZoomIn, 150000},
        {150000, kCmdZoomOut, 100000},     {100000, kCmdZoomOut, 40000},
        {40000, kCmdZoomOut, 20000},       {10001, kCmdZoomOut, 10000},
        {1200, kCmdZoomOut, 1000},         {1000, kCmdZoomOut, 1000},
        {500, kCmdZoomOut, 500},           {99500, kCmdZoomPlus10, 100000},
        {100000, kCmdZoomPlus10, 100000},  {500, kCmdZoomPlus10, 1500},
        {5001, kCmdZoomPlus10, 6001},      {1500, kCmdZoomMinus10, 1000},
        {1200, kCmdZoomMinus10, 1000},     {1000, kCmdZoomMinus10, 1000},
        {500, kCmdZoomMinus10, 500},       {150000, kCmdZoomMinus10, 100000},
        {7777, kCmdZoomActualSize, 10000}, {7777, kCmdZoom1000, 100000},
        {7777, kCmdZoom400, 40000},        {7777, kCmdZoom200, 20000},
        {7777, kCmdZoom50, 5000},          {7777, kCmdZoom25, 2500},
        {7777, kCmdZoom10, 1000},
    };
    for (const Case& c : cases) {
        ViewGeometry view;
        view.image_width = 640;
        view.image_height = 480;
        view.zoom = c.zoom;
        EXPECT_TRUE(apply_zoom_command(view, c.id));
        EXPECT_EQ(view.zoom, c.expected) << c.zoom << " " << c.id;
        EXPECT_EQ(view.display_width, static_cast<int32_t>(int64_t{640} * c.expected / 10000));
    }
    ViewGeometry view;
    view.zoom = 5000;
    EXPECT_FALSE(apply_zoom_command(view, kCmdZoomFit));  // needs a box: the caller's
    EXPECT_FALSE(apply_zoom_command(view, 8110));
    EXPECT_EQ(view.zoom, 5000);
}

TEST(ViewGeometryTest, DisplaySize) {
    struct Case {
        int32_t width, height, zoom, display_width, display_height;
    } cases[] = {
        {640, 480, 5000, 320, 240},
        {25000, 25000, 100000, 250000, 250000},  // 2,500,000,000 before the division
        {1, 1, 1000, 1, 1},                      // never 0
        {1, 1, 100000, 10, 10},
        {100, 100, 0, 1, 1},  // a fresh record
        {0, 0, 10000, 1, 1},  // no image
    };
    for (const Case& c : cases) {
        ViewGeometry view;
        view.image_width = c.width;
        view.image_height = c.height;
        view.zoom = c.zoom;
        update_display_size(view);
        EXPECT_EQ(view.display_width, c.display_width) << c.width << " at " << c.zoom;
        EXPECT_EQ(view.display_height, c.display_height);
    }
}

TEST(ViewGeometryTest, FitZoom) {
    struct Case {
        int32_t image_width, image_height, box_width, box_height, zoom, display_width, display_height;
    } cases[] = {
        {2000, 1000, 1000, 1000, 5001, 1000, 500},
        {640, 480, 1280, 1000, 20001, 1280, 960},
        {1, 1, 1000, 1000, 100000, 10, 10},                      // capped
        {25000, 25000, 1, 1, 1, 2, 2},                           // no lower limit
        {2000, 1000, 0, 1000, 6, 1, 1},                          // a box of 0 counts as 1
        {2000, 1000, -50, -50, 6, 1, 1},                         // and so does a negative one
        {25000, 1, 2000000000, 2000000000, 100000, 250000, 10},  // box x 10000 needs 64 bits
    };
    for (const Case& c : cases) {
        ViewGeometry view;
        view.image_width = c.image_width;
        view.image_height = c.image_height;
        compute_fit_zoom(view, c.box_width, c.image_height, c.image_width, c.box_height);
        EXPECT_EQ(view.zoom, c.zoom) << c.image_width << "x" << c.image_height;
        EXPECT_EQ(view.display_width, c.display_width);
        EXPECT_EQ(view.display_height, c.display_height);
    }
    // Image sizes of 0 (a zoom rectangle on one image row) count as 1 as well.
    ViewGeometry view;
    view.image_width = 100;
    view.image_height = 100;
    compute_fit_zoom(view, 800, 0, 0, 600);
    EXPECT_EQ(view.zoom, 100000);
}

TEST(ViewGeometryTest, ViewZoomForANewImage) {
    struct Case {
        int32_t image_width, image_height;
        bool fit_larger, fit_smaller;
        int32_t zoom, shift;
    } cases[] = {
        {640, 480, true, false, 10000, 0},   // smaller, not enlarged
        {640, 480, false, true, 20001, 0},   // smaller, enlarged
        {4000, 3000, true, false, 3201, 1},  // larger, fitted
        {4000, 3000, false, true, 10000, 1},
        {1280, 500, true, false, 10001, 0},  // as wide as the box: not smaller, fit_larger decides
        {1280, 500, false, true, 10000, 0},
        {1281, 10, false, false, 10000, 1},  // wider than the screen
    };
    for (const Case& c : cases) {
        ViewGeometry view;
        view.image_width = c.image_width;
        view.image_height = c.image_height;
        view.zoom = 10000;
        compute_view_zoom(view, c.fit_larger, c.fit_smaller, 1280, 1000, 1280, 1024);
        EXPECT_EQ(view.zoom, c.zoom) << c.image_width << "x" << c.image_height;
        EXPECT_EQ(view.large_image_shift, c.shift);
        EXPECT_EQ(view.centre_x, c.image_width / 2);
        EXPECT_EQ(view.centre_y, c.image_height / 2);
    }
}

TEST(ViewGeometryTest, ViewRects) {
    const ViewGeometry fits = view_of(640, 480, 10000, 800, 600);
    EXPECT_EQ(fits.dest_x, 80);
    EXPECT_EQ(fits.dest_y, 60);
    EXPECT_EQ(fits.dest_width, 640);
    EXPECT_EQ(fits.dest_height, 480);
    EXPECT_EQ(fits.src_x, 0);
    EXPECT_EQ(fits.src_width, 640);
    EXPECT_EQ(fits.centre_x, 320);

    struct Case {
        int32_t centre_x, src_x, centre_after;
    } cases[] = {{1000, 600, 1000}, {0, 0, 400}, {1990, 1200, 1600}, {-500, 0, 400}};
    for (const Case& c : cases) {
        ViewGeometry view;
        view.image_width = 2000;
        view.image_height = 1000;
        view.zoom = 10000;
        view.client_width = 800;
        view.client_height = 600;
        view.centre_x = c.centre_x;
        view.centre_y = 500;
        update_display_size(view);
        update_view_rects(view);
        EXPECT_EQ(view.dest_x, 0);
        EXPECT_EQ(view.dest_width, 800);
        EXPECT_EQ(view.src_width, 800);
        EXPECT_EQ(view.src_x, c.src_x) << c.centre_x;
        EXPECT_EQ(view.centre_x, c.centre_after);
        EXPECT_EQ(view.src_y, 200);
        EXPECT_EQ(view.src_height, 600);
        expect_sound(view);
    }

    const ViewGeometry huge = view_of(25000, 25000, 100000, 1000, 1000);
    EXPECT_EQ(huge.src_width, 100);
    EXPECT_EQ(huge.src_x, 12450);
    EXPECT_EQ(huge.dest_width, 1000);
    expect_sound(huge);
}

// Clients of 0 to 9 pixels show less than one pixel of a 1 x 1 image at 1000 %.
TEST(ViewGeometryTest, TinyClientsAndImages) {
    for (int32_t client = 0; client <= 11; ++client) {
        for (int32_t side : {1, 25000}) {
            const ViewGeometry view = view_of(side, side, 100000, client, client);
            SCOPED_TRACE(testing::Message() << "client " << client << " image " << side);
            expect_sound(view);
            if (side == 1) {
                EXPECT_EQ(view.src_width, 1);
                EXPECT_EQ(view.dest_width, client < 10 ? client : 10);
                EXPECT_EQ(view.dest_x, client < 10 ? 0 : (client - 10) / 2);
            }
            const int32_t b = window_to_image_bias_x(view);
            for (int32_t x = -2; x <= client + 2; ++x) {
                const int32_t i = window_to_image_x_clamped(view, x, b);
                EXPECT_GE(i, 0);
                EXPECT_LT(i, side);
            }
            const int32_t c = image_to_window_x_clamped(view, side - 1, 1);
            EXPECT_GE(c, view.dest_x);
            EXPECT_LE(c, view.dest_x + (view.dest_width > 0 ? view.dest_width - 1 : 0));
        }
    }
    // Negative client sizes count as 0; a zoom of 0 (a record never zoomed) divides as 1.
    ViewGeometry view = view_of(100, 100, 10000, -40, -1);
    EXPECT_EQ(view.client_width, 0);
    EXPECT_EQ(view.client_height, 0);
    expect_sound(view);
    view.zoom = 0;
    view.display_width = 200;
    view.client_width = 50;
    update_view_rects(view);
    expect_sound(view);
    EXPECT_EQ(view.src_width, 100);
    // No image at all.
    ViewGeometry empty;
    update_view_rects(empty);
    EXPECT_EQ(empty.src_width, 1);
    EXPECT_EQ(empty.dest_width, 0);
}

TEST(ViewGeometryTest, StretchMode) {
    ViewGeometry view;
    view.image_width = 640;
    view.image_height = 480;
    view.zoom = 10000;
    update_display_size(view);
    EXPECT_EQ(view_stretch_mode(view, true), ViewStretchMode::color_on_color);
    EXPECT_EQ(view_stretch_mode(view, false), ViewStretchMode::color_on_color);
    view.zoom = 5000;
    update_display_size(view);
    EXPECT_EQ(view_stretch_mode(view, true), ViewStretchMode::halftone);
    EXPECT_EQ(view_stretch_mode(view, false), ViewStretchMode::color_on_color);
    // A zoom that changes one side only is still a stretch.
    view.image_width = 10000;
    view.image_height = 1;
    view.zoom = 10001;
    update_display_size(view);
    EXPECT_EQ(view.display_height, 1);
    EXPECT_EQ(view_stretch_mode(view, true), ViewStretchMode::halftone);
}

TEST(ViewGeometryTest, ScrollingIsClampedToTheImage) {
    struct Case {
        int32_t dx, dy, src_x, src_y;
    } cases[] = {{0, 0, 600, 200},
                 {10, -10, 610, 190},
                 {100000, 100000, 1200, 400},
                 {-100000, -100000, 0, 0},
                 {INT32_MAX, INT32_MIN, 1200, 0}};
    for (const Case& c : cases) {
        ViewGeometry view = view_of(2000, 1000, 10000, 800, 600);
        scroll_view_source(view, c.dx, c.dy);
        EXPECT_EQ(view.src_x, c.src_x) << c.dx;
        EXPECT_EQ(view.src_y, c.src_y);
        EXPECT_EQ(view.centre_x, c.src_x + 400);
        EXPECT_EQ(view.centre_y, c.src_y + 300);
    }
    // An image smaller than the client cannot move.
    ViewGeometry small = view_of(640, 480, 10000, 800, 600);
    scroll_view_source(small, 50, 50);
    EXPECT_EQ(small.src_x, 0);
    EXPECT_EQ(small.src_y, 0);
    // A source wider than the image (a damaged record) pins the origin at 0.
    small.src_width = 700;
    scroll_view_source(small, 50, 0);
    EXPECT_EQ(small.src_x, 0);
}

TEST(ViewGeometryTest, ScrollByOffsetGivesTheClientDistance) {
    ViewGeometry view = view_of(2000, 1000, 20000, 800, 600);  // src 400 x 300 from (800, 350)
    ASSERT_EQ(view.src_x, 800);
    ViewPoint moved = scroll_view_by_offset(view, -25, 50);
    EXPECT_EQ(view.src_x, 850);
    EXPECT_EQ(view.src_y, 325);
    EXPECT_EQ(moved.x, -100);
    EXPECT_EQ(moved.y, 50);
    moved = scroll_view_by_offset(view, 0, 100000);  // stops at the edge
    EXPECT_EQ(view.src_x, 1600);
    EXPECT_EQ(moved.x, (850 - 1600) * 2);
    EXPECT_EQ(moved.y, 0);
    // 24,900 x 100,000 needs 64 bits.
    ViewGeometry huge = view_of(25000, 25000, 100000, 1000, 1000);
    huge.centre_x = 0;
    update_view_rects(huge);
    moved = scroll_view_by_offset(huge, 0, 24900);
    EXPECT_EQ(huge.src_x, 24900);
    EXPECT_EQ(moved.x, -249000);
}

TEST(ViewGeometryTest, PanStep) {
    ViewGeometry view;
    EXPECT_EQ(pan_step_pixels(view), 16);
    view.large_image_shift = 1;
    EXPECT_EQ(pan_step_pixels(view), 32);
}

// The states of one axis in the order the tables list them, as (image - source, origin).
struct AxisState {
    int32_t max, origin;
};

TEST(ViewGeometryTest, ImageWindowPanCursors) {
    // Rows horizontal, columns vertical: cannot pan, at left/top, at right/bottom, between.
    const AxisState states[4] = {{0, 0}, {100, 0}, {100, 100}, {100, 50}};
    const int32_t expected[4][4] = {
        {120, 120, 121, 124}, {123, 126, 128, 131}, {122, 125, 127, 130}, {129, 132, 133, 134}};
    for (int h = 0; h < 4; ++h) {
        for (int v = 0; v < 4; ++v) {
            EXPECT_EQ(
                image_window_pan_cursor(states[v].max, states[h].max, states[v].origin, states[h].origin),
                expected[h][v])
                << h << "," << v;
            ViewGeometry view;
            view.image_width = 200;
            view.src_width = 200 - states[h].max;
            view.src_x = states[h].origin;
            view.image_height = 200;
            view.src_height = 200 - states[v].max;
            view.src_y = states[v].origin;
            EXPECT_EQ(image_window_pan_cursor(view), expected[h][v]);
        }
    }
}

TEST(ViewGeometryTest, ViewerPanCursors) {
    // Rows horizontal: whole width, at left, between, at right; columns vertical: whole height,
    // at top, between, at bottom.
    const AxisState states[4] = {{0, 0}, {100, 0}, {100, 50}, {100, 100}};
    const int32_t expected[4][4] = {
        {0, 110, 114, 111}, {113, 116, 121, 118}, {119, 122, 124, 123}, {112, 115, 120, 117}};
    for (int h = 0; h < 4; ++h) {
        for (int v = 0; v < 4; ++v) {
            ViewGeometry view;
            view.image_width = 200;
            view.src_width = 200 - states[h].max;
            view.src_x = states[h].origin;
            view.image_height = 200;
            view.src_height = 200 - states[v].max;
            view.src_y = states[v].origin;
            EXPECT_EQ(viewer_pan_cursor(view), expected[h][v]) << h << "," << v;
        }
    }
}

// A 200 x 150 image at 200 % centred in an 600 x 400 client: shown at (100, 50) 400 x 300.
ViewGeometry zoom_rect_view() {
    ViewGeometry view = view_of(200, 150, 20000, 600, 400);
    EXPECT_EQ(view.dest_x, 100);
    EXPECT_EQ(view.dest_y, 50);
    return view;
}

TEST(ViewGeometryTest, ZoomRectangleDrag) {
    ViewGeometry view = zoom_rect_view();
    ASSERT_TRUE(begin_zoom_rect_drag(view, {150, 100}));
    ZoomRectTrack track = track_zoom_rect_drag(view, {1000, 1000});
    EXPECT_TRUE(track.redraw);
    EXPECT_EQ(track.erase.left, 150);
    EXPECT_EQ(track.erase.right, 150);
    EXPECT_EQ(track.draw.right, 499);  // held on the last displayed pixel
    EXPECT_EQ(track.draw.bottom, 349);
    track = track_zoom_rect_drag(view, {300, 200});
    EXPECT_EQ(track.erase.right, 499);
    EXPECT_EQ(track.draw.right, 300);
    track = track_zoom_rect_drag(view, {499, 349});
    const ZoomRectEnd end = end_zoom_rect_drag(view, 800, 600);
    EXPECT_TRUE(end.was_active);
    EXPECT_TRUE(end.zoomed);
    EXPECT_FALSE(view.zoom_drag_active);
    EXPECT_EQ(end.erase.left, 150);
    EXPECT_EQ(end.erase.bottom, 349);
    // Corners map to image (25, 25) and (199, 149): 174 x 124 fitted into 800 x 600.
    EXPECT_EQ(view.zoom, 800 * 10000 / 174 + 1);
    EXPECT_EQ(view.centre_x, 112);
    EXPECT_EQ(view.centre_y, 87);
    EXPECT_EQ(view.display_width, 200 * view.zoom / 10000);
}

TEST(ViewGeometryTest, SmallOrInactiveZoomRectanglesDoNothing) {
    struct Case {
        ViewPoint from, to;
        bool zoomed;
    } cases[] = {
        {{150, 60}, {158, 260}, false},  // 8 x 200
        {{150, 60}, {350, 68}, false},   // 200 x 8
        {{150, 60}, {159, 69}, true},    // 9 x 9
        {{450, 300}, {441, 291}, true},  // drawn up and to the left
    };
    for (const Case& c : cases) {
        ViewGeometry view = zoom_rect_view();
        ASSERT_TRUE(begin_zoom_rect_drag(view, c.from));
        track_zoom_rect_drag(view, c.to);
        const ZoomRectEnd end = end_zoom_rect_drag(view, 800, 600);
        EXPECT_TRUE(end.was_active);
        EXPECT_EQ(end.zoomed, c.zoomed) << c.to.x << "," << c.to.y;
        if (!c.zoomed) {
            EXPECT_EQ(view.zoom, 20000);
        }
    }
    // Pressed outside the image: nothing starts, and corners left over from an earlier drag
    // never zoom.
    ViewGeometry view = zoom_rect_view();
    EXPECT_FALSE(begin_zoom_rect_drag(view, {50, 100}));
    EXPECT_FALSE(track_zoom_rect_drag(view, {300, 300}).redraw);
    view.hover_point = {110, 60};
    view.drag_end = {400, 300};
    const ZoomRectEnd end = end_zoom_rect_drag(view, 800, 600);
    EXPECT_FALSE(end.was_active);
    EXPECT_FALSE(end.zoomed);
    EXPECT_EQ(view.zoom, 20000);
    // The last pixel of the image is inside, one past it is not.
    EXPECT_TRUE(begin_zoom_rect_drag(view, {499, 349}));
    EXPECT_FALSE(begin_zoom_rect_drag(view, {500, 349}));
    EXPECT_FALSE(begin_zoom_rect_drag(view, {100, 49}));
}

TEST(ViewGeometryTest, RightDragPansOnlyAnImageLargerThanTheClient) {
    // The whole image is visible: refused after 3 pixels, never a navigator.
    ViewGeometry fits = view_of(640, 480, 10000, 800, 600);
    begin_right_drag(fits, {100, 100});
    RightDragStep step = track_right_drag(fits, {101, 101}, true);
    EXPECT_EQ(fits.drag_mode, kDragPressed);
    step = track_right_drag(fits, {102, 101}, true);
    EXPECT_EQ(fits.drag_mode, kDragRefused);
    EXPECT_FALSE(step.show_navigator);
    step = track_right_drag(fits, {150, 150}, true);
    EXPECT_EQ(step.dx, 0);
    EXPECT_EQ(end_right_drag(fits), kDragRefused);
    EXPECT_EQ(fits.drag_mode, kDragNone);

    // No image: refused as well.
    ViewGeometry none = view_of(2000, 2000, 10000, 800, 600);
    begin_right_drag(none, {0, 0});
    track_right_drag(none, {5, 0}, false);
    EXPECT_EQ(none.drag_mode, kDragRefused);

    // A client of 300 x 300 pans without the navigator; 305 x 305 shows it.
    for (int32_t client : {300, 304, 305}) {
        ViewGeometry view = view_of(2000, 2000, 10000, client, client);
        begin_right_drag(view, {100, 100});
        step = track_right_drag(view, {100, 97}, true);
        EXPECT_EQ(view.drag_mode, kDragPanning);
        EXPECT_EQ(step.show_navigator, client > 304) << client;
        EXPECT_EQ(step.dx, 0);
        EXPECT_EQ(step.dy, 0);
        step = track_right_drag(view, {90, 95}, true);
        EXPECT_EQ(step.dx, 10);  // previous - new: the image follows the pointer
        EXPECT_EQ(step.dy, 2);
        view.large_image_shift = 1;
        step = track_right_drag(view, {95, 100}, true);
        EXPECT_EQ(step.dx, -10);
        EXPECT_EQ(step.dy, -10);
        if (client > 304) {
            EXPECT_EQ(view.navigator_height, 150);
        }
    }
}

TEST(ViewGeometryTest, SlowRightDragStillStartsPanning) {
    ViewGeometry view = view_of(2000, 2000, 10000, 800, 600);
    begin_right_drag(view, {100, 100});
    track_right_drag(view, {101, 100}, true);
    track_right_drag(view, {102, 100}, true);
    EXPECT_EQ(view.drag_mode, kDragPressed);
    track_right_drag(view, {103, 100}, true);
    EXPECT_EQ(view.drag_mode, kDragPanning);
}

TEST(ViewGeometryTest, NavigatorLayout) {
    struct Case {
        int32_t width, height, scale, nav_width, nav_height;
    } cases[] = {
        {100, 400, 3750, 37, 150}, {400, 100, 3750, 150, 37},    {2000, 1000, 750, 150, 75},
        {1, 1, 1500000, 150, 150}, {25000, 25000, 60, 150, 150}, {25000, 1, 60, 150, 1},  // never 0 high
        {1, 25000, 60, 1, 150},    {0, 0, 1500000, 150, 150},  // no image: no division
    };
    for (const Case& c : cases) {
        ViewGeometry view = view_of(c.width, c.height, 10000, 800, 600);
        layout_navigator(view);
        EXPECT_EQ(view.navigator_scale, c.scale) << c.width << "x" << c.height;
        EXPECT_EQ(view.navigator_width, c.nav_width);
        EXPECT_EQ(view.navigator_height, c.nav_height);
    }
}

TEST(ViewGeometryTest, NavigatorFrameFollowsTheSource) {
    ViewGeometry view = view_of(2000, 1000, 10000, 800, 600);  // src (600, 200) 800 x 600
    layout_navigator(view);
    EXPECT_EQ(view.navigator_frame.left, 45);
    EXPECT_EQ(view.navigator_frame.top, 15);
    EXPECT_EQ(view.navigator_frame.right, 105);
    EXPECT_EQ(view.navigator_frame.bottom, 60);
    // At the far edges the frame's far side is the navigator's last pixel.
    view.drag_mode = kDragPanning;
    scroll_view_source(view, 100000, 100000);
    EXPECT_EQ(view.navigator_frame.left, 150 - 60 - 1);
    EXPECT_EQ(view.navigator_frame.right, 149);
    EXPECT_EQ(view.navigator_frame.top, 75 - 45 - 1);
    EXPECT_EQ(view.navigator_frame.bottom, 74);
    // Not panning: the frame is left alone.
    const ViewFrame before = view.navigator_frame;
    view.drag_mode = kDragNone;
    scroll_view_source(view, -100000, 0);
    EXPECT_EQ(view.navigator_frame.left, before.left);
}

TEST(ViewGeometryTest, NavigatorWindowPlace) {
    ViewGeometry view = view_of(100, 400, 10000, 800, 600);
    layout_navigator(view);  // 37 x 150, window 41 x 154
    struct Case {
        ViewFrame window;
        ViewFrame expected;
    } cases[] = {
        {{100, 100, 900, 700}, {900, 100, 941, 254}},
        {{100, 100, 1270, 700}, {1280 - 41, 100, 1280, 254}},  // kept inside the work area
        {{100, -20, 900, 700}, {900, 0, 941, 154}},            // not above 0
    };
    for (const Case& c : cases) {
        const ViewFrame got = navigator_window_rect(view, c.window, ViewFrame{0, 0, 1280, 994});
        EXPECT_EQ(got.left, c.expected.left);
        EXPECT_EQ(got.top, c.expected.top);
        EXPECT_EQ(got.right, c.expected.right);
        EXPECT_EQ(got.bottom, c.expected.bottom);
    }
}

uint32_t wheel_param(uint16_t keys, int16_t delta) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(delta)) << 16) | keys;
}

TEST(ViewGeometryTest, WheelCommands) {
    constexpr uint16_t kShiftCtrl = 0x000C;
    struct Case {
        int32_t mode;
        bool reversed, refused;
        uint16_t keys;
        int16_t delta;
        int32_t expected;
    } cases[] = {
        {0, false, false, 0, -120, kCmdZoomPlus10},  // towards the user
        {0, false, false, 0, 120, kCmdZoomMinus10},
        {0, true, false, 0, -120, kCmdZoomMinus10},
        {0, true, false, 0, 120, kCmdZoomPlus10},
        {0, false, false, kMkControl, -120, kCmdNextFile},
        {0, false, false, kMkControl, 120, kCmdPreviousFile},
        {0, false, false, kShiftCtrl, -120, kCmdZoomPlus10},  // Ctrl must be the only key
        {0, false, true, kMkControl, -120, 0},                // the edit window with a tool open
        {0, false, true, 0, -120, kCmdZoomPlus10},
        {1, false, false, 0, -120, kCmdNextFile},
        {1, false, false, 0, 240, kCmdPreviousFile},
        {1, false, false, kMkControl, -120, kCmdZoomPlus10},
        {1, true, false, kMkControl, -120, kCmdZoomMinus10},
        {1, false, true, 0, -120, 0},
        {0, false, false, 0, 0, 0},
    };
    ViewGeometry view;
    for (const Case& c : cases) {
        WheelRules rules;
        rules.has_image = true;
        rules.wheel_mode = c.mode;
        rules.wheel_reversed = c.reversed;
        rules.file_switch_refused = c.refused;
        EXPECT_EQ(wheel_command(view, wheel_param(c.keys, c.delta), rules), c.expected)
            << c.mode << " " << c.keys << " " << c.delta;
    }
    WheelRules rules;
    EXPECT_EQ(wheel_command(view, wheel_param(0, -120), rules), 0);  // no image
    rules.has_image = true;
    view.drag_mode = kDragRefused;
    EXPECT_EQ(wheel_command(view, wheel_param(0, -120), rules), 0);  // a right drag
}

TEST(ViewGeometryTest, MiddleClick) {
    ViewGeometry view = zoom_rect_view();
    EXPECT_EQ(middle_click_command(view, {150, 100}, false), 0);
    view.drag_mode = kDragPressed;
    EXPECT_EQ(middle_click_command(view, {150, 100}, true), 0);
    view.drag_mode = kDragNone;
    EXPECT_EQ(middle_click_command(view, {150, 100}, true), kCmdZoomActualSize);
    EXPECT_EQ(view.centre_x, 25);
    EXPECT_EQ(view.centre_y, 25);
    EXPECT_EQ(view.zoom, 20000);  // the command itself zooms
    // Outside the image: the nearest image pixel.
    EXPECT_EQ(middle_click_command(view, {0, 399}, true), kCmdZoomActualSize);
    EXPECT_EQ(view.centre_x, 0);
    EXPECT_EQ(view.centre_y, 149);
    ViewGeometry actual = view_of(200, 150, 10000, 600, 400);
    EXPECT_EQ(middle_click_command(actual, {150, 100}, true), kCmdZoomFit);
    EXPECT_EQ(actual.centre_x, 100);
}

}  // namespace
