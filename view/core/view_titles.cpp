#include "view/core/view_titles.h"

#include "codecs/file_type.h"

namespace {

void append_int(std::u16string& text, int64_t value) {
    if (value < 0) {
        text += u'-';
        value = -value;
    }
    char16_t digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) text += digits[--n];
}

// "120.5KB": whole kilobytes, then the first decimal truncated.
void append_kilobytes(std::u16string& text, int32_t size) {
    append_int(text, size / 1024);
    text += u'.';
    append_int(text, static_cast<int64_t>(size % 1024) * 10 / 1024);
    text += u"KB";
}

std::u16string feature_letters(const ImageInfoFields& info) {
    std::u16string letters;
    switch (info.source_format) {
        case kFilePng:
            if (info.flag_interlaced) letters += u'I';
            if (info.flag_alpha_or_transparent) letters += u'A';
            if (info.flag_metadata != 0) letters += u'T';
            break;
        case kFileJpeg:
            if (info.flag_interlaced) letters += u'P';
            if (info.flag_comment != 0) letters += u'C';
            if (info.flag_metadata != 0) letters += u'E';
            break;
        case kFileTiff:
            if (info.flag_comment != 0) letters += u'C';
            break;
        case kFileGif:
            if (info.flag_interlaced) letters += u'I';
            if (info.flag_alpha_or_transparent) letters += u'A';
            if (info.flag_comment != 0) letters += u'C';
            break;
        default: break;
    }
    return letters;
}

}  // namespace

std::u16string build_image_info_text(const ImageInfoFields& info) {
    std::u16string text = info.file_name;
    if (info.modified) text += u'*';
    text += u"  ( ";
    const std::u16string letters = feature_letters(info);
    if (!letters.empty()) text += letters + u"  ";
    append_int(text, info.width);
    text += u'x';
    append_int(text, info.height);
    text += u"  ";
    append_int(text, info.source_bits);
    text += u"bit  ";
    append_kilobytes(text, info.file_size);
    text += u" )";
    return text;
}

std::u16string single_view_title(const std::u16string& info_text, int32_t zoom) {
    std::u16string title = info_text + u"  ";
    append_int(title, zoom / 100);
    title += u'%';
    return title;
}

std::u16string edit_window_title(const std::u16string& info_text, bool tool_open, bool save_preview_shown,
                                 int32_t save_preview_file_size) {
    std::u16string title = info_text + u"  ";
    if (!tool_open && save_preview_shown) {
        title += u" .... ";
        append_kilobytes(title, save_preview_file_size);
    }
    return title;
}
