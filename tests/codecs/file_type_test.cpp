#include "codecs/file_type.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {

struct DetectCase {
    const char* name;
    std::vector<uint8_t> bytes;
    FileTypeCode expected;
};

class DetectFileType : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectFileType, FromFirstBytes) {
    const DetectCase& c = GetParam();
    EXPECT_EQ(detect_file_type_bytes(c.bytes.data(), c.bytes.size()), c.expected) << c.name;
    const std::u16string path = scratch_path(c.name);
    ASSERT_TRUE(write_bytes(path, c.bytes));
    EXPECT_EQ(detect_file_type(path), c.expected) << c.name;
}

const DetectCase kCases[] = {
    {"empty", {}, kFileTooShort},
    {"b_only", {'B'}, kFileUnknown},
    {"bm", {'B', 'M'}, kFileBmp},
    {"bm_more", {'B', 'M', 0xFF, 0x00}, kFileBmp},
    {"gi", {'G', 'I'}, kFileTooShort},
    {"gif", {'G', 'I', 'F'}, kFileGif},
    {"gix", {'G', 'I', 'X', '8'}, kFileUnknown},
    {"g_only", {'G'}, kFileUnknown},
    {"ii", {'I', 'I'}, kFileTooShort},
    {"ii_star", {'I', 'I', 0x2A}, kFileTiff},
    {"ii_star_more", {'I', 'I', 0x2A, 0x00, 8, 0, 0, 0}, kFileTiff},
    {"ii_other", {'I', 'I', 0x2B, 0x00}, kFileUnknown},
    {"mm", {'M', 'M'}, kFileTooShort},
    {"mm_x", {'M', 'M', 0x00}, kFileTooShort},
    {"mm_x_star", {'M', 'M', 0x00, 0x2A}, kFileTiff},
    {"mm_any_star", {'M', 'M', 0x7F, 0x2A}, kFileTiff},
    {"mm_star_wrong_place", {'M', 'M', 0x2A, 0x00}, kFileUnknown},
    {"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, kFilePng},
    {"png_then_data", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13}, kFilePng},
    {"png_2", {0x89, 'P'}, kFileTooShort},
    {"png_3", {0x89, 'P', 'N'}, kFileTooShort},
    {"png_4", {0x89, 'P', 'N', 'G'}, kFileTooShort},
    {"png_4_wrong", {0x89, 'P', 'X', 'X'}, kFileTooShort},
    {"png_5", {0x89, 'P', 'N', 'G', 0x0D}, kFileTooShort},
    {"png_7", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A}, kFileTooShort},
    {"png_5_wrong", {0x89, 'P', 'N', 'G', 0x0A}, kFileUnknown},
    {"png_bad_tail", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0B}, kFileUnknown},
    {"png_bad_ng", {0x89, 'P', 'N', 'X', 0x0D, 0x0A, 0x1A, 0x0A}, kFileUnknown},
    {"jpeg", {0xFF, 0xD8}, kFileJpeg},
    {"jpeg_more", {0xFF, 0xD8, 0xFF, 0xE0}, kFileJpeg},
    {"ff_only", {0xFF}, kFileUnknown},
    {"text", {'h', 'e', 'l', 'l', 'o'}, kFileUnknown},
};

std::string case_name(const ::testing::TestParamInfo<DetectCase>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, DetectFileType, ::testing::ValuesIn(kCases), case_name);

TEST(DetectFileTypeFile, MissingFileIsUnknownNotTooShort) {
    EXPECT_EQ(detect_file_type(scratch_path("does-not-exist.bmp")), kFileUnknown);
}

TEST(DetectTypeFromExtension, Table) {
    struct {
        const char16_t* path;
        FileTypeCode expected;
    } cases[] = {
        {u"a.jpg", kFileJpeg},
        {u"C:\\x\\photo.JPEG", kFileJpeg},
        {u"a.jpe", kFileJpeg},
        {u"a.png", kFilePng},
        {u"a.Gif", kFileGif},
        {u"a.bmp", kFileBmp},
        {u"a.tif", kFileTiff},
        {u"*.TIFF", kFileTiff},
        {u"archive.tar.gz", kFileUnknown},
        {u"noext", kFileUnknown},
        {u"dir.jpg\\file", kFileUnknown},
        {u"a.jpg.txt", kFileUnknown},
        {u"a. jpg", kFileUnknown},
        {u"", kFileUnknown},
        {u".png", kFilePng},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(detect_type_from_extension(c.path), c.expected);
    }
}

}  // namespace
