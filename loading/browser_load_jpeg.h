// JPEG helpers of the browser loader: the frame facts of a file and the size a transform gives.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/jpeg/jpeg.h"

// Reads the frame header of a JPEG file from its first 1 MiB; false when it is not a readable JPEG.
bool read_jpeg_header_facts(const std::u16string& path, JpegHeaderFacts* facts);

// The size a lossless transform of `kind` with trimming gives for a source of these facts.
void jpeg_trimmed_transform_size(const JpegHeaderFacts& source, int32_t kind, int32_t* width,
                                 int32_t* height);
