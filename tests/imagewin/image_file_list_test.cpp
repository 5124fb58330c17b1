#include "imagewin/core/image_file_list.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/utf16.h"

namespace {

constexpr uint32_t kHidden = 0x2;
constexpr uint32_t kSystem = 0x4;

struct FakeFile {
    std::u16string name;
    std::u16string short_name;  // the 8.3 alias the system search also matches; empty when none
    uint32_t attributes = 0;
};

char16_t fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// '*' and '?' as the system search takes them, letters in either case.
bool wildcard_match(const std::u16string& pattern, size_t p, const std::u16string& name, size_t n) {
    if (p == pattern.size()) return n == name.size();
    if (pattern[p] == u'*') {
        for (size_t k = n; k <= name.size(); ++k) {
            if (wildcard_match(pattern, p + 1, name, k)) return true;
        }
        return false;
    }
    if (n == name.size()) return false;
    if (pattern[p] != u'?' && fold(pattern[p]) != fold(name[n])) return false;
    return wildcard_match(pattern, p + 1, name, n + 1);
}

// Folders of files searched like the system does, short names included; every pattern asked
// is recorded.
struct FakeFolders {
    std::map<std::u16string, std::vector<FakeFile>> folders;
    std::vector<std::u16string> patterns;

    FolderEnumerator enumerator() {
        return [this](const std::u16string& pattern, std::vector<FolderItem>* items) {
            patterns.push_back(pattern);
            const size_t cut = pattern.find_last_of(u'\\');
            std::u16string folder = pattern.substr(0, cut);
            if (folder.size() == 2 && folder[1] == u':') folder += u'\\';
            const std::u16string spec = pattern.substr(cut + 1);
            auto it = folders.find(folder);
            if (it == folders.end()) return false;
            for (const FakeFile& f : it->second) {
                if (wildcard_match(spec, 0, f.name, 0) ||
                    (!f.short_name.empty() && wildcard_match(spec, 0, f.short_name, 0))) {
                    items->push_back(FolderItem{f.name, f.attributes});
                }
            }
            return true;
        };
    }
};

int compare_nocase(const std::u16string& a, const std::u16string& b) {
    return compare_ascii_nocase(a, b);
}

std::string narrow(const std::u16string& s) {
    return utf16_to_utf8(s);
}

std::vector<std::string> narrow(const std::vector<std::u16string>& names) {
    std::vector<std::string> out;
    for (const std::u16string& n : names) out.push_back(narrow(n));
    return out;
}

class ImageFolderListTest : public testing::Test {
protected:
    void SetUp() override {
        fake_.folders[u"D:\\pics"] = {
            {u"b.PNG", u"", 0},
            {u"photo.JPG", u"", 0},
            {u"photo.jpeg", u"PHOTO~1.JPE", 0},
            {u"a.bmp", u"", 0},
            {u"scan.tiff", u"SCAN~1.TIF", 0},
            {u"d.tif", u"", 0},
            {u"e.gif", u"", 0},
            {u"f.jpe", u"", 0},
            {u"page.html", u"PAGE~1.HTM", 0},
            {u"notes.txt", u"", 0},
            {u"readme", u"", 0},
            {u"x.bmp.txt", u"XBMP~1.TXT", 0},
            {u"old.gifx", u"OLD~1.GIF", 0},
            {u"sub.bmp", u"", kFileAttributeDirectory},
            {u"hidden.png", u"", kHidden},
            {u"system.gif", u"", kSystem},
            {u"layers.psd", u"", 0},
        };
        sources_.enumerate = fake_.enumerator();
        sources_.compare = compare_nocase;
    }

    FakeFolders fake_;
    ImageListSources sources_;
};

TEST_F(ImageFolderListTest, ListsEachImageFileOnceInNameOrder) {
    struct Case {
        const char* name;
        uint32_t excluded;
        std::vector<std::u16string> plugins;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"built-in types, hidden excluded",
         kHidden,
         {},
         {"a.bmp", "b.PNG", "d.tif", "e.gif", "f.jpe", "photo.jpeg", "photo.JPG", "scan.tiff", "system.gif"}},
        {"nothing excluded",
         0,
         {},
         {"a.bmp", "b.PNG", "d.tif", "e.gif", "f.jpe", "hidden.png", "photo.jpeg", "photo.JPG", "scan.tiff",
          "system.gif"}},
        {"plug-in types, one repeating a built-in one",
         kHidden | kSystem,
         {u"*.psd", u"*.bmp", u"*.html"},
         {"a.bmp", "b.PNG", "d.tif", "e.gif", "f.jpe", "layers.psd", "page.html", "photo.jpeg", "photo.JPG",
          "scan.tiff"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sources_.excluded_attributes = c.excluded;
        sources_.plugin_patterns = c.plugins;
        std::vector<std::u16string> names;
        ASSERT_TRUE(build_image_folder_list(u"D:\\pics", sources_, &names));
        EXPECT_EQ(narrow(names), c.expected);
    }
}

TEST_F(ImageFolderListTest, SearchesTheBuiltInPatternsInOrderThenThePluginsOnes) {
    fake_.folders[u"C:\\"] = {{u"a.bmp", u"", 0}};
    sources_.plugin_patterns = {u"*.psd", u"*.pi"};
    std::vector<std::u16string> names;
    ASSERT_TRUE(build_image_folder_list(u"C:\\", sources_, &names));
    EXPECT_EQ(narrow(fake_.patterns),
              (std::vector<std::string>{"C:\\*.bmp", "C:\\*.png", "C:\\*.jpg", "C:\\*.jpe", "C:\\*.jpeg",
                                        "C:\\*.tif", "C:\\*.tiff", "C:\\*.gif", "C:\\*.psd", "C:\\*.pi"}));
    EXPECT_EQ(narrow(names), std::vector<std::string>{"a.bmp"});

    fake_.patterns.clear();
    sources_.plugin_patterns.assign(kPluginPatternLimit + 5, u"*.psd");
    ASSERT_TRUE(build_image_folder_list(u"C:\\", sources_, &names));
    EXPECT_EQ(fake_.patterns.size(), static_cast<size_t>(kImageListExtensionCount + kPluginPatternLimit));
}

TEST_F(ImageFolderListTest, EmptyHiddenOnlyAndUnreadableFolders) {
    fake_.folders[u"D:\\empty"] = {};
    fake_.folders[u"D:\\secret"] = {{u"a.png", u"", kHidden}, {u"b.jpg", u"", kHidden | kSystem}};
    sources_.excluded_attributes = kHidden;
    std::vector<std::u16string> names{u"stale.png"};
    ASSERT_TRUE(build_image_folder_list(u"D:\\empty", sources_, &names));
    EXPECT_TRUE(names.empty());

    names = {u"stale.png"};
    ASSERT_TRUE(build_image_folder_list(u"D:\\secret", sources_, &names));
    EXPECT_TRUE(names.empty());

    names = {u"kept.png"};
    EXPECT_FALSE(build_image_folder_list(u"D:\\gone", sources_, &names));
    EXPECT_EQ(narrow(names), std::vector<std::string>{"kept.png"});
}

TEST_F(ImageFolderListTest, AnOutsideRenameRebuildsAndTheSelectionFollowsTheFile) {
    ImageFileList list;
    std::u16string folder;
    const std::u16string path = u"D:\\pics\\e.gif";
    ASSERT_EQ(decide_list_sync(path, &folder, false), ListSync::rebuild);
    std::vector<std::u16string> names;
    ASSERT_TRUE(build_image_folder_list(folder, sources_, &names));
    set_list_names(list, names, u"e.gif", compare_nocase);
    ASSERT_EQ(list.selected, 3);

    fake_.folders[u"D:\\pics"].push_back({u"0new.png", u"", 0});
    EXPECT_EQ(decide_list_sync(path, &folder, false), ListSync::select);
    ASSERT_EQ(decide_list_sync(path, &folder, true), ListSync::rebuild);
    ASSERT_TRUE(build_image_folder_list(folder, sources_, &names));
    set_list_names(list, names, u"e.gif", compare_nocase);
    EXPECT_EQ(narrow(list.names[0]), "0new.png");
    EXPECT_EQ(list.selected, 4);
}

TEST(ImageFileListTest, TheCurrentEntryIsFoundByTheWholeName) {
    struct Case {
        const char* file_name;
        int32_t expected;
    };
    const ImageFileList list{{u"a.jpe", u"a.jpeg", u"a.jpg", u"B.png", u"b.PNG"}, -1};
    const Case cases[] = {
        {"a.jpe", 0}, {"a.jpeg", 1}, {"a.jpg", 2}, {"A.JPG", 2}, {"a.jp", -1},  {"a", -1},
        {"", -1},     {"b.PNG", 4},  {"B.PNG", 3}, {"b.png", 3}, {"c.png", -1}, {"a.jpeg.bak", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(find_list_entry(list, utf8_to_utf16(c.file_name), compare_nocase), c.expected)
            << c.file_name;
    }
}

TEST(ImageFileListTest, RemovingAnEntryKeepsTheSelectionOnItsFile) {
    struct Case {
        int32_t selected;
        int32_t removed;
        int32_t expected;
    };
    const Case cases[] = {{2, 0, 1}, {2, 2, -1}, {2, 3, 2}, {-1, 1, -1}, {1, 7, 1}, {1, -1, 1}};
    for (const Case& c : cases) {
        ImageFileList list{{u"a", u"b", u"c", u"d"}, c.selected};
        remove_list_entry(list, c.removed);
        EXPECT_EQ(list.selected, c.expected) << c.selected << " " << c.removed;
        EXPECT_EQ(list.names.size(), c.removed >= 0 && c.removed < 4 ? 3u : 4u);
    }
}

TEST(ImageFileListTest, NavigationTargetsNeverWrap) {
    struct Case {
        int32_t kind;
        int32_t count;
        int32_t current;
        int32_t expected;
    };
    const Case cases[] = {
        {kNavigateFirst, 5, 2, 0},
        {kNavigateFirst, 5, 0, -1},
        {kNavigateFirst, 5, -1, 0},
        {kNavigateLast, 5, 2, 4},
        {kNavigateLast, 5, 4, -1},
        {kNavigateLast, 5, -1, 4},
        {kNavigatePrevious, 5, 2, 1},
        {kNavigatePrevious, 5, 0, -1},
        {kNavigatePrevious, 5, -1, -1},
        {kNavigateNext, 5, 2, 3},
        {kNavigateNext, 5, 4, -1},
        {kNavigateNext, 5, -1, 0},
        {kNavigateNext, 1, 0, -1},
        {kNavigatePrevious, 1, 0, -1},
        {kNavigateFirst, 1, 0, -1},
        {kNavigateNext, 1, -1, 0},
        {kNavigateLast, 1, -1, 0},
        // An empty list has nowhere to go, whatever the selection says.
        {kNavigateFirst, 0, -1, -1},
        {kNavigateNext, 0, -1, -1},
        {kNavigateLast, 0, -1, -1},
        {kNavigatePrevious, 0, -1, -1},
        // A selection past the end counts as none.
        {kNavigateNext, 3, 7, 0},
        {kNavigatePrevious, 3, 7, -1},
        {4, 5, 2, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(navigation_target(c.kind, c.count, c.current), c.expected)
            << "kind " << c.kind << ", count " << c.count << ", current " << c.current;
    }
}

TEST(ImageFileListTest, AfterADeletionTheNextEntryOrTheFirst) {
    EXPECT_EQ(entry_after_deletion(2, 2), 0);  // the last of three
    EXPECT_EQ(entry_after_deletion(0, 2), 0);
    EXPECT_EQ(entry_after_deletion(1, 2), 1);
    EXPECT_EQ(entry_after_deletion(0, 0), -1);  // the only one
    EXPECT_EQ(entry_after_deletion(-1, 3), 0);
}

TEST(ImageFileListTest, OnlyAnotherEntryOpensOnAClick) {
    const ImageFileList list{{u"a.png", u"b.png"}, 0};
    EXPECT_FALSE(clicked_entry_opens(list, 0, u"a.png"));
    EXPECT_TRUE(clicked_entry_opens(list, 1, u"a.png"));
    EXPECT_TRUE(clicked_entry_opens(list, 0, u"clip"));
    EXPECT_FALSE(clicked_entry_opens(list, 2, u"a.png"));
    EXPECT_FALSE(clicked_entry_opens(list, -1, u"a.png"));
}

TEST(ImageFileListTest, FolderOfAPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\pics\\a.jpg", "C:\\pics"},
        {"C:\\a.jpg", "C:\\"},
        {"\\\\server\\share\\a.jpg", "\\\\server\\share"},
        {"\\a.jpg", "\\"},
        {"a.jpg", ""},
        {"", ""},
        {"C:\\pics\\sub/a.jpg", "C:\\pics\\sub"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(narrow(folder_of_path(utf8_to_utf16(c.first))), c.second) << c.first;
}

TEST(ImageFileListTest, SyncDecisions) {
    struct Case {
        const char* path;
        const char* folder;
        bool fired;
        ListSync expected;
        const char* folder_after;
    };
    const Case cases[] = {
        {"", "C:\\pics", true, ListSync::nothing, "C:\\pics"},
        {"C:\\pics\\a.jpg", "C:\\pics", false, ListSync::select, "C:\\pics"},
        {"C:\\pics\\a.jpg", "C:\\pics", true, ListSync::rebuild, "C:\\pics"},
        {"C:\\other\\a.jpg", "C:\\pics", false, ListSync::rebuild, "C:\\other"},
        {"C:\\Pics\\a.jpg", "C:\\pics", false, ListSync::rebuild, "C:\\Pics"},
        {"C:\\a.jpg", "", false, ListSync::rebuild, "C:\\"},
    };
    for (const Case& c : cases) {
        std::u16string folder = utf8_to_utf16(c.folder);
        EXPECT_EQ(decide_list_sync(utf8_to_utf16(c.path), &folder, c.fired), c.expected) << c.path;
        EXPECT_EQ(narrow(folder), c.folder_after) << c.path;
    }
}

TEST(ImageFileListTest, EntryPathsComeFromTheListedFolder) {
    // A pasted image has no path: the entry is found through the folder the list was made from.
    const std::u16string pasted_path;
    const std::u16string folder = u"C:\\pics";
    std::u16string path;
    ASSERT_TRUE(list_entry_path(folder, u"b.png", &path));
    EXPECT_EQ(narrow(path), "C:\\pics\\b.png");
    EXPECT_TRUE(folder_of_path(pasted_path).empty());

    ASSERT_TRUE(list_entry_path(u"C:\\", u"b.png", &path));
    EXPECT_EQ(narrow(path), "C:\\b.png");

    path = u"unchanged";
    EXPECT_FALSE(list_entry_path(u"", u"b.png", &path));
    EXPECT_FALSE(list_entry_path(folder, u"", &path));
    const std::u16string long_folder = u"C:\\" + std::u16string(249, u'x');
    EXPECT_TRUE(list_entry_path(long_folder, u"ab.png", &path));  // 259 characters and the terminator
    EXPECT_FALSE(list_entry_path(long_folder, u"abc.png", &path));
    EXPECT_EQ(path.size(), 259u);
}

}  // namespace
