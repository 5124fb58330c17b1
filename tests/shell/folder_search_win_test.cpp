// The folder listing against the real directory search under Wine.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
// clang-format on
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/folder_search.h"
#include "tests/shell/unique_scratch.h"

namespace {

std::wstring wide(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

void touch(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST(FolderSearchTest, ListsTheImagesOfARealFolderInOrder) {
    const std::u16string folder = unique_scratch_path("listing");
    const std::wstring w = wide(folder);
    ASSERT_TRUE(CreateDirectoryW(w.c_str(), nullptr));
    for (const wchar_t* name : {L"b.jpeg", L"a.JPG", L"c.jpe", L"d.tif", L"e.tiff", L"notes.txt", L"f.gif"})
        touch(w + L"\\" + name);
    touch(w + L"\\hidden.png", FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CreateDirectoryW((w + L"\\sub.bmp").c_str(), nullptr));

    FolderSearch& search = system_folder_search();
    const int32_t count = count_files_in_folder(search, folder);
    EXPECT_EQ(count, 8);  // every file, hidden included; the folder is no file

    std::vector<std::u16string> names;
    ListingOptions options;
    EXPECT_EQ(list_folder_images(search, folder, options, static_cast<size_t>(count), &names), 6);
    EXPECT_EQ(names,
              (std::vector<std::u16string>{u"a.JPG", u"b.jpeg", u"c.jpe", u"d.tif", u"e.tiff", u"f.gif"}));

    options.type_filter = 3;  // JPEG
    names.clear();
    EXPECT_EQ(list_folder_images(search, folder, options, static_cast<size_t>(count), &names), 3);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"a.JPG", u"b.jpeg", u"c.jpe"}));

    options.type_filter = 2;  // PNG: the hidden file shows once hidden files are not excluded
    options.excluded_attributes = 0;
    names.clear();
    EXPECT_EQ(list_folder_images(search, folder, options, static_cast<size_t>(count), &names), 1);

    EXPECT_EQ(count_files_in_folder(search, folder + u"\\missing"), 0);
}

TEST(FolderSearchTest, FileTimeInLocalTime) {
    const SYSTEMTIME local_parts = {2009, 3, 6, 7, 8, 5, 9, 0};
    FILETIME local, utc;
    ASSERT_TRUE(SystemTimeToFileTime(&local_parts, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    EXPECT_EQ(format_file_time(utc), u"2009/03/07 08:05:09");
    const SYSTEMTIME late = {2026, 12, 4, 31, 23, 59, 59, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&late, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    EXPECT_EQ(format_file_time(utc), u"2026/12/31 23:59:59");
}

}  // namespace
