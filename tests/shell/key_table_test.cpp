#include "shell/core/key_table.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/shell/settings_file_builder.h"

namespace {

std::vector<uint8_t> stored(std::initializer_list<KeyEntry> entries) {
    std::vector<KeyEntry> list(entries);
    std::vector<uint8_t> bytes(list.size() * 6);
    encode_key_entries(list.data(), static_cast<int>(list.size()), bytes.data());
    return bytes;
}

const KeyEntry* find(const KeyTable& t, uint16_t cmd) {
    for (int i = 0; i < t.count; ++i)
        if (t.entries[i].cmd == cmd) return &t.entries[i];
    return nullptr;
}

TEST(KeyTableTest, MainDefaults) {
    KeyEntry t[kMainKeyCount];
    fill_default_main_keys(t);
    struct Case {
        int index;
        uint16_t cmd;
        uint8_t fVirt;
        uint16_t key;
    } cases[] = {{0, 7010, 1, 0},     {1, 7020, 1, 0x2E},  {3, 7040, 9, 'A'},  {5, 7050, 9, 'P'},
                 {17, 7151, 1, 0x1B}, {20, 7211, 1, 0x0D}, {28, 7311, 1, '1'}, {35, 7318, 1, '8'},
                 {39, 7410, 1, 0x70}, {46, 7530, 1, 0},    {52, 7805, 1, 0},   {53, 7810, 1, 0x25},
                 {56, 7813, 1, 0x22}, {59, 7830, 1, 'A'}};
    for (const Case& c : cases) {
        EXPECT_EQ(t[c.index].cmd, c.cmd) << c.index;
        EXPECT_EQ(t[c.index].fVirt, c.fVirt) << c.index;
        EXPECT_EQ(t[c.index].key, c.key) << c.index;
    }
    std::set<uint16_t> cmds;
    for (const KeyEntry& e : t) cmds.insert(e.cmd);
    EXPECT_EQ(cmds.size(), 60u);
    EXPECT_EQ(std::u16string(main_key_name(59)), u"アクティブウィンドウ切替（2画面表示）");
    EXPECT_EQ(std::u16string(main_key_name(24)), u"イメージ - 右回転保存(JEPGロスレス)");
}

TEST(KeyTableTest, ViewDefaults) {
    KeyEntry t[kViewKeyCount];
    fill_default_view_keys(t);
    struct Case {
        int index;
        uint16_t cmd;
        uint8_t fVirt;
        uint16_t key;
    } cases[] = {{0, 8000, 1, 0},     {4, 8011, 1, 0x27},  {6, 8030, 1, 0x08},  {7, 8031, 9, 'S'},
                 {15, 8100, 9, 0x25}, {25, 8125, 1, 0},    {30, 8150, 1, 0},    {34, 8203, 1, 0x23},
                 {39, 8215, 1, 0},    {43, 8232, 1, 'F'},  {47, 8303, 5, 0x28}, {52, 8330, 1, 'A'},
                 {53, 8401, 9, 'Z'},  {54, 8402, 13, 'Z'}, {60, 8408, 1, 0},    {61, 8411, 1, 0},
                 {68, 8418, 1, 0},    {69, 8421, 1, 0},    {82, 8434, 1, 0},    {83, 8441, 1, 0},
                 {89, 8447, 1, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(t[c.index].cmd, c.cmd) << c.index;
        EXPECT_EQ(t[c.index].fVirt, c.fVirt) << c.index;
        EXPECT_EQ(t[c.index].key, c.key) << c.index;
    }
    std::set<uint16_t> cmds;
    for (const KeyEntry& e : t) cmds.insert(e.cmd);
    EXPECT_EQ(cmds.size(), 90u);
}

TEST(KeyTableTest, MergeRules) {
    KeyEntry t[kMainKeyCount];
    fill_default_main_keys(t);
    const std::vector<uint8_t> s = stored({
        {0x11 | 0x08, 0x1234, 7010},  // Alt and a high key byte are dropped
        {0x01, 'Q', 7020},
        {0x01, 'W', 7020},  // only the first match counts
        {0x01, 'Q', 7021},  // the same key twice is kept as it is
        {0x09, 'Z', 9999},  // not a command of this table
    });
    merge_stored_keys(t, kMainKeyCount, s.data(), 5);
    EXPECT_EQ(t[0].fVirt, 0x09);
    EXPECT_EQ(t[0].key, 0x34);
    EXPECT_EQ(t[1].key, 'Q');
    EXPECT_EQ(t[2].key, 'Q');
    EXPECT_EQ(t[3].key, 'A');  // missing from the stored list: default stays
    EXPECT_EQ(t[3].fVirt, 0x09);
    for (const KeyEntry& e : t) EXPECT_NE(e.cmd, 9999);

    // Only the entries actually present are searched.
    KeyEntry u[kMainKeyCount];
    fill_default_main_keys(u);
    merge_stored_keys(u, kMainKeyCount, s.data(), 1);
    EXPECT_EQ(u[1].key, 0x2E);
}

TEST(KeyTableTest, MainSlotSizeLimit) {
    for (size_t entries : {1u, 60u, 61u}) {
        std::vector<uint8_t> bytes(entries * 6, 0);
        const std::vector<uint8_t> one = stored({{0x01, 'K', 7010}});
        std::copy(one.begin(), one.end(), bytes.begin());
        SettingsFileBuilder b;
        b.data(kMainKeySlot, bytes);
        SettingsReader r = settings_parse(b.bytes().data(), b.bytes().size());
        KeyTable t;
        load_main_key_table(r, &t);
        EXPECT_EQ(t.count, 60);
        EXPECT_EQ(find(t, 7010)->key, entries <= 60 ? 'K' : 0) << entries;
    }
}

TEST(KeyTableTest, ViewTableFromSlot138AndRoundTrip) {
    KeyTable original;
    original.count = kViewKeyCount;
    fill_default_view_keys(original.entries);
    original.entries[10].key = 'X';
    original.entries[10].fVirt = 0x05;
    SettingsWriter w = settings_begin_write(nullptr, 0);
    store_key_table(w, kViewKeySlot, original.entries, kViewKeyCount);
    const std::vector<uint8_t> image = settings_build_image(w);
    SettingsReader r = settings_parse(image.data(), image.size());
    EXPECT_EQ(settings_entry(r, kViewKeySlot).size, 540);
    KeyTable loaded;
    load_view_key_table(r, &loaded);
    ASSERT_EQ(loaded.count, 90);
    for (int i = 0; i < 90; ++i) {
        EXPECT_EQ(loaded.entries[i].cmd, original.entries[i].cmd);
        EXPECT_EQ(loaded.entries[i].key, original.entries[i].key);
        EXPECT_EQ(loaded.entries[i].fVirt, original.entries[i].fVirt);
    }
    // Without a file both tables are their defaults.
    SettingsReader none;
    KeyTable main_keys;
    load_main_key_table(none, &main_keys);
    EXPECT_EQ(find(main_keys, 7150)->key, 0x74);
}

}  // namespace
