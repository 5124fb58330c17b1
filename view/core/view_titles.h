// The image windows' info text and window titles: pure formatting of the image description
// and the zoom, numbers in decimal.
#pragma once

#include <cstdint>
#include <string>

struct ImageInfoFields {
    std::u16string file_name;
    bool modified = false;      // edit window: the history step differs from the saved one
    int32_t source_format = 0;  // FileTypeCode
    bool flag_interlaced = false;
    bool flag_alpha_or_transparent = false;
    int32_t flag_metadata = 0;
    int32_t flag_comment = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t source_bits = 0;
    int32_t file_size = 0;
};

// "name*  ( PE  640x480  24bit  120.5KB )": feature letters by format, then size, depth and
// the file size in KB with one truncated decimal.
std::u16string build_image_info_text(const ImageInfoFields& info);

// The single view: the info text, "  ", zoom / 100 and "%".
std::u16string single_view_title(const std::u16string& info_text, int32_t zoom);

// The edit window: the info text and "  ", then, with no tool open and the save preview shown,
// " .... " and the preview's file size in KB.
std::u16string edit_window_title(const std::u16string& info_text, bool tool_open, bool save_preview_shown,
                                 int32_t save_preview_file_size);
