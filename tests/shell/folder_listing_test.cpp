#include "shell/core/folder_listing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/utf16.h"

namespace {

std::u16string u16(const char* text) {
    return utf8_to_utf16(text);
}

std::vector<std::u16string> u16_list(std::initializer_list<const char*> texts) {
    std::vector<std::u16string> out;
    for (const char* t : texts) out.push_back(u16(t));
    return out;
}

char16_t fold(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// '*' and '?' matching without case, as the system's find functions match a name.
bool wildcard_match(const char16_t* pattern, const char16_t* name) {
    if (*pattern == 0) return *name == 0;
    if (*pattern == u'*')
        return wildcard_match(pattern + 1, name) || (*name && wildcard_match(pattern, name + 1));
    if (*name == 0) return false;
    if (*pattern != u'?' && fold(*pattern) != fold(*name)) return false;
    return wildcard_match(pattern + 1, name + 1);
}

// One folder in memory. A file matches through its long name or its short 8.3 name, the way
// "*.jpe" finds "photo.jpeg" on a volume with short names.
class FakeFolder : public FolderSearch {
public:
    struct File {
        std::u16string name;
        std::u16string short_name;
        uint32_t attributes;
    };

    explicit FakeFolder(std::u16string folder) : folder_(std::move(folder)) {}

    void add(const char* name, uint32_t attributes = 0x20, const char* short_name = "") {
        files_.push_back(File{u16(name), u16(short_name), attributes});
    }

    bool find(const std::u16string& pattern, std::vector<FoundFile>* found) override {
        patterns.push_back(pattern);
        const std::u16string prefix = folder_ + u'\\';
        if (pattern.compare(0, prefix.size(), prefix) != 0) return false;
        const std::u16string wild = pattern.substr(prefix.size());
        for (const File& f : files_)
            if (wildcard_match(wild.c_str(), f.name.c_str()) ||
                (!f.short_name.empty() && wildcard_match(wild.c_str(), f.short_name.c_str())))
                found->push_back(FoundFile{f.name, f.attributes});
        return true;
    }

    std::vector<std::u16string> patterns;

private:
    std::u16string folder_;
    std::vector<File> files_;
};

std::vector<std::u16string> list(FakeFolder& folder, const char* path, const ListingOptions& options,
                                 size_t capacity = 1000) {
    std::vector<std::u16string> names;
    const int32_t n = list_folder_images(folder, u16(path), options, capacity, &names);
    EXPECT_EQ(n, static_cast<int32_t>(names.size()));
    return names;
}

TEST(FolderListingTest, AllTypesSkipHiddenLongerExtensionsAndShortNameMatches) {
    FakeFolder folder(u"C:\\pics");
    folder.add("f.png", 0x22);
    folder.add("e.txt");
    folder.add("d.tiff", 0x20, "D~1.TIF");
    folder.add("c.jpe");
    folder.add("b.jpeg", 0x20, "B~1.JPE");
    folder.add("a.JPG");
    folder.add("sub.bmp", 0x10);
    EXPECT_EQ(list(folder, "C:\\pics", ListingOptions{}), u16_list({"a.JPG", "b.jpeg", "c.jpe", "d.tiff"}));
    // The built-in searches in their order, each once, from a folder given with its backslash.
    folder.patterns.clear();
    (void)list(folder, "C:\\pics\\", ListingOptions{});
    EXPECT_EQ(folder.patterns,
              u16_list({"C:\\pics\\*.bmp", "C:\\pics\\*.png", "C:\\pics\\*.jpg", "C:\\pics\\*.jpe",
                        "C:\\pics\\*.jpeg", "C:\\pics\\*.tif", "C:\\pics\\*.tiff", "C:\\pics\\*.gif"}));
}

TEST(FolderListingTest, TypeFilters) {
    FakeFolder folder(u"D:");
    for (const char* name :
         {"1.bmp", "2.png", "3.jpg", "4.jpe", "5.jpeg", "6.tif", "7.tiff", "8.gif", "9.spi"})
        folder.add(name);
    folder.add("x.jpeg", 0x20, "X~1.JPE");
    struct Case {
        int32_t filter;
        std::vector<std::u16string> names;
    } cases[] = {
        {1, u16_list({"1.bmp"})},
        {2, u16_list({"2.png"})},
        {3, u16_list({"3.jpg", "4.jpe", "5.jpeg", "x.jpeg"})},  // x.jpeg once, by ".jpeg" only
        {4, u16_list({"6.tif", "7.tiff"})},
        {5, u16_list({"8.gif"})},
        {0, u16_list({"1.bmp", "2.png", "3.jpg", "4.jpe", "5.jpeg", "6.tif", "7.tiff", "8.gif", "x.jpeg"})},
        {6, u16_list({"1.bmp", "2.png", "3.jpg", "4.jpe", "5.jpeg", "6.tif", "7.tiff", "8.gif", "x.jpeg"})},
        {-1, u16_list({"1.bmp", "2.png", "3.jpg", "4.jpe", "5.jpeg", "6.tif", "7.tiff", "8.gif", "x.jpeg"})},
    };
    for (const Case& c : cases) {
        ListingOptions options;
        options.type_filter = c.filter;
        EXPECT_EQ(list(folder, "D:", options), c.names) << "filter " << c.filter;
    }
}

TEST(FolderListingTest, PluginPatternsFollowTheBuiltInOnes) {
    // Up to the first empty pattern, and never more than 100.
    std::vector<std::u16string> plugins = u16_list({"*.pic", "*.jpg", "*.mag", "", "*.xyz"});
    std::vector<ListingPattern> got = listing_patterns(0, plugins);
    ASSERT_EQ(got.size(), 8u + 3u);
    EXPECT_EQ(got[8].pattern, u"*.pic");
    EXPECT_EQ(got[8].extension_length, 4u);
    EXPECT_EQ(got[10].pattern, u"*.mag");
    plugins.assign(150, u"*.ab");
    EXPECT_EQ(listing_patterns(0, plugins).size(), 8u + 100u);
    EXPECT_EQ(listing_patterns(0, plugins).back().extension_length, 3u);
    // A single type ignores the plug-ins.
    EXPECT_EQ(listing_patterns(3, plugins).size(), 3u);

    FakeFolder folder(u"E:\\x");
    folder.add("a.pic");
    folder.add("b.picture");
    folder.add("c.jpg");
    ListingOptions options;
    options.plugin_patterns = u16_list({"*.pic", "*.jpg"});
    // A plug-in that claims a built-in extension lists the file twice.
    EXPECT_EQ(list(folder, "E:\\x", options), u16_list({"a.pic", "c.jpg", "c.jpg"}));
}

TEST(FolderListingTest, AttributeAndExtensionRules) {
    struct Case {
        const char* name;
        uint32_t attributes;
        size_t extension_length;
        uint32_t excluded;
        bool listed;
    } cases[] = {
        {"a.jpg", 0x20, 4, 2, true},        {"a.jpg", 0x01, 4, 2, true},   // read-only is not hidden
        {"a.jpg", 0x22, 4, 2, false},       {"a.jpg", 0x02, 4, 0, true},   // nothing excluded
        {"a.jpg", 0x04, 4, 6, false},       {"a.jpg", 0x10, 4, 0, false},  // system; a directory
        {"a.jpeg", 0x20, 4, 2, false},      {"a.jpeg", 0x20, 5, 2, true},    {"A~1.JPG", 0x20, 4, 2, true},
        {"a.b.png", 0x20, 4, 2, true},      {"a.png.txt", 0x20, 4, 2, true}, {"a. png", 0x20, 4, 2, false},
        {"noextension", 0x20, 4, 2, false}, {".png", 0x20, 4, 2, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(listed_by_search(FoundFile{u16(c.name), c.attributes}, c.extension_length, c.excluded),
                  c.listed)
            << c.name << " " << c.attributes << " " << c.excluded;
    // A name that does not fit a 260-character slot is not listed.
    EXPECT_TRUE(listed_by_search(FoundFile{std::u16string(255, u'n') + u".png", 0}, 4, 2));
    EXPECT_FALSE(listed_by_search(FoundFile{std::u16string(256, u'n') + u".png", 0}, 4, 2));
}

TEST(FolderListingTest, CountAndCapacity) {
    FakeFolder folder(u"C:\\p");
    for (const char* name : {"c.png", "b.png", "a.png", "d.txt"}) folder.add(name);
    folder.add("sub", 0x10);
    EXPECT_EQ(count_files_in_folder(folder, u"C:\\p"), 4);
    EXPECT_EQ(folder.patterns.back(), u"C:\\p\\*.*");
    EXPECT_EQ(count_files_in_folder(folder, u"C:\\elsewhere"), 0);
    EXPECT_EQ(list(folder, "C:\\elsewhere", ListingOptions{}).size(), 0u);
    // The listing writes no more names than the count made room for: those found first stay.
    EXPECT_EQ(list(folder, "C:\\p", ListingOptions{}, 2), u16_list({"b.png", "c.png"}));
    EXPECT_EQ(list(folder, "C:\\p", ListingOptions{}, 0).size(), 0u);
}

TEST(FolderListingTest, NameOrder) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        int sign;
    } cases[] = {
        {u"a.jpg", u"A.JPG", 0}, {u"a.jpg", u"b.jpg", -1}, {u"B.jpg", u"a.jpg", 1},
        {u"a", u"a.jpg", -1},    {u"", u"a", -1},          {u"", u"", 0},
        {u"Z1", u"z2", -1},      {u"\u3042", u"a", 1},
    };
    for (const Case& c : cases) {
        const int got = compare_names(c.a, c.b);
        EXPECT_EQ((got > 0) - (got < 0), c.sign) << utf16_to_utf8(c.a) << " / " << utf16_to_utf8(c.b);
    }
    // Equal names keep the order they were found in.
    std::vector<std::u16string> names = u16_list({"b.png", "X.png", "a.png", "x.png", "A.png"});
    sort_names(&names);
    EXPECT_EQ(names, u16_list({"a.png", "A.png", "b.png", "X.png", "x.png"}));

    // The Windows shell installs the locale's order; the sort follows it, and null restores.
    const NameOrder reverse = [](const char16_t* a, const char16_t* b) {
        return std::u16string(b).compare(a);
    };
    const NameOrder before = set_name_order(reverse);
    sort_names(&names);
    EXPECT_EQ(names, u16_list({"x.png", "b.png", "a.png", "X.png", "A.png"}));
    EXPECT_EQ(set_name_order(before), reverse);
    EXPECT_EQ(compare_names(u"a", u"B"), -1);
}

TEST(FolderListingTest, SixtyThousandImagesShowTheFirstFiftyThousandSorted) {
    FakeFolder folder(u"F:");
    for (int i = 59999; i >= 0; --i) folder.add(("img" + std::to_string(100000 + i) + ".gif").c_str());
    std::vector<std::u16string> names;
    ListingOptions options;
    options.type_filter = 5;
    const int32_t listed = list_folder_images(folder, u"F:", options, 60000, &names);
    ASSERT_EQ(listed, 60000);
    const int32_t shown = capped_entry_count(listed);
    EXPECT_EQ(shown, 50000);
    EXPECT_EQ(names[0], u"img100000.gif");
    EXPECT_EQ(names[shown - 1], u"img149999.gif");

    struct Case {
        int64_t listed;
        int32_t shown;
    } cases[] = {{-1, 0}, {0, 0}, {1, 1}, {50000, 50000}, {50001, 50000}, {int64_t{1} << 40, 50000}};
    for (const Case& c : cases) EXPECT_EQ(capped_entry_count(c.listed), c.shown) << c.listed;
}

class SelectedPathsTest : public ::testing::Test {
protected:
    using Files = std::vector<std::pair<const char*, int32_t>>;

    void set_view(const char* folder, const Files& files) {
        entries_.assign(files.size(), FileEntry{});
        view_ = ViewState{};
        size_t i = 0;
        for (const auto& f : files) {
            const std::u16string name = u16(f.first);
            std::memcpy(entries_[i].name, name.c_str(), (name.size() + 1) * sizeof(char16_t));
            entries_[i].marked = f.second;
            if (f.second == kEntryMarked) ++view_.marked_count;
            ++i;
        }
        const std::u16string path = u16(folder);
        std::memcpy(view_.folder, path.c_str(), (path.size() + 1) * sizeof(char16_t));
        view_.entries = entries_.empty() ? nullptr : entries_.data();
        view_.count = static_cast<int32_t>(entries_.size());
    }

    std::vector<FileEntry> entries_;
    ViewState view_{};
};

TEST_F(SelectedPathsTest, FirstSelectedEntry) {
    set_view("C:\\p", {{"a.png", 0}, {"b.png", 2}, {"c.png", 1}, {"d.png", 1}});
    EXPECT_EQ(first_selected_entry(view_), 2);
    set_view("C:\\p", {{"a.png", 0}});
    EXPECT_EQ(first_selected_entry(view_), -1);
    set_view("C:\\p", {});
    EXPECT_EQ(first_selected_entry(view_), -1);
    set_view("C:\\p", {{"a.png", 1}});
    view_.count = 0;
    EXPECT_EQ(first_selected_entry(view_), -1);
}

TEST_F(SelectedPathsTest, DoubleZeroTerminatedList) {
    using namespace std::string_literals;
    struct Case {
        const char* folder;
        Files files;
        std::u16string expected;
    } cases[] = {
        {"C:\\p", {{"x.png", 1}}, u"C:\\p\\x.png\0\0"s},
        {"C:\\p\\", {{"a.png", 0}, {"x.png", 1}}, u"C:\\p\\x.png\0\0"s},
        {"C:\\p", {{"x.png", 0}}, u"\0"s},
        {"C:\\p", {}, u"\0"s},
        {"C:\\", {{"a.bmp", 1}, {"b.bmp", 0}, {"c.bmp", 1}}, u"C:\\a.bmp\0C:\\c.bmp\0\0"s},
        // A marked entry without a name must not stand for the folder itself.
        {"C:\\p", {{"", 1}}, u"\0"s},
        {"C:\\p", {{"", 1}, {"b.bmp", 1}}, u"C:\\p\\b.bmp\0\0"s},
        // Moved-away entries are not marked.
        {"C:\\p", {{"a.bmp", 2}, {"b.bmp", 1}, {"c.bmp", 1}}, u"C:\\p\\b.bmp\0C:\\p\\c.bmp\0\0"s},
    };
    for (const Case& c : cases) {
        set_view(c.folder, c.files);
        EXPECT_EQ(build_selected_path_list(view_), c.expected) << c.folder << " " << c.files.size();
    }
    // With a marked count of 1 only the first marked entry is taken, and with none found the
    // list is still terminated.
    set_view("C:\\p", {{"a.bmp", 1}, {"b.bmp", 1}});
    view_.marked_count = 1;
    EXPECT_EQ(build_selected_path_list(view_), u"C:\\p\\a.bmp\0\0"s);
    set_view("C:\\p", {{"a.bmp", 0}});
    view_.marked_count = 1;
    EXPECT_EQ(build_selected_path_list(view_), u"\0"s);
}

TEST_F(SelectedPathsTest, QuotedPaths) {
    set_view("C:\\p", {{"a.bmp", 1}, {"z.bmp", 0}, {"b.bmp", 1}});
    EXPECT_EQ(build_quoted_selected_paths(view_), u"\"C:\\p\\a.bmp\" \"C:\\p\\b.bmp\"");
    set_view("C:\\my pics\\", {{"one file.png", 1}});
    EXPECT_EQ(build_quoted_selected_paths(view_), u"\"C:\\my pics\\one file.png\"");
    set_view("C:\\p", {{"a.bmp", 0}, {"", 1}});
    EXPECT_EQ(build_quoted_selected_paths(view_), u"");
    set_view("C:\\p", {});
    EXPECT_EQ(build_quoted_selected_paths(view_), u"");
}

TEST(FolderListingTest, FileTimeText) {
    struct Case {
        LocalFileTime time;
        const char16_t* text;
    } cases[] = {
        {{2009, 3, 7, 8, 5, 9}, u"2009/03/07 08:05:09"},
        {{2026, 12, 31, 23, 59, 59}, u"2026/12/31 23:59:59"},
        {{1601, 1, 1, 0, 0, 0}, u"1601/01/01 00:00:00"},
        {{2000, 10, 10, 10, 10, 10}, u"2000/10/10 10:10:10"},
        {{30827, 9, 14, 2, 48, 5}, u"30827/09/14 02:48:05"},
        {{999, 1, 2, 3, 4, 5}, u"999/01/02 03:04:05"},
    };
    for (const Case& c : cases) EXPECT_EQ(format_file_time(c.time), c.text);
}

}  // namespace
