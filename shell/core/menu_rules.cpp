#include "shell/core/menu_rules.h"

#include "codecs/file_type.h"

namespace {

struct ItemText {
    uint16_t id;
    const char16_t* text;
};

const ItemText kItemTexts[] = {
    {7010, u"コメント表示/編集(&C)..."},
    {7020, u"ファイル削除(&D)"},
    {7021, u"ファイル名変更(&N)..."},
    {7040, u"すべて選択(&L)"},
    {7050, u"サムネイル印刷(&P)..."},
    {7060, u"壁紙に設定(&W)..."},
    {7070, u"プロパティ(&R)"},
    {7090, u"終了(&X)"},
    {7110, u"フォルダツリー自動表示(&A)"},
    {7111, u"テキスト(Exif)情報表示(&L)"},
    {7120, u"サムネイルビュー(&T)"},
    {7121, u"並べて表示(&H)"},
    {7122, u"ビュー1表示(&F)"},
    {7123, u"ビュー2表示(&S)"},
    {7130, u"プレビュー機能有効(&P)"},
    {7140, u"情報領域表示(&D)"},
    {7141, u"表示情報設定(&C)..."},
    {7150, u"サムネイル更新(&R)"},
    {7151, u"中止/消去(&S)"},
    {7160, u"隠し属性表示(&H)"},
    {7210, u"シングルビュー(ウィンドウ)(&V)"},
    {7211, u"シングルビュー(全画面)(&F)"},
    {7212, u"編集/保存(&S)"},
    {7213, u"スライドショー(&A)"},
    {7215, u"Qelvoビューア(多重展開用)(&E)"},
    {7220, u"右回転保存(JEPGロスレス)(&R)"},
    {7221, u"左回転保存(JEPGロスレス)(&L)"},
    {7230, u"一括変換(&C)..."},
    {7240, u"一括リネーム(&M)..."},
    {7310, u"<未登録>"},
    {7320, u"関連付け起動(&B)"},
    {7330, u"ツール登録(&T)..."},
    {7340, u"オプション(&O)..."},
    {7410, u"ヘルプ表示(&H)"},
    {7411, u"マウス操作(メインウィンドウ)(&M)..."},
    {7412, u"マウス操作(シングルビュー)(&F)..."},
    {7413, u"マウス操作(編集/保存)(&S)..."},
    {7414, u"スライドショー操作(&A)..."},
    {7415, u"一括変換操作(&A)..."},
    {7430, u"バージョン情報(&V)..."},
    {7512, u"2 列(&2)"},
    {7513, u"3 列(&3)"},
    {7514, u"4 列(&4)"},
    {7516, u"6 列(&6)"},
    {7518, u"8 列(&8)"},
    {7522, u"12 列(&D)"},
    {7530, u"20 列(&T)"},
    {7610, u"サムネイルビュー1に表示(&F)"},
    {7611, u"サムネイルビュー2に表示(&S)"},
    {7620, u"登録フォルダに追加(&A)"},
    {7621, u"登録フォルダから除外(&D)"},
    {7630, u"フォルダ作成 (実フォルダ)(&N)"},
    {7631, u"フォルダ名変更 (実フォルダ)(&M)"},
    {7632, u"フォルダ削除 (実フォルダ)(&R)"},
    {7640, u"エクスプローラで開く(&X)"},
};

// Labels after the key table's 60, in their order: the Help items without a key, then the
// placeholder, the submenu item and the folder-tree context items.
const uint16_t kLabelIdsAfterKeys[kHelpLabelCount + kExtraLabelCount] = {
    7411, 7412, 7413, 7414, 7415, 7430, 7310, 7120, 7610, 7611, 7620, 7621, 7630, 7631, 7632, 7640};

constexpr MenuRowKind I = MenuRowKind::item;
constexpr MenuRowKind R = MenuRowKind::radio;
constexpr MenuRowKind S = MenuRowKind::submenu;
constexpr MenuRow kSep = {kMenuSeparatorId, MenuRowKind::separator};

const MenuRow kFileRows[] = {{7010, I}, kSep, {7020, I}, {7021, I}, kSep, {7040, I}, kSep,
                             {7050, I}, kSep, {7060, I}, {7070, I}, kSep, {7090, I}};
const MenuRow kViewRows[] = {{7110, I}, {7111, I}, kSep,      {7120, S}, {7130, I}, kSep,     {7140, I},
                             {7141, I}, kSep,      {7150, I}, {7151, I}, kSep,      {7160, I}};
const MenuRow kImageRows[] = {{7210, I}, {7211, I}, kSep,      {7215, I}, kSep, {7213, I}, kSep,
                              {7212, I}, kSep,      {7220, I}, {7221, I}, kSep, {7230, I}, {7240, I}};
const MenuRow kToolsRows[] = {kSep, {7320, I}, kSep, {7330, I}, kSep, {7340, I}};
const MenuRow kHelpRows[] = {{7410, I}, kSep,      {7411, I}, {7412, I}, {7413, I},
                             {7414, I}, {7415, I}, kSep,      {7430, I}};
const MenuRow kColumnsRows[] = {{7512, I}, {7513, I}, {7514, I}, {7516, I}, {7518, I}, {7522, I}, {7530, I}};
const MenuRow kThumbnailRows[] = {{7210, I}, {7211, I}, kSep,      {7215, I}, kSep,      {7212, I},
                                  kSep,      {7220, I}, {7221, I}, kSep,      {7010, I}, kSep,
                                  {7020, I}, {7021, I}, kSep,      {7040, I}};
const MenuRow kTreeRows[] = {{7610, I}, {7611, I}, kSep, {7620, I}, {7621, I}, kSep,     {7630, I},
                             {7631, I}, {7632, I}, kSep, {7160, I}, kSep,      {7640, I}};
const MenuRow kViewSubmenuRows[] = {{7121, R}, {7122, R}, {7123, R}};

template <size_t N>
MenuRows rows_of(const MenuRow (&rows)[N]) {
    return MenuRows{rows, static_cast<int>(N)};
}

constexpr uint16_t bit(MenuPopup p) {
    return static_cast<uint16_t>(1u << p);
}
constexpr uint16_t kF = bit(kPopupFile), kV = bit(kPopupView), kI = bit(kPopupImage), kT = bit(kPopupTools),
                   kC = bit(kPopupThumbnail), kVs = bit(kPopupViewSubmenu);
using MC = MenuCondition;

const MenuStateRow kStateRows[] = {
    {kF | kC, 7010, MC::comment},
    {kF | kC, 7020, MC::delete_files},
    {kF | kC, 7021, MC::rename_file},
    {kF | kC, 7040, MC::select_all},
    {kF, 7050, MC::print},
    {kF, 7060, MC::one_marked},
    {kF, 7070, MC::one_marked},
    {kV, 7110, MC::tree_auto_show},
    {kV, 7111, MC::info_list},
    {kV, 7130, MC::preview},
    {kV, 7140, MC::info_area},
    {kV | kVs, 7121, MC::layout_both},
    {kV | kVs, 7122, MC::layout_view1},
    {kV | kVs, 7123, MC::layout_view2},
    {kV, 7160, MC::hidden_shown},
    {kI | kC, 7210, MC::open_image},
    {kI | kC, 7211, MC::open_image},
    {kI | kC, 7212, MC::open_image},
    {kI | kC, 7215, MC::viewer},
    {kI | kC, 7220, MC::rotate},
    {kI | kC, 7221, MC::rotate},
    {kI, 7213, MC::slide_show},
    {kI, 7240, MC::batch_rename},
    {kI, 7230, MC::batch_convert},
    {kT, 7320, MC::one_marked},
    {kT, 7330, MC::options},
    {kT, 7340, MC::options},
};

uint32_t enabled_if(bool on) {
    return on ? kItemEnabled : kItemGrayed;
}
uint32_t checked_if(bool on) {
    return on ? kItemChecked : kItemEnabled;
}

constexpr ToolbarButtonKind kCheck = ToolbarButtonKind::check;
constexpr ToolbarButtonKind kGroup = ToolbarButtonKind::group;
constexpr ToolbarButtonKind kButton = ToolbarButtonKind::button;
constexpr ToolbarButton kBarSep = {kToolbarSeparatorId, -1, ToolbarButtonKind::separator, nullptr};

const ToolbarButton kToolbarButtons[kToolbarButtonCount] = {
    {7110, 0, kCheck, u"フォルダツリー自動表示"},
    {7111, 1, kCheck, u"テキスト(Exif)情報表示"},
    kBarSep,
    {7121, 2, kGroup, u"サムネイルビュー並べて表示"},
    {7122, 3, kGroup, u"サムネイルビュー1"},
    {7123, 4, kGroup, u"サムネイルビュー2"},
    kBarSep,
    {7130, 5, kCheck, u"プレビュー機能有効"},
    kBarSep,
    {7140, 6, kCheck, u"情報領域表示"},
    {7141, 7, kButton, u"表示情報設定"},
    kBarSep,
    {7151, 8, kButton, u"中止/消去"},
    {7150, 9, kButton, u"サムネイル更新"},
    kBarSep,
    {kColumnsButtonId, 10, kButton, u"表示列数"},
};

const char16_t* const kFilterTexts[kFilterCount] = {u"ALL", u"BMP", u"PNG", u"JPEG", u"TIFF", u"GIF"};

int32_t clamp_preset(uint32_t v) {
    if (v < static_cast<uint32_t>(kPresetMin)) return kPresetMin;
    if (v > static_cast<uint32_t>(kPresetMax)) return kPresetMax;
    return static_cast<int32_t>(v);
}

bool preset_empty(const SizePreset& p) {
    return p.width == 0 || p.height == 0;
}

std::u16string decimal(int32_t v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

}  // namespace

const char16_t* const kSizeListTip = u"サムネイルサイズ(幅x高さ)";
const char16_t* const kFilterListTip = u"フィルタ";
const char16_t* const kSizePresetsCaption = u"サイズ登録";

const char16_t* menu_modifier_text(uint8_t fVirt) {
    return modifier_name(static_cast<uint8_t>(fVirt & 0x0F));
}

const char16_t* menu_key_name(uint16_t key) {
    return key_name(key);
}

std::u16string menu_key_text(const KeyEntry& entry) {
    const std::u16string name = menu_key_name(entry.key);
    if (name.empty()) return name;
    return menu_modifier_text(entry.fVirt) + name;
}

MenuRows popup_rows(int popup) {
    switch (popup) {
        case kPopupFile: return rows_of(kFileRows);
        case kPopupView: return rows_of(kViewRows);
        case kPopupImage: return rows_of(kImageRows);
        case kPopupTools: return rows_of(kToolsRows);
        case kPopupHelp: return rows_of(kHelpRows);
        case kPopupColumns: return rows_of(kColumnsRows);
        case kPopupThumbnail: return rows_of(kThumbnailRows);
        case kPopupTree: return rows_of(kTreeRows);
        case kPopupViewSubmenu: return rows_of(kViewSubmenuRows);
        default: return MenuRows{nullptr, 0};
    }
}

const char16_t* menu_item_text(int id) {
    for (const ItemText& t : kItemTexts)
        if (t.id == id) return t.text;
    return nullptr;
}

int menu_label_index(const KeyEntry* keys, int id) {
    for (int i = 0; i < kMainKeyCount; ++i)
        if (keys[i].cmd == id) return i;
    for (int i = 0; i < kHelpLabelCount + kExtraLabelCount; ++i)
        if (kLabelIdsAfterKeys[i] == id) return kHelpLabelFirst + i;
    return -1;
}

void write_tool_item_text(const std::u16string& name, int slot, char16_t* out) {
    size_t n = name.size() < kToolNameChars ? name.size() : kToolNameChars;
    if (n < name.size() && n > 0 && name[n - 1] >= 0xD800 && name[n - 1] <= 0xDBFF) --n;
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) out[o++] = name[i];
    out[o++] = u'(';
    out[o++] = u'&';
    out[o++] = static_cast<char16_t>(u'1' + (slot & 7));
    out[o++] = u')';
    out[o] = 0;
}

void fill_menu_labels(const KeyEntry* keys, MenuLabelSet* set) {
    for (int slot = 0; slot < kToolCount; ++slot) set->tool_text[slot][0] = 0;
    for (int i = 0; i < kMainKeyCount; ++i) {
        const KeyEntry& e = keys[i];
        MenuItemLabel& label = set->labels[i];
        const char16_t* text = menu_item_text(e.cmd);
        if (e.cmd >= kFirstToolItemId && e.cmd < kFirstToolItemId + kToolCount)
            text = set->tool_text[e.cmd - kFirstToolItemId];
        label.text = text ? text : u"";
        label.modifier = menu_modifier_text(e.fVirt);
        label.key = menu_key_name(e.key);
    }
    for (int i = 0; i < kHelpLabelCount + kExtraLabelCount; ++i) {
        MenuItemLabel& label = set->labels[kHelpLabelFirst + i];
        label.text = menu_item_text(kLabelIdsAfterKeys[i]);
        label.modifier = u"";
        label.key = u"";
    }
}

MenuLabelSet& MenuLabelStore::rebuild(const KeyEntry* keys) {
    const int next = live_ == 0 ? 1 : 0;
    fill_menu_labels(keys, &sets_[next]);
    live_ = next;
    return sets_[next];
}

void read_view_conditions(const ViewState& active, const ViewState& other, MenuConditions* out) {
    out->has_list = active.entries != nullptr;
    out->idle = active.busy == kViewIdle;
    out->has_folder = active.folder[0] != 0;
    out->count = active.count;
    out->marked = active.marked_count;
    out->first_marked_format = kFileUnknown;
    if (active.entries) {
        for (int32_t i = 0; i < active.count; ++i) {
            if (active.entries[i].marked != kEntryMarked) continue;
            out->first_marked_format = active.entries[i].load_info.format;
            break;
        }
    }
    out->other_idle = other.busy == kViewIdle;
    out->other_same_folder = std::u16string(active.folder) == std::u16string(other.folder);
    out->other_has_entries = other.count > 0;
}

void read_setting_conditions(const MainSettings& settings, MenuConditions* out) {
    out->tree_auto_show = settings.tree_auto_show != 0;
    out->info_list_shown = settings.info_list_shown != 0;
    out->preview_enabled = settings.preview_enabled != 0;
    out->info_area_shown = settings.captions_shown != 0;
    out->view_layout = settings.view_layout;
    out->hidden_mask = settings.hidden_mask;
}

MenuStateRows menu_state_rows() {
    return MenuStateRows{kStateRows, static_cast<int>(sizeof kStateRows / sizeof kStateRows[0])};
}

uint32_t menu_item_state(MenuCondition condition, const MenuConditions& c) {
    const bool others_allow = c.other_idle || !c.other_same_folder;
    switch (condition) {
        case MC::comment:
            return enabled_if(c.free && c.marked == 1 &&
                              (c.first_marked_format == kFilePng || c.first_marked_format == kFileJpeg));
        case MC::delete_files: return enabled_if(c.free && c.idle && others_allow && c.marked >= 1);
        case MC::rename_file: return enabled_if(c.free && c.idle && others_allow && c.marked == 1);
        case MC::select_all:
            if (!c.has_list || !c.idle) return kItemGrayed;
            return checked_if(c.count > 0 && c.marked == c.count);
        case MC::print: return enabled_if(c.free && c.has_folder && c.has_list);
        case MC::one_marked: return enabled_if(c.marked == 1);
        case MC::tree_auto_show: return checked_if(c.tree_auto_show);
        case MC::info_list: return checked_if(c.info_list_shown);
        case MC::preview: return checked_if(c.preview_enabled);
        case MC::info_area: return checked_if(c.info_area_shown);
        case MC::layout_both: return checked_if(c.view_layout == 0);
        case MC::layout_view1: return checked_if(c.view_layout == 1);
        case MC::layout_view2: return checked_if(c.view_layout == 2);
        case MC::hidden_shown: return checked_if(c.hidden_mask == 0);
        case MC::open_image: return enabled_if(!c.image_window_open && c.count > 0);
        case MC::viewer: return enabled_if(c.count > 0 || c.other_has_entries);
        case MC::rotate: return enabled_if(c.free && c.idle && c.marked >= 1);
        case MC::slide_show: return enabled_if(!c.image_window_open && c.idle && c.has_list);
        case MC::batch_rename: return enabled_if(c.free && c.idle && c.count > 0);
        case MC::batch_convert:
            return enabled_if(!c.batch_window_exists && c.idle && c.other_idle && c.count > 0 && c.has_list);
        case MC::options: return enabled_if(!c.batch_running && c.idle && c.other_idle);
    }
    return kItemEnabled;
}

const ToolbarButton* toolbar_buttons() {
    return kToolbarButtons;
}

std::u16string toolbar_tip_text(const ToolbarButton& button, const KeyEntry* keys) {
    std::u16string tip = button.tip ? button.tip : u"";
    if (button.id == kColumnsButtonId) return tip;
    for (int i = 0; i < kMainKeyCount; ++i) {
        if (keys[i].cmd != button.id) continue;
        if (*menu_key_name(keys[i].key)) tip += u" (" + menu_key_text(keys[i]) + u")";
        break;
    }
    return tip;
}

std::u16string size_text(int32_t width, int32_t height) {
    return decimal(width) + u"x" + decimal(height);
}

std::u16string preset_entry_text(int index, const SizePreset& preset) {
    std::u16string text = decimal(index + 1) + u". ";
    if (preset_empty(preset)) return text + u"-";
    return text + size_text(preset.width, preset.height);
}

std::u16string size_list_entry_text(int entry, const SizePreset& box, const SizePreset* presets) {
    if (entry == 0) return size_text(box.width, box.height);
    if (entry >= 1 && entry <= kSizePresetCount) return preset_entry_text(entry - 1, presets[entry - 1]);
    return u"登録";  // opens the registration dialog
}

SizeChoice choose_size_entry(int entry, SizePreset* box, SizePreset* presets) {
    if (entry == 0) return SizeChoice::nothing;
    if (entry < 1 || entry > kSizePresetCount) return SizeChoice::open_dialog;
    SizePreset& preset = presets[entry - 1];
    if (preset_empty(preset)) {
        preset = *box;
        return SizeChoice::store_current;
    }
    if (preset.width == box->width && preset.height == box->height) return SizeChoice::same_size;
    *box = preset;
    return SizeChoice::apply_preset;
}

SizePreset preset_from_row(uint32_t width, uint32_t height) {
    if (width == 0 || height == 0) return SizePreset{};
    return SizePreset{clamp_preset(width), clamp_preset(height)};
}

const char16_t* filter_entry_text(int index) {
    return index >= 0 && index < kFilterCount ? kFilterTexts[index] : u"";
}
