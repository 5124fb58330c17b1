#include "view/core/view_mapping.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A view 200 pixels wide at client x 10 showing image pixels 0..99 of a 100 x 50 image.
ViewGeometry twice_size_view() {
    ViewGeometry view;
    view.image_width = 100;
    view.image_height = 50;
    view.dest_x = 10;
    view.dest_width = 200;
    view.src_x = 0;
    view.src_width = 100;
    view.dest_y = 20;
    view.dest_height = 100;
    view.src_y = 0;
    view.src_height = 50;
    return view;
}

TEST(ViewMappingTest, RoundsHalfAwayFromZeroAndSaturates) {
    struct Case {
        double v;
        int32_t expected;
    } cases[] = {
        {0.0, 0},
        {0.49, 0},
        {0.5, 1},
        {-0.25, 0},
        {-0.5, -1},
        {-0.75, -1},
        {1.5, 2},
        {-2.5, -3},
        {99.25, 99},
        {1e12, INT32_MAX},
        {-1e12, INT32_MIN},
        {2147483647.4, INT32_MAX},
        {-2147483648.4, INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(round_half_away(c.v), c.expected) << c.v;
}

TEST(ViewMappingTest, ClientToImageExamples) {
    const ViewGeometry view = twice_size_view();
    const int32_t b = window_to_image_bias_x(view);
    EXPECT_EQ(b, 50);
    EXPECT_EQ(window_to_image_x_clamped(view, 10, b), 0);    // round(-0.25)
    EXPECT_EQ(window_to_image_x_clamped(view, 209, b), 99);  // round(99.25)
    // -0.5 rounds to -1: the clamped form stops at 0, the unclamped one does not.
    EXPECT_EQ(window_to_image_x(view, 10, 100), -1);
    EXPECT_EQ(window_to_image_x_clamped(view, 10, 100), 0);
    ViewGeometry shifted = view;
    shifted.src_x = 7;
    EXPECT_EQ(window_to_image_x(shifted, 10, 100), 6);
    // Far beyond the right edge: the last column.
    EXPECT_EQ(window_to_image_x(view, 1000, b), 495);
    EXPECT_EQ(window_to_image_x_clamped(view, 1000, b), 99);
    // The bias is an arithmetic shift: an odd negative difference rounds down.
    ViewGeometry zoomed_out = view;
    zoomed_out.dest_width = 99;
    zoomed_out.src_width = 200;
    EXPECT_EQ(window_to_image_bias_x(zoomed_out), -51);
}

TEST(ViewMappingTest, ImageToClientExamples) {
    const ViewGeometry view = twice_size_view();
    EXPECT_EQ(image_to_window_x(view, 99, 1), 209);
    EXPECT_EQ(image_to_window_x(view, 0, 0), 10);
    EXPECT_EQ(image_to_window_x_clamped(view, 100, 1), 209);
    EXPECT_EQ(image_to_window_x_clamped(view, 100, 0), 209);
    EXPECT_EQ(image_to_window_x_clamped(view, -5, 0), 10);
    EXPECT_EQ(image_to_window_x(view, -5, 0), 0);
    EXPECT_EQ(image_to_window_y(view, 49, 1), 119);
    EXPECT_EQ(image_to_window_y_clamped(view, 50, 0), 119);
}

// The C library's round() is the reference for the rounding of every mapped coordinate.
TEST(ViewMappingTest, AgreesWithTheLibraryRoundOverASweep) {
    struct Shape {
        int32_t dest_x, dest_width, src_x, src_width, image;
    } shapes[] = {{10, 200, 0, 100, 100}, {0, 33, 5, 100, 200}, {-7, 1000, 123, 7, 400}, {3, 9, 40, 1, 41}};
    for (const Shape& s : shapes) {
        ViewGeometry view;
        view.dest_x = s.dest_x;
        view.dest_width = s.dest_width;
        view.src_x = s.src_x;
        view.src_width = s.src_width;
        view.image_width = s.image;
        for (int32_t b : {0, 1, 50, -51}) {
            for (int32_t x = s.dest_x - 20; x < s.dest_x + s.dest_width + 20; ++x) {
                const double v = (static_cast<double>(x - s.dest_x) * s.src_width - b) / s.dest_width;
                EXPECT_EQ(window_to_image_x(view, x, b), static_cast<int32_t>(std::round(v)) + s.src_x)
                    << x << " " << b;
            }
            for (int32_t i = s.src_x - 5; i < s.src_x + s.src_width + 5; ++i) {
                const double v = static_cast<double>(i + b - s.src_x) * s.dest_width / s.src_width;
                EXPECT_EQ(image_to_window_x(view, i, b), static_cast<int32_t>(std::round(v)) + s.dest_x - b)
                    << i << " " << b;
            }
        }
    }
}

// 25,000 pixels at 1000 % shown whole: 24,999 x 250,000 does not fit in 32 bits.
TEST(ViewMappingTest, LargestImageAtLargestZoom) {
    ViewGeometry view;
    view.image_width = 25000;
    view.dest_x = 0;
    view.dest_width = 250000;
    view.src_x = 0;
    view.src_width = 25000;
    EXPECT_EQ(image_to_window_x(view, 24999, 0), 249990);
    EXPECT_EQ(image_to_window_x(view, 24999, 1), 249999);
    EXPECT_EQ(image_to_window_x_clamped(view, 25000, 1), 249999);
    EXPECT_EQ(window_to_image_x(view, 249999, 0), 25000);  // round(24999.9)
    EXPECT_EQ(window_to_image_x_clamped(view, 249999, 0), 24999);
    EXPECT_EQ(window_to_image_x_clamped(view, 249995, window_to_image_bias_x(view)), 24999);
    // Unclamped results beyond 32 bits saturate.
    view.src_width = 1;
    EXPECT_EQ(image_to_window_x(view, INT32_MAX, 0), INT32_MAX);
    EXPECT_EQ(image_to_window_x(view, INT32_MIN, 0), INT32_MIN);
}

TEST(ViewMappingTest, EmptyRectanglesNeverDivideByZero) {
    ViewGeometry view;  // all zero: no image, no client
    EXPECT_EQ(window_to_image_x(view, 5, 0), 0);
    EXPECT_EQ(window_to_image_x_clamped(view, 5, 0), 0);
    EXPECT_EQ(image_to_window_x(view, 5, 0), 0);
    EXPECT_EQ(image_to_window_x_clamped(view, 5, 0), 0);
    view.dest_x = 10;
    view.image_width = 1;
    view.src_width = 1;
    // A client of 0 pixels: everything lands on the rectangle's origin, never left of it.
    EXPECT_EQ(image_to_window_x_clamped(view, 0, 1), 10);
    EXPECT_EQ(image_to_window_x_clamped(view, 3, 0), 10);
    EXPECT_EQ(window_to_image_x_clamped(view, 12, 0), 0);
}

TEST(ViewMappingTest, ClampPointToView) {
    const ViewGeometry view = twice_size_view();  // x 10..209, y 20..119
    struct Case {
        int32_t x, y, out_x, out_y;
        bool moved;
    } cases[] = {
        {100, 50, 100, 50, false},    {10, 20, 10, 20, false},  {209, 119, 209, 119, false},
        {9, 50, 10, 50, true},        {210, 50, 209, 50, true}, {100, 120, 100, 119, true},
        {-5000, 5000, 10, 119, true},
    };
    for (const Case& c : cases) {
        int32_t x = c.x, y = c.y;
        EXPECT_EQ(clamp_point_to_view(view, x, y), c.moved) << c.x << "," << c.y;
        EXPECT_EQ(x, c.out_x);
        EXPECT_EQ(y, c.out_y);
    }
    ViewGeometry empty = view;
    empty.dest_width = 0;
    int32_t x = 15, y = 30;
    EXPECT_TRUE(clamp_point_to_view(empty, x, y));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 30);
}

}  // namespace
