#include "imagewin/core/image_commands.h"

#include <gtest/gtest.h>

#include <string>

#include "codecs/file_type.h"

namespace {

TEST(ImageCommands, ExternalToolIdsMapToTheEightTools) {
    const struct {
        int32_t id;
        int32_t index;
    } cases[] = {{7310, -1}, {7311, 0}, {7314, 3}, {7318, 7}, {7319, -1}, {0, -1}};
    for (const auto& c : cases) EXPECT_EQ(external_tool_index(c.id), c.index) << c.id;
}

TEST(ImageCommands, ExternalToolGetsThePathOnlyWhenItIsAProgram) {
    const struct {
        const char16_t* path;
        bool program;
        const char16_t* expected;
    } cases[] = {
        {u"C:\\pics\\a.jpg", true, u"C:\\pics\\a.jpg"},
        {u"C:\\my pics\\a b.jpg", true, u"\"C:\\my pics\\a b.jpg\""},
        {u"C:\\my pics\\a b.jpg", false, u""},
        {u"C:\\pics\\a.jpg", false, u""},
        {u"", true, u""},  // a pasted image has no file to hand over
    };
    for (const auto& c : cases) {
        EXPECT_EQ(external_tool_parameters(c.path, c.program), std::u16string(c.expected))
            << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
    }
}

TEST(ImageCommands, SaveQuestionNamesTheFileAndMapsTheThreeAnswers) {
    EXPECT_EQ(save_question_text(u"photo.jpg"), u"photo.jpg への変更を保存しますか?");
    const struct {
        int box;
        int32_t answer;
    } cases[] = {
        {6, kSaveAnswerSaveFirst}, {7, kSaveAnswerGoOn}, {2, kSaveAnswerCancel}, {0, kSaveAnswerCancel}};
    for (const auto& c : cases) EXPECT_EQ(save_answer_from_box(c.box), c.answer) << c.box;
}

TEST(ImageCommands, FileDialogsFollowTheSourceFormat) {
    const struct {
        int32_t format;
        bool comment;
        int32_t text_data;  // with metadata present
    } cases[] = {
        {kFilePng, true, kDialogPngText},
        {kFileJpeg, true, kDialogExif},
        {kFileBmp, false, 0},
        {kFileTiff, false, 0},
        {kFileGif, false, 0},
        {kFileUnknown, false, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(comment_dialog_applies(true, c.format), c.comment) << c.format;
        EXPECT_FALSE(comment_dialog_applies(false, c.format)) << c.format;
        EXPECT_EQ(text_data_dialog(c.format, 1), c.text_data) << c.format;
        EXPECT_EQ(text_data_dialog(c.format, 0), 0) << c.format;
    }
}

TEST(ImageCommands, ColourCountTextInDecimal) {
    EXPECT_EQ(colour_count_text(1), u"使用色数 = 1");
    EXPECT_EQ(colour_count_text(256), u"使用色数 = 256");
    EXPECT_EQ(colour_count_text(16777216), u"使用色数 = 16777216");
}

TEST(ImageCommands, RecycleListEndsWithTwoZeros) {
    const std::u16string list = recycle_path_list(u"C:\\a\\b.png");
    ASSERT_EQ(list.size(), 12u);
    EXPECT_EQ(list.substr(0, 10), u"C:\\a\\b.png");
    EXPECT_EQ(list[10], 0);
    EXPECT_EQ(list[11], 0);
}

TEST(ImageCommands, BlankImageHasNoPathAndAFixedSize) {
    EditImageDescription image;
    image.width = 4000;
    image.height = 3000;
    std::u16string(u"C:\\a\\b.png").copy(image.path, 10);
    ViewGeometry view;
    view.display_width = 1;
    view.display_height = 1;
    describe_blank_image(image, view);
    EXPECT_EQ(image.width, 200);
    EXPECT_EQ(image.height, 150);
    EXPECT_EQ(image.path[0], 0);
    EXPECT_EQ(view.display_width, 200);
    EXPECT_EQ(view.display_height, 150);
}

TEST(ImageCommands, PastedImageKeepsTheFolderForNavigation) {
    EditImageDescription image;
    std::u16string(u"C:\\a").copy(image.folder, 4);
    std::u16string(u"C:\\a\\long_file_name.png").copy(image.path, 23);
    std::u16string(u"long_file_name.png").copy(image.file_name, 18);
    image.flag_metadata = 1;
    image.flag_comment = 2;
    describe_pasted_image(image);
    EXPECT_EQ(std::u16string(image.path), u"");
    EXPECT_EQ(std::u16string(image.file_name), u"clip");
    EXPECT_EQ(std::u16string(image.folder), u"C:\\a");
    EXPECT_EQ(image.flag_metadata, 0);
    EXPECT_EQ(image.flag_comment, 0);
}

}  // namespace
