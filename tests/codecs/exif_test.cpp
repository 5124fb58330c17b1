#include "codecs/jpeg/exif.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Builds a TIFF block in either byte order: IFD0 with Make, Model and the Exif pointer, then
// the Exif IFD, then the out-of-line values.
class ExifBuilder {
public:
    explicit ExifBuilder(bool little) : little_(little) {}

    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        Bytes value;  // up to 4 bytes inline, else stored out of line
    };

    void ifd0(uint16_t tag, uint16_t type, uint32_t count, const Bytes& value) {
        ifd0_.push_back({tag, type, count, value});
    }
    void exif(uint16_t tag, uint16_t type, uint32_t count, const Bytes& value) {
        exif_.push_back({tag, type, count, value});
    }
    void ascii0(uint16_t tag, const std::string& text) {
        Bytes v(text.begin(), text.end());
        v.push_back(0);
        ifd0(tag, 2, static_cast<uint32_t>(v.size()), v);
    }
    void short_value(uint16_t tag, uint16_t value) { exif(tag, 3, 1, u16(value)); }
    void rational(uint16_t tag, uint32_t n, uint32_t d, uint16_t type = 5) {
        Bytes v = u32(n);
        const Bytes dd = u32(d);
        v.insert(v.end(), dd.begin(), dd.end());
        exif(tag, type, 1, v);
    }

    Bytes u16(uint16_t v) const {
        return little_ ? Bytes{uint8_t(v), uint8_t(v >> 8)} : Bytes{uint8_t(v >> 8), uint8_t(v)};
    }
    Bytes u32(uint32_t v) const {
        return little_ ? Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}
                       : Bytes{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    }

    // The TIFF block; `cut` drops that many bytes from its end.
    Bytes tiff(bool with_pointer = true) const {
        std::vector<Entry> first = ifd0_;
        const uint32_t ifd0_at = 8;
        const uint32_t ifd0_size = 2 + 12 * static_cast<uint32_t>(first.size() + (with_pointer ? 1 : 0)) + 4;
        const uint32_t exif_at = ifd0_at + ifd0_size;
        const uint32_t exif_size = 2 + 12 * static_cast<uint32_t>(exif_.size()) + 4;
        uint32_t data_at = exif_at + exif_size;
        Bytes out = little_ ? Bytes{'I', 'I'} : Bytes{'M', 'M'};
        append(&out, u16(42));
        append(&out, u32(ifd0_at));
        Bytes data;
        auto write_ifd = [&](const std::vector<Entry>& entries, bool pointer) {
            append(&out, u16(static_cast<uint16_t>(entries.size() + (pointer ? 1 : 0))));
            for (const Entry& e : entries) {
                append(&out, u16(e.tag));
                append(&out, u16(e.type));
                append(&out, u32(e.count));
                if (e.value.size() <= 4) {
                    Bytes v = e.value;
                    v.resize(4, 0);
                    append(&out, v);
                } else {
                    append(&out, u32(data_at + static_cast<uint32_t>(data.size())));
                    append(&data, e.value);
                }
            }
            if (pointer) {
                append(&out, u16(0x8769));
                append(&out, u16(4));
                append(&out, u32(1));
                append(&out, u32(exif_at));
            }
            append(&out, u32(0));
        };
        write_ifd(first, with_pointer);
        write_ifd(exif_, false);
        append(&out, data);
        return out;
    }

    static void append(Bytes* to, const Bytes& from) { to->insert(to->end(), from.begin(), from.end()); }

private:
    bool little_;
    std::vector<Entry> ifd0_;
    std::vector<Entry> exif_;
};

Bytes jpeg_with_app1(const Bytes& payload, const Bytes& before = {}) {
    Bytes f = {0xFF, 0xD8};
    f.insert(f.end(), before.begin(), before.end());
    const size_t length = payload.size() + 2;
    f.push_back(0xFF);
    f.push_back(0xE1);
    f.push_back(static_cast<uint8_t>(length >> 8));
    f.push_back(static_cast<uint8_t>(length));
    f.insert(f.end(), payload.begin(), payload.end());
    const Bytes tail = {0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9};
    f.insert(f.end(), tail.begin(), tail.end());
    return f;
}

Bytes exif_payload(const Bytes& tiff) {
    Bytes p = {'E', 'x', 'i', 'f', 0, 0};
    p.insert(p.end(), tiff.begin(), tiff.end());
    return p;
}

struct Result {
    bool found;
    int32_t error;
    ExifSummary summary;
};

Result read(const Bytes& file) {
    JpegReaderContext context;
    init_codec_context(&context, 0);
    context.input = ByteCursor(file.data(), file.size());
    Result r;
    std::memset(&r.summary, 0, sizeof r.summary);
    r.found = jpeg_read_exif(&context, &r.summary);
    r.error = context.error;
    return r;
}

ExifBuilder full_block(bool little) {
    ExifBuilder b(little);
    b.ascii0(0x010F, "Maker");  // count 6: stored out of line
    b.ascii0(0x0110, "M1");     // count 3: inline
    b.rational(0x829A, 1, 250);
    b.rational(0x829D, 28, 10);
    b.short_value(0x8822, 2);
    b.short_value(0x8827, 400);
    std::string date = "2021:03:04 05:06:07";
    Bytes d(date.begin(), date.end());
    d.push_back(0);
    b.exif(0x9003, 2, 20, d);
    b.rational(0x9204, static_cast<uint32_t>(-7), 10, 10);
    b.rational(0x9205, 30, 10);
    b.short_value(0x9207, 5);
    b.short_value(0x9209, 16);
    b.rational(0x920A, 50, 1);
    return b;
}

TEST(Exif, BothByteOrdersFillEveryField) {
    for (bool little : {true, false}) {
        const Result r = read(jpeg_with_app1(exif_payload(full_block(little).tiff())));
        ASSERT_TRUE(r.found) << little;
        EXPECT_EQ(r.error, kCodecOk);
        const ExifSummary& s = r.summary;
        EXPECT_EQ(std::memcmp(s.maker, "Maker\0", 6), 0);
        EXPECT_STREQ(s.model, "M1");
        EXPECT_EQ(s.exposure_numerator, 1u);
        EXPECT_EQ(s.exposure_denominator, 250u);
        EXPECT_EQ(s.f_number_numerator, 28u);
        EXPECT_EQ(s.f_number_denominator, 10u);
        EXPECT_EQ(s.exposure_program, 2);
        EXPECT_EQ(s.iso_speed, 400);
        EXPECT_EQ(std::string(s.date_time_original, 19), "2021:03:04 05:06:07");
        EXPECT_EQ(s.exposure_bias_numerator, -7);
        EXPECT_EQ(s.exposure_bias_denominator, 10);
        EXPECT_EQ(s.max_aperture_numerator, 30u);
        EXPECT_EQ(s.max_aperture_denominator, 10u);
        EXPECT_EQ(s.metering_mode, 5);
        EXPECT_EQ(s.flash, 16);
        EXPECT_EQ(s.focal_length_numerator, 50u);
        EXPECT_EQ(s.focal_length_denominator, 1u);
    }
}

TEST(Exif, MakeFillsAtMostSixtyFourBytes) {
    ExifBuilder b(false);
    b.ascii0(0x010F, std::string(80, 'q'));
    b.short_value(0x8827, 100);
    const Result r = read(jpeg_with_app1(exif_payload(b.tiff())));
    ASSERT_TRUE(r.found);
    EXPECT_EQ(std::string(r.summary.maker, 64), std::string(64, 'q'));
    EXPECT_EQ(r.summary.model[0], 0);  // the neighbour is untouched
}

struct ShutterCase {
    int32_t n, d;
    bool has_exposure_time;
    uint32_t want_numerator, want_denominator;
};

TEST(Exif, ShutterSpeedValueGivesTheExposureTime) {
    const ShutterCase cases[] = {
        {6, 1, false, 1, 64},
        {5906, 1000, false, 1, 59},        // 2^5.906 = 59.96...
        {5906, 1000, true, 1, 59},         // replaces ExposureTime 1/60
        {0, 1, false, 1, 1},               // one second
        {-1, 1, false, 2, 1},              // two seconds, not 1/0
        {-3, 1, true, 15, 2},              // 8 s by APEX; the stored 15/2 s stays
        {6, 0, true, 15, 2},               // no division by zero: ExposureTime stays
        {1000, 1, false, 1, 0xFFFFFFFFu},  // no overflow
        {-1000, 1, false, 0xFFFFFFFFu, 1},
        {INT32_MIN, -1, false, 1, 0xFFFFFFFFu},
    };
    for (const ShutterCase& c : cases) {
        ExifBuilder b(true);
        if (c.has_exposure_time) b.rational(0x829A, 15, 2);
        b.rational(0x9201, static_cast<uint32_t>(c.n), static_cast<uint32_t>(c.d), 10);
        const Result r = read(jpeg_with_app1(exif_payload(b.tiff())));
        ASSERT_TRUE(r.found) << c.n << "/" << c.d;
        EXPECT_EQ(r.summary.exposure_numerator, c.want_numerator) << c.n << "/" << c.d;
        EXPECT_EQ(r.summary.exposure_denominator, c.want_denominator) << c.n << "/" << c.d;
    }
}

TEST(Exif, ApertureValueFillsTheFNumberOnlyWhenFNumberIsAbsent) {
    ExifBuilder with(true);
    with.rational(0x829D, 56, 10);
    with.rational(0x9202, 4, 1);
    Result r = read(jpeg_with_app1(exif_payload(with.tiff())));
    EXPECT_EQ(r.summary.f_number_numerator, 56u);
    EXPECT_EQ(r.summary.f_number_denominator, 10u);
    ExifBuilder without(false);
    without.rational(0x9202, 4, 1);  // APEX 4 is f/4
    r = read(jpeg_with_app1(exif_payload(without.tiff())));
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.summary.f_number_numerator, 40u);
    EXPECT_EQ(r.summary.f_number_denominator, 10u);
}

TEST(Exif, TruncatedLastEntryKeepsEarlierValues) {
    ExifBuilder b(true);
    b.short_value(0x8827, 200);
    b.short_value(0x9207, 3);
    Bytes tiff = b.tiff();
    // Cut inside the second Exif entry: the block ends there.
    const size_t exif_at = 8 + 2 + 12 + 4;
    tiff.resize(exif_at + 2 + 12 + 6);
    Bytes file = {0xFF, 0xD8, 0xFF, 0xE1, 0, 0};
    const Bytes payload = exif_payload(tiff);
    file.insert(file.end(), payload.begin(), payload.end());
    file[4] = static_cast<uint8_t>((payload.size() + 2) >> 8);
    file[5] = static_cast<uint8_t>(payload.size() + 2);
    const Result r = read(file);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.summary.iso_speed, 200);
    EXPECT_EQ(r.summary.metering_mode, 0);
}

TEST(Exif, OutOfRangeOffsetsReadAsZero) {
    ExifBuilder b(true);
    b.exif(0x829D, 5, 1, b.u32(0x7FFFFFF0));  // offset past the data
    b.exif(0x9003, 2, 20, b.u32(0xFFFFFFF0));
    const Result r = read(jpeg_with_app1(exif_payload(b.tiff())));
    EXPECT_TRUE(r.found);  // FNumber counts even when its value could not be read
    EXPECT_EQ(r.summary.f_number_numerator, 0u);
    EXPECT_EQ(r.summary.date_time_original[0], 0);
}

struct BlockCase {
    const char* name;
    Bytes file;
    bool found;
    int32_t error;
};

TEST(Exif, WalkCases) {
    ExifBuilder plain(true);
    plain.short_value(0x8827, 100);
    const Bytes good = exif_payload(plain.tiff());
    ExifBuilder no_pointer(true);
    no_pointer.ascii0(0x010F, "x");
    const Bytes xmp = {0xFF, 0xE1, 0x00, 0x08, 'h', 't', 't', 'p', ':', '/'};
    const BlockCase cases[] = {
        {"exif", jpeg_with_app1(good), true, kCodecOk},
        {"after another app1", jpeg_with_app1(good, xmp), true, kCodecOk},
        {"no app1", {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9}, false, kCodecOk},
        {"not exif", jpeg_with_app1({'X', 'M', 'P', 0, 0, 0, 1, 2}), false, kCodecOk},
        {"no exif pointer", jpeg_with_app1(exif_payload(no_pointer.tiff(false))), false, kCodecReadFailed},
        {"ran out", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x00}, false, kCodecReadFailed},
        {"app1 without length", {0xFF, 0xD8, 0xFF, 0xE1, 0x00}, false, kCodecReadFailed},
        {"empty exif ifd", jpeg_with_app1(exif_payload(ExifBuilder(false).tiff())), false, kCodecOk},
    };
    for (const BlockCase& c : cases) {
        const Result r = read(c.file);
        EXPECT_EQ(r.found, c.found) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
    }
}

TEST(Exif, ValueReadersStopAtTheEnd) {
    const Bytes data = {0x12, 0x34, 0x56};
    JpegReaderContext context;
    init_codec_context(&context, 0);
    context.input = ByteCursor(data.data(), data.size());
    context.state.exif_byte_order = 0x4D4D;
    EXPECT_EQ(exif_read_u32(&context), 0u);
    EXPECT_EQ(context.input.offset(), 0u);
    EXPECT_EQ(exif_read_u16(&context), 0x1234);
    EXPECT_EQ(exif_read_u16(&context), 0);
    EXPECT_EQ(context.input.offset(), 2u);
    context.input = ByteCursor(data.data(), data.size());
    context.state.exif_byte_order = 0x4949;
    EXPECT_EQ(exif_read_u16(&context), 0x3412);
}

}  // namespace

namespace {

TEST(Exif, EveryPrefixOfABlockEndsCleanly) {
    const Bytes file = jpeg_with_app1(exif_payload(full_block(false).tiff()));
    const ExifSummary full = read(file).summary;
    for (size_t n = 0; n < file.size(); ++n) {
        const Result r = read(Bytes(file.begin(), file.begin() + static_cast<int64_t>(n)));
        if (r.found) {
            EXPECT_EQ(r.error, kCodecOk) << n;
        }
        // Whatever was filled is the true value; what lay beyond the data stays zero.
        const ExifSummary& s = r.summary;
        auto same_or_zero = [&](uint64_t got, uint64_t want, const char* name) {
            EXPECT_TRUE(got == 0 || got == want) << name << " at prefix " << n;
        };
        same_or_zero(s.exposure_numerator, full.exposure_numerator, "exposure");
        same_or_zero(s.exposure_denominator, full.exposure_denominator, "exposure");
        same_or_zero(s.f_number_numerator, full.f_number_numerator, "f-number");
        same_or_zero(s.iso_speed, full.iso_speed, "iso");
        same_or_zero(static_cast<uint32_t>(s.exposure_bias_numerator),
                     static_cast<uint32_t>(full.exposure_bias_numerator), "bias");
        same_or_zero(s.focal_length_numerator, full.focal_length_numerator, "focal length");
        same_or_zero(s.flash, full.flash, "flash");
        EXPECT_TRUE(s.maker[0] == 0 || std::memcmp(s.maker, full.maker, 64) == 0) << n;
        EXPECT_TRUE(s.date_time_original[0] == 0 ||
                    std::memcmp(s.date_time_original, full.date_time_original, 20) == 0)
            << n;
    }
}

}  // namespace
