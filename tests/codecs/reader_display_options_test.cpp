#include "loading/reader_display_options.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// The settings' values as the PNG and GIF readers must receive them.
TEST(ReaderDisplayOptions, PngAndGifReadersTakeTheSameSettings) {
    struct Case {
        const char* what;
        ReaderDisplayOptions settings;
        uint32_t display_gamma;
    } const cases[] = {
        {"defaults", {1, 2200, 1, 1, 0xFFFFFF}, 2200},
        {"gamma under 1.0 stays", {1, 500, 1, 1, 0xFFFFFF}, 500},
        {"the smallest gamma", {1, 1, 0, 0, 0x123456}, 1},
        {"gamma 0 is raised to 1", {1, 0, 1, 0, 0x0000FF}, 1},
        {"a negative gamma is raised to 1", {1, -40, 1, 1, 0}, 1},
        {"gamma correction off", {0, 1800, 2, 3, 0xABCDEF}, 0},
    };
    static const uint8_t blend[1] = {};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReaderDisplayOptions& s = c.settings;
        const uint8_t red = static_cast<uint8_t>(s.background_colour);
        const uint8_t green = static_cast<uint8_t>(s.background_colour >> 8);
        const uint8_t blue = static_cast<uint8_t>(s.background_colour >> 16);
        EXPECT_EQ(reader_display_gamma(s), c.display_gamma);

        auto png_context = std::make_unique<PngContext>();
        PngContext& png = *png_context;
        set_png_display_options(&png, s, blend);
        EXPECT_EQ(png.options.display_gamma, c.display_gamma);
        EXPECT_EQ(png.options.transparency, s.apply_transparency ? 1 : 0);
        EXPECT_EQ(png.options.ignore_bkgd, s.use_file_background ? 0 : 1);
        EXPECT_EQ(png.options.configured_red, red);
        EXPECT_EQ(png.options.configured_green, green);
        EXPECT_EQ(png.options.configured_blue, blue);
        EXPECT_EQ(png.options.blend_table, blend);

        auto gif_context = std::make_unique<GifContext>();
        GifContext& gif = *gif_context;
        gif.options.animation_wanted = 1;
        set_gif_display_options(&gif, s);
        EXPECT_EQ(gif.options.replace_transparent_colour, s.apply_transparency ? 1 : 0);
        EXPECT_EQ(gif.options.use_configured_colour, s.use_file_background ? 0 : 1);
        EXPECT_EQ(gif.options.configured_colour[0], red);
        EXPECT_EQ(gif.options.configured_colour[1], green);
        EXPECT_EQ(gif.options.configured_colour[2], blue);
        EXPECT_EQ(gif.options.animation_wanted, 1);  // the caller's own choice
    }
}

}  // namespace
