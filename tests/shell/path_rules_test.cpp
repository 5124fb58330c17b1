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
        {u"C:\\a", u"c:\\A\\b", -1},  // case-sensitive
        {u"C:\\a", u"c:\\A", -1},
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

}  // namespace
