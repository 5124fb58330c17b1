#include "imagewin/core/save_settings.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "common/stride.h"

namespace {

bool same_stored(const SaveSettings& a, const SaveSettings& b) {
    return a.save_format == b.save_format && a.target_bits == b.target_bits && a.greyscale == b.greyscale &&
           a.dither_mode == b.dither_mode && a.interlace == b.interlace &&
           a.png_compression == b.png_compression && a.write_gamma == b.write_gamma && a.gamma == b.gamma &&
           a.transparent_colour == b.transparent_colour && a.png_filter == b.png_filter &&
           a.jpeg_quality == b.jpeg_quality && a.jpeg_sampling == b.jpeg_sampling &&
           a.progressive == b.progressive && a.jpeg_markers == b.jpeg_markers && a.jpeg_trim == b.jpeg_trim &&
           a.jpeg_size_limit_on == b.jpeg_size_limit_on && a.jpeg_size_limit_kb == b.jpeg_size_limit_kb;
}

bool same_display(const SaveDisplayOptions& a, const SaveDisplayOptions& b) {
    return a.apply_transparency == b.apply_transparency && a.use_file_background == b.use_file_background &&
           a.background_colour == b.background_colour && a.gamma_enabled == b.gamma_enabled &&
           a.display_gamma_x1000 == b.display_gamma_x1000;
}

constexpr const char16_t* kFormatLabels[kSaveFormatCount] = {u"BMP",  u"PNG", u"JPEG",
                                                             u"TIFF", u"GIF", u"JPEG/TRANS"};
constexpr const char16_t* kExtensions[kSaveFormatCount] = {u".bmp", u".png", u".jpg",
                                                           u".tif", u".gif", u".jpg"};

constexpr BitDepthItem kBmpDepths[] = {
    {u"24bit(ﾌﾙｶﾗｰ)", 24, 0}, {u"8bit(256色)", 8, 0}, {u"4bit(16色)", 4, 0}, {u"1bit(2色)", 1, 0}};
constexpr BitDepthItem kPngDepths[] = {{u"24bit(ﾌﾙｶﾗｰ)", 24, 0}, {u"8bit(256色)", 8, 0},
                                       {u"4bit(16色)", 4, 0},    {u"2bit(4色)", 2, 0},
                                       {u"1bit(2色)", 1, 0},     {u"8bit ｸﾞﾚｲｽｹｰﾙ", 8, 1}};
constexpr BitDepthItem kJpegDepths[] = {{u"24bit(ﾌﾙｶﾗｰ)", 24, 0}, {u"8bit ｸﾞﾚｲｽｹｰﾙ", 8, 1}};
constexpr BitDepthItem kTiffDepths[] = {{u"24bit(ﾌﾙｶﾗｰ)", 24, 0},
                                        {u"8bit(256色)", 8, 0},
                                        {u"4bit(16色)", 4, 0},
                                        {u"1bit(2色)", 1, 0},
                                        {u"8bit ｸﾞﾚｲｽｹｰﾙ", 8, 1}};
constexpr BitDepthItem kGifDepths[] = {{u"8bit(256色)", 8, 0}, {u"7bit(128色)", 7, 0}, {u"6bit(64色)", 6, 0},
                                       {u"5bit(32色)", 5, 0},  {u"4bit(16色)", 4, 0},  {u"3bit(8色)", 3, 0},
                                       {u"2bit(4色)", 2, 0},   {u"1bit(2色)", 1, 0}};

bool format_in_range(SaveFormat format) {
    return format >= 0 && format < kSaveFormatCount;
}

// BMP's and TIFF's colour items: 24, 8, 4, 1.
BitDepthState colour_depth_of_four(int32_t bits) {
    if (bits == 24) return {0, 24, 0};
    if (bits > 4) return {1, 8, 0};
    if (bits >= 3) return {2, 4, 0};
    return {3, 1, 0};
}

}  // namespace

bool same_preview_settings(const SavePreviewSettings& a, const SavePreviewSettings& b) {
    return same_stored(a.stored, b.stored) && a.transparent == b.transparent &&
           a.insert_comment == b.insert_comment && a.lossless_operation == b.lossless_operation &&
           same_display(a.display, b.display);
}

bool preview_is_current(bool shown, const SavePreviewSettings& now, const SavePreviewSettings& taken) {
    return shown && same_preview_settings(now, taken);
}

int32_t png_level_to_write(int32_t png_compression) {
    return std::clamp(png_compression, 0, 9);
}

uint32_t png_gamma_to_write(int32_t write_gamma, int32_t gamma) {
    if (!write_gamma) return 0;
    if (gamma != 0 && gamma < 1) return 1;
    return static_cast<uint32_t>(gamma);
}

void transparent_colour_bytes(int32_t colour, uint8_t out[3]) {
    out[0] = static_cast<uint8_t>(colour & 0xFF);
    out[1] = static_cast<uint8_t>((colour >> 8) & 0xFF);
    out[2] = static_cast<uint8_t>((colour >> 16) & 0xFF);
}

int32_t commit_png_level(int32_t value) {
    return std::clamp(value, 0, 9);
}

int32_t commit_jpeg_quality(int32_t value) {
    return std::clamp(value, 1, 100);
}

int32_t commit_size_limit(int32_t value_kb) {
    return value_kb <= 0 ? 1 : value_kb;
}

std::u16string gamma_text(int32_t gamma) {
    const int64_t value = gamma;
    const int64_t magnitude = value < 0 ? -value : value;
    std::string digits = std::to_string(magnitude / 1000);
    std::string fraction = std::to_string(magnitude % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    std::u16string text = value < 0 ? u"-" : u"";
    for (char c : digits + "." + fraction) text += static_cast<char16_t>(c);
    return text;
}

GammaCommit commit_gamma(const std::u16string& text) {
    GammaCommit out;
    if (text.empty()) {
        out.gamma = 2200;
        out.replaced = true;
        out.text = gamma_text(2200);
        return out;
    }
    // Decimal digits read exactly: a double's 1.001 x 1000 would truncate to 1000.
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    int64_t whole = 0;
    const int64_t cap = int64_t(INT32_MAX);
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        whole = std::min(cap, whole * 10 + (text[i] - u'0'));
    int64_t fraction = 0;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        for (int64_t scale = 100; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i, scale /= 10)
            fraction += (text[i] - u'0') * scale;
    }
    int64_t thousandths = std::min(cap, whole * 1000 + fraction);
    if (negative) thousandths = -thousandths;
    if (thousandths < 1) {
        out.gamma = 1;
        out.replaced = true;
        out.text = gamma_text(1);
        return out;
    }
    out.gamma = static_cast<int32_t>(thousandths);
    return out;
}

const char16_t* save_format_label(SaveFormat format) {
    return format_in_range(format) ? kFormatLabels[format] : u"";
}

int32_t save_format_item_count(bool image_loaded, bool jpeg_source) {
    return image_loaded && !jpeg_source ? kSaveFormatCount - 1 : kSaveFormatCount;
}

const BitDepthItem* bit_depth_items(SaveFormat format, int32_t* count) {
    switch (format) {
        case kSaveBmp: *count = int32_t(std::size(kBmpDepths)); return kBmpDepths;
        case kSavePng: *count = int32_t(std::size(kPngDepths)); return kPngDepths;
        case kSaveJpeg: *count = int32_t(std::size(kJpegDepths)); return kJpegDepths;
        case kSaveTiff: *count = int32_t(std::size(kTiffDepths)); return kTiffDepths;
        case kSaveGif: *count = int32_t(std::size(kGifDepths)); return kGifDepths;
        case kSaveJpegLossless: *count = int32_t(std::size(kJpegDepths)); return kJpegDepths;
        default: *count = 0; return nullptr;
    }
}

BitDepthState rebuild_bit_depth(SaveFormat format, int32_t target_bits, int32_t greyscale,
                                int32_t source_bits) {
    switch (format) {
        case kSaveBmp: return colour_depth_of_four(target_bits);
        case kSavePng:
            if (greyscale) return {5, 8, 1};
            if (target_bits == 24) return {0, 24, 0};
            if (target_bits > 4) return {1, 8, 0};
            if (target_bits > 2) return {2, 4, 0};
            if (target_bits == 2) return {3, 2, 0};
            return {4, 1, 0};
        case kSaveTiff:
            if (greyscale) return {4, 8, 1};
            return colour_depth_of_four(target_bits);
        case kSaveGif: {
            const int32_t bits = std::clamp(target_bits, 1, 8);
            return {8 - bits, bits, 0};
        }
        // Both JPEG kinds write what the image (or the file) is: the depth stays for the other
        // formats, and only the greyscale flag is chosen here.
        case kSaveJpeg: return {greyscale ? 1 : 0, target_bits, greyscale ? 1 : 0};
        case kSaveJpegLossless: {
            const bool grey = source_bits != 0 && source_bits != 24;
            return {grey ? 1 : 0, target_bits, grey ? 1 : 0};
        }
        default: return {0, target_bits, greyscale};
    }
}

bool choose_bit_depth(SaveFormat format, int32_t item, int32_t* target_bits, int32_t* greyscale) {
    int32_t count = 0;
    const BitDepthItem* items = bit_depth_items(format, &count);
    if (!items || item < 0 || item >= count) return false;
    *target_bits = items[item].bits;
    *greyscale = items[item].greyscale;
    return true;
}

const char16_t* save_default_extension(SaveFormat format) {
    return format_in_range(format) ? kExtensions[format] : u"";
}

std::u16string save_dialog_filter(bool jpeg_source) {
    static const char16_t* const pairs[] = {u"BMP ファイル (*.bmp)",
                                            u"*.bmp",
                                            u"PNG ファイル (*.png)",
                                            u"*.png",
                                            u"JPEG ファイル (*.jpg;*.jpeg;*.jpe)",
                                            u"*.jpg;*.jpeg;*.jpe",
                                            u"TIFF ファイル (*.tif;*.tiff)",
                                            u"*.tif;*.tiff",
                                            u"GIF ファイル (*.gif)",
                                            u"*.gif",
                                            u"JPEG/TRANS (*.jpg;*.jpeg;*.jpe)",
                                            u"*.jpg;*.jpeg;*.jpe"};
    const size_t count = jpeg_source ? 12 : 10;
    std::u16string filter;
    for (size_t i = 0; i < count; ++i) {
        filter += pairs[i];
        filter += u'\0';
    }
    filter += u'\0';
    return filter;
}

std::u16string strip_extension(const std::u16string& name) {
    const size_t dot = name.find_last_of(u'.');
    const size_t separator = name.find_last_of(u"\\/");
    if (dot == std::u16string::npos || (separator != std::u16string::npos && dot < separator)) return name;
    return name.substr(0, dot);
}

bool shift_jis_lead_byte(uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string cut_at_character(const std::string& text, size_t limit, LeadByteTest is_lead) {
    size_t end = 0;
    while (end < text.size()) {
        const size_t length = is_lead(static_cast<uint8_t>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + length > limit) break;
        end += length;
    }
    return text.substr(0, end);
}

void place_preview_rows(const uint8_t* source, int32_t source_width, int32_t source_height, uint8_t* canvas,
                        int32_t canvas_width, int32_t canvas_height, int32_t bit_count) {
    const int64_t source_stride = row_stride_bytes(source_width, bit_count);
    const int64_t canvas_stride = row_stride_bytes(canvas_width, bit_count);
    std::memset(canvas, 0, size_t(canvas_stride * canvas_height));
    const int64_t pixel_bytes = bit_count / 8;
    const int64_t shift = int64_t(canvas_width) - source_width;
    const int32_t rows = std::min(source_height, canvas_height);
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* from = source + y * source_stride;
        uint8_t* to = canvas + y * canvas_stride;
        if (shift >= 0)
            std::memcpy(to + shift * pixel_bytes, from, size_t(source_width * pixel_bytes));
        else
            std::memcpy(to, from - shift * pixel_bytes, size_t(canvas_width * pixel_bytes));
    }
}
