#include "loading/reader_display_options.h"

uint32_t reader_display_gamma(const ReaderDisplayOptions& options) {
    if (!options.gamma_enabled) return 0;
    return options.display_gamma_x1000 < 1 ? 1u : static_cast<uint32_t>(options.display_gamma_x1000);
}

void set_png_display_options(PngContext* context, const ReaderDisplayOptions& options,
                             const uint8_t* blend_table) {
    PngContext::Options& o = context->options;
    o.blend_table = blend_table;
    o.transparency = options.apply_transparency ? 1 : 0;
    o.ignore_bkgd = options.use_file_background ? 0 : 1;
    o.configured_red = static_cast<uint8_t>(options.background_colour);
    o.configured_green = static_cast<uint8_t>(options.background_colour >> 8);
    o.configured_blue = static_cast<uint8_t>(options.background_colour >> 16);
    o.display_gamma = reader_display_gamma(options);
}

void set_gif_display_options(GifContext* context, const ReaderDisplayOptions& options) {
    GifContext::Options& o = context->options;
    o.replace_transparent_colour = options.apply_transparency ? 1 : 0;
    o.use_configured_colour = options.use_file_background ? 0 : 1;
    o.configured_colour[0] = static_cast<uint8_t>(options.background_colour);
    o.configured_colour[1] = static_cast<uint8_t>(options.background_colour >> 8);
    o.configured_colour[2] = static_cast<uint8_t>(options.background_colour >> 16);
}
