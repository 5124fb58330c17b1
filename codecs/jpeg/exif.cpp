#include "codecs/jpeg/exif.h"

#include <cmath>
#include <cstring>

#include "codecs/jpeg/jpeg_markers.h"

namespace {

constexpr uint16_t kTagMake = 0x010F;
constexpr uint16_t kTagModel = 0x0110;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagExposureTime = 0x829A;
constexpr uint16_t kTagFNumber = 0x829D;
constexpr uint16_t kTagExposureProgram = 0x8822;
constexpr uint16_t kTagIsoSpeed = 0x8827;
constexpr uint16_t kTagDateTimeOriginal = 0x9003;
constexpr uint16_t kTagShutterSpeed = 0x9201;
constexpr uint16_t kTagAperture = 0x9202;
constexpr uint16_t kTagExposureBias = 0x9204;
constexpr uint16_t kTagMaxAperture = 0x9205;
constexpr uint16_t kTagMeteringMode = 0x9207;
constexpr uint16_t kTagFlash = 0x9209;
constexpr uint16_t kTagFocalLength = 0x920A;

constexpr uint16_t kLittleEndian = 0x4949;  // "II"

bool little_endian(const JpegReaderContext* context) {
    return context->state.exif_byte_order == kLittleEndian;
}

// Reads at an absolute offset of the mapped data without moving the cursor; 0 beyond the data.
uint32_t value_at(const JpegReaderContext* context, uint64_t offset, int bytes) {
    const ByteCursor& c = context->input;
    if (offset > c.size() || c.size() - offset < static_cast<uint64_t>(bytes)) return 0;
    const uint8_t* p = c.begin() + offset;
    uint32_t v = 0;
    if (little_endian(context)) {
        for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    } else {
        for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    }
    return v;
}

struct Rational {
    uint32_t numerator;
    uint32_t denominator;
};

Rational rational_at(const JpegReaderContext* context, uint64_t offset) {
    return Rational{value_at(context, offset, 4), value_at(context, offset + 4, 4)};
}

bool bytes_within(const JpegReaderContext* context, uint64_t offset, uint64_t count) {
    const size_t size = context->input.size();
    return offset <= size && size - offset >= count;
}

uint32_t clamp_to_u32(double value) {
    if (!(value >= 0)) return 0;
    if (value >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(value);
}

}  // namespace

bool exif_exposure_from_shutter_speed(int32_t numerator, int32_t denominator, uint32_t* exposure_numerator,
                                      uint32_t* exposure_denominator) {
    if (denominator == 0) return false;
    const double apex = static_cast<double>(numerator) / static_cast<double>(denominator);
    // Beyond +-32 the value would not fit 32 bits either way.
    const double clamped = apex > 40 ? 40 : (apex < -40 ? -40 : apex);
    const double speed = std::pow(2.0, clamped);
    if (speed >= 1.0) {
        *exposure_numerator = 1;
        *exposure_denominator = clamp_to_u32(speed);
    } else {
        *exposure_numerator = clamp_to_u32(std::floor(1.0 / speed + 0.5));
        *exposure_denominator = 1;
    }
    return true;
}

uint16_t exif_read_u16(JpegReaderContext* context) {
    ByteCursor& c = context->input;
    if (!c.has(2)) return 0;
    const uint16_t v = static_cast<uint16_t>(value_at(context, c.offset(), 2));
    c.skip(2);
    return v;
}

uint32_t exif_read_u32(JpegReaderContext* context) {
    ByteCursor& c = context->input;
    if (!c.has(4)) return 0;
    const uint32_t v = value_at(context, c.offset(), 4);
    c.skip(4);
    return v;
}

uint32_t exif_read_ifd0(JpegReaderContext* context, ExifSummary* summary, uint32_t tiff_header) {
    ByteCursor& c = context->input;
    const uint64_t ifd = static_cast<uint64_t>(tiff_header) + value_at(context, tiff_header + 4, 4);
    if (!c.seek(ifd)) return 0;
    const uint16_t count = exif_read_u16(context);
    for (uint32_t i = 0; i < count; ++i) {
        if (!c.has(12)) return 0;
        const size_t entry = c.offset();
        const uint16_t tag = exif_read_u16(context);
        if (tag == kTagMake || tag == kTagModel) {
            exif_read_u16(context);  // the type is not checked
            uint32_t n = exif_read_u32(context);
            if (n > 64) n = 64;
            uint64_t from = entry + 8;
            if (n > 4) {
                from = static_cast<uint64_t>(tiff_header) + value_at(context, entry + 8, 4);
                if (!bytes_within(context, from, n)) return 0;
            }
            char* field = tag == kTagMake ? summary->maker : summary->model;
            std::memcpy(field, c.begin() + from, n);
        } else if (tag == kTagExifIfd) {
            return value_at(context, entry + 8, 4);
        }
        c.seek(entry + 12);
    }
    return 0;
}

bool exif_read_exif_ifd(JpegReaderContext* context, ExifSummary* summary, uint32_t tiff_header) {
    ByteCursor& c = context->input;
    if (!c.has(2)) return false;
    const uint16_t count = exif_read_u16(context);
    bool found = false;
    bool have_exposure_time = false;
    for (uint32_t i = 0; i < count; ++i) {
        if (!c.has(12)) return false;  // what was filled so far stays
        const size_t entry = c.offset();
        const uint16_t tag = exif_read_u16(context);
        const uint64_t field = entry + 8;
        const uint64_t at = static_cast<uint64_t>(tiff_header) + value_at(context, field, 4);
        switch (tag) {
            case kTagExposureTime:
                if (summary->exposure_numerator == 0) {
                    const Rational r = rational_at(context, at);
                    summary->exposure_numerator = r.numerator;
                    summary->exposure_denominator = r.denominator;
                    have_exposure_time = r.numerator != 0 && r.denominator != 0;
                }
                found = true;
                break;
            case kTagFNumber:
                if (summary->f_number_numerator == 0) {
                    const Rational r = rational_at(context, at);
                    summary->f_number_numerator = r.numerator;
                    summary->f_number_denominator = r.denominator;
                }
                found = true;
                break;
            case kTagExposureProgram:
                summary->exposure_program = static_cast<uint16_t>(value_at(context, field, 2));
                found = true;
                break;
            case kTagIsoSpeed:
                summary->iso_speed = static_cast<uint16_t>(value_at(context, field, 2));
                found = true;
                break;
            case kTagDateTimeOriginal:
                if (bytes_within(context, at, 20)) {
                    std::memcpy(summary->date_time_original, c.begin() + at, 20);
                    found = true;
                }
                break;
            case kTagShutterSpeed: {
                const Rational r = rational_at(context, at);
                uint32_t n = 0;
                uint32_t d = 0;
                // Exposures of a second or longer keep an ExposureTime that was stored, which
                // states them exactly; a shorter one is replaced as the camera's APEX value says.
                if (exif_exposure_from_shutter_speed(static_cast<int32_t>(r.numerator),
                                                     static_cast<int32_t>(r.denominator), &n, &d) &&
                    !(d == 1 && n > 1 && have_exposure_time)) {
                    summary->exposure_numerator = n;
                    summary->exposure_denominator = d;
                }
                found = true;
                break;
            }
            case kTagAperture: {
                // An APEX value; the summary holds an f-number, so FNumber wins when it was stored
                // and otherwise the f-number 2^(Av/2) is kept in tenths.
                const Rational r = rational_at(context, at);
                if (summary->f_number_numerator == 0 && r.denominator != 0) {
                    const double av = static_cast<double>(r.numerator) / r.denominator;
                    summary->f_number_numerator =
                        clamp_to_u32(std::floor(std::pow(2.0, av / 2 > 60 ? 60 : av / 2) * 10 + 0.5));
                    summary->f_number_denominator = 10;
                }
                found = true;
                break;
            }
            case kTagExposureBias: {
                const Rational r = rational_at(context, at);
                summary->exposure_bias_numerator = static_cast<int32_t>(r.numerator);
                summary->exposure_bias_denominator = static_cast<int32_t>(r.denominator);
                found = true;
                break;
            }
            case kTagMaxAperture: {
                const Rational r = rational_at(context, at);
                summary->max_aperture_numerator = r.numerator;
                summary->max_aperture_denominator = r.denominator;
                found = true;
                break;
            }
            case kTagMeteringMode:
                summary->metering_mode = static_cast<uint16_t>(value_at(context, field, 2));
                found = true;
                break;
            case kTagFlash:
                summary->flash = static_cast<uint16_t>(value_at(context, field, 2));
                found = true;
                break;
            case kTagFocalLength: {
                const Rational r = rational_at(context, at);
                summary->focal_length_numerator = r.numerator;
                summary->focal_length_denominator = r.denominator;
                found = true;
                break;
            }
            default: break;
        }
        c.seek(entry + 12);
    }
    return found;
}

bool jpeg_read_exif(JpegReaderContext* context, ExifSummary* summary) {
    ByteCursor& c = context->input;
    for (;;) {
        uint8_t marker = 0;
        if (!jpeg_next_marker(context, &marker)) return false;
        if (marker == kJpegSoi) continue;
        if (marker == kJpegSos || marker == kJpegEoi) return false;
        if (marker != kJpegApp1) {
            if (!jpeg_skip_segment(context)) return false;
            continue;
        }
        if (!c.has(2)) {
            set_codec_error(context, kCodecReadFailed);
            return false;
        }
        const size_t length_at = c.offset();
        const uint8_t* p = c.data();
        if (c.remaining() >= 8 && std::memcmp(p + 2, "Exif\0\0", 6) == 0) {
            const uint32_t tiff_header = static_cast<uint32_t>(length_at + 8);
            context->state.exif_byte_order = static_cast<uint16_t>(value_at(context, tiff_header, 2));
            const uint32_t exif_ifd = exif_read_ifd0(context, summary, tiff_header);
            if (exif_ifd == 0) {
                set_codec_error(context, kCodecReadFailed);
                return false;
            }
            if (!c.seek(static_cast<uint64_t>(tiff_header) + exif_ifd)) {
                c = ByteCursor(c.begin(), c.size());
                c.seek(c.size());
            }
            return exif_read_exif_ifd(context, summary, tiff_header);
        }
        if (!jpeg_skip_segment(context)) return false;
    }
}

bool jpeg_read_exif_file(const std::u16string& path, JpegReaderContext* context, ExifSummary* summary) {
    const MappedRead file(path, context);
    return file.size() != 0 && jpeg_read_exif(context, summary);
}
