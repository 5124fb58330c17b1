#include "shell/core/path_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(CompareFolderWithPath, RelatesFolderAndPath) {
    struct Case {
        const char16_t* folder;
        const char16_t* path;
        int expected;
    } cases[] = {
        {u"C:\\a", u"C:\\ab", -1},
        {u"C:\\a", u"C:\\a\\b", 1},
        {u"C:\\a", u"C:\\a", 0},
        {u"C:\\a", u"D:\\x\\C:\\a\\y", 1},  // a match anywhere in the path counts
        {u"C:\\a", u"C:\\a\\", 1},
        {u"C:\\a\\", u"C:\\a", -1},
        {u"C:\\a\\", u"C:\\a\\b", 1},  // an existing backslash is not doubled
        {u"C:\\", u"C:\\x\\y", 1},
        {u"C:\\a", u"c:\\A\\b", 1},  // letter case does not tell paths apart
        {u"C:\\a", u"c:\\A", 0},
        {u"c:\\photos", u"D:\\x\\C:\\PHOTOS\\y", 1},
        {u"C:\\a", u"C:\\AB", -1},
        {u"C:\\a\\b", u"C:\\a", -1},  // the path above the folder
        {u"", u"", 0},
        {u"", u"C:\\a", -1},
        {u"", u"\\\\server\\share", -1},
        {u"C:\\a", u"", -1},
    };
    int row = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(compare_folder_with_path(c.folder, c.path), c.expected) << "row " << row;
        ++row;
    }
}

// Capital and small letter of each pair the table folds, beyond ASCII too.
TEST(CompareFolderWithPath, FoldsTheLettersWindowsUpperCases) {
    struct Case {
        const char16_t* folder;
        const char16_t* path;
        int expected;
    } cases[] = {
        {u"C:\\\u00C9t\u00E9", u"c:\\\u00E9T\u00C9\\x", 1},                     // Latin-1: É é
        {u"C:\\\u00FF", u"C:\\\u0178", 0},                                      // ÿ Ÿ
        {u"C:\\\u00F7", u"C:\\\u00D7", -1},                                     // ÷ and × are not a pair
        {u"C:\\\u0100\u0139\u014A\u0179", u"C:\\\u0101\u013A\u014B\u017A", 0},  // Latin Extended-A
        {u"C:\\\u0131", u"C:\\I", -1},                                          // dotless i stays
        {u"C:\\\u03A3\u03A3", u"C:\\\u03C3\u03C2", 0},                          // Greek sigma, final sigma
        {u"C:\\\u0416\u0401", u"C:\\\u0436\u0451\\f", 1},                       // Cyrillic Ж Ё
        {u"C:\\\uFF21\uFF3A", u"c:\\\uFF41\uFF5A", 0},                          // full-width Ａ Ｚ
        {u"C:\\\uFF21", u"C:\\A", -1},                                          // full-width is not ASCII
        {u"C:\\\u30A2", u"C:\\\u30A2", 0},                                      // no case: as it is
    };
    int row = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(compare_folder_with_path(c.folder, c.path), c.expected) << "row " << row;
        ++row;
    }
    for (char16_t c = u'a'; c <= u'z'; ++c) EXPECT_EQ(path_upper_char(c), c - 0x20);
    for (char16_t c = 0x3B1; c <= 0x3C9; ++c) {
        if (c != 0x3C2) {
            EXPECT_EQ(path_upper_char(c), c - 0x20) << int(c);
        }
    }
    EXPECT_TRUE(same_path_text(u"C:\\Users\\Photo", u"c:\\USERS\\photo"));
    EXPECT_FALSE(same_path_text(u"C:\\a", u"C:\\a\\"));
}

}  // namespace
