// The Exif shooting data of a JPEG file, read from its APP1 segment on the raw bytes.
#pragma once

#include <cstdint>

#include "codecs/jpeg/jpeg.h"

// Zeroed by the caller before a read; fields whose tag is absent stay zero.
struct ExifSummary {
    char maker[64];  // zero-terminated unless the text fills all 64 bytes
    char model[64];
    uint32_t exposure_numerator;
    uint32_t exposure_denominator;
    uint32_t f_number_numerator;
    uint32_t f_number_denominator;
    uint16_t exposure_program;
    uint16_t iso_speed;           // the first value only
    char date_time_original[20];  // "YYYY:MM:DD HH:MM:SS" and its zero
    int32_t exposure_bias_numerator;
    int32_t exposure_bias_denominator;
    uint32_t max_aperture_numerator;  // the APEX value as stored
    uint32_t max_aperture_denominator;
    uint16_t metering_mode;
    uint16_t flash;
    uint32_t focal_length_numerator;
    uint32_t focal_length_denominator;
};

// Reads the Exif block of the file mapped in the context (cursor at its start). True when the
// Exif IFD gave at least one value. False without an error when no Exif APP1 comes before the
// first scan; error 4 for a marker walk that runs out of data, a bad segment length, or an
// Exif block without an Exif IFD pointer.
[[nodiscard]] bool jpeg_read_exif(JpegReaderContext* context, ExifSummary* summary);
// The same over the file at `path`, mapped for the length of the read; error 4 when it cannot be.
[[nodiscard]] bool jpeg_read_exif_file(const std::u16string& path, JpegReaderContext* context,
                                       ExifSummary* summary);

// Read at the cursor in the block's byte order and advance; with fewer bytes left they return
// 0 and do not move.
uint16_t exif_read_u16(JpegReaderContext* context);
uint32_t exif_read_u32(JpegReaderContext* context);

// Offsets are counted from the TIFF header at `tiff_header` (an offset into the mapped data).
// IFD0 gives Make and Model and returns the Exif IFD's offset, or 0.
uint32_t exif_read_ifd0(JpegReaderContext* context, ExifSummary* summary, uint32_t tiff_header);
bool exif_read_exif_ifd(JpegReaderContext* context, ExifSummary* summary, uint32_t tiff_header);

// ShutterSpeedValue (APEX, n/d) as an exposure time. Times shorter than a second are 1/x with
// x the integer part of 2^(n/d); a second or longer is whole seconds over 1. False for d = 0.
bool exif_exposure_from_shutter_speed(int32_t numerator, int32_t denominator, uint32_t* exposure_numerator,
                                      uint32_t* exposure_denominator);
