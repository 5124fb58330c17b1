#include "shell/core/menu_rules.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

#include "codecs/file_type.h"
#include "tests/shell/main_menu_texts.h"

namespace {

std::vector<KeyEntry> default_keys() {
    std::vector<KeyEntry> keys(kMainKeyCount);
    fill_default_main_keys(keys.data());
    return keys;
}

KeyEntry* entry_for(std::vector<KeyEntry>& keys, uint16_t cmd) {
    for (KeyEntry& e : keys)
        if (e.cmd == cmd) return &e;
    return nullptr;
}

TEST(MenuRulesTest, KeyTexts) {
    struct Case {
        uint8_t fVirt;
        uint16_t key;
        const char16_t* text;
    } cases[] = {
        {0x09, 'A', u"Ctrl+A"},   {0x0D, 'Z', u"Ctrl+Shift+Z"},
        {0x05, 0x25, u"Shift+←"}, {0x01, 0x60, u"[Num] 0 "},  // the trailing blank belongs to the name
        {0x01, 0x61, u"[Num] 1"}, {0x01, 0x6F, u"[Num] /"},
        {0x01, 0x7B, u"F12"},     {0x01, 0xDC, u"\\"},
        {0x01, 0xE2, u"_"},       {0x01, 0xC0, u"@"},
        {0x01, '7', u"7"},        {0x11, 'X', u"X"},   // Alt is never shown
        {0x19, 'X', u"Ctrl+X"},                        // nor beside Ctrl
        {0x01, 0, u""},                                // no key
        {0x09, 0, u""},                                // a modifier alone names no key
        {0x01, 0x5B, u""},                             // a code without a name
        {0x01, 0x6C, u""},        {0x01, 0x141, u""},  // above the table
    };
    for (const Case& c : cases) {
        EXPECT_EQ(menu_key_text(KeyEntry{c.fVirt, c.key, 7010}), std::u16string(c.text))
            << int(c.fVirt) << " " << c.key;
    }
    for (int v = 0; v < 16; ++v) {
        const std::u16string m = menu_modifier_text(static_cast<uint8_t>(v));
        EXPECT_EQ(m.empty(), v != 5 && v != 9 && v != 13) << v;
    }
}

TEST(MenuRulesTest, EveryItemOfEveryPopupShowsItsText) {
    const std::vector<KeyEntry> keys = default_keys();
    MenuLabelSet set;
    fill_menu_labels(keys.data(), &set);
    for (const main_menu_texts::Popup& expected : main_menu_texts::popups()) {
        SCOPED_TRACE(expected.position);
        // The Tools popup's rows are the fixed part below the placeholder or the tool items.
        std::vector<main_menu_texts::Item> items = expected.items;
        if (expected.position == kPopupTools) {
            ASSERT_EQ(items.front().id, kNoToolItemId);
            EXPECT_EQ(std::u16string(set.labels[menu_label_index(keys.data(), kNoToolItemId)].text),
                      items.front().text);
            items.erase(items.begin());
        }
        const MenuRows rows = popup_rows(expected.position);
        ASSERT_EQ(rows.count, static_cast<int>(items.size()));
        for (int i = 0; i < rows.count; ++i) {
            const MenuRow& row = rows.rows[i];
            const main_menu_texts::Item& item = items[static_cast<size_t>(i)];
            EXPECT_EQ(row.id, item.id) << i;
            if (item.id == main_menu_texts::kSeparator) {
                EXPECT_EQ(row.kind, MenuRowKind::separator) << i;
                continue;
            }
            const int label = menu_label_index(keys.data(), row.id);
            ASSERT_GE(label, 0) << row.id;
            EXPECT_EQ(std::u16string(set.labels[label].text), item.text) << row.id;
        }
    }
    // Label i belongs to key-table entry i; the labels after the table have no key.
    for (int i = 0; i < kMainKeyCount; ++i) EXPECT_EQ(menu_label_index(keys.data(), keys[i].cmd), i);
    for (int i = kHelpLabelFirst; i < kMenuLabelCount; ++i) {
        ASSERT_NE(set.labels[i].text, nullptr) << i;
        EXPECT_EQ(std::u16string(set.labels[i].key), u"") << i;
    }
    struct Case {
        uint16_t id;
        int label;
    } fixed[] = {{7411, 60}, {7430, 65}, {7310, 66}, {7120, 67},
                 {7610, 68}, {7640, 75}, {7160, 18}, {9999, -1}};
    for (const Case& c : fixed) EXPECT_EQ(menu_label_index(keys.data(), c.id), c.label) << c.id;
}

TEST(MenuRulesTest, LabelsCarryTheBoundKeys) {
    std::vector<KeyEntry> keys = default_keys();
    entry_for(keys, 7010)->key = 0x60;
    entry_for(keys, 7070)->fVirt = 0x0D;
    entry_for(keys, 7070)->key = 'Z';
    MenuLabelSet set;
    fill_menu_labels(keys.data(), &set);
    struct Case {
        uint16_t id;
        const char16_t* text;
        const char16_t* modifier;
        const char16_t* key;
    } cases[] = {
        {7040, u"すべて選択(&L)", u"Ctrl+", u"A"},
        {7150, u"サムネイル更新(&R)", u"", u"F5"},
        {7010, u"コメント表示/編集(&C)...", u"", u"[Num] 0 "},
        {7070, u"プロパティ(&R)", u"Ctrl+Shift+", u"Z"},
        {7090, u"終了(&X)", u"", u""},
        {7800, u"", u"", u""},  // filter, scroll and switch commands have no item
        {7830, u"", u"", u"A"},
        {7313, u"", u"", u"3"},  // tool items start empty
    };
    for (const Case& c : cases) {
        const MenuItemLabel& l = set.labels[menu_label_index(keys.data(), c.id)];
        EXPECT_EQ(std::u16string(l.text), c.text) << c.id;
        EXPECT_EQ(std::u16string(l.modifier), c.modifier) << c.id;
        EXPECT_EQ(std::u16string(l.key), c.key) << c.id;
    }
    // The tool labels show what is written into the set's tool buffers.
    write_tool_item_text(u"Viewer", 2, set.tool_text[2]);
    EXPECT_EQ(std::u16string(set.labels[menu_label_index(keys.data(), 7313)].text), u"Viewer(&3)");
}

TEST(MenuRulesTest, RebuiltLabelsLeaveTheOldMenusTextsAlone) {
    std::vector<KeyEntry> keys = default_keys();
    static MenuLabelStore store;
    EXPECT_EQ(store.live(), nullptr);
    MenuLabelSet& first = store.rebuild(keys.data());
    write_tool_item_text(u"Old tool", 0, first.tool_text[0]);
    const MenuItemLabel* old_refresh = &first.labels[16];
    const MenuItemLabel* old_tool = &first.labels[28];
    entry_for(keys, 7150)->key = 0x75;
    MenuLabelSet& second = store.rebuild(keys.data());
    EXPECT_NE(&first, &second);
    EXPECT_EQ(store.live(), &second);
    // Menus made from the first set can still draw while they wait to be destroyed.
    EXPECT_EQ(std::u16string(old_refresh->key), u"F5");
    EXPECT_EQ(std::u16string(old_tool->text), u"Old tool(&1)");
    EXPECT_EQ(std::u16string(second.labels[16].key), u"F6");
    EXPECT_EQ(std::u16string(second.labels[28].text), u"");
}

TEST(MenuRulesTest, ToolItemTexts) {
    const std::u16string forty = u"0123456789abcdefghijklmnopqrstuvwxyzABCD";
    std::u16string pair_at_cut(26, u'x');
    pair_at_cut += u"\U0001F600tail";  // a surrogate pair in units 27 and 28
    struct Case {
        std::u16string name;
        int slot;
        std::u16string text;
    } cases[] = {
        {u"", 0, u"(&1)"},
        {u"Editor", 7, u"Editor(&8)"},
        {forty, 2, forty.substr(0, 27) + u"(&3)"},
        {forty.substr(0, 27), 4, forty.substr(0, 27) + u"(&5)"},
        {forty.substr(0, 28), 5, forty.substr(0, 27) + u"(&6)"},
        {pair_at_cut, 0, std::u16string(26, u'x') + u"(&1)"},
        {u"画像編集ソフト", 1, u"画像編集ソフト(&2)"},
    };
    for (const Case& c : cases) {
        char16_t out[kToolTextChars + 4];
        for (char16_t& ch : out) ch = u'#';
        write_tool_item_text(c.name, c.slot, out);
        EXPECT_EQ(std::u16string(out), c.text) << c.slot;
        EXPECT_LE(std::u16string(out).size() + 1, static_cast<size_t>(kToolTextChars));
        EXPECT_EQ(out[kToolTextChars], u'#');  // nothing written past the buffer
    }
}

// The conditions under which every item of the state table is enabled and nothing is checked.
MenuConditions permissive() {
    MenuConditions c;
    c.free = true;
    c.has_list = true;
    c.idle = true;
    c.has_folder = true;
    c.count = 5;
    c.marked = 1;
    c.first_marked_format = kFileJpeg;
    c.other_idle = true;
    c.other_same_folder = false;
    c.other_has_entries = true;
    c.view_layout = 3;  // no layout item checked
    c.hidden_mask = 2;
    return c;
}

// -1 when the popup has no row for the item: it keeps its state.
int state_of(int popup, uint16_t id, const MenuConditions& c) {
    const MenuStateRows rows = menu_state_rows();
    for (int i = 0; i < rows.count; ++i) {
        const MenuStateRow& r = rows.rows[i];
        if (r.id == id && (r.popups & (1u << popup)))
            return static_cast<int>(menu_item_state(r.condition, c));
    }
    return -1;
}

TEST(MenuRulesTest, ItemStates) {
    using Change = std::function<void(MenuConditions&)>;
    const Change none = [](MenuConditions&) {};
    constexpr int E = kItemEnabled, G = kItemGrayed, K = kItemChecked, KEEP = -1;
    const int F = kPopupFile, V = kPopupView, I = kPopupImage, T = kPopupTools, C = kPopupThumbnail,
              S = kPopupViewSubmenu, H = kPopupHelp, X = kPopupTree;
    struct Case {
        int popup;
        uint16_t id;
        Change change;
        int state;
    } cases[] = {
        {F, 7010, none, E},
        {C, 7010, [](MenuConditions& c) { c.first_marked_format = kFilePng; }, E},
        {F, 7010, [](MenuConditions& c) { c.first_marked_format = kFileBmp; }, G},
        {F, 7010, [](MenuConditions& c) { c.first_marked_format = kFileUnknown; }, G},
        {F, 7010, [](MenuConditions& c) { c.marked = 2; }, G},
        {F, 7010, [](MenuConditions& c) { c.free = false; }, G},
        {F, 7020, [](MenuConditions& c) { c.marked = 3; }, E},
        {C, 7020, [](MenuConditions& c) { c.other_idle = false, c.other_same_folder = true; }, G},
        {F, 7020, [](MenuConditions& c) { c.other_idle = false; }, E},  // busy elsewhere
        {F, 7020, [](MenuConditions& c) { c.other_same_folder = true; }, E},
        {F, 7020, [](MenuConditions& c) { c.idle = false; }, G},
        {F, 7020, [](MenuConditions& c) { c.marked = 0; }, G},
        {F, 7020, [](MenuConditions& c) { c.free = false; }, G},
        {F, 7021, [](MenuConditions& c) { c.marked = 2; }, G},
        {C, 7021, [](MenuConditions& c) { c.other_idle = false, c.other_same_folder = true; }, G},
        {F, 7021, none, E},
        {F, 7040, [](MenuConditions& c) { c.marked = c.count; }, K},
        {C, 7040, none, E},
        {F, 7040, [](MenuConditions& c) { c.count = 0, c.marked = 0; }, E},
        {F, 7040, [](MenuConditions& c) { c.has_list = false; }, G},
        {F, 7040, [](MenuConditions& c) { c.idle = false, c.marked = c.count; }, G},
        {F, 7050, none, E},
        {F, 7050, [](MenuConditions& c) { c.has_folder = false; }, G},
        {F, 7050, [](MenuConditions& c) { c.has_list = false; }, G},
        {F, 7050, [](MenuConditions& c) { c.free = false; }, G},
        {C, 7050, none, KEEP},
        {F, 7060, [](MenuConditions& c) { c.marked = 2; }, G},
        {F, 7070, [](MenuConditions& c) { c.marked = 0; }, G},
        {F, 7070, none, E},
        {F, 7090, none, KEEP},
        {V, 7110, [](MenuConditions& c) { c.tree_auto_show = true; }, K},
        {V, 7110, none, E},
        {V, 7111, [](MenuConditions& c) { c.info_list_shown = true; }, K},
        {V, 7130, [](MenuConditions& c) { c.preview_enabled = true; }, K},
        {V, 7140, [](MenuConditions& c) { c.info_area_shown = true; }, K},
        {V, 7140, [](MenuConditions& c) { c.preview_enabled = true; }, E},
        {S, 7121, [](MenuConditions& c) { c.view_layout = 0; }, K},
        {S, 7122, [](MenuConditions& c) { c.view_layout = 0; }, E},
        {S, 7122, [](MenuConditions& c) { c.view_layout = 1; }, K},
        {V, 7123, [](MenuConditions& c) { c.view_layout = 2; }, K},
        {S, 7121, [](MenuConditions& c) { c.view_layout = 2; }, E},
        {V, 7160, [](MenuConditions& c) { c.hidden_mask = 0; }, K},
        {V, 7160, none, E},
        {X, 7160, [](MenuConditions& c) { c.hidden_mask = 0; }, KEEP},  // the tree's own popup
        {V, 7150, none, KEEP},
        {I, 7210, none, E},
        {C, 7211, [](MenuConditions& c) { c.image_window_open = true; }, G},
        {I, 7212, [](MenuConditions& c) { c.count = 0; }, G},
        {I, 7212, [](MenuConditions& c) { c.marked = 0, c.idle = false; }, E},
        {I, 7215, [](MenuConditions& c) { c.count = 0; }, E},
        {C, 7215, [](MenuConditions& c) { c.count = 0, c.other_has_entries = false; }, G},
        {I, 7220, [](MenuConditions& c) { c.marked = 0; }, G},
        {C, 7221, [](MenuConditions& c) { c.idle = false; }, G},
        {I, 7221, [](MenuConditions& c) { c.free = false; }, G},
        {I, 7220, [](MenuConditions& c) { c.marked = 4; }, E},
        {I, 7213, none, E},
        {I, 7213, [](MenuConditions& c) { c.has_list = false; }, G},
        {I, 7213, [](MenuConditions& c) { c.image_window_open = true; }, G},
        {I, 7213, [](MenuConditions& c) { c.idle = false; }, G},
        {C, 7213, none, KEEP},
        {I, 7240, [](MenuConditions& c) { c.count = 0; }, G},
        {I, 7240, [](MenuConditions& c) { c.free = false; }, G},
        {I, 7240, [](MenuConditions& c) { c.marked = 0; }, E},
        {I, 7230, none, E},
        {I, 7230, [](MenuConditions& c) { c.batch_window_exists = true; }, G},
        {I, 7230, [](MenuConditions& c) { c.other_idle = false; }, G},
        {I, 7230, [](MenuConditions& c) { c.has_list = false; }, G},
        {I, 7230, [](MenuConditions& c) { c.free = false; }, E},  // the conversion guards itself
        {T, 7320, [](MenuConditions& c) { c.marked = 2; }, G},
        {T, 7320, none, E},
        {T, 7330, [](MenuConditions& c) { c.batch_running = true; }, G},
        {T, 7340, [](MenuConditions& c) { c.other_idle = false; }, G},
        {T, 7340, [](MenuConditions& c) { c.count = 0, c.marked = 0; }, E},
        {H, 7430, none, KEEP},
    };
    for (const Case& c : cases) {
        MenuConditions conditions = permissive();
        c.change(conditions);
        EXPECT_EQ(state_of(c.popup, c.id, conditions), c.state) << c.popup << " " << c.id;
    }
}

TEST(MenuRulesTest, ViewConditionsComeFromBothViews) {
    static ViewState active;
    static ViewState other;
    active = ViewState{};
    other = ViewState{};
    std::vector<FileEntry> entries(4);
    for (FileEntry& e : entries) e = FileEntry{};
    entries[0].load_info.format = kFilePng;
    entries[1].load_info.format = kFileBmp;
    entries[1].marked = kEntryMarked;
    entries[3].load_info.format = kFileJpeg;
    entries[3].marked = kEntryMarked;
    active.entries = entries.data();
    active.count = 4;
    active.marked_count = 2;
    active.busy = kViewIdle;
    const std::u16string folder = u"C:\\pictures";
    folder.copy(active.folder, folder.size());
    folder.copy(other.folder, folder.size());
    other.busy = kViewBuilding;

    MenuConditions c;
    read_view_conditions(active, other, &c);
    EXPECT_TRUE(c.has_list);
    EXPECT_TRUE(c.idle);
    EXPECT_TRUE(c.has_folder);
    EXPECT_EQ(c.count, 4);
    EXPECT_EQ(c.marked, 2);
    EXPECT_EQ(c.first_marked_format, kFileBmp);
    EXPECT_FALSE(c.other_idle);
    EXPECT_TRUE(c.other_same_folder);
    EXPECT_FALSE(c.other_has_entries);

    other.folder[3] = u'q';
    active.entries = nullptr;  // a count without a list is never walked
    read_view_conditions(active, other, &c);
    EXPECT_FALSE(c.has_list);
    EXPECT_FALSE(c.other_same_folder);
    EXPECT_EQ(c.first_marked_format, kFileUnknown);
}

TEST(MenuRulesTest, ToolbarButtonsAndTips) {
    const ToolbarButton* buttons = toolbar_buttons();
    int next_image = 0;
    std::vector<int> separators;
    for (int i = 0; i < kToolbarButtonCount; ++i) {
        if (buttons[i].kind == ToolbarButtonKind::separator) {
            EXPECT_EQ(buttons[i].id, kToolbarSeparatorId);
            separators.push_back(i);
            continue;
        }
        EXPECT_EQ(buttons[i].image, next_image++) << i;
    }
    EXPECT_EQ(next_image, kToolbarImageCount);
    EXPECT_EQ(separators, (std::vector<int>{2, 6, 8, 11, 14}));
    EXPECT_EQ(buttons[15].id, kColumnsButtonId);

    std::vector<KeyEntry> keys = default_keys();
    // Without any key bound, each tip is the button's own text.
    std::vector<KeyEntry> no_keys = keys;
    for (KeyEntry& e : no_keys) e.key = 0;
    std::vector<main_menu_texts::Item> shown;
    for (int i = 0; i < kToolbarButtonCount; ++i)
        if (buttons[i].kind != ToolbarButtonKind::separator) shown.push_back({buttons[i].id, nullptr});
    ASSERT_EQ(shown.size(), main_menu_texts::toolbar_tips().size());
    for (size_t i = 0; i < shown.size(); ++i) {
        const main_menu_texts::Item& expected = main_menu_texts::toolbar_tips()[i];
        EXPECT_EQ(shown[i].id, expected.id) << i;
        for (int b = 0; b < kToolbarButtonCount; ++b) {
            if (buttons[b].id == expected.id) {
                EXPECT_EQ(toolbar_tip_text(buttons[b], no_keys.data()), expected.text) << expected.id;
            }
        }
    }
    EXPECT_EQ(std::u16string(kSizeListTip), main_menu_texts::size_list_tip());
    EXPECT_EQ(std::u16string(kFilterListTip), main_menu_texts::filter_list_tip());
    auto tip = [&](uint16_t id) {
        for (int i = 0; i < kToolbarButtonCount; ++i)
            if (buttons[i].id == id) return toolbar_tip_text(buttons[i], keys.data());
        return std::u16string(u"?");
    };
    EXPECT_EQ(tip(7150), u"サムネイル更新 (F5)");
    EXPECT_EQ(tip(7151), u"中止/消去 (Esc)");
    EXPECT_EQ(tip(7121), u"サムネイルビュー並べて表示 (S)");
    EXPECT_EQ(tip(7110), u"フォルダツリー自動表示");
    EXPECT_EQ(tip(kColumnsButtonId), u"表示列数");
    entry_for(keys, 7150)->key = 0;
    entry_for(keys, 7141)->fVirt = 0x0D;
    entry_for(keys, 7141)->key = 'R';
    EXPECT_EQ(tip(7150), u"サムネイル更新");
    EXPECT_EQ(tip(7141), u"表示情報設定 (Ctrl+Shift+R)");
}

TEST(MenuRulesTest, SizeListEntries) {
    SizePreset presets[kSizePresetCount] = {};
    presets[0] = {200, 150};
    presets[7] = {32, 800};
    const SizePreset box = {160, 120};
    const std::vector<std::u16string> expected = {
        u"160x120", u"1. 200x150", u"2. -", u"3. -",      u"4. -",
        u"5. -",    u"6. -",       u"7. -", u"8. 32x800", main_menu_texts::size_register_entry()};
    for (int i = 0; i <= kSizeRegisterEntry; ++i)
        EXPECT_EQ(size_list_entry_text(i, box, presets), expected[static_cast<size_t>(i)]) << i;
    // A preset with only one value is empty.
    EXPECT_EQ(preset_entry_text(2, SizePreset{0, 90}), u"3. -");
}

TEST(MenuRulesTest, ChoosingASizeEntry) {
    struct Case {
        int entry;
        SizePreset preset;  // preset 1 (entry 2) before the choice
        SizeChoice choice;
        SizePreset box_after;
        SizePreset preset_after;
    } cases[] = {
        {0, {200, 150}, SizeChoice::nothing, {160, 120}, {200, 150}},
        {9, {200, 150}, SizeChoice::open_dialog, {160, 120}, {200, 150}},
        {10, {200, 150}, SizeChoice::open_dialog, {160, 120}, {200, 150}},
        {-1, {200, 150}, SizeChoice::open_dialog, {160, 120}, {200, 150}},
        {2, {200, 150}, SizeChoice::apply_preset, {200, 150}, {200, 150}},
        {2, {160, 120}, SizeChoice::same_size, {160, 120}, {160, 120}},
        {2, {0, 0}, SizeChoice::store_current, {160, 120}, {160, 120}},
    };
    for (const Case& c : cases) {
        SizePreset presets[kSizePresetCount] = {};
        presets[1] = c.preset;
        SizePreset box = {160, 120};
        const SizeChoice choice = choose_size_entry(c.entry, &box, presets);
        EXPECT_EQ(choice, c.choice) << c.entry;
        EXPECT_EQ(box.width, c.box_after.width) << c.entry;
        EXPECT_EQ(box.height, c.box_after.height) << c.entry;
        EXPECT_EQ(presets[1].width, c.preset_after.width) << c.entry;
        EXPECT_EQ(presets[1].height, c.preset_after.height) << c.entry;
    }
    // An empty preset takes the size once; choosing it again with the same box changes nothing.
    SizePreset presets[kSizePresetCount] = {};
    SizePreset box = {144, 108};
    EXPECT_EQ(choose_size_entry(5, &box, presets), SizeChoice::store_current);
    EXPECT_EQ(choose_size_entry(5, &box, presets), SizeChoice::same_size);
    EXPECT_EQ(box.width, 144);
}

TEST(MenuRulesTest, RegisteredRowsAreClampedOrEmpty) {
    struct Case {
        uint32_t width, height;
        int32_t stored_width, stored_height;
    } cases[] = {
        {20, 900, 32, 800}, {160, 120, 160, 120}, {32, 800, 32, 800}, {31, 801, 32, 800},
        {999, 1, 800, 32},  {0, 100, 0, 0},       {100, 0, 0, 0},     {0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const SizePreset p = preset_from_row(c.width, c.height);
        EXPECT_EQ(p.width, c.stored_width) << c.width << "x" << c.height;
        EXPECT_EQ(p.height, c.stored_height) << c.width << "x" << c.height;
    }
}

TEST(MenuRulesTest, FilterEntries) {
    const std::vector<const char16_t*>& expected = main_menu_texts::filter_entries();
    ASSERT_EQ(static_cast<size_t>(kFilterCount), expected.size());
    for (int i = 0; i < kFilterCount; ++i)
        EXPECT_EQ(std::u16string(filter_entry_text(i)), expected[static_cast<size_t>(i)]);
    EXPECT_EQ(std::u16string(filter_entry_text(6)), u"");
}

}  // namespace
