#include "shell/core/command_rules.h"

#include <gtest/gtest.h>

#include "tests/shell/test_views.h"

namespace {

// The state a command is asked in: the active view's files (a '*' marks one), whether it
// builds, the other view's folder and whether it builds, and the platform's answers.
struct Scene {
    std::vector<std::u16string> files;
    bool busy = false;
    const char16_t* other_folder = u"C:\\q";
    bool other_busy = false;
    bool folder_valid = true;
    bool batch_running = false;
    bool batch_thread = false;
};

bool allowed(int id, const Scene& s) {
    TestView active(u"C:\\p", s.files);
    TestView other(s.other_folder, {u"x.jpg"});
    active.state.busy = s.busy ? kViewBuilding : kViewIdle;
    other.state.busy = s.other_busy ? kViewWritingCache : kViewIdle;
    CommandScene scene;
    scene.active = &active.state;
    scene.other = &other.state;
    scene.folder_valid = s.folder_valid;
    scene.batch_running = s.batch_running;
    scene.batch_thread_exists = s.batch_thread;
    return command_allowed(id, scene);
}

TEST(CommandRulesTest, Preconditions) {
    const std::vector<std::u16string> one = {u"*a.jpg", u"b.png"};
    const std::vector<std::u16string> none = {u"a.jpg", u"b.png"};
    const std::vector<std::u16string> two = {u"*a.jpg", u"*b.png"};
    struct Case {
        const char* what;
        int id;
        Scene scene;
        bool expected;
    } cases[] = {
        {"select all", kCommandSelectAll, {none}, true},
        {"select all, busy view", kCommandSelectAll, {none, true}, false},
        {"select all, empty view", kCommandSelectAll, {{}}, false},

        {"comment on one JPEG", kCommandComment, {one}, true},
        {"comment on one PNG", kCommandComment, {{u"a.bmp", u"*b.PNG"}}, true},
        {"comment on a BMP", kCommandComment, {{u"*a.bmp"}}, false},
        {"comment on two", kCommandComment, {two}, false},
        {"comment with nothing marked", kCommandComment, {none}, false},
        {"comment while converting this folder",
         kCommandComment,
         {one, false, u"C:\\q", false, false},
         false},

        {"properties of one", kCommandProperties, {{u"*a.bmp"}}, true},
        {"properties of two", kCommandProperties, {two}, false},

        {"delete", kCommandDelete, {two}, true},
        {"delete nothing marked", kCommandDelete, {none}, false},
        {"delete, view busy", kCommandDelete, {two, true}, false},
        {"delete, other view builds elsewhere", kCommandDelete, {two, false, u"C:\\q", true}, true},
        {"delete, other view builds the same folder", kCommandDelete, {two, false, u"C:\\p", true}, false},
        {"delete, other view idle on the same folder", kCommandDelete, {two, false, u"C:\\p", false}, true},
        {"delete while converting this folder", kCommandDelete, {two, false, u"C:\\q", false, false}, false},

        {"print", kCommandPrintThumbnails, {none}, true},
        {"print, empty view", kCommandPrintThumbnails, {{}}, false},
        {"print, folder refused", kCommandPrintThumbnails, {none, false, u"C:\\q", false, false}, false},

        {"rotate right", kCommandRotateRight, {one}, true},
        {"rotate left, nothing marked", kCommandRotateLeft, {none}, false},
        {"rotate, busy", kCommandRotateRight, {one, true}, false},
        {"rotate, folder refused", kCommandRotateLeft, {one, false, u"C:\\q", false, false}, false},

        {"batch conversion", kCommandBatchConversion, {none}, true},
        {"batch conversion, thread exists",
         kCommandBatchConversion,
         {none, false, u"C:\\q", false, true, false, true},
         false},
        {"batch conversion, other view busy", kCommandBatchConversion, {none, false, u"C:\\q", true}, false},
        {"batch conversion, empty view", kCommandBatchConversion, {{}}, false},

        {"batch rename", kCommandBatchRename, {none}, true},
        {"batch rename, busy", kCommandBatchRename, {none, true}, false},
        {"batch rename, folder refused", kCommandBatchRename, {none, false, u"C:\\q", false, false}, false},

        {"options", kCommandOptions, {{}}, true},
        {"options while converting", kCommandOptions, {{}, false, u"C:\\q", false, true, true}, false},
        {"tools while the other view builds", kCommandRegisterTools, {{}, false, u"C:\\q", true}, false},
        {"tools while this view builds", kCommandRegisterTools, {{}, true}, false},

        {"rename has no precondition here", kCommandRename, {{}}, true},
    };
    for (const Case& c : cases) EXPECT_EQ(allowed(c.id, c.scene), c.expected) << c.what;
}

TEST(CommandRulesTest, ColumnsGiveTheThumbnailBox) {
    struct Case {
        int32_t width, columns;
        SizePreset box;
    } cases[] = {
        {60, 2, {32, 32}},      // 30 per column: the smallest box
        {2000, 2, {800, 600}},  // capped at 800
        {68, 2, {32, 32}},      // 34 per column: 32 wide, 3 x 32 = 96 is not above 127
        {88, 2, {42, 32}},      // 44 - 2 = 42; 126 is not above 127
        {90, 2, {43, 32}},      // 129 > 127 gives 96; 43 x 3 = 129 > 127 gives 32
        {880, 5, {174, 130}},   // 176 - 2; 522 / 4
        {0, 3, {32, 32}},
    };
    for (const Case& c : cases) {
        const SizePreset got = columns_box(c.width, c.columns);
        EXPECT_EQ(got.width, c.box.width) << c.width << "/" << c.columns;
        EXPECT_EQ(got.height, c.box.height) << c.width << "/" << c.columns;
    }
    const int ids[] = {7512, 7513, 7514, 7516, 7518, 7522, 7530};
    const int32_t counts[] = {2, 3, 4, 6, 8, 12, 20};
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(columns_for_command(ids[i]), counts[i]);
    for (const int id : {7510, 7511, 7515, 7531, 7500}) EXPECT_EQ(columns_for_command(id), 0) << id;
}

TEST(CommandRulesTest, CaptionAndCellSizes) {
    struct Case {
        int32_t shown;
        int32_t lines[4];
        int32_t height;
    } cases[] = {
        {1, {1, 1, 0, 0}, 28}, {1, {1, 1, 1, 1}, 56}, {1, {0, 0, 0, 0}, 14},
        {0, {1, 1, 1, 1}, 0},  {1, {0, 0, 0, 1}, 14},
    };
    for (const Case& c : cases) EXPECT_EQ(caption_height(c.shown, c.lines), c.height);
    const CellSize cell = cell_size(160, 120, 28, 2, 2);
    EXPECT_EQ(cell.width, 162);
    EXPECT_EQ(cell.height, 150);
    EXPECT_EQ(size_text(144, 108), u"144x108");
    EXPECT_EQ(size_text(800, 32), u"800x32");
}

TEST(CommandRulesTest, ScrollStepsAndHelpDialogs) {
    const int32_t steps[] = {6, 7, 2, 3, 0, 1};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(scroll_step_for_command(7810 + i), steps[i]);
    EXPECT_EQ(scroll_step_for_command(7809), -1);
    EXPECT_EQ(scroll_step_for_command(7816), -1);
    const int32_t dialogs[] = {6700, 6750, 6770, 6780, 6790};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(help_dialog_for_command(7411 + i), dialogs[i]);
    EXPECT_EQ(help_dialog_for_command(7410), 0);
    EXPECT_EQ(help_dialog_for_command(7416), 0);
}

}  // namespace
