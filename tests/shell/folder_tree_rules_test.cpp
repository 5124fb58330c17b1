#include "shell/core/folder_tree_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using List = std::vector<std::u16string>;

TEST(RegisteredFoldersTest, CountStopsAtTheFirstEmptyEntryAndTheCapacity) {
    EXPECT_EQ(registered_entry_count({}, 100), 0);
    EXPECT_EQ(registered_entry_count({u"a", u"b"}, 100), 2);
    EXPECT_EQ(registered_entry_count({u"a", u"", u"c"}, 100), 1);
    EXPECT_EQ(registered_entry_count({u"a", u"b", u"c"}, 2), 2);
    EXPECT_EQ(registered_entry_count({u"a"}, 0), 0);
}

TEST(RegisteredFoldersTest, AddReportsTheExistingSlotOrStoresAtTheFirstFreeOne) {
    List list;
    EXPECT_EQ(add_registered_entry(list, u"C:\\a", 3).outcome, RegisterOutcome::stored);
    const RegisterResult second = add_registered_entry(list, u"C:\\b", 3);
    EXPECT_EQ(second.outcome, RegisterOutcome::stored);
    EXPECT_EQ(second.slot, 1);
    const RegisterResult again = add_registered_entry(list, u"C:\\b", 3);
    EXPECT_EQ(again.outcome, RegisterOutcome::already_registered);
    EXPECT_EQ(again.slot, 1);
    EXPECT_EQ(add_registered_entry(list, u"C:\\c", 3).slot, 2);
    // Full: nothing stored, and an entry already there is still found.
    const RegisterResult full = add_registered_entry(list, u"C:\\d", 3);
    EXPECT_EQ(full.outcome, RegisterOutcome::list_full);
    EXPECT_EQ(full.slot, -1);
    EXPECT_EQ(add_registered_entry(list, u"C:\\c", 3).outcome, RegisterOutcome::already_registered);
    EXPECT_EQ(list, (List{u"C:\\a", u"C:\\b", u"C:\\c"}));
    // An empty path would end the list in its slot.
    List small{u"x"};
    EXPECT_EQ(add_registered_entry(small, u"", 3).outcome, RegisterOutcome::refused);
    EXPECT_EQ(small, List{u"x"});
}

TEST(RegisteredFoldersTest, AddAfterAnEmptyEntryStoresThereAndDropsWhatFollowedIt) {
    // Entries past the first empty one are not part of the list and never come back.
    List list{u"a", u"", u"ghost"};
    const RegisterResult r = add_registered_entry(list, u"ghost", 5);
    EXPECT_EQ(r.outcome, RegisterOutcome::stored);
    EXPECT_EQ(r.slot, 1);
    EXPECT_EQ(list, (List{u"a", u"ghost"}));
}

TEST(RegisteredFoldersTest, RemoveMovesLaterEntriesUp) {
    struct Case {
        const char16_t* path;
        bool removed;
        List after;
    } cases[] = {
        {u"a", true, {u"b", u"c"}},        {u"b", true, {u"a", u"c"}},       {u"c", true, {u"a", u"b"}},
        {u"d", false, {u"a", u"b", u"c"}}, {u"", false, {u"a", u"b", u"c"}},
    };
    for (const Case& c : cases) {
        List list{u"a", u"b", u"c"};
        EXPECT_EQ(remove_registered_entry(list, c.path, 100), c.removed);
        EXPECT_EQ(list, c.after);
    }
    List dup{u"a", u"b", u"a"};
    EXPECT_TRUE(remove_registered_entry(dup, u"a", 100));
    EXPECT_EQ(dup, (List{u"b", u"a"}));
}

TEST(RegisteredFoldersTest, ReplaceChangesTheFirstEqualEntryOnly) {
    List list{u"a", u"b", u"a"};
    EXPECT_TRUE(replace_registered_entry(list, u"a", u"z", 100));
    EXPECT_EQ(list, (List{u"z", u"b", u"a"}));
    EXPECT_FALSE(replace_registered_entry(list, u"q", u"y", 100));
    EXPECT_FALSE(replace_registered_entry(list, u"b", u"", 100));
    // Beyond the capacity an entry is not in the list.
    EXPECT_FALSE(replace_registered_entry(list, u"a", u"y", 2));
    EXPECT_EQ(list, (List{u"z", u"b", u"a"}));
}

TEST(RegisteredFoldersTest, PruneAsksOnceForEachEntryAndRemovesConsecutiveVanishedOnes) {
    struct Case {
        List list;
        std::set<std::u16string> existing;
        List after;
    } cases[] = {
        {{}, {}, {}},
        {{u"a", u"b", u"c"}, {u"a", u"b", u"c"}, {u"a", u"b", u"c"}},
        {{u"a", u"b", u"c"}, {}, {}},
        // Two gone in a row: the second moves into the first's place and must still be seen.
        {{u"a", u"b", u"c", u"d"}, {u"a", u"d"}, {u"a", u"d"}},
        {{u"a", u"b", u"c", u"d"}, {u"b", u"c"}, {u"b", u"c"}},
        {{u"a", u"b", u"c", u"d"}, {u"a", u"b", u"c"}, {u"a", u"b", u"c"}},
    };
    for (const Case& c : cases) {
        List list = c.list;
        List asked;
        const int32_t removed = prune_registered_entries(list, 100, [&](const std::u16string& p) {
            asked.push_back(p);
            return c.existing.count(p) != 0;
        });
        EXPECT_EQ(list, c.after);
        EXPECT_EQ(asked, c.list);
        EXPECT_EQ(removed, static_cast<int32_t>(c.list.size() - c.after.size()));
    }
}

// The Part's sequences: each step is one notification with the source in force, the new item's
// folder and the target view's folder.
TEST(TreeSelectionTest, SourcesDecideWhetherTheControlMovesAndAViewOpens) {
    using S = TreeSelectionSource;
    using E = TreeSelectionEvent;
    struct Step {
        S source;
        E event;
        const char16_t* item;
        const char16_t* target;
        bool allow, open;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"a click on another folder opens it",
         {{S::user, E::changing_by_user, u"C:\\b", u"C:\\a", true, false},
          {S::user, E::changed, u"C:\\b", u"C:\\a", true, true}}},
        {"a click on the folder the target view shows reopens nothing",
         {{S::user, E::changing_by_user, u"C:\\a", u"C:\\a", true, false},
          {S::user, E::changed, u"C:\\a", u"C:\\a", true, false}}},
        {"a click on the registered root empties the view",
         {{S::user, E::changed, u"", u"C:\\a", true, true}}},
        {"the control's own move after a deletion or collapse is refused",
         {{S::user, E::changing_by_program, u"C:\\b", u"C:\\a", false, false}}},
        {"Shift: the selection is removed silently",
         {{S::silent, E::changing_by_program, u"", u"C:\\a", true, false},
          {S::silent, E::changed, u"", u"C:\\a", true, false}}},
        {"releasing Shift reselects the active view's item without reopening it",
         {{S::silent, E::changing_by_program, u"C:\\a", u"C:\\a", true, false},
          {S::silent, E::changed, u"C:\\x", u"C:\\a", true, false}}},
        {"7610/7611: the folder opens while the selection stays empty",
         {{S::silent, E::changing_by_program, u"", u"C:\\a", true, false},
          {S::silent, E::changed, u"", u"C:\\a", true, false},
          {S::folder_only, E::changing_by_program, u"C:\\b", u"C:\\a", false, true}}},
        {"7610 on the folder already shown",
         {{S::folder_only, E::changing_by_program, u"C:\\a", u"C:\\a", false, false}}},
        {"go_to_path and linking select and open",
         {{S::apply, E::changing_by_program, u"C:\\b", u"C:\\a", true, false},
          {S::apply, E::changed, u"C:\\b", u"C:\\a", true, true}}},
        {"resetting a link removes the selection and empties the view",
         {{S::apply, E::changing_by_program, u"", u"C:\\a", true, false},
          {S::apply, E::changed, u"", u"C:\\a", true, true}}},
        {"a user change is allowed whatever source is left",
         {{S::silent, E::changing_by_user, u"C:\\b", u"C:\\a", true, false},
          {S::folder_only, E::changing_by_user, u"C:\\b", u"C:\\a", true, false}}},
    };
    for (const Case& c : cases) {
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            const TreeSelectionOutcome got = tree_selection_outcome(s.source, s.event, s.item, s.target);
            if (s.event != E::changed) {
                EXPECT_EQ(got.allow_change, s.allow) << c.name << " step " << i;
            }
            EXPECT_EQ(got.open_folder, s.open) << c.name << " step " << i;
        }
    }
}

TEST(TreeSelectionTest, ShiftTargetsTheOtherView) {
    EXPECT_EQ(tree_target_view(0, false), 0);
    EXPECT_EQ(tree_target_view(1, false), 1);
    EXPECT_EQ(tree_target_view(0, true), 1);
    EXPECT_EQ(tree_target_view(1, true), 0);
}

TEST(TreeDragTest, AutoScrollBand) {
    // 18-pixel items in a 300-pixel client with a 17-pixel scroll bar: the band is [18, 265].
    const AutoScrollBand band = auto_scroll_band(18, 300, 17);
    EXPECT_EQ(band.top, 18);
    EXPECT_EQ(band.bottom, 265);
    struct Case {
        int32_t y;
        AutoScroll expected;
    } cases[] = {{-5, AutoScroll::previous}, {0, AutoScroll::previous}, {17, AutoScroll::previous},
                 {18, AutoScroll::none},     {140, AutoScroll::none},   {265, AutoScroll::none},
                 {266, AutoScroll::next},    {299, AutoScroll::next}};
    for (const Case& c : cases) EXPECT_EQ(auto_scroll_direction(band, c.y), c.expected) << c.y;
    // A client lower than two items: the upper edge wins.
    const AutoScrollBand tiny = auto_scroll_band(18, 30, 17);
    EXPECT_EQ(auto_scroll_direction(tiny, 10), AutoScroll::previous);
    EXPECT_EQ(auto_scroll_direction(tiny, 20), AutoScroll::next);
}

TEST(TreeDropTest, FollowUpComesFromTheFilesNotFromTheShellsResult) {
    struct Case {
        const char* name;
        bool move;
        std::vector<bool> left;
        std::vector<bool> arrived;
        bool remove_marked;
        bool rescan_source;
        bool destination_changed;
    } cases[] = {
        {"every file moved", true, {true, true, true}, {true, true, true}, true, false, true},
        {"moved, though the destination copy vanished since", true, {true}, {false}, true, false, true},
        {"cancelled before anything moved", true, {false, false}, {false, false}, false, false, false},
        {"cancelled halfway: the moved ones go, the rest stay",
         true,
         {true, false, true},
         {true, false, true},
         false,
         true,
         true},
        {"a name already there was not overwritten", true, {false, true}, {true, true}, false, true, true},
        {"nothing marked", true, {}, {}, false, false, false},
        {"copy that arrived", false, {false, false}, {true, true}, false, false, true},
        {"copy cancelled halfway", false, {false, false}, {true, false}, false, false, true},
        {"copy that failed", false, {false}, {false}, false, false, false},
        // A copy never takes files from the source, whatever the source check says.
        {"copy with a source gone meanwhile", false, {true}, {false}, false, false, false},
    };
    for (const Case& c : cases) {
        const FileOperationFollowUp got = file_operation_follow_up(c.move, c.left, c.arrived);
        EXPECT_EQ(got.remove_marked, c.remove_marked) << c.name;
        EXPECT_EQ(got.rescan_source, c.rescan_source) << c.name;
        EXPECT_EQ(got.destination_changed, c.destination_changed) << c.name;
    }
}

TEST(FolderPathTest, JoinRefusesInsteadOfCutting) {
    constexpr size_t kCapacity = 12;
    struct Case {
        const char16_t* folder;
        const char16_t* name;
        const char16_t* expected;  // null: refused
    } cases[] = {
        {u"C:\\a", u"b", u"C:\\a\\b"},           {u"C:\\", u"b", u"C:\\b"},  // a drive root has its separator
        {u"C:\\abc", u"defg", u"C:\\abc\\defg"},  // 11 characters and the terminator: fits
        {u"C:\\abc", u"defgh", nullptr},          // one more: refused
        {u"C:\\abcdefghij", u"x", nullptr},      {u"C:\\", u"abcdefgh", u"C:\\abcdefgh"},
        {u"C:\\", u"abcdefghi", nullptr},        {u"C:\\a", u"*", u"C:\\a\\*"},
    };
    for (const Case& c : cases) {
        char16_t out[kCapacity];
        std::fill(out, out + kCapacity, u'#');
        const bool ok = join_folder_path(c.folder, c.name, out, kCapacity);
        EXPECT_EQ(ok, c.expected != nullptr) << std::u16string(c.folder).size();
        if (c.expected) {
            EXPECT_EQ(std::u16string(out), c.expected);
        } else {
            EXPECT_EQ(out[0], u'#');
        }
    }
    char16_t none[1] = {u'#'};
    EXPECT_FALSE(join_folder_path(u"", u"", none, 0));

    // In place, as the tree joins an entry onto its own folder buffer.
    char16_t buffer[kCapacity] = u"C:\\a";
    EXPECT_TRUE(join_folder_path(buffer, u"sub", buffer, kCapacity));
    EXPECT_EQ(std::u16string(buffer), u"C:\\a\\sub");
    EXPECT_FALSE(join_folder_path(buffer, u"long", buffer, kCapacity));
    EXPECT_EQ(std::u16string(buffer), u"C:\\a\\sub");
}

}  // namespace
