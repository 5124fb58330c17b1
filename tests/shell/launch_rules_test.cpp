#include "shell/core/launch_rules.h"

#include <gtest/gtest.h>

#include "tests/shell/test_views.h"

namespace {

std::u16string long_folder(size_t length) {
    return u"C:\\" + std::u16string(length - 3, u'f');
}

TEST(LaunchRulesTest, JoinedPathsStayWithinAPathBuffer) {
    struct Case {
        std::u16string folder, name;
        bool fits;
        std::u16string expected;
    } cases[] = {
        {u"C:\\p", u"a.jpg", true, u"C:\\p\\a.jpg"},
        {u"C:\\", u"a.jpg", true, u"C:\\a.jpg"},
        {u"C:\\p", u"", false, u""},
        {u"C:\\p", name_for_path_length(259), true, u"C:\\p\\" + name_for_path_length(259)},
        {u"C:\\p", name_for_path_length(260), false, u""},
        {long_folder(258), u"x", false, u""},  // the backslash makes 260
        {long_folder(257), u"x", true, long_folder(257) + u"\\x"},
    };
    for (const Case& c : cases) {
        TestView view(c.folder, {c.name});
        const std::optional<std::u16string> got = join_entry_path(view.state.folder, view.entries[0].name);
        EXPECT_EQ(got.has_value(), c.fits) << c.folder.size() << "+" << c.name.size();
        if (got && c.fits) {
            EXPECT_EQ(*got, c.expected);
        }
    }
    // Buffers without a terminator are never read past their end.
    FileEntry entry{};
    ViewState state{};
    for (char16_t& ch : entry.name) ch = u'n';
    for (char16_t& ch : state.folder) ch = u'f';
    EXPECT_FALSE(join_entry_path(state.folder, entry.name));
}

TEST(LaunchRulesTest, QuotingOnlyForBlanksAndWithinTheBuffer) {
    EXPECT_EQ(quote_path_with_spaces(u"C:\\p\\a.jpg"), u"C:\\p\\a.jpg");
    EXPECT_EQ(quote_path_with_spaces(u"C:\\my p\\a b.jpg"), u"\"C:\\my p\\a b.jpg\"");
    EXPECT_EQ(quote_path_with_spaces(u"C:\\ " + std::u16string(253, u'a')),
              u"\"C:\\ " + std::u16string(253, u'a') + u"\"");
    EXPECT_FALSE(quote_path_with_spaces(u"C:\\ " + std::u16string(254, u'a')));
    EXPECT_EQ(quote_path_with_spaces(u"C:\\" + std::u16string(256, u'a')),
              u"C:\\" + std::u16string(256, u'a'));
}

TEST(LaunchRulesTest, ToolParameters) {
    struct Case {
        const char* what;
        std::u16string text;
        bool executable;
        std::u16string folder;
        std::vector<std::u16string> names;
        std::u16string expected;
    } cases[] = {
        {"no marks: text and a blank", u"-a", true, u"C:\\p", {u"a.jpg"}, u"-a "},
        {"empty text, no marks", u"", true, u"C:\\p", {u"a.jpg"}, u""},
        {"marked files in index order",
         u"-a",
         true,
         u"C:\\my pics",
         {u"*a.jpg", u"b.jpg", u"*c d.png"},
         u"-a \"C:\\my pics\\a.jpg\" \"C:\\my pics\\c d.png\""},
        {"empty text with marks", u"", true, u"C:\\p\\", {u"*a.jpg"}, u"\"C:\\p\\a.jpg\""},
        {"a document gets no parameters", u"-a", false, u"C:\\p", {u"*a.jpg"}, u""},
        {"no entries at all", u"-x", true, u"", {}, u"-x "},
    };
    for (const Case& c : cases) {
        TestView view(c.folder, c.names);
        const std::optional<std::u16string> got =
            build_tool_parameters(u"C:\\tools\\t.exe", c.text, c.executable, view.state);
        ASSERT_TRUE(got) << c.what;
        EXPECT_EQ(*got, c.expected) << c.what;
    }
}

TEST(LaunchRulesTest, ToolParametersThatWouldNotFitAreRefused) {
    // One marked path too long for a path buffer refuses the whole list: a shortened path
    // would name another file.
    TestView view(u"C:\\p", {u"*a.jpg", u"*" + name_for_path_length(260)});
    EXPECT_FALSE(build_tool_parameters(u"t.exe", u"", true, view.state));
    // The same view for a document: no parameters are built, so nothing is refused.
    EXPECT_EQ(build_tool_parameters(u"t.txt", u"", false, view.state), u"");

    // Many marked files: fits just below the command-line limit, refused just above.
    const std::u16string name = name_for_path_length(250);  // 252 characters quoted, 253 with a blank
    std::vector<std::u16string> names(129, u"*" + name);
    TestView many(u"C:\\p", names);
    const std::optional<std::u16string> all = build_tool_parameters(u"t.exe", u"", true, many.state);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 129 * 253 - 1);
    const size_t room = kMaxCommandLineChars - 3 - all->size();
    EXPECT_TRUE(build_tool_parameters(std::u16string(room, u'p'), u"", true, many.state));
    EXPECT_FALSE(build_tool_parameters(std::u16string(room + 1, u'p'), u"", true, many.state));
}

struct ViewerCase {
    const char* what;
    std::vector<std::u16string> view1, view2;
    int from;
    int32_t limit;
    std::vector<std::pair<int, int32_t>> expected;  // (view, entry)
};

TEST(LaunchRulesTest, ViewerLaunchesFollowTheLimitAndTheOrder) {
    const ViewerCase cases[] = {
        {"three and two marked, limit 4",
         {u"*a", u"*b", u"c", u"*d"},
         {u"*e", u"f", u"*g"},
         0,
         4,
         {{0, 0}, {0, 1}, {0, 3}, {1, 0}}},
        {"from view 2: its marks first", {u"*a", u"b"}, {u"c", u"*d"}, 1, 5, {{1, 1}, {0, 0}}},
        {"only the other view is marked", {u"a", u"b"}, {u"c", u"*d"}, 0, 5, {{1, 1}}},
        {"no marks: entry 0 of the view", {u"a", u"b"}, {u"c"}, 0, 5, {{0, 0}}},
        {"no marks, view empty: entry 0 of the other", {}, {u"c", u"d"}, 0, 5, {{1, 0}}},
        {"nothing anywhere", {}, {}, 0, 5, {}},
        {"limit 0 still starts one", {u"*a", u"*b"}, {}, 0, 0, {{0, 0}}},
        {"limit -3 still starts one", {u"*a", u"*b"}, {}, 0, -3, {{0, 0}}},
        {"limit 1", {u"*a", u"*b"}, {u"*c"}, 0, 1, {{0, 0}}},
        {"too long a path is passed over", {u"*" + name_for_path_length(260), u"*b"}, {}, 0, 5, {{0, 1}}},
    };
    for (const ViewerCase& c : cases) {
        TestView v1(u"C:\\one", c.view1);
        TestView v2(u"C:\\two 2", c.view2);
        const ViewState* views[2] = {&v1.state, &v2.state};
        const std::vector<ViewerLaunch> got = plan_viewer_launches(views, c.from, c.limit);
        ASSERT_EQ(got.size(), c.expected.size()) << c.what;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].view, c.expected[i].first) << c.what << " " << i;
            EXPECT_EQ(got[i].entry, c.expected[i].second) << c.what << " " << i;
        }
    }
    // The parameter is the whole path in double quotes, also without blanks.
    TestView v1(u"C:\\one", {u"*a.jpg"});
    TestView v2(u"C:\\two 2\\", {u"*b c.jpg"});
    const ViewState* views[2] = {&v1.state, &v2.state};
    const std::vector<ViewerLaunch> got = plan_viewer_launches(views, 0, 5);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].parameter, u"\"C:\\one\\a.jpg\"");
    EXPECT_EQ(got[1].parameter, u"\"C:\\two 2\\b c.jpg\"");
}

TEST(LaunchRulesTest, MouseActionCodes) {
    struct Case {
        int32_t code;
        MouseActionKind kind;
        int tool;
    } cases[] = {
        {0, MouseActionKind::single_view_window, 0},
        {1, MouseActionKind::single_view_full_screen, 0},
        {2, MouseActionKind::edit_window, 0},
        {3, MouseActionKind::rename, 0},
        {4, MouseActionKind::associated_program, 0},
        {5, MouseActionKind::external_tool, 0},
        {12, MouseActionKind::external_tool, 7},
        {13, MouseActionKind::viewer, 0},
        {-1, MouseActionKind::viewer, 0},
        {1000, MouseActionKind::viewer, 0},
    };
    for (const Case& c : cases) {
        const MouseAction got = decode_mouse_action(c.code);
        EXPECT_EQ(got.kind, c.kind) << c.code;
        if (c.kind == MouseActionKind::external_tool) {
            EXPECT_EQ(got.tool, c.tool) << c.code;
        }
    }
}

TEST(LaunchRulesTest, ImageWindowEntry) {
    struct Case {
        const char* what;
        std::vector<std::u16string> names;
        int32_t requested, expected;
        int32_t marked_count_override;  // -1 keeps the count of the marks
    } cases[] = {
        {"first marked", {u"a", u"*b", u"*c"}, -1, 1, -1},
        {"nothing marked: entry 0", {u"a", u"b"}, -1, 0, -1},
        {"marks counted but none found", {u"a", u"b"}, -1, -1, 1},
        {"requested entry", {u"a", u"*b", u"c"}, 2, 2, -1},
        {"requested beyond the list", {u"a"}, 1, -1, -1},
        {"no entries", {}, -1, -1, -1},
        {"entry without a name", {u"", u"b"}, -1, -1, -1},
    };
    for (const Case& c : cases) {
        TestView view(u"C:\\p", c.names);
        if (c.marked_count_override >= 0) view.state.marked_count = c.marked_count_override;
        EXPECT_EQ(image_window_entry(view.state, c.requested), c.expected) << c.what;
    }
}

}  // namespace
