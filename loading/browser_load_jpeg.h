// JPEG helpers of the browser loader that talk to libjpeg directly.
#pragma once

#include <cstdint>
#include <string>

struct JpegHeaderFacts {
    int32_t width = 0;
    int32_t height = 0;
    int32_t imcu_width = 8;  // max_h_samp x 8
    int32_t imcu_height = 8;
};

// Reads the frame header of a JPEG file; false when it is not a readable JPEG.
bool read_jpeg_header_facts(const std::u16string& path, JpegHeaderFacts* facts);

// The size a lossless transform of `kind` with trimming gives for a source of these facts.
void jpeg_trimmed_transform_size(const JpegHeaderFacts& source, int32_t kind, int32_t* width,
                                 int32_t* height);
