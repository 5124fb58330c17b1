// The main menus and the main toolbar as data: which items each popup holds, the texts every
// owner-drawn item shows (its own text and the key bound to its command), when an item is
// enabled, greyed or checked, the external-tool item texts, and the thumbnail size presets of
// the size list and its registration dialog.
#pragma once

#include <cstdint>
#include <string>

#include "shell/core/folder_listing.h"
#include "shell/core/key_table.h"
#include "shell/core/settings_slots.h"

// The item data of every owner-drawn item. The three pointers stay valid for as long as any
// menu that holds the label can still be measured or drawn (see MenuLabelStore).
struct MenuItemLabel {
    const char16_t* text;
    const char16_t* modifier;
    const char16_t* key;
};

// "Shift+", "Ctrl+", "Ctrl+Shift+" for the fVirt values 5, 9 and 13; the empty string for every
// other value (Alt is never shown).
const char16_t* menu_modifier_text(uint8_t fVirt);
// The name of a virtual-key code as the menus show it; the empty string for codes without a
// name (code 0 is no key).
const char16_t* menu_key_name(uint16_t key);
// Modifier and key name together; empty when the key has no name.
std::u16string menu_key_text(const KeyEntry& entry);

// Positions of the popups in the container menu; the View popup's submenu comes last.
enum MenuPopup : int {
    kPopupFile = 0,
    kPopupView = 1,
    kPopupImage = 2,
    kPopupTools = 3,
    kPopupHelp = 4,
    kPopupColumns = 5,
    kPopupThumbnail = 6,
    kPopupTree = 7,
    kPopupViewSubmenu = 8,
    kMenuPopupCount = 9,
};
constexpr int kContainerPopupCount = 8;
constexpr int kMenuBarPopupCount = 5;

constexpr uint16_t kMenuSeparatorId = 9900;
constexpr uint16_t kThumbnailViewSubmenuId = 7120;
constexpr uint16_t kNoToolItemId = 7310;
constexpr uint16_t kFirstToolItemId = 7311;

enum class MenuRowKind : uint8_t { item, radio, submenu, separator };

struct MenuRow {
    uint16_t id;
    MenuRowKind kind;
};

// The fixed rows of a popup, top to bottom, separators included. The Tools popup's rows are the
// fixed part below the tool items, which fill_tools_menu puts above them.
struct MenuRows {
    const MenuRow* rows;
    int count;
};
MenuRows popup_rows(int popup);

// The item text of a command id of the menus; null for an id without a menu item.
const char16_t* menu_item_text(int id);

// Labels: 60 for the main key table in its order, six for the Help items without a key, then the
// placeholder "<未登録>", the submenu item and the eight folder-tree context items.
constexpr int kHelpLabelFirst = kMainKeyCount;
constexpr int kHelpLabelCount = 6;
constexpr int kExtraLabelFirst = kHelpLabelFirst + kHelpLabelCount;
constexpr int kExtraLabelCount = 10;
constexpr int kMenuLabelCount = kExtraLabelFirst + kExtraLabelCount;
constexpr int kToolTextChars = 32;
// The visible part of a tool's display name in its item; "(&n)" and the terminator fill the rest.
constexpr int kToolNameChars = 27;

struct MenuLabelSet {
    MenuItemLabel labels[kMenuLabelCount];
    char16_t tool_text[kToolCount][kToolTextChars];
};

// The label of a command id in a label set, or -1. Key-table ids use the first key-table entry
// with that command.
int menu_label_index(const KeyEntry* keys, int id);
// Fills every label from the menu texts and the 60 entries of the main key table; the tool
// labels point at the set's own tool buffers, emptied here.
void fill_menu_labels(const KeyEntry* keys, MenuLabelSet* set);
// The first 27 characters at most of the display name (never half of a surrogate pair), then
// "(&n)" for slot n = slot + 1, terminated, into out[kToolTextChars].
void write_tool_item_text(const std::u16string& name, int slot, char16_t* out);

// Rebuilding the menus writes the labels into a set that the menus still alive do not use: the
// options dialog rebuilds while menus made from the previous labels may still exist, and their
// item data must keep pointing at the texts they were made with until they are destroyed.
class MenuLabelStore {
public:
    // Fills the set that is not live, makes it live and returns it.
    MenuLabelSet& rebuild(const KeyEntry* keys);
    // The set the newest menus use; null before the first rebuild.
    MenuLabelSet* live() { return live_ < 0 ? nullptr : &sets_[live_]; }

private:
    MenuLabelSet sets_[2] = {};
    int live_ = -1;
};

// Item states as MIIM_STATE takes them.
constexpr uint32_t kItemEnabled = 0;
constexpr uint32_t kItemGrayed = 3;
constexpr uint32_t kItemChecked = 8;

// What the item states depend on. "free" is the active view's folder passing the guard against a
// running batch conversion; the view fields describe the active view and the other one.
struct MenuConditions {
    bool free = false;
    bool has_list = false;
    bool idle = false;
    bool has_folder = false;
    int32_t count = 0;
    int32_t marked = 0;
    int32_t first_marked_format = 0;
    bool other_idle = false;
    bool other_same_folder = false;
    bool other_has_entries = false;
    bool image_window_open = false;
    bool batch_window_exists = false;
    bool batch_running = false;
    bool tree_auto_show = false;
    bool info_list_shown = false;
    bool preview_enabled = false;
    bool info_area_shown = false;
    int32_t view_layout = 0;
    int32_t hidden_mask = 0;
};

// The view part of the conditions, read from the active view and the other view.
void read_view_conditions(const ViewState& active, const ViewState& other, MenuConditions* out);
// The settings part of the conditions.
void read_setting_conditions(const MainSettings& settings, MenuConditions* out);

enum class MenuCondition : uint8_t {
    comment,         // 7010
    delete_files,    // 7020
    rename_file,     // 7021
    select_all,      // 7040
    print,           // 7050
    one_marked,      // 7060, 7070, 7320
    tree_auto_show,  // 7110
    info_list,       // 7111
    preview,         // 7130
    info_area,       // 7140
    layout_both,     // 7121
    layout_view1,    // 7122
    layout_view2,    // 7123
    hidden_shown,    // 7160
    open_image,      // 7210, 7211, 7212
    viewer,          // 7215
    rotate,          // 7220, 7221
    slide_show,      // 7213
    batch_rename,    // 7240
    batch_convert,   // 7230
    options,         // 7330, 7340
};

// One row of the item-state table: the popups it applies to (bits by MenuPopup), the item and its
// condition.
struct MenuStateRow {
    uint16_t popups;
    uint16_t id;
    MenuCondition condition;
};
struct MenuStateRows {
    const MenuStateRow* rows;
    int count;
};
MenuStateRows menu_state_rows();
uint32_t menu_item_state(MenuCondition condition, const MenuConditions& c);

// The main toolbar's sixteen buttons.
constexpr uint16_t kToolbarSeparatorId = 9910;
constexpr uint16_t kColumnsButtonId = 7500;
constexpr int kToolbarButtonCount = 16;
constexpr int kToolbarImageCount = 11;
enum class ToolbarButtonKind : uint8_t { check, group, button, separator };
struct ToolbarButton {
    uint16_t id;
    int8_t image;  // offset from the first added image; -1 for a separator
    ToolbarButtonKind kind;
    const char16_t* tip;
};
const ToolbarButton* toolbar_buttons();  // kToolbarButtonCount
// The button's tip: its text and, but for the columns button, " (" + the key text + ")" when the
// main key table binds a key to the command.
std::u16string toolbar_tip_text(const ToolbarButton& button, const KeyEntry* keys);

// Thumbnail size list (210) and presets.
constexpr int kSizeRegisterEntry = 9;
constexpr int32_t kPresetMin = 32;
constexpr int32_t kPresetMax = 800;
// "160x120".
std::u16string size_text(int32_t width, int32_t height);
// "1. 160x120", or "1. -" for an empty preset (index 0-7).
std::u16string preset_entry_text(int index, const SizePreset& preset);
// The entries of the list: the box size, the eight presets, "登録".
std::u16string size_list_entry_text(int entry, const SizePreset& box, const SizePreset* presets);

enum class SizeChoice : uint8_t {
    nothing,        // entry 0
    open_dialog,    // "登録" or an entry outside the list
    same_size,      // a preset equal to the box: selection back to 0, nothing reloads
    apply_preset,   // the box became the preset: entry 0 rewritten, both views reopen
    store_current,  // an empty preset took the box size: its entry rewritten, nothing reloads
};
// Applies the choice of list entry `entry` to the box and the presets.
SizeChoice choose_size_entry(int entry, SizePreset* box, SizePreset* presets);
// A row of dialog 6200: both values non-zero are clamped to 32-800, otherwise the preset is empty.
SizePreset preset_from_row(uint32_t width, uint32_t height);

constexpr int kFilterCount = 6;
const char16_t* filter_entry_text(int index);

// Tips of the two lists and the caption of the size registration dialog.
extern const char16_t* const kSizeListTip;
extern const char16_t* const kFilterListTip;
extern const char16_t* const kSizePresetsCaption;
