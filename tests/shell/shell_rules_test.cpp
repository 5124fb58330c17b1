#include "shell/core/shell_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(ShellRulesTest, OsClass) {
    struct Case {
        uint32_t major, minor;
        int expected;
    } cases[] = {{5, 0, 0}, {5, 1, 1}, {5, 2, 0}, {4, 10, 0}, {6, 0, 2}, {6, 3, 2}, {7, 0, 3}, {10, 0, 3}};
    for (const Case& c : cases)
        EXPECT_EQ(os_class_for_version(c.major, c.minor), c.expected) << c.major << "." << c.minor;
}

TEST(ShellRulesTest, WindowFitsTheWorkArea) {
    const ScreenRect work{0, 0, 1280, 994};
    struct Case {
        WindowPlace in, out;
    } cases[] = {
        {{100, 100, 800, 600}, {100, 100, 800, 600}},    // inside: unchanged
        {{0, 0, 10000, 20}, {0, 0, 1280, 20}},           // too wide
        {{-5000, -5000, 800, 600}, {0, 0, 800, 600}},    // wholly off to the top left
        {{5000, 3000, 800, 600}, {480, 394, 800, 600}},  // wholly off to the bottom right
        {{1000, 900, 800, 600}, {480, 394, 800, 600}},   // partly off
        {{10, 10, 2000, 3000}, {0, 0, 1280, 994}},      {{10, 10, -5, 0}, {0, 0, 1280, 994}},
    };
    for (const Case& c : cases) {
        const WindowPlace got = fit_window_to_work_area(c.in, work);
        EXPECT_EQ(got.left, c.out.left);
        EXPECT_EQ(got.top, c.out.top);
        EXPECT_EQ(got.width, c.out.width);
        EXPECT_EQ(got.height, c.out.height);
    }
    // A work area not at the origin (a second monitor).
    const WindowPlace got = fit_window_to_work_area({0, 0, 800, 600}, ScreenRect{1280, 0, 2560, 1024});
    EXPECT_EQ(got.left, 1280);
}

TEST(ShellRulesTest, ViewLayouts) {
    const PaneLayout both = compute_view_layout(1001, 500, 174, 0);
    // (1001 - 174) / 2 = 413
    EXPECT_EQ(both.view[0].x, 174);
    EXPECT_EQ(both.view[0].width, 412);
    EXPECT_EQ(both.view[1].x, 1001 - 413);
    EXPECT_EQ(both.view[1].width, 412);
    EXPECT_TRUE(both.view[0].visible && both.view[1].visible);
    for (int layout : {1, 2}) {
        const PaneLayout one = compute_view_layout(1000, 500, 0, layout);
        const int shown = layout - 1;
        EXPECT_TRUE(one.view[shown].visible);
        EXPECT_FALSE(one.view[1 - shown].visible);
        EXPECT_EQ(one.view[shown].width, 1000);
        EXPECT_EQ(one.view[1 - shown].width, 1000);
        EXPECT_EQ(one.view[shown].height, 500);
    }
}

TEST(ShellRulesTest, ThousandsSeparators) {
    struct Case {
        std::u16string in, out;
    } cases[] = {{u"", u""},
                 {u"999", u"999"},
                 {u"1000", u"1,000"},
                 {u"123456", u"123,456"},
                 {u"1234567", u"1,234,567"},
                 {u"12345678", u"12,345,678"}};
    for (Case c : cases) {
        insert_thousands_separators(c.in);
        EXPECT_EQ(c.in, c.out);
    }
    std::u16string huge(300, u'9');
    insert_thousands_separators(huge);
    EXPECT_EQ(huge.size(), 255u);
    EXPECT_EQ(huge.substr(0, 4), u"999,");
}

TEST(ShellRulesTest, Title) {
    EXPECT_EQ(main_title_text(0, u""), u"-1- Pexaron");
    EXPECT_EQ(main_title_text(1, u"C:\\写真"), u"-2- C:\\写真");
}

}  // namespace
