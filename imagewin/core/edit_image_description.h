// What describes the image of the one image window, apart from its bitmap: the portable part
// of the image windows' state, which the info text, the commands and the save paths read.
#pragma once

#include <cstdint>

#include "common/win_types.h"

// Paths and names are buffers of 260 characters, the terminator included.
constexpr int32_t kEditPathChars = 260;

struct EditImageDescription {
    RgbQuad palette[256] = {};  // meaningful for 8-bit images
    int32_t width = 0;
    int32_t height = 0;
    // FileTypeCode of the file the image came from; BMP while a later history step is shown.
    int32_t source_format = 0;
    int32_t bit_count = 0;  // 8 or 24: the readers deliver nothing else
    int32_t source_bits = 0;
    int32_t file_size = 0;
    FileTime file_time = {};
    char16_t folder[kEditPathChars] = {};
    char16_t path[kEditPathChars] = {};  // empty for an image pasted from the clipboard
    char16_t file_name[kEditPathChars] = {};
    int32_t x_resolution = 0;  // pixels per metre, never negative
    int32_t y_resolution = 0;
    // PNG interlaced, JPEG progressive; always 0 for GIF (the reader clears its flag again).
    uint8_t flag_interlaced = 0;
    uint8_t flag_alpha_or_transparent = 0;
    // PNG: valid text chunks; JPEG: 1 with an APP1 (Exif) segment.
    int32_t flag_metadata = 0;
    // JPEG: comment segments; GIF: a comment extension; TIFF: a description; PNG: "Comment" chunks.
    int32_t flag_comment = 0;
};

// The four format flags, kept across a load so that a failed one gives them back.
struct EditFormatFlags {
    uint8_t interlaced = 0;
    uint8_t alpha_or_transparent = 0;
    int32_t metadata = 0;
    int32_t comment = 0;
};

inline EditFormatFlags take_format_flags(EditImageDescription& image) {
    const EditFormatFlags kept{image.flag_interlaced, image.flag_alpha_or_transparent, image.flag_metadata,
                               image.flag_comment};
    image.flag_interlaced = 0;
    image.flag_alpha_or_transparent = 0;
    image.flag_metadata = 0;
    image.flag_comment = 0;
    return kept;
}

inline void restore_format_flags(EditImageDescription& image, const EditFormatFlags& kept) {
    image.flag_interlaced = kept.interlaced;
    image.flag_alpha_or_transparent = kept.alpha_or_transparent;
    image.flag_metadata = kept.metadata;
    image.flag_comment = kept.comment;
}
