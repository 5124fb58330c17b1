#include "imagewin/core/command_labels.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

TEST(CommandLabelsTest, ModifierAndKeyNames) {
    struct Modifier {
        uint8_t fVirt;
        const char16_t* name;
    } modifiers[] = {{1, u""}, {5, u"Shift+"}, {9, u"Ctrl+"}, {13, u"Ctrl+Shift+"},
                     {0, u""}, {17, u""},      {25, u""},     {0x0D | 0x10, u""}};
    for (const Modifier& m : modifiers)
        EXPECT_EQ(std::u16string(modifier_name(m.fVirt)), m.name) << int(m.fVirt);

    struct Key {
        uint16_t vk;
        const char16_t* name;
    } keys[] = {{0x08, u"BackSpace"}, {0x0D, u"Enter"},   {0x21, u"PageUp"},   {0x25, u"←"},
                {0x28, u"↓"},         {0x2E, u"Delete"},  {0x30, u"0"},        {0x39, u"9"},
                {0x41, u"A"},         {0x5A, u"Z"},       {0x60, u"[Num] 0 "}, {0x69, u"[Num] 9"},
                {0x6A, u"[Num] *"},   {0x6B, u"[Num] +"}, {0x6C, u""},         {0x6F, u"[Num] /"},
                {0x70, u"F1"},        {0x7B, u"F12"},     {0x7C, u""},         {0xBA, u":"},
                {0xDC, u"\\"},        {0xE2, u"_"},       {0x00, u""},         {0x2F, u""},
                {0xB3, u""},          {0xFF, u""},        {0x3A, u""},         {0x5B, u""}};
    for (const Key& k : keys) EXPECT_EQ(std::u16string(key_name(k.vk)), k.name) << k.vk;
}

TEST(CommandLabelsTest, EveryImageWindowCommandHasItsText) {
    KeyEntry defaults[kViewKeyCount];
    fill_default_view_keys(defaults);
    CommandLabels labels;
    update_command_labels(defaults, &labels);
    std::set<std::u16string> texts;
    for (int i = 0; i < kViewKeyCount; ++i) {
        EXPECT_EQ(labels.rows[i].cmd, defaults[i].cmd);
        EXPECT_NE(labels.rows[i].text[0], u'\0') << defaults[i].cmd;
        texts.insert(labels.rows[i].text);
    }
    // Commands share no text, so no menu line is ambiguous.
    EXPECT_EQ(texts.size(), static_cast<size_t>(kViewKeyCount));

    struct Case {
        uint16_t cmd;
        const char16_t* text;
    } cases[] = {{8010, u"先頭へ"},
                 {8012, u"戻る"},
                 {8013, u"進む"},
                 {8011, u"末尾へ"},
                 {8031, u"名前を付けて保存"},
                 {8032, u"上書き保存(&S)"},
                 {8040, u"右回転保存(JEPGロスレス)(&R)"},
                 {8050, u"削除(&D)"},
                 {8060, u"コメント表示/編集(&E)..."}};
    for (const Case& c : cases) EXPECT_EQ(std::u16string(command_text(c.cmd)), c.text) << c.cmd;
    EXPECT_EQ(std::u16string(command_text(7311)), u"");
    EXPECT_EQ(find_command_label(labels, 7311), nullptr);
}

TEST(CommandLabelsTest, LabelsAndTooltipsFollowTheBinding) {
    KeyEntry entries[kViewKeyCount];
    fill_default_view_keys(entries);
    // A stored Alt binding loses its Alt bit on loading; a media key has no name.
    const KeyEntry stored[] = {{static_cast<uint8_t>(kFVirtKey | kFAlt | kFControl), 'Q', 8111},
                               {kFVirtKey, 0xB3, 8112},
                               {static_cast<uint8_t>(kFVirtKey | kFShift), 0x70, 8000}};
    std::vector<uint8_t> bytes(sizeof(stored) / sizeof(stored[0]) * kKeyEntryBytes);
    encode_key_entries(stored, 3, bytes.data());
    merge_stored_keys(entries, kViewKeyCount, bytes.data(), 3);

    CommandLabels labels;
    update_command_labels(entries, &labels);
    struct Case {
        uint16_t cmd;
        const char16_t* modifier;
        const char16_t* key;
        const char16_t* tooltip;
    } cases[] = {
        {8111, u"Ctrl+", u"Q", u"画面に合わせて表示 (Ctrl+Q)"},
        {8112, u"", u"", u"等倍表示<100%>"},
        {8000, u"Shift+", u"F1", u"ファイルリスト表示 (Shift+F1)"},
        {8402, u"Ctrl+Shift+", u"Z", u"やり直し (Ctrl+Shift+Z)"},
        {8010, u"", u"←", u"先頭へ (←)"},
        {8150, u"", u"", u"選択領域表示"},
    };
    for (const Case& c : cases) {
        const CommandLabel* label = find_command_label(labels, c.cmd);
        ASSERT_NE(label, nullptr) << c.cmd;
        EXPECT_EQ(std::u16string(label->modifier), c.modifier) << c.cmd;
        EXPECT_EQ(std::u16string(label->key), c.key) << c.cmd;
        EXPECT_EQ(command_tooltip(*label), c.tooltip) << c.cmd;
    }

    // Rows are updated in place: a menu item's pointer sees the new key.
    const CommandLabel* row = find_command_label(labels, 8111);
    entries[18] = KeyEntry{kFVirtKey, 0x20, 8111};
    update_command_labels(entries, &labels);
    EXPECT_EQ(find_command_label(labels, 8111), row);
    EXPECT_EQ(std::u16string(row->key), u"Space");
}

TEST(CommandLabelsTest, SaveOptionTooltipsNameTheirOwnButtons) {
    struct Case {
        uint16_t cmd;
        const char16_t* tip;
    } cases[] = {
        {8600, u"誤差拡散(減色用)"}, {8610, u"透過色選択/保存"},        {8620, u"ガンマ補正値保存"},
        {8630, u"インターレース"},   {8631, u"プログレッシブ"},         {8640, u"サンプル比 4:1"},
        {8642, u"サンプル比 1:1"},   {8650, u"すべてのマーカーを破棄"}, {8652, u"すべてのマーカーを保存"},
        {8660, u"対象外領域削除"},   {8670, u"コメント作成/保存"}};
    for (const Case& c : cases) {
        ASSERT_NE(save_option_tooltip(c.cmd), nullptr) << c.cmd;
        EXPECT_EQ(std::u16string(save_option_tooltip(c.cmd)), c.tip) << c.cmd;
    }
    for (uint16_t cmd : kEditSaveOptionCommands) EXPECT_NE(save_option_tooltip(cmd), nullptr) << cmd;
    EXPECT_EQ(save_option_tooltip(8330), nullptr);
    EXPECT_EQ(save_option_tooltip(8000), nullptr);
    // Every other bar button is an image-window command with a text.
    for (uint16_t cmd : kSingleViewBarCommands) EXPECT_NE(command_text(cmd)[0], u'\0') << cmd;
    for (uint16_t cmd : kEditBarCommands) EXPECT_NE(command_text(cmd)[0], u'\0') << cmd;
}

TEST(CommandLabelsTest, ImageAcceleratorsCarryTheToolKeysOfTheMainTable) {
    KeyEntry view[kViewKeyCount];
    KeyEntry main_keys[kMainKeyCount];
    fill_default_view_keys(view);
    fill_default_main_keys(main_keys);
    main_keys[30] = KeyEntry{static_cast<uint8_t>(kFVirtKey | kFControl), 'T', 7313};
    KeyEntry all[kImageAcceleratorCount];
    compose_image_accelerators(view, main_keys, all);
    for (int i = 0; i < kViewKeyCount; ++i) EXPECT_EQ(all[i].cmd, view[i].cmd);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(all[kViewKeyCount + i].cmd, 7311 + i);
    EXPECT_EQ(all[kViewKeyCount + 2].key, 'T');
    EXPECT_EQ(all[kViewKeyCount + 2].fVirt, kFVirtKey | kFControl);
}

}  // namespace
