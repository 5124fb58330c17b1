#include "shell/core/key_table.h"

#include <cstring>

namespace {

// Virtual-key codes of the default bindings.
constexpr uint16_t kVkBack = 0x08, kVkTab = 0x09, kVkReturn = 0x0D, kVkEscape = 0x1B, kVkSpace = 0x20,
                   kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23, kVkLeft = 0x25, kVkUp = 0x26,
                   kVkRight = 0x27, kVkDown = 0x28, kVkDelete = 0x2E, kVkF1 = 0x70, kVkF5 = 0x74;
constexpr uint8_t kPlain = kFVirtKey;
constexpr uint8_t kCtrl = kFVirtKey | kFControl;
constexpr uint8_t kShift = kFVirtKey | kFShift;
constexpr uint8_t kCtrlShift = kFVirtKey | kFControl | kFShift;

struct NamedKey {
    uint16_t cmd;
    uint8_t fVirt;
    uint16_t key;
    const char16_t* name;
};

const NamedKey kMainDefaults[kMainKeyCount] = {
    {7010, kPlain, 0, u"ファイル - コメント表示/編集"},
    {7020, kPlain, kVkDelete, u"ファイル - ファイル削除"},
    {7021, kPlain, 'N', u"ファイル - ファイル名変更"},
    {7040, kCtrl, 'A', u"ファイル - すべて選択"},
    {7060, kPlain, 0, u"ファイル - 壁紙に設定"},
    {7050, kCtrl, 'P', u"ファイル - サムネイル印刷"},
    {7070, kPlain, 0, u"ファイル - プロパティ"},
    {7090, kPlain, 0, u"ファイル - 終了"},
    {7110, kPlain, 0, u"表示 - フォルダツリー自動表示"},
    {7111, kPlain, 0, u"表示 - テキスト(Exif)情報表示"},
    {7121, kPlain, 'S', u"表示 - サムネイルビュー - 並べて表示"},
    {7122, kPlain, 'D', u"表示 - サムネイルビュー - ビュー1表示"},
    {7123, kPlain, 'F', u"表示 - サムネイルビュー - ビュー2表示"},
    {7130, kPlain, 0, u"表示 - プレビュー機能有効"},
    {7140, kPlain, 0, u"表示 - 情報領域表示"},
    {7141, kPlain, 0, u"表示 - 表示情報設定"},
    {7150, kPlain, kVkF5, u"表示 - サムネイル更新"},
    {7151, kPlain, kVkEscape, u"表示 - 中止/消去"},
    {7160, kPlain, 0, u"表示 - 隠し属性表示"},
    {7210, kPlain, kVkSpace, u"イメージ - シングルビュー(ウィンドウ)"},
    {7211, kPlain, kVkReturn, u"イメージ - シングルビュー(全画面)"},
    {7212, kPlain, kVkTab, u"イメージ - 編集/保存"},
    {7213, kPlain, 0, u"イメージ - スライドショー"},
    {7215, kPlain, 0, u"イメージ - Qelvoビューア(多重展開用)"},
    {7220, kPlain, 0, u"イメージ - 右回転保存(JEPGロスレス)"},
    {7221, kPlain, 0, u"イメージ - 左回転保存(JEPGロスレス)"},
    {7230, kPlain, 0, u"イメージ - 一括変換"},
    {7240, kPlain, 0, u"イメージ - 一括リネーム"},
    {7311, kPlain, '1', u"ツール - 登録ツール1"},
    {7312, kPlain, '2', u"ツール - 登録ツール2"},
    {7313, kPlain, '3', u"ツール - 登録ツール3"},
    {7314, kPlain, '4', u"ツール - 登録ツール4"},
    {7315, kPlain, '5', u"ツール - 登録ツール5"},
    {7316, kPlain, '6', u"ツール - 登録ツール6"},
    {7317, kPlain, '7', u"ツール - 登録ツール7"},
    {7318, kPlain, '8', u"ツール - 登録ツール8"},
    {7320, kPlain, 0, u"ツール - 関連付け起動"},
    {7330, kPlain, 0, u"ツール - ツール登録"},
    {7340, kPlain, 0, u"ツール - オプション"},
    {7410, kPlain, kVkF1, u"ヘルプ - ヘルプ表示"},
    {7512, kPlain, 0, u"表示列数 - 2 列"},
    {7513, kPlain, 0, u"表示列数 - 3 列"},
    {7514, kPlain, 0, u"表示列数 - 4 列"},
    {7516, kPlain, 0, u"表示列数 - 6 列"},
    {7518, kPlain, 0, u"表示列数 - 8 列"},
    {7522, kPlain, 0, u"表示列数 - 12 列"},
    {7530, kPlain, 0, u"表示列数 - 20 列"},
    {7800, kPlain, 0, u"フィルタ - ALL"},
    {7801, kPlain, 0, u"フィルタ - BMP"},
    {7802, kPlain, 0, u"フィルタ - PNG"},
    {7803, kPlain, 0, u"フィルタ - JPEG"},
    {7804, kPlain, 0, u"フィルタ - TIFF"},
    {7805, kPlain, 0, u"フィルタ - GIF"},
    {7810, kPlain, kVkLeft, u"スクロール(最上部へ)"},
    {7811, kPlain, kVkRight, u"スクロール(最下部へ)"},
    {7812, kPlain, kVkPrior, u"スクロール(1ページ上へ)"},
    {7813, kPlain, kVkNext, u"スクロール(1ページ下へ)"},
    {7814, kPlain, kVkUp, u"スクロール(上へ）"},
    {7815, kPlain, kVkDown, u"スクロール(下へ）"},
    {7830, kPlain, 'A', u"アクティブウィンドウ切替（2画面表示）"},
};

struct ViewKey {
    uint16_t cmd;
    uint8_t fVirt;
    uint16_t key;
};

const ViewKey kViewBound[] = {
    {8010, kPlain, kVkLeft}, {8012, kPlain, kVkUp},     {8013, kPlain, kVkDown},   {8011, kPlain, kVkRight},
    {8030, kPlain, kVkBack}, {8031, kCtrl, 'S'},        {8050, kPlain, kVkDelete}, {8070, kCtrl, 'P'},
    {8100, kCtrl, kVkLeft},  {8101, kCtrl, kVkRight},   {8110, kPlain, kVkSpace},  {8130, kPlain, kVkPrior},
    {8131, kPlain, kVkNext}, {8140, kCtrl, kVkUp},      {8141, kCtrl, kVkDown},    {8200, kPlain, kVkReturn},
    {8201, kPlain, kVkTab},  {8202, kPlain, kVkEscape}, {8203, kPlain, kVkEnd},    {8230, kPlain, 'S'},
    {8231, kPlain, 'D'},     {8232, kPlain, 'F'},       {8300, kShift, kVkLeft},   {8301, kShift, kVkRight},
    {8302, kShift, kVkUp},   {8303, kShift, kVkDown},   {8320, kPlain, 'C'},       {8321, kPlain, 'V'},
    {8330, kPlain, 'A'},     {8401, kCtrl, 'Z'},        {8402, kCtrlShift, 'Z'},
};

// The image-window commands in table order.
void view_commands(uint16_t* cmds) {
    static const uint16_t kFixed[] = {8000, 8010, 8012, 8013, 8011, 8020, 8030, 8031, 8032, 8040,
                                      8041, 8050, 8060, 8061, 8070, 8100, 8101, 8110, 8111, 8112};
    int n = 0;
    for (uint16_t c : kFixed) cmds[n++] = c;
    for (uint16_t c = 8120; c <= 8125; ++c) cmds[n++] = c;
    for (uint16_t c : {8130, 8131, 8140, 8141, 8150, 8200, 8201, 8202, 8203}) cmds[n++] = c;
    for (uint16_t c = 8211; c <= 8215; ++c) cmds[n++] = c;
    for (uint16_t c : {8220, 8230, 8231, 8232, 8300, 8301, 8302, 8303, 8310, 8311, 8320, 8321, 8330})
        cmds[n++] = c;
    for (uint16_t c = 8401; c <= 8408; ++c) cmds[n++] = c;
    for (uint16_t c = 8411; c <= 8418; ++c) cmds[n++] = c;
    for (uint16_t c = 8421; c <= 8434; ++c) cmds[n++] = c;
    for (uint16_t c = 8441; c <= 8447; ++c) cmds[n++] = c;
}

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void merge_from_slot(const SettingsReader& reader, int slot, uint32_t capacity, KeyTable* table) {
    uint8_t stored[kViewKeyCount * kKeyEntryBytes];
    const SettingsEntry e = settings_entry(reader, slot);
    if (!settings_read_blob(reader, slot, stored, capacity)) return;
    merge_stored_keys(table->entries, table->count, stored, static_cast<size_t>(e.size) / kKeyEntryBytes);
}

}  // namespace

void fill_default_main_keys(KeyEntry* table) {
    for (int i = 0; i < kMainKeyCount; ++i)
        table[i] = KeyEntry{kMainDefaults[i].fVirt, kMainDefaults[i].key, kMainDefaults[i].cmd};
}

void fill_default_view_keys(KeyEntry* table) {
    uint16_t cmds[kViewKeyCount];
    view_commands(cmds);
    for (int i = 0; i < kViewKeyCount; ++i) {
        table[i] = KeyEntry{kPlain, 0, cmds[i]};
        for (const ViewKey& b : kViewBound)
            if (b.cmd == cmds[i]) table[i] = KeyEntry{b.fVirt, b.key, b.cmd};
    }
}

void merge_stored_keys(KeyEntry* table, int count, const uint8_t* stored, size_t stored_count) {
    for (int i = 0; i < count; ++i) {
        for (size_t j = 0; j < stored_count; ++j) {
            const uint8_t* s = stored + j * kKeyEntryBytes;
            if (le16(s + 4) != table[i].cmd) continue;
            table[i].fVirt = static_cast<uint8_t>(s[0] & 0x0F);
            table[i].key = static_cast<uint16_t>(le16(s + 2) & 0xFF);
            break;
        }
    }
}

void compose_image_accelerators(const KeyEntry* view_entries, const KeyEntry* main_entries, KeyEntry* out) {
    for (int i = 0; i < kViewKeyCount; ++i) out[i] = view_entries[i];
    for (int i = 0; i < 8; ++i) out[kViewKeyCount + i] = main_entries[kFirstToolKeyIndex + i];
}

void load_main_key_table(const SettingsReader& reader, KeyTable* table) {
    table->count = kMainKeyCount;
    fill_default_main_keys(table->entries);
    merge_from_slot(reader, kMainKeySlot, kMainKeyCount * kKeyEntryBytes, table);
}

void load_view_key_table(const SettingsReader& reader, KeyTable* table) {
    table->count = kViewKeyCount;
    fill_default_view_keys(table->entries);
    merge_from_slot(reader, kViewKeySlot, kViewKeyCount * kKeyEntryBytes, table);
}

void encode_key_entries(const KeyEntry* entries, int count, uint8_t* out) {
    for (int i = 0; i < count; ++i) {
        uint8_t* p = out + i * kKeyEntryBytes;
        p[0] = entries[i].fVirt;
        p[1] = 0;
        p[2] = static_cast<uint8_t>(entries[i].key);
        p[3] = static_cast<uint8_t>(entries[i].key >> 8);
        p[4] = static_cast<uint8_t>(entries[i].cmd);
        p[5] = static_cast<uint8_t>(entries[i].cmd >> 8);
    }
}

void decode_key_entries(const uint8_t* bytes, int count, KeyEntry* out) {
    for (int i = 0; i < count; ++i) {
        const uint8_t* p = bytes + i * kKeyEntryBytes;
        out[i] = KeyEntry{p[0], le16(p + 2), le16(p + 4)};
    }
}

void store_key_table(SettingsWriter& writer, int slot, const KeyEntry* entries, int count) {
    uint8_t bytes[kViewKeyCount * kKeyEntryBytes];
    if (count < 0 || count > kViewKeyCount) return;
    encode_key_entries(entries, count, bytes);
    settings_write_blob(writer, slot, bytes, static_cast<uint32_t>(count * kKeyEntryBytes));
}

const char16_t* main_key_name(int index) {
    return index >= 0 && index < kMainKeyCount ? kMainDefaults[index].name : u"";
}

namespace {

const char16_t* const kDigits[] = {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"};
const char16_t* const kLetters[] = {u"A", u"B", u"C", u"D", u"E", u"F", u"G", u"H", u"I",
                                    u"J", u"K", u"L", u"M", u"N", u"O", u"P", u"Q", u"R",
                                    u"S", u"T", u"U", u"V", u"W", u"X", u"Y", u"Z"};
// The keypad zero keeps the trailing space it has always shown with.
const char16_t* const kNumpad[] = {u"[Num] 0 ", u"[Num] 1", u"[Num] 2", u"[Num] 3", u"[Num] 4", u"[Num] 5",
                                   u"[Num] 6",  u"[Num] 7", u"[Num] 8", u"[Num] 9", u"[Num] *", u"[Num] +",
                                   u"",         u"[Num] -", u"[Num] .", u"[Num] /"};
const char16_t* const kFunction[] = {u"F1", u"F2", u"F3", u"F4",  u"F5",  u"F6",
                                     u"F7", u"F8", u"F9", u"F10", u"F11", u"F12"};

}  // namespace

const char16_t* modifier_name(uint8_t fVirt) {
    switch (fVirt) {
        case 5: return u"Shift+";
        case 9: return u"Ctrl+";
        case 13: return u"Ctrl+Shift+";
        default: return u"";
    }
}

const char16_t* key_name(uint16_t key) {
    if (key >= 0x30 && key <= 0x39) return kDigits[key - 0x30];
    if (key >= 0x41 && key <= 0x5A) return kLetters[key - 0x41];
    if (key >= 0x60 && key <= 0x6F) return kNumpad[key - 0x60];
    if (key >= 0x70 && key <= 0x7B) return kFunction[key - 0x70];
    switch (key) {
        case 0x08: return u"BackSpace";
        case 0x09: return u"Tab";
        case 0x0D: return u"Enter";
        case 0x1B: return u"Esc";
        case 0x20: return u"Space";
        case 0x21: return u"PageUp";
        case 0x22: return u"PageDown";
        case 0x23: return u"End";
        case 0x24: return u"Home";
        case 0x25: return u"←";
        case 0x26: return u"↑";
        case 0x27: return u"→";
        case 0x28: return u"↓";
        case 0x2D: return u"Insert";
        case 0x2E: return u"Delete";
        case 0xBA: return u":";
        case 0xBB: return u";";
        case 0xBC: return u",";
        case 0xBD: return u"-";
        case 0xBE: return u".";
        case 0xBF: return u"/";
        case 0xC0: return u"@";
        case 0xDB: return u"[";
        case 0xDC: return u"\\";
        case 0xDD: return u"]";
        case 0xDE: return u"^";
        case 0xE2: return u"_";
        default: return u"";
    }
}
