#include "imagewin/core/image_commands.h"

#include "codecs/file_type.h"
#include "imagewin/core/image_window_texts.h"

namespace {

constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

void copy_text(char16_t (&out)[kEditPathChars], const char16_t* text) {
    size_t n = 0;
    while (text[n] && n + 1 < kEditPathChars) {
        out[n] = text[n];
        ++n;
    }
    out[n] = 0;
}

}  // namespace

int32_t external_tool_index(int32_t id) {
    if (id < kCmdExternalTool1 || id > kCmdExternalTool8) return -1;
    return id - kCmdExternalTool1;
}

std::u16string external_tool_parameters(const std::u16string& image_path, bool tool_is_program) {
    if (!tool_is_program || image_path.empty()) return std::u16string();
    if (image_path.find(u' ') == std::u16string::npos) return image_path;
    return u"\"" + image_path + u"\"";
}

std::u16string save_question_text(const std::u16string& file_name) {
    return file_name + u" " + kSaveQuestionSuffix;
}

int32_t save_answer_from_box(int box_answer) {
    if (box_answer == kIdYes) return kSaveAnswerSaveFirst;
    if (box_answer == kIdNo) return kSaveAnswerGoOn;
    return kSaveAnswerCancel;
}

bool comment_dialog_applies(bool has_image, int32_t source_format) {
    return has_image && (source_format == kFilePng || source_format == kFileJpeg);
}

int32_t text_data_dialog(int32_t source_format, int32_t flag_metadata) {
    if (!flag_metadata) return 0;
    if (source_format == kFilePng) return kDialogPngText;
    if (source_format == kFileJpeg) return kDialogExif;
    return 0;
}

std::u16string colour_count_text(uint32_t count) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), char16_t(u'0' + count % 10));
        count /= 10;
    } while (count);
    return std::u16string(kColourCountLabel) + u" = " + digits;
}

std::u16string recycle_path_list(const std::u16string& path) {
    std::u16string list = path;
    list.push_back(0);
    list.push_back(0);
    return list;
}

void describe_blank_image(EditImageDescription& image, ViewGeometry& view) {
    image.width = kBlankImageWidth;
    image.height = kBlankImageHeight;
    image.path[0] = 0;
    view.image_width = kBlankImageWidth;
    view.image_height = kBlankImageHeight;
    view.display_width = kBlankImageWidth;
    view.display_height = kBlankImageHeight;
}

void describe_pasted_image(EditImageDescription& image) {
    image.path[0] = 0;
    copy_text(image.file_name, kPastedImageName);
    image.flag_interlaced = 0;
    image.flag_alpha_or_transparent = 0;
    image.flag_metadata = 0;
    image.flag_comment = 0;
}
